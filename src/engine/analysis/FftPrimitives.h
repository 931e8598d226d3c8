#pragma once

// Spectral primitives of the analysis: a radix-2 FFT with its tables, analysis windows, power and
// phase of a spectrum, and decibel conversions. Free functions on caller-owned arrays of double;
// none keeps per-call state. All of them may be called from several threads at once on different
// arrays: the only shared state is an immutable cache of per-size FFT tables and window
// coefficients, built once under a lock and never changed afterwards.
//
// Reproducibility: every value is computed by one fixed sequence of double operations (no fused
// multiply-add, no reassociation), so results are bit-identical from run to run, from thread to
// thread and to a plain transcription of the algorithms below.

// The `inverse` argument of fft.
constexpr int kFftForward = 0;
constexpr int kFftInverse = 1;

// Complex FFT in place. x holds the real parts and y the imaginary parts, n values each.
// n must be a power of two with 4 <= n <= 2^30.
// kFftForward (0): forward transform scaled by 1/n, X[k] = (1/n) sum_j x[j] e^(-2 pi i jk/n).
// Any other value: unscaled inverse, x[j] = sum_k X[k] e^(+2 pi i jk/n); forward then inverse
// restores the input up to rounding.
// Returns 0 on success; 1 if n is not supported or the tables cannot be allocated, and then x and
// y are untouched. Null x or y returns 1.
int fft(double* x, double* y, int n, int inverse);

// table[i] = sin(2 pi i / n) for 0 <= i < n + n/4, built by the rotation recurrence (one sin call
// for the whole table, exact symmetries for the rest). table must hold n + n/4 doubles. n must be
// a power of two >= 4 (smaller ones do not give sines); any other n or a null table: no-op.
void make_sintbl(int n, double* table);

// table[i] = i with its log2(n) bits reversed, 0 <= i < n; table must hold n ints. n must be a
// power of two >= 1 (other n: no-op, since the reversal would index past the table).
void make_bitrev(int n, int* table);

// The `type` argument of WindowFunction.
enum WindowKind : int { kWindowHamming = 1, kWindowHann = 2, kWindowBlackman = 3 };

// Multiplies x[0 .. n-1] in place by a symmetric window, with N = n - 1 and a = 2 pi i / N
// (evaluated as ((2 pi) * i) / N):
//   kWindowHamming  0.54 - 0.46 cos(a)
//   kWindowHann     0.5 - 0.5 cos(a)
//   kWindowBlackman 0.42 - 0.5 cos(a) + 0.08 cos(2a)
// Any other type, n < 1, n == 1 (a one-point window is 1) or null x leaves x unchanged.
// Power-of-two n up to 65536 use cached coefficients of the same formula (identical values).
void WindowFunction(double* x, long n, int type);

// For each of the n bins (both halves): pow[i] = re[i]^2 + im[i]^2, and phs[i] = the angle of
// (re[i], im[i]) in (-pi, pi] — atan(im/re) for re > 0; atan(im/re) + pi, less 2 pi when above
// pi, for re < 0; +-pi/2 for re == 0 — or 0 where pow[i] <= 1e-16.
// *half = n / 2 whenever half is not null, even when n < 1 (then nothing else happens).
// phs may be null: only the powers are computed (the angles are the costly part).
// pow and phs may not overlap re or im. Null re, im or pow: only *half is set.
void PowAndPhs(const double* re, const double* im, double* pow, double* phs, long n, long* half);

// Decibels of one power array, in place normalisation:
//   M = max(0, max pow[i]), M = 1 if M <= 0; pow[i] /= M for every i;
//   m = the smallest positive pow[i], at most 1;
//   db[i] = 20 log10(pow[i]) where pow[i] > 0, else 20 log10(m).
// pow is overwritten with the normalised values; db receives n values. Null pointer or n < 1:
// nothing happens.
void su_calc_dB(double* pow, double* db, long n);

// Decibels of a power array (pow1 -> db1, as su_calc_dB) and of a restored array mapped onto its
// range (pow2 -> db2): with M1 the peak of pow1 (1 if none positive), g = ln(M1) and M2 the peak
// of pow2 (1 if none positive), each positive pow2[i] becomes exp((pow2[i] * g) / M2) (the peak
// becomes M1), then pow2 is normalised to its new peak and converted like su_calc_dB. Values of
// pow2 that are 0 or below stay and come out at the floor. When M1 <= 1 all of db2 is 0.
// pow1 and pow2 are overwritten; aux is never read or written. Any null pointer or n < 1: nothing
// happens.
void calc_dB(double* pow1, double* db1, double* aux, double* pow2, double* db2, long n);

// x[i] = log(1.0 + x[i]) for 0 <= i < n. Null x or n < 1: nothing happens.
void logPlus1(double* x, long n);
