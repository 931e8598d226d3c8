#include "engine/memo/MemoInterop.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/analysis/OpeningDefaults.h"
#include "engine/render/ReadoutMath.h"
#include "engine/memo/CArchMemo.h"
#include "engine/memo/TranscriptFile.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/ParameterBlock.h"

namespace {

std::string utf8Of(const wxString& s) {
    const wxScopedCharBuffer bytes = s.utf8_str();
    return std::string(bytes.data(), bytes.length());
}

std::string lineMessage(int line, const char* what) {
    return "line " + std::to_string(line) + " : " + what;
}

// ---- Numbers as text, without the locale

// The shortest text that reads back as the same double (Praat writes its times so too).
std::string shortest(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

std::string fixed6(double v) {
    char buf[400]; // the largest double in fixed notation fits
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.000000");
}

// A whole decimal number; `outOfRange` tells a number too large for a double.
bool wholeDouble(const char* first, const char* last, double& v, bool& outOfRange) {
    outOfRange = false;
    if (first != last && *first == '+')
        ++first; // from_chars takes no plus sign; other tools write one now and then
    const auto r = std::from_chars(first, last, v);
    if (r.ptr != last || first == last)
        return false;
    if (r.ec == std::errc::result_out_of_range) {
        outOfRange = true;
        return true;
    }
    return r.ec == std::errc();
}

const char* priorityName(int prior) {
    return prior == CArchMemo::Mid ? "Mid" : prior == CArchMemo::Low ? "Low" : "High";
}

// High, Mid or Low (any case) or the stored digits; -1 for anything else.
int priorityOf(std::string s) {
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t") + 1);
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (s == "high" || s == "0")
        return CArchMemo::High;
    if (s == "mid" || s == "middle" || s == "1")
        return CArchMemo::Mid;
    if (s == "low" || s == "2")
        return CArchMemo::Low;
    return -1;
}

// The [SampleFreq] a parameter block shows; 0 when it has none that makes sense.
int32_t sampleFreqOfBlock(const std::string& text) {
    const char* key = "[SampleFreq]=";
    const size_t at = text.find(key);
    if (at == std::string::npos)
        return 0;
    const char* p = text.c_str() + at + std::char_traits<char>::length(key);
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    return end != p && v > 0 && v <= INT32_MAX ? int32_t(v) : 0;
}

// The voiceprint picture of a stretch on a panel: its columns and where the first one is.
struct Picture {
    long long cols = 0;
    long long first = 0; // panel x of column 0
    double half = 0.0;   // SsftSize / 2: a frame's middle from its start
    double span = 0.0;   // T x I, the samples the columns cover
};

Picture pictureOf(const MemoStretch& s, int panelWidth) {
    Picture p;
    p.half = double(s.ssftSize / 2);
    p.span = double(s.repeatTimes) * s.interval;
    const int w = panelWidth - 4;
    p.cols = voiceprintColumns(w, s.repeatTimes, s.ssftSize / 2, s.interval);
    if (p.cols <= 0)
        return p;
    p.first = 2 + (w - p.cols) / 2;
    return p;
}

// ---- Export

struct GroupPlace {
    bool ok = false;
    double start = 0.0; // seconds
    double end = 0.0;
    MemoStretch stretch;
};

double memoSeconds(const MemoStretch& s, const CArchMemo& memo, int width) {
    return memoSampleAt(s, memo.m_relX, width) / s.sampleFreq;
}

std::string pictureName(const std::string& text) {
    const std::string marker = "[ImageMemo]=";
    const size_t at = text.find(marker);
    if (at == std::string::npos)
        return std::string();
    std::string name = text.substr(at + marker.size());
    name.erase(name.find_last_not_of(" \t\r\n\f\v") + 1);
    return name;
}

std::string praatString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::string labelText(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += "&#xD;";
        else if (c == '\t')
            out += "&#x9;";
        else if (c != '\r')
            out += c;
    }
    return out;
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

const CArchMemo* titleOf(const MemoSlotRef& slot) {
    return slot.terms.empty() ? nullptr : slot.terms.front();
}

bool complete(const MemoSlotRef& slot) {
    if (!slot.param || !slot.sub || !slot.hasTermList || slot.terms.empty())
        return false;
    return std::all_of(slot.terms.begin(), slot.terms.end(),
                       [](const CArchMemo* m) { return m != nullptr; });
}

std::string groupNote(size_t slot, const char* why) {
    return "memo group " + std::to_string(slot + 1) + " left out: " + why;
}

struct TierPoint {
    double time;
    std::string mark;
};

struct Layer {
    std::vector<size_t> groups; // slot indexes in time order
    double end = 0.0;
};

void writeIntervalTier(std::string& out, int item, const std::string& name, double xmin,
                       double xmax, const std::vector<std::pair<double, double>>& spans,
                       const std::vector<std::string>& texts) {
    // Gaps between groups are empty intervals: a tier must cover its whole range.
    std::vector<std::pair<std::pair<double, double>, std::string>> intervals;
    double at = xmin;
    for (size_t i = 0; i < spans.size(); ++i) {
        if (spans[i].first > at)
            intervals.push_back({{at, spans[i].first}, std::string()});
        intervals.push_back({spans[i], texts[i]});
        at = spans[i].second;
    }
    if (xmax > at)
        intervals.push_back({{at, xmax}, std::string()});
    out += "    item [" + std::to_string(item) + "]:\n";
    out += "        class = \"IntervalTier\" \n";
    out += "        name = " + praatString(name) + " \n";
    out += "        xmin = " + shortest(xmin) + " \n";
    out += "        xmax = " + shortest(xmax) + " \n";
    out += "        intervals: size = " + std::to_string(intervals.size()) + " \n";
    for (size_t i = 0; i < intervals.size(); ++i) {
        out += "        intervals [" + std::to_string(i + 1) + "]:\n";
        out += "            xmin = " + shortest(intervals[i].first.first) + " \n";
        out += "            xmax = " + shortest(intervals[i].first.second) + " \n";
        out += "            text = " + praatString(intervals[i].second) + " \n";
    }
}

void writePointTier(std::string& out, int item, const std::string& name, double xmin, double xmax,
                    std::vector<TierPoint> points) {
    std::stable_sort(points.begin(), points.end(),
                     [](const TierPoint& a, const TierPoint& b) { return a.time < b.time; });
    // Praat keeps one point per time: memos at one place (say at two formants) move apart by
    // the least step a double can take, which changes no sample.
    for (size_t i = 1; i < points.size(); ++i)
        if (!(points[i].time > points[i - 1].time))
            points[i].time = std::nextafter(points[i - 1].time, HUGE_VAL);
    out += "    item [" + std::to_string(item) + "]:\n";
    out += "        class = \"TextTier\" \n";
    out += "        name = " + praatString(name) + " \n";
    out += "        xmin = " + shortest(xmin) + " \n";
    out += "        xmax = " + shortest(xmax) + " \n";
    out += "        points: size = " + std::to_string(points.size()) + " \n";
    for (size_t i = 0; i < points.size(); ++i) {
        out += "        points [" + std::to_string(i + 1) + "]:\n";
        out += "            number = " + shortest(points[i].time) + " \n";
        out += "            mark = " + praatString(points[i].mark) + " \n";
    }
}

void exportTextGrid(const std::vector<MemoSlotRef>& slots, const std::vector<GroupPlace>& places,
                    const MemoExportSound& sound, MemoExport& result) {
    std::vector<size_t> order;
    double xmin = 0.0, xmax = 0.0;
    for (size_t k = 0; k < slots.size(); ++k) {
        if (!places[k].ok)
            continue;
        order.push_back(k);
        xmin = std::min(xmin, places[k].start);
        xmax = std::max(xmax, places[k].end);
    }
    if (sound.sampleFreq > 0 && sound.totalSamples > 0)
        xmax = std::max(xmax, double(sound.totalSamples) / sound.sampleFreq);
    if (!(xmax > xmin))
        xmax = xmin + 1.0; // an empty list still needs a range Praat accepts
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return places[a].start < places[b].start; });
    // An interval tier cannot hold overlapping intervals: groups that overlap go to the next
    // layer of tiers.
    std::vector<Layer> layers;
    for (size_t k : order) {
        auto free = std::find_if(layers.begin(), layers.end(),
                                 [&](const Layer& l) { return l.end <= places[k].start; });
        if (free == layers.end())
            free = layers.insert(layers.end(), Layer());
        free->groups.push_back(k);
        free->end = places[k].end;
    }
    if (layers.empty())
        layers.emplace_back();

