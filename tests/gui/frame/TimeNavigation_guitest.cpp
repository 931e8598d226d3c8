#include "gui/frame/FrameHelpers.h"

namespace {

using Where = std::tuple<long, long, double>;

// A ramp sound (sample i holds i mod 2^15) opened as the user would, so that the analysed
// stretch's first sample tells where it was copied from.
class NavigationTest : public FrameTest {
protected:
    void openRamp(int samples) { open(dir.file("talk.wav", testwav::wav(testwav::ramp(samples)))); }
    void jump(const char* distance, int id) {
        win().jumptext()->SetValue(distance);
        press(frame, id);
    }
    void menu(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        win().canvasPanelUp()->ProcessWindowEvent(event);
    }
    void slide(wxEventType type) {
        wxScrollEvent event(type, ID_Slider, win().slider()->GetValue());
        frame->ProcessWindowEvent(event);
    }
    // The band a panel draws, as fractions of its plot's width: where it starts, how wide.
    static void expectBand(const myCanvasPanel& panel, double from, double width) {
        const double plot = panel.GetSize().x - 4;
        EXPECT_NEAR((inside(&panel).selX() - 2) / plot, from, 1.5 / plot);
        EXPECT_NEAR(inside(&panel).selWidth() / plot, width, 1.5 / plot);
    }
    void select(int start, int length) {
        inside(win().canvasPanelUp()).selStart() = start;
        inside(win().canvasPanelUp()).selLength() = length;
    }
    CWavPara& wave() { return *win().wave(); }
    const CWorkMemory& work() { return *win().work(); }
    // The window's start, the cursor, and the stretch's first sample.
    Where where() { return Where(wave().m_windowStart, wave().m_cursor, work().m_wave[0]); }
    // The same as expected, the stretch starting at a file position of the ramp.
    static Where at(long windowStart, long cursor, long sample) {
        return Where(windowStart, cursor, double(sample & 0x7FFF));
    }
};

} // namespace

TEST_F(NavigationTest, JumpsSliderAndStepsMoveAndClamp) {
    openRamp(1000000);
    setStretch(4096, 512, 100); // room for the cursor: E = 99 * 512 + 4096 = 54784
    const int range = wave().m_cursorRange;
    ASSERT_EQ(range, 441000 - 54784);
    // Jumps move the window and keep the stretch in place.
    jump("500000", ID_RRRRigth);
    EXPECT_EQ(where(), at(500000, 0, 500000)); // cursor clamped
    // d is lowered to 999999 - 441000 - 500000 = 58999; the cursor goes back by it.
    frame->shiftSliderPos(100000);
    jump("441000", ID_RRRRigth);
    EXPECT_EQ(where(), at(558999, 41001, 600000));
    // The overview marks the window: from 55.9 % of its plot width, 44.1 % wide.
    expectBand(*win().canvasPanelSub(), 0.559, 0.441);
    jump("458999", ID_LLLLeft);
    EXPECT_EQ(where(), at(100000, range, 100000 + range));
    frame->shiftSliderPos(1000);
    jump("441000", ID_LLLLeft); // lowered to 100000
    EXPECT_EQ(where(), at(0, 101000, 101000));
    // Not a number: not even playing stops, and the memo group stays.
    win().curTitle() = 5;
    frame->toPlay();
    jump("abc", ID_RRRRigth);
    jump("abc", ID_LLLLeft);
    EXPECT_EQ(tup(win().playback().playing(), win().curTitle(), wave().m_windowStart),
              tup(true, 5, 0));
    frame->toStop();

    // The slider's thumb moves the cursor; only its release analyses.
    frame->shiftSliderPos(0);
    win().slider()->SetValue(wave().m_sliderMax);
    slide(wxEVT_SCROLL_THUMBTRACK); // the echo of the program's own move
    EXPECT_EQ(wave().m_cursor, 0);
    slide(wxEVT_SCROLL_THUMBTRACK);
    const long end =
        std::min<long>(long(10000 * wave().m_samplesPerSliderStep), wave().m_cursorRange);
    EXPECT_EQ(where(), at(0, end, 0)) << "nothing is analysed while the thumb moves";
    EXPECT_EQ(inside(win().canvasPanelUp()).waveData(), wave().m_window + end);
    slide(wxEVT_SCROLL_CHANGED);
    EXPECT_EQ(where(), at(0, end, end));
    // The lower overview marks the stretch, E = 54784 samples, within the window.
    const double window = wave().m_windowLen;
    expectBand(*win().canvasPanelSub2(), end / window, 54784 / window);
    const std::string seconds = wxString::Format("%0.03lf", end / 44100.0).utf8_string();
    EXPECT_EQ(lastLog(frame), " " + std::to_string(end) + " - " + seconds + "[s]  moved.");

    // Steps clamp at both ends, leave the memo group, and are ignored while a tour runs.
    frame->shiftSliderPos(0);
    press(frame, ID_Left);
    win().curTitle() = 3;
    for (int id : {ID_RRRigth, ID_RRigth, ID_Rigth, ID_LLeft, ID_LLLeft, ID_Rigth})
        press(frame, id);
    EXPECT_EQ(where(), at(0, 2, 2)); // 0 (clamped), +100 +20 +1 -20 -100 +1
    EXPECT_EQ(tup(win().curTitle(), win().prevTitle()), tup(-1, 3));
    frame->shiftSliderPos(range - 50);
    press(frame, ID_RRRigth);
    win().tourRunning() = true;
    press(frame, ID_LLLeft);
    press(frame, ID_MostLLLLeft);
    win().tourRunning() = false;
    EXPECT_EQ(where(), at(0, range, range));

    // A file of exactly one window: forward has nowhere to go, not to sample -1.
    openRamp(441000);
    jump("441000", ID_RRRRigth);
    EXPECT_EQ(wave().m_windowStart, 0);
}

