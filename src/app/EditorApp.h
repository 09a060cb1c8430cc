#pragma once

#include <QApplication>

namespace tqf {

// The application object: it runs the main window as a modal dialog and lets
// the process end when the window ends.
class EditorApp : public QApplication {
    Q_OBJECT

public:
    EditorApp(int& argc, char** argv);

    // Runs the main window until it closes. Returns false: there is no loop
    // of the application's own after the window.
    bool InitInstance();

    // Whether the windowing system can be reached: Qt aborts without one, so
    // the program checks before it creates the application object.
    static bool HasDisplay();

    // The one line the program prints when there is no display.
    static const char* NoDisplayText();
};

} // namespace tqf
