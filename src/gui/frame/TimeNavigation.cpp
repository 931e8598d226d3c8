#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/analysis/CWorkMemory.h"
#include "gui/frame/MyFrame.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/ParameterBlock.h"

namespace {

wxString fromUtf8(const std::string& text) {
    return wxString::FromUTF8(text.data(), text.size());
}

// The stretch fits the window only when the analysis sizes and the window agree; otherwise
// nothing may be copied out of the window.
bool stretchFits(const MyFrame& f) {
    const CWavPara& wave = *f.m_wavePara;
    const CWorkMemory& work = *f.m_workPara;
    return wave.m_window && work.m_wave && work.m_ssftSize <= work.m_maxSize &&
           work.m_excutionSize > 0 && work.m_excutionSize <= wave.m_windowLen;
}

// A window offset the stretch can start at.
long clampCursor(const MyFrame& f, long cursor) {
    const CWavPara& wave = *f.m_wavePara;
    const long last =
        std::min<long>(wave.m_cursorRange, long(wave.m_windowLen) - f.m_workPara->m_excutionSize);
    return std::max(0L, std::min(cursor, last));
}

// The stretch under the slider's thumb.
long cursorOfSlider(const MyFrame& f) {
    return clampCursor(f, long(f.m_slider->GetValue() * f.m_wavePara->m_samplesPerSliderStep));
}

std::string positionText(const MyFrame& f, long cursor, bool withTrailingSpace) {
    const CWavPara& wave = *f.m_wavePara;
    return formatPosition(int64_t(wave.m_windowStart) + cursor, wave.m_sampleFreq,
                          withTrailingSpace);
}

void showPosition(MyFrame& f, long cursor) {
    f.m_postext->Clear();
    f.m_postext->AppendText(fromUtf8(positionText(f, cursor, true)));
}

void forgetMemoGroup(MyFrame& f) {
    if (f.m_curTitle != -1)
        f.m_prevTitle = f.m_curTitle;
    f.m_curTitle = -1;
}

// First steps of every step and jump button: playing stops and the memo group goes.
void leaveView(MyFrame& f) {
    wxCommandEvent stop;
    f.OnStop(stop);
    f.m_canvasPanelUp->redrawWave();
    forgetMemoGroup(f);
    f.m_canvasPanel->ClearShapes();
    f.m_canvasPanel->redrawdB();
    f.m_canvasPanelSub->redrawWaveSub();
    f.m_canvasPanelSub2->redrawWave();
}

void step(MyFrame& f, long samples) {
    if (!f.mayRun(Action::navigate))
        return;
    leaveView(f);
    f.shiftSliderPos(long(f.m_wavePara->m_cursor) + samples);
}

void markWindowOnOverview(MyFrame& f) {
    const CWavPara& wave = *f.m_wavePara;
    if (wave.m_totalSamples <= 0)
        return;
    const double share = double(wave.m_overviewLen) / wave.m_totalSamples;
    const long first = long(wave.m_windowStart * share);
    f.m_canvasPanelSub->drawWavePosLineSub(first, first + long(share * wave.m_windowLen));
}

// Moves the window to start at `start`, reads it afresh and puts the cursor at `cursor` of the
// new window (clamped by shiftSliderPos); the overview's marker follows.
void moveWindow(MyFrame& f, int32_t start, long cursor) {
    f.m_wavePara->m_windowStart = start;
    f.m_canvasPanelSub2->eraseSelect();
    f.m_wavePara->setSiii();
    f.shiftSliderPos(cursor);
}

// The jump box as a base-10 number; false when it holds anything else.
// The long jumps' distance from its box. Once it reads, the view is left; false as well when
// nothing can move: the window holds the whole sound, or the distance is not forward.
bool jumpDistance(MyFrame& f, long* distance) {
    if (!f.m_jumptext->GetValue().ToLong(distance, 10))
        return false;
    leaveView(f);
    return f.m_wavePara->m_totalSamples >= f.m_wavePara->m_windowMax && *distance > 0;
}

// After a failed resize the buffers the panels borrowed are gone: the panels let go of them
// and the sizes that worked a moment ago come back, so the view keeps a stretch to show.
void reviveWorkMemory(MyFrame& f, const ParameterValues& before) {
    CWavPara& wave = *f.m_wavePara;
    CWorkMemory& work = *f.m_workPara;
    if (work.m_wave)
        return; // refused without touching anything
    f.m_canvasPanelUp->forgetData();
    f.m_canvasPanel->forgetData();
    if (work.setSize(before.ssftSize, wave.m_windowLen,
                     static_cast<CWorkMemory::senseMode>(before.senseMode), before.interval,
                     before.repeatTimes) != CWorkMemory::resultOk)
        return;
    wave.m_cursor = int32_t(clampCursor(f, wave.m_cursor));
    f.analyseStretch();
    f.m_canvasPanelUp->drawWave(work.m_wave, work.m_excutionSize, wave.m_max, wave.m_min);
    f.drawLevelSpectrum();
}

// Resizes the analysis to frames frames of the current transform and hop; false (logged) when
// there are too few or the memory cannot be had.
bool resizeAnalysis(MyFrame& f, long frames) {
    CWorkMemory& work = *f.m_workPara;
    if (frames <= 9) {
        wxLogMessage("data length not enough.");
        return false;
    }
    const ParameterValues before = f.currentParameters();
    if (work.setSize(work.m_ssftSize, f.m_wavePara->m_windowLen, work.m_senseMode, work.m_interval,
                     frames) != CWorkMemory::resultOk) {
        wxLogMessage("failed allocation memory.");
        reviveWorkMemory(f, before);
        return false;
    }
    return true;
}

void setSliderScale(CWavPara& wave, const CWorkMemory& work) {
    wave.m_cursorRange = wave.m_windowLen - work.m_excutionSize;
    wave.m_samplesPerSliderStep = double(wave.m_cursorRange) / wave.m_sliderMax;
}

} // namespace

