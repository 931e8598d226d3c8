#include <algorithm>

#include "gui/panels/CanvasPanelFixture.h"

TEST_F(CanvasPanelTest, WaveformLevelAndBandRescaling) {
    panel->SetSize(0, 0, 204, 204);
    // 200 columns. 800 samples: groups of 4, stroke of the group closed at i at
    // column trunc(2 + (i - 2) / 4); the last group is never drawn.
    std::vector<double> wave(800, -1000.0);
    wave[400] = wave[401] = 1000.0; // the group 400..403 spans the whole range, closed at 404
    wave[796] = 1000.0;             // in the last group
    wave[1] = wave[2] = wave[3] = 1000.0; // the first group's stroke starts at its first sample
    panel->drawWave(wave.data(), 800, 1000.0, -1000.0);
    // A flat group is one point on its row (101, 202).
    EXPECT_EQ(pixels({{102, 100}, {101, 100}, {103, 100}, {101, 202}, {200, 100}, {2, 202}}),
              "0 255 255 0 255 0");
    // However quiet, a sound spans the height between its own extremes; equal extremes have no
    // scale and draw a flat line through the middle row.
    std::vector<double> quiet(800, -3.0);
    quiet[400] = quiet[401] = 3.0;
    panel->drawWave(quiet.data(), 800, 3.0, -3.0);
    EXPECT_EQ(pixels({{102, 3}, {102, 201}, {101, 100}}), "0 0 255");
    std::vector<double> flat(40000, 0.0);
    panel->drawWave(flat.data(), 800, 0.0, 0.0);
    EXPECT_EQ(pixels({{50, 102}, {50, 101}}), "0 255");
    // The overview's 16-bit samples on their own range, -1 .. 3: a group from 0 to 1 spans rows
    // 152 to 102.
    std::vector<short> overview(800, 0);
    overview[401] = 1;
    panel->drawWaveSub(overview.data(), 800, 3, -1);
    EXPECT_EQ(pixels({{102, 102}, {102, 152}, {102, 170}}), "0 0 255");

    // Level: first index one below the end index draws the frame and no line.
    std::vector<double> level(100, -50.0);
    panel->drawdB(level.data(), 100, 10, 11, -100.0, 0.0);
    EXPECT_EQ(countOf(buffer(), wxRect(3, 104, 198, 1), kWhite), 198);
    // -50 dB of a -100..0 range lands on row 2 + 200 - 100 + 2.
    panel->drawdB(level.data(), 100, 0, 100, -100.0, 0.0);
    EXPECT_EQ(pixels({{100, 104}, {100, 102}}), "0 255");
    // An end index past the spectrum, and an empty level range, stay safe: a flat line in the
    // middle (plus the level offset).
    panel->drawdB(level.data(), 100, 0, 5000, 0.0, 0.0);
    EXPECT_EQ(pixels({{4, 104}}), "0");
    // Redrawn at a new size, the frame reaches the new right edge, as a fresh drawing's does.
    panel->SetSize(0, 0, 304, 204);
    panel->redrawdB();
    EXPECT_EQ(pixels({{300, 50}, {301, 50}}), "255 0");

    // A band drawn on the waveform is rescaled when it is redrawn at a new size; white under
    // it turns grey 192, the black line stays black. The frame starts at column 2.
    panel->SetSize(0, 0, 404, 204);
    panel->drawWave(flat.data(), 40000, 100.0, -100.0);
    panel->setSelect(102, 50);
    panel->SetSize(0, 0, 804, 204);
    panel->redrawWave();
    EXPECT_EQ(selection(), (Ints{0, 40000, 202, 99}));
    EXPECT_EQ(pixels({{250, 100}, {250, 102}, {1, 100}, {2, 100}}), "192 0 255 0");
}

