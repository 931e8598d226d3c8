#include "engine/sound/TextEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int charset(const std::string& s) {
    return GetCharset(s.data(), int(s.size()));
}

std::string toUtf8(const std::string& sjis) {
    return std::string(convANSItoUTF8(sjis.data(), unsigned(sjis.size())).utf8_str());
}

std::string toSjis(const std::string& utf8) {
    const wxString s = convUTF8toANSI(utf8.data(), unsigned(utf8.size()));
    const wxScopedCharBuffer b = s.To8BitData(); // may point into s
    return std::string(b.data(), b.length());
}

const std::string kHiraganaUtf8 = "\xE3\x81\x82\xE3\x81\x84"; // あい
const std::string kHiraganaSjis = "\x82\xA0\x82\xA2";

} // namespace

// NUL, DEL or 0xFF make a line "not text"; well-formed UTF-8 Japanese is UTF-8 although the byte
// rule alone would see 0x81 after 0x81 and say Shift-JIS; other lines that are exact CP932
// (half-width katakana among them) are Shift-JIS; the rest falls back to the byte rule.
TEST(TextEncoding, CharsetClasses) {
    const std::pair<std::string, int> cases[] = {
        // clang-format off
        {"", charsetAscii}, {"plain text", charsetAscii}, {"\xC3\xA9\x7F", charsetAscii},
        {std::string("\0\x82\xA0", 3), charsetAscii}, {"a\xFF\x82\xA0", charsetAscii},
        {kHiraganaSjis, charsetShiftJis},
        {"ab\x93\xFA\x96\x7B", charsetShiftJis}, // 日本 after ASCII
        {"\xE3\x81", charsetShiftJis}, {"caf\xC3\xA9", charsetUtf8},
        {kHiraganaUtf8, charsetUtf8},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", charsetUtf8}, // 日本語
        // ｱｲｳ, あｱｲ, ﾃa, ﾀｯ (not an overlong "/")
        {"\xB1\xB2\xB3", charsetShiftJis}, {"\x82\xA0\xB1\xB2", charsetShiftJis},
        {"\xC3" "a", charsetShiftJis}, {"\xC0\xAF", charsetShiftJis},
        // No CP932 (a cut character, a byte without a code): byte rule.
        {"\xE9t\xE9", charsetEightBit}, {"\xC0\xAF\x80", charsetUtf8},
        // NUL or DEL after bytes the byte rule alone would take for Shift-JIS.
        {"A\xE1\x80\x81\x7F", charsetAscii}, {std::string("\xE1\x98\x91\0", 4), charsetAscii},
        {"\x82\xA0\x7F", charsetAscii},
        // clang-format on
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(charset(bytes), expected) << bytes;
    EXPECT_EQ(GetCharset(nullptr, 4), charsetAscii);
}

// UTF-8 to CP932 keeps circled digits and the backslash; a long line is converted whole. (The
// fuzz replay checks both directions against iconv on cut, emoji and half-width seeds.)
TEST(TextEncoding, Conversions) {
    EXPECT_EQ(toSjis("\xE2\x91\xA0\\"), "\x87\x40\\"); // ①
    EXPECT_EQ(toUtf8(std::string(300, '\xB1')).size(), 900u);
}

// What a memo writer saves, read back as a memo reader does, is the text it started from: CP932
// where that reads back exactly, else UTF-8. (The fuzz replay's starting inputs bring ﾃｽ, which in
// CP932, C3 BD, would read back as UTF-8 ý, and a DEL after bytes the byte rule alone would take
// for Shift-JIS.) A line holding such a DEL is "not text": it is read as it is, not converted into
// other characters. Bytes that only look like UTF-8 (overlong NUL, surrogate, above U+10FFFF)
// are kept one character per byte.
TEST(TextEncoding, MemoTextSurvivesSaveAndRead) {
    const std::string delAfterLead = "A\xE1\x80\x81\x7F"; // A, U+1001, DEL
    const std::string texts[] = {"", "plain ~ and \\", "\xE2\x91\xA0\xEF\xBD\x9E"}; // ①～
    for (const std::string& t : texts) {
        const std::string line = encodeMemoText(wxString::FromUTF8(t.data(), t.size()));
        EXPECT_EQ(charset(line) == charsetShiftJis ? toUtf8(line) : line, t) << t;
    }
    EXPECT_EQ(encodeMemoText(wxString::FromUTF8(kHiraganaUtf8.c_str())), kHiraganaSjis);
    EXPECT_EQ(encodeMemoText(wxString::FromUTF8("\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3")),
              "\xB1\xB2\xB3"); // ｱｲｳ
    EXPECT_EQ(textFromLineBytes(delAfterLead.data(), 5),
              wxString::FromUTF8(delAfterLead.data(), 5));
    EXPECT_EQ(textFromLineBytes("caf\xC3\xA9", 5), wxString::FromUTF8("caf\xC3\xA9"));
    for (const std::string bytes : {"\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
        const wxString kept = textFromLineBytes(bytes.data(), bytes.size());
        ASSERT_EQ(kept.length(), bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i)
            EXPECT_EQ(kept[i].GetValue(), static_cast<unsigned char>(bytes[i]));
    }
    EXPECT_TRUE(textFromLineBytes(nullptr, 3).empty());
}
