// Tolerance policy for the spectral tests:
// - Exact equality for integer paths (bit reversal, transforms whose every product is by 0, +-1
//   or a power of two) and against the plain transcription in PlainTransformReference.h: the tuned
//   code must not change a single bit.
// - 4 ULP (EXPECT_DOUBLE_EQ) for single closed-form values: one libm call and two roundings. Where
//   terms of size about 1 cancel to near 0 (window ends), an absolute bound of a few eps instead.
// - For sums (transforms of general data) an absolute bound from the error model of radix-2:
//   each of the log2(n) spans adds at most about eps + delta(n) relative error, delta(n) being the
//   error of the sine table. The table comes from a rotation recurrence whose rounding errors add
//   up like a random walk; measured at most 0.52 eps sqrt(n)/8 up to n = 32768, so
//   delta(n) = eps sqrt(n)/4 gives a factor of two of margin.
// - dB values are compared in dB.

#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/PlainTransformReference.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double kSentinel = 12345.678;
constexpr double kEps = DBL_EPSILON;
constexpr long double kPi = 3.141592653589793238462643383279503L;

double tableError(int n) {
    return kEps * std::max(1.0, std::sqrt(double(n)) / 4);
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

std::vector<double> randomValues(size_t n, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::vector<double> v(n);
    for (double& x : v)
        x = std::uniform_real_distribution<double>(-1.0, 1.0)(rng);
    return v;
}

// The values plus a sentinel that the call under test must leave alone.
std::vector<double> guarded(std::vector<double> v) {
    v.push_back(kSentinel);
    return v;
}

} // namespace

// Every butterfly of these meets only products by 0, +-1 or powers of two, so both directions
// are exact: a constant gives 8/8 at bin 0, an impulse 1/8 everywhere, (1, -1, ...) 8/8 at bin 4,
// and the n = 4 sine (0, 1, 0, -1) gives (1/4) sum x[j] e^(-i pi jk/2) = -i/2 at bin 1 and +i/2
// at bin 3 (the sign fixes the forward direction).
TEST(Fft, SmallTransformsAreExact) {
    const std::vector<double> zero8(8, 0.0);
    const struct {
        std::vector<double> x, re, im;
    } cases[] = {
        {{1, 1, 1, 1, 1, 1, 1, 1}, {1, 0, 0, 0, 0, 0, 0, 0}, zero8},
        {{1, 0, 0, 0, 0, 0, 0, 0}, std::vector<double>(8, 0.125), zero8},
        {{1, -1, 1, -1, 1, -1, 1, -1}, {0, 0, 0, 0, 1, 0, 0, 0}, zero8},
        {{0, 1, 0, -1}, {0, 0, 0, 0}, {0, -0.5, 0, 0.5}},
    };
    for (const auto& c : cases) {
        const int n = int(c.x.size());
        std::vector<double> x = guarded(c.x), y = guarded(std::vector<double>(n, 0.0));
        ASSERT_EQ(0, fft(x.data(), y.data(), n, 0));
        EXPECT_EQ(guarded(c.re), x) << n;
        EXPECT_EQ(guarded(c.im), y) << n;
        ASSERT_EQ(0, fft(x.data(), y.data(), n, 1));
        EXPECT_EQ(guarded(c.x), x) << n;
        EXPECT_EQ(guarded(std::vector<double>(n, 0.0)), y) << n;
    }
}

// Unsupported sizes and null arrays fail and change nothing; sizes that give no sines leave the
// table alone. (fft's tables come from make_sintbl and make_bitrev, so matching the plain
// transform at every size below checks them too.)
TEST(Fft, UnsupportedSizesChangeNothing) {
    const std::vector<double> x0 = randomValues(128, 3), y0 = randomValues(128, 4);
    for (int n : {-8, 0, 1, 2, 3, 6, 12, 100}) {
        std::vector<double> x = x0, y = y0;
        EXPECT_EQ(1, fft(x.data(), y.data(), n, 0)) << n;
        EXPECT_TRUE(sameBits(x0, x) && sameBits(y0, y)) << n;
    }
    std::vector<double> x = x0;
    EXPECT_EQ(1, fft(nullptr, x.data(), 4, 0));
    EXPECT_EQ(1, fft(x.data(), nullptr, 4, 0));
    make_sintbl(6, x.data());
    make_sintbl(2, x.data());
    EXPECT_TRUE(sameBits(x0, x));
}

