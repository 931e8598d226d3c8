#pragma once

#include <wx/generic/dragimgg.h>

class myCanvasPanel;

// Drag image that slides over the panel's own picture and shapes (its dragging
// background m_archbitmap) rather than over the screen's pixels.
class MyDragImage : public wxGenericDragImage {
public:
    MyDragImage(const wxBitmap& image, const wxCursor& cursor)
        : wxGenericDragImage(image, cursor) {}

    bool UpdateBackingFromWindow(wxDC& windowDC, wxMemoryDC& destDC, const wxRect& sourceRect,
                                 const wxRect& destRect) const override;

    myCanvasPanel* m_canvas = nullptr; // the panel that owns this image
};
