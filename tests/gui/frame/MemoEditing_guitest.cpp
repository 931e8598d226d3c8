#include <limits>
#include <tuple>

#include <wx/textdlg.h>

#include "MemoLists.h"
#include "engine/analysis/CWorkMemory.h"
#include "engine/sound/CWavPara.h"
#include "support/Dialogs.h"
#include "support/SoundFiles.h"

namespace {

using Lines = std::vector<std::string>;

class MemoEditTest : public FrameTest {
protected:
    // A two-second sound (88200 samples), a 600 x 400 main panel on the voiceprint and a
    // 400 x 100 overview; the analysed stretch a quarter into the sound.
    void SetUp() override {
        FrameTest::SetUp();
        frame->m_waveFileName = dir.file("talk.wav", toneWav(2.0, 44100));
        frame->m_chosenFileName = "talk.wav";
        frame->readCommon();
        pumpEvents();
        frame->m_canvasPanel->SetSize(600, 400);
        frame->m_canvasPanelSub->SetSize(400, 100);
        frame->m_canvasPanel->m_plotKind = 2;
        frame->m_wavePara->m_windowStart = 22050;
        frame->m_wavePara->m_cursor = 0;
        ASSERT_EQ(frame->m_wavePara->m_totalSamples, 88200);
        mark = log().size();
    }
    // Log lines since the last call.
    Lines newLog() {
        const Lines all = log();
        Lines lines(all.begin() + std::min(mark, all.size()), all.end());
        mark = all.size();
        return lines;
    }
    DragShape* shape(size_t i) const { return shapeAt(frame->m_canvasPanel->m_shapeList, i); }
    DragShape* plus(size_t i) const { return shapeAt(frame->m_canvasPanelSub->m_shapeList, i); }
    CArchMemo* record(size_t slot, size_t i) const { return memoAt(*frame, slot, i); }
    // Title numbers slot by slot; the four lists must agree.
    std::vector<int> slotTitles() const {
        std::vector<int> titles;
        for (size_t k = 0; k < frame->memoSlotCount(); ++k) {
            titles.push_back(record(k, 0)->m_titleNo);
            EXPECT_EQ(frame->subMemoAt(k)->m_titleNo, titles.back());
            EXPECT_EQ(frame->paramMemoAt(k)->m_titleNo, titles.back());
            EXPECT_EQ(plus(k)->m_titleNo, titles.back());
        }
        return titles;
    }

    // A 40 x 30 picture that "[ImageMemo]=pic.png" names.
    bool savePicture() const {
        return wxImage(40, 30).SaveFile(dir.path() + "/talk-pic.png", wxBITMAP_TYPE_PNG);
    }

    ScratchDir dir;
    size_t mark = 0;
};

} // namespace

TEST_F(MemoEditTest, FirstMemoMakesATitleGroupTheNextATerm) {
    frame->addMemo(150, 100, "");
    EXPECT_EQ(newLog(), (Lines{"memo empty."}));
    EXPECT_EQ(frame->memoSlotCount(), 0u);

    frame->addMemo(150, 100, "vowel a");
    EXPECT_EQ(newLog(), (Lines{"vowel a : add memo as title."}));
    ASSERT_EQ(frame->memoSlotCount(), 1u);
    EXPECT_EQ(frame->m_curTitle, 0);
    const CArchMemo* title = record(0, 0);
    // 0 + 8000 * (1 - 0.25) Hz
    EXPECT_EQ(std::make_tuple(title->m_memoText, title->m_relX, title->m_relY, title->m_freq),
              std::make_tuple(wxString("vowel a"), 0.25f, 0.25f, 6000));
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 1u);
    EXPECT_EQ(shape(0)->m_pos, wxPoint(150, 100));

    // 22050 of 88200 samples: a quarter across the 400-pixel overview, first row.
    EXPECT_EQ(plus(0)->m_pos, wxPoint(100, 0));
    EXPECT_EQ(std::make_pair(frame->subMemoAt(0)->m_relX, frame->subMemoAt(0)->m_relY),
              std::make_pair(0.25f, 0.0f));
    const CArchMemo* param = frame->paramMemoAt(0);
    EXPECT_EQ(param->m_memoText, frame->m_paramBackup);
    EXPECT_EQ(std::make_tuple(param->m_viewStart, param->m_viewCursor, param->m_viewLength),
              std::make_tuple(22050, 0, frame->m_wavePara->m_windowLen));

    frame->addMemo(300, 200, "50% louder");
    EXPECT_EQ(newLog(), (Lines{"50% louder : already title exist, add memo as term."}));
    ASSERT_TRUE(record(0, 1) && shape(1));
    EXPECT_EQ(std::make_pair(record(0, 1)->m_termNo, record(0, 1)->m_freq),
              std::make_pair(1, 4000));
    EXPECT_EQ(std::make_pair(shape(1)->m_termNo, shape(1)->m_pos),
              std::make_pair(1, wxPoint(300, 200)));
}