    std::string& out = result.text;
    out = "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n";
    out += "xmin = " + shortest(xmin) + " \nxmax = " + shortest(xmax) + " \n";
    out += "tiers? <exists> \nsize = " + std::to_string(layers.size() * 3) + " \nitem []: \n";
    int item = 1;
    for (size_t l = 0; l < layers.size(); ++l) {
        const std::string suffix = l == 0 ? std::string() : " " + std::to_string(l + 1);
        std::vector<std::pair<double, double>> spans;
        std::vector<std::string> titles, priorities;
        std::vector<TierPoint> points;
        for (size_t k : layers[l].groups) {
            const MemoSlotRef& slot = slots[k];
            spans.push_back({places[k].start, places[k].end});
            titles.push_back(utf8Of(titleOf(slot)->m_memoText));
            priorities.push_back(priorityName(slot.sub->GetMemoPrior()));
            for (size_t j = 1; j < slot.terms.size(); ++j)
                points.push_back({memoSeconds(places[k].stretch, *slot.terms[j], sound.panelWidth),
                                  utf8Of(slot.terms[j]->m_memoText)});
            result.groups += 1;
            result.memos += int(slot.terms.size());
        }
        writeIntervalTier(out, item++, "title" + suffix, xmin, xmax, spans, titles);
        writeIntervalTier(out, item++, "priority" + suffix, xmin, xmax, spans, priorities);
        writePointTier(out, item++, "term" + suffix, xmin, xmax, std::move(points));
    }
}

void exportAudacity(const std::vector<MemoSlotRef>& slots, const std::vector<GroupPlace>& places,
                    const MemoExportSound& sound, MemoExport& result) {
    std::string& out = result.text;
    auto frequencyLine = [&out](int freq) {
        out += "\\\t" + fixed6(freq) + "\t" + fixed6(freq) + "\n";
    };
    for (size_t k = 0; k < slots.size(); ++k) {
        if (!places[k].ok)
            continue;
        const MemoSlotRef& slot = slots[k];
        const CArchMemo& title = *titleOf(slot);
        out += fixed6(places[k].start) + "\t" + fixed6(places[k].end) + "\t[" +
               priorityName(slot.sub->GetMemoPrior()) + "] " + labelText(utf8Of(title.m_memoText)) +
               "\n";
        frequencyLine(title.m_freq);
        for (size_t j = 1; j < slot.terms.size(); ++j) {
            const std::string t =
                fixed6(memoSeconds(places[k].stretch, *slot.terms[j], sound.panelWidth));
            out += t + "\t" + t + "\t" + labelText(utf8Of(slot.terms[j]->m_memoText)) + "\n";
            frequencyLine(slot.terms[j]->m_freq);
        }
        result.groups += 1;
        result.memos += int(slot.terms.size());
    }
}

