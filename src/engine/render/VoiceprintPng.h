#pragma once

#include <string>
#include <vector>

#include "engine/analysis/Pitch.h"
#include "engine/render/RgbCanvas.h"

struct MemoSlot;

// The labelled voiceprint picture that the front ends write: the grey voiceprint in a plot with a
// time axis in seconds, a frequency axis in Hz and a grey-scale bar of the dB range, optionally the
// pitch contour (as the program overlays it) and memos. Plain data in, pixels out.

// A memo on the picture: the file sample and the frequency it is pinned to, its group's
// priority (0 High, 1 Mid, 2 Low) and its text.
struct PictureMemo {
    double sample = 0.0;
    double freq = 0.0;
    int prior = 0;
    std::string text; // UTF-8
};

struct VoiceprintScene {
    const double* plane = nullptr; // dB, frame-major: bin k of frame t at t * bins + k
    long frames = 0;
    long bins = 0; // half the transform length
    long sampleFreq = 0;
    long interval = 0;
    long firstSample = 0; // the file sample where frame 0 starts
    long freqLow = 0, freqHigh = 0;
    double dbLow = 0.0, dbHigh = 0.0;
    const PitchSeries* pitch = nullptr; // drawn when it has one value per frame
    std::vector<PictureMemo> memos;
    std::string title;
};

// Sizes the picture accepts.
constexpr int kPictureMinWidth = 200;
constexpr int kPictureMinHeight = 150;
constexpr int kPictureMaxSide = 4096;

// Where the parts of a picture go. Pixel (x, y) of the plot area is plotX <= x < plotX + plotW,
// plotY <= y < plotY + plotH; the axes are the column left of it and the row below it.
struct PictureLayout {
    int scale = 1; // of the text and the ticks: 2 from 900 x 450 on
    int plotX = 0, plotY = 0, plotW = 0, plotH = 0;
    int barX = 0, barY = 0, barW = 0, barH = 0; // the dB bar, dbHigh (white) at the top
    int tickLength = 0;
};
PictureLayout pictureLayout(int width, int height);

// The plot's geometry. Column c (0 .. plotW - 1) shows the frame position c * frames / plotW,
// that is the file samples firstSample .. firstSample + frames * interval from left to right,
// as the program's voiceprint panel spreads the frames over its picture. Row r counted from the
// bottom (0 .. plotH - 1) shows low + r * (top - low) / plotH Hz, with top = min(sampleFreq / 2,
// freqHigh) and low = max(freqLow, 0). Both truncate towards minus infinity; results outside the
// plot mean the sample or frequency is not on it.
long plotColumnOfSample(const VoiceprintScene& scene, int plotW, double sample);
long plotRowOfFreq(const VoiceprintScene& scene, int plotH, double freq);

// An axis tick: its value (seconds or Hz), its pixel (x for time, y for frequency) and label.
struct AxisTick {
    double value = 0.0;
    int pixel = 0;
    std::string label;
};
// Ticks every 1, 2 or 5 times a power of ten, the smallest step whose labels do not crowd
// each other. Exact integer arithmetic: a tick at 0.1 s of a 16 kHz sound lies where sample
// 1600 does.
std::vector<AxisTick> timeTicks(const VoiceprintScene& scene, const PictureLayout& layout);
std::vector<AxisTick> freqTicks(const VoiceprintScene& scene, const PictureLayout& layout);

// The picture. A scene without a plane (or with bad geometry) gives the frame and the bar with
// a black plot; the size is clamped to the accepted range.
RgbCanvas drawVoiceprintPicture(const VoiceprintScene& scene, int width, int height);

// Colours of the picture.
constexpr Rgb kCoral{255, 127, 0}; // the toolkit's named colours, as the program draws them
constexpr Rgb kMidnightBlue{47, 47, 79};
constexpr Rgb kDarkGreen{47, 79, 47};
constexpr Rgb kSpringGreen{0, 255, 127};
// A memo's colour by priority: High red, Mid green, Low (and anything else) azure.
Rgb memoColour(int prior);

// The file name of `path` followed by the plane's name: the title of a picture of its voiceprint.
std::string pictureTitle(const std::string& path);

// The PNG files of a window's voiceprint, as every front end writes them. The labelled picture
// (width x height, clamped as drawVoiceprintPicture does) with, when `hamPlane` is given, the
// pitch contour detected on the scene's plane as the program detects it with the restored
// voiceprint shown; the plain picture: one column per frame, one row per bin. Empty when the
// picture cannot be made.
std::string labelledVoiceprintPng(VoiceprintScene scene, const double* hamPlane, int width,
                                  int height);
std::string plainVoiceprintPng(const VoiceprintScene& scene);

// The memos of a memo list that lie on the scene's picture. A group counts when its analysed
// stretch (param memo: view start + cursor, for the frames its parameter block gives; the
// scene's own frames when the block cannot be read) overlaps the picture's samples. Its title
// and term memos are placed where the program's voiceprint panel shows them: relX is a
// fraction of a panel whose picture spans the frames' starts (frames x interval samples)
// centred in frames x interval + 2 x bins, so a memo lies at stretch start + relX x (frames x
// interval + 2 x bins) - bins; the frequency is m_freq. Memos off the picture are left out.
std::vector<PictureMemo> memosOnPicture(const std::vector<MemoSlot>& slots,
                                        const VoiceprintScene& scene);