TEST_F(MemoEditTest, TitlesStepDownTheOverviewAndMoveFirstOrLast) {
    for (int t = 0; t < 5; ++t)
        frame->addTitle(wxString::Format("t%d", t), 10, 10);
    EXPECT_EQ(slotTitles(), (std::vector<int>{0, 1, 2, 3, 4}));
    // A quarter of 100 pixels per title; the fifth wraps at 90: 100 mod 90.
    for (int t = 0; t < 5; ++t)
        EXPECT_EQ(plus(t)->m_pos.y, t < 4 ? 25 * t : 10) << t;
    EXPECT_EQ(frame->subMemoAt(4)->m_relY, 0.1f);

    frame->moveMemoToFirst(4);
    EXPECT_EQ(slotTitles(), (std::vector<int>{4, 0, 1, 2, 3}));
    frame->moveMemoToLast(0);
    EXPECT_EQ(slotTitles(), (std::vector<int>{4, 1, 2, 3, 0}));
    frame->moveMemoToFirst(99);
    EXPECT_EQ(newLog(),
              (Lines{"move memo to list first.", "move memo to list last.", "memo not found."}));

    // The last slot's title + 1 is taken by now: the new group gets one past the largest.
    frame->addTitle("new", 10, 10);
    EXPECT_EQ(frame->m_curTitle, 5);
    EXPECT_EQ(slotTitles().back(), 5);
}

TEST_F(MemoEditTest, APictureAsFirstMemoGetsATitleMadeForIt) {
    ASSERT_TRUE(savePicture());

    frame->addMemo(30, 40, "[ImageMemo]=pic.png");
    EXPECT_EQ(newLog(), (Lines{"[ImageMemo]=pic.png : add memo as title."}));
    ASSERT_EQ(frame->memoSlotCount(), 1u);
    ASSERT_EQ(frame->termListAt(0)->GetCount(), 2u);
    EXPECT_EQ(record(0, 0)->m_memoText, "Create by Vocalith for ImageMemo");
    EXPECT_EQ(record(0, 1)->m_memoText, "[ImageMemo]=pic.png");
    EXPECT_EQ(shape(0)->m_pos, wxPoint(5, 5));
    ASSERT_NE(shape(1), nullptr);
    EXPECT_EQ(std::make_tuple(shape(1)->m_bitmap.GetSize(), shape(1)->m_pos, shape(1)->m_termNo),
              std::make_tuple(wxSize(40, 30), wxPoint(30, 40), 1));
}

TEST_F(MemoEditTest, TermsOnTheLevelPlotWaitForTheVoiceprint) {
    frame->m_canvasPanel->m_plotKind = 1;
    frame->addMemo(150, 100, "title");
    frame->addMemo(300, 200, "term");
    EXPECT_EQ(frame->termListAt(0)->GetCount(), 2u);
    EXPECT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 1u);

    // Back on the voiceprint, now showing 0..6000 Hz: heights follow the frequencies, and
    // the title at 6000 Hz sits on the top edge.
    frame->m_canvasPanel->m_plotKind = 2;
    frame->m_wavePara->m_freqHigh = 6000;
    frame->reAddMemo();
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 2u);
    EXPECT_EQ(shape(0)->m_pos, wxPoint(150, 0));
    EXPECT_EQ(shape(1)->m_pos, wxPoint(300, 133)); // 400 * 2000 / 6000

    // Memos outside the range are left out; a damaged place still lands on the panel.
    frame->m_wavePara->m_freqHigh = 5000;
    record(0, 1)->m_relX = std::numeric_limits<float>::quiet_NaN();
    frame->reAddMemo();
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 1u);
    EXPECT_EQ(shape(0)->m_pos, wxPoint(0, 80)); // 400 * 1000 / 5000
}

