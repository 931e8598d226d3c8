#include "MemoLists.h"
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
        win().canvasPanel()->SetSize(600, 400);
        win().canvasPanelSub()->SetSize(400, 100);
        inside(win().canvasPanel()).plotKind() = plotVoiceprint;
        win().wave()->m_windowStart = 22050;
        win().wave()->m_cursor = 0;
        mark = log().size();
    }
    // Title numbers slot by slot; the four lists must agree.
    Ints slotTitles() const {
        Ints titles;
        for (size_t k = 0; k < win().memos().count(); ++k) {
            titles.push_back(record(k, 0)->m_titleNo);
            EXPECT_EQ(tup(win().memos().subAt(k)->m_titleNo, win().memos().paramAt(k)->m_titleNo,
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
};

using ImageMemoTest = MemoEditTest;

// Where a shape is, its numbers, priority and text.
auto placed(const DragShape* s) {
    return tup(s->m_pos, s->m_titleNo, s->m_termNo, int(s->m_dispPrior), s->m_shapeText);
}

} // namespace

TEST_F(MemoEditTest, FirstMemoMakesATitleGroupTheNextATerm) {
    frame->addMemo(150, 100, "");
    frame->addMemo(150, 100, "vowel a");
    frame->addMemo(300, 200, "50% louder");
    EXPECT_EQ(newLog(), (Lines{"memo empty.", "vowel a : add memo as title.",
                               "50% louder : already title exist, add memo as term."}));
    ASSERT_TRUE(win().memos().count() == 1 && record(0, 1) && shape(1));
    const CArchMemo* title = record(0, 0);
    // 0 + 8000 * (1 - 0.25) Hz. The "+": 22050 of 88200 samples, a quarter across the
    // 400-pixel overview, first row.
    EXPECT_EQ(tup(win().curTitle(), title->m_memoText, title->m_relX, title->m_relY, title->m_freq,
                  record(0, 1)->m_termNo, record(0, 1)->m_freq, shape(1)->m_pos, plus(0)->m_pos,
                  win().memos().paramAt(0)->m_memoText),
              tup(0, "vowel a", 0.25f, 0.25f, 6000, 1, 4000, wxPoint(300, 200), wxPoint(100, 0),
                  win().paramBackup()));
}

TEST_F(MemoEditTest, TitlesStepDownTheOverviewAndMoveOrSort) {
    for (int t = 0; t < 5; ++t)
        frame->addTitle(wxString::Format("t%d", t), 10, 10);
    // A quarter of 100 pixels per title; the fifth wraps at 90: 100 mod 90.
    EXPECT_EQ(tup(slotTitles(), plus(3)->m_pos.y, plus(4)->m_pos.y),
              tup(Ints{0, 1, 2, 3, 4}, 75, 10));
    frame->moveMemoToFirst(4);
    frame->moveMemoToLast(0);
    frame->moveMemoToFirst(99);
    EXPECT_EQ(tup(slotTitles(), newLog().back()), tup(Ints{4, 1, 2, 3, 0}, "memo not found."));
    // The last slot's number plus one is taken: a free one instead.
    frame->addTitle("t5", 10, 10);
    EXPECT_EQ(slotTitles().back(), 5);

    // Equal places keep their order.
    const float places[] = {0.5f, 0.2f, 0.5f, 0.9f, 0.1f}; // t5 stands at 0.25
    for (size_t k = 0; k < std::size(places); ++k)
        win().memos().subAt(k)->m_relX = places[k];
    frame->sortMemoByTime();
    EXPECT_EQ(tup(slotTitles(), newLog()),
              tup(Ints{0, 1, 5, 4, 2, 3}, Lines{"sorting memo by time"}));
}

TEST_F(MemoEditTest, EditingAndDeleting) {
    frame->addMemo(150, 100, "first");
    frame->addMemo(300, 200, "old");
    frame->addMemo(150, 150, "kept");
    frame->setProirSubTitle(0, DragShape::Mid);
    const auto edit = [&](const char* offered, const char* typed, int button) {
        wxTEST_DIALOG(frame->editMemo(0, 1),
                      ExpectTextEntry("please, input memo.", offered, typed, button));
    };
    edit("old", "new text", wxID_OK);
    EXPECT_EQ(placed(shape(1)), tup(wxPoint(300, 200), 0, 1, int(DragShape::Mid), "new text"));
    newLog();
    edit("new text", "", wxID_OK);
    frame->editMemo(0, 9);
    EXPECT_EQ(tup(newLog(), record(0, 1)->m_memoText),
              tup(Lines{"quit edit memo.", "memo not found.", "memo not found."}, "new text"));

    frame->deleteMemo(0, 1);
    EXPECT_EQ(tup(record(0, 1)->m_memoText, record(0, 2)), tup("kept", nullptr));
    frame->deleteMemo(0, 1);
    frame->deleteMemo(7, 0);
    EXPECT_EQ(tup(newLog(), shapes(), win().curTitle(), win().memos().count()),
              tup(Lines(6, "memo not found."), 0u, -1, 1u));
    // A group and all its records go; nothing is left behind for the leak checker.
    frame->deleteMemo(0, 0);
    EXPECT_EQ(tup(win().memos().count(), win().memos().subs().GetCount(),
                  win().memos().params().GetCount(), pluses(), newLog()),
              tup(0u, 0u, 0u, 0u, Lines{}));
}

TEST_F(MemoEditTest, PriorityReRendersShapesAndCounts) {
    picture("pic.png", 40, 30);
    frame->addTitle("other", 10, 10);
    frame->addTitle("low", 10, 10);
    frame->addTerm("term", 300, 200);
    frame->addTerm("[ImageMemo]=pic.png", 100, 300);
    frame->addTitle("mid", 10, 10);
    frame->setProirSubTitle(2, DragShape::Mid);
    win().curTitle() = 1;
    frame->reAddMemo();
    ASSERT_NE(shape(2), nullptr);

    // Every shape of the group is made anew in azure, the "+" keeping its place; the picture
    // keeps its own colours.
    frame->setProirSubTitle(1, DragShape::Low);
    EXPECT_EQ(tup(win().memos().subAt(1)->m_prior, plus(1)->m_pos, shape(2)->m_bitmap.GetSize()),
              tup("2", wxPoint(100, 25), wxSize(40, 30)));
    for (const DragShape* s : {plus(1), shape(0), shape(1), shape(2)})
        EXPECT_EQ(tup(s->m_dispPrior, hasColour(*s, wxColour(0, 127, 255))),
                  tup(DragShape::Low, s != shape(2)));
    frame->setProirSubTitle(8, DragShape::High);
    frame->calcPriorStats();
    win().priorLimit() = 2;
    EXPECT_EQ(tup(frame->isExecByMemoPrior(1), frame->isExecByMemoPrior(3)), tup(true, false));
    EXPECT_EQ(newLog(),
              (Lines{"memo not found.", "Priority Stats : ", "Total = 3", "Priority High = 1",
                     "Priority Mid = 1", "Priority Low = 1", "memo list wrong."}));
}

TEST_F(MemoEditTest, NothingChangesWhileBusy) {
    frame->addMemo(150, 100, "title");
    frame->addMemo(300, 200, "term");
    win().paramBackup() = "changed";
    newLog();
    win().tourRunning() = true;
    frame->addMemo(10, 10, "more");
    frame->editMemo(0, 1); // a dialog here would fail the test
    frame->deleteMemo(0, 0);
    frame->replaceMemo(0);
    frame->restoreMemo(0);
    EXPECT_EQ(tup(newLog(), win().memos().termsAt(0)->GetCount(), bool(win().voiceprintRunning()),
                  win().memos().paramAt(0)->m_memoText == "changed"),
              tup(Lines{}, 2u, false, false));
    win().tourRunning() = false;
    frame->replaceMemo(0);
    EXPECT_EQ(win().memos().paramAt(0)->m_memoText, "changed");
}

TEST_F(ImageMemoTest, PicturesOfAcceptedSizesAreShownOthersReplacedByText) {
    picture("fig.png", 200, 100);
    picture("wide.png", 201, 100);
    picture("small.png", 19, 50);
    const wxString figure = "look: [ImageMemo]=fig.png \t ";
    frame->readImageMemo(figure, 10, 20, 3, 4, DragShape::Mid);
    frame->readImageMemo("fig.png", 0, 0, 3, 8, DragShape::High); // no marker: no shape
    ASSERT_EQ(tup(shapes(), newLog()), tup(1u, Lines{"[ImageMemo]= not found"}));
    // Not recoloured by priority.
    EXPECT_EQ(tup(shape(0)->m_bitmap.GetSize(), placed(shape(0)),
                  hasColour(*shape(0), wxColour(10, 200, 30))),
              tup(wxSize(200, 100), tup(wxPoint(10, 20), 3, 4, int(DragShape::Mid), figure), true));

    // Stand-ins in the priority's colour.
    const std::pair<const char*, wxString> standIns[] = {
        {"wide.png", kBadSize}, {"small.png", kBadSize}, {"missing.png", kNotFound}};
    for (size_t i = 0; i < 3; ++i) {
        frame->readImageMemo(wxString("[ImageMemo]=") + standIns[i].first, 5, 6, 3, 7,
                             DragShape::Low);
        ASSERT_EQ(shapes(), i + 2);
        EXPECT_EQ(tup(placed(shape(i + 1)),
                      hasColour(*shape(i + 1), DragShape::PriorColour(DragShape::Low))),
                  tup(tup(wxPoint(5, 6), 3, 7, int(DragShape::Low), standIns[i].second), true))
            << standIns[i].first;
    }
}
