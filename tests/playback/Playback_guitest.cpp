#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "analysis/CWorkMemory.h"
#include "analysis/Voiceprint.h"
#include "playback/AlsaSoundBackend.h"
#include "sound/CWavPara.h"
#include "support/GuiFixture.h"
#include "support/RecordingSoundBackend.h"
#include "support/TestWav.h"

namespace {

uint32_t field32(const unsigned char* h, int at) {
    return uint32_t(h[at]) | uint32_t(h[at + 1]) << 8 | uint32_t(h[at + 2]) << 16 |
           uint32_t(h[at + 3]) << 24;
}

std::string bytesOf(const std::vector<int16_t>& v, size_t first, size_t count) {
    std::string s;
    for (size_t i = first; i < first + count; ++i)
        testwav::put16(s, uint16_t(v[i]));
    return s;
}

// Index of the first byte where two byte strings differ; -1 when they are equal.
long firstDifference(const std::string& a, const std::string& b) {
    const auto m = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return m.first == a.end() && m.second == b.end() ? -1 : long(m.first - a.begin());
}

// The frame with a sound read into its wave parameters and the window shown on the top
// panel from the cursor on, whole stretch selected; the sound device replaced by a recorder.
class PlaybackTest : public FrameTest {
protected:
    void load(const std::vector<int16_t>& samples, uint32_t freq, int cursor = 0,
              int windowMax = CWavPara::kDefaultWindowMax) {
        file = std::make_unique<testwav::TempFile>(testwav::wav(samples, 1, freq));
        delete frame->m_wavePara;
        frame->m_wavePara = new CWavPara(windowMax);
        CWavPara& w = *frame->m_wavePara;
        ASSERT_EQ(w.setSizeFromWav(file->c_str()), CWavPara::resultOK);
        ASSERT_TRUE(w.setSiii());
        w.m_cursor = cursor;
        frame->m_canvasPanelUp->drawWave(w.m_window + cursor, w.m_windowLen - cursor, w.m_max,
                                         w.m_min);
    }
    void press(int id) {
        wxCommandEvent event(wxEVT_BUTTON, id);
        event.SetEventObject(frame);
        ASSERT_TRUE(frame->ProcessWindowEvent(event));
    }
    void tick() {
        wxTimerEvent event(*frame->m_refreshTimer);
        frame->ProcessWindowEvent(event);
    }
    // The cursor line's column for a sample of the top panel's plot.
    int lineColumn(long sample) const {
        const myCanvasPanel* up = frame->m_canvasPanelUp;
        return int(double(sample) * (up->GetSize().x - 4) / up->m_waveCount) + 2;
    }

    ScopedRecordingSound sound;
    std::unique_ptr<testwav::TempFile> file;
};

} // namespace

TEST_F(PlaybackTest, PlayImageAndCountdownOfASecondAt16kHz) {
    const auto samples = testwav::ramp(20000);
    load(samples, 16000, 50);
    // A selection as the mouse leaves it: 16,000 samples from 100 on the top panel.
    frame->m_canvasPanelUp->m_selStart = 100;
    frame->m_canvasPanelUp->m_selLength = 16000;
    press(ID_PlayNonMute);

    size_t bytes = 0;
    const unsigned char* image = MyFrame::playImage(&bytes);
    ASSERT_EQ(bytes, 32044u);
    EXPECT_EQ(std::memcmp(image, "RIFF", 4), 0);
    EXPECT_EQ(field32(image, 4), 32036u);
    EXPECT_EQ(field32(image, 24), 16000u);
    EXPECT_EQ(field32(image, 28), 32000u);
    EXPECT_EQ(field32(image, 40), 32000u);
    // Panel sample 100 is window sample 150.
    const std::string expected = bytesOf(samples, 150, 16000);
    EXPECT_EQ(
        firstDifference(std::string(reinterpret_cast<const char*>(image) + 44, 32000), expected),
        -1);

    ASSERT_EQ(sound.recorder.plays.size(), 1u);
    const auto& played = sound.recorder.plays[0];
    EXPECT_EQ(played.flags, unsigned(wxSOUND_ASYNC));
    EXPECT_EQ(played.samplingRate, 16000u);
    EXPECT_EQ(played.bitsPerSample, 16u);
    EXPECT_EQ(played.channels, 1u);
    EXPECT_EQ(firstDifference(played.samples, expected), -1);

    // 1000 ms in 11 ticks of 1454 samples.
    EXPECT_EQ(frame->m_playRemain, 1000);
    EXPECT_EQ(frame->m_playPos, 100);
    EXPECT_EQ(frame->m_playStep, 1454);
    EXPECT_TRUE(frame->m_refreshTimer->IsRunning());
    EXPECT_EQ(frame->m_refreshTimer->GetInterval(), 100);
    EXPECT_FALSE(frame->m_refreshTimer->IsOneShot());
}

