#include "engine/render/VoiceprintPng.h"

#include "engine/render/PictureFiles.h"
#include "engine/memo/MemoListFile.h"
#include "engine/render/LabelPlacement.h"
#include "engine/render/LevelMap.h"
#include "engine/sound/ParameterBlock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const Rgb kWhite{255, 255, 255};
const Rgb kBlack{0, 0, 0};

// Labels are placed from the text's cell height and the gaps below, all times the scale.
int charHeight(int s) {
    return kGlyphHeight * s;
}

// The frequencies at the plot's bottom and top edges, or false when there is no range to show.
bool freqRange(const VoiceprintScene& scene, long& low, long& top) {
    top = std::min(scene.sampleFreq / 2, scene.freqHigh);
    low = std::max(scene.freqLow, 0L);
    return scene.sampleFreq > 0 && top > low;
}

// Frames times hop: the samples the frames' starts spread over, or 0 when that is no span.
long long timeSpan(const VoiceprintScene& scene) {
    if (scene.frames < 1 || scene.interval < 1 || scene.sampleFreq < 1)
        return 0;
    return static_cast<long long>(scene.frames) * scene.interval;
}

long long floorDiv(__int128 num, __int128 den) {
    __int128 q = num / den;
    if ((num % den != 0) && ((num < 0) != (den < 0)))
        --q;
    return static_cast<long long>(q);
}

// A step of m x 10^e as the fraction num / den.
struct Step {
    long long num = 1, den = 1;
    int decimals = 0;
};
Step niceStep(int m, int e) {
    Step s;
    s.num = m;
    for (int i = 0; i < e; ++i)
        s.num *= 10;
    for (int i = 0; i < -e; ++i)
        s.den *= 10;
    s.decimals = e < 0 ? -e : 0;
    return s;
}

std::string decimal(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string levelLabel(double db) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g dB", db);
    return buf;
}

void drawPlane(RgbCanvas& pic, const VoiceprintScene& scene, const PictureLayout& l) {
    long low = 0, top = 0;
    if (!scene.plane || scene.bins < 1 || timeSpan(scene) == 0 || !freqRange(scene, low, top))
        return;
    const FreqRows rows =
        freqRows(scene.sampleFreq, scene.bins, scene.freqLow, scene.freqHigh, l.plotH);
    const double framesPerColumn = double(scene.frames) / l.plotW;
    for (int c = 0; c < l.plotW; ++c) {
        const PlaneColumn column =
            planeColumn(scene.plane, scene.frames, scene.bins, c * framesPerColumn);
        for (int r = 0; r < l.plotH; ++r) {
            const double v = column.at(r * rows.binsPerRow + rows.firstBin);
            const unsigned char g = greyOfLevel(v, scene.dbLow, scene.dbHigh);
            pic.set(l.plotX + c, l.plotY + l.plotH - 1 - r, Rgb{g, g, g});
        }
    }
}

void drawAxes(RgbCanvas& pic, const VoiceprintScene& scene, const PictureLayout& l,
              const std::string& unitLine) {
    const int s = l.scale, ch = charHeight(s);
    const int left = l.plotX - 1, bottom = l.plotY + l.plotH;
    pic.line(left, l.plotY - 1, left, bottom, kBlack);
    pic.line(left, bottom, l.plotX + l.plotW - 1, bottom, kBlack);
    for (const AxisTick& t : timeTicks(scene, l)) {
        pic.line(t.pixel, bottom + 1, t.pixel, bottom + l.tickLength, kBlack);
        const int w = textWidth(t.label, s);
        const int x = std::clamp(t.pixel - w / 2, 0, std::max(0, pic.width() - w));
        pic.text(x, bottom + l.tickLength + 2 * s, t.label, kBlack, s);
    }
    for (const AxisTick& t : freqTicks(scene, l)) {
        pic.line(left - l.tickLength, t.pixel, left - 1, t.pixel, kBlack);
        const int w = textWidth(t.label, s);
        const int y = std::clamp(t.pixel - ch / 2, 0, std::max(0, pic.height() - ch));
        pic.text(std::max(0, left - l.tickLength - 2 * s - w), y, t.label, kBlack, s);
    }
    const std::string timeUnit = "time [s]";
    pic.text(l.plotX + (l.plotW - textWidth(timeUnit, s)) / 2,
             bottom + l.tickLength + 2 * s + ch + 3 * s, timeUnit, kBlack, s);
    pic.text(4 * s, l.plotY - ch - 5 * s, "[Hz]", kBlack, s);
    pic.text(l.plotX, 4 * s, unitLine, kBlack, s);
}

