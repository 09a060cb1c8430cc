#pragma once

#include <QApplication>
#include <QString>

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
    // reports then show over the window.
    static void OpenAtStart(EditorDialog& dialog, const QString& file);

    // Whether the windowing system can be reached: Qt aborts without one, so
    // the program checks before it creates the application object.
    static bool HasDisplay();

    // The one line the program prints when there is no display.
    static const char* NoDisplayText();
};

} // namespace tqf