void MyFrame::OnLLLeft(wxCommandEvent&) {
    step(*this, -100);
}

void MyFrame::OnLLeft(wxCommandEvent&) {
    step(*this, -20);
}

void MyFrame::OnLeft(wxCommandEvent&) {
    step(*this, -1);
}

void MyFrame::OnRigth(wxCommandEvent&) {
    step(*this, 1);
}

void MyFrame::OnRRigth(wxCommandEvent&) {
    step(*this, 20);
}

void MyFrame::OnRRRigth(wxCommandEvent&) {
    step(*this, 100);
}

void MyFrame::shiftSliderPos(long cursor) {
    if (!stretchFits(*this))
        return;
    CWavPara& wave = *m_wavePara;
    CWorkMemory& work = *m_workPara;
    const long p = clampCursor(*this, cursor);
    wave.m_cursor = int32_t(p);
    showPosition(*this, p);

    m_canvasPanelSub2->drawWave(wave.m_window, wave.m_windowLen, wave.m_max, wave.m_min);
    m_canvasPanelSub2->drawWavePosLine(p, p + work.m_excutionSize);

    // Copies the stretch into the work memory and computes its first frame's spectrum.
    analyseStretch();
    m_canvasPanelUp->drawWave(work.m_wave, work.m_excutionSize, wave.m_max, wave.m_min);
    m_canvasPanelUp->eraseSelect();
    m_canvasPanelUp->Refresh(true);
    m_canvasPanelUp->Update();

    drawLevelSpectrum();
    m_canvasPanel->Refresh();
    m_canvasPanel->Update();

    m_sliderSetByProgram = 1;
    m_slider->SetValue(
        wave.m_samplesPerSliderStep > 0.0 ? int(wave.m_cursor / wave.m_samplesPerSliderStep) : 0);
}

void MyFrame::OnSlider(wxScrollEvent& event) {
    if (!mayRun(Action::navigate))
        return;
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_SCROLL_THUMBTRACK)
        sliderPositionMove();
    else if (type == wxEVT_SCROLL_CHANGED)
        sliderPositionChange();
    else
        return;
    Refresh(true);
    Update();
}

