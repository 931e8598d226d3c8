#include <chrono>
#include <mutex>
#include <utility>

#include "gui/frame/FrameHelpers.h"
#include "gui/frame/MemoTour.h"
#include "support/MemoGroups.h"

namespace {

using Sleeps = std::vector<unsigned long>;

// What the tour thread asks to sleep; nothing really sleeps.
std::mutex g_sleepsLock;
Sleeps g_sleeps;

void recordSleep(unsigned long ms) {
    std::lock_guard<std::mutex> lock(g_sleepsLock);
    g_sleeps.push_back(ms);
}

Sleeps takeSleeps() {
    std::lock_guard<std::mutex> lock(g_sleepsLock);
    return std::exchange(g_sleeps, {});
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

// The tour's moves as the frame handles them: the title, negative for a voiceprint move.
class TourMoves : public wxEventFilter {
public:
    TourMoves() { wxEvtHandler::AddFilter(this); }
    ~TourMoves() override { wxEvtHandler::RemoveFilter(this); }
    int FilterEvent(wxEvent& event) override {
        const int id = event.GetId();
        if (event.GetEventType() != wxEVT_MENU || (id != ID_MoveToMemo && id != ID_MoveToMemoSsft))
            return Event_Skip;
        const int title = static_cast<wxCommandEvent&>(event).GetInt();
        moves.push_back(id == ID_MoveToMemo ? title : -1 - title);
        return Event_Skip;
    }
    std::vector<int> moves;
};

class MemoTourTest : public MemoGroupTest {
protected:
    void SetUp() override {
        MemoGroupTest::SetUp();
        takeSleeps();
        memo_tour_detail::setSleepFunction(recordSleep);
    }
    void TearDown() override {
        if (frame && frame->m_tourRunning)
            press(frame, ID_LockMemo);
        EXPECT_TRUE(pumpUntil(noTourThreads));
        memo_tour_detail::setSleepFunction(nullptr);
        MemoGroupTest::TearDown();
    }
    void runTour(int id) {
        press(frame, id);
        EXPECT_TRUE(frame->m_tourRunning);
        ASSERT_TRUE(pumpUntil([&] { return !frame->m_tourRunning && noTourThreads(); }));
        EXPECT_TRUE(dataLockFree());
    }

    ScopedRecordingSound sound;
    TourMoves events;
};

} // namespace

TEST_F(MemoTourTest, VisitsEveryGroupOnceFromTheSlotAfterTheCurrentAndPlaysIt) {
    for (int cursor : {0, 4000, 8000, 12000, 16000})
        addGroup(cursor, "group");
    frame->m_curTitle = 2;
    runTour(ID_MemoTourCont);

    EXPECT_EQ(events.moves, (std::vector<int>{3, 4, 0, 1, 2}));
    EXPECT_EQ(playedStarts(sound.recorder), (std::vector<int>{12000, 16000, 0, 4000, 8000}));
    // No pause before the first group; 2.5 s in 500-ms slices before each further one.
    EXPECT_EQ(takeSleeps(),
              cat({{100}, kPause, {100}, kPause, {100}, kPause, {100}, kPause, {100}}));
    EXPECT_EQ(newLog().front(), "memo tour start.");
    EXPECT_EQ(frame->m_curTitle, 2);
}

TEST_F(MemoTourTest, MutedAndBlankPausesSkipGroupsBelowTheLimit) {
    addGroup(0, "a");
    addGroup(4000, "b", CArchMemo::Low);
    addGroup(8000, "c");
    addGroup(12000, "d");
    frame->m_priorlimit->SetSelection(0);

    // Muted: 300 x 2.0 + 500 = 1100 ms between groups, nothing played; "b" is skipped
    // without a pause.
    frame->m_playMute->SetValue(true);
    runTour(ID_MemoTour);
    EXPECT_EQ(events.moves, (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(takeSleeps(), cat({{100}, kMutedPause, {100}, kMutedPause, {100}}));
    EXPECT_TRUE(sound.recorder.plays.empty());

    // "&Add blank": a silent gap as long as the sound plus half a second after each move.
    // Continuing from the last slot starts again at slot 0.
    frame->m_playMute->SetValue(false);
    frame->m_containBlank->SetValue(true);
    ASSERT_EQ(frame->m_curTitle, 3);
    events.moves.clear();
    runTour(ID_MemoTourCont);
    EXPECT_EQ(events.moves, (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(takeSleeps(), cat({{100}, kPause, kPause, {100}, kPause, kPause, {100}, kPause}));
    EXPECT_EQ(playedStarts(sound.recorder), (std::vector<int>{0, 8000, 12000}));
}

TEST_F(MemoTourTest, StopDuringAVoiceprintNeverWaitsForTheTour) {
    addGroup(0, "a");
    addGroup(4000, "b");
    frame->m_containSsft->SetValue(true);
    press(frame, ID_MemoTour);
    ASSERT_TRUE(pumpUntil([&] { return frame->m_voiceprintRunning; }));

    // Without the GUI thread handling the computation's end, the lock stays taken: after its
    // second since the move the tour waits for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (takeSleeps().size() < 2 && std::chrono::steady_clock::now() < deadline)
        wxMilliSleep(5);
    newLog();
    const auto start = std::chrono::steady_clock::now();
    press(frame, ID_LockMemo);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(frame->m_tourRunning);
    const std::vector<std::string> lines = newLog();
    for (const char* line : {"memo tour end.", " thread finished."})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;

    ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning && noTourThreads(); }));
    EXPECT_TRUE(dataLockFree());
    EXPECT_EQ(events.moves, (std::vector<int>{-1}));
    EXPECT_EQ(frame->m_curTitle, 0);
}

TEST_F(MemoTourTest, ClosingTheWindowEndsTheTour) {
    addGroup(0, "a");
    addGroup(4000, "b");
    addGroup(8000, "c");
    press(frame, ID_MemoTour);
    frame->Destroy();
    frame = nullptr;
    pumpEvents();
    EXPECT_TRUE(pumpUntil(noTourThreads));
    EXPECT_TRUE(dataLockFree());
}
