#include "cli/CliRun.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/DemoVoice.h"
#include "engine/sound/WavHeader.h"

#include <fcntl.h>

using testwav::TempFile;

// Chunks are walked: a longer fmt chunk and other chunks before or after the data (odd ones
// padded) give the same samples as the plain file; float and compressed formats are refused
// whatever bits they claim. The fourth byte of "fmt " is free; every prefix of the header is a
// read error. (The fuzz replay's own chunk walker checks the starting inputs: extensible PCM, a
// size above what the file holds, streaming sizes, odd byte counts, 8 bits, 3 channels.)
TEST(CWavPara, WalksChunksAndRefusesWhatIsNotIntegerPcm) {
    const std::string ok = testwav::wav(testwav::ramp(100));
    const std::string fmt = ok.substr(20, 16), data = ok.substr(36);
    auto chunk = [](const char* id, const std::string& body) {
        std::string c = id;
        testwav::put32(c, uint32_t(body.size()));
        return c + body + (body.size() % 2 ? std::string(1, '\0') : "");
    };
    auto riff = [](const std::string& chunks) {
        return "RIFF" + std::string(4, '\0') + "WAVE" + chunks;
    };
    // Extensible: cbSize 22, 16 valid bits, a channel mask, then the sub-format GUID.
    auto extensible = [&](uint16_t subFormat) {
        std::string f = fmt;
        f[0] = '\xFE', f[1] = '\xFF';
        testwav::put16(f, 22), testwav::put16(f, 16), testwav::put32(f, 4),
            testwav::put16(f, subFormat);
        return f + std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14);
    };
    std::string fmtX = ok;
    fmtX[15] = 'X';
    // clang-format off
    const struct { const char* name; std::string bytes; int result; int32_t samples; } cases[] = {
        {"plain", ok, 0, 100},
        {"LIST, odd JUNK, bext, fact", riff(chunk("LIST", "INFOabcd") + chunk("JUNK", "x") +
            chunk("bext", std::string(602, 'b')) + chunk("fmt ", fmt) + chunk("fact", "1234") + data), 0, 100},
        {"data before fmt, LIST after", riff(data + chunk("fmt ", fmt) + chunk("LIST", "\x7F")), 0, 100},
        {"extensible float", riff(chunk("fmt ", extensible(3)) + data), 6, 0},
        {"no data chunk", riff(chunk("fmt ", fmt) + chunk("LIST", "abcd")), 2, 0},
        {"fmt 14 bytes", riff(chunk("fmt ", fmt.substr(0, 14)) + data), 2, 0},
        {"4th fmt byte free", fmtX, 0, 100}, {"RIFX", "RIFX" + ok.substr(4), 2, 0},
        {"0 channels", testwav::header({1, 0}, 8) + std::string(8, '\x01'), 4, 0},
    };
    // clang-format on
    const std::vector<int16_t> ramp = testwav::ramp(100);
    for (const auto& c : cases) {
        TempFile file(c.bytes);
        CWavPara w;
        EXPECT_EQ(w.setSizeFromWav(file.c_str()), c.result) << c.name;
        EXPECT_TRUE(c.result != 0 ||
                    (w.m_totalSamples == c.samples && w.m_windowLen == c.samples && w.setSiii()))
            << c.name;
        if (c.result == 0 && c.bytes.find(data) != std::string::npos) { // the ramp, any layout
            EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), w.m_cache1)) << c.name;
        }
    }
    for (size_t n = 0; n < 44; ++n) {
        TempFile file(ok.substr(0, n));
        EXPECT_EQ(CWavPara().setSizeFromWav(file.c_str()), CWavPara::resultReadError) << n;
    }
    CWavPara missing;
    EXPECT_TRUE(missing.setSizeFromWav("/nonexistent/x.wav") == CWavPara::resultReadError &&
                missing.setSizeFromWav(nullptr) == CWavPara::resultReadError);
}