TEST_F(NavigationTest, ZoomTakesTheSelectionAndUnzoomTheWindow) {
    openRamp(441000); // S 4096, hop 512, E 440320
    select(1000, 4096 + 10 * 512);
    menu(myCanvasPanel::CmdSetRange);
    EXPECT_EQ(tup(lastLog(frame), work().m_excutionSize), tup("data length not enough.", 440320));

    select(300000, 100000);
    menu(myCanvasPanel::CmdSetRange);
    // (100000 - 4097) / 512 frames.
    EXPECT_EQ(tup(work().m_repeatTimes, wave().m_cursor, win().zoomOffset()),
              tup(187, 300000, 300000));

    // Back to the window's start with the slider; the next zoom starts from the cursor, not
    // from the zoom offset (300000 + 140000 would read past the window).
    win().slider()->SetValue(0);
    slide(wxEVT_SCROLL_CHANGED);
    select(140000, 4096 + 10 * 512 + 1);
    menu(myCanvasPanel::CmdSetRange);
    EXPECT_EQ(tup(work().m_repeatTimes, where()), tup(10, at(0, 140000, 140000)));
    EXPECT_NE(win().text()->GetValue().Find("[RepeatTimes]=10 "), wxNOT_FOUND);

    // A failed resize keeps a working stretch. One allocation fails; the allocator then puts
    // the ordinary one back.
    select(0, 20000);
    workmemory_detail::setArrayAllocator([](size_t) -> double* {
        workmemory_detail::setArrayAllocator(nullptr);
        return nullptr;
    });
    menu(myCanvasPanel::CmdSetRange);
    workmemory_detail::setArrayAllocator(nullptr);
    EXPECT_EQ(tup(lastLog(frame), work().m_repeatTimes), tup("failed allocation memory.", 10));
    press(frame, ID_Rigth);
    EXPECT_EQ(where(), at(0, 140001, 140001));

    menu(myCanvasPanel::CmdUnsetRange);
    EXPECT_EQ(tup(work().m_excutionSize, win().zoomOffset(), where()), tup(440320, 0, at(0, 0, 0)));
}
