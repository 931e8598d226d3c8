#include <unistd.h>

#include <cstdlib>

#include <wx/app.h>

#include "support/GuiFixture.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest's discovery) needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    // The program keeps nothing between runs: a home of its own, which tests find empty
    // (OpenTest.OtherFormatsOpenInMemory) and which goes again at the end.
    static char home[] = "/tmp/vocalith-home-XXXXXX";
    if (mkdtemp(home)) {
        setenv("HOME", home, 1);
        setenv("XDG_CONFIG_HOME", home, 1);
        setenv("XDG_CACHE_HOME", home, 1);
    }
    wxApp::SetInstance(new GuiTestApp);
    const int result = wxEntry(argc, argv);
    rmdir(home);
    return result;
}
