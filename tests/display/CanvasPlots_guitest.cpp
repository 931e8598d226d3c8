#include <cmath>

#include "display/myCanvasPanel.h"
#include "support/GuiFixture.h"
#include "support/RecordingListener.h"

namespace {

// One panel of an exact size on a plain window, as the frame would hold it.
class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = new wxFrame(nullptr, wxID_ANY, "panel", wxDefaultPosition, wxSize(1000, 800));
        auto* holder = new wxPanel(window);
        panel = new myCanvasPanel(holder, &listener);
        window->Show();
        resize(404, 204);
    }
    void TearDown() override {
        window->Destroy();
        pumpEvents();
    }
    void resize(int w, int h) {
        panel->SetSize(w, h);
        pumpEvents();
        ASSERT_EQ(panel->GetSize(), wxSize(w, h));
    }
    wxImage picture() const { return panel->m_camvasBitmap->ConvertToImage(); }
    bool black(int x, int y) const {
        const wxImage im = picture();
        return im.GetRed(x, y) == 0 && im.GetGreen(x, y) == 0 && im.GetBlue(x, y) == 0;
    }
    bool white(int x, int y) const {
        const wxImage im = picture();
        return im.GetRed(x, y) == 255 && im.GetGreen(x, y) == 255 && im.GetBlue(x, y) == 255;
    }
    int grey(int x, int y) const { return picture().GetGreen(x, y); }

    RecordingListener listener;
    wxFrame* window = nullptr;
    myCanvasPanel* panel = nullptr;
};

} // namespace

TEST_F(PanelTest, BackBufferFollowsTheWindowSize) {
    // A paint before any drawing makes a buffer without recording its size.
    panel->Refresh();
    panel->Update();
    pumpEvents();
    ASSERT_NE(panel->m_camvasBitmap, nullptr);
    EXPECT_EQ(panel->m_bufferWidth, 0);
    EXPECT_TRUE(panel->isScaleChanged());
    EXPECT_EQ(panel->m_bufferWidth, 404);
    EXPECT_FALSE(panel->isScaleChanged());
    EXPECT_FALSE(panel->isSizeChanged());

    resize(300, 150);
    EXPECT_TRUE(panel->isSizeChanged());
    EXPECT_TRUE(panel->isSizeChanged()); // stays stale until something draws
    panel->drawScale();
    EXPECT_FALSE(panel->isSizeChanged());
    EXPECT_EQ(panel->m_bufferWidth, 300);
    EXPECT_EQ(panel->m_bufferHeight, 150);
    // drawScale: white panel with the plot area's black outline.
    EXPECT_TRUE(white(0, 0));
    EXPECT_TRUE(black(2, 50));
    EXPECT_TRUE(black(297, 50));
    EXPECT_TRUE(white(150, 50));
}

TEST_F(PanelTest, FrequencyScaleTicks) {
    // 204 rows: plot area 200 rows; 0 Hz on row 202, 5000 Hz on row 77, 1000 Hz on 177.
    panel->drawScaleTimeFreq(16000, 0, 8000);
    EXPECT_TRUE(white(2, 100)) << "vertical axis";
    EXPECT_TRUE(white(200, 202)) << "horizontal axis";
    EXPECT_TRUE(white(7, 77)) << "long tick at 5000 Hz";
    EXPECT_TRUE(white(5, 177)) << "short tick at 1000 Hz";
    EXPECT_TRUE(black(7, 177)) << "short ticks end before the long ones";
    EXPECT_TRUE(black(5, 178));
    EXPECT_TRUE(white(7, 202)) << "long tick at 0 Hz";
    EXPECT_TRUE(white(5, 27)) << "7000 Hz";
    EXPECT_TRUE(black(5, 2 + 1)) << "no tick at 8000 Hz";

    // Spans up to 999 Hz get 100 Hz ticks: row(100) = 202 - 100 * 200 / 800.
    panel->drawScaleTimeFreq(16000, 0, 800);
    EXPECT_TRUE(white(5, 177));
    EXPECT_TRUE(white(5, 152));

    // No sampling rate: axes, no ticks. An empty range: only the black area.
    panel->drawScaleTimeFreq(0, 0, 8000);
    EXPECT_TRUE(white(2, 100));
    EXPECT_TRUE(black(5, 177));
    panel->drawScaleTimeFreq(16000, 4000, 4000);
    EXPECT_TRUE(black(2, 100));
    EXPECT_TRUE(white(0, 0));
}

