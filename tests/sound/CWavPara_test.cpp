#include "sound/CWavPara.h"
#include "support/TestWav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>

using testwav::TempFile;

namespace {

struct ReadCase {
    const char* name;
    std::string bytes;
    int result;
    int32_t totalSamples;
};

std::string withFmt(uint16_t tag, uint16_t channels, uint16_t bits) {
    testwav::Format f;
    f.tag = tag;
    f.channels = channels;
    f.bits = bits;
    return testwav::header(f, 8) + std::string(8, '\x01');
}

} // namespace

TEST(CWavPara, AcceptsOnlyTheCanonicalLayout) {
    const std::string ok = testwav::wav(testwav::ramp(100));
    std::string fmt18 = ok.substr(0, 16) + std::string("\x12\0\0\0", 4) + ok.substr(20, 16) +
                        std::string(2, '\0') + ok.substr(36);
    std::string list = ok.substr(0, 36) + "LIST" + std::string("\4\0\0\0abcd", 8) + ok.substr(36);
    std::string fmtX = ok;
    fmtX[15] = 'X';
    std::string oddMono = testwav::header({}, 201) + std::string(201, '\x02');
    testwav::Format st;
    st.channels = 2;
    std::string oddStereo = testwav::header(st, 6) + std::string(6, '\x03');
    std::string truncated = ok.substr(0, 44 + 2 * 60);
    std::string huge = ok;
    testwav::put32(huge, 0); // two more samples than the plain file
    huge.replace(40, 4, "\xFF\xFF\xFF\xFF");

    const ReadCase cases[] = {
        {"plain", ok, 0, 100},
        {"fmt 18 bytes", fmt18, 2, 0},
        {"LIST before data", list, 2, 0},
        {"4th fmt byte free", fmtX, 0, 100},
        {"float tag 16 bit", withFmt(3, 1, 16), 0, 4},
        {"8 bit", withFmt(1, 1, 8), 5, 0},
        {"24 bit", withFmt(1, 1, 24), 5, 0},
        {"3 channels", withFmt(1, 3, 16), 4, 0},
        {"0 channels", withFmt(1, 0, 16), 4, 0},
        {"RIFX", "RIFX" + ok.substr(4), 2, 0},
        {"odd mono size", oddMono, 0, 100},
        {"odd stereo values", oddStereo, 0, 1},
        {"truncated data", truncated, 0, 60},
        {"size 0xFFFFFFFF", huge, 0, 102},
    };
    for (const ReadCase& c : cases) {
        TempFile file(c.bytes);
        CWavPara w;
        EXPECT_EQ(w.setSizeFromWav(file.c_str()), c.result) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(w.m_totalSamples, c.totalSamples) << c.name;
            EXPECT_EQ(w.m_windowLen, c.totalSamples) << c.name;
            EXPECT_TRUE(w.setSiii()) << c.name;
        }
    }
    CWavPara missing;
    EXPECT_EQ(missing.setSizeFromWav("/nonexistent/x.wav"), CWavPara::resultReadError);
    EXPECT_EQ(missing.setSizeFromWav(nullptr), CWavPara::resultReadError);
}

TEST(CWavPara, EveryHeaderPrefixIsAReadError) {
    const std::string ok = testwav::wav(testwav::ramp(10));
    for (size_t n = 0; n < 44; ++n) {
        TempFile file(ok.substr(0, n));
        CWavPara w;
        EXPECT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultReadError) << n;
    }
    TempFile headerOnly(ok.substr(0, 44));
    CWavPara w;
    ASSERT_EQ(w.setSizeFromWav(headerOnly.c_str()), CWavPara::resultOK);
    EXPECT_EQ(w.m_totalSamples, 0);
    EXPECT_TRUE(w.setSiii());
}

