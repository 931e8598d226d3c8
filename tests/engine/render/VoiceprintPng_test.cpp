#include "engine/render/VoiceprintPng.h"

#include "cli/CliRun.h"

namespace {

const Rgb kBlackPx{0, 0, 0}, kWhitePx{255, 255, 255}, kGreyPx{127, 127, 127};

// 1 s of a 16 kHz sound from 0.5 s on: 100 frames 160 samples apart, 128 bins, every level at
// -50 dB of a -100 .. 0 dB range: grey (50 * 255 / 100) = 127 wherever the plane shows.
const std::vector<double> kLevels(100 * 128, -50.0);
VoiceprintScene scene() {
    return {kLevels.data(), 100, 128, 16000, 160, 8000, 0, 8000, -100.0, 0.0, nullptr, {}, {}};
}

} // namespace

// A 400 x 300 picture: scale 1; the plot at (40, 27), 282 x 245; the bar right of it at x 330.
// Time: 16000 samples over 282 columns, labels of one decimal need 35 pixels, so a tick every
// 0.2 s: 0.6 s is sample 9600, column 1600 * 282 / 16000 = 28.2 -> x 68, a 4-pixel tick under
// row 272; 1.4 s column 253.8 -> x 293.
// Frequency: 8000 Hz over 245 rows, a tick every 1000 Hz (500 Hz would be 15 rows apart, less
// than three text lines); 5000 Hz is row 153 from the bottom, y = 271 - 153 = 118.
TEST(VoiceprintPng, AxesTicksLabelsAndBar) {
    const RgbCanvas pic = drawVoiceprintPicture(scene(), 400, 300);
    ASSERT_TRUE(pic.width() == 400 && pic.height() == 300);

    // The plane's corners and centre, the axes' ends, the bar's ends (dbHigh white, dbLow black,
    // -50 dB half way down) and outline, the 0.6 s tick's ends, the 5000 Hz tick and the "[Hz]".
    // clang-format off
    for (const auto& [x, y, colour] : std::vector<std::tuple<int, int, Rgb>>{
        {40, 27, kGreyPx}, {321, 27, kGreyPx}, {181, 150, kGreyPx}, {40, 271, kGreyPx},
        {321, 271, kGreyPx}, {322, 272, kWhitePx}, {330, 27, kWhitePx}, {339, 27, kWhitePx},
        {335, 271, kBlackPx}, {335, 149, kGreyPx}, {329, 100, kBlackPx}, {34, 118, kWhitePx},
        {39, 26, kBlackPx}, {39, 272, kBlackPx}, {321, 272, kBlackPx}, {68, 273, kBlackPx},
        {68, 276, kBlackPx}, {69, 274, kWhitePx}, {68, 277, kWhitePx}, {35, 118, kBlackPx},
        {335, 272, kBlackPx}, {5, 16, kBlackPx},
    })
        EXPECT_EQ(pic.at(x, y), colour) << x << "," << y;
    // clang-format on

    // Time ticks every 0.2 s; frequency ticks every 1000 Hz up to 8000 at the plot's top row.
    std::string labels;
    for (const AxisTick& t : timeTicks(scene(), pictureLayout(400, 300)))
        labels += t.label + "@" + std::to_string(t.pixel) + " ";
    EXPECT_EQ(labels, "0.6@68 0.8@124 1.0@181 1.2@237 1.4@293 ");
    const std::vector<AxisTick> freq = freqTicks(scene(), pictureLayout(400, 300));
    EXPECT_TRUE(freq.size() == 9u && freq[8].pixel == 26 && freq[8].label == "8000");
    // Nothing is drawn past the clip, up to its last row.
    RgbCanvas clipped(4, 4, kWhitePx);
    clipped.setClip(0, 0, 4, 2);
    clipped.set(1, 2, kBlackPx);
    clipped.set(1, 1, kBlackPx);
    EXPECT_TRUE(clipped.at(1, 2) == kWhitePx && clipped.at(1, 1) == kBlackPx);

    // A pitch series brings its scale on the plot's right edge: the 0 Hz tick, 7 pixels of coral
    // on the bottom row from x 315, over the power's line (silence: the bottom row).
    PitchSeries silent;
    silent.pitch = silent.pitchPower = silent.power = silent.harmonicsPower =
        std::vector<double>(100, 0.0);
    VoiceprintScene withPitch = scene();
    withPitch.pitch = &silent;
    const RgbCanvas overlaid = drawVoiceprintPicture(withPitch, 400, 300);
    EXPECT_TRUE(overlaid.at(315, 271) == kCoral && overlaid.at(314, 271) == kMidnightBlue);
}
