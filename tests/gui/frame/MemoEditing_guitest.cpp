#include "MemoLists.h"
#include "engine/analysis/CWorkMemory.h"
#include "support/Dialogs.h"

namespace {

const wxString kNotFound = "image file not found. will you edit this ?";
const wxString kBadSize = "image size not good. will you edit this ?";
using Ints = std::vector<int>;

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
    Ints slotTitles() const {
        Ints titles;
        for (size_t k = 0; k < frame->memoSlotCount(); ++k) {
            titles.push_back(record(k, 0)->m_titleNo);
            EXPECT_EQ(tup(frame->subMemoAt(k)->m_titleNo, frame->paramMemoAt(k)->m_titleNo,
                          plus(k)->m_titleNo),
                      tup(titles.back(), titles.back(), titles.back()));
        }
        return titles;
    }
    // A picture of one colour that "[ImageMemo]=<name>" names.
    void picture(const std::string& name, int width, int height) {
        wxImage image(width, height);
        image.SetRGB(wxRect(0, 0, width, height), 10, 200, 30);
        ASSERT_TRUE(image.SaveFile(dir.path() + "/talk-" + name, wxBITMAP_TYPE_PNG));
    }
    // Where a shape is, its numbers, priority and text.
    static auto placed(const DragShape* s) {
        return tup(s->m_pos, s->m_titleNo, s->m_termNo, int(s->m_dispPrior), s->m_shapeText);
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
    // 0 + 8000 * (1 - 0.25) Hz. The "+": 22050 of 88200 samples, a quarter across the
    // 400-pixel overview, first row.
    EXPECT_EQ(tup(frame->m_curTitle, title->m_memoText, title->m_relX, title->m_relY, title->m_freq,
                  record(0, 1)->m_termNo, record(0, 1)->m_freq, shape(0)->m_pos, shape(1)->m_pos,
                  plus(0)->m_pos, frame->subMemoAt(0)->m_relX),
              tup(0, "vowel a", 0.25f, 0.25f, 6000, 1, 4000, wxPoint(150, 100), wxPoint(300, 200),
                  wxPoint(100, 0), 0.25f));
    EXPECT_EQ(tup(frame->paramMemoAt(0)->m_memoText, frame->paramMemoAt(0)->m_viewStart),
              tup(frame->m_paramBackup, 22050));
}

TEST_F(MemoEditTest, TitlesStepDownTheOverviewAndMoveOrSort) {
    Ints rows;
    for (int t = 0; t < 5; ++t) {
        frame->addTitle(wxString::Format("t%d", t), 10, 10);
        rows.push_back(plus(t)->m_pos.y);
    }
    // A quarter of 100 pixels per title; the fifth wraps at 90: 100 mod 90.
    EXPECT_EQ(tup(slotTitles(), rows, frame->subMemoAt(4)->m_relY),
              tup(Ints{0, 1, 2, 3, 4}, Ints{0, 25, 50, 75, 10}, 0.1f));
    frame->moveMemoToFirst(4);
    EXPECT_EQ(slotTitles(), (Ints{4, 0, 1, 2, 3}));
    frame->moveMemoToLast(0);
    frame->moveMemoToFirst(99);
    EXPECT_EQ(tup(slotTitles(), newLog()),
              tup(Ints{4, 1, 2, 3, 0},
                  Lines{"move memo to list first.", "move memo to list last.", "memo not found."}));

    const auto sortAt = [&](std::vector<float> places) {
        for (size_t k = 0; k < places.size(); ++k)
            frame->subMemoAt(k)->m_relX = places[k];
        frame->sortMemoByTime();
        return tup(slotTitles(), newLog());
    };
    // Equal places keep their order; with no place below 2.0 left to choose the rest stays.
    EXPECT_EQ(sortAt({0.5f, 0.2f, 0.5f, 0.9f, 0.1f}),
              tup(Ints{0, 1, 4, 2, 3}, Lines{"sorting memo by time"}));
    EXPECT_EQ(sortAt({0.2f, 3.0f, 0.1f, 0.4f, 0.3f}),
              tup(Ints{4, 0, 3, 2, 1}, Lines{"memo list wrong."}));
    // The last slot's title + 1 is taken: the new group gets one past the largest.
    frame->addTitle("new", 10, 10);
    EXPECT_EQ(tup(frame->m_curTitle, slotTitles().back()), tup(5, 5));
}

TEST_F(MemoEditTest, DeletingGroupsAndTermsThenAPictureAsFirstMemo) {
    frame->addMemo(150, 100, "first");
    frame->addMemo(150, 100, "gone");
    frame->addMemo(150, 150, "kept");
    frame->deleteMemo(0, 1);
    ASSERT_EQ(frame->termListAt(0)->GetCount(), 2u);
    EXPECT_EQ(record(0, 1)->m_memoText, "kept");
    newLog();
    frame->deleteMemo(0, 1);
    frame->deleteMemo(7, 0);
    EXPECT_EQ(tup(newLog(), shapes(), frame->m_curTitle, frame->memoSlotCount()),
              tup(Lines(6, "memo not found."), 0u, -1, 1u));

    // A group and all its records go; nothing is left behind for the leak checker.
    frame->deleteMemo(0, 0);
    EXPECT_EQ(tup(frame->memoSlotCount(), frame->m_titleSubList.GetCount(),
                  frame->m_paramMemoList.GetCount(), pluses(), newLog()),
              tup(0u, 0u, 0u, 0u, Lines{}));

    picture("pic.png", 40, 30);
    frame->addMemo(30, 40, "[ImageMemo]=pic.png");
    EXPECT_EQ(newLog(), (Lines{"[ImageMemo]=pic.png : add memo as title."}));
    ASSERT_TRUE(frame->memoSlotCount() == 1 && record(0, 1) && !record(0, 2) && shape(1));
    EXPECT_EQ(tup(record(0, 0)->m_memoText, record(0, 1)->m_memoText, shape(0)->m_pos,
                  shape(1)->m_bitmap.GetSize(), shape(1)->m_pos, shape(1)->m_termNo),
              tup("Create by Vocalith for ImageMemo", "[ImageMemo]=pic.png", wxPoint(5, 5),
                  wxSize(40, 30), wxPoint(30, 40), 1));
}

TEST_F(MemoEditTest, EditingThroughTheDialog) {
    frame->addMemo(150, 100, "title");
    frame->addMemo(300, 200, "old");
    frame->setProirSubTitle(0, DragShape::Mid);
    const auto edit = [&](const char* offered, const char* typed, int button) {
        wxTEST_DIALOG(frame->editMemo(0, 1),
                      ExpectTextEntry("please, input memo.", offered, typed, button));
    };
    edit("old", "new text", wxID_OK);
    EXPECT_EQ(tup(record(0, 1)->m_memoText, shape(1)->m_shapeText, shape(1)->m_pos,
                  shape(1)->m_dispPrior),
              tup("new text", "new text", wxPoint(300, 200), DragShape::Mid));
    newLog();
    edit("new text", "ignored", wxID_CANCEL);
    edit("new text", "", wxID_OK);
    frame->editMemo(0, 9);
    EXPECT_EQ(tup(newLog(), record(0, 1)->m_memoText),
              tup(Lines{"quit edit memo.", "quit edit memo.", "memo not found.", "memo not found."},
                  "new text"));
}

TEST_F(MemoEditTest, PriorityReRendersShapesAndCounts) {
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

    // Every shape of the group is made anew in azure, the "+" keeping its place; the picture
    // keeps its own colours.
    frame->setProirSubTitle(1, DragShape::Low);
    EXPECT_EQ(tup(frame->subMemoAt(1)->m_prior, plus(1)->m_pos, shape(2)->m_bitmap.GetSize()),
              tup("2", wxPoint(100, 25), wxSize(40, 30)));
    for (const DragShape* s : {plus(1), shape(0), shape(1), shape(2)})
        EXPECT_EQ(tup(s->m_dispPrior, hasColour(*s, wxColour(0, 127, 255))),
                  tup(DragShape::Low, s != shape(2)));
    frame->setProirSubTitle(8, DragShape::High);
    frame->calcPriorStats();
    frame->m_priorLimit = 2;
    EXPECT_EQ(tup(frame->isExecByMemoPrior(1), frame->isExecByMemoPrior(3)), tup(true, false));
    EXPECT_EQ(newLog(),
              (Lines{"memo not found.", "Priority Stats : ", "Total = 3", "Priority High = 1",
                     "Priority Mid = 1", "Priority Low = 1", "memo list wrong."}));
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
    EXPECT_EQ(tup(newLog(), frame->termListAt(0)->GetCount(), frame->subMemoAt(0)->m_prior,
                  bool(frame->m_voiceprintRunning), frame->paramMemoAt(0)->m_memoText == "changed"),
              tup(Lines{}, 2u, "", false, false));
    frame->m_tourRunning = false;

    frame->replaceMemo(0);
    frame->replaceMemo(3);
    EXPECT_EQ(tup(frame->paramMemoAt(0)->m_memoText, newLog()),
              tup("changed", Lines{"memo not found."}));

    // A few frames keep the computation short; the shapes come back on the new voiceprint.
    ASSERT_EQ(frame->m_workPara->setSize(4096, frame->m_wavePara->m_windowLen,
                                         CWorkMemory::senseNormal, 512, 20),
              CWorkMemory::resultOk);
    frame->analyseStretch();
    frame->restoreMemo(0);
    EXPECT_TRUE(frame->m_voiceprintRunning);
    ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning; }));
    EXPECT_EQ(tup(frame->m_curTitle, shapes()), tup(0, 2u));
}

