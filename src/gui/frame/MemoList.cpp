#include <algorithm>

#include "gui/frame/MyFrame.h"
#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
#include "engine/memo/MemoListFile.h"

// After the list declarations: it turns the next macro into the list's implementation.
#include <wx/listimpl.cpp>

WX_DEFINE_LIST(MemoTermLists);

namespace {

template <typename List> wxObject* itemAt(const List& list, size_t slot) {
    if (slot >= list.GetCount())
        return nullptr;
    return list.Item(slot)->GetData();
}

void deleteRecords(wxList& list) {
    for (wxObject* record : list)
        delete record;
    list.Clear();
}

} // namespace

CArchMemo* MyFrame::subMemoAt(size_t slot) const {
    return static_cast<CArchMemo*>(itemAt(m_titleSubList, slot));
}

wxList* MyFrame::termListAt(size_t slot) const {
    if (slot >= m_titleTermLists.GetCount())
        return nullptr;
    return m_titleTermLists.Item(slot)->GetData();
}

CArchMemo* MyFrame::paramMemoAt(size_t slot) const {
    return static_cast<CArchMemo*>(itemAt(m_paramMemoList, slot));
}

int MyFrame::slotOfTitle(int titleNo) const {
    int found = -1;
    int slot = 0;
    for (wxList* terms : m_titleTermLists) {
        const auto* title = terms && !terms->IsEmpty()
                                ? static_cast<CArchMemo*>(terms->GetFirst()->GetData())
                                : nullptr;
        if (title && title->m_titleNo == titleNo)
            found = slot;
        ++slot;
    }
    return found;
}

void MyFrame::clearMemoList() {
    deleteRecords(m_titleSubList);
    deleteRecords(m_paramMemoList);
    for (wxList* terms : m_titleTermLists) {
        if (terms)
            deleteRecords(*terms);
        delete terms;
    }
    m_titleTermLists.Clear();
    if (m_canvasPanelSub)
        m_canvasPanelSub->ClearShapes();
    if (m_canvasPanel)
        m_canvasPanel->ClearShapes();
    m_curTitle = -1;
}

bool MyFrame::clearIntactMemoList() {
    for (wxObject* param : m_paramMemoList) {
        if (!param) {
            wxLogMessage("memo list wrong.");
            wxLogMessage("couldn't delete memo list and read next memo list.");
            wxLogMessage("please, try re-start Vocalith.");
            return false;
        }
    }
    clearMemoList();
    return true;
}

void MyFrame::adoptMemoSlots(std::vector<MemoSlot>& slots) {
    // A "+" looks the same in every slot of a priority: render it once per priority and share
    // the bitmap, which keeps reading a long list quick.
    const wxSize overview = m_canvasPanelSub->GetSize();
    const DragShape* rendered[3] = {};
    int titleNo = 0;
    for (MemoSlot& slot : slots) {
        const DragShape::DispPrior prior = DragShape::FromMemoPrior(slot.sub->GetMemoPrior());
        DragShape* mark;
        if (const DragShape* same = rendered[prior]) {
            mark = new DragShape(same->m_bitmap, prior);
            mark->m_shapeText = same->m_shapeText;
        } else {
            mark = new DragShape(wxString("+"), prior);
            rendered[prior] = mark;
        }
        // Truncated, as every panel position is.
        mark->m_pos = wxPoint(int(overview.GetWidth() * double(clampRelative(slot.sub->m_relX))),
                              int(overview.GetHeight() * double(clampRelative(slot.sub->m_relY))));
        mark->m_titleNo = titleNo++;
        mark->m_termNo = 0;

        m_paramMemoList.Append(slot.param.release());
        m_titleSubList.Append(slot.sub.release());
        m_canvasPanelSub->m_shapeList.Append(mark);
        auto* terms = new wxList;
        for (auto& memo : slot.terms)
            terms->Append(memo.release());
        m_titleTermLists.Append(terms);
    }
}

std::vector<MemoSlotRef> MyFrame::memoSlotRefs() const {
    // The three lists side by side in one walk; indexing them would be quadratic.
    std::vector<MemoSlotRef> slots(std::min(
        {m_paramMemoList.GetCount(), m_titleSubList.GetCount(), m_titleTermLists.GetCount()}));
    auto param = m_paramMemoList.GetFirst();
    auto sub = m_titleSubList.GetFirst();
    auto terms = m_titleTermLists.GetFirst();
    for (MemoSlotRef& slot : slots) {
        slot.param = static_cast<const CArchMemo*>(param->GetData());
        slot.sub = static_cast<const CArchMemo*>(sub->GetData());
        const wxList* list = terms->GetData();
        slot.hasTermList = list != nullptr;
        if (list) {
            slot.terms.reserve(list->GetCount());
            for (const wxObject* memo : *list)
                slot.terms.push_back(static_cast<const CArchMemo*>(memo));
        }
        param = param->GetNext();
        sub = sub->GetNext();
        terms = terms->GetNext();
    }
    return slots;
}
