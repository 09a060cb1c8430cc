#pragma once

#include <QDialog>

namespace tqf {

// The About box: the product's name and version, one more line, and "확인".
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    // The only button's id, as the box's template numbers it.
    static constexpr int IDOK = 1;

    explicit AboutDialog(QWidget* parent = nullptr);

    static QString ProductLine();
    static QString SecondLine();
};

} // namespace tqf
