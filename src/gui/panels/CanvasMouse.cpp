#include <algorithm>
#include <cstdlib>
#include <memory>

#include <wx/dcmemory.h>

#include "gui/app/Require.h"
#include "gui/panels/MyDragImage.h"
#include "gui/panels/myCanvasPanel.h"
#include "gui/panels/DragShape.h"

namespace {

const char* const kSizeChanged = "size changed, please, redraw.";

// Marks keep only the green channel: restored pixels come back as greys.
void putGrey(wxImage& image, int x, int y, unsigned char g) {
    image.SetRGB(x, y, g, g, g);
}

// Writes the saved columns of a band or line back into the copy of the buffer.
// The buffer may have been remade since they were saved, so only the overlap is restored.
void restoreColumns(wxImage& copy, const wxImage& saved, int firstColumn, int columns) {
    const int rows = std::min(copy.GetHeight(), saved.GetHeight());
    const int cols = std::min({columns, saved.GetWidth(), copy.GetWidth() - firstColumn});
    for (int row = 0; row < rows; ++row)
        for (int j = 0; j < cols; ++j)
            putGrey(copy, firstColumn + j, row, saved.GetGreen(j, row));
}

bool movedPastThreshold(const wxPoint& from, const wxPoint& to) {
    return std::abs(to.x - from.x) > 2 || std::abs(to.y - from.y) > 2;
}

} // namespace

// ---------------------------------------------------------------------------
// Selection band and cursor line

void myCanvasPanel::setSelect(long x, long width) {
    const int W = GetSize().x;
    if (x + width > W || !m_camvasBitmap)
        return;
    wxImage copy = m_camvasBitmap->ConvertToImage();
    // Column 0 would read as "no band"; and the buffer may be narrower than the window
    // until the next redraw, so never mark past its edge.
    if (x <= 0 || x + width > copy.GetWidth())
        return;
    const int H = copy.GetHeight();

    if (m_archImage && m_selX != 0)
        restoreColumns(copy, *m_archImage, m_selX, m_selWidth);
    delete m_archImage;
    m_archImage = nullptr;
    m_selX = m_selWidth = m_selPanelWidth = 0;

    // An empty band (an empty selection) leaves no band at all.
    if (width > 0) {
        m_archImage = new wxImage(static_cast<int>(width), H, true);
        VOCALITH_REQUIRE(m_archImage && m_archImage->IsOk(), "m_archImage");
        for (int row = 0; row < H; ++row) {
            for (int j = 0; j < width; ++j) {
                const unsigned char g = copy.GetGreen(x + j, row);
                putGrey(*m_archImage, j, row, g);
                putGrey(copy, x + j, row, std::min<unsigned char>(g, 192));
            }
        }
        m_selX = static_cast<int>(x);
        m_selWidth = static_cast<int>(width);
        m_selPanelWidth = W;
    }
    replaceBuffer(copy);
}

void myCanvasPanel::resetSelect() {
    if (!m_archImage || m_selX == 0)
        return;
    if (m_camvasBitmap) {
        wxImage copy = m_camvasBitmap->ConvertToImage();
        restoreColumns(copy, *m_archImage, m_selX, m_selWidth);
        replaceBuffer(copy);
    }
    delete m_archImage;
    m_archImage = nullptr;
    m_selX = m_selWidth = m_selPanelWidth = 0;
}

void myCanvasPanel::eraseSelect() {
    if (!m_archImage)
        return;
    delete m_archImage;
    m_archImage = nullptr;
    m_selX = m_selWidth = m_selPanelWidth = 0;
}

void myCanvasPanel::setLineSelect(long x) {
    const int W = GetSize().x;
    if (x >= W || !m_camvasBitmap)
        return;
    wxImage copy = m_camvasBitmap->ConvertToImage();
    // Column 0 would read as "no line"; never mark past the buffer's edge.
    if (x <= 0 || x >= copy.GetWidth())
        return;
    const int H = copy.GetHeight();

    if (m_lineArchImage && m_lineX != 0)
        restoreColumns(copy, *m_lineArchImage, m_lineX, m_lineWidth);
    // The saved column is reused while the line moves; remade when the buffer's height changed.
    if (m_lineArchImage && m_lineArchImage->GetHeight() != H) {
        delete m_lineArchImage;
        m_lineArchImage = nullptr;
    }
    if (!m_lineArchImage) {
        m_lineArchImage = new wxImage(1, H, true);
        VOCALITH_REQUIRE(m_lineArchImage && m_lineArchImage->IsOk(), "m_lineArchImage");
    }
    for (int row = 0; row < H; ++row) {
        putGrey(*m_lineArchImage, 0, row, copy.GetGreen(x, row));
        copy.SetRGB(x, row, 0, 0, 0);
    }
    m_lineWidth = 1;
    m_lineX = static_cast<int>(x);
    m_linePanelWidth = W;
    replaceBuffer(copy);
}

