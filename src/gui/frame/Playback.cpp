#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include <wx/utils.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/Voiceprint.h"
#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/WavHeader.h"

namespace {

// Header plus 960,028 samples: what every ordinary play fits into without allocating.
constexpr size_t kStaticImageBytes = 1920100;
unsigned char g_staticImage[kStaticImageBytes];
// A longer selection gets a heap image, kept for the next long one.
std::unique_ptr<unsigned char[]> g_bigImage;
size_t g_bigImageBytes = 0;
// The image the last CreateSound filled.
const unsigned char* g_lastImage = nullptr;
size_t g_lastImageBytes = 0;

// Room for bytes; null when a larger image cannot be had.
unsigned char* imageFor(size_t bytes) {
    if (bytes <= kStaticImageBytes)
        return g_staticImage;
    if (bytes > g_bigImageBytes) {
        g_bigImage.reset(new (std::nothrow) unsigned char[bytes]);
        g_bigImageBytes = g_bigImage ? bytes : 0;
    }
    return g_bigImage.get();
}

void play(MyFrame& f, bool obeyMute) {
    const long n = f.m_canvasPanelUp->m_selLength;
    if (n <= 0 || !f.m_wavePara)
        return;
    // Sound cards are not asked for rates this low; the line repeats the one logged on opening.
    if (f.m_wavePara->m_sampleFreq < 16000) {
        wxLogMessage("too low SamplFreq to play sound.");
        return;
    }
    f.m_noSpectrum = f.m_playNoSpect ? f.m_playNoSpect->GetValue() : false;
    f.redrawPanels();
    if (obeyMute && f.m_playMute && f.m_playMute->GetValue())
        return;

    wxBusyCursor busy;
    // The old sound goes first: its image is about to be rewritten.
    f.m_soundOwner.reset();
    f.m_sound = nullptr;
    f.m_soundOwner.reset(new wxSound);
    f.m_sound = f.m_soundOwner.get();
    VOCALITH_REQUIRE(f.m_sound, "m_sound");
    const bool ok = f.CreateSound(*f.m_sound);

    if (f.m_refreshTimer) {
        f.m_refreshTimer->Stop();
        f.m_playRemain = int(double(n) / f.m_wavePara->m_sampleFreq * 1000.0);
        f.m_playPos = f.m_canvasPanelUp->m_selStart;
        const long ticks = f.m_playRemain / 100 + 1;
        f.m_playStep = int(n / ticks);
        f.m_refreshTimer->Start(100, wxTIMER_CONTINUOUS);
    }
    if (ok && f.m_sound->IsOk()) {
        const bool repeat = f.m_playRepeat && f.m_playRepeat->GetValue();
        // Without a device the cursor still runs; said once, not at every play.
        if (!f.m_sound->Play(repeat ? wxSOUND_ASYNC | wxSOUND_LOOP : wxSOUND_ASYNC) &&
            !f.m_toldNoSoundDevice) {
            f.m_toldNoSoundDevice = true;
            wxLogMessage("no sound device: playing silently.");
        }
    }
}

// The cursor line goes, the countdown is cleared.
void endCountdown(MyFrame& f) {
    f.m_refreshTimer->Stop();
    f.m_canvasPanelUp->resetLineSelect();
    f.m_canvasPanelUp->Refresh(true);
    f.m_canvasPanelUp->Update();
    f.m_playRemain = 0;
    f.m_playPos = 0;
    f.m_playStep = 0;
}

} // namespace

void MyFrame::redrawPanels() {
    m_canvasPanelUp->redrawWave();
    m_canvasPanel->redrawdB();
    loadMemoPos();
    m_canvasPanel->DrawShapes();
    m_canvasPanelSub->redrawWaveSub();
    m_canvasPanelSub2->redrawWave();
}

bool MyFrame::CreateSound(wxSound& sound) const {
    const CWavPara& wave = *m_wavePara;
    const int64_t first = int64_t(m_canvasPanelUp->m_selStart) + wave.m_cursor;
    // A selection reaching past the window would copy from beyond it: play what is there.
    const int64_t n = std::min<int64_t>(m_canvasPanelUp->m_selLength, wave.m_windowLen - first);
    if (n < 1 || first < 0)
        return false;
    const size_t dataBytes = size_t(n) * 2;
    unsigned char* image = imageFor(dataBytes + kWavHeaderBytes);
    if (!image)
        return false;
    writeWavHeader(image, uint32_t(dataBytes), wave.m_sampleFreq, int16_t(wave.m_quantBit), 1);
    m_wavePara->setSiiiIntMid();
    if (!wave.m_windowInt)
        return false;
    unsigned char* out = image + kWavHeaderBytes;
    const int16_t* in = wave.m_windowInt + first;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(out, in, dataBytes);
#else
    // The header promises little-endian samples whatever the host.
    for (int64_t i = 0; i < n; ++i) {
        const uint16_t v = uint16_t(in[i]);
        out[2 * i] = static_cast<unsigned char>(v & 0xFF);
        out[2 * i + 1] = static_cast<unsigned char>(v >> 8);
    }
#endif
    g_lastImage = image;
    g_lastImageBytes = dataBytes + kWavHeaderBytes;
    return sound.Create(g_lastImageBytes, image);
}

const unsigned char* MyFrame::playImage(size_t* bytes) {
    *bytes = g_lastImageBytes;
    return g_lastImage;
}

void MyFrame::OnPlay(wxCommandEvent&) {
    play(*this, true);
}

void MyFrame::OnPlayNonMute(wxCommandEvent&) {
    play(*this, false);
}

void MyFrame::toPlay() {
    play(*this, false);
}

void MyFrame::OnStop(wxCommandEvent&) {
    redrawPanels();
    if (m_refreshTimer)
        endCountdown(*this);
    wxSound::Stop();
}

void MyFrame::toStop() {
    wxCommandEvent event;
    OnStop(event);
}

void MyFrame::OnRefreshInfo(wxTimerEvent&) {
    m_playPos += m_playStep;
    const long selEnd = long(m_canvasPanelUp->m_selStart) + m_canvasPanelUp->m_selLength;
    if (m_playPos < selEnd) {
        m_canvasPanelUp->drawWaveLine(m_playPos);
        // Only short transforms in normal mode keep up with a 100 ms tick.
        const long s = m_workPara ? m_workPara->m_ssftSize : 0;
        if (!m_noSpectrum && m_canvasPanel->m_plotKind == plotLevelSpectrum && s > 0 && s <= 4096 &&
            m_workPara->m_senseMode == CWorkMemory::senseNormal && m_playPos < selEnd - s) {
            wxMutexLocker lock(m_refreshLock);
            if (computeLevelSpectrum(*m_workPara, m_playPos, m_wavePara->m_noiseParameter,
                                     levelDuringPlayback) == voiceprintFinished) {
                drawLevelSpectrum();
                m_canvasPanel->Refresh(false);
            }
        }
    }
    m_playRemain -= 100;
    if (m_playRemain > 0)
        return;
    if (m_refreshTimer)
        endCountdown(*this);
}
