#pragma once

#include <cstddef>
#include <vector>

// Wideband phase restoration of one frame, and the per-frame dB alignment of a restored
// voiceprint with the Hamming voiceprint.

// Working storage of restoreWithWidebandPhase: the summed rows of the short transforms and the
// blocks of short transforms in flight. It grows to the largest frame seen and is then reused, so
// frames allocate nothing. One workspace serves one call at a time; give every thread its own
// (the overload without a workspace uses one per thread). Results never depend on the workspace's
// history.
class CRestoreWorkspace {
public:
    CRestoreWorkspace() = default;
    CRestoreWorkspace(const CRestoreWorkspace&) = delete;
    CRestoreWorkspace& operator=(const CRestoreWorkspace&) = delete;

    // Gives the memory back; the next call allocates again.
    void release();

private:
    friend struct RestoreAccess;
    std::vector<double> m_rows;  // rows letLow..letHigh of the short transforms, n values each
    std::vector<double> m_block; // one block of short transforms, real and imaginary parts
};

// Restores one frame. sig: the frame's n samples (read only). re, im: n values of scratch,
// overwritten (contents unspecified on return). out: n values, the restored spectrum (only the
// first n/2 are meaningful). *outHalf = n / 2. rowSum: n values, per position the unweighted sum
// of the summed rows. noise: the noise gate relative to the frame's peak power. wide == 1: rows
// are phases of the short-transform bins (fine sense mode); any other value: rows are their real
// parts (normal sense mode). letSize = L, the short-transform length; rows letLow..letHigh
// (inclusive) are summed, with weight 0.5 for row 0.
//
// Steps: out = rowSum = 0; re = sig, im = 0. If max(sig) - min(sig) < 5, out[0 .. n/2-1] = -1
// (silent frame) and nothing else. Otherwise Hamming window, forward fft, power P and phase of
// every bin; Pmax = max(0, P[1 .. n/2-1]); P[0] = 0; every bin becomes
// g (cos phase, sin phase) with g = sqrt(P / (P + Pmax * noise)); inverse fft gives the whitened
// frame y = re. For each position p the L-point forward fft of y[min(p + j, n-1)], j < L, gives
// row j at p: its phase (wide) or real part. Each summed row is added to rowSum, Hamming windowed
// and transformed; its power (DC set to 0) times the row's weight is added to out, rows in order.
//
// Sound behaviour where the plain formula would divide by zero: a bin whose P + Pmax * noise is
// not positive (noise <= 0, or a frame without any power in bins 1 .. n/2-1) gets g = 0 instead
// of a NaN that would spread over the whole frame. For noise > 0 and Pmax > 0 nothing changes.
//
// Requirements: n and letSize powers of two from 4 to 65536;
// 0 <= letLow <= letHigh < letSize; no null pointer; sig, re, im, out and rowSum do not overlap.
// Returns 0 on success, 1 if a requirement fails or memory is short; then nothing is written.
//
// Bit-identical to the straightforward transcription of the steps above (which would also compute
// phases and rows that nothing reads); thread safe: calls on different arrays and workspaces may
// run at once.
int restoreWithWidebandPhase(CRestoreWorkspace& ws, const double* sig, double* re, double* im,
                             long n, long letSize, long letHigh, long letLow, double* out,
                             long* outHalf, double* rowSum, double noise, int wide);

// The same for a caller that already holds the frame's Hamming spectrum: re and im hold in bins
// 0 .. n/2 what the restoration's own first transform would give (spectral_detail::hammingSpectrum
// of sig; the bins above are not read), and the restoration goes on from there. Identical
// results; one S-point transform less.
int restoreFromHammingSpectrum(CRestoreWorkspace& ws, const double* sig, double* re, double* im,
                               long n, long letSize, long letHigh, long letLow, double* out,
                               long* outHalf, double* rowSum, double noise, int wide);

// The same with the calling thread's own workspace (kept until the thread ends).
int restoreWithWidebandPhase(const double* sig, double* re, double* im, long n, long letSize,
                             long letHigh, long letLow, double* out, long* outHalf, double* rowSum,
                             double noise, int wide);

// Aligns each frame of the restored dB plane with the Hamming dB plane: for every frame t, with A
// and B the means (sum over k = 1 .. bins-1 in order, divided by bins - 1) of hamDb[t*bins + k]
// and restoreDb[t*bins + k], restoreDb[t*bins + k] = min(0, (restoreDb[t*bins + k] - B) + A) for
// k >= 1. Bin 0 and hamDb are not changed; fine does not change the result.
// Null pointer, bins <= 1 or frames <= 0: nothing happens.
void adjustRestoreDbBottomLineByPowerDb(const double* hamDb, double* restoreDb, long frames,
                                        long bins, int fine);
