#include "gui/panels/CanvasPanelFixture.h"

namespace {

// Paints columns [x, x + w) of the back buffer in one colour, top to bottom.
void paintColumns(myCanvasPanel* panel, int x, int w, const wxColour& colour) {
    wxMemoryDC dc(*panel->m_camvasBitmap);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(x, 0, w, panel->m_camvasBitmap->GetHeight());
}

wxRect rectOf(const DragShape* shape) {
    return wxRect(shape->m_pos, shape->m_bitmap.GetSize());
}

} // namespace

// ---------------------------------------------------------------------------
// Range selection on the waveform panel (404 wide: a plot area of 400 columns)

TEST_F(CanvasPanelTest, DragsSelectSamplesAndAClickSelectsAll) {
    struct Case {
        int count, from, to;
        Ints selected; // start, length, band x, band width
        const char* done;
        int column; // shows the band, or shows it gone
        Rgb colour;
    };
    const Case cases[] = {
        // Right to left; spp = 40000 / 400 = 100: columns 48..98 of the plot area.
        {40000, 100, 50, {4800, 5000, 50, 50}, "set position.", 75, kBand},
        // A click (within one column) selects everything and removes the band exactly.
        {40000, 200, 201, {0, 40000, 0, 0}, "init position.", 75, kWhite},
        // Fewer samples than columns: no whole sample per column, the band is still drawn.
        {300, 100, 50, {0, 0, 50, 50}, "set position.", 75, kBand},
        // Ends left of the plot start the band at column 2, right of it run to column W - 1:
        // 402 columns of 100, cut at the last sample.
        {40000, 0, 450, {0, 40000, 2, 402}, "set position.", 403, kBand},
        // Wholly right of the plot: an empty selection and no band.
        {40000, 420, 460, {40000, 0, 0, 0}, "set position.", 403, kWhite},
    };
    makeWavePanel(40000);
    for (const Case& c : cases) {
        panel->m_waveCount = c.count;
        press(c.from, 30);
        release(c.to, 90);
        EXPECT_EQ(selection(), c.selected) << c.from << ".." << c.to;
        EXPECT_EQ(pixels({{c.column, 60}}), Colours{c.colour}) << c.from << ".." << c.to;
        EXPECT_EQ(takeLog(), (Lines{"start to set position.", "finish to set position.", c.done}));
        EXPECT_EQ(takeCalls(), (Lines{"toStop()", "toStop()"}));
    }
}

TEST_F(CanvasPanelTest, BandKeepsDarkGreensAndRestoresGreys) {
    makeWavePanel(40000);
    paintColumns(panel, 10, 2, wxColour(200, 100, 50)); // green 100: kept as grey 100
    paintColumns(panel, 12, 2, wxColour(10, 250, 10));  // green 250: capped at 192
    paintColumns(panel, 14, 2, wxColour(0, 0, 0));
    paintColumns(panel, 16, 2, wxColour(20, 192, 30)); // exactly 192 stays
    panel->setSelect(11, 6);
    EXPECT_EQ(pixels({{10, 0}, {11, 0}, {12, 119}, {14, 50}, {16, 50}, {17, 50}}),
              (Colours{{200, 100, 50}, {100, 100, 100}, kBand, kBlack, kBand, {20, 192, 30}}));

    // A band past the edge changes nothing, the old band included.
    panel->setSelect(380, 25);
    EXPECT_EQ(selection(), (Ints{0, 0, 11, 6}));
    EXPECT_EQ(pixels({{390, 50}}), Colours{kWhite});

    // Removing the band restores each pixel as the grey of its green.
    panel->resetSelect();
    EXPECT_EQ(pixels({{11, 0}, {12, 119}, {14, 50}, {16, 50}}),
              (Colours{{100, 100, 100}, {250, 250, 250}, kBlack, kBand}));
    EXPECT_EQ(selection(), (Ints{0, 0, 0, 0}));
    EXPECT_EQ(panel->m_archImage, nullptr);

    // Moving a band restores the old place first; the band may end at the last column.
    panel->setSelect(100, 10);
    panel->setSelect(394, 10);
    EXPECT_EQ(pixels({{105, 60}, {403, 60}}), (Colours{kWhite, kBand}));
    // eraseSelect forgets the band without touching pixels.
    panel->eraseSelect();
    EXPECT_EQ(panel->m_selX, 0);
    EXPECT_EQ(pixels({{403, 60}}), Colours{kBand});
}

