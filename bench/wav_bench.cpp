// Opening WAV files: a 10-minute 44.1 kHz stereo file (goal under 0.3 s and under 300 MB peak
// resident memory) and a 10-second one (goal under 10 ms). The files are generated once in a
// temporary directory. Run alone (--benchmark_filter=WavOpen) so that peak_rss_MB is this
// benchmark's own.

#include "engine/sound/CWavPara.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void put16(unsigned char* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void put32(unsigned char* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// Writes a stereo 16-bit file of `frames` frames in blocks, so that the generator itself
// never holds the whole file.
bool writeStereoWav(const std::string& path, uint32_t frames) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    unsigned char h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    const uint32_t dataBytes = frames * 4;
    put32(h + 4, 36 + dataBytes);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, 2);
    put32(h + 24, 44100);
    put32(h + 28, 44100 * 4);
    put16(h + 32, 4);
    put16(h + 34, 16);
    h[36] = 'd';
    h[37] = 'a';
    h[38] = 't';
    h[39] = 'a';
    put32(h + 40, dataBytes);
    bool ok = std::fwrite(h, 1, 44, f) == 44;
    std::vector<int16_t> block(2 * 65536);
    for (uint32_t first = 0; ok && first < frames; first += 65536) {
        const uint32_t n = std::min<uint32_t>(65536, frames - first);
        for (uint32_t i = 0; i < n; ++i) {
            const double t = double(first + i) / 44100.0;
            block[2 * i] = int16_t(12000.0 * std::sin(2.0 * M_PI * 220.0 * t));
            block[2 * i + 1] = int16_t(9000.0 * std::sin(2.0 * M_PI * 330.0 * t));
        }
        ok = std::fwrite(block.data(), 4, n, f) == n;
    }
    return std::fclose(f) == 0 && ok;
}

struct BenchFiles {
    std::string dir, tenMinutes, tenSeconds;
    bool ok = false;
    BenchFiles() {
        char tmpl[] = "/tmp/vocalith-wavbench-XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        dir = tmpl;
        tenMinutes = dir + "/ten-minutes.wav";
        tenSeconds = dir + "/ten-seconds.wav";
        ok = writeStereoWav(tenMinutes, 600 * 44100) && writeStereoWav(tenSeconds, 10 * 44100);
    }
    ~BenchFiles() {
        std::remove(tenMinutes.c_str());
        std::remove(tenSeconds.c_str());
        rmdir(dir.c_str());
    }
};

const BenchFiles& files() {
    static BenchFiles f;
    return f;
}

double peakRssMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

void openFile(benchmark::State& state, const std::string& path) {
    if (!files().ok) {
        state.SkipWithError("cannot write the benchmark files");
        return;
    }
    int32_t samples = 0;
    for (auto _ : state) {
        CWavPara wave;
        if (wave.setSizeFromWav(path.c_str()) != CWavPara::resultOK || !wave.setSiii()) {
            state.SkipWithError("reading failed");
            return;
        }
        samples = wave.m_totalSamples;
        benchmark::DoNotOptimize(wave.m_window[wave.m_windowLen - 1]);
    }
    state.counters["samples"] = samples;
    state.counters["peak_rss_MB"] = peakRssMegabytes();
}

void BM_WavOpenTenMinutesStereo(benchmark::State& state) {
    openFile(state, files().tenMinutes);
}

void BM_WavOpenTenSecondsStereo(benchmark::State& state) {
    openFile(state, files().tenSeconds);
}

} // namespace

BENCHMARK(BM_WavOpenTenMinutesStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WavOpenTenSecondsStereo)->Unit(benchmark::kMillisecond);
