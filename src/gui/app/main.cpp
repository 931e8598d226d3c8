#include "gui/app/MyApp.h"

int main(int argc, char** argv) {
    // Created here rather than by a static initialiser: MyApp lives in a library, and
    // nothing else would pull its object file into the program.
    wxApp::SetInstance(new MyApp);
    return wxEntry(argc, argv);
}
