#include <algorithm>
#include <cmath>

#include "engine/render/AxisTicks.h"
#include "engine/render/ReadoutMath.h"
#include "gui/panels/myCanvasPanel.h"

namespace {

// Axis labels are small and sit on a patch of their background colour, so they read over any
// plot; ticks are short strokes from the plot area's edge.
struct AxisPainter {
    wxDC& dc;
    wxColour ink, paper;

    AxisPainter(wxDC& dc_, const wxColour& ink_, const wxColour& paper_)
        : dc(dc_), ink(ink_), paper(paper_) {
        dc.SetFont(wxFont(7, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
        dc.SetTextForeground(ink);
        dc.SetTextBackground(paper);
        dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
        dc.SetPen(wxPen(ink, 1));
    }
    ~AxisPainter() { dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT); }

    // Ticks up from the bottom edge, labels left-aligned beside them; a label that would run
    // into the previous one or past `right` is left out (its tick stays).
    void timeAxis(const std::vector<AxisTick>& ticks, int originX, int bottom, int left,
                  int right) {
        int lastRight = left;
        for (const AxisTick& t : ticks) {
            const int x = originX + t.pixel;
            dc.DrawLine(x, bottom, x, bottom - 5);
            const wxSize size = dc.GetTextExtent(t.label);
            if (x + 2 < lastRight || x + 2 + size.x > right)
                continue;
            dc.DrawText(t.label, x + 2, bottom - size.y);
            lastRight = x + 2 + size.x + 6;
        }
    }

    // Labels of a vertical axis whose value `t` lies at row originY - t.pixel; rows within
    // `keepOut` of the ends and outside top .. bottom are skipped (the plots' own end labels
    // live there). alignRight: the label ends at x, else it starts there.
    void valueAxis(const std::vector<AxisTick>& ticks, int originY, int x, bool alignRight, int top,
                   int bottom) {
        for (const AxisTick& t : ticks) {
            const int row = originY - t.pixel;
            if (row < top || row > bottom)
                continue;
            const wxSize size = dc.GetTextExtent(t.label);
            dc.DrawText(t.label, alignRight ? x - size.x : x, row - size.y / 2);
        }
    }
};

} // namespace

void myCanvasPanel::drawAxes(wxDC& dc) const {
    const int W = m_bufferWidth, H = m_bufferHeight;
    const int w = W - 4, h = H - 4;
    if (!m_camvasBitmap || m_axisPerPoint <= 0.0 || w < 40 || h < 30)
        return;

    if (m_plotKind == plotVoiceprint && m_voiceprintData) {
        const long cols =
            voiceprintColumns(w, m_voiceprintFrames, m_voiceprintBins, m_voiceprintInterval);
        if (cols <= 0 || m_sampleRate <= 0)
            return;
        AxisPainter paint(dc, *wxWHITE, *wxBLACK);
        // The picture's columns span the frames' starts, T x I samples of the stretch.
        const double seconds = double(m_voiceprintFrames) * m_voiceprintInterval * m_axisPerPoint;
        const int firstCol = 2 + int((w - cols) / 2);
        // With the pitch drawn, its lowest value stands in the bottom right corner.
        paint.timeAxis(roundTicks(m_axisStart, m_axisStart + seconds, int(cols), 70, "s"), firstCol,
                       H - 2, 45, m_pitchData ? W - kPitchLegendCorner : W - 4);
        // Frequencies between the two the plot writes at its top and bottom, on the rows of
        // its own scale.
        const long top = std::min(m_sampleRate / 2, m_rangeTo);
        const long low = std::max(0L, m_rangeFrom);
        if (top > low)
            paint.valueAxis(roundTicks(double(low), double(top), h, 30, "Hz"), H - 2, 10, false, 18,
                            H - 24);
        if (m_pitchData && m_pitchTop > m_pitchBottom) {
            const double pTop = std::min(std::floor(m_pitchTop), double(m_sampleRate / 2));
            const double pLow = std::max(0.0, std::floor(m_pitchBottom));
            AxisPainter coral(dc, wxTheColourDatabase->Find("CORAL"), *wxBLACK);
            // Below the legend, which fills the top right corner.
            if (pTop > pLow)
                coral.valueAxis(roundTicks(pLow, pTop, h, 30, "Hz"), H - 2, W - 10, true, 90,
                                H - 24);
        }
        return;
    }
    if (m_plotKind == plotLevelSpectrum && m_memoPanel && m_levelData) {
        AxisPainter paint(dc, wxColour(90, 90, 90), *wxWHITE);
        paint.timeAxis(
            roundTicks(m_rangeFrom * m_axisPerPoint, m_rangeTo * m_axisPerPoint, w, 70, "Hz"), 2,
            H - 2, 0, W - 4);
        paint.valueAxis(roundTicks(m_levelBottom, m_levelTop, h, 30, "dB"), H - 2 + 2, 6, false, 8,
                        H - 20);
        return;
    }
    // Waveforms and the overview: time along the bottom.
    long count = 0;
    if (m_subPlot == 0 && m_plotKind == plotWaveform && m_waveData)
        count = m_waveCount;
    else if (m_subPlot == 1 && m_plotKind == plotWaveform && m_subData)
        count = m_subCount;
    if (count <= 1)
        return;
    AxisPainter paint(dc, wxColour(90, 90, 90), *wxWHITE);
    paint.timeAxis(roundTicks(m_axisStart, m_axisStart + count * m_axisPerPoint, w, 70, "s"), 2,
                   H - 2, 0, W - 4);
}
