#include "gui/panels/CanvasPanelFixture.h"

TEST(DragShape, TextsKeepTheirFirst101CharactersAndStoredPrioritiesMap) {
    const wxString exactly101(wxUniChar('a'), 101), longer(wxUniChar('b'), 150);
    EXPECT_EQ(DragShape(exactly101, DragShape::Mid).m_shapeText, exactly101);
    DragShape cut(longer, DragShape::Low);
    EXPECT_EQ(cut.m_shapeText, longer.Left(101));
    EXPECT_EQ(cut.m_dispPrior, DragShape::Low);
    // Rendered within the 800 × 30 scratch area.
    const wxSize size = cut.m_bitmap.GetSize();
    EXPECT_TRUE(size.x <= 800 && size.y <= 30 && size.x > 400) << size.x << "x" << size.y;
    // An empty text still makes a valid, fully transparent shape.
    DragShape empty("", DragShape::Mid);
    EXPECT_TRUE(empty.m_bitmap.IsOk() && empty.HitTest(wxPoint(0, 0)));

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
        const wxRect all(wxPoint(0, 0), shape.m_bitmap.GetSize());
        const auto over = [&](const wxColour& background) {
            wxBitmap target = filled(all.width, all.height, background);
            wxMemoryDC dc(target);
            EXPECT_TRUE(shape.Draw(dc, false));
            dc.SelectObject(wxNullBitmap);
            return target.ConvertToImage();
        };
        const wxImage a = over(one), b = over(two);
        const int opaque = countOf(a, all, colour);
        EXPECT_EQ(opaque + countOf(a, all, one), all.width * all.height) << prior;
        EXPECT_EQ(countOf(b, all, colour) + countOf(b, all, two), all.width * all.height);
        EXPECT_TRUE(countOf(b, all, colour) == opaque && opaque > 10 &&
                    2 * opaque < all.width * all.height);
    }
}

TEST(DragShape, HitsExactlyItsBitmapAndImagesDrawWithAFrameWhenHighlighted) {
    DragShape shape("hit", DragShape::High);
    shape.m_pos = wxPoint(10, 20);
    const int w = shape.m_bitmap.GetWidth(), h = shape.m_bitmap.GetHeight();
    std::string hits;
    for (wxPoint p : {wxPoint(10, 20), wxPoint(9 + w, 19 + h), wxPoint(10 + w, 20),
                      wxPoint(10, 20 + h), wxPoint(9, 20), wxPoint(10, 19)})
        hits += shape.HitTest(p) ? "1" : "0";
    EXPECT_EQ(hits, "110000");

    wxImage picture(6, 4);
    picture.SetRGB(wxRect(0, 0, 6, 4), 10, 200, 30);
    EXPECT_EQ(DragShape{wxBitmap(picture)}.m_dispPrior, DragShape::High);
    DragShape low(wxBitmap(picture), DragShape::Low);
    EXPECT_EQ(low.m_dispPrior, DragShape::Low);
    wxBitmap target = filled(20, 20, {0, 0, 0});
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
