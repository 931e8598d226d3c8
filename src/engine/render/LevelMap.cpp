#include "engine/render/LevelMap.h"

#include <algorithm>
#include <cmath>
#include <vector>

FreqRows freqRows(long sampleRate, long bins, long freqLow, long freqHigh, int rows) {
    FreqRows f;
    f.top = std::min(sampleRate / 2, freqHigh);
    f.low = std::max(freqLow, 0L);
    const double hzPerBin = sampleRate * 0.5 / bins;
    f.binsPerRow = (static_cast<double>(f.top - f.low) / rows) / hzPerBin;
    f.firstBin = f.low / hzPerBin;
    return f;
}

bool fitLevelRange(const double* plane, long frames, long bins, long firstBin, long lastBin,
                   double* low, double* high) {
    firstBin = std::max(firstBin, 0L);
    lastBin = std::min(lastBin, bins - 1);
    std::vector<double> levels;
    for (long f = 0; plane && f < frames && firstBin <= lastBin; ++f)
        for (long b = firstBin; b <= lastBin; ++b)
            if (std::isfinite(plane[f * bins + b]))
                levels.push_back(plane[f * bins + b]);
    if (levels.empty())
        return false;
    const auto pos = levels.begin() + static_cast<long>(levels.size() / 20);
    std::nth_element(levels.begin(), pos, levels.end());
    const double top = *std::max_element(levels.begin(), levels.end());
    *low = std::floor(*pos);
    *high = std::ceil(top);
    // A flat plane still gets a range one dB wide.
    if (*low >= *high)
        *low = *high - 1.0;
    return true;
}
