#include <functional>
#include <memory>

#include <wx/dnd.h>

#include "engine/render/AxisTicks.h"
#include "engine/render/LabelPlacement.h"
#include "gui/frame/FrameHelpers.h"
#include "support/Dialogs.h"

namespace {

// A 30 s ramp at 16 kHz: longer than one 441000-sample window, so the window can move (its last
// start is 480000 - 441000 = 39000); the stretch holds 440320 samples.
class NewcomerTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        ramp = dir.file("ramp.wav", testwav::wav(testwav::ramp(30 * 16000), 1, 16000));
        open(ramp);
        // Opening leaves the focus in the parameter block, which keeps its typing keys.
        EXPECT_TRUE(pumpUntil([&] { return wxWindow::FindFocus() == win().text(); },
                              std::chrono::seconds(5)));
        win().canvasPanel()->SetFocus();
        pumpEvents();
    }
    // A key as the toolkit delivers it to the window first; true when the window took it.
    bool key(int code, int modifiers = wxMOD_NONE) {
        wxKeyEvent event(wxEVT_CHAR_HOOK);
        event.m_keyCode = code;
        event.m_shiftDown = (modifiers & wxMOD_SHIFT) != 0;
        event.m_controlDown = (modifiers & wxMOD_CONTROL) != 0;
        event.SetEventObject(frame);
        frame->ProcessWindowEvent(event);
        return !event.GetSkipped();
    }
    void wheel(myCanvasPanel* panel, int rotation, bool ctrl = false, int x = 200) {
        wxMouseEvent event(wxEVT_MOUSEWHEEL);
        event.m_wheelRotation = rotation;
        event.m_wheelDelta = 120;
        event.m_controlDown = ctrl;
        event.m_x = x;
        event.m_y = 30;
        event.SetEventObject(panel);
        panel->ProcessWindowEvent(event);
    }
    int32_t cursor() const { return win().wave()->m_cursor; }
    int32_t windowStart() const { return win().wave()->m_windowStart; }
    // The text boxes that read what the heading above the main panel says.
    int headings() {
        pumpEvents();
        int found = 0;
        for (wxWindow* child : win().panel()->GetChildren())
            if (auto* text = dynamic_cast<wxTextCtrl*>(child))
                found += text->GetValue() == " Wideband Phase Restoration ";
        return found;
    }

    std::string ramp;
};

} // namespace

