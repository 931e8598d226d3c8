#pragma once

#include <string>
#include <vector>

#include <wx/list.h>
#include <wx/string.h>

#include "engine/memo/MemoFileGuard.h"
#include "engine/memo/MemoHistory.h"

class CArchMemo;
struct MemoSlot;
struct MemoSlotRef;

// One slot's term list per element of MemoStore::termLists().
WX_DECLARE_LIST(wxList, MemoTermLists);

// The memo list of the open recording: three parallel lists, index = title slot. subs() and
// params() hold CArchMemo*, termLists() one heap-allocated wxList of CArchMemo* per slot
// (title memo first). The store owns every element; whoever removes one deletes it. Beside
// them: whether the list has changes not on disk, what its file held, and the undo steps.
class MemoStore {
public:
    MemoStore() = default;
    ~MemoStore() { clear(); }
    MemoStore(const MemoStore&) = delete;
    MemoStore& operator=(const MemoStore&) = delete;

    wxList& subs() { return m_subs; }
    const wxList& subs() const { return m_subs; }
    MemoTermLists& termLists() { return m_termLists; }
    const MemoTermLists& termLists() const { return m_termLists; }
    wxList& params() { return m_params; }
    const wxList& params() const { return m_params; }

    size_t count() const { return m_termLists.GetCount(); }
    // The element of a slot, or null when the slot or its record is missing.
    CArchMemo* subAt(size_t slot) const;
    wxList* termsAt(size_t slot) const;
    CArchMemo* paramAt(size_t slot) const;
    // The last slot whose title memo carries the title number (lookups take the last), or -1.
    int slotOfTitle(int titleNo) const;
    // Every slot has its parameter record.
    bool intact() const;
    // The three lists have `count` elements each.
    bool aligned(size_t count) const;
    // Deletes every record and term list.
    void clear();
    // Takes a read or imported group's records as the last slot.
    void append(MemoSlot& slot);
    // Moves a slot to position `to`, counted after it has been taken out.
    void moveSlot(size_t from, size_t to);
    // The slots as the engine's memo-list writers take them; the three lists must have the
    // same length (callers check first).
    std::vector<MemoSlotRef> refs() const;
    // The list as its file would hold it; false when its lists disagree (a broken list cannot
    // be saved, so it cannot be an undo step either).
    bool state(std::string& bytes) const;

    // Undo: an edit's state is taken once its several steps are done (takeState). The list
    // as read, imported at opening or saved starts the history afresh (settle).
    void takeState();
    void settle(bool saved);
    void markSaved();
    // The state one step back or forth, or null when there is none.
    const std::string* step(bool forward);
    bool atSaved() const { return m_history.atSaved(); }

    bool modified = false;     // changes of the records not yet saved
    bool statePending = false; // an edit's undo state is still to be taken
    // The memo-list file as last read or saved (onDiskName empty: none known), so that a save
    // sees a change made by another program.
    FileFingerprint onDisk;
    wxString onDiskName;
    // The list was read from a file that saving would not give back byte for byte (damaged,
    // cut, or foreign): the first save keeps that file as a backup.
    bool backupPending = false;

private:
    wxList m_subs;
    MemoTermLists m_termLists;
    wxList m_params;
    MemoHistory m_history;
};
