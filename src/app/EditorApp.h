#pragma once

#include <QApplication>
#include <QString>

#include <string>

namespace tqf {

class EditorDialog;

// The application object: it runs the main window as a modal dialog and lets
// the process end when the window ends.
class EditorApp : public QApplication {
    Q_OBJECT

public:
    EditorApp(int& argc, char** argv);

    // Runs the main window until it closes, with file open in it when one
    // is given. Returns false: there is no loop of the application's own
    // after the window.
    bool InitInstance(const QString& file = QString());

    // Opens file in the window as Open does, once the window runs: its
    // reports then show over the window. A file that does not exist starts
    // an empty library that Save writes there.
    static void OpenAtStart(EditorDialog& dialog, const QString& file);

    // Whether the windowing system can be reached: Qt aborts without one, so
    // the program checks before it creates the application object.
    static bool HasDisplay();

    // The one line the program prints when there is no display; program is
    // the command as it was run, which the advice repeats.
    static std::string NoDisplayText(const char* program);
};

} // namespace tqf
