#include "engine/memo/CArchMemo.h"

CArchMemo::CArchMemo()
    : m_titleNo(0), m_termNo(0), m_relX(0.0f), m_relY(0.0f), m_freq(0), m_viewStart(0),
      m_viewCursor(0), m_viewLength(0) {}

CArchMemo::~CArchMemo() {}

void CArchMemo::SetMemoPrior(MemoPrior prior) {
    const long value = static_cast<long>(prior);
    if (value < High || value > Low)
        return;
    m_prior = wxString::Format("%ld", value);
}

CArchMemo::MemoPrior CArchMemo::GetMemoPrior() const {
    long value = 0;
    // ToLong wants the whole text to be a number; "1x" or "" reads as High.
    if (m_prior.IsEmpty() || !m_prior.ToLong(&value, 10))
        return High;
    if (value < High || value > Low)
        return High;
    return static_cast<MemoPrior>(value);
}
