#pragma once

// How a voiceprint turns levels into grey and picture rows and columns into bins and frames.
// The window, the command line's pictures and the pointer readout all draw through these, so a
// voiceprint means the same wherever it is shown.

// Grey of a level: (v - dbLow) * 255 / (dbHigh - dbLow), clamped to 0 .. 255 and truncated, so
// dbHigh is white and dbLow and below black. An empty range is a threshold at dbHigh. NaN (a
// plane that was never computed) is black.
unsigned char greyOfLevel(double v, double dbLow, double dbHigh);

// The rows of a picture `rows` high over a plane of `bins` bins of a sound at sampleRate,
// showing freqLow .. freqHigh: row r (0 at the bottom) shows bin firstBin + r * binsPerRow, that
// is low + r * (top - low) / rows Hz, with top = min(sampleRate / 2, freqHigh) and
// low = max(freqLow, 0). Callers check top > low and positive sizes before using it.
struct FreqRows {
    long low = 0, top = 0;
    double hzPerBin = 0.0;
    double firstBin = 0.0, binsPerRow = 0.0;
};
FreqRows freqRows(long sampleRate, long bins, long freqLow, long freqHigh, int rows);

// The level of a frame-major plane (frames x bins, both >= 1) at a fractional frame and bin
// (both >= 0), read bilinearly; positions at or past the last frame or bin read the last one.
double planeLevelAt(const double* plane, long frames, long bins, double frame, double bin);
