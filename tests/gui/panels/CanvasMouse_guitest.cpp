#include "gui/panels/CanvasPanelFixture.h"

// ---------------------------------------------------------------------------
// Range selection on the waveform panel (404 wide: a plot area of 400 columns)

TEST_F(CanvasPanelTest, DragsSelectSamplesAClickSelectsAllAndTheBandKeepsDarkGreens) {
    struct Case {
        int count, from, to;
        Ints selected; // start, length, band x, band width
        const char* done;
        wxPoint probe; // shows the band, or shows it gone
        const char* colour;
    };
    const Case cases[] = {
        // Right to left; spp = 40000 / 400 = 100: columns 48..98 of the plot area.
        {40000, 100, 50, {4800, 5000, 50, 50}, "set position.", {75, 60}, "192"},
        // A click (within one column) selects everything and removes the band exactly.
        {40000, 200, 201, {0, 40000, 0, 0}, "init position.", {75, 60}, "255"},
        // Fewer samples than columns: no whole sample per column, the band is still drawn.
        {300, 100, 50, {0, 0, 50, 50}, "set position.", {75, 60}, "192"},
        // Ends left of the plot start the band at column 2, right of it run to column W - 1:
        // 402 columns of 100, cut at the last sample.
        {40000, 0, 450, {0, 40000, 2, 402}, "set position.", {403, 60}, "192"},
        // Wholly right of the plot: an empty selection and no band.
        {40000, 420, 460, {40000, 0, 0, 0}, "set position.", {403, 60}, "255"},
    };
    makePanel(40000);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
        inside(panel).waveCount() = c.count;
        press(c.from, 30);
        release(c.to, 90);
        EXPECT_EQ(selection(), c.selected);
        EXPECT_EQ(pixels({c.probe}), c.colour);
        EXPECT_EQ(take(), (Lines{"start to set position.", "toStop()", "finish to set position.",
                                 c.done, "toStop()"}));
    }
    // Mouse handling off: nothing at all.
    inside(panel).mouseEnabled() = false;
    press(100, 60);
    EXPECT_TRUE(take().empty());

    // The band keeps dark greens as greys and caps the others at 192; removing it restores
    // each pixel as the grey of its green.
    wxImage painted = buffer();
    painted.SetRGB(wxRect(10, 0, 2, 120), 200, 100, 50); // green 100: kept as grey 100
    painted.SetRGB(wxRect(12, 0, 2, 120), 10, 250, 10);  // green 250: capped at 192
    painted.SetRGB(wxRect(16, 0, 2, 120), 20, 192, 30);  // exactly 192 stays
    *inside(panel).camvasBitmap() = wxBitmap(painted);
    panel->setSelect(11, 6);
    EXPECT_EQ(pixels({{10, 0}, {11, 0}, {12, 119}, {16, 50}, {17, 50}}),
              "200/100/50 100 192 192 20/192/30");
    panel->resetSelect();
    EXPECT_EQ(pixels({{11, 0}, {12, 119}, {16, 50}}), "100 250 192");
}

// ---------------------------------------------------------------------------
// Shape dragging on the voiceprint panel

