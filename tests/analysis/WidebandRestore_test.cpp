// Tolerances follow the policy written at the top of Spectral_test.cpp: the restoration is compared
// bit for bit with the straightforward transcription in SpectralReference.h; hand derivations are
// exact where the arithmetic is; means of dB rows get an absolute bound for sums.

#include "analysis/SpectralReference.h"
#include "analysis/WidebandRestore.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

// A voiced frame as 16-bit samples: a 140 Hz pulse train through two resonances, plus noise.
std::vector<double> voiced(long n, unsigned seed, double amplitude = 8000.0) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 30.0);
    std::vector<double> s(n);
    for (long i = 0; i < n; ++i) {
        const double t = i / 44100.0;
        double v = 0;
        for (int h = 1; h <= 20; ++h) {
            const double f = 140.0 * h * (1 + 0.02 * t);
            const double gain = 1.0 / (1 + std::pow((f - 700) / 150, 2)) +
                                0.5 / (1 + std::pow((f - 1200) / 200, 2));
            v += gain * std::sin(2 * M_PI * f * t + h);
        }
        s[i] = std::round(amplitude * v / 3 + noise(rng));
    }
    return s;
}

struct Result {
    std::vector<double> out, rowSum;
    long half = -1;
    int code = -1;
};

struct Params {
    long n, letSize, letHigh, letLow;
    int wide;
    double noise;
};

Result runEngine(CRestoreWorkspace* ws, const std::vector<double>& sig, const Params& p) {
    Result r;
    r.out.assign(p.n, 99.0);
    r.rowSum.assign(p.n, 99.0);
    std::vector<double> re(p.n), im(p.n);
    r.code = ws ? restoreWithWidebandPhase(*ws, sig.data(), re.data(), im.data(), p.n, p.letSize,
                                           p.letHigh, p.letLow, r.out.data(), &r.half,
                                           r.rowSum.data(), p.noise, p.wide)
                : restoreWithWidebandPhase(sig.data(), re.data(), im.data(), p.n, p.letSize,
                                           p.letHigh, p.letLow, r.out.data(), &r.half,
                                           r.rowSum.data(), p.noise, p.wide);
    return r;
}

Result runReference(const std::vector<double>& sig, const Params& p) {
    Result r;
    r.out.assign(p.n, 0.0);
    r.rowSum.assign(p.n, 0.0);
    ref::restore(sig.data(), p.n, p.letSize, p.letHigh, p.letLow, r.out.data(), r.rowSum.data(),
                 p.noise, p.wide);
    r.half = p.n / 2;
    r.code = 0;
    return r;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void expectSame(const Result& expect, const Result& got, const char* what) {
    EXPECT_EQ(0, got.code) << what;
    EXPECT_EQ(expect.half, got.half) << what;
    EXPECT_TRUE(sameBits(expect.out, got.out)) << what << ": restored spectrum differs";
    EXPECT_TRUE(sameBits(expect.rowSum, got.rowSum)) << what << ": row sums differ";
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
    CRestoreWorkspace shared;
    unsigned seed = 1;
    for (const Params& p : cases) {
        const std::vector<double> sig = voiced(p.n, seed++);
        const Result expect = runReference(sig, p);
        const std::string what = "n=" + std::to_string(p.n) + " L=" + std::to_string(p.letSize) +
                                 " wide=" + std::to_string(p.wide);
        expectSame(expect, runEngine(&shared, sig, p), what.c_str());
        expectSame(expect, runEngine(nullptr, sig, p), (what + " thread workspace").c_str());
    }
}

// Frames restored on several threads at once equal the same frames restored one after another.
TEST(WidebandRestore, ParallelFramesMatchSerialBits) {
    const Params fine{1024, 64, 31, 1, 1, 0.0005}, normal{1024, 4, 1, 0, 0, 0.0005};
    const int frames = 8;
    std::vector<std::vector<double>> sigs;
    std::vector<Result> serial;
    for (int f = 0; f < frames; ++f) {
        sigs.push_back(voiced(1024, 100 + f));
        serial.push_back(runEngine(nullptr, sigs[f], f % 2 ? fine : normal));
    }
    std::vector<Result> parallel(frames);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int f = t; f < frames; f += 4)
                parallel[f] = runEngine(nullptr, sigs[f], f % 2 ? fine : normal);
        });
    for (std::thread& th : threads)
        th.join();
    for (int f = 0; f < frames; ++f)
        expectSame(serial[f], parallel[f], ("frame " + std::to_string(f)).c_str());
}

