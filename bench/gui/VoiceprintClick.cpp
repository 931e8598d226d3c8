// From the voiceprint command to the drawn voiceprint, on the real main window, and the CPU
// time the window's own thread spends on it. The worker's pause before its last event (it waits
// up to 200 ms for the window to catch up with the progress events) is taken off only for as
// long as it really lasted.
//   BM_VoiceprintFromClick*: a full voiceprint of the default view
//   BM_VoiceprintAfterStep: the view moved by one hop (">" by a whole hop), then the voiceprint;
//     the frames still in view are reused
//   BM_VoiceprintKeptByKey: Right and Left with a voiceprint shown, which computes the new
//     view's voiceprint again (a tenth of the stretch moved, the rest reused), from the key
//     to the drawn voiceprint
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include <wx/evtloop.h>
#include <wx/wx.h>

#include "engine/analysis/CWorkMemory.h"
#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"
#include "support/FrameProbe.h"
#include "gui/frame/VoiceprintWorker.h"
#include "engine/sound/CWavPara.h"
#include "support/TestWav.h"

MyFrame* g_frame = nullptr;

namespace {

void pump() {
    wxTheApp->ProcessPendingEvents();
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (loop && loop->Pending())
        loop->Dispatch();
}

void openTenSeconds() {
    static testwav::TempFile file([] {
        std::vector<int16_t> s(441000);
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 180.0 * i / 44100.0) +
                                        3000 * std::sin(2 * M_PI * 540.0 * i / 44100.0));
        return testwav::wav(s);
    }());
    inside(g_frame).sound().waveFileName = file.path;
    inside(g_frame).sound().chosenFileName = "bench.wav";
    g_frame->readCommon();
    inside(g_frame).playMute()->SetValue(true);
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

struct Click {
    double seconds; // click to drawn, less the worker's real pause
    double guiCpu;  // CPU time of this (the window's) thread meanwhile
    double pause;   // the pause taken off
};

// From `command` to the voiceprint it starts drawn.
template <class Command> Click timed(Command command) {
    const double cpu0 = threadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    command();
    while (inside(g_frame).voiceprintRunning()) {
        pump();
        wxMilliSleep(1);
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double pause = voiceprint_detail::lastPauseSeconds();
    return {wall - pause, threadCpuSeconds() - cpu0, pause};
}

Click voiceprintOnce() {
    return timed([] { g_frame->toVoiceprint(); });
}

void prepareView(CWorkMemory::senseMode mode) {
    openTenSeconds();
    CWorkMemory& work = *inside(g_frame).work();
    work.setSize(4096, inside(g_frame).wave()->m_windowLen, mode, 512, 853);
    g_frame->analyseStretch();
}

double g_fullNormal = 0.0; // median click-to-drawn of the full normal-mode voiceprint

void report(benchmark::State& state, std::vector<Click>& clicks, bool full, bool normal) {
    auto median = [&](double Click::*field) {
        std::vector<double> v;
        for (const Click& c : clicks)
            v.push_back(c.*field);
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    const double wall = median(&Click::seconds), cpu = median(&Click::guiCpu);
    state.counters["drawn_ms"] = wall * 1e3;
    state.counters["gui_cpu_ms"] = cpu * 1e3;
    state.counters["pause_ms"] = median(&Click::pause) * 1e3;
    char text[160];
    if (full && normal) {
        g_fullNormal = wall;
        std::snprintf(
            text, sizeof text,
            "click to drawn %.0f ms (target <=250), window thread CPU %.0f ms (target <=80)",
            wall * 1e3, cpu * 1e3);
    } else if (full) {
        std::snprintf(text, sizeof text, "click to drawn %.0f ms, window thread CPU %.0f ms",
                      wall * 1e3, cpu * 1e3);
    } else {
        std::snprintf(text, sizeof text,
                      "one step %.0f ms = %.0f%% of a full voiceprint (target <=30%%), window "
                      "thread CPU %.0f ms",
                      wall * 1e3, g_fullNormal > 0 ? 100 * wall / g_fullNormal : 0.0, cpu * 1e3);
    }
    state.SetLabel(text);
}

void run(benchmark::State& state, CWorkMemory::senseMode mode) {
    prepareView(mode);
    std::vector<Click> clicks;
    for (auto _ : state) {
        // The same stretch again would reuse every frame: the memory is sized afresh each time.
        inside(g_frame).work()->setSize(4096, inside(g_frame).wave()->m_windowLen, mode, 512, 853);
        g_frame->analyseStretch();
        clicks.push_back(voiceprintOnce());
        state.SetIterationTime(clicks.back().seconds);
    }
    report(state, clicks, true, mode == CWorkMemory::senseNormal);
    state.counters["frames"] = inside(g_frame).work()->m_repeatTimes;
}

void BM_VoiceprintFromClickNormal(benchmark::State& state) {
    run(state, CWorkMemory::senseNormal);
}
void BM_VoiceprintFromClickFine(benchmark::State& state) {
    run(state, CWorkMemory::senseFine);
}

void BM_VoiceprintAfterStep(benchmark::State& state) {
    prepareView(CWorkMemory::senseNormal);
    voiceprintOnce();
    std::vector<Click> clicks;
    long step = 512;
    for (auto _ : state) {
        g_frame->shiftSliderPos(inside(g_frame).wave()->m_cursor + step);
        step = -step;
        clicks.push_back(voiceprintOnce());
        state.SetIterationTime(clicks.back().seconds);
    }
    report(state, clicks, false, true);
    state.counters["reused"] = double(voiceprint_detail::lastReusedFrames());
}

BENCHMARK(BM_VoiceprintFromClickNormal)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7);
BENCHMARK(BM_VoiceprintFromClickFine)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_VoiceprintAfterStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

void BM_VoiceprintKeptByKey(benchmark::State& state) {
    openTenSeconds();
    // Zoomed in on the middle half: a stretch with room to move both ways in the window.
    g_frame->runCommand(MyFrame::ID_ZoomIn);
    voiceprintOnce();
    std::vector<Click> moves;
    int id = MyFrame::ID_TenthForward;
    for (auto _ : state) {
        moves.push_back(timed([id] { g_frame->runCommand(id); }));
        state.SetIterationTime(moves.back().seconds);
        id = id == MyFrame::ID_TenthForward ? MyFrame::ID_TenthBack : MyFrame::ID_TenthForward;
    }
    std::sort(moves.begin(), moves.end(),
              [](const Click& a, const Click& b) { return a.seconds < b.seconds; });
    const Click& median = moves[moves.size() / 2];
    char text[160];
    std::snprintf(text, sizeof text,
                  "key to drawn %.0f ms (its dialog shows past 300 ms), window thread CPU %.0f ms, "
                  "%ld of %ld frames reused",
                  median.seconds * 1e3, median.guiCpu * 1e3, voiceprint_detail::lastReusedFrames(),
                  long(inside(g_frame).work()->m_repeatTimes));
    state.SetLabel(text);
}
BENCHMARK(BM_VoiceprintKeptByKey)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

} // namespace
