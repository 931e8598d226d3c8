#pragma once

#include <wx/wx.h>

#include "engine/render/ReadoutMath.h"
#include "gui/app/IProcMemoListener.h"

class DragShape;
class MyDragImage;

// A drawing panel. Every plot is drawn once into the back buffer (m_camvasBitmap);
// painting only blits it and draws the memo shapes on top. Data arrays handed to
// the draw calls are borrowed and must outlive the next draw call on this panel.
//
// The plot area is the rectangle 2 pixels inside the panel's edges.
// Columns at the voiceprint's right edge kept for the pitch scale's ticks; the pitch legend ends
// before them.
constexpr int kPitchLegendMargin = 10;
// Width at the voiceprint's bottom right kept for the pitch legend's lowest value.
constexpr int kPitchLegendCorner = 45;

// What a panel shows; the numbers are those the panels have always used.
enum PlotKind : int { plotWaveform = 0, plotLevelSpectrum = 1, plotVoiceprint = 2 };

class myCanvasPanel : public wxPanel {
public:
    myCanvasPanel(wxWindow* parent, IProcMemoListener* listener);
    ~myCanvasPanel() override;

    // What the window asks of a panel
    PlotKind plotKind() const { return m_plotKind; }
    // The plane a voiceprint shows: 1 Hamming window, 2 wideband phase restoration.
    int voiceprintMethod() const { return m_voiceprintMethod; }
    void setVoiceprintMethod(int method) { m_voiceprintMethod = method; }
    bool showsVoiceprint() const { return m_plotKind == plotVoiceprint && m_voiceprintData; }
    bool showsPitch() const { return m_pitchData != nullptr; }
    long levelCount() const { return m_levelCount; }
    void enableMouse() { m_mouseEnabled = true; }
    // The panel takes memos: its menus add, edit and move them.
    void takeMemos() { m_memoPanel = 1; }
    // The selected samples of the top panel's stretch.
    int selStart() const { return m_selStart; }
    int selLength() const { return m_selLength; }
    int waveCount() const { return m_waveCount; }
    bool showsWave() const { return m_waveData != nullptr; }
    void select(int start, int length) {
        m_selStart = start;
        m_selLength = length;
    }
    // The memo shapes (DragShape*, owned) in drawing order.
    wxList& shapes() { return m_shapeList; }
    const wxList& shapes() const { return m_shapeList; }
    // A drag or a highlight must not outlive its shape; a replaced shape's highlight goes to
    // its successor.
    void forgetShape(const DragShape* shape, DragShape* successor = nullptr);
    const wxBitmap* backBuffer() const { return m_camvasBitmap; }
    // What the axis reads at the first point and per point (see drawAxes).
    void setAxis(double start, double perPoint) {
        m_axisStart = start;
        m_axisPerPoint = perPoint;
    }

    // The pointer readout — src/gui/panels/CanvasReadout.cpp
    struct ReadoutScale {
        long rate = 0;
        long long first = 0;   // the sample of the first value drawn (the overview's aside)
        long overviewStep = 1; // samples between the overview's values
        bool spectra = false;  // the main panel: a voiceprint or a level spectrum
    };
    // What the pointer at (x, y) is over, for the status bar; empty where nothing is drawn.
    wxString readoutAt(int x, int y, const ReadoutScale& scale) const;
    VoiceprintGeometry voiceprintGeometry() const;
    // The waveform's value under (x, y), or -1 without a waveform.
    long waveIndexAt(int x, int y) const;
    // The overview's value under (x, y), or -1 off the overview or without one.
    long overviewIndexAt(int x, int y) const;

    // Back buffer, painting and the frequency scale — src/gui/panels/CanvasBuffer.cpp
    void drawScale();
    // A line of grey text in the middle of the buffer, as the empty window's first help.
    void drawHint(const wxString& text);
    bool isScaleChanged();
    bool isSizeChanged();
    void OnPaint(wxPaintEvent& event);
    void drawScaleTimeFreq(long sampleRate, long freqLow, long freqHigh);
    void drawScaleTimeFreqBase(int x, int y, int w, int h);

