#include <algorithm>
#include <cstring>
#include <string>

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/Voiceprint.h"
#include "gui/frame/MyFrame.h"
#include "engine/sound/CWavPara.h"

namespace {

wxString fromUtf8(const std::string& text) {
    return wxString::FromUTF8(text.data(), text.size());
}

} // namespace

ParameterValues MyFrame::currentParameters() const {
    const CWavPara& wave = *m_sound.wave();
    ParameterValues v;
    v.sampleFreq = wave.m_sampleFreq;
    v.quantBit = wave.m_quantBit;
    v.channelCount = wave.m_channelCount;
    v.totalSamples = wave.m_totalSamples;
    v.senseMode = m_sound.work()->m_senseMode;
    v.ssftSize = m_sound.work()->m_ssftSize;
    v.interval = m_sound.work()->m_interval;
    v.repeatTimes = m_sound.work()->m_repeatTimes;
    v.noiseParameter = wave.m_noiseParameter;
    v.freqLow = wave.m_freqLow;
    v.freqHigh = wave.m_freqHigh;
    v.dbLow = wave.m_dbLow;
    v.dbHigh = wave.m_dbHigh;
    return v;
}

void MyFrame::analyseStretch() {
    const CWavPara& wave = *m_sound.wave();
    const long count =
        std::min<long>(m_sound.work()->m_excutionSize, wave.m_windowLen - wave.m_cursor);
    if (!wave.m_window || !m_sound.work()->m_wave || count <= 0)
        return;
    std::memcpy(m_sound.work()->m_wave, wave.m_window + wave.m_cursor, count * sizeof(double));
    computeLevelSpectrum(*m_sound.work(), 0, wave.m_noiseParameter, levelOfStretch);
}

void MyFrame::drawLevelSpectrum() {
    const CWavPara& wave = *m_sound.wave();
    const long bins = m_sound.work()->m_ssftSize / 2;
    if (bins <= 0 || wave.m_sampleFreq <= 0)
        return;
    const double binWidth = (wave.m_sampleFreq * 0.5) / bins;
    m_canvasPanel->drawdB(
        m_sound.work()->m_restoreDb, bins, static_cast<long>(wave.m_freqLow / binWidth),
        static_cast<long>(wave.m_freqHigh / binWidth), wave.m_dbLow, wave.m_dbHigh);
}

void MyFrame::readBase() {
    CWavPara& wave = *m_sound.wave();
    m_filenametext->Clear();
    m_filenametext->AppendText(m_sound.chosenFileName);
    wxLogMessage("output parameter.");

    // A fresh file always starts in the normal sense mode.
    ParameterValues values = currentParameters();
    values.senseMode = CWorkMemory::senseNormal;
    m_text->Clear();
    m_text->AppendText(fromUtf8(formatParameterBlock(values)));
    m_text->SetFocus();
    m_postext->Clear();
    m_postext->AppendText(
        fromUtf8(formatPosition(int64_t(wave.m_windowStart) + wave.m_cursor, wave.m_sampleFreq)));
    m_executionSec = samplesToSeconds(m_sound.work()->m_excutionSize, wave.m_sampleFreq);

    m_canvasPanelSub->enableMouse();
    m_canvasPanelSub->drawScale();
    m_canvasPanelSub2->drawScale();
    m_canvasPanelUp->enableMouse();
    m_canvasPanelUp->drawScale();
    m_canvasPanel->enableMouse();
    m_canvasPanel->drawScale();

    m_canvasPanelSub->eraseSelect();
    m_canvasPanelSub->drawWaveSub(wave.m_overview, wave.m_overviewLen, wave.m_max, wave.m_min);
    const double windowShare = wave.m_totalSamples > 0
                                   ? static_cast<double>(wave.m_overviewLen) / wave.m_totalSamples
                                   : 0.0;
    m_canvasPanelSub->drawWavePosLineSub(0, static_cast<long>(windowShare * wave.m_windowLen));

    m_canvasPanelSub2->eraseSelect();
    m_canvasPanelSub2->drawWave(wave.m_window, wave.m_windowLen, wave.m_max, wave.m_min);
    m_canvasPanelSub2->drawWavePosLine(0, m_sound.work()->m_excutionSize);

    m_canvasPanelUp->eraseSelect();
    m_canvasPanelUp->drawWave(m_sound.work()->m_wave, m_sound.work()->m_excutionSize, wave.m_max,
                              wave.m_min);
    drawLevelSpectrum();

    m_paramBackup = m_text->GetValue();
    Refresh();
    Update();
}