TEST_F(CanvasPanelTest, VoiceprintGreysTicksAndPitchContour) {
    panel->SetSize(0, 0, 604, 204);
    // T x I = 195 x 512 = 99840, H = 1024, w = 600: 587 columns starting at x 8.
    const long T = 195, H = 1024;
    std::vector<double> plane(T * H, 0.0);
    const auto draw = [&] {
        panel->drawdBTimeFreq(plane.data(), T, H, 44100, 512, 0, 22050, -130.0, 0.0);
    };
    panel->drawScaleTimeFreq(44100, 0, 22050);
    draw();
    EXPECT_EQ(pixels({{7, 150}, {8, 150}, {594, 150}, {595, 150}}), "0 255 255 0")
        << "the top level is white, beside the picture stays black";
    // The bottom level is black, above the top is clamped, -65 dB is (65 * 255 / 130) truncated.
    const std::pair<double, const char*> levels[] = {{-130.0, "0"}, {40.0, "255"}, {-65.0, "127"}};
    for (auto [db, g] : levels) {
        std::fill(plane.begin(), plane.end(), db);
        draw();
        EXPECT_EQ(pixels({{300, 150}}), g) << db;
    }
    // Low frequencies at the bottom: only bin 0 loud shows on the lowest rows only.
    std::fill(plane.begin(), plane.end(), -130.0);
    for (long t = 0; t < T; ++t)
        plane[t * H] = 0.0;
    draw();
    EXPECT_EQ(pixels({{300, 202}, {300, 100}}), "255 0");

    // Frequency ticks on 200 rows: 0 Hz on row 202, 5000 Hz on row 77, 1000 Hz on 177,
    // 7000 Hz on 27. White axes; long ticks at 0 and 5000 Hz, short ones end before them.
    panel->SetSize(0, 0, 404, 204);
    panel->drawScaleTimeFreq(16000, 0, 8000);
    EXPECT_EQ(
        pixels({{2, 100}, {200, 202}, {7, 77}, {5, 177}, {7, 202}, {5, 27}, {7, 177}, {5, 178}}),
        "255 255 255 255 255 255 0 0");

    // Pitch over the voiceprint: 3 frames every 1000 samples and 2 × 8 bins: 400 * 3000 /
    // 3016 = 397 columns from x 3, a frame every 132.3 columns: frames at 3, 135 and 267.
    const wxColour coral = wxTheColourDatabase->Find("CORAL");
    std::vector<double> quiet(3 * 8, -130.0);
    const auto coralIn = [&](int x0, int x1) {
        return countOf(buffer(), wxRect(x0, 3, x1 - x0 + 1, 199), coral);
    };
    const auto drawPitch = [&](double* contour) {
        panel->drawdBTimeFreq(quiet.data(), 3, 8, 16000, 1000, 0, 8000, -130.0, 0.0);
        panel->drawPitch(contour, 3, 800.0, 0.0, nullptr, nullptr, nullptr);
    };
    double contour[] = {100.0, 100.0, 180.0}, gap[] = {100.0, 0.0, 100.0};
    drawPitch(contour);
    EXPECT_GT(coralIn(8, 130), 0) << "100 -> 100 Hz is drawn";
    EXPECT_EQ(coralIn(140, 262), 0) << "100 -> 180 Hz (ratio 1.8) is not";
    drawPitch(gap);
    EXPECT_EQ(coralIn(8, 262), 0) << "an unvoiced frame breaks both segments";

    // Five frames a column (2000 frames of 1 sample, 2 x 8 bins: 396 columns): each group's
    // power range is one stroke at its centre; 1000 .. 1004 span 0.1 .. 0.9, rows 182 .. 22 of
    // column 202.
    std::vector<double> many(2000 * 8, -130.0), unvoiced(2000, 0.0), power(2000, 0.5);
    power[1001] = 0.1;
    power[1002] = 0.9;
    panel->drawdBTimeFreq(many.data(), 2000, 8, 16000, 1, 0, 8000, -130.0, 0.0);
    panel->drawPitch(unvoiced.data(), 2000, 800.0, 0.0, nullptr, power.data(), nullptr);
    const wxColour blue = wxTheColourDatabase->Find("MIDNIGHT BLUE");
    EXPECT_EQ(countOf(buffer(), wxRect(202, 22, 1, 161), blue), 161);
    EXPECT_EQ(countOf(buffer(), wxRect(4, 3, 336, 99), blue), 80) << "above 0.5 only that stroke";
}