void myCanvasPanel::resetLineSelect() {
    if (!m_lineArchImage || m_lineX == 0)
        return;
    if (m_camvasBitmap) {
        wxImage copy = m_camvasBitmap->ConvertToImage();
        restoreColumns(copy, *m_lineArchImage, m_lineX, m_lineWidth);
        replaceBuffer(copy);
    }
    delete m_lineArchImage;
    m_lineArchImage = nullptr;
    m_lineX = m_lineWidth = m_linePanelWidth = 0;
}

void myCanvasPanel::drawWaveLine(long sample) {
    if (m_waveCount <= 0)
        return; // nothing plotted: no column to map to
    const int W = GetSize().x;
    const long column = static_cast<long>(double(sample) * (W - 4) / m_waveCount);
    setLineSelect(column + 2);
    Refresh(true);
}

namespace {

// Columns of a sample range on a plot of count samples, as x and width (at least 1).
std::pair<long, long> bandOf(long first, long end, int W, int count) {
    const long x1 = static_cast<long>(double(first) * (W - 4) / count);
    const long x2 = static_cast<long>(double(end) * (W - 4) / count);
    return {x1, std::max(x2 - x1, 1L)};
}

} // namespace

void myCanvasPanel::drawWavePosLine(long first, long end) {
    if (m_waveCount <= 0)
        return;
    const auto band = bandOf(first, end, GetSize().x, m_waveCount);
    setSelect(band.first + 2, band.second);
    Refresh(true);
    Update();
}

void myCanvasPanel::drawWavePosLineSub(long first, long end) {
    if (m_subCount <= 0)
        return;
    const auto band = bandOf(first, end, GetSize().x, m_subCount);
    setSelect(band.first + 2, band.second);
    Refresh(true);
    Update();
}

// ---------------------------------------------------------------------------
// Shapes

DragShape* myCanvasPanel::FindShape(const wxPoint& pt) const {
    for (auto node = m_shapeList.GetFirst(); node; node = node->GetNext()) {
        auto* shape = static_cast<DragShape*>(node->GetData());
        if (shape->HitTest(pt))
            return shape;
    }
    return nullptr;
}

void myCanvasPanel::DrawShapes(wxDC& dc) {
    for (auto node = m_shapeList.GetFirst(); node; node = node->GetNext()) {
        auto* shape = static_cast<DragShape*>(node->GetData());
        if (shape->m_shown && shape != m_draggedShape)
            shape->Draw(dc, shape == m_highlightedShape);
    }
}

namespace {

// The dragging background: the back buffer as it is, or a blank of the window's size
// before any plot exists.
wxBitmap* copyOfBuffer(const wxBitmap* buffer, wxSize size) {
    auto* copy = buffer ? new wxBitmap(buffer->ConvertToImage())
                        : new wxBitmap(std::max(size.x, 1), std::max(size.y, 1));
    VOCALITH_REQUIRE(copy && copy->IsOk(), "m_archbitmap");
    return copy;
}

} // namespace

void myCanvasPanel::DrawShapes() {
    delete m_archbitmap;
    m_archbitmap = copyOfBuffer(m_camvasBitmap, GetSize());
    {
        wxMemoryDC dc(*m_archbitmap);
        DrawShapes(dc);
    }
    Refresh(true);
    Update();
}

void myCanvasPanel::ClearShapes() {
    // A drag cannot outlive its shape.
    if (m_dragImage || m_draggedShape)
        cancelShapeDrag(true);
    for (auto node = m_shapeList.GetFirst(); node; node = node->GetNext())
        delete static_cast<DragShape*>(node->GetData());
    m_shapeList.Clear();
    m_draggedShape = nullptr;
    m_highlightedShape = nullptr;
}

