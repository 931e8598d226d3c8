#include "engine/memo/InteropDetail.h"

#include <charconv>
#include <cstdlib>

#include "engine/memo/CArchMemo.h"
#include "engine/memo/TranscriptFile.h"

namespace interop_detail {

namespace {

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

} // namespace

std::string utf8Of(const wxString& s) {
    const wxScopedCharBuffer bytes = s.utf8_str();
    return std::string(bytes.data(), bytes.length());
}

std::string lineMessage(int line, const char* what) {
    return "line " + std::to_string(line) + " : " + what;
}

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

} // namespace interop_detail