TEST_F(CanvasPanelTest, CursorLineAndPositionBands) {
    makeWavePanel(40000);
    paintColumns(panel, 30, 1, wxColour(40, 120, 200));
    panel->setLineSelect(30);
    EXPECT_EQ(pixels({{30, 0}, {30, 60}, {30, 119}}), (Colours{kBlack, kBlack, kBlack}));
    // 20000 of 40000 samples: column 200 of the plot, 202 of the panel; the old column is
    // back as the grey of its green.
    panel->drawWaveLine(20000);
    EXPECT_EQ(pixels({{30, 60}, {202, 60}}), (Colours{{120, 120, 120}, kBlack}));
    panel->setLineSelect(404); // not left of the window's width: ignored
    EXPECT_EQ(panel->m_lineX, 202);

    panel->resetLineSelect();
    EXPECT_EQ(panel->m_lineX, 0);
    EXPECT_EQ(panel->m_lineArchImage, nullptr);
    EXPECT_EQ(pixels({{202, 60}}), Colours{kWhite});

    // Samples 4800..9800 of 40000: columns 48..98 of the plot. An empty range still marks
    // one column.
    panel->drawWavePosLine(4800, 9800);
    EXPECT_EQ(selection(), (Ints{0, 0, 50, 50}));
    panel->m_subCount = 400;
    panel->drawWavePosLineSub(100, 100);
    EXPECT_EQ(selection(), (Ints{0, 0, 102, 1}));
    EXPECT_EQ(pixels({{75, 60}}), Colours{kWhite});
}

TEST_F(CanvasPanelTest, StalePictureRefusesWaveformGestures) {
    makeWavePanel(40000);
    panel->SetSize(0, 0, 500, 120);
    press(100, 60);
    EXPECT_EQ(panel->m_dragMode, 0);
    EXPECT_EQ(takeLog(), Lines{"size changed, please, redraw."});
    EXPECT_TRUE(takeCalls().empty());

    // A gesture begun on a good picture cannot be finished after a resize.
    panel->SetSize(0, 0, 404, 120);
    press(100, 60);
    moveTo(50, 60);
    panel->SetSize(0, 0, 500, 120);
    takeLog();
    takeCalls();
    moveTo(40, 60);
    release(30, 60);
    EXPECT_EQ(takeLog(), (Lines{"size changed, please, redraw.", "size changed, please, redraw."}));
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(panel->m_dragMode, 0);
    EXPECT_EQ(selection(), (Ints{0, 0, 0, 0}));

    // Mouse handling off, or another plot: nothing at all.
    panel->drawScale();
    panel->m_mouseEnabled = false;
    press(100, 60);
    panel->m_mouseEnabled = true;
    panel->m_subPlot = 1;
    press(100, 60);
    EXPECT_TRUE(takeLog().empty());
    EXPECT_TRUE(takeCalls().empty());
}

// ---------------------------------------------------------------------------
// Shape dragging on the voiceprint panel

TEST_F(CanvasPanelTest, DraggingAShapeMovesItWithinThePanelAndSaves) {
    makeVoiceprintPanel();
    DragShape* shape = addShape("memo", wxPoint(100, 100), 3, 0);
    press(60, 60); // beside every shape
    EXPECT_EQ(panel->m_draggedShape, nullptr);
    ASSERT_NE(panel->m_archbitmap, nullptr) << "the background is renewed at every press";

    struct Drag {
        wxPoint from, via, to, corner;
        bool started; // moved more than 2 pixels: hidden while dragged, saved when dropped
    };
    const Drag drags[] = {
        {{105, 105}, {125, 115}, {155, 135}, {150, 130}, true},
        {{155, 135}, {157, 137}, {157, 137}, {150, 130}, false},
        // A corner right of the 404-wide window (545) keeps the place.
        {{155, 135}, {300, 140}, {550, 135}, {150, 130}, true},
        // Left and top edges: a corner at (0, 0) is inside, at -1 it is not.
        {{155, 135}, {50, 50}, {5, 5}, {0, 0}, true},
        {{2, 2}, {20, 2}, {1, 2}, {0, 0}, true},
    };
    for (const Drag& d : drags) {
        press(d.from.x, d.from.y);
        moveTo(d.via.x, d.via.y);
        EXPECT_EQ(panel->m_dragImage != nullptr, d.started) << d.from.x;
        EXPECT_EQ(shape->m_shown, !d.started) << d.from.x;
        release(d.to.x, d.to.y);
        EXPECT_EQ(shape->m_pos, d.corner) << d.from.x;
        EXPECT_EQ(takeCalls(), d.started ? Lines{"saveMemoPos()"} : Lines{}) << d.from.x;
        EXPECT_TRUE(shape->m_shown && !panel->m_dragImage && !panel->m_draggedShape &&
                    !panel->HasCapture())
            << "nothing of the drag is left";
    }
}

