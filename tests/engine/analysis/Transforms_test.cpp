// Tolerance policy for the transform tests:
// - Exact equality for integer paths (bit reversal, transforms whose every product is by 0, +-1
//   or a power of two) and for hand derivations whose arithmetic is exact.
// - Reproducibility is pinned by 64-bit FNV-1a digests of the output doubles' bytes for fixed
//   inputs. They were taken when the tuned code still matched a plain radix-2 transcription (fresh
//   tables, every phase and row computed) bit for bit, so a changed digest is a changed bit.
// - 4 ULP (EXPECT_DOUBLE_EQ) for single closed-form values: one libm call and two roundings. Where
//   terms of size about 1 cancel to near 0 (window ends), an absolute bound of a few eps instead.
// - For sums (transforms of general data) an absolute bound from the error model of radix-2:
//   each of the log2(n) spans adds at most about eps + delta(n) relative error, delta(n) being the
//   error of the sine table. The table comes from a rotation recurrence whose rounding errors add
//   up like a random walk; measured at most 0.52 eps sqrt(n)/8 up to n = 32768, so
//   delta(n) = eps sqrt(n)/4 gives a factor of two of margin.
// - dB values are compared in dB.

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/FftTables.h"
#include "engine/analysis/Voiceprint.h"
#include "engine/analysis/WidebandRestore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

using Vec = std::vector<double>;
constexpr double kSentinel = 12345.678, kEps = DBL_EPSILON, kNoise = 0.0005;
constexpr long double kPi = 3.141592653589793238462643383279503L;

uint64_t digest(const double* p, size_t n, uint64_t h = 14695981039346656037ull) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n * sizeof(double); ++i)
        h = (h ^ b[i]) * 1099511628211ull;
    return h;
}

Vec randomValues(size_t n, unsigned stream) {
    std::mt19937_64 rng(stream);
    Vec v(n);
    for (double& x : v)
        x = std::uniform_real_distribution<double>(-1.0, 1.0)(rng);
    return v;
}

// The values plus a sentinel that the call under test must leave alone.
Vec guarded(Vec v) {
    v.push_back(kSentinel);
    return v;
}

// Forward and inverse transform of the same seeded data of size n, hashed together.
uint64_t transformDigest(int n) {
    Vec x = randomValues(n, n), y = randomValues(n, n + 1), u = x, v = y;
    if (fft(x.data(), y.data(), n, 0) != 0 || fft(u.data(), v.data(), n, 1) != 0)
        return 0;
    return digest(v.data(), n, digest(u.data(), n, digest(y.data(), n, digest(x.data(), n))));
}

// clang-format off
const uint64_t kFftDigests[15] = { // n = 4, 8, ... 65536
    0xa56742db1ac85d85, 0x30824be6c8dce320, 0x5b369975e4d9fa89, 0x98a4dc57fa670281,
    0xc550f1ccf024610b, 0xff43be0395a52d35, 0x3b3699cedb50ac91, 0xec2413437004c25b,
    0x4aa759efddbe3631, 0xdd359cb951f6cc96, 0xdf27b770f4e672ad, 0x8807ffef7138ffe6,
    0xdd311252a3e37606, 0xcab15d53ebee7a85, 0x57bff4aa88f31a23};
// clang-format on

} // namespace