TEST_F(PlaybackTest, RepeatLoopsAndTheCountdownFollowsTheRate) {
    load(testwav::ramp(22050), 44100);
    frame->m_playRepeat->SetValue(true);
    frame->toPlay();
    ASSERT_EQ(sound.recorder.plays.size(), 1u);
    EXPECT_EQ(sound.recorder.plays[0].flags, unsigned(wxSOUND_ASYNC | wxSOUND_LOOP));
    EXPECT_EQ(sound.recorder.plays[0].samples.size(), 44100u);
    EXPECT_EQ(frame->m_playRemain, 500);
    EXPECT_EQ(frame->m_playStep, 3675); // 22050 / 6

    // A second play replaces the sound object and starts the countdown again.
    wxSound* first = frame->m_sound;
    frame->m_playRepeat->SetValue(false);
    frame->m_canvasPanelUp->m_selLength = 4410;
    frame->toPlay();
    ASSERT_EQ(sound.recorder.plays.size(), 2u);
    EXPECT_EQ(sound.recorder.plays[1].flags, unsigned(wxSOUND_ASYNC));
    EXPECT_NE(frame->m_sound, first);
    EXPECT_EQ(frame->m_sound, frame->m_soundOwner.get());
    EXPECT_EQ(frame->m_playRemain, 100);
    EXPECT_EQ(frame->m_playStep, 2205); // q = 2
}

TEST_F(PlaybackTest, MuteSilencesOnlyTheProgramsOwnPlaysAndGuardsComeFirst) {
    load(testwav::ramp(16000), 8000);
    press(ID_PlayNonMute); // below 16 kHz
    frame->m_wavePara->m_sampleFreq = 16000;
    frame->m_canvasPanelUp->m_selLength = 0;
    press(ID_PlayNonMute); // no selection
    frame->m_canvasPanelUp->m_selLength = 16000;
    frame->m_playMute->SetValue(true);
    frame->m_playNoSpect->SetValue(true);
    wxCommandEvent event;
    frame->OnPlay(event);
    EXPECT_TRUE(sound.recorder.plays.empty());
    EXPECT_EQ(frame->m_sound, nullptr);
    EXPECT_FALSE(frame->m_refreshTimer->IsRunning());
    EXPECT_TRUE(frame->m_noSpectrum) << "read before the mute check";

    press(ID_PlayNonMute);
    EXPECT_EQ(sound.recorder.plays.size(), 1u);
    frame->m_playMute->SetValue(false);
    frame->OnPlay(event);
    EXPECT_EQ(sound.recorder.plays.size(), 2u);

    // A selection reaching past the window plays the part that is there.
    frame->m_canvasPanelUp->m_selStart = 10000;
    press(ID_PlayNonMute);
    ASSERT_EQ(sound.recorder.plays.size(), 3u);
    EXPECT_EQ(firstDifference(sound.recorder.plays[2].samples,
                              bytesOf(testwav::ramp(16000), 10000, 6000)),
              -1);
}

