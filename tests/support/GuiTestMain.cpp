#include <cstdlib>

#include <wx/app.h>

#include "support/GuiFixture.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest's discovery) needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    // Settings (recent files) go to a scratch folder, never the user's own.
    char config[] = "/tmp/vocalith-config-XXXXXX";
    if (mkdtemp(config))
        setenv("XDG_CONFIG_HOME", config, 1);
    wxApp::SetInstance(new GuiTestApp);
    return wxEntry(argc, argv);
}