TEST(CWavPara, MonoFormatOverviewAndExtremes) {
    std::vector<int16_t> s = testwav::ramp(100);
    s[7] = -300;
    s[50] = 12345;
    TempFile file(testwav::wav(s, 1, 8000));
    CWavPara w;
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    EXPECT_EQ(w.m_sampleFreq, 8000);
    EXPECT_EQ(w.m_quantBit, 16);
    EXPECT_EQ(w.m_overviewStep, 1);
    EXPECT_EQ(w.m_overviewLen, 100);
    EXPECT_EQ(w.m_overview[50], 12345);
    EXPECT_EQ(w.m_max, 12345);
    EXPECT_EQ(w.m_min, -300);
    EXPECT_EQ(w.m_channelSelect, 1);
    EXPECT_STREQ(w.m_path, file.c_str());
    EXPECT_EQ(w.m_pathSize, int32_t(file.path.size() + 1));
}

TEST(CWavPara, StereoWindowIsTheLeftChannel) {
    std::vector<int16_t> s;
    for (int i = 0; i < 50; ++i) {
        s.push_back(int16_t(i));
        s.push_back(int16_t(-1000 - i));
    }
    TempFile file(testwav::wav(s, 2));
    CWavPara w(441000, 40); // long file for this cache: overview step 50 / 4 + 1 = 13
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    EXPECT_EQ(w.m_channelSelect, 2);
    EXPECT_EQ(w.m_overviewStep, 13);
    ASSERT_EQ(w.m_overviewLen, 3);
    EXPECT_EQ(w.m_overview[2], 26);
    EXPECT_EQ(w.m_overview2[2], -1026);
    EXPECT_EQ(w.m_max, 49);
    EXPECT_EQ(w.m_min, 0);
    EXPECT_EQ(w.m_max2, -1000);
    EXPECT_EQ(w.m_min2, -1049);
    w.setChannelSelect(CWavPara::secondChannel);
    EXPECT_EQ(w.m_overview, w.m_overview2);
    w.m_windowStart = 10;
    EXPECT_TRUE(w.setSiiiIntMid());
    EXPECT_EQ(w.m_windowLen, 40); // never longer than the cache
    for (int i = 0; i < w.m_windowLen; ++i)
        ASSERT_EQ(w.m_windowInt[i], 10 + i);
}

// A ramp larger than the cache: every window position must read back the ramp exactly,
// whether it lies in the cache, crosses its edge or forces a refill.
TEST(CWavPara, CacheRefillsKeepPositions) {
    TempFile file(testwav::wav(testwav::ramp(5000)));
    CWavPara w(300, 1000);
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    EXPECT_EQ(w.m_overviewStep, 51);
    EXPECT_EQ(w.m_overviewLen, 98);
    EXPECT_EQ(w.m_overview[97], 97 * 51);

    struct Move {
        int32_t windowStart, cacheStart;
    } moves[] = {{0, 0}, {700, 0}, {800, 300}, {1000, 300}, {4700, 4000}, {2000, 1500}, {4, 0}};
    for (const Move& m : moves) {
        w.m_windowStart = m.windowStart;
        ASSERT_TRUE(w.setSiii());
        EXPECT_EQ(w.m_cacheStart, m.cacheStart) << m.windowStart;
        for (int i = 0; i < w.m_windowLen; ++i)
            ASSERT_EQ(w.m_window[i], double(m.windowStart + i)) << m.windowStart;
    }
    for (int32_t start = 4700; start >= 0; start -= 37) {
        w.m_windowStart = start;
        ASSERT_TRUE(w.setSiiiIntMid());
        ASSERT_EQ(w.m_windowInt[0], start);
        ASSERT_EQ(w.m_windowInt[299], start + 299);
    }
    // Positions outside the file read as silence and are reported.
    w.m_windowStart = 4900;
    EXPECT_FALSE(w.setSiii());
    EXPECT_EQ(w.m_window[99], 4999.0);
    EXPECT_EQ(w.m_window[100], 0.0);
    w.m_windowStart = -50;
    EXPECT_FALSE(w.setSiii());
    EXPECT_EQ(w.m_window[49], 0.0);
    EXPECT_EQ(w.m_window[51], 1.0);
}

