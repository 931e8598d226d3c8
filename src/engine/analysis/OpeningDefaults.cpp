#include "engine/analysis/OpeningDefaults.h"

OpeningDefaults openingDefaults(long sampleRate, long windowLength) {
    const bool lowRate = sampleRate <= 22049;
    OpeningDefaults d;
    d.ssftSize = lowRate ? 2048 : 4096;
    d.interval = 512;
    // The last sample of the window is never analysed, as in the window's first run.
    d.repeatTimes = (windowLength - 1 - d.ssftSize) / d.interval;
    d.noiseParameter = 0.0005f;
    d.freqHigh = lowRate ? 6000 : 8000;
    d.dbLow = lowRate ? -130.0 : -160.0;
    return d;
}
