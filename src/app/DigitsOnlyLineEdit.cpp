#include "DigitsOnlyLineEdit.h"

#include "EditFieldLimits.h"

#include <QKeyEvent>

namespace tqf {

namespace {

// Typed text that is printable and holds anything but digits is refused;
// editing keys and shortcuts (which carry control characters or modifiers)
// pass.
bool IsRefusedTyping(const QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty()) {
        return false;
    }
    constexpr Qt::KeyboardModifiers SHORTCUT_MODIFIERS = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if ((event->modifiers() & SHORTCUT_MODIFIERS) != 0) {
        return false;
    }
    for (const QChar c : text) {
        if (!c.isPrint()) {
            return false;
        }
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return true;
        }
    }
    return false;
}

} // namespace

DigitsOnlyLineEdit::DigitsOnlyLineEdit(QWidget* parent) : QLineEdit(parent) { setMaxLength(EDIT_FIELD_MAX_LENGTH); }

void DigitsOnlyLineEdit::keyPressEvent(QKeyEvent* event) {
    if (IsRefusedTyping(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace tqf
