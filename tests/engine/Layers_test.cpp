// Each layer includes only what it stands on. The engine must build and run without a display:
// no toolkit header beyond the toolkit's base library, and none of the window's. The command line
// and the Python module stand on the engine alone: engine/ and their own files, never each
// other's or the window's.
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

TEST(Layers, EachIncludesOnlyWhatItStandsOn) {
    const std::set<std::string> wxBase = {"wx/string.h", "wx/object.h", "wx/strconv.h",
                                          "wx/arrstr.h", "wx/buffer.h", "wx/thread.h"};
    const std::regex include(R"re(^\s*#\s*include\s*([<"])([^>"]+)[>"])re"),
        windowCode("^(gui|gtk|gdk|alsa|wx)/");
    const std::pair<const char*, const char*> layers[] = {
        {"engine", "^engine/"}, {"cli", "^(engine|cli)/"}, {"python", "^engine/"}};
    for (const auto& [layer, ours] : layers) {
        const std::regex own(ours);
        int includes = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(
                 std::filesystem::path(VOCALITH_SOURCE_DIR) / "src" / layer)) {
            std::ifstream in(entry.path());
            std::string line;
            std::smatch m;
            for (int n = 1; std::getline(in, line); ++n) {
                if (!std::regex_search(line, m, include))
                    continue;
                ++includes;
                const std::string name = m[2];
                // Our own headers by their layer; the system's and the libraries' anything but
                // the window's.
                const bool allowed =
                    m[1] == "\"" ? std::regex_search(name, own)
                                 : wxBase.count(name) || !std::regex_search(name, windowCode);
                EXPECT_TRUE(allowed) << entry.path().string() << ":" << n << " includes " << name;
            }
        }
        EXPECT_GT(includes, 10) << layer; // the walk really saw the sources
    }
}
