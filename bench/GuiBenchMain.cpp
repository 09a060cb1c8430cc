// The main of the benchmarks that need widgets: one QApplication for the
// whole run, headless unless a platform is chosen.
#include "GuiBench.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace tqf {

namespace {

std::vector<std::function<void()>>& Cleanups() {
    static std::vector<std::function<void()>> cleanups;
    return cleanups;
}

} // namespace

void AtBenchmarksEnd(std::function<void()> cleanup) { Cleanups().push_back(std::move(cleanup)); }

} // namespace tqf

int main(int argc, char** argv) {
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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    for (const std::function<void()>& cleanup : tqf::Cleanups()) {
        cleanup();
    }
    benchmark::Shutdown();
    return 0;
}
