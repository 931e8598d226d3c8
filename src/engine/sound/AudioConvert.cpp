#include "engine/sound/AudioConvert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <new>

#include "engine/sound/WavHeader.h"

namespace {

constexpr sf_count_t kBlockFrames = 65536;

// libmpg123, through which libsndfile decodes MP3, prints notes on damaged or odd frames ("Note:
// Illegal Audio-MPEG-Header ...", "Warning: Xing stream size off ...") to C's stderr; what
// matters of them reaches the user as our own result. While any decoder is open, C's stderr is
// a stream that drops what it is given. Our own messages never pass through that variable
// (std::cerr keeps the stream it was made with; Python writes to the descriptor), so none is
// lost. Only the first decoder in swaps and the last one out swaps back, so threads decoding at
// once never write to a closed stream.
class QuietLibraryNotes {
public:
    QuietLibraryNotes() {
        const std::lock_guard<std::mutex> lock(s_mutex);
        if (s_users++ > 0)
            return;
        static const cookie_io_functions_t drop = {
            nullptr, [](void*, const char*, size_t n) -> ssize_t { return ssize_t(n); }, nullptr,
            nullptr};
        if (FILE* sink = fopencookie(nullptr, "w", drop)) {
            s_saved = stderr;
            stderr = sink;
        }
    }
    ~QuietLibraryNotes() {
        const std::lock_guard<std::mutex> lock(s_mutex);
        if (--s_users > 0 || !s_saved)
            return;
        FILE* sink = stderr;
        stderr = s_saved;
        s_saved = nullptr;
        std::fclose(sink);
    }
    QuietLibraryNotes(const QuietLibraryNotes&) = delete;
    QuietLibraryNotes& operator=(const QuietLibraryNotes&) = delete;

private:
    static std::mutex s_mutex; // protects s_users, s_saved and the swap of stderr
    static int s_users;
    static FILE* s_saved; // the real stderr while it is swapped, else null
};

std::mutex QuietLibraryNotes::s_mutex;
int QuietLibraryNotes::s_users = 0;
FILE* QuietLibraryNotes::s_saved = nullptr;

// libsndfile's reader giving 16-bit frames. Integer formats are normalised by a power of two,
// so they arrive as exact fractions; sf_read_short is not used because it scales floats by
// 32767 and truncates wider integers instead of rounding.
class Decoder {
public:
    explicit Decoder(const std::string& path) {
        // The library would wait forever on a named pipe; it never sees anything irregular.
        if (checkInputFile(path) == InputProblem::none)
            m_sf = sf_open(path.c_str(), SFM_READ, &m_info);
        if (m_sf)
            sf_command(m_sf, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
    }
    ~Decoder() {
        if (m_sf)
            sf_close(m_sf);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    bool isOpen() const { return m_sf != nullptr; }
    int channels() const { return m_info.channels; }
    int rate() const { return m_info.samplerate; }
    int format() const { return m_info.format; }
    sf_count_t framesHint() const { return m_info.frames; }

    // Fills `out` with up to kBlockFrames frames; the count read (0 at the end), or -1 when the
    // stream broke.
    sf_count_t read(std::vector<int16_t>& out) {
        const size_t ch = size_t(m_info.channels);
        m_buf.resize(size_t(kBlockFrames) * ch);
        out.resize(m_buf.size());
        sf_count_t got = 0;
        while (got < kBlockFrames) {
            const sf_count_t n = sf_readf_double(m_sf, m_buf.data() + got * ch, kBlockFrames - got);
            if (n <= 0)
                break;
            got += n;
        }
        if (got == 0 && sf_error(m_sf) != SF_ERR_NO_ERROR)
            return -1;
        for (size_t i = 0; i < size_t(got) * ch; ++i)
            out[i] = pcm16FromFullScale(m_buf[i]);
        return got;
    }

private:
    QuietLibraryNotes m_quiet; // first member: quiet from before the open until after the close
    SF_INFO m_info{};
    SNDFILE* m_sf = nullptr;
    std::vector<double> m_buf;
};

// The frames a 16-bit WAV of `channels` can hold: the data size is a 32-bit field beside a
// 36-byte rest of header, and the reader counts frames in 32 bits.
int64_t maxFrames(int channels) {
    return std::min<int64_t>(INT32_MAX, (int64_t(UINT32_MAX) - 36) / (2 * channels));
}

ConvertResult checkOpened(const Decoder& d) {
    if (!d.isOpen())
        return ConvertResult::unreadable;
    // AIFF holds its rate as an 80-bit float, which the library reads as 1 when below 1 Hz.
    if (d.rate() <= 0 || (d.rate() == 1 && (d.format() & SF_FORMAT_TYPEMASK) == SF_FORMAT_AIFF))
        return ConvertResult::noRate;
    if (d.channels() != 1 && d.channels() != 2)
        return ConvertResult::channelCount;
    return ConvertResult::ok;
}

void appendLittleEndian(std::vector<unsigned char>& bytes, const int16_t* samples, size_t n) {
    const size_t at = bytes.size();
    bytes.resize(at + 2 * n);
    for (size_t i = 0; i < n; ++i) {
        const auto v = uint16_t(samples[i]);
        bytes[at + 2 * i] = static_cast<unsigned char>(v & 0xFF);
        bytes[at + 2 * i + 1] = static_cast<unsigned char>(v >> 8);
    }
}

} // namespace

int16_t pcm16FromFullScale(double v) {
    if (std::isnan(v))
        return 0;
    const double scaled = std::round(v * 32768.0);
    return int16_t(std::clamp(scaled, -32768.0, 32767.0));
}

bool worthConverting(CWavPara::resultWavPara read) {
    return read == CWavPara::resultReadError || read == CWavPara::resultQuantBit ||
           read == CWavPara::resultNotPcm;
}

ConvertResult convertToWavImage(const std::string& source, std::vector<unsigned char>& image) {
    image.clear();
    Decoder d(source);
    if (const ConvertResult r = checkOpened(d); r != ConvertResult::ok)
        return r;
    const int64_t limit = maxFrames(d.channels());
    try {
        image.resize(kWavHeaderBytes);
        if (d.framesHint() > 0 && d.framesHint() <= limit)
            image.reserve(size_t(kWavHeaderBytes + d.framesHint() * 2 * d.channels()));
        std::vector<int16_t> block;
        int64_t frames = 0;
        for (;;) {
            const sf_count_t n = d.read(block);
            if (n < 0)
                return ConvertResult::unreadable;
            if (n == 0)
                break;
            frames += n;
            if (frames > limit)
                return ConvertResult::tooLong;
            appendLittleEndian(image, block.data(), size_t(n) * size_t(d.channels()));
        }
    } catch (const std::bad_alloc&) {
        image = {};
        return ConvertResult::noMemory;
    }
    writeWavHeader(image.data(), uint32_t(image.size() - kWavHeaderBytes), d.rate(), 16,
                   int16_t(d.channels()));
    return ConvertResult::ok;
}

InputProblem checkInputFile(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ELOOP    ? InputProblem::linkLoop
               : errno == EACCES ? InputProblem::unreadable
                                 : InputProblem::missing;
    if (S_ISDIR(st.st_mode))
        return InputProblem::folder;
    if (!S_ISREG(st.st_mode))
        return InputProblem::notRegular;
    if (access(path.c_str(), R_OK) != 0)
        return InputProblem::unreadable;
    return st.st_size == 0 ? InputProblem::empty : InputProblem::none;
}

const char* inputProblemLine(InputProblem problem) {
    static const char* const kLines[] = {"",
                                         "no such file.",
                                         "file not readable.",
                                         "a folder, not a file.",
                                         "not a regular file.",
                                         "file empty.",
                                         "too many levels of links.",
                                         "sampling frequency wrong.",
                                         "file damaged or not a sound."};
    return kLines[int(problem)];
}

SoundRead readSound(CWavPara& wave, const std::string& path) {
    SoundRead r;
    r.problem = checkInputFile(path);
    if (r.problem != InputProblem::none)
        return r;
    r.read = wave.setSizeFromWav(path.c_str());
    if (worthConverting(r.read)) {
        std::vector<unsigned char> image;
        r.triedConversion = true;
        r.conversion = convertToWavImage(path, image);
        if (r.conversion == ConvertResult::ok) {
            r.converted = true;
            r.read = wave.setSizeFromImage(std::move(image), path.c_str());
        } else if (r.conversion == ConvertResult::noRate) {
            r.problem = InputProblem::noRate;
        } else if (r.conversion == ConvertResult::unreadable) {
            // The reader saw a format it does not take; a rate of 0 is why nothing else could.
            const bool formatSeen =
                r.read == CWavPara::resultQuantBit || r.read == CWavPara::resultNotPcm;
            r.problem = formatSeen && wave.m_sampleFreq <= 0 ? InputProblem::noRate
                        : formatSeen                         ? InputProblem::none
                                                             : InputProblem::unrecognised;
        }
    }
    // Every later step divides by the rate: a sound without one is no sound.
    if (r.read == CWavPara::resultOK && wave.m_sampleFreq <= 0) {
        r.read = CWavPara::resultNoSampleFreq;
        r.problem = InputProblem::noRate;
    }
    return r;
}

SoundRead readSamples(CWavPara& wave, const int16_t* samples, size_t frames, int channels,
                      long rate, const std::string& name) {
    SoundRead r;
    r.triedConversion = true;
    const size_t bytes = frames * size_t(channels == 2 ? 4 : 2);
    if (rate < 1 || rate > INT32_MAX) {
        r.conversion = ConvertResult::noRate;
        r.problem = InputProblem::noRate;
    } else if (channels != 1 && channels != 2) {
        r.conversion = ConvertResult::channelCount;
    } else if (frames > size_t(INT32_MAX) || bytes > UINT32_MAX - kWavHeaderBytes) {
        r.conversion = ConvertResult::tooLong;
    } else if (frames == 0) {
        r.problem = InputProblem::empty;
    } else {
        std::vector<unsigned char> image;
        try {
            image.reserve(kWavHeaderBytes + bytes);
            image.resize(kWavHeaderBytes);
            appendLittleEndian(image, samples, frames * size_t(channels));
        } catch (const std::bad_alloc&) {
            r.conversion = ConvertResult::noMemory;
            return r;
        }
        writeWavHeader(image.data(), uint32_t(bytes), int32_t(rate), 16, int16_t(channels));
        r.conversion = ConvertResult::ok;
        r.converted = true;
        r.read = wave.setSizeFromImage(std::move(image), name.c_str());
    }
    return r;
}

std::vector<std::string> refusalLines(const SoundRead& r) {
    if (r.read == CWavPara::resultOK)
        return {};
    std::vector<std::string> lines{"wave file reading failed."};
    const ConvertResult c = r.triedConversion ? r.conversion : ConvertResult::unreadable;
    if (r.problem != InputProblem::none)
        lines.push_back(inputProblemLine(r.problem));
    else if (c == ConvertResult::noRate)
        lines.push_back(inputProblemLine(InputProblem::noRate));
    else if (c == ConvertResult::channelCount || r.read == CWavPara::resultChannelCount)
        lines.push_back("channel count 1 or 2.");
    else if (c == ConvertResult::tooLong)
        lines.push_back("sound too long to convert.");
    else if (c == ConvertResult::noMemory)
        lines.push_back("memory allocation failed.");
    else if (r.read == CWavPara::resultQuantBit)
        lines.push_back("quat bit 16.");
    else if (r.read == CWavPara::resultNotPcm)
        lines.push_back("wave format not integer PCM.");
    return lines;
}