// Every butterfly of these meets only products by 0, +-1 or powers of two, so both directions
// are exact: a constant gives 8/8 at bin 0, an impulse 1/8 everywhere, (1, -1, ...) 8/8 at bin 4,
// and the n = 4 sine (0, 1, 0, -1) gives (1/4) sum x[j] e^(-i pi jk/2) = -i/2 at bin 1 and +i/2
// at bin 3 (the sign fixes the forward direction).
TEST(Fft, SmallTransformsAreExactAndBadSizesChangeNothing) {
    const struct {
        Vec x, re, im;
    } cases[] = {
        {{1, 1, 1, 1, 1, 1, 1, 1}, {1, 0, 0, 0, 0, 0, 0, 0}, Vec(8)},
        {{1, 0, 0, 0, 0, 0, 0, 0}, Vec(8, 0.125), Vec(8)},
        {{1, -1, 1, -1, 1, -1, 1, -1}, {0, 0, 0, 0, 1, 0, 0, 0}, Vec(8)},
        {{0, 1, 0, -1}, {0, 0, 0, 0}, {0, -0.5, 0, 0.5}},
    };
    for (const auto& c : cases) {
        const int n = int(c.x.size());
        Vec x = guarded(c.x), y = guarded(Vec(n));
        ASSERT_EQ(0, fft(x.data(), y.data(), n, 0));
        EXPECT_TRUE(guarded(c.re) == x && guarded(c.im) == y) << n;
        ASSERT_EQ(0, fft(x.data(), y.data(), n, 1));
        EXPECT_TRUE(guarded(c.x) == x && guarded(Vec(n)) == y) << n;
    }
    // Unsupported sizes and null arrays fail and change nothing; sizes that give no sines leave
    // the table alone. (fft's tables come from make_sintbl and make_bitrev, so the digests below
    // check them too.)
    const Vec x0 = randomValues(128, 3);
    Vec x = x0, y = x0;
    for (int n : {-8, 0, 1, 2, 3, 6, 12, 100})
        EXPECT_EQ(1, fft(x.data(), y.data(), n, 0)) << n;
    EXPECT_TRUE(fft(nullptr, x.data(), 4, 0) == 1 && fft(x.data(), nullptr, 4, 0) == 1);
    make_sintbl(6, x.data());
    make_sintbl(2, x.data());
    EXPECT_TRUE(x0 == x && x0 == y);
}

// Threads that meet sizes nobody has built yet race on the table cache (this runs before the
// other transforms of this file); every result must keep its bits. Each thread walks the sizes
// in its own order.
TEST(Fft, ConcurrentCallsGiveIdenticalBits) {
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int s = 0; s < 30; ++s) {
                const int i = (s * (t + 1) + t) % 15;
                failures[t] += transformDigest(4 << i) != kFftDigests[i];
            }
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(std::vector<int>(4, 0), failures);
}

// The digests above pin every size in both directions; this is the independent check of the
// forward transform: means of n terms below sqrt 2, each with the error model of one pass.
TEST(Fft, MatchesALongDoubleDft) {
    for (int n : {16, 256, 2048}) {
        const Vec x0 = randomValues(n, n), y0 = randomValues(n, n + 1);
        const double pass = std::log2(n) * (kEps + kEps * std::max(1.0, std::sqrt(double(n)) / 4)) *
                            2 * std::sqrt(2.0);
        Vec x = x0, y = y0;
        ASSERT_EQ(0, fft(x.data(), y.data(), n, 0));
        std::vector<std::complex<long double>> w(n); // e^(-2 pi i m / n)
        for (int m = 0; m < n; ++m)
            w[m] = std::polar(1.0L, -2 * kPi * m / n);
        for (int k = 0; k < n; ++k) {
            std::complex<long double> sum = 0;
            for (int j = 0; j < n; ++j)
                sum += std::complex<long double>(x0[j], y0[j]) * w[(long(j) * k) % n];
            ASSERT_NEAR(double(sum.real() / n), x[k], pass) << n << " " << k;
            ASSERT_NEAR(double(sum.imag() / n), y[k], pass) << n << " " << k;
        }
    }
}

// Five points of the symmetric windows (N = 4): a = 0, pi/2, pi, 3 pi/2, 2 pi (the cached
// coefficients of the voiceprint's sizes keep the bits the plane digests below pin); unknown
// types and a one-point window (1, not 0/0) change nothing.
TEST(WindowFunction, CoefficientsCacheAndUnknownTypes) {
    const double expect[3][5] = {
        {0.08, 0.54, 1, 0.54, 0.08}, {0, 0.5, 1, 0.5, 0}, {0, 0.34, 1, 0.34, 0}};
    for (int type = 1; type <= 3; ++type) { // Hamming, Hann, Blackman
        Vec x = guarded(Vec(5, 1.0));
        WindowFunction(x.data(), 5, type);
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(expect[type - 1][i], x[i], 4 * kEps) << type << " " << i;
        EXPECT_EQ(kSentinel, x[5]);
    }
    const Vec data = randomValues(16, 5);
    Vec x = data, one{3.0};
    WindowFunction(x.data(), 16, 0);
    WindowFunction(x.data(), 16, 4);
    WindowFunction(one.data(), 1, 1);
    WindowFunction(nullptr, 8, 1);
    EXPECT_TRUE(data == x && one[0] == 3.0);
}

