#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "gui/frame/FrameHelpers.h"
#include "support/Dialogs.h"

// Threads under load: tours stopped at random moments, a quit while both kinds of thread run. Every
// suite here starts with "Stress" so that the set can be run or left out as a whole. The window is
// hidden while the rounds run: redrawing it on the virtual display would take most of the time and
// test nothing about the threads.

// Voiceprint tours stopped by "&Stop" at random moments. Each round checks what a stop must leave:
// the frame not busy at once, the thread gone, and a voiceprint the tour started run to its end
// with the lock given back.
using StressTour = TourTest;

TEST_F(StressTour, StopsAtRandomMomentsOfAVoiceprintTour) {
    // 19 x 256 + 512 = 5376 samples: a quick voiceprint of 20 frames.
    setStretch(512, 256, 20);
    for (int cursor : {0, 8000, 16000})
        addGroup(cursor, "group");
    frame->Hide();
    win().containSsft()->SetValue(true);
    // The tour's clock, 50 times faster, so that the rounds pass through every state (posting,
    // waiting for the move, the pauses, waiting for a voiceprint); a whole tour takes over
    // 100 ms of pauses alone, so the moments fall inside it.
    memo_tour_detail::setSleepFunction(
        [](unsigned long ms) { std::this_thread::sleep_for(std::chrono::microseconds(ms * 20)); });
    const auto idle = [&] {
        return noTourThreads() && !win().voiceprintRunning() && dataLockFree();
    };
    std::mt19937 random(5046);
    std::uniform_real_distribution<double> moment(0.0, 100.0);
    int running = 0;
    for (int round = 0; round < 200 && !HasFailure(); ++round) {
        press(frame, ID_MemoTour);
        pumpUntil([] { return false; }, std::chrono::milliseconds(long(moment(random))));
        running += !noTourThreads();
        press(frame, ID_LockMemo);
        EXPECT_FALSE(win().tourRunning()) << round;
        EXPECT_TRUE(pumpUntil(idle, std::chrono::seconds(5))) << round;
    }
    EXPECT_GT(running, 0) << "no stop fell inside a tour";
}

// Quitting while a voiceprint worker and a memo tour run. A child copy of this program opens
// the window, starts a voiceprint tour, and when both threads run presses "&Quit" and lets the
// window close as the program's own loop would. The child's test must pass and the process
// exit with code 0 (a crash at exit or a sanitizer finding would make it fail).
using StressQuit = MemoGroupTest;

TEST_F(StressQuit, DISABLED_ChildQuitsWhileAWorkerAndATourRun) {
    // Long voiceprints: 118 frames of 2048 samples each.
    addGroup(0, "a");
    addGroup(16000, "b");
    win().containSsft()->SetValue(true);
    HeldWorker held(frame); // until the quit cancels it
    press(frame, ID_MemoTour);
    ASSERT_TRUE(pumpUntil([&] { return win().voiceprintRunning() && win().tourRunning(); }));
    Asked asked; // the tour does not skip the question about the unsaved groups
    wxTEST_DIALOG(press(frame, ID_Quit, wxEVT_MENU), ExpectQuestion(wxID_NO, &asked));
    MyFrame* closing = frame;
    frame = nullptr;
    // The program's own loop ends once its last window has been deleted.
    ASSERT_TRUE(pumpUntil([&] { return !wxTopLevelWindows.Find(closing); }));
}

TEST_F(StressQuit, QuitWithAWorkerAndATourRunningExitsCleanly) {
    const std::string output = dir.path() + "/child.log";
    // The time limit only catches a hang.
    const int status =
        std::system(("timeout 120 " + std::filesystem::read_symlink("/proc/self/exe").string() +
                     " --gtest_also_run_disabled_tests"
                     " --gtest_filter=StressQuit.DISABLED_ChildQuitsWhileAWorkerAndATourRun >" +
                     output + " 2>&1")
                        .c_str());
    const std::string said = slurp(output);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << said;
    EXPECT_NE(said.find("[  PASSED  ] 1 test."), std::string::npos) << said;
}
