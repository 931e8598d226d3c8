#include "analysis/CWorkMemory.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <vector>

namespace {

// S, maxSize, E, L, letHigh, letLow, interval, T.
using Sizes = std::array<int32_t, 8>;

Sizes sizesOf(const CWorkMemory& w) {
    return {w.m_ssftSize, w.m_maxSize, w.m_excutionSize, w.m_letSize,
            w.m_letHigh,  w.m_letLow,  w.m_interval,     w.m_repeatTimes};
}

// clang-format off
std::vector<double*> buffers(const CWorkMemory& w) {
    return {w.m_harmonicsPower, w.m_power, w.m_pitchPower, w.m_pitch, w.m_wave, w.m_re, w.m_im,
            w.m_pow, w.m_phs, w.m_restore, w.m_restoreSum, w.m_rectDb, w.m_hamDb, w.m_restoreDb,
            w.m_rectPowMap, w.m_hamPowMap, w.m_auxMap, w.m_restorePowMap, w.m_hamDbMap,
            w.m_restoreDbMap, w.m_rectDbMap};
}
// clang-format on

} // namespace

TEST(CWorkMemory, NewObjectIsEmpty) {
    CWorkMemory w;
    EXPECT_EQ(Sizes{}, sizesOf(w));
    EXPECT_EQ(CWorkMemory::senseNormal, w.m_senseMode);
    for (double* p : buffers(w))
        EXPECT_EQ(nullptr, p);
    // Not sized: nothing to allocate.
    EXPECT_FALSE(w.newAll());
    EXPECT_FALSE(w.newIntervalTimeSize());
    w.deleteAll();
    w.deleteIntervalTimeSize();
}

// 191 x 512 + 2048 = 99,840 <= 100,000 fits; one frame more (100,352) does not and changes
// nothing. Every buffer is usable to its full length (AddressSanitizer checks the ends).
TEST(CWorkMemory, SetSizeFitsFramesAndAllocatesEveryBuffer) {
    CWorkMemory w;
    ASSERT_EQ(CWorkMemory::resultOk, w.setSize(2048, 100000, CWorkMemory::senseNormal, 512, 192));
    EXPECT_EQ((Sizes{2048, 100000, 99840, 4, 1, 0, 512, 192}), sizesOf(w));
    const std::vector<double*> before = buffers(w);
    for (double* p : before)
        ASSERT_NE(nullptr, p);
    w.m_wave[99839] = 1;
    w.m_re[2047] = w.m_restoreDb[2047] = w.m_pitch[191] = w.m_harmonicsPower[191] = 1;
    w.m_rectDbMap[192 * 1024 - 1] = w.m_auxMap[192 * 1024 - 1] = 1;

    EXPECT_EQ(CWorkMemory::resultSize, w.setSize(2048, 100000, CWorkMemory::senseFine, 512, 193));
    EXPECT_EQ((Sizes{2048, 100000, 99840, 4, 1, 0, 512, 192}), sizesOf(w));
    EXPECT_EQ(CWorkMemory::senseNormal, w.m_senseMode);
    EXPECT_EQ(before, buffers(w));

    ASSERT_EQ(CWorkMemory::resultOk, w.setSize(256, 4096, CWorkMemory::senseFine, 128, 10));
    EXPECT_EQ((Sizes{256, 4096, 1408, 32, 15, 1, 128, 10}), sizesOf(w));
    EXPECT_EQ(CWorkMemory::senseFine, w.m_senseMode);
    ASSERT_EQ(CWorkMemory::resultOk, w.setSize(512, 4096, CWorkMemory::senseFine, 128, 10));
    EXPECT_EQ((Sizes{512, 4096, 1664, 64, 31, 1, 128, 10}), sizesOf(w));
    w.m_restoreDbMap[10 * 256 - 1] = 0;

    w.deleteIntervalTimeSize();
    EXPECT_EQ(nullptr, w.m_hamPowMap);
    EXPECT_NE(nullptr, w.m_wave);
    ASSERT_TRUE(w.newIntervalTimeSize());
    w.m_hamPowMap[10 * 256 - 1] = 0;
    w.deleteAll();
    for (double* p : buffers(w))
        EXPECT_EQ(nullptr, p);
}

