#include <set>

#include "gui/frame/FrameHelpers.h"
#include "gui/panels/CanvasPanelFixture.h"

namespace {

// Rows of the plot area (inside its frame) holding dark pixels.
int inkedRows(myCanvasPanel* panel) {
    const wxImage image = panel->backBuffer()->ConvertToImage();
    std::set<int> rows;
    for (int y = 3; y < image.GetHeight() - 3; ++y)
        for (int x = 3; x < image.GetWidth() - 3; ++x)
            if (image.GetRed(x, y) < 100)
                rows.insert(y);
    return int(rows.size());
}

} // namespace

TEST_F(FrameTest, SilenceDrawsFlatAndViewsLeaveNothingBehind) {
    const int rate = 16000;
    // Silence; 30 s of it before a tone (the first window is all silent): one flat line.
    std::vector<int16_t> silence(3 * rate, 0), thenTone(30 * rate, 0);
    for (int i = 0; i < 2 * rate; ++i)
        thenTone.push_back(i % 2 ? 8000 : -8000);
    for (const auto& [name, samples] :
         {std::pair{"silence.wav", silence}, {"then-tone.wav", thenTone}}) {
        open(dir.file(name, testwav::wav(samples, 1, rate)));
        for (myCanvasPanel* panel :
             {win().canvasPanelUp(), win().canvasPanelSub2(),
              samples.size() == silence.size() ? win().canvasPanelSub() : nullptr})
            if (panel) {
                EXPECT_EQ(inkedRows(panel), 1) << name;
            }
    }

    // Voiceprint with pitch, then the level spectrum, then another level spectrum: each as a
    // fresh draw of it shows it.
    open(dir.file("tone.wav", toneWav(3.0, rate)));
    myCanvasPanel* main = win().canvasPanel();
    for (int id : {MyFrame::ID_ViewVoiceprint, MyFrame::ID_ViewPitch, MyFrame::ID_ViewLevel}) {
        frame->runViewCommand(id);
        ASSERT_TRUE(pumpUntil([&] { return !win().voiceprintRunning(); }));
    }
    const auto picture = [&] {
        const wxImage image = main->backBuffer()->ConvertToImage();
        return std::string(reinterpret_cast<const char*>(image.GetData()),
                           size_t(image.GetWidth()) * image.GetHeight() * 3);
    };
    for (double dbLow : {-40.0, -20.0}) {
        const std::string shown = picture();
        main->drawScale();
        frame->drawLevelSpectrum();
        EXPECT_TRUE(shown == picture()) << dbLow;
        win().wave()->m_dbLow = dbLow;
        frame->drawLevelSpectrum();
    }
}
