#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

namespace tqf::test {

// Drives a top-level window as a person does. Mouse and key events go to the
// window at window coordinates, so that Qt's own hit-testing and focus choose
// the widget that receives them: a control covered by another one, or one
// that cannot take the focus, fails here as it fails a person.
class WindowDriver {
public:
    explicit WindowDriver(QWidget* window) : window_(window) {}

    QWidget* Window() const { return window_; }
    QWindow* Handle() const { return window_->windowHandle(); }

    // The centre of a control in the window's coordinates.
    QPoint CentreOf(const QWidget* control) const { return control->mapTo(window_, control->rect().center()); }

    // The widget a press at the point reaches, as Qt's hit-testing finds it.
    QWidget* ReceiverAt(QPoint point) const {
        QWidget* receiver = window_->childAt(point);
        return receiver != nullptr ? receiver : window_;
    }
    // Whether a press at the control's centre reaches the control itself (or
    // a part of it, such as a scroll area's viewport).
    bool Reaches(const QWidget* control) const {
        const QWidget* receiver = ReceiverAt(CentreOf(control));
        return receiver == control || control->isAncestorOf(receiver);
    }

    void Click(QPoint point, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers modifiers = {}) const {
        QTest::mouseClick(Handle(), button, modifiers, point);
        Settle();
    }
    void Click(const QWidget* control, Qt::MouseButton button = Qt::LeftButton) const {
        Click(CentreOf(control), button);
    }
    void DoubleClick(QPoint point) const {
        QTest::mouseDClick(Handle(), Qt::LeftButton, {}, point);
        Settle();
    }
    // A move and, with no pause, a press and a release, as from a quick hand.
    void MoveAndClick(QPoint point) const {
        QTest::mouseMove(Handle(), point, 0);
        QTest::mouseClick(Handle(), Qt::LeftButton, {}, point, 0);
        Settle();
    }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const {
        QTest::keyClick(Handle(), key, modifiers);
        Settle();
    }
    // Types the text character by character into whatever has the focus.
    void Type(const QString& text) const {
        for (const QChar c : text) {
            QTest::keyClick(Handle(), c.toLatin1());
        }
        Settle();
    }
    // Selects the focused field's text and types over it.
    void Retype(const QString& text) const {
        Key(Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty()) {
            Key(Qt::Key_Delete);
        } else {
            Type(text);
        }
    }

    // One notch (or a part of one) of the wheel at the point. QTest has no
    // wheel for windows, so the event goes to the widget that hit-testing
    // finds there and, if ignored, on to its parents as Qt sends it.
    void Wheel(QPoint point, int delta) const {
        QWidget* receiver = ReceiverAt(point);
        const QPointF local = receiver->mapFrom(window_, point);
        const QPointF global = window_->mapToGlobal(point);
        QWheelEvent event(local, global, QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(receiver, &event);
        Settle();
    }

    // Opens the combo box with a click and clicks a row of its dropped list.
    void ChooseRow(QComboBox* combo, int row) const {
        Click(combo);
        QAbstractItemView* view = combo->view();
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QWidget* popup = view->window();
        const QPoint point = view->viewport()->mapTo(popup, view->visualRect(index).center());
        QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {}, point);
        Settle();
    }

    // Runs what is queued, such as the tree's notifications.
    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

private:
    QWidget* window_;
};

} // namespace tqf::test
