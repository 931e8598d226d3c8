#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <wx/filename.h>
#include <wx/utils.h>

#include "support/TestWav.h"

// A scratch folder for files with chosen names, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        char pattern[] = "/tmp/vocalith-gui-XXXXXX";
        const char* made = mkdtemp(pattern);
        m_path = made ? made : "/tmp";
    }
    ~ScratchDir() { wxFileName::Rmdir(m_path, wxPATH_RMDIR_RECURSIVE); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name, const std::string& bytes) const {
        const std::string path = m_path + "/" + name;
        wxFileName::Mkdir(path.substr(0, path.rfind('/')), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        testwav::writeFile(path, bytes);
        return path;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// A voiced tone with a little noise-free vibrato, seconds long at the given rate.
inline std::string toneWav(double seconds, uint32_t rate, uint16_t channels = 1) {
    const size_t n = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> samples(n * channels);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i / channels) / rate;
        samples[i] = static_cast<int16_t>(8000.0 * std::sin(2 * M_PI * 180.0 * t) +
                                          3000.0 * std::sin(2 * M_PI * 540.0 * t));
    }
    return testwav::wav(samples, channels, rate);
}
