#include <thread>

#include <wx/frame.h>

#include "gui/app/LboxLogger.h"
#include "support/GuiFixture.h"

namespace {

// Stands in for the target that was active before the log list took over.
class RecordingLog : public wxLog {
public:
    std::vector<std::pair<wxLogLevel, std::string>> records;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
        records.emplace_back(level, msg.utf8_string());
    }
};

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = new wxFrame(nullptr, wxID_ANY, "log");
        list = new wxListBox(window, wxID_ANY);
        window->Show();
        saved = wxLog::SetActiveTarget(&previous);
        logger = new LboxLogger(list, &previous);
        wxLog::SetActiveTarget(logger);
    }
    void TearDown() override {
        wxLog::FlushActive();
        delete logger;
        EXPECT_EQ(wxLog::GetActiveTarget(), &previous) << "destructor restores the old target";
        wxLog::SetActiveTarget(saved);
        window->Destroy();
        pumpEvents();
    }
    std::vector<std::string> lines() {
        wxLog::FlushActive();
        return logLines(list);
    }

    RecordingLog previous;
    wxLog* saved = nullptr;
    wxFrame* window = nullptr;
    wxListBox* list = nullptr;
    LboxLogger* logger = nullptr;
};

} // namespace

TEST_F(LoggerTest, LinesAppendInOrderWithTimeStampAndKind) {
    wxLogMessage("first");
    wxLogMessage("%s", "");
    wxLogError("disk full");
    wxLogWarning("careful");
    EXPECT_EQ(lines(),
              (std::vector<std::string>{"first", "", "Error: disk full", "Warning: careful"}));
    // The time stamp is the toolkit's default, followed by ": ".
    wxString stamp;
    wxLog::TimeStamp(&stamp);
    EXPECT_EQ(list->GetString(1).length(), stamp.length());
    EXPECT_TRUE(list->GetString(0).EndsWith(": first"));
    EXPECT_TRUE(previous.records.empty());
}

TEST_F(LoggerTest, TraceGoesToThePreviousTargetOnly) {
    wxLogGeneric(wxLOG_Trace, "hidden detail");
    EXPECT_TRUE(lines().empty());
    ASSERT_EQ(previous.records.size(), 1u);
    EXPECT_EQ(previous.records[0],
              std::make_pair(wxLogLevel(wxLOG_Trace), std::string("hidden detail")));

    // Without a previous target the trace line is simply dropped.
    {
        LboxLogger orphan(list, nullptr);
        wxLog::SetActiveTarget(&orphan);
        wxLogGeneric(wxLOG_Trace, "dropped");
        wxLogMessage("shown");
        wxLog::FlushActive();
        wxLog::SetActiveTarget(logger);
    }
    // A logger that is no longer active leaves the active one alone when it goes.
    EXPECT_EQ(wxLog::GetActiveTarget(), logger);
    EXPECT_EQ(lines(), std::vector<std::string>{"shown"});
    EXPECT_EQ(previous.records.size(), 1u);
}

// Thousands of lines, from another thread, all kept in order.
TEST_F(LoggerTest, LinesFromAnotherThreadArriveInOrderOnTheGuiThread) {
    wxLogMessage("before");
    std::thread worker([] {
        for (int i = 0; i < 5000; ++i)
            wxLogMessage("worker %d", i);
    });
    worker.join();
    // Nothing touched the list box from the worker: the lines wait for the GUI thread.
    EXPECT_EQ(list->GetCount(), 1u);
    ASSERT_TRUE(pumpUntil([&] { return list->GetCount() == 5001u; }));
    const auto all = lines();
    EXPECT_EQ(all[0], "before");
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(all[i + 1], "worker " + std::to_string(i));
}
