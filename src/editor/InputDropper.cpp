#include "InputDropper.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace tqf {

InputDropper::InputDropper() { QCoreApplication::instance()->installEventFilter(this); }

InputDropper::~InputDropper() { QCoreApplication::instance()->removeEventFilter(this); }

bool InputDropper::Allowed(QObject* watched) const {
    if (allowed_ == nullptr) {
        return false;
    }
    // Input comes to the window's native handle first, then to its widgets.
    if (const auto* widget = qobject_cast<QWidget*>(watched)) {
        return widget->window() == allowed_;
    }
    const auto* window = qobject_cast<QWindow*>(watched);
    return window != nullptr && window == allowed_->windowHandle();
}

bool InputDropper::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return !Allowed(watched);
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace tqf
