#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/FftTables.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>

// The arrays of one span never overlap; saying so lets the compiler use vector registers without
// run-time overlap checks. Vector lanes do the same operations as the scalar code, bit for bit.
#if defined(__clang__)
#define NO_ALIAS_LOOP _Pragma("clang loop vectorize(assume_safety)")
#else
#define NO_ALIAS_LOOP _Pragma("GCC ivdep")
#endif

namespace spectral_detail {

namespace {

bool isPowerOfTwo(long n) {
    return n > 0 && (n & (n - 1)) == 0;
}

int log2Of(int n) {
    int b = 0;
    while ((1 << b) < n)
        ++b;
    return b;
}

double windowValue(long i, long last, int type) {
    const double a = 2.0 * M_PI * static_cast<double>(i) / static_cast<double>(last);
    switch (type) {
    case 1:
        return 0.54 - 0.46 * std::cos(a);
    case 2:
        return 0.5 - 0.5 * std::cos(a);
    default:
        return 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2.0 * a);
    }
}

// One span of butterflies on its own (used when log2(n) is odd, for the last span).
template <bool Inverse> void singleSpan(const FftTables& t, double* x, double* y, int k) {
    const int n = t.n;
    const double* c = t.twC.data() + (k - 1);
    const double* s = t.twS.data() + (k - 1);
    for (int b = 0; b < n; b += 2 * k) {
        double* x0 = x + b;
        double* y0 = y + b;
        double* x1 = x + b + k;
        double* y1 = y + b + k;
        NO_ALIAS_LOOP
        for (int j = 0; j < k; ++j) {
            const double cj = c[j], sj = Inverse ? -s[j] : s[j];
            const double dx = sj * y1[j] + cj * x1[j];
            const double dy = cj * y1[j] - sj * x1[j];
            x1[j] = x0[j] - dx;
            x0[j] += dx;
            y1[j] = y0[j] - dy;
            y0[j] += dy;
        }
    }
}

// Spans k and 2k in one pass over each group of four quarter-blocks. Every element goes through
// exactly the butterflies, in the same order, that two separate passes would give it (the
// butterflies inside one span are independent), so the bits do not change; the values just stay
// in registers between the two spans, and j runs over contiguous memory for vector registers.
template <bool Inverse> void spanPair(const FftTables& t, double* x, double* y, int k) {
    const int n = t.n;
    const double* c1 = t.twC.data() + (k - 1);
    const double* s1 = t.twS.data() + (k - 1);
    const double* c2 = t.twC.data() + (2 * k - 1);
    const double* s2 = t.twS.data() + (2 * k - 1);
    for (int b = 0; b < n; b += 4 * k) {
        double* x0 = x + b;
        double* y0 = y + b;
        double* x1 = x + b + k;
        double* y1 = y + b + k;
        double* x2 = x + b + 2 * k;
        double* y2 = y + b + 2 * k;
        double* x3 = x + b + 3 * k;
        double* y3 = y + b + 3 * k;
        NO_ALIAS_LOOP
        for (int j = 0; j < k; ++j) {
            double X0 = x0[j], Y0 = y0[j], X1 = x1[j], Y1 = y1[j];
            double X2 = x2[j], Y2 = y2[j], X3 = x3[j], Y3 = y3[j];
            double c = c1[j], s = Inverse ? -s1[j] : s1[j];
            double dx = s * Y1 + c * X1;
            double dy = c * Y1 - s * X1;
            X1 = X0 - dx;
            X0 += dx;
            Y1 = Y0 - dy;
            Y0 += dy;
            dx = s * Y3 + c * X3;
            dy = c * Y3 - s * X3;
            X3 = X2 - dx;
            X2 += dx;
            Y3 = Y2 - dy;
            Y2 += dy;

            c = c2[j];
            s = Inverse ? -s2[j] : s2[j];
            dx = s * Y2 + c * X2;
            dy = c * Y2 - s * X2;
            X2 = X0 - dx;
            X0 += dx;
            Y2 = Y0 - dy;
            Y0 += dy;
            c = c2[j + k];
            s = Inverse ? -s2[j + k] : s2[j + k];
            dx = s * Y3 + c * X3;
            dy = c * Y3 - s * X3;
            X3 = X1 - dx;
            X1 += dx;
            Y3 = Y1 - dy;
            Y1 += dy;

            x0[j] = X0;
            y0[j] = Y0;
            x1[j] = X1;
            y1[j] = Y1;
            x2[j] = X2;
            y2[j] = Y2;
            x3[j] = X3;
            y3[j] = Y3;
        }
    }
}

template <bool Inverse> void butterflies(const FftTables& t, double* x, double* y) {
    int k = 1;
    for (; 2 * k < t.n; k *= 4)
        spanPair<Inverse>(t, x, y, k);
    if (k < t.n)
        singleSpan<Inverse>(t, x, y, k);
}

std::mutex g_cacheLock; // protects building and publishing a size's tables in g_cache
// Tables are immutable once published and deliberately live until the process ends: a detached
// worker may still be transforming while static destructors run.
std::atomic<const FftTables*> g_cache[17];

} // namespace

