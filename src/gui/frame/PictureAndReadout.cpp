#include <string>

#include <wx/dcmemory.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/mstream.h>
#include <wx/statusbr.h>

#include "gui/frame/MyFrame.h"
#include "engine/render/ReadoutMath.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/CWavPara.h"

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

// ---------------------------------------------------------------------------
// Pointer readout

void MyFrame::bindPanelReadout() {
    // Bound handlers run before the panels' event tables; each skips, so the panels' own mouse
    // handling (selection, shape dragging, menus) sees every event as before.
    for (myCanvasPanel* panel :
         {m_canvasPanelUp, m_canvasPanel, m_canvasPanelSub, m_canvasPanelSub2}) {
        panel->Bind(wxEVT_MOTION, &MyFrame::OnPanelMotion, this);
        panel->Bind(wxEVT_LEAVE_WINDOW, &MyFrame::OnPanelLeave, this);
    }
}

void MyFrame::OnPanelMotion(wxMouseEvent& event) {
    event.Skip();
    const auto* panel = dynamic_cast<const myCanvasPanel*>(event.GetEventObject());
    wxStatusBar* bar = GetStatusBar();
    if (!panel || !bar || bar->GetFieldsCount() < 2)
        return;
    const wxString text = readoutText(*panel, event.GetX(), event.GetY());
    if (bar->GetStatusText(1) != text)
        bar->SetStatusText(text, 1);
}

void MyFrame::OnPanelLeave(wxMouseEvent& event) {
    event.Skip();
    wxStatusBar* bar = GetStatusBar();
    if (bar && bar->GetFieldsCount() >= 2 && !bar->GetStatusText(1).IsEmpty())
        bar->SetStatusText(wxString(), 1);
}

wxString MyFrame::readoutText(const myCanvasPanel& p, int x, int y) const {
    const CWavPara& wave = *m_sound.wave();
    const long rate = wave.m_sampleFreq;
    if (rate <= 0 || p.m_bufferWidth <= 4 || p.m_bufferHeight <= 4)
        return wxString();
    const int W = p.m_bufferWidth, H = p.m_bufferHeight;
    const long long stretch = static_cast<long long>(wave.m_windowStart) + wave.m_cursor;

    if (&p == m_canvasPanel) {
        if (p.m_plotKind == plotVoiceprint && p.m_voiceprintData) {
            VoiceprintGeometry g;
            g.width = W;
            g.height = H;
            g.frames = p.m_voiceprintFrames;
            g.bins = p.m_voiceprintBins;
            g.interval = p.m_voiceprintInterval;
            g.sampleRate = p.m_sampleRate;
            g.freqLow = p.m_rangeFrom;
            g.freqHigh = p.m_rangeTo;
            const VoiceprintPoint at = voiceprintPointAt(g, x, y);
            if (!at.onPicture)
                return wxString();
            // The plane the panel shows: the Hamming one or the restored one.
            const double level = p.m_voiceprintData[at.frame * p.m_voiceprintBins + at.bin];
            const long long sample = stretch + at.sampleOffset;
            return wxString::Format("%s sample %lld, %.0lfHz, %s (%s)", secondsOf(sample, rate),
                                    sample, at.freq,
                                    levelText(level, p.m_levelBottom, p.m_levelTop),
                                    p.m_voiceprintMethod == 1 ? "hamming" : "restored");
        }
        if (p.m_plotKind == plotLevelSpectrum && p.m_levelData) {
            LevelGeometry g;
            g.width = W;
            g.height = H;
            g.count = p.m_levelCount;
            g.from = p.m_rangeFrom;
            g.to = p.m_rangeTo;
            g.sampleRate = rate;
            const LevelPoint at = levelPointAt(g, x, y);
            if (!at.onPlot)
                return wxString();
            // The spectrum belongs to the analysed stretch (to the playback cursor while the
            // sound plays): the time is the stretch's.
            return wxString::Format(
                "%s sample %lld, %.0lfHz, %s", secondsOf(stretch, rate), stretch, at.freq,
                levelText(p.m_levelData[at.index], p.m_levelBottom, p.m_levelTop));
        }
        return wxString();
    }
    if (p.m_subPlot == 1) {
        // The overview: every m_overviewStep-th sample of the whole sound.
        if (!p.m_subData || p.m_subCount <= 0)
            return wxString();
        const long i = waveIndexAt(W, H, p.m_subCount, x, y);
        if (i < 0 || i >= p.m_subCount)
            return wxString();
        const long long sample = static_cast<long long>(i) * wave.m_overviewStep;
        return waveReadout(sample, rate, p.m_subData[i]);
    }
    if (!p.m_waveData || p.m_waveCount <= 0)
        return wxString();
    const long i = waveIndexAt(W, H, p.m_waveCount, x, y);
    if (i < 0 || i >= p.m_waveCount)
        return wxString();
    // The top panel shows the analysed stretch, the window panel the whole window.
    const long long first = &p == m_canvasPanelUp ? stretch : wave.m_windowStart;
    return waveReadout(first + i, rate, p.m_waveData[i]);
}

