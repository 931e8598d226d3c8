#include "app/MyFrame.h"

// Commands whose behaviour is still to be built. Each moves to its subsystem's
// file when it is written; until then the IDs are routed and do nothing.

void MyFrame::OnRead(wxCommandEvent&) {}
void MyFrame::OnConfirm(wxCommandEvent&) {}
void MyFrame::OnCalcSSFT(wxCommandEvent&) {}
void MyFrame::OnWorkerEvent(wxCommandEvent&) {}
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
void MyFrame::OnPlayNonMute(wxCommandEvent&) {}
void MyFrame::OnStop(wxCommandEvent&) {}
void MyFrame::OnLockMemo(wxCommandEvent&) {}
void MyFrame::OnMemoTour(wxCommandEvent&) {}
void MyFrame::OnMemoTourCont(wxCommandEvent&) {}
void MyFrame::OnSlider(wxScrollEvent&) {}
void MyFrame::OnRefreshInfo(wxTimerEvent&) {}

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
void MyFrame::toPlay() {}
void MyFrame::toStop() {}
void MyFrame::toRedraw() {}
void MyFrame::toSaveMemoToFile() {}
void MyFrame::toHammingWindow() {}
void MyFrame::toWidebandPhase() {}
void MyFrame::setRange() {}
void MyFrame::unsetRange() {}
void MyFrame::toVoiceprint() {}
void MyFrame::setProirSubTitle(int, DragShape::DispPrior) {}
void MyFrame::calcPriorStats() {}
void MyFrame::calcPitch() {}
