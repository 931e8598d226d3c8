#include "engine/sound/TextEncoding.h"

#include <cerrno>
#include <iconv.h>

namespace {

// glibc's plain "SHIFT-JIS" lacks the Windows extensions and maps 0x5C to the yen sign.
const char* const kShiftJis = "CP932";

bool notText(unsigned char c) {
    return c == 0x00 || c == 0x7F || c == 0xFF;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. `nonAscii` tells
// whether a character of two or more bytes was seen.
bool isWellFormedUtf8(const unsigned char* b, size_t length, bool& nonAscii) {
    nonAscii = false;
    for (size_t i = 0; i < length;) {
        const unsigned char c = b[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        size_t extra = 0;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the first continuation byte
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            lo = c == 0xE0 ? 0xA0 : 0x80;
            hi = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (length - i <= extra)
            return false;
        if (b[i + 1] < lo || b[i + 1] > hi)
            return false;
        for (size_t k = 2; k <= extra; ++k)
            if (b[i + k] < 0x80 || b[i + k] > 0xBF)
                return false;
        i += extra + 1;
    }
    return true;
}

bool convert(const char* to, const char* from, const char* bytes, std::size_t length,
             std::string& out) {
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return false;
    // Half-width katakana grows from one byte to three; the loop still grows on E2BIG.
    std::string buf(length * 3 + 4, '\0');
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = length;
    std::size_t used = 0;
    bool complete = true;
    while (inLeft > 0) {
        char* o = &buf[used];
        std::size_t oLeft = buf.size() - used;
        const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        used = std::size_t(o - buf.data());
        if (r != std::size_t(-1))
            break;
        if (errno == E2BIG) {
            buf.resize(buf.size() * 2);
            continue;
        }
        complete = false; // EILSEQ or EINVAL: keep what was converted before
        break;
    }
    iconv_close(cd);
    out.assign(buf.data(), used);
    return complete;
}

// Whether the bytes are CP932 that converts whole and comes back byte for byte, so that reading
// them as Shift-JIS and saving again writes the same line.
bool isExactShiftJis(const char* bytes, std::size_t length) {
    std::string utf8, back;
    return convert("UTF-8", kShiftJis, bytes, length, utf8) &&
           convert(kShiftJis, "UTF-8", utf8.data(), utf8.size(), back) &&
           back.compare(0, std::string::npos, bytes, length) == 0;
}

} // namespace

int GetCharset(const char* bytes, int length) {
    if (!bytes || length <= 0)
        return charsetAscii;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    // Wherever it stands, not only before the first Shift-JIS byte: a line the byte rule took for
    // Shift-JIS because of an earlier byte would be converted into other text.
    for (int i = 0; i < length; ++i)
        if (notText(b[i]))
            return charsetAscii;
    bool nonAscii = false;
    const bool utf8 = isWellFormedUtf8(b, size_t(length), nonAscii);
    if (utf8 && nonAscii)
        return charsetUtf8;
    // Half-width katakana (single bytes 0xA1 to 0xDF) escape the byte rule below, which would keep
    // them as eight-bit text that a save then rewrites as UTF-8.
    if (!utf8 && isExactShiftJis(bytes, size_t(length)))
        return charsetShiftJis;
    bool allAscii = true, mayBeUtf8 = true, sawShiftJisLead = false;
    for (int i = 0; i < length; ++i) {
        const unsigned char c = b[i];
        if (c < 0x80)
            continue;
        allAscii = false;
        if (c >= 0x81 && c <= 0xA0) {
            if (i == 0 || b[i - 1] <= 0xBF)
                return charsetShiftJis;
            sawShiftJisLead = true;
        }
        if (c >= 0xC0 && i + 1 < length && (b[i + 1] < 0x80 || b[i + 1] > 0xBF))
            mayBeUtf8 = false;
    }
    if (allAscii)
        return charsetAscii;
    if (sawShiftJisLead)
        return charsetShiftJis;
    return mayBeUtf8 ? charsetUtf8 : charsetEightBit;
}

bool shiftJisToUtf8(const char* bytes, std::size_t length, std::string& out) {
    return convert("UTF-8", kShiftJis, bytes, length, out);
}

bool utf8ToShiftJis(const char* bytes, std::size_t length, std::string& out) {
    return convert(kShiftJis, "UTF-8", bytes, length, out);
}

wxString textFromLineBytes(const char* bytes, std::size_t length) {
    if (!bytes || length == 0)
        return wxString();
    bool nonAscii = false;
    if (isWellFormedUtf8(reinterpret_cast<const unsigned char*>(bytes), length, nonAscii))
        return wxString::FromUTF8(bytes, length);
    return wxString::From8BitData(bytes, length);
}

wxString convANSItoUTF8(const char* bytes, unsigned int length) {
    std::string out;
    shiftJisToUtf8(bytes, length, out);
    return wxString::FromUTF8(out.data(), out.size());
}

wxString convUTF8toANSI(const char* bytes, unsigned int length) {
    std::string out;
    utf8ToShiftJis(bytes, length, out);
    return wxString::From8BitData(out.data(), out.size());
}

bool canConvUTF8toANSI(const char* bytes, unsigned int length) {
    std::string out;
    return utf8ToShiftJis(bytes, length, out);
}

std::string encodeMemoText(const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    const std::string own(utf8.data(), utf8.length());
    std::string sjis;
    if (utf8ToShiftJis(own.data(), own.size(), sjis)) {
        // Only a line the reader classes as Shift-JIS is converted back; anything else it
        // keeps byte for byte (half-width katakana can look like UTF-8, for one).
        if (GetCharset(sjis.data(), int(sjis.size())) != charsetShiftJis)
            return sjis == own ? sjis : own;
        std::string back;
        if (shiftJisToUtf8(sjis.data(), sjis.size(), back) && back == own)
            return sjis;
    }
    return own;
}
