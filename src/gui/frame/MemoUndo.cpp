#include <string>

#include "engine/memo/MemoListFile.h"
#include "gui/frame/MyFrame.h"

// ---------------------------------------------------------------------------
// Undo and redo of the memo list: whole lists in the file's own format, so what an undo gives
// back saves to the very bytes it had.

void MyFrame::memoEdited() {
    m_memos.modified = true;
    // An edit changes the records in several steps; the state is taken once they are done.
    if (m_memos.statePending)
        return;
    m_memos.statePending = true;
    CallAfter([this] { m_memos.takeState(); });
}

void MyFrame::stepMemoHistory(bool forward) {
    if (const std::string* state = m_memos.step(forward))
        restoreMemoState(*state);
    else
        wxLogStatus(forward ? "nothing to redo" : "nothing to undo");
}

void MyFrame::restoreMemoState(const std::string& bytes) {
    MemoListRead list = readMemoListBytes(bytes);
    clearMemoList();
    adoptMemoSlots(list.slots);
    m_memos.modified = !m_memos.atSaved();
    // The group shown stays when it is still there; the main panel shows its memos again.
    const int title = m_curTitle;
    m_canvasPanel->ClearShapes();
    m_curTitle = title >= 0 && size_t(title) < m_memos.count() ? title : -1;
    m_prevTitle = -1;
    if (m_curTitle != -1)
        reAddMemo();
    m_canvasPanelSub->Refresh();
    m_canvasPanel->Refresh();
}

void MyFrame::undoMemoEdit() {
    stepMemoHistory(false);
}

void MyFrame::redoMemoEdit() {
    stepMemoHistory(true);
}
