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

} // namespace

void MyFrame::play(bool obeyMute) {
    const long n = m_canvasPanelUp->selLength();
    if (n <= 0 || !m_sound.wave())
        return;
    // Sound cards are not asked for rates this low; the line repeats the one logged on opening.
    if (m_sound.wave()->m_sampleFreq < 16000) {
        wxLogMessage("too low SamplFreq to play sound.");
        return;
    }
    const bool noSpectrum = m_playNoSpect ? m_playNoSpect->GetValue() : false;
    redrawPanels();
    if (obeyMute && m_playMute && m_playMute->GetValue())
        return;

    wxBusyCursor busy;
    Playback& playback = m_playback;
    wxSound& sound = playback.freshSound();
    const bool ok = CreateSound(sound);
    playback.start(n, m_sound.wave()->m_sampleFreq, m_canvasPanelUp->selStart(), noSpectrum);
    if (ok && sound.IsOk()) {
        const bool repeat = m_playRepeat && m_playRepeat->GetValue();
        // Without a device the cursor still runs; said once, not at every play.
        if (!sound.Play(repeat ? wxSOUND_ASYNC | wxSOUND_LOOP : wxSOUND_ASYNC) &&
            playback.firstSilentPlay())
            wxLogMessage("no sound device: playing silently.");
    }
}

void MyFrame::endCountdown() {
    m_playback.end();
    m_canvasPanelUp->resetLineSelect();
    m_canvasPanelUp->Refresh(true);
    m_canvasPanelUp->Update();
}

wxSound& Playback::freshSound() {
    m_sound.reset();
    m_sound = std::make_unique<wxSound>();
    return *m_sound;
}

void Playback::start(long samples, long rate, long from, bool noSpectrum) {
    m_timer.Stop();
    m_noSpectrum = noSpectrum;
    m_countdown.remainMs = int(double(samples) / rate * 1000.0);
    m_countdown.pos = int(from);
    m_countdown.step = int(samples / (m_countdown.remainMs / 100 + 1));
    m_timer.Start(100, wxTIMER_CONTINUOUS);
}

void Playback::tick() {
    m_countdown.pos += m_countdown.step;
    m_countdown.remainMs -= 100;
}

void Playback::end() {
    m_timer.Stop();
    m_countdown = Countdown{};
}

bool Playback::firstSilentPlay() {
    const bool first = !m_toldNoDevice;
    m_toldNoDevice = true;
    return first;
}

void MyFrame::redrawPanels() {
    m_canvasPanelUp->redrawWave();
    m_canvasPanel->redrawdB();
    loadMemoPos();
    m_canvasPanel->DrawShapes();
    m_canvasPanelSub->redrawWaveSub();
    m_canvasPanelSub2->redrawWave();
}

bool MyFrame::CreateSound(wxSound& sound) const {
    const CWavPara& wave = *m_sound.wave();
    const int64_t first = int64_t(m_canvasPanelUp->selStart()) + wave.m_cursor;
    // A selection reaching past the window would copy from beyond it: play what is there.
    const int64_t n = std::min<int64_t>(m_canvasPanelUp->selLength(), wave.m_windowLen - first);
    if (n < 1 || first < 0)
        return false;
    const size_t dataBytes = size_t(n) * 2;
    unsigned char* image = imageFor(dataBytes + kWavHeaderBytes);
    if (!image)
        return false;
    writeWavHeader(image, uint32_t(dataBytes), wave.m_sampleFreq, int16_t(wave.m_quantBit), 1);
    m_sound.wave()->setSiiiIntMid();
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
    play(true);
}

void MyFrame::OnPlayNonMute(wxCommandEvent&) {
    play(false);
}

void MyFrame::toPlay() {
    play(false);
}

void MyFrame::OnStop(wxCommandEvent&) {
    redrawPanels();
    endCountdown();
    wxSound::Stop();
}

void MyFrame::toStop() {
    wxCommandEvent event;
    OnStop(event);
}

void MyFrame::OnRefreshInfo(wxTimerEvent&) {
    const Playback::Countdown& countdown = m_playback.countdown();
    const int pos = countdown.pos + countdown.step;
    const long selEnd = long(m_canvasPanelUp->selStart()) + m_canvasPanelUp->selLength();
    if (pos < selEnd) {
        m_canvasPanelUp->drawWaveLine(pos);
        // Only short transforms in normal mode keep up with a 100 ms tick.
        const long s = m_sound.work() ? m_sound.work()->m_ssftSize : 0;
        if (!m_playback.noSpectrum() && m_canvasPanel->plotKind() == plotLevelSpectrum && s > 0 &&
            s <= 4096 && m_sound.work()->m_senseMode == CWorkMemory::senseNormal &&
            pos < selEnd - s) {
            wxMutexLocker lock(m_playback.refreshLock());
            if (computeLevelSpectrum(*m_sound.work(), pos, m_sound.wave()->m_noiseParameter,
                                     levelDuringPlayback) == voiceprintFinished) {
                drawLevelSpectrum();
                m_canvasPanel->Refresh(false);
            }
        }
    }
    m_playback.tick();
    if (countdown.remainMs <= 0)
        endCountdown();
}
