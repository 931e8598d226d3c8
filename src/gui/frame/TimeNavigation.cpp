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

void setSliderScale(CWavPara& wave, const CWorkMemory& work) {
    wave.m_cursorRange = wave.m_windowLen - work.m_excutionSize;
    wave.m_samplesPerSliderStep = double(wave.m_cursorRange) / wave.m_sliderMax;
}

} // namespace

long MyFrame::cursorOfSlider() const {
    return m_sound.clampCursor(long(m_slider->GetValue() * m_sound.wave()->m_samplesPerSliderStep));
}

void MyFrame::showPosition(long cursor) {
    m_postext->Clear();
    m_postext->AppendText(fromUtf8(m_sound.positionText(cursor, true)));
}

void MyFrame::forgetMemoGroup() {
    if (m_curTitle != -1)
        m_prevTitle = m_curTitle;
    m_curTitle = -1;
}

void MyFrame::leaveView() {
    wxCommandEvent stop;
    OnStop(stop);
    m_canvasPanelUp->redrawWave();
    forgetMemoGroup();
    m_canvasPanel->ClearShapes();
    m_canvasPanel->redrawdB();
    m_canvasPanelSub->redrawWaveSub();
    m_canvasPanelSub2->redrawWave();
}

void MyFrame::step(long samples) {
    if (!mayRun(Action::navigate))
        return;
    leaveView();
    shiftSliderPos(long(m_sound.wave()->m_cursor) + samples);
}

void MyFrame::markWindowOnOverview() {
    const CWavPara& wave = *m_sound.wave();
    if (wave.m_totalSamples <= 0)
        return;
    const double share = double(wave.m_overviewLen) / wave.m_totalSamples;
    const long first = long(wave.m_windowStart * share);
    m_canvasPanelSub->drawWavePosLineSub(first, first + long(share * wave.m_windowLen));
}

void MyFrame::moveWindow(int32_t start, long cursor) {
    m_sound.wave()->m_windowStart = start;
    m_canvasPanelSub2->eraseSelect();
    m_sound.wave()->setSiii();
    shiftSliderPos(cursor);
}

bool MyFrame::jumpDistance(long* distance) {
    if (!m_jumptext->GetValue().ToLong(distance, 10))
        return false;
    leaveView();
    return m_sound.wave()->m_totalSamples >= m_sound.wave()->m_windowMax && *distance > 0;
}

void MyFrame::reviveWorkMemory(const ParameterValues& before) {
    CWavPara& wave = *m_sound.wave();
    CWorkMemory& work = *m_sound.work();
    if (work.m_wave)
        return; // refused without touching anything
    m_canvasPanelUp->forgetData();
    m_canvasPanel->forgetData();
    if (work.setSize(before.ssftSize, wave.m_windowLen,
                     static_cast<CWorkMemory::senseMode>(before.senseMode), before.interval,
                     before.repeatTimes) != CWorkMemory::resultOk)
        return;
    wave.m_cursor = int32_t(m_sound.clampCursor(wave.m_cursor));
    analyseStretch();
    m_canvasPanelUp->drawWave(work.m_wave, work.m_excutionSize, wave.m_max, wave.m_min);
    drawLevelSpectrum();
}

bool MyFrame::resizeAnalysis(long frames) {
    CWorkMemory& work = *m_sound.work();
    if (frames <= 9) {
        wxLogMessage("data length not enough.");
        return false;
    }
    const ParameterValues before = currentParameters();
    if (work.setSize(work.m_ssftSize, m_sound.wave()->m_windowLen, work.m_senseMode,
                     work.m_interval, frames) != CWorkMemory::resultOk) {
        wxLogMessage("failed allocation memory.");
        reviveWorkMemory(before);
        return false;
    }
    return true;
}

void MyFrame::OnLLLeft(wxCommandEvent&) {
    step(-100);
}

void MyFrame::OnLLeft(wxCommandEvent&) {
    step(-20);
}

void MyFrame::OnLeft(wxCommandEvent&) {
    step(-1);
}

void MyFrame::OnRigth(wxCommandEvent&) {
    step(1);
}