TEST_F(CanvasPanelTest, DraggingAShapeMovesItWithinThePanelAndInterruptionsEndIt) {
    makePanel();
    DragShape* shape = addShape("memo", wxPoint(100, 100), 3, 0);
    DragShape* other = addShape("two", wxPoint(300, 250), 3, 1);
    // Nothing of a drag is left: no image, capture or highlight, the shape shown where it was put.
    const auto ended = [&] {
        return !inside(panel).dragImage() && !inside(panel).draggedShape() &&
               !inside(panel).highlightedShape() && inside(panel).dragMode() == 0 &&
               !panel->HasCapture() && shape->m_shown;
    };
    struct Drag {
        wxPoint from, via, to, corner;
        bool started; // moved more than 2 pixels: hidden while dragged, saved when dropped
        DragShape* over = nullptr; // highlighted when the drag reaches `to`
    };
    const Drag drags[] = {
        {{105, 105}, {125, 115}, {155, 135}, {150, 130}, true},
        {{155, 135}, {157, 137}, {157, 137}, {150, 130}, false},
        // A corner right of the 404-wide window (545) keeps the place.
        {{155, 135}, {200, 140}, {550, 135}, {150, 130}, true},
        // Left and top edges: a corner at (0, 0) is inside, at -1 it is not.
        {{155, 135}, {50, 50}, {5, 5}, {0, 0}, true},
        {{2, 2}, {20, 2}, {1, 2}, {0, 0}, true},
        // Passing over another shape highlights it.
        {{2, 2}, {60, 60}, {302, 252}, {300, 250}, true, other},
    };
    for (const Drag& d : drags) {
        SCOPED_TRACE(d.from.x);
        press(d.from.x, d.from.y);
        moveTo(d.via.x, d.via.y);
        EXPECT_EQ(inside(panel).dragImage() != nullptr && !shape->m_shown, d.started);
        moveTo(d.to.x, d.to.y);
        EXPECT_EQ(inside(panel).highlightedShape(), d.over);
        release(d.to.x, d.to.y);
        EXPECT_EQ(shape->m_pos, d.corner);
        EXPECT_EQ(take(), d.started ? Lines{"saveMemoPos()"} : Lines{});
        EXPECT_TRUE(ended());
    }

    // A resize, a lost mouse capture or clearing the shapes ends a drag with nothing left
    // hidden, captured or pointing at a deleted shape, and nothing saved.
    shape->m_pos = wxPoint(100, 100);
    const auto drag = [&] {
        press(105, 105);
        moveTo(150, 150);
        return inside(panel).dragImage() != nullptr && panel->HasCapture();
    };
    ASSERT_TRUE(drag());
    panel->SetSize(0, 0, 420, 300);
    release(160, 160);
    press(105, 105); // refused as well
    EXPECT_TRUE(ended() && shape->m_pos == wxPoint(100, 100) && take() == (Lines{kStale, kStale}));

    // The toolkit forgets the capture before it tells the window.
    panel->SetSize(0, 0, 404, 300);
    ASSERT_TRUE(drag());
    panel->ReleaseMouse();
    wxMouseCaptureLostEvent lost(panel->GetId());
    EXPECT_TRUE(panel->ProcessWindowEvent(lost));
    EXPECT_TRUE(ended() && shape->m_pos == wxPoint(100, 100));

    ASSERT_TRUE(drag());
    panel->ClearShapes();
    release(150, 150);
    EXPECT_TRUE(!inside(panel).dragImage() && !inside(panel).draggedShape() &&
                !panel->HasCapture() && take().empty());
}

TEST_F(CanvasPanelTest, DragImageIsBackedByTheBackgroundAndTheShapesNotDragged) {
    DragShape* hidden = addShape("first", wxPoint(50, 50), 0, 0);
    DragShape* shown = addShape("second", wxPoint(150, 100), 0, 1);
    DragShape* dragged = addShape("third", wxPoint(50, 150), 0, 2);
    hidden->m_shown = false;
    const auto redIn = [](const wxImage& image, const DragShape* s) {
        return countOf(image, wxRect(s->m_pos, s->m_bitmap.GetSize()), kRed);
    };
    // The background tiled over the destination rectangle only, then the shown shapes but
    // the dragged one; the highlighted one is framed in white.
    inside(panel).archbitmap() = new wxBitmap(filled(100, 80, {0, 0, 200}));
    inside(panel).draggedShape() = dragged;
    inside(panel).highlightedShape() = shown;
    MyDragImage drag(dragged->m_bitmap, wxCursor(wxCURSOR_HAND));
    drag.m_canvas = panel;
    wxBitmap backing = filled(250, 200, kWhite);
    {
        wxMemoryDC dest(backing);
        wxClientDC window(panel);
        EXPECT_TRUE(drag.UpdateBackingFromWindow(window, dest, wxRect(0, 0, 250, 200),
                                                 wxRect(0, 0, 250, 190)));
    }
    const wxImage image = backing.ConvertToImage();
    EXPECT_EQ(pixelsOf(image, {{0, 0}, {249, 189}, {249, 190}, {155, 100}}),
              "0/0/200 0/0/200 255 255");
    EXPECT_TRUE(redIn(image, hidden) == 0 && redIn(image, dragged) == 0 && redIn(image, shown) > 0);
}