// A frame whose samples span less than 5 is silent: -1 in the lower half, 0 above, no transform.
// A span of exactly 5 is restored.
TEST(WidebandRestore, SilenceThreshold) {
    const Params p{256, 4, 1, 0, 0, 0.0005};
    std::vector<double> zeros(256, 0.0), small(256), edge(256);
    for (int i = 0; i < 256; ++i) {
        small[i] = (i * 7) % 5 - 2.0;                                   // -2 ... 2
        edge[i] = i == 17 ? 2.5 : (i == 90 ? -2.5 : 0.5 * std::sin(i)); // exactly 5 apart
    }
    for (const std::vector<double>* sig : {&zeros, &small}) {
        const Result r = runEngine(nullptr, *sig, p);
        ASSERT_EQ(0, r.code);
        EXPECT_EQ(128, r.half);
        for (int k = 0; k < 256; ++k) {
            EXPECT_EQ(k < 128 ? -1.0 : 0.0, r.out[k]) << k;
            EXPECT_EQ(0.0, r.rowSum[k]) << k;
        }
    }
    const Result r = runEngine(nullptr, edge, p);
    expectSame(runReference(edge, p), r, "span of exactly 5");
    EXPECT_EQ(0.0, r.out[0]); // the DC bin of every row is dropped
    for (int k = 1; k < 128; ++k)
        EXPECT_GE(r.out[k], 0.0) << k;
    EXPECT_GT(*std::max_element(r.out.begin(), r.out.end()), 0.0);
}

// With L = 4 the transform of (a0, a1, a2, a3) gives, in the order the butterflies add,
// row 0 = ((a0 + a2) + (a1 + a3)) / 4 and row 1 = (a0 - a2) / 4 (the other twiddle products are
// by 0 and vanish), so rowSum[p] = (0 + row0) + row1 exactly, with a_j = y[min(p + j, n - 1)]:
// the last three positions repeat the last whitened sample.
TEST(WidebandRestore, ShortTransformRepeatsLastSample) {
    const long n = 256;
    const Params p{n, 4, 1, 0, 0, 0.0005};
    const std::vector<double> sig = voiced(n, 9);
    std::vector<double> y, out(n), rowSum(n);
    ref::restore(sig.data(), n, 4, 1, 0, out.data(), rowSum.data(), 0.0005, 0, &y);
    const Result r = runEngine(nullptr, sig, p);
    ASSERT_EQ(0, r.code);
    for (long pos = 0; pos < n; ++pos) {
        double a[4];
        for (int j = 0; j < 4; ++j)
            a[j] = y[std::min(pos + j, n - 1)];
        const double row0 = ((a[0] + a[2]) + (a[1] + a[3])) / 4;
        const double row1 = (a[0] - a[2]) / 4;
        ASSERT_EQ((0.0 + row0) + row1, r.rowSum[pos]) << pos;
    }
    EXPECT_EQ(y[n - 1], r.rowSum[n - 1]);
    // Without the clamp the last position would differ (the whitened frame is not constant).
    EXPECT_NE(y[n - 2], y[n - 1]);
}

// Without a noise gate the DC bin would be 0/0 and spread NaN over the frame.
TEST(WidebandRestore, ZeroNoiseGateStaysFinite) {
    const std::vector<double> sig = voiced(512, 21);
    for (int wide : {0, 1}) {
        const Params p{512, wide ? 64L : 4L, wide ? 31L : 1L, wide ? 1L : 0L, wide, 0.0};
        const Result r = runEngine(nullptr, sig, p);
        ASSERT_EQ(0, r.code);
        for (long k = 0; k < 512; ++k)
            ASSERT_TRUE(std::isfinite(r.out[k]) && std::isfinite(r.rowSum[k])) << k;
        EXPECT_GT(*std::max_element(r.out.begin() + 1, r.out.begin() + 256), 0.0);
    }
}

