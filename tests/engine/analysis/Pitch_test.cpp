#include "engine/analysis/Pitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace {

// Frame-major dB planes at a quiet floor; tests raise the bins they need. The planes end where
// the last frame does, so the address sanitizer catches a read past them.
struct Planes {
    long H;
    std::vector<double> restore, ham;
    Planes(long frames, long bins)
        : H(bins), restore(frames * H, -100.0), ham(frames * H, -100.0) {}
    double& D(long t, long k) { return restore.at(t * H + k); }
    double& A(long t, long k) { return ham.at(t * H + k); }
    PitchSeries detect(long frames, long ssft, long freq, bool wideband = true) {
        return detectPitch(restore.data(), ham.data(), frames, ssft, freq, wideband);
    }
};

} // namespace

// 16 kHz, 2048 points: bins of 7.8125 Hz; 100, 500, 8000 (capped at H), 2000 and 6000 Hz.
// 44.1 kHz, 256 points: bins of 172 Hz, so the lowest pitch bin is 0.
TEST(Pitch, BinLimitsFollowTheSamplingRate) {
    const PitchBinLimits a = pitchBinLimits(16000, 2048), b = pitchBinLimits(44100, 256);
    EXPECT_EQ(std::make_tuple(a.binHz, a.lo, a.hi, a.top, a.dominant, a.noise),
              std::make_tuple(7.8125, 12L, 64L, 1024L, 256L, 768L));
    EXPECT_EQ(std::make_tuple(b.lo, b.hi), std::make_tuple(0L, 2L));
    EXPECT_EQ(pitchBinLimits(0, 2048).bins, 0);
    EXPECT_TRUE(detectPitch(nullptr, nullptr, 3, 2048, 16000, true).pitch.empty());
}

// 16 kHz, 2048 points. Frame 0: peak at bin 30 (234.375 Hz) with bin 15 within 40 dB: descends
// to 15 and stops there, bin 7 being below the lowest pitch bin 12. Frame 1: bin 15 is 41 dB
// down, so 30 stays. Frame 2: 30 dB quieter than the loudest frame. Frame 3: restored energy
// above 6000 Hz. Pitch levels are Hamming -3 and -5 dB against the -160 dB floor.
TEST(Pitch, DescendsToTheSubHarmonicAndChecksLevels) {
    Planes p(4, 1024);
    for (long t = 0; t < 4; ++t) {
        p.D(t, 30) = p.D(t, 7) = 0.0;
        p.D(t, 60) = -20.0;
        const double quiet = t == 2 ? -31.0 : 0.0;
        for (long k = 1; k < 1024; ++k)
            p.A(t, k) = quiet + (k == 15 ? -3.0 : k == 30 ? -5.0 : -10.0);
    }
    p.D(0, 15) = p.D(3, 15) = -30.0;
    p.D(1, 15) = -41.0;
    p.D(3, 900) = -40.0;
    const PitchSeries s = p.detect(4, 2048, 16000);
    EXPECT_EQ(s.pitch, (std::vector<double>{117.1875, 234.375, 0, 0}));
    EXPECT_DOUBLE_EQ(s.pitchPower[0], 0.98);
    EXPECT_DOUBLE_EQ(s.pitchPower[1], 155.0 / 157.0 * 0.98);
    EXPECT_TRUE(s.pitchPower[2] == 0.0 && s.harmonicsPower[3] == 0.0 && s.power[0] == 1.0);
    EXPECT_NEAR(s.power[2], 129.0 / 160.0, 1e-12); // 31 dB down
}

// Pitch bin 20 in both frames. Frame 0's harmonics are strong in the restored plane only (up to
// bin 760: higher ones would be noise), frame 1's in the Hamming plane only; the harmonic test
// follows the voiceprint shown.
TEST(Pitch, HarmonicsFollowTheShownVoiceprint) {
    Planes p(2, 1024);
    for (long t = 0; t < 2; ++t) {
        for (long n = 20; n < 1024; n += 20) {
            if (n < 768)
                p.D(t, n) = t == 0 ? -10.0 : -60.0;
            p.A(t, n) = t == 0 ? -7.0 : -5.0;
        }
        p.D(t, 20) = p.A(t, 20) = 0.0;
        p.D(t, 40) = t == 0 ? -10.0 : -30.0; // the second harmonic is always there
    }
    // Restored test: bins 40 ... 760 pass in frame 0; Hamming test: bins 40 ... 1020 in frame 1.
    const double sum0 = 1.0 + 37 * std::pow(10.0, -7.0 / 20.0);
    const double sum1 = 1.0 + 50 * std::pow(10.0, -5.0 / 20.0);
    const PitchSeries w = p.detect(2, 2048, 16000, true), h = p.detect(2, 2048, 16000, false);
    EXPECT_TRUE(w.pitch[1] == 156.25 && w.harmonicsPower[0] == 1.0 && h.harmonicsPower[1] == 1.0);
    EXPECT_NEAR(w.harmonicsPower[1], (20.0 * std::log10(1.0 / sum0) + 160.0) / 160.0, 1e-12);
    EXPECT_NEAR(h.harmonicsPower[0], (20.0 * std::log10(1.0 / sum1) + 160.0) / 160.0, 1e-12);
}

// Frame 2's strongest component lies at 3125 Hz: it keeps no pitch, and the level of its DC bin
// (-300 dB) does not stretch the pitch-level scale of the others. With no voiced frame at all
// (noise above 6000 Hz everywhere) every level is equal and nothing is divided by an empty range.
TEST(Pitch, FramesWithoutPitchKeepTheScalesFinite) {
    Planes p(3, 1024);
    for (long t = 0; t < 3; ++t) {
        p.D(t, 20) = 0.0;
        p.D(t, 40) = -20.0;
        p.A(t, 20) = t == 0 ? -10.0 : -20.0;
        p.A(t, 0) = -300.0;
    }
    p.D(2, 400) = 10.0;
    PitchSeries s = p.detect(3, 2048, 16000);
    EXPECT_TRUE(s.pitch[2] == 0.0 && s.harmonicsPower[2] == 0.0 && s.pitchPower[2] == 0.0);
    EXPECT_DOUBLE_EQ(s.pitchPower[0], 0.98);
    EXPECT_DOUBLE_EQ(s.pitchPower[1], 140.0 / 150.0 * 0.98);
    for (long t = 0; t < 3; ++t)
        p.D(t, 1000) = 0.0;
    s = p.detect(3, 2048, 16000);
    const std::vector<double> zeros(3, 0.0);
    EXPECT_TRUE(s.pitch == zeros && s.pitchPower == zeros && s.harmonicsPower == zeros);
    for (double v : s.power)
        EXPECT_TRUE(std::isfinite(v));
}

// 44.1 kHz, 256 points: lowest pitch bin 0; DC within 40 dB of the peak at bin 1 used to make the
// descent spin at bin 0 forever. 1 kHz, 256 points: the peak search reaches the last bin; bin
// 64's second harmonic has only bin 127 inside the plane, bin 65's has none.
TEST(Pitch, WideBinsAndLowRatesStayInBoundsAndEnd) {
    Planes a(1, 128);
    a.D(0, 1) = 0.0;
    a.D(0, 0) = -10.0;
    a.D(0, 2) = -5.0;
    EXPECT_EQ(a.detect(1, 256, 44100).pitch[0], 44100.0 / 256.0);
    Planes b(2, 128);
    b.D(0, 64) = b.D(1, 65) = 0.0;
    b.D(0, 127) = -20.0;
    EXPECT_EQ(b.detect(2, 256, 1000).pitch, (std::vector<double>{250.0, 0.0}));
}
