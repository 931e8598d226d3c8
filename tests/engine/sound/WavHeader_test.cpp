#include <gtest/gtest.h>

#include <string>

#include "engine/sound/WavHeader.h"
#include "support/TestWav.h"

// One second at 16 kHz mono: riff size 32,036, byte rate 32,000, data 32,000. Distinct bytes in
// every field show a swapped or shifted byte; stereo doubles the block and the byte rate. The
// test helper, whose files the reader tests read, writes the same layout on its own. Nothing is
// written past the 44 bytes.
TEST(WavHeader, FieldsMatchTheCanonicalLayoutByteForByte) {
    auto header = [](uint32_t dataBytes, int32_t freq, int16_t channels) {
        std::string h(kWavHeaderBytes + 1, '\xA5');
        writeWavHeader(reinterpret_cast<unsigned char*>(&h[0]), dataBytes, freq, 16, channels);
        EXPECT_EQ(h.back(), '\xA5');
        return h.substr(0, kWavHeaderBytes);
    };
    EXPECT_EQ(header(32000, 16000, 1),
              std::string("RIFF\x24\x7D\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0"
                          "\x80\x3E\0\0\0\x7D\0\0\x02\0\x10\0data\0\x7D\0\0",
                          44));
    EXPECT_EQ(header(0x01020304, 0x00030201, 2), testwav::header({1, 2, 0x00030201}, 0x01020304));
}
