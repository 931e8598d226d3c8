// Tolerance policy for the spectral tests:
// - Exact equality for integer paths: tables of bit reversal, transforms whose every product is
//   by 0, +-1 or a power of two (constants, impulses, Nyquist alternation, n = 4), and every
//   comparison with the straightforward transcription in SpectralReference.h (bit for bit: the
//   tuned code must not change a single bit).
// - 4 ULP for single closed-form values (a window coefficient, one dB value): one libm call plus
//   two roundings.
// - For sums (transforms of general data) an absolute bound from the error model of radix-2:
//   each of the log2(n) spans adds at most about eps + delta(n) relative error, delta(n) being the
//   error of the sine table. The table comes from a rotation recurrence whose rounding errors add
//   up like a random walk; measured at most 0.52 eps sqrt(n)/8 up to n = 32768, so
//   delta(n) = eps sqrt(n)/4 gives a factor of two of margin.
// - dB values are compared in dB.

#include "analysis/Spectral.h"
#include "analysis/SpectralReference.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double kSentinel = 12345.678;
const double kEps = DBL_EPSILON;

double tableError(int n) {
    return kEps * std::max(1.0, std::sqrt(static_cast<double>(n)) / 4);
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

int64_t ulpDistance(double a, double b) {
    int64_t ia, ib;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    if (ia < 0)
        ia = INT64_MIN - ia;
    if (ib < 0)
        ib = INT64_MIN - ib;
    return ia > ib ? ia - ib : ib - ia;
}

#define EXPECT_ULP(expected, actual, ulps)                                                         \
    EXPECT_LE(ulpDistance((expected), (actual)), (ulps)) << (expected) << " vs " << (actual)

std::vector<double> randomValues(size_t n, unsigned seed, double lo = -1.0, double hi = 1.0) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<double> v(n);
    for (double& x : v)
        x = u(rng);
    return v;
}

// Arrays one longer than n whose last element must survive the call.
struct Guarded {
    std::vector<double> v;
    explicit Guarded(std::vector<double> values) : v(std::move(values)) { v.push_back(kSentinel); }
    double* data() { return v.data(); }
    double operator[](size_t i) const { return v[i]; }
    bool intact() const { return v.back() == kSentinel; }
};

} // namespace

// n = 8 of 1.0: every butterfly adds equal values (twiddle 1) or subtracts them to exactly 0, so
// the forward result is 8 in bin 0 divided by 8, and the unscaled inverse gives back 8 ones.
TEST(Fft, ConstantImpulseAndNyquistAreExact) {
    Guarded x(std::vector<double>(8, 1.0)), y(std::vector<double>(8, 0.0));
    ASSERT_EQ(0, fft(x.data(), y.data(), 8, 0));
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(k == 0 ? 1.0 : 0.0, x[k]) << k;
        EXPECT_EQ(0.0, y[k]) << k;
    }
    ASSERT_EQ(0, fft(x.data(), y.data(), 8, 1));
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(1.0, x[k]);
        EXPECT_EQ(0.0, y[k]);
    }
    EXPECT_TRUE(x.intact() && y.intact());

    // An impulse at 0 meets only zeros in every butterfly: all bins 1/8.
    Guarded ix({1, 0, 0, 0, 0, 0, 0, 0}), iy(std::vector<double>(8, 0.0));
    ASSERT_EQ(0, fft(ix.data(), iy.data(), 8, 0));
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(0.125, ix[k]);

    // (1, -1, 1, ...): after bit reversal the halves are +1 and -1, the spans give 8 at bin 4.
    Guarded nx({1, -1, 1, -1, 1, -1, 1, -1}), ny(std::vector<double>(8, 0.0));
    ASSERT_EQ(0, fft(nx.data(), ny.data(), 8, 0));
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(k == 4 ? 1.0 : 0.0, nx[k]) << k;
        EXPECT_EQ(0.0, ny[k]) << k;
    }
    ASSERT_EQ(0, fft(nx.data(), ny.data(), 8, 1));
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(k % 2 ? -1.0 : 1.0, nx[k]);
    EXPECT_TRUE(ix.intact() && iy.intact() && nx.intact() && ny.intact());
}

