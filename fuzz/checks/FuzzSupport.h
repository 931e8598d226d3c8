#pragma once

// What the checks share: the input as a file for readers that take a path or a FILE*, message
// formatting, and a UTF-8 test that does not depend on the code under test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzz {

// The input as a file the readers can open by name. One memfd per process, rewritten for every
// input, so a long run neither touches the disk nor leaves files behind. Empty when no memory
// file can be made.
std::string memoryFilePath(const uint8_t* data, size_t size);

// The input as a read-only stream; the caller closes it. Null when it cannot be opened.
FILE* memoryStream(const uint8_t* data, size_t size);

// printf-style text for a broken invariant.
std::string broken(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Any byte value below
// 0x80 (NUL included) is a character.
bool isValidUtf8(const std::string& bytes);

// The text's UTF-8 bytes, embedded NULs included.
template <typename WxString> std::string utf8Of(const WxString& text) {
    const auto buffer = text.utf8_str();
    return std::string(buffer.data(), buffer.length());
}

} // namespace fuzz
