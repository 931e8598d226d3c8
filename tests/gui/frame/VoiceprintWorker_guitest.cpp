#include <cmath>
#include <cstring>

#include <wx/progdlg.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/Voiceprint.h"
#include "gui/frame/VoiceprintWorker.h"
#include "engine/sound/CWavPara.h"
#include "support/GuiFixture.h"
#include "support/RecordingSoundBackend.h"
#include "support/SoundFiles.h"

namespace {

// Records the worker's events as they reach the frame; can press Cancel on the first one.
class WorkerEvents : public wxEventFilter {
public:
    explicit WorkerEvents(MyFrame* frame) : m_frame(frame) { wxEvtHandler::AddFilter(this); }
    ~WorkerEvents() override { wxEvtHandler::RemoveFilter(this); }
    int FilterEvent(wxEvent& event) override {
        if (event.GetEventType() == wxEVT_MENU && event.GetId() == ID_WorkerEvent) {
            values.push_back(static_cast<wxCommandEvent&>(event).GetInt());
            if (cancelOnFirst && values.size() == 1 && m_frame->m_dlgProgress) {
                wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
                cancel.SetEventObject(m_frame->m_dlgProgress->FindWindow(wxID_CANCEL));
                m_frame->m_dlgProgress->ProcessWindowEvent(cancel);
            }
        }
        return Event_Skip;
    }
    std::vector<int> values;
    bool cancelOnFirst = false;

private:
    MyFrame* m_frame;
};

// A voice at 200 Hz (harmonics 1..5) for the first second, then silence.
std::string voicedThenSilent() {
    std::vector<int16_t> s(2 * 44100);
    for (size_t i = 0; i < 44100; ++i) {
        double v = 0.0;
        for (int h = 1; h <= 5; ++h)
            v += 3000.0 / h * std::sin(2 * M_PI * 200.0 * h * i / 44100.0);
        s[i] = static_cast<int16_t>(v);
    }
    return testwav::wav(s);
}

class WorkerTest : public FrameTest {
protected:
    void open(const std::string& bytes) {
        frame->m_waveFileName = dir.file("talk.wav", bytes);
        frame->m_chosenFileName = "talk.wav";
        frame->readCommon();
        pumpEvents();
        ASSERT_EQ(frame->m_canvasPanel->m_plotKind, 1);
    }
    void runVoiceprint() {
        frame->toVoiceprint();
        ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning; }));
        pumpEvents();
    }
    bool lockIsFree() {
        if (wxGetApp().m_dataLock.TryLock() != wxMUTEX_NO_ERROR)
            return false;
        wxGetApp().m_dataLock.Unlock();
        return true;
    }
    bool logged(const std::string& line) const {
        const auto lines = log();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    ScratchDir dir;
};

} // namespace

