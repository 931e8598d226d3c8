#pragma once

// Straightforward transcriptions of the transform algorithms: tables built anew on every call,
// phases and rows computed whether read or not, all working arrays allocated per call. The tuned
// engine code computes the very same bits; the digests in Transforms_test.cpp were taken when both
// agreed, and the restoration benchmark times the tuned code against this one.

#include <algorithm>
#include <cmath>
#include <vector>

namespace ref {

inline void make_sintbl(int n, double* table) {
    int i, n2 = n / 2, n4 = n / 4, n8 = n / 8;
    double t = std::sin(M_PI / n), dc = 2 * t * t, ds = std::sqrt(dc * (2 - dc));
    t = 2 * dc;
    double c = table[n4] = 1, s = table[0] = 0;
    for (i = 1; i < n8; i++) {
        c -= dc;
        dc += t * c;
        s += ds;
        ds -= t * s;
        table[i] = s;
        table[n4 - i] = c;
    }
    if (n8 != 0)
        table[n8] = std::sqrt(0.5);
    for (i = 0; i < n4; i++)
        table[n2 - i] = table[i];
    for (i = 0; i < n2 + n4; i++)
        table[i + n2] = -table[i];
}

inline void make_bitrev(int n, int* table) {
    int i = 0, j = 0, k, n2 = n / 2;
    for (;;) {
        table[i] = j;
        if (++i >= n)
            break;
        k = n2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

inline int fft(double* x, double* y, int n, int inverse) {
    std::vector<double> sintbl(n + n / 4);
    std::vector<int> bitrev(n);
    make_sintbl(n, sintbl.data());
    make_bitrev(n, bitrev.data());
    for (int i = 0; i < n; i++)
        if (i < bitrev[i]) {
            std::swap(x[i], x[bitrev[i]]);
            std::swap(y[i], y[bitrev[i]]);
        }
    for (int k = 1; k < n; k *= 2) {
        int d = n / (2 * k);
        for (int j = 0; j < k; j++) {
            int h = j * d;
            double c = sintbl[h + n / 4], s = inverse ? -sintbl[h] : sintbl[h];
            for (int i = j; i < n; i += 2 * k) {
                int m = i + k;
                double dx = s * y[m] + c * x[m], dy = c * y[m] - s * x[m];
                x[m] = x[i] - dx;
                x[i] += dx;
                y[m] = y[i] - dy;
                y[i] += dy;
            }
        }
    }
    if (!inverse)
        for (int i = 0; i < n; i++) {
            x[i] /= n;
            y[i] /= n;
        }
    return 0;
}

inline void hamming(double* x, long n) {
    for (long i = 0; i < n; i++)
        x[i] *= 0.54 - 0.46 * std::cos(2.0 * M_PI * i / (n - 1));
}

inline void PowAndPhs(const double* re, const double* im, double* pow, double* phs, long n) {
    for (long i = 0; i < n; i++) {
        pow[i] = re[i] * re[i] + im[i] * im[i];
        if (pow[i] <= 1e-16)
            phs[i] = 0;
        else if (re[i] > 0)
            phs[i] = std::atan(im[i] / re[i]);
        else if (re[i] < 0) {
            phs[i] = std::atan(im[i] / re[i]) + M_PI;
            if (phs[i] > M_PI)
                phs[i] -= 2 * M_PI;
        } else
            phs[i] = im[i] > 0 ? M_PI / 2 : -M_PI / 2;
    }
}

// The whitened frame is handed back too, for tests that check the short transforms by hand.
inline void restore(const double* sig, long n, long L, long high, long low, double* out,
                    double* rowSum, double noise, int wide,
                    std::vector<double>* whitened = nullptr) {
    std::vector<double> re(sig, sig + n), im(n), tmpPow(n), tmpPhs(n), letRe(L), letIm(L),
        letPow(L), letPhs(L), widePhase(L * n);
    std::fill_n(out, n, 0.0);
    std::fill_n(rowSum, n, 0.0);
    const auto range = std::minmax_element(sig, sig + n);
    if (*range.second - *range.first < 5.0) {
        std::fill_n(out, n / 2, -1.0);
        return;
    }
    hamming(re.data(), n);
    fft(re.data(), im.data(), (int)n, 0);
    PowAndPhs(re.data(), im.data(), tmpPow.data(), tmpPhs.data(), n);
    const double pmax = *std::max_element(tmpPow.begin() + 1, tmpPow.begin() + n / 2);
    tmpPow[0] = 0;
    for (long k = 0; k < n; k++) {
        double g = std::sqrt(tmpPow[k] / (tmpPow[k] + pmax * noise));
        re[k] = g * std::cos(tmpPhs[k]);
        im[k] = g * std::sin(tmpPhs[k]);
    }
    fft(re.data(), im.data(), (int)n, 1);
    if (whitened)
        whitened->assign(re.begin(), re.end());
    for (long p = 0; p < n; p++) {
        for (long j = 0; j < L; j++) {
            letRe[j] = re[std::min(p + j, n - 1)];
            letIm[j] = 0;
        }
        fft(letRe.data(), letIm.data(), (int)L, 0);
        PowAndPhs(letRe.data(), letIm.data(), letPow.data(), letPhs.data(), L);
        for (long j = 0; j < L; j++)
            widePhase[j * n + p] = wide == 1 ? letPhs[j] : letRe[j];
    }
    for (long r = low; r <= high; r++) {
        for (long p = 0; p < n; p++) {
            re[p] = widePhase[r * n + p];
            im[p] = 0;
            rowSum[p] += re[p];
        }
        hamming(re.data(), n);
        fft(re.data(), im.data(), (int)n, 0);
        PowAndPhs(re.data(), im.data(), tmpPow.data(), tmpPhs.data(), n);
        tmpPow[0] = 0;
        for (long k = 0; k < n; k++)
            out[k] += (r == 0 ? 0.5 : 1.0) * tmpPow[k];
    }
}

} // namespace ref
