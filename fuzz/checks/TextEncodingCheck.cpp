#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "FuzzChecks.h"
#include "FuzzSupport.h"
#include "engine/sound/TextEncoding.h"

namespace fuzz::text_encoding {
namespace {

// The reference: iconv into a small buffer that is emptied whenever it fills, so no output can
// be lost to a buffer size. Stops at the first invalid or incomplete sequence, as the engine's
// conversions are documented to; `complete` tells whether it got to the end.
struct Reference {
    std::string out;
    bool complete = false;
};

Reference convertGrowing(iconv_t cd, const std::string& in) {
    Reference r;
    if (cd == iconv_t(-1))
        return r;
    iconv(cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char chunk[8]; // one UTF-8 character at most takes 4 bytes
    for (;;) {
        char* dst = chunk;
        size_t dstLeft = sizeof chunk;
        const size_t n = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        r.out.append(chunk, size_t(dst - chunk));
        if (n != size_t(-1)) {
            r.complete = true;
            return r;
        }
        if (errno != E2BIG)
            return r;
    }
}

Reference sjisToUtf8(const std::string& in) {
    static const iconv_t cd = iconv_open("UTF-8", "CP932");
    return convertGrowing(cd, in);
}

Reference utf8ToSjis(const std::string& in) {
    static const iconv_t cd = iconv_open("CP932", "UTF-8");
    return convertGrowing(cd, in);
}

int charset(const std::string& s) {
    return GetCharset(s.data(), int(std::min<size_t>(s.size(), INT_MAX)));
}

// Shift-JIS to UTF-8, both forms: exactly the reference's output, which must be UTF-8.
std::string checkFromSjis(const std::string& in) {
    const Reference ref = sjisToUtf8(in);
    if (!isValidUtf8(ref.out))
        return "the reference conversion gave bytes that are not UTF-8";
    std::string out;
    const bool complete = shiftJisToUtf8(in.data(), in.size(), out);
    if (out != ref.out || complete != ref.complete)
        return broken("shiftJisToUtf8 gave %zu bytes (complete %d), the reference %zu (%d)",
                      out.size(), complete, ref.out.size(), ref.complete);
    const std::string viaWx = utf8Of(convANSItoUTF8(in.data(), unsigned(in.size())));
    if (viaWx != ref.out)
        return broken("convANSItoUTF8 gave %zu bytes, the reference %zu", viaWx.size(),
                      ref.out.size());
    return std::string();
}

// UTF-8 to Shift-JIS, both forms: exactly the reference's output, which must read back whole.
std::string checkToSjis(const std::string& in) {
    const Reference ref = utf8ToSjis(in);
    std::string out;
    const bool complete = utf8ToShiftJis(in.data(), in.size(), out);
    if (out != ref.out || complete != ref.complete)
        return broken("utf8ToShiftJis gave %zu bytes (complete %d), the reference %zu (%d)",
                      out.size(), complete, ref.out.size(), ref.complete);
    const wxString sjis = convUTF8toANSI(in.data(), unsigned(in.size()));
    const wxScopedCharBuffer bytes = sjis.To8BitData(); // may point into `sjis`
    if (std::string(bytes.data(), bytes.length()) != ref.out)
        return broken("convUTF8toANSI gave %zu bytes, the reference %zu", bytes.length(),
                      ref.out.size());
    if (canConvUTF8toANSI(in.data(), unsigned(in.size())) != ref.complete)
        return "canConvUTF8toANSI disagrees with the conversion";
    if (!sjisToUtf8(ref.out).complete)
        return "Shift-JIS written by the conversion does not read back";
    return std::string();
}

// A memo text line (Unicode text without line breaks) written by encodeMemoText and decoded as
// the memo reader decodes a text line comes back unchanged.
std::string checkMemoText(const std::string& in) {
    if (in.find_first_of("\r\n") != std::string::npos || !isValidUtf8(in))
        return std::string();
    const wxString text = wxString::FromUTF8(in.data(), in.size());
    const std::string line = encodeMemoText(text);
    wxString back;
    if (charset(line) == charsetShiftJis)
        back = convANSItoUTF8(line.data(), unsigned(line.size()));
    else if (!line.empty())
        back = wxString::FromUTF8(line.data(), line.size());
    if (back != text)
        return broken("memo text \"%s\" saved as %zu bytes (class %d) reads back as \"%s\"",
                      in.c_str(), line.size(), charset(line), utf8Of(back).c_str());
    return std::string();
}

} // namespace

std::string check(const uint8_t* data, size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    const int c = charset(in);
    if (c < charsetAscii || c > charsetUtf8)
        return broken("charset class %d", c);
    if (std::string b = checkFromSjis(in); !b.empty())
        return b;
    if (std::string b = checkToSjis(in); !b.empty())
        return b;
    return checkMemoText(in);
}

} // namespace fuzz::text_encoding