// A stereo file longer than the cache of 40 has an overview step of 50 / 4 + 1 = 13 per channel
// with extremes per channel; the second channel can be selected for the overview.
TEST(CWavPara, StereoOverviewAndChannelSelect) {
    std::vector<int16_t> stereo;
    for (int i = 0; i < 50; ++i) {
        stereo.push_back(int16_t(i));
        stereo.push_back(int16_t(-1000 - i));
    }
    TempFile file(testwav::wav(stereo, 2, 8000));
    CWavPara w(441000, 40);
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    EXPECT_EQ(std::make_tuple(w.m_sampleFreq, w.m_channelSelect, w.m_overviewStep, w.m_overviewLen),
              std::make_tuple(8000, 2, 13, 3));
    EXPECT_EQ(std::make_tuple(w.m_overview[2], w.m_overview2[2], w.m_max2, w.m_min2),
              std::make_tuple(26, -1026, -1000, -1049));
    w.setChannelSelect(CWavPara::secondChannel); // the number a stereo file starts with
    EXPECT_TRUE(w.m_overview == w.m_overview2 && w.m_channelSelect == 2);

    // Another analysed channel fills the first cache, overview and extremes: the right one, or
    // the mean with halves away from zero.
    TempFile pairs(testwav::wav({1, 2, -1, -2, 3, -3, -32768, 32767, 32767, 32767}, 2));
    using S = std::vector<int16_t>;
    for (const auto& [channel, expected] :
         {std::pair{AnalysedChannel::right, S{2, -2, -3, 32767, 32767}},
          std::pair{AnalysedChannel::mix, S{2, -2, 0, -1, 32767}}}) {
        CWavPara p;
        p.m_analysedChannel = channel;
        ASSERT_EQ(p.setSizeFromWav(pairs.c_str()), CWavPara::resultOK);
        EXPECT_EQ(std::make_tuple(S(p.m_cache1, p.m_cache1 + 5), S(p.m_overview, p.m_overview + 5),
                                  p.m_max, p.m_min, p.m_cache2[2]),
                  std::make_tuple(expected, expected, int16_t(32767),
                                  *std::min_element(expected.begin(), expected.end()),
                                  int16_t(-3)));
    }
}

// A ramp larger than the cache: every window position must read back the ramp exactly, whether
// it lies in the cache, crosses its edge or forces a refill. A refill cut short by a file that
// shrank reads as silence and is reported. (The fuzz replay checks windows past either end.)
TEST(CWavPara, CacheRefillsKeepPositions) {
    TempFile file(testwav::wav(testwav::ramp(5000)));
    CWavPara w(300, 1000);
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    const std::pair<int32_t, int32_t> moves[] = {
        {0, 0}, {700, 0}, {800, 300}, {1000, 300}, {4700, 4000}, {2000, 1500}, {4, 0}};
    for (const auto& [windowStart, cacheStart] : moves) {
        w.m_windowStart = windowStart;
        ASSERT_TRUE(w.setSiii());
        EXPECT_EQ(w.m_cacheStart, cacheStart) << windowStart;
        for (int i = 0; i < w.m_windowLen; ++i)
            ASSERT_EQ(w.m_window[i], double(windowStart + i)) << windowStart;
    }
    // A window reaching past the end reads the rest as silence and says it is incomplete.
    w.m_windowStart = 4800;
    EXPECT_TRUE(!w.setSiii() && w.m_window[199] == 4999.0 &&
                std::all_of(w.m_window + 200, w.m_window + 300, [](double v) { return v == 0.0; }));
    ASSERT_EQ(truncate(file.c_str(), 44 + 2 * 3000), 0);
    w.m_windowStart = 2900; // refill from 2400: 600 frames left in the file
    EXPECT_TRUE(!w.setSiiiIntMid() && w.m_windowInt[99] == 2999);
    // Nothing of the previous block survives in the cache or reaches the window.
    EXPECT_TRUE(
        std::all_of(w.m_windowInt + 100, w.m_windowInt + 300, [](int16_t v) { return v == 0; }) &&
        std::all_of(w.m_cache1 + 600, w.m_cache1 + 1000, [](int16_t v) { return v == 0; }));
}

// Positions past 2^30 frames of a stereo file sit beyond byte 2^32; a sparse file keeps the
// test cheap, and the object is pointed at it after reading a small file of the same layout.
TEST(CWavPara, RefillSeeksBeyondFourGiB) {
    TempFile file(testwav::wav(std::vector<int16_t>(2 * 100), 2));
    CWavPara w(100, 1000);
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    const int64_t frames = (int64_t(1) << 30) + 5000, at = (int64_t(1) << 30) + 1000;
    const int16_t marker[4] = {1234, -1, 4321, -2};
    const int fd = open(file.c_str(), O_WRONLY);
    const bool sparse = fd >= 0 && ftruncate(fd, 44 + frames * 4) == 0 &&
                        pwrite(fd, marker, sizeof marker, off_t(44 + at * 4)) == sizeof marker;
    close(fd);
    if (!sparse)
        GTEST_SKIP() << "no sparse file support";
    std::fclose(w.m_file);
    w.m_file = std::fopen(file.c_str(), "rb");
    w.m_totalSamples = int32_t(frames);
    w.m_windowStart = int32_t(at);
    EXPECT_TRUE(w.setSiii() && w.m_cacheStart == at - 500);
    EXPECT_TRUE(w.m_window[0] == 1234.0 && w.m_window[1] == 4321.0);
}

