#include "engine/render/LevelMap.h"

#include <algorithm>

unsigned char greyOfLevel(double v, double dbLow, double dbHigh) {
    const double range = dbHigh - dbLow;
    if (range == 0.0)
        return v >= dbHigh ? 255 : 0;
    const double g = (v - dbLow) * 255 / range;
    // Written so that NaN fails both comparisons and ends black.
    return g >= 255 ? 255 : g > 0 ? static_cast<unsigned char>(g) : 0;
}

FreqRows freqRows(long sampleRate, long bins, long freqLow, long freqHigh, int rows) {
    FreqRows f;
    f.top = std::min(sampleRate / 2, freqHigh);
    f.low = std::max(freqLow, 0L);
    f.hzPerBin = sampleRate * 0.5 / bins;
    f.binsPerRow = (static_cast<double>(f.top - f.low) / rows) / f.hzPerBin;
    f.firstBin = f.low / f.hzPerBin;
    return f;
}

double planeLevelAt(const double* plane, long frames, long bins, double frame, double bin) {
    const long t0 = std::min(static_cast<long>(frame), frames - 1);
    const double ft = frame - t0;
    const long t1 = std::min(t0 + 1, frames - 1);
    const long k0 = std::min(static_cast<long>(bin), bins - 1);
    const double fb = bin - k0;
    const long k1 = std::min(k0 + 1, bins - 1);
    const double* d0 = plane + t0 * bins;
    const double* d1 = plane + t1 * bins;
    return ((1 - fb) * d0[k0] + fb * d0[k1]) * (1 - ft) + ((1 - fb) * d1[k0] + fb * d1[k1]) * ft;
}
