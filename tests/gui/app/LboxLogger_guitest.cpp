#include <thread>

#include <wx/frame.h>

#include "gui/app/LboxLogger.h"
#include "support/GuiFixture.h"

namespace {

using Lines = std::vector<std::string>;

// A log list with its logger active. The fixture stands for the target that was active
// before, and keeps what is handed back to it.
class LoggerTest : public ::testing::Test, public wxLog {
protected:
    void SetUp() override {
        window = new wxFrame(nullptr, wxID_ANY, "log");
        list = new wxListBox(window, wxID_ANY);
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

    Lines handedBack;
    wxLog* saved = nullptr;
    wxFrame* window = nullptr;
    wxListBox* list = nullptr;
    LboxLogger* logger = nullptr;
};

} // namespace

TEST_F(LoggerTest, LinesAppendWithTimeStampAndKindTraceGoesBackAndThreadsWait) {
    wxLogMessage("first");
    wxLogError("disk full");
    wxLogGeneric(wxLOG_Trace, "hidden detail");
    wxLogWarning("careful");
    wxLog::FlushActive();
    EXPECT_EQ(logLines(list), (Lines{"first", "Error: disk full", "Warning: careful"}));
    // The time stamp is the toolkit's default (it ends in ": ").
    wxString stamp;
    wxLog::TimeStamp(&stamp);
    EXPECT_EQ(list->GetString(0).length(), stamp.length() + 5) << "the stamp, then \"first\"";
    EXPECT_EQ(handedBack, Lines{std::to_string(wxLOG_Trace) + " hidden detail"});

    // Without a previous target a trace line is dropped. A logger that is no longer active
    // leaves the active one alone when it goes.
    {
        LboxLogger orphan(list, nullptr);
        wxLog::SetActiveTarget(&orphan);
        wxLogGeneric(wxLOG_Trace, "dropped");
        wxLog::FlushActive();
        wxLog::SetActiveTarget(logger);
    }
    EXPECT_EQ(wxLog::GetActiveTarget(), logger);
    EXPECT_EQ(list->GetCount() + handedBack.size(), 4u);

    // Thousands of lines from another thread wait for the GUI thread, all kept in order.
    std::thread worker([] {
        for (int i = 0; i < 5000; ++i)
            wxLogMessage("worker %d", i);
    });
    worker.join();
    EXPECT_EQ(list->GetCount(), 3u) << "nothing touched the list box from the worker";
    ASSERT_TRUE(pumpUntil([&] { return list->GetCount() == 5003u; }));
    const Lines all = logLines(list);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(all[i + 3], "worker " + std::to_string(i));
}
