#include <gtest/gtest.h>

#include "engine/memo/PngHeader.h"
#include "support/TestWav.h"

// The declared size comes from the header alone, and the header is read whole or not at all:
// every cut of its 24 bytes is refused, also one inside the height field.
TEST(PngHeader, SizeFromTheHeaderAndEveryCutRefused) {
    const std::string head = std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16) +
                             std::string("\0\0\x01\x2C\0\0\0\x14", 8); // 300 x 20
    uint32_t w = 0, h = 0;
    testwav::TempFile whole(head + std::string(5, '\0'));
    EXPECT_TRUE(pngSize(whole.path, &w, &h) && w == 300 && h == 20);
    for (size_t cut = 0; cut < head.size(); ++cut) {
        testwav::TempFile file(head.substr(0, cut));
        EXPECT_FALSE(pngSize(file.path, &w, &h)) << cut;
    }
}
