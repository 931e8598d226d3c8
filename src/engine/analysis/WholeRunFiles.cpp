#include "engine/analysis/WholeRunFiles.h"

#include "engine/render/PictureFiles.h"
#include "engine/sound/OutputFile.h"

#include <sys/stat.h>

#include <ostream>

namespace {

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

bool writeWholeVoiceprintNpy(AnalysisSetup& s, const std::string& dir, const RunProgress& progress,
                             std::ostream& err, std::vector<std::string>& written) {
    const long bins = s.work.m_ssftSize / 2;
    const char* const names[] = {"hamDbMap", "restoreDbMap", "rectDbMap",
                                 "hamDb",    "restoreDb",    "rectDb"};
    if (!makeDirectory(dir)) {
        err << directoryProblem(dir) << "\n";
        return false;
    }
    NpyStream files[6];
    for (int p = 0; p < 3; ++p) {
        if (!files[p].open(dir + "/" + names[p] + ".npy", s.frames, bins)) {
            err << "cannot write " << files[p].path() << ".\n";
            return false;
        }
    }
    const auto sink = [&](const AnalysisChunk& c, const CWorkMemory& w) {
        const double* rows[] = {w.m_hamDbMap, w.m_restoreDbMap, w.m_rectDbMap};
        for (int p = 0; p < 3; ++p) {
            if (!files[p].append(rows[p], size_t(c.frames) * size_t(bins))) {
                err << "cannot write " << files[p].path() << ".\n";
                return false;
            }
        }
        return true;
    };
    if (!runAnalysis(s, sink, progress, err))
        return false;
    const std::vector<double>* spectra[] = {&s.hamDb, &s.restoreDb, &s.rectDb};
    for (int p = 3; p < 6; ++p) {
        const std::vector<double>& v = *spectra[p - 3];
        if (!files[p].open(dir + "/" + names[p] + ".npy", -1, long(v.size())) ||
            !files[p].append(v.data(), v.size())) {
            err << "cannot write " << files[p].path() << ".\n";
            return false;
        }
    }
    for (NpyStream& file : files) {
        if (!file.commit()) {
            err << "cannot write " << file.path() << ".\n";
            return false;
        }
        written.push_back(file.path());
    }
    return true;
}
