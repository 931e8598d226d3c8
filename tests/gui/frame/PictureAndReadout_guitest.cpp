#include <wx/filedlg.h>
#include <wx/statusbr.h>

#include "gui/frame/FrameHelpers.h"
#include "gui/panels/CanvasPanelFixture.h"

namespace {

// A 30 s ramp at 16 kHz (sample i holds i mod 2^15), its 441000-sample window moved 16000
// samples on, so that the analysed stretch starts at sample 16000 (1.000 s): the stretch holds
// (857 - 1) * 512 + 2048 = 440320 samples, the level spectrum 1024 bins of 7.8125 Hz over
// 0 .. 6000 Hz (bins 0 .. 768).
class ReadoutTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        open(dir.file("ramp.wav", testwav::wav(testwav::ramp(30 * 16000), 1, 16000)));
        win().jumptext()->SetValue("16000");
        press(frame, ID_RRRRigth);
        pumpEvents();
    }
    std::string pointAt(myCanvasPanel* panel, int x, int y, wxEventType type = wxEVT_MOTION,
                        bool leftDown = false) {
        mouse(panel, type, x, y, leftDown);
        return frame->GetStatusBar()->GetStatusText(1).utf8_string();
    }
};

} // namespace

TEST_F(ReadoutTest, LevelSpectrumAndWaveforms) {
    myCanvasPanel* main = win().canvasPanel();
    main->SetSize(404, 204);
    frame->drawLevelSpectrum();
    // Column 202 of the 400-wide plot: bin 200 * 768 / 400 = 384, 3000 Hz.
    // A ramp has next to nothing there: below the plot's -130 dB, shown as that limit.
    ASSERT_LT(win().work()->m_restoreDb[384], -130.0);
    EXPECT_EQ(pointAt(main, 202, 100), "1.000[s] sample 16000, 3000Hz, \u2264 -130.0dB");

    // The stretch on the top panel: column 102 of 400 is sample 100 * 440320 / 400 = 110080 of
    // it, 126080 of the file, holding 126080 - 3 * 32768. The window panel starts at 16000.
    myCanvasPanel* up = win().canvasPanelUp();
    up->SetSize(404, 84);
    up->redrawWave();
    EXPECT_EQ(pointAt(up, 102, 40), "7.880[s] sample 126080, value 27776");
    EXPECT_EQ(pointAt(win().canvasPanelSub2(), 2, 40), "1.000[s] sample 16000, value 16000");
    EXPECT_EQ(pointAt(win().canvasPanelSub(), 2, 40), "0.000[s] sample 0, value 0");

    // The panel's own handling still runs: a press and a move of more than 2 pixels start a
    // range selection; leaving the panel clears the field. Column 60 is
    // 58 * 440320 / 400 = 63846 samples into the stretch.
    mouse(up, wxEVT_LEFT_DOWN, 50, 40, true);
    EXPECT_EQ(pointAt(up, 60, 40, wxEVT_MOTION, true), "4.990[s] sample 79846, value 14310");
    EXPECT_EQ(inside(up).dragMode(), 2);
    EXPECT_EQ(pointAt(up, 60, 40, wxEVT_LEAVE_WINDOW), "");
}

// A known plane on the main panel, 604 x 204 (the geometry of ReadoutMath_test): 195 frames
// 512 apart, 1024 bins, 0 .. 8000 Hz, level -100 + t / 2 + k / 100 dB at frame t, bin k. Saved
// as a picture it is what the panel shows: a memo shape lies over the plot only on the screen,
// never in the back buffer.
TEST_F(ReadoutTest, VoiceprintReadoutAndItsSavedPicture) {
    std::vector<double> plane(195 * 1024);
    for (size_t i = 0; i < plane.size(); ++i)
        plane[i] = -100.0 + double(i / 1024) * 0.5 + double(i % 1024) * 0.01;
    myCanvasPanel* main = win().canvasPanel();
    main->SetSize(604, 204);
    main->drawScaleTimeFreq(16000, 0, 8000);
    press(frame, ID_SavePicture, wxEVT_MENU); // the level spectrum: no dialog opens
    EXPECT_EQ(lastLog(frame),
              "no voiceprint shown: compute one with View > Voiceprint (V), then save it.");
    main->drawdBTimeFreq(plane.data(), 195, 1024, 16000, 512, 0, 8000, -160.0, 0.0);
    inside(main).voiceprintMethod() = 1;

    EXPECT_EQ(pointAt(main, 8, 202), "1.000[s] sample 16000, 0Hz, -100.0dB (hamming)");
    inside(main).voiceprintMethod() = 2;
    // Frame 194, bin 1018, 99669 samples into the stretch: -100 + 97 + 10.18 dB.
    EXPECT_EQ(pointAt(main, 594, 3), "7.229[s] sample 115669, 7960Hz, \u2265 0.0dB (restored)");
    plane[0] = -400.0; // below the range: only the limit it passed
    EXPECT_EQ(pointAt(main, 8, 202), "1.000[s] sample 16000, 0Hz, \u2264 -160.0dB (restored)");

    auto* shape = new DragShape("memo", DragShape::High);
    shape->m_pos = wxPoint(30, 40);
    main->shapes().Append(shape);
    const wxRect memo(shape->m_pos, shape->m_bitmap.GetSize());
    // Saves through the file dialog answered with `path` (empty: cancelled).
    const auto save = [&](const std::string& path) {
        wxTEST_DIALOG(press(frame, ID_SavePicture, wxEVT_MENU),
                      wxExpectModal<wxFileDialog>(path, path.empty() ? wxID_CANCEL : wxID_OK));
    };
    const std::string path = dir.path() + "/shown.png";
    save(path);
    EXPECT_EQ(lastLog(frame), "voiceprint picture saved: " + path);
    wxImage saved;
    ASSERT_TRUE(saved.LoadFile(path, wxBITMAP_TYPE_PNG));
    const wxImage buffer = main->backBuffer()->ConvertToImage();
    ASSERT_EQ(saved.GetSize(), main->GetSize());
    EXPECT_EQ(at(saved, 300, 100), at(buffer, 300, 100));
    EXPECT_GT(countOf(saved, memo, {255, 0, 0}), 0);
    EXPECT_EQ(countOf(buffer, memo, {255, 0, 0}), 0) << "the buffer has no memo there";

    // A folder that does not exist: the log says so.
    const std::string nowhere = dir.path() + "/none/shown.png";
    save(nowhere);
    EXPECT_EQ(lastLog(frame), "voiceprint picture save failed: " + nowhere);
    const size_t lines = log().size();
    save("");
    EXPECT_EQ(log().size(), lines) << "a cancelled dialog saves and logs nothing";
}
