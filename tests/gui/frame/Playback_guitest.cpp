#include "gui/frame/FrameHelpers.h"

namespace {

// The frame with a sound read into its wave parameters and the window shown on the top
// panel from the cursor on, whole stretch selected; the sound device replaced by a recorder.
class PlaybackTest : public FrameTest {
protected:
    void load(const std::vector<int16_t>& samples, uint32_t freq, int cursor = 0,
              int windowMax = CWavPara::kDefaultWindowMax) {
        wav = testwav::wav(samples, 1, freq);
        win().sound().replace(std::make_unique<CWavPara>(windowMax));
        CWavPara& w = *win().wave();
        ASSERT_EQ(w.setSizeFromWav(dir.file("play.wav", wav).c_str()), CWavPara::resultOK);
        ASSERT_TRUE(w.setSiii());
        w.m_cursor = cursor;
        win().canvasPanelUp()->drawWave(w.m_window + cursor, w.m_windowLen - cursor, w.m_max,
                                        w.m_min);
    }
    std::string samples(size_t first, size_t count) const {
        return wav.substr(44 + 2 * first, 2 * count);
    }
    void tick() {
        wxTimerEvent event(win().playback().timer());
        frame->ProcessWindowEvent(event);
    }
    // The cursor line's column for a sample of the top panel's plot.
    int lineColumn(long sample) const {
        const myCanvasPanel* up = win().canvasPanelUp();
        return int(double(sample) * (up->GetSize().x - 4) / up->waveCount()) + 2;
    }
    // The countdown as the frame keeps it: remaining ms, position, step; the line's column.
    std::tuple<int, int, int, int> countdown() const {
        const Playback::Countdown& c = win().playback().countdown();
        return {c.remainMs, c.pos, c.step, inside(win().canvasPanelUp()).lineX()};
    }

    ScopedRecordingSound sound;
    std::string wav;
};

} // namespace

TEST_F(PlaybackTest, PlayImageLoopAndCountdownFollowTheSelectionAndTheRate) {
    struct Case {
        int total, freq, cursor, selStart, selLength, repeat, remain, step;
    };
    const Case cases[] = {
        // 1000 ms in 11 ticks; panel sample 100 is window sample 150.
        {20000, 16000, 50, 100, 16000, false, 1000, 1454},
        {22050, 44100, 0, 0, 22050, true, 500, 3675},
        // More than the 960,028 samples the fixed image holds, then an ordinary play after it.
        {1000000, 44100, 0, 0, 1000000, false, 22675, 4405},
        {1000000, 44100, 0, 999000, 1000, false, 22, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selLength);
        load(testwav::ramp(c.total), uint32_t(c.freq), c.cursor,
             std::max(c.total, CWavPara::kDefaultWindowMax));
        inside(win().canvasPanelUp()).selStart() = c.selStart;
        inside(win().canvasPanelUp()).selLength() = c.selLength;
        win().playRepeat()->SetValue(c.repeat);
        sound.recorder.plays.clear();
        frame->toPlay();
        const std::string shown = samples(size_t(c.cursor + c.selStart), size_t(c.selLength));
        size_t bytes = 0;
        const char* image = reinterpret_cast<const char*>(MyFrame::playImage(&bytes));
        EXPECT_TRUE(std::string(image, bytes) ==
                    testwav::header({1, 1, uint32_t(c.freq), 16}, uint32_t(shown.size())) + shown);
        ASSERT_EQ(sound.recorder.plays.size(), 1u);
        EXPECT_EQ(sound.recorder.plays[0].flags,
                  c.repeat ? unsigned(wxSOUND_ASYNC | wxSOUND_LOOP) : wxSOUND_ASYNC);
        EXPECT_TRUE(sound.recorder.plays[0].samples == shown);
        EXPECT_EQ(countdown(), std::make_tuple(c.remain, c.selStart, c.step, 0));
    }
    EXPECT_EQ(win().playback().timer().GetInterval(), 100);
}