void exportCsv(const std::vector<MemoSlotRef>& slots, const std::vector<GroupPlace>& places,
               const MemoExportSound& sound, MemoExport& result) {
    std::string& out = result.text;
    out = "group,title,term,priority,start,end,time,frequency,text,picture\r\n";
    for (size_t k = 0; k < slots.size(); ++k) {
        const MemoSlotRef& slot = slots[k];
        if (!complete(slot))
            continue;
        const GroupPlace& place = places[k];
        const std::string title = csvField(utf8Of(titleOf(slot)->m_memoText));
        const std::string priority = priorityName(slot.sub->GetMemoPrior());
        for (size_t j = 0; j < slot.terms.size(); ++j) {
            const CArchMemo& memo = *slot.terms[j];
            const std::string text = utf8Of(memo.m_memoText);
            out += std::to_string(k + 1) + "," + title + "," + std::to_string(j) + "," + priority;
            if (place.ok)
                out += "," + fixed6(place.start) + "," + fixed6(place.end) + "," +
                       fixed6(memoSeconds(place.stretch, memo, sound.panelWidth));
            else
                out += ",,,";
            out += "," + std::to_string(memo.m_freq) + "," + csvField(text) + "," +
                   csvField(pictureName(text)) + "\r\n";
        }
        result.groups += 1;
        result.memos += int(slot.terms.size());
    }
}

// ---- Reading the bytes of an imported file

// The file's text as UTF-8 (or as eight-bit bytes when `eightBit`), up to the first place
// that is not text; `error` then says where.
struct DecodedText {
    std::string text;
    bool eightBit = false;
    std::string error;
    int errorLine = 0;
};

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

DecodedText decodeText(const unsigned char* data, size_t size) {
    DecodedText d;
    if (!data)
        size = 0;
    int line = 1;
    auto fail = [&](const char* what) {
        d.error = lineMessage(line, what);
        d.errorLine = line;
    };
    bool bigEndian = false, utf16 = false;
    size_t pos = 0;
    if (size >= 2 &&
        ((data[0] == 0xFE && data[1] == 0xFF) || (data[0] == 0xFF && data[1] == 0xFE))) {
        utf16 = true;
        bigEndian = data[0] == 0xFE;
        pos = 2;
    } else if (size >= 2 && (data[0] == 0) != (data[1] == 0)) {
        utf16 = true; // "File type" without a byte-order mark
        bigEndian = data[0] == 0;
    }
    if (utf16) {
        auto unit = [&](size_t at) {
            return bigEndian ? uint32_t(data[at]) << 8 | data[at + 1]
                             : uint32_t(data[at + 1]) << 8 | data[at];
        };
        while (pos < size) {
            if (pos + 1 >= size)
                return fail("not UTF-16 text."), d;
            uint32_t c = unit(pos);
            pos += 2;
            if (c >= 0xD800 && c <= 0xDBFF) {
                const uint32_t low = pos + 1 < size ? unit(pos) : 0;
                if (low < 0xDC00 || low > 0xDFFF)
                    return fail("not UTF-16 text."), d;
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                pos += 2;
            } else if ((c >= 0xDC00 && c <= 0xDFFF) || c == 0) {
                return fail("not UTF-16 text."), d;
            }
            if (c == '\n')
                ++line;
            appendUtf8(d.text, c);
        }
        return d;
    }
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        pos = 3;
    bool ascii = true;
    for (size_t i = pos; i < size; ++i) {
        if (data[i] == 0)
            return fail("not text."), d;
        if (data[i] == '\n')
            ++line;
        ascii = ascii && data[i] < 0x80;
        d.text += char(data[i]);
    }
    d.eightBit = !ascii;
    return d;
}

wxString textOf(const std::string& bytes, bool eightBit) {
    // Eight-bit files are read as transcript lines are: CP932, UTF-8 or single bytes.
    return eightBit ? transcriptText(bytes) : wxString::FromUTF8(bytes.data(), bytes.size());
}

// ---- What the readers find, before it becomes slots

struct FoundGroup {
    double start = 0.0, end = 0.0;
    std::string title;
    int prior = CArchMemo::High;
    bool hasFreq = false;
    double freq = 0.0;
    int line = 0;
};

struct FoundTerm {
    double time = 0.0;
    std::string text;
    bool hasFreq = false;
    double freq = 0.0;
    int group = -1; // index into the found groups, -1 when none holds it
};

struct Findings {
    std::vector<FoundGroup> groups;
    std::vector<FoundTerm> terms;
    std::string error;
    int errorLine = 0;

    // The first damage in the file is the one to report.
    void fail(int line, const char* what) { failWith(line, lineMessage(line, what)); }
    void failWith(int line, const std::string& message) {
        if (!error.empty() && errorLine <= line)
            return;
        error = message;
        errorLine = line;
    }
};

// Intervals sorted by start: the one that holds a time is found in log time, so that many
// points against many groups stay quick.
class SpanIndex {
public:
    void add(double start, double end, int id) { m_spans.push_back({start, end, id}); }
    void sort() {
        std::stable_sort(m_spans.begin(), m_spans.end(),
                         [](const Span& a, const Span& b) { return a.start < b.start; });
    }
    // The id of the latest-starting interval with start <= t that holds t (its end included
    // when `withEnd`); -1 when it does not.
    int holding(double t, bool withEnd) const {
        auto after = std::upper_bound(m_spans.begin(), m_spans.end(), t,
                                      [](double v, const Span& s) { return v < s.start; });
        if (after == m_spans.begin())
            return -1;
        const Span& s = *(after - 1);
        return t < s.end || (withEnd && t == s.end) ? s.id : -1;
    }

private:
    struct Span {
        double start, end;
        int id;
    };
    std::vector<Span> m_spans;
};

bool usableFreq(double f) {
    return std::isfinite(f) && f >= 0.0 && f <= 1e9;
}