// Bins across the quadrants and axes: -1 + 0i and -2 - 0i land on +pi, not -pi; 1e-9 + 1e-9i is
// below the 1e-16 power floor and gets phase 0.
TEST(PowAndPhs, QuadrantsAxesAndTinyPowers) {
    const Vec re{0, -1, 1e-9, -1, 1, 3, 0, -2}, im{2, 0, 1e-9, -1, -1, 4, -5, -0.0};
    const double expectPow[] = {4, 1, 2e-18, 2, 2, 25, 25, 4};
    const double expectPhs[] = {M_PI / 2,  M_PI, 0, -3 * M_PI / 4, -M_PI / 4, std::atan2(4.0, 3.0),
                                -M_PI / 2, M_PI};
    Vec pow = guarded(Vec(8)), phs = pow;
    long half = -1;
    PowAndPhs(re.data(), im.data(), pow.data(), phs.data(), 8, &half);
    EXPECT_EQ(4, half);
    for (int i = 0; i < 8; ++i) {
        EXPECT_DOUBLE_EQ(expectPow[i], pow[i]) << i;
        EXPECT_DOUBLE_EQ(expectPhs[i], phs[i]) << i;
    }
    EXPECT_TRUE(pow[8] == kSentinel && phs[8] == kSentinel);
    // A single bin is converted too.
    PowAndPhs(&re[5], &im[5], pow.data(), phs.data(), 1, &half);
    EXPECT_TRUE(half == 0 && pow[0] == 25.0 && phs[0] == phs[5]);
}

// The ordinary conversions are derived in the plane test below; here the edges. su_calc_dB with
// nothing positive: the peak and the floor are 1, everything is 0 dB; a null input writes nothing.
// calc_dB with a peak power of at most 1 gives g <= 0: nothing stays positive, every restored dB is
// 0, and aux is never read or written. logPlus1 stops at n.
TEST(Decibels, NothingPositiveAndPeaksBelowOneGiveZeroDb) {
    Vec silent{0, -1, -3}, sdb(3, 7), kept(3, 7), p1{1, 0.5}, d1(2), p2{3, 1e-3}, d2(2, 9);
    Vec aux(2, kSentinel), x{M_E - 1, 9};
    su_calc_dB(silent.data(), sdb.data(), 3);
    su_calc_dB(nullptr, kept.data(), 3);
    calc_dB(p1.data(), d1.data(), aux.data(), p2.data(), d2.data(), 2);
    EXPECT_TRUE(Vec({0, -1, -3}) == silent && Vec(3, 0.0) == sdb && Vec(3, 7) == kept);
    EXPECT_TRUE(Vec(2, 0.0) == d2 && Vec(2, kSentinel) == aux);
    logPlus1(x.data(), 1);
    logPlus1(nullptr, 4);
    EXPECT_TRUE(std::abs(x[0] - 1.0) <= 4 * kEps && x[1] == 9.0);
}

