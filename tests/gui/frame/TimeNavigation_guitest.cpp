#include <algorithm>
#include <string>

#include "engine/analysis/CWorkMemory.h"
#include "gui/frame/FrameHelpers.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/ParameterBlock.h"
#include "support/SoundFiles.h"

namespace {

// A ramp sound (sample i holds i mod 2^15) opened as the user would, so that the analysed
// stretch's first sample tells where it was copied from.
class NavigationTest : public FrameTest {
protected:
    void open(int samples, int repeatTimes = 0) {
        frame->m_waveFileName = dir.file("talk.wav", testwav::wav(testwav::ramp(samples)));
        frame->m_chosenFileName = "talk.wav";
        frame->readCommon();
        if (repeatTimes > 0) {
            // A shorter stretch gives the cursor room to move.
            ParameterValues v = frame->currentParameters();
            v.repeatTimes = repeatTimes;
            frame->m_text->SetValue(wxString::FromUTF8(formatParameterBlock(v)));
            press(frame, ID_Confirm);
        }
        pumpEvents();
    }
    void jump(const char* distance, int id) {
        frame->m_jumptext->SetValue(distance);
        press(frame, id);
    }
    void menu(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        frame->m_canvasPanelUp->ProcessWindowEvent(event);
    }
    void slide(wxEventType type) {
        wxScrollEvent event(type, ID_Slider, frame->m_slider->GetValue());
        frame->ProcessWindowEvent(event);
    }
    void select(int start, int length) {
        frame->m_canvasPanelUp->m_selStart = start;
        frame->m_canvasPanelUp->m_selLength = length;
    }
    CWavPara& wave() { return *frame->m_wavePara; }
    const CWorkMemory& work() { return *frame->m_workPara; }
    // The value a ramp holds at a file position.
    static double rampAt(long sample) { return double(sample & 0x7FFF); }
    double stretchStart() { return work().m_wave[0]; }

    ScratchDir dir;
};

} // namespace

TEST_F(NavigationTest, StepsClampAndShowThePosition) {
    open(1000000, 100); // E = 99 * 512 + 4096 = 54784
    ASSERT_EQ(wave().m_cursorRange, 441000 - 54784);
    press(frame, ID_Left);
    EXPECT_EQ(wave().m_cursor, 0);
    frame->m_curTitle = 3;
    for (int id : {ID_RRRigth, ID_RRigth, ID_Rigth, ID_LLeft, ID_LLLeft, ID_Rigth})
        press(frame, id);
    EXPECT_EQ(wave().m_cursor, 2); // +100 +20 +1 -20 -100 +1
    EXPECT_EQ(stretchStart(), 2.0);
    EXPECT_EQ(frame->m_curTitle, -1);
    EXPECT_EQ(frame->m_prevTitle, 3);

    frame->shiftSliderPos(wave().m_cursorRange - 50);
    press(frame, ID_RRRigth);
    EXPECT_EQ(wave().m_cursor, wave().m_cursorRange);

    frame->m_tourRunning = true;
    press(frame, ID_LLLeft);
    frame->m_tourRunning = false;
    EXPECT_EQ(wave().m_cursor, wave().m_cursorRange);

    wave().m_windowStart = 44100;
    wave().setSiii();
    frame->shiftSliderPos(100);
    EXPECT_EQ(frame->m_postext->GetValue(), " 44200 - 1.002[s]  ");
    EXPECT_EQ(stretchStart(), rampAt(44200));
}

TEST_F(NavigationTest, JumpsMoveTheWindowAndKeepTheStretchInPlace) {
    open(1000000, 100);
    const int range = wave().m_cursorRange;
    jump("500000", ID_RRRRigth);
    EXPECT_EQ(wave().m_windowStart, 500000);
    EXPECT_EQ(wave().m_cursor, 0); // clamped

    // d is lowered to 999999 - 441000 - 500000 = 58999; the cursor goes back by it.
    frame->shiftSliderPos(100000);
    jump("441000", ID_RRRRigth);
    EXPECT_EQ(wave().m_windowStart, 558999);
    EXPECT_EQ(wave().m_cursor, 41001);
    EXPECT_EQ(stretchStart(), rampAt(600000));

    jump("458999", ID_LLLLeft);
    EXPECT_EQ(wave().m_windowStart, 100000);
    EXPECT_EQ(wave().m_cursor, range);
    frame->shiftSliderPos(1000);
    jump("441000", ID_LLLLeft); // lowered to 100000
    EXPECT_EQ(wave().m_windowStart, 0);
    EXPECT_EQ(wave().m_cursor, 101000);
    EXPECT_EQ(stretchStart(), rampAt(101000));

    // Not a number: not even playing stops, and the memo group stays.
    frame->m_curTitle = 5;
    frame->m_playRemain = 700;
    jump("abc", ID_RRRRigth);
    jump("abc", ID_LLLLeft);
    EXPECT_EQ(frame->m_playRemain, 700);
    EXPECT_EQ(frame->m_curTitle, 5);
    EXPECT_EQ(wave().m_windowStart, 0);
    EXPECT_EQ(wave().m_cursor, 101000);
    frame->m_playRemain = 0;

    // A file of exactly one window: forward has nowhere to go, not to sample -1.
    open(441000);
    jump("441000", ID_RRRRigth);
    EXPECT_EQ(wave().m_windowStart, 0);
}

