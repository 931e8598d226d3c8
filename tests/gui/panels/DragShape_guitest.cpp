#include <wx/dcmemory.h>

#include "gui/panels/DragShape.h"
#include "support/GuiFixture.h"

// Readable failures: gtest would print a colour's bytes.
static void PrintTo(const wxColour& c, std::ostream* os) {
    *os << "(" << int(c.Red()) << "," << int(c.Green()) << "," << int(c.Blue()) << ")";
}

namespace {

// The shape drawn at (0, 0) over a plain background of the given colour.
wxImage drawnOver(DragShape& shape, const wxColour& background) {
    wxBitmap target(shape.m_bitmap.GetWidth(), shape.m_bitmap.GetHeight());
    {
        wxMemoryDC dc(target);
        dc.SetBackground(wxBrush(background));
        dc.Clear();
        shape.m_pos = wxPoint(0, 0);
        EXPECT_TRUE(shape.Draw(dc, false));
    }
    return target.ConvertToImage();
}

wxColour pixel(const wxImage& image, int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

} // namespace

TEST(DragShape, LongTextsKeepTheirFirst101Characters) {
    const wxString exactly101(wxUniChar('a'), 101);
    DragShape whole(exactly101, DragShape::Mid);
    EXPECT_EQ(whole.m_shapeText, exactly101);

    wxString longer;
    for (int i = 0; i < 150; ++i)
        longer += wxUniChar('0' + i % 10);
    DragShape cut(longer, DragShape::Low);
    EXPECT_EQ(cut.m_shapeText, longer.Left(101));
    EXPECT_EQ(cut.m_dispPrior, DragShape::Low);
    // Rendered within the 800 × 30 scratch area.
    ASSERT_TRUE(cut.m_bitmap.IsOk());
    EXPECT_LE(cut.m_bitmap.GetWidth(), 800);
    EXPECT_LE(cut.m_bitmap.GetHeight(), 30);
    EXPECT_GT(cut.m_bitmap.GetWidth(), whole.m_bitmap.GetWidth() / 2);
}

TEST(DragShape, TextIsOpaqueInItsPriorityColourAndTransparentElsewhere) {
    const std::pair<DragShape::DispPrior, wxColour> priorities[] = {
        {DragShape::High, wxColour(255, 0, 0)},
        {DragShape::Mid, wxColour(0, 255, 0)},
        {DragShape::Low, wxColour(0, 127, 255)},
    };
    for (const auto& p : priorities) {
        DragShape shape("Wg memo|", p.first);
        ASSERT_TRUE(shape.m_bitmap.IsOk());
        ASSERT_NE(shape.m_bitmap.GetMask(), nullptr);
        // Over two backgrounds a pixel is either the background (transparent) or the
        // priority colour in both: no black, grey or blended pixel is left opaque.
        const wxColour one(10, 20, 30), two(200, 100, 50);
        const wxImage a = drawnOver(shape, one);
        const wxImage b = drawnOver(shape, two);
        int opaque = 0, clear = 0;
        for (int x = 0; x < a.GetWidth(); ++x) {
            for (int y = 0; y < a.GetHeight(); ++y) {
                const wxColour pa = pixel(a, x, y), pb = pixel(b, x, y);
                if (pa == one && pb == two) {
                    ++clear;
                } else {
                    ASSERT_EQ(pa, p.second) << x << "," << y;
                    ASSERT_EQ(pb, p.second) << x << "," << y;
                    ++opaque;
                }
            }
        }
        EXPECT_GT(opaque, 10);
        EXPECT_GT(clear, opaque);
    }
    EXPECT_EQ(DragShape::PriorColour(7), wxColour(0, 127, 255)) << "other values show azure";
}

TEST(DragShape, HitTestCoversExactlyTheBitmap) {
    DragShape shape("hit", DragShape::High);
    shape.m_pos = wxPoint(10, 20);
    const int w = shape.m_bitmap.GetWidth(), h = shape.m_bitmap.GetHeight();
    ASSERT_TRUE(w > 1 && h > 1);
    const std::pair<wxPoint, bool> probes[] = {
        {{10, 20}, true},      {{10 + w - 1, 20 + h - 1}, true},
        {{10 + w, 20}, false}, {{10, 20 + h}, false},
        {{9, 20}, false},      {{10, 19}, false}};
    for (const auto& [at, hit] : probes)
        EXPECT_EQ(shape.HitTest(at), hit) << at.x << "," << at.y;
}

TEST(DragShape, ImageShapesKeepTheirPixelsAndDrawWithAFrameWhenHighlighted) {
    wxImage picture(6, 4);
    picture.SetRGB(wxRect(0, 0, 6, 4), 10, 200, 30);
    EXPECT_EQ(DragShape{wxBitmap(picture)}.m_dispPrior, DragShape::High);
    DragShape low(wxBitmap(picture), DragShape::Low);
    EXPECT_EQ(low.m_dispPrior, DragShape::Low);

    wxBitmap target(20, 20);
    {
        wxMemoryDC dc(target);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        low.m_pos = wxPoint(5, 5);
        EXPECT_TRUE(low.Draw(dc, true));
    }
    const wxImage image = target.ConvertToImage();
    // The frame is drawn over the picture's outermost pixels (corners may be smoothed).
    EXPECT_EQ(pixel(image, 7, 7), wxColour(10, 200, 30));
    EXPECT_EQ(pixel(image, 7, 5), wxColour(255, 255, 255)) << "top edge";
    EXPECT_EQ(pixel(image, 10, 6), wxColour(255, 255, 255)) << "right edge";
    EXPECT_EQ(pixel(image, 11, 6), wxColour(0, 0, 0));
    EXPECT_EQ(pixel(image, 7, 9), wxColour(0, 0, 0));

    // No picture: nothing drawn, nothing hit.
    DragShape none{wxBitmap()};
    wxBitmap other(4, 4);
    wxMemoryDC dc(other);
    EXPECT_FALSE(none.Draw(dc, true));
    EXPECT_FALSE(none.HitTest(wxPoint(0, 0)));
}

TEST(DragShape, StoredPrioritiesMapToDisplayPriorities) {
    const std::pair<int, DragShape::DispPrior> cases[] = {{0, DragShape::High},
                                                          {1, DragShape::Mid},
                                                          {2, DragShape::Low},
                                                          {5, DragShape::High},
                                                          {-1, DragShape::High}};
    for (const auto& [stored, shown] : cases)
        EXPECT_EQ(DragShape::FromMemoPrior(stored), shown) << stored;
    // An empty text still makes a valid, fully transparent shape.
    DragShape empty("", DragShape::Mid);
    ASSERT_TRUE(empty.m_bitmap.IsOk());
    EXPECT_TRUE(empty.HitTest(wxPoint(0, 0)));
}