TEST_F(NewcomerTest, EachKeyReachesItsCommandAndTextBoxesKeepTheirs) {
    // Zoomed, the stretch is 219136 samples (428 hops of 512); a tenth is 42 whole hops. Where
    // the stretch leaves the window, the window follows as far as the sound goes.
    EXPECT_TRUE(key('+') && frame->zoomedIn());
    const auto at = [&] { return windowStart() + cursor(); };
    const std::pair<std::pair<int, int>, int32_t> moves[] = {
        {{WXK_END, wxMOD_NONE}, 480000 - 219136},   {{WXK_LEFT, wxMOD_NONE}, 260864 - 21504},
        {{WXK_LEFT, wxMOD_SHIFT}, 239360 - 219136}, {{WXK_RIGHT, wxMOD_SHIFT}, 239360},
        {{WXK_RIGHT, wxMOD_NONE}, 260864},          {{WXK_HOME, wxMOD_NONE}, 0},
    };
    for (const auto& [k, expected] : moves) {
        EXPECT_TRUE(key(k.first, k.second));
        EXPECT_EQ(at(), expected) << "key " << k.first;
    }
    // The window jumps as "<<<<" and ">>>>" do, here to the last start that leaves a sample.
    EXPECT_TRUE(key(WXK_PAGEDOWN) && windowStart() == 38999);
    EXPECT_TRUE(key(WXK_PAGEUP) && windowStart() == 0);
    EXPECT_TRUE(key(WXK_END) && key('-') && !frame->zoomedIn());
    EXPECT_EQ(win().slider()->GetValue(), 0) << "the thumb follows the stretch back";

    EXPECT_TRUE(key('P') &&
                lastLog(frame) == "pitch is drawn on a voiceprint: press V to compute one first.");
    EXPECT_TRUE(key('V', wxMOD_SHIFT) &&
                lastLog(frame) == "no voiceprint shown: press V to compute one first.");
    EXPECT_TRUE(key('V'));
    ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning(); }));
    EXPECT_TRUE(key('V', wxMOD_SHIFT) && win().canvasPanel()->voiceprintMethod() == 1);
    EXPECT_TRUE(key('P') && inside(win().canvasPanel()).pitchData());
    EXPECT_EQ(headings(), 1) << "the heading keeps its text whatever the panel shows";

    win().canvasPanel()->SetFocus();
    EXPECT_TRUE(key(WXK_SPACE) && win().playback().playing());
    EXPECT_TRUE(key(WXK_SPACE) && !win().playback().playing());
    // A focused button or check box takes Space itself, a focused slider the arrows.
    for (wxWindow* control :
         {win().panel()->FindWindow(ID_PlayNonMute), static_cast<wxWindow*>(win().playRepeat())}) {
        control->SetFocus();
        ASSERT_TRUE(pumpUntil([&] { return wxWindow::FindFocus() == control; }));
        EXPECT_FALSE(key(WXK_SPACE) || win().playback().playing());
    }
    win().slider()->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return wxWindow::FindFocus() == win().slider(); }));
    EXPECT_FALSE(key(WXK_RIGHT) || key(WXK_HOME));

    Asked asked;
    wxTEST_DIALOG(EXPECT_TRUE(key(WXK_F1)), ExpectQuestion(wxID_OK, &asked));
    EXPECT_EQ(asked.caption, "Keys and mouse");

    // Ctrl keys are the menus' accelerators; a text box being typed in keeps the plain keys.
    EXPECT_FALSE(key('O', wxMOD_CONTROL));
    for (const auto& [id, accel] : {std::pair<int, const char*>{MyFrame::ID_Open, "Ctrl+O"},
                                    {MyFrame::ID_MenuSave, "Ctrl+S"},
                                    {MyFrame::ID_MenuExport, "Ctrl+E"}})
        EXPECT_EQ(std::unique_ptr<wxAcceleratorEntry>(frame->GetMenuBar()->FindItem(id)->GetAccel())
                      ->ToString(),
                  accel); // the caller owns the entry
    win().searchtext()->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return wxWindow::FindFocus() == win().searchtext(); }));
    EXPECT_FALSE(key(WXK_HOME) || key('V'));
}

TEST_F(NewcomerTest, MovesKeepTheVoiceprintItsMethodAndPitchAndPlayNothing) {
    ASSERT_TRUE(key('V') && pumpUntil([&] { return !win().voiceprintRunning(); }));
    EXPECT_TRUE(key('V', wxMOD_SHIFT) && key('P'));
    if (win().playback().playing())
        key(WXK_SPACE); // the computation's own play ends
    const myCanvasPanel& main = *win().canvasPanel();
    const auto shown = [&] {
        return tup(main.plotKind(), main.voiceprintMethod(), inside(&main).pitchData() != nullptr,
                   win().playback().playing());
    };
    ASSERT_EQ(shown(), tup(plotVoiceprint, 1, true, false));
    const std::function<void()> moves[] = {
        [&] { key('+'); },     [&] { key(WXK_RIGHT); },  [&] { wheel(win().canvasPanel(), 120); },
        [&] { key(WXK_END); }, [&] { key(WXK_PAGEUP); },
    };
    for (size_t i = 0; i < std::size(moves); ++i) {
        const int64_t before = windowStart() + cursor();
        moves[i]();
        ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning(); }));
        EXPECT_EQ(shown(), tup(plotVoiceprint, 1, true, false)) << "move " << i;
        EXPECT_NE(windowStart() + cursor(), before) << "move " << i;
    }
}

TEST(KeyTable, TheReadmeShowsTheWindowsOwnKeys) {
    EXPECT_NE(slurp(VOCALITH_SOURCE_DIR "/README.md").find(keyTableMarkdown()), std::string::npos)
        << keyTableMarkdown();
}

