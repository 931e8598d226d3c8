#pragma once

#include <cstdint>

// The canonical 44-byte PCM WAV header, the layout the reader accepts: "RIFF", riff size,
// "WAVE", "fmt ", a 16-byte fmt chunk, "data", data size; every number little-endian,
// whatever the host. Shared by the in-memory play image and the WAV export.
constexpr int32_t kWavHeaderBytes = 44;

// Writes the header for dataBytes bytes of samples into out44[0 .. 43]:
//   4: dataBytes + 36 (wraps modulo 2^32 like the field itself; callers keep dataBytes far below)
//  24: sampleFreq   28: channels * (quantBit / 8) * sampleFreq
//  32: channels * (quantBit / 8)   34: quantBit   40: dataBytes
// Nothing is checked: the fields hold what the caller passes.
void writeWavHeader(unsigned char* out44, uint32_t dataBytes, int32_t sampleFreq, int16_t quantBit,
                    int16_t channels = 1);
