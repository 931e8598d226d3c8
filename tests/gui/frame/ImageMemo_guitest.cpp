#include <algorithm>
#include <tuple>

#include "MemoLists.h"
#include "support/SoundFiles.h"

namespace {

const wxString kNotFound = "image file not found. will you edit this ?";
const wxString kBadSize = "image size not good. will you edit this ?";

class ImageMemoTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        frame->m_baseFileName = dir.path() + "/talk";
    }
    // A picture of one colour beside talk.wav.
    void picture(const std::string& name, int width, int height) {
        wxImage image(width, height);
        image.SetRGB(wxRect(0, 0, width, height), 10, 200, 30);
        ASSERT_TRUE(image.SaveFile(dir.path() + "/talk-" + name, wxBITMAP_TYPE_PNG));
    }
    DragShape* shape(size_t i) const { return shapeAt(frame->m_canvasPanel->m_shapeList, i); }
    // Where a shape is, its numbers and priority.
    static auto placed(const DragShape* s) {
        return std::make_tuple(s->m_pos, s->m_titleNo, s->m_termNo, int(s->m_dispPrior));
    }

    ScratchDir dir;
};

} // namespace

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
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 1u);
    DragShape* shown = shape(0);
    EXPECT_EQ(shown->m_bitmap.GetSize(), wxSize(200, 100));
    EXPECT_EQ(shown->m_shapeText, figure);
    EXPECT_EQ(placed(shown), std::make_tuple(wxPoint(10, 20), 3, 4, int(DragShape::Mid)));
    EXPECT_TRUE(hasColour(*shown, wxColour(10, 200, 30))); // not recoloured by priority

    const std::pair<const char*, wxString> standIns[] = {
        {"[ImageMemo]=wide.png", kBadSize},  {"[ImageMemo]=small.png", kBadSize},
        {"[ImageMemo]=huge.png", kBadSize},  {"[ImageMemo]=missing.png", kNotFound},
        {"[ImageMemo]=text.png", kNotFound},
    };
    for (const auto& [text, expected] : standIns)
        frame->readImageMemo(text, 5, 6, 3, 7, DragShape::Low);
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 6u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(shape(i + 1)->m_shapeText, standIns[i].second) << standIns[i].first;
        EXPECT_EQ(placed(shape(i + 1)), std::make_tuple(wxPoint(5, 6), 3, 7, int(DragShape::Low)));
        EXPECT_TRUE(hasColour(*shape(i + 1), DragShape::PriorColour(DragShape::Low)));
    }

    // No marker: logged, no shape.
    frame->readImageMemo("fig.png", 0, 0, 3, 8, DragShape::High);
    EXPECT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 6u);
    const auto lines = log();
    EXPECT_EQ(lines.back(), "[ImageMemo]= not found");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[ImageMemo]= not found"), 1);
}

TEST_F(ImageMemoTest, ReplacingKeepsTheNodePlacePriorityAndNumbers) {
    frame->readImageMemo("[ImageMemo]=later.png", 30, 40, 2, 5, DragShape::Low);
    frame->readImageMemo("[ImageMemo]=other.png", 0, 0, 2, 6, DragShape::High);
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 2u);
    EXPECT_EQ(shape(0)->m_shapeText, kNotFound);
    frame->m_canvasPanel->m_highlightedShape = shape(0);

    picture("later.png", 20, 20);
    wxList::compatibility_iterator node = frame->m_canvasPanel->m_shapeList.GetFirst();
    frame->replaceImageMemo(node, "[ImageMemo]=later.png");
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 2u);
    DragShape* now = shape(0);
    EXPECT_EQ(now->m_bitmap.GetSize(), wxSize(20, 20));
    EXPECT_EQ(now->m_shapeText, "[ImageMemo]=later.png");
    EXPECT_EQ(placed(now), std::make_tuple(wxPoint(30, 40), 2, 5, int(DragShape::Low)));
    EXPECT_EQ(frame->m_canvasPanel->m_highlightedShape, now);
    EXPECT_EQ(shape(1)->m_termNo, 6);

    // A text without the marker leaves the shape; a null node does nothing.
    frame->replaceImageMemo(node, "plain text");
    EXPECT_EQ(shape(0), now);
    frame->replaceImageMemo(wxList::compatibility_iterator(), "[ImageMemo]=later.png");
    EXPECT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 2u);
}
