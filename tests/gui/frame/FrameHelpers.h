#pragma once

#include "support/GuiFixture.h"

// A click on one of the frame's buttons.
inline void press(MyFrame* frame, int id) {
    wxCommandEvent event(wxEVT_BUTTON, id);
    frame->ProcessWindowEvent(event);
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
