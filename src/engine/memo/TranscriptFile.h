#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include <wx/string.h>

#include "engine/memo/MemoInterop.h"

// Transcript files (".trn"): numbered time ranges of a sound, each with a label, followed by
// lines of text: reading and normalising lines, recognising range lines, the parameter block of
// a range, and the whole import (importTranscript) that every front end adopts.

// Reads raw lines: bytes up to each LF, the LF dropped. A 0xFF byte ends the reading like the
// end of the file does; the bytes of an unfinished last line are still handed out as a line.
// A UTF-8 byte-order mark at the start of the file is skipped. The caller owns the file.
class TranscriptLineReader {
public:
    explicit TranscriptLineReader(FILE* file) : m_file(file) {}
    // False once nothing is left.
    bool next(std::string& line);

private:
    int get();

    FILE* m_file;
    std::string m_pending; // bytes read ahead while looking for the byte-order mark
    size_t m_pendingUsed = 0;
    bool m_started = false;
    bool m_ended = false;
};

// A line as the import sees it: CRs removed; nullopt for a comment (first byte "%"); TABs and
// full-width spaces (CP932 0x81 0x40 or UTF-8 U+3000, by the line's encoding) turned into
// blanks, runs of blanks made one, blanks trimmed at both ends.
std::optional<std::string> normaliseTranscriptLine(const std::string& raw);

// A range line: "number start-end label" with number = expectedNumber, times in seconds,
// 0 <= start < end, end x sampleFreq below 2^31, and a label that is not empty.
struct TranscriptRange {
    int32_t number = 0;
    double startSec = 0.0;
    double endSec = 0.0;
    int32_t startSample = 0; // trunc(start x sampleFreq)
    int32_t endSample = 0;   // trunc(end x sampleFreq)
    std::string label;
};
// False (a text line) when the normalised line breaks any rule; sampleFreq must be positive.
bool parseTranscriptRange(const std::string& line, int32_t expectedNumber, int32_t sampleFreq,
                          TranscriptRange& out);

// The analysis a range gets, chosen by the sampling frequency.
struct TranscriptDefaults {
    int32_t ssftSize;
    int32_t interval;
    int32_t topFreq; // where the title memo is pinned; terms step down from it
};
TranscriptDefaults transcriptDefaults(int32_t sampleFreq);

// The sound a parameter block describes.
struct TranscriptWave {
    int32_t sampleFreq = 0;
    int32_t quantBit = 0;
    int32_t channelCount = 0;
    int32_t totalSamples = 0;
};

// The frames of a range of rangeSamples samples:
// RepeatTimes = (rangeSamples - 1 - SsftSize) / Interval, truncated toward zero, at least 10
// (expanded tells that it was raised); ExcutionSize = Interval x (RepeatTimes + 1).
struct TranscriptFrames {
    int32_t repeatTimes = 0;
    bool expanded = false;
    int64_t executionSize = 0;
};
TranscriptFrames transcriptFrames(int32_t rangeSamples, const TranscriptDefaults& defaults);

// The parameter block of a range, with line feeds, numbers in the C locale. It is the old
// block layout (no sense-mode line, seconds with six decimals), which the confirmation reads
// as the normal mode.
std::string transcriptParameterBlock(const TranscriptWave& wave, const TranscriptFrames& frames);

// The memo text of a line's bytes: CP932 (as GetCharset classifies it) converted, UTF-8 and
// ASCII taken as they are, other eight-bit bytes kept one character per byte.
wxString transcriptText(const std::string& bytes);

// Frequency of the term memo k of a group: trunc(topFreq x (1 - 0.1 k)), but at least 500.
int32_t transcriptTermFreq(int32_t topFreq, int k);

// The memo groups of a transcript's bytes, made for the sound. Each range line opens group k
// (title number k): a parameter block of the sound with transcriptFrames of the range (cut to
// windowMax samples: "time range limited."; raised to ten frames: "expand range size."), the
// view of windowMax samples holding the range's first sample (as late as the sound allows), its
// m_freq the plot's top (sound.freqHigh, or what opening sets when 0); a "+" at the range's
// place on the overview, each group a quarter of overviewHeight lower, wrapping before its
// lowest tenth; a title memo at (0.01, 0.01) at topFreq whose text is the next text line, a
// blank and the range's label ("not exist label body in trn file." until one comes). Further
// text lines are term memos k = 1, 2, ... at (0.01, 0.01 + 0.1 k), transcriptTermFreq high.
// Text before the first range and comment lines are skipped. A range that ends at or past the
// sound's last sample is damage: `message` is "something wrong line : " and the line, `line`
// its number, and `slots` holds the groups made before it. importOpenFailed when the sound has
// no rate or no samples, or the bytes are more than kMemoImportMax.
MemoImport importTranscript(const unsigned char* data, size_t size, const MemoImportSound& sound);
