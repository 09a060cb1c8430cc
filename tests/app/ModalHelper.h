#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace tqf {

// Runs action on the next modal window or popup menu once it shows, from
// inside the nested loop that shows it.
inline void OnNextModal(std::function<void(QWidget*)> action, bool popup = false) {
    constexpr int POLL_MS = 20;
    auto* timer = new QTimer;
    timer->setInterval(POLL_MS);
    QObject::connect(timer, &QTimer::timeout, [timer, action, popup] {
        QWidget* shown = popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (shown == nullptr || !shown->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(shown);
    });
    timer->start();
}

} // namespace tqf