// Frequencies outside 0 ... SampleFreq / 2 fall back to the ends, the top dB limit to at most 0,
// and a low limit above it is moved down by 200 dB. A sound without a usable frequency (0 or
// beyond 2^31) or a limit that is not a number stores nothing.
TEST(CWavPara, RangesAreClampedAndNeedAFrequency) {
    TempFile file(testwav::wav(testwav::ramp(10)));
    CWavPara w;
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    EXPECT_EQ(w.setRangeXY(-5, 30000, -130.0, 0.0), CWavPara::resultOK);
    EXPECT_EQ(std::make_tuple(w.m_freqLow, w.m_freqHigh, w.m_dbLow),
              std::make_tuple(0, 22050, -130.0));
    EXPECT_EQ(w.checkRangeXY(5000, 3000, 10.0, 5.0), CWavPara::resultOK);
    EXPECT_EQ(std::make_tuple(w.m_freqLow, w.m_freqHigh, w.m_dbLow, w.m_dbHigh),
              std::make_tuple(0, 3000, -190.0, 0.0));
    EXPECT_TRUE(w.setRangeXY(100, 200, NAN, 0.0) == CWavPara::resultNoSampleFreq &&
                w.m_freqHigh == 3000);
    for (uint32_t freq : {0u, 0x80000000u, 0xFFFFFFFFu}) {
        TempFile bad(testwav::wav(testwav::ramp(10), 1, freq));
        CWavPara b;
        ASSERT_EQ(b.setSizeFromWav(bad.c_str()), CWavPara::resultOK);
        EXPECT_TRUE(b.setRangeXY(0, 6000, -130.0, 0.0) == CWavPara::resultNoSampleFreq &&
                    b.m_freqHigh == 0)
            << freq;
    }
}

// A stereo header whose fields hold distinct bytes, so that a swapped or shifted byte shows: data
// of 0x01020304 bytes (the riff size 36 more), 0x030201 Hz (four times that in bytes a second).
// Nothing is written past the 44 bytes. (The converted sounds and the demo compare mono headers
// of the usual rates whole with the test helper's files.)
TEST(WavHeader, FieldsMatchTheCanonicalLayoutByteForByte) {
    std::string h(kWavHeaderBytes + 1, '\xA5');
    writeWavHeader(reinterpret_cast<unsigned char*>(&h[0]), 0x01020304, 0x030201, 16, 2);
    EXPECT_EQ(h, std::string("RIFF\x28\x03\x02\x01WAVEfmt \x10\0\0\0\x01\0\x02\0"
                             "\x01\x02\x03\0\x04\x08\x0C\0\x04\0\x10\0data\x04\x03\x02\x01\xA5",
                             45));
}

// Phrases of 2.4 s and pauses of 0.6 s, the same every time, hardly clipped; the CLI writes them
// as a canonical WAV file, or says why it cannot.
TEST(DemoVoice, PhrasesAndPausesWrittenByTheCli) {
    const std::vector<int16_t> voice = synthesizeDemoVoice(44100, 24.0);
    auto rms = [&voice](double from, double to) {
        double sum = 0.0;
        for (size_t i = size_t(from * 44100); i < size_t(to * 44100); ++i)
            sum += double(voice[i]) * voice[i];
        return std::sqrt(sum / ((to - from) * 44100));
    };
    EXPECT_TRUE(rms(0.5, 2.0) > 1000.0 && rms(2.45, 2.95) < 20.0 && rms(3.5, 5.0) > 1000.0);
    EXPECT_LT(std::count(voice.begin(), voice.end(), 32767) +
                  std::count(voice.begin(), voice.end(), -32767),
              50);
    const ScratchDir dir; // the demo writes its memo files and figure beside the sound
    const std::string demo = dir.path() + "/demo.wav";
    ASSERT_EQ(cli({"demo", demo}).status, 0);
    const CliRun bad = cli({"demo", "/nonexistent-dir/demo.wav"});
    EXPECT_TRUE(bad.status == 1 &&
                bad.err == "vocalith-cli: cannot write /nonexistent-dir/demo.wav.\n");
    EXPECT_EQ(testwav::wav(voice), slurp(demo.c_str())); // 44.1 kHz mono, the voice as synthesized
}
