#include <thread>

#include "gui/app/LboxLogger.h"
#include "support/GuiFixture.h"

TEST(LoggerTest, LinesAppendWithTimeStampAndKindTraceGoesBackAndThreadsWait) {
    // Stands for the target that was active before, and keeps what is handed back to it.
    struct Previous : wxLog {
        void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
            handedBack.push_back(std::to_string(level) + " " + msg.utf8_string());
        }
        Lines handedBack;
    } previous;
    auto* list = new wxListBox(new wxFrame(nullptr, wxID_ANY, "log"), wxID_ANY);
    auto logger = std::make_unique<LboxLogger>(list, &previous);
    wxLog* const saved = wxLog::SetActiveTarget(logger.get());

    wxLogMessage("first");
    wxLogError("disk full");
    wxLogGeneric(wxLOG_Trace, "hidden detail");
    wxLogWarning("careful");
    wxLog::FlushActive();
    // The time stamp is the toolkit's default (it ends in ": ").
    wxString stamp;
    wxLog::TimeStamp(&stamp);
    EXPECT_EQ(list->GetString(0).length(), stamp.length() + 5) << "the stamp, then \"first\"";
    EXPECT_EQ(previous.handedBack, Lines{std::to_string(wxLOG_Trace) + " hidden detail"});

    // Thousands of lines from another thread wait for the GUI thread, all kept in order.
    std::thread worker([] {
        for (int i = 0; i < 5000; ++i)
            wxLogMessage("worker %d", i);
    });
    worker.join();
    EXPECT_EQ(list->GetCount(), 3u) << "nothing touched the list box from the worker";
    EXPECT_TRUE(pumpUntil([&] { return list->GetCount() == 5003u; }));
    Lines expected{"first", "Error: disk full", "Warning: careful"};
    for (int i = 0; i < 5000; ++i)
        expected.push_back("worker " + std::to_string(i));
    EXPECT_EQ(logLines(list), expected);

    logger.reset();
    EXPECT_EQ(wxLog::GetActiveTarget(), &previous) << "the logger hands back when it goes";
    wxLog::SetActiveTarget(saved);
    list->GetParent()->Destroy();
    pumpEvents();
}