// Slots from the findings, made for the sound as transcript ranges are.
MemoImport buildSlots(const Findings& found, bool eightBit, const MemoImportSound& sound) {
    MemoImport result;
    result.result = MemoImport::importOk;
    int errorLine = found.errorLine;
    std::string error = found.error;
    auto fail = [&](int line, const char* what) {
        if (error.empty() || line < errorLine) {
            error = lineMessage(line, what);
            errorLine = line;
        }
    };

    const int32_t rate = sound.sampleFreq;
    const TranscriptDefaults defaults = transcriptDefaults(rate);
    const TranscriptWave wave{rate, sound.quantBit, sound.channelCount, sound.totalSamples};
    const int32_t windowMax = std::max<int32_t>(sound.windowMax, 1);
    const int32_t blockHigh =
        sound.freqHigh > 0 ? sound.freqHigh : int32_t(openingDefaults(rate, windowMax).freqHigh);
    std::vector<MemoStretch> stretches; // of the groups made, by found index
    std::vector<int> slotOfGroup(found.groups.size(), -1);
    for (size_t g = 0; g < found.groups.size(); ++g) {
        const FoundGroup& group = found.groups[g];
        if (rate <= 0 || sound.totalSamples <= 0) {
            fail(group.line, "no sound for the memos.");
            break;
        }
        const double first = std::round(group.start * rate);
        const double last = std::round(group.end * rate);
        if (!(first >= 0.0) || !(last <= double(sound.totalSamples)) || !(first <= last) ||
            first >= double(sound.totalSamples)) {
            fail(group.line, "time range beyond the sound.");
            break;
        }
        const int32_t start = int32_t(first);
        int64_t length = std::max<int64_t>(int64_t(last) - start, 1);
        if (length > windowMax) {
            length = windowMax;
            result.notes.push_back("time range limited.");
        }
        // As many frames as the interval holds, so that an exported group comes back whole;
        // at least ten, as a transcript range gets.
        TranscriptFrames frames;
        const int64_t fit =
            length >= defaults.ssftSize ? (length - defaults.ssftSize) / defaults.interval + 1 : 0;
        frames.expanded = fit < 10;
        frames.repeatTimes = frames.expanded ? 10 : int32_t(fit);
        frames.executionSize =
            int64_t(frames.repeatTimes - 1) * defaults.interval + defaults.ssftSize;
        if (frames.expanded)
            result.notes.push_back("expand range size.");

        const int titleNo = int(result.slots.size());
        MemoSlot slot =
            importedGroup(sound, wxString::FromUTF8(transcriptParameterBlock(wave, frames)), start,
                          blockHigh, titleNo);
        slot.sub->SetMemoPrior(CArchMemo::MemoPrior(group.prior));

        auto title = std::make_unique<CArchMemo>();
        title->m_memoText = textOf(group.title, eightBit);
        title->m_relX = title->m_relY = 0.01f;
        title->m_freq = group.hasFreq ? int(std::lround(group.freq)) : defaults.topFreq;
        title->m_titleNo = titleNo;
        slot.terms.push_back(std::move(title));

        MemoStretch stretch;
        stretch.ok = true;
        stretch.sampleFreq = rate;
        stretch.start = start;
        stretch.executionSize = frames.executionSize;
        stretch.ssftSize = defaults.ssftSize;
        stretch.interval = defaults.interval;
        stretch.repeatTimes = frames.repeatTimes;
        stretch.freqLow = 0;
        stretch.freqHigh = std::min(blockHigh, rate / 2);
        stretches.push_back(stretch);
        slotOfGroup[g] = titleNo;
        result.slots.push_back(std::move(slot));
    }

    int outside = 0;
    for (const FoundTerm& term : found.terms) {
        const int slotIndex = term.group >= 0 ? slotOfGroup[size_t(term.group)] : -1;
        if (slotIndex < 0) {
            outside += term.group < 0;
            continue; // its group was not made: the damage is reported already
        }
        MemoSlot& slot = result.slots[size_t(slotIndex)];
        const MemoStretch& stretch = stretches[size_t(slotIndex)];
        const int k = int(slot.terms.size());
        auto memo = std::make_unique<CArchMemo>();
        memo->m_memoText = textOf(term.text, eightBit);
        memo->m_relX = memoRelXAt(stretch, term.time * rate, sound.panelWidth);
        const double step = std::min(0.01 + 0.1 * k, 0.91); // lower rows would leave the panel
        if (term.hasFreq) {
            memo->m_freq = int(std::lround(term.freq));
            const double top = stretch.freqHigh > 0 ? stretch.freqHigh : 1.0;
            memo->m_relY = float(std::clamp(1.0 - term.freq / top, 0.01, 0.91));
        } else {
            memo->m_freq = transcriptTermFreq(defaults.topFreq, k);
            memo->m_relY = float(step);
        }
        memo->m_titleNo = slotIndex;
        memo->m_termNo = k;
        slot.terms.push_back(std::move(memo));
    }
    if (outside > 0)
        result.notes.push_back(std::to_string(outside) + " term memo(s) outside memo groups.");
    if (!error.empty()) {
        result.result = MemoImport::importDamaged;
        result.message = error;
        result.line = errorLine;
    }
    return result;
}

// ---- TextGrid

struct Token {
    enum Kind { end, number, text, flag, unclosed } kind = end;
    double value = 0.0;
    bool outOfRange = false;
    std::string str;
    int line = 0;
};

// Praat's text files are a stream of numbers, quoted texts and <flags>; everything else (the
// long format's "xmin =", "item [1]:") is a label for people and is skipped, as Praat does.
class TextGridTokens {
public:
    explicit TextGridTokens(const std::string& s) : m_s(s) {}

