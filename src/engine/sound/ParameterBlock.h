#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The parameter block: the editable text that shows the sound's format and the
// analysis parameters, and that parameter memos store. Plain UTF-8 strings; the
// frame turns them into wxStrings and log lines.

// Everything the block shows.
struct ParameterValues {
    int32_t sampleFreq = 0;
    int32_t quantBit = 0;
    int32_t channelCount = 1;
    int32_t totalSamples = 0;
    int senseMode = 0; // 0 normal, 1 fine
    int32_t ssftSize = 0;
    int32_t interval = 0;
    int32_t repeatTimes = 0;
    float noiseParameter = 0.0f; // shown widened to double
    int32_t freqLow = 0;
    int32_t freqHigh = 0;
    double dbLow = 0.0;
    double dbHigh = 0.0;
};

// (RepeatTimes − 1) × Interval + SsftSize, the samples the frames cover.
int64_t executionSize(const ParameterValues& v);
// Seconds for a sample count; 0 when the sampling frequency is not positive.
double samplesToSeconds(int64_t samples, int32_t sampleFreq);

// The whole block, pieces 1 to 17, exactly as the writers append them, numbers in the
// C locale. Seconds are 0.000[s] when the sampling frequency is 0.
std::string formatParameterBlock(const ParameterValues& v);
// The position box: " %ld - %0.03lf[s] " for a sample; withTrailingSpace adds the extra
// space the box carries (the log line quotes it without).
std::string formatPosition(int64_t sample, int32_t sampleFreq, bool withTrailingSpace = true);

// What a confirmation reads back from the text. Values are parsed and checked in the
// order sense mode, SsftSize, Interval, RepeatTimes, NoiseParameter, FreqrRnage,
// dBRnage; the first error stops the parse, and the values are meaningful only when ok.
// Numbers are read in the C locale and must take the whole value (leading white space
// allowed): integers in base 10 and inside 32 bits, doubles as strtod reads them.
// Besides the format, a value is refused that the analysis cannot use: Interval or
// RepeatTimes below 1, a frame span (RepeatTimes - 1) x Interval + SsftSize beyond 32 bits
// (RepeatTimes' message), a noise parameter that is not positive and finite as a float or
// that the block would show as 0.0000000000, and an infinite or undefined dB limit.
// The ranges are not clamped here; CWavPara::setRangeXY does that.
struct ParsedParameters {
    bool ok = false;
    // Lines to log before anything else (the "old version" notes of a missing sense item).
    std::vector<std::string> notes;
    // On failure: the error's log line(s), e.g. "[SsftSize] wrong, back parameter.".
    std::vector<std::string> errors;
    int senseMode = 0;
    int32_t ssftSize = 0;
    int32_t interval = 0;
    int32_t repeatTimes = 0;
    float noiseParameter = 0.0f;
    int32_t freqLow = 0;
    int32_t freqHigh = 0;
    double dbLow = 0.0;
    double dbHigh = 0.0;
};
ParsedParameters parseParameterBlock(const std::string& text);
