#include "cli/CliRun.h"
#include "engine/sound/AudioConvert.h"
#include "support/EncodedSound.h"

namespace {

// Every 16-bit sample a wider format must give back, full scale included.
std::vector<int16_t> extremes() {
    std::vector<int16_t> s{-32768, 32767, 0, -1, 1, 12345, -23456};
    for (int i = 0; i < 201; ++i) // an even count, for stereo
        s.push_back(int16_t(i * 331 - 32000));
    return s;
}

} // namespace

// Integer sources are exact fractions, floats scale by 32768; halves round away from zero,
// full scale clips, NaN is silence.
TEST(AudioConvert, WiderFormatsGiveBackThe16BitSamplesAndRound) {
    EXPECT_EQ(std::make_tuple(pcm16FromFullScale(1.0), pcm16FromFullScale(-1.0),
                              pcm16FromFullScale(NAN), pcm16FromFullScale(-100.5 / 32768)),
              std::make_tuple(32767, -32768, 0, -101));
    ScratchDir dir;
    const std::vector<int16_t> mono = extremes();
    std::vector<int16_t> coarse; // what 8 bits hold
    for (int16_t v : mono)
        coarse.push_back(int16_t(v & ~0xFF));
    const struct {
        int format;
        const std::vector<int16_t>& samples;
        int channels;
    } cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, coarse, 1}, {SF_FORMAT_WAV | SF_FORMAT_PCM_24, mono, 1},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_32, mono, 2},   {SF_FORMAT_WAV | SF_FORMAT_FLOAT, mono, 1},
        {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, mono, 2},   {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, mono, 1},
        {SF_FORMAT_FLAC | SF_FORMAT_PCM_24, mono, 2},  {SF_FORMAT_AIFF | SF_FORMAT_PCM_24, mono, 1},
        {SF_FORMAT_CAF | SF_FORMAT_FLOAT, mono, 1},
    };
    std::vector<unsigned char> image;
    for (const auto& c : cases) {
        const std::string path = dir.path() + "/s" + std::to_string(c.format);
        ASSERT_TRUE(writeEncoded(path, c.format, c.samples, c.channels, 22050)) << c.format;
        EXPECT_EQ(convertToWavImage(path, image), ConvertResult::ok);
        EXPECT_EQ(std::string(image.begin(), image.end()),
                  testwav::wav(c.samples, uint16_t(c.channels), 22050))
            << c.format;
    }
    // 24 bits between two 16-bit values: 100.5, -100.5, 100.496, and 32767.5 clipped.
    std::string wide = testwav::header({1, 1, 44100, 24}, 12);
    for (int32_t v : {100 * 256 + 128, -100 * 256 - 128, 100 * 256 + 127, 32767 * 256 + 128})
        wide += std::string{char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF)};
    const std::string between = dir.file("between.wav", wide);
    ASSERT_EQ(convertToWavImage(between, image), ConvertResult::ok);
    EXPECT_EQ(std::string(image.begin(), image.end()), testwav::wav({101, -101, 100, 32767}));
}

// Beside the source: take.wav, else take-16bit.wav beside a different take.wav; a file holding
// the same sound is used as it is. (The window's test sends one to the cache folder.)
TEST(AudioConvert, ConvertBesideNamesAndReuses) {
    ScratchDir dir;
    const std::string d = dir.path(), cache = d + "/cache";
    const std::vector<int16_t> a = extremes(), b(50, 7);
    ASSERT_TRUE(writeEncoded(d + "/take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, a, 1, 16000));
    auto convert = [&](const std::string& name) {
        const WavConversion c = convertBeside(d + "/" + name, cache);
        return std::make_tuple(c.result, c.path.substr(std::min(c.path.size(), d.size())),
                               c.reused);
    };
    using R = std::tuple<ConvertResult, std::string, bool>;
    EXPECT_EQ(convert("take.flac"), R(ConvertResult::ok, "/take.wav", false));
    EXPECT_EQ(convert("take.flac"), R(ConvertResult::ok, "/take.wav", true));
    testwav::writeFile(d + "/take.wav", testwav::wav(b, 1, 16000));
    EXPECT_EQ(convert("take.flac"), R(ConvertResult::ok, "/take-16bit.wav", false));
    EXPECT_EQ(convert("take.flac"), R(ConvertResult::ok, "/take-16bit.wav", true));
    EXPECT_EQ(
        std::make_tuple(slurp(d + "/take.wav"), slurp(d + "/take-16bit.wav")),
        std::make_tuple(testwav::wav(b, 1, 16000), testwav::wav(a, 1, 16000))); // never overwritten

    testwav::writeFile(d + "/junk.ogg", "OggS but not really");
    ASSERT_TRUE(writeEncoded(d + "/three.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, b, 3));
    EXPECT_EQ(std::make_tuple(std::get<0>(convert("junk.ogg")), std::get<0>(convert("three.flac"))),
              std::make_tuple(ConvertResult::unreadable, ConvertResult::channelCount));
}

// An Ogg Vorbis file cut short is refused as damaged (libvorbis leaks its info block on it: the
// one frame the test build's leak suppressions name).
TEST(AudioConvert, CutOggIsRefused) {
    ScratchDir dir;
    const std::string ogg = dir.path() + "/cut.ogg";
    ASSERT_TRUE(writeEncoded(ogg, SF_FORMAT_OGG | SF_FORMAT_VORBIS, testwav::ramp(44100)));
    std::string bytes = slurp(ogg);
    testwav::writeFile(ogg, bytes.substr(0, bytes.size() / 2));
    CWavPara wave;
    const SoundRead r = readSound(wave, ogg);
    EXPECT_EQ(refusalLines(r), (std::vector<std::string>{"wave file reading failed.",
                                                         "file damaged or not a sound."}));
}
