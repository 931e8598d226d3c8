#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include <wx/progdlg.h>

#include "engine/analysis/CWorkMemory.h"
#include "gui/frame/FrameHelpers.h"
#include "gui/frame/MemoTour.h"
#include "support/MemoGroups.h"

// Threads under load: cancels and stops at random moments, a quit while both kinds of thread
// run, and a flood of log lines from a thread. Every suite here starts with "Stress" so that
// the set can be run or left out as a whole; together they take about a minute and a half.
// The window is hidden while the rounds run: redrawing it on the virtual display after every
// dialog would take most of the time and test nothing about the threads.

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

bool progressDialogLeft() {
    for (wxWindow* w : wxTopLevelWindows)
        if (dynamic_cast<wxProgressDialog*>(w))
            return true;
    return false;
}

// Handles events until the predicate holds, looking every millisecond; the time it took, or
// a negative value when the deadline passed first.
double pumpFor(const std::function<bool()>& done, double deadlineMs) {
    const auto start = Clock::now();
    while (!done()) {
        if (msSince(start) > deadlineMs)
            return -1.0;
        pumpEvents();
        wxMilliSleep(1);
    }
    return msSince(start);
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    auto at = [&ms](double p) { return ms.empty() ? 0.0 : ms[size_t(p * (ms.size() - 1) + 0.5)]; };
    std::printf("[ stats    ] %s: n=%zu p50=%.1f ms p95=%.1f ms max=%.1f ms\n", what, ms.size(),
                at(0.50), at(0.95), at(1.0));
}

} // namespace

// ---------------------------------------------------------------------------
// 500 cancels of a voiceprint on a short sound, each at a random moment of the run.

class StressVoiceprint : public MemoGroupTest {};

TEST_F(StressVoiceprint, FiveHundredCancelsAtRandomMoments) {
    frame->Hide();
    // 60 frames of 1024 samples, 128 apart: 8576 samples, about half a second of sound.
    ASSERT_EQ(frame->m_workPara->setSize(1024, frame->m_wavePara->m_windowLen,
                                         CWorkMemory::senseNormal, 128, 60),
              CWorkMemory::resultOk);
    frame->analyseStretch();

    // The moments are drawn from the time between the start and the arrival of the worker's
    // end in an uncancelled run.
    struct EndSeen : wxEventFilter {
        EndSeen() { wxEvtHandler::AddFilter(this); }
        ~EndSeen() override { wxEvtHandler::RemoveFilter(this); }
        int FilterEvent(wxEvent& e) override {
            if (e.GetEventType() == wxEVT_MENU && e.GetId() == ID_WorkerEvent &&
                static_cast<wxCommandEvent&>(e).GetInt() == -1)
                at = Clock::now();
            return Event_Skip;
        }
        Clock::time_point at;
    };
    double runMs = 0.0;
    {
        EndSeen end;
        for (int i = 0; i < 3; ++i) {
            frame->toVoiceprint();
            const auto started = Clock::now();
            ASSERT_GE(pumpFor([&] { return !frame->m_voiceprintRunning; }, 20000), 0.0);
            runMs += std::chrono::duration<double, std::milli>(end.at - started).count() / 3;
        }
    }

    std::mt19937 random(5045);
    std::uniform_real_distribution<double> moment(0.0, 0.9 * runMs);
    std::vector<double> latencies;
    int stopped = 0;
    for (int round = 0; round < 500; ++round) {
        const size_t lines = log().size();
        frame->toVoiceprint();
        ASSERT_TRUE(frame->m_voiceprintRunning) << round;
        pumpFor([&] { return !frame->m_voiceprintRunning; }, moment(random));
        const bool landed = frame->m_voiceprintRunning && frame->m_dlgProgress;
        const auto pressed = Clock::now();
        if (landed) {
            wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
            cancel.SetEventObject(frame->m_dlgProgress->FindWindow(wxID_CANCEL));
            frame->m_dlgProgress->ProcessWindowEvent(cancel);
        }
        ASSERT_GE(pumpFor([&] {
            return !frame->m_voiceprintRunning && !frame->m_dlgProgress && dataLockFree();
        }, 5000), 0.0) << "round " << round << " never came back to idle";
        if (landed)
            latencies.push_back(msSince(pressed));
        pumpEvents();
        ASSERT_TRUE(dataLockFree()) << round;
        ASSERT_FALSE(progressDialogLeft()) << round;
        const auto all = log();
        ASSERT_GT(all.size(), lines);
        ASSERT_TRUE(all.back() == "voiceprint calculation stop." ||
                    all.back() == "voiceprint calculation finished.")
            << "round " << round << " ended with " << all.back();
        stopped += all.back() == "voiceprint calculation stop.";
    }
    std::printf("[ stats    ] one run %.1f ms; %zu cancels landed in a run, %d stopped, "
                "%d finished\n",
                runMs, latencies.size(), stopped, 500 - stopped);
    report("cancel to idle", latencies);
    // How many moments fall inside a run, and the latencies themselves, depend on the
    // machine's load: they are reported above, not asserted (the target is p95 <= 300 ms).
    EXPECT_FALSE(latencies.empty()) << "no cancel fell inside a run";
    EXPECT_EQ(stopped, int(latencies.size())) << "every cancel that landed in a run stops it";
}

