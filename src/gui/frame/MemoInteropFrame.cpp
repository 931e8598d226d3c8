// Memo lists to and from other tools — src/gui/frame/MemoInteropFrame.cpp
// The frame's side of memo/MemoInterop.h: the dialogs, the lists in and out, the log lines.

#include <string>
#include <vector>

#include <wx/filedlg.h>
#include <wx/filename.h>

#include "gui/frame/MyFrame.h"
#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
#include "engine/memo/MemoInterop.h"
#include "engine/sound/CWavPara.h"

namespace {

std::string pathOf(const wxString& name) {
    const wxScopedCharBuffer bytes = name.utf8_str();
    return std::string(bytes.data(), bytes.length());
}

// The file dialog's filters, one per export format in the engine's order.
wxString exportWildcard() {
    wxString wildcard;
    for (const MemoExportFormatInfo& f : memoExportFormats())
        wildcard += wxString::Format("%s%s (*.%s)|*.%s", wildcard.IsEmpty() ? "" : "|", f.label,
                                     f.extension, f.extension);
    return wildcard;
}

wxString chosenPath(const wxFileDialog& dialog) {
    // GTK's chooser reports its selection only once it has been on screen.
    const wxString path = dialog.GetPath();
    return path.IsEmpty() ? dialog.wxFileDialogBase::GetPath() : path;
}

} // namespace

void MyFrame::OnExportMemos(wxCommandEvent&) {
    if (!mayRun(Action::editMemos))
        return;
    const size_t count = m_memos.params().GetCount();
    if (m_memos.termLists().GetCount() != count || m_memos.subs().GetCount() != count) {
        wxLogMessage("memo list wrong.");
        return;
    }
    if (count == 0) {
        wxLogMessage("memo not found.");
        return;
    }
    const wxFileName base(m_sound.baseFileName.IsEmpty() ? wxString("memos")
                                                         : m_sound.baseFileName);
    wxFileDialog dialog(this, "Export memos", base.GetPath(), base.GetFullName() + ".TextGrid",
                        exportWildcard(), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return;
    wxString path = chosenPath(dialog);
    const wxString extension = wxFileName(path).GetExt();
    // The chosen name's extension decides; the filter only when the name has none of them.
    const std::vector<MemoExportFormatInfo>& formats = memoExportFormats();
    const MemoExportFormatInfo* choice = nullptr;
    for (const MemoExportFormatInfo& f : formats)
        if (extension.IsSameAs(f.extension, false))
            choice = &f;
    if (!choice) {
        const int filter = dialog.GetFilterIndex();
        choice = &formats[filter >= 0 && size_t(filter) < formats.size() ? size_t(filter) : 0];
        path += wxString(".") + choice->extension;
    }
    // The sound's base name + ".txt" is its old memo text, which opening the sound may read.
    if (!m_sound.baseFileName.IsEmpty() && path == m_sound.baseFileName + ".txt") {
        wxLogMessage("%s is the old memo text of the sound, not exported.", path);
        return;
    }

    const std::vector<MemoSlotRef> slots = m_memos.refs();
    MemoExportSound sound;
    if (m_sound.wave() && m_sound.wave()->m_totalSamples > 0) {
        sound.sampleFreq = m_sound.wave()->m_sampleFreq;
        sound.totalSamples = m_sound.wave()->m_totalSamples;
    }
    if (m_canvasPanel && m_canvasPanel->GetSize().x > 0)
        sound.panelWidth = m_canvasPanel->GetSize().x;
    const MemoExport result = exportMemos(slots, choice->format, sound);
    for (const std::string& note : result.notes)
        wxLogMessage("%s", wxString::FromUTF8(note.c_str()));
    std::string temporary;
    if (replaceFileContents(pathOf(path), result.text, temporary) != memoSaveOk) {
        wxLogMessage("memo export failed.");
        return;
    }
    wxLogMessage("%s : %d memo groups exported.", path, result.groups);
}

void MyFrame::OnImportMemos(wxCommandEvent&) {
    if (!mayRun(Action::editMemos))
        return;
    if (m_sound.waveFileName.IsEmpty() || !m_sound.wave() || m_sound.wave()->m_totalSamples <= 0) {
        wxLogMessage("wave file not read.");
        return;
    }
    if (!keepMemoChanges("Save changes to the memo list before importing memos?"))
        return;
    wxFileDialog dialog(this, "Import memos", "", "",
                        "TextGrid and label files (*.TextGrid;*.txt)|*.TextGrid;*.txt|all files "
                        "(*)|*",
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return;
    const wxString path = chosenPath(dialog);

    const CWavPara& wave = *m_sound.wave();
    MemoImportSound sound = memoImportSoundOf(wave);
    const wxSize overview = m_canvasPanelSub->GetSize();
    if (m_canvasPanel->GetSize().x > 0)
        sound.panelWidth = m_canvasPanel->GetSize().x;
    if (overview.y > 0)
        sound.overviewHeight = overview.y;
    MemoImport imported = importMemoFile(pathOf(path), sound);
    // A file that cannot be read leaves the list as it is.
    if (imported.result == MemoImport::importOpenFailed) {
        wxLogMessage("%s : memo file read failed.", path);
        return;
    }
    if (!clearIntactMemoList())
        return;
    m_prevTitle = -1; // its title number would name another group now

    const int groups = int(imported.slots.size());
    adoptMemoSlots(imported.slots);
    // Saving must ask before this list replaces the sound's memo-list file.
    m_sound.kind = OpenSound::fileTranscript;
    memoEdited();
    m_canvasPanelSub->Refresh();
    m_canvasPanel->Refresh();

    for (const std::string& note : imported.notes)
        wxLogMessage("%s", wxString::FromUTF8(note.c_str()));
    if (imported.result == MemoImport::importDamaged) {
        wxLogMessage("%s", wxString::FromUTF8(imported.message.c_str()));
        wxLogMessage("%s", "quit to read " + path);
        return;
    }
    wxLogMessage("%s : %d memo groups imported.", path, groups);
}
