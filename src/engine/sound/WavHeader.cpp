#include "engine/sound/WavHeader.h"

#include <cstring>

namespace {

void put16(unsigned char* at, uint16_t v) {
    at[0] = static_cast<unsigned char>(v & 0xFF);
    at[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* at, uint32_t v) {
    put16(at, static_cast<uint16_t>(v & 0xFFFF));
    put16(at + 2, static_cast<uint16_t>(v >> 16));
}

} // namespace

void writeWavHeader(unsigned char* out44, uint32_t dataBytes, int32_t sampleFreq, int16_t quantBit,
                    int16_t channels) {
    const uint32_t blockAlign = uint32_t(channels) * uint32_t(quantBit / 8);
    std::memcpy(out44, "RIFF", 4);
    put32(out44 + 4, dataBytes + 36u);
    std::memcpy(out44 + 8, "WAVEfmt ", 8);
    put32(out44 + 16, 16);
    put16(out44 + 20, 1); // PCM
    put16(out44 + 22, uint16_t(channels));
    put32(out44 + 24, uint32_t(sampleFreq));
    put32(out44 + 28, blockAlign * uint32_t(sampleFreq));
    put16(out44 + 32, uint16_t(blockAlign));
    put16(out44 + 34, uint16_t(quantBit));
    std::memcpy(out44 + 36, "data", 4);
    put32(out44 + 40, dataBytes);
}
