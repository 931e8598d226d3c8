#include "cli/CliWhole.h"

#include "cli/CliFiles.h"

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

// A .npy file of a known shape written a block of rows at a time. It lives under a temporary
// name beside its final one until commit() renames it; dropped unfinished, it is removed.
class NpyStream {
public:
    NpyStream() = default;
    NpyStream(const NpyStream&) = delete;
    NpyStream& operator=(const NpyStream&) = delete;
    ~NpyStream() {
        if (m_file) {
            std::fclose(m_file);
            std::remove(m_temporary.c_str());
        }
    }

    bool open(const std::string& path, long rows, long cols) {
        m_path = path;
        std::string name = path + ".tmp.XXXXXX";
        const int fd = mkstemp(&name[0]);
        if (fd < 0)
            return false;
        m_temporary = name;
        m_file = fdopen(fd, "wb");
        if (!m_file) {
            close(fd);
            std::remove(m_temporary.c_str());
            return false;
        }
        // The same header writeNpy gives: format 1.0, data on a 64-byte boundary.
        std::string header = "{'descr': '<f8', 'fortran_order': False, 'shape': (" +
                             std::to_string(rows) + ", " + std::to_string(cols) + "), }";
        header.append((10 + header.size() + 1 + 63) / 64 * 64 - 10 - header.size() - 1, ' ');
        header.push_back('\n');
        std::string head("\x93NUMPY\x01\x00", 8);
        head.push_back(char(header.size() & 0xFF));
        head.push_back(char(header.size() >> 8));
        head += header;
        return std::fwrite(head.data(), 1, head.size(), m_file) == head.size();
    }

    bool append(const double* data, size_t count) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        for (size_t i = 0; i < count; ++i) {
            uint64_t v;
            std::memcpy(&v, &data[i], 8);
            v = __builtin_bswap64(v);
            if (std::fwrite(&v, 8, 1, m_file) != 1)
                return false;
        }
        return true;
#else
        return std::fwrite(data, sizeof(double), count, m_file) == count;
#endif
    }

    bool commit() {
        FILE* f = m_file;
        m_file = nullptr;
        const bool written = std::fflush(f) == 0 && fsync(fileno(f)) == 0;
        if (std::fclose(f) == 0 && written && std::rename(m_temporary.c_str(), m_path.c_str()) == 0)
            return true;
        std::remove(m_temporary.c_str());
        return false;
    }

    const std::string& path() const {
        return m_path;
    }

private:
    FILE* m_file = nullptr;
    std::string m_path, m_temporary;
};

bool makeDirectory(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    return mkdir(dir.c_str(), 0777) == 0;
}

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
    const long bins = s.work.m_ssftSize / 2;
    const char* const planeNames[] = {"hamDbMap", "restoreDbMap", "rectDbMap"};
    NpyStream planes[3];
    if (!npyDir.empty()) {
        if (!makeDirectory(npyDir)) {
            err << "vocalith-cli: cannot create directory " << npyDir << ".\n";
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
    for (NpyStream& plane : planes) {
        if (!plane.commit()) {
            err << "vocalith-cli: cannot write " << plane.path() << ".\n";
            return 1;
        }
        out << "wrote " << plane.path() << "\n";
    }
    const std::pair<const char*, const std::vector<double>*> spectra[] = {
        {"hamDb", &s.hamDb}, {"restoreDb", &s.restoreDb}, {"rectDb", &s.rectDb}};
    for (const auto& [name, values] : spectra) {
        const std::string path = npyDir + "/" + name + ".npy";
        if (!writeNpy(path, values->data(), -1, long(values->size()))) {
            err << "vocalith-cli: cannot write " << path << ".\n";
            return 1;
        }
        out << "wrote " << path << "\n";
    }
    return 0;
}
