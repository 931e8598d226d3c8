#include "engine/analysis/WidebandRestore.h"
#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/FftTables.h"

#include <algorithm>
#include <cmath>
#include <new>

using namespace spectral_detail;

void CRestoreWorkspace::release() {
    std::vector<double>().swap(m_rows);
    std::vector<double>().swap(m_block);
}

struct RestoreAccess {
    static std::vector<double>& rows(CRestoreWorkspace& ws) { return ws.m_rows; }
    static std::vector<double>& block(CRestoreWorkspace& ws) { return ws.m_block; }
};

namespace {

bool isPowerOfTwo(long n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// Short transforms computed side by side; a block of this many positions keeps the work of the
// 64-point transforms inside the first-level cache.
constexpr int kBlockWidth = 32;

// Whitening: keep each bin's phase, with a gain that gates bins near or below the noise level.
// The spectrum is a real frame's, so only bins 0 .. n/2 are read: bin n - k would be the exact
// conjugate of bin k, whose quotient im/re only changes sign, and atan is odd. Where re >= 0 its
// phase is bin k's negated, and as cos is even and sin odd its whitened value is the conjugate of
// bin k's. Left of the cut (re < 0) the shift by pi rounds the two phases apart, so each gets its
// own cos and sin.
void whiten(double* re, double* im, long n, double noise) {
    double peak = 0.0;
    for (long k = 1; k < n / 2; ++k) {
        const double p = re[k] * re[k] + im[k] * im[k];
        if (p > peak)
            peak = p;
    }
    const double gate = peak * noise;
    auto setBin = [&](long k, double phase, double g) {
        re[k] = g * std::cos(phase);
        im[k] = g * std::sin(phase);
    };
    auto gain = [gate](double kept) {
        const double den = kept + gate;
        // Without noise gate or without any power a zero-power bin would be 0/0.
        return den > 0.0 ? std::sqrt(kept / den) : 0.0;
    };
    for (long k : {0L, n / 2}) {
        const double p = re[k] * re[k] + im[k] * im[k];
        // The DC bin carries no information here.
        setBin(k, phaseOf(re[k], im[k], p), gain(k == 0 ? 0.0 : p));
    }
    for (long k = 1; k < n / 2; ++k) {
        const long m = n - k;
        const double p = re[k] * re[k] + im[k] * im[k];
        const double g = gain(p);
        const bool measured = p > 1e-16 && re[k] != 0.0;
        const double a = measured ? std::atan(im[k] / re[k]) : 0.0;
        if (measured && re[k] < 0.0) {
            setBin(m, phaseFromAtan(re[k], -im[k], p, -a), g);
            setBin(k, phaseFromAtan(re[k], im[k], p, a), g);
        } else {
            setBin(k, phaseFromAtan(re[k], im[k], p, a), g);
            re[m] = re[k];
            im[m] = p <= 1e-16 ? im[k] : -im[k]; // below the floor both phases are +0
        }
    }
}

// Rows lo..hi of the short transforms at every position of the whitened frame y: phases when
// wide, real parts otherwise. Rows outside lo..hi are never read, so neither their phases nor
// their powers are computed.
void shortTransforms(const FftTables& let, const double* y, long n, long lo, long hi, bool wide,
                     double* rows, double* block) {
    const int len = let.n;
    const int width = static_cast<int>(std::min<long>(kBlockWidth, n));
    double* X = block;
    double* Y = block + static_cast<size_t>(len) * width;
    const double scale = len;
    for (long p0 = 0; p0 < n; p0 += width) {
        // Loading in bit-reversed order is the transform's own swap step done on the way in.
        // Positions past the frame's end read its last sample.
        for (int i = 0; i < len; ++i) {
            double* xi = X + static_cast<size_t>(i) * width;
            const long offset = p0 + let.bitrev[i];
            const long inside = std::max(0L, std::min<long>(width, n - offset));
            if (inside > 0)
                std::copy(y + offset, y + offset + inside, xi);
            std::fill(xi + inside, xi + width, y[n - 1]);
        }
        forwardRealBlock(let, X, Y, width);
        // Rows above len/2 are the conjugates of those below.
        for (long r = std::max(lo, static_cast<long>(len / 2 + 1)); r <= hi; ++r) {
            const size_t to = static_cast<size_t>(r) * width;
            const size_t from = static_cast<size_t>(len - r) * width;
            for (int q = 0; q < width; ++q) {
                X[to + q] = X[from + q];
                Y[to + q] = -Y[from + q];
            }
        }
        for (long r = lo; r <= hi; ++r) {
            const double* xr = X + static_cast<size_t>(r) * width;
            const double* yr = Y + static_cast<size_t>(r) * width;
            double* dst = rows + static_cast<size_t>(r - lo) * n + p0;
            if (wide) {
                rowPhases(xr, yr, scale, width, dst);
            } else {
                for (int q = 0; q < width; ++q)
                    dst[q] = xr[q] / scale;
            }
        }
    }
}

} // namespace

namespace {

int restore(CRestoreWorkspace& ws, const double* sig, double* re, double* im, long n, long letSize,
            long letHigh, long letLow, double* out, long* outHalf, double* rowSum, double noise,
            int wide, bool haveSpectrum) {
    if (!sig || !re || !im || !out || !outHalf || !rowSum)
        return 1;
    if (!isPowerOfTwo(n) || n < 4 || n > kCachedMax || !isPowerOfTwo(letSize) || letSize < 4 ||
        letSize > kCachedMax || letLow < 0 || letLow > letHigh || letHigh >= letSize)
        return 1;
    const FftTables* frame = cachedTables(static_cast<int>(n));
    const FftTables* let = cachedTables(static_cast<int>(letSize));
    if (!frame || !let)
        return 1;
    const long rowCount = letHigh - letLow + 1;
    const int width = static_cast<int>(std::min<long>(kBlockWidth, n));
    std::vector<double>& rows = RestoreAccess::rows(ws);
    std::vector<double>& block = RestoreAccess::block(ws);
    try {
        // Sizes are bounded by the checks above (at most 2^16 * 2^16 values).
        const size_t rowValues = static_cast<size_t>(rowCount) * static_cast<size_t>(n);
        const size_t blockValues = 2 * static_cast<size_t>(letSize) * width;
        if (rows.size() < rowValues)
            rows.resize(rowValues);
        if (block.size() < blockValues)
            block.resize(blockValues);
    } catch (const std::bad_alloc&) {
        return 1;
    }

    *outHalf = n / 2;
    std::fill(out, out + n, 0.0);
    std::fill(rowSum, rowSum + n, 0.0);

    const auto range = std::minmax_element(sig, sig + n);
    if (*range.second - *range.first < 5.0) {
        std::fill(out, out + n / 2, -1.0);
        return 0;
    }

    const double* hamRev = frame->hammingRev.data();
    const int* rev = frame->bitrev.data();
    if (!haveSpectrum)
        hammingSpectrum(*frame, sig, re, im);
    whiten(re, im, n, noise);
    transform(*frame, re, im, true);

    shortTransforms(*let, re, n, letLow, letHigh, wide == 1, rows.data(), block.data());

    for (long r = letLow; r <= letHigh; ++r) {
        const double* row = rows.data() + static_cast<size_t>(r - letLow) * n;
        const double weight = r == 0 ? 0.5 : 1.0;
        for (long p = 0; p < n; ++p)
            rowSum[p] += row[p];
        for (long i = 0; i < n; ++i)
            re[i] = row[rev[i]] * hamRev[i];
        realTransformReversed(*frame, re, im);
        // The DC bin of every row spectrum is dropped.
        out[0] += weight * 0.0;
        for (long k = 1; k <= n / 2; ++k)
            out[k] += weight * (re[k] * re[k] + im[k] * im[k]);
    }
    // A real row's bins above n/2 are the conjugates of those below: the same powers, the same
    // sums.
    for (long k = n / 2 + 1; k < n; ++k)
        out[k] = out[n - k];
    return 0;
}

} // namespace

void spectral_detail::hammingSpectrum(const FftTables& t, const double* sig, double* re,
                                      double* im) {
    // Windowed samples are loaded straight into bit-reversed order: the values the transform's
    // swap step would produce, without the extra pass.
    const double* hamRev = t.hammingRev.data();
    const int* rev = t.bitrev.data();
    for (int i = 0; i < t.n; ++i)
        re[i] = sig[rev[i]] * hamRev[i];
    realTransformReversed(t, re, im);
}

int restoreWithWidebandPhase(CRestoreWorkspace& ws, const double* sig, double* re, double* im,
                             long n, long letSize, long letHigh, long letLow, double* out,
                             long* outHalf, double* rowSum, double noise, int wide) {
    return restore(ws, sig, re, im, n, letSize, letHigh, letLow, out, outHalf, rowSum, noise, wide,
                   false);
}

int restoreFromHammingSpectrum(CRestoreWorkspace& ws, const double* sig, double* re, double* im,
                               long n, long letSize, long letHigh, long letLow, double* out,
                               long* outHalf, double* rowSum, double noise, int wide) {
    return restore(ws, sig, re, im, n, letSize, letHigh, letLow, out, outHalf, rowSum, noise, wide,
                   true);
}

int restoreWithWidebandPhase(const double* sig, double* re, double* im, long n, long letSize,
                             long letHigh, long letLow, double* out, long* outHalf, double* rowSum,
                             double noise, int wide) {
    static thread_local CRestoreWorkspace workspace;
    return restoreWithWidebandPhase(workspace, sig, re, im, n, letSize, letHigh, letLow, out,
                                    outHalf, rowSum, noise, wide);
}

void adjustRestoreDbBottomLineByPowerDb(const double* hamDb, double* restoreDb, long frames,
                                        long bins, int /*fine*/) {
    if (!hamDb || !restoreDb || bins <= 1 || frames <= 0)
        return;
    const double count = static_cast<double>(bins - 1);
    for (long t = 0; t < frames; ++t) {
        const double* ham = hamDb + t * bins;
        double* restored = restoreDb + t * bins;
        double hamSum = 0.0, restoreSum = 0.0;
        for (long k = 1; k < bins; ++k) {
            hamSum += ham[k];
            restoreSum += restored[k];
        }
        const double hamMean = hamSum / count;
        const double restoreMean = restoreSum / count;
        for (long k = 1; k < bins; ++k) {
            const double v = restored[k] - restoreMean + hamMean;
            restored[k] = v > 0.0 ? 0.0 : v;
        }
    }
}