// A refused thread releases the lock and leaves no dialog. The next run reports every frame
// (i * 100 / T) and then the end (-1), plays once without looping, and "&Repeat" is back as it
// was.
TEST_F(WorkerTest, RefusedThreadThenARunThatDrawsTheEnginePlanes) {
    open(toneWav(1.0, 44100));
    voiceprint_detail::setThreadCreator([](wxThread&) { return wxTHREAD_NO_RESOURCE; });
    frame->toVoiceprint();
    voiceprint_detail::setThreadCreator(nullptr);
    EXPECT_EQ(log().back(), "Error: Can't create thread!");
    EXPECT_FALSE(frame->m_voiceprintRunning);
    EXPECT_EQ(frame->m_dlgProgress, nullptr);
    EXPECT_TRUE(lockIsFree());

    ASSERT_EQ(frame->m_workPara->setSize(4096, frame->m_wavePara->m_windowLen,
                                         CWorkMemory::senseNormal, 512, 4),
              CWorkMemory::resultOk);
    frame->analyseStretch();
    ScopedRecordingSound sound;
    frame->m_playRepeat->SetValue(true);
    {
        WorkerEvents events(frame);
        runVoiceprint();
        EXPECT_EQ(events.values, (std::vector<int>{0, 25, 50, 75, -1}));
    }
    EXPECT_EQ(frame->m_dlgProgress, nullptr);
    ASSERT_EQ(sound.recorder.plays.size(), 1u);
    EXPECT_EQ(sound.recorder.plays[0].flags, unsigned(wxSOUND_ASYNC));
    EXPECT_TRUE(logged("voiceprint calculation start."));
    EXPECT_EQ(log().back(), "voiceprint calculation finished.");
    EXPECT_TRUE(frame->m_playRepeat->GetValue());
    EXPECT_TRUE(lockIsFree());

    // The picture is the engine's restored plane, computed the same way on one thread.
    const CWorkMemory& shown = *frame->m_workPara;
    myCanvasPanel* panel = frame->m_canvasPanel;
    EXPECT_EQ(panel->m_plotKind, 2);
    EXPECT_EQ(panel->m_voiceprintMethod, 2);
    EXPECT_EQ(panel->m_voiceprintData, shown.m_restoreDbMap);
    CWorkMemory alone;
    ASSERT_EQ(alone.setSize(shown.m_ssftSize, shown.m_maxSize, shown.m_senseMode, shown.m_interval,
                            shown.m_repeatTimes),
              CWorkMemory::resultOk);
    std::memcpy(alone.m_wave, shown.m_wave, sizeof(double) * shown.m_excutionSize);
    ASSERT_EQ(computeVoiceprint(alone, frame->m_wavePara->m_noiseParameter, {}, {}, 1),
              voiceprintFinished);
    ASSERT_TRUE(convertVoiceprintToDb(alone, 1));
    const size_t plane = size_t(shown.m_repeatTimes) * (shown.m_ssftSize / 2);
    EXPECT_EQ(0, std::memcmp(alone.m_restoreDbMap, shown.m_restoreDbMap, plane * sizeof(double)));
    EXPECT_EQ(0, std::memcmp(alone.m_hamDbMap, shown.m_hamDbMap, plane * sizeof(double)));

    // Switching the display only redraws.
    const size_t logCount = log().size();
    WorkerEvents events(frame);
    frame->toHammingWindow();
    EXPECT_EQ(panel->m_voiceprintMethod, 1);
    EXPECT_EQ(panel->m_voiceprintData, shown.m_hamDbMap);
    frame->toWidebandPhase();
    EXPECT_EQ(panel->m_voiceprintMethod, 2);
    EXPECT_EQ(panel->m_voiceprintData, shown.m_restoreDbMap);
    pumpEvents();
    EXPECT_TRUE(events.values.empty());
    EXPECT_EQ(log().size(), logCount);
}

TEST_F(WorkerTest, CancelOnTheFirstUpdateStopsAndRedrawsNothing) {
    open(toneWav(10.0, 44100));
    WorkerEvents events(frame);
    events.cancelOnFirst = true;
    runVoiceprint();
    EXPECT_EQ(log().back(), "voiceprint calculation stop.");
    EXPECT_EQ(events.values.back(), -1);
    // The worker ran ahead while the first update waited to be handled; it stopped there,
    // long before the 853 frames of the view.
    EXPECT_LT(events.values.size(), 400u);
    EXPECT_EQ(frame->m_canvasPanel->m_plotKind, 1) << "nothing redrawn";
    EXPECT_FALSE(frame->m_tourRunning);
    EXPECT_TRUE(lockIsFree());
}

TEST_F(WorkerTest, ClosingTheWindowDuringAComputationWaitsForTheWorker) {
    open(toneWav(10.0, 44100));
    frame->toVoiceprint();
    ASSERT_TRUE(frame->m_voiceprintRunning);
    frame->Destroy();
    frame = nullptr;
    pumpEvents(); // deletes the frame while its worker runs
    EXPECT_TRUE(lockIsFree());
    wxMilliSleep(300); // the worker's last post goes nowhere
    pumpEvents();
}

TEST_F(WorkerTest, PitchFollowsTheVoiceAndNeedsAVoiceprint) {
    open(voicedThenSilent());
    frame->calcPitch();
    EXPECT_EQ(frame->m_canvasPanel->m_pitchData, nullptr) << "no voiceprint, no pitch";

    runVoiceprint();
    frame->calcPitch();
    const CWorkMemory& work = *frame->m_workPara;
    EXPECT_EQ(frame->m_canvasPanel->m_pitchData, work.m_pitch);
    EXPECT_EQ(frame->m_canvasPanel->m_pitchTop, 800.0);
    // Frame 10 lies inside the voice, the last frame in the silence; bins of 44100 / S Hz.
    EXPECT_NEAR(work.m_pitch[10], 200.0, 44100.0 / work.m_ssftSize);
    EXPECT_EQ(work.m_pitch[work.m_repeatTimes - 1], 0.0);
    EXPECT_GE(long(work.m_repeatTimes - 1) * work.m_interval, 44100);
}
