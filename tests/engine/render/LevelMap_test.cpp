#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "engine/render/LevelMap.h"

// Linear between the limits, truncated, clamped; NaN black; an empty range a threshold.
TEST(LevelMap, GreyClampsTruncatesAndShowsNaNBlack) {
    const struct {
        double v, low, high;
        int grey;
    } cases[] = {{0, -60, 0, 255},   {5, -60, 0, 255}, {-60, -60, 0, 0},     {-200, -60, 0, 0},
                 {-30, -60, 0, 127}, {NAN, -60, 0, 0}, {-10, -10, -10, 255}, {-10.5, -10, -10, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(greyOfLevel(c.v, c.low, c.high), c.grey)
            << c.v << " in " << c.low << ".." << c.high;
}

TEST(LevelMap, RowsAndBilinearReading) {
    // 16 kHz, 512 bins of 15.625 Hz: 256 rows over 0 .. 8000 Hz are two bins each; a top above
    // half the rate is cut there.
    const FreqRows all = freqRows(16000, 512, -100, 20000, 256);
    const FreqRows band = freqRows(16000, 512, 1000, 3000, 100);
    EXPECT_EQ(std::make_tuple(all.low, all.top, all.binsPerRow, all.firstBin, band.firstBin,
                              band.binsPerRow),
              std::make_tuple(0, 8000, 2.0, 0.0, 64.0, 1.28));

    const double plane[] = {0.0, 10.0, 20.0, 30.0}; // frames x bins = 2 x 2
    EXPECT_EQ(planeLevelAt(plane, 2, 2, 0.0, 0.0), 0.0);
    EXPECT_EQ(planeLevelAt(plane, 2, 2, 0.5, 0.5), 15.0);
    EXPECT_EQ(planeLevelAt(plane, 2, 2, 1.0, 0.25), 22.5);
    EXPECT_EQ(planeLevelAt(plane, 2, 2, 7.0, 9.0), 30.0); // past the end reads the last

    // A fitted range over bin 0 alone (a range from 0 Hz starts there): -4 .. 8 dB.
    const double levels[] = {-3.5, -90.0, 7.2, 60.0}; // frames x bins = 2 x 2
    double low = 0.0, high = 0.0;
    ASSERT_TRUE(fitLevelRange(levels, 2, 2, -1, 0, &low, &high));
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(-4.0, 8.0));
}
