// Tolerances follow the policy at the top of FftPrimitives_test.cpp: the restoration is compared
// bit for bit with the plain transcription in PlainTransformReference.h, and the hand derivations
// below are exact because their arithmetic is.

#include "engine/analysis/PlainTransformReference.h"
#include "engine/analysis/WidebandRestore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// A voiced frame as 16-bit samples: twenty harmonics of 140 Hz plus noise.
std::vector<double> voiced(long n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<double> s(n);
    for (long i = 0; i < n; ++i) {
        double v = double(rng() % 61) - 30;
        for (int h = 1; h <= 20; ++h)
            v += 3000.0 / h * std::sin(2 * M_PI * 140 * h * i / 44100 + h);
        s[i] = std::round(v);
    }
    return s;
}

struct Params {
    long n, letSize, letHigh, letLow;
    int wide;
    double noise;
};

struct Result {
    std::vector<double> out, rowSum;
    long half = -1;
    int code = -1;
};

// ws null: the overload with the calling thread's own workspace.
Result run(const std::vector<double>& sig, const Params& p, CRestoreWorkspace* ws = nullptr) {
    Result r{std::vector<double>(p.n, 99.0), std::vector<double>(p.n, 99.0)};
    std::vector<double> re(p.n), im(p.n);
    r.code = ws ? restoreWithWidebandPhase(*ws, sig.data(), re.data(), im.data(), p.n, p.letSize,
                                           p.letHigh, p.letLow, r.out.data(), &r.half,
                                           r.rowSum.data(), p.noise, p.wide)
                : restoreWithWidebandPhase(sig.data(), re.data(), im.data(), p.n, p.letSize,
                                           p.letHigh, p.letLow, r.out.data(), &r.half,
                                           r.rowSum.data(), p.noise, p.wide);
    return r;
}

// Both overloads (one workspace reused across every size, and the thread's own) against the
// plain transcription, bit for bit; returns the engine's result.
Result runChecked(const std::vector<double>& sig, const Params& p) {
    static CRestoreWorkspace shared;
    std::vector<double> out(p.n), rowSum(p.n);
    ref::restore(sig.data(), p.n, p.letSize, p.letHigh, p.letLow, out.data(), rowSum.data(),
                 p.noise, p.wide);
    auto same = [&p](const std::vector<double>& a, const std::vector<double>& b) {
        return std::memcmp(a.data(), b.data(), p.n * sizeof(double)) == 0;
    };
    const Result r = run(sig, p, &shared), t = run(sig, p);
    for (const Result* e : {&r, &t})
        EXPECT_TRUE(e->code == 0 && e->half == p.n / 2 && same(e->out, out) &&
                    same(e->rowSum, rowSum))
            << p.n << "/" << p.letSize << " wide " << p.wide
            << (e == &t ? " thread workspace" : "");
    return r;
}

} // namespace

// The tuned restoration skips unread phases and rows, batches the short transforms and reuses
// one workspace across sizes; none of that may change a bit in either sense mode.
TEST(WidebandRestore, BitIdenticalToPlainRestoration) {
    const Params cases[] = {
        {256, 32, 15, 1, 1, 0.0005},  {256, 4, 1, 0, 0, 0.0005},    {512, 64, 31, 1, 1, 1e-5},
        {4096, 4, 1, 0, 0, 0.0005},   {4096, 64, 31, 1, 1, 0.0005}, {16, 64, 31, 1, 1, 0.0005},
        {1024, 64, 31, 1, 0, 0.0005}, {2048, 4, 1, 0, 0, 0.2},
    };
    unsigned seed = 1;
    for (const Params& p : cases)
        runChecked(voiced(p.n, seed++), p);
}

// Samples spanning less than 5 (-2 ... 2) make a silent frame: -1 in the lower half, 0 above, no
// transform. A span of exactly 5 is restored.
TEST(WidebandRestore, SilenceThreshold) {
    const Params p{256, 4, 1, 0, 0, 0.0005};
    std::vector<double> small(256), edge(256);
    for (int i = 0; i < 256; ++i) {
        small[i] = (i * 7) % 5 - 2.0;
        edge[i] = i == 17 ? 2.5 : (i == 90 ? -2.5 : 0.5 * std::sin(i));
    }
    const Result r = run(small, p);
    EXPECT_TRUE(r.code == 0 && r.half == 128);
    for (int k = 0; k < 256; ++k)
        ASSERT_TRUE(r.out[k] == (k < 128 ? -1.0 : 0.0) && r.rowSum[k] == 0.0) << k;
    EXPECT_GT(runChecked(edge, p).out[1], 0.0);
}