TEST_F(NewcomerTest, WheelOverviewDropRecentFilesAndResize) {
    // A notch is 86 hops of 512 samples; past the stretch's room the window moves, to its end.
    wheel(win().canvasPanelUp(), -120);
    EXPECT_EQ(tup(windowStart(), cursor()), tup(39000, win().wave()->m_cursorRange));
    wheel(win().canvasPanel(), 120);
    EXPECT_EQ(windowStart(), 0);
    wheel(win().canvasPanelUp(), 120, true);
    EXPECT_TRUE(frame->zoomedIn());
    wheel(win().canvasPanelUp(), -120, true);
    EXPECT_FALSE(frame->zoomedIn());

    // The overview's first column is the sound's start.
    mouse(win().canvasPanelSub(), wxEVT_LEFT_DOWN, 2, 10);
    EXPECT_EQ(windowStart(), 0);

    const std::string tone = dir.file("tone.wav", toneWav(3.0, 16000));
    auto* drop = static_cast<wxFileDropTarget*>(frame->GetDropTarget());
    const auto dropped = [](const std::string& path) {
        wxArrayString files;
        files.Add(wxString::FromUTF8(path));
        return files;
    };
    drop->OnDropFiles(0, 0, dropped(tone));
    ASSERT_TRUE(pumpUntil([&] { return win().sound().chosenFileName == "tone.wav"; }));
    pumpEvents();
    EXPECT_EQ(tup(win().fileHistory()->GetHistoryFile(0), win().fileHistory()->GetHistoryFile(1)),
              tup(wxString(tone), wxString(ramp)));
    // A dropped file of another kind is refused by its name, one that only looks like a sound
    // by what the converter finds.
    drop->OnDropFiles(0, 0, dropped(dir.file("talk.doc", "not a sound")));
    drop->OnDropFiles(0, 0, dropped(dir.file("talk.mp3", "not a sound")));
    pumpEvents();
    const Lines lines = log();
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()),
              (Lines{"talk.doc is not a sound Vocalith reads: open a .wav file or a sound it "
                     "converts (.flac, .ogg, .opus, .aiff, .caf, .mp3, .au, .w64), or the .vlh, "
                     ".txt or .trn memo file beside one.",
                     dir.path() + "/talk.mp3 read.", "wave file reading failed.",
                     "file damaged or not a sound."}));
    // The largest sample number shows whole, with its time.
    EXPECT_GE(win().postext()->GetSize().x,
              win().postext()->GetSizeFromText(" 2147483647 - 134217.728[s]  ").x);
    press(frame, MyFrame::ID_RecentFirst + 1, wxEVT_MENU);
    EXPECT_EQ(win().sound().chosenFileName, "ramp.wav");

    // A bad jump distance and an empty search do nothing, silently.
    win().jumptext()->SetValue("abc");
    const size_t logged = log().size();
    press(frame, ID_RRRRigth);
    press(frame, ID_SearchRigth);
    EXPECT_EQ(log().size(), logged);

    // A resized panel is drawn again by itself once the size settles.
    myCanvasPanel* main = win().canvasPanel();
    main->SetSize(main->GetSize().x - 50, main->GetSize().y - 30);
    ASSERT_TRUE(main->isSizeChanged());
    EXPECT_TRUE(pumpUntil([&] { return !main->isSizeChanged(); }, std::chrono::seconds(5)));
    EXPECT_EQ(main->plotKind(), 1);
}

