#pragma once

#include <QComboBox>

namespace tqf {

// The list of item formats. Its two separator rows can be chosen with the
// mouse, which only resets the choice; stepping through the closed list with
// the arrow keys or the wheel passes over them, so that every format can be
// reached from the keyboard.
class FormatComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit FormatComboBox(QWidget* parent = nullptr);

    // The row one step from row in the given direction (+1 or -1), passing
    // over separator rows; row itself when there is none.
    static int StepRow(int row, int direction);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Chooses the row one step away as the user's choice; false when there
    // is none.
    bool Step(int direction);

    int wheelRemainder_ = 0;
};

} // namespace tqf