TEST_F(MemoEditTest, SortingOrdersSlotsByPlaceKeepingEqualOnesInOrder) {
    for (int t = 0; t < 3; ++t)
        frame->addTitle("g", 10, 10);
    frame->subMemoAt(0)->m_relX = 0.5f;
    frame->subMemoAt(1)->m_relX = 0.2f;
    frame->subMemoAt(2)->m_relX = 0.5f;
    frame->sortMemoByTime();
    EXPECT_EQ(slotTitles(), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(newLog(), (Lines{"sorting memo by time"}));

    // No place below 2.0 left to choose: reported, the placed slots stay.
    frame->subMemoAt(1)->m_relX = 3.0f;
    frame->subMemoAt(2)->m_relX = 0.1f;
    frame->sortMemoByTime();
    EXPECT_EQ(slotTitles(), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(newLog(), (Lines{"memo list wrong."}));
}

TEST_F(MemoEditTest, DeletingGroupsAndTerms) {
    frame->addMemo(150, 100, "first");
    frame->addMemo(150, 100, "gone");
    frame->addMemo(150, 150, "kept");
    newLog();

    frame->deleteMemo(0, 1);
    EXPECT_EQ(newLog(), Lines{});
    ASSERT_EQ(frame->termListAt(0)->GetCount(), 2u);
    EXPECT_EQ(record(0, 1)->m_memoText, "kept");
    EXPECT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 2u);
    frame->deleteMemo(0, 1);
    EXPECT_EQ(newLog(), (Lines{"memo not found.", "memo not found."}));

    frame->deleteMemo(7, 0);
    EXPECT_EQ(newLog(), Lines(4, "memo not found."));
    EXPECT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 0u);
    EXPECT_EQ(frame->m_curTitle, -1);
    EXPECT_EQ(frame->memoSlotCount(), 1u);

    // A group and all its records go; nothing is left behind for the leak checker.
    frame->deleteMemo(0, 0);
    EXPECT_EQ(newLog(), Lines{});
    EXPECT_EQ(frame->memoSlotCount(), 0u);
    EXPECT_EQ(frame->m_titleSubList.GetCount() + frame->m_paramMemoList.GetCount() +
                  frame->m_canvasPanelSub->m_shapeList.GetCount(),
              0u);
}

TEST_F(MemoEditTest, EditingThroughTheDialog) {
    frame->addMemo(150, 100, "title");
    frame->addMemo(300, 200, "old");
    frame->setProirSubTitle(0, DragShape::Mid);
    DragShape* before = shape(1);
    newLog();

    wxTEST_DIALOG(frame->editMemo(0, 1),
                  ExpectTextEntry("please, input memo.", "old", "new text", wxID_OK));
    EXPECT_EQ(newLog(), Lines{});
    EXPECT_EQ(record(0, 1)->m_memoText, "new text");
    EXPECT_NE(shape(1), before);
    EXPECT_EQ(std::make_tuple(shape(1)->m_shapeText, shape(1)->m_pos, shape(1)->m_dispPrior),
              std::make_tuple(wxString("new text"), wxPoint(300, 200), DragShape::Mid));

    wxTEST_DIALOG(frame->editMemo(0, 1),
                  ExpectTextEntry("please, input memo.", "new text", "ignored", wxID_CANCEL));
    wxTEST_DIALOG(frame->editMemo(0, 1),
                  ExpectTextEntry("please, input memo.", "new text", "", wxID_OK));
    EXPECT_EQ(newLog(), (Lines{"quit edit memo.", "quit edit memo."}));
    EXPECT_EQ(record(0, 1)->m_memoText, "new text");

    frame->editMemo(0, 9);
    EXPECT_EQ(newLog(), (Lines{"memo not found.", "memo not found."}));
}