void MyFrame::OnRRigth(wxCommandEvent&) {
    step(20);
}

void MyFrame::OnRRRigth(wxCommandEvent&) {
    step(100);
}

void MyFrame::shiftSliderPos(long cursor) {
    if (!m_sound.stretchFits())
        return;
    CWavPara& wave = *m_sound.wave();
    CWorkMemory& work = *m_sound.work();
    const long p = m_sound.clampCursor(cursor);
    wave.m_cursor = int32_t(p);
    showPosition(p);

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
    if (!m_sound.stretchFits())
        return;
    CWavPara& wave = *m_sound.wave();
    const long c = cursorOfSlider();
    wave.m_cursor = int32_t(c);
    showPosition(c);
    // Only the top waveform follows the thumb, straight from the window; the transforms wait
    // for the final position.
    m_canvasPanelUp->drawWave(wave.m_window + c, m_sound.work()->m_excutionSize, wave.m_max,
                              wave.m_min);
    m_canvasPanelUp->eraseSelect();
}

void MyFrame::sliderPositionChange() {
    if (!m_sound.stretchFits())
        return;
    CWavPara& wave = *m_sound.wave();
    const long c = cursorOfSlider();
    wave.m_cursor = int32_t(c);
    analyseStretch();
    wxLogMessage("%s moved.", fromUtf8(m_sound.positionText(c, false)));
    m_canvasPanelSub2->drawWavePosLine(c, c + m_sound.work()->m_excutionSize);
    forgetMemoGroup();
    m_canvasPanel->ClearShapes();
    drawLevelSpectrum();
}

void MyFrame::OnRRRRigth(wxCommandEvent&) {
    if (!mayRun(Action::navigate))
        return;
    long d = 0;
    if (!jumpDistance(&d))
        return;
    CWavPara& wave = *m_sound.wave();
    d = std::min<long>(d, wave.m_totalSamples); // no sum below can overflow
    const int64_t end = int64_t(wave.m_totalSamples) - 1 - wave.m_windowLen;
    if (int64_t(wave.m_windowStart) + d + wave.m_windowLen >= wave.m_totalSamples) {
        // Lowered so that the window ends one sample before the file does; a window already
        // there stays (the lowered distance would be negative and start it before the file).
        d = long(std::max<int64_t>(end - wave.m_windowStart, 0));
    }
    // The stretch keeps its place in the file while it can.
    moveWindow(wave.m_windowStart + int32_t(d), long(wave.m_cursor) - d);
    markWindowOnOverview();
}

void MyFrame::OnLLLLeft(wxCommandEvent&) {
    if (!mayRun(Action::navigate))
        return;
    long d = 0;
    if (!jumpDistance(&d))
        return;
    CWavPara& wave = *m_sound.wave();
    d = std::min<long>(d, std::max<int32_t>(wave.m_windowStart, 0));
    moveWindow(wave.m_windowStart - int32_t(d), long(wave.m_cursor) + d);
    markWindowOnOverview();
}

void MyFrame::OnMostLLLLeft(wxCommandEvent&) {
    if (!mayRun(Action::navigate))
        return;
    leaveView();
    CWavPara& wave = *m_sound.wave();
    if (wave.m_totalSamples < wave.m_windowMax)
        return;
    moveWindow(0, 0);
    unsetRange();
    markWindowOnOverview();
}

void MyFrame::setRange() {
    if (!mayRun(Action::navigate))
        return;
    CWavPara& wave = *m_sound.wave();
    CWorkMemory& work = *m_sound.work();
    const myCanvasPanel& up = *m_canvasPanelUp;
    if (!wave.m_window || up.selLength() == up.waveCount())
        return;
    wxCommandEvent stop;
    OnStop(stop);

    const long start = up.selStart();
    long length = up.selLength();
    const int64_t excess = int64_t(start) + length + wave.m_cursor - wave.m_windowLen;
    if (excess > 0)
        length -= long(excess);
    if (start < 0 || work.m_interval < 1 || !m_sound.stretchFits())
        return;
    if (!resizeAnalysis((length - work.m_ssftSize - 1) / work.m_interval))
        return;

    // The selection is counted from the stretch on the top panel, which starts at m_cursor;
    // the zoom offset may lie elsewhere once the slider has moved.
    wave.m_cursor += int32_t(start);
    analyseStretch();
    setSliderScale(wave, work);

    readBasePart();
    forgetMemoGroup();
    shiftSliderPos(wave.m_cursor);
    m_zoomOffset += int(start);
    Refresh();
    Update();
}

