#pragma once

#include <wx/object.h>
#include <wx/string.h>

// One stored memo record: a title, term, title sub-memo ("+") or param memo.
// Records are created with new and owned by the frame's memo lists.
class CArchMemo : public wxObject {
public:
    // Same numbering as DragShape::DispPrior; stored in files, so never renumber.
    // A fixed underlying type keeps values read from files well defined.
    enum MemoPrior : int { High = 0, Mid = 1, Low = 2 };

    CArchMemo();
    virtual ~CArchMemo();

    // Stores 0, 1 or 2 as decimal text; any other value leaves m_prior as it was.
    void SetMemoPrior(MemoPrior prior);
    // The stored priority; High when m_prior is empty, not a number or out of range.
    MemoPrior GetMemoPrior() const;

    wxString m_memoText;
    wxString m_prior; // "0", "1", "2" or empty; meaningful on title sub-memos only
    int m_titleNo;
    int m_termNo;
    float m_relX; // fraction of the width of the panel the memo is drawn on
    float m_relY; // fraction of its height
    int m_freq;
    int m_viewStart;
    int m_viewCursor;
    int m_viewLength;
};