void drawLevelBar(RgbCanvas& pic, const VoiceprintScene& scene, const PictureLayout& l) {
    const int s = l.scale;
    for (int j = 0; j < l.barH; ++j) {
        // Top row dbHigh, bottom row dbLow, mapped to grey as the plane is.
        const double v = l.barH > 1 ? scene.dbHigh - j * (scene.dbHigh - scene.dbLow) / (l.barH - 1)
                                    : scene.dbHigh;
        const unsigned char g = greyOfLevel(v, scene.dbLow, scene.dbHigh);
        pic.fillRect(l.barX, l.barY + j, l.barW, 1, Rgb{g, g, g});
    }
    const int right = l.barX + l.barW, bottom = l.barY + l.barH;
    pic.line(l.barX - 1, l.barY - 1, right, l.barY - 1, kBlack);
    pic.line(l.barX - 1, bottom, right, bottom, kBlack);
    pic.line(l.barX - 1, l.barY - 1, l.barX - 1, bottom, kBlack);
    pic.line(right, l.barY - 1, right, bottom, kBlack);
    pic.text(right + 3 * s, l.barY, levelLabel(scene.dbHigh), kBlack, s);
    pic.text(right + 3 * s, bottom - charHeight(s), levelLabel(scene.dbLow), kBlack, s);
}

// The pitch overlay as the program draws it on its voiceprint: the frame power in midnight
// blue, and where two neighbouring frames both have a pitch (5 Hz or more) that differs by
// less than a factor 1.7, the harmonics level in dark green, the level at the pitch in spring
// green and the pitch itself in coral on a 0 .. 800 Hz scale. Unlike the panel, which shows
// only the power when frames outnumber its columns fourfold, the contour is always drawn: a
// picture asked for with its pitch should show it.
void drawPitch(RgbCanvas& pic, const VoiceprintScene& scene, const PictureLayout& l) {
    const PitchSeries& p = *scene.pitch;
    const size_t n = p.pitch.size();
    if (n < 2 || n != size_t(scene.frames) || p.power.size() != n || p.pitchPower.size() != n ||
        p.harmonicsPower.size() != n)
        return;
    const double pitchTop = 800.0;
    const int bottomRow = l.plotY + l.plotH - 1;
    auto col = [&](size_t i) { return l.plotX + int(double(i) * l.plotW / double(n)); };
    auto unitRow = [&](double v) {
        const double y = bottomRow - std::clamp(v, -1.0, 2.0) * (l.plotH - 1);
        return int(std::floor(y));
    };
    auto pitchRow = [&](double hz) { return unitRow(hz / pitchTop); };
    pic.setClip(l.plotX, l.plotY, l.plotW, l.plotH);
    for (size_t i = 0; i + 1 < n; ++i) {
        const int c1 = col(i), c2 = col(i + 1);
        pic.line(c1, unitRow(p.power[i]), c2, unitRow(p.power[i + 1]), kMidnightBlue, 1);
        const double lo = std::min(p.pitch[i], p.pitch[i + 1]);
        const double hi = std::max(p.pitch[i], p.pitch[i + 1]);
        if (!(lo >= 5.0 && hi < 1.7 * lo))
            continue;
        pic.line(c1, unitRow(p.harmonicsPower[i]), c2, unitRow(p.harmonicsPower[i + 1]), kDarkGreen,
                 3);
        pic.line(c1, unitRow(p.pitchPower[i]), c2, unitRow(p.pitchPower[i + 1]), kSpringGreen, 3);
        pic.line(c1, pitchRow(p.pitch[i]), c2, pitchRow(p.pitch[i + 1]), kCoral, 3);
    }
    // The pitch scale on the plot's right edge: a tick every 100 Hz, the one at 0 Hz long.
    const int right = l.plotX + l.plotW - 1;
    for (int hz = 0; hz < 800; hz += 100)
        pic.line(right - (hz == 0 ? 6 : 4), pitchRow(hz), right, pitchRow(hz), kCoral);
    const int s = l.scale, ch = charHeight(s);
    const std::string topLabel = "800Hz", bottomLabel = "0Hz";
    pic.text(right - 8 * s - textWidth(topLabel, s), l.plotY + 2 * s, topLabel, kCoral, s);
    pic.text(right - 8 * s - textWidth(bottomLabel, s), bottomRow - ch - 2 * s, bottomLabel, kCoral,
             s);

    // The legend on white, so that the dark colours read on a dark voiceprint.
    const struct {
        const char* text;
        Rgb colour;
    } legend[] = {{"- Pitch", kCoral},
                  {"- Power on Pitch", kSpringGreen},
                  {"- Power on Harmonics", kDarkGreen},
                  {"- Power", kMidnightBlue}};
    const int lineH = ch + 3 * s;
    const int boxW = textWidth("- Power on Harmonics", s) + 6 * s, boxH = 4 * lineH + 3 * s;
    const int boxX = right - 8 * s - boxW, boxY = l.plotY + ch + 6 * s;
    pic.fillRect(boxX, boxY, boxW, boxH, kWhite);
    for (int k = 0; k < 4; ++k)
        pic.text(boxX + 3 * s, boxY + 3 * s + k * lineH, legend[k].text, legend[k].colour, s);
    pic.resetClip();
}