    Token next() {
        const size_t n = m_s.size();
        for (;;) {
            while (m_pos < n && std::isspace(static_cast<unsigned char>(m_s[m_pos]))) {
                if (m_s[m_pos] == '\n')
                    ++m_line;
                ++m_pos;
            }
            Token t;
            t.line = m_line;
            if (m_pos >= n)
                return t;
            const char c = m_s[m_pos];
            if (c == '!') {
                while (m_pos < n && m_s[m_pos] != '\n')
                    ++m_pos;
                continue;
            }
            if (c == '"') {
                ++m_pos;
                for (;;) {
                    const size_t close = m_s.find('"', m_pos);
                    if (close == std::string::npos) {
                        t.kind = Token::unclosed;
                        return t;
                    }
                    t.str.append(m_s, m_pos, close - m_pos);
                    m_line +=
                        int(std::count(m_s.begin() + long(m_pos), m_s.begin() + long(close), '\n'));
                    m_pos = close + 1;
                    if (m_pos < n && m_s[m_pos] == '"') {
                        t.str += '"';
                        ++m_pos;
                        continue;
                    }
                    t.kind = Token::text;
                    return t;
                }
            }
            const size_t from = m_pos;
            while (m_pos < n && !std::isspace(static_cast<unsigned char>(m_s[m_pos])) &&
                   m_s[m_pos] != '"')
                ++m_pos;
            if (c == '<') {
                t.kind = Token::flag;
                t.str = m_s.substr(from, m_pos - from);
                return t;
            }
            if (wholeDouble(m_s.data() + from, m_s.data() + m_pos, t.value, t.outOfRange)) {
                t.kind = Token::number;
                return t;
            }
        }
    }

private:
    const std::string& m_s;
    size_t m_pos = 0;
    int m_line = 1;
};

struct TierInterval {
    double xmin, xmax;
    std::string text;
    int line;
};

struct TierMark {
    double time;
    std::string mark;
    int line;
};

struct Tier {
    bool intervals = true;
    std::string name;
    std::vector<TierInterval> spans;
    std::vector<TierMark> marks;
};

class TextGridParser {
public:
    TextGridParser(const std::string& text, Findings& found) : m_tokens(text), m_found(found) {}

    // The tiers read before the end or the first damage.
    std::vector<Tier> parse() {
        std::vector<Tier> tiers;
        double xmin = 0.0, xmax = 0.0;
        Token t = m_tokens.next();
        if (t.kind != Token::text || t.str.compare(0, 10, "ooTextFile") != 0)
            return m_found.fail(t.line, "not a TextGrid file."), tiers;
        t = m_tokens.next();
        if (t.kind != Token::text || t.str != "TextGrid")
            return m_found.fail(t.line, "not a TextGrid file."), tiers;
        if (!number(xmin) || !number(xmax))
            return tiers;
        t = m_tokens.next();
        long long size = 0;
        if (t.kind == Token::flag && t.str == "<absent>")
            return tiers;
        if (t.kind != Token::flag || t.str != "<exists>")
            return wrong(t, "tiers expected."), tiers;
        if (!count(size))
            return tiers;
        // Nothing is reserved by a count: a tier is added only when its tokens are there.
        for (long long i = 0; i < size; ++i) {
            std::string tierClass;
            if (!text(tierClass))
                return tiers;
            if (tierClass != "IntervalTier" && tierClass != "TextTier")
                return m_found.fail(m_last, "tier class wrong."), tiers;
            tiers.emplace_back();
            Tier& tier = tiers.back();
            tier.intervals = tierClass == "IntervalTier";
            long long items = 0;
            if (!text(tier.name) || !number(xmin) || !number(xmax) || !count(items))
                return tiers;
            for (long long j = 0; j < items; ++j) {
                if (++m_items > kMemoImportItemsMax)
                    return m_found.fail(m_last, "too many memos."), tiers;
                if (tier.intervals) {
                    TierInterval span{0.0, 0.0, std::string(), 0};
                    if (!number(span.xmin))
                        return tiers;
                    span.line = m_last;
                    if (!number(span.xmax) || !text(span.text))
                        return tiers;
                    if (!(span.xmax > span.xmin))
                        return m_found.fail(span.line, "time wrong."), tiers;
                    tier.spans.push_back(std::move(span));
                } else {
                    TierMark mark{0.0, std::string(), 0};
                    if (!number(mark.time))
                        return tiers;
                    mark.line = m_last;
                    if (!text(mark.mark))
                        return tiers;
                    tier.marks.push_back(std::move(mark));
                }
            }
        }
        return tiers;
    }

private:
    void wrong(const Token& t, const char* expected) {
        if (t.kind == Token::end)
            m_found.fail(t.line, "the file ends early.");
        else if (t.kind == Token::unclosed)
            m_found.fail(t.line, "text not closed.");
        else
            m_found.fail(t.line, expected);
    }

    bool number(double& v) {
        const Token t = m_tokens.next();
        m_last = t.line;
        if (t.kind != Token::number)
            return wrong(t, "number expected."), false;
        if (t.outOfRange || !std::isfinite(t.value))
            return m_found.fail(t.line, "number wrong."), false;
        v = t.value;
        return true;
    }

    bool count(long long& n) {
        double v = 0.0;
        if (!number(v))
            return false;
        if (v < 0.0 || v > 2147483647.0 || v != std::floor(v))
            return m_found.fail(m_last, "count wrong."), false;
        n = (long long)v;
        return true;
    }

    bool text(std::string& s) {
        const Token t = m_tokens.next();
        m_last = t.line;
        if (t.kind != Token::text)
            return wrong(t, "text expected."), false;
        s = t.str;
        return true;
    }

    TextGridTokens m_tokens;
    Findings& m_found;
    int m_last = 1;
    size_t m_items = 0;
};

bool isPriorityTier(const std::string& name) {
    std::string lower = name.substr(0, 8);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower == "priority";
}

