// Reuse of a voiceprint's frames after the stretch moves, and the sliced dB conversion: both must
// give exactly the bits of the plain path (a full computation; the dB primitives in sequence).

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/Voiceprint.h"
#include "engine/analysis/WidebandRestore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr long kS = 256, kH = kS / 2, kHop = 64, kT = 12;
constexpr double kNoise = 0.0005;

// A voice with a glide, long enough for every stretch below.
std::vector<double> sound() {
    std::vector<double> s(4096);
    uint32_t rng = 3;
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        rng = rng * 1664525u + 1013904223u;
        phase += 2 * M_PI * (150.0 + 0.05 * double(i)) / 16000.0;
        double x = 40.0 * (double(rng >> 8) / 16777216.0 - 0.5);
        for (int h = 1; h <= 8; ++h)
            x += 2500.0 / h * std::sin(h * phase);
        // A pure tone that stays in view on every step below holds the whole-plane peaks and
        // floors, so the dB rows can move with the frames.
        const double tone = 9000.0 * std::sin(2 * M_PI * 1000.0 * double(i) / 16000.0);
        s[i] = std::round(i >= 800 && i < 1100 ? tone : x);
    }
    return s;
}

void load(CWorkMemory& w, CWorkMemory::senseMode mode, long start) {
    ASSERT_EQ(w.setSize(kS, 100000, mode, kHop, kT), CWorkMemory::resultOk);
    const std::vector<double> s = sound();
    std::memcpy(w.m_wave, s.data() + start, sizeof(double) * w.m_excutionSize);
}

// Power and dB planes alike.
bool samePlanes(const CWorkMemory& a, const CWorkMemory& b) {
    using M = CWorkMemory;
    for (double* M::*plane : {&M::m_hamPowMap, &M::m_restorePowMap, &M::m_rectPowMap,
                              &M::m_hamDbMap, &M::m_restoreDbMap, &M::m_rectDbMap})
        if (std::memcmp(a.*plane, b.*plane, sizeof(double) * kT * kH))
            return false;
    return true;
}

} // namespace

// Steps forward and back by whole hops, no step, a step of part of a hop, and a changed sample:
// the reused planes, power and dB, equal a full computation every time, and only the frames
// that could not be taken over were computed (the moved-in ones; all when the samples differ).
TEST(VoiceprintReuse, SteppedPlanesEqualAFullComputation) {
    for (auto mode : {CWorkMemory::senseNormal, CWorkMemory::senseFine}) {
        CWorkMemory w;
        CVoiceprintReuse reuse;
        load(w, mode, 640);
        ASSERT_EQ(computeVoiceprint(w, kNoise, reuse, {}, {}, 2), voiceprintFinished);
        ASSERT_TRUE(convertVoiceprintToDb(w, reuse, 2));
        EXPECT_EQ(reuse.reusedFrames(), 0);
        const struct {
            long start, reused, computed;
            bool sameScale; // the tone keeps the whole-plane peaks and floors
        } steps[] = {{640 + 2 * kHop, kT - 2, 2, true},
                     {640 - kHop, kT - 3, 3, true},
                     {640 - kHop, kT, 0, true},
                     {640 - kHop + 5, 0, kT, false},
                     {640 - 6 * kHop + 5, kT - 5, 5, false}};
        for (const auto& step : steps) {
            const std::vector<double> s = sound();
            std::memcpy(w.m_wave, s.data() + step.start, sizeof(double) * w.m_excutionSize);
            long calls = 0;
            ASSERT_EQ(computeVoiceprint(
                          w, kNoise, reuse, {}, [&](int) { ++calls; }, 2),
                      voiceprintFinished);
            ASSERT_TRUE(convertVoiceprintToDb(w, reuse, 2));
            CWorkMemory full;
            load(full, mode, step.start);
            ASSERT_EQ(computeVoiceprint(full, kNoise, {}, {}, 1), voiceprintFinished);
            ASSERT_TRUE(convertVoiceprintToDb(full, 1));
            EXPECT_TRUE(samePlanes(w, full)) << mode << " " << step.start;
            // With the same scale only the new rows are converted.
            EXPECT_TRUE(reuse.reusedFrames() == step.reused && calls == step.computed &&
                        (!step.sameScale || reuse.convertedFrames() == step.computed))
                << step.start;
        }
        // One changed sample in the shared part, another noise gate, a resized memory: nothing
        // is taken over.
        w.m_wave[700] += 1.0;
        ASSERT_EQ(computeVoiceprint(w, kNoise, reuse, {}, {}, 1), voiceprintFinished);
        EXPECT_EQ(reuse.reusedFrames(), 0);
        ASSERT_EQ(computeVoiceprint(w, 2 * kNoise, reuse, {}, {}, 1), voiceprintFinished);
        EXPECT_EQ(reuse.reusedFrames(), 0);
        load(w, mode, 640 - 6 * kHop + 5);
        ASSERT_EQ(computeVoiceprint(w, 2 * kNoise, reuse, {}, {}, 1), voiceprintFinished);
        EXPECT_EQ(reuse.reusedFrames(), 0);
    }
    // A cancelled run leaves nothing to reuse.
    CWorkMemory w;
    CVoiceprintReuse reuse;
    load(w, CWorkMemory::senseNormal, 0);
    ASSERT_EQ(computeVoiceprint(w, kNoise, reuse, {}, {}, 1), voiceprintFinished);
    ASSERT_EQ(computeVoiceprint(
                  w, kNoise, reuse, [] { return true; }, {}, 1),
              voiceprintFinished)
        << "nothing left to compute, so nothing to cancel";
    std::memmove(w.m_wave, w.m_wave + kHop, sizeof(double) * (w.m_excutionSize - kHop));
    EXPECT_EQ(computeVoiceprint(
                  w, kNoise, reuse, [] { return true; }, {}, 1),
              voiceprintCancelled);
    ASSERT_EQ(computeVoiceprint(w, kNoise, reuse, {}, {}, 1), voiceprintFinished);
    EXPECT_EQ(reuse.reusedFrames(), 0);
}

