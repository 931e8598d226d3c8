#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/memo/MemoListFile.h"

class CWavPara;

// Memo lists to and from other tools: Praat TextGrids, Audacity label tracks and CSV. All
// text is UTF-8. docs/formats.md tells the same story for users.
//
// Time of a memo. A group stands for its analysed stretch: from s0 = view start + view cursor
// of its param memo, (RepeatTimes - 1) x Interval + SsftSize samples long, as its parameter
// block says. A title or term memo lies where its relX falls on that stretch's voiceprint
// picture on the main panel of width W: the plot is W - 4 pixels wide from x = 2, the picture
// takes cols = floor(w x T x I / (T x I + SsftSize)) of its columns, centred (first column
// 2 + floor((w - cols) / 2)), and column c shows the frame c x T / cols, whose middle is
// s0 + SsftSize / 2 + c x T x I / cols. The memo's pixel is floor(relX x W). Positions are
// kept inside the stretch. The frequency of a memo is its m_freq.

// The main panel's width used when no panel is at hand (the command line).
constexpr int kMemoPanelWidth = 1000;
// The overview panel's height used for the groups' "+" marks when no panel is at hand.
constexpr int kMemoOverviewHeight = 100;

// A group's analysed stretch, read from its param memo.
struct MemoStretch {
    bool ok = false;        // false: the block does not parse or no sampling rate is known
    int32_t sampleFreq = 0; // the sound's rate, or the block's [SampleFreq] without a sound
    int64_t start = 0;      // s0, in samples
    int64_t executionSize = 0;
    int32_t ssftSize = 0;
    int32_t interval = 0;
    int32_t repeatTimes = 0;
    int32_t freqLow = 0;
    int32_t freqHigh = 0;
};
// sampleFreq 0 takes the rate from the block.
MemoStretch memoStretchOf(const CArchMemo& param, int32_t sampleFreq);

// Sample position (not rounded) of a relX on the stretch's picture on a panel `panelWidth`
// wide, inside [start, start + executionSize - 1].
double memoSampleAt(const MemoStretch& stretch, float relX, int panelWidth);
// The relX whose pixel shows the sample position nearest to `sample`: the middle of that pixel
// as a fraction of the width, in 0 .. 1.
float memoRelXAt(const MemoStretch& stretch, double sample, int panelWidth);

// ---- Export

enum class MemoExportFormat { textGrid, audacity, csv };

// The export formats, in the order every front end offers them: the word the command line and
// Python take, the file dialog's label, the file extension (no dot).
struct MemoExportFormatInfo {
    MemoExportFormat format;
    const char* name;
    const char* label;
    const char* extension;
};
const std::vector<MemoExportFormatInfo>& memoExportFormats();
// The format of that name, or nullptr.
const MemoExportFormatInfo* memoExportFormatNamed(const std::string& name);
// The names joined: "textgrid|audacity|csv" with ("|", "|"), "textgrid, audacity or csv" with
// (", ", " or ").
std::string memoExportFormatNames(const char* separator, const char* last);

// The sound the list belongs to, when it is known (0: unknown).
struct MemoExportSound {
    int32_t sampleFreq = 0;
    int32_t totalSamples = 0;
    int panelWidth = kMemoPanelWidth;
};

struct MemoExport {
    std::string text;               // the whole file
    std::vector<std::string> notes; // groups left out, one line each
    int groups = 0;                 // groups written
    int memos = 0;                  // title and term memos written
};

// TextGrid (long text format): per layer of groups that do not overlap in time, an interval
// tier "title" (group titles, empty gaps between), an interval tier "priority" (High, Mid,
// Low) and a point tier "term" (term memos; equal times are made distinct by the least step a
// double can take, as Praat keeps one point per time). The first layer's tiers carry those
// names, further layers add " 2", " 3" ... Audacity: per group a region label "[High] title"
// (the priority in brackets) then its term memos as point labels, each label followed by its
// frequency line "\ f f"; a line feed in a text is written "&#xD;", a TAB "&#x9;". CSV
// (RFC 4180, CR LF): group (slot number from 1), title, term (0 for the title memo), priority,
// start, end, time (seconds), frequency, text, picture (the picture name of an image memo).
// A group whose stretch is unknown is left out of TextGrids and label tracks (with a note) and
// written to CSV with empty times. Holes in the slots are left out with a note. With the sound
// known, a stretch that runs past its end is cut at the end (memos on the cut part go to the
// last sample), and a group that starts past the end is left out with a note, so that every
// export reads back.
MemoExport exportMemos(const std::vector<MemoSlotRef>& slots, MemoExportFormat format,
                       const MemoExportSound& sound);

// ---- Import

