#include "EditorApp.h"

#include "DialogFont.h"
#include "EditorDialog.h"
#include "FileCommands.h"
#include "OpenTiming.h"
#include "ProductInfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>

#include <cstdlib>
#include <cstring>

namespace tqf {

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

} // namespace
#endif

EditorApp::EditorApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromUtf8(PRODUCT_NAME));
    setApplicationVersion(QString::fromUtf8(PRODUCT_VERSION));
    // The desktop matches the window to the installed desktop entry by it.
    setDesktopFileName(QString::fromLatin1(TQF_APP_ID));
}

bool EditorApp::InitInstance(const QString& file) {
    DialogFont::RegisterFonts();
    EditorDialog dialog;
    if (!file.isEmpty()) {
        OpenAtStart(dialog, file);
    }
    dialog.exec();
    return false;
}

void EditorApp::OpenAtStart(EditorDialog& dialog, const QString& file) {
    QMetaObject::invokeMethod(
        &dialog,
        [&dialog, file] {
            const QFileInfo info(file);
            if (!info.exists() && !info.isSymLink()) {
                dialog.Files().StartNamed(file);
                return;
            }
            // The window appears before a long read starts, so that its
            // first paint lays out an empty tree, not the part read so far.
            QCoreApplication::processEvents();
            OpenTiming* timing = OpenTiming::FromEnvironment(dialog);
            if (timing != nullptr) {
                timing->ReadStarting();
            }
            dialog.Files().OpenPath(file);
            if (timing != nullptr) {
                timing->ReadEnded();
            }
        },
        Qt::QueuedConnection);
}

bool EditorApp::HasDisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && platform[0] != '\0') {
        // An explicit X11 platform still needs its server; any other choice
        // (offscreen, wayland, vnc, ...) is the user's to make.
        if (std::strncmp(platform, "xcb", std::strlen("xcb")) == 0) {
            return IsSet("DISPLAY");
        }
        return true;
    }
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

std::string EditorApp::NoDisplayText(const char* program) {
    const std::string command = program != nullptr && program[0] != '\0' ? program : "tqf-editor";
    return "tqf-editor: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
           "run it under Xvfb: xvfb-run -a " +
           command;
}

} // namespace tqf
