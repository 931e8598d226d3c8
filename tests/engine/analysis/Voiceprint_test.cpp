#include "engine/analysis/Voiceprint.h"

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/PlainTransformReference.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr double kNoise = 0.0005;
constexpr long H = 256; // every work memory here has S = 512

std::array<double*, 3> planes(const CWorkMemory& w) {
    return {w.m_hamPowMap, w.m_rectPowMap, w.m_restorePowMap};
}

// S = 512, hop 128, T frames of a 16 kHz sound: harmonics of 180 Hz with a little noise, a
// silent stretch (samples 1200 ... 1999, within a range below 5), then louder. Planes hold -7.
void prepare(CWorkMemory& w, CWorkMemory::senseMode mode, long T) {
    ASSERT_EQ(w.setSize(512, 100000, mode, 128, T), CWorkMemory::resultOk);
    uint32_t rng = 1;
    for (long i = 0; i < w.m_excutionSize; ++i) {
        rng = rng * 1664525u + 1013904223u;
        const double noise = double(rng >> 8) / 16777216.0 - 0.5;
        double x = 30.0 * noise;
        for (int h = 1; h <= 12; ++h)
            x += 3000.0 / h * std::sin(2.0 * M_PI * 180.0 * h * i / 16000.0 + h);
        w.m_wave[i] = std::round(i < 1200 ? x : i < 2000 ? 4.0 * noise : 2.0 * x);
    }
    for (double* p : planes(w))
        std::fill(p, p + T * H, -7.0);
}

bool same(const double* a, const double* b, long rows = 1) {
    return std::memcmp(a, b, size_t(rows) * H * sizeof(double)) == 0;
}

// Row t of planes(w)[kind] by the plain transcription of the frame loop (phases of every bin,
// tables per call), DC at 0: Hamming power, power without a window, restoration.
std::vector<double> referenceRow(const CWorkMemory& w, long t, int kind, int wide) {
    const double* frame = w.m_wave + t * w.m_interval;
    std::vector<double> re(frame, frame + 512), im(512, 0.0), pow(512), phs(512);
    if (kind == 2) {
        ref::restore(frame, 512, w.m_letSize, w.m_letHigh, w.m_letLow, pow.data(), phs.data(),
                     kNoise, wide);
    } else {
        if (kind == 0)
            ref::hamming(re.data(), 512);
        ref::fft(re.data(), im.data(), 512, 0);
        ref::PowAndPhs(re.data(), im.data(), pow.data(), phs.data(), 512);
    }
    pow[0] = 0.0;
    return pow;
}

} // namespace

// A voiced frame, a silent one (samples 1280 ... 1791) and the last against the transcription;
// every plane the same bits on 1, 2 and 3 threads, in both sense modes.
TEST(Voiceprint, PlanesAreTheSameBitsOnAnyNumberOfThreads) {
    for (auto mode : {CWorkMemory::senseNormal, CWorkMemory::senseFine}) {
        SCOPED_TRACE(mode);
        CWorkMemory one;
        prepare(one, mode, 24);
        ASSERT_EQ(computeVoiceprint(one, kNoise, {}, {}, 1), voiceprintFinished);
        for (long t : {0L, 10L, 23L})
            for (int kind = 0; kind < 3; ++kind)
                EXPECT_TRUE(
                    same(referenceRow(one, t, kind, mode).data(), planes(one)[kind] + t * H))
                    << t << " " << kind;
        for (unsigned threads : {2u, 3u}) {
            CWorkMemory many;
            prepare(many, mode, 24);
            ASSERT_EQ(computeVoiceprint(many, kNoise, {}, {}, threads), voiceprintFinished);
            for (int kind = 0; kind < 3; ++kind)
                EXPECT_TRUE(same(planes(one)[kind], planes(many)[kind], 24))
                    << threads << " " << kind;
        }
    }
    CWorkMemory empty;
    EXPECT_EQ(computeVoiceprint(empty, kNoise), voiceprintNotSized);
}

// Progress is (i * 100) / T for every started frame, in order. Cancel before the first frame
// writes nothing; cancel at the first report lets the frames already started complete (all of
// them reported) and starts no later one. Fine mode, so a frame takes long next to the watching
// thread's reaction.
TEST(Voiceprint, ReportsEveryFrameInOrderAndStopsOnCancel) {
    const long T = 30;
    CWorkMemory full;
    prepare(full, CWorkMemory::senseFine, T);
    ASSERT_EQ(computeVoiceprint(full, kNoise, {}, {}, 1), voiceprintFinished);
    for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(threads);
        CWorkMemory w;
        prepare(w, CWorkMemory::senseFine, 3);
        std::vector<int> seen;
        auto note = [&](int p) { seen.push_back(p); };
        const VoiceprintCancelled never = [] { return false; }, always = [] { return true; };
        auto atFirstReport = [&] { return !seen.empty(); };
        EXPECT_EQ(computeVoiceprint(w, kNoise, never, note, threads), voiceprintFinished);
        EXPECT_EQ(seen, std::vector<int>({0, 33, 66}));
        seen.clear();
        prepare(w, CWorkMemory::senseFine, T);
        EXPECT_EQ(computeVoiceprint(w, kNoise, always, note, threads), voiceprintCancelled);
        EXPECT_TRUE(seen.empty() && w.m_hamPowMap[1] == -7.0);
        EXPECT_EQ(computeVoiceprint(w, kNoise, atFirstReport, note, threads), voiceprintCancelled);
        const long started = long(seen.size());
        EXPECT_TRUE(threads == 1 ? started == 1 : started >= 1 && started < T) << started;
        for (long t = 0; t < T; ++t) {
            const double* row = w.m_restorePowMap + t * H;
            EXPECT_TRUE(t < started ? same(row, full.m_restorePowMap + t * H) : row[5] == -7.0)
                << t;
        }
    }
}

