#include <wx/dcbuffer.h>

#include "gui/app/Require.h"
#include "gui/panels/MyDragImage.h"
#include "gui/panels/PixelMath.h"
#include "gui/panels/myCanvasPanel.h"
#include "gui/panels/DragShape.h"

// clang-format off
wxBEGIN_EVENT_TABLE(myCanvasPanel, wxPanel)
    EVT_PAINT(myCanvasPanel::OnPaint)
    EVT_MOUSE_EVENTS(myCanvasPanel::OnMouseEvent)
    EVT_MENU(myCanvasPanel::CmdAddMemo, myCanvasPanel::OnAddMemo)
    EVT_MENU(myCanvasPanel::CmdEditMemo, myCanvasPanel::OnEditMemo)
    EVT_MENU(myCanvasPanel::CmdDeleteMemo, myCanvasPanel::OnDeleteMemo)
    EVT_MENU(myCanvasPanel::CmdMemoMoveTo, myCanvasPanel::OnMemoMoveTo)
    EVT_MENU(myCanvasPanel::CmdMemoMoveLatest, myCanvasPanel::OnMemoMoveLatest)
    EVT_MENU(myCanvasPanel::CmdMemoMoveNext, myCanvasPanel::OnMemoMoveNext)
    EVT_MENU(myCanvasPanel::CmdMemoMovePrevious, myCanvasPanel::OnMemoMovePrevious)
    EVT_MENU(myCanvasPanel::CmdMemoRestore, myCanvasPanel::OnMemoRestore)
    EVT_MENU(myCanvasPanel::CmdMemoReplace, myCanvasPanel::OnMemoReplace)
    EVT_MENU(myCanvasPanel::CmdMemoSort, myCanvasPanel::OnMemoSort)
    EVT_MENU(myCanvasPanel::CmdMemoToFirst, myCanvasPanel::OnMemoToFirst)
    EVT_MENU(myCanvasPanel::CmdMemoToLast, myCanvasPanel::OnMemoToLast)
    EVT_MENU(myCanvasPanel::CmdPlay, myCanvasPanel::ToPlay)
    EVT_MENU(myCanvasPanel::CmdStop, myCanvasPanel::ToStop)
    EVT_MENU(myCanvasPanel::CmdRedraw, myCanvasPanel::ToRedraw)
    EVT_MENU(myCanvasPanel::CmdMemoToFile, myCanvasPanel::ToMemoToFile)
    EVT_MENU(myCanvasPanel::CmdHammingWindow, myCanvasPanel::ToHammingWindow)
    EVT_MENU(myCanvasPanel::CmdWidebandPhase, myCanvasPanel::ToWidebandPhase)
    EVT_MENU(myCanvasPanel::CmdSetRange, myCanvasPanel::ToSetRange)
    EVT_MENU(myCanvasPanel::CmdUnsetRange, myCanvasPanel::ToUnsetRange)
    EVT_MENU(myCanvasPanel::CmdVoiceprint, myCanvasPanel::ToVoiceprint)
    EVT_MENU(myCanvasPanel::CmdSetPriorHigh, myCanvasPanel::ToSetPriorHigh)
    EVT_MENU(myCanvasPanel::CmdSetPriorMid, myCanvasPanel::ToSetPriorMid)
    EVT_MENU(myCanvasPanel::CmdSetPriorLow, myCanvasPanel::ToSetPriorLow)
    EVT_MENU(myCanvasPanel::CmdCalcPriorStats, myCanvasPanel::ToCalcPriorStats)
    EVT_MENU(myCanvasPanel::CmdCalcPitch, myCanvasPanel::ToCalcPitch)
wxEND_EVENT_TABLE()
    // clang-format on

    myCanvasPanel::myCanvasPanel(wxWindow* parent, IProcMemoListener* listener)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0), m_ownerWindow(parent),
      m_memoListener(listener) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    SetCursor(wxCursor(wxCURSOR_ARROW));
}

myCanvasPanel::~myCanvasPanel() {
    ClearShapes();
    delete m_dragImage;
    delete m_archbitmap;
    delete m_archImage;
    delete m_lineArchImage;
    delete m_camvasBitmap;
}

namespace {

// A cleared white bitmap of the given size; the size is never below 1 × 1.
wxBitmap* newWhiteBuffer(wxSize size) {
    auto* bitmap = new wxBitmap(std::max(size.x, 1), std::max(size.y, 1));
    VOCALITH_REQUIRE(bitmap && bitmap->IsOk(), "m_camvasBitmap");
    wxMemoryDC dc(*bitmap);
    dc.Clear();
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    return bitmap;
}

} // namespace

