#include <set>

#include "gui/frame/FrameHelpers.h"
#include "gui/panels/CanvasPanelFixture.h"

namespace {

// Rows of the plot area (inside its frame) holding dark pixels.
int inkedRows(myCanvasPanel* panel) {
    const wxImage image = panel->m_camvasBitmap->ConvertToImage();
    std::set<int> rows;
    for (int y = 3; y < image.GetHeight() - 3; ++y)
        for (int x = 3; x < image.GetWidth() - 3; ++x)
            if (image.GetRed(x, y) < 100)
                rows.insert(y);
    return int(rows.size());
}

class ViewPixelsTest : public FrameTest {
protected:
    void view(int id) {
        frame->runViewCommand(id);
        ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning; }));
        pumpEvents();
    }
    ScratchDir dir;
};

} // namespace

TEST_F(ViewPixelsTest, SilenceDrawsAFlatLineOnEveryWaveform) {
    const int rate = 16000;
    // Digital silence; 30 s of it before a tone, so the whole first window is silent; and
    // silence with one sample of rounding noise.
    std::vector<int16_t> silence(3 * rate, 0), thenTone(30 * rate, 0), noise(3 * rate, 0);
    for (int i = 0; i < 2 * rate; ++i)
        thenTone.push_back(int16_t(8000.0 * std::sin(2 * M_PI * 180.0 * i / rate)));
    noise[rate] = 1;
    noise[rate + 1] = -1;
    for (const auto& [name, samples] :
         {std::pair{"silence.wav", silence}, {"then-tone.wav", thenTone}, {"noise.wav", noise}}) {
        open(dir.file(name, testwav::wav(samples, 1, rate)));
        pumpEvents();
        // The flat line alone, or with a wiggle of a row or two either side of it.
        const auto flat = [&](myCanvasPanel* panel) {
            const int rows = inkedRows(panel);
            return samples[rate] ? rows >= 1 && rows <= 5 : rows == 1;
        };
        EXPECT_TRUE(flat(frame->m_canvasPanelUp)) << name;
        EXPECT_TRUE(flat(frame->m_canvasPanelSub2)) << name;
        EXPECT_TRUE(samples.size() != silence.size() || flat(frame->m_canvasPanelSub)) << name;
        EXPECT_LE(inkedRows(frame->m_canvasPanel), 1) << name << ": level spectrum";
    }
}
