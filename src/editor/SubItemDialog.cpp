#include "SubItemDialog.h"

#include "DialogFont.h"
#include "EditFieldLimits.h"
#include "FormatComboBox.h"
#include "PanelRules.h"
#include "SkinButton.h"
#include "SkinCheckBox.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace tqf {

namespace {

const char* const DIALOG_TITLE = "Add Sub Item";

// The new list that a ticked-off "Not Fixed" describes has no sub-items yet,
// so its fixed count is this, whatever the receiving node holds.
constexpr std::int32_t NEW_LIST_COUNT = 0;

// Rectangles of the controls in dialog units.
constexpr UnitRect FORMAT_LABEL_RECT{7, 7, 54, 12};
// The closed format list; its dropped list has room for every row.
constexpr UnitRect FORMAT_COMBO_RECT{63, 7, 90, 12};
constexpr UnitRect COUNT_LABEL_RECT{21, 23, 39, 10};
constexpr UnitRect COUNT_EDIT_RECT{63, 20, 33, 15};
constexpr UnitRect NOT_FIXED_RECT{97, 20, 54, 13};
constexpr UnitRect DESCRIPTION_LABEL_RECT{7, 36, 54, 12};
constexpr UnitRect DESCRIPTION_EDIT_RECT{63, 36, 89, 13};
constexpr UnitRect ADD_BUTTON_RECT{29, 54, 50, 14};
constexpr UnitRect CANCEL_BUTTON_RECT{82, 54, 50, 14};

std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void Place(QWidget* widget, const UnitRect& rect) { widget->setGeometry(SubItemDialog::UNITS.Rect(rect)); }

} // namespace

SubItemDialog::SubItemDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("subItemDialog"));
    setWindowTitle(QLatin1String(DIALOG_TITLE));
    setModal(true);
    QFont dialogFont = DialogFont::MainFont();
    dialogFont.setPixelSize(DIALOG_FONT_PIXELS);
    setFont(dialogFont);

    formatLabel_ = new QLabel(QStringLiteral("Sub Item Format"), this);
    formatLabel_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    formatCombo_ = new FormatComboBox(this);
    formatCombo_->setObjectName(QStringLiteral("formatCombo"));
    for (int row = 0; row < FORMAT_ROW_COUNT; ++row) {
        const std::string_view text = FormatRowText(row);
        formatCombo_->addItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
    formatCombo_->setMaxVisibleItems(FORMAT_ROW_COUNT);
    formatCombo_->setCurrentIndex(NO_FORMAT_ROW);

    countLabel_ = new QLabel(QStringLiteral("Item Count"), this);
    countLabel_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    countEdit_ = new QLineEdit(this);
    countEdit_->setObjectName(QStringLiteral("countEdit"));
    // Typing takes digits only; the open count "n" is set by the dialog itself.
    countEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), countEdit_));
    countEdit_->setMaxLength(EDIT_FIELD_MAX_LENGTH);

    notFixedCheck_ = new SkinCheckBox(QStringLiteral("Not Fixed"), this);
    notFixedCheck_->setObjectName(QStringLiteral("notFixedCheck"));

    descriptionLabel_ = new QLabel(QStringLiteral("Description"), this);
    descriptionLabel_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    descriptionEdit_ = new QLineEdit(this);
    descriptionEdit_->setObjectName(QStringLiteral("descriptionEdit"));
    descriptionEdit_->setMaxLength(EDIT_FIELD_MAX_LENGTH);

    addButton_ = new SkinButton(QStringLiteral("ADD"), this);
    addButton_->setObjectName(QStringLiteral("addButton"));
    cancelButton_ = new SkinButton(QStringLiteral("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));

    Place(formatLabel_, FORMAT_LABEL_RECT);
    Place(formatCombo_, FORMAT_COMBO_RECT);
    Place(countLabel_, COUNT_LABEL_RECT);
    Place(countEdit_, COUNT_EDIT_RECT);
    Place(notFixedCheck_, NOT_FIXED_RECT);
    Place(descriptionLabel_, DESCRIPTION_LABEL_RECT);
    Place(descriptionEdit_, DESCRIPTION_EDIT_RECT);
    Place(addButton_, ADD_BUTTON_RECT);
    Place(cancelButton_, CANCEL_BUTTON_RECT);
    // Screen readers name each field after the label beside it.
    formatLabel_->setBuddy(formatCombo_);
    countLabel_->setBuddy(countEdit_);
    descriptionLabel_->setBuddy(descriptionEdit_);
    setFixedSize(UNITS.Size(DIALOG_WIDTH_DLU, DIALOG_HEIGHT_DLU));

    // Nothing can be added before a format is chosen.
    addButton_->setEnabled(false);

    connect(formatCombo_, &QComboBox::activated, this, &SubItemDialog::OnFormatChosen);
    connect(notFixedCheck_, &QAbstractButton::clicked, this, &SubItemDialog::OnNotFixedClicked);
    connect(addButton_, &QAbstractButton::clicked, this, &SubItemDialog::accept);
    connect(cancelButton_, &QAbstractButton::clicked, this, &SubItemDialog::reject);
}

SubItemDialog::~SubItemDialog() = default;

SubItemChoice SubItemDialog::Choice() const {
    SubItemChoice choice;
    choice.format = format;
    choice.notFixed = notFixed;
    choice.countText = countText;
    choice.description = description;
    return choice;
}

void SubItemDialog::accept() {
    format = formatCombo_->currentIndex();
    notFixed = notFixedCheck_->GetCheck();
    description = ToBytes(descriptionEdit_->text());
    countText = ToBytes(countEdit_->text());
    QDialog::accept();
}

void SubItemDialog::keyPressEvent(QKeyEvent* event) {
    // ADD is the default button: Enter presses it when it can be pressed. A
    // focused push button takes Enter for itself.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusWidget() == cancelButton_) {
            cancelButton_->click();
        } else if (addButton_->isEnabled()) {
            addButton_->click();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SubItemDialog::OnFormatChosen(int row) {
    const FormatChoice choice = ChooseFormatRow(ItemPanelKind::SUB_ITEM_DIALOG, row);
    notFixedCheck_->SetCheck(0);
    descriptionEdit_->setEnabled(choice.fields.descriptionEnabled);
    countEdit_->setText(QString::fromLatin1(choice.fields.countText.c_str()));
    countEdit_->setEnabled(choice.fields.countEnabled);
    if (!choice.isFormat) {
        // A separator row is no format: the choice is undone at once.
        formatCombo_->setCurrentIndex(NO_FORMAT_ROW);
    }
    addButton_->setEnabled(choice.isFormat);
    notFixedCheck_->setEnabled(choice.fields.notFixedEnabled);
}

void SubItemDialog::OnNotFixedClicked() {
    const ItemFieldsState fields =
        ClickNotFixed(notFixedCheck_->GetCheck() != 0, formatCombo_->currentIndex(), NEW_LIST_COUNT);
    countEdit_->setText(QString::fromLatin1(fields.countText.c_str()));
    countEdit_->setEnabled(fields.countEnabled);
}

} // namespace tqf