// n = 4 has twiddles 1, 0 and -0 only, so sin(2 pi j / 4) = (0, 1, 0, -1) transforms exactly:
// (1/4) sum x[j] e^(-i pi jk/2) = -i/2 at k = 1 and +i/2 at k = 3 (the sign fixes the forward
// direction). A cosine at bin 1 of n = 8 uses sqrt(0.5) and is exact to a few ULP of 0.5.
TEST(Fft, BinCentredSineAndCosine) {
    Guarded x({0, 1, 0, -1}), y(std::vector<double>(4, 0.0));
    ASSERT_EQ(0, fft(x.data(), y.data(), 4, 0));
    const double expectIm[4] = {0, -0.5, 0, 0.5};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(0.0, x[k]) << k;
        EXPECT_EQ(expectIm[k], y[k]) << k;
    }
    EXPECT_TRUE(x.intact() && y.intact());

    const double r = std::sqrt(0.5);
    Guarded cx({1, r, 0, -r, -1, -r, 0, r}), cy(std::vector<double>(8, 0.0));
    ASSERT_EQ(0, fft(cx.data(), cy.data(), 8, 0));
    for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(k == 1 || k == 7 ? 0.5 : 0.0, cx[k], 4 * kEps) << k;
        EXPECT_NEAR(0.0, cy[k], 4 * kEps) << k;
    }
    EXPECT_TRUE(cx.intact() && cy.intact());
}

TEST(Fft, UnsupportedSizesFailAndLeaveDataAlone) {
    for (int n : {-8, 0, 1, 2, 3, 6, 12, 100}) {
        std::vector<double> x = randomValues(128, 3), y = randomValues(128, 4);
        const std::vector<double> x0 = x, y0 = y;
        EXPECT_EQ(1, fft(x.data(), y.data(), n, 0)) << n;
        EXPECT_TRUE(sameBits(x0, x) && sameBits(y0, y)) << n;
    }
    double v[4] = {};
    EXPECT_EQ(1, fft(nullptr, v, 4, 0));
    EXPECT_EQ(1, fft(v, nullptr, 4, 0));
}