// Every size: the tuned transform (cached tables, reordered independent butterflies) against the
// plain one bit for bit, and forward-then-inverse against the input within the error model (two
// transforms of log2(n) spans, complex inputs below sqrt 2). A few sizes against a long-double
// DFT: forward outputs are means of n terms below sqrt 2, each with the error model of one pass.
TEST(Fft, EverySizeMatchesPlainTransformRoundTripsAndDft) {
    for (int n = 4; n <= 32768; n *= 2) {
        const std::vector<double> x0 = randomValues(n, n), y0 = randomValues(n, n + 1);
        for (int inverse = 0; inverse < 2; ++inverse) {
            std::vector<double> x = x0, y = y0, rx = x0, ry = y0;
            ASSERT_EQ(0, fft(x.data(), y.data(), n, inverse));
            ref::fft(rx.data(), ry.data(), n, inverse);
            EXPECT_TRUE(sameBits(rx, x) && sameBits(ry, y)) << n << " inverse " << inverse;
        }
        const double pass = std::log2(n) * (kEps + tableError(n)) * 2 * std::sqrt(2.0);
        std::vector<double> x = x0, y = y0;
        fft(x.data(), y.data(), n, 0);
        if (n == 16 || n == 256 || n == 2048) {
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
        fft(x.data(), y.data(), n, 1);
        for (int i = 0; i < n; ++i) {
            ASSERT_NEAR(x0[i], x[i], 2 * pass) << n << " " << i;
            ASSERT_NEAR(y0[i], y[i], 2 * pass) << n << " " << i;
        }
    }
}

// Threads that meet sizes nobody has built yet race on the table cache; every result must still
// equal the plain transform's. Each thread walks the sizes in its own order.
TEST(Fft, ConcurrentCallsGiveIdenticalBits) {
    std::vector<std::vector<double>> expect; // x and y of each size, by the plain transform
    for (int n = 4; n <= 65536; n *= 2) {
        expect.push_back(randomValues(n, n));
        expect.push_back(randomValues(n, n + 1));
        ref::fft(expect[expect.size() - 2].data(), expect.back().data(), n, 0);
    }
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int s = 0; s < 30; ++s) {
                const int i = (s * (t + 1) + t) % 15, n = 4 << i;
                std::vector<double> x = randomValues(n, n), y = randomValues(n, n + 1);
                failures[t] += fft(x.data(), y.data(), n, 0) != 0 || !sameBits(expect[2 * i], x) ||
                               !sameBits(expect[2 * i + 1], y);
            }
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(std::vector<int>(4, 0), failures);
}

// Five points of the symmetric windows (N = 4): a = 0, pi/2, pi, 3 pi/2, 2 pi.
TEST(WindowFunction, CoefficientsCacheAndUnknownTypes) {
    const double expect[3][5] = {
        {0.08, 0.54, 1, 0.54, 0.08}, {0, 0.5, 1, 0.5, 0}, {0, 0.34, 1, 0.34, 0}};
    for (int type = 1; type <= 3; ++type) { // Hamming, Hann, Blackman
        std::vector<double> x = guarded(std::vector<double>(5, 1.0));
        WindowFunction(x.data(), 5, type);
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(expect[type - 1][i], x[i], 4 * kEps) << type << " " << i;
        EXPECT_EQ(kSentinel, x[5]);
    }
    // Cached coefficients (powers of two) and computed ones both equal the formula per element.
    for (long n : {4L, 5L, 1000L, 4096L, 32768L}) {
        std::vector<double> x = randomValues(n, unsigned(n)), r = x;
        WindowFunction(x.data(), n, 1);
        ref::hamming(r.data(), n);
        EXPECT_TRUE(sameBits(r, x)) << n;
    }
    const std::vector<double> data = randomValues(16, 5);
    for (int type : {0, 4, -1}) {
        std::vector<double> x = data;
        WindowFunction(x.data(), 16, type);
        EXPECT_TRUE(sameBits(data, x)) << type;
    }
    double one = 3.0;
    WindowFunction(&one, 1, 1); // a one-point window is 1, not 0/0
    EXPECT_EQ(3.0, one);
    WindowFunction(nullptr, 8, 1);
}

