#include "cli/CliRun.h"
#include "engine/sound/AudioConvert.h"
#include "support/EncodedSound.h"

#include <fcntl.h>
#include <unistd.h>

#include <iostream>

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

// What libsndfile cannot read, and a channel count the window cannot show, are told apart; an Ogg
// Vorbis file cut short is refused as damaged (libvorbis leaks its info block on it: the one frame
// the test build's leak suppressions name).
TEST(AudioConvert, RefusesUnreadableCutAndThreeChannelSounds) {
    ScratchDir dir;
    const std::string d = dir.path();
    std::vector<unsigned char> image;
    testwav::writeFile(d + "/junk.ogg", "OggS but not really");
    ASSERT_TRUE(writeEncoded(d + "/three.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                             std::vector<int16_t>(50, 7), 3));
    EXPECT_EQ(std::make_tuple(convertToWavImage(d + "/junk.ogg", image),
                              convertToWavImage(d + "/three.flac", image)),
              std::make_tuple(ConvertResult::unreadable, ConvertResult::channelCount));
    ASSERT_TRUE(
        writeEncoded(d + "/cut.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, testwav::ramp(44100)));
    const std::string bytes = slurp(d + "/cut.ogg");
    testwav::writeFile(d + "/cut.ogg", bytes.substr(0, bytes.size() / 2));
    CWavPara wave;
    EXPECT_EQ(
        refusalLines(readSound(wave, d + "/cut.ogg")),
        (std::vector<std::string>{"wave file reading failed.", "file damaged or not a sound."}));
}

// libmpg123's notes on an MP3 with a damaged frame ("Illegal Audio-MPEG-Header", "Trying to
// resync") stay off stderr; our own lines before and after get through.
TEST(AudioConvert, Mp3DecoderNotesStayOffStderr) {
    ScratchDir dir;
    const std::string mp3 = dir.path() + "/t.mp3", log = dir.path() + "/stderr";
    ASSERT_TRUE(writeEncoded(mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, testwav::ramp(44100)));
    std::string bytes = slurp(mp3);
    testwav::writeFile(mp3, bytes.replace(bytes.size() / 2, 300, 300, '\x55'));
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO), fd = open(log.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_TRUE(saved >= 0 && dup2(fd, STDERR_FILENO) >= 0 && close(fd) == 0);
    std::cerr << "ours before\n";
    std::vector<unsigned char> image;
    const ConvertResult result = convertToWavImage(mp3, image);
    std::fputs("ours after\n", stderr);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    EXPECT_TRUE(result == ConvertResult::ok && slurp(log) == "ours before\nours after\n")
        << slurp(log);
}
