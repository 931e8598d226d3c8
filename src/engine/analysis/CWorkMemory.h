#pragma once

#include <cstddef>
#include <cstdint>

// Every buffer the analysis works in: the analysed samples, one transform frame's scratch, the
// single-frame dB spectra of the level plot, the per-frame pitch results and seven planes of
// T x H doubles stored frame-major (bin k of frame t at t * H + k), with S = m_ssftSize,
// H = S / 2, T = m_repeatTimes and E = m_excutionSize.
//
// Members are public: the voiceprint loop, the pitch detector, the plots and the navigation code
// work on the buffers directly. The object has no lock; whoever resizes it must make sure nobody
// is using the buffers (the frame holds the application mutex while a voiceprint runs).
class CWorkMemory {
public:
    enum senseMode { senseNormal = 0, senseFine = 1 };

    enum resultWorkMemory {
        resultOk = 0,
        resultMemory = 1, // not sized yet, or an allocation failed
        resultSize = 2,   // the requested span does not fit, or the sizes are unusable
    };

    CWorkMemory();
    virtual ~CWorkMemory();
    CWorkMemory(const CWorkMemory&) = delete;
    CWorkMemory& operator=(const CWorkMemory&) = delete;

    // Sizes the object for repeatTimes frames of ssftSize samples, interval samples apart, out of
    // maxSize available samples, and allocates every buffer (contents undefined: the planes of
    // the work memory released last are reused when the shape is the same, up to 128 MB).
    // resultSize, with nothing changed, when: span = (repeatTimes - 1) * interval + ssftSize
    // exceeds maxSize; ssftSize is not a power of two from 4 to 32768; interval < 1;
    // repeatTimes < 1; mode is neither sense mode; or a size or the plane length T * H does not
    // fit in a 32-bit int.
    // resultMemory when an allocation fails: every buffer is released and the eight sizes are 0
    // (the sense mode keeps its new value).
    // The restoration sizes follow the mode: fine with S = 256 -> L 32, rows 1..15; fine otherwise
    // -> L 64, rows 1..31; normal -> L 4, rows 0..1.
    resultWorkMemory setSize(long ssftSize, long maxSize, senseMode mode, long interval,
                             long repeatTimes);

    // Fits frames into maxSize samples; changes no member. resultOk when
    // (*repeatTimes - 1) * interval + ssftSize <= maxSize with *repeatTimes >= 1. Otherwise
    // r = (maxSize - ssftSize - 1) / interval (truncated): r >= 10 is stored in *repeatTimes and
    // gives resultOk, else resultSize with *repeatTimes unchanged. Null repeatTimes, interval < 1,
    // ssftSize < 1 or values outside the 32-bit range give resultSize.
    resultWorkMemory checkSize(long ssftSize, long maxSize, long interval, long* repeatTimes) const;

    // Allocate / release every buffer with the current sizes. newAll releases what was there
    // first; it returns false (and leaves every buffer absent) when the sizes are unusable or an
    // allocation fails. Releasing sets each pointer to null; releasing an absent buffer is fine.
    bool newAll();
    void deleteAll();

    // The same for the seven planes only.
    bool newIntervalTimeSize();
    void deleteIntervalTimeSize();

    // Sizes; all 0 in a new object.
    int32_t m_ssftSize = 0;     // S: transform length, a power of two
    int32_t m_maxSize = 0;      // samples available to the analysis
    int32_t m_excutionSize = 0; // E: (T - 1) * m_interval + S; the misspelling is the name in use
    int32_t m_letSize = 0;      // L: short-transform length of the restoration
    int32_t m_letHigh = 0;      // highest short-transform row the restoration sums
    int32_t m_letLow = 0;       // lowest short-transform row the restoration sums
    int32_t m_interval = 0;     // hop between frames, in samples
    int32_t m_repeatTimes = 0;  // T: number of frames
    senseMode m_senseMode = senseNormal;

    // Per frame, T values each (pitch detection).
    double* m_harmonicsPower = nullptr;
    double* m_power = nullptr;
    double* m_pitchPower = nullptr;
    double* m_pitch = nullptr; // Hz, 0 where none

    double* m_wave = nullptr; // E analysed samples; frame t starts at t * m_interval

    // One frame, S values each.
    double* m_re = nullptr;
    double* m_im = nullptr;
    double* m_pow = nullptr;
    double* m_phs = nullptr;
    double* m_restore = nullptr;
    double* m_restoreSum = nullptr;

    // Single-frame dB spectra of the level plot, S values each (the first H meaningful).
    double* m_rectDb = nullptr;
    double* m_hamDb = nullptr;
    double* m_restoreDb = nullptr;

    // Planes, T * H values each.
    double* m_rectPowMap = nullptr;
    double* m_hamPowMap = nullptr;
    // Passed to calc_dB, which never touches it; the plane conversion keeps the restored powers
    // mapped onto the Hamming range here for the next conversion.
    double* m_auxMap = nullptr;
    double* m_restorePowMap = nullptr;
    double* m_hamDbMap = nullptr;
    double* m_restoreDbMap = nullptr;
    double* m_rectDbMap = nullptr;

    // Changes whenever the planes are allocated or released (unique across objects), so a record
    // of what the planes held can tell that they are no longer the same arrays.
    uint64_t m_planeGeneration = 0;

private:
    void zeroSizes();
};

namespace workmemory_detail {
// Replaces the allocator of CWorkMemory's buffers (null restores the normal one), so tests can
// make an allocation fail; an out-of-memory condition cannot be produced on demand otherwise.
// Buffers are released with std::free.
using ArrayAllocator = double* (*)(size_t count);
void setArrayAllocator(ArrayAllocator allocator);
} // namespace workmemory_detail
