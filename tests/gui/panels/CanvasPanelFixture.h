#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/uiaction.h>

#include "gui/panels/MyDragImage.h"
#include "gui/panels/myCanvasPanel.h"
#include "gui/panels/DragShape.h"
#include "support/GuiFixture.h"
#include "support/RecordingListener.h"

using Lines = std::vector<std::string>;
using Ints = std::vector<int>;

// A pixel's colour, printable when a comparison fails.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}
inline Rgb at(const wxImage& image, int x, int y) {
    return {image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)};
}
using Colours = std::vector<Rgb>;
// Pixels of one colour inside a rectangle.
inline int countOf(const wxImage& image, const wxRect& r, Rgb colour) {
    int n = 0;
    for (int x = r.x; x <= r.GetRight(); ++x)
        for (int y = r.y; y <= r.GetBottom(); ++y)
            n += at(image, x, y) == colour;
    return n;
}
inline constexpr Rgb kWhite{255, 255, 255}, kBlack{0, 0, 0}, kBand{192, 192, 192};

// Keeps the text of every message logged while a test runs.
class PanelLog : public wxLog {
public:
    Lines lines;

protected:
    void DoLogRecord(wxLogLevel, const wxString& msg, const wxLogRecordInfo&) override {
        lines.push_back(msg.utf8_string());
    }
};

// One panel of a fixed size alone on a plain frame, with a recording listener.
class CanvasPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = new wxFrame(nullptr, wxID_ANY, "canvas", wxPoint(0, 0), wxSize(1000, 800));
        // The frame would stretch a lone child over its client area; the holder takes that.
        auto* holder = new wxPanel(window);
        panel = new myCanvasPanel(holder, &listener);
        panel->SetSize(0, 0, 404, 120);
        window->Show();
        pumpEvents();
        saved = wxLog::SetActiveTarget(&log);
    }
    void TearDown() override {
        wxLog::SetActiveTarget(saved);
        window->Destroy();
        pumpEvents();
    }

    // The waveform panel: a plot of count samples with mouse handling on.
    void makeWavePanel(int count) {
        panel->m_memoPanel = panel->m_subPlot = panel->m_plotKind = 0;
        panel->m_waveCount = count;
        panel->m_mouseEnabled = true;
        panel->drawScale();
    }
    // The main panel showing a voiceprint.
    void makeVoiceprintPanel() {
        panel->SetSize(0, 0, 404, 300);
        panel->m_memoPanel = 1;
        panel->m_plotKind = 2;
        panel->m_mouseEnabled = true;
        panel->drawScale();
    }
    DragShape* addShape(const wxString& text, wxPoint pos, int title, int term) {
        auto* shape = new DragShape(text, DragShape::High);
        shape->m_pos = pos;
        shape->m_titleNo = title;
        shape->m_termNo = term;
        panel->m_shapeList.Append(shape);
        return shape;
    }

    void mouse(wxEventType type, wxPoint pos, bool down) {
        wxMouseEvent event(type);
        event.m_x = pos.x;
        event.m_y = pos.y;
        (type == wxEVT_RIGHT_DOWN ? event.m_rightDown : event.m_leftDown) = down;
        event.SetEventObject(panel);
        panel->ProcessWindowEvent(event);
    }
    void press(int x, int y) { mouse(wxEVT_LEFT_DOWN, {x, y}, true); }
    void moveTo(int x, int y) { mouse(wxEVT_MOTION, {x, y}, true); }
    void release(int x, int y) { mouse(wxEVT_LEFT_UP, {x, y}, false); }
    void command(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(panel);
        panel->ProcessWindowEvent(event);
    }

    wxImage buffer() const { return panel->m_camvasBitmap->ConvertToImage(); }
    Colours pixels(std::initializer_list<wxPoint> points) const {
        const wxImage image = buffer();
        Colours colours;
        for (const wxPoint& p : points)
            colours.push_back(at(image, p.x, p.y));
        return colours;
    }
    // Selected samples and the band that shows them: start, length, x, width.
    Ints selection() const {
        return {panel->m_selStart, panel->m_selLength, panel->m_selX, panel->m_selWidth};
    }
    Lines takeLog() { return std::exchange(log.lines, {}); }
    Lines takeCalls() { return std::exchange(listener.calls, {}); }

    RecordingListener listener;
    PanelLog log;
    wxLog* saved = nullptr;
    wxFrame* window = nullptr;
    myCanvasPanel* panel = nullptr;
};