// A memo: a small square at its place, its text (first line, 40 characters at most) beside
// it on black in its priority's colour, as the program's memo shapes are coloured.
void drawMemos(RgbCanvas& pic, const VoiceprintScene& scene, const PictureLayout& l) {
    const int s = l.scale, ch = charHeight(s);
    pic.setClip(l.plotX, l.plotY, l.plotW, l.plotH);
    struct Label {
        std::string text;
        Rgb colour;
    };
    std::vector<Label> labels;
    std::vector<LabelBox> boxes; // each label with its black margin
    for (const PictureMemo& m : scene.memos) {
        const long c = plotColumnOfSample(scene, l.plotW, m.sample);
        const long r = plotRowOfFreq(scene, l.plotH, m.freq);
        if (c < 0 || c >= l.plotW || r < 0 || r > l.plotH)
            continue;
        const int x = l.plotX + int(c), y = l.plotY + l.plotH - 1 - int(r);
        const Rgb colour = memoColour(m.prior);
        pic.fillRect(x - 2 * s - 1, y - 2 * s - 1, 4 * s + 3, 4 * s + 3, kBlack);
        pic.fillRect(x - 2 * s, y - 2 * s, 4 * s + 1, 4 * s + 1, colour);

        std::string text = m.text.substr(0, m.text.find('\n'));
        // Cut after 40 characters, never inside a UTF-8 sequence.
        size_t chars = 0, cut = 0;
        for (; cut < text.size(); ++cut)
            if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80 && ++chars > 40)
                break;
        text.resize(cut);
        if (text.empty())
            continue;
        const int w = textWidth(text, s);
        int tx = x + 2 * s + 4 * s;
        if (tx + w + 2 * s > l.plotX + l.plotW)
            tx = x - 2 * s - 4 * s - w; // no room on the right: the left side
        labels.push_back({text, colour});
        boxes.push_back({tx - 2 * s, y - ch / 2 - 2 * s, w + 4 * s, ch + 4 * s});
    }
    // Memos close in time and frequency would print their texts over each other.
    separateLabels(boxes, l.plotY, l.plotY + l.plotH);
    for (size_t i = 0; i < labels.size(); ++i) {
        const LabelBox& b = boxes[i];
        pic.fillRect(b.x, b.y, b.w, b.h, kBlack);
        pic.text(b.x + 2 * s, b.y + 2 * s, labels[i].text, labels[i].colour, s);
    }
    pic.resetClip();
}

} // namespace