TEST_F(PanelTest, WaveformStrokesAndPolyline) {
    resize(204, 204);
    // 200 columns. 800 samples: groups of 4, stroke of the group closed at i at
    // column trunc(2 + (i - 2) / 4); the last group is never drawn.
    std::vector<double> wave(800, -1000.0);
    wave[400] = wave[401] = 1000.0; // the group 400..403 spans the whole range
    wave[796] = 1000.0;             // in the last group
    panel->drawWave(wave.data(), 800, 1000.0, -1000.0);
    EXPECT_EQ(panel->m_plotKind, 0);
    EXPECT_EQ(panel->m_subPlot, 0);
    EXPECT_EQ(panel->m_selStart, 0);
    EXPECT_EQ(panel->m_selLength, 800);
    EXPECT_TRUE(black(102, 100)) << "group 400..403 closes at i = 404";
    EXPECT_TRUE(white(101, 100));
    EXPECT_TRUE(white(103, 100));
    EXPECT_TRUE(black(101, 202)) << "a flat group is one point on its row";
    EXPECT_TRUE(white(200, 100)) << "the last group is not drawn";

    // 600 samples (3 per column): a polyline through every sample, the last included.
    std::vector<double> poly(600, -1000.0);
    poly[590] = 1000.0; // samples 589, 590 share column 198; 591 is on 199
    panel->drawWave(poly.data(), 600, 1000.0, -1000.0);
    EXPECT_TRUE(black(198, 100));
    EXPECT_TRUE(white(100, 100));

    // A silent sound (top equal to bottom) is a flat line in the middle, not a division by 0.
    std::vector<double> silence(800, 0.0);
    panel->drawWave(silence.data(), 800, 0.0, 0.0);
    EXPECT_TRUE(black(100, 102));
    EXPECT_TRUE(white(100, 50));
}

TEST_F(PanelTest, OverviewAndLevelPlots) {
    resize(204, 204);
    std::vector<short> sub(800, -100);
    sub[400] = 100;
    panel->drawWave(nullptr, 0, 1, 0);
    panel->drawWaveSub(sub.data(), 800, 100, -100);
    EXPECT_EQ(panel->m_subPlot, 1);
    EXPECT_TRUE(black(102, 100));
    EXPECT_TRUE(white(110, 100));

    // Level: first index one below the end index draws the frame and no line.
    std::vector<double> level(100, -50.0);
    panel->drawdB(level.data(), 100, 10, 11, -100.0, 0.0);
    EXPECT_EQ(panel->m_plotKind, 1);
    for (int x = 3; x < 200; x += 20)
        EXPECT_TRUE(white(x, 104)) << x;
    // -50 dB of a -100..0 range lands on row 2 + 200 - 100 + 2.
    panel->drawdB(level.data(), 100, 0, 100, -100.0, 0.0);
    EXPECT_TRUE(black(100, 104));
    EXPECT_TRUE(white(100, 102));
    // An end index past the spectrum, and an empty level range, stay safe.
    panel->drawdB(level.data(), 100, 0, 5000, 0.0, 0.0);
    EXPECT_TRUE(black(4, 104)) << "flat line in the middle (plus the level offset)";
}

TEST_F(PanelTest, VoiceprintGreysAndCentring) {
    resize(604, 204);
    // T x I = 195 x 512 = 99840, H = 1024, w = 600: 587 columns starting at x + 6.
    const long T = 195, H = 1024;
    std::vector<double> plane(T * H, 0.0);
    panel->drawScaleTimeFreq(44100, 0, 22050);
    panel->drawdBTimeFreq(plane.data(), T, H, 44100, 512, 0, 22050, -130.0, 0.0);
    EXPECT_EQ(panel->m_plotKind, 2);
    EXPECT_EQ(grey(7, 150), 0) << "left of the picture stays black";
    EXPECT_EQ(grey(8, 150), 255) << "top level is white";
    EXPECT_EQ(grey(8 + 586, 150), 255);
    EXPECT_EQ(grey(8 + 587, 150), 0);

    std::fill(plane.begin(), plane.end(), -130.0);
    panel->drawdBTimeFreq(plane.data(), T, H, 44100, 512, 0, 22050, -130.0, 0.0);
    EXPECT_EQ(grey(300, 150), 0) << "bottom level is black";
    std::fill(plane.begin(), plane.end(), 40.0);
    panel->drawdBTimeFreq(plane.data(), T, H, 44100, 512, 0, 22050, -130.0, 0.0);
    EXPECT_EQ(grey(300, 150), 255) << "clamped above";
    std::fill(plane.begin(), plane.end(), -65.0);
    panel->drawdBTimeFreq(plane.data(), T, H, 44100, 512, 0, 22050, -130.0, 0.0);
    EXPECT_EQ(grey(300, 150), 127) << "(65 * 255 / 130) truncated";

    // Low frequencies at the bottom: only bin 0 loud shows on the lowest rows only.
    std::fill(plane.begin(), plane.end(), -130.0);
    for (long t = 0; t < T; ++t)
        plane[t * H] = 0.0;
    panel->drawdBTimeFreq(plane.data(), T, H, 44100, 512, 0, 22050, -130.0, 0.0);
    EXPECT_EQ(grey(300, 202), 255);
    EXPECT_EQ(grey(300, 100), 0);
}

