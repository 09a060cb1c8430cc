#include "EditorApp.h"
#include "EditorCommandLine.h"
#include "FileIdentity.h"
#include "RecentFiles.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

void Print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Prints what the command line asked for, or why it was refused; the exit
// status, or -1 when the editor is to start.
int Answer(const tqf::EditorCommandLine& line) {
    switch (line.action) {
    case tqf::EditorCommandLine::Action::ShowHelp:
    case tqf::EditorCommandLine::Action::ShowVersion:
        Print(stdout, line.text);
        return EXIT_SUCCESS;
    case tqf::EditorCommandLine::Action::Refuse:
        Print(stderr, line.text);
        return tqf::EditorCommandLine::EXIT_USAGE;
    case tqf::EditorCommandLine::Action::Run:
        break;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    // The command line is read before the windowing system is reached, so
    // --help and --version work without a display.
    tqf::EditorCommandLine line;
    {
        const QCoreApplication reader(argc, argv);
        line = tqf::EditorCommandLine::Parse(QCoreApplication::arguments());
    }
    const bool refused = line.action == tqf::EditorCommandLine::Action::Refuse;
    if (!refused || !tqf::EditorApp::HasDisplay()) {
        if (const int status = Answer(line); status >= 0) {
            return status;
        }
    }
    if (!tqf::EditorApp::HasDisplay()) {
        std::fprintf(stderr, "%s\n", tqf::EditorApp::NoDisplayText(argv[0]).c_str());
        return EXIT_FAILURE;
    }
    // A save past the file-size limit then fails with its reason, and the
    // editor with its unsaved changes stays.
    tqf::IgnoreFileSizeSignal();
    tqf::EditorApp app(argc, argv);
    if (refused) {
        // The application object takes Qt's own options (-style, -platform,
        // ...) off the command line; what is left decides.
        line = tqf::EditorCommandLine::Parse(QCoreApplication::arguments());
        if (const int status = Answer(line); status >= 0) {
            return status;
        }
    }
    if (line.noSettings) {
        tqf::RecentFiles::SwitchOffSettings();
    }
    app.InitInstance(line.file);
    return EXIT_SUCCESS;
}