void MyFrame::sliderPositionMove() {
    if (m_sliderSetByProgram == 1) {
        m_sliderSetByProgram = 0;
        return;
    }
    if (!stretchFits(*this))
        return;
    CWavPara& wave = *m_wavePara;
    const long c = cursorOfSlider(*this);
    wave.m_cursor = int32_t(c);
    showPosition(*this, c);
    // Only the top waveform follows the thumb, straight from the window; the transforms wait
    // for the final position.
    m_canvasPanelUp->drawWave(wave.m_window + c, m_workPara->m_excutionSize, wave.m_max,
                              wave.m_min);
    m_canvasPanelUp->eraseSelect();
}

void MyFrame::sliderPositionChange() {
    if (!stretchFits(*this))
        return;
    CWavPara& wave = *m_wavePara;
    const long c = cursorOfSlider(*this);
    wave.m_cursor = int32_t(c);
    analyseStretch();
    wxLogMessage("%s moved.", fromUtf8(positionText(*this, c, false)));
    m_canvasPanelSub2->drawWavePosLine(c, c + m_workPara->m_excutionSize);
    forgetMemoGroup(*this);
    m_canvasPanel->ClearShapes();
    drawLevelSpectrum();
}

void MyFrame::OnRRRRigth(wxCommandEvent&) {
    if (!mayRun(Action::navigate))
        return;
    long d = 0;
    if (!jumpDistance(*this, &d))
        return;
    CWavPara& wave = *m_wavePara;
    d = std::min<long>(d, wave.m_totalSamples); // no sum below can overflow
    const int64_t end = int64_t(wave.m_totalSamples) - 1 - wave.m_windowLen;
    if (int64_t(wave.m_windowStart) + d + wave.m_windowLen >= wave.m_totalSamples) {
        // Lowered so that the window ends one sample before the file does; a window already
        // there stays (the lowered distance would be negative and start it before the file).
        d = long(std::max<int64_t>(end - wave.m_windowStart, 0));
    }
    // The stretch keeps its place in the file while it can.
    moveWindow(*this, wave.m_windowStart + int32_t(d), long(wave.m_cursor) - d);
    markWindowOnOverview(*this);
}

void MyFrame::OnLLLLeft(wxCommandEvent&) {
    if (!mayRun(Action::navigate))
        return;
    long d = 0;
    if (!jumpDistance(*this, &d))
        return;
    CWavPara& wave = *m_wavePara;
    d = std::min<long>(d, std::max<int32_t>(wave.m_windowStart, 0));
    moveWindow(*this, wave.m_windowStart - int32_t(d), long(wave.m_cursor) + d);
    markWindowOnOverview(*this);
}

void MyFrame::OnMostLLLLeft(wxCommandEvent&) {
    if (!mayRun(Action::navigate))
        return;
    leaveView(*this);
    CWavPara& wave = *m_wavePara;
    if (wave.m_totalSamples < wave.m_windowMax)
        return;
    moveWindow(*this, 0, 0);
    unsetRange();
    markWindowOnOverview(*this);
}

void MyFrame::setRange() {
    if (!mayRun(Action::navigate))
        return;
    CWavPara& wave = *m_wavePara;
    CWorkMemory& work = *m_workPara;
    const myCanvasPanel& up = *m_canvasPanelUp;
    if (!wave.m_window || up.m_selLength == up.m_waveCount)
        return;
    wxCommandEvent stop;
    OnStop(stop);

    const long start = up.m_selStart;
    long length = up.m_selLength;
    const int64_t excess = int64_t(start) + length + wave.m_cursor - wave.m_windowLen;
    if (excess > 0)
        length -= long(excess);
    if (start < 0 || work.m_interval < 1 || !stretchFits(*this))
        return;
    if (!resizeAnalysis(*this, (length - work.m_ssftSize - 1) / work.m_interval))
        return;

    // The selection is counted from the stretch on the top panel, which starts at m_cursor;
    // the zoom offset may lie elsewhere once the slider has moved.
    wave.m_cursor += int32_t(start);
    analyseStretch();
    setSliderScale(wave, work);

    readBasePart();
    forgetMemoGroup(*this);
    shiftSliderPos(wave.m_cursor);
    m_zoomOffset += int(start);
    Refresh();
    Update();
}

