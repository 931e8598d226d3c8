#include "gui/panels/DragShape.h"

#include <algorithm>
#include <cstdlib>

#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/image.h>

namespace {

const int kScratchWidth = 800;
const int kScratchHeight = 30;
const size_t kLongestText = 100; // longer texts keep one character more than this

wxFont shapeFont() {
    return wxFont(10, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false,
                  wxEmptyString, wxFONTENCODING_DEFAULT);
}

// The rectangle the text covers when drawn at (0,0), clipped to the scratch bitmap. The
// scratch grows to the text's lines (not its width), so a memo of several lines keeps its last line
// and its descenders.
wxRect textBounds(const wxString& text) {
    wxSize extent;
    {
        wxBitmap probe(1, 1, 32);
        wxMemoryDC dc(probe);
        dc.SetFont(shapeFont());
        extent = dc.GetMultiLineTextExtent(text);
    }
    const int scratchWidth = kScratchWidth; // longer lines stay clipped, as they always were
    const int scratchHeight = std::clamp(extent.y + 2, kScratchHeight, 40 * kScratchHeight);
    wxBitmap scratch(scratchWidth, scratchHeight, 32);
    wxMemoryDC dc(scratch);
    dc.SetFont(shapeFont());
    dc.ResetBoundingBox();
    dc.DrawText(text, 0, 0);
    const wxRect drawn(dc.MinX(), dc.MinY(), dc.MaxX() - dc.MinX(), dc.MaxY() - dc.MinY());
    return drawn.Intersect(wxRect(0, 0, scratchWidth, scratchHeight));
}

// Red text on black, turned into the priority colour on black.
wxImage renderText(const wxString& text, int prior) {
    const wxRect box = textBounds(text);
    // Nothing visible (an empty text): one transparent pixel keeps the bitmap valid.
    const int width = std::max(box.width, 1);
    const int height = std::max(box.height, 1);
    wxImage black(width, height, true);
    wxBitmap canvas(black);
    {
        wxMemoryDC dc(canvas);
        dc.SetFont(shapeFont());
        dc.SetTextForeground(wxColour("RED"));
        dc.SetTextBackground(wxColour("BLACK"));
        dc.SetBackground(*wxBLACK_BRUSH);
        if (box.width > 0 && box.height > 0)
            dc.DrawText(text, -box.x, -box.y);
        dc.SetBrush(*wxRED_BRUSH);
        dc.SetPen(*wxTRANSPARENT_PEN);
    }
    wxImage image = canvas.ConvertToImage();
    const wxColour colour = DragShape::PriorColour(prior);
    unsigned char* p = image.GetData();
    for (long i = 0, n = long(width) * height; i < n; ++i, p += 3) {
        // Greys and black, anti-aliased edges included, become transparent.
        const bool grey = std::abs(p[1] - p[0]) < 2 && std::abs(p[1] - p[2]) < 2;
        p[0] = grey ? 0 : colour.Red();
        p[1] = grey ? 0 : colour.Green();
        p[2] = grey ? 0 : colour.Blue();
    }
    return image;
}

} // namespace

DragShape::DragShape(const wxBitmap& bitmap) : m_bitmap(bitmap) {}

DragShape::DragShape(const wxBitmap& bitmap, DispPrior prior)
    : m_bitmap(bitmap), m_dispPrior(prior) {}

DragShape::DragShape(wxString text, DispPrior prior)
    : m_shapeText(text.length() > kLongestText ? text.Left(kLongestText + 1) : text),
      m_dispPrior(prior) {
    m_bitmap = wxBitmap(renderText(m_shapeText, prior));
    m_bitmap.SetMask(new wxMask(m_bitmap, *wxBLACK));
}

DragShape::~DragShape() {}

bool DragShape::Draw(wxDC& dc, bool highlight) {
    if (!m_bitmap.IsOk())
        return false;
    wxMemoryDC source;
    source.SelectObjectAsSource(m_bitmap);
    const int w = m_bitmap.GetWidth();
    const int h = m_bitmap.GetHeight();
    const wxPoint at = shownPos();
    dc.Blit(at.x, at.y, w, h, &source, 0, 0, wxCOPY, true);
    if (highlight) {
        dc.SetPen(*wxWHITE_PEN);
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(at.x, at.y, w, h);
    }
    return true;
}

bool DragShape::HitTest(const wxPoint& pt) const {
    if (!m_bitmap.IsOk())
        return false;
    return wxRect(shownPos(), m_bitmap.GetSize()).Contains(pt);
}

wxColour DragShape::PriorColour(int prior) {
    if (prior == High)
        return wxColour(255, 0, 0);
    if (prior == Mid)
        return wxColour(0, 255, 0);
    return wxColour(0, 127, 255);
}

DragShape::DispPrior DragShape::FromMemoPrior(int memoPrior) {
    return memoPrior == Mid || memoPrior == Low ? static_cast<DispPrior>(memoPrior) : High;
}
