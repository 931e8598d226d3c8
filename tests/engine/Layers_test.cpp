// The engine must build and run without a display: no file under src/engine may include window
// code or a toolkit header beyond the toolkit's base library.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

TEST(Layers, EngineIncludesNoWindowCode) {
    const std::set<std::string> wxBase = {"wx/string.h", "wx/object.h", "wx/strconv.h",
                                          "wx/arrstr.h", "wx/buffer.h", "wx/thread.h"};
    const std::regex include(R"(^\s*#\s*include\s*[<"]((gui|gtk|gdk|alsa|wx)/[^>"]+)[>"])");
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             std::filesystem::path(VOCALITH_SOURCE_DIR) / "src" / "engine")) {
        files += entry.is_regular_file();
        std::ifstream in(entry.path());
        std::string line;
        std::smatch m;
        for (int n = 1; std::getline(in, line); ++n)
            EXPECT_FALSE(std::regex_search(line, m, include) && !wxBase.count(m[1]))
                << entry.path().string() << ":" << n << " includes " << m[1];
    }
    EXPECT_GT(files, 20); // the walk really saw the engine
}

// The front ends stand on the engine alone: the command line and the Python module include
// engine/ and their own files, never each other's or the window's.
TEST(Layers, FrontEndsIncludeOnlyTheEngine) {
    const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    const std::pair<const char*, std::set<std::string>> layers[] = {{"cli", {"engine/", "cli/"}},
                                                                    {"python", {"engine/"}}};
    for (const auto& [layer, allowed] : layers) {
        int includes = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(
                 std::filesystem::path(VOCALITH_SOURCE_DIR) / "src" / layer)) {
            std::ifstream in(entry.path());
            std::string line;
            std::smatch m;
            while (std::getline(in, line)) {
                if (!std::regex_search(line, m, include))
                    continue;
                ++includes;
                const std::string name = m[1];
                EXPECT_TRUE(std::any_of(
                    allowed.begin(), allowed.end(),
                    [&](const std::string& a) { return name.compare(0, a.size(), a) == 0; }))
                    << entry.path().string() << " includes " << name;
            }
        }
        EXPECT_GT(includes, 3) << layer; // the walk really saw the sources
    }
}
