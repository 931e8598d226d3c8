#include <algorithm>

#include "gui/panels/PixelMath.h"
#include "gui/panels/myCanvasPanel.h"

namespace {

void drawFrame(wxMemoryDC& dc, int x, int y, int w, int h) {
    dc.SetPen(*wxBLACK_PEN);
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.DrawRectangle(x, y, w, h);
}

// Value-to-row mapping of the line plots, in the order the rows have always been
// computed (truncation can tip either way otherwise). A range with top equal to bottom
// (a silent sound, an empty level range) has no scale: every value lies on the middle row.
struct RowMap {
    double yh;
    double vpp;
    double bottom;
    int extra;
    RowMap(int y, int h, double top, double bottom_, int extra_)
        : yh(y + h), vpp((top - bottom_) / h), bottom(bottom_), extra(extra_) {
        if (!std::isfinite(vpp) || vpp == 0.0) {
            vpp = 0.0;
            yh = y + h / 2;
        }
    }
    int operator()(double v) const {
        if (vpp == 0.0)
            return static_cast<int>(yh) + extra;
        return toPixel(yh - v / vpp + bottom / vpp + extra);
    }
};

// The waveform and overview strokes: a polyline through every sample when there are
// at most 3 samples per column, else one vertical stroke per group of `ratio` samples.
template <typename T>
void drawSeries(wxDC& dc, const T* data, int n, int x, int y, int w, int h, double top,
                double bottom, bool pointForFlatGroup) {
    if (w <= 0 || h <= 0 || n <= 1)
        return;
    const double spp = static_cast<double>(n) / w;
    const RowMap row(y, h, top, bottom, 0);
    auto col = [&](double i) { return toPixel(x + i / spp); };
    const int ratio = n / w;
    if (ratio <= 3) {
        for (int i = 0; i + 1 < n; ++i)
            dc.DrawLine(col(i), row(data[i]), col(i + 1), row(data[i + 1]));
        return;
    }
    double lo = data[0];
    double hi = data[0];
    for (int i = 1; i + 1 < n; ++i) {
        if (i % ratio != 0) {
            lo = std::min<double>(lo, data[i]);
            hi = std::max<double>(hi, data[i]);
            continue;
        }
        const int c = col(i - ratio / 2);
        const int r1 = row(lo);
        const int r2 = row(hi);
        if (pointForFlatGroup && r1 == r2)
            dc.DrawPoint(c, r1);
        else
            dc.DrawLine(c, r1, c, r2);
        lo = hi = data[i];
    }
}

} // namespace