    // Waveform, overview and level plots — src/gui/panels/CanvasLinePlots.cpp
    void drawWave(double* data, int count, double top, double bottom);
    void drawWaveSub(short* data, int count, short top, short bottom);
    void drawdB(double* data, long count, long from, long to, double bottom, double top);
    void drawWaveBase(int x, int y, int w, int h);
    void drawWaveBaseSub(int x, int y, int w, int h);
    void drawdBBase(int x, int y, int w, int h);
    void redrawWave();
    void redrawWaveSub();
    void redrawdB();
    void redrawdBChangeRange(long freqLow, long freqHigh, double bottom, double top, long rate);
    // Lets go of every borrowed array (their owner is about to free them); the picture stays,
    // and a later redraw draws empty plots instead of reading freed memory.
    void forgetData();

    // Voiceprint and pitch — src/gui/panels/CanvasVoiceprint.cpp
    void drawdBTimeFreq(double* plane, long frames, long bins, long sampleRate, long interval,
                        long freqLow, long freqHigh, double dbLow, double dbHigh);
    void drawdBBaseTimeFreq(int x, int y, int w, int h);
    void drawPitch(double* pitch, int count, double top, double bottom, double* level,
                   double* power, double* harmonics);
    void drawPitchBase(int x, int y, int w, int h);
    void drawScalePitchTimeFreqBase(int x, int y, int w, int h);

    // Selection band, cursor line, shapes and the mouse — src/gui/panels/CanvasMouse.cpp
    void setSelect(long x, long width);
    void resetSelect();
    void eraseSelect();
    void setLineSelect(long x);
    void resetLineSelect();
    void drawWaveLine(long sample);
    void drawWavePosLine(long first, long end);
    void drawWavePosLineSub(long first, long end);
    DragShape* FindShape(const wxPoint& pt) const;
    void DrawShapes(wxDC& dc);
    void DrawShapes();
    void ClearShapes();
    void OnMouseEvent(wxMouseEvent& event);
    void OnMouseCaptureLost(wxMouseCaptureLostEvent& event);
    // Ends a shape drag without moving the shape: the drag image goes, the shape shows again.
    void cancelShapeDrag(bool endDrag);

    // Axes and labels over the plot, drawn when painting and never into the back buffer, so
    // the plots' own pixels stay as they are — src/gui/panels/CanvasAxes.cpp
    // Waveform, overview and voiceprint: seconds at the first point and per point (a sample, an
    // overview entry, a sample of the analysed stretch); level spectrum: 0 and Hz per bin. No
    // axis while the value per point is 0.
    void drawAxes(wxDC& dc) const;

    // Context menus and their commands — src/gui/panels/CanvasMenus.cpp
    void ShowContextMenu(const wxPoint& pos);
    void ShowContextMenuTitle(const wxPoint& pos);
    void ShowContextMenuToPlay(const wxPoint& pos);
    // The menu a right press at pos would open now; null when none opens. Caller owns it.
    wxMenu* buildContextMenu(const wxPoint& pos);
    wxMenu* buildContextMenuTitle(const wxPoint& pos);
    wxMenu* buildContextMenuToPlay();
    // The memo shape under m_menuPos, which is reset; null (and logged) when none.
    DragShape* takeMenuMemo();

