#include "EditorApp.h"
#include "FileIdentity.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (!tqf::EditorApp::HasDisplay()) {
        std::fprintf(stderr, "%s\n", tqf::EditorApp::NoDisplayText());
        return EXIT_FAILURE;
    }
    // A save past the file-size limit then fails with its reason, and the
    // editor with its unsaved changes stays.
    tqf::IgnoreFileSizeSignal();
    tqf::EditorApp app(argc, argv);
    app.InitInstance();
    return EXIT_SUCCESS;
}
