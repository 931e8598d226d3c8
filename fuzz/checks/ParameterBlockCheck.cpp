#include <cfloat>
#include <climits>
#include <cmath>

#include "FuzzChecks.h"
#include "FuzzSupport.h"
#include "engine/sound/ParameterBlock.h"

namespace fuzz::parameter_block {
namespace {

// The block a writer shows after confirming `p`; the sound's own lines are not read back.
ParameterValues shown(const ParsedParameters& p) {
    ParameterValues v;
    v.sampleFreq = 44100;
    v.quantBit = 16;
    v.totalSamples = 441000;
    v.senseMode = p.senseMode;
    v.ssftSize = p.ssftSize;
    v.interval = p.interval;
    v.repeatTimes = p.repeatTimes;
    v.noiseParameter = p.noiseParameter;
    v.freqLow = p.freqLow;
    v.freqHigh = p.freqHigh;
    v.dbLow = p.dbLow;
    v.dbHigh = p.dbHigh;
    return v;
}

// Every value the analysis gets from an accepted block is one it can use.
std::string checkAccepted(const ParsedParameters& p) {
    bool power = false;
    for (int32_t n = 256; n <= 32768; n *= 2)
        power = power || p.ssftSize == n;
    if (!power || p.interval < 1 || p.repeatTimes < 1 ||
        (int64_t(p.repeatTimes) - 1) * p.interval + p.ssftSize > INT32_MAX)
        return broken("accepted frames SsftSize %d, Interval %d, RepeatTimes %d", p.ssftSize,
                      p.interval, p.repeatTimes);
    if (!(p.noiseParameter > 0.0f) || !std::isfinite(p.noiseParameter) || !std::isfinite(p.dbLow) ||
        !std::isfinite(p.dbHigh) || (p.senseMode != 0 && p.senseMode != 1))
        return broken("accepted noise %g, dB %g..%g, sense mode %d", double(p.noiseParameter),
                      p.dbLow, p.dbHigh, p.senseMode);
    if (!p.errors.empty())
        return "accepted with an error line";
    return std::string();
}

} // namespace

std::string check(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ParsedParameters p = parseParameterBlock(text);
    if (!p.ok)
        return p.errors.empty() ? "refused without an error line" : std::string();
    if (std::string b = checkAccepted(p); !b.empty())
        return b;

    // Confirming the block a confirmation wrote must accept it again and write it unchanged.
    const std::string written = formatParameterBlock(shown(p));
    const ParsedParameters again = parseParameterBlock(written);
    if (!again.ok)
        return broken("the written block is refused: %s",
                      again.errors.empty() ? "" : again.errors.front().c_str());
    if (!again.notes.empty() || again.senseMode != p.senseMode || again.ssftSize != p.ssftSize ||
        again.interval != p.interval || again.repeatTimes != p.repeatTimes ||
        again.freqLow != p.freqLow || again.freqHigh != p.freqHigh)
        return "the written block reads back other values";
    const std::string rewritten = formatParameterBlock(shown(again));
    if (rewritten != written)
        return broken("confirming the written block changes it:\n%s\n%s", written.c_str(),
                      rewritten.c_str());
    return std::string();
}

} // namespace fuzz::parameter_block
