#pragma once

#include <algorithm>

// How a voiceprint turns levels into grey and picture rows and columns into bins and frames.
// The window, the command line's pictures and the pointer readout all draw through these, so a
// voiceprint means the same wherever it is shown.

// Grey of a level: (v - dbLow) * 255 / (dbHigh - dbLow), clamped to 0 .. 255 and truncated, so
// dbHigh is white and dbLow and below black. An empty range is a threshold at dbHigh. NaN (a
// plane that was never computed) is black.
// Inline: both are called once per pixel of a drawn voiceprint.
inline unsigned char greyOfLevel(double v, double dbLow, double dbHigh) {
    const double range = dbHigh - dbLow;
    if (range == 0.0)
        return v >= dbHigh ? 255 : 0;
    const double g = (v - dbLow) * 255 / range;
    // Written so that NaN fails both comparisons and ends black.
    return g >= 255 ? 255 : g > 0 ? static_cast<unsigned char>(g) : 0;
}

// The rows of a picture `rows` high over a plane of `bins` bins of a sound at sampleRate,
// showing freqLow .. freqHigh: row r (0 at the bottom) shows bin firstBin + r * binsPerRow, that
// is low + r * (top - low) / rows Hz, with top = min(sampleRate / 2, freqHigh) and
// low = max(freqLow, 0). Callers check top > low and positive sizes before using it.
struct FreqRows {
    long low = 0, top = 0;
    double firstBin = 0.0, binsPerRow = 0.0;
};
FreqRows freqRows(long sampleRate, long bins, long freqLow, long freqHigh, int rows);

// One column of a frame-major plane (frames x bins, both >= 1) at a fractional frame (>= 0),
// read bilinearly between bins by at(bin >= 0); a frame or bin at or past the last reads the
// last. A picture is drawn column by column, so the frame's part is worked out once.
struct PlaneColumn {
    const double* d0;
    const double* d1;
    double ft;
    long bins;
    double at(double bin) const {
        const long k0 = std::min(static_cast<long>(bin), bins - 1);
        const double fb = bin - k0;
        const long k1 = std::min(k0 + 1, bins - 1);
        return ((1 - fb) * d0[k0] + fb * d0[k1]) * (1 - ft) +
               ((1 - fb) * d1[k0] + fb * d1[k1]) * ft;
    }
};
inline PlaneColumn planeColumn(const double* plane, long frames, long bins, double frame) {
    const long t0 = std::min(static_cast<long>(frame), frames - 1);
    const long t1 = std::min(t0 + 1, frames - 1);
    return {plane + t0 * bins, plane + t1 * bins, frame - t0, bins};
}
inline double planeLevelAt(const double* plane, long frames, long bins, double frame, double bin) {
    return planeColumn(plane, frames, bins, frame).at(bin);
}

// A dB range fitted to what a plane (frames x bins) holds in bins firstBin .. lastBin: low is
// the 5th percentile rounded down to a whole dB, high the maximum rounded up. The fixed default
// range leaves ordinary speech a washed-out grey. False when no finite level is there.
bool fitLevelRange(const double* plane, long frames, long bins, long firstBin, long lastBin,
                   double* low, double* high);
