#include "FrameHelpers.h"

namespace {

class MemoNavTest : public MemoGroupTest {
protected:
    void searchFor(const wxString& text, bool forward) {
        win().searchtext()->SetValue(text);
        press(frame, forward ? ID_SearchRigth : ID_SearchLeft);
        settle();
    }
    // A move plays its view once; no voiceprint is computed for it.
    void settle() {
        pumpEvents();
        ASSERT_FALSE(win().voiceprintRunning());
    }
};

} // namespace

TEST_F(MemoNavTest, NextAndPreviousVisitTheirOrdersAndPlayOnce) {
    ScopedRecordingSound sound;
    addGroup(0, "a", CArchMemo::Low);
    addGroup(4000, "b", CArchMemo::High);
    addGroup(8000, "c", CArchMemo::Low);
    addGroup(12000, "d", CArchMemo::Mid);
    win().playRepeat()->SetValue(true);
    // Limit (0 High .. 2 Low), direction and start; with the limit Mid only slots 1 and 3 pass.
    // Without a current slot next visits 0, 1, ... and previous 0 first, then 3, 2, 1; from a
    // slot both wrap. High only: the current group is the one that passes.
    const std::tuple<int, bool, int> moves[] = {{2, false, 99}, {1, true, 99}, {1, false, 99},
                                                {1, true, 1},   {1, true, 3},  {1, false, 1},
                                                {1, false, 3},  {0, true, 1}};
    std::vector<int> titles;
    for (const auto& [limit, next, from] : moves) {
        win().priorlimit()->SetSelection(limit);
        next ? frame->moveNextMemo(from) : frame->movePreviousMemo(from);
        settle();
        titles.push_back(win().curTitle());
    }
    EXPECT_EQ(titles, (std::vector<int>{0, 1, 3, 3, 1, 3, 1, 1}));
    EXPECT_EQ(tup(win().prevTitle(), bool(win().tourRunning()), win().playRepeat()->GetValue()),
              tup(1, false, true));
    EXPECT_EQ(playedStarts(sound.recorder),
              (std::vector<int>{0, 4000, 12000, 12000, 4000, 12000, 4000, 4000}));

    // Nothing passes: reported.
    win().memos().subAt(1)->SetMemoPrior(CArchMemo::Mid);
    frame->movePreviousMemo(1);
    EXPECT_EQ(newLog().back(), "memo not found.");
}

TEST_F(MemoNavTest, SearchMovesToTheFirstSlotWithAHitInItsOrder) {
    ScopedRecordingSound sound;
    win().priorlimit()->SetSelection(2);
    addGroup(0, "alpha");
    frame->addTerm("beta zero", 50, 50);
    addGroup(4000, "gamma");
    frame->addTerm("beta one", 50, 50);
    frame->addTerm("beta two", 60, 60);
    addGroup(8000, "delta");
    frame->moveToMemo(0);
    settle();
    sound.recorder.plays.clear();

    searchFor("beta", true); // from slot 0: 1 (two hits), 2, 0
    EXPECT_EQ(tup(win().curTitle(), playedStarts(sound.recorder)), tup(1, std::vector<int>{4000}));
    newLog();
    searchFor("gamma", true);
    searchFor("Gamma", false);
    EXPECT_EQ(tup(newLog(), win().curTitle()),
              tup(Lines{"gamma : found, but same title. not move.", "Gamma : not found."}, 1));
    // Backward from slot 1: 0 first; from slot 0: 2 ("delta") before 1 ("gamma").
    searchFor("beta", false);
    const int back = win().curTitle();
    searchFor("a", false);
    EXPECT_EQ(tup(back, win().curTitle(), bool(win().tourRunning())), tup(0, 2, false));
    // A group above the priority limit is passed over: from slot 2, slot 0 (Low) before 1.
    win().memos().subAt(0)->SetMemoPrior(CArchMemo::Low);
    win().priorlimit()->SetSelection(0);
    searchFor("beta", true);
    EXPECT_EQ(win().curTitle(), 1);
}

