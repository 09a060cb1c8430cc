#pragma once

#include "DialogUnits.h"
#include "ItemFormat.h"
#include "Prompts.h"

#include <QDialog>

#include <cstdint>
#include <string>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;

namespace tqf {

class SkinButton;
class SkinCheckBox;

// The modal "Add Sub Item" dialog: format, count and description of an item
// that the tree's menu adds under the selected node. The caller sets
// listChildCount before running it and reads the other members after ADD.
class SubItemDialog : public QDialog {
    Q_OBJECT

public:
    // The dialog's size in dialog units.
    static constexpr int DIALOG_WIDTH_DLU = 160;
    static constexpr int DIALOG_HEIGHT_DLU = 75;
    // Its font is "Tahoma" at 8 points: 11 pixels at 96 dots per inch, with
    // the base units of that font.
    static constexpr int DIALOG_FONT_PIXELS = 11;
    static constexpr DialogUnits UNITS{6, 13};

    explicit SubItemDialog(QWidget* parent = nullptr);
    ~SubItemDialog() override;

    // The number of sub-items of the node that receives the new item. The
    // dialog does not show it: the item it describes is added empty, so a
    // fixed list chosen here always counts 0.
    std::int32_t listChildCount = 0;
    // Taken when ADD is pressed: the chosen row of the format list, the state
    // of "Not Fixed", and the texts of the two edit fields.
    std::int32_t format = NO_FORMAT_ROW;
    std::int32_t notFixed = 0;
    std::string description;
    std::string countText;

    // The members as the prompts interface hands them on.
    SubItemChoice Choice() const;

    // "ADD": takes the members from the controls and closes with Accepted.
    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnFormatChosen(int row);
    void OnNotFixedClicked();

    QLabel* formatLabel_ = nullptr;
    QComboBox* formatCombo_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QLineEdit* countEdit_ = nullptr;
    SkinCheckBox* notFixedCheck_ = nullptr;
    QLabel* descriptionLabel_ = nullptr;
    QLineEdit* descriptionEdit_ = nullptr;
    SkinButton* addButton_ = nullptr;
    SkinButton* cancelButton_ = nullptr;
};

} // namespace tqf
