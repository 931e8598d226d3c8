#include <cstring>

#include "engine/analysis/Voiceprint.h"
#include "gui/frame/FrameHelpers.h"

namespace {

class WorkerTest : public FrameTest {
protected:
    void sizeStretch(long ssft, long hop, long frames) {
        ASSERT_EQ(win().work()->setSize(ssft, win().wave()->m_windowLen, CWorkMemory::senseNormal,
                                        hop, frames),
                  CWorkMemory::resultOk);
        frame->analyseStretch();
    }
    // The dB planes shown are those of one thread computing the same stretch afresh.
    void expectOneThreadsPlanes() {
        const CWorkMemory& shown = *win().work();
        CWorkMemory alone;
        ASSERT_EQ(alone.setSize(shown.m_ssftSize, shown.m_maxSize, shown.m_senseMode,
                                shown.m_interval, shown.m_repeatTimes),
                  CWorkMemory::resultOk);
        std::memcpy(alone.m_wave, shown.m_wave, sizeof(double) * shown.m_excutionSize);
        ASSERT_EQ(computeVoiceprint(alone, win().wave()->m_noiseParameter, {}, {}, 1),
                  voiceprintFinished);
        ASSERT_TRUE(convertVoiceprintToDb(alone, 1));
        const size_t bytes = size_t(shown.m_repeatTimes) * (shown.m_ssftSize / 2) * sizeof(double);
        for (auto plane :
             {&CWorkMemory::m_restoreDbMap, &CWorkMemory::m_hamDbMap, &CWorkMemory::m_rectDbMap})
            EXPECT_EQ(0, std::memcmp(alone.*plane, shown.*plane, bytes));
    }
    void runVoiceprint() {
        frame->toVoiceprint();
        ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning(); }));
        pumpEvents();
    }

    // The worker's updates as they reach the frame; Cancel can be pressed on the first.
    std::vector<int> updates;
    bool cancelOnFirst = false;
    MenuEvents events{[this](wxCommandEvent& e) {
        if (e.GetId() != ID_WorkerEvent)
            return;
        updates.push_back(e.GetInt());
        if (cancelOnFirst && updates.size() == 1 && win().dlgProgress())
            cancelProgress(frame);
    }};
};

} // namespace

// A refused thread releases the lock and leaves no dialog. The next run reports every frame
// (i * 100 / T) and then the end (-1), plays once without looping, and "&Repeat" is back as it
// was. Pitch is then drawn over the voiceprint.
TEST_F(WorkerTest, RefusedThreadThenRunsThatDrawTheEnginePlanesAndReuseFrames) {
    open(dir.file("talk.wav", toneWav(1.0, 44100)));
    voiceprint_detail::setThreadCreator([](wxThread&) { return wxTHREAD_NO_RESOURCE; });
    frame->toVoiceprint();
    voiceprint_detail::setThreadCreator(nullptr);
    EXPECT_EQ(lastLog(frame), "Error: Can't create thread!");
    EXPECT_TRUE(!win().voiceprintRunning() && !win().dlgProgress() && dataLockFree());

    sizeStretch(4096, 512, 4);
    ScopedRecordingSound sound;
    win().playRepeat()->SetValue(true);
    runVoiceprint();
    EXPECT_EQ(updates, (std::vector<int>{0, 25, 50, 75, -1}));
    ASSERT_EQ(sound.recorder.plays.size(), 1u);
    EXPECT_EQ(sound.recorder.plays[0].flags, unsigned(wxSOUND_ASYNC));
    const size_t lines = log().size();
    EXPECT_TRUE(win().playRepeat()->GetValue() && !win().dlgProgress() && dataLockFree());

    // The picture is the engine's restored plane, computed the same way on one thread.
    const CWorkMemory& shown = *win().work();
    const myCanvasPanel* panel = win().canvasPanel();
    const auto drawn = [panel] {
        return std::make_tuple(panel->plotKind(), panel->voiceprintMethod(),
                               inside(panel).voiceprintData());
    };
    EXPECT_EQ(drawn(), std::make_tuple(2, 2, shown.m_restoreDbMap));
    expectOneThreadsPlanes();

    // Switching the display only redraws.
    frame->toHammingWindow();
    EXPECT_EQ(drawn(), std::make_tuple(2, 1, shown.m_hamDbMap));
    EXPECT_TRUE(!win().voiceprintRunning() && log().size() == lines);

    frame->calcPitch();
    EXPECT_EQ(std::make_tuple(inside(panel).pitchData(), inside(panel).pitchTop()),
              std::make_tuple(shown.m_pitch, 800.0));

    // ">" by a whole hop with a voiceprint computed: the next voiceprint reuses every frame but
    // the new one, and its planes are those of a full computation of the new stretch.
    sizeStretch(1024, 256, 20);
    runVoiceprint();
    frame->shiftSliderPos(win().wave()->m_cursor + 256);
    runVoiceprint();
    EXPECT_EQ(tup(voiceprint_detail::lastReusedFrames(), lastLog(frame)),
              tup(19, "voiceprint calculation finished."));
    expectOneThreadsPlanes();
}

// Cancel pressed on the progress dialog at the first update: the worker, on one thread, holds
// right after posting frame 0 until that Cancel has reached the frame, so no other frame has
// started and exactly that update and the end arrive, whatever the machine's speed. (Closing
// the window during a run is the quit of StressQuit.)
TEST_F(WorkerTest, CancelOnTheFirstUpdate) {
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
    EXPECT_EQ(win().canvasPanel()->plotKind(), 1) << "nothing redrawn";
    EXPECT_TRUE(!win().tourRunning() && dataLockFree());
}

// The dialog comes as the run starts. While it shows, a click on the window's buttons is
// swallowed and the window is not disabled (no repaint of it all); the dialog's own Cancel works.
TEST_F(WorkerTest, TheDialogShowsAtTheStartAndHoldsEveryClickButItsCancel) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    sizeStretch(4096, 512, 4);
    frame->shiftSliderPos(8192);
    const int32_t at = win().wave()->m_cursor;
    wxWindow* left = win().panel()->FindWindow(ID_Left);
    const auto click = [&] {
        wxCommandEvent event(wxEVT_BUTTON, ID_Left);
        event.SetEventObject(left);
        left->HandleWindowEvent(event);
        return win().wave()->m_cursor;
    };
    {
        HeldWorker held(frame);
        frame->toVoiceprint();
        EXPECT_TRUE(win().dlgProgress() && win().inputBlock() && wxIsBusy() && frame->IsEnabled());
        EXPECT_EQ(click(), at);
        // A drop meanwhile says why nothing opens.
        EXPECT_FALSE(frame->openFile("x.wav", MyFrame::openedByDrop));
        EXPECT_EQ(lastLog(frame),
                  "x.wav waits: a voiceprint is being computed; open it when it has finished.");
        cancelProgress(frame);
        HeldWorker::release();
        ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning(); }));
    }
    EXPECT_TRUE(!win().dlgProgress() && !win().inputBlock() && !wxIsBusy() && dataLockFree());
    EXPECT_EQ(click(), at - 1);
}
