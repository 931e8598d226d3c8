#include <thread>

#include <wx/frame.h>

#include "gui/app/LboxLogger.h"
#include "support/GuiFixture.h"

namespace {

using Lines = std::vector<std::string>;

// A log list on a frame with its logger active. The fixture stands for the target that was
// active before, and keeps what is handed back to it.
class LoggerTest : public ::testing::Test, public wxLog {
protected:
    void SetUp() override {
        window = new wxFrame(nullptr, wxID_ANY, "log");
        list = new wxListBox(window, wxID_ANY);
        window->Show();
        saved = wxLog::SetActiveTarget(this);
        logger = new LboxLogger(list, this);
        wxLog::SetActiveTarget(logger);
    }
    void TearDown() override {
        wxLog::FlushActive();
        delete logger;
        EXPECT_EQ(wxLog::GetActiveTarget(), this) << "destructor restores the old target";
        wxLog::SetActiveTarget(saved);
        window->Destroy();
        pumpEvents();
    }
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
        handedBack.push_back(std::to_string(level) + " " + msg.utf8_string());
    }
    Lines lines() {
        wxLog::FlushActive();
        return logLines(list);
    }

    Lines handedBack;
    wxLog* saved = nullptr;
    wxFrame* window = nullptr;
    wxListBox* list = nullptr;
    LboxLogger* logger = nullptr;
};

} // namespace

TEST_F(LoggerTest, LinesAppendWithTimeStampAndKindTraceGoesBackAndThreadsWait) {
    wxLogMessage("first");
    wxLogMessage("%s", "");
    wxLogError("disk full");
    wxLogGeneric(wxLOG_Trace, "hidden detail");
    wxLogWarning("careful");
    Lines expected{"first", "", "Error: disk full", "Warning: careful"};
    EXPECT_EQ(lines(), expected);
    // The time stamp is the toolkit's default, followed by ": ".
    wxString stamp;
    wxLog::TimeStamp(&stamp);
    EXPECT_EQ(list->GetString(1).length(), stamp.length());
    EXPECT_TRUE(list->GetString(0).EndsWith(": first"));
    EXPECT_EQ(handedBack, Lines{std::to_string(wxLOG_Trace) + " hidden detail"});

    // Without a previous target a trace line is dropped. A logger that is no longer active
    // leaves the active one alone when it goes.
    {
        LboxLogger orphan(list, nullptr);
        wxLog::SetActiveTarget(&orphan);
        wxLogGeneric(wxLOG_Trace, "dropped");
        wxLogMessage("shown");
        wxLog::FlushActive();
        wxLog::SetActiveTarget(logger);
    }
    EXPECT_EQ(wxLog::GetActiveTarget(), logger);
    expected.push_back("shown");
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(handedBack.size(), 1u);

    // Thousands of lines from another thread wait for the GUI thread, all kept in order.
    std::thread worker([] {
        for (int i = 0; i < 5000; ++i)
            wxLogMessage("worker %d", i);
    });
    worker.join();
    // Nothing touched the list box from the worker: the lines wait for the GUI thread.
    EXPECT_EQ(list->GetCount(), 5u);
    ASSERT_TRUE(pumpUntil([&] { return list->GetCount() == 5005u; }));
    const Lines all = lines();
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(all[i + 5], "worker " + std::to_string(i));
}
