#include "gui/frame/MemoStore.h"

#include <algorithm>

#include "engine/memo/CArchMemo.h"
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

template <typename List> void moveItem(List& list, size_t from, size_t to) {
    auto node = list.Item(from);
    auto* data = node->GetData();
    list.DeleteNode(node);
    list.Insert(to, data);
}

} // namespace

CArchMemo* MemoStore::subAt(size_t slot) const {
    return static_cast<CArchMemo*>(itemAt(m_subs, slot));
}

wxList* MemoStore::termsAt(size_t slot) const {
    if (slot >= m_termLists.GetCount())
        return nullptr;
    return m_termLists.Item(slot)->GetData();
}

CArchMemo* MemoStore::paramAt(size_t slot) const {
    return static_cast<CArchMemo*>(itemAt(m_params, slot));
}

int MemoStore::slotOfTitle(int titleNo) const {
    int found = -1;
    int slot = 0;
    for (wxList* terms : m_termLists) {
        const auto* title = terms && !terms->IsEmpty()
                                ? static_cast<CArchMemo*>(terms->GetFirst()->GetData())
                                : nullptr;
        if (title && title->m_titleNo == titleNo)
            found = slot;
        ++slot;
    }
    return found;
}

bool MemoStore::intact() const {
    return std::all_of(m_params.begin(), m_params.end(), [](wxObject* p) { return p; });
}

bool MemoStore::aligned(size_t count) const {
    return m_subs.GetCount() == count && m_termLists.GetCount() == count &&
           m_params.GetCount() == count;
}

void MemoStore::clear() {
    deleteRecords(m_subs);
    deleteRecords(m_params);
    for (wxList* terms : m_termLists) {
        if (terms)
            deleteRecords(*terms);
        delete terms;
    }
    m_termLists.Clear();
}

void MemoStore::append(MemoSlot& slot) {
    m_params.Append(slot.param.release());
    m_subs.Append(slot.sub.release());
    auto* terms = new wxList;
    for (auto& memo : slot.terms)
        terms->Append(memo.release());
    m_termLists.Append(terms);
}

void MemoStore::moveSlot(size_t from, size_t to) {
    moveItem(m_subs, from, to);
    moveItem(m_termLists, from, to);
    moveItem(m_params, from, to);
}

std::vector<MemoSlotRef> MemoStore::refs() const {
    // The three lists side by side in one walk; indexing them would be quadratic.
    std::vector<MemoSlotRef> slots(
        std::min({m_params.GetCount(), m_subs.GetCount(), m_termLists.GetCount()}));
    auto param = m_params.GetFirst();
    auto sub = m_subs.GetFirst();
    auto terms = m_termLists.GetFirst();
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

bool MemoStore::state(std::string& bytes) const {
    const size_t slots = m_params.GetCount();
    if (!aligned(slots))
        return false;
    for (size_t slot = 0; slot < slots; ++slot)
        if (!paramAt(slot) || !subAt(slot) || !termsAt(slot))
            return false;
    return formatMemoList(refs(), bytes);
}

void MemoStore::takeState() {
    if (!statePending)
        return;
    statePending = false;
    std::string bytes;
    if (state(bytes))
        m_history.record(std::move(bytes));
}

void MemoStore::settle(bool saved) {
    statePending = false;
    std::string bytes;
    if (state(bytes))
        m_history.reset(std::move(bytes), saved);
    else
        m_history.reset(std::string(), false);
}

void MemoStore::markSaved() {
    takeState();
    modified = false;
    m_history.markSaved();
}

const std::string* MemoStore::step(bool forward) {
    takeState();
    return forward ? m_history.redo() : m_history.undo();
}
