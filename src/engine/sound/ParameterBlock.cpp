#include "engine/sound/ParameterBlock.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <utility>

namespace {

// The block is stored in memo files, so its numbers must not follow the user's locale: both the
// writer and the reader run with the C locale on the calling thread (GTK may have set another).
class CLocaleScope {
public:
    CLocaleScope() {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
        if (cLocale != locale_t(0))
            m_previous = uselocale(cLocale);
    }
    ~CLocaleScope() {
        if (m_previous != locale_t(0))
            uselocale(m_previous);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_previous = locale_t(0);
};

// No fixed buffer: a dB limit near the double's range prints hundreds of digits.
__attribute__((format(printf, 2, 3))) void append(std::string& out, const char* format, ...) {
    char small[64];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0)
        return;
    if (std::size_t(n) < sizeof small) {
        out.append(small, std::size_t(n));
        return;
    }
    std::string big(std::size_t(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(&big[0], big.size(), format, args);
    va_end(args);
    out.append(big, 0, std::size_t(n));
}

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string trimmed(const std::string& s, bool front = true) {
    std::size_t b = 0, e = s.size();
    while (front && b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Text after the key up to the next "[", trailing white space removed. False when the key
// is missing.
bool valueOf(const std::string& text, const char* key, std::string& value) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos)
        return false;
    const std::size_t from = at + std::char_traits<char>::length(key);
    const std::size_t to = text.find('[', from);
    value =
        trimmed(text.substr(from, to == std::string::npos ? std::string::npos : to - from), false);
    return true;
}

// A range "[low,high]": the text after the key up to and including the first "]".
// False when the key, either bracket or the comma is missing.
bool rangeOf(const std::string& text, const char* key, std::string& low, std::string& high) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos)
        return false;
    const std::size_t from = at + std::char_traits<char>::length(key);
    const std::size_t close = text.find(']', from);
    if (close == std::string::npos)
        return false;
    const std::string value = trimmed(text.substr(from, close + 1 - from));
    const std::size_t open = value.find('[');
    if (open == std::string::npos)
        return false;
    const std::size_t comma = value.find(',', open + 1);
    if (comma == std::string::npos)
        return false;
    low = trimmed(value.substr(open + 1, comma - open - 1));
    high = trimmed(value.substr(comma + 1, value.size() - 1 - (comma + 1)));
    return true;
}

// Base 10, the whole value, and inside 32 bits.
bool toInt32(const std::string& s, int32_t& out) {
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        return false;
    out = int32_t(v);
    return true;
}

// The whole value as a double; "nan" and "inf" are read here and refused by the callers.
bool toDouble(const std::string& s, double& out) {
    if (s.empty())
        return false;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0')
        return false;
    out = v;
    return true;
}

std::string noiseText(float noise) {
    std::string s;
    append(s, "%12.10lf", double(noise));
    return s;
}

bool isPowerOfTwoSsft(int32_t n) {
    for (int32_t size = 256; size <= 32768; size *= 2)
        if (n == size)
            return true;
    return false;
}

ParsedParameters failed(ParsedParameters p, std::vector<std::string> lines) {
    p.ok = false;
    p.errors = std::move(lines);
    return p;
}

// The usual message, then a line naming the values the field takes.
ParsedParameters wrongValue(ParsedParameters p, const std::string& which, const std::string& key,
                            const std::string& valid) {
    return failed(std::move(p),
                  {which + key + " wrong, back parameter.", key + " must be " + valid});
}

const char* const kFreqValid = "two whole numbers of Hz, [low,high], 0 to half the sampling rate.";
const char* const kDbValid = "two numbers of dB, [low,high], the high one at most 0.0.";

} // namespace

int64_t executionSize(const ParameterValues& v) {
    return (int64_t(v.repeatTimes) - 1) * v.interval + v.ssftSize;
}

double samplesToSeconds(int64_t samples, int32_t sampleFreq) {
    return sampleFreq > 0 ? double(samples) / double(sampleFreq) : 0.0;
}

