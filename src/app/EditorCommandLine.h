#pragma once

#include <QString>
#include <QStringList>

namespace tqf {

// What the editor's command line asks for: tqf-editor [--help | --version]
// [--no-settings] [FILE]. It is read before anything needs a display, so that --help and
// --version work without one.
class EditorCommandLine {
public:
    enum class Action {
        Run,         // start the editor, with file when there is one
        ShowHelp,    // print text on standard output and exit 0
        ShowVersion, // print text on standard output and exit 0
        Refuse,      // print text on standard error and exit EXIT_USAGE
    };

    static constexpr int EXIT_USAGE = 2;

    // arguments as QCoreApplication::arguments() gives them, the program
    // first. A file is made absolute against the current folder, so the path
    // display names it as the open dialog would.
    static EditorCommandLine Parse(const QStringList& arguments);

    Action action = Action::Run;
    QString file;
    QString text;
    // Nothing is read from or kept in the user's settings (recent files).
    bool noSettings = false;
};

} // namespace tqf
