#pragma once

#include <wx/wx.h>

#include "app/IProcMemoListener.h"

// A drawing panel. For now it only holds its place in the layout and its
// listener; the back buffer, scales and plots come with the display work.
class myCanvasPanel : public wxPanel {
public:
    myCanvasPanel(wxWindow* parent, IProcMemoListener* listener);

    IProcMemoListener* m_memoListener; // not owned; the frame outlives the panel
    int m_memoPanel = 0;               // 1: the panel shows memo shapes
};
