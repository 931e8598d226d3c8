#include "display/CanvasPanelFixture.h"

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

TEST_F(CanvasPanelTest, DragSelectsSamplesAndAClickSelectsAll) {
    makeWavePanel(40000);
    press(100, 60);
    moveTo(75, 60);
    EXPECT_EQ(panel->m_dragMode, 2);
    release(50, 60);
    EXPECT_EQ(takeLog(),
              (Lines{"start to set position.", "finish to set position.", "set position."}));
    EXPECT_EQ(takeCalls(), (Lines{"toStop()", "toStop()"}));
    EXPECT_EQ(panel->m_dragMode, 0);
    // spp = 40000 / 400 = 100; columns 48..98 of the plot area. The dark frame line stays dark.
    EXPECT_EQ(selection(), (Ints{4800, 5000, 50, 50}));
    EXPECT_EQ(pixels({{49, 60}, {50, 60}, {99, 60}, {100, 60}, {70, 2}}),
              (Colours{kWhite, kBand, kBand, kWhite, kBlack}));

    // A click (within one column) selects everything and removes the band exactly.
    press(200, 30);
    release(201, 90);
    EXPECT_EQ(takeLog(),
              (Lines{"start to set position.", "finish to set position.", "init position."}));
    EXPECT_EQ(takeCalls(), (Lines{"toStop()", "toStop()"}));
    EXPECT_EQ(selection(), (Ints{0, 40000, 0, 0}));
    EXPECT_EQ(panel->m_archImage, nullptr);
    EXPECT_EQ(pixels({{50, 60}, {99, 60}, {70, 2}}), (Colours{kWhite, kWhite, kBlack}));
}

TEST_F(CanvasPanelTest, SelectionEdgesAndTooFewSamples) {
    // Fewer samples than columns: whole samples per column is 0, the band is still drawn.
    makeWavePanel(300);
    press(100, 60);
    release(50, 60);
    EXPECT_EQ(selection(), (Ints{0, 0, 50, 50}));

    makeWavePanel(40000);
    panel->eraseSelect();
    // Ends left of the plot start the band at column 2, right of it run to column W - 1:
    // 402 columns of 100, cut at the last sample.
    press(0, 60);
    release(450, 60);
    EXPECT_EQ(selection(), (Ints{0, 40000, 2, 402}));
    EXPECT_EQ(pixels({{403, 60}}), Colours{kBand});

    // A drag wholly right of the plot is an empty selection and leaves no band.
    press(420, 60);
    release(460, 60);
    EXPECT_EQ(selection(), (Ints{40000, 0, 0, 0}));
    EXPECT_EQ(pixels({{403, 60}}), Colours{kWhite});
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

    press(105, 105);
    EXPECT_EQ(panel->m_draggedShape, shape);
    moveTo(125, 115);
    ASSERT_NE(panel->m_dragImage, nullptr) << "the drag did not start";
    EXPECT_FALSE(shape->m_shown);
    moveTo(155, 135);
    release(155, 135);
    EXPECT_EQ(shape->m_pos, wxPoint(150, 130));
    EXPECT_TRUE(shape->m_shown);
    EXPECT_EQ(panel->m_dragImage, nullptr);
    EXPECT_EQ(panel->m_draggedShape, nullptr);
    EXPECT_EQ(takeCalls(), Lines{"saveMemoPos()"});
    EXPECT_FALSE(panel->HasCapture());

    // Pressing and releasing within 2 pixels changes nothing and calls nothing.
    drag({155, 135}, {157, 137}, {157, 137});
    EXPECT_EQ(shape->m_pos, wxPoint(150, 130));
    EXPECT_EQ(panel->m_draggedShape, nullptr);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_TRUE(takeLog().empty());

    // A drop right of the 404-wide window (corner at x 545) keeps the place, but still saves.
    drag({155, 135}, {300, 140}, {550, 135});
    EXPECT_EQ(shape->m_pos, wxPoint(150, 130));
    EXPECT_TRUE(shape->m_shown);
    // Left and top edges: a corner at (0, 0) is inside, at -1 it is not.
    drag({155, 135}, {50, 50}, {5, 5});
    EXPECT_EQ(shape->m_pos, wxPoint(0, 0));
    drag({2, 2}, {20, 2}, {1, 2});
    EXPECT_EQ(shape->m_pos, wxPoint(0, 0));
    EXPECT_EQ(takeCalls(), (Lines{"saveMemoPos()", "saveMemoPos()", "saveMemoPos()"}));
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
