#include "engine/memo/MemoInterop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/analysis/OpeningDefaults.h"
#include "engine/render/ReadoutMath.h"
#include "engine/memo/CArchMemo.h"
#include "engine/memo/InteropDetail.h"
#include "engine/memo/TranscriptFile.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/ParameterBlock.h"

// The memo interop's shared core: where a group's memos lie in time, the groups an import
// makes, the table of formats and the choice of reader. Text decoding is in InteropText.cpp,
// each format in a file of its own.

using namespace interop_detail;

namespace {

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

std::string groupNote(size_t slot, const char* why) {
    return "memo group " + std::to_string(slot + 1) + " left out: " + why;
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

double interop_detail::memoSeconds(const MemoStretch& s, const CArchMemo& memo, int width) {
    return memoSampleAt(s, memo.m_relX, width) / s.sampleFreq;
}

const CArchMemo* interop_detail::titleOf(const MemoSlotRef& slot) {
    return slot.terms.empty() ? nullptr : slot.terms.front();
}

bool interop_detail::complete(const MemoSlotRef& slot) {
    if (!slot.param || !slot.sub || !slot.hasTermList || slot.terms.empty())
        return false;
    return std::all_of(slot.terms.begin(), slot.terms.end(),
                       [](const CArchMemo* m) { return m != nullptr; });
}

MemoImport interop_detail::finish(const DecodedText& decoded, Findings& found,
                                  const MemoImportSound& sound) {
    // The text stops where it stopped being text: a reader's complaint on that line (the file
    // ending early) has that as its real reason.
    if (!decoded.error.empty() && (found.error.empty() || decoded.errorLine <= found.errorLine)) {
        found.error = decoded.error;
        found.errorLine = decoded.errorLine;
    }
    return buildSlots(found, decoded.eightBit, sound);
}

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

MemoImport importMemoText(const unsigned char* data, size_t size) {
    MemoImport result;
    if (size > kMemoImportMax)
        return result;
    MemoListRead list =
        readMemoListBytes(data ? std::string(reinterpret_cast<const char*>(data), size) : "");
    result.slots = std::move(list.slots);
    for (int line : list.damagedLines)
        result.notes.push_back("memo list line " + std::to_string(line) + " damaged, read as 0.");
    result.result = MemoImport::importDamaged;
    if (list.result == MemoListRead::readBadHeader) {
        result.message = "memo list uncorrect ( internal error ).";
        result.line = 1;
    } else if (list.result != MemoListRead::readOk || !list.damagedLines.empty()) {
        // A zero in place of a damaged number would be saved as if it had been written.
        result.message = "memo list read failed.";
        result.line = list.damagedLines.empty() ? 0 : list.damagedLines.front();
    } else {
        result.result = MemoImport::importOk;
    }
    return result;
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
    // The memo list's writer starts with its version; no label line or TextGrid can.
    const size_t bom = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (bytes.compare(bom, 4, "Ver.") == 0)
        return importMemoText(data, bytes.size());
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