TEST_F(NavigationTest, ZoomTakesTheSelectionAndUnzoomTheWindow) {
    open(441000); // S 4096, hop 512, E 440320
    select(1000, 4096 + 10 * 512);
    menu(myCanvasPanel::CmdSetRange);
    EXPECT_EQ(log().back(), "data length not enough.");
    EXPECT_EQ(work().m_excutionSize, 440320);

    select(300000, 100000);
    menu(myCanvasPanel::CmdSetRange);
    EXPECT_EQ(work().m_repeatTimes, 187); // (100000 - 4097) / 512
    EXPECT_EQ(wave().m_cursor, 300000);
    EXPECT_EQ(frame->m_zoomOffset, 300000);
    EXPECT_EQ(wave().m_cursorRange, 441000 - work().m_excutionSize);

    // Back to the window's start with the slider; the next zoom starts from the cursor, not
    // from the zoom offset (300000 + 140000 would read past the window).
    frame->m_slider->SetValue(0);
    slide(wxEVT_SCROLL_CHANGED);
    select(140000, 4096 + 10 * 512 + 1);
    menu(myCanvasPanel::CmdSetRange);
    EXPECT_EQ(work().m_repeatTimes, 10);
    EXPECT_EQ(wave().m_cursor, 140000);
    EXPECT_EQ(stretchStart(), rampAt(140000));
    EXPECT_NE(frame->m_text->GetValue().Find("[RepeatTimes]=10 "), wxNOT_FOUND);

    // A click selects the whole stretch: nothing to zoom into.
    wxMouseEvent down(wxEVT_LEFT_DOWN), up(wxEVT_LEFT_UP);
    down.m_x = up.m_x = 100;
    down.m_y = up.m_y = 20;
    down.m_leftDown = true;
    frame->m_canvasPanelUp->ProcessWindowEvent(down);
    frame->m_canvasPanelUp->ProcessWindowEvent(up);
    menu(myCanvasPanel::CmdSetRange);
    EXPECT_EQ(work().m_repeatTimes, 10);
    EXPECT_EQ(frame->m_zoomOffset, 440000);

    // A failed resize keeps a working stretch.
    select(0, 20000);
    // One allocation fails; the allocator then puts the ordinary one back.
    workmemory_detail::setArrayAllocator([](size_t) -> double* {
        workmemory_detail::setArrayAllocator(nullptr);
        return nullptr;
    });
    menu(myCanvasPanel::CmdSetRange);
    workmemory_detail::setArrayAllocator(nullptr);
    EXPECT_EQ(log().back(), "failed allocation memory.");
    EXPECT_EQ(work().m_repeatTimes, 10);
    press(frame, ID_Rigth);
    EXPECT_EQ(stretchStart(), rampAt(140001));

    menu(myCanvasPanel::CmdUnsetRange);
    EXPECT_EQ(work().m_excutionSize, 440320);
    EXPECT_EQ(wave().m_cursor, 0);
    EXPECT_EQ(frame->m_zoomOffset, 0);
    EXPECT_EQ(stretchStart(), 0.0);
}

TEST_F(NavigationTest, SliderThumbFollowsAndTheReleaseAnalyses) {
    open(1000000, 100);
    frame->shiftSliderPos(0);
    frame->m_slider->SetValue(wave().m_sliderMax);
    slide(wxEVT_SCROLL_THUMBTRACK); // the echo of the program's own move
    EXPECT_EQ(wave().m_cursor, 0);
    slide(wxEVT_SCROLL_THUMBTRACK);
    const long end =
        std::min<long>(long(10000 * wave().m_samplesPerSliderStep), wave().m_cursorRange);
    EXPECT_EQ(wave().m_cursor, end);
    EXPECT_EQ(frame->m_canvasPanelUp->m_waveData, wave().m_window + end);
    EXPECT_EQ(stretchStart(), 0.0) << "nothing is analysed while the thumb moves";

    slide(wxEVT_SCROLL_CHANGED);
    EXPECT_EQ(stretchStart(), rampAt(end));
    const std::string seconds = wxString::Format("%0.03lf", end / 44100.0).utf8_string();
    EXPECT_EQ(log().back(), " " + std::to_string(end) + " - " + seconds + "[s]  moved.");
}