Rgb memoColour(int prior) {
    if (prior == 0)
        return Rgb{255, 0, 0};
    if (prior == 1)
        return Rgb{0, 255, 0};
    return Rgb{0, 127, 255};
}

PictureLayout pictureLayout(int width, int height) {
    width = std::clamp(width, kPictureMinWidth, kPictureMaxSide);
    height = std::clamp(height, kPictureMinHeight, kPictureMaxSide);
    PictureLayout l;
    const int s = l.scale = width >= 900 && height >= 450 ? 2 : 1;
    const int ch = charHeight(s);
    l.tickLength = 4 * s;
    // Left: frequency labels of up to five digits, a gap and the tick. Top: the title line and
    // the unit of the frequency axis. Bottom: ticks, labels and the time axis' title.
    // Right: a gap, the bar and its labels of up to nine characters ("-160.5 dB").
    l.plotX = 4 * s + textWidth("00000", s) + 2 * s + l.tickLength + 1;
    l.plotY = 4 * s + ch + 4 * s + ch + 5 * s;
    const int right = 8 * s + 10 * s + 3 * s + textWidth("-160.5 dB", s) + 4 * s;
    const int bottom = 1 + l.tickLength + 2 * s + ch + 3 * s + ch + 4 * s;
    l.plotW = width - l.plotX - right;
    l.plotH = height - l.plotY - bottom;
    l.barX = l.plotX + l.plotW + 8 * s;
    l.barY = l.plotY;
    l.barW = 10 * s;
    l.barH = l.plotH;
    return l;
}

long plotColumnOfSample(const VoiceprintScene& scene, int plotW, double sample) {
    const long long span = timeSpan(scene);
    if (span == 0 || plotW < 1 || !std::isfinite(sample))
        return -1;
    const double c = std::floor((sample - double(scene.firstSample)) * plotW / double(span));
    return c < -1.0 ? -1 : c > double(plotW) ? plotW : static_cast<long>(c);
}

long plotRowOfFreq(const VoiceprintScene& scene, int plotH, double freq) {
    long low = 0, top = 0;
    if (!freqRange(scene, low, top) || plotH < 1 || !std::isfinite(freq))
        return -1;
    const double r = std::floor((freq - double(low)) * plotH / double(top - low));
    return r < -1.0 ? -1 : r > double(plotH) + 1 ? plotH + 1 : static_cast<long>(r);
}

std::vector<AxisTick> timeTicks(const VoiceprintScene& scene, const PictureLayout& l) {
    std::vector<AxisTick> ticks;
    const long long span = timeSpan(scene);
    if (span == 0 || l.plotW < 1)
        return ticks;
    const __int128 rate = scene.sampleFreq, first = scene.firstSample;
    const double endSeconds = double(scene.firstSample + span) / double(scene.sampleFreq);
    for (int e = -4; e <= 7; ++e)
        for (int m : {1, 2, 5}) {
            const Step st = niceStep(m, e);
            // Column of the tick k: ((k * num / den) * rate - first) * plotW / span.
            const double spacing =
                double(st.num) / double(st.den) * double(rate) * l.plotW / double(span);
            const int labelW = textWidth(decimal(endSeconds, st.decimals), l.scale);
            if (spacing < labelW + 3 * kGlyphAdvance * l.scale)
                continue;
            const long long kFirst = floorDiv(first * st.den + st.num * rate - 1, st.num * rate);
            for (long long k = std::max(0LL, kFirst);; ++k) {
                const long long c = floorDiv((k * st.num * rate - first * st.den) * l.plotW,
                                             __int128(span) * st.den);
                if (c >= l.plotW)
                    break;
                if (c < 0)
                    continue;
                const double seconds = double(k * st.num) / double(st.den);
                ticks.push_back({seconds, l.plotX + int(c), decimal(seconds, st.decimals)});
            }
            return ticks;
        }
    return ticks;
}

