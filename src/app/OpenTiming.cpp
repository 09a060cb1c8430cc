#include "OpenTiming.h"

#include <QApplication>
#include <QEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tqf {

namespace {

constexpr const char* CANCEL_PREFIX = "cancel:";

} // namespace

OpenTiming* OpenTiming::FromEnvironment(QWidget& window) {
    const char* value = std::getenv(VARIABLE);
    if (value == nullptr || value[0] == '\0') {
        return nullptr;
    }
    int cancelAfterMs = -1;
    if (std::strncmp(value, CANCEL_PREFIX, std::strlen(CANCEL_PREFIX)) == 0) {
        cancelAfterMs = std::atoi(value + std::strlen(CANCEL_PREFIX));
    }
    return new OpenTiming(window, cancelAfterMs);
}

OpenTiming::OpenTiming(QWidget& window, int cancelAfterMs)
    : QObject(&window), window_(window), cancelAfterMs_(cancelAfterMs) {
    qApp->installEventFilter(this);
}

double OpenTiming::Now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void OpenTiming::Report(const char* what, double seconds) {
    std::fprintf(stderr, "%s %.6f\n", what, seconds);
    std::fflush(stderr);
}

void OpenTiming::ReadStarting() { Report("read-start", Now()); }

void OpenTiming::ReadEnded() {
    // The window is painted with what was read, and answers once the event
    // loop takes the next event.
    window_.repaint();
    QTimer::singleShot(0, this, [this] {
        Report(cancelAfterMs_ < 0 ? "shown" : "answered", Now());
        if (cancelAfterMs_ >= 0) {
            Report("cancel", cancelPressed_);
        }
        QCoreApplication::exit(0);
    });
}

bool OpenTiming::eventFilter(QObject* watched, QEvent* event) {
    auto* progress = qobject_cast<QProgressDialog*>(watched);
    if (event->type() == QEvent::Show && progress != nullptr && !progressSeen_) {
        progressSeen_ = true;
        const double shown = Now();
        Report("progress", shown);
        if (cancelAfterMs_ >= 0) {
            // A click reaches the program at the next moment it takes input:
            // the time counts from when the click was made.
            cancelPressed_ = shown + cancelAfterMs_ / 1000.0;
            QTimer::singleShot(cancelAfterMs_, progress, [progress] {
                if (auto* button = progress->findChild<QPushButton*>(); button != nullptr) {
                    button->click();
                }
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tqf