std::string formatParameterBlock(const ParameterValues& v) {
    CLocaleScope cLocale;
    const int64_t execution = executionSize(v);
    std::string s;
    s += "    ///// wave file parameter /////     \n";
    append(s, "[SampleFreq]=%ld ", long(v.sampleFreq));
    append(s, "[QuantBit]=%ld ", long(v.quantBit));
    append(s, "[ChannelCount]=%d ", int(v.channelCount));
    append(s, "[TotalLength]=%ld ", long(v.totalSamples));
    append(s, "[TotalSec]=%0.03lf[s] ", samplesToSeconds(v.totalSamples, v.sampleFreq));
    s += "\n     ///// execution parameter /////     \n";
    s += v.senseMode == 1 ? "[SenseMode(normal or fine)]= fine \n"
                          : "[SenseMode(normal or fine)]= normal \n";
    append(s, "[SsftSize]=%ld ", long(v.ssftSize));
    append(s, "[SsftSec]=%0.03lf[s] ", samplesToSeconds(v.ssftSize, v.sampleFreq));
    append(s, "[Interval]=%ld ", long(v.interval));
    append(s, "[RepeatTimes]=%ld ", long(v.repeatTimes));
    append(s, "[NoiseParameter]=%12.10lf ", double(v.noiseParameter));
    append(s, "[ExcutionSize]=%lld ", (long long)execution);
    append(s, "[ExcutionSec]=%0.03lf[s] ", samplesToSeconds(execution, v.sampleFreq));
    append(s, "[FreqrRnage]=[%ld,%ld] ", long(v.freqLow), long(v.freqHigh));
    append(s, "[dBRnage]=[%.1lf,%.1lf] ", v.dbLow, v.dbHigh);
    return s;
}

std::string formatPosition(int64_t sample, int32_t sampleFreq, bool withTrailingSpace) {
    CLocaleScope cLocale;
    std::string s;
    append(s, " %lld - %0.03lf[s] ", (long long)sample, samplesToSeconds(sample, sampleFreq));
    if (withTrailingSpace)
        s += ' ';
    return s;
}

ParsedParameters parseParameterBlock(const std::string& text) {
    CLocaleScope cLocale;
    ParsedParameters p;
    std::string value;

    if (!valueOf(text, "[SenseMode(normal or fine)]=", value)) {
        p.notes.push_back("not exist [SenseMode(normal or fine)].");
        p.notes.push_back("it seems old version parameter list. normal sense mode asume");
        p.senseMode = 0;
    } else if (value.find("normal") == 1) {
        p.senseMode = 0;
    } else if (value.find("fine") == 1) {
        p.senseMode = 1;
    } else {
        return wrongValue(p, "", "[SenseMode]",
                          "\" normal\" or \" fine\" (a space after the \"=\").");
    }

    if (!valueOf(text, "[SsftSize]=", value) || !toInt32(value, p.ssftSize))
        return wrongValue(p, "", "[SsftSize]", "256, 512, 1024, 2048, 4096, 8192, 16384 or 32768.");
    if (!isPowerOfTwoSsft(p.ssftSize))
        return failed(p, {"[SsftSize] wrong, must 256 512 1024 2048 4096",
                          "8192 16384 or 32768, back parameter."});

    // The work memory needs at least one frame and a step of at least one sample.
    if (!valueOf(text, "[Interval]=", value) || !toInt32(value, p.interval) || p.interval < 1)
        return wrongValue(p, "", "[Interval]", "a whole number of samples, at least 1.");
    if (!valueOf(text, "[RepeatTimes]=", value) || !toInt32(value, p.repeatTimes) ||
        p.repeatTimes < 1 ||
        (int64_t(p.repeatTimes) - 1) * p.interval + p.ssftSize > int64_t(INT32_MAX))
        return wrongValue(p, "", "[RepeatTimes]",
                          "a whole number of frames, at least 1, with "
                          "(RepeatTimes - 1) x Interval + SsftSize at most 2147483647.");

    // The noise divides inside the restoration and lives in a float. A value the block would
    // show as 0.0000000000 is refused too: the block written after confirming it could not be
    // confirmed again.
    double noise = 0.0;
    if (!valueOf(text, "[NoiseParameter]=", value) || !toDouble(value, noise) ||
        !std::isfinite(noise) || noise <= 0.0 || noise > double(FLT_MAX) || float(noise) <= 0.0f ||
        noiseText(float(noise)) == "0.0000000000")
        return wrongValue(p, "", "[NoiseParameter]",
                          "a number from 1e-10 to 3.4e+38, e.g. 0.0005.");
    p.noiseParameter = float(noise);

    // Without both brackets and the comma neither limit can be read; the low one is named.
    std::string low, high;
    if (!rangeOf(text, "[FreqrRnage]=", low, high) || !toInt32(low, p.freqLow))
        return wrongValue(p, "low limit of ", "[FreqrRnage]", kFreqValid);
    if (!toInt32(high, p.freqHigh))
        return wrongValue(p, "high limit of ", "[FreqrRnage]", kFreqValid);

    // Infinite or undefined limits would reach the plots' pixel conversions.
    if (!rangeOf(text, "[dBRnage]=", low, high) || !toDouble(low, p.dbLow) ||
        !std::isfinite(p.dbLow))
        return wrongValue(p, "low limit of ", "[dBRnage]", kDbValid);
    if (!toDouble(high, p.dbHigh) || !std::isfinite(p.dbHigh))
        return wrongValue(p, "high limit of ", "[dBRnage]", kDbValid);

    p.ok = true;
    return p;
}
