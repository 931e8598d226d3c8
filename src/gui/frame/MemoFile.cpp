// Memo-list file — src/gui/frame/MemoFile.cpp
// The frame's side of the memo-list file: the lists in and out of the engine's codec
// (memo/MemoListFile.h), the overview marks, the questions and the log lines.

#include <algorithm>
#include <cstdio>

#include <wx/msgdlg.h>

#include "gui/frame/MyFrame.h"
#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
#include "engine/memo/MemoFileGuard.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/CWavPara.h"

namespace {

std::string pathOf(const wxString& name) {
    const wxScopedCharBuffer bytes = name.utf8_str();
    return std::string(bytes.data(), bytes.length());
}

bool canRead(const wxString& name) {
    FILE* f = std::fopen(pathOf(name).c_str(), "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

} // namespace

void MyFrame::toSaveMemoToFile() {
    wxCommandEvent none;
    OnSave(none);
}

void MyFrame::OnSave(wxCommandEvent&) {
    saveMemoList();
}

bool MyFrame::saveMemoList() {
    if (m_sound.waveFileName.IsEmpty() || !mayRun(Action::editMemos))
        return false;
    const size_t count = m_memos.params().GetCount();
    if (m_memos.termLists().GetCount() != count || m_memos.subs().GetCount() != count) {
        wxLogMessage("memo list wrong, quit to save.");
        return false;
    }
    const std::optional<wxString> memo = m_sound.beside(".vlh");
    if (!memo)
        return false;
    const wxString& memoName = *memo;
    const std::string memoPath = pathOf(memoName);

    bool beside = false;
    if (m_sound.kind == OpenSound::fileMemoText || m_sound.kind == OpenSound::fileTranscript) {
        // An imported list (old memo text or transcript) must not silently replace a memo list.
        if (canRead(memoName)) {
            wxMessageDialog ask(
                this,
                memoName + " is exist.\n current memo list is inported from .txt or "
                           ".trn file.  \n Do you want to overwrite? ",
                "Confirm to overwrite", wxYES_NO | wxNO_DEFAULT | wxICON_INFORMATION);
            switch (ask.ShowModal()) {
            case wxID_YES:
                break;
            case wxID_NO:
                wxLogStatus("quit to save");
                return false;
            default:
                wxLogError("Unexpected choice, quit to save");
                return false;
            }
        }
        m_sound.kind = OpenSound::fileMemoList;
    } else if (m_memos.onDiskName == memoName && fingerprintFile(memoPath) != m_memos.onDisk) {
        // Another program (or another copy of this one) wrote the file since we read it.
        wxMessageDialog ask(
            this,
            memoName + " has been changed by another program since it was read.\n"
                       "Overwrite it, keep both (save this list beside it), or cancel?",
            "Memo list changed on disk", wxYES_NO | wxCANCEL | wxCANCEL_DEFAULT | wxICON_WARNING);
        ask.SetYesNoCancelLabels("&Overwrite", "&Keep both", "&Cancel");
        const int answer = ask.ShowModal();
        if (answer == wxID_NO) {
            beside = true;
        } else if (answer != wxID_YES) {
            wxLogStatus("quit to save");
            return false;
        }
    }

    const std::vector<MemoSlotRef> slots = m_memos.refs();
    std::string bytes;
    if (!formatMemoList(slots, bytes)) {
        wxLogMessage("memo list wrong, quit to save.");
        return false;
    }

    if (beside) {
        // The other program's file stays as it is, and the next save asks again.
        const std::string name =
            writeUnderFreeName([&](int n) { return memoBesideName(memoPath, n); }, bytes);
        if (name.empty()) {
            wxLogMessage("memo list save failed.");
            return false;
        }
        m_memos.markSaved();
        wxLogMessage("%s memo list saved.", wxString::FromUTF8(name.c_str()));
        return true;
    }

    // What was read damaged is kept once, under a name no earlier backup has.
    if (m_memos.backupPending && m_memos.onDiskName == memoName) {
        std::string original;
        if (fingerprintFile(memoPath, &original).exists) {
            const std::string backup =
                writeUnderFreeName([&](int n) { return memoBackupName(memoPath, n); }, original);
            if (backup.empty()) {
                wxLogMessage("memo list save failed.");
                wxLogMessage("%s could not be kept as a backup.", memoName);
                return false;
            }
            wxLogMessage("%s kept as %s before saving.", memoName,
                         wxString::FromUTF8(backup.c_str()));
        }
        m_memos.backupPending = false;
    }

    std::string temporary;
    switch (replaceFileContents(memoPath, bytes, temporary)) {
    case memoSaveOk:
        m_sound.kind = OpenSound::fileMemoList;
        m_memos.markSaved();
        m_memos.onDiskName = memoName;
        m_memos.onDisk = fingerprintFile(memoPath);
        wxLogMessage("%s memo list saved.", memoName);
        return true;
    case memoSaveKeptTemporary:
        wxLogMessage("memo list save failed.");
        wxLogMessage("save %s , temporary", wxString::FromUTF8(temporary.c_str()));
        return false;
    default:
        wxLogMessage("memo list save failed.");
        return false;
    }
}

bool MyFrame::keepMemoChanges(const wxString& question) {
    if (!m_memos.modified || m_sound.waveFileName.IsEmpty())
        return true;
    wxMessageDialog ask(this, question, "Unsaved memos",
                        wxYES_NO | wxCANCEL | wxCANCEL_DEFAULT | wxICON_QUESTION);
    ask.SetYesNoCancelLabels("&Save", "&Discard", "&Cancel");
    switch (ask.ShowModal()) {
    case wxID_YES:
        // A running tour makes saving wait; the user has chosen, so it ends now.
        if (!mayRun(Action::editMemos)) {
            wxCommandEvent stop;
            OnLockMemo(stop);
        }
        return saveMemoList();
    case wxID_NO:
        return true;
    default:
        return false;
    }
}

void MyFrame::OnClose(wxCloseEvent& event) {
    // A close that cannot be refused (the session ends) gets no question it could not honour.
    if (event.CanVeto() && !keepMemoChanges("Save changes to the memo list before closing?")) {
        event.Veto();
        return;
    }
    event.Skip(); // the frame's own handling destroys it
}

namespace {

// "28, 61, 95": the first ten lines, then ", ..." for the rest.
wxString lineList(const std::vector<int>& lines) {
    wxString out;
    const size_t shown = std::min<size_t>(lines.size(), 10);
    for (size_t i = 0; i < shown; ++i)
        out += wxString::Format(i ? ", %d" : "%d", lines[i]);
    if (lines.size() > shown)
        out += ", ...";
    return out;
}

} // namespace

void MyFrame::readMemo() {
    if (m_sound.waveFileName.IsEmpty())
        return;
    m_sound.requestedWindowLen = 0;
    // A slot without its parameter record is left for the user to see; no group is current
    // afterwards otherwise.
    if (!clearIntactMemoList())
        return;
    m_memos.modified = false;
    m_memos.settle(true);
    m_memos.onDiskName.clear();
    m_memos.backupPending = false;

    const std::optional<wxString> base = m_sound.beside("");
    if (!base)
        return;
    const wxString memoName = *base + ".vlh";
    const wxString textName = *base + ".txt";
    // The file a save will replace, as it is now (absent included), to see later changes.
    std::string bytes;
    m_memos.onDisk = fingerprintFile(pathOf(memoName), &bytes);
    m_memos.onDiskName = memoName;
    wxString name;
    MemoListRead list;
    auto readText = [&] {
        name = textName;
        std::string text;
        if (fingerprintFile(pathOf(name), &text).exists)
            list = readMemoListBytes(text);
    };
    switch (m_sound.kind) {
    case OpenSound::fileWave:
        name = memoName;
        if (m_memos.onDisk.exists)
            list = readMemoListBytes(bytes);
        else
            readText();
        break;
    case OpenSound::fileMemoList:
        name = memoName;
        if (m_memos.onDisk.exists)
            list = readMemoListBytes(bytes);
        break;
    case OpenSound::fileMemoText:
        readText();
        break;
    default:
        wxLogMessage("memo list read failed.");
        return;
    }
    // Whatever the memo-list file held that this list cannot give back is kept at the first save.
    m_memos.backupPending = name == memoName && m_memos.onDisk.exists && !list.keptWhole;
    if (list.result == MemoListRead::readOpenFailed) {
        wxLogMessage("memo list read failed.");
        return;
    }
    if (list.result == MemoListRead::readBadHeader) {
        wxLogMessage("memo list uncorrect ( internal error ).");
        return;
    }

    adoptMemoSlots(list.slots);
    m_sound.requestedWindowLen = list.requestedWindowLen;
    m_memos.settle(true);

    if (!list.damagedLines.empty())
        wxLogMessage("%s : line %s damaged, read as 0.", name, lineList(list.damagedLines));
    // A cut file keeps the groups read before the damage, but says it failed.
    if (list.result == MemoListRead::readDamaged)
        wxLogMessage("memo list read failed.");
    else
        wxLogMessage("%s : memo list read.", name);
}

bool MyFrame::memoViewFits(const CArchMemo& param, int32_t& start, int32_t& cursor) const {
    start = 0;
    cursor = 0;
    if (!m_sound.wave() || m_sound.wave()->m_totalSamples <= 0)
        return false;
    const MemoView view =
        fitMemoView(param.m_viewStart, param.m_viewCursor, m_sound.wave()->m_totalSamples,
                    m_sound.wave()->m_windowLen, m_sound.wave()->m_cursorRange);
    start = view.start;
    cursor = view.cursor;
    return view.exact;
}