TEST_F(PlaybackTest, StopWhileIdleOnlyResetsAndStopsTheDevice) {
    press(ID_Stop);
    EXPECT_EQ(sound.recorder.stops, 1);
    EXPECT_TRUE(sound.recorder.plays.empty());
    EXPECT_FALSE(frame->m_refreshTimer->IsRunning());
    EXPECT_EQ(frame->m_playRemain, 0);
    EXPECT_EQ(frame->m_playPos, 0);
    EXPECT_EQ(frame->m_playStep, 0);
    EXPECT_TRUE(log().empty());

    // Stopping a play ends the countdown and takes the cursor line away.
    load(testwav::ramp(16000), 16000);
    frame->toPlay();
    frame->m_refreshTimer->Stop();
    tick();
    EXPECT_EQ(frame->m_canvasPanelUp->m_lineX, lineColumn(1454));
    frame->toStop();
    EXPECT_EQ(sound.recorder.stops, 2);
    EXPECT_EQ(frame->m_canvasPanelUp->m_lineX, 0);
    EXPECT_EQ(frame->m_playRemain, 0);
    EXPECT_EQ(frame->m_playPos, 0);
    EXPECT_EQ(frame->m_playStep, 0);
}

TEST_F(PlaybackTest, ASelectionLongerThanTheStaticImagePlaysWhole) {
    // 1,000,000 samples: more than the 960,028 the fixed image holds.
    const auto samples = testwav::ramp(1000000);
    load(samples, 44100, 0, 1000000);
    ASSERT_EQ(frame->m_canvasPanelUp->m_selLength, 1000000);
    frame->toPlay();
    ASSERT_EQ(sound.recorder.plays.size(), 1u);
    EXPECT_EQ(sound.recorder.plays[0].samples.size(), 2000000u);
    EXPECT_EQ(firstDifference(sound.recorder.plays[0].samples, bytesOf(samples, 0, 1000000)), -1);
    size_t bytes = 0;
    const unsigned char* image = MyFrame::playImage(&bytes);
    EXPECT_EQ(bytes, 2000044u);
    EXPECT_EQ(field32(image, 40), 2000000u);
    EXPECT_EQ(field32(image, 4), 2000036u);
    EXPECT_EQ(frame->m_playRemain, 22675);

    // An ordinary play afterwards is unaffected.
    frame->m_canvasPanelUp->m_selStart = 999000;
    frame->m_canvasPanelUp->m_selLength = 1000;
    frame->toPlay();
    ASSERT_EQ(sound.recorder.plays.size(), 2u);
    EXPECT_EQ(firstDifference(sound.recorder.plays[1].samples, bytesOf(samples, 999000, 1000)), -1);
}