void myCanvasPanel::drawScale() {
    const wxSize size = GetSize();
    delete m_camvasBitmap;
    m_camvasBitmap = newWhiteBuffer(size);
    wxMemoryDC dc(*m_camvasBitmap);
    crispLines(dc);
    dc.SetPen(*wxBLACK_PEN);
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.DrawRectangle(2, 2, size.x - 4, size.y - 4);
    m_bufferWidth = size.x;
    m_bufferHeight = size.y;
}

void myCanvasPanel::drawHint(const wxString& text) {
    if (!m_camvasBitmap)
        return;
    wxMemoryDC dc(*m_camvasBitmap);
    dc.SetTextForeground(wxColour(110, 110, 110));
    const wxSize extent = dc.GetTextExtent(text);
    dc.DrawText(text, std::max(4, (m_bufferWidth - extent.x) / 2),
                std::max(4, (m_bufferHeight - extent.y) / 2));
}

bool myCanvasPanel::isScaleChanged() {
    const wxSize size = GetSize();
    if (m_camvasBitmap && size.x == m_bufferWidth && size.y == m_bufferHeight)
        return false;
    m_bufferWidth = size.x;
    m_bufferHeight = size.y;
    delete m_camvasBitmap;
    m_camvasBitmap = newWhiteBuffer(size);
    return true;
}

bool myCanvasPanel::isSizeChanged() {
    const wxSize size = GetSize();
    if (!m_camvasBitmap)
        return true;
    return m_camvasBitmap->GetWidth() != size.x || m_camvasBitmap->GetHeight() != size.y;
}

void myCanvasPanel::replaceBuffer(const wxImage& image) {
    auto* bitmap = new wxBitmap(image);
    VOCALITH_REQUIRE(bitmap && bitmap->IsOk(), "m_camvasBitmap");
    delete m_camvasBitmap;
    m_camvasBitmap = bitmap;
}

void myCanvasPanel::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    PrepareDC(dc);
    if (!m_camvasBitmap) {
        // Not recorded: the next draw call still sees no size and makes a fresh one.
        const wxSize size = GetSize();
        m_camvasBitmap = new wxBitmap(std::max(size.x, 1), std::max(size.y, 1));
        VOCALITH_REQUIRE(m_camvasBitmap->IsOk(), "m_camvasBitmap");
    }
    wxMemoryDC source(*m_camvasBitmap);
    dc.Blit(0, 0, m_camvasBitmap->GetWidth(), m_camvasBitmap->GetHeight(), &source, 0, 0, wxCOPY,
            true);
    drawAxes(dc);
    DrawShapes(dc);
}

void myCanvasPanel::drawScaleTimeFreq(long sampleRate, long freqLow, long freqHigh) {
    m_sampleRate = sampleRate;
    m_rangeFrom = freqLow;
    m_rangeTo = freqHigh;
    isScaleChanged();
    drawScaleTimeFreqBase(2, 2, m_bufferWidth - 4, m_bufferHeight - 4);
}

void myCanvasPanel::drawScaleTimeFreqBase(int x, int y, int w, int h) {
    wxMemoryDC dc(*m_camvasBitmap);
    crispLines(dc);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetBrush(*wxBLACK_BRUSH);
    dc.SetPen(*wxBLACK_PEN);
    dc.DrawRectangle(x, y, w, h);
    dc.SetPen(wxPen(*wxWHITE, 1, wxPENSTYLE_SOLID));
    if (m_rangeFrom >= m_rangeTo)
        return;
    const long top = std::min(m_sampleRate / 2, m_rangeTo);
    const long low = std::max(m_rangeFrom, 0L);
    const int H = m_bufferHeight;
    const int W = m_bufferWidth;
    dc.DrawLine(2, H - 2, 2, 2);
    dc.DrawLine(W - 2, H - 2, 2, H - 2);
    if (m_sampleRate <= 0 || top <= 0)
        return;
    const long span = top - low;
    if (span <= 0)
        return; // low at or above the Nyquist limit: nothing to mark
    const long step = span > 999 ? 1000 : 100;
    auto row = [&](long f) { return static_cast<int>((H - 2) - ((f - low) * (H - 4)) / span); };
    for (long f = 0; f < top; f += step)
        if (f >= low)
            dc.DrawLine(2, row(f), 6, row(f));
    for (long f = 0; f < top; f += 5000)
        if (f >= low)
            dc.DrawLine(2, row(f), 8, row(f));
}
