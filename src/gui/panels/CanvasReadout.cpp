#include "engine/render/ReadoutMath.h"
#include "gui/panels/DragShape.h"
#include "gui/panels/myCanvasPanel.h"

namespace {

wxString secondsOf(long long sample, long rate) {
    return wxString::Format("%0.03lf[s]", static_cast<double>(sample) / rate);
}

// A level as the plot shows it: beyond the plot's range only the limit it passed, so a plane's
// floor (-300 dB and below in silence) never reads as a measured value.
wxString levelText(double level, double bottom, double top) {
    if (level < bottom)
        return wxString::FromUTF8("\u2264 ") + wxString::Format("%.1lfdB", bottom);
    if (level > top)
        return wxString::FromUTF8("\u2265 ") + wxString::Format("%.1lfdB", top);
    return wxString::Format("%.1lfdB", level);
}

wxString waveReadout(long long sample, long rate, double value) {
    return wxString::Format("%s sample %lld, value %.0lf", secondsOf(sample, rate), sample, value);
}

} // namespace

VoiceprintGeometry myCanvasPanel::voiceprintGeometry() const {
    VoiceprintGeometry g;
    g.width = m_bufferWidth;
    g.height = m_bufferHeight;
    g.frames = m_voiceprintFrames;
    g.bins = m_voiceprintBins;
    g.interval = m_voiceprintInterval;
    g.sampleRate = m_sampleRate;
    g.freqLow = m_rangeFrom;
    g.freqHigh = m_rangeTo;
    return g;
}

long myCanvasPanel::waveIndexAt(int x, int y) const {
    return m_waveData ? ::waveIndexAt(m_bufferWidth, m_bufferHeight, m_waveCount, x, y) : -1;
}

long myCanvasPanel::overviewIndexAt(int x, int y) const {
    if (!m_subData)
        return -1;
    const long i = ::waveIndexAt(m_bufferWidth, m_bufferHeight, m_subCount, x, y);
    return i >= 0 && i < m_subCount ? i : -1;
}

wxString myCanvasPanel::readoutAt(int x, int y, const ReadoutScale& scale) const {
    const long rate = scale.rate;
    if (rate <= 0 || m_bufferWidth <= 4 || m_bufferHeight <= 4)
        return wxString();
    const int W = m_bufferWidth, H = m_bufferHeight;
    if (scale.spectra) {
        if (m_plotKind == plotVoiceprint && m_voiceprintData) {
            const VoiceprintPoint at = voiceprintPointAt(voiceprintGeometry(), x, y);
            if (!at.onPicture)
                return wxString();
            // The plane the panel shows: the Hamming one or the restored one.
            const double level = m_voiceprintData[at.frame * m_voiceprintBins + at.bin];
            const long long sample = scale.first + at.sampleOffset;
            return wxString::Format("%s sample %lld, %.0lfHz, %s (%s)", secondsOf(sample, rate),
                                    sample, at.freq, levelText(level, m_levelBottom, m_levelTop),
                                    m_voiceprintMethod == 1 ? "hamming" : "restored");
        }
        if (m_plotKind == plotLevelSpectrum && m_levelData) {
            LevelGeometry g;
            g.width = W;
            g.height = H;
            g.count = m_levelCount;
            g.from = m_rangeFrom;
            g.to = m_rangeTo;
            g.sampleRate = rate;
            const LevelPoint at = levelPointAt(g, x, y);
            if (!at.onPlot)
                return wxString();
            // The spectrum belongs to the analysed stretch (to the playback cursor while the
            // sound plays): the time is the stretch's.
            return wxString::Format("%s sample %lld, %.0lfHz, %s", secondsOf(scale.first, rate),
                                    scale.first, at.freq,
                                    levelText(m_levelData[at.index], m_levelBottom, m_levelTop));
        }
        return wxString();
    }
    if (m_subPlot == 1) {
        // The overview: every overviewStep-th sample of the whole sound.
        const long i = m_subCount > 0 ? overviewIndexAt(x, y) : -1;
        if (i < 0)
            return wxString();
        return waveReadout(static_cast<long long>(i) * scale.overviewStep, rate, m_subData[i]);
    }
    if (!m_waveData || m_waveCount <= 0)
        return wxString();
    const long i = ::waveIndexAt(W, H, m_waveCount, x, y);
    if (i < 0 || i >= m_waveCount)
        return wxString();
    return waveReadout(scale.first + i, rate, m_waveData[i]);
}

void myCanvasPanel::forgetShape(const DragShape* shape, DragShape* successor) {
    if (m_draggedShape == shape)
        cancelShapeDrag(true);
    if (m_highlightedShape == shape)
        m_highlightedShape = successor;
}
