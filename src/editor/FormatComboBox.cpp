#include "FormatComboBox.h"

#include "ItemFormat.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QWheelEvent>

namespace tqf {

namespace {

constexpr int WHEEL_NOTCH = 120;

bool IsSeparatorRow(int row) { return row == NONE || row == SEPARATOR; }

} // namespace

FormatComboBox::FormatComboBox(QWidget* parent) : QComboBox(parent) {}

int FormatComboBox::StepRow(int row, int direction) {
    int next = row + direction;
    while (IsSeparatorRow(next)) {
        next += direction;
    }
    return next >= 0 && next < FORMAT_ROW_COUNT ? next : row;
}

bool FormatComboBox::Step(int direction) {
    const int row = StepRow(currentIndex(), direction);
    if (row == currentIndex()) {
        return false;
    }
    setCurrentIndex(row);
    emit activated(row);
    return true;
}

void FormatComboBox::keyPressEvent(QKeyEvent* event) {
    const bool open = view() != nullptr && view()->isVisible();
    const bool plain = (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) == 0;
    if (!open && plain && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        Step(event->key() == Qt::Key_Down ? 1 : -1);
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void FormatComboBox::wheelEvent(QWheelEvent* event) {
    // A notch down steps to the next row, as the arrow keys do; smooth wheels
    // send parts of a notch, which add up.
    wheelRemainder_ += event->angleDelta().y();
    while (wheelRemainder_ >= WHEEL_NOTCH) {
        wheelRemainder_ -= WHEEL_NOTCH;
        Step(-1);
    }
    while (wheelRemainder_ <= -WHEEL_NOTCH) {
        wheelRemainder_ += WHEEL_NOTCH;
        Step(1);
    }
    event->accept();
}

} // namespace tqf
