#include <limits>

#include "MemoLists.h"
#include "engine/analysis/CWorkMemory.h"
#include "support/Dialogs.h"

namespace {

const wxString kNotFound = "image file not found. will you edit this ?";
const wxString kBadSize = "image size not good. will you edit this ?";

class MemoEditTest : public MemoFrameTest {
protected:
    // A two-second sound (88200 samples), a 600 x 400 main panel on the voiceprint and a
    // 400 x 100 overview; the analysed stretch a quarter into the sound.
    void SetUp() override {
        FrameTest::SetUp();
        open(dir.file("talk.wav", toneWav(2.0, 44100)));
        frame->m_canvasPanel->SetSize(600, 400);
        frame->m_canvasPanelSub->SetSize(400, 100);
        frame->m_canvasPanel->m_plotKind = 2;
        frame->m_wavePara->m_windowStart = 22050;
        frame->m_wavePara->m_cursor = 0;
        mark = log().size();
    }
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
    // A picture of one colour that "[ImageMemo]=<name>" names.
    void picture(const std::string& name, int width, int height) {
        wxImage image(width, height);
        image.SetRGB(wxRect(0, 0, width, height), 10, 200, 30);
        ASSERT_TRUE(image.SaveFile(dir.path() + "/talk-" + name, wxBITMAP_TYPE_PNG));
    }
    // Where a shape is, its numbers and priority.
    static auto placed(const DragShape* s) {
        return tup(s->m_pos, s->m_titleNo, s->m_termNo, int(s->m_dispPrior));
    }
};

using ImageMemoTest = MemoEditTest;

} // namespace

TEST_F(MemoEditTest, FirstMemoMakesATitleGroupTheNextATerm) {
    frame->addMemo(150, 100, "");
    frame->addMemo(150, 100, "vowel a");
    frame->addMemo(300, 200, "50% louder");
    EXPECT_EQ(newLog(), (Lines{"memo empty.", "vowel a : add memo as title.",
                               "50% louder : already title exist, add memo as term."}));
    ASSERT_TRUE(frame->memoSlotCount() == 1 && record(0, 1) && shape(1));
    const CArchMemo* title = record(0, 0);
    // 0 + 8000 * (1 - 0.25) Hz
    EXPECT_EQ(
        tup(frame->m_curTitle, title->m_memoText, title->m_relX, title->m_relY, title->m_freq),
        tup(0, "vowel a", 0.25f, 0.25f, 6000));
    EXPECT_EQ(tup(record(0, 1)->m_termNo, record(0, 1)->m_freq, shape(0)->m_pos, shape(1)->m_termNo,
                  shape(1)->m_pos),
              tup(1, 4000, wxPoint(150, 100), 1, wxPoint(300, 200)));
    // 22050 of 88200 samples: a quarter across the 400-pixel overview, first row.
    EXPECT_EQ(tup(plus(0)->m_pos, frame->subMemoAt(0)->m_relX, frame->subMemoAt(0)->m_relY),
              tup(wxPoint(100, 0), 0.25f, 0.0f));
    const CArchMemo* param = frame->paramMemoAt(0);
    EXPECT_EQ(tup(param->m_memoText, param->m_viewStart, param->m_viewCursor, param->m_viewLength),
              tup(frame->m_paramBackup, 22050, 0, frame->m_wavePara->m_windowLen));
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
    EXPECT_EQ(newLog().back(), "memo not found.");
    // The last slot's title + 1 is taken by now: the new group gets one past the largest.
    frame->addTitle("new", 10, 10);
    EXPECT_EQ(tup(frame->m_curTitle, slotTitles().back()), tup(5, 5));
}

TEST_F(MemoEditTest, TermsOnTheLevelPlotWaitForTheVoiceprint) {
    frame->m_canvasPanel->m_plotKind = 1;
    frame->addMemo(150, 100, "title");
    frame->addMemo(300, 200, "term");
    EXPECT_EQ(tup(frame->termListAt(0)->GetCount(), shapes()), tup(2u, 1u));

    // Back on the voiceprint, now showing 0..6000 Hz: heights follow the frequencies, and
    // the title at 6000 Hz sits on the top edge.
    frame->m_canvasPanel->m_plotKind = 2;
    frame->m_wavePara->m_freqHigh = 6000;
    frame->reAddMemo();
    ASSERT_EQ(shapes(), 2u);
    EXPECT_EQ(tup(shape(0)->m_pos, shape(1)->m_pos),
              tup(wxPoint(150, 0), wxPoint(300, 133))); // 400 * 2000 / 6000

    // Memos outside the range are left out; a damaged place still lands on the panel.
    frame->m_wavePara->m_freqHigh = 5000;
    record(0, 1)->m_relX = std::numeric_limits<float>::quiet_NaN();
    frame->reAddMemo();
    ASSERT_EQ(shapes(), 1u);
    EXPECT_EQ(shape(0)->m_pos, wxPoint(0, 80)); // 400 * 1000 / 5000
}

