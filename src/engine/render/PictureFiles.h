#pragma once

#include <string>
#include <vector>

#include "engine/render/LevelMap.h"

// Files the front ends write from analysis results: NumPy arrays of doubles and PNG pictures,
// made in memory so that the caller decides where and when they are put in place.

// A .npy file (format 1.0, little-endian float64, C order): shape (rows, cols), or (cols,) when
// rows is negative. Empty when there is no data.
std::string npyBytes(const double* data, long rows, long cols);
// The same file in pieces: its header, and data appended as little-endian doubles.
std::string npyHeader(long rows, long cols);
void appendNpyData(std::string& npy, const double* data, size_t count);

// An 8-bit grey-scale PNG of width x height pixels, row by row from the top; empty when the
// pixels do not fit the size or cannot be compressed.
std::string greyPngBytes(const std::vector<unsigned char>& grey, int width, int height);
// The same for 8-bit RGB pixels (three bytes each).
std::string rgbPngBytes(const std::vector<unsigned char>& rgb, int width, int height);

// A grey picture of a dB plane (frame-major, frames x bins): one column per frame, one row per
// bin from freqLow to freqHigh (low frequencies at the bottom), with dbHigh white and dbLow and
// below black, each level through greyOfLevel.
struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
};
GreyPicture voiceprintPicture(const double* plane, long frames, long bins, long sampleFreq,
                              long freqLow, long freqHigh, double dbLow, double dbHigh);
