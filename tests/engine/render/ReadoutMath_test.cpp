#include "engine/render/ReadoutMath.h"

#include <gtest/gtest.h>

// A voiceprint of 195 frames 512 apart (99,840 samples) with 1024 bins in a 604 x 204 panel:
// the plot is 600 x 200, the picture floor(600 * 99840 / 101888) = 587 columns from x 8. At
// 16 kHz a bin is 7.8125 Hz; over 0 .. 8000 Hz a row is 40 Hz, 5.12 bins. (The readout test of
// the frame checks points inside the picture with these numbers.)
TEST(ReadoutMath, VoiceprintEdgesAndRange) {
    EXPECT_EQ(voiceprintColumns(600, 195, 1024, 512), 587);
    EXPECT_EQ(voiceprintColumns(600, 0, 1024, 512), 0);
    VoiceprintGeometry g{604, 204, 195, 1024, 512, 16000, 0, 8000};
    // Last column: frame floor(586 * 195 / 587) = 194, 586 * 99840 / 587 = 99669.9 samples;
    // top row r = 199: 7960 Hz, bin floor(199 * 5.12) = 1018.
    VoiceprintPoint p = voiceprintPointAt(g, 594, 3);
    EXPECT_TRUE(p.onPicture && p.frame == 194 && p.bin == 1018 && p.sampleOffset == 99669 &&
                p.freq == 7960.0);
    for (auto xy : {std::pair{7, 100}, std::pair{595, 100}, std::pair{300, 2}, std::pair{300, 203}})
        EXPECT_FALSE(voiceprintPointAt(g, xy.first, xy.second).onPicture)
            << xy.first << "," << xy.second;
    // From 1000 Hz: 35 Hz a row, 4.48 bins, the bottom row is bin 128.
    g.freqLow = 1000;
    p = voiceprintPointAt(g, 300, 102);
    EXPECT_TRUE(p.bin == 576 && p.freq == 4500.0);
    g.freqLow = 8000; // an empty range draws nothing, so nothing is under the pointer
    EXPECT_FALSE(voiceprintPointAt(g, 300, 102).onPicture);
}

// The level plot of 1024 bins at 16 kHz over bins 128 .. 768 in a 404 x 204 panel; a waveform
// of 40,000 samples 404 pixels wide (100 samples a column).
TEST(ReadoutMath, LevelAndWaveEdges) {
    const LevelGeometry g{404, 204, 1024, 128, 768, 16000};
    EXPECT_TRUE(levelPointAt(g, 2, 2).index == 128 && levelPointAt(g, 2, 2).freq == 1000.0);
    EXPECT_EQ(levelPointAt(g, 401, 201).index, 766); // 128 + 399 * 640 / 400 = 766.4
    EXPECT_FALSE(levelPointAt(g, 402, 100).onPlot || levelPointAt(g, 100, 202).onPlot);

    EXPECT_EQ(waveIndexAt(404, 84, 40000, 401, 40), 39900);
    EXPECT_TRUE(waveIndexAt(404, 84, 40000, 1, 40) == -1 &&
                waveIndexAt(404, 84, 40000, 102, 82) == -1 &&
                waveIndexAt(404, 84, 0, 102, 40) == -1);
}
