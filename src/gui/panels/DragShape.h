#pragma once

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/gdicmn.h>
#include <wx/object.h>
#include <wx/string.h>

// A memo as drawn on a panel: a bitmap at a place, which the user may drag.
// Text shapes are rendered in their priority's colour with black made transparent.
class DragShape : public wxObject {
public:
    // Same numbering as CArchMemo::MemoPrior; stored in files, so never renumber.
    // A fixed underlying type keeps any stored number a well-defined value.
    enum DispPrior : int { High = 0, Mid = 1, Low = 2 };

    // Image shapes keep the picture's own colours.
    explicit DragShape(const wxBitmap& bitmap);
    DragShape(const wxBitmap& bitmap, DispPrior prior);
    // Text shape: at most the first 101 characters, clipped to 800 × 30 pixels.
    DragShape(wxString text, DispPrior prior);
    virtual ~DragShape();

    // Blits the bitmap (masked) at m_pos, with a white frame when highlighted;
    // false and nothing drawn when there is no valid bitmap.
    bool Draw(wxDC& dc, bool highlight);
    bool HitTest(const wxPoint& pt) const;

    // High red, Mid green, anything else azure.
    static wxColour PriorColour(int prior);
    // Stored priorities other than 0, 1, 2 show as High.
    static DispPrior FromMemoPrior(int memoPrior);

    // Where it is drawn and hit: m_pos, lowered or raised by m_drawOffsetY so that labels close
    // together do not hide each other. The offset is drawing only; m_pos is the memo's place.
    wxPoint shownPos() const { return m_pos + wxPoint(0, m_drawOffsetY); }

    wxPoint m_pos; // top-left corner in panel pixels
    int m_drawOffsetY = 0;
    bool m_movedByUser = false; // dragged since its place was last stored
    wxBitmap m_bitmap;
    int m_dragKind = 1;
    bool m_shown = true;
    int m_titleNo = 0;
    int m_termNo = 0;
    wxString m_shapeText;
    DispPrior m_dispPrior = High;
};