// The sliced conversion against the primitives it stands for, on 1, 2 and 5 threads, with a
// silent stretch (restored -1 marks, floors): every dB value keeps its bits, and the power
// planes are left as they were. In fine mode the smallest Hamming and unwindowed powers are the
// smallest subnormal, which normalises to 0: the floor is then the next smallest.
TEST(VoiceprintReuse, SlicedDbConversionKeepsThePrimitivesBits) {
    for (auto mode : {CWorkMemory::senseNormal, CWorkMemory::senseFine}) {
        CWorkMemory ref;
        load(ref, mode, 1024);
        ASSERT_EQ(computeVoiceprint(ref, kNoise, {}, {}, 1), voiceprintFinished);
        const size_t n = kT * kH;
        if (mode == CWorkMemory::senseFine)
            ref.m_hamPowMap[kH + 7] = ref.m_rectPowMap[3] = 5e-324;
        const std::vector<double> ham(ref.m_hamPowMap, ref.m_hamPowMap + n),
            restore(ref.m_restorePowMap, ref.m_restorePowMap + n),
            rect(ref.m_rectPowMap, ref.m_rectPowMap + n);
        calc_dB(ref.m_hamPowMap, ref.m_hamDbMap, ref.m_auxMap, ref.m_restorePowMap,
                ref.m_restoreDbMap, long(n));
        adjustRestoreDbBottomLineByPowerDb(ref.m_hamDbMap, ref.m_restoreDbMap, kT, kH, mode);
        su_calc_dB(ref.m_rectPowMap, ref.m_rectDbMap, long(n));
        for (unsigned threads : {1u, 2u, 5u}) {
            CWorkMemory w;
            load(w, mode, 1024);
            std::memcpy(w.m_hamPowMap, ham.data(), n * sizeof(double));
            std::memcpy(w.m_restorePowMap, restore.data(), n * sizeof(double));
            std::memcpy(w.m_rectPowMap, rect.data(), n * sizeof(double));
            ASSERT_TRUE(convertVoiceprintToDb(w, threads));
            const size_t bytes = n * sizeof(double);
            EXPECT_EQ(0, std::memcmp(w.m_hamDbMap, ref.m_hamDbMap, bytes)) << threads;
            EXPECT_EQ(0, std::memcmp(w.m_restoreDbMap, ref.m_restoreDbMap, bytes)) << threads;
            EXPECT_EQ(0, std::memcmp(w.m_rectDbMap, ref.m_rectDbMap, bytes)) << threads;
            EXPECT_TRUE(!std::memcmp(w.m_hamPowMap, ham.data(), bytes) &&
                        !std::memcmp(w.m_restorePowMap, restore.data(), bytes))
                << threads;
        }
    }
}
