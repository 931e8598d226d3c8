#pragma once

#include <wx/app.h>
#include <wx/dynarray.h>
#include <wx/thread.h>

class MyFrame;

WX_DEFINE_ARRAY_PTR(wxThread*, wxArrayThread);

class MyApp : public wxApp {
public:
    MyApp();
    bool OnInit() override;
    // Asks the memo tours still running to end and waits for them (2 s at most): a tour
    // thread reaches this object's locks until its very end.
    int OnExit() override;

    // The file to open at start-up: the argument when there is exactly one, else none.
    static wxString startupPath(const wxArrayString& args);

    // Memo-tour threads that are running.
    wxArrayThread m_threads;
    wxMutex m_threadsLock; // protects m_threads and m_waitingForThreads
    // Protects the frame's memo list, wave parameters and work memory between the GUI thread
    // (held from a voiceprint's start until its completion is handled) and the memo tour.
    wxMutex m_dataLock;
    // Posted by the last exiting tour thread when m_waitingForThreads is set.
    wxSemaphore m_allThreadsDone;
    bool m_waitingForThreads;

protected:
    // Creates, shows and initialises the main window; tests reuse it.
    MyFrame* createMainFrame(const wxString& path);
};

wxDECLARE_APP(MyApp);
