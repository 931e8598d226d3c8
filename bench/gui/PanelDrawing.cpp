// Drawing costs of the panels, on a real window (run under Xvfb).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include <wx/wx.h>

#include <wx/evtloop.h>

#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"
#include "gui/panels/myCanvasPanel.h"

extern MyFrame* g_frame; // the main window of VoiceprintClick.cpp

namespace {

myCanvasPanel* g_panel = nullptr;

void sizePanel(int w, int h) {
    g_panel->SetSize(w, h);
    g_panel->drawScale();
}

void BM_VoiceprintPlot(benchmark::State& state) {
    // Default view of a 10 s sound: 853 frames of 2048 bins, on a 1200 x 600 plot area.
    const long T = 853, H = 2048;
    std::vector<double> plane(T * H);
    for (long i = 0; i < T * H; ++i)
        plane[i] = -160.0 * ((i * 7919) % 1000) / 1000.0;
    sizePanel(1204, 604);
    for (auto _ : state) {
        g_panel->drawScaleTimeFreq(44100, 0, 8000);
        g_panel->drawdBTimeFreq(plane.data(), T, H, 44100, 512, 0, 8000, -160.0, 0.0);
    }
}

void BM_WaveformPlot(benchmark::State& state) {
    std::vector<double> wave(441000);
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = 20000.0 * std::sin(i * 0.01) * std::sin(i * 0.0003);
    sizePanel(1204, 84);
    for (auto _ : state)
        g_panel->drawWave(wave.data(), static_cast<int>(wave.size()), 32767.0, -32768.0);
}

void BM_OverviewPlot(benchmark::State& state) {
    // A 10-minute file's overview.
    std::vector<short> sub(26460000 / 8);
    for (size_t i = 0; i < sub.size(); ++i)
        sub[i] = static_cast<short>(20000.0 * std::sin(i * 0.01));
    sizePanel(600, 80);
    for (auto _ : state)
        g_panel->drawWaveSub(sub.data(), static_cast<int>(sub.size()), 32767, -32768);
}

BENCHMARK(BM_VoiceprintPlot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaveformPlot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverviewPlot)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The program's own application object, so the toolkit opens the display and the
    // main window finds its locks; its start-up is not run.
    wxApp::SetInstance(new MyApp);
    if (!wxEntryStart(argc, argv))
        return 1;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1300, 700));
        auto* holder = new wxPanel(frame);
        g_frame = new MyFrame("Vocalith");
        g_frame->Show();
        g_frame->init("");
        // The panel only draws here; the main window stands in as its listener.
        g_panel = new myCanvasPanel(holder, g_frame);
        frame->Show();
        benchmark::RunSpecifiedBenchmarks();
        g_frame->Destroy();
        frame->Destroy();
    }
    wxEntryCleanup();
    return 0;
}
