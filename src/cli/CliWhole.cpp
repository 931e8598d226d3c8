#include "cli/CliWhole.h"

#include "engine/render/PictureFiles.h"
#include "engine/sound/OutputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// A .npy file of a known shape written a block of rows at a time through the output writer:
// nothing shows at its name until commit(), and dropped unfinished it leaves nothing.
class NpyStream {
public:
    bool open(const std::string& path, long rows, long cols) {
        m_path = path;
        const std::string head = npyHeader(rows, cols);
        return m_file.open(path) && m_file.write(head.data(), head.size());
    }
    bool append(const double* data, size_t count) {
        std::string bytes;
        appendNpyData(bytes, data, count);
        return m_file.write(bytes.data(), bytes.size());
    }
    bool commit() { return m_file.commit() == COutputFile::outputOk; }
    const std::string& path() const { return m_path; }

private:
    COutputFile m_file;
    std::string m_path;
};

} // namespace

bool makeDirectory(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    return mkdir(dir.c_str(), 0777) == 0;
}

std::string directoryProblem(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return dir + " is not a directory.";
    return "cannot create directory " + dir + ".";
}

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
    const long bins = s.work.m_ssftSize / 2;
    const char* const planeNames[] = {"hamDbMap", "restoreDbMap", "rectDbMap"};
    NpyStream planes[3];
    if (!npyDir.empty()) {
        if (!makeDirectory(npyDir)) {
            err << "vocalith-cli: " << directoryProblem(npyDir) << "\n";
            return 1;
        }
        for (int p = 0; p < 3; ++p) {
            const std::string path = npyDir + "/" + planeNames[p] + ".npy";
            if (!planes[p].open(path, s.frames, bins)) {
                err << "vocalith-cli: cannot write " << path << ".\n";
                return 1;
            }
        }
    }
    const auto sink = [&](const AnalysisChunk& c, const CWorkMemory& w) {
        if (npyDir.empty())
            return true;
        const double* rows[] = {w.m_hamDbMap, w.m_restoreDbMap, w.m_rectDbMap};
        for (int p = 0; p < 3; ++p) {
            if (!planes[p].append(rows[p], size_t(c.frames) * size_t(bins))) {
                err << "vocalith-cli: cannot write " << planes[p].path() << ".\n";
                return false;
            }
        }
        return true;
    };
    const auto begin = Clock::now();
    if (!runAnalysis(s, sink, progress, err))
        return 1;
    out << voiceprintSummary(s, std::chrono::duration<double>(Clock::now() - begin).count());
    if (npyDir.empty())
        return 0;
    // The level spectra join the planes, and all six are put in place only once all are whole.
    const std::vector<double>* spectra[] = {&s.hamDb, &s.restoreDb, &s.rectDb};
    const char* const spectrumNames[] = {"hamDb", "restoreDb", "rectDb"};
    NpyStream levels[3];
    for (int p = 0; p < 3; ++p) {
        const std::string path = npyDir + "/" + spectrumNames[p] + ".npy";
        if (!levels[p].open(path, -1, long(spectra[p]->size())) ||
            !levels[p].append(spectra[p]->data(), spectra[p]->size())) {
            err << "vocalith-cli: cannot write " << path << ".\n";
            return 1;
        }
    }
    for (NpyStream* plane :
         {&planes[0], &planes[1], &planes[2], &levels[0], &levels[1], &levels[2]}) {
        if (!plane->commit()) {
            err << "vocalith-cli: cannot write " << plane->path() << ".\n";
            return 1;
        }
        out << "wrote " << plane->path() << "\n";
    }
    return 0;
}