bool MyDragImage::UpdateBackingFromWindow(wxDC&, wxMemoryDC& destDC, const wxRect&,
                                          const wxRect& destRect) const {
    destDC.SetClippingRegion(destRect);
    const wxBitmap* background = m_canvas ? m_canvas->m_archbitmap : nullptr;
    if (background && background->IsOk() && background->GetWidth() > 0 &&
        background->GetHeight() > 0) {
        const int bw = background->GetWidth();
        const int bh = background->GetHeight();
        for (int x = destRect.x; x < destRect.x + destRect.width; x += bw)
            for (int y = destRect.y; y < destRect.y + destRect.height; y += bh)
                destDC.DrawBitmap(*background, x, y, false);
    }
    if (m_canvas)
        m_canvas->DrawShapes(destDC);
    destDC.DestroyClippingRegion();
    return true;
}

// ---------------------------------------------------------------------------
// The mouse

void myCanvasPanel::cancelShapeDrag(bool endDrag) {
    if (m_dragImage) {
        Unbind(wxEVT_MOUSE_CAPTURE_LOST, &myCanvasPanel::OnMouseCaptureLost, this);
        if (endDrag) {
            m_dragImage->Hide();
            m_dragImage->EndDrag();
        } else {
            // The capture is gone already: ending the drag would release it again.
            SetCursor(wxCursor(wxCURSOR_ARROW));
        }
        delete m_dragImage;
        m_dragImage = nullptr;
    }
    if (m_draggedShape)
        m_draggedShape->m_shown = true;
    m_draggedShape = nullptr;
    m_highlightedShape = nullptr;
    m_dragMode = 0;
    Refresh(true);
}

void myCanvasPanel::OnMouseCaptureLost(wxMouseCaptureLostEvent&) {
    cancelShapeDrag(false);
}

namespace {

enum class Gesture { None, LeftDown, LeftUp, Drag, RightDown };

Gesture gestureOf(const wxMouseEvent& event) {
    if (event.LeftDown())
        return Gesture::LeftDown;
    if (event.LeftUp())
        return Gesture::LeftUp;
    if (event.RightDown())
        return Gesture::RightDown;
    if (event.Dragging())
        return Gesture::Drag;
    return Gesture::None;
}

} // namespace

