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

// The decibel conversions and the frame alignment as plain loops, in place like the originals.
inline void su_calc_dB(double* pow, double* db, long n) {
    double m = 0;
    for (long i = 0; i < n; i++)
        if (pow[i] > m)
            m = pow[i];
    if (m <= 0)
        m = 1;
    for (long i = 0; i < n; i++)
        pow[i] /= m;
    double floorValue = 1.0;
    for (long i = 0; i < n; i++)
        if (pow[i] > 0 && pow[i] < floorValue)
            floorValue = pow[i];
    for (long i = 0; i < n; i++)
        db[i] = pow[i] > 0 ? 20.0 * std::log10(pow[i]) : 20.0 * std::log10(floorValue);
}

inline void calc_dB(double* pow1, double* db1, double* pow2, double* db2, long n) {
    double m1 = 0;
    for (long i = 0; i < n; i++)
        if (pow1[i] > m1)
            m1 = pow1[i];
    if (m1 <= 0)
        m1 = 1;
    su_calc_dB(pow1, db1, n);
    const double g = std::log(m1);
    double m2 = 0;
    for (long i = 0; i < n; i++)
        if (pow2[i] > m2)
            m2 = pow2[i];
    if (m2 <= 0)
        m2 = 1;
    for (long i = 0; i < n; i++)
        if (pow2[i] > 0)
            pow2[i] = pow2[i] * g / m2;
    for (long i = 0; i < n; i++)
        if (pow2[i] > 0)
            pow2[i] = std::exp(pow2[i]);
    double m3 = 0;
    for (long i = 0; i < n; i++)
        if (pow2[i] > m3)
            m3 = pow2[i];
    if (m3 <= 0)
        m3 = 1;
    for (long i = 0; i < n; i++)
        if (pow2[i] > 0)
            pow2[i] /= m3;
    double floorValue = 1.0;
    for (long i = 0; i < n; i++)
        if (pow2[i] > 0 && pow2[i] < floorValue)
            floorValue = pow2[i];
    for (long i = 0; i < n; i++)
        db2[i] = pow2[i] > 0 ? 20.0 * std::log10(pow2[i]) : 20.0 * std::log10(floorValue);
}

inline void adjust(const double* hamDb, double* restoreDb, long frames, long bins) {
    for (long t = 0; t < frames; t++) {
        double a = 0, b = 0;
        for (long k = 1; k < bins; k++) {
            a += hamDb[t * bins + k];
            b += restoreDb[t * bins + k];
        }
        a /= bins - 1;
        b /= bins - 1;
        for (long k = 1; k < bins; k++) {
            const double v = restoreDb[t * bins + k] - b + a;
            restoreDb[t * bins + k] = v > 0 ? 0 : v;
        }
    }
}

// The whole voiceprint on one thread, as the frame loop and its completion describe it: per
// frame the Hamming spectrum, the restoration (which transforms the frame again) and the
// unwindowed spectrum, all bins with phases; then the three planes to dB over the whole plane.
// Planes are T x n/2, frame-major.
struct Planes {
    std::vector<double> ham, restore, rect, hamDb, restoreDb, rectDb;
};
inline void voiceprint(const double* wave, long n, long hop, long T, long L, long high, long low,
                       int wide, double noise, Planes& p) {
    const long h = n / 2;
    for (auto* v : {&p.ham, &p.restore, &p.rect, &p.hamDb, &p.restoreDb, &p.rectDb})
        v->assign(T * h, 0.0);
    std::vector<double> re(n), im(n), pow(n), phs(n), out(n), rowSum(n);
    for (long t = 0; t < T; t++) {
        const double* s = wave + t * hop;
        std::copy(s, s + n, re.begin());
        std::fill(im.begin(), im.end(), 0.0);
        hamming(re.data(), n);
        fft(re.data(), im.data(), (int)n, 0);
        PowAndPhs(re.data(), im.data(), pow.data(), phs.data(), n);
        restore(s, n, L, high, low, out.data(), rowSum.data(), noise, wide);
        out[0] = pow[0] = 0;
        for (long k = 0; k < h; k++) {
            p.ham[t * h + k] = pow[k];
            p.restore[t * h + k] = out[k];
        }
        std::copy(s, s + n, re.begin());
        std::fill(im.begin(), im.end(), 0.0);
        fft(re.data(), im.data(), (int)n, 0);
        PowAndPhs(re.data(), im.data(), pow.data(), phs.data(), n);
        pow[0] = 0;
        for (long k = 0; k < h; k++)
            p.rect[t * h + k] = pow[k];
    }
    calc_dB(p.ham.data(), p.hamDb.data(), p.restore.data(), p.restoreDb.data(), T * h);
    adjust(p.hamDb.data(), p.restoreDb.data(), T, h);
    su_calc_dB(p.rect.data(), p.rectDb.data(), T * h);
}

} // namespace ref
