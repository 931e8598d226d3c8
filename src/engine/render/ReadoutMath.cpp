#include "engine/render/ReadoutMath.h"

#include "engine/render/LevelMap.h"

#include <algorithm>
#include <cmath>

namespace {

bool insidePlot(int width, int height, int x, int y) {
    return width > 4 && height > 4 && x >= 2 && x < width - 2 && y >= 2 && y < height - 2;
}

} // namespace

long voiceprintColumns(int w, long frames, long bins, long interval) {
    if (w <= 0 || frames <= 0 || bins <= 0 || interval <= 0)
        return 0;
    const long long span = static_cast<long long>(frames) * interval;
    return static_cast<long>(static_cast<long long>(w) * span / (span + 2LL * bins));
}

VoiceprintPoint voiceprintPointAt(const VoiceprintGeometry& g, int x, int y) {
    VoiceprintPoint p;
    const int w = g.width - 4, h = g.height - 4;
    const long cols = voiceprintColumns(w, g.frames, g.bins, g.interval);
    if (cols <= 0 || h <= 0 || g.sampleRate <= 0 || g.freqLow >= g.freqHigh)
        return p;
    const FreqRows rows = freqRows(g.sampleRate, g.bins, g.freqLow, g.freqHigh, h);
    if (rows.top <= rows.low)
        return p;
    const long c = x - (2 + (w - cols) / 2);
    // Rows are drawn from y + h (r = 0) upwards: r = h - 1 is the plot area's second row.
    const long r = 2L + h - y;
    if (c < 0 || c >= cols || r < 0 || r >= h)
        return p;
    const double b = r * rows.binsPerRow + rows.firstBin;
    const double fpc = static_cast<double>(g.frames) / cols;
    p.frame = std::min(static_cast<long>(c * fpc), g.frames - 1);
    p.bin = std::min(static_cast<long>(b), g.bins - 1);
    p.sampleOffset = static_cast<long>(static_cast<long long>(c) * g.frames * g.interval / cols);
    p.freq = rows.low + static_cast<double>(r) * (rows.top - rows.low) / h;
    p.onPicture = true;
    return p;
}

LevelPoint levelPointAt(const LevelGeometry& g, int x, int y) {
    LevelPoint p;
    const int w = g.width - 4;
    if (!insidePlot(g.width, g.height, x, y) || g.to <= g.from || g.count <= 0 || g.sampleRate <= 0)
        return p;
    const long long index =
        g.from + static_cast<long long>(x - 2) * (static_cast<long long>(g.to) - g.from) / w;
    if (index < 0 || index >= g.count)
        return p;
    p.index = static_cast<long>(index);
    p.freq = p.index * (g.sampleRate * 0.5 / g.count);
    p.onPlot = true;
    return p;
}

long waveIndexAt(int width, int height, long count, int x, int y) {
    if (!insidePlot(width, height, x, y) || count <= 0)
        return -1;
    return static_cast<long>(static_cast<long long>(x - 2) * count / (width - 4));
}