void myCanvasPanel::OnMouseEvent(wxMouseEvent& event) {
    if (!m_mouseEnabled)
        return;
    const Gesture gesture = gestureOf(event);
    if (gesture == Gesture::None)
        return;
    const wxPoint pos = event.GetPosition();

    if (gesture == Gesture::RightDown) {
        if (m_memoPanel == 0 && !(m_subPlot == 0 && m_plotKind == plotWaveform))
            return;
        if (isSizeChanged())
            wxLogMessage("%s", kSizeChanged);
        if (m_memoPanel == 0)
            ShowContextMenuToPlay(pos);
        else if (m_plotKind == plotWaveform)
            ShowContextMenuTitle(pos);
        else
            ShowContextMenu(pos);
        return;
    }

    const bool waveform = m_memoPanel == 0 && m_subPlot == 0 && m_plotKind == plotWaveform;
    const bool voiceprint = m_memoPanel != 0 && m_plotKind == plotVoiceprint;
    if (!waveform && !voiceprint)
        return;
    // Motion and release belong to a gesture that began with a press here.
    if (gesture != Gesture::LeftDown && m_dragMode == 0)
        return;
    if (isSizeChanged()) {
        wxLogMessage("%s", kSizeChanged);
        // The release cannot be finished on a stale picture: drop the gesture so that
        // no drag image or hidden shape outlives it.
        if (gesture == Gesture::LeftUp) {
            if (voiceprint)
                cancelShapeDrag(true);
            m_dragMode = 0;
        }
        return;
    }

    const int W = GetSize().x;
    const int H = GetSize().y;

    if (waveform) {
        switch (gesture) {
        case Gesture::LeftDown:
            m_dragStartPos = pos;
            wxLogMessage("start to set position.");
            m_dragMode = 1;
            m_memoListener->toStop();
            break;
        case Gesture::Drag:
            if (m_dragMode == 1 && movedPastThreshold(m_dragStartPos, pos))
                m_dragMode = 2;
            break;
        case Gesture::LeftUp: {
            m_dragEndPos = pos;
            wxLogMessage("finish to set position.");
            const int x0 = m_dragStartPos.x;
            const int x1 = pos.x;
            if (std::abs(x1 - x0) <= 1) {
                m_selStart = 0;
                m_selLength = m_waveCount;
                resetSelect();
                Refresh(true);
                Update();
                wxLogMessage("init position.");
            } else {
                // Both ends are kept on the plot, so a drag wholly outside it is empty.
                const int left = std::clamp(std::min(x0, x1) - 2, 0, std::max(W - 2, 0));
                const int right = std::clamp(std::max(x0, x1) - 2, left, std::max(W - 2, left));
                const int width = right - left;
                // Whole samples per column, as the frame plays them.
                const int spp = W - 4 > 0 ? m_waveCount / (W - 4) : 0;
                // The band may reach the panel's last column, two past the plot: the range
                // is cut at the last plotted sample so that playing never reads past it.
                m_selStart = std::min(spp * left, std::max(m_waveCount, 0));
                m_selLength = std::min(spp * width, std::max(m_waveCount, 0) - m_selStart);
                setSelect(left + 2, width);
                Refresh(true);
                Update();
                wxLogMessage("set position.");
            }
            m_memoListener->toStop();
            m_dragMode = 0;
            break;
        }
        default:
            break;
        }
        return;
    }

    // Shape dragging on the voiceprint.
    switch (gesture) {
    case Gesture::LeftDown: {
        if (m_dragImage || m_draggedShape)
            cancelShapeDrag(true); // a release we never saw
        delete m_archbitmap;
        m_archbitmap = copyOfBuffer(m_camvasBitmap, GetSize());
        if (DragShape* shape = FindShape(pos)) {
            m_dragMode = 1;
            m_draggedShape = shape;
            m_dragStartPos = pos;
        }
        break;
    }
    case Gesture::Drag:
        if (m_dragMode == 1) {
            if (!m_draggedShape || !movedPastThreshold(m_dragStartPos, pos))
                break;
            m_dragMode = 2;
            delete m_dragImage;
            m_dragImage = nullptr;
            m_draggedShape->m_shown = false;
            Refresh(true);
            Update();
            m_dragImage = new MyDragImage(m_draggedShape->m_bitmap, wxCursor(wxCURSOR_HAND));
            m_dragImage->m_canvas = this;
            const wxPoint hotspot = m_dragStartPos - m_draggedShape->shownPos();
            if (!m_dragImage->BeginDrag(hotspot, this, false, nullptr)) {
                delete m_dragImage;
                m_dragImage = nullptr;
                // Leaving the shape hidden would lose it from view until the next rebuild.
                cancelShapeDrag(false);
                break;
            }
            Bind(wxEVT_MOUSE_CAPTURE_LOST, &myCanvasPanel::OnMouseCaptureLost, this);
            m_dragImage->Move(pos);
            m_dragImage->Show();
        } else if (m_dragMode == 2 && m_dragImage) {
            DragShape* shape = FindShape(pos);
            bool hidden = false;
            if (shape && shape->m_shown && shape != m_highlightedShape) {
                m_dragImage->Hide();
                hidden = true;
                const bool dropped = m_highlightedShape != nullptr;
                m_highlightedShape = shape;
                Refresh(dropped);
                Update();
            } else if (m_highlightedShape && shape != m_highlightedShape) {
                m_dragImage->Hide();
                hidden = true;
                m_highlightedShape = nullptr;
                Refresh(true);
                Update();
            }
            m_dragImage->Move(pos);
            if (hidden)
                m_dragImage->Show();
        }
        break;
    case Gesture::LeftUp: {
        m_dragEndPos = pos;
        m_dragMode = 0;
        if (!m_draggedShape)
            break;
        if (!m_dragImage) {
            // Released before the drag threshold: nothing moved.
            m_draggedShape = nullptr;
            break;
        }
        DragShape* shape = m_draggedShape;
        // Dropped where the user sees it: its place becomes the shown one.
        const wxPoint moved = shape->shownPos() + (pos - m_dragStartPos);
        if (moved.x >= 0 && moved.x < W && moved.y >= 0 && moved.y < H) {
            shape->m_pos = moved;
            shape->m_drawOffsetY = 0;
            shape->m_movedByUser = true;
        }
        Unbind(wxEVT_MOUSE_CAPTURE_LOST, &myCanvasPanel::OnMouseCaptureLost, this);
        m_dragImage->Hide();
        m_dragImage->EndDrag();
        delete m_dragImage;
        m_dragImage = nullptr;
        shape->m_shown = true;
        m_highlightedShape = nullptr;
        m_draggedShape = nullptr;
        m_memoListener->saveMemoPos();
        Refresh(true);
        break;
    }
    default:
        break;
    }
}