// The open sound the groups are made for.
struct MemoImportSound {
    int32_t sampleFreq = 0;
    int32_t quantBit = 16;
    int32_t channelCount = 1;
    int32_t totalSamples = 0;
    int32_t windowMax = 441000;
    int32_t freqHigh = 0; // the plot's top, the param memos' m_freq; 0: what opening sets
    int panelWidth = kMemoPanelWidth;
    int overviewHeight = kMemoOverviewHeight;
};

// The sound's rate, format, length and largest window, as read; the panel sizes stay default.
MemoImportSound memoImportSoundOf(const CWavPara& wave);

// Group `titleNo` as the imports make it, title memo still to come: its parameter record (the
// block, a view of the largest window holding `start`, as late as the sound allows, m_freq
// `plotTop`) and its "+" at the start's place on the overview, each group a quarter of the
// overview lower, wrapping before its lowest tenth.
MemoSlot importedGroup(const MemoImportSound& sound, const wxString& block, int32_t start,
                       int32_t plotTop, int titleNo);

struct MemoImport {
    enum resultMemoImport {
        importOk = 0,
        importOpenFailed = 1, // the file cannot be read (or is larger than kMemoImportMax)
        importDamaged = 2     // `message` names the line; `slots` holds the groups made before
    };
    resultMemoImport result = importOpenFailed;
    std::vector<MemoSlot> slots;
    std::string message; // "line 12 : number expected." and the like; empty when ok
    int line = 0;
    // Lines the transcript import logs too ("time range limited.", "expand range size.") and
    // a count of term memos that lie in no group.
    std::vector<std::string> notes;
};

// Groups are made as transcript ranges are: slot k gets title number k, a parameter block of
// the sound with the transcript's SsftSize and Interval for its rate and as many frames as fit
// the interval (at least 10), a view of the largest window holding the interval's first sample,
// a "+" at its place on the overview, a title memo at (0.01, 0.01) with the group's text. Term
// memos get the relX of their time on the group's picture; a frequency from the file places
// them at its height, otherwise they step down as transcript terms do. Times are rounded to the
// nearest sample; an interval must lie inside the sound.
//
// TextGrid, long or short text format, UTF-8 (a byte-order mark is skipped), UTF-16 with a
// byte-order mark or a leading "F\0"/"\0F", or eight-bit text (read as transcript lines are):
// every interval with a text, or with a priority, of an interval tier is a group; an interval
// tier whose name begins with "priority" gives the priorities of the tier before it; the
// points of a point tier are the terms of the groups of the interval tier before it (the first
// one when none is before) whose interval holds their time (the latest-starting one, if the
// tier's intervals overlap).
MemoImport importTextGrid(const unsigned char* data, size_t size, const MemoImportSound& sound);
// Audacity label track: "start TAB end TAB label" lines, each optionally followed by a line
// "\ TAB low TAB high" (low is the memo's frequency). A label with end > start is a group, its
// text optionally led by "[High] ", "[Mid] " or "[Low] "; a point label is a term memo of the
// last group above it when that holds its time, else of the latest-starting group that does.
MemoImport importAudacityLabels(const unsigned char* data, size_t size,
                                const MemoImportSound& sound);
// The old memo text (".txt", the memo list's own layout, MemoListFile.h) as an import: its
// groups as stored, which is what the window saves after opening it. The views stay as written:
// whoever shows a group fits its view to the sound (fitMemoView), so the sound's facts are not
// needed here. A number read as 0 is noted ("memo list line 7 damaged, read as 0.") and, like a
// list that ends early, is damage ("memo list read failed.", `slots` the whole groups read); a
// first line without "Ver." is damage too ("memo list uncorrect ( internal error ).").
MemoImport importMemoText(const unsigned char* data, size_t size);
// Reads the file (up to kMemoImportMax bytes) and takes it for a transcript when its name ends
// in ".trn", for an old memo text when it starts with "Ver." (after a UTF-8 byte-order mark),
// for a TextGrid when its text starts with "File type", else for a label track.
MemoImport importMemoFile(const std::string& path, const MemoImportSound& sound);

constexpr size_t kMemoImportMax = size_t(64) << 20;
// Intervals, points and labels one file may hold; reading stops past it ("too many memos.").
constexpr size_t kMemoImportItemsMax = 200000;

// Fuzzing entry points, shaped as the fuzz checks are: run an importer on the bytes against a
// fixed sound (16 kHz, 60 s) and return what broke, or an empty string when the result keeps
// the memo list's rules: every slot complete with its title and term numbers in order, a
// parameter block that parses, places inside the panels, a damage message naming a line.
std::string checkTextGridImport(const uint8_t* data, size_t size);
std::string checkAudacityImport(const uint8_t* data, size_t size);
