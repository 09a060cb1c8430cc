#include "SubItemDialog.h"

#include "ItemFormat.h"
#include "SkinButton.h"
#include "SkinCheckBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tqf {
namespace {

// The dialog shown without a nested loop, with its controls found by name.
class SubItemDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = std::make_unique<SubItemDialog>();
        combo = dialog->findChild<QComboBox*>(QStringLiteral("formatCombo"));
        count = dialog->findChild<QLineEdit*>(QStringLiteral("countEdit"));
        notFixed = dialog->findChild<SkinCheckBox*>(QStringLiteral("notFixedCheck"));
        description = dialog->findChild<QLineEdit*>(QStringLiteral("descriptionEdit"));
        add = dialog->findChild<SkinButton*>(QStringLiteral("addButton"));
        cancel = dialog->findChild<SkinButton*>(QStringLiteral("cancelButton"));
        ASSERT_TRUE(combo && count && notFixed && description && add && cancel);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    // Chooses a row the way a user does: opens the list and clicks the row.
    void Choose(int row) {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
        const QRect rowRect = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowRect.center());
        ASSERT_FALSE(view->isVisible());
    }

    static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

    void TypeInto(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    // The enabled states of count, "Not Fixed", description and ADD.
    void ExpectEnabled(bool countOn, bool notFixedOn, bool descriptionOn, bool addOn) const {
        EXPECT_EQ(count->isEnabled(), countOn);
        EXPECT_EQ(notFixed->isEnabled(), notFixedOn);
        EXPECT_EQ(description->isEnabled(), descriptionOn);
        EXPECT_EQ(add->isEnabled(), addOn);
    }

    std::unique_ptr<SubItemDialog> dialog;
    QComboBox* combo = nullptr;
    QLineEdit* count = nullptr;
    SkinCheckBox* notFixed = nullptr;
    QLineEdit* description = nullptr;
    SkinButton* add = nullptr;
    SkinButton* cancel = nullptr;
};

TEST_F(SubItemDialogTest, OpensEmptyWithOnlyAddDisabled) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Add Sub Item"));
    ASSERT_EQ(combo->count(), FORMAT_ROW_COUNT);
    for (int row = 0; row < FORMAT_ROW_COUNT; ++row) {
        EXPECT_EQ(combo->itemText(row).toStdString(), std::string(FormatRowText(row))) << row;
    }
    EXPECT_EQ(combo->currentIndex(), NO_FORMAT_ROW);
    EXPECT_TRUE(count->text().isEmpty());
    EXPECT_TRUE(description->text().isEmpty());
    EXPECT_EQ(notFixed->GetCheck(), 0);
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_TRUE(cancel->isEnabled());
    ExpectEnabled(true, true, true, false);
}

TEST_F(SubItemDialogTest, ControlsSitAtTheirDialogUnitPositions) {
    const DialogUnits& units = SubItemDialog::UNITS;
    EXPECT_EQ(dialog->size(), units.Size(160, 75));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_EQ(dialog->font().pixelSize(), SubItemDialog::DIALOG_FONT_PIXELS);

    EXPECT_EQ(count->geometry(), units.Rect(63, 20, 33, 15));
    EXPECT_EQ(notFixed->geometry(), units.Rect(97, 20, 54, 13));
    EXPECT_EQ(description->geometry(), units.Rect(63, 36, 89, 13));
    EXPECT_EQ(add->geometry(), units.Rect(29, 54, 50, 14));
    EXPECT_EQ(cancel->geometry(), units.Rect(82, 54, 50, 14));
    EXPECT_EQ(combo->geometry().topLeft(), units.Rect(63, 7, 90, 12).topLeft());
    EXPECT_EQ(combo->width(), units.X(90));
    EXPECT_LE(combo->geometry().bottom(), count->geometry().top());

    const auto labels = dialog->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 3);
    for (const QLabel* label : labels) {
        EXPECT_TRUE(label->alignment() & Qt::AlignRight) << label->text().toStdString();
    }
    EXPECT_EQ(labels[0]->text(), QStringLiteral("Sub Item Format"));
    EXPECT_EQ(labels[0]->geometry(), units.Rect(7, 7, 54, 12));
    EXPECT_EQ(labels[1]->text(), QStringLiteral("Item Count"));
    EXPECT_EQ(labels[1]->geometry(), units.Rect(21, 23, 39, 10));
    EXPECT_EQ(labels[2]->text(), QStringLiteral("Description"));
    EXPECT_EQ(labels[2]->geometry(), units.Rect(7, 36, 54, 12));
}

TEST_F(SubItemDialogTest, ChoosingListPresetsZeroAndLocksCountAndDescription) {
    Choose(LIST);
    EXPECT_EQ(combo->currentIndex(), LIST);
    EXPECT_EQ(count->text(), QStringLiteral("0"));
    EXPECT_EQ(notFixed->GetCheck(), 0);
    ExpectEnabled(false, true, false, true);
}