// ---------------------------------------------------------------------------
// Memo tours stopped at random moments: by "&Stop" 200 times for a sound tour and 200 times
// for a voiceprint tour, and by closing the window.

namespace {

class StressTour : public MemoGroupTest {
protected:
    void SetUp() override {
        MemoGroupTest::SetUp();
        quickBlock();
        for (int cursor : {0, 8000, 16000})
            addGroup(cursor, "group");
        frame->Hide();
        // The tour's clock, 50 times faster, so that a few hundred tours pass through every
        // state (posting, waiting for the move, the pauses, waiting for a voiceprint) quickly.
        memo_tour_detail::setSleepFunction(
            [](unsigned long ms) { std::this_thread::sleep_for(std::chrono::microseconds(ms * 20)); });
    }
    // 19 x 256 + 512 = 5376 samples: 0.336 s, a quick voiceprint of 20 frames.
    void quickBlock() {
        ParameterValues v = frame->currentParameters();
        v.ssftSize = 512;
        v.interval = 256;
        v.repeatTimes = 20;
        setBlock(formatParameterBlock(v));
        ASSERT_EQ(frame->m_workPara->m_excutionSize, 5376);
    }
    void TearDown() override {
        if (frame && frame->m_tourRunning)
            press(frame, ID_LockMemo);
        EXPECT_GE(pumpFor(noTourThreads, 5000), 0.0);
        memo_tour_detail::setSleepFunction(nullptr);
        MemoGroupTest::TearDown();
    }

    // Starts tours and stops each with "&Stop" at a random moment, up to maxMs after the
    // start (0: drawn from the length of a whole tour of the three groups); returns how long
    // the thread took to be gone after the press.
    std::vector<double> stopTours(int count, bool voiceprint, unsigned seed, double maxMs = 0) {
        frame->m_containSsft->SetValue(voiceprint);
        if (maxMs == 0) {
            press(frame, ID_MemoTour);
            maxMs = 0.9 * pumpFor([&] {
                return noTourThreads() && !frame->m_voiceprintRunning && dataLockFree();
            }, 20000);
            EXPECT_GT(maxMs, 0.0);
        }
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> moment(0.0, maxMs);
        std::vector<double> gone;
        for (int round = 0; round < count && !HasFailure(); ++round) {
            press(frame, ID_MemoTour);
            EXPECT_TRUE(frame->m_tourRunning) << round;
            pumpFor([] { return false; }, moment(random));
            const bool running = !noTourThreads();
            const auto pressed = Clock::now();
            press(frame, ID_LockMemo);
            EXPECT_FALSE(frame->m_tourRunning) << round;
            EXPECT_GE(pumpFor(noTourThreads, 5000), 0.0)
                << "round " << round << ": the thread did not end";
            if (running)
                gone.push_back(msSince(pressed));
            // A voiceprint the tour started runs to its end and gives the lock back.
            EXPECT_GE(pumpFor([&] { return !frame->m_voiceprintRunning && dataLockFree(); }, 5000),
                      0.0)
                << round;
        }
        EXPECT_FALSE(gone.empty()) << "no stop fell inside a tour";
        return gone;
    }
};

} // namespace

// Latencies are reported, not asserted (target: gone within 600 ms); every stop ended its
// thread within the 5 s deadline of stopTours.
TEST_F(StressTour, TwoHundredStopsOfASoundTourAndOfAVoiceprintTour) {
    ScopedRecordingSound sound;
    report("sound tour, stop to thread gone", stopTours(200, false, 5047));
    EXPECT_FALSE(sound.recorder.plays.empty()) << "the stops fell after moves too";
    report("voiceprint tour, stop to thread gone", stopTours(200, true, 5046));
    const auto lines = log();
    EXPECT_GT(std::count(lines.begin(), lines.end(), "voiceprint calculation finished."), 0);
}

// The real clock: a stop during one of the long pauses ends the thread at once.
TEST_F(StressTour, StopsWithTheRealClock) {
    memo_tour_detail::setSleepFunction(nullptr);
    ScopedRecordingSound sound;
    report("real clock, stop to thread gone", stopTours(8, false, 5041, 1500.0));
}

// Closing the window in the middle of a tour of either kind.
TEST_F(StressTour, ClosingTheWindowAtRandomMoments) {
    std::mt19937 random(5006);
    std::uniform_real_distribution<double> moment(0.0, 300.0);
    std::vector<double> gone;
    for (int round = 0; round < 20; ++round) {
        if (round > 0) {
            frame = static_cast<GuiTestApp&>(wxGetApp()).openFrame("");
            pumpEvents();
            frame->m_waveFileName = dir.path() + "/talk.wav";
            frame->m_chosenFileName = "talk.wav";
            frame->readCommon(); // reads back the groups saved below
            pumpEvents();
            ASSERT_EQ(frame->memoSlotCount(), 3u);
            quickBlock();
            frame->Hide();
        } else {
            frame->toSaveMemoToFile();
        }
        frame->m_containSsft->SetValue(round % 2 == 1);
        press(frame, ID_MemoTour);
        pumpFor([] { return false; }, moment(random));
        const auto closed = Clock::now();
        frame->Destroy();
        frame = nullptr;
        pumpEvents();
        ASSERT_GE(pumpFor(noTourThreads, 5000), 0.0) << round;
        gone.push_back(msSince(closed));
        ASSERT_TRUE(dataLockFree()) << round;
    }
    report("window closed, to thread gone", gone);
}