void myCanvasPanel::drawWave(double* data, int count, double top, double bottom) {
    m_waveData = data;
    m_waveCount = count;
    m_waveTop = top;
    m_waveBottom = bottom;
    m_selStart = 0;
    m_selLength = count;
    isScaleChanged();
    drawWaveBase(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
    m_subPlot = 0;
    m_plotKind = plotWaveform;
}

void myCanvasPanel::drawWaveSub(short* data, int count, short top, short bottom) {
    m_subData = data;
    m_subCount = count;
    m_subTop = top;
    m_subBottom = bottom;
    isScaleChanged();
    drawWaveBaseSub(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
    m_subPlot = 1;
}

void myCanvasPanel::drawdB(double* data, long count, long from, long to, double bottom,
                           double top) {
    m_levelData = data;
    m_levelCount = count;
    m_rangeFrom = from;
    m_rangeTo = to;
    m_levelBottom = bottom;
    m_levelTop = top;
    isScaleChanged();
    drawdBBase(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
    m_plotKind = plotLevelSpectrum;
}

void myCanvasPanel::drawWaveBase(int x, int y, int w, int h) {
    wxMemoryDC dc(*m_camvasBitmap);
    crispLines(dc);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    drawFrame(dc, x, y, w, h);
    if (!m_waveData)
        return;
    m_pitchData = nullptr;
    dc.SetPen(*wxBLACK_PEN);
    drawSeries(dc, m_waveData, m_waveCount, x, y, w, h, m_waveTop, m_waveBottom, true);
}

void myCanvasPanel::drawWaveBaseSub(int x, int y, int w, int h) {
    wxMemoryDC dc(*m_camvasBitmap);
    crispLines(dc);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    drawFrame(dc, x, y, w, h);
    if (!m_subData)
        return;
    dc.SetPen(*wxBLACK_PEN);
    drawSeries(dc, m_subData, m_subCount, x, y, w, h, m_subTop, m_subBottom, false);
}

void myCanvasPanel::drawdBBase(int x, int y, int w, int h) {
    {
        wxMemoryDC dc(*m_camvasBitmap);
        crispLines(dc);
        dc.SetBackground(*wxWHITE_BRUSH);
        // The curve's lowest rows and the pitch ticks lie outside the frame rectangle: without
        // a clear they would outlive the picture they belong to.
        dc.Clear();
        drawFrame(dc, x, y, w, h);
        if (!m_levelData)
            return;
        m_pitchData = nullptr;
        // The curve sits two rows below the waveform mapping: the bottom level lands on y + h + 2.
        const RowMap row(y, h, m_levelTop, m_levelBottom, 2);
        const long from = m_rangeFrom;
        const long to = m_rangeTo;
        const double ipp = w > 0 ? static_cast<double>(to - from) / w : 0.0;
        // Only indices that exist in the series are joined, whatever range was asked for.
        const long first = std::max(from, 0L);
        const long last = std::min(to, m_levelCount); // exclusive
        if (ipp > 0.0) {
            auto col = [&](long i) { return toPixel(x + i / ipp - from / ipp); };
            dc.SetPen(*wxBLACK_PEN);
            for (long i = first; i + 1 < last; ++i)
                dc.DrawLine(col(i), row(m_levelData[i]), col(i + 1), row(m_levelData[i + 1]));
        }
    }
    Refresh();
}

void myCanvasPanel::redrawWave() {
    if (!isScaleChanged())
        return;
    drawWaveBase(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
    replaceBandAfterResize();
}

void myCanvasPanel::redrawWaveSub() {
    if (!isScaleChanged())
        return;
    drawWaveBaseSub(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
    replaceBandAfterResize();
}

void myCanvasPanel::replaceBandAfterResize() {
    if (!m_archImage && m_selX == 0 && m_selPanelWidth == 0)
        return;
    long x = m_selX;
    long width = m_selWidth;
    const long oldWidth = m_selPanelWidth;
    eraseSelect();
    const int W = GetSize().x;
    if (oldWidth != 0 && oldWidth != W) {
        x = x * W / oldWidth;
        width = width * W / oldWidth;
    }
    setSelect(x, width);
    Refresh();
    Update();
}

void myCanvasPanel::redrawdB() {
    if (!isScaleChanged())
        return;
    const int x = 2, y = 2, w = m_bufferWidth - 4, h = m_bufferHeight - 4;
    if (m_plotKind == plotLevelSpectrum) {
        drawdBBase(x, y, w, h);
    } else {
        drawScaleTimeFreqBase(x, y, w, h);
        drawdBBaseTimeFreq(x, y, w, h);
        drawPitchBase(x, y, w, h);
    }
    Refresh();
    Update();
}

void myCanvasPanel::redrawdBChangeRange(long freqLow, long freqHigh, double bottom, double top,
                                        long rate) {
    isScaleChanged();
    const int x = 2, y = 2, w = m_bufferWidth - 4, h = m_bufferHeight - 4;
    m_levelTop = top;
    m_levelBottom = bottom;
    m_sampleRate = rate;
    if (m_plotKind == plotLevelSpectrum) {
        // Hz limits become bin indices of the stored spectrum.
        const double binWidth = m_levelCount > 0 ? rate * 0.5 / m_levelCount : 0.0;
        m_rangeTo = binWidth > 0.0 ? static_cast<long>(freqHigh / binWidth) : 0;
        m_rangeFrom = binWidth > 0.0 ? static_cast<long>(freqLow / binWidth) : 0;
        drawdBBase(x, y, w, h);
    } else {
        m_rangeTo = freqHigh;
        m_rangeFrom = freqLow;
        drawScaleTimeFreqBase(x, y, w, h);
        drawdBBaseTimeFreq(x, y, w, h);
    }
}

void myCanvasPanel::forgetData() {
    m_waveData = nullptr;
    m_waveCount = 0;
    m_subData = nullptr;
    m_subCount = 0;
    m_levelData = nullptr;
    m_levelCount = 0;
    m_voiceprintData = nullptr;
    m_pitchData = nullptr;
    m_pitchLevelData = nullptr;
    m_pitchPowerData = nullptr;
    m_pitchHarmData = nullptr;
}