TEST_F(CanvasPanelTest, DraggingOverAnotherShapeHighlightsIt) {
    makeVoiceprintPanel();
    DragShape* moving = addShape("one", wxPoint(20, 20), 1, 0);
    DragShape* other = addShape("two", wxPoint(200, 200), 1, 1);
    press(22, 22);
    moveTo(60, 60);
    ASSERT_NE(panel->m_dragImage, nullptr);
    moveTo(202, 202);
    EXPECT_EQ(panel->m_highlightedShape, other);
    moveTo(120, 120);
    EXPECT_EQ(panel->m_highlightedShape, nullptr);
    moveTo(203, 203);
    EXPECT_EQ(panel->m_highlightedShape, other);
    release(203, 203);
    EXPECT_EQ(moving->m_pos, wxPoint(201, 201));
    EXPECT_EQ(panel->m_highlightedShape, nullptr);
}

// A resize, a lost mouse capture or clearing the shapes ends a drag with nothing left
// hidden, captured or pointing at a deleted shape, and nothing saved.
TEST_F(CanvasPanelTest, InterruptedDragsEndCleanly) {
    makeVoiceprintPanel();
    DragShape* shape = addShape("memo", wxPoint(100, 100), 3, 0);
    panel->SetSize(0, 0, 420, 300);
    press(105, 105);
    EXPECT_EQ(panel->m_draggedShape, nullptr);
    EXPECT_EQ(panel->m_archbitmap, nullptr) << "a refused press makes nothing";
    EXPECT_EQ(takeLog(), Lines{"size changed, please, redraw."});

    panel->SetSize(0, 0, 404, 300);
    press(105, 105);
    moveTo(150, 150);
    ASSERT_NE(panel->m_dragImage, nullptr);
    panel->SetSize(0, 0, 420, 300);
    moveTo(160, 160); // refused: the image stays where it was
    EXPECT_NE(panel->m_dragImage, nullptr);
    release(160, 160);
    EXPECT_EQ(takeLog(), (Lines{"size changed, please, redraw.", "size changed, please, redraw."}));
    EXPECT_EQ(panel->m_dragImage, nullptr);
    EXPECT_EQ(panel->m_draggedShape, nullptr);
    EXPECT_EQ(panel->m_dragMode, 0);
    EXPECT_TRUE(shape->m_shown);
    EXPECT_EQ(shape->m_pos, wxPoint(100, 100));
    EXPECT_FALSE(panel->HasCapture());

    // The toolkit forgets the capture before it tells the window.
    panel->SetSize(0, 0, 404, 300);
    press(105, 105);
    moveTo(150, 150);
    ASSERT_TRUE(panel->HasCapture());
    panel->ReleaseMouse();
    wxMouseCaptureLostEvent lost(panel->GetId());
    lost.SetEventObject(panel);
    EXPECT_TRUE(panel->ProcessWindowEvent(lost));
    EXPECT_EQ(panel->m_dragImage, nullptr);
    EXPECT_EQ(panel->m_dragMode, 0);
    EXPECT_TRUE(shape->m_shown);
    release(150, 150);
    EXPECT_EQ(shape->m_pos, wxPoint(100, 100));

    press(105, 105);
    moveTo(150, 150);
    ASSERT_NE(panel->m_dragImage, nullptr);
    panel->ClearShapes();
    EXPECT_TRUE(panel->m_shapeList.IsEmpty());
    EXPECT_EQ(panel->m_dragImage, nullptr);
    EXPECT_EQ(panel->m_draggedShape, nullptr);
    EXPECT_FALSE(panel->HasCapture());
    release(150, 150);
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(CanvasPanelTest, FindShapeTakesTheFirstHitAndDrawShapesSkipsHiddenAndDragged) {
    makeVoiceprintPanel();
    DragShape* first = addShape("first", wxPoint(50, 50), 0, 0);
    DragShape* second = addShape("second", wxPoint(50, 50), 0, 1);
    EXPECT_EQ(panel->FindShape(wxPoint(51, 51)), first);
    first->m_shown = false; // the shown flag is not consulted
    EXPECT_EQ(panel->FindShape(wxPoint(51, 51)), first);
    EXPECT_EQ(panel->FindShape(wxPoint(10, 10)), nullptr);

    // Into a grey bitmap: the hidden shape is skipped, the highlighted one is framed in white.
    wxBitmap target(404, 300);
    {
        wxMemoryDC dc(target);
        dc.SetBackground(wxBrush(wxColour(60, 60, 60)));
        dc.Clear();
        second->m_pos = wxPoint(200, 100);
        panel->m_highlightedShape = second;
        panel->DrawShapes(dc);
    }
    wxImage image = target.ConvertToImage();
    EXPECT_EQ(at(image, 205, 100), kWhite) << "top edge of the highlight";
    const wxRect firstRect = rectOf(first);
    EXPECT_EQ(countOf(image, firstRect, {60, 60, 60}), firstRect.width * firstRect.height);
    panel->m_highlightedShape = nullptr;

    // DrawShapes() renews the dragging background: the buffer with the shapes on it.
    first->m_shown = true;
    panel->m_draggedShape = second;
    panel->DrawShapes();
    ASSERT_NE(panel->m_archbitmap, nullptr);
    image = panel->m_archbitmap->ConvertToImage();
    EXPECT_GT(countOf(image, firstRect, {255, 0, 0}), 0);
    EXPECT_EQ(at(image, 2, 2), kBlack) << "the frame of the plot";
    panel->m_draggedShape = nullptr;
}

TEST_F(CanvasPanelTest, DragImageBackingIsThePanelPictureWithItsShapes) {
    makeVoiceprintPanel();
    DragShape* still = addShape("still", wxPoint(30, 40), 0, 0);
    DragShape* dragged = addShape("dragged", wxPoint(30, 100), 0, 1);
    panel->m_draggedShape = dragged;
    delete panel->m_archbitmap;
    panel->m_archbitmap = new wxBitmap(100, 80);
    {
        wxMemoryDC dc(*panel->m_archbitmap);
        dc.SetBackground(wxBrush(wxColour(0, 0, 200)));
        dc.Clear();
    }
    MyDragImage image(dragged->m_bitmap, wxCursor(wxCURSOR_HAND));
    image.m_canvas = panel;
    wxBitmap backing(250, 200);
    {
        wxMemoryDC dest(backing);
        dest.SetBackground(*wxWHITE_BRUSH);
        dest.Clear();
        wxClientDC window(panel);
        EXPECT_TRUE(image.UpdateBackingFromWindow(window, dest, wxRect(0, 0, 250, 200),
                                                  wxRect(0, 0, 250, 190)));
    }
    const wxImage pixels = backing.ConvertToImage();
    // The 100 × 80 background is tiled over the destination rectangle only.
    EXPECT_EQ(at(pixels, 0, 0), (Rgb{0, 0, 200}));
    EXPECT_EQ(at(pixels, 249, 189), (Rgb{0, 0, 200}));
    EXPECT_EQ(at(pixels, 249, 190), kWhite);
    EXPECT_GT(countOf(pixels, rectOf(still), {255, 0, 0}), 0) << "the other shape is drawn";
    EXPECT_EQ(countOf(pixels, rectOf(dragged), {255, 0, 0}), 0) << "the dragged shape is not";
    panel->m_draggedShape = nullptr;
}
