// From the voiceprint command to the drawn voiceprint, on the real main window.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include <wx/evtloop.h>
#include <wx/wx.h>

#include "engine/analysis/CWorkMemory.h"
#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"
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
    g_frame->m_waveFileName = file.path;
    g_frame->m_chosenFileName = "bench.wav";
    g_frame->readCommon();
    g_frame->m_playMute->SetValue(true);
}

void run(benchmark::State& state, CWorkMemory::senseMode mode) {
    openTenSeconds();
    CWorkMemory& work = *g_frame->m_workPara;
    work.setSize(4096, g_frame->m_wavePara->m_windowLen, mode, 512, 853);
    g_frame->analyseStretch();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        g_frame->toVoiceprint();
        while (g_frame->m_voiceprintRunning) {
            pump();
            wxMilliSleep(1);
        }
        // The worker's fixed pause before its last event is not part of the work.
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() - 0.2;
        state.SetIterationTime(seconds);
    }
    state.counters["frames"] = work.m_repeatTimes;
}

void BM_VoiceprintFromClickNormal(benchmark::State& state) {
    run(state, CWorkMemory::senseNormal);
}
void BM_VoiceprintFromClickFine(benchmark::State& state) {
    run(state, CWorkMemory::senseFine);
}

BENCHMARK(BM_VoiceprintFromClickNormal)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VoiceprintFromClickFine)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
