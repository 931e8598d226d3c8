#include <algorithm>
#include <cmath>

#include "FuzzChecks.h"
#include "FuzzSupport.h"
#include "engine/memo/TranscriptFile.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/ParameterBlock.h"
#include "engine/sound/TextEncoding.h"

namespace fuzz::transcript {
namespace {

// The bytes the line reader must hand out: a leading UTF-8 byte-order mark skipped, everything
// from the first 0xFF on ignored.
std::string bodyOf(const uint8_t* data, size_t size) {
    std::string body(reinterpret_cast<const char*>(data), size);
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0)
        body.erase(0, 3);
    const size_t end = body.find('\xFF');
    if (end != std::string::npos)
        body.resize(end);
    return body;
}

std::string checkNormalised(const std::string& raw, const std::string& line) {
    if (line.find_first_of("\r\t") != std::string::npos || line.find("  ") != std::string::npos ||
        (!line.empty() && (line.front() == ' ' || line.back() == ' ')))
        return broken("normalised line \"%s\" keeps a CR, TAB or blank it should not",
                      line.c_str());
    // In a UTF-8 line no full-width space may survive (removing blanks cannot make one).
    std::string plain;
    for (char c : raw)
        if (c != '\r')
            plain += c == '\t' ? ' ' : c;
    if (GetCharset(plain.data(), int(std::min<size_t>(plain.size(), INT32_MAX))) == charsetUtf8 &&
        line.find("\xE3\x80\x80") != std::string::npos)
        return broken("full-width space left in UTF-8 line \"%s\"", line.c_str());
    return std::string();
}

// Text the user wrote is kept: lines that are not Shift-JIS come back as their own UTF-8 bytes,
// or one character per byte when they are not UTF-8.
std::string checkText(const std::string& line) {
    const wxString text = transcriptText(line);
    const std::string utf8 = utf8Of(text);
    if (!isValidUtf8(utf8))
        return broken("memo text of \"%s\" is not UTF-8", line.c_str());
    if (GetCharset(line.data(), int(std::min<size_t>(line.size(), INT32_MAX))) == charsetShiftJis)
        return std::string();
    if (isValidUtf8(line) ? utf8 != line : text.length() != line.size())
        return broken("memo text of \"%s\" lost bytes: \"%s\"", line.c_str(), utf8.c_str());
    return std::string();
}

// A range accepted at `rate`: its parts as the line states them, and a parameter block that a
// confirmation accepts with the frames the import chose.
std::string checkRange(const std::string& line, int32_t number, int32_t rate,
                       const TranscriptRange& r) {
    const size_t first = line.find(' ');
    const size_t second = line.find(' ', first + 1);
    if (r.number != number || r.label.empty() || second == std::string::npos ||
        r.label != line.substr(second + 1))
        return broken("range \"%s\" read as number %d, label \"%s\"", line.c_str(), r.number,
                      r.label.c_str());
    if (!(r.startSec >= 0.0 && r.endSec > r.startSec) ||
        r.startSample != int32_t(std::trunc(r.startSec * rate)) ||
        r.endSample != int32_t(std::trunc(r.endSec * rate)) || r.startSample > r.endSample)
        return broken("range \"%s\" at %d Hz: %.17g-%.17g s, samples %d-%d", line.c_str(), rate,
                      r.startSec, r.endSec, r.startSample, r.endSample);

    // As the import does it: the range limited to the largest window of a sound long enough.
    const int32_t windowMax = CWavPara::kDefaultWindowMax;
    const TranscriptDefaults defaults = transcriptDefaults(rate);
    const TranscriptFrames frames =
        transcriptFrames(std::min(r.endSample - r.startSample, windowMax), defaults);
    const TranscriptWave wave{rate, 16, 1, r.endSample == INT32_MAX ? INT32_MAX : r.endSample + 1};
    const ParsedParameters p = parseParameterBlock(transcriptParameterBlock(wave, frames));
    if (!p.ok || p.senseMode != 0 || p.ssftSize != defaults.ssftSize ||
        p.interval != defaults.interval || p.repeatTimes != frames.repeatTimes ||
        p.noiseParameter != 0.0005f || frames.repeatTimes < 10)
        return broken("range \"%s\" at %d Hz: parameter block %s (%s)", line.c_str(), rate,
                      p.ok ? "read back wrong" : "refused",
                      p.errors.empty() ? "" : p.errors.front().c_str());
    return std::string();
}

} // namespace

std::string check(const uint8_t* data, size_t size) {
    FILE* file = memoryStream(data, size);
    if (!file)
        return "cannot open the input as a stream";
    std::vector<std::string> lines;
    TranscriptLineReader reader(file);
    for (std::string raw; reader.next(raw);)
        lines.push_back(raw);
    std::fclose(file);

    // The lines joined again give the body back; only an empty last line is not handed out.
    const std::string body = bodyOf(data, size);
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i)
        joined += (i ? "\n" : "") + lines[i];
    if (!body.empty() && body.back() == '\n')
        joined += '\n';
    if (joined != body)
        return broken("%zu lines do not join to the %zu bytes read", lines.size(), body.size());

    // Both tables of defaults, and the extremes of the sampling frequency.
    const int32_t rates[] = {16000, 44100, 1, INT32_MAX};
    int32_t ranges[std::size(rates)] = {};
    for (const std::string& raw : lines) {
        const std::optional<std::string> line = normaliseTranscriptLine(raw);
        const size_t lead = raw.find_first_not_of('\r');
        if (line.has_value() == (lead != std::string::npos && raw[lead] == '%'))
            return broken("\"%s\" %s for a comment", raw.c_str(), line ? "not taken" : "taken");
        if (!line)
            continue;
        if (std::string b = checkNormalised(raw, *line); !b.empty())
            return b;
        if (std::string b = checkText(*line); !b.empty())
            return b;
        for (size_t k = 0; k < std::size(rates); ++k) {
            TranscriptRange range;
            if (!parseTranscriptRange(*line, ranges[k] + 1, rates[k], range))
                continue;
            if (std::string b = checkRange(*line, ranges[k] + 1, rates[k], range); !b.empty())
                return b;
            ++ranges[k];
        }
    }
    return std::string();
}

} // namespace fuzz::transcript