TEST_F(PlaybackTest, GuardsAndMuteKeepTheDeviceSilent) {
    load(testwav::ramp(16000), 16000);
    // A missing device is told once.
    sound.recorder.refuse = true;
    press(frame, ID_PlayNonMute);
    press(frame, ID_PlayNonMute);
    ASSERT_EQ(sound.recorder.plays.size(), 2u);
    const auto lines = log();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "no sound device: playing silently."), 1);
    press(frame, ID_Stop);
    sound.recorder.plays.clear();
    sound.recorder.refuse = false;
    win().playback().dropSound();
    win().playMute()->SetValue(true);
    wxCommandEvent event;
    frame->OnPlay(event);
    EXPECT_TRUE(sound.recorder.plays.empty() && !win().playback().sound() &&
                !win().playback().playing());

    // "&NonMute" plays anyway; a selection reaching past the window plays the part that is
    // there. Unmuted, the ordinary play works again.
    inside(win().canvasPanelUp()).selStart() = 10000;
    press(frame, ID_PlayNonMute);
    win().playMute()->SetValue(false);
    frame->OnPlay(event);
    ASSERT_EQ(sound.recorder.plays.size(), 2u);
    EXPECT_TRUE(sound.recorder.plays[0].samples == samples(10000, 6000));
}

TEST_F(PlaybackTest, RefreshTicksMoveTheCursorAndTheLevelSpectrumUntilTheEndOrAStop) {
    // Half a second at 500 Hz, then half a second at 3000 Hz; with S = 512 at 16 kHz a bin
    // is 31.25 Hz wide, so the peaks are bins 16 and 96.
    std::vector<int16_t> tones(16000);
    for (int i = 0; i < 16000; ++i)
        tones[size_t(i)] =
            int16_t(8000 * std::sin(2 * M_PI * (i < 8000 ? 500 : 3000) * i / 16000.0));
    load(tones, 16000);
    CWavPara& w = *win().wave();
    ASSERT_EQ(w.setRangeXY(0, 8000, -100.0, 0.0), CWavPara::resultOK);
    CWorkMemory& work = *win().work();
    ASSERT_EQ(work.setSize(512, w.m_windowLen, CWorkMemory::senseNormal, 128, 122),
              CWorkMemory::resultOk);
    std::copy(w.m_window, w.m_window + work.m_excutionSize, work.m_wave);
    win().canvasPanelUp()->drawWave(work.m_wave, work.m_excutionSize, w.m_max, w.m_min);
    // Shown from a copy, so that a tick's own drawing shows as a change of the plotted array.
    std::vector<double> shown(256, 1.0);
    win().canvasPanel()->drawdB(shown.data(), 256, 0, 256, -100.0, 0.0);
    frame->toPlay();
    win().playback().timer().Stop(); // ticks are sent by hand, one at a time
    for (int k = 1; k <= 9; ++k) {
        tick();
        const long pos = 1454L * k;
        EXPECT_EQ(inside(win().canvasPanelUp()).lineX(), lineColumn(pos)) << k;
        const auto peak = std::max_element(work.m_restoreDb, work.m_restoreDb + 256);
        EXPECT_EQ(peak - work.m_restoreDb, pos + 512 <= 8000 ? 16 : 96) << k;
    }
    EXPECT_EQ(inside(win().canvasPanel()).levelData(), work.m_restoreDb);
    tick(); // the tenth runs the countdown out: line gone
    EXPECT_EQ(tup(win().playback().countdown().remainMs, inside(win().canvasPanelUp()).lineX()),
              tup(0, 0));
    EXPECT_EQ(win().playback().refreshLock().TryLock(), wxMUTEX_NO_ERROR);
    win().playback().refreshLock().Unlock();

    // "&NonDispSpectrum" keeps the spectrum shown; a stop ends the countdown.
    win().playNoSpect()->SetValue(true);
    win().canvasPanel()->drawdB(shown.data(), 256, 0, 256, -100.0, 0.0);
    frame->toPlay(); // the timer runs, but fires only when events are handled
    tick();
    EXPECT_EQ(inside(win().canvasPanel()).levelData(), shown.data());
    frame->toStop();
    EXPECT_EQ(tup(sound.recorder.stops, win().playback().playing(), countdown()),
              tup(1, false, tup(0, 0, 0, 0)));

    // Left to the real timer, the countdown ends by itself.
    win().playNoSpect()->SetValue(false);
    frame->toPlay();
    EXPECT_TRUE(pumpUntil([&] { return !win().playback().playing(); }, std::chrono::seconds(10)));
    EXPECT_EQ(win().playback().countdown().remainMs, 0);
}