void MyFrame::unsetRange() {
    if (!mayRun(Action::navigate))
        return;
    CWavPara& wave = *m_sound.wave();
    CWorkMemory& work = *m_sound.work();
    if (!wave.m_window || work.m_interval < 1)
        return;
    wxCommandEvent stop;
    OnStop(stop);
    // The stretch moves to the window's start only once the resize has worked: a refused
    // zoom-out changes nothing.
    if (!resizeAnalysis((long(wave.m_windowLen) - 1 - work.m_ssftSize) / work.m_interval))
        return;
    wave.m_cursor = 0;
    setSliderScale(wave, work);
    wave.setSiii();
    analyseStretch();

    forgetMemoGroup();
    readBasePart();
    m_zoomOffset = 0;
    // The thumb goes back with the stretch to the window's start.
    m_sliderSetByProgram = 1;
    m_slider->SetValue(0);
    Refresh();
    Update();
}

void MyFrame::toRedraw() {
    if (m_sound.wave()->m_totalSamples == 0 || !mayRun(Action::navigate))
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
    if (!mayRun(Action::navigate) || !m_sound.stretchFits())
        return;
    CWavPara& wave = *m_sound.wave();
    const long wanted = long(wave.m_cursor) + samples;
    if (wanted == m_sound.clampCursor(wanted)) {
        step(samples);
        return;
    }
    // Past the window's end: the window goes as far as the sound lets it, the stretch with it.
    const int64_t lastStart = std::max<int64_t>(int64_t(wave.m_totalSamples) - wave.m_windowLen, 0);
    const int64_t start =
        std::clamp<int64_t>(int64_t(wave.m_windowStart) + wanted - wave.m_cursor, 0, lastStart);
    leaveView();
    if (start == wave.m_windowStart) {
        shiftSliderPos(wanted);
        return;
    }
    moveWindow(int32_t(start), wanted - long(start - wave.m_windowStart));
    markWindowOnOverview();
}

void MyFrame::moveToFileEdge(bool end) {
    if (!mayRun(Action::navigate) || !m_sound.stretchFits())
        return;
    CWavPara& wave = *m_sound.wave();
    const int64_t lastStart = std::max<int64_t>(int64_t(wave.m_totalSamples) - wave.m_windowLen, 0);
    leaveView();
    const int32_t start = end ? int32_t(lastStart) : 0;
    if (start != wave.m_windowStart) {
        moveWindow(start, end ? wave.m_cursorRange : 0);
        markWindowOnOverview();
    } else {
        shiftSliderPos(end ? long(wave.m_cursorRange) : 0L);
    }
}

void MyFrame::centreOn(long fileSample) {
    if (!mayRun(Action::navigate) || !m_sound.stretchFits())
        return;
    CWavPara& wave = *m_sound.wave();
    const long half = m_sound.work()->m_excutionSize / 2;
    const int64_t lastStart = std::max<int64_t>(int64_t(wave.m_totalSamples) - wave.m_windowLen, 0);
    const int64_t start =
        std::clamp<int64_t>(int64_t(fileSample) - wave.m_windowLen / 2, 0, lastStart);
    leaveView();
    if (start != wave.m_windowStart) {
        moveWindow(int32_t(start), long(fileSample - start) - half);
        markWindowOnOverview();
    } else {
        shiftSliderPos(long(fileSample - start) - half);
    }
}

bool MyFrame::zoomedIn() const {
    const CWorkMemory& work = *m_sound.work();
    if (work.m_interval < 1 || !m_sound.wave()->m_window)
        return false;
    return work.m_repeatTimes <
           (long(m_sound.wave()->m_windowLen) - 1 - work.m_ssftSize) / work.m_interval;
}