namespace {

// A voiced frame as 16-bit samples: twenty harmonics of 140 Hz plus noise.
Vec voiced(long n, unsigned stream) {
    std::mt19937 rng(stream);
    Vec s(n);
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

struct Restored {
    Vec out, rowSum;
    long half = -1;
    int code = -1;
};

// ws null: the overload with the calling thread's own workspace.
Restored restore(const Vec& sig, const Params& p, CRestoreWorkspace* ws = nullptr) {
    Restored r{Vec(p.n, 99.0), Vec(p.n, 99.0)};
    Vec re(p.n), im(p.n);
    auto call = [&](auto&... w) {
        return restoreWithWidebandPhase(w..., sig.data(), re.data(), im.data(), p.n, p.letSize,
                                        p.letHigh, p.letLow, r.out.data(), &r.half, r.rowSum.data(),
                                        p.noise, p.wide);
    };
    r.code = ws ? call(*ws) : call();
    return r;
}

} // namespace

// The tuned restoration skips unread phases and rows, batches the short transforms and reuses
// one workspace across sizes; none of that may change a bit in either sense mode, whether the
// workspace is shared across every size or the thread's own.
TEST(WidebandRestore, KeepsItsBitsWithEitherWorkspace) {
    // clang-format off
    const struct { Params p; unsigned stream; uint64_t digest; } cases[] = {
        {{256, 32, 15, 1, 1, 0.0005}, 1, 0x44aec159f69966b1},
        {{4096, 4, 1, 0, 0, 0.0005}, 4, 0x09967c43e5d753f8},
        {{16, 64, 31, 1, 1, 0.0005}, 6, 0x6b33a900640997e3},
        {{1024, 64, 31, 1, 0, 0.0005}, 7, 0x84e12ab64606fd68},
        {{2048, 4, 1, 0, 0, 0.2}, 8, 0xdf6b18dc514a7195},
        // Rows above the middle of the short transform (never in the voiceprint's sizes).
        {{512, 8, 7, 2, 1, 0.0005}, 9, 0xc992a43db5d8d3a9},
        {{512, 8, 6, 3, 0, 0.0005}, 10, 0xc6fe997c748766d7},
    };
    // clang-format on
    CRestoreWorkspace shared;
    for (const auto& c : cases) {
        const Vec sig = voiced(c.p.n, c.stream);
        for (const Restored& r : {restore(sig, c.p, &shared), restore(sig, c.p)}) {
            EXPECT_TRUE(r.code == 0 && r.half == c.p.n / 2) << c.p.n << "/" << c.p.letSize;
            EXPECT_EQ(c.digest, digest(r.rowSum.data(), c.p.n, digest(r.out.data(), c.p.n)))
                << c.p.n << "/" << c.p.letSize << " wide " << c.p.wide;
        }
    }
}

// Samples spanning less than 5 (-2 ... 2) make a silent frame: -1 in the lower half, 0 above, no
// transform. A span of exactly 5 is restored.
TEST(WidebandRestore, SilenceThreshold) {
    Vec small(256), edge(256);
    for (int i = 0; i < 256; ++i) {
        small[i] = (i * 7) % 5 - 2.0;
        edge[i] = i == 17 ? 2.5 : (i == 90 ? -2.5 : 0.5 * std::sin(i));
    }
    Restored r = restore(small, {256, 4, 1, 0, 0, 0.0005});
    Vec silent(256, 0.0);
    std::fill(silent.begin(), silent.begin() + 128, -1.0);
    EXPECT_TRUE(r.code == 0 && r.half == 128 && r.out == silent && r.rowSum == Vec(256, 0.0));
    EXPECT_GT(restore(edge, {256, 4, 1, 0, 0, 0.0005}).out[1], 0.0);
}

// Bin 0 is left alone; bins 1 .. 3 move by the Hamming mean minus the restored mean (-10 + 41/3)
// and stop at 0 dB.
TEST(WidebandRestore, BottomLineFollowsTheHammingMeanUpToZeroDb) {
    const double ham[4] = {5.0, -10.0, -10.0, -10.0};
    double restored[5] = {7.0, -1.0, 0.0, -40.0, 99.0};
    adjustRestoreDbBottomLineByPowerDb(ham, restored, 1, 4, 0);
    EXPECT_EQ(std::make_tuple(restored[0], restored[1], restored[2], restored[4]),
              std::make_tuple(7.0, 0.0, 0.0, 99.0));
    EXPECT_DOUBLE_EQ(restored[3], -40.0 + 41.0 / 3 - 10.0);
}

// Too small, too large or not a power of two; a short transform that does not fit or whose bands
// are empty or reversed; no signal: refused with nothing written.
TEST(WidebandRestore, RejectsBadArgumentsWithoutWriting) {
    const Params bad[] = {
        {6, 4, 1, 0, 0, 0.0005},   {2, 4, 1, 0, 0, 0.0005},    {131072, 4, 1, 0, 0, 0.0005},
        {256, 2, 1, 0, 0, 0.0005}, {256, 48, 1, 0, 0, 0.0005}, {256, 4, 4, 0, 0, 0.0005},
        {256, 4, 0, 1, 0, 0.0005}, {256, 4, 1, -1, 0, 0.0005},
    };
    for (const Params& p : bad) {
        const Restored r = restore(voiced(p.n, 3), p);
        EXPECT_TRUE(r.code == 1 && r.half == -1 && r.out == Vec(p.n, 99.0) && r.rowSum == r.out)
            << p.n << " " << p.letSize << " " << p.letHigh << " " << p.letLow;
    }
    Vec buf(256);
    EXPECT_EQ(1, restoreWithWidebandPhase(nullptr, buf.data(), buf.data(), 256, 4, 1, 0, buf.data(),
                                          nullptr, buf.data(), 0.0005, 0));
}

namespace {

constexpr long H = 256; // every work memory below has S = 512

// S = 512, hop 128, T frames of a 16 kHz sound: harmonics of 180 Hz with a little noise, a
// silent stretch (samples 1200 ... 1999, within a range below 5), then louder. Planes hold -7.
void prepare(CWorkMemory& w, CWorkMemory::senseMode mode, long T) {
    ASSERT_EQ(w.setSize(512, 100000, mode, 128, T), CWorkMemory::resultOk);
    uint32_t rng = 1;
    for (long i = 0; i < w.m_excutionSize; ++i) {
        rng = rng * 1664525u + 1013904223u;
        const double noise = double(rng >> 8) / 16777216.0 - 0.5;
        double x = 30.0 * noise;
        for (int h = 1; h <= 12; ++h)
            x += 3000.0 / h * std::sin(2.0 * M_PI * 180.0 * h * i / 16000.0 + h);
        w.m_wave[i] = std::round(i < 1200 ? x : i < 2000 ? 4.0 * noise : 2.0 * x);
    }
    for (double* p : {w.m_hamPowMap, w.m_rectPowMap, w.m_restorePowMap})
        std::fill(p, p + T * H, -7.0);
}

} // namespace

// Every instruction set the transforms are built for gives the pinned bits: all transform sizes
// both ways, and the three planes of 24 frames, a silent one among them, in both sense modes, on
// 1 and 3 threads, also when the unwindowed plane is left out (the short transforms run in
// blocks). The phase loop, which selects among computed cases instead of branching, gives phaseOf's
// bits on the +-pi cut (a negative real part with an imaginary part of either sign, tiny or zero),
// the axes, the power floor and ordinary bins.
TEST(Voiceprint, EveryInstructionSetKeepsTheBits) {
    using spectral_detail::FftKernel;
    const uint64_t expect[2][3] = {{0x2994c27261ffc4b1, 0x2bac292987834d47, 0x19283a8e0bbac0b4},
                                   {0x2994c27261ffc4b1, 0x2bac292987834d47, 0xb1b29d02064f3e12}};
    // Scaled by the short transform's 64 below.
    Vec re = randomValues(40, 11), im = randomValues(40, 12), phase(40);
    std::copy_n(Vec{-64, -64, -64, -64, -192, 0, 0, 0, 64e-8, 128}.begin(), 10, re.begin());
    std::copy_n(Vec{64e-300, -64e-300, 0.0, -0.0, 64e-17, 256, -256, 0, 64e-10, -0.0}.begin(), 10,
                im.begin());
    for (FftKernel k : {FftKernel::plain, FftKernel::avx2, FftKernel::avx512}) {
        if (!spectral_detail::useFftKernel(k))
            continue; // not on this processor
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(kFftDigests[i], transformDigest(4 << i)) << int(k) << " " << (4 << i);
        spectral_detail::rowPhases(re.data(), im.data(), 64, 40, phase.data());
        for (int q = 0; q < 40; ++q) {
            const double x = re[q] / 64, y = im[q] / 64,
                         want = spectral_detail::phaseOf(x, y, x * x + y * y);
            EXPECT_EQ(0, std::memcmp(&want, &phase[q], sizeof want)) << int(k) << " " << q;
        }
        // Real input (already in bit-reversed order) through the half-work transform: bins
        // 0 .. n/2 as the full one gives them (== takes -0 for +0: zero signs may differ). A run
        // of zeros makes exact zeros inside; the imaginary parts it is handed are never read.
        for (int n = 4; n <= 65536; n *= 2) {
            const spectral_detail::FftTables* t = spectral_detail::cachedTables(n);
            Vec u = randomValues(n, n + 2), v(n, std::nan(""));
            std::fill(u.begin() + n / 4, u.begin() + n / 2, 0.0);
            Vec a = u, b(n, 0.0);
            spectral_detail::transformReversed(*t, a.data(), b.data(), false);
            spectral_detail::realTransformReversed(*t, u.data(), v.data());
            EXPECT_TRUE(std::equal(a.begin(), a.begin() + n / 2 + 1, u.begin()) &&
                        std::equal(b.begin(), b.begin() + n / 2 + 1, v.begin()))
                << int(k) << " " << n;
            // Eight transforms side by side, as the restoration runs its short ones.
            a = u = randomValues(8 * n, n + 3), v.assign(8 * n, std::nan("")), b.assign(8 * n, 0);
            spectral_detail::forwardBlock(*t, a.data(), b.data(), 8);
            spectral_detail::forwardRealBlock(*t, u.data(), v.data(), 8);
            EXPECT_TRUE(std::equal(a.begin(), a.begin() + 4 * n + 8, u.begin()) &&
                        std::equal(b.begin(), b.begin() + 4 * n + 8, v.begin()))
                << int(k) << " block " << n;
        }
        for (auto mode : {CWorkMemory::senseNormal, CWorkMemory::senseFine})
            for (unsigned threads : {1u, 3u}) {
                CWorkMemory w;
                prepare(w, mode, 24);
                ASSERT_EQ(computeVoiceprint(w, kNoise, {}, {}, threads), voiceprintFinished);
                const double* planes[3] = {w.m_hamPowMap, w.m_rectPowMap, w.m_restorePowMap};
                for (int kind = 0; kind < 3; ++kind)
                    EXPECT_EQ(expect[mode][kind], digest(planes[kind], 24 * H))
                        << int(k) << mode << threads;
                // Without the unwindowed plane: the other two the same, that one untouched.
                prepare(w, mode, 24);
                ASSERT_EQ(computeVoiceprint(w, kNoise, {}, {}, threads, planesWithoutRect),
                          voiceprintFinished);
                EXPECT_TRUE(expect[mode][0] == digest(w.m_hamPowMap, 24 * H) &&
                            expect[mode][2] == digest(w.m_restorePowMap, 24 * H) &&
                            std::count(w.m_rectPowMap, w.m_rectPowMap + 24 * H, -7.0) == 24 * H);
            }
    }
    EXPECT_TRUE(spectral_detail::useFftKernel(FftKernel::automatic));
    CWorkMemory empty;
    EXPECT_EQ(computeVoiceprint(empty, kNoise), voiceprintNotSized);
}

// Progress is (i * 100) / T for every started frame, in order. Cancel before the first frame
// writes nothing; cancel at the first report lets the frames already started complete (all of
// them reported, each as a full run writes it) and starts no later one. Fine mode, so a frame
// takes long next to the watching thread's reaction.
TEST(Voiceprint, ReportsEveryFrameInOrderAndStopsOnCancel) {
    const long T = 30;
    CWorkMemory full;
    prepare(full, CWorkMemory::senseFine, T);
    ASSERT_EQ(computeVoiceprint(full, kNoise, {}, {}, 1), voiceprintFinished);
    for (unsigned threads : {1u, 3u}) {
        CWorkMemory w;
        std::vector<int> seen;
        auto run = [&](const VoiceprintCancelled& cancel) {
            return computeVoiceprint(
                w, kNoise, cancel, [&](int p) { seen.push_back(p); }, threads);
        };
        prepare(w, CWorkMemory::senseFine, 3);
        EXPECT_EQ(run([] { return false; }), voiceprintFinished);
        EXPECT_EQ(seen, std::vector<int>({0, 33, 66})) << threads;
        seen.clear();
        prepare(w, CWorkMemory::senseFine, T);
        EXPECT_EQ(run([] { return true; }), voiceprintCancelled);
        EXPECT_TRUE(seen.empty() && w.m_hamPowMap[1] == -7.0);
        EXPECT_EQ(run([&] { return !seen.empty(); }), voiceprintCancelled);
        const long started = long(seen.size());
        EXPECT_TRUE(threads == 1 ? started == 1 : started >= 1 && started < T) << started;
        for (long t = 0; t < T; ++t) {
            const double* row = w.m_restorePowMap + t * H;
            EXPECT_TRUE(t < started ? std::equal(row, row + H, full.m_restorePowMap + t * H)
                                    : row[5] == -7.0)
                << threads << " " << t;
        }
    }
}

// A cancel once both frames have started stops neither: the run finishes. The frames are long, so
// the cancel is asked while they are still being computed.
TEST(Voiceprint, ACancelAfterTheLastFrameStartedComesTooLate) {
    CWorkMemory w;
    ASSERT_EQ(w.setSize(8192, 100000, CWorkMemory::senseFine, 128, 2), CWorkMemory::resultOk);
    for (long i = 0; i < w.m_excutionSize; ++i)
        w.m_wave[i] = double(i % 101);
    int reports = 0;
    EXPECT_EQ(computeVoiceprint(
                  w, kNoise, [&] { return reports == 2; }, [&](int) { ++reports; }, 2),
              voiceprintFinished);
}

TEST(Voiceprint, DbConversionNormalisesOverTheWholePlaneAndAligns) {
    // S = 8: 4 bins, two frames; frame 1 is a silent frame of the restoration (-1 marks).
    const double ham[8] = {0, 100, 1, 0.01, 0, 10, 1, 0};
    const double restore[8] = {0, 2, 1, 0.5, 0, -1, -1, -1};
    // Peak 100 over both frames; the floor is the smallest positive value, 0.01 / 100.
    const double hamDb[8] = {-80, 0, -40, -80, -80, -20, -40, -80};
    // On two threads, a frame each (other counts keep the bits: VoiceprintReuse tests).
    CWorkMemory w;
    ASSERT_EQ(w.setSize(8, 100, CWorkMemory::senseNormal, 4, 2), CWorkMemory::resultOk);
    for (auto [from, to] :
         {std::pair{ham, w.m_hamPowMap}, {ham, w.m_rectPowMap}, {restore, w.m_restorePowMap}})
        std::copy(from, from + 8, to);
    ASSERT_TRUE(convertVoiceprintToDb(w, 2));
    for (int i = 0; i < 8; ++i) {
        EXPECT_DOUBLE_EQ(w.m_hamDbMap[i], hamDb[i]) << i;
        EXPECT_DOUBLE_EQ(w.m_rectDbMap[i], hamDb[i]) << i;
    }
    // Restored: 100^(x/2) rescaled to 0, -20, -30 dB, then moved by the Hamming mean (-40)
    // less its own (-50/3); the silent frame sits at its Hamming mean; bin 0 stays.
    EXPECT_DOUBLE_EQ(w.m_restoreDbMap[0], -30.0);
    EXPECT_NEAR(w.m_restoreDbMap[1], -70.0 / 3, 1e-12);
    EXPECT_NEAR(w.m_restoreDbMap[3], -30.0 - 70.0 / 3, 1e-12);
    for (int k = 5; k < 8; ++k)
        EXPECT_NEAR(w.m_restoreDbMap[k], -140.0 / 3, 1e-12) << k;
    CWorkMemory empty;
    EXPECT_FALSE(convertVoiceprintToDb(empty));
}

// A tone on bin 20 of 512 up to sample 640, then one on bin 40: the spectrum follows start; the
// unwindowed one is skipped during playback; frames outside the samples are refused. In fine mode
// the stretch's spectrum restores from phases, the playback one from real parts (m_restore keeps
// the raw restored frame): each keeps its bits.
TEST(Voiceprint, LevelSpectrumOfOneFrame) {
    CWorkMemory w;
    ASSERT_EQ(w.setSize(512, 100000, CWorkMemory::senseNormal, 128, 8), CWorkMemory::resultOk);
    for (long i = 0; i < w.m_excutionSize; ++i)
        w.m_wave[i] = 8000.0 * std::cos(2.0 * M_PI * (i < 640 ? 20 : 40) * i / 512.0);
    auto peak = [](const double* db) { return std::max_element(db, db + H) - db; };
    std::fill(w.m_rectDb, w.m_rectDb + 512, 1.0);
    ASSERT_EQ(computeLevelSpectrum(w, 0, kNoise, levelDuringPlayback), voiceprintFinished);
    EXPECT_TRUE(peak(w.m_hamDb) == 20 && peak(w.m_restoreDb) == 20 && w.m_rectDb[20] == 1.0);
    ASSERT_EQ(computeLevelSpectrum(w, 640, kNoise, levelOfStretch), voiceprintFinished);
    EXPECT_TRUE(w.m_hamDb[40] == 0.0 && peak(w.m_restoreDb) == 40 && w.m_rectDb[40] == 0.0);
    EXPECT_EQ(computeLevelSpectrum(w, w.m_excutionSize - 511, kNoise, levelOfStretch),
              voiceprintNotSized);
    EXPECT_EQ(computeLevelSpectrum(w, -1, kNoise, levelDuringPlayback), voiceprintNotSized);
    CWorkMemory f;
    prepare(f, CWorkMemory::senseFine, 4);
    ASSERT_EQ(computeLevelSpectrum(f, 384, kNoise, levelOfStretch), voiceprintFinished);
    EXPECT_EQ(0xf94f124cc9de4578u, digest(f.m_restore, H));
    ASSERT_EQ(computeLevelSpectrum(f, 384, kNoise, levelDuringPlayback), voiceprintFinished);
    EXPECT_EQ(0xfe8edc9ba983788du, digest(f.m_restore, H));
}