TEST(Voiceprint, DbConversionNormalisesOverTheWholePlaneAndAligns) {
    // S = 8: 4 bins, two frames; frame 1 is a silent frame of the restoration (-1 marks).
    const double ham[8] = {0, 100, 1, 0.01, 0, 10, 1, 0};
    const double restore[8] = {0, 2, 1, 0.5, 0, -1, -1, -1};
    // Peak 100 over both frames; the floor is the smallest positive value, 0.01 / 100.
    const double hamDb[8] = {-80, 0, -40, -80, -80, -20, -40, -80};
    for (unsigned threads : {1u, 2u}) {
        CWorkMemory w;
        ASSERT_EQ(w.setSize(8, 100, CWorkMemory::senseNormal, 4, 2), CWorkMemory::resultOk);
        std::copy(ham, ham + 8, w.m_hamPowMap);
        std::copy(ham, ham + 8, w.m_rectPowMap);
        std::copy(restore, restore + 8, w.m_restorePowMap);
        ASSERT_TRUE(convertVoiceprintToDb(w, threads));
        for (int i = 0; i < 8; ++i) {
            EXPECT_DOUBLE_EQ(w.m_hamDbMap[i], hamDb[i]) << i;
            EXPECT_DOUBLE_EQ(w.m_rectDbMap[i], hamDb[i]) << i;
        }
        // Restored: 100^(x/2) rescaled to 0, -20, -30 dB, then moved by the Hamming mean (-40)
        // less its own (-50/3); the silent frame sits at its Hamming mean; bin 0 stays.
        EXPECT_DOUBLE_EQ(w.m_restoreDbMap[0], -30.0);
        EXPECT_NEAR(w.m_restoreDbMap[1], -70.0 / 3, 1e-12);
        EXPECT_NEAR(w.m_restoreDbMap[3], -30.0 - 70.0 / 3, 1e-12);
        for (int k = 5; k < 8; ++k)
            EXPECT_NEAR(w.m_restoreDbMap[k], -140.0 / 3, 1e-12) << k;
    }
    CWorkMemory empty;
    EXPECT_FALSE(convertVoiceprintToDb(empty));
}

// A tone on bin 20 of 512 up to sample 640, then one on bin 40: the spectrum follows start; the
// unwindowed one is skipped during playback; frames outside the samples are refused. In fine mode
// the stretch's spectrum restores from phases, the playback one from real parts (m_restore keeps
// the raw restored frame).
TEST(Voiceprint, LevelSpectrumOfOneFrame) {
    CWorkMemory w;
    ASSERT_EQ(w.setSize(512, 100000, CWorkMemory::senseNormal, 128, 8), CWorkMemory::resultOk);
    for (long i = 0; i < w.m_excutionSize; ++i)
        w.m_wave[i] = 8000.0 * std::cos(2.0 * M_PI * (i < 640 ? 20 : 40) * i / 512.0);
    auto peak = [](const double* db) { return std::max_element(db, db + H) - db; };
    std::fill(w.m_rectDb, w.m_rectDb + 512, 1.0);
    ASSERT_EQ(computeLevelSpectrum(w, 0, kNoise, levelDuringPlayback), voiceprintFinished);
    EXPECT_TRUE(peak(w.m_hamDb) == 20 && peak(w.m_restoreDb) == 20 && w.m_rectDb[20] == 1.0);
    ASSERT_EQ(computeLevelSpectrum(w, 640, kNoise, levelOfStretch), voiceprintFinished);
    EXPECT_TRUE(w.m_hamDb[40] == 0.0 && peak(w.m_restoreDb) == 40 && w.m_rectDb[40] == 0.0);
    EXPECT_EQ(computeLevelSpectrum(w, w.m_excutionSize - 511, kNoise, levelOfStretch),
              voiceprintNotSized);
    EXPECT_EQ(computeLevelSpectrum(w, -1, kNoise, levelDuringPlayback), voiceprintNotSized);
    CWorkMemory f;
    prepare(f, CWorkMemory::senseFine, 4);
    for (int wide : {1, 0}) {
        ASSERT_EQ(computeLevelSpectrum(f, 384, kNoise, wide ? levelOfStretch : levelDuringPlayback),
                  voiceprintFinished);
        EXPECT_TRUE(same(f.m_restore, referenceRow(f, 3, 2, wide).data())) << wide;
    }
}