// Bins across the quadrants and axes: -1 + 0i and -2 - 0i land on +pi, not -pi; 1e-9 + 1e-9i is
// below the 1e-16 power floor and gets phase 0.
TEST(PowAndPhs, QuadrantsAxesAndTinyPowers) {
    const std::vector<double> re{0, -1, 1e-9, -1, 1, 3, 0, -2}, im{2, 0, 1e-9, -1, -1, 4, -5, -0.0};
    const double expectPow[] = {4, 1, 2e-18, 2, 2, 25, 25, 4};
    const double expectPhs[] = {M_PI / 2,  M_PI, 0, -3 * M_PI / 4, -M_PI / 4, std::atan2(4.0, 3.0),
                                -M_PI / 2, M_PI};
    std::vector<double> pow = guarded(std::vector<double>(8)), phs = pow, powOnly(8, -1);
    long half = -1;
    PowAndPhs(re.data(), im.data(), pow.data(), phs.data(), 8, &half);
    EXPECT_EQ(4, half);
    for (int i = 0; i < 8; ++i) {
        EXPECT_DOUBLE_EQ(expectPow[i], pow[i]) << i;
        EXPECT_DOUBLE_EQ(expectPhs[i], phs[i]) << i;
    }
    EXPECT_TRUE(pow[8] == kSentinel && phs[8] == kSentinel);
    PowAndPhs(re.data(), im.data(), powOnly.data(), nullptr, 8, nullptr);
    EXPECT_TRUE(sameBits(guarded(powOnly), pow));
    PowAndPhs(re.data(), im.data(), powOnly.data(), phs.data(), -3, &half); // only the half count
    EXPECT_EQ(-1, half);
    EXPECT_TRUE(sameBits(guarded(powOnly), pow));
}

// (4, 1, 0) normalises to (1, 1/4, 0); the floor is the smallest positive value, 1/4. With
// nothing positive the peak and the floor are 1: everything is 0 dB. logPlus1 stops at n.
TEST(Decibels, SuCalcDbFloorsAtSmallestPositiveAndLogPlusOne) {
    std::vector<double> pow = guarded({4, 1, 0}), db = guarded({0, 0, 0});
    su_calc_dB(pow.data(), db.data(), 3);
    EXPECT_EQ(guarded({1, 0.25, 0}), pow);
    EXPECT_EQ(0.0, db[0]);
    EXPECT_NEAR(-12.041199826559248, db[1], 1e-12); // 20 log10(1/4)
    EXPECT_TRUE(db[2] == db[1] && db[3] == kSentinel);

    std::vector<double> silent{0, -1, -3}, sdb(3, 7);
    su_calc_dB(silent.data(), sdb.data(), 3);
    EXPECT_EQ(std::vector<double>({0, -1, -3}), silent);
    EXPECT_EQ(std::vector<double>(3, 0.0), sdb);
    sdb.assign(3, 7);
    su_calc_dB(silent.data(), sdb.data(), 0);
    su_calc_dB(nullptr, sdb.data(), 3);
    EXPECT_EQ(std::vector<double>(3, 7), sdb);
    std::vector<double> x{M_E - 1, 9};
    logPlus1(x.data(), 1);
    logPlus1(nullptr, 4);
    EXPECT_DOUBLE_EQ(1.0, x[0]);
    EXPECT_EQ(9.0, x[1]);
}

// pow1 = (100, 10, 1): M1 = 100, g = ln 100. pow2 = (2, 1, -1): M2 = 2, so the positive values
// become exp(ln 100) = 100 and exp(ln 100 / 2) = 10, the -1 stays; normalised (1, 0.1, -1), the
// floor is 0.1: db2 = (0, -20, -20).
TEST(Decibels, CalcDbMapsRestoredOntoPowerRange) {
    std::vector<double> pow1{100, 10, 1}, db1(3), aux(3, kSentinel), pow2{2, 1, -1}, db2(3);
    calc_dB(pow1.data(), db1.data(), aux.data(), pow2.data(), db2.data(), 3);
    const double e1[3] = {0, -20, -40}, e2[3] = {0, -20, -20};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(e1[i], db1[i], 1e-12); // one log10 of a value exact to an ULP
        EXPECT_NEAR(e2[i], db2[i], 1e-12); // exp(log(100)) carries a few ULP into the ratio
    }
    EXPECT_EQ(-1.0, pow2[2]);
    EXPECT_EQ(std::vector<double>(3, kSentinel), aux); // never read or written

    // Peak power at most 1: g <= 0, nothing stays positive, every restored dB is 0.
    std::vector<double> p1{1, 0.5}, d1(2), p2{3, 1e-3}, d2(2, 9), keep(2, 9);
    calc_dB(p1.data(), d1.data(), aux.data(), p2.data(), d2.data(), 2);
    EXPECT_EQ(std::vector<double>(2, 0.0), d2);
    calc_dB(p1.data(), d1.data(), nullptr, p2.data(), keep.data(), 2);
    calc_dB(p1.data(), d1.data(), aux.data(), p2.data(), keep.data(), 0);
    EXPECT_EQ(std::vector<double>(2, 9), keep);
}