bool buildTables(int n, FftTables& t) {
    if (!isPowerOfTwo(n) || n < 4 || n > (1 << 30))
        return false;
    try {
        t.n = n;
        t.sintbl.assign(static_cast<size_t>(n) + n / 4, 0.0);
        t.bitrev.assign(n, 0);
        make_sintbl(n, t.sintbl.data());
        make_bitrev(n, t.bitrev.data());
        t.swapFrom.clear();
        t.swapTo.clear();
        for (int i = 0; i < n; ++i) {
            if (i < t.bitrev[i]) {
                t.swapFrom.push_back(i);
                t.swapTo.push_back(t.bitrev[i]);
            }
        }
        t.twC.assign(n - 1, 0.0);
        t.twS.assign(n - 1, 0.0);
        for (int k = 1; k < n; k <<= 1) {
            const int d = n / (2 * k);
            for (int j = 0; j < k; ++j) {
                t.twC[k - 1 + j] = t.sintbl[j * d + n / 4];
                t.twS[k - 1 + j] = t.sintbl[j * d];
            }
        }
        t.hamming.assign(n, 0.0);
        for (int i = 0; i < n; ++i)
            t.hamming[i] = windowValue(i, n - 1, 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

const FftTables* cachedTables(int n) {
    if (!isPowerOfTwo(n) || n < 4 || n > kCachedMax)
        return nullptr;
    std::atomic<const FftTables*>& slot = g_cache[log2Of(n)];
    const FftTables* t = slot.load(std::memory_order_acquire);
    if (t)
        return t;
    std::lock_guard<std::mutex> lock(g_cacheLock);
    t = slot.load(std::memory_order_relaxed);
    if (t)
        return t;
    std::unique_ptr<FftTables> built(new (std::nothrow) FftTables);
    if (!built || !buildTables(n, *built))
        return nullptr;
    t = built.release();
    slot.store(t, std::memory_order_release);
    return t;
}

void transform(const FftTables& t, double* x, double* y, bool inverse) {
    const size_t swaps = t.swapFrom.size();
    for (size_t q = 0; q < swaps; ++q) {
        const int i = t.swapFrom[q], j = t.swapTo[q];
        const double tx = x[i];
        x[i] = x[j];
        x[j] = tx;
        const double ty = y[i];
        y[i] = y[j];
        y[j] = ty;
    }
    transformReversed(t, x, y, inverse);
}

void transformReversed(const FftTables& t, double* x, double* y, bool inverse) {
    if (inverse) {
        butterflies<true>(t, x, y);
        return;
    }
    butterflies<false>(t, x, y);
    const int n = t.n;
    const double dn = n;
    for (int i = 0; i < n; ++i) {
        x[i] /= dn;
        y[i] /= dn;
    }
}

void forwardBlock(const FftTables& t, double* X, double* Y, int width) {
    const int n = t.n;
    const size_t w = static_cast<size_t>(width);
    // Same pairing of spans as the single transform; here each element is a row of `width`
    // independent transforms, so the inner loop runs across transforms.
    int k = 1;
    for (; 2 * k < n; k *= 4) {
        for (int b = 0; b < n; b += 4 * k) {
            for (int j = 0; j < k; ++j) {
                const double c1 = t.twC[k - 1 + j], s1 = t.twS[k - 1 + j];
                const double c2 = t.twC[2 * k - 1 + j], s2 = t.twS[2 * k - 1 + j];
                const double c3 = t.twC[3 * k - 1 + j], s3 = t.twS[3 * k - 1 + j];
                double* x0 = X + (b + j) * w;
                double* y0 = Y + (b + j) * w;
                double* x1 = X + (b + j + k) * w;
                double* y1 = Y + (b + j + k) * w;
                double* x2 = X + (b + j + 2 * k) * w;
                double* y2 = Y + (b + j + 2 * k) * w;
                double* x3 = X + (b + j + 3 * k) * w;
                double* y3 = Y + (b + j + 3 * k) * w;
                NO_ALIAS_LOOP
                for (size_t q = 0; q < w; ++q) {
                    double X0 = x0[q], Y0 = y0[q], X1 = x1[q], Y1 = y1[q];
                    double X2 = x2[q], Y2 = y2[q], X3 = x3[q], Y3 = y3[q];
                    double dx = s1 * Y1 + c1 * X1;
                    double dy = c1 * Y1 - s1 * X1;
                    X1 = X0 - dx;
                    X0 += dx;
                    Y1 = Y0 - dy;
                    Y0 += dy;
                    dx = s1 * Y3 + c1 * X3;
                    dy = c1 * Y3 - s1 * X3;
                    X3 = X2 - dx;
                    X2 += dx;
                    Y3 = Y2 - dy;
                    Y2 += dy;
                    dx = s2 * Y2 + c2 * X2;
                    dy = c2 * Y2 - s2 * X2;
                    X2 = X0 - dx;
                    X0 += dx;
                    Y2 = Y0 - dy;
                    Y0 += dy;
                    dx = s3 * Y3 + c3 * X3;
                    dy = c3 * Y3 - s3 * X3;
                    X3 = X1 - dx;
                    X1 += dx;
                    Y3 = Y1 - dy;
                    Y1 += dy;
                    x0[q] = X0;
                    y0[q] = Y0;
                    x1[q] = X1;
                    y1[q] = Y1;
                    x2[q] = X2;
                    y2[q] = Y2;
                    x3[q] = X3;
                    y3[q] = Y3;
                }
            }
        }
    }
    if (k < n) {
        for (int b = 0; b < n; b += 2 * k) {
            for (int j = 0; j < k; ++j) {
                const double c = t.twC[k - 1 + j], s = t.twS[k - 1 + j];
                double* xa = X + (b + j) * w;
                double* ya = Y + (b + j) * w;
                double* xb = X + (b + j + k) * w;
                double* yb = Y + (b + j + k) * w;
                NO_ALIAS_LOOP
                for (size_t q = 0; q < w; ++q) {
                    const double dx = s * yb[q] + c * xb[q];
                    const double dy = c * yb[q] - s * xb[q];
                    xb[q] = xa[q] - dx;
                    xa[q] += dx;
                    yb[q] = ya[q] - dy;
                    ya[q] += dy;
                }
            }
        }
    }
}

double phaseOf(double re, double im, double p) {
    if (p <= 1e-16)
        return 0.0;
    if (re > 0.0)
        return std::atan(im / re);
    if (re < 0.0) {
        double a = std::atan(im / re) + M_PI;
        if (a > M_PI)
            a -= 2.0 * M_PI;
        return a;
    }
    return im > 0.0 ? M_PI / 2.0 : -M_PI / 2.0;
}

} // namespace spectral_detail

using namespace spectral_detail;

// Radix-2 decimation in time over the tables of make_sintbl / make_bitrev: bit-reversal swaps,
// then spans k = 1, 2, 4 ... with c = table[h + n/4], s = +-table[h], h = j * n / (2k) and
//   dx = s*y[m] + c*x[m]; dy = c*y[m] - s*x[m]; x[m] = x[i]-dx; x[i] += dx; same for y.
int fft(double* x, double* y, int n, int inverse) {
    if (!x || !y || !isPowerOfTwo(n) || n < 4 || n > (1 << 30))
        return 1;
    const FftTables* t = cachedTables(n);
    std::unique_ptr<FftTables> own;
    if (!t) {
        // Too large to keep, or the cache could not grow: tables for this call only.
        own.reset(new (std::nothrow) FftTables);
        if (!own || !buildTables(n, *own))
            return 1;
        t = own.get();
    }
    transform(*t, x, y, inverse != 0);
    return 0;
}

void make_sintbl(int n, double* table) {
    if (!table || n < 4 || !isPowerOfTwo(n))
        return;
    const int n2 = n / 2, n4 = n / 4, n8 = n / 8;
    double t = std::sin(M_PI / n);
    double dc = 2.0 * t * t;
    double ds = std::sqrt(dc * (2.0 - dc));
    t = 2.0 * dc;
    double c = table[n4] = 1.0;
    double s = table[0] = 0.0;
    for (int i = 1; i < n8; ++i) {
        c -= dc;
        dc += t * c;
        s += ds;
        ds -= t * s;
        table[i] = s;
        table[n4 - i] = c;
    }
    if (n8 != 0)
        table[n8] = std::sqrt(0.5);
    for (int i = 0; i < n4; ++i)
        table[n2 - i] = table[i];
    for (int i = 0; i < n2 + n4; ++i)
        table[i + n2] = -table[i];
}

void make_bitrev(int n, int* table) {
    if (!table || !isPowerOfTwo(n))
        return;
    const int n2 = n / 2;
    int i = 0, j = 0;
    for (;;) {
        table[i] = j;
        if (++i >= n)
            break;
        int k = n2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

void WindowFunction(double* x, long n, int type) {
    if (!x || n <= 1 || type < 1 || type > 3)
        return;
    if (type == 1 && n <= kCachedMax) {
        if (const FftTables* t = cachedTables(static_cast<int>(n))) {
            const double* w = t->hamming.data();
            for (long i = 0; i < n; ++i)
                x[i] *= w[i];
            return;
        }
    }
    for (long i = 0; i < n; ++i)
        x[i] *= windowValue(i, n - 1, type);
}

void PowAndPhs(const double* re, const double* im, double* pow, double* phs, long n, long* half) {
    if (half)
        *half = n / 2;
    if (!re || !im || !pow || n < 1)
        return;
    for (long i = 0; i < n; ++i) {
        const double p = re[i] * re[i] + im[i] * im[i];
        pow[i] = p;
        if (phs)
            phs[i] = phaseOf(re[i], im[i], p);
    }
}

namespace {

double peakOrOne(const double* v, long n) {
    double m = 0.0;
    for (long i = 0; i < n; ++i)
        if (v[i] > m)
            m = v[i];
    return m <= 0.0 ? 1.0 : m;
}

// The dB floor is the smallest positive value present, so a spectrum with true zeros still has a
// finite bottom.
void normalisedToDb(const double* v, double* db, long n) {
    double floorValue = 1.0;
    for (long i = 0; i < n; ++i)
        if (v[i] > 0.0 && v[i] < floorValue)
            floorValue = v[i];
    const double floorDb = 20.0 * std::log10(floorValue);
    for (long i = 0; i < n; ++i)
        db[i] = v[i] > 0.0 ? 20.0 * std::log10(v[i]) : floorDb;
}

} // namespace

void su_calc_dB(double* pow, double* db, long n) {
    if (!pow || !db || n < 1)
        return;
    const double peak = peakOrOne(pow, n);
    for (long i = 0; i < n; ++i)
        pow[i] /= peak;
    normalisedToDb(pow, db, n);
}

void calc_dB(double* pow1, double* db1, double* aux, double* pow2, double* db2, long n) {
    if (!pow1 || !db1 || !aux || !pow2 || !db2 || n < 1)
        return;
    const double peak1 = peakOrOne(pow1, n);
    for (long i = 0; i < n; ++i)
        pow1[i] /= peak1;
    normalisedToDb(pow1, db1, n);

    const double g = std::log(peak1);
    const double peak2 = peakOrOne(pow2, n);
    for (long i = 0; i < n; ++i)
        if (pow2[i] > 0.0)
            pow2[i] = pow2[i] * g / peak2;
    for (long i = 0; i < n; ++i)
        if (pow2[i] > 0.0)
            pow2[i] = std::exp(pow2[i]);
    const double peak3 = peakOrOne(pow2, n);
    for (long i = 0; i < n; ++i)
        if (pow2[i] > 0.0)
            pow2[i] /= peak3;
    normalisedToDb(pow2, db2, n);
}

void logPlus1(double* x, long n) {
    if (!x || n < 1)
        return;
    for (long i = 0; i < n; ++i)
        x[i] = std::log(1.0 + x[i]);
}
