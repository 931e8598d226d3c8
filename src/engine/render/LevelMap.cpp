#include "engine/render/LevelMap.h"

#include <algorithm>

FreqRows freqRows(long sampleRate, long bins, long freqLow, long freqHigh, int rows) {
    FreqRows f;
    f.top = std::min(sampleRate / 2, freqHigh);
    f.low = std::max(freqLow, 0L);
    const double hzPerBin = sampleRate * 0.5 / bins;
    f.binsPerRow = (static_cast<double>(f.top - f.low) / rows) / hzPerBin;
    f.firstBin = f.low / hzPerBin;
    return f;
}