// With L = 4 the transform of (a0, a1, a2, a3) gives, in the order the butterflies add,
// row 0 = ((a0 + a2) + (a1 + a3)) / 4 and row 1 = (a0 - a2) / 4 (the other twiddle products are
// by 0 and vanish), so rowSum[p] = (0 + row0) + row1 exactly, with a_j = y[min(p + j, n - 1)]:
// the last positions repeat the last whitened sample y[n - 1] (which differs from y[n - 2]).
TEST(WidebandRestore, ShortTransformRepeatsLastSample) {
    const long n = 256;
    const std::vector<double> sig = voiced(n, 9);
    std::vector<double> y, out(n), rowSum(n);
    ref::restore(sig.data(), n, 4, 1, 0, out.data(), rowSum.data(), 0.0005, 0, &y);
    const Result r = run(sig, {n, 4, 1, 0, 0, 0.0005});
    ASSERT_EQ(0, r.code);
    ASSERT_NE(y[n - 2], y[n - 1]);
    for (long pos = 0; pos < n; ++pos) {
        auto a = [&](long j) { return y[std::min(pos + j, n - 1)]; };
        ASSERT_EQ((0.0 + ((a(0) + a(2)) + (a(1) + a(3))) / 4) + (a(0) - a(2)) / 4, r.rowSum[pos])
            << pos;
    }
}

// Without a noise gate the DC bin would be 0/0 and spread NaN over the frame.
TEST(WidebandRestore, ZeroNoiseGateStaysFinite) {
    const std::vector<double> sig = voiced(512, 21);
    for (const Params& p : {Params{512, 4, 1, 0, 0, 0.0}, Params{512, 64, 31, 1, 1, 0.0}}) {
        const Result r = run(sig, p);
        ASSERT_EQ(0, r.code);
        for (long k = 0; k < 512; ++k)
            ASSERT_TRUE(std::isfinite(r.out[k]) && std::isfinite(r.rowSum[k])) << k;
        EXPECT_GT(*std::max_element(r.out.begin() + 1, r.out.begin() + 256), 0.0);
    }
}

TEST(WidebandRestore, RejectsBadArgumentsWithoutWriting) {
    const Params bad[] = {
        {6, 4, 1, 0, 0, 0.0005},   {2, 4, 1, 0, 0, 0.0005},    {131072, 4, 1, 0, 0, 0.0005},
        {256, 2, 1, 0, 0, 0.0005}, {256, 48, 1, 0, 0, 0.0005}, {256, 4, 4, 0, 0, 0.0005},
        {256, 4, 0, 1, 0, 0.0005}, {256, 4, 1, -1, 0, 0.0005},
    };
    for (const Params& p : bad) {
        const Result r = run(voiced(p.n, 3), p);
        EXPECT_TRUE(r.code == 1 && r.half == -1 && r.out == std::vector<double>(p.n, 99.0) &&
                    r.rowSum == r.out)
            << p.n << " " << p.letSize << " " << p.letHigh << " " << p.letLow;
    }
    std::vector<double> buf(256);
    long half = 0;
    EXPECT_EQ(1, restoreWithWidebandPhase(nullptr, buf.data(), buf.data(), 256, 4, 1, 0, buf.data(),
                                          &half, buf.data(), 0.0005, 0));
}

// Per frame, with A and B the means of bins 1 .. 3 of the Hamming and the restored row:
// min(0, (r - B) + A). Frame 0: A = -20, B = -2; frame 1: A = -40, B = 30, so 90 clips at 0. Bin 0
// and the Hamming plane stay, the sense mode does not matter, degenerate shapes change nothing.
TEST(WidebandRestore, BottomLineAlignsFrameMeans) {
    const std::vector<double> ham{5, -10, -20, -30, 6, -40, -40, -40},
        res0{7, -1, -2, -3, 9, 90, 0, 0};
    for (int fine : {0, 1}) {
        std::vector<double> h = ham, res = res0;
        adjustRestoreDbBottomLineByPowerDb(h.data(), res.data(), 2, 4, fine);
        EXPECT_EQ((std::vector<double>{7, -19, -20, -21, 9, 0, -70, -70}), res);
        EXPECT_EQ(ham, h);
    }
    std::vector<double> res = res0;
    adjustRestoreDbBottomLineByPowerDb(ham.data(), res.data(), 8, 1, 0);
    adjustRestoreDbBottomLineByPowerDb(ham.data(), res.data(), 0, 4, 0);
    adjustRestoreDbBottomLineByPowerDb(nullptr, res.data(), 2, 4, 0);
    EXPECT_EQ(res0, res);
}
