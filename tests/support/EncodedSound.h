#pragma once

// Sound files in other formats, written by libsndfile from 16-bit samples.

#include <sndfile.h>

#include <string>
#include <vector>

// Interleaved samples as `format` (SF_FORMAT_*); false when the library cannot write it. Float
// formats get s / 32768 (the library would store 16-bit samples unscaled).
inline bool writeEncoded(const std::string& path, int format, const std::vector<int16_t>& samples,
                         int channels = 1, int rate = 44100) {
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* f = sf_format_check(&info) ? sf_open(path.c_str(), SFM_WRITE, &info) : nullptr;
    if (!f)
        return false;
    const sf_count_t frames = sf_count_t(samples.size()) / channels;
    std::vector<double> scaled(samples.begin(), samples.end());
    for (double& v : scaled)
        v /= 32768.0;
    const int sub = format & SF_FORMAT_SUBMASK;
    const sf_count_t written = sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE
                                   ? sf_writef_double(f, scaled.data(), frames)
                                   : sf_writef_short(f, samples.data(), frames);
    sf_close(f);
    return written == frames;
}
