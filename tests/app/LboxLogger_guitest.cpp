#include <thread>

#include <wx/frame.h>

#include "app/LboxLogger.h"
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

TEST_F(LoggerTest, LinesAppendInOrderWithTimeStampAndScroll) {
    wxLogMessage("first");
    wxLogMessage("second");
    wxLogMessage("%s", "");
    EXPECT_EQ(lines(), (std::vector<std::string>{"first", "second", ""}));
    // The time stamp is the toolkit's default, followed by ": ".
    wxString stamp;
    wxLog::TimeStamp(&stamp);
    EXPECT_EQ(list->GetString(2).length(), stamp.length());
    EXPECT_TRUE(list->GetString(0).EndsWith(": first"));
    EXPECT_TRUE(previous.records.empty());

    wxLogError("disk full");
    wxLogWarning("careful");
    EXPECT_EQ(lines().back(), "Warning: careful");
    EXPECT_EQ(lines()[3], "Error: disk full");
}

TEST_F(LoggerTest, TraceGoesToThePreviousTargetOnly) {
    wxLogGeneric(wxLOG_Trace, "hidden detail");
    EXPECT_TRUE(lines().empty());
    ASSERT_EQ(previous.records.size(), 1u);
    EXPECT_EQ(previous.records[0].first, wxLOG_Trace);
    EXPECT_EQ(previous.records[0].second, "hidden detail");

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

TEST_F(LoggerTest, KeepsThousandsOfLines) {
    for (int i = 0; i < 5000; ++i)
        wxLogMessage("line %d", i);
    const auto all = lines();
    ASSERT_EQ(all.size(), 5000u);
    EXPECT_EQ(all.front(), "line 0");
    EXPECT_EQ(all[2500], "line 2500");
    EXPECT_EQ(all.back(), "line 4999");
}

TEST_F(LoggerTest, LinesFromAnotherThreadArriveInOrderOnTheGuiThread) {
    wxLogMessage("before");
    std::thread worker([] {
        for (int i = 0; i < 200; ++i)
            wxLogMessage("worker %d", i);
    });
    worker.join();
    // Nothing touched the list box from the worker: the lines wait for the GUI thread.
    EXPECT_EQ(list->GetCount(), 1u);
    ASSERT_TRUE(pumpUntil([&] { return list->GetCount() == 201u; }));
    const auto all = lines();
    EXPECT_EQ(all[0], "before");
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(all[i + 1], "worker " + std::to_string(i));
}
