#include "engine/analysis/Pitch.h"

#include "engine/analysis/CWorkMemory.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// The level every series starts from, and what "nothing" scales from.
constexpr double kNoLevel = -160.0;

long binOf(double hz, double binHz, long cap) {
    const double b = std::floor(hz / binHz);
    return b >= static_cast<double>(cap) ? cap : static_cast<long>(b);
}

// Largest of row[n - 1], row[n], row[n + 1], neighbours only where they exist.
double largestAround(const double* row, long n, long bins) {
    double v = row[n];
    if (n > 0)
        v = std::max(v, row[n - 1]);
    if (n + 1 < bins)
        v = std::max(v, row[n + 1]);
    return v;
}

// First bin of the largest value in [from, to), or -1 when the range is empty.
long firstLargest(const double* row, long from, long to) {
    if (from >= to)
        return -1;
    long best = from;
    for (long k = from + 1; k < to; ++k)
        if (row[k] > row[best])
            best = k;
    return best;
}

// Bin of the pitch of one frame, or 0 when the frame has none.
long pitchBinOfFrame(const double* D, const PitchBinLimits& lim) {
    const long H = lim.bins;

    // Restored energy high up means noise or a fricative, not a voiced sound; checked first
    // because it would void everything below anyway.
    for (long k = lim.noise; k < H; ++k)
        if (D[k] >= -40.0)
            return 0;

    const long p = firstLargest(D, lim.lo, lim.hi);
    if (p <= 0)
        return 0;
    const long m = firstLargest(D, lim.lo, lim.top);
    if (m > lim.dominant)
        return 0;

    // Sub-harmonic descent: a strong enough half-frequency bin is the real fundamental. Bin 0 is
    // DC and never a pitch, so the descent also ends when it can no longer halve; otherwise it
    // would spin at 0 when a bin is wider than 100 Hz.
    long c = p;
    double L = D[p];
    for (;;) {
        const long h = c / 2;
        if (h < lim.lo || h < 1)
            break;
        if (D[h] <= L - 40.0)
            break;
        c = h;
        L = D[h];
    }
    const double thr = L - 40.0;

    // The second harmonic must be there too; at very low sampling rates it may lie past the
    // last bin, and what cannot be seen does not count.
    bool seen = false;
    double l2 = 0.0;
    for (long n = 2 * c - 1; n <= 2 * c + 1; ++n) {
        if (n >= H)
            break;
        l2 = seen ? std::max(l2, D[n]) : D[n];
        seen = true;
    }
    if (!seen || !(l2 > thr))
        return 0;
    return c;
}

} // namespace

PitchBinLimits pitchBinLimits(long sampleFreq, long ssftSize) {
    PitchBinLimits lim;
    if (sampleFreq <= 0 || ssftSize < 2)
        return lim;
    lim.bins = ssftSize / 2;
    lim.binHz = static_cast<double>(sampleFreq) / static_cast<double>(ssftSize);
    lim.lo = binOf(100.0, lim.binHz, lim.bins);
    lim.hi = binOf(500.0, lim.binHz, lim.bins);
    lim.top = binOf(8000.0, lim.binHz, lim.bins);
    lim.dominant = binOf(2000.0, lim.binHz, lim.bins);
    lim.noise = binOf(6000.0, lim.binHz, lim.bins);
    return lim;
}

PitchSeries detectPitch(const double* restoreDb, const double* hamDb, long frames, long ssftSize,
                        long sampleFreq, bool widebandShown) {
    PitchSeries s;
    const PitchBinLimits lim = pitchBinLimits(sampleFreq, ssftSize);
    if (restoreDb == nullptr || hamDb == nullptr || frames < 1 || lim.bins < 1)
        return s;
    const long H = lim.bins;
    const std::size_t T = static_cast<std::size_t>(frames);
    s.pitch.assign(T, 0.0);
    s.pitchPower.assign(T, kNoLevel);
    s.power.assign(T, kNoLevel);
    s.harmonicsPower.assign(T, kNoLevel);

    // Frame power relative to the loudest frame.
    double pmax = 0.0;
    for (std::size_t t = 0; t < T; ++t) {
        const double* A = hamDb + t * static_cast<std::size_t>(H);
        double sum = 0.0;
        for (long k = 1; k < H; ++k)
            sum += std::pow(10.0, A[k] / 20.0);
        s.power[t] = sum;
        pmax = std::max(pmax, sum);
    }
    for (std::size_t t = 0; t < T; ++t) {
        // With no power anywhere no frame counts as loud; the raw sums would all read as 0 dB.
        const double r = pmax > 0.0 ? s.power[t] / pmax : 0.0;
        s.power[t] = r > 0.0 ? 20.0 * std::log10(r) : kNoLevel;
    }

    for (std::size_t t = 0; t < T; ++t) {
        if (!(s.power[t] > -30.0))
            continue;
        const double* D = restoreDb + t * static_cast<std::size_t>(H);
        const double* A = hamDb + t * static_cast<std::size_t>(H);
        const long c = pitchBinOfFrame(D, lim);
        if (c == 0)
            continue;
        s.pitch[t] = static_cast<double>(c) * lim.binHz;
        s.pitchPower[t] = A[c];
        double sum = 0.0;
        for (long n = c; n < H; n += c) {
            const double a = largestAround(A, n, H);
            const bool strong =
                widebandShown ? largestAround(D, n, H) > D[c] - 20.0 : a > A[c] - 6.0;
            if (strong)
                sum += std::pow(10.0, a / 20.0);
        }
        s.harmonicsPower[t] = sum;
    }

    for (double& x : s.power)
        x = (x + 160.0) / 160.0;

    const double hmax = *std::max_element(s.harmonicsPower.begin(), s.harmonicsPower.end());
    for (double& x : s.harmonicsPower) {
        const double r = hmax > 0.0 ? x / hmax : 0.0;
        x = r > 0.0 ? 20.0 * std::log10(r) : kNoLevel;
        x = (x + 160.0) / 160.0;
    }

    const auto mm = std::minmax_element(s.pitchPower.begin(), s.pitchPower.end());
    const double mn = *mm.first;
    const double mx = *mm.second;
    if (mn < 0.0) {
        // All equal (typically no voiced frame): the range is empty, so everything sits at the
        // bottom instead of dividing by zero.
        for (double& x : s.pitchPower)
            x = mx > mn ? (x - mn) / (mx - mn) * 0.98 : 0.0;
    }
    return s;
}

bool detectPitch(CWorkMemory& work, long sampleFreq, bool widebandShown) {
    if (!work.m_pitch || !work.m_pitchPower || !work.m_power || !work.m_harmonicsPower)
        return false;
    const PitchSeries s = detectPitch(work.m_restoreDbMap, work.m_hamDbMap, work.m_repeatTimes,
                                      work.m_ssftSize, sampleFreq, widebandShown);
    if (s.pitch.empty())
        return false;
    std::copy(s.pitch.begin(), s.pitch.end(), work.m_pitch);
    std::copy(s.pitchPower.begin(), s.pitchPower.end(), work.m_pitchPower);
    std::copy(s.power.begin(), s.power.end(), work.m_power);
    std::copy(s.harmonicsPower.begin(), s.harmonicsPower.end(), work.m_harmonicsPower);
    return true;
}