void findTextGrid(const std::vector<Tier>& tiers, Findings& found) {
    // Which group tier each priority and point tier belongs to.
    auto groupTier = [&](size_t i) { return tiers[i].intervals && !isPriorityTier(tiers[i].name); };
    std::vector<int> owner(tiers.size(), -1);
    int lastGroupTier = -1, firstGroupTier = -1;
    for (size_t i = 0; i < tiers.size(); ++i) {
        if (groupTier(i)) {
            lastGroupTier = int(i);
            if (firstGroupTier < 0)
                firstGroupTier = int(i);
        } else {
            owner[i] = lastGroupTier;
        }
    }
    for (size_t i = 0; i < tiers.size(); ++i)
        if (!tiers[i].intervals && owner[i] < 0)
            owner[i] = firstGroupTier; // points before every group tier

    std::vector<SpanIndex> priorities(tiers.size()); // by the group tier they belong to
    for (size_t p = 0; p < tiers.size(); ++p)
        if (tiers[p].intervals && owner[p] >= 0)
            for (const TierInterval& q : tiers[p].spans)
                priorities[size_t(owner[p])].add(q.xmin, q.xmax, priorityOf(q.text));
    std::vector<SpanIndex> groupsOfTier(tiers.size());
    for (size_t i = 0; i < tiers.size(); ++i) {
        if (!groupTier(i))
            continue;
        priorities[i].sort();
        for (const TierInterval& span : tiers[i].spans) {
            // The priority interval holding the middle of the group's interval.
            const int prior = priorities[i].holding(0.5 * (span.xmin + span.xmax), false);
            if (span.text.empty() && prior < 0)
                continue; // a gap between groups
            FoundGroup g;
            g.start = span.xmin;
            g.end = span.xmax;
            g.title = span.text;
            g.prior = prior < 0 ? CArchMemo::High : prior;
            g.line = span.line;
            groupsOfTier[i].add(g.start, g.end, int(found.groups.size()));
            found.groups.push_back(std::move(g));
        }
        groupsOfTier[i].sort();
    }
    for (size_t i = 0; i < tiers.size(); ++i) {
        if (tiers[i].intervals)
            continue;
        for (const TierMark& mark : tiers[i].marks) {
            FoundTerm term;
            term.time = mark.time;
            term.text = mark.mark;
            // A time on the border of two groups belongs to the one it starts.
            if (owner[i] >= 0)
                term.group = groupsOfTier[size_t(owner[i])].holding(mark.time, true);
            found.terms.push_back(std::move(term));
        }
    }
}

// ---- Audacity labels

// A time or frequency field: a decimal number; a comma stands for the point when there is no
// point (label files written under some locales have it).
bool labelNumber(std::string field, double& v) {
    field.erase(0, field.find_first_not_of(" "));
    field.erase(field.find_last_not_of(" ") + 1);
    if (field.find('.') == std::string::npos)
        std::replace(field.begin(), field.end(), ',', '.');
    bool outOfRange = false;
    return wholeDouble(field.data(), field.data() + field.size(), v, outOfRange) && !outOfRange &&
           std::isfinite(v);
}

std::string unescapeLabel(std::string s) {
    for (const auto& [token, c] : {std::pair<const char*, char>{"&#xD;", '\n'}, {"&#x9;", '\t'}}) {
        size_t at = 0;
        while ((at = s.find(token, at)) != std::string::npos) {
            s.replace(at, 5, 1, c);
            ++at;
        }
    }
    return s;
}

// Reads label lines up to the end or the first damage. termGroupsAbove receives, per term,
// the number of groups read before it.
void readLabelLines(const std::string& text, Findings& found,
                    std::vector<size_t>& termGroupsAbove) {
    struct Label {
        bool group;
        size_t index;
    };
    std::vector<Label> labels;
    bool frequencyGiven = true;
    int line = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        std::string row = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++line;
        row.erase(std::remove(row.begin(), row.end(), '\r'), row.end());
        if (row.find_first_not_of(" \t") == std::string::npos)
            continue;
        std::vector<std::string> fields;
        size_t from = 0;
        for (int i = 0; i < 2; ++i) {
            const size_t tab = row.find('\t', from);
            if (tab == std::string::npos)
                break;
            fields.push_back(row.substr(from, tab - from));
            from = tab + 1;
        }
        fields.push_back(row.substr(from)); // the label keeps any further TABs

        if (row[0] == '\\') {
            double low = 0.0, high = 0.0;
            if (labels.empty() || frequencyGiven)
                return found.fail(line, "frequency line without a label.");
            if (fields.size() != 3 || fields[0] != "\\" || !labelNumber(fields[1], low) ||
                !labelNumber(fields[2], high))
                return found.fail(line, "frequency line wrong.");
            frequencyGiven = true;
            const double f = usableFreq(low) ? low : high;
            if (!usableFreq(f))
                continue; // "no frequency", as -1 says
            const Label& last = labels.back();
            bool& has =
                last.group ? found.groups[last.index].hasFreq : found.terms[last.index].hasFreq;
            double& value =
                last.group ? found.groups[last.index].freq : found.terms[last.index].freq;
            has = true;
            value = f;
            continue;
        }
        if (labels.size() >= kMemoImportItemsMax)
            return found.fail(line, "too many memos.");
        double start = 0.0, end = 0.0;
        if (fields.size() < 2 || !labelNumber(fields[0], start) || !labelNumber(fields[1], end))
            return found.fail(line, "label line wrong.");
        if (end < start)
            return found.fail(line, "time wrong.");
        const std::string label = fields.size() > 2 ? unescapeLabel(fields[2]) : std::string();
        frequencyGiven = false;
        if (end > start) {
            FoundGroup g;
            g.start = start;
            g.end = end;
            g.title = label;
            g.line = line;
            for (int prior : {CArchMemo::High, CArchMemo::Mid, CArchMemo::Low}) {
                const std::string tag = std::string("[") + priorityName(prior) + "]";
                if (label == tag || label.compare(0, tag.size() + 1, tag + " ") == 0) {
                    g.prior = prior;
                    g.title = label.substr(std::min(label.size(), tag.size() + 1));
                    break;
                }
            }
            labels.push_back({true, found.groups.size()});
            found.groups.push_back(std::move(g));
        } else {
            FoundTerm term;
            term.time = start;
            term.text = label;
            labels.push_back({false, found.terms.size()});
            termGroupsAbove.push_back(found.groups.size());
            found.terms.push_back(std::move(term));
        }
    }
}