TEST_F(MemoEditTest, SortingOrdersSlotsByPlaceKeepingEqualOnesInOrder) {
    const auto sortAt = [&](float a, float b, float c) {
        for (size_t k = 0; k < 3; ++k)
            frame->subMemoAt(k)->m_relX = k == 0 ? a : k == 1 ? b : c;
        frame->sortMemoByTime();
        return slotTitles();
    };
    for (int t = 0; t < 3; ++t)
        frame->addTitle("g", 10, 10);
    EXPECT_EQ(sortAt(0.5f, 0.2f, 0.5f), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(newLog(), Lines{"sorting memo by time"});
    // No place below 2.0 left to choose: reported, the placed slots stay.
    EXPECT_EQ(sortAt(0.2f, 3.0f, 0.1f), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(newLog(), (Lines{"memo list wrong."}));
}

TEST_F(MemoEditTest, DeletingGroupsAndTermsThenAPictureAsFirstMemo) {
    frame->addMemo(150, 100, "first");
    frame->addMemo(150, 100, "gone");
    frame->addMemo(150, 150, "kept");
    newLog();
    frame->deleteMemo(0, 1);
    EXPECT_EQ(newLog(), Lines{});
    ASSERT_EQ(frame->termListAt(0)->GetCount(), 2u);
    EXPECT_EQ(tup(record(0, 1)->m_memoText, shapes()), tup("kept", 2u));
    frame->deleteMemo(0, 1);
    frame->deleteMemo(7, 0);
    EXPECT_EQ(newLog(), Lines(6, "memo not found."));
    EXPECT_EQ(tup(shapes(), frame->m_curTitle, frame->memoSlotCount()), tup(0u, -1, 1u));

    // A group and all its records go; nothing is left behind for the leak checker.
    frame->deleteMemo(0, 0);
    EXPECT_EQ(newLog(), Lines{});
    EXPECT_EQ(tup(frame->memoSlotCount(), frame->m_titleSubList.GetCount(),
                  frame->m_paramMemoList.GetCount(), pluses()),
              tup(0u, 0u, 0u, 0u));

    picture("pic.png", 40, 30);
    frame->addMemo(30, 40, "[ImageMemo]=pic.png");
    EXPECT_EQ(newLog(), (Lines{"[ImageMemo]=pic.png : add memo as title."}));
    ASSERT_TRUE(frame->memoSlotCount() == 1 && record(0, 1) && !record(0, 2) && shape(1));
    EXPECT_EQ(tup(record(0, 0)->m_memoText, record(0, 1)->m_memoText),
              tup("Create by Vocalith for ImageMemo", "[ImageMemo]=pic.png"));
    EXPECT_EQ(
        tup(shape(0)->m_pos, shape(1)->m_bitmap.GetSize(), shape(1)->m_pos, shape(1)->m_termNo),
        tup(wxPoint(5, 5), wxSize(40, 30), wxPoint(30, 40), 1));
}

TEST_F(MemoEditTest, EditingThroughTheDialog) {
    frame->addMemo(150, 100, "title");
    frame->addMemo(300, 200, "old");
    frame->setProirSubTitle(0, DragShape::Mid);
    newLog();
    const auto edit = [&](const char* offered, const char* typed, int button) {
        wxTEST_DIALOG(frame->editMemo(0, 1),
                      ExpectTextEntry("please, input memo.", offered, typed, button));
    };
    edit("old", "new text", wxID_OK);
    EXPECT_EQ(newLog(), Lines{});
    EXPECT_EQ(tup(record(0, 1)->m_memoText, shape(1)->m_shapeText, shape(1)->m_pos,
                  shape(1)->m_dispPrior),
              tup("new text", "new text", wxPoint(300, 200), DragShape::Mid));
    edit("new text", "ignored", wxID_CANCEL);
    edit("new text", "", wxID_OK);
    frame->editMemo(0, 9);
    EXPECT_EQ(newLog(),
              (Lines{"quit edit memo.", "quit edit memo.", "memo not found.", "memo not found."}));
    EXPECT_EQ(record(0, 1)->m_memoText, "new text");
}

TEST_F(MemoEditTest, PriorityReRendersShapesAndCounts) {
    frame->calcPriorStats();
    EXPECT_EQ(newLog(), Lines{});

    picture("pic.png", 40, 30);
    frame->addTitle("other", 10, 10);
    frame->addTitle("low", 10, 10);
    frame->addTerm("term", 300, 200);
    frame->addTerm("[ImageMemo]=pic.png", 100, 300);
    frame->addTitle("mid", 10, 10);
    frame->setProirSubTitle(2, DragShape::Mid);
    frame->m_curTitle = 1;
    frame->reAddMemo();
    ASSERT_NE(shape(2), nullptr);

    frame->setProirSubTitle(1, DragShape::Low);
    EXPECT_EQ(frame->subMemoAt(1)->m_prior, "2");
    // Every shape of the group is made anew in azure, the "+" keeping its place; the picture
    // keeps its own colours.
    EXPECT_EQ(tup(plus(1)->m_pos, shape(2)->m_bitmap.GetSize()),
              tup(wxPoint(100, 25), wxSize(40, 30)));
    for (const DragShape* s : {plus(1), shape(0), shape(1), shape(2)}) {
        EXPECT_EQ(s->m_dispPrior, DragShape::Low);
        EXPECT_EQ(hasColour(*s, wxColour(0, 127, 255)), s != shape(2));
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
    frame->addMemo(10, 10, "more");
    frame->editMemo(0, 1); // a dialog here would fail the test
    frame->deleteMemo(0, 0);
    frame->replaceMemo(0);
    frame->setProirSubTitle(0, DragShape::Low);
    frame->sortMemoByTime();
    frame->moveMemoToLast(0);
    frame->restoreMemo(0);
    EXPECT_EQ(newLog(), Lines{});
    EXPECT_EQ(tup(frame->termListAt(0)->GetCount(), frame->subMemoAt(0)->m_prior,
                  bool(frame->m_voiceprintRunning)),
              tup(2u, "", false));
    EXPECT_NE(frame->paramMemoAt(0)->m_memoText, "changed");
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
    EXPECT_EQ(tup(frame->m_curTitle, shapes()), tup(0, 2u));
    ASSERT_EQ(wxGetApp().m_dataLock.TryLock(), wxMUTEX_NO_ERROR);
    wxGetApp().m_dataLock.Unlock();
}

TEST_F(ImageMemoTest, PicturesOfAcceptedSizesAreShownOthersReplacedByText) {
    picture("fig.png", 200, 100);
    picture("wide.png", 201, 100);
    picture("small.png", 19, 50);
    dir.file("talk-text.png", "not a picture at all");
    // A valid start of a PNG claiming 100000 x 100000 pixels, and nothing after it.
    dir.file("talk-huge.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\x01\x86\xA0"
                                          "\0\x01\x86\xA0\x08\x02\0\0\0",
                                          29));
    const wxString figure = "look: [ImageMemo]=fig.png \t ";
    frame->readImageMemo(figure, 10, 20, 3, 4, DragShape::Mid);
    ASSERT_EQ(shapes(), 1u);
    EXPECT_EQ(tup(shape(0)->m_bitmap.GetSize(), shape(0)->m_shapeText),
              tup(wxSize(200, 100), figure));
    EXPECT_EQ(placed(shape(0)), tup(wxPoint(10, 20), 3, 4, int(DragShape::Mid)));
    EXPECT_TRUE(hasColour(*shape(0), wxColour(10, 200, 30))); // not recoloured by priority

    const std::pair<const char*, wxString> standIns[] = {
        {"[ImageMemo]=wide.png", kBadSize},  {"[ImageMemo]=small.png", kBadSize},
        {"[ImageMemo]=huge.png", kBadSize},  {"[ImageMemo]=missing.png", kNotFound},
        {"[ImageMemo]=text.png", kNotFound},
    };
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(standIns[i].first);
        frame->readImageMemo(standIns[i].first, 5, 6, 3, 7, DragShape::Low);
        ASSERT_EQ(shapes(), i + 2);
        EXPECT_EQ(shape(i + 1)->m_shapeText, standIns[i].second);
        EXPECT_EQ(placed(shape(i + 1)), tup(wxPoint(5, 6), 3, 7, int(DragShape::Low)));
        EXPECT_TRUE(hasColour(*shape(i + 1), DragShape::PriorColour(DragShape::Low)));
    }
    // No marker: logged once, no shape.
    frame->readImageMemo("fig.png", 0, 0, 3, 8, DragShape::High);
    EXPECT_EQ(shapes(), 6u);
    EXPECT_EQ(newLog(), (Lines{"[ImageMemo]= not found"}));

    // The missing picture turns up: its stand-in is replaced in its node, keeping its place,
    // priority, numbers and the highlight; the neighbours stay.
    frame->m_canvasPanel->m_highlightedShape = shape(4);
    picture("missing.png", 20, 20);
    wxList::compatibility_iterator node = frame->m_canvasPanel->m_shapeList.Item(4);
    frame->replaceImageMemo(node, "[ImageMemo]=missing.png");
    ASSERT_EQ(shapes(), 6u);
    DragShape* now = shape(4);
    EXPECT_EQ(tup(now->m_bitmap.GetSize(), now->m_shapeText,
                  frame->m_canvasPanel->m_highlightedShape, shape(5)->m_shapeText),
              tup(wxSize(20, 20), "[ImageMemo]=missing.png", now, kNotFound));
    EXPECT_EQ(placed(now), tup(wxPoint(5, 6), 3, 7, int(DragShape::Low)));
    // A text without the marker leaves the shape; a null node does nothing.
    frame->replaceImageMemo(node, "plain text");
    EXPECT_EQ(shape(4), now);
    frame->replaceImageMemo(wxList::compatibility_iterator(), "[ImageMemo]=missing.png");
    EXPECT_EQ(shapes(), 6u);
}
