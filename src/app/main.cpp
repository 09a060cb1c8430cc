#include "EditorApp.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (!tqf::EditorApp::HasDisplay()) {
        std::fprintf(stderr, "%s\n", tqf::EditorApp::NoDisplayText());
        return EXIT_FAILURE;
    }
    tqf::EditorApp app(argc, argv);
    app.InitInstance();
    return EXIT_SUCCESS;
}