void findLabels(const std::string& text, Findings& found) {
    std::vector<size_t> termGroupsAbove;
    readLabelLines(text, found, termGroupsAbove);
    // Each term goes to the last group above it when that holds its time (so a label track
    // written by the export keeps every term with its group), else to the latest-starting group
    // that holds it.
    SpanIndex groups;
    for (size_t g = 0; g < found.groups.size(); ++g)
        groups.add(found.groups[g].start, found.groups[g].end, int(g));
    groups.sort();
    for (size_t i = 0; i < found.terms.size(); ++i) {
        FoundTerm& term = found.terms[i];
        const size_t above = termGroupsAbove[i];
        if (above > 0 && found.groups[above - 1].start <= term.time &&
            term.time <= found.groups[above - 1].end)
            term.group = int(above - 1);
        else
            term.group = groups.holding(term.time, true);
    }
}

MemoImport finish(const DecodedText& decoded, Findings& found, const MemoImportSound& sound) {
    // The text stops where it stopped being text: a reader's complaint on that line (the file
    // ending early) has that as its real reason.
    if (!decoded.error.empty() && (found.error.empty() || decoded.errorLine <= found.errorLine)) {
        found.error = decoded.error;
        found.errorLine = decoded.errorLine;
    }
    return buildSlots(found, decoded.eightBit, sound);
}

// What breaks a rule of the memo list in an import's result; empty when nothing does.
std::string brokenRule(const MemoImport& r) {
    if ((r.result == MemoImport::importOk) != r.message.empty())
        return "result and message disagree: " + r.message;
    if (r.result == MemoImport::importDamaged && r.message.compare(0, 5, "line ") != 0)
        return "damage message names no line: " + r.message;
    for (size_t k = 0; k < r.slots.size(); ++k) {
        const MemoSlot& slot = r.slots[k];
        const std::string at = "slot " + std::to_string(k) + ": ";
        if (!slot.param || !slot.sub || slot.terms.empty())
            return at + "record missing";
        if (slot.param->m_titleNo != int(k) || slot.sub->m_titleNo != int(k))
            return at + "title number wrong";
        if (slot.sub->m_memoText != "+" || !(slot.sub->m_relX >= 0.0f && slot.sub->m_relX <= 1.0f))
            return at + "overview mark wrong";
        if (!parseParameterBlock(utf8Of(slot.param->m_memoText)).ok)
            return at + "parameter block does not parse";
        for (size_t j = 0; j < slot.terms.size(); ++j) {
            if (!slot.terms[j])
                return at + "record missing";
            const CArchMemo& m = *slot.terms[j];
            if (m.m_titleNo != int(k) || m.m_termNo != int(j))
                return at + "memo numbers wrong";
            if (!(m.m_relX >= 0.0f && m.m_relX <= 1.0f && m.m_relY >= 0.0f && m.m_relY <= 1.0f))
                return at + "memo place outside the panel";
        }
    }
    return std::string();
}

MemoImportSound fuzzSound() {
    MemoImportSound s;
    s.sampleFreq = 16000;
    s.totalSamples = 16000 * 60;
    return s;
}

} // namespace

MemoStretch memoStretchOf(const CArchMemo& param, int32_t sampleFreq) {
    MemoStretch s;
    const std::string text = utf8Of(param.m_memoText);
    const ParsedParameters p = parseParameterBlock(text);
    s.sampleFreq = sampleFreq > 0 ? sampleFreq : sampleFreqOfBlock(text);
    if (!p.ok || s.sampleFreq <= 0 || p.ssftSize < 2)
        return s;
    ParameterValues v;
    v.ssftSize = p.ssftSize;
    v.interval = p.interval;
    v.repeatTimes = p.repeatTimes;
    s.ok = true;
    s.start = int64_t(param.m_viewStart) + param.m_viewCursor;
    s.executionSize = executionSize(v);
    s.ssftSize = p.ssftSize;
    s.interval = p.interval;
    s.repeatTimes = p.repeatTimes;
    s.freqLow = p.freqLow;
    s.freqHigh = p.freqHigh;
    return s;
}

double memoSampleAt(const MemoStretch& s, float relX, int panelWidth) {
    if (!s.ok || s.executionSize <= 0 || panelWidth <= 0)
        return double(s.start);
    const double fraction = clampRelative(relX);
    const Picture p = pictureOf(s, panelWidth);
    double offset;
    if (p.cols > 0) {
        const long long px = (long long)(fraction * panelWidth);
        offset = p.half + double(px - p.first) * p.span / double(p.cols);
    } else {
        offset = fraction * double(s.executionSize);
    }
    return double(s.start) + std::clamp(offset, 0.0, double(s.executionSize - 1));
}

float memoRelXAt(const MemoStretch& s, double sample, int panelWidth) {
    if (!s.ok || s.executionSize <= 0 || panelWidth <= 0 || !std::isfinite(sample))
        return 0.0f;
    const double offset = std::clamp(sample - double(s.start), 0.0, double(s.executionSize - 1));
    const Picture p = pictureOf(s, panelWidth);
    double px;
    if (p.cols > 0)
        px = double(p.first) + std::round((offset - p.half) * double(p.cols) / p.span);
    else
        px = std::floor(offset / double(s.executionSize) * panelWidth);
    px = std::clamp(px, 0.0, double(panelWidth - 1));
    return clampRelative(float((px + 0.5) / panelWidth));
}

MemoImportSound memoImportSoundOf(const CWavPara& wave) {
    MemoImportSound sound;
    sound.sampleFreq = wave.m_sampleFreq;
    sound.quantBit = wave.m_quantBit;
    sound.channelCount = wave.m_channelCount;
    sound.totalSamples = wave.m_totalSamples;
    sound.windowMax = wave.m_windowMax;
    return sound;
}