void MyFrame::readBasePart() {
    CWavPara& wave = *m_sound.wave();
    m_text->Clear();
    m_text->AppendText(fromUtf8(formatParameterBlock(currentParameters())));
    m_text->SetFocus();
    m_postext->Clear();
    m_postext->AppendText(
        fromUtf8(formatPosition(int64_t(wave.m_windowStart) + wave.m_cursor, wave.m_sampleFreq)));
    m_executionSec = samplesToSeconds(m_sound.work()->m_excutionSize, wave.m_sampleFreq);
    m_paramBackup = m_text->GetValue();

    m_canvasPanelSub2->drawWavePosLine(wave.m_cursor,
                                       wave.m_cursor + m_sound.work()->m_excutionSize);
    m_canvasPanelUp->drawScale();
    m_canvasPanel->drawScale();
    m_canvasPanelUp->drawWave(m_sound.work()->m_wave, m_sound.work()->m_excutionSize, wave.m_max,
                              wave.m_min);
    m_canvasPanel->ClearShapes();
    drawLevelSpectrum();
    m_canvasPanel->setVoiceprintMethod(2);
}

void MyFrame::OnConfirm(wxCommandEvent&) {
    for (myCanvasPanel* panel :
         {m_canvasPanelSub, m_canvasPanelSub2, m_canvasPanelUp, m_canvasPanel}) {
        panel->resetSelect();
        panel->Refresh();
    }
    wxCommandEvent stop;
    OnStop(stop);
    confirmBase();
}