    // Menu command ids; fixed numbers routed by the event table.
    enum MenuCommand {
        CmdAddMemo = 0,
        CmdEditMemo = 1,
        CmdDeleteMemo = 2,
        CmdMemoMoveTo = 3,
        CmdMemoMoveLatest = 4,
        CmdMemoMoveNext = 5,
        CmdMemoMovePrevious = 6,
        CmdMemoRestore = 7,
        CmdMemoReplace = 8, // no menu item
        CmdMemoSort = 9,
        CmdMemoToFirst = 10,
        CmdMemoToLast = 11,
        CmdPlay = 12,
        CmdStop = 13,
        CmdRedraw = 14,
        CmdMemoToFile = 15,
        CmdHammingWindow = 16,
        CmdWidebandPhase = 17,
        CmdSetRange = 18,
        CmdUnsetRange = 19,
        CmdVoiceprint = 20,
        CmdSetPriorHigh = 21,
        CmdSetPriorMid = 22,
        CmdSetPriorLow = 23,
        CmdCalcPriorStats = 24,
        CmdCalcPitch = 25,
    };
    void OnAddMemo(wxCommandEvent& event);
    void OnEditMemo(wxCommandEvent& event);
    void OnDeleteMemo(wxCommandEvent& event);
    void OnMemoMoveTo(wxCommandEvent& event);
    void OnMemoMoveLatest(wxCommandEvent& event);
    void OnMemoMoveNext(wxCommandEvent& event);
    void OnMemoMovePrevious(wxCommandEvent& event);
    void OnMemoRestore(wxCommandEvent& event);
    void OnMemoReplace(wxCommandEvent& event);
    void OnMemoSort(wxCommandEvent& event);
    void OnMemoToFirst(wxCommandEvent& event);
    void OnMemoToLast(wxCommandEvent& event);
    void ToPlay(wxCommandEvent& event);
    void ToStop(wxCommandEvent& event);
    void ToRedraw(wxCommandEvent& event);
    void ToMemoToFile(wxCommandEvent& event);
    void ToHammingWindow(wxCommandEvent& event);
    void ToWidebandPhase(wxCommandEvent& event);
    void ToSetRange(wxCommandEvent& event);
    void ToUnsetRange(wxCommandEvent& event);
    void ToVoiceprint(wxCommandEvent& event);
    void ToSetPriorHigh(wxCommandEvent& event);
    void ToSetPriorMid(wxCommandEvent& event);
    void ToSetPriorLow(wxCommandEvent& event);
    void ToCalcPriorStats(wxCommandEvent& event);
    void ToCalcPitch(wxCommandEvent& event);

private:
    friend struct PanelProbe; // the tests' view
    friend class MyDragImage; // draws over the panel's saved background

    // Set by setAxis; see drawAxes.
    double m_axisStart = 0.0;
    double m_axisPerPoint = 0.0;

    wxWindow* m_ownerWindow;
    int m_bufferWidth = 0;
    int m_bufferHeight = 0;
    wxBitmap* m_camvasBitmap = nullptr; // sic: the back buffer

    double* m_pitchHarmData = nullptr;
    double* m_pitchPowerData = nullptr;
    double* m_pitchLevelData = nullptr;
    double* m_pitchData = nullptr; // null drops the pitch overlay
    int m_pitchCount = 0;
    double m_pitchTop = 0.0;
    double m_pitchBottom = 0.0;

    double* m_waveData = nullptr;
    int m_waveCount = 0;
    double m_waveTop = 0.0;
    double m_waveBottom = 0.0;

    double* m_levelData = nullptr;
    long m_levelCount = 0;
    // Level plot: end index (exclusive) and first index; voiceprint: high and low limit in Hz.
    long m_rangeTo = 0;
    long m_rangeFrom = 0;
    double m_levelTop = 0.0;
    double m_levelBottom = 0.0;

    double* m_voiceprintData = nullptr;
    long m_voiceprintFrames = 0;
    long m_voiceprintBins = 0;
    long m_sampleRate = 0;
    long m_voiceprintInterval = 0;

    short* m_subData = nullptr;
    int m_subCount = 0;
    short m_subTop = 0;
    short m_subBottom = 0;

    PlotKind m_plotKind = plotWaveform;
    int m_memoPanel = 0;
    int m_subPlot = 1;
    int m_voiceprintMethod = 2; // 1 Hamming window, 2 wideband phase restoration
    bool m_mouseEnabled = false;
    int m_dragMode = 0; // 0 idle, 1 pressed, 2 dragging
    wxPoint m_dragStartPos;
    wxPoint m_dragEndPos;
    wxPoint m_menuPos{-1, -1};
    wxList m_shapeList; // of DragShape*, owned
    DragShape* m_draggedShape = nullptr;
    DragShape* m_highlightedShape = nullptr;
    MyDragImage* m_dragImage = nullptr;
    wxBitmap* m_archbitmap = nullptr;
    int m_selStart = 0;
    int m_selLength = 0;
    int m_selPanelWidth = 0;
    int m_selX = 0; // 0: no band
    int m_selWidth = 0;
    wxImage* m_archImage = nullptr;
    int m_linePanelWidth = 0;
    int m_lineX = 0; // 0: no line
    int m_lineWidth = 0;
    wxImage* m_lineArchImage = nullptr;
    IProcMemoListener* m_memoListener; // not owned; the frame outlives the panel

    // Replaces the back buffer by a bitmap made from the image.
    void replaceBuffer(const wxImage& image);
    // After a waveform redraw at a new size: the selection band again, in proportion.
    void replaceBandAfterResize();

    wxDECLARE_EVENT_TABLE();
};
