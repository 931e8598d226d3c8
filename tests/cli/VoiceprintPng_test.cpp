#include "cli/VoiceprintPng.h"

#include "cli/CliRun.h"

#include <iomanip>

namespace {

const Rgb kBlackPx{0, 0, 0}, kWhitePx{255, 255, 255}, kGreyPx{127, 127, 127};

// 1 s of a 16 kHz sound from 0.5 s on: 100 frames 160 samples apart, 128 bins, every level at
// -50 dB of a -100 .. 0 dB range: grey (50 * 255 / 100) = 127 wherever the plane shows.
const std::vector<double> kLevels(100 * 128, -50.0);
VoiceprintScene scene() {
    return {kLevels.data(), 100, 128, 16000, 160, 8000, 0, 8000, -100.0, 0.0, nullptr, {}, {}};
}

struct Probe {
    int x, y;
    Rgb colour;
};
void expectPixels(const RgbCanvas& pic, const std::vector<Probe>& probes) {
    for (const Probe& p : probes)
        EXPECT_EQ(pic.at(p.x, p.y), p.colour) << p.x << "," << p.y;
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
    EXPECT_EQ(pictureLayout(1200, 600).scale, 2); // the command's default size

    // The plane, the axes, the bar's ends (dbHigh white, dbLow black, -50 dB half way down) and
    // its outline.
    // clang-format off
    expectPixels(pic, {
        {40, 27, kGreyPx}, {321, 27, kGreyPx}, {181, 150, kGreyPx}, {40, 271, kGreyPx},
        {321, 271, kGreyPx}, {322, 272, kWhitePx}, {330, 27, kWhitePx}, {339, 27, kWhitePx},
        {335, 271, kBlackPx}, {335, 149, kGreyPx}, {329, 100, kBlackPx}, {34, 118, kWhitePx},
    });
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
    ASSERT_EQ(freq.size(), 9u);
    EXPECT_TRUE(freq[0].pixel == 271 && freq[0].label == "0");
    EXPECT_TRUE(freq[8].pixel == 26 && freq[8].label == "8000");
    expectRun(pic, 35, 118, 38, 118, kBlackPx);
    // "5000" right-aligned 2 pixels left of the tick, centred on its row.
    EXPECT_TRUE(inked(pic, 39 - 4 - 2 - 23, 115, 39 - 4 - 2 - 1, 121));
}

// Pitch 200 Hz on the 0 .. 800 Hz scale lies a quarter up the plot: row floor(271 - 0.25 * 244)
// = 210, a coral line 3 rows thick; the level at the pitch (0.1), the harmonics (0.3) and the
// power (0.6) on rows 246, 197 and 124. Frames 60 .. 69 have no pitch: the contour and the two
// green curves break there, the power goes on. A memo at 1.0 s and 4000 Hz (column 141, row 122
// from the bottom) has its Mid (green) square at (181, 149) and its text on black beside it.
TEST(VoiceprintPng, PitchContourAndMemos) {
    VoiceprintScene s = scene();
    PitchSeries pitch;
    pitch.pitch.assign(100, 200.0);
    std::fill(pitch.pitch.begin() + 60, pitch.pitch.begin() + 70, 0.0);
    pitch.pitchPower.assign(100, 0.1);
    pitch.harmonicsPower.assign(100, 0.3);
    pitch.power.assign(100, 0.6);
    s.pitch = &pitch;
    s.memos = {{16000.0, 4000.0, 1, "F2 here\nsecond line"},
               {7999.0, 4000.0, 0, "before the picture"}};
    const RgbCanvas pic = drawVoiceprintPicture(s, 400, 300);

    const int x = 40 + 50 * 282 / 100, gap = 40 + 65 * 282 / 100; // frames 50 and 65
    expectRun(pic, x, 209, x, 211, kCoral);
    // The memo's square, its outline, and the text's box ending 2 pixels after the text.
    // clang-format off
    expectPixels(pic, {
        {x, 208, kGreyPx}, {x, 246, kSpringGreen}, {x, 197, kDarkGreen},
        {x, 124, kMidnightBlue}, {gap, 210, kGreyPx}, {gap, 246, kGreyPx},
        {gap, 124, kMidnightBlue}, {181, 149, memoColour(1)}, {183, 151, memoColour(1)},
        {184, 152, kBlackPx}, {187 + 41 + 1, 149, kBlackPx}, {187 + 41 + 2, 149, kGreyPx},
    });
    // clang-format on
    for (int y = 27; y < 272; ++y)
        ASSERT_NE(pic.at(40, y), memoColour(0)) << "a memo before the picture is left out";
}

// Groups over 8000 .. 24000 (the picture's frames): A starts inside with its own block (50
// frames of 160, 128 bins: relX 0.5 lies at 10000 + 0.5 * 8256 - 128 = 14000); B lies after
// the picture; C overlaps from before and shows only its memo past 8000 (2000 + 0.875 * 8256 -
// 128 = 9096); D's block cannot be read, so the picture's own frames place it (20000 + 0.25 *
// 16256 - 128 = 23936); E has no records and shows nothing.
TEST(VoiceprintPng, MemosOfOverlappingGroups) {
    const std::string block =
        formatParameterBlock(analysis(16000, 64000, 256, 160, 50, 8000, -100));
    std::vector<MemoSlot> slots;
    auto add = [&](const std::string& text, int start, CArchMemo::MemoPrior prior,
                   std::vector<TermMemo> terms) {
        slots.push_back(memoGroup(text, start - 1000, 1000, prior, terms));
    };
    add(block, 10000, CArchMemo::Mid, {{"A title", 0.5f, 3000}, {"A start", 0.0f, 100}});
    add(block, 30000, CArchMemo::High, {{"B", 0.5f, 3000}});
    add(block, 2000, CArchMemo::Low, {{"C early", 0.125f, 500}, {"C late", 0.875f, 500}});
    add("no block", 20000, CArchMemo::High, {{"D \xE3\x81\x82", 0.25f, 7000}});
    add(block, 12000, CArchMemo::High, {});

    std::ostringstream got;
    got << std::setprecision(17); // places compared exactly
    for (const PictureMemo& m : memosOnPicture(slots, scene()))
        got << m.sample << " " << m.freq << " " << m.prior << " " << m.text << "|";
    EXPECT_EQ(got.str(), "14000 3000 1 A title|10000 100 1 A start|9096 500 2 C late|"
                         "23936 7000 0 D \xE3\x81\x82|");
}
