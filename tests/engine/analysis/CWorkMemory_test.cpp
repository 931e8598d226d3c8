#include "engine/analysis/CWorkMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

namespace {

using W = CWorkMemory;
using Sizes = std::array<int32_t, 8>; // S, maxSize, E, L, letHigh, letLow, interval, T

Sizes sizesOf(const W& w) {
    return {w.m_ssftSize, w.m_maxSize, w.m_excutionSize, w.m_letSize,
            w.m_letHigh,  w.m_letLow,  w.m_interval,     w.m_repeatTimes};
}

// clang-format off
std::vector<double*> buffers(const W& w) {
    return {w.m_harmonicsPower, w.m_power, w.m_pitchPower, w.m_pitch, w.m_wave, w.m_re, w.m_im,
            w.m_pow, w.m_phs, w.m_restore, w.m_restoreSum, w.m_rectDb, w.m_hamDb, w.m_restoreDb,
            w.m_rectPowMap, w.m_hamPowMap, w.m_auxMap, w.m_restorePowMap, w.m_hamDbMap,
            w.m_restoreDbMap, w.m_rectDbMap};
}
// clang-format on

int g_allocationsLeft = 0;
double* failingAllocator(size_t count) {
    return g_allocationsLeft-- > 0 ? static_cast<double*>(std::malloc(count * sizeof(double)))
                                   : nullptr;
}

} // namespace

// 191 x 512 + 2048 = 99,840 <= 100,000 fits. Every buffer is written at its last element
// (AddressSanitizer checks the ends). Refused before anything is touched, the sense mode included,
// in order: one frame more than fits (100,352 samples), no frame, a negative count, no hop, a
// backwards hop (span below S), S not a power of two, too short for the FFT, longer than the
// analysis supports, no such sense mode, nothing available, a span, a plane (2.56e9 values) or a
// hop that overflows 32 bits. The restoration sizes follow the sense mode.
TEST(CWorkMemory, SetSizeFitsFramesRejectsUnusableSizesAndAllocatesEveryBuffer) {
    W w;
    EXPECT_FALSE(w.newAll()); // not sized: nothing to allocate
    ASSERT_EQ(W::resultOk, w.setSize(2048, 100000, W::senseNormal, 512, 192));
    EXPECT_EQ((Sizes{2048, 100000, 99840, 4, 1, 0, 512, 192}), sizesOf(w));
    const std::vector<double*> before = buffers(w);
    ASSERT_EQ(before.end(), std::find(before.begin(), before.end(), nullptr));
    w.m_wave[99839] = w.m_re[2047] = w.m_restoreDb[2047] = w.m_pitch[191] = 1;
    w.m_harmonicsPower[191] = w.m_rectDbMap[192 * 1024 - 1] = w.m_auxMap[192 * 1024 - 1] = 1;
    const Sizes kept = sizesOf(w);
    // clang-format off
    const struct { long s, max, interval, repeat; int mode; } bad[] = {
        {2048, 100000, 512, 193, 1},    {1024, 10000, 256, 0, 0},   {1024, 10000, 256, -3, 0},
        {1024, 10000, 0, 20, 0},        {1024, 10000, -256, 20, 0}, {1000, 10000, 256, 20, 0},
        {2, 10000, 256, 20, 0},         {65536, 1L << 30, 256, 20, 0},
        {1024, 10000, 256, 20, 2},      {1024, -1, 256, 1, 0},
        {1024, LONG_MAX, INT_MAX, INT_MAX, 0}, {1024, INT_MAX, 1, 5000000, 0},
        {1024, 10000, 1L << 40, 2, 0},
    };
    // clang-format on
    for (const auto& b : bad) {
        EXPECT_EQ(W::resultSize, w.setSize(b.s, b.max, W::senseMode(b.mode), b.interval, b.repeat))
            << b.s << " " << b.max << " " << b.interval << " " << b.repeat;
        EXPECT_TRUE(kept == sizesOf(w) && before == buffers(w) && w.m_senseMode == W::senseNormal);
    }
    ASSERT_EQ(W::resultOk, w.setSize(512, 4096, W::senseFine, 128, 10));
    EXPECT_EQ((Sizes{512, 4096, 1664, 64, 31, 1, 128, 10}), sizesOf(w));
    EXPECT_EQ(W::senseFine, w.m_senseMode);
    w.m_hamPowMap[10 * 256 - 1] = 0;
    w.deleteAll();
    EXPECT_EQ(std::vector<double*>(21, nullptr), buffers(w));
}

// Allocation failure at any one of the 21 buffers: everything is released, the eight sizes go
// to 0, the sense mode keeps its new value, and the object can be sized again afterwards.
TEST(CWorkMemory, SetSizeReportsAllocationFailure) {
    for (int failAt = 0; failAt < 21; ++failAt) {
        W w;
        ASSERT_EQ(W::resultOk, w.setSize(1024, 10000, W::senseNormal, 256, 20));
        g_allocationsLeft = failAt;
        workmemory_detail::setArrayAllocator(failingAllocator);
        const auto result = w.setSize(512, 10000, W::senseFine, 128, 30);
        workmemory_detail::setArrayAllocator(nullptr);
        EXPECT_TRUE(result == W::resultMemory && sizesOf(w) == Sizes{} &&
                    w.m_senseMode == W::senseFine && buffers(w) == std::vector<double*>(21))
            << failAt;
        EXPECT_EQ(W::resultOk, w.setSize(512, 10000, W::senseFine, 128, 30));
    }
}

// The planes of a released work memory come back, as they were, to the next one of its shape: a
// fresh plane would hold zeros.
TEST(CWorkMemory, ReusesThePlanesOfItsShape) {
    std::vector<double> marks;
    {
        W w;
        ASSERT_EQ(W::resultOk, w.setSize(4096, 441000, W::senseNormal, 512, 853));
        for (size_t i = 14; i < 21; ++i)
            marks.push_back(buffers(w)[i][0] = double(i));
    }
    W again;
    ASSERT_EQ(W::resultOk, again.setSize(4096, 441000, W::senseNormal, 512, 853));
    std::vector<double> found;
    for (size_t i = 14; i < 21; ++i)
        found.push_back(buffers(again)[i][0]);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, marks);
}

// S = 2048: (100000 - 2049) / 512 = 191 frames fit; with 7000 samples only 9 would: refused. A
// count that exactly fits stays; no frame is offered the largest count; no hop or a count past
// any span is refused; a span past 32 bits is computed wide and reduced, not wrapped.
TEST(CWorkMemory, CheckSizeReducesTheFrameCount) {
    // clang-format off
    const struct { long max, interval, in; W::resultWorkMemory result; long out; } cases[] = {
        {100000, 512, 500, W::resultOk, 191},     {7000, 512, 500, W::resultSize, 500},
        {99840, 512, 192, W::resultOk, 192},      {100000, 512, 0, W::resultOk, 191},
        {100000, 0, 20, W::resultSize, 20},       {100000, 512, LONG_MAX, W::resultSize, LONG_MAX},
        {100000, 512, INT_MAX, W::resultOk, 191},
    };
    // clang-format on
    const W w;
    for (const auto& c : cases) {
        long r = c.in;
        EXPECT_EQ(c.result, w.checkSize(2048, c.max, c.interval, &r)) << c.max << " " << c.in;
        EXPECT_EQ(c.out, r) << c.max << " " << c.in;
    }
    EXPECT_EQ(W::resultSize, w.checkSize(2048, 100000, 512, nullptr));
}
