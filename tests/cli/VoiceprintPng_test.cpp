#include "cli/VoiceprintPng.h"

#include "cli/CliRun.h"

namespace {

const Rgb kBlackPx{0, 0, 0}, kWhitePx{255, 255, 255}, kGreyPx{127, 127, 127};

// 1 s of a 16 kHz sound from 0.5 s on: 100 frames 160 samples apart, 128 bins, every level at
// -50 dB of a -100 .. 0 dB range: grey (50 * 255 / 100) = 127 wherever the plane shows.
const std::vector<double> kLevels(100 * 128, -50.0);
VoiceprintScene scene() {
    return {kLevels.data(), 100, 128, 16000, 160, 8000, 0, 8000, -100.0, 0.0, nullptr, {}, {}};
}

// Every pixel from (x0, y0) to (x1, y1), a row or a column.
void expectRun(const RgbCanvas& pic, int x0, int y0, int x1, int y1, Rgb colour) {
    for (int x = x0, y = y0; x <= x1 && y <= y1; x += x1 > x0, y += y1 > y0)
        EXPECT_EQ(pic.at(x, y), colour) << x << "," << y;
}

// Whether any pixel from (x0, y0) to (x1, y1) is black, as where a label is drawn.
bool inked(const RgbCanvas& pic, int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (pic.at(x, y) == kBlackPx)
                return true;
    return false;
}

} // namespace

// A 400 x 300 picture: scale 1; the plot at (40, 27), 282 x 245; the bar right of it at x 330.
// Time: 16000 samples over 282 columns, labels of one decimal need 35 pixels, so a tick every
// 0.2 s: 0.6 s is sample 9600, column 1600 * 282 / 16000 = 28.2 -> x 68; 1.4 s column 253.8 ->
// x 293, its label "1.4" (17 wide) centred from x 285, below the 4-pixel tick under row 272.
// Frequency: 8000 Hz over 245 rows, a tick every 1000 Hz (500 Hz would be 15 rows apart, less
// than three text lines); 5000 Hz is row 153 from the bottom, y = 271 - 153 = 118.
TEST(VoiceprintPng, AxesTicksLabelsAndBar) {
    const RgbCanvas pic = drawVoiceprintPicture(scene(), 400, 300);
    ASSERT_TRUE(pic.width() == 400 && pic.height() == 300);
    const PictureLayout l = pictureLayout(400, 300);

    // The plane, the axes, the bar's ends (dbHigh white, dbLow black, -50 dB half way down) and
    // its outline.
    // clang-format off
    for (const auto& [x, y, colour] : std::vector<std::tuple<int, int, Rgb>>{
        {40, 27, kGreyPx}, {321, 27, kGreyPx}, {181, 150, kGreyPx}, {40, 271, kGreyPx},
        {321, 271, kGreyPx}, {322, 272, kWhitePx}, {330, 27, kWhitePx}, {339, 27, kWhitePx},
        {335, 271, kBlackPx}, {335, 149, kGreyPx}, {329, 100, kBlackPx}, {34, 118, kWhitePx},
    })
        EXPECT_EQ(pic.at(x, y), colour) << x << "," << y;
    // clang-format on
    expectRun(pic, 39, 26, 39, 272, kBlackPx);
    expectRun(pic, 39, 272, 321, 272, kBlackPx);

    // The bar's labels beside its ends.
    EXPECT_TRUE(inked(pic, 343, 27, 360, 27 + kGlyphHeight) && inked(pic, 343, 265, 380, 272));

    // Each tick 4 pixels long and 1 wide, its label inked centred under it.
    const std::vector<AxisTick> ticks = timeTicks(scene(), l);
    ASSERT_EQ(ticks.size(), 5u);
    const std::pair<int, const char*> time[] = {
        {68, "0.6"}, {124, "0.8"}, {181, "1.0"}, {237, "1.2"}, {293, "1.4"}};
    for (size_t k = 0; k < 5; ++k) {
        const int x = time[k].first;
        expectRun(pic, x, 273, x, 276, kBlackPx);
        EXPECT_EQ(pic.at(x + 1, 274), kWhitePx);
        EXPECT_EQ(ticks[k].label, time[k].second);
        EXPECT_TRUE(inked(pic, x - 8, 278, x + 8, 278 + kGlyphHeight)) << x;
    }
    const std::vector<AxisTick> freq = freqTicks(scene(), l);
    EXPECT_TRUE(freq.size() == 9u && freq[8].pixel == 26 && freq[8].label == "8000");
    expectRun(pic, 35, 118, 38, 118, kBlackPx);
    // "5000" right-aligned 2 pixels left of the tick, centred on its row.
    EXPECT_TRUE(inked(pic, 39 - 4 - 2 - 23, 115, 39 - 4 - 2 - 1, 121));
}
