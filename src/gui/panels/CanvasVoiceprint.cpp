#include <algorithm>
#include <cmath>

#include "gui/panels/PixelMath.h"
#include "engine/render/LevelMap.h"
#include "engine/render/ReadoutMath.h"
#include "gui/panels/myCanvasPanel.h"

namespace {

wxColour named(const char* name) {
    return wxTheColourDatabase->Find(name);
}

} // namespace

void myCanvasPanel::drawdBTimeFreq(double* plane, long frames, long bins, long sampleRate,
                                   long interval, long freqLow, long freqHigh, double dbLow,
                                   double dbHigh) {
    m_voiceprintData = plane;
    m_voiceprintFrames = frames;
    m_voiceprintBins = bins;
    m_sampleRate = sampleRate;
    m_voiceprintInterval = interval;
    m_rangeFrom = freqLow;
    m_rangeTo = freqHigh;
    m_levelBottom = dbLow;
    m_levelTop = dbHigh;
    isScaleChanged();
    drawdBBaseTimeFreq(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
    m_plotKind = plotVoiceprint;
}

void myCanvasPanel::drawdBBaseTimeFreq(int x, int y, int w, int h) {
    if (m_rangeFrom >= m_rangeTo)
        return;
    if (!m_voiceprintData)
        return;
    const long T = m_voiceprintFrames;
    const long H = m_voiceprintBins;
    const long cols = voiceprintColumns(w, T, H, m_voiceprintInterval);
    if (cols <= 0 || h <= 0 || m_sampleRate <= 0)
        return; // nothing to show in a panel this narrow, or no plane to speak of

    wxImage image = m_camvasBitmap->ConvertToImage();
    const int imageW = image.GetWidth();
    const int imageH = image.GetHeight();
    unsigned char* rgb = image.GetData();

    const FreqRows rows = freqRows(m_sampleRate, H, m_rangeFrom, m_rangeTo, h);
    const double fpc = static_cast<double>(T) / cols;
    const long firstCol = x + (w - cols) / 2;

    for (long c = 0; c < cols; ++c) {
        const long px = firstCol + c;
        if (px < 0 || px >= imageW)
            continue;
        const PlaneColumn column = planeColumn(m_voiceprintData, T, H, c * fpc);
        for (int r = 0; r < h; ++r) {
            const long py = y + h - r;
            if (py < 0 || py >= imageH)
                continue;
            const double v = column.at(r * rows.binsPerRow + rows.firstBin);
            unsigned char* p = rgb + (py * imageW + px) * 3;
            p[0] = p[1] = p[2] = greyOfLevel(v, m_levelBottom, m_levelTop);
        }
    }
    replaceBuffer(image);

    wxMemoryDC dc(*m_camvasBitmap);

    crispLines(dc);
    dc.SetPen(wxPen(*wxWHITE, 2, wxPENSTYLE_SOLID));
    dc.SetTextForeground(*wxWHITE);
    dc.SetFont(wxFont(8, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
    dc.DrawText(wxString::Format("%ldHz", rows.top), x + 5, y);
    dc.DrawText(wxString::Format("%ldHz", rows.low), x + 5, h - 10 - y);
}

void myCanvasPanel::drawPitch(double* pitch, int count, double top, double bottom, double* level,
                              double* power, double* harmonics) {
    if (!m_voiceprintData)
        return;
    m_pitchData = pitch;
    m_pitchCount = count;
    m_pitchTop = top;
    m_pitchBottom = bottom;
    m_pitchLevelData = level;
    m_pitchPowerData = power;
    m_pitchHarmData = harmonics;
    isScaleChanged();
    drawPitchBase(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
}

void myCanvasPanel::drawPitchBase(int x, int y, int w, int h) {
    if (!m_pitchData)
        return;
    const long cols =
        voiceprintColumns(w, m_voiceprintFrames, m_voiceprintBins, m_voiceprintInterval);
    if (cols <= 0)
        return;

    wxMemoryDC dc(*m_camvasBitmap);

    crispLines(dc);
    dc.SetBackground(*wxWHITE_BRUSH);
    const wxColour coral = named("CORAL");
    const wxColour blue = named("MIDNIGHT BLUE");
    const wxColour darkGreen = named("DARK GREEN");
    const wxColour springGreen = named("SPRING GREEN");
    const wxPen pitchPen(coral, 3, wxPENSTYLE_SOLID);
    dc.SetPen(pitchPen);

    const double fpc = static_cast<double>(m_voiceprintFrames) / cols;
    const long offset = (w - cols) / 2;
    auto col = [&](double i) { return toPixel(x + i / fpc + offset); };
    auto unitRow = [&](double v) { return toPixel(y + h - v * h); };
    const double pitchSpan = m_pitchTop - m_pitchBottom;
    auto pitchRow = [&](double p) {
        return pitchSpan == 0.0 ? y + h : toPixel(y + h - (p - m_pitchBottom) * h / pitchSpan);
    };
    auto line = [&](const wxColour& colour, int width, int x1, int y1, int x2, int y2) {
        dc.SetPen(wxPen(colour, width, wxPENSTYLE_SOLID));
        dc.DrawLine(x1, y1, x2, y2);
        dc.SetPen(pitchPen);
    };

    const int n = m_pitchCount;
    const long g = n / cols;
    const double* p = m_pitchData;
    if (n >= 2 && g <= 3) {
        for (int i = 0; i + 1 < n; ++i) {
            const int c1 = col(i), c2 = col(i + 1);
            if (m_pitchPowerData)
                line(blue, 1, c1, unitRow(m_pitchPowerData[i]), c2,
                     unitRow(m_pitchPowerData[i + 1]));
            const double lo = std::min(p[i], p[i + 1]);
            const double hi = std::max(p[i], p[i + 1]);
            // Unvoiced frames and jumps of 1.7 or more (octave errors) break the contour.
            if (lo >= 5.0 && hi < 1.7 * lo) {
                if (m_pitchHarmData)
                    line(darkGreen, 3, c1, unitRow(m_pitchHarmData[i]), c2,
                         unitRow(m_pitchHarmData[i + 1]));
                if (m_pitchLevelData)
                    line(springGreen, 3, c1, unitRow(m_pitchLevelData[i]), c2,
                         unitRow(m_pitchLevelData[i + 1]));
                dc.DrawLine(c1, pitchRow(p[i]), c2, pitchRow(p[i + 1]));
            }
        }
    } else if (n >= 2 && m_pitchPowerData) {
        // Many frames per column: only the power's range per group, at the group's centre.
        double lo = 0.0, hi = 0.0;
        for (int i = 0; i < n; ++i) {
            const double v = m_pitchPowerData[i];
            if (i % g == 0) {
                if (i > 0) {
                    const int c = col(i - g / 2);
                    line(blue, 1, c, unitRow(lo), c, unitRow(hi));
                }
                lo = hi = v;
            } else {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
    }

    dc.SetFont(wxFont(8, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
    // Each legend line where it has always been, moved left just enough to end clear of the
    // pitch scale's ticks on the right edge.
    auto legend = [&](const wxString& text, int lx, int ly) {
        dc.DrawText(
            text, std::min(lx, m_bufferWidth - kPitchLegendMargin - dc.GetTextExtent(text).x), ly);
    };
    dc.SetTextForeground(coral);
    legend(wxString::Format("%3.0lfHz", m_pitchTop), w - x - 30, y);
    legend("- Pitch", w - x - 35, y + 15);
    legend(wxString::Format("%3.0lfHz", m_pitchBottom), w - x - 30, h - 10 - y);
    if (m_pitchLevelData) {
        dc.SetTextForeground(springGreen);
        legend("- Power", w - x - 35, y + 25);
        legend(" on Pitch", w - x - 40, y + 35);
    }
    if (m_pitchHarmData) {
        dc.SetTextForeground(darkGreen);
        legend("- Power", w - x - 35, y + 45);
        legend(" on Harmonics", w - x - 65, y + 55);
    }
    if (m_pitchPowerData) {
        dc.SetTextForeground(blue);
        legend("- Power", w - x - 35, y + 65);
    }
    dc.SelectObject(wxNullBitmap);
    drawScalePitchTimeFreqBase(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
}

void myCanvasPanel::drawScalePitchTimeFreqBase(int, int, int, int) {
    if (!(std::fabs(m_pitchBottom) < 1e9 && std::fabs(m_pitchTop) < 1e9))
        return; // not a pitch range anyone can draw
    long bottom = std::max(0L, static_cast<long>(std::floor(m_pitchBottom)));
    long top = static_cast<long>(std::floor(m_pitchTop));
    if (bottom >= top || m_sampleRate <= 0)
        return;
    top = std::min(top, m_sampleRate / 2);
    const long span = top - bottom;
    if (span <= 0)
        return;
    const long step = span > 999 ? 1000 : 100;
    const int W = m_bufferWidth;
    const int Hgt = m_bufferHeight;
    auto row = [&](long f) {
        return static_cast<int>((Hgt - 2) - ((f - bottom) * (Hgt - 4)) / span);
    };
    wxMemoryDC dc(*m_camvasBitmap);
    crispLines(dc);
    dc.SetPen(wxPen(named("CORAL"), 1, wxPENSTYLE_SOLID));
    for (long f = 0; f < top; f += step)
        if (f >= bottom)
            dc.DrawLine(W - 2, row(f), W - 6, row(f));
    for (long f = 0; f < top; f += 5000)
        if (f >= bottom)
            dc.DrawLine(W - 2, row(f), W - 8, row(f));
}
