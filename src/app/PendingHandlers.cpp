#include "app/MyFrame.h"

// Commands whose behaviour is still to be built. Each moves to its subsystem's
// file when it is written; until then the IDs are routed and do nothing.

void MyFrame::OnSave(wxCommandEvent&) {}
void MyFrame::OnRestore(wxCommandEvent&) {}
void MyFrame::OnSearchLeft(wxCommandEvent&) {}
void MyFrame::OnSearchRigth(wxCommandEvent&) {}
void MyFrame::moveToMemoSsftFromEvent(wxCommandEvent&) {}
void MyFrame::moveToMemoFromEvent(wxCommandEvent&) {}
void MyFrame::OnExportWav(wxCommandEvent&) {}
void MyFrame::OnLLLeft(wxCommandEvent&) {}
void MyFrame::OnLLeft(wxCommandEvent&) {}
void MyFrame::OnLeft(wxCommandEvent&) {}
void MyFrame::OnRigth(wxCommandEvent&) {}
void MyFrame::OnRRigth(wxCommandEvent&) {}
void MyFrame::OnRRRigth(wxCommandEvent&) {}
void MyFrame::OnMostLLLLeft(wxCommandEvent&) {}
void MyFrame::OnLLLLeft(wxCommandEvent&) {}
void MyFrame::OnRRRRigth(wxCommandEvent&) {}
void MyFrame::OnMemoTour(wxCommandEvent&) {}
void MyFrame::OnMemoTourCont(wxCommandEvent&) {}
void MyFrame::OnSlider(wxScrollEvent&) {}

void MyFrame::saveMemoPos() {}
void MyFrame::loadMemoPos() {}
void MyFrame::moveToMemo(int) {}
void MyFrame::moveToLatestMemo() {}
void MyFrame::moveNextMemo(int) {}
void MyFrame::movePreviousMemo(int) {}
void MyFrame::restoreMemo(int) {}
void MyFrame::replaceMemo(int) {}
void MyFrame::addMemo(int, int, wxString) {}
void MyFrame::editMemo(int, int) {}
void MyFrame::deleteMemo(int, int) {}
void MyFrame::sortMemoByTime() {}
void MyFrame::moveMemoToFirst(int) {}
void MyFrame::moveMemoToLast(int) {}
void MyFrame::toRedraw() {}
void MyFrame::toSaveMemoToFile() {}
void MyFrame::setRange() {}
void MyFrame::unsetRange() {}
void MyFrame::setProirSubTitle(int, DragShape::DispPrior) {}
void MyFrame::calcPriorStats() {}

// Memo lists arrive with the memo work; until then a file opens with none.
void MyFrame::readMemo() {
    clearMemoList();
    m_requestedWindowLen = 0;
}
void MyFrame::readTrn() {
    clearMemoList();
}
void MyFrame::reAddMemo() {}

// Until the memo tour exists, the memo-lock command only stops playing and drops the
// busy flag, which is all a cancelled voiceprint needs of it.
void MyFrame::OnLockMemo(wxCommandEvent&) {
    wxCommandEvent stop;
    OnStop(stop);
    m_tourRunning = false;
}
