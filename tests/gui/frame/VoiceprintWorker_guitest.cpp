#include <cstring>
#include <tuple>

#include "engine/analysis/Voiceprint.h"
#include "gui/frame/FrameHelpers.h"

namespace {

class WorkerTest : public FrameTest {
protected:
    void sizeStretch(long ssft, long hop, long frames) {
        ASSERT_EQ(frame->m_workPara->setSize(ssft, frame->m_wavePara->m_windowLen,
                                             CWorkMemory::senseNormal, hop, frames),
                  CWorkMemory::resultOk);
        frame->analyseStretch();
    }
    void runVoiceprint() {
        frame->toVoiceprint();
        ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning; }));
        pumpEvents();
    }

    ScratchDir dir;
    // The worker's updates as they reach the frame; Cancel can be pressed on the first.
    std::vector<int> updates;
    bool cancelOnFirst = false;
    MenuEvents events{[this](wxCommandEvent& e) {
        if (e.GetId() != ID_WorkerEvent)
            return;
        updates.push_back(e.GetInt());
        if (cancelOnFirst && updates.size() == 1 && frame->m_dlgProgress)
            cancelProgress(frame);
    }};
};

} // namespace

// A refused thread releases the lock and leaves no dialog. The next run reports every frame
// (i * 100 / T) and then the end (-1), plays once without looping, and "&Repeat" is back as it
// was. Pitch is then drawn over the voiceprint.
TEST_F(WorkerTest, RefusedThreadThenARunThatDrawsTheEnginePlanes) {
    open(dir.file("talk.wav", toneWav(1.0, 44100)));
    voiceprint_detail::setThreadCreator([](wxThread&) { return wxTHREAD_NO_RESOURCE; });
    frame->toVoiceprint();
    voiceprint_detail::setThreadCreator(nullptr);
    EXPECT_EQ(lastLog(frame), "Error: Can't create thread!");
    EXPECT_TRUE(!frame->m_voiceprintRunning && !frame->m_dlgProgress && dataLockFree());

    sizeStretch(4096, 512, 4);
    ScopedRecordingSound sound;
    frame->m_playRepeat->SetValue(true);
    runVoiceprint();
    EXPECT_EQ(updates, (std::vector<int>{0, 25, 50, 75, -1}));
    ASSERT_EQ(sound.recorder.plays.size(), 1u);
    EXPECT_EQ(sound.recorder.plays[0].flags, unsigned(wxSOUND_ASYNC));
    EXPECT_EQ(lastLog(frame), "voiceprint calculation finished.");
    const size_t lines = log().size();
    EXPECT_TRUE(frame->m_playRepeat->GetValue() && !frame->m_dlgProgress && dataLockFree());

    // The picture is the engine's restored plane, computed the same way on one thread.
    const CWorkMemory& shown = *frame->m_workPara;
    const myCanvasPanel* panel = frame->m_canvasPanel;
    const auto drawn = [panel] {
        return std::make_tuple(panel->m_plotKind, panel->m_voiceprintMethod,
                               panel->m_voiceprintData);
    };
    EXPECT_EQ(drawn(), std::make_tuple(2, 2, shown.m_restoreDbMap));
    CWorkMemory alone;
    ASSERT_EQ(alone.setSize(shown.m_ssftSize, shown.m_maxSize, shown.m_senseMode, shown.m_interval,
                            shown.m_repeatTimes),
              CWorkMemory::resultOk);
    std::memcpy(alone.m_wave, shown.m_wave, sizeof(double) * shown.m_excutionSize);
    ASSERT_EQ(computeVoiceprint(alone, frame->m_wavePara->m_noiseParameter, {}, {}, 1),
              voiceprintFinished);
    ASSERT_TRUE(convertVoiceprintToDb(alone, 1));
    const size_t bytes = size_t(shown.m_repeatTimes) * (shown.m_ssftSize / 2) * sizeof(double);
    EXPECT_EQ(0, std::memcmp(alone.m_restoreDbMap, shown.m_restoreDbMap, bytes));
    EXPECT_EQ(0, std::memcmp(alone.m_hamDbMap, shown.m_hamDbMap, bytes));

    // Switching the display only redraws.
    frame->toHammingWindow();
    EXPECT_EQ(drawn(), std::make_tuple(2, 1, shown.m_hamDbMap));
    EXPECT_TRUE(!frame->m_voiceprintRunning && log().size() == lines);

    frame->calcPitch();
    EXPECT_EQ(std::make_tuple(panel->m_pitchData, panel->m_pitchTop),
              std::make_tuple(shown.m_pitch, 800.0));
}

