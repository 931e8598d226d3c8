#include "cli/CliWhole.h"

#include "engine/analysis/WholeRunFiles.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

RunProgress terminalProgress(std::ostream& err) {
    if (&err != &std::cerr || !isatty(STDERR_FILENO))
        return {};
    struct Bar {
        Clock::time_point begin = Clock::now(), drawn;
        bool shown = false;
    };
    auto bar = std::make_shared<Bar>();
    return [bar, &err](long done, long total) {
        const Clock::time_point now = Clock::now();
        const bool end = done >= total;
        if (end) {
            if (bar->shown)
                err << "\r" << std::string(60, ' ') << "\r" << std::flush;
            bar->shown = false;
            return;
        }
        // Quick runs show nothing; long ones redraw a few times a second.
        if (now - bar->begin < std::chrono::seconds(1) ||
            (bar->shown && now - bar->drawn < std::chrono::milliseconds(200)))
            return;
        const long percent = total > 0 ? done * 100 / total : 0;
        const std::string filled(size_t(percent * 30 / 100), '#');
        char line[128];
        std::snprintf(line, sizeof line, "\r%3ld%% [%-30s] %ld/%ld frames", percent, filled.c_str(),
                      done, total);
        err << line << std::flush;
        bar->shown = true;
        bar->drawn = now;
    };
}

std::string voiceprintSummary(const AnalysisSetup& s, double seconds) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "voiceprint: %ld frames x %ld bins (SsftSize %ld, Interval %ld, %s, from "
                  "sample %ld) in %.3f s on %u thread%s\n",
                  s.frames, long(s.work.m_ssftSize / 2), long(s.work.m_ssftSize),
                  long(s.work.m_interval),
                  s.work.m_senseMode == CWorkMemory::senseFine ? "fine" : "normal", s.firstSample,
                  seconds, s.threads, s.threads == 1 ? "" : "s");
    return line;
}

int runWholeVoiceprint(AnalysisSetup& s, const std::string& npyDir, const RunProgress& progress,
                       std::ostream& out, std::ostream& err) {
    const auto begin = Clock::now();
    std::vector<std::string> written;
    if (npyDir.empty() ? !runAnalysis(s, {}, progress, err)
                       : !writeWholeVoiceprintNpy(s, npyDir, progress, err, written))
        return 1;
    out << voiceprintSummary(s, std::chrono::duration<double>(Clock::now() - begin).count());
    for (const std::string& path : written)
        out << "wrote " << path << "\n";
    return 0;
}
