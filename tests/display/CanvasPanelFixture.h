#pragma once

#include <string>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/uiaction.h>

#include "display/MyDragImage.h"
#include "display/myCanvasPanel.h"
#include "memo/DragShape.h"
#include "support/GuiFixture.h"
#include "support/RecordingListener.h"

// Keeps the text of every message logged while a test runs.
class PanelLog : public wxLog {
public:
    std::vector<std::string> lines;

protected:
    void DoLogRecord(wxLogLevel, const wxString& msg, const wxLogRecordInfo&) override {
        lines.push_back(msg.utf8_string());
    }
};

// One panel of a fixed size alone on a plain frame, with a recording listener.
class CanvasPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = new wxFrame(nullptr, wxID_ANY, "canvas", wxPoint(0, 0), wxSize(700, 500));
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
        panel->m_memoPanel = 0;
        panel->m_subPlot = 0;
        panel->m_plotKind = 0;
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

    void mouse(wxEventType type, int x, int y, bool leftDown) {
        wxMouseEvent event(type);
        event.m_x = x;
        event.m_y = y;
        event.m_leftDown = leftDown;
        event.SetEventObject(panel);
        panel->ProcessWindowEvent(event);
    }
    void press(int x, int y) { mouse(wxEVT_LEFT_DOWN, x, y, true); }
    void moveTo(int x, int y) { mouse(wxEVT_MOTION, x, y, true); }
    void release(int x, int y) { mouse(wxEVT_LEFT_UP, x, y, false); }
    void command(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(panel);
        panel->ProcessWindowEvent(event);
    }

    wxImage buffer() const { return panel->m_camvasBitmap->ConvertToImage(); }
    std::vector<std::string> takeLog() {
        auto lines = log.lines;
        log.lines.clear();
        return lines;
    }
    std::vector<std::string> takeCalls() {
        auto calls = listener.calls;
        listener.calls.clear();
        return calls;
    }

    RecordingListener listener;
    PanelLog log;
    wxLog* saved = nullptr;
    wxFrame* window = nullptr;
    myCanvasPanel* panel = nullptr;
};

using Lines = std::vector<std::string>;