MemoSlot importedGroup(const MemoImportSound& sound, const wxString& block, int32_t start,
                       int32_t plotTop, int titleNo) {
    const int32_t windowMax = std::max<int32_t>(sound.windowMax, 1);
    // A sound shorter than the largest window starts every view at its beginning.
    const int32_t lastViewStart = std::max<int32_t>(0, sound.totalSamples - 1 - windowMax);
    const int overviewH = std::max(sound.overviewHeight, 1);
    const int wrapY = int(overviewH * 0.9);
    MemoSlot slot;
    slot.param = std::make_unique<CArchMemo>();
    CArchMemo& param = *slot.param;
    param.m_memoText = block;
    param.m_viewLength = windowMax;
    param.m_viewStart = std::min(start, lastViewStart);
    param.m_viewCursor = start - param.m_viewStart;
    param.m_freq = plotTop;
    param.m_titleNo = titleNo;

    slot.sub = std::make_unique<CArchMemo>();
    CArchMemo& sub = *slot.sub;
    sub.m_memoText = "+";
    sub.m_relX = clampRelative(float(double(start) / std::max(sound.totalSamples, 1)));
    const long long down = (long long)(titleNo * double(overviewH) * 0.25);
    sub.m_relY = float(double(wrapY > 0 ? down % wrapY : 0) / overviewH);
    sub.m_titleNo = titleNo;
    return slot;
}

const std::vector<MemoExportFormatInfo>& memoExportFormats() {
    static const std::vector<MemoExportFormatInfo> formats = {
        {MemoExportFormat::textGrid, "textgrid", "Praat TextGrid", "TextGrid"},
        {MemoExportFormat::audacity, "audacity", "Audacity labels", "txt"},
        {MemoExportFormat::csv, "csv", "CSV", "csv"},
    };
    return formats;
}

const MemoExportFormatInfo* memoExportFormatNamed(const std::string& name) {
    for (const MemoExportFormatInfo& f : memoExportFormats())
        if (name == f.name)
            return &f;
    return nullptr;
}

std::string memoExportFormatNames(const char* separator, const char* last) {
    const std::vector<MemoExportFormatInfo>& formats = memoExportFormats();
    std::string names;
    for (size_t k = 0; k < formats.size(); ++k)
        names += (k == 0                    ? ""
                  : k + 1 == formats.size() ? last
                                            : separator) +
                 std::string(formats[k].name);
    return names;
}

MemoExport exportMemos(const std::vector<MemoSlotRef>& slots, MemoExportFormat format,
                       const MemoExportSound& sound) {
    MemoExport result;
    std::vector<GroupPlace> places(slots.size());
    for (size_t k = 0; k < slots.size(); ++k) {
        if (!complete(slots[k])) {
            result.notes.push_back(groupNote(k, "memo list wrong."));
            continue;
        }
        GroupPlace& place = places[k];
        place.stretch = memoStretchOf(*slots[k].param, sound.sampleFreq);
        place.ok = place.stretch.ok;
        if (!place.ok) {
            result.notes.push_back(groupNote(k, "parameter block wrong."));
            continue;
        }
        // A stretch that runs past the end of the sound (a list made on a longer recording, a
        // view near the end) is cut there: importers, ours and Praat's, refuse times past it.
        if (sound.sampleFreq > 0 && sound.totalSamples > 0) {
            if (place.stretch.start >= sound.totalSamples) {
                place.ok = false;
                result.notes.push_back(groupNote(k, "beyond the end of the sound."));
                continue;
            }
            place.stretch.executionSize = std::min<int64_t>(
                place.stretch.executionSize, sound.totalSamples - place.stretch.start);
        }
        const double rate = place.stretch.sampleFreq;
        place.start = double(place.stretch.start) / rate;
        place.end = double(place.stretch.start + place.stretch.executionSize) / rate;
    }
    switch (format) {
    case MemoExportFormat::textGrid:
        exportTextGrid(slots, places, sound, result);
        break;
    case MemoExportFormat::audacity:
        exportAudacity(slots, places, sound, result);
        break;
    case MemoExportFormat::csv:
        exportCsv(slots, places, sound, result);
        break;
    }
    return result;
}

MemoImport importTextGrid(const unsigned char* data, size_t size, const MemoImportSound& sound) {
    const DecodedText decoded = decodeText(data, size);
    Findings found;
    TextGridParser parser(decoded.text, found);
    const std::vector<Tier> tiers = parser.parse();
    findTextGrid(tiers, found);
    return finish(decoded, found, sound);
}

MemoImport importAudacityLabels(const unsigned char* data, size_t size,
                                const MemoImportSound& sound) {
    const DecodedText decoded = decodeText(data, size);
    Findings found;
    findLabels(decoded.text, found);
    return finish(decoded, found, sound);
}

MemoImport importMemoFile(const std::string& path, const MemoImportSound& sound) {
    MemoImport failed;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return failed;
    std::string bytes;
    char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, file)) > 0) {
        if (bytes.size() + got > kMemoImportMax) {
            std::fclose(file);
            return failed;
        }
        bytes.append(buf, got);
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError)
        return failed;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.compare(dot, std::string::npos, ".trn") == 0)
        return importTranscript(data, bytes.size(), sound);
    const std::string head = decodeText(data, std::min<size_t>(bytes.size(), 64)).text;
    const size_t first = head.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && head.compare(first, 9, "File type") == 0)
        return importTextGrid(data, bytes.size(), sound);
    return importAudacityLabels(data, bytes.size(), sound);
}

std::string checkTextGridImport(const uint8_t* data, size_t size) {
    return brokenRule(importTextGrid(data, size, fuzzSound()));
}

std::string checkAudacityImport(const uint8_t* data, size_t size) {
    return brokenRule(importAudacityLabels(data, size, fuzzSound()));
}