TEST_F(PanelTest, PitchContourBreaksAtJumpsAndSilence) {
    const wxColour coral = wxTheColourDatabase->Find("CORAL");
    // Three frames far apart: frame i at column 3 + 66 i (w = 400 gives 397 columns).
    const long T = 3, H = 8;
    std::vector<double> plane(T * H, -130.0);
    auto coralIn = [&](int x0, int x1) {
        const wxImage im = picture();
        int n = 0;
        for (int x = x0; x <= x1; ++x)
            for (int y = 3; y < 202; ++y)
                n += im.GetRed(x, y) == coral.Red() && im.GetGreen(x, y) == coral.Green() &&
                     im.GetBlue(x, y) == coral.Blue();
        return n;
    };
    double contour[] = {100.0, 100.0, 180.0};
    panel->drawPitch(contour, 3, 800.0, 0.0, nullptr, nullptr, nullptr);
    EXPECT_EQ(panel->m_pitchData, nullptr) << "no pitch without a voiceprint";

    panel->drawScaleTimeFreq(16000, 0, 8000);
    panel->drawdBTimeFreq(plane.data(), T, H, 16000, 1000, 0, 8000, -130.0, 0.0);
    panel->drawPitch(contour, 3, 800.0, 0.0, nullptr, nullptr, nullptr);
    const long cols = 400L * 3000 / (3000 + 16);
    const int c0 = 2 + (400 - cols) / 2;
    const int c1 = c0 + static_cast<int>(1 / (3.0 / cols));
    const int c2 = c0 + static_cast<int>(2 / (3.0 / cols));
    EXPECT_GT(coralIn(c0 + 5, c1 - 5), 0) << "100 -> 100 Hz is drawn";
    EXPECT_EQ(coralIn(c1 + 5, c2 - 5), 0) << "100 -> 180 Hz (ratio 1.8) is not";

    double gap[] = {100.0, 0.0, 100.0};
    panel->drawdBTimeFreq(plane.data(), T, H, 16000, 1000, 0, 8000, -130.0, 0.0);
    panel->drawPitch(gap, 3, 800.0, 0.0, nullptr, nullptr, nullptr);
    EXPECT_EQ(coralIn(c0 + 5, c2 - 5), 0) << "an unvoiced frame breaks both segments";
}

TEST_F(PanelTest, TooNarrowForAPictureDrawsNothing) {
    resize(5, 60);
    std::vector<double> plane(1024, 0.0);
    double pitch[] = {100.0};
    panel->drawScaleTimeFreq(16000, 0, 8000);
    const wxImage before = picture();
    panel->drawdBTimeFreq(plane.data(), 1, 1024, 16000, 1, 0, 8000, -130.0, 0.0);
    panel->drawPitch(pitch, 1, 800.0, 0.0, pitch, pitch, pitch);
    const wxImage after = picture();
    ASSERT_EQ(before.GetWidth(), after.GetWidth());
    EXPECT_EQ(
        0, memcmp(before.GetData(), after.GetData(), before.GetWidth() * before.GetHeight() * 3));
}

TEST_F(PanelTest, BandIsRescaledWhenTheWaveformIsRedrawnAtANewSize) {
    std::vector<double> wave(40000, 0.0);
    panel->drawWave(wave.data(), 40000, 100.0, -100.0);
    panel->setSelect(102, 50);
    EXPECT_FALSE(panel->isSizeChanged());
    panel->redrawWave(); // same size: nothing happens
    EXPECT_EQ(panel->m_selX, 102);

    resize(804, 204);
    panel->redrawWave();
    EXPECT_EQ(panel->m_selX, 202);
    EXPECT_EQ(panel->m_selWidth, 99);
    EXPECT_EQ(panel->m_selPanelWidth, 804);
    EXPECT_EQ(grey(250, 100), 192) << "white under the band turns grey 192";
}
