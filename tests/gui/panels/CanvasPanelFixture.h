#pragma once

#include <utility>

#include "support/GuiFixture.h"
#include "gui/panels/MyDragImage.h"

inline wxColour at(const wxImage& image, int x, int y) {
    return {image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)};
}
// Pixels as text: a grey as its level, another colour as r/g/b.
inline std::string pixelsOf(const wxImage& image, std::initializer_list<wxPoint> points) {
    std::string text;
    for (const wxPoint& p : points) {
        const wxColour c = at(image, p.x, p.y);
        text += " " + std::to_string(c.Red());
        if (c.Red() != c.Green() || c.Green() != c.Blue())
            text += "/" + std::to_string(c.Green()) + "/" + std::to_string(c.Blue());
    }
    return text.erase(0, 1);
}
// Pixels of one colour inside a rectangle.
inline int countOf(const wxImage& image, const wxRect& r, const wxColour& colour) {
    int n = 0;
    for (int x = r.x; x <= r.GetRight(); ++x)
        for (int y = r.y; y <= r.GetBottom(); ++y)
            n += at(image, x, y) == colour;
    return n;
}
inline wxBitmap filled(int w, int h, const wxColour& c) {
    wxImage image(w, h);
    image.SetRGB(wxRect(0, 0, w, h), c.Red(), c.Green(), c.Blue());
    return wxBitmap(image);
}
inline const wxColour kWhite(255, 255, 255), kRed(255, 0, 0);
inline const std::string kStale = "size changed, please, redraw.";

// One panel alone on a plain frame. The fixture is the panel's listener and the
// active log target, and keeps what it was told and asked ("name(args)"), in order.
class CanvasPanelTest : public ::testing::Test, public wxLog, public IProcMemoListener {
public:
    using Prior = DragShape::DispPrior;
    void saveMemoPos() override { add("saveMemoPos()"); }
    void loadMemoPos() override { add("loadMemoPos()"); }
    void moveToMemo(int t) override { add("moveToMemo(%d)", t); }
    void moveToLatestMemo() override { add("moveToLatestMemo()"); }
    void moveNextMemo(int t) override { add("moveNextMemo(%d)", t); }
    void movePreviousMemo(int t) override { add("movePreviousMemo(%d)", t); }
    void restoreMemo(int t) override { add("restoreMemo(%d)", t); }
    void replaceMemo(int t) override { add("replaceMemo(%d)", t); }
    void addMemo(int x, int y, wxString text) override { add("addMemo(%d,%d,%s)", x, y, text); }
    void editMemo(int t, int term) override { add("editMemo(%d,%d)", t, term); }
    void deleteMemo(int t, int term) override { add("deleteMemo(%d,%d)", t, term); }
    void sortMemoByTime() override { add("sortMemoByTime()"); }
    void moveMemoToFirst(int t) override { add("moveMemoToFirst(%d)", t); }
    void moveMemoToLast(int t) override { add("moveMemoToLast(%d)", t); }
    void toPlay() override { add("toPlay()"); }
    void toStop() override { add("toStop()"); }
    void toRedraw() override { add("toRedraw()"); }
    void toSaveMemoToFile() override { add("toSaveMemoToFile()"); }
    void toHammingWindow() override { add("toHammingWindow()"); }
    void toWidebandPhase() override { add("toWidebandPhase()"); }
    void setRange() override { add("setRange()"); }
    void unsetRange() override { add("unsetRange()"); }
    void toVoiceprint() override { add("toVoiceprint()"); }
    void setProirSubTitle(int t, Prior p) override { add("setProirSubTitle(%d,%d)", t, int(p)); }
    void calcPriorStats() override { add("calcPriorStats()"); }
    void calcPitch() override { add("calcPitch()"); }

protected:
    void SetUp() override {
        window = new wxFrame(nullptr, wxID_ANY, "canvas", wxPoint(0, 0), wxSize(1000, 800));
        // The frame would stretch a lone child over its client area; the holder takes that.
        panel = new myCanvasPanel(new wxPanel(window), this);
        window->Show();
        pumpEvents();
        saved = wxLog::SetActiveTarget(this);
    }
    void TearDown() override {
        wxLog::SetActiveTarget(saved);
        window->Destroy();
        pumpEvents();
    }
    void DoLogRecord(wxLogLevel, const wxString& msg, const wxLogRecordInfo&) override {
        add("%s", msg);
    }
    // What was logged and asked since the last look.
    Lines take() { return std::exchange(heard, {}); }

    // Mouse on and a fresh picture: the waveform panel of count samples, or without a count
    // the voiceprint panel, 300 rows high.
    void makePanel(int count = 0) {
        panel->SetSize(0, 0, 404, count ? 120 : 300);
        inside(panel).memoPanel() = !count;
        inside(panel).plotKind() = count ? plotWaveform : plotVoiceprint;
        inside(panel).subPlot() = 0;
        inside(panel).waveCount() = count;
        inside(panel).mouseEnabled() = true;
        panel->drawScale();
    }
    DragShape* addShape(const wxString& text, wxPoint pos, int title, int term) {
        auto* shape = new DragShape(text, DragShape::High);
        shape->m_pos = pos;
        shape->m_titleNo = title;
        shape->m_termNo = term;
        panel->shapes().Append(shape);
        return shape;
    }

    void mouse(wxEventType type, wxPoint pos, bool down = true) {
        wxMouseEvent event(type);
        event.SetPosition(pos);
        (type == wxEVT_RIGHT_DOWN ? event.m_rightDown : event.m_leftDown) = down;
        panel->ProcessWindowEvent(event);
    }
    void press(int x, int y) { mouse(wxEVT_LEFT_DOWN, {x, y}); }
    void moveTo(int x, int y) { mouse(wxEVT_MOTION, {x, y}); }
    void release(int x, int y) { mouse(wxEVT_LEFT_UP, {x, y}, false); }
    // A command given from a menu opened at menuPos, by default from none.
    void command(int id, wxPoint menuPos = {-1, -1}) {
        inside(panel).menuPos() = menuPos;
        wxCommandEvent event(wxEVT_MENU, id);
        panel->ProcessWindowEvent(event);
    }

    wxImage buffer() const { return panel->backBuffer()->ConvertToImage(); }
    std::string pixels(std::initializer_list<wxPoint> points) const {
        return pixelsOf(buffer(), points);
    }
    // Selected samples and the band that shows them: start, length, x, width.
    Ints selection() const {
        return {panel->selStart(), panel->selLength(), inside(panel).selX(),
                inside(panel).selWidth()};
    }

    template <typename... Args> void add(const char* format, Args... args) {
        heard.push_back(wxString::Format(format, args...).utf8_string());
    }

    Lines heard;
    wxLog* saved = nullptr;
    wxFrame* window = nullptr;
    myCanvasPanel* panel = nullptr;
};