TEST(Fft, TablesFollowTheRecurrence) {
    const int rev8[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    int t8[9];
    t8[8] = -7;
    make_bitrev(8, t8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(rev8[i], t8[i]);
    EXPECT_EQ(-7, t8[8]);

    for (int n = 4; n <= 32768; n *= 2) {
        std::vector<double> table(n + n / 4 + 1, kSentinel), expect(n + n / 4);
        make_sintbl(n, table.data());
        ref::make_sintbl(n, expect.data());
        EXPECT_EQ(0, std::memcmp(expect.data(), table.data(), expect.size() * sizeof(double)));
        EXPECT_EQ(kSentinel, table.back());
        if (n >= 8) {
            EXPECT_EQ(0.7071067811865476, table[n / 8]);
        }
        EXPECT_EQ(1.0, table[n / 4]);
        double worst = 0;
        for (int i = 0; i < n + n / 4; ++i) {
            const long double exact = sinl(2.0L * 3.141592653589793238462643383279503L * i / n);
            worst = std::max(worst, static_cast<double>(fabsl(exact - table[i])));
        }
        EXPECT_LE(worst, tableError(n)) << n;

        std::vector<int> rev(n + 1, -7);
        make_bitrev(n, rev.data());
        int bits = 0;
        while ((1 << bits) < n)
            ++bits;
        for (int i = 0; i < n; ++i) {
            int r = 0;
            for (int b = 0; b < bits; ++b)
                r |= ((i >> b) & 1) << (bits - 1 - b);
            ASSERT_EQ(r, rev[i]) << n << " " << i;
        }
        EXPECT_EQ(-7, rev[n]);
    }
    std::vector<double> untouched(8, kSentinel);
    make_sintbl(6, untouched.data());
    make_sintbl(2, untouched.data());
    EXPECT_EQ(std::vector<double>(8, kSentinel), untouched);
}

// The tuned transform (cached tables, reordered independent butterflies) against the plain one,
// bit for bit, and forward-then-inverse against the input within the error model.
TEST(Fft, EverySizeMatchesPlainTransformAndRoundTrips) {
    for (int n = 4; n <= 32768; n *= 2) {
        const std::vector<double> x0 = randomValues(n, n), y0 = randomValues(n, n + 1);
        for (int inverse = 0; inverse < 2; ++inverse) {
            std::vector<double> x = x0, y = y0, rx = x0, ry = y0;
            ASSERT_EQ(0, fft(x.data(), y.data(), n, inverse));
            ref::fft(rx.data(), ry.data(), n, inverse);
            EXPECT_TRUE(sameBits(rx, x) && sameBits(ry, y)) << n << " inverse " << inverse;
        }
        std::vector<double> x = x0, y = y0;
        fft(x.data(), y.data(), n, 0);
        fft(x.data(), y.data(), n, 1);
        // Two transforms of log2(n) spans, inputs below 1 in magnitude (complex: below sqrt 2).
        const double bound = 2 * std::log2(n) * (kEps + tableError(n)) * 2 * std::sqrt(2.0);
        for (int i = 0; i < n; ++i) {
            ASSERT_NEAR(x0[i], x[i], bound) << n << " " << i;
            ASSERT_NEAR(y0[i], y[i], bound) << n << " " << i;
        }
    }
}

TEST(Fft, AgreesWithLongDoubleDft) {
    const long double pi = 3.141592653589793238462643383279503L;
    for (int n : {16, 256, 2048}) {
        const std::vector<double> x0 = randomValues(n, 7 * n), y0 = randomValues(n, 7 * n + 1);
        std::vector<double> x = x0, y = y0;
        ASSERT_EQ(0, fft(x.data(), y.data(), n, 0));
        // Forward outputs are means of n terms below sqrt 2; each term carries the error model.
        const double bound = std::log2(n) * (kEps + tableError(n)) * 2 * std::sqrt(2.0);
        for (int k = 0; k < n; ++k) {
            long double re = 0, im = 0;
            for (int j = 0; j < n; ++j) {
                const long double a = -2 * pi * ((static_cast<long>(j) * k) % n) / n;
                re += x0[j] * cosl(a) - y0[j] * sinl(a);
                im += x0[j] * sinl(a) + y0[j] * cosl(a);
            }
            ASSERT_NEAR(static_cast<double>(re / n), x[k], bound) << n << " " << k;
            ASSERT_NEAR(static_cast<double>(im / n), y[k], bound) << n << " " << k;
        }
    }
}

// Threads that meet sizes nobody has built yet race on the table cache; every result must still
// equal the plain transform's.
TEST(Fft, ConcurrentCallsGiveIdenticalBits) {
    std::vector<std::vector<double>> expectX, expectY;
    for (int n = 4; n <= 65536; n *= 2) {
        std::vector<double> x = randomValues(n, 11 * n), y = randomValues(n, 13 * n);
        ref::fft(x.data(), y.data(), n, 0);
        expectX.push_back(x);
        expectY.push_back(y);
    }
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 2; ++round) {
                // Each thread walks the sizes in another order.
                for (size_t s = 0; s < expectX.size(); ++s) {
                    const size_t idx = (s * (t + 1) + t) % expectX.size();
                    const int n = 4 << idx;
                    std::vector<double> x = randomValues(n, 11 * n), y = randomValues(n, 13 * n);
                    if (fft(x.data(), y.data(), n, 0) != 0 || !sameBits(expectX[idx], x) ||
                        !sameBits(expectY[idx], y))
                        ++failures[t];
                }
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(std::vector<int>(4, 0), failures);
}

TEST(WindowFunction, KnownCoefficientsAndUnknownTypes) {
    Guarded ham(std::vector<double>(5, 1.0));
    WindowFunction(ham.data(), 5, 1);
    const double hamming[5] = {0.08, 0.54, 1.0, 0.54, 0.08};
    for (int i = 0; i < 5; ++i)
        EXPECT_ULP(hamming[i], ham[i], 4);
    EXPECT_TRUE(ham.intact());

    std::vector<double> hann(5, 1.0), blackman(5, 1.0);
    WindowFunction(hann.data(), 5, 2);
    WindowFunction(blackman.data(), 5, 3);
    const double hannExpect[5] = {0, 0.5, 1, 0.5, 0}, blackmanExpect[5] = {0, 0.34, 1, 0.34, 0};
    for (int i = 0; i < 5; ++i) {
        // Near 0 the terms cancel: absolute bound of a few eps of the terms' size (about 1).
        EXPECT_NEAR(hannExpect[i], hann[i], 4 * kEps);
        EXPECT_NEAR(blackmanExpect[i], blackman[i], 4 * kEps);
    }

    const std::vector<double> data = randomValues(16, 5);
    for (int type : {0, 4, 7, -1}) {
        std::vector<double> x = data;
        WindowFunction(x.data(), 16, type);
        EXPECT_TRUE(sameBits(data, x)) << type;
    }
    std::vector<double> one{3.0};
    WindowFunction(one.data(), 1, 1); // a one-point window is 1, not 0/0
    EXPECT_EQ(3.0, one[0]);
    WindowFunction(nullptr, 8, 1);
}

// Cached coefficients must equal the formula evaluated per element.
TEST(WindowFunction, CachedHammingEqualsFormula) {
    for (long n : {4L, 5L, 256L, 1000L, 4096L, 32768L}) {
        std::vector<double> x = randomValues(n, static_cast<unsigned>(n)), r = x;
        WindowFunction(x.data(), n, 1);
        ref::hamming(r.data(), n);
        EXPECT_TRUE(sameBits(r, x)) << n;
    }
}

TEST(PowAndPhs, QuadrantsAxesAndTinyPowers) {
    Guarded re({0, -1, 1e-9, -1, 1, 3, 0, -2}), im({2, 0, 1e-9, -1, -1, 4, -5, -0.0});
    Guarded pow(std::vector<double>(8, 0)), phs(std::vector<double>(8, 0));
    long half = -1;
    PowAndPhs(re.data(), im.data(), pow.data(), phs.data(), 8, &half);
    EXPECT_EQ(4, half);
    const double expectPow[8] = {4, 1, 2e-18, 2, 2, 25, 25, 4};
    for (int i = 0; i < 8; ++i)
        EXPECT_ULP(expectPow[i], pow[i], 1);
    EXPECT_EQ(M_PI / 2, phs[0]);
    EXPECT_EQ(M_PI, phs[1]); // re < 0, im = 0 lands on +pi, not -pi
    EXPECT_EQ(0.0, phs[2]);  // power 2e-18 is below the 1e-16 floor
    EXPECT_ULP(-3 * M_PI / 4, phs[3], 4);
    EXPECT_ULP(-M_PI / 4, phs[4], 4);
    EXPECT_ULP(std::atan2(4.0, 3.0), phs[5], 4);
    EXPECT_EQ(-M_PI / 2, phs[6]);
    EXPECT_EQ(M_PI, phs[7]); // a negative zero imaginary part is still +pi
    EXPECT_TRUE(re.intact() && im.intact() && pow.intact() && phs.intact());

    // Powers only, and n < 1 touching nothing but the half count.
    std::vector<double> p2(8, -1);
    PowAndPhs(re.data(), im.data(), p2.data(), nullptr, 8, nullptr);
    EXPECT_EQ(pow.v[5], p2[5]);
    PowAndPhs(re.data(), im.data(), p2.data(), phs.data(), 0, &half);
    EXPECT_EQ(0, half);
    PowAndPhs(re.data(), im.data(), p2.data(), phs.data(), -3, &half);
    EXPECT_EQ(-1, half);
    EXPECT_EQ(4.0, pow[0]);
}

TEST(Decibels, SuCalcDbUsesSmallestPositiveAsFloor) {
    Guarded pow({4, 1, 0}), db(std::vector<double>(3, 0));
    su_calc_dB(pow.data(), db.data(), 3);
    EXPECT_EQ(1.0, pow[0]);
    EXPECT_EQ(0.25, pow[1]);
    EXPECT_EQ(0.0, pow[2]);
    EXPECT_EQ(0.0, db[0]);
    EXPECT_NEAR(-12.041199826559248, db[1], 1e-12); // dB compared in dB: 20 log10(1/4)
    EXPECT_EQ(db[1], db[2]);
    EXPECT_TRUE(pow.intact() && db.intact());

    // Nothing positive: the peak is taken as 1 and the floor as 1, so everything is 0 dB.
    std::vector<double> silent{0, -1, -3}, sdb(3, 7);
    su_calc_dB(silent.data(), sdb.data(), 3);
    EXPECT_EQ(std::vector<double>({0, -1, -3}), silent);
    EXPECT_EQ(std::vector<double>(3, 0.0), sdb);

    std::vector<double> untouched(3, 7);
    su_calc_dB(silent.data(), untouched.data(), 0);
    su_calc_dB(nullptr, untouched.data(), 3);
    EXPECT_EQ(std::vector<double>(3, 7), untouched);
}

// pow1 = (100, 10, 1): M1 = 100, g = ln 100. pow2 = (2, 1, -1): M2 = 2, so the positive values
// become exp(ln 100) = 100 and exp(ln 100 / 2) = 10, the -1 stays; normalised (1, 0.1, -1), the
// floor is 0.1: db2 = (0, -20, -20).
TEST(Decibels, CalcDbMapsRestoredOntoPowerRange) {
    Guarded pow1({100, 10, 1}), db1(std::vector<double>(3, 0)), pow2({2, 1, -1}),
        db2(std::vector<double>(3, 0)), aux(std::vector<double>(3, kSentinel));
    calc_dB(pow1.data(), db1.data(), aux.data(), pow2.data(), db2.data(), 3);
    const double e1[3] = {0, -20, -40}, e2[3] = {0, -20, -20};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(e1[i], db1[i], 1e-12); // one log10 of a value exact to an ULP
        EXPECT_NEAR(e2[i], db2[i], 1e-12); // exp(log(100)) carries a few ULP into the ratio
    }
    EXPECT_EQ(-1.0, pow2[2]);
    EXPECT_EQ(std::vector<double>(4, kSentinel), aux.v); // never read or written
    EXPECT_TRUE(pow1.intact() && db1.intact() && pow2.intact() && db2.intact());

    // Peak power at most 1: g <= 0, nothing stays positive, every restored dB is 0.
    std::vector<double> p1{1, 0.5}, d1(2), p2{3, 1e-3}, d2(2, 9), a(2);
    calc_dB(p1.data(), d1.data(), a.data(), p2.data(), d2.data(), 2);
    EXPECT_EQ(std::vector<double>(2, 0.0), d2);

    std::vector<double> keep(2, 9);
    calc_dB(p1.data(), d1.data(), nullptr, p2.data(), keep.data(), 2);
    calc_dB(p1.data(), d1.data(), a.data(), p2.data(), keep.data(), 0);
    EXPECT_EQ(std::vector<double>(2, 9), keep);
}

TEST(Decibels, LogPlusOne) {
    Guarded x({0, M_E - 1, 1, 9});
    logPlus1(x.data(), 3);
    EXPECT_EQ(0.0, x[0]);
    EXPECT_ULP(1.0, x[1], 4);
    EXPECT_ULP(M_LN2, x[2], 4);
    EXPECT_EQ(9.0, x[3]); // past n: untouched
    EXPECT_TRUE(x.intact());
    logPlus1(x.data(), 0);
    logPlus1(nullptr, 4);
    EXPECT_EQ(0.0, x[0]);
}
