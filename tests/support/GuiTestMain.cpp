#include <cstdlib>
#include <filesystem>

#include <wx/app.h>

#include "support/GuiFixture.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest's discovery) needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    // The program keeps nothing between runs: a home of its own, where tests find nothing of it
    // (OpenTest.OtherFormatsOpenInMemory), removed at the end with what the toolkit put there.
    static char home[] = "/tmp/vocalith-home-XXXXXX";
    if (mkdtemp(home)) {
        setenv("HOME", home, 1);
        setenv("XDG_CONFIG_HOME", home, 1);
        setenv("XDG_CACHE_HOME", home, 1);
    }
    wxApp::SetInstance(new GuiTestApp);
    const int result = wxEntry(argc, argv);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
