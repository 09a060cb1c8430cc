#include "DialogFont.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

// Widget tests share one QApplication and run headless.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtimeDir = QDir::tempPath() + QStringLiteral("/tqf-runtime-") + QString::number(getuid());
        QDir().mkpath(runtimeDir);
        ::chmod(runtimeDir.toLocal8Bit().constData(), S_IRWXU);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.toLocal8Bit());
    }
    QApplication app(argc, argv);
    tqf::DialogFont::RegisterFonts();
    return RUN_ALL_TESTS();
}