TEST_F(MemoEditTest, PriorityReRendersShapesAndCounts) {
    frame->calcPriorStats();
    EXPECT_EQ(newLog(), Lines{});

    ASSERT_TRUE(savePicture());
    frame->addTitle("other", 10, 10);
    frame->addTitle("low", 10, 10);
    frame->addTerm("term", 300, 200);
    frame->addTerm("[ImageMemo]=pic.png", 100, 300);
    frame->addTitle("mid", 10, 10);
    frame->setProirSubTitle(2, DragShape::Mid);
    frame->m_curTitle = 1;
    frame->reAddMemo();
    const DragShape* oldPlus = plus(1);
    const DragShape* oldPicture = shape(2);
    ASSERT_NE(oldPicture, nullptr);

    frame->setProirSubTitle(1, DragShape::Low);
    EXPECT_EQ(frame->subMemoAt(1)->m_prior, "2");
    // Every shape of the group is made anew in azure, the "+" keeping its place.
    EXPECT_NE(plus(1), oldPlus);
    EXPECT_NE(shape(2), oldPicture);
    EXPECT_EQ(plus(1)->m_pos, wxPoint(100, 25));
    EXPECT_EQ(shape(2)->m_bitmap.GetSize(), wxSize(40, 30));
    for (const DragShape* s : {plus(1), shape(0), shape(1), shape(2)}) {
        EXPECT_EQ(s->m_dispPrior, DragShape::Low);
        EXPECT_TRUE(s == shape(2) || hasColour(*s, wxColour(0, 127, 255)));
        EXPECT_FALSE(hasColour(*s, wxColour(255, 0, 0)));
    }
    frame->setProirSubTitle(8, DragShape::High);
    EXPECT_EQ(newLog(), (Lines{"memo not found."}));

    frame->calcPriorStats();
    EXPECT_EQ(newLog(), (Lines{"Priority Stats : ", "Total = 3", "Priority High = 1",
                               "Priority Mid = 1", "Priority Low = 1"}));
    const auto passing = [&](int limit) {
        frame->m_priorLimit = limit;
        return std::vector<bool>{frame->isExecByMemoPrior(0), frame->isExecByMemoPrior(1),
                                 frame->isExecByMemoPrior(2), frame->isExecByMemoPrior(3)};
    };
    EXPECT_EQ(passing(1), (std::vector<bool>{true, false, true, false})); // High, Low, Mid
    EXPECT_EQ(passing(2), (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(newLog(), Lines(2, "memo list wrong."));
}

TEST_F(MemoEditTest, NothingChangesWhileBusyAndRestoreRecomputes) {
    frame->addMemo(150, 100, "title");
    frame->addMemo(300, 200, "term");
    frame->m_paramBackup = "changed";
    newLog();

    frame->m_tourRunning = true;
    EXPECT_TRUE(frame->busy());
    frame->addMemo(10, 10, "more");
    frame->editMemo(0, 1); // a dialog here would fail the test
    frame->deleteMemo(0, 0);
    frame->replaceMemo(0);
    frame->setProirSubTitle(0, DragShape::Low);
    frame->sortMemoByTime();
    frame->moveMemoToLast(0);
    frame->restoreMemo(0);
    EXPECT_EQ(newLog(), Lines{});
    EXPECT_EQ(frame->termListAt(0)->GetCount(), 2u);
    EXPECT_EQ(frame->subMemoAt(0)->m_prior, "");
    EXPECT_NE(frame->paramMemoAt(0)->m_memoText, "changed");
    EXPECT_FALSE(frame->m_voiceprintRunning);
    frame->m_tourRunning = false;

    frame->replaceMemo(0);
    EXPECT_EQ(frame->paramMemoAt(0)->m_memoText, "changed");
    frame->replaceMemo(3);
    EXPECT_EQ(newLog(), (Lines{"memo not found."}));

    // A few frames keep the computation short; the shapes come back on the new voiceprint.
    ASSERT_EQ(frame->m_workPara->setSize(4096, frame->m_wavePara->m_windowLen,
                                         CWorkMemory::senseNormal, 512, 20),
              CWorkMemory::resultOk);
    frame->analyseStretch();
    frame->restoreMemo(0);
    EXPECT_TRUE(frame->m_voiceprintRunning);
    ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning; }));
    EXPECT_EQ(frame->m_curTitle, 0);
    EXPECT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 2u);
    ASSERT_EQ(wxGetApp().m_dataLock.TryLock(), wxMUTEX_NO_ERROR);
    wxGetApp().m_dataLock.Unlock();
}