// Requests that would make buffers of zero or negative length, spans or planes that overflow a
// 32-bit int, or transforms the FFT cannot do are refused before anything is touched.
TEST(CWorkMemory, SetSizeRejectsUnusableSizes) {
    CWorkMemory w;
    ASSERT_EQ(CWorkMemory::resultOk, w.setSize(1024, 10000, CWorkMemory::senseNormal, 256, 20));
    const Sizes kept = sizesOf(w);
    const std::vector<double*> bufs = buffers(w);
    const struct {
        long s, max, interval, repeat;
        int mode;
    } bad[] = {
        {1024, 10000, 256, 0, 0},              // no frame
        {1024, 10000, 256, -3, 0},             // negative frame count
        {1024, 10000, 0, 20, 0},               // no hop
        {1024, 10000, -256, 20, 0},            // backwards hop: span below S
        {1000, 10000, 256, 20, 0},             // not a power of two
        {2, 10000, 256, 20, 0},                // too short for the FFT
        {65536, 1L << 30, 256, 20, 0},         // longer than the analysis supports
        {1024, 10000, 256, 20, 2},             // no such sense mode
        {1024, -1, 256, 1, 0},                 // nothing available
        {1024, LONG_MAX, INT_MAX, INT_MAX, 0}, // span overflows
        {1024, INT_MAX, 1, 5000000, 0},        // plane of 2.56e9 values overflows int
        {1024, 10000, 1L << 40, 2, 0},         // hop beyond 32 bits
    };
    for (const auto& b : bad) {
        EXPECT_EQ(CWorkMemory::resultSize,
                  w.setSize(b.s, b.max, static_cast<CWorkMemory::senseMode>(b.mode), b.interval,
                            b.repeat))
            << b.s << " " << b.max << " " << b.interval << " " << b.repeat;
        EXPECT_EQ(kept, sizesOf(w));
        EXPECT_EQ(bufs, buffers(w));
    }
}

// Allocation failure at any one of the 21 buffers: everything is released, the eight sizes go
// to 0, the sense mode keeps its new value, and the object can be sized again afterwards.
namespace {
int g_allocationsLeft = 0;
double* failingAllocator(size_t count) {
    return g_allocationsLeft-- > 0 ? new double[count] : nullptr;
}
} // namespace

TEST(CWorkMemory, SetSizeReportsAllocationFailure) {
    for (int failAt = 0; failAt < 21; ++failAt) {
        CWorkMemory w;
        ASSERT_EQ(CWorkMemory::resultOk, w.setSize(1024, 10000, CWorkMemory::senseNormal, 256, 20));
        g_allocationsLeft = failAt;
        workmemory_detail::setArrayAllocator(failingAllocator);
        const auto result = w.setSize(512, 10000, CWorkMemory::senseFine, 128, 30);
        workmemory_detail::setArrayAllocator(nullptr);
        EXPECT_EQ(CWorkMemory::resultMemory, result) << failAt;
        EXPECT_EQ(Sizes{}, sizesOf(w)) << failAt;
        EXPECT_EQ(CWorkMemory::senseFine, w.m_senseMode);
        for (double* p : buffers(w))
            EXPECT_EQ(nullptr, p) << failAt;
        EXPECT_EQ(CWorkMemory::resultOk, w.setSize(512, 10000, CWorkMemory::senseFine, 128, 30));
    }
}

// (100000 - 2049) / 512 = 191 frames fit; with 7000 samples only 9 would, which is refused.
TEST(CWorkMemory, CheckSizeReducesTheFrameCount) {
    const CWorkMemory w;
    long r = 500;
    EXPECT_EQ(CWorkMemory::resultOk, w.checkSize(2048, 100000, 512, &r));
    EXPECT_EQ(191, r);
    r = 500;
    EXPECT_EQ(CWorkMemory::resultSize, w.checkSize(2048, 7000, 512, &r));
    EXPECT_EQ(500, r);
    r = 192; // exactly fits: unchanged
    EXPECT_EQ(CWorkMemory::resultOk, w.checkSize(2048, 99840, 512, &r));
    EXPECT_EQ(192, r);
    r = 0; // no frame requested: treated as not fitting, so the largest count is offered
    EXPECT_EQ(CWorkMemory::resultOk, w.checkSize(2048, 100000, 512, &r));
    EXPECT_EQ(191, r);
    r = 20;
    EXPECT_EQ(CWorkMemory::resultSize, w.checkSize(2048, 100000, 0, &r));
    EXPECT_EQ(CWorkMemory::resultSize, w.checkSize(2048, 100000, 512, nullptr));
    r = LONG_MAX;
    EXPECT_EQ(CWorkMemory::resultSize, w.checkSize(2048, 100000, 512, &r));
    EXPECT_EQ(LONG_MAX, r);
    r = INT_MAX; // the span overflows 32 bits but is computed wide: reduced, not wrapped
    EXPECT_EQ(CWorkMemory::resultOk, w.checkSize(2048, 100000, 512, &r));
    EXPECT_EQ(191, r);
}
