// The default view of a 10-second 44.1 kHz sound: 853 frames of 4096 samples, hop 512.
//   BM_Voiceprint/<fine>/<threads>: frame loop plus whole-plane dB conversion
//   BM_VoiceprintDb: the dB conversion alone
//   BM_PitchDetection: one detection pass over the 853 frames
//   BM_VoiceprintTargets/<fine>: the figures the voiceprint is held to, each measured in this one
//     process (medians of repetitions) and printed beside its target: against the literal
//     one-thread transcription of the algorithm, two threads against one, and one step of the
//     view by a hop (frames reused) against a full voiceprint, and an upper bound on the share
//     of the run spent in serial steps.
//   BM_CliRun: a whole `vocalith-cli voiceprint talk.wav --png x.png` process on the same sound,
//     the bare start of the program (its usage message), and the voiceprint in this process;
//     the run less the start is held to 1.5 times the work in process.

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/Pitch.h"
#include "engine/analysis/Voiceprint.h"
#include "engine/sound/WavHeader.h"
#include "PlainTransformReference.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <cmath>
#include <string>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

constexpr long kRate = 44100;
constexpr long kWindow = 441000;
constexpr long kSsft = 4096;
constexpr long kHop = 512;
constexpr long kFrames = (kWindow - 1 - kSsft) / kHop; // 853, as a freshly read sound
constexpr double kNoise = 0.0005;

// Speech-like: a harmonic voice whose pitch glides between 100 and 250 Hz, shaped by two
// formants, with pauses of faint noise every second.
const std::vector<double>& sound() {
    static const std::vector<double> v = [] {
        std::vector<double> s(kWindow);
        uint32_t rng = 7;
        double phase = 0.0;
        for (long i = 0; i < kWindow; ++i) {
            rng = rng * 1664525u + 1013904223u;
            const double noise = double(rng >> 8) / 16777216.0 - 0.5;
            const double t = double(i) / kRate;
            const double f0 = 175.0 + 75.0 * std::sin(2.0 * M_PI * 0.3 * t);
            phase += 2.0 * M_PI * f0 / kRate;
            double x = 20.0 * noise;
            if (std::fmod(t, 1.0) < 0.8) {
                for (int h = 1; h * f0 < 5000.0; ++h) {
                    const double f = h * f0;
                    const double formants = 1.0 / (1.0 + std::pow((f - 700.0) / 150.0, 2)) +
                                            0.5 / (1.0 + std::pow((f - 1200.0) / 200.0, 2));
                    x += 6000.0 * (0.05 + formants) / h * std::sin(h * phase);
                }
            }
            s[i] = std::max(-32768.0, std::min(32767.0, std::round(x)));
        }
        return s;
    }();
    return v;
}

bool prepare(CWorkMemory& w, CWorkMemory::senseMode mode) {
    if (w.setSize(kSsft, kWindow, mode, kHop, kFrames) != CWorkMemory::resultOk)
        return false;
    std::copy(sound().begin(), sound().begin() + w.m_excutionSize, w.m_wave);
    return true;
}

void BM_Voiceprint(benchmark::State& state) {
    CWorkMemory w;
    const auto mode = state.range(0) ? CWorkMemory::senseFine : CWorkMemory::senseNormal;
    if (!prepare(w, mode)) {
        state.SkipWithError("work memory");
        return;
    }
    const unsigned threads = unsigned(state.range(1));
    for (auto _ : state) {
        if (computeVoiceprint(w, kNoise, {}, {}, threads) != voiceprintFinished ||
            !convertVoiceprintToDb(w)) {
            state.SkipWithError("voiceprint");
            return;
        }
        benchmark::DoNotOptimize(w.m_restoreDbMap[0]);
    }
    state.counters["frames"] = double(w.m_repeatTimes);
}

void BM_VoiceprintDb(benchmark::State& state) {
    CWorkMemory w;
    if (!prepare(w, CWorkMemory::senseNormal) || computeVoiceprint(w, kNoise) != 0) {
        state.SkipWithError("voiceprint");
        return;
    }
    const size_t n = size_t(kFrames) * (kSsft / 2);
    const std::vector<double> ham(w.m_hamPowMap, w.m_hamPowMap + n);
    const std::vector<double> restore(w.m_restorePowMap, w.m_restorePowMap + n);
    const std::vector<double> rect(w.m_rectPowMap, w.m_rectPowMap + n);
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(ham.begin(), ham.end(), w.m_hamPowMap);
        std::copy(restore.begin(), restore.end(), w.m_restorePowMap);
        std::copy(rect.begin(), rect.end(), w.m_rectPowMap);
        state.ResumeTiming();
        convertVoiceprintToDb(w);
        benchmark::DoNotOptimize(w.m_restoreDbMap[0]);
    }
}