// Cancel pressed on the progress dialog at the first update: the worker, on one thread, holds
// right after posting frame 0 until that Cancel has reached the frame, so no other frame has
// started and exactly that update and the end arrive, whatever the machine's speed.
TEST_F(WorkerTest, CancelOnTheFirstUpdateThenClosingTheWindowDuringARun) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    cancelOnFirst = true;
    voiceprint_detail::setWorkerThreads(1);
    {
        HeldWorker held(frame); // never released: the cancel lets it go
        runVoiceprint();
    }
    voiceprint_detail::setWorkerThreads(0);
    EXPECT_EQ(lastLog(frame), "voiceprint calculation stop.");
    EXPECT_EQ(updates, (std::vector<int>{0, -1}));
    EXPECT_EQ(frame->m_canvasPanel->m_plotKind, 1) << "nothing redrawn";
    EXPECT_TRUE(!frame->m_tourRunning && dataLockFree());

    // Closing waits for the worker.
    cancelOnFirst = false;
    frame->toVoiceprint();
    ASSERT_TRUE(frame->m_voiceprintRunning);
    frame->Destroy();
    frame = nullptr;
    pumpEvents(); // deletes the frame while its worker runs
    EXPECT_TRUE(dataLockFree());
    wxMilliSleep(300); // the worker's last post goes nowhere
    pumpEvents();
}

// ">" by a whole hop with a voiceprint computed: the next voiceprint reuses every frame but the
// new one, is drawn at once without a thread (no progress update reaches the window), and its
// planes are those of a full computation of the new stretch.
TEST_F(WorkerTest, AStepByAHopRedrawsFromTheReusedFrames) {
    open(dir.file("talk.wav", toneWav(1.0, 44100)));
    sizeStretch(1024, 256, 20);
    runVoiceprint();
    updates.clear();
    frame->shiftSliderPos(frame->m_wavePara->m_cursor + 256);
    runVoiceprint();
    EXPECT_TRUE(updates.empty() && dataLockFree());
    EXPECT_EQ(voiceprint_detail::lastReusedFrames(), 19);
    EXPECT_EQ(lastLog(frame), "voiceprint calculation finished.");
    const CWorkMemory& shown = *frame->m_workPara;
    CWorkMemory alone;
    ASSERT_EQ(alone.setSize(1024, shown.m_maxSize, shown.m_senseMode, 256, 20),
              CWorkMemory::resultOk);
    std::memcpy(alone.m_wave, shown.m_wave, sizeof(double) * shown.m_excutionSize);
    ASSERT_EQ(computeVoiceprint(alone, frame->m_wavePara->m_noiseParameter, {}, {}, 1),
              voiceprintFinished);
    ASSERT_TRUE(convertVoiceprintToDb(alone, 1));
    const size_t bytes = 20 * 512 * sizeof(double);
    EXPECT_EQ(0, std::memcmp(alone.m_restoreDbMap, shown.m_restoreDbMap, bytes));
    EXPECT_EQ(0, std::memcmp(alone.m_rectDbMap, shown.m_rectDbMap, bytes));
}

// A computation shorter than the delay never shows the dialog, though input waits and the
// pointer is busy while it runs. One held at 75 % swallows a click on a button until its dialog
// comes: at 300 and 600 ms its progress says it ends within the delay, at 900 ms no longer.
// Cancel there stops it at its end, and the same click acts afterwards.
TEST_F(WorkerTest, TheDialogShowsOnlyForLongerRunsAndClicksWaitUntilThen) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    // Long enough for the short run on a busy machine; the held run below has the real one.
    voiceprint_detail::setProgressDelay(std::chrono::milliseconds(3000));
    const auto waiting = [&] { return frame->m_inputBlock && wxIsBusy() && !frame->m_dlgProgress; };
    const std::vector<int> fourFrames = {0, 25, 50, 75, -1};
    sizeStretch(4096, 512, 4);
    frame->toVoiceprint();
    EXPECT_TRUE(waiting());
    bool dialogSeen = false;
    ASSERT_TRUE(pumpUntil([&] {
        dialogSeen = dialogSeen || frame->m_dlgProgress;
        return !frame->m_voiceprintRunning;
    }));
    EXPECT_TRUE(!dialogSeen && updates == fourFrames && !frame->m_inputBlock && !wxIsBusy() &&
                !frame->m_progressDelay->IsRunning());

    voiceprint_detail::setProgressDelay(std::chrono::milliseconds(300));
    frame->m_jumptext->ChangeValue("x");
    const auto click = [&] {
        wxCommandEvent event(wxEVT_BUTTON, ID_RRRRigth);
        event.SetEventObject(frame->m_panel->FindWindow(ID_RRRRigth));
        static_cast<wxWindow*>(event.GetEventObject())->HandleWindowEvent(event);
        return lastLog(frame);
    };
    updates.clear();
    frame->shiftSliderPos(frame->m_wavePara->m_cursor + 8192); // no frame to reuse
    voiceprint_detail::setWorkerThreads(1);
    {
        HeldWorker held(frame);
        HeldWorker::release(75);
        const auto start = std::chrono::steady_clock::now();
        frame->toVoiceprint();
        EXPECT_EQ(click(), "voiceprint calculation start.");
        EXPECT_TRUE(waiting());
        ASSERT_TRUE(pumpUntil([&] { return frame->m_dlgProgress != nullptr; }));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
        EXPECT_TRUE(!frame->m_inputBlock && !wxIsBusy());
        cancelProgress(frame);
        HeldWorker::release();
        ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning; }));
    }
    voiceprint_detail::setWorkerThreads(0);
    EXPECT_EQ(lastLog(frame), "voiceprint calculation stop.");
    EXPECT_TRUE(updates == fourFrames && !frame->m_dlgProgress && dataLockFree());
    EXPECT_EQ(click(), "jump distance \"x\" is not a number of samples (e.g. 441000).");
}