TEST_F(PlaybackTest, RefreshTicksMoveTheCursorAndTheLevelSpectrumThenEnd) {
    // Half a second at 500 Hz, then half a second at 3000 Hz; with S = 512 at 16 kHz a bin
    // is 31.25 Hz wide, so the peaks are bins 16 and 96.
    std::vector<int16_t> samples(16000);
    for (int i = 0; i < 16000; ++i)
        samples[size_t(i)] =
            int16_t(8000 * std::sin(2 * M_PI * (i < 8000 ? 500 : 3000) * i / 16000.0));
    load(samples, 16000);
    CWavPara& w = *frame->m_wavePara;
    ASSERT_EQ(w.setRangeXY(0, 8000, -100.0, 0.0), CWavPara::resultOK);
    CWorkMemory& work = *frame->m_workPara;
    ASSERT_EQ(work.setSize(512, w.m_windowLen, CWorkMemory::senseNormal, 128, 122),
              CWorkMemory::resultOk);
    ASSERT_EQ(work.m_excutionSize, 16000);
    std::copy(w.m_window, w.m_window + work.m_excutionSize, work.m_wave);
    frame->m_canvasPanelUp->drawWave(work.m_wave, work.m_excutionSize, w.m_max, w.m_min);
    ASSERT_EQ(computeLevelSpectrum(work, 0, w.m_noiseParameter, levelOfStretch),
              voiceprintFinished);
    // Shown from a copy, so that a tick's own drawing shows as a change of the plotted array.
    std::vector<double> shown(work.m_restoreDb, work.m_restoreDb + 256);
    frame->m_canvasPanel->drawdB(shown.data(), 256, 0, 256, -100.0, 0.0);
    auto peak = [&] {
        return int(std::max_element(work.m_restoreDb, work.m_restoreDb + 256) - work.m_restoreDb);
    };
    ASSERT_EQ(peak(), 16);

    frame->toPlay();
    frame->m_refreshTimer->Stop();      // ticks are sent by hand below, one at a time
    ASSERT_EQ(frame->m_playStep, 1454); // 16000 / 11
    for (int k = 1; k <= 9; ++k) {
        tick();
        const long pos = 1454L * k;
        EXPECT_EQ(frame->m_playPos, pos);
        EXPECT_EQ(frame->m_canvasPanelUp->m_lineX, lineColumn(pos)) << k;
        EXPECT_EQ(peak(), pos + 512 <= 8000 ? 16 : 96) << k; // no frame straddles 8000
    }
    EXPECT_EQ(frame->m_canvasPanel->m_levelData, work.m_restoreDb);
    EXPECT_EQ(frame->m_canvasPanel->m_plotKind, 1);
    EXPECT_EQ(frame->m_refreshLock.TryLock(), wxMUTEX_NO_ERROR);
    frame->m_refreshLock.Unlock();
    EXPECT_EQ(frame->m_playRemain, 100); // 1000 ms less nine ticks

    tick(); // the countdown runs out: line gone, numbers cleared
    EXPECT_EQ(frame->m_playRemain, 0);
    EXPECT_EQ(frame->m_playPos, 0);
    EXPECT_EQ(frame->m_canvasPanelUp->m_lineX, 0);

    // "&NonDispSpectrum" keeps the spectrum while the line moves.
    frame->m_playNoSpect->SetValue(true);
    computeLevelSpectrum(work, 0, w.m_noiseParameter, levelOfStretch);
    frame->m_canvasPanel->drawdB(shown.data(), 256, 0, 256, -100.0, 0.0);
    const std::vector<double> before(work.m_restoreDb, work.m_restoreDb + 256);
    frame->toPlay();
    frame->m_refreshTimer->Stop();
    for (int k = 0; k < 8; ++k)
        tick();
    EXPECT_EQ(frame->m_canvasPanelUp->m_lineX, lineColumn(8 * 1454));
    EXPECT_TRUE(std::vector<double>(work.m_restoreDb, work.m_restoreDb + 256) == before);
    EXPECT_EQ(frame->m_canvasPanel->m_levelData, shown.data());

    // Left to the real timer, the countdown ends by itself.
    frame->m_playNoSpect->SetValue(false);
    frame->toPlay();
    EXPECT_TRUE(
        pumpUntil([&] { return !frame->m_refreshTimer->IsRunning(); }, std::chrono::seconds(10)));
    EXPECT_EQ(frame->m_playRemain, 0);
    EXPECT_EQ(frame->m_canvasPanelUp->m_lineX, 0);
}

TEST_F(PlaybackTest, WithoutASoundDeviceAlsaPlaysNothingQuietly) {
    // This test machine has no sound card; elsewhere the device may open and play 10 ms.
    auto* alsa = new AlsaSoundBackend();
    wxSoundBackend* recorder = replaceSoundBackend(alsa);
    EXPECT_EQ(currentSoundBackend(), alsa);
    EXPECT_EQ(alsa->GetName(), "ALSA");
    load(testwav::ramp(160), 16000);
    frame->toPlay();
    EXPECT_EQ(frame->m_playRemain, 10);
    frame->toStop();
    EXPECT_FALSE(alsa->IsPlaying());
    EXPECT_TRUE(log().empty());
    delete replaceSoundBackend(recorder);
}
