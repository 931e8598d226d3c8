#include "gui/panels/CanvasPanelFixture.h"

TEST(DragShape, TextsKeepTheirFirst101CharactersAndStoredPrioritiesMap) {
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
    const wxSize size = cut.m_bitmap.GetSize();
    EXPECT_TRUE(size.x <= 800 && size.y <= 30 && size.x > whole.m_bitmap.GetWidth() / 2)
        << size.x << "x" << size.y;
    // An empty text still makes a valid, fully transparent shape.
    DragShape empty("", DragShape::Mid);
    ASSERT_TRUE(empty.m_bitmap.IsOk());
    EXPECT_TRUE(empty.HitTest(wxPoint(0, 0)));

    // Stored priorities other than 0, 1 and 2 show as High.
    std::string shown;
    for (int stored : {0, 1, 2, 5, -1})
        shown += std::to_string(DragShape::FromMemoPrior(stored));
    EXPECT_EQ(shown, "01200");
    EXPECT_EQ(DragShape::PriorColour(7), wxColour(0, 127, 255)) << "other values show azure";
}

TEST(DragShape, TextIsOpaqueInItsPriorityColourAndTransparentElsewhere) {
    const std::pair<DragShape::DispPrior, wxColour> priorities[] = {
        {DragShape::High, kRed}, {DragShape::Mid, {0, 255, 0}}, {DragShape::Low, {0, 127, 255}}};
    // Over two backgrounds a pixel is either the background (transparent) or the priority
    // colour in both: no black, grey or blended pixel is left opaque.
    const wxColour one(10, 20, 30), two(200, 100, 50);
    for (const auto& [prior, colour] : priorities) {
        DragShape shape("Wg memo|", prior);
        ASSERT_NE(shape.m_bitmap.GetMask(), nullptr);
        const auto over = [&](const wxColour& background) {
            wxBitmap target =
                filled(shape.m_bitmap.GetWidth(), shape.m_bitmap.GetHeight(), background);
            wxMemoryDC dc(target);
            EXPECT_TRUE(shape.Draw(dc, false));
            dc.SelectObject(wxNullBitmap);
            return target.ConvertToImage();
        };
        const wxImage a = over(one), b = over(two);
        int opaque = 0, clear = 0;
        for (int x = 0; x < a.GetWidth(); ++x) {
            for (int y = 0; y < a.GetHeight(); ++y) {
                opaque += at(a, x, y) == colour && at(b, x, y) == colour;
                clear += at(a, x, y) == one && at(b, x, y) == two;
            }
        }
        EXPECT_EQ(opaque + clear, a.GetWidth() * a.GetHeight()) << prior;
        EXPECT_GT(opaque, 10);
        EXPECT_GT(clear, opaque);
    }
}

TEST(DragShape, HitsExactlyItsBitmapAndImagesDrawWithAFrameWhenHighlighted) {
    DragShape shape("hit", DragShape::High);
    shape.m_pos = wxPoint(10, 20);
    const int w = shape.m_bitmap.GetWidth(), h = shape.m_bitmap.GetHeight();
    ASSERT_TRUE(w > 1 && h > 1);
    const std::pair<wxPoint, bool> probes[] = {
        {{10, 20}, true},      {{10 + w - 1, 20 + h - 1}, true},
        {{10 + w, 20}, false}, {{10, 20 + h}, false},
        {{9, 20}, false},      {{10, 19}, false}};
    for (const auto& [point, hit] : probes)
        EXPECT_EQ(shape.HitTest(point), hit) << point.x << "," << point.y;

    wxImage picture(6, 4);
    picture.SetRGB(wxRect(0, 0, 6, 4), 10, 200, 30);
    EXPECT_EQ(DragShape{wxBitmap(picture)}.m_dispPrior, DragShape::High);
    DragShape low(wxBitmap(picture), DragShape::Low);
    EXPECT_EQ(low.m_dispPrior, DragShape::Low);
    wxBitmap target = filled(20, 20, kBlack);
    {
        wxMemoryDC dc(target);
        low.m_pos = wxPoint(5, 5);
        EXPECT_TRUE(low.Draw(dc, true));
    }
    // The frame is drawn over the picture's outermost pixels (corners may be smoothed):
    // inside, top edge, right edge, right of it, below it.
    const wxImage image = target.ConvertToImage();
    EXPECT_EQ(pixelsOf(image, {{7, 7}, {7, 5}, {10, 6}, {11, 6}, {7, 9}}), "10/200/30 255 255 0 0");

    // No picture: nothing drawn, nothing hit.
    DragShape none{wxBitmap()};
    wxMemoryDC dc(target);
    EXPECT_FALSE(none.Draw(dc, true) || none.HitTest(wxPoint(0, 0)));
}
