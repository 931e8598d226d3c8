// The analysed channel of stereo sounds — src/gui/frame/ChannelMenu.cpp

#include <memory>

#include <wx/menu.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/sound/AudioConvert.h"
#include "engine/sound/CWavPara.h"
#include "gui/frame/MyFrame.h"

namespace {

constexpr int kChannelIds[] = {ID_ChannelLeft, ID_ChannelRight, ID_ChannelMix};

} // namespace

void MyFrame::buildChannelMenu(wxMenu* view) {
    auto* menu = new wxMenu;
    menu->AppendRadioItem(ID_ChannelLeft, "&Left", "Analyse the left channel of a stereo sound");
    menu->AppendRadioItem(ID_ChannelRight, "&Right", "Analyse the right channel of a stereo sound");
    menu->AppendRadioItem(ID_ChannelMix, "&Mix", "Analyse the mean of both channels");
    for (int id : kChannelIds)
        menu->Enable(id, false); // until a stereo sound is open
    view->AppendSeparator();
    view->AppendSubMenu(menu, "&Channel", "Which channel of a stereo sound is analysed");
    Bind(wxEVT_MENU, &MyFrame::OnChannel, this, ID_ChannelLeft, ID_ChannelMix);
}

void MyFrame::updateChannelMenu() {
    wxMenuBar* bar = GetMenuBar();
    if (!bar)
        return;
    const bool stereo = m_sound.wave() && m_sound.wave()->m_channelCount == 2;
    for (int id : kChannelIds) {
        if (wxMenuItem* item = bar->FindItem(id))
            item->Enable(stereo);
    }
    if (wxMenuItem* item = bar->FindItem(kChannelIds[int(m_sound.channel)]))
        item->Check(true);
}

void MyFrame::OnChannel(wxCommandEvent& event) {
    const int index = event.GetId() - ID_ChannelLeft;
    if (index < 0 || index > 2)
        return;
    const auto chosen = static_cast<AnalysedChannel>(index);
    CWavPara* old = m_sound.wave();
    // The work memory the stretch is copied into belongs to a running voiceprint meanwhile.
    if (!mayRun(Action::navigate) || chosen == m_sound.channel || !old || !old->m_path ||
        old->m_channelCount != 2) {
        updateChannelMenu(); // the radio item shows the channel really analysed
        return;
    }

    auto wave = std::make_unique<CWavPara>(old->m_windowMax);
    wave->m_analysedChannel = chosen;
    // A converted sound is decoded again, as it was opened.
    SoundRead read;
    if (m_sound.converted)
        read = readSound(*wave, old->m_path);
    else
        read.read = wave->setSizeFromWav(old->m_path);
    if (read.read != CWavPara::resultOK || wave->m_channelCount != 2 ||
        wave->m_totalSamples != old->m_totalSamples || wave->m_sampleFreq != old->m_sampleFreq) {
        // The file changed under us: keep what is on screen.
        for (const std::string& line : refusalLines(read))
            wxLogMessage("%s", wxString::FromUTF8(line.c_str()));
        wxLogMessage("%s", wxString::FromUTF8(analysedChannelLine(m_sound.channel).c_str()));
        updateChannelMenu();
        return;
    }
    // The view, the ranges and the analysis sizes stay as they are.
    wave->m_windowStart = old->m_windowStart;
    wave->m_cursor = old->m_cursor;
    wave->m_cursorRange = old->m_cursorRange;
    wave->m_sliderMax = old->m_sliderMax;
    wave->m_samplesPerSliderStep = old->m_samplesPerSliderStep;
    wave->m_noiseParameter = old->m_noiseParameter;
    wave->m_freqLow = old->m_freqLow;
    wave->m_freqHigh = old->m_freqHigh;
    wave->m_dbLow = old->m_dbLow;
    wave->m_dbHigh = old->m_dbHigh;
    for (myCanvasPanel* panel :
         {m_canvasPanelSub, m_canvasPanelSub2, m_canvasPanelUp, m_canvasPanel})
        panel->forgetData();
    m_sound.replace(std::move(wave));
    m_sound.channel = chosen;
    updateChannelMenu();
    wxLogMessage("%s", wxString::FromUTF8(analysedChannelLine(chosen).c_str()));

    CWavPara& now = *m_sound.wave();
    now.setSiii();
    m_canvasPanelSub->drawWaveSub(now.m_overview, now.m_overviewLen, now.m_max, now.m_min);
    const double share =
        now.m_totalSamples > 0 ? double(now.m_overviewLen) / now.m_totalSamples : 0.0;
    const long first = long(now.m_windowStart * share);
    m_canvasPanelSub->drawWavePosLineSub(first, first + long(share * now.m_windowLen));
    m_canvasPanel->ClearShapes();
    shiftSliderPos(now.m_cursor); // the window, the stretch and its level spectrum
}
