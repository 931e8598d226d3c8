#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

// Engine-internal: the per-size tables behind fft and the Hamming window, shared with the
// restoration so that its transforms run on the very same arithmetic.
namespace spectral_detail {

struct FftTables {
    int n = 0;
    std::vector<double> sintbl;        // make_sintbl, n + n/4 values
    std::vector<int> swapFrom, swapTo; // the bit-reversal swaps, i < bitrev[i]
    std::vector<int> bitrev;           // make_bitrev, n values
    std::vector<double> twC, twS;      // per span k, at offset k - 1: table[h + n/4], table[h]
    std::vector<double> hamming;       // the type 1 window of length n
    std::vector<double> hammingRev;    // hamming[bitrev[i]], for loading in bit-reversed order
};

// Largest n whose tables are cached for the life of the process.
constexpr int kCachedMax = 65536;

// Tables for a power of two 4 <= n <= kCachedMax, built once (thread safe) and never changed;
// null for any other n or when memory is short.
const FftTables* cachedTables(int n);

// Builds tables for any power of two 4 <= n <= 2^30; false when memory is short.
bool buildTables(int n, FftTables& t);

// fft on prepared tables: bit-reversal swaps, butterflies, and for the forward transform the
// division by n. Exactly the arithmetic fft documents.
void transform(const FftTables& t, double* x, double* y, bool inverse);

// transform without the bit-reversal swaps, for input already loaded in bit-reversed order.
void transformReversed(const FftTables& t, double* x, double* y, bool inverse);

// The forward transform of real input x in bit-reversed order: bins 0 .. n/2 with the bits
// transformReversed gives them (with y all zero), bar the sign of zeros, for about half the work.
// y is only written; the entries above n/2 (the conjugates) are left unspecified.
void realTransformReversed(const FftTables& t, double* x, double* y);

// The butterflies of a forward transform on `width` independent transforms at once, stored
// X[j * width + q] for bin j of transform q; the input must already be in bit-reversed order.
// The division by n is left to the caller, who divides only the bins it reads.
void forwardBlock(const FftTables& t, double* X, double* Y, int width);

// forwardBlock of real input X: rows 0 .. n/2 with forwardBlock's bits (with Y all zero), bar
// the sign of zeros, for about half the work. Y is only written; the rows above n/2 are left
// unspecified.
void forwardRealBlock(const FftTables& t, double* X, double* Y, int width);

// Bins 0 .. n/2 of the forward transform of sig[0 .. t.n-1] times the Hamming window into re and
// im, with the arithmetic of WindowFunction followed by fft (the samples are loaded in
// bit-reversed order); the entries above n/2 are left unspecified.
void hammingSpectrum(const FftTables& t, const double* sig, double* re, double* im);

// The instruction sets the transforms are built for; the best the processor has is used unless a
// test forces one. Every set gives the same bits.
enum class FftKernel { automatic, plain, avx2, avx512 };
// Switches the transforms to `kernel` (for tests; not while transforms run). False, with nothing
// changed, when the processor lacks that instruction set.
bool useFftKernel(FftKernel kernel);

// The phase rule of PowAndPhs for one bin of power p = re*re + im*im, given a = atan(im / re)
// (read only where re is not 0 and p is above the floor). Written without early returns so that
// a loop over many bins can compute every case and select, instead of guessing branches.
inline double phaseFromAtan(double re, double im, double p, double a) {
    const double shifted = a + M_PI;
    const double left = shifted > M_PI ? shifted - 2.0 * M_PI : shifted;
    const double axis = im > 0.0 ? M_PI / 2.0 : -M_PI / 2.0;
    const double phase = re > 0.0 ? a : re < 0.0 ? left : axis;
    return p <= 1e-16 ? 0.0 : phase;
}

// Phase of one bin exactly as PowAndPhs computes it, given its power p = re*re + im*im.
double phaseOf(double re, double im, double p);

// phase[q] = phaseOf(x, y, x*x + y*y) with x = re[q] / scale, y = im[q] / scale, for q < count;
// scale is a power of two. Faster than a loop of phaseOf, same bits.
void rowPhases(const double* re, const double* im, double scale, int count, double* phase);

} // namespace spectral_detail
