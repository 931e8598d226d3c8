#pragma once

#include <wx/string.h>

#include "gui/panels/DragShape.h"

// The one channel through which a drawing panel asks the main window to act.
// The slot order is part of the contract: keep new operations at the end.
// "title" is the m_titleNo a memo shape carries, "term" its m_termNo.
class IProcMemoListener {
public:
    virtual ~IProcMemoListener() = default;

    virtual void saveMemoPos() = 0;
    virtual void loadMemoPos() = 0;
    virtual void moveToMemo(int title) = 0;
    virtual void moveToLatestMemo() = 0;
    virtual void moveNextMemo(int title) = 0;
    virtual void movePreviousMemo(int title) = 0;
    virtual void restoreMemo(int title) = 0;
    virtual void replaceMemo(int title) = 0;
    virtual void addMemo(int x, int y, wxString text) = 0;
    virtual void editMemo(int title, int term) = 0;
    virtual void deleteMemo(int title, int term) = 0;
    virtual void sortMemoByTime() = 0;
    virtual void moveMemoToFirst(int title) = 0;
    virtual void moveMemoToLast(int title) = 0;
    virtual void toPlay() = 0;
    virtual void toStop() = 0;
    virtual void toRedraw() = 0;
    virtual void toSaveMemoToFile() = 0;
    virtual void toHammingWindow() = 0;
    virtual void toWidebandPhase() = 0;
    virtual void setRange() = 0;
    virtual void unsetRange() = 0;
    virtual void toVoiceprint() = 0;
    virtual void setProirSubTitle(int title, DragShape::DispPrior prior) = 0; // sic: name kept
    virtual void calcPriorStats() = 0;
    virtual void calcPitch() = 0;
};
