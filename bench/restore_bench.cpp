// Cost of one frame of wideband phase restoration at S = 4096, one thread, against the plain
// transcription it must equal bit for bit. Frames walk a synthetic voice with hop 512, as the
// default voiceprint does.

#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/FftTables.h"
#include "engine/analysis/WidebandRestore.h"
#include "PlainTransformReference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr long kS = 4096;
constexpr long kHop = 512;
constexpr long kFrames = 853;

const std::vector<double>& voice() {
    static const std::vector<double> samples = [] {
        const long total = (kFrames - 1) * kHop + kS;
        std::vector<double> s(total);
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0.0, 40.0);
        double phase = 0;
        for (long i = 0; i < total; ++i) {
            const double t = i / 44100.0;
            const double f0 = 120 + 40 * std::sin(2 * M_PI * 0.7 * t);
            phase += 2 * M_PI * f0 / 44100.0;
            double v = 0;
            for (int h = 1; h <= 25; ++h) {
                const double f = f0 * h;
                v += std::sin(h * phase) / (1 + std::pow((f - 650) / 180, 2)) +
                     0.6 * std::sin(h * phase + 1) / (1 + std::pow((f - 1700) / 250, 2));
            }
            const double envelope = std::fmod(t, 0.8) < 0.6 ? 1.0 : 0.0; // pauses
            s[i] = std::round(6000 * envelope * v + noise(rng));
        }
        return s;
    }();
    return samples;
}

struct Mode {
    long let, high, low;
    int wide;
};
constexpr Mode kNormal{4, 1, 0, 0}, kFine{64, 31, 1, 1};

void restoreFrames(benchmark::State& state, const Mode& m) {
    const std::vector<double>& wave = voice();
    std::vector<double> re(kS), im(kS), out(kS), rowSum(kS);
    CRestoreWorkspace ws;
    long half = 0, frame = 0;
    for (auto _ : state) {
        const double* sig = wave.data() + (frame++ % kFrames) * kHop;
        restoreWithWidebandPhase(ws, sig, re.data(), im.data(), kS, m.let, m.high, m.low,
                                 out.data(), &half, rowSum.data(), 0.0005, m.wide);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel("per frame");
}

void restorePlain(benchmark::State& state, const Mode& m) {
    const std::vector<double>& wave = voice();
    std::vector<double> out(kS), rowSum(kS);
    long frame = 0;
    for (auto _ : state) {
        const double* sig = wave.data() + (frame++ % kFrames) * kHop;
        ref::restore(sig, kS, m.let, m.high, m.low, out.data(), rowSum.data(), 0.0005, m.wide);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel("per frame, plain transcription");
}

void BM_RestoreNormal(benchmark::State& s) {
    restoreFrames(s, kNormal);
}
void BM_RestoreFine(benchmark::State& s) {
    restoreFrames(s, kFine);
}
void BM_RestorePlainNormal(benchmark::State& s) {
    restorePlain(s, kNormal);
}
void BM_RestorePlainFine(benchmark::State& s) {
    restorePlain(s, kFine);
}

// Per instruction set of the kernels: 0 the best available, 1 plain, 2 AVX2, 3 AVX-512.
void BM_Fft4096(benchmark::State& state) {
    const auto kernel = spectral_detail::FftKernel(state.range(0));
    if (!spectral_detail::useFftKernel(kernel)) {
        state.SkipWithError("not on this processor");
        return;
    }
    std::vector<double> x(voice().begin(), voice().begin() + kS), y(kS, 0.0);
    for (auto _ : state) {
        fft(x.data(), y.data(), kS, 0);
        benchmark::DoNotOptimize(x.data());
    }
    spectral_detail::useFftKernel(spectral_detail::FftKernel::automatic);
}

// The transform of real samples: the frame loop's Hamming, unwindowed and row transforms.
void BM_RealFft4096(benchmark::State& state) {
    const spectral_detail::FftTables* t = spectral_detail::cachedTables(kS);
    std::vector<double> x(kS), y(kS);
    for (auto _ : state) {
        for (int i = 0; i < kS; ++i)
            x[i] = voice()[t->bitrev[i]];
        spectral_detail::realTransformReversed(*t, x.data(), y.data());
        benchmark::DoNotOptimize(x.data());
    }
}

} // namespace

BENCHMARK(BM_RestoreNormal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RestoreFine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RestorePlainNormal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RestorePlainFine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RealFft4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fft4096)->ArgName("kernel")->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
