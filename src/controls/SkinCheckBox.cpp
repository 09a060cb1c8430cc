#include "SkinCheckBox.h"

#include "SkinCheckBoxAccessible.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

namespace tqf {

SkinCheckBox::SkinCheckBox(const QString& caption, QWidget* parent) : SkinButton(caption, parent) {
    kind_ = CHECK_BOX;
    SkinCheckBoxAccessible::Install();
}

void SkinCheckBox::ToggleAndNotify() {
    checkState_ = 1 - checkState_;
    // Told before clicked(), whose receiver may delete the box.
    SkinCheckBoxAccessible::NotifyCheckChanged(this);
    emit clicked(checkState_ == 1);
}

void SkinCheckBox::Toggle() {
    QPointer<SkinCheckBox> alive(this);
    ToggleAndNotify();
    if (alive != nullptr) {
        InvalidateCheckSquare();
    }
}

bool SkinCheckBox::event(QEvent* event) {
    // A mnemonic works like a click on the box, not like QAbstractButton's
    // animated click, which would notify without toggling.
    if (event->type() == QEvent::Shortcut) {
        setFocus(Qt::ShortcutFocusReason);
        Toggle();
        return true;
    }
    return SkinButton::event(event);
}

void SkinCheckBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        SkinButton::mousePressEvent(event);
        return;
    }
    // Qt sends this widget every move and the release until the button goes
    // up, which is the capture; capturing_ records that it was taken here.
    pressed_ = 1;
    setFocus(Qt::MouseFocusReason);
    capturing_ = true;
    InvalidateCheckSquare();
    event->accept();
}

void SkinCheckBox::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!capturing_) {
        return;
    }
    const int inside = rect().contains(event->position().toPoint()) ? 1 : 0;
    if (inside != pressed_) {
        pressed_ = inside;
        InvalidateCheckSquare();
    }
}

void SkinCheckBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        SkinButton::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    capturing_ = false;
    if (rect().contains(event->position().toPoint())) {
        // The receiver of clicked() sees the new check state while the box
        // still looks held; it may also delete the box.
        QPointer<SkinCheckBox> alive(this);
        ToggleAndNotify();
        if (alive == nullptr) {
            return;
        }
    }
    pressed_ = 0;
    InvalidateCheckSquare();
}

void SkinCheckBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) {
        // Other keys belong to the dialog.
        event->ignore();
        return;
    }
    event->accept();
    // Held Space repeats; only the first press changes the look.
    if (pressed_ == 0) {
        pressed_ = 1;
        InvalidateCheckSquare();
    }
}

void SkinCheckBox::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) {
        event->ignore();
        return;
    }
    event->accept();
    // Qt reports a held key as repeated release and press pairs; only the real
    // release counts.
    if (event->isAutoRepeat()) {
        return;
    }
    pressed_ = 0;
    QPointer<SkinCheckBox> alive(this);
    ToggleAndNotify();
    if (alive != nullptr) {
        InvalidateCheckSquare();
    }
}

} // namespace tqf
