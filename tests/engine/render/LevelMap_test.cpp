#include <cmath>

#include <gtest/gtest.h>

#include "engine/render/LevelMap.h"

TEST(LevelMap, GreyClampsTruncatesAndShowsNaNBlack) {
    EXPECT_EQ(greyOfLevel(0.0, -60.0, 0.0), 255);
    EXPECT_EQ(greyOfLevel(5.0, -60.0, 0.0), 255);
    EXPECT_EQ(greyOfLevel(-60.0, -60.0, 0.0), 0);
    EXPECT_EQ(greyOfLevel(-200.0, -60.0, 0.0), 0);
    EXPECT_EQ(greyOfLevel(-30.0, -60.0, 0.0), 127); // 127.5 truncated
    EXPECT_EQ(greyOfLevel(std::nan(""), -60.0, 0.0), 0);
    // An empty range is a threshold at its one level.
    EXPECT_EQ(greyOfLevel(-10.0, -10.0, -10.0), 255);
    EXPECT_EQ(greyOfLevel(-10.5, -10.0, -10.0), 0);
}

TEST(LevelMap, RowsAndBilinearReading) {
    // 16 kHz, 512 bins of 15.625 Hz: 256 rows over 0 .. 8000 Hz are two bins each; a top above
    // half the rate is cut there.
    const FreqRows all = freqRows(16000, 512, -100, 20000, 256);
    EXPECT_EQ(all.low, 0);
    EXPECT_EQ(all.top, 8000);
    EXPECT_EQ(all.binsPerRow, 2.0);
    EXPECT_EQ(all.firstBin, 0.0);
    const FreqRows band = freqRows(16000, 512, 1000, 3000, 100);
    EXPECT_EQ(band.firstBin, 64.0);
    EXPECT_EQ(band.binsPerRow, 1.28);

    const double plane[] = {0.0, 10.0, 20.0, 30.0}; // frames x bins = 2 x 2
    EXPECT_EQ(planeLevelAt(plane, 2, 2, 0.0, 0.0), 0.0);
    EXPECT_EQ(planeLevelAt(plane, 2, 2, 0.5, 0.5), 15.0);
    EXPECT_EQ(planeLevelAt(plane, 2, 2, 1.0, 0.25), 22.5);
    EXPECT_EQ(planeLevelAt(plane, 2, 2, 7.0, 9.0), 30.0); // past the end reads the last
}
