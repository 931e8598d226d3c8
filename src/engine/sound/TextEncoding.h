#pragma once

// Conversion between the two encodings of memo and transcript files: Shift-JIS as Windows
// writes it (iconv's "CP932", a superset of plain Shift-JIS with circled digits, the
// full-width tilde and a backslash that stays a backslash) and UTF-8, which the program uses
// in memory. Each call opens its own iconv descriptor, so the functions are thread safe.

#include <wx/string.h>

#include <cstddef>
#include <string>

// Encoding classes returned by GetCharset.
enum {
    charsetAscii = 0,    // plain ASCII, or not text (NUL, DEL or 0xFF inside)
    charsetShiftJis = 1, // convert with convANSItoUTF8
    charsetEightBit = 2, // eight-bit text that is not UTF-8; kept as it is
    charsetUtf8 = 3      // UTF-8; kept as it is
};

// Guesses the encoding of one line. A NUL, DEL or 0xFF anywhere makes it class 0. A well-formed
// UTF-8 line with non-ASCII characters is class 3 before the byte rule, which would take most
// Japanese UTF-8 for Shift-JIS; any other line that CP932 converts and gives back byte for byte
// is class 1, so half-width katakana are not kept as eight-bit text.
int GetCharset(const char* bytes, int length);

// The bytes of a line that is kept unconverted, as text: UTF-8 when they are well-formed UTF-8,
// otherwise one character per byte, so that nothing is dropped. Strictly well-formed: the
// toolkit's own decoder takes an overlong NUL for a NUL and makes characters above U+10FFFF,
// which it then cannot write back.
wxString textFromLineBytes(const char* bytes, std::size_t length);

// Shift-JIS (CP932) to UTF-8. On an invalid or incomplete sequence the result holds what was
// converted before it; empty when iconv is unavailable.
wxString convANSItoUTF8(const char* bytes, unsigned int length);

// UTF-8 to Shift-JIS (CP932), cut at the first character CP932 has no code for. wxString holds
// Unicode, so the result carries one character per output byte (U+0000 to U+00FF);
// To8BitData() gives the bytes back. Writers prefer encodeMemoText below.
wxString convUTF8toANSI(const char* bytes, unsigned int length);

// Byte-level forms of the two conversions: `out` receives what was converted, the result is
// true only when the whole input was converted.
bool shiftJisToUtf8(const char* bytes, std::size_t length, std::string& out);
bool utf8ToShiftJis(const char* bytes, std::size_t length, std::string& out);

// True when every character of the UTF-8 bytes has a CP932 form.
bool canConvUTF8toANSI(const char* bytes, unsigned int length);

// The bytes a memo writer puts in the file for one line of text: CP932 when the reader
// (GetCharset, then convANSItoUTF8 for class 1) gets exactly this text back from them,
// otherwise the text's own UTF-8 bytes, which the reader keeps as they are. Either way a
// save-and-read cycle loses nothing.
std::string encodeMemoText(const wxString& text);