void MyFrame::unsetRange() {
    if (!mayRun(Action::navigate))
        return;
    CWavPara& wave = *m_wavePara;
    CWorkMemory& work = *m_workPara;
    if (!wave.m_window || work.m_interval < 1)
        return;
    wxCommandEvent stop;
    OnStop(stop);
    // The stretch moves to the window's start only once the resize has worked: a refused
    // zoom-out changes nothing.
    if (!resizeAnalysis(*this, (long(wave.m_windowLen) - 1 - work.m_ssftSize) / work.m_interval))
        return;
    wave.m_cursor = 0;
    setSliderScale(wave, work);
    wave.setSiii();
    analyseStretch();

    forgetMemoGroup(*this);
    readBasePart();
    m_zoomOffset = 0;
    // The thumb goes back with the stretch to the window's start.
    m_sliderSetByProgram = 1;
    m_slider->SetValue(0);
    Refresh();
    Update();
}

void MyFrame::toRedraw() {
    if (m_wavePara->m_totalSamples == 0 || !mayRun(Action::navigate))
        return;
    wxCommandEvent stop;
    OnStop(stop);
    redrawPanels();
    Refresh();
    Update();
    wxLogMessage("redraw.");
}

// ---------------------------------------------------------------------------
// Moves for the keys, the mouse wheel and the overview. Each leaves the view as the step
// buttons do; where the stretch cannot go further inside the window, the window moves.

void MyFrame::scrollInTime(long samples) {
    if (!mayRun(Action::navigate) || !stretchFits(*this))
        return;
    CWavPara& wave = *m_wavePara;
    const long wanted = long(wave.m_cursor) + samples;
    if (wanted == clampCursor(*this, wanted)) {
        step(*this, samples);
        return;
    }
    // Past the window's end: the window goes as far as the sound lets it, the stretch with it.
    const int64_t lastStart = std::max<int64_t>(int64_t(wave.m_totalSamples) - wave.m_windowLen, 0);
    const int64_t start =
        std::clamp<int64_t>(int64_t(wave.m_windowStart) + wanted - wave.m_cursor, 0, lastStart);
    leaveView(*this);
    if (start == wave.m_windowStart) {
        shiftSliderPos(wanted);
        return;
    }
    moveWindow(*this, int32_t(start), wanted - long(start - wave.m_windowStart));
    markWindowOnOverview(*this);
}

void MyFrame::moveToFileEdge(bool end) {
    if (!mayRun(Action::navigate) || !stretchFits(*this))
        return;
    CWavPara& wave = *m_wavePara;
    const int64_t lastStart = std::max<int64_t>(int64_t(wave.m_totalSamples) - wave.m_windowLen, 0);
    leaveView(*this);
    const int32_t start = end ? int32_t(lastStart) : 0;
    if (start != wave.m_windowStart) {
        moveWindow(*this, start, end ? wave.m_cursorRange : 0);
        markWindowOnOverview(*this);
    } else {
        shiftSliderPos(end ? long(wave.m_cursorRange) : 0L);
    }
}

void MyFrame::centreOn(long fileSample) {
    if (!mayRun(Action::navigate) || !stretchFits(*this))
        return;
    CWavPara& wave = *m_wavePara;
    const long half = m_workPara->m_excutionSize / 2;
    const int64_t lastStart = std::max<int64_t>(int64_t(wave.m_totalSamples) - wave.m_windowLen, 0);
    const int64_t start =
        std::clamp<int64_t>(int64_t(fileSample) - wave.m_windowLen / 2, 0, lastStart);
    leaveView(*this);
    if (start != wave.m_windowStart) {
        moveWindow(*this, int32_t(start), long(fileSample - start) - half);
        markWindowOnOverview(*this);
    } else {
        shiftSliderPos(long(fileSample - start) - half);
    }
}

bool MyFrame::zoomedIn() const {
    const CWorkMemory& work = *m_workPara;
    if (work.m_interval < 1 || !m_wavePara->m_window)
        return false;
    return work.m_repeatTimes <
           (long(m_wavePara->m_windowLen) - 1 - work.m_ssftSize) / work.m_interval;
}
