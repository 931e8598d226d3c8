#include "gui/panels/CanvasPanelFixture.h"

TEST(DragShape, TextsKeepTheirFirst101CharactersPrioritiesMapToColoursAndHitsAreItsBitmap) {
    const wxString longer(wxUniChar('b'), 150);
    DragShape cut(longer, DragShape::Low);
    EXPECT_TRUE(cut.m_shapeText == longer.Left(101) && cut.m_dispPrior == DragShape::Low);
    // Rendered within the 800 × 30 scratch area.
    const wxSize size = cut.m_bitmap.GetSize();
    EXPECT_TRUE(size.x <= 800 && size.y <= 30 && size.x > 400) << size.x << "x" << size.y;
    // An empty text still makes a valid, fully transparent shape.
    DragShape empty("", DragShape::Mid);
    EXPECT_TRUE(empty.m_bitmap.IsOk() && empty.HitTest(wxPoint(0, 0)));

    // Stored priorities other than 0, 1 and 2 show as High.
    const int stored[] = {0, 1, 2, 5, -1}, shown[] = {0, 1, 2, 0, 0};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(DragShape::FromMemoPrior(stored[i]), shown[i]) << stored[i];
    // Red, green, azure; other values show azure.
    EXPECT_TRUE(DragShape::PriorColour(DragShape::High) == kRed &&
                DragShape::PriorColour(DragShape::Mid) == wxColour(0, 255, 0) &&
                DragShape::PriorColour(7) == wxColour(0, 127, 255));

    DragShape shape(wxBitmap(6, 4), DragShape::Low);
    shape.m_pos = wxPoint(5, 5);
    std::string hits;
    for (wxPoint p : {wxPoint(5, 5), wxPoint(10, 8), wxPoint(11, 5), wxPoint(5, 9), wxPoint(4, 5),
                      wxPoint(5, 4)})
        hits += shape.HitTest(p) ? "1" : "0";
    EXPECT_EQ(hits, "110000");

    // No picture: nothing drawn, nothing hit.
    DragShape none{wxBitmap()};
    wxBitmap target(4, 4);
    wxMemoryDC dc(target);
    EXPECT_FALSE(none.Draw(dc, true) || none.HitTest(wxPoint(0, 0)));
}