void MyFrame::confirmBase() {
    CWavPara& wave = *m_sound.wave();
    const ParameterValues before = currentParameters();
    wxLogMessage("confirm parameter.");
    const ParsedParameters parsed = parseParameterBlock(m_text->GetValue().utf8_string());

    auto backParameter = [&](const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            wxLogMessage("%s", fromUtf8(line));
        wave.setRangeXY(before.freqLow, before.freqHigh, before.dbLow, before.dbHigh);
        m_text->Clear();
        m_text->AppendText(m_paramBackup);
    };

    for (const std::string& note : parsed.notes)
        wxLogMessage("%s", fromUtf8(note));
    if (!parsed.ok) {
        backParameter(parsed.errors);
        return;
    }
    if (wave.setRangeXY(parsed.freqLow, parsed.freqHigh, parsed.dbLow, parsed.dbHigh) !=
        CWavPara::resultOK) {
        backParameter({"[FreqrRnage] or [dBRnage] wrong, back parameter."});
        return;
    }
    wxLogMessage("parameter confirmed.");

    long repeatTimes = parsed.repeatTimes;
    if (m_sound.work()->checkSize(parsed.ssftSize, wave.m_windowLen, parsed.interval,
                                  &repeatTimes) != CWorkMemory::resultOk) {
        backParameter({"[ExcutionSize] wrong, back parameter.",
                       "[ExcutionSize] = (RepeatTimes - 1) x Interval + SsftSize must be at most "
                       "the window's " +
                           std::to_string(wave.m_windowLen) + " samples."});
        return;
    }

    const auto mode = static_cast<CWorkMemory::senseMode>(parsed.senseMode);
    const bool rebuild = parsed.ssftSize != before.ssftSize || parsed.interval != before.interval ||
                         repeatTimes != before.repeatTimes ||
                         parsed.noiseParameter != before.noiseParameter ||
                         parsed.senseMode != before.senseMode;
    const bool rangesChanged = wave.m_freqLow != before.freqLow ||
                               wave.m_freqHigh != before.freqHigh || wave.m_dbLow != before.dbLow ||
                               wave.m_dbHigh != before.dbHigh;

    if (rebuild) {
        if (m_sound.work()->setSize(parsed.ssftSize, wave.m_windowLen, mode, parsed.interval,
                                    repeatTimes) != CWorkMemory::resultOk) {
            // The previous sizes were allocatable a moment ago: put them back, so the work
            // memory is never left half-sized, and show the previous block again.
            wxLogMessage("memory allocation failed.");
            m_canvasPanelUp->forgetData();
            m_canvasPanel->forgetData();
            m_sound.work()->setSize(before.ssftSize, wave.m_windowLen,
                                    static_cast<CWorkMemory::senseMode>(before.senseMode),
                                    before.interval, before.repeatTimes);
            wave.setRangeXY(before.freqLow, before.freqHigh, before.dbLow, before.dbHigh);
            analyseStretch();
            m_canvasPanelUp->drawWave(m_sound.work()->m_wave, m_sound.work()->m_excutionSize,
                                      wave.m_max, wave.m_min);
            drawLevelSpectrum();
            m_text->Clear();
            m_text->AppendText(m_paramBackup);
            return;
        }
        wave.m_noiseParameter = parsed.noiseParameter;
        m_executionSec = samplesToSeconds(m_sound.work()->m_excutionSize, wave.m_sampleFreq);
        wave.m_cursorRange = wave.m_windowLen - m_sound.work()->m_excutionSize;
        wave.m_samplesPerSliderStep = static_cast<double>(wave.m_cursorRange) / wave.m_sliderMax;
        wave.m_cursor = 0;
        const std::string position =
            formatPosition(int64_t(wave.m_windowStart) + wave.m_cursor, wave.m_sampleFreq, false);
        m_postext->Clear();
        m_postext->AppendText(fromUtf8(position + " "));
        if (parsed.noiseParameter == before.noiseParameter)
            wxLogMessage("need re-calculation memory %s moved.", fromUtf8(position));

        // The stretch and the level spectrum are computed before anything draws them.
        analyseStretch();
        m_canvasPanelSub2->eraseSelect();
        m_canvasPanelSub2->drawWave(wave.m_window, wave.m_windowLen, wave.m_max, wave.m_min);
        m_canvasPanelSub2->drawWavePosLine(wave.m_cursor,
                                           wave.m_cursor + m_sound.work()->m_excutionSize);
        m_canvasPanelUp->eraseSelect();
        m_canvasPanelUp->drawWave(m_sound.work()->m_wave, m_sound.work()->m_excutionSize,
                                  wave.m_max, wave.m_min);
        if (m_curTitle != -1)
            m_prevTitle = m_curTitle;
        m_curTitle = -1;
        m_canvasPanel->ClearShapes();
        drawLevelSpectrum();
    } else {
        m_executionSec = samplesToSeconds(m_sound.work()->m_excutionSize, wave.m_sampleFreq);
        wave.m_cursorRange = wave.m_windowLen - m_sound.work()->m_excutionSize;
        wave.m_samplesPerSliderStep = static_cast<double>(wave.m_cursorRange) / wave.m_sliderMax;
        if (rangesChanged) {
            if (m_canvasPanel->plotKind() == plotVoiceprint)
                reAddMemo();
            m_canvasPanel->redrawdBChangeRange(wave.m_freqLow, wave.m_freqHigh, wave.m_dbLow,
                                               wave.m_dbHigh, wave.m_sampleFreq);
        }
    }

    m_text->Clear();
    m_text->AppendText(fromUtf8(formatParameterBlock(currentParameters())));
    m_text->SetFocus();
    m_slider->SetValue(wave.m_samplesPerSliderStep > 0.0
                           ? static_cast<int>(wave.m_cursor / wave.m_samplesPerSliderStep)
                           : 0);
    m_paramBackup = m_text->GetValue();
    Refresh();
    Update();
}