TEST(CWavPara, ShortReadDuringRefillGivesZeros) {
    TempFile file(testwav::wav(testwav::ramp(5000)));
    CWavPara w(300, 1000);
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    ASSERT_EQ(truncate(file.c_str(), 44 + 2 * 3000), 0);
    w.m_windowStart = 2900; // refill from 2400: 600 frames left in the file
    EXPECT_FALSE(w.setSiiiIntMid());
    EXPECT_EQ(w.m_windowInt[99], 2999);
    for (int i = 100; i < 300; ++i)
        ASSERT_EQ(w.m_windowInt[i], 0) << i;
    for (int i = 600; i < 1000; ++i) // nothing of the previous block survives in the cache
        ASSERT_EQ(w.m_cache1[i], 0) << i;
}

// Positions past 2^30 frames of a stereo file sit beyond byte 2^32; a sparse file keeps the
// test cheap, and the object is pointed at it after reading a small file of the same layout.
TEST(CWavPara, RefillSeeksBeyondFourGiB) {
    std::vector<int16_t> small(2 * 100);
    TempFile file(testwav::wav(small, 2));
    CWavPara w(100, 1000);
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    const int64_t frames = (int64_t(1) << 30) + 5000;
    const int64_t at = (int64_t(1) << 30) + 1000;
    int fd = open(file.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const int16_t marker[4] = {1234, -1, 4321, -2};
    bool sparse = ftruncate(fd, 44 + frames * 4) == 0 &&
                  pwrite(fd, marker, sizeof marker, off_t(44 + at * 4)) == sizeof marker;
    close(fd);
    if (!sparse)
        GTEST_SKIP() << "no sparse file support";
    std::fclose(w.m_file);
    w.m_file = std::fopen(file.c_str(), "rb");
    w.m_totalSamples = int32_t(frames);
    w.m_windowStart = int32_t(at);
    EXPECT_TRUE(w.setSiii());
    EXPECT_EQ(w.m_cacheStart, at - 500);
    EXPECT_EQ(w.m_window[0], 1234.0);
    EXPECT_EQ(w.m_window[1], 4321.0);
}

TEST(CWavPara, RangesAreClampedAndNeedAFrequency) {
    TempFile file(testwav::wav(testwav::ramp(10)));
    CWavPara w;
    ASSERT_EQ(w.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    EXPECT_EQ(w.setRangeXY(-5, 30000, -130.0, 0.0), CWavPara::resultOK);
    EXPECT_EQ(w.m_freqLow, 0);
    EXPECT_EQ(w.m_freqHigh, 22050);
    EXPECT_EQ(w.m_dbLow, -130.0);
    EXPECT_EQ(w.checkRangeXY(5000, 3000, 10.0, 5.0), CWavPara::resultOK);
    EXPECT_EQ(w.m_freqLow, 0);
    EXPECT_EQ(w.m_freqHigh, 3000);
    EXPECT_EQ(w.m_dbLow, -190.0);
    EXPECT_EQ(w.m_dbHigh, 0.0);
    EXPECT_EQ(w.setRangeXY(100, 200, NAN, 0.0), CWavPara::resultNoSampleFreq);
    EXPECT_EQ(w.m_freqHigh, 3000);

    for (uint32_t freq : {0u, 0x80000000u, 0xFFFFFFFFu}) {
        TempFile bad(testwav::wav(testwav::ramp(10), 1, freq));
        CWavPara b;
        ASSERT_EQ(b.setSizeFromWav(bad.c_str()), CWavPara::resultOK);
        EXPECT_LE(b.m_sampleFreq, 0);
        EXPECT_EQ(b.setRangeXY(0, 6000, -130.0, 0.0), CWavPara::resultNoSampleFreq);
        EXPECT_EQ(b.m_freqHigh, 0);
    }
}