// ---------------------------------------------------------------------------
// Saving the main panel as a picture

wxImage MyFrame::mainPanelPicture() const {
    const wxBitmap* buffer = m_canvasPanel ? m_canvasPanel->m_camvasBitmap : nullptr;
    if (!buffer || !buffer->IsOk())
        return wxImage();
    // As painting shows it: the back buffer, then the memo shapes over it.
    wxBitmap picture(buffer->ConvertToImage());
    if (!picture.IsOk())
        return wxImage();
    {
        wxMemoryDC dc(picture);
        updateAxisSpan(m_canvasPanel);
        m_canvasPanel->drawAxes(dc);
        m_canvasPanel->DrawShapes(dc);
    }
    return picture.ConvertToImage();
}

void MyFrame::OnSavePicture(wxCommandEvent&) {
    // Taken now: the picture the user asked for, whatever happens while the dialog is open.
    if (m_canvasPanel->m_plotKind != plotVoiceprint || !m_canvasPanel->m_voiceprintData) {
        wxLogMessage("no voiceprint shown: compute one with View > Voiceprint (V), then save it.");
        return;
    }
    const wxImage picture = mainPanelPicture();
    if (!picture.IsOk()) {
        wxLogMessage("no voiceprint picture to save.");
        return;
    }
    const wxFileName suggested(m_sound.baseFileName.IsEmpty()
                                   ? wxString("voiceprint.png")
                                   : m_sound.baseFileName + "-voiceprint.png");
    wxFileDialog dialog(this, "Save voiceprint picture", suggested.GetPath(),
                        suggested.GetFullName(), "PNG files (*.png)|*.png",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return;
    wxString path = dialog.GetPath();
    // GTK's chooser reports its selection only once it has been on screen.
    if (path.IsEmpty())
        path = dialog.wxFileDialogBase::GetPath();
    if (path.IsEmpty())
        return;
    wxFileName name(path);
    if (!name.HasExt())
        name.SetExt("png");
    path = name.GetFullPath();

    wxMemoryOutputStream png;
    bool ok = false;
    {
        wxLogNull quiet; // one line of our own instead of the toolkit's
        ok = picture.SaveFile(png, wxBITMAP_TYPE_PNG);
    }
    std::string bytes(png.GetLength(), '\0');
    if (ok && !bytes.empty())
        ok = png.CopyTo(&bytes[0], bytes.size()) == bytes.size();
    // Written aside and renamed over the old file, so a failure never leaves half a picture.
    std::string temporary;
    const resultMemoSave saved =
        ok ? replaceFileContents(std::string(path.fn_str()), bytes, temporary) : memoSaveFailed;
    if (saved == memoSaveKeptTemporary)
        wxRemoveFile(wxString(temporary.c_str(), wxConvFile));
    if (saved != memoSaveOk) {
        wxLogMessage("voiceprint picture save failed: %s", path);
        return;
    }
    wxLogMessage("voiceprint picture saved: %s", path);
}
