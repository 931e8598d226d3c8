// The engine must build and run without a display: no file under src/engine may include window
// code or a toolkit header beyond the toolkit's base library.
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(Layers, EngineIncludesNoWindowCode) {
    // The wx headers of the base library the engine may use.
    const std::set<std::string> wxBase = {"string.h", "object.h", "strconv.h", "arrstr.h",
                                          "buffer.h", "thread.h", "defs.h",    "chartype.h"};
    const std::regex include(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"])");
    const fs::path engine = fs::path(VOCALITH_SOURCE_DIR) / "src" / "engine";
    ASSERT_TRUE(fs::is_directory(engine)) << engine;
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(engine)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        for (int n = 1; std::getline(in, line); ++n) {
            std::smatch m;
            if (!std::regex_search(line, m, include))
                continue;
            const std::string h = m[1];
            const bool window = h.rfind("gui/", 0) == 0 || h.rfind("gtk/", 0) == 0 ||
                                h.rfind("gdk/", 0) == 0 || h.rfind("alsa/", 0) == 0 ||
                                (h.rfind("wx/", 0) == 0 && !wxBase.count(h.substr(3)));
            EXPECT_FALSE(window) << entry.path().string() << ":" << n << " includes " << h;
        }
    }
    EXPECT_GT(files, 20); // the walk really saw the engine
}