TEST_F(MemoNavTest, MoveRestoresTheViewClampedAndShowsTheTitle) {
    const int title = addGroup(20000, "vowel a");
    frame->addTerm("low", 300, 300);
    CArchMemo* term = record(0, 1);
    term->m_freq = 1500;
    addGroup(0, "other");

    frame->moveToMemo(title);
    settle();
    // The title alone, centred on three quarters of the 600 x 400 panel; the text term waits
    // for the voiceprint, its height following its frequency: (6000 - 1500) / 6000.
    ASSERT_EQ(tup(shapes(), win().canvasPanel()->plotKind()), tup(size_t(1), 1));
    EXPECT_EQ(tup(win().curTitle(), win().wave()->m_cursor, shape(0)->m_pos, term->m_relY),
              tup(title, 20000, wxPoint(300, 300) - shape(0)->m_bitmap.GetSize() / 2, 0.75f));
    // The overview marks the 64000-sample window of the whole 64000-sample sound: the 400-pixel
    // panel's plot area from column 2.
    EXPECT_EQ(tup(inside(win().canvasPanelSub()).selX(), inside(win().canvasPanelSub()).selWidth()),
              tup(2, 396));
    // The memo command that shows the group over its voiceprint brings the text term.
    frame->restoreMemo(title);
    ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning(); }));
    EXPECT_EQ(tup(win().canvasPanel()->plotKind(), shapes()), tup(2, size_t(2)));

    // A view from a damaged or foreign list lands inside the sound.
    CArchMemo* param = win().memos().paramAt(0);
    param->m_viewStart = 5000000;
    param->m_viewCursor = -7;
    frame->moveToMemo(title);
    settle();
    EXPECT_EQ(tup(win().curTitle(), win().wave()->m_windowStart, win().wave()->m_cursor),
              tup(title, 0, 32000));

    newLog();
    frame->moveToMemo(42);
    EXPECT_EQ(tup(newLog().back(), win().curTitle(), win().prevTitle()),
              tup("memo not found.", -1, title));
    // Back to the group shown before the failed move.
    frame->moveToLatestMemo();
    EXPECT_EQ(tup(win().curTitle(), win().prevTitle()), tup(title, title));
}

// Labels drawn apart keep their stored places: dragging one memo of a group whose labels overlap
// changes, once saved, that memo's record and no other byte of the list. Its place is kept as
// fractions of the 600 x 400 panel and as the frequency at its height (0 .. 6000 Hz); loading
// puts it back. A list that lost a shape or a mark says the positions were not saved or loaded.
TEST_F(MemoNavTest, DraggingOneMemoChangesOnlyItsRecordAndBrokenListsSaySo) {
    const int title = addGroup(0, "title");
    frame->addTerm("one", 300, 200); // 3000 Hz, drawn at relY 0.5 again
    frame->addTerm("two", 300, 200);
    frame->addTerm("three", 150, 300);
    press(frame, ID_Save);
    const std::string vlh = dir.path() + "/talk.vlh", before = slurp(vlh);
    frame->moveToMemo(title);
    frame->restoreMemo(title); // the group over its voiceprint, with its text terms
    ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning(); }));
    ASSERT_EQ(shapes(), 4u);
    const auto shown = [&](size_t i) {
        return wxRect(shape(i)->shownPos(), shape(i)->m_bitmap.GetSize());
    };
    EXPECT_TRUE(shape(1)->m_pos == shape(2)->m_pos && !shown(1).Intersects(shown(2)));
    // "three", at (150, 300), dragged by (20, 10).
    for (const auto& [type, x, y] : {std::tuple{wxEVT_LEFT_DOWN, 155, 305},
                                     {wxEVT_MOTION, 165, 310},
                                     {wxEVT_LEFT_UP, 175, 315}})
        mouse(win().canvasPanel(), type, x, y, type != wxEVT_LEFT_UP);
    frame->loadMemoPos(); // as every redraw does
    press(frame, ID_Save);
    const wxArrayString old = wxSplit(before, '\n'), now = wxSplit(slurp(vlh), '\n');
    ASSERT_EQ(old.size(), now.size());
    std::vector<size_t> changed;
    for (size_t i = 0; i < old.size(); ++i)
        if (old[i] != now[i])
            changed.push_back(i);
    // Lines 48 to 50: the fourth term record's frequency, relX and relY.
    EXPECT_EQ(changed, (std::vector<size_t>{48, 49, 50}));
    EXPECT_EQ(tup(now[48], now[49], now[50]), tup("1350\r", "0.283333\r", "0.775000\r"));
    DragShape* three = shape(3);
    three->m_pos = {0, 0};
    frame->loadMemoPos();
    EXPECT_EQ(three->m_pos, wxPoint(170, 310));

    newLog();
    win().canvasPanel()->shapes().DeleteObject(three);
    delete three;
    frame->saveMemoPos();
    wxList& marks = win().canvasPanelSub()->shapes();
    auto* mark = static_cast<DragShape*>(marks.GetFirst()->GetData());
    marks.DeleteObject(mark);
    delete mark;
    frame->loadMemoPos();
    EXPECT_EQ(newLog(), (Lines{"memo list wrong, position not saved.",
                               "memo list wrong, position not loaded."}));
}
