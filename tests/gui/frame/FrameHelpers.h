#pragma once

#include <atomic>

#include <wx/progdlg.h>

// What the frame's tests reach for: the engine's buffers, the memo lists, the threads.
#include "gui/frame/MemoTour.h"
#include "gui/frame/VoiceprintWorker.h"
#include "support/MemoGroups.h"

// A click on one of the frame's buttons, or with wxEVT_MENU a menu item chosen.
inline void press(MyFrame* frame, int id, wxEventType type = wxEVT_BUTTON) {
    wxCommandEvent event(type, id);
    frame->ProcessWindowEvent(event);
}

// The mouse at (x, y) on a panel, the left button held or not.
inline void mouse(wxWindow* panel, wxEventType type, int x, int y, bool leftDown = false) {
    wxMouseEvent event(type);
    event.SetPosition({x, y});
    event.m_leftDown = leftDown;
    event.SetEventObject(panel);
    panel->ProcessWindowEvent(event);
}

// The log's last line, or "" while it is empty.
inline std::string lastLog(MyFrame* frame) {
    wxLog::FlushActive();
    const auto lines = logLines(inside(frame).lboxLog());
    return lines.empty() ? "" : lines.back();
}

// The state every test of the background threads comes back to: data lock free, no tour thread.
inline bool dataLockFree() {
    if (wxGetApp().m_dataLock.TryLock() != wxMUTEX_NO_ERROR)
        return false;
    wxGetApp().m_dataLock.Unlock();
    return true;
}

inline bool noTourThreads() {
    wxMutexLocker lock(wxGetApp().m_threadsLock);
    return wxGetApp().m_threads.IsEmpty();
}

// Cancel on the voiceprint's progress dialog, as a click on it.
inline void cancelProgress(MyFrame* frame) {
    wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
    cancel.SetEventObject(inside(frame).dlgProgress()->FindWindow(wxID_CANCEL));
    inside(frame).dlgProgress()->ProcessWindowEvent(cancel);
}

// Holds every voiceprint worker right after its first update until release() or a cancel (20 s
// at most), so a test sees the computation running however fast the machine is. release(below)
// lets only the updates under `below` percent go on.
struct HeldWorker {
    explicit HeldWorker(MyFrame* frame) {
        s_frame = frame;
        s_passBelow = 0;
        voiceprint_detail::setProgressHook(&hold);
    }
    ~HeldWorker() {
        release();
        voiceprint_detail::setProgressHook(nullptr);
    }
    static void release(int below = 101) { s_passBelow = below; }
    static void hold(int percent) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (percent >= s_passBelow && !s_frame->Cancelled() &&
               std::chrono::steady_clock::now() < deadline)
            wxMilliSleep(1);
    }
    static inline MyFrame* s_frame = nullptr;
    static inline std::atomic<int> s_passBelow{0};
};

// Shows each menu event to `seen` as it reaches its handler (tour moves, worker updates).
struct MenuEvents : wxEventFilter {
    explicit MenuEvents(std::function<void(wxCommandEvent&)> f) : seen(std::move(f)) {
        wxEvtHandler::AddFilter(this);
    }
    ~MenuEvents() override { wxEvtHandler::RemoveFilter(this); }
    int FilterEvent(wxEvent& event) override {
        if (event.GetEventType() == wxEVT_MENU)
            seen(static_cast<wxCommandEvent&>(event));
        return Event_Skip;
    }
    std::function<void(wxCommandEvent&)> seen;
};

// Memo groups with tours: whatever a test leaves running is stopped, the tour's clock is real
// again.
class TourTest : public MemoGroupTest {
protected:
    void TearDown() override {
        if (frame && inside(frame).tourRunning())
            press(frame, ID_LockMemo);
        EXPECT_TRUE(pumpUntil(noTourThreads));
        memo_tour_detail::setSleepFunction(nullptr);
        MemoGroupTest::TearDown();
    }
};