TEST_F(ImageMemoTest, PicturesOfAcceptedSizesAreShownOthersReplacedByText) {
    picture("fig.png", 200, 100);
    picture("wide.png", 201, 100);
    picture("small.png", 19, 50);
    const wxString figure = "look: [ImageMemo]=fig.png \t ";
    frame->readImageMemo(figure, 10, 20, 3, 4, DragShape::Mid);
    ASSERT_EQ(shapes(), 1u);
    EXPECT_EQ(tup(shape(0)->m_bitmap.GetSize(), placed(shape(0))),
              tup(wxSize(200, 100), tup(wxPoint(10, 20), 3, 4, int(DragShape::Mid), figure)));
    EXPECT_TRUE(hasColour(*shape(0), wxColour(10, 200, 30))); // not recoloured by priority

    // Stand-ins in the priority's colour.
    const std::pair<const char*, wxString> standIns[] = {
        {"wide.png", kBadSize}, {"small.png", kBadSize}, {"missing.png", kNotFound}};
    for (size_t i = 0; i < 3; ++i) {
        frame->readImageMemo(wxString("[ImageMemo]=") + standIns[i].first, 5, 6, 3, 7,
                             DragShape::Low);
        ASSERT_EQ(shapes(), i + 2);
        EXPECT_EQ(placed(shape(i + 1)),
                  tup(wxPoint(5, 6), 3, 7, int(DragShape::Low), standIns[i].second))
            << standIns[i].first;
        EXPECT_TRUE(hasColour(*shape(i + 1), DragShape::PriorColour(DragShape::Low)));
    }
    // No marker: logged once, no shape.
    frame->readImageMemo("fig.png", 0, 0, 3, 8, DragShape::High);
    EXPECT_EQ(tup(shapes(), newLog()), tup(4u, Lines{"[ImageMemo]= not found"}));

    // The missing picture turns up: its stand-in is replaced in its node, keeping its place,
    // priority, numbers and the highlight; the neighbours stay.
    frame->m_canvasPanel->m_highlightedShape = shape(3);
    picture("missing.png", 20, 20);
    wxList::compatibility_iterator node = frame->m_canvasPanel->m_shapeList.Item(3);
    frame->replaceImageMemo(node, "[ImageMemo]=missing.png");
    ASSERT_EQ(shapes(), 4u);
    DragShape* now = shape(3);
    EXPECT_EQ(tup(now->m_bitmap.GetSize(), placed(now), frame->m_canvasPanel->m_highlightedShape,
                  shape(2)->m_shapeText),
              tup(wxSize(20, 20),
                  tup(wxPoint(5, 6), 3, 7, int(DragShape::Low), "[ImageMemo]=missing.png"), now,
                  kBadSize));
    // A text without the marker leaves the shape.
    frame->replaceImageMemo(node, "plain text");
    EXPECT_EQ(shape(3), now);
}