TEST(WidebandRestore, RejectsBadArgumentsWithoutWriting) {
    const std::vector<double> sig = voiced(256, 3);
    const Params bad[] = {
        {6, 4, 1, 0, 0, 0.0005},   {2, 4, 1, 0, 0, 0.0005},    {131072, 4, 1, 0, 0, 0.0005},
        {256, 2, 1, 0, 0, 0.0005}, {256, 48, 1, 0, 0, 0.0005}, {256, 4, 4, 0, 0, 0.0005},
        {256, 4, 0, 1, 0, 0.0005}, {256, 4, 1, -1, 0, 0.0005},
    };
    for (const Params& p : bad) {
        const long len = std::max(p.n, 8L);
        std::vector<double> s(len, 0.0), out(len, 7), rowSum(len, 7), re(len), im(len);
        std::copy(sig.begin(), sig.begin() + std::min<long>(len, 256), s.begin());
        long half = -5;
        EXPECT_EQ(1, restoreWithWidebandPhase(s.data(), re.data(), im.data(), p.n, p.letSize,
                                              p.letHigh, p.letLow, out.data(), &half, rowSum.data(),
                                              p.noise, p.wide))
            << p.n << " " << p.letSize << " " << p.letHigh << " " << p.letLow;
        EXPECT_EQ(-5, half);
        EXPECT_EQ(std::vector<double>(len, 7), out);
        EXPECT_EQ(std::vector<double>(len, 7), rowSum);
    }
    std::vector<double> buf(256);
    long half = 0;
    EXPECT_EQ(1, restoreWithWidebandPhase(nullptr, buf.data(), buf.data(), 256, 4, 1, 0, buf.data(),
                                          &half, buf.data(), 0.0005, 0));
}

// After the alignment every frame's mean over bins 1 .. H-1 equals the Hamming frame's, unless a
// value was clipped at 0 dB; bin 0 is untouched and nothing ends above 0 dB.
TEST(WidebandRestore, BottomLineAlignsFrameMeans) {
    const long frames = 5, bins = 64;
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> hamLevel(-120, -20), resLevel(-60, -30);
    std::vector<double> ham(frames * bins), res(frames * bins);
    for (double& v : ham)
        v = hamLevel(rng);
    for (double& v : res)
        v = resLevel(rng);
    res[3 * bins + 10] = 500; // frame 3 has one bin far above the rest: it clips
    const std::vector<double> hamBefore = ham, resBefore = res;
    adjustRestoreDbBottomLineByPowerDb(ham.data(), res.data(), frames, bins, 1);
    EXPECT_EQ(hamBefore, ham);
    for (long t = 0; t < frames; ++t) {
        EXPECT_EQ(resBefore[t * bins], res[t * bins]) << t;
        double hamMean = 0, resMean = 0;
        for (long k = 1; k < bins; ++k) {
            hamMean += ham[t * bins + k] / (bins - 1);
            resMean += res[t * bins + k] / (bins - 1);
            EXPECT_LE(res[t * bins + k], 0.0);
        }
        if (t == 3) {
            EXPECT_EQ(0.0, res[3 * bins + 10]);
            EXPECT_LT(resMean, hamMean - 1); // the clipped excess is lost
        } else {
            // Sums of 63 terms below 120 in size: a few hundred eps of 120.
            EXPECT_NEAR(hamMean, resMean, 64 * 120 * DBL_EPSILON * 4) << t;
        }
    }
    // The last argument does not matter; degenerate shapes change nothing.
    std::vector<double> again = resBefore;
    adjustRestoreDbBottomLineByPowerDb(hamBefore.data(), again.data(), frames, bins, 0);
    EXPECT_EQ(res, again);
    std::vector<double> keep = resBefore;
    adjustRestoreDbBottomLineByPowerDb(hamBefore.data(), keep.data(), frames, 1, 0);
    adjustRestoreDbBottomLineByPowerDb(hamBefore.data(), keep.data(), 0, bins, 0);
    adjustRestoreDbBottomLineByPowerDb(nullptr, keep.data(), frames, bins, 0);
    EXPECT_EQ(resBefore, keep);
}