std::vector<AxisTick> freqTicks(const VoiceprintScene& scene, const PictureLayout& l) {
    std::vector<AxisTick> ticks;
    long low = 0, top = 0;
    if (!freqRange(scene, low, top) || l.plotH < 1)
        return ticks;
    for (int e = 0; e <= 9; ++e)
        for (int m : {1, 2, 5}) {
            const long long step = niceStep(m, e).num;
            if (double(step) * l.plotH / double(top - low) < 3.0 * charHeight(l.scale))
                continue;
            for (long long f = (low + step - 1) / step * step; f <= top; f += step) {
                const long long r = (f - low) * l.plotH / (top - low);
                ticks.push_back({double(f), l.plotY + l.plotH - 1 - int(r), std::to_string(f)});
            }
            return ticks;
        }
    return ticks;
}

RgbCanvas drawVoiceprintPicture(const VoiceprintScene& scene, int width, int height) {
    width = std::clamp(width, kPictureMinWidth, kPictureMaxSide);
    height = std::clamp(height, kPictureMinHeight, kPictureMaxSide);
    const PictureLayout l = pictureLayout(width, height);
    RgbCanvas pic(width, height, kWhite);
    pic.fillRect(l.plotX, l.plotY, l.plotW, l.plotH, kBlack);
    drawPlane(pic, scene, l);
    if (scene.pitch && scene.plane)
        drawPitch(pic, scene, l);
    drawMemos(pic, scene, l);
    drawAxes(pic, scene, l, scene.title);
    drawLevelBar(pic, scene, l);
    return pic;
}

std::vector<PictureMemo> memosOnPicture(const std::vector<MemoSlot>& slots,
                                        const VoiceprintScene& scene) {
    std::vector<PictureMemo> memos;
    const long long span = timeSpan(scene);
    if (span == 0)
        return memos;
    const double first = double(scene.firstSample), end = first + double(span);
    for (const MemoSlot& slot : slots) {
        if (!slot.param || slot.terms.empty())
            continue;
        const ParsedParameters block = parseParameterBlock(slot.param->m_memoText.utf8_string());
        double frames = double(scene.frames), interval = double(scene.interval);
        double bins = double(scene.bins);
        if (block.ok) {
            frames = block.repeatTimes;
            interval = block.interval;
            bins = block.ssftSize / 2;
        }
        const double start = double(slot.param->m_viewStart) + slot.param->m_viewCursor;
        const double groupSpan = frames * interval;
        if (start + groupSpan <= first || start >= end)
            continue;
        const int prior = slot.sub ? slot.sub->GetMemoPrior() : 0;
        for (const auto& memo : slot.terms) {
            if (!memo)
                continue;
            const double at =
                std::clamp(start + double(memo->m_relX) * (groupSpan + 2 * bins) - bins, start,
                           start + groupSpan);
            if (at < first || at >= end)
                continue;
            memos.push_back({at, double(memo->m_freq), prior, memo->m_memoText.utf8_string()});
        }
    }
    return memos;
}

std::string pictureTitle(const std::string& path) {
    const size_t slash = path.rfind('/');
    return (slash == std::string::npos ? path : path.substr(slash + 1)) +
           "  wideband phase restoration";
}

std::string labelledVoiceprintPng(VoiceprintScene scene, const double* hamPlane, int width,
                                  int height) {
    PitchSeries pitch;
    if (hamPlane) {
        pitch = detectPitch(scene.plane, hamPlane, scene.frames, scene.bins * 2, scene.sampleFreq,
                            true);
        if (pitch.pitch.size() != size_t(scene.frames))
            return std::string();
        scene.pitch = &pitch;
    }
    const RgbCanvas pic = drawVoiceprintPicture(scene, width, height);
    return rgbPngBytes(pic.pixels(), pic.width(), pic.height());
}

std::string plainVoiceprintPng(const VoiceprintScene& scene) {
    const GreyPicture pic =
        voiceprintPicture(scene.plane, scene.frames, scene.bins, scene.sampleFreq, scene.freqLow,
                          scene.freqHigh, scene.dbLow, scene.dbHigh);
    return greyPngBytes(pic.pixels, pic.width, pic.height);
}
