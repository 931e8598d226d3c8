#pragma once

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

// The butterflies of a forward transform on `width` independent transforms at once, stored
// X[j * width + q] for bin j of transform q; the input must already be in bit-reversed order.
// The division by n is left to the caller, who divides only the bins it reads.
void forwardBlock(const FftTables& t, double* X, double* Y, int width);

// The forward transform of sig[0 .. t.n-1] times the Hamming window into re and im, with the
// arithmetic of WindowFunction followed by fft (the samples are loaded in bit-reversed order).
void hammingSpectrum(const FftTables& t, const double* sig, double* re, double* im);

// The instruction sets the transforms are built for; the best the processor has is used unless a
// test forces one. Every set gives the same bits.
enum class FftKernel { automatic, plain, avx2, avx512 };
// Switches the transforms to `kernel` (for tests; not while transforms run). False, with nothing
// changed, when the processor lacks that instruction set.
bool useFftKernel(FftKernel kernel);

// Phase of one bin exactly as PowAndPhs computes it, given its power p = re*re + im*im.
double phaseOf(double re, double im, double p);

} // namespace spectral_detail
