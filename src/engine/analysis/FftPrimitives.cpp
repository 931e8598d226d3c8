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

// The kernels for each instruction set, and the one in use (the best the processor has).
namespace kernels_plain {
#include "engine/analysis/FftKernels.inc"
} // namespace kernels_plain

#if defined(__x86_64__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace kernels_avx2 {
#include "engine/analysis/FftKernels.inc"
} // namespace kernels_avx2
#if defined(__clang__)
#pragma clang attribute pop
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx512f")
#endif
namespace kernels_avx512 {
#include "engine/analysis/FftKernels.inc"
} // namespace kernels_avx512
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

struct Kernels {
    void (*reversed)(const FftTables&, double*, double*, bool);
    void (*real)(const FftTables&, double*, double*);
    void (*block)(const FftTables&, double*, double*, int);
    void (*realBlock)(const FftTables&, double*, double*, int);
    void (*phases)(const double*, const double*, double, int, double*);
};
#define KERNELS_OF(ns)                                                                             \
    {                                                                                              \
        ns::reversedKernel, ns::realReversedKernel, ns::blockKernel, ns::realBlockKernel,          \
            ns::rowPhasesKernel                                                                    \
    }
const Kernels kPlain KERNELS_OF(kernels_plain);
#if defined(__x86_64__)
const Kernels kAvx2 KERNELS_OF(kernels_avx2);
const Kernels kAvx512 KERNELS_OF(kernels_avx512);
#endif
#undef KERNELS_OF

bool supported(FftKernel k) {
#if defined(__x86_64__)
    if (k == FftKernel::avx2)
        return __builtin_cpu_supports("avx2");
    if (k == FftKernel::avx512)
        return __builtin_cpu_supports("avx512f");
#endif
    return k == FftKernel::plain;
}

const Kernels* kernelsFor(FftKernel k) {
#if defined(__x86_64__)
    if (k == FftKernel::automatic)
        k = supported(FftKernel::avx512) ? FftKernel::avx512
            : supported(FftKernel::avx2) ? FftKernel::avx2
                                         : FftKernel::plain;
    if (k == FftKernel::avx2)
        return &kAvx2;
    if (k == FftKernel::avx512)
        return &kAvx512;
#endif
    return &kPlain;
}

std::atomic<const Kernels*> g_kernels{kernelsFor(FftKernel::automatic)};

std::mutex g_cacheLock; // protects building and publishing a size's tables in g_cache
// Tables are immutable once published and deliberately live until the process ends: a detached
// worker may still be transforming while static destructors run.
std::atomic<const FftTables*> g_cache[17];

} // namespace

bool useFftKernel(FftKernel kernel) {
    if (kernel != FftKernel::automatic && !supported(kernel))
        return false;
    g_kernels = kernelsFor(kernel);
    return true;
}

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
        t.hammingRev.assign(n, 0.0);
        for (int i = 0; i < n; ++i)
            t.hammingRev[i] = t.hamming[t.bitrev[i]];
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
    g_kernels.load(std::memory_order_relaxed)->reversed(t, x, y, inverse);
}

void realTransformReversed(const FftTables& t, double* x, double* y) {
    g_kernels.load(std::memory_order_relaxed)->real(t, x, y);
}

void forwardBlock(const FftTables& t, double* X, double* Y, int width) {
    g_kernels.load(std::memory_order_relaxed)->block(t, X, Y, width);
}

void forwardRealBlock(const FftTables& t, double* X, double* Y, int width) {
    g_kernels.load(std::memory_order_relaxed)->realBlock(t, X, Y, width);
}

void rowPhases(const double* re, const double* im, double scale, int count, double* phase) {
    g_kernels.load(std::memory_order_relaxed)->phases(re, im, scale, count, phase);
}

double phaseOf(double re, double im, double p) {
    // atan only where the rule reads it: it is the costly part.
    return phaseFromAtan(re, im, p, p > 1e-16 && re != 0.0 ? std::atan(im / re) : 0.0);
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
