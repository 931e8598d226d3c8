#include <gtest/gtest.h>

#include <string>

#include "sound/CWavPara.h"
#include "sound/WavHeader.h"
#include "support/TestWav.h"

namespace {

std::string header(uint32_t dataBytes, int32_t freq, int16_t bits, int16_t channels) {
    std::string h(kWavHeaderBytes + 1, '\xA5'); // one sentinel byte past the header
    writeWavHeader(reinterpret_cast<unsigned char*>(&h[0]), dataBytes, freq, bits, channels);
    EXPECT_EQ(h.back(), '\xA5');
    h.pop_back();
    return h;
}

} // namespace

TEST(WavHeader, FieldsMatchTheCanonicalLayoutByteForByte) {
    // One second at 16 kHz mono: riff size 32,036, byte rate 32,000, data 32,000.
    const std::string h = header(32000, 16000, 16, 1);
    EXPECT_EQ(h, std::string("RIFF\x24\x7D\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x80\x3E\0\0"
                             "\0\x7D\0\0\x02\0\x10\0data\0\x7D\0\0",
                             44));
    // Distinct bytes in every field show a swapped or shifted byte; stereo doubles the
    // block and the byte rate. The test helper writes the same layout on its own.
    testwav::Format f;
    f.channels = 2;
    f.freq = 0x00030201;
    EXPECT_EQ(header(0x01020304, 0x00030201, 16, 2), testwav::header(f, 0x01020304));
}

TEST(WavHeader, TheReaderAcceptsWhatItDescribes) {
    std::string bytes = header(2000, 44100, 16, 1);
    for (int16_t v : testwav::ramp(1000))
        testwav::put16(bytes, uint16_t(v));
    testwav::TempFile file(bytes);
    CWavPara wav;
    ASSERT_EQ(wav.setSizeFromWav(file.c_str()), CWavPara::resultOK);
    EXPECT_EQ(wav.m_sampleFreq, 44100);
    EXPECT_EQ(wav.m_channelCount, 1);
    EXPECT_EQ(wav.m_totalSamples, 1000);
}
