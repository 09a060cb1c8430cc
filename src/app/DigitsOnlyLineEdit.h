#pragma once

#include <QLineEdit>

namespace tqf {

// An edit field that takes only digits from the keyboard. Pasted text and
// the program's own settings (such as "n" for an open count) are not
// filtered, so the commands still read whatever the field holds.
class DigitsOnlyLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit DigitsOnlyLineEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tqf
