#include <string>

#include <wx/dcmemory.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/mstream.h>
#include <wx/statusbr.h>

#include "gui/frame/MyFrame.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/CWavPara.h"

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
    myCanvasPanel::ReadoutScale scale;
    scale.rate = wave.m_sampleFreq;
    scale.spectra = &p == m_canvasPanel;
    // The main and top panels show the analysed stretch, the window panel the whole window.
    scale.first = static_cast<long long>(wave.m_windowStart);
    if (&p == m_canvasPanel || &p == m_canvasPanelUp)
        scale.first += wave.m_cursor;
    scale.overviewStep = wave.m_overviewStep;
    return p.readoutAt(x, y, scale);
}

// ---------------------------------------------------------------------------
// Saving the main panel as a picture

wxImage MyFrame::mainPanelPicture() const {
    const wxBitmap* buffer = m_canvasPanel ? m_canvasPanel->backBuffer() : nullptr;
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
    if (!m_canvasPanel->showsVoiceprint()) {
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
