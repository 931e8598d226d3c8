#include "support/GuiFixture.h"
#include "support/RecordingSoundBackend.h"
#include "gui/frame/VoiceprintWorker.h"

#include <wx/evtloop.h>
#include <wx/modalhook.h>
#include <wx/utils.h>

namespace {

// A modal dialog nobody expected would block the run forever: fail and dismiss it.
class UnexpectedDialogHook : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dialog) override {
        ADD_FAILURE() << "unexpected modal dialog: " << dialog->GetTitle().utf8_string();
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

void failOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " "
        << msg.utf8_string();
}

} // namespace

bool GuiTestApp::OnInit() {
    wxSetAssertHandler(failOnAssert);
    // Tests open and close frames; the loop must outlive each of them.
    SetExitOnFrameDelete(false);
    // Panels are tested without a frame; pictures are read and written as the program does.
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    // A plain target below the frames' log lists; deleted by the toolkit at exit.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    // Nothing a test plays reaches a device; tests that look at it install their own recorder.
    delete replaceSoundBackend(new RecordingSoundBackend);
    static UnexpectedDialogHook hook;
    hook.Register();
    CallAfter([this] {
        m_result = RUN_ALL_TESTS();
        ExitMainLoop();
    });
    return true;
}

int GuiTestApp::OnRun() {
    wxApp::OnRun();
    return m_result;
}

void pumpEvents() {
    wxTheApp->ProcessPendingEvents();
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
        while (loop->Pending())
            loop->Dispatch();
        loop->ProcessIdle();
    }
    wxLog::FlushActive();
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pumpEvents();
        wxMilliSleep(5);
    }
    return true;
}

Lines logLines(const wxListBox* list) {
    Lines lines;
    for (unsigned i = 0; i < list->GetCount(); ++i) {
        // The time stamp ends at the first ": "; the clock itself has no space after a colon.
        const wxString line = list->GetString(i);
        const int cut = line.Find(": ");
        lines.push_back((cut == wxNOT_FOUND ? line : line.Mid(cut + 2)).utf8_string());
    }
    return lines;
}

void FrameTest::SetUp() {
    // Tests answer or cancel the voiceprint's progress dialog: it comes at once.
    frame = static_cast<GuiTestApp&>(wxGetApp()).openFrame("");
    pumpEvents();
}

void FrameTest::TearDown() {
    if (frame && !frame->IsBeingDeleted())
        frame->Destroy();
    frame = nullptr;
    pumpEvents(); // deletes the frame
    wxSetWorkingDirectory(cwd);
}

void FrameTest::open(const std::string& path, bool convert) {
    inside(frame).sound().waveFileName = path;
    inside(frame).sound().chosenFileName = path.substr(path.rfind('/') + 1);
    frame->readCommon(convert);
    pumpEvents();
}

Lines FrameTest::log() const {
    wxLog::FlushActive();
    return logLines(inside(frame).lboxLog());
}
