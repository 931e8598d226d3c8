#pragma once

// What the memo interop files share, for them alone: text in and out, the places of exported
// groups, what the readers find before it becomes slots. The public side is MemoInterop.h.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <wx/string.h>

#include "engine/memo/MemoInterop.h"

namespace interop_detail {

// ---- Text — InteropText.cpp

std::string utf8Of(const wxString& s);
// "line 12 : what"
std::string lineMessage(int line, const char* what);

// Numbers as text, without the locale. shortest: the shortest text that reads back as the same
// double (Praat writes its times so too); fixed6: six decimals.
std::string shortest(double v);
std::string fixed6(double v);
// A whole decimal number; `outOfRange` tells a number too large for a double.
bool wholeDouble(const char* first, const char* last, double& v, bool& outOfRange);

const char* priorityName(int prior);
// High, Mid or Low (any case) or the stored digits; -1 for anything else.
int priorityOf(std::string s);

// The file's text as UTF-8 (or as eight-bit bytes when `eightBit`), up to the first place
// that is not text; `error` then says where.
struct DecodedText {
    std::string text;
    bool eightBit = false;
    std::string error;
    int errorLine = 0;
};

DecodedText decodeText(const unsigned char* data, size_t size);
// A memo text from the decoded bytes: eight-bit files are read as transcript lines are.
wxString textOf(const std::string& bytes, bool eightBit);

// ---- Export — MemoInterop.cpp, then one writer per format

// Where an exported group lies; ok false leaves it out of the timed formats.
struct GroupPlace {
    bool ok = false;
    double start = 0.0; // seconds
    double end = 0.0;
    MemoStretch stretch;
};

double memoSeconds(const MemoStretch& s, const CArchMemo& memo, int width);
const CArchMemo* titleOf(const MemoSlotRef& slot);
// Every record of the group is there.
bool complete(const MemoSlotRef& slot);

// The writers make result.text and count what they wrote; places has one entry per slot.
void exportTextGrid(const std::vector<MemoSlotRef>& slots, const std::vector<GroupPlace>& places,
                    const MemoExportSound& sound, MemoExport& result);
void exportAudacity(const std::vector<MemoSlotRef>& slots, const std::vector<GroupPlace>& places,
                    const MemoExportSound& sound, MemoExport& result);
void exportCsv(const std::vector<MemoSlotRef>& slots, const std::vector<GroupPlace>& places,
               const MemoExportSound& sound, MemoExport& result);

// ---- What the readers find, before it becomes slots — MemoInterop.cpp

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

inline bool usableFreq(double f) {
    return std::isfinite(f) && f >= 0.0 && f <= 1e9;
}

// Slots from the findings, made for the sound as transcript ranges are; the decoding's damage
// counts when it comes first.
MemoImport finish(const DecodedText& decoded, Findings& found, const MemoImportSound& sound);

} // namespace interop_detail