void BM_PitchDetection(benchmark::State& state) {
    CWorkMemory w;
    if (!prepare(w, CWorkMemory::senseNormal) || computeVoiceprint(w, kNoise) != 0 ||
        !convertVoiceprintToDb(w)) {
        state.SkipWithError("voiceprint");
        return;
    }
    long voiced = 0;
    for (auto _ : state) {
        const PitchSeries s =
            detectPitch(w.m_restoreDbMap, w.m_hamDbMap, w.m_repeatTimes, w.m_ssftSize, kRate, true);
        voiced =
            long(std::count_if(s.pitch.begin(), s.pitch.end(), [](double p) { return p > 0; }));
        benchmark::DoNotOptimize(s.pitch.data());
    }
    state.counters["voiced"] = double(voiced);
}

double seconds(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// CPU time of the calling thread: on a machine busy with other work the wall-clock figures
// stretch, while the work a one-thread run does stays comparable.
double threadCpu(const std::function<void()>& f) {
    timespec a{}, b{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
    f();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
    return double(b.tv_sec - a.tv_sec) + 1e-9 * double(b.tv_nsec - a.tv_nsec);
}

double processCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_VoiceprintTargets(benchmark::State& state) {
    const bool fine = state.range(0) != 0;
    CWorkMemory w;
    if (!prepare(w, fine ? CWorkMemory::senseFine : CWorkMemory::senseNormal)) {
        state.SkipWithError("work memory");
        return;
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int reps = fine ? 3 : 7;
    const size_t n = size_t(kFrames) * (kSsft / 2);
    for (auto _ : state) {
        // The literal run is timed three times too: one slow run on a shared machine would
        // flatter every ratio.
        ref::Planes plain;
        std::vector<double> literals, literalCpus;
        for (int r = 0; r < 3; ++r)
            literalCpus.push_back(threadCpu([&] {
                literals.push_back(seconds([&] {
                    ref::voiceprint(w.m_wave, kSsft, kHop, kFrames, w.m_letSize, w.m_letHigh,
                                    w.m_letLow, fine ? 1 : 0, kNoise, plain);
                }));
            }));
        const double literal = median(literals), literalCpu = median(literalCpus);
        auto full = [&](unsigned threads) {
            return seconds([&] {
                computeVoiceprint(w, kNoise, {}, {}, threads);
                convertVoiceprintToDb(w, threads);
            });
        };
        // A step that runs on one core leaves the others idle for its length, so the idle core
        // time of a run on every core, over (cores - 1), bounds the serial steps from above
        // (waiting for the slowest thread counts too).
        std::vector<double> one, all, oneCpu, serial;
        for (int r = 0; r < reps; ++r) {
            oneCpu.push_back(threadCpu([&] { one.push_back(full(1)); }));
            const double cpu0 = processCpu();
            all.push_back(full(cores));
            const double idle = cores * all.back() - (processCpu() - cpu0);
            serial.push_back(cores > 1 ? std::max(0.0, idle) / (cores - 1) / all.back() : 0.0);
        }
        if (std::memcmp(plain.restoreDb.data(), w.m_restoreDbMap, n * sizeof(double)) ||
            std::memcmp(plain.hamDb.data(), w.m_hamDbMap, n * sizeof(double)) ||
            std::memcmp(plain.rectDb.data(), w.m_rectDbMap, n * sizeof(double))) {
            state.SkipWithError("the planes differ from the literal algorithm's");
            return;
        }
        // A step by one hop and back again, over and over: each is a one-step move.
        CVoiceprintReuse reuse;
        computeVoiceprint(w, kNoise, reuse, {}, {}, cores);
        convertVoiceprintToDb(w, reuse, cores);
        std::vector<double> steps;
        for (int r = 0; r < 2 * reps; ++r) {
            const long from = r % 2 == 0 ? 0 : kHop;
            std::copy(sound().begin() + from, sound().begin() + from + w.m_excutionSize, w.m_wave);
            steps.push_back(seconds([&] {
                computeVoiceprint(w, kNoise, reuse, {}, {}, cores);
                convertVoiceprintToDb(w, reuse, cores);
            }));
        }
        std::copy(sound().begin(), sound().begin() + w.m_excutionSize, w.m_wave);
        const double fast = median(all), single = median(one), step = median(steps);
        state.SetIterationTime(fast);
        state.counters["literal_ms"] = literal * 1e3;
        state.counters["fast_ms"] = fast * 1e3;
        state.counters["x_literal"] = literal / fast;
        state.counters["x_threads"] = single / fast;
        state.counters["step_share"] = step / fast;
        state.counters["x_literal_cpu_1thread"] = literalCpu / median(oneCpu);
        state.counters["serial_share"] = median(serial);
        char text[320];
        std::snprintf(text, sizeof text,
                      "%.1fx literal (target >=%dx), %u threads %.2fx one (target >=1.6x), "
                      "serial steps at most %.1f%% (target <=5%%), one step %.0f%% of full "
                      "(target <=30%%); one thread's CPU %.1fx less than the literal's",
                      literal / fast, fine ? 12 : 10, cores, single / fast, 100 * median(serial),
                      100 * step / fast, literalCpu / median(oneCpu));
        state.SetLabel(text);
    }
}

// The wall-clock and processor seconds of one run of a program, its output dropped; wall -1
// when it could not be started or did not exit with `expected`.
struct ProgramTimes {
    double wall = -1.0, cpu = 0.0;
};
ProgramTimes programTimes(std::vector<std::string> args, int expected) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = 0;
    rusage usage{};
    const auto t0 = std::chrono::steady_clock::now();
    const bool started = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0;
    const bool exited = started && wait4(pid, &status, 0, &usage) == pid;
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    posix_spawn_file_actions_destroy(&files);
    ProgramTimes t;
    if (exited && WIFEXITED(status) && WEXITSTATUS(status) == expected) {
        t.wall = s;
        t.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    }
    return t;
}

void BM_CliRun(benchmark::State& state) {
    char dir[] = "/tmp/vocalith-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string wav = std::string(dir) + "/talk.wav", png = std::string(dir) + "/x.png";
    {
        std::string bytes(kWavHeaderBytes, '\0');
        for (double v : sound()) {
            const auto u = uint16_t(int16_t(v));
            bytes += char(u & 0xFF);
            bytes += char(u >> 8);
        }
        writeWavHeader(reinterpret_cast<unsigned char*>(bytes.data()),
                       uint32_t(bytes.size() - kWavHeaderBytes), kRate, 16, 1);
        std::ofstream(wav, std::ios::binary) << bytes;
    }
    CWorkMemory w;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    bool ok = prepare(w, CWorkMemory::senseNormal);
    for (auto _ : state) {
        // Taken in turns, so that a change in the machine's load falls on all three alike. The
        // processor times stand up better to a machine shared with other work.
        std::vector<double> runs, starts, inside, runCpus, startCpus, insideCpus;
        for (int r = 0; r < 9 && ok; ++r) {
            const ProgramTimes run =
                programTimes({VOCALITH_CLI, "voiceprint", wav, "--png", png}, 0);
            const ProgramTimes start = programTimes({VOCALITH_CLI}, 1);
            const double cpu0 = processCpu();
            inside.push_back(seconds([&] {
                ok = ok && computeVoiceprint(w, kNoise, {}, {}, cores) == voiceprintFinished &&
                     convertVoiceprintToDb(w, cores);
            }));
            insideCpus.push_back(processCpu() - cpu0);
            runs.push_back(run.wall);
            runCpus.push_back(run.cpu);
            starts.push_back(start.wall);
            startCpus.push_back(start.cpu);
            ok = ok && run.wall > 0 && start.wall > 0;
        }
        if (!ok) {
            state.SkipWithError("the command-line run failed");
            break;
        }
        const double run = median(runs), start = median(starts), work = median(inside);
        const double cpuRatio =
            (median(runCpus) - median(startCpus)) / std::max(median(insideCpus), 1e-9);
        state.SetIterationTime(run);
        state.counters["run_ms"] = run * 1e3;
        state.counters["start_ms"] = start * 1e3;
        state.counters["in_process_ms"] = work * 1e3;
        state.counters["ratio"] = (run - start) / work;
        state.counters["cpu_ratio"] = cpuRatio;
        char text[240];
        std::snprintf(text, sizeof text,
                      "CLI run %.0f ms, bare process start %.0f ms, in process %.0f ms: "
                      "(run - start) / in process = %.2f (target <= 1.5); processor time %.2f",
                      run * 1e3, start * 1e3, work * 1e3, (run - start) / work, cpuRatio);
        state.SetLabel(text);
    }
    unlink(png.c_str());
    unlink(wav.c_str());
    rmdir(dir);
}

const long kCores = std::max(1L, long(std::thread::hardware_concurrency()));

} // namespace

BENCHMARK(BM_Voiceprint)
    ->ArgNames({"fine", "threads"})
    ->Args({0, 1})
    ->Args({0, kCores})
    ->Args({1, 1})
    ->Args({1, kCores})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_VoiceprintTargets)
    ->ArgName("fine")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CliRun)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VoiceprintDb)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PitchDetection)->Unit(benchmark::kMillisecond)->UseRealTime();