// ---------------------------------------------------------------------------
// Quitting while a voiceprint worker and a memo tour run. A child copy of this program opens
// the window, starts a voiceprint tour, and when both threads run presses "&Quit" and lets
// the window close as the program's own loop would. It must be gone within 2 s, exit code 0
// (a sanitizer finding would make it fail).

class StressQuit : public MemoGroupTest {};

TEST_F(StressQuit, DISABLED_ChildQuitsWhileAWorkerAndATourRun) {
    const char* mark = std::getenv("VOCALITH_QUIT_MARK");
    ASSERT_NE(mark, nullptr);
    // Long voiceprints: 118 frames of 2048 samples each.
    addGroup(0, "a");
    addGroup(16000, "b");
    frame->m_containSsft->SetValue(true);
    press(frame, ID_MemoTour);
    ASSERT_TRUE(pumpUntil([&] { return frame->m_voiceprintRunning && frame->m_tourRunning; }));
    ASSERT_FALSE(noTourThreads());
    std::ofstream(mark) << "quit\n";

    wxCommandEvent quit(wxEVT_MENU, ID_Quit);
    frame->ProcessWindowEvent(quit);
    MyFrame* closing = frame;
    frame = nullptr;
    // The program's own loop ends once its last window has been deleted.
    ASSERT_TRUE(pumpUntil([&] { return !wxTopLevelWindows.Find(closing); }));
}

TEST_F(StressQuit, QuitWithAWorkerAndATourRunningExitsWithinTwoSeconds) {
    const std::string mark = dir.path() + "/quit-mark";
    const std::string output = dir.path() + "/child.log";
    const std::string env = "VOCALITH_QUIT_MARK=" + mark;
    std::vector<char*> envp{const_cast<char*>(env.c_str())};
    for (char** e = environ; *e; ++e)
        envp.push_back(*e);
    envp.push_back(nullptr);
    const char* argv[] = {"/proc/self/exe",
                          "--gtest_filter=StressQuit.DISABLED_ChildQuitsWhileAWorkerAndATourRun",
                          "--gtest_also_run_disabled_tests", nullptr};
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], &files, nullptr, const_cast<char**>(argv), envp.data()),
              0);
    posix_spawn_file_actions_destroy(&files);

    auto childLog = [&] {
        std::ifstream in(output);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    int status = 0;
    bool ended = false;
    auto exited = [&] { return ended = waitpid(child, &status, WNOHANG) == child; };
    const auto start = Clock::now();
    while (access(mark.c_str(), F_OK) != 0 && !exited() && msSince(start) < 120000)
        wxMilliSleep(1);
    ASSERT_FALSE(ended) << "the child ended before it quit:\n" << childLog();
    ASSERT_EQ(access(mark.c_str(), F_OK), 0) << "the child never got both threads running";

    const auto quit = Clock::now();
    // The time to exit is reported (target: 2 s); the deadline only catches a hang.
    while (!exited() && msSince(quit) < 10000)
        wxMilliSleep(1);
    std::printf("[ stats    ] quit to process exit: %.1f ms\n", msSince(quit));
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    ASSERT_TRUE(ended) << "still running 10 s after the quit:\n" << childLog();
    ASSERT_TRUE(WIFEXITED(status)) << childLog();
    EXPECT_EQ(WEXITSTATUS(status), 0) << childLog();
}

// ---------------------------------------------------------------------------
// 10,000 lines logged from a thread while the GUI thread logs its own: every line arrives,
// each thread's lines in the order they were logged.

class StressLog : public FrameTest {};

TEST_F(StressLog, TenThousandLinesFromAThreadBesideTheGuiThreadsLines) {
    const size_t before = log().size();
    std::thread tour([] {
        for (int i = 0; i < 10000; ++i)
            wxLogMessage("tour %d", i);
    });
    for (int i = 0; i < 2000; ++i) {
        wxLogMessage("gui %d", i);
        if (i % 50 == 0)
            pumpEvents(); // lets the thread's lines in between
    }
    tour.join();
    ASSERT_TRUE(pumpUntil([&] { return frame->m_lboxLog->GetCount() >= before + 12000; }));
    const auto lines = log();
    ASSERT_EQ(lines.size(), before + 12000);
    // With the count exact, each thread's lines in sequence means all of them, in order.
    int nextTour = 0, nextGui = 0;
    for (size_t k = before; k < lines.size(); ++k) {
        if (lines[k].rfind("gui ", 0) == 0)
            ASSERT_EQ(lines[k], "gui " + std::to_string(nextGui++)) << k;
        else
            ASSERT_EQ(lines[k], "tour " + std::to_string(nextTour++)) << k;
    }
}
