#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/Pitch.h"
#include "gui/frame/MyFrame.h"
#include "engine/sound/CWavPara.h"

void MyFrame::calcPitch() {
    if (!mayRun(Action::analyse))
        return;
    calcPitchBase(m_sound.work(), m_canvasPanel);
    m_canvasPanel->Refresh(true);
    m_canvasPanel->Update();
}

void MyFrame::calcPitchBase(CWorkMemory* work, myCanvasPanel* panel) {
    if (!work || !panel || panel->plotKind() != plotVoiceprint)
        return;
    wxCommandEvent stop;
    OnStop(stop);
    if (!detectPitch(*work, m_sound.wave()->m_sampleFreq, panel->voiceprintMethod() == 2))
        return;
    // The overlay spans 0 to 800 Hz, the range of speaking voices.
    panel->drawPitch(work->m_pitch, work->m_repeatTimes, 800.0, 0.0, work->m_pitchPower,
                     work->m_power, work->m_harmonicsPower);
}
