#include "engine/sound/AudioConvert.h"
#include "support/EncodedSound.h"
#include "support/SoundFiles.h"

#include <gtest/gtest.h>
#include <wx/dir.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every 16-bit sample a wider format must give back, full scale included.
std::vector<int16_t> extremes() {
    std::vector<int16_t> s{-32768, 32767, 0, -1, 1, 12345, -23456};
    for (int i = 0; i < 200; ++i)
        s.push_back(int16_t(i * 331 - 32000));
    return s;
}

} // namespace

// Integer sources are exact fractions, floats scale by 32768; halves round away from zero,
// full scale clips, NaN is silence.
TEST(AudioConvert, WiderFormatsGiveBackThe16BitSamplesAndRound) {
    EXPECT_EQ(std::make_tuple(pcm16FromFullScale(1.0), pcm16FromFullScale(-1.0),
                              pcm16FromFullScale(NAN), pcm16FromFullScale(-INFINITY),
                              pcm16FromFullScale(100.5 / 32768), pcm16FromFullScale(-100.5 / 32768),
                              pcm16FromFullScale(100.49 / 32768)),
              std::make_tuple(32767, -32768, 0, -32768, 101, -101, 100));
    ScratchDir dir;
    const std::vector<int16_t> mono = extremes();
    std::vector<int16_t> coarse; // what 8 bits hold
    for (int16_t v : mono)
        coarse.push_back(int16_t(v & ~0xFF));
    const struct { int format; const std::vector<int16_t>& samples; int channels; } cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, coarse, 1}, {SF_FORMAT_WAV | SF_FORMAT_PCM_24, mono, 1},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_32, mono, 2},   {SF_FORMAT_WAV | SF_FORMAT_FLOAT, mono, 1},
        {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, mono, 2},   {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, mono, 1},
        {SF_FORMAT_FLAC | SF_FORMAT_PCM_24, mono, 2},  {SF_FORMAT_AIFF | SF_FORMAT_PCM_24, mono, 1},
        {SF_FORMAT_CAF | SF_FORMAT_FLOAT, mono, 1},
    };
    for (const auto& c : cases) {
        const std::string path = dir.path() + "/s" + std::to_string(c.format);
        ASSERT_TRUE(writeEncoded(path, c.format, c.samples, c.channels, 22050)) << c.format;
        CWavPara wave(100000);
        const SoundRead read = readSound(wave, path);
        const int32_t frames = int32_t(c.samples.size()) / c.channels;
        EXPECT_EQ(std::make_tuple(read.read, read.converted, wave.m_sampleFreq, wave.m_channelCount,
                                  wave.m_totalSamples),
                  std::make_tuple(CWavPara::resultOK, true, 22050, c.channels, frames))
            << c.format;
        for (int32_t i = 0; i < frames; ++i) {
            ASSERT_EQ(wave.m_cache1[i], c.samples[size_t(i * c.channels)]) << c.format << " " << i;
            if (c.channels == 2) {
                ASSERT_EQ(wave.m_cache2[i], c.samples[size_t(i * 2 + 1)]) << c.format << " " << i;
            }
        }
    }
    // 24 bits between two 16-bit values: 100.5, -100.5, 100.496, and 32767.5 clipped.
    const std::string between = dir.path() + "/between.wav";
    const std::vector<int32_t> wide{(100 * 256 + 128) << 8, (-100 * 256 - 128) * 256,
                                    (100 * 256 + 127) << 8, (32767 * 256 + 128) << 8};
    ASSERT_TRUE(writeEncoded(between, SF_FORMAT_WAV | SF_FORMAT_PCM_24, wide));
    std::vector<unsigned char> image;
    ASSERT_EQ(convertToWavImage(between, image), ConvertResult::ok);
    EXPECT_EQ(std::string(image.begin(), image.end()), testwav::wav({101, -101, 100, 32767}));
    // A lossy format opens when the library has it; its length is kept.
    const std::string ogg = dir.path() + "/v.ogg";
    CWavPara vorbis;
    if (writeEncoded(ogg, SF_FORMAT_OGG | SF_FORMAT_VORBIS, std::vector<int16_t>(44100))) {
        EXPECT_TRUE(readSound(vorbis, ogg).converted && vorbis.m_totalSamples == 44100);
    }
}

namespace {
std::string g_refused; // the folder the maker below refuses
int refuseFolder(char* pattern) {
    if (std::string(pattern).rfind(g_refused, 0) == 0) {
        errno = EACCES;
        return -1;
    }
    return mkstemp(pattern);
}
} // namespace

// Beside the source first: take.wav, else take-16bit.wav beside a different take.wav; a file
// holding the same sound is used as it is; an unwritable folder sends it to the cache folder.
TEST(AudioConvert, ConvertBesideNamesReusesAndFallsBack) {
    ScratchDir dir;
    const std::string d = dir.path(), cache = d + "/cache/deep";
    const std::vector<int16_t> a = extremes(), b(50, 7);
    ASSERT_TRUE(writeEncoded(d + "/take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, a, 1, 16000));
    const std::string aWav = testwav::wav(a, 1, 16000);
    auto convert = [&](const std::string& name) {
        const WavConversion c = convertBeside(d + "/" + name, cache);
        return std::make_tuple(c.result, c.path.substr(std::min(c.path.size(), d.size())),
                               c.reused, c.inCache);
    };
    using R = std::tuple<ConvertResult, std::string, bool, bool>;
    EXPECT_EQ(convert("take.flac"), R(ConvertResult::ok, "/take.wav", false, false));
    EXPECT_EQ(readAll(d + "/take.wav"), aWav);
    EXPECT_EQ(convert("take.flac"), R(ConvertResult::ok, "/take.wav", true, false));
    testwav::writeFile(d + "/take.wav", testwav::wav(b, 1, 16000));
    EXPECT_EQ(convert("take.flac"), R(ConvertResult::ok, "/take-16bit.wav", false, false));
    EXPECT_EQ(convert("take.flac"), R(ConvertResult::ok, "/take-16bit.wav", true, false));
    EXPECT_EQ(readAll(d + "/take.wav"), testwav::wav(b, 1, 16000)); // never overwritten

    g_refused = d + "/take";
    convert_detail::setTemporaryMaker(&refuseFolder);
    std::remove((d + "/take-16bit.wav").c_str());
    const R inCache = convert("take.flac");
    convert_detail::setTemporaryMaker(nullptr);
    EXPECT_EQ(inCache, R(ConvertResult::ok, "/cache/deep/take.wav", false, true));
    EXPECT_EQ(readAll(cache + "/take.wav"), aWav);

    testwav::writeFile(d + "/junk.ogg", "OggS but not really");
    ASSERT_TRUE(writeEncoded(d + "/three.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, b, 3));
    EXPECT_EQ(std::make_tuple(std::get<0>(convert("junk.ogg")), std::get<0>(convert("three.flac"))),
              std::make_tuple(ConvertResult::unreadable, ConvertResult::channelCount));
    wxArrayString left; // no temporary file stays behind
    EXPECT_EQ(wxDir::GetAllFiles(d, &left, "*.tmp.*"), 0u);
}
