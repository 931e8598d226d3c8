#include "MemoLists.h"
#include "support/MemoGroups.h"

namespace {

class MemoNavTest : public MemoGroupTest {
protected:
    void searchFor(const wxString& text, bool forward) {
        frame->m_searchtext->SetValue(text);
        wxCommandEvent press(wxEVT_BUTTON, forward ? ID_SearchRigth : ID_SearchLeft);
        frame->ProcessWindowEvent(press);
    }
};

} // namespace

TEST_F(MemoNavTest, NextAndPreviousVisitTheirOrdersAndPlayOnce) {
    ScopedRecordingSound sound;
    addGroup(0, "a", CArchMemo::Low);
    addGroup(4000, "b", CArchMemo::High);
    addGroup(8000, "c", CArchMemo::Low);
    addGroup(12000, "d", CArchMemo::Mid);
    frame->m_playRepeat->SetValue(true);
    // Limit (0 High .. 2 Low), direction and start; with the limit Mid only slots 1 and 3 pass.
    // Without a current slot next visits 0, 1, ... and previous 0 first, then 3, 2, 1; from a
    // slot both wrap. High only: the current group is the one that passes.
    const std::tuple<int, bool, int> moves[] = {{2, false, 99}, {1, true, 99}, {1, false, 99},
                                                {1, true, 1},   {1, true, 3},  {1, false, 1},
                                                {1, false, 3},  {0, true, 1}};
    std::vector<int> titles;
    for (const auto& [limit, next, from] : moves) {
        frame->m_priorlimit->SetSelection(limit);
        next ? frame->moveNextMemo(from) : frame->movePreviousMemo(from);
        titles.push_back(frame->m_curTitle);
    }
    EXPECT_EQ(titles, (std::vector<int>{0, 1, 3, 3, 1, 3, 1, 1}));
    EXPECT_EQ(tup(frame->m_prevTitle, bool(frame->m_tourRunning), frame->m_playRepeat->GetValue()),
              tup(1, false, true));
    EXPECT_EQ(playedStarts(sound.recorder),
              (std::vector<int>{0, 4000, 12000, 12000, 4000, 12000, 4000, 4000}));
    for (const auto& p : sound.recorder.plays)
        EXPECT_EQ(p.flags, unsigned(wxSOUND_ASYNC)); // once, not looped

    // Nothing passes: each way reports it.
    frame->subMemoAt(1)->SetMemoPrior(CArchMemo::Mid);
    newLog();
    frame->moveNextMemo(1);
    frame->movePreviousMemo(1);
    searchFor("b", true);
    EXPECT_EQ(newLog(), (Lines{"memo not found.", "memo not found.", "b : not found."}));
}

TEST_F(MemoNavTest, SearchMovesToTheFirstSlotWithAHitInItsOrder) {
    ScopedRecordingSound sound;
    frame->m_priorlimit->SetSelection(2);
    addGroup(0, "alpha");
    frame->addTerm("beta zero", 50, 50);
    addGroup(4000, "gamma");
    frame->addTerm("beta one", 50, 50);
    frame->addTerm("beta two", 60, 60);
    addGroup(8000, "delta");
    frame->moveToMemo(0);
    sound.recorder.plays.clear();

    searchFor("beta", true); // from slot 0: 1 (two hits), 2, 0
    EXPECT_EQ(tup(frame->m_curTitle, playedStarts(sound.recorder)), tup(1, std::vector<int>{4000}));
    newLog();
    searchFor("gamma", true);
    searchFor("Gamma", false);
    searchFor("", true);
    EXPECT_EQ(newLog(), (Lines{"gamma : found, but same title. not move.", "Gamma : not found."}));
    EXPECT_EQ(frame->m_curTitle, 1);
    searchFor("beta", false); // from slot 1 backward: 0 first
    EXPECT_EQ(frame->m_curTitle, 0);
    searchFor("a", false); // from slot 0 backward: 2 ("delta") before 1 ("gamma")
    EXPECT_EQ(tup(frame->m_curTitle, bool(frame->m_tourRunning)), tup(2, false));
}

TEST_F(MemoNavTest, MoveRestoresTheViewClampedAndShowsTheTitle) {
    const int title = addGroup(20000, "vowel a");
    frame->addTerm("low", 300, 300);
    CArchMemo* term = memoAt(*frame, 0, 1);
    term->m_freq = 1500;
    addGroup(0, "other");

    frame->moveToMemo(title);
    // The title alone, centred on three quarters of the 600 x 400 panel; the text term waits
    // for the voiceprint, its height following its frequency: (6000 - 1500) / 6000.
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 1u);
    DragShape* shape = shapeAt(frame->m_canvasPanel->m_shapeList, 0);
    const wxSize b = shape->m_bitmap.GetSize();
    EXPECT_EQ(tup(frame->m_curTitle, frame->m_wavePara->m_cursor, shape->m_pos, term->m_relY),
              tup(title, 20000, wxPoint(300 - b.x / 2, 300 - b.y / 2), 0.75f));

    // A dragged title is stored (the term without a shape is reported) and "&Redraw" puts it
    // back from the record.
    frame->m_canvasPanel->m_plotKind = 2;
    shape->m_pos = wxPoint(150, 100);
    newLog();
    frame->saveMemoPos();
    EXPECT_EQ(newLog(), (Lines{"memo list wrong, position not saved."}));
    EXPECT_EQ(tup(memoAt(*frame, 0, 0)->m_relX, memoAt(*frame, 0, 0)->m_freq),
              tup(0.25f, 4500)); // 0 + 6000 * (1 - 0.25)
    shape->m_pos = wxPoint(0, 0);
    wxCommandEvent redraw(wxEVT_BUTTON, ID_Restore);
    frame->ProcessWindowEvent(redraw);
    EXPECT_EQ(shape->m_pos, wxPoint(150, 100));

    // A view from a damaged or foreign list lands inside the sound; an empty frequency range
    // keeps the stored height.
    CArchMemo* param = frame->paramMemoAt(0);
    param->m_viewStart = 5000000;
    param->m_viewCursor = -7;
    param->m_memoText.Replace("[FreqrRnage]=[0,6000]", "[FreqrRnage]=[1500,1500]");
    term->m_relY = 0.3f;
    frame->moveToMemo(title);
    EXPECT_EQ(tup(frame->m_curTitle, frame->m_wavePara->m_windowStart, frame->m_wavePara->m_cursor,
                  frame->m_wavePara->m_freqLow, term->m_relY),
              tup(title, 0, 32000, 1500, 0.3f));

    frame->moveToMemo(42);
    EXPECT_EQ(tup(newLog().back(), frame->m_curTitle, frame->m_prevTitle),
              tup("memo not found.", -1, title));
}
