// Memo-list file — src/gui/frame/MemoFile.cpp
// The frame's side of the memo-list file: the lists in and out of the engine's codec
// (memo/MemoListFile.h), the overview marks, the questions and the log lines.

#include <cstdio>

#include <wx/msgdlg.h>

#include "gui/frame/MyFrame.h"
#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
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
    if (m_waveFileName.IsEmpty() || busy())
        return;
    const size_t count = m_paramMemoList.GetCount();
    if (m_titleTermLists.GetCount() != count || m_titleSubList.GetCount() != count) {
        wxLogMessage("memo list wrong, quit to save.");
        return;
    }
    const std::optional<wxString> memo = besideWave(".vlh");
    if (!memo)
        return;
    const wxString& memoName = *memo;

    // An imported list (old memo text or transcript) must not silently replace a memo list.
    if (m_fileKind == fileMemoText || m_fileKind == fileTranscript) {
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
                return;
            default:
                wxLogError("Unexpected choice, quit to save");
                return;
            }
        }
        m_fileKind = fileMemoList;
    }

    const std::vector<MemoSlotRef> slots = memoSlotRefs();
    std::string bytes;
    if (!formatMemoList(slots, bytes)) {
        wxLogMessage("memo list wrong, quit to save.");
        return;
    }

    std::string temporary;
    switch (replaceFileContents(pathOf(memoName), bytes, temporary)) {
    case memoSaveOk:
        m_fileKind = fileMemoList;
        wxLogMessage("%s memo list saved.", memoName);
        break;
    case memoSaveKeptTemporary:
        wxLogMessage("memo list save failed.");
        wxLogMessage("save %s , temporary", wxString::FromUTF8(temporary.c_str()));
        break;
    default:
        wxLogMessage("memo list save failed.");
        break;
    }
}

void MyFrame::readMemo() {
    if (m_waveFileName.IsEmpty())
        return;
    m_requestedWindowLen = 0;
    // Every record goes, whatever state the lists are in; no group is current afterwards.
    clearMemoList();

    const std::optional<wxString> base = besideWave("");
    if (!base)
        return;
    const wxString memoName = *base + ".vlh";
    const wxString textName = *base + ".txt";
    wxString name;
    MemoListRead list;
    switch (m_fileKind) {
    case fileWave:
        name = memoName;
        list = readMemoListFile(pathOf(name));
        if (list.result == MemoListRead::readOpenFailed) {
            name = textName;
            list = readMemoListFile(pathOf(name));
        }
        break;
    case fileMemoList:
        name = memoName;
        list = readMemoListFile(pathOf(name));
        break;
    case fileMemoText:
        name = textName;
        list = readMemoListFile(pathOf(name));
        break;
    default:
        wxLogMessage("memo list read failed.");
        return;
    }
    if (list.result == MemoListRead::readOpenFailed) {
        wxLogMessage("memo list read failed.");
        return;
    }
    if (list.result == MemoListRead::readBadHeader) {
        wxLogMessage("memo list uncorrect ( internal error ).");
        return;
    }

    adoptMemoSlots(list.slots);
    m_requestedWindowLen = list.requestedWindowLen;

    // A damaged file keeps the groups read before the damage, but says it failed.
    if (list.result == MemoListRead::readDamaged)
        wxLogMessage("memo list read failed.");
    else
        wxLogMessage("%s : memo list read.", name);
}

bool MyFrame::memoViewFits(const CArchMemo& param, int32_t& start, int32_t& cursor) const {
    start = 0;
    cursor = 0;
    if (!m_wavePara || m_wavePara->m_totalSamples <= 0)
        return false;
    const MemoView view =
        fitMemoView(param.m_viewStart, param.m_viewCursor, m_wavePara->m_totalSamples,
                    m_wavePara->m_windowLen, m_wavePara->m_cursorRange);
    start = view.start;
    cursor = view.cursor;
    return view.exact;
}
