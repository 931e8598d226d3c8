#pragma once

#include <cstdint>
#include <vector>

// A synthetic voice for the bundled demo recording: glottal pulses along a pitch contour,
// shaped by formant resonators into vowels, phrases separated by pauses. Deterministic:
// the same samples on every machine and build.
std::vector<int16_t> synthesizeDemoVoice(int32_t sampleRate = 44100, double seconds = 24.0);