TEST_F(NewcomerTest, PicturesCarryTimeAndFrequencyAxes) {
    // Round steps: 0.175 s wanted per 70 pixels gives 0.2 s; 1200 Hz per 30 rows gives 2000 Hz.
    const std::vector<AxisTick> time = roundTicks(1.0, 2.0, 400, 70, "s");
    const std::vector<AxisTick> freq = roundTicks(0, 8000, 200, 30, "Hz");
    ASSERT_TRUE(time.size() == 6u && freq.size() == 5u);
    EXPECT_EQ(tup(time[1].label + time[5].label, time[1].pixel, freq[1].label),
              tup("1.2s2.0s", 80, "2000Hz"));
    EXPECT_TRUE(roundTicks(2.0, 1.0, 400, 70, "s").empty());

    // Labels go below or above the earlier ones they would cover, within 0 .. 100; one with no
    // free place keeps its own.
    std::vector<LabelBox> labels{{0, 10, 50, 20}, {10, 15, 50, 20}, {100, 10, 20, 20},
                                 {0, 75, 50, 20}, {0, 40, 50, 20},  {0, 80, 50, 30}};
    separateLabels(labels, 0, 100);
    EXPECT_EQ(tup(labels[0].y, labels[1].y, labels[2].y, labels[3].y, labels[4].y, labels[5].y),
              tup(10, 30, 10, 75, 50, 80));
    // What painting adds over each back buffer: labels along the bottom of the waveform, and on
    // the voiceprint's left beside the 2000 Hz row (row 152 of a 204-pixel panel).
    const auto overlay = [&](myCanvasPanel* panel, const wxRect& where) {
        frame->updateAxisSpan(panel);
        wxBitmap painted(panel->backBuffer()->ConvertToImage());
        {
            wxMemoryDC dc(painted);
            panel->drawAxes(dc);
        }
        const wxImage before = panel->backBuffer()->ConvertToImage();
        const wxImage after = painted.ConvertToImage();
        int changed = 0;
        for (int y = where.y; y < where.GetBottom(); ++y)
            for (int x = where.x; x < where.GetRight(); ++x)
                changed += before.GetRed(x, y) != after.GetRed(x, y);
        return changed;
    };
    myCanvasPanel* up = win().canvasPanelUp();
    EXPECT_GT(overlay(up, wxRect(2, inside(up).bufferHeight() - 14, 300, 12)), 20);
    EXPECT_EQ(overlay(up, wxRect(2, 2, 300, 20)), 0) << "the axis keeps to the bottom";

    std::vector<double> plane(195 * 1024, -80.0);
    myCanvasPanel* main = win().canvasPanel();
    main->SetSize(604, 204);
    main->drawScaleTimeFreq(16000, 0, 8000);
    main->drawdBTimeFreq(plane.data(), 195, 1024, 16000, 512, 0, 8000, -160.0, 0.0);
    EXPECT_GT(overlay(main, wxRect(10, 146, 40, 12)), 10);
    EXPECT_GT(overlay(main, wxRect(60, 188, 500, 14)), 20);

    // The legend's longest line ends clear of the pitch scale's ticks on the right edge, and the
    // time labels keep out of the corner where the lowest pitch value stands.
    std::vector<double> pitch(195, 120.0), level(195, 0.5);
    main->drawPitch(pitch.data(), 195, 800.0, 0.0, level.data(), level.data(), level.data());
    const wxImage legend = main->backBuffer()->ConvertToImage();
    // Dark green text keeps red equal to blue and green above both; the columns of the ticks
    // (596 on, of 604) stay clear of it.
    int atEdge = 0;
    for (int y = 50; y < 75; ++y)
        for (int x = 596; x < 604; ++x)
            atEdge += legend.GetRed(x, y) == legend.GetBlue(x, y) &&
                      legend.GetGreen(x, y) > legend.GetRed(x, y);
    EXPECT_EQ(atEdge, 0);
    EXPECT_EQ(overlay(main, wxRect(604 - 45, 188, 43, 8)), 0);
    // The pitch scale's labels (200 and 400 Hz) end left of the right edge, below the legend.
    EXPECT_GT(overlay(main, wxRect(540, 90, 54, 70)), 10);

    // A memo of three lines keeps all three, descenders included.
    const DragShape one("gyp", DragShape::High), three("gyp\ngyp\ngyp", DragShape::High);
    EXPECT_GE(three.m_bitmap.GetHeight(), 3 * one.m_bitmap.GetHeight() - 4);
}

TEST_F(NewcomerTest, FitDbRangeBracketsTheVoiceprint) {
    const CWavPara& wave = *win().wave();
    for (bool on : {false, true, false}) {
        wxCommandEvent toggle(wxEVT_MENU, MyFrame::ID_ViewFitDb);
        toggle.SetInt(on);
        frame->ProcessWindowEvent(toggle);
        const double before = wave.m_dbLow;
        key('V');
        ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning(); }));
        EXPECT_EQ(wave.m_dbLow != before, on);
        if (!on)
            continue;
        // The levels shown: bins 0 .. 768, 6000 Hz of 8000.
        std::vector<double> shown;
        for (long i = 0; i < win().work()->m_repeatTimes * 1024; ++i)
            if (i % 1024 <= 768)
                shown.push_back(win().work()->m_hamDbMap[i]);
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(wave.m_dbHigh, std::ceil(shown.back()));
        EXPECT_EQ(wave.m_dbLow, std::floor(shown[shown.size() / 20]));
        EXPECT_TRUE(win().text()->GetValue().Contains(
            wxString::Format("[dBRnage]=[%.1f,%.1f] ", wave.m_dbLow, wave.m_dbHigh)));
    }
}
