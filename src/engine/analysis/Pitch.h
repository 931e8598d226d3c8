#pragma once

#include <vector>

class CWorkMemory;

// Numeric core of pitch detection: peak picking with sub-harmonic descent on the restored dB
// plane of a voiceprint, plus three level curves per frame. Plain arrays in, plain series out;
// the frame copies the series into its work memory and draws them.

// Bins the detector works with for one sampling rate and transform length. A frequency f maps to
// bin floor(f / binHz); every bin here is capped at the number of bins H = ssftSize / 2.
struct PitchBinLimits {
    double binHz = 0.0; // width of one bin: sampleFreq / ssftSize
    long bins = 0;      // H
    long lo = 0;        // 100 Hz: lowest bin a pitch may have
    long hi = 0;        // 500 Hz: end (exclusive) of the peak search
    long top = 0;       // 8000 Hz: end (exclusive) of the dominant-component search
    long dominant = 0;  // 2000 Hz: a dominant bin above this one means no pitch
    long noise = 0;     // 6000 Hz: any restored level of -40 dB or more from here up is noise
};

// All zeros when sampleFreq <= 0 or ssftSize < 2.
PitchBinLimits pitchBinLimits(long sampleFreq, long ssftSize);

// One value per frame; all four are empty when the input was rejected.
struct PitchSeries {
    std::vector<double> pitch;          // Hz, a multiple of binHz; 0 where the frame has no pitch
    std::vector<double> pitchPower;     // Hamming level at the pitch bin, scaled to 0 ... 0.98
    std::vector<double> power;          // frame power relative to the loudest frame, 0 ... 1
    std::vector<double> harmonicsPower; // summed harmonic levels relative to the largest, 0 ... 1
};

// restoreDb and hamDb are frame-major planes of frames x (ssftSize / 2) dB values (bin k of frame
// t at t * H + k), as the voiceprint's dB conversion leaves them. widebandShown selects the
// harmonic test of the restored voiceprint (true) or of the Hamming voiceprint (false).
// Rejects (empty series) null planes, frames < 1, ssftSize < 2 and sampleFreq <= 0.
// Reads only the planes; safe to call from several threads on different outputs.
PitchSeries detectPitch(const double* restoreDb, const double* hamDb, long frames, long ssftSize,
                        long sampleFreq, bool widebandShown);

// detectPitch on the work memory's m_restoreDbMap and m_hamDbMap, storing the series in its
// m_pitch, m_pitchPower, m_power and m_harmonicsPower. False, with nothing stored, when a plane
// or array is absent or the input is rejected.
bool detectPitch(CWorkMemory& work, long sampleFreq, bool widebandShown);
