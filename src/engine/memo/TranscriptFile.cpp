#include "engine/memo/TranscriptFile.h"

#include "engine/analysis/OpeningDefaults.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <charconv>
#include <cmath>

#include "engine/sound/TextEncoding.h"

namespace {

// Lead bytes of CP932's two-byte characters.
bool isShiftJisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Full-width spaces become blanks. In CP932 the pair 0x81 0x40 counts only where a character
// starts: 0x81 may be the second byte of another character followed by an ASCII "@".
std::string blankFullWidthSpaces(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    if (GetCharset(s.data(), int(std::min<size_t>(s.size(), INT32_MAX))) == charsetUtf8) {
        for (size_t i = 0; i < s.size(); ++i) {
            if (s.compare(i, 3, "\xE3\x80\x80") == 0) {
                out += ' ';
                i += 2;
            } else {
                out += s[i];
            }
        }
        return out;
    }
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (isShiftJisLead(c) && i + 1 < s.size()) {
            if (c == 0x81 && s[i + 1] == 0x40)
                out += ' ';
            else
                out.append(s, i, 2);
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

template <typename T> bool wholeNumber(const char* first, const char* last, T& value) {
    const auto r = std::from_chars(first, last, value);
    return r.ec == std::errc() && r.ptr == last;
}

// trunc(seconds x rate) when it is a sample position a 32-bit count can hold.
bool toSample(double seconds, int32_t rate, int32_t& sample) {
    const double v = seconds * rate;
    if (!std::isfinite(v) || v < 0.0 || v >= 2147483648.0)
        return false;
    sample = int32_t(v);
    return true;
}

void appendInt(std::string& s, long long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, r.ptr);
}

// printf's "%lf" without the locale: six decimals.
void appendFixed6(std::string& s, double v) {
    char buf[400]; // the largest double in fixed notation fits
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    if (r.ec == std::errc())
        s.append(buf, r.ptr);
}

} // namespace

int TranscriptLineReader::get() {
    if (m_pendingUsed < m_pending.size())
        return static_cast<unsigned char>(m_pending[m_pendingUsed++]);
    return std::getc(m_file);
}

bool TranscriptLineReader::next(std::string& line) {
    line.clear();
    if (!m_file || m_ended)
        return false;
    if (!m_started) {
        m_started = true;
        for (int i = 0; i < 3; ++i) {
            const int c = std::getc(m_file);
            if (c == EOF)
                break;
            m_pending += char(c);
        }
        if (m_pending == "\xEF\xBB\xBF")
            m_pending.clear();
    }
    for (;;) {
        const int c = get();
        if (c == EOF || c == 0xFF) {
            m_ended = true;
            // A last line without its LF is still text the user wrote.
            return !line.empty();
        }
        if (c == '\n')
            return true;
        line += char(c);
    }
}

std::optional<std::string> normaliseTranscriptLine(const std::string& raw) {
    std::string s;
    s.reserve(raw.size());
    for (char c : raw)
        if (c != '\r')
            s += c;
    if (!s.empty() && s[0] == '%')
        return std::nullopt;
    std::replace(s.begin(), s.end(), '\t', ' ');
    s = blankFullWidthSpaces(s);
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue; // drops leading blanks and the rest of every run
        out += c;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

bool parseTranscriptRange(const std::string& line, int32_t expectedNumber, int32_t sampleFreq,
                          TranscriptRange& out) {
    if (sampleFreq <= 0)
        return false;
    const size_t numberEnd = line.find(' ');
    if (numberEnd == std::string::npos)
        return false;
    const size_t rangeEnd = line.find(' ', numberEnd + 1);
    if (rangeEnd == std::string::npos || rangeEnd + 1 >= line.size())
        return false; // no label
    const char* text = line.data();

    long long number = 0;
    if (!wholeNumber(text, text + numberEnd, number) || number != expectedNumber)
        return false;

    const char* first = text + numberEnd + 1;
    const char* last = text + rangeEnd;
    double start = 0.0, end = 0.0;
    const auto s = std::from_chars(first, last, start);
    if (s.ec != std::errc() || s.ptr == last || *s.ptr != '-')
        return false;
    if (!wholeNumber(s.ptr + 1, last, end))
        return false;
    if (!(start >= 0.0) || !(end > start))
        return false;

    TranscriptRange r;
    if (!toSample(start, sampleFreq, r.startSample) || !toSample(end, sampleFreq, r.endSample))
        return false;
    r.number = int32_t(number);
    r.startSec = start;
    r.endSec = end;
    r.label = line.substr(rangeEnd + 1);
    out = std::move(r);
    return true;
}

TranscriptDefaults transcriptDefaults(int32_t sampleFreq) {
    // The transform is the one opening sets; low rates take a finer hop here.
    const int32_t ssft = int32_t(openingDefaults(sampleFreq, 0).ssftSize);
    if (ssft == 2048)
        return {ssft, 256, 5900};
    return {ssft, 512, 7900};
}

TranscriptFrames transcriptFrames(int32_t rangeSamples, const TranscriptDefaults& defaults) {
    TranscriptFrames f;
    const int64_t interval = std::max(defaults.interval, 1);
    // C++ division truncates toward zero, as the count wants.
    const int64_t r = (int64_t(rangeSamples) - 1 - defaults.ssftSize) / interval;
    f.expanded = r <= 9;
    f.repeatTimes = f.expanded ? 10 : int32_t(r);
    f.executionSize = interval * (int64_t(f.repeatTimes) + 1);
    return f;
}

std::string transcriptParameterBlock(const TranscriptWave& wave, const TranscriptFrames& frames) {
    const bool low = wave.sampleFreq < 22050;
    const double rate = wave.sampleFreq > 0 ? double(wave.sampleFreq) : 0.0;
    auto seconds = [rate](double samples) { return rate > 0.0 ? samples / rate : 0.0; };

    std::string s = "    ///// wave file parameter /////     \n[SampleFreq]=";
    appendInt(s, wave.sampleFreq);
    s += " [QuantBit]=";
    appendInt(s, wave.quantBit);
    s += " [ChannelCount]=";
    appendInt(s, wave.channelCount);
    s += " [TotalLength]=";
    appendInt(s, wave.totalSamples);
    s += " [TotalSec]=";
    appendFixed6(s, seconds(wave.totalSamples));
    s += low ? "[s] \n     ///// execution parameter /////     \n[SsftSize]=2048 "
               "[SsftSec]=0.047[s] [Interval]=256 [RepeatTimes]="
             : "[s] \n     ///// execution parameter /////     \n[SsftSize]=4096 "
               "[SsftSec]=0.093[s] [Interval]=512 [RepeatTimes]=";
    appendInt(s, frames.repeatTimes);
    s += " [NoiseParameter]=0.0005000000 [ExcutionSize]=";
    appendInt(s, frames.executionSize);
    s += " [ExcutionSec]=";
    appendFixed6(s, seconds(double(frames.executionSize)));
    s += low ? "[s] [FreqrRnage]=[0,6000] [dBRnage]=[-130.0,0.0]"
             : "[s] [FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0]";
    return s;
}

wxString transcriptText(const std::string& bytes) {
    const int length = int(std::min<size_t>(bytes.size(), INT32_MAX));
    if (GetCharset(bytes.data(), length) == charsetShiftJis)
        return convANSItoUTF8(bytes.data(), unsigned(length));
    return textFromLineBytes(bytes.data(), bytes.size());
}

int32_t transcriptTermFreq(int32_t topFreq, int k) {
    const double f = std::trunc(topFreq * (1.0 - 0.1 * k));
    return f < 500.0 ? 500 : int32_t(std::min(f, 2147483647.0));
}

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

MemoImport importTranscript(const unsigned char* data, size_t size, const MemoImportSound& sound) {
    MemoImport result;
    if (sound.sampleFreq <= 0 || sound.totalSamples <= 0 || size > kMemoImportMax)
        return result;
    result.result = MemoImport::importOk;
    if (size == 0)
        return result;
    // The line reader reads a stream, so the bytes are read as one.
    std::unique_ptr<FILE, FileCloser> file(fmemopen(const_cast<unsigned char*>(data), size, "rb"));
    if (!file) {
        result.result = MemoImport::importOpenFailed;
        return result;
    }
    const TranscriptDefaults defaults = transcriptDefaults(sound.sampleFreq);
    const TranscriptWave described{sound.sampleFreq, sound.quantBit, sound.channelCount,
                                   sound.totalSamples};
    const int32_t windowMax = std::max<int32_t>(sound.windowMax, 1);
    const int32_t freqHigh = sound.freqHigh > 0
                                 ? sound.freqHigh
                                 : int32_t(openingDefaults(sound.sampleFreq, windowMax).freqHigh);

    MemoSlot* group = nullptr;
    bool titleTextSet = false;
    std::string label;
    TranscriptLineReader reader(file.get());
    std::string raw;
    for (int lineNo = 1; reader.next(raw); ++lineNo) {
        const std::optional<std::string> line = normaliseTranscriptLine(raw);
        if (!line)
            continue;
        const int titleNo = int(result.slots.size());
        TranscriptRange range;
        if (parseTranscriptRange(*line, titleNo + 1, sound.sampleFreq, range)) {
            if (range.endSample >= sound.totalSamples) {
                result.result = MemoImport::importDamaged;
                result.message =
                    "something wrong line : " + std::string(transcriptText(*line).utf8_str());
                result.line = lineNo;
                return result;
            }
            const int32_t start = range.startSample;
            int32_t end = range.endSample;
            if (end - start > windowMax) {
                end = start + windowMax;
                result.notes.push_back("time range limited.");
            }
            const TranscriptFrames frames = transcriptFrames(end - start, defaults);
            if (frames.expanded)
                result.notes.push_back("expand range size.");

            MemoSlot slot =
                importedGroup(sound, transcriptText(transcriptParameterBlock(described, frames)),
                              start, freqHigh, titleNo);

            auto title = std::make_unique<CArchMemo>();
            title->m_memoText = "not exist label body in trn file.";
            title->m_relX = title->m_relY = 0.01f;
            title->m_freq = defaults.topFreq;
            title->m_titleNo = titleNo;
            slot.terms.push_back(std::move(title));
            result.slots.push_back(std::move(slot));
            group = &result.slots.back();
            label = range.label;
            titleTextSet = false;
            continue;
        }
        if (!group)
            continue; // text before the first range belongs to no group
        if (!titleTextSet) {
            group->terms.front()->m_memoText = transcriptText(*line + " " + label);
            titleTextSet = true;
            continue;
        }
        // Terms step down the panel and the frequency axis by a tenth each.
        const int k = int(group->terms.size());
        auto term = std::make_unique<CArchMemo>();
        term->m_memoText = transcriptText(*line);
        term->m_relX = 0.01f;
        term->m_relY = float(0.01 + 0.1 * k);
        term->m_freq = transcriptTermFreq(defaults.topFreq, k);
        term->m_titleNo = titleNo - 1;
        term->m_termNo = k;
        group->terms.push_back(std::move(term));
    }
    return result;
}
