#include <mutex>

#include "gui/frame/FrameHelpers.h"

namespace {

using Sleeps = std::vector<unsigned long>;

// What the tour thread asks to sleep; nothing really sleeps.
std::mutex g_sleepsLock;
Sleeps g_sleeps;

Sleeps takeSleeps() {
    std::lock_guard<std::mutex> lock(g_sleepsLock);
    return std::exchange(g_sleeps, {});
}
void recordSleep(unsigned long ms) {
    std::lock_guard<std::mutex> lock(g_sleepsLock);
    g_sleeps.push_back(ms);
}

// The 2.5-s pause after a 2-second stretch, and the 100 ms after posting a move.
const Sleeps kPause = {500, 500, 500, 500, 500};
const Sleeps kMutedPause = {500, 500, 100};

Sleeps cat(std::initializer_list<Sleeps> parts) {
    Sleeps all;
    for (const Sleeps& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

class MemoTourTest : public TourTest {
protected:
    void SetUp() override {
        TourTest::SetUp();
        takeSleeps();
        memo_tour_detail::setSleepFunction(recordSleep);
    }
    void runTour(int id) {
        moves.clear();
        press(frame, id);
        ASSERT_TRUE(pumpUntil([&] { return !win().tourRunning() && noTourThreads(); }));
        EXPECT_TRUE(dataLockFree());
    }

    ScopedRecordingSound sound;
    // The tour's moves as the frame handles them: the title, negative for a voiceprint move.
    std::vector<int> moves;
    MenuEvents events{[this](wxCommandEvent& e) {
        if (e.GetId() == ID_MoveToMemo || e.GetId() == ID_MoveToMemoSsft)
            moves.push_back(e.GetId() == ID_MoveToMemo ? e.GetInt() : -1 - e.GetInt());
    }};
};

} // namespace

TEST_F(MemoTourTest, VisitsGroupsFromTheSlotAfterTheCurrentWithPausesForMuteAndBlanks) {
    for (int cursor : {0, 4000, 8000, 12000, 16000})
        addGroup(cursor, "group", cursor == 4000 ? CArchMemo::Low : CArchMemo::High);
    // Muted: 300 x 2.0 + 500 = 1100 ms between groups, nothing played; the group below the
    // limit is skipped without a pause, and there is no pause before the first group.
    win().priorlimit()->SetSelection(0);
    win().playMute()->SetValue(true);
    runTour(ID_MemoTour);
    EXPECT_EQ(moves, (std::vector<int>{0, 2, 3, 4}));
    EXPECT_EQ(takeSleeps(),
              cat({{100}, kMutedPause, {100}, kMutedPause, {100}, kMutedPause, {100}}));
    EXPECT_TRUE(sound.recorder.plays.empty());

    // "&Add blank": a silent gap as long as the sound plus half a second after each move,
    // then the 2.5-s pause in 500-ms slices. Continuing starts at the slot after the current
    // one and wraps round.
    win().playMute()->SetValue(false);
    win().containBlank()->SetValue(true);
    win().curTitle() = 2;
    runTour(ID_MemoTourCont);
    EXPECT_EQ(moves, (std::vector<int>{3, 4, 0, 2}));
    EXPECT_EQ(
        takeSleeps(),
        cat({{100}, kPause, kPause, {100}, kPause, kPause, {100}, kPause, kPause, {100}, kPause}));
    EXPECT_EQ(playedStarts(sound.recorder), (std::vector<int>{12000, 16000, 0, 8000}));
}

// During a pause the tour holds the data lock. A move the user makes then never waits for it:
// going to a group moves at once, next, previous and search are refused with a word why.
TEST_F(MemoTourTest, TheUsersMovesNeverWaitForATourPause) {
    addGroup(0, "a");
    addGroup(4000, "b");
    addGroup(8000, "c");
    static std::atomic<bool> hold;
    hold = true;
    memo_tour_detail::setSleepFunction([](unsigned long ms) {
        recordSleep(ms);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ms == 500 && hold && std::chrono::steady_clock::now() < deadline)
            wxMilliSleep(1);
    });
    press(frame, ID_MemoTour);
    // The first group is shown, and the pause before the second has begun.
    ASSERT_TRUE(pumpUntil([&] {
        std::lock_guard<std::mutex> lock(g_sleepsLock);
        return !g_sleeps.empty() && g_sleeps.back() == 500;
    }));
    frame->moveToMemo(2);
    EXPECT_EQ(tup(win().curTitle(), win().wave()->m_cursor, dataLockFree()), tup(2, 8000, false));
    newLog();
    frame->moveNextMemo(2);
    win().searchtext()->SetValue("a");
    press(frame, ID_SearchRigth);
    EXPECT_EQ(newLog(),
              Lines(2, "a memo tour is running: stop it (\"Stop\" in the memo panel) first."));
    EXPECT_EQ(win().curTitle(), 2);
    // What moves, computes, edits or replaces the list waits for the tour, from keys and menus.
    const int refused[] = {MyFrame::ID_TenthForward,  MyFrame::ID_StretchBack,
                           MyFrame::ID_WindowForward, MyFrame::ID_FileEnd,
                           MyFrame::ID_ZoomIn,        MyFrame::ID_ViewVoiceprint,
                           MyFrame::ID_ViewPitch,     MyFrame::ID_Undo,
                           MyFrame::ID_MenuSave,      MyFrame::ID_Open};
    for (int id : refused)
        frame->runCommand(id);
    EXPECT_EQ(newLog(), Lines(std::size(refused), kTourRunsLine));
    EXPECT_EQ(tup(win().curTitle(), win().wave()->m_cursor), tup(2, 8000));
    hold = false;
    press(frame, ID_LockMemo);
    ASSERT_TRUE(pumpUntil([&] { return noTourThreads() && dataLockFree(); }));

    // A tour flag whose thread has gone: Stop says so and clears it.
    win().tourRunning() = true;
    press(frame, ID_LockMemo);
    EXPECT_EQ(tup(newLog().back(), bool(win().tourRunning())), tup(" no thread to stop.", false));
}

// Stopping never waits for the tour; closing the window ends it.
TEST_F(MemoTourTest, StopDuringAVoiceprintAndClosingTheWindowEndTheTour) {
    addGroup(0, "a");
    addGroup(4000, "b");
    win().containSsft()->SetValue(true);
    HeldWorker held(frame);
    press(frame, ID_MemoTour);
    ASSERT_TRUE(pumpUntil([&] { return win().voiceprintRunning(); }));

    // Without the GUI thread handling the computation's end, the lock stays taken: after its
    // second since the move the tour waits for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (takeSleeps().size() < 2 && std::chrono::steady_clock::now() < deadline)
        wxMilliSleep(5);
    newLog();
    const auto start = std::chrono::steady_clock::now();
    press(frame, ID_LockMemo);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(win().tourRunning());
    const Lines lines = newLog();
    for (const char* line : {"memo tour end.", " thread finished."})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    HeldWorker::release();
    ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning() && noTourThreads(); }));
    EXPECT_EQ(std::make_tuple(dataLockFree(), moves, win().curTitle()),
              std::make_tuple(true, std::vector<int>{-1}, 0));

    win().containSsft()->SetValue(false);
    press(frame, ID_MemoTour);
    ASSERT_TRUE(win().tourRunning());
    frame->Destroy();
    frame = nullptr;
    pumpEvents();
    EXPECT_TRUE(pumpUntil(noTourThreads) && dataLockFree());
}

// The system refuses the tour's thread: the frame does not stay busy. It refuses the
// voiceprint worker during a voiceprint tour: each move logs it and the tour goes on without
// the lock being held.
TEST_F(MemoTourTest, RefusedThreadsLeaveNothingLockedOrBusy) {
    const auto refuse = [](wxThread&) { return wxTHREAD_NO_RESOURCE; };
    addGroup(0, "a");
    addGroup(8000, "b");
    newLog();
    memo_tour_detail::setThreadCreator(refuse);
    press(frame, ID_MemoTour);
    memo_tour_detail::setThreadCreator(nullptr);
    EXPECT_EQ(newLog(), (Lines{"memo tour start.", " can not create thread."}));
    EXPECT_TRUE(!win().tourRunning() && noTourThreads() && dataLockFree());

    win().containSsft()->SetValue(true);
    voiceprint_detail::setThreadCreator(refuse);
    press(frame, ID_MemoTour);
    const bool ended = pumpUntil(noTourThreads);
    voiceprint_detail::setThreadCreator(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(!win().tourRunning() && dataLockFree());
    const Lines lines = newLog();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Error: Can't create thread!"), 2);
}
