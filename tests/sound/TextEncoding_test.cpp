#include "sound/TextEncoding.h"

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
    wxString s = convUTF8toANSI(utf8.data(), unsigned(utf8.size()));
    const wxScopedCharBuffer b = s.To8BitData();
    return std::string(b.data(), b.length());
}

// What a memo reader does with one line of the file.
std::string readBack(const std::string& line) {
    return charset(line) == charsetShiftJis ? toUtf8(line) : line;
}

const std::string kHiraganaUtf8 = "\xE3\x81\x82\xE3\x81\x84"; // あい
const std::string kHiraganaSjis = "\x82\xA0\x82\xA2";

} // namespace

TEST(TextEncoding, CharsetClasses) {
    EXPECT_EQ(GetCharset("", 0), charsetAscii);
    EXPECT_EQ(GetCharset(nullptr, 4), charsetAscii);
    EXPECT_EQ(charset("plain text"), charsetAscii);
    EXPECT_EQ(charset(std::string("\0\x82\xA0", 3)), charsetAscii);
    EXPECT_EQ(charset("\xC3\xA9\x7F"), charsetAscii);
    EXPECT_EQ(charset("a\xFF\x82\xA0"), charsetAscii);
    EXPECT_EQ(charset(kHiraganaSjis), charsetShiftJis);
    EXPECT_EQ(charset("ab\x93\xFA\x96\x7B"), charsetShiftJis); // 日本 after ASCII
    EXPECT_EQ(charset("\xC3"
                      "a"),
              charsetEightBit);
    EXPECT_EQ(charset("caf\xC3\xA9"), charsetUtf8);
    // Well-formed UTF-8 Japanese: the byte rule alone would see 0x81 after 0x81 and say 1.
    EXPECT_EQ(charset(kHiraganaUtf8), charsetUtf8);
    EXPECT_EQ(charset("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"), charsetUtf8); // 日本語
    // Cut or overlong UTF-8 falls back to the byte rule.
    EXPECT_EQ(charset("\xE3\x81"), charsetShiftJis);
    EXPECT_EQ(charset("\xC0\xAF"), charsetUtf8); // overlong: byte rule, no Shift-JIS lead
}

TEST(TextEncoding, ShiftJisToUtf8) {
    EXPECT_EQ(toUtf8(kHiraganaSjis), kHiraganaUtf8);
    // ー plus three half-width katakana: 5 bytes become 12.
    EXPECT_EQ(toUtf8("\x81\x5B\xB1\xB2\xB3"), "\xE3\x83\xBC\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3");
    EXPECT_EQ(toUtf8(std::string(300, '\xB1')).size(), 900u);
    // A cut double-byte character: the text before it.
    EXPECT_EQ(toUtf8(kHiraganaSjis + "\x82"), kHiraganaUtf8);
    // Windows extensions and the backslash.
    EXPECT_EQ(toUtf8("\x87\x40"), "\xE2\x91\xA0"); // ①
    EXPECT_EQ(toUtf8("\x81\x60"), "\xEF\xBD\x9E"); // full-width tilde
    EXPECT_EQ(toUtf8("C:\\memo~1"), "C:\\memo~1"); // no yen sign, no overline
}

TEST(TextEncoding, Utf8ToShiftJis) {
    EXPECT_EQ(toSjis(kHiraganaUtf8), kHiraganaSjis);
    EXPECT_EQ(toSjis("\xE2\x91\xA0\\"), "\x87\x40\\");
    EXPECT_TRUE(canConvUTF8toANSI(kHiraganaUtf8.data(), unsigned(kHiraganaUtf8.size())));
    // An emoji has no Shift-JIS code: the conversion stops before it.
    const std::string mixed = "\xE3\x81\x82\xF0\x9F\x98\x80\xE3\x81\x84";
    EXPECT_EQ(toSjis(mixed), "\x82\xA0");
    EXPECT_FALSE(canConvUTF8toANSI(mixed.data(), unsigned(mixed.size())));
}

TEST(TextEncoding, MemoTextSurvivesSaveAndRead) {
    const std::string texts[] = {
        "",
        "plain ~ and \\",
        kHiraganaUtf8,
        "\xE2\x91\xA0\xEF\xBD\x9E",     // ①～ (CP932 only)
        "\xEF\xBE\x83\xEF\xBD\xBD",     // ﾃｽ: CP932 C3 BD would read back as UTF-8 ý
        "\xE3\x81\x82\xF0\x9F\x98\x80", // あ😀
        "na\xC3\xAF"
        "ve", // naïve
    };
    for (const std::string& t : texts) {
        const std::string line = encodeMemoText(wxString::FromUTF8(t.data(), t.size()));
        EXPECT_EQ(readBack(line), t) << t;
    }
    EXPECT_EQ(encodeMemoText(wxString::FromUTF8(kHiraganaUtf8.c_str())), kHiraganaSjis);
    EXPECT_EQ(encodeMemoText(wxString::FromUTF8("\xEF\xBE\x83\xEF\xBD\xBD")),
              "\xEF\xBE\x83\xEF\xBD\xBD");
}
