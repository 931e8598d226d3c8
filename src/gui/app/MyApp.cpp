#include "gui/app/MyApp.h"

#include <wx/image.h>

#include "gui/frame/MyFrame.h"
#include "gui/audio/AlsaSoundBackend.h"
#include "gui/frame/MemoTour.h"

// The creation function and wxGetApp(); main() itself lives in main.cpp so the
// test program can run its own loop around the same application class.
wxIMPLEMENT_APP_NO_MAIN(MyApp);

MyApp::MyApp() : m_allThreadsDone(0, 0), m_waitingForThreads(false) {}

bool MyApp::OnInit() {
    installAlsaSoundBackend();
    createMainFrame(startupPath(argv.GetArguments()));
    return true;
}

int MyApp::OnExit() {
    {
        wxMutexLocker lock(m_threadsLock);
        if (m_threads.IsEmpty())
            return wxApp::OnExit();
        // A listed thread has not got through OnExit, so it still exists.
        for (size_t i = 0; i < m_threads.GetCount(); ++i)
            static_cast<MyThread*>(m_threads[i])->requestStop();
        m_waitingForThreads = true;
    }
    // The last one to leave posts; a post made before this wait still counts.
    m_allThreadsDone.WaitTimeout(2000);
    return wxApp::OnExit();
}

wxString MyApp::startupPath(const wxArrayString& args) {
    // args[0] is the program itself.
    return args.size() == 2 ? args[1] : wxString();
}

MyFrame* MyApp::createMainFrame(const wxString& path) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) {
        auto* png = new wxPNGHandler;
        png->SetName("PNG file");
        png->SetExtension("png");
        png->SetType(wxBITMAP_TYPE_PNG);
        png->SetMimeType("image/png");
        wxImage::AddHandler(png);
    }
    auto* frame = new MyFrame("Vocalith");
    frame->Show(true);
    frame->init(path);
    return frame;
}