TEST_F(SubItemDialogTest, ChoosingAnyOtherFormatPresetsOneAndOffersEverything) {
    for (int row : {ASCII, VARIANT, INT2, BINARY, FLOAT8}) {
        Choose(LIST);
        Choose(row);
        EXPECT_EQ(combo->currentIndex(), row);
        EXPECT_EQ(count->text(), QStringLiteral("1")) << row;
        EXPECT_EQ(notFixed->GetCheck(), 0) << row;
        ExpectEnabled(true, true, true, true);
    }
}

TEST_F(SubItemDialogTest, ChoosingASeparatorRowUndoesTheChoice) {
    for (int row : {NONE, SEPARATOR}) {
        Choose(LIST);
        Click(notFixed);
        ASSERT_EQ(notFixed->GetCheck(), 1);
        Choose(row);
        EXPECT_EQ(combo->currentIndex(), NO_FORMAT_ROW) << row;
        EXPECT_TRUE(count->text().isEmpty()) << row;
        EXPECT_EQ(notFixed->GetCheck(), 0) << row;
        ExpectEnabled(false, false, false, false);
    }
}

TEST_F(SubItemDialogTest, NotFixedOpensTheCountAndUntickingRestoresIt) {
    Choose(INT2);
    Click(notFixed);
    EXPECT_EQ(notFixed->GetCheck(), 1);
    EXPECT_EQ(count->text(), QStringLiteral("n"));
    EXPECT_FALSE(count->isEnabled());

    Click(notFixed);
    EXPECT_EQ(notFixed->GetCheck(), 0);
    EXPECT_EQ(count->text(), QStringLiteral("1"));
    EXPECT_TRUE(count->isEnabled());

    // A new choice unticks the box again.
    Click(notFixed);
    Choose(UINT4);
    EXPECT_EQ(notFixed->GetCheck(), 0);
    EXPECT_EQ(count->text(), QStringLiteral("1"));
}

TEST_F(SubItemDialogTest, UntickingNotFixedOnAListShowsTheNewListsZeroCount) {
    // The receiving node's sub-items do not belong to the new list, which
    // starts empty.
    dialog->listChildCount = 3;
    Choose(LIST);
    Click(notFixed);
    EXPECT_EQ(count->text(), QStringLiteral("n"));
    Click(notFixed);
    EXPECT_EQ(count->text(), QStringLiteral("0"));
    EXPECT_FALSE(count->isEnabled());
}

TEST_F(SubItemDialogTest, CountFieldTakesDigitsOnly) {
    Choose(UINT1);
    TypeInto(count, QStringLiteral("1a2-3 n4"));
    EXPECT_EQ(count->text(), QStringLiteral("1234"));
}

TEST_F(SubItemDialogTest, AddTakesTheMembersFromTheControls) {
    dialog->listChildCount = 2;
    Choose(ASCII);
    TypeInto(description, QStringLiteral("name"));
    Click(add);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->format, ASCII);
    EXPECT_EQ(dialog->notFixed, 0);
    EXPECT_EQ(dialog->countText, "1");
    EXPECT_EQ(dialog->description, "name");

    const SubItemChoice choice = dialog->Choice();
    EXPECT_EQ(choice.format, ASCII);
    EXPECT_EQ(choice.countText, "1");
    EXPECT_EQ(choice.description, "name");
}

TEST_F(SubItemDialogTest, AddOfAnOpenItemKeepsTheCountTextN) {
    Choose(INT2);
    TypeInto(count, QStringLiteral("25"));
    Click(notFixed);
    // Hangul arrives through the input method, as a committed string.
    description->setFocus();
    QInputMethodEvent input;
    input.setCommitString(QString::fromUtf8("로트 번호  "));
    QApplication::sendEvent(description, &input);
    Click(add);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->format, INT2);
    EXPECT_EQ(dialog->notFixed, 1);
    EXPECT_EQ(dialog->countText, "n");
    // The description is taken as typed, untrimmed, as UTF-8 bytes.
    EXPECT_EQ(dialog->description, "\xEB\xA1\x9C\xED\x8A\xB8 \xEB\xB2\x88\xED\x98\xB8  ");
}

TEST_F(SubItemDialogTest, DescriptionTypedBeforeChoosingAFormatIsKept) {
    TypeInto(description, QStringLiteral("early"));
    Choose(BOOLEAN);
    EXPECT_EQ(description->text(), QStringLiteral("early"));
    Click(add);
    EXPECT_EQ(dialog->description, "early");
}

TEST_F(SubItemDialogTest, CancelClosesAndLeavesTheMembers) {
    Choose(FLOAT4);
    TypeInto(description, QStringLiteral("temperature"));
    Click(cancel);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->format, NO_FORMAT_ROW);
    EXPECT_EQ(dialog->notFixed, 0);
    EXPECT_TRUE(dialog->countText.empty());
    EXPECT_TRUE(dialog->description.empty());
}

TEST_F(SubItemDialogTest, EnterPressesAddOnlyWhenItCanBePressed) {
    description->setFocus();
    QTest::keyClick(description, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());

    Choose(BINARY);
    description->setFocus();
    QTest::keyClick(description, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->format, BINARY);
}

TEST_F(SubItemDialogTest, EscapeCancels) {
    Choose(LIST);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->format, NO_FORMAT_ROW);
}

} // namespace
} // namespace tqf
