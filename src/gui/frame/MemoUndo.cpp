#include <string>
#include <vector>

#include "engine/memo/CArchMemo.h"
#include "engine/memo/MemoListFile.h"
#include "gui/frame/MyFrame.h"

// ---------------------------------------------------------------------------
// Undo and redo of the memo list: whole lists in the file's own format, so what an undo gives
// back saves to the very bytes it had.

namespace {

// The list as its file would hold it; empty when its three lists disagree (a broken list
// cannot be saved, so it cannot be a step either).
bool memoListState(const MyFrame& f, std::string& bytes) {
    const size_t count = f.m_paramMemoList.GetCount();
    if (f.m_titleSubList.GetCount() != count || f.m_titleTermLists.GetCount() != count)
        return false;
    for (size_t slot = 0; slot < count; ++slot)
        if (!f.paramMemoAt(slot) || !f.subMemoAt(slot) || !f.termListAt(slot))
            return false;
    return formatMemoList(f.memoSlotRefs(), bytes);
}

} // namespace

void MyFrame::memoEdited() {
    m_memoModified = true;
    // An edit changes the records in several steps; the state is taken once they are done.
    if (m_memoStatePending)
        return;
    m_memoStatePending = true;
    CallAfter([this] { takeMemoState(); });
}

void MyFrame::takeMemoState() {
    if (!m_memoStatePending)
        return;
    m_memoStatePending = false;
    std::string bytes;
    if (memoListState(*this, bytes))
        m_memoHistory.record(std::move(bytes));
}

void MyFrame::memoListSettled(bool saved) {
    m_memoStatePending = false;
    std::string bytes;
    if (memoListState(*this, bytes))
        m_memoHistory.reset(std::move(bytes), saved);
    else
        m_memoHistory.reset(std::string(), false);
}

void MyFrame::memoListSaved() {
    takeMemoState();
    m_memoModified = false;
    m_memoHistory.markSaved();
}

void MyFrame::undoMemoEdit() {
    stepMemoHistory(false);
}

void MyFrame::redoMemoEdit() {
    stepMemoHistory(true);
}

void MyFrame::stepMemoHistory(bool forward) {
    takeMemoState();
    if (const std::string* state = forward ? m_memoHistory.redo() : m_memoHistory.undo())
        restoreMemoState(*state);
    else
        wxLogStatus(forward ? "nothing to redo" : "nothing to undo");
}

void MyFrame::restoreMemoState(const std::string& bytes) {
    MemoListRead list = readMemoListBytes(bytes);
    clearMemoList();
    adoptMemoSlots(list.slots);
    m_memoModified = !m_memoHistory.atSaved();
    // The group shown stays when it is still there; the main panel shows its memos again.
    const int title = m_curTitle;
    m_canvasPanel->ClearShapes();
    m_curTitle = title >= 0 && size_t(title) < memoSlotCount() ? title : -1;
    m_prevTitle = -1;
    if (m_curTitle != -1)
        reAddMemo();
    m_canvasPanelSub->Refresh();
    m_canvasPanel->Refresh();
}
