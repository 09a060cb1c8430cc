// The main window driven only through its top-level window, as a person at a
// real screen drives it: Qt's hit-testing and focus pick every receiver.

#include "ControlIds.h"
#include "EditorCommands.h"
#include "EditorDialog.h"
#include "FormatNode.h"
#include "FormatTreeView.h"
#include "ItemFormat.h"
#include "ModalHelper.h"
#include "QtPrompts.h"
#include "ScriptedPrompts.h"
#include "SkinButton.h"
#include "SkinCheckBox.h"
#include "WindowDriver.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tqf {
namespace {

using test::WindowDriver;

// Scripted boxes and file choices, but the real sub-item dialog, so that a
// test drives it through its own window.
class RealSubItemPrompts : public ScriptedPrompts {
public:
    std::optional<SubItemChoice> RunSubItemDialog(int listChildCount) override {
        QtPrompts real(owner);
        return real.RunSubItemDialog(listChildCount);
    }
    QWidget* owner = nullptr;
};

constexpr int IDS_OF_INPUT[] = {IDC_CREATE_MESSAGE,
                                IDC_STREAM,
                                IDC_FUNCTION,
                                IDC_REPLY_REQUIRED,
                                IDC_MESSAGE_DESCRIPTION,
                                IDC_FORMAT,
                                IDC_UPDATE_ITEM,
                                IDC_OPEN,
                                IDC_SAVE,
                                IDC_SAVE_AS,
                                IDC_EXIT,
                                IDC_NEW,
                                IDC_UPDATE_MESSAGE,
                                IDC_ITEM_COUNT,
                                IDC_NOT_FIXED,
                                IDC_ITEM_DESCRIPTION,
                                IDC_ADD_ITEM,
                                IDC_DELETE_MESSAGE,
                                IDC_DELETE_ITEM,
                                IDC_MOVE_UP,
                                IDC_MOVE_DOWN,
                                IDC_TREE};

class WindowPointerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = std::make_unique<EditorDialog>(&prompts);
        prompts.owner = dialog.get();
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        driver = std::make_unique<WindowDriver>(dialog.get());
        WindowDriver::Settle();
    }
    void TearDown() override {
        driver.reset();
        dialog.reset();
        EXPECT_TRUE(prompts.answers.empty()) << "scripted answers left unused";
        EXPECT_TRUE(prompts.fileAnswers.empty()) << "scripted file choices left unused";
    }

    QWidget* Control(int id) { return dialog->Control(id); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(Control(id)); }
    QComboBox* Formats() { return qobject_cast<QComboBox*>(Control(IDC_FORMAT)); }
    FormatTreeView& Tree() { return dialog->TreeView(); }
    EditorCommands& Commands() { return dialog->Commands(); }
    QWidget* Focus() { return QApplication::focusWidget(); }

    // Clicks into a field and types over what it holds.
    void Fill(int id, const QString& text) {
        driver->Click(Control(id));
        driver->Retype(text);
    }
    void Press(int id) { driver->Click(Control(id)); }

    // The window point of a node's first row, as the last paint laid it out.
    QPoint NodePoint(const FormatNode* node) {
        Tree().viewport()->repaint();
        EXPECT_FALSE(Tree().DrawnRect(node).IsEmpty()) << node->Label();
        return Tree().viewport()->mapTo(dialog.get(),
                                        QPoint(Tree().DrawnRect(node).left + 2, Tree().DrawnRect(node).top + 2));
    }
    void ClickNode(const FormatNode* node) { driver->Click(NodePoint(node)); }

    // Right-clicks the node and chooses the entry of the tree's menu; then
    // runs then, if any, inside whatever the entry opens. The menu opens on
    // the press; the release comes while it is open, as a hand lets go.
    void ChooseFromNodeMenu(const FormatNode* node, const QString& entry,
                            std::function<void(QWidget*)> then = nullptr) {
        bool chosen = false;
        OnNextModal(
            [&](QWidget* shown) {
                auto* menu = qobject_cast<QMenu*>(shown);
                ASSERT_NE(menu, nullptr);
                QTest::mouseRelease(driver->Handle(), Qt::RightButton, {}, NodePoint(node));
                for (QAction* action : menu->actions()) {
                    if (action->text() == entry) {
                        if (then) {
                            // Whatever happens inside, the window it opened
                            // closes, so that a failure cannot hang the test.
                            OnNextModal([then](QWidget* opened) {
                                then(opened);
                                if (opened->isVisible()) {
                                    ADD_FAILURE() << "left open";
                                    opened->close();
                                }
                            });
                        }
                        chosen = true;
                        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {},
                                          menu->actionGeometry(action).center());
                        return;
                    }
                }
                menu->close();
            },
            true);
        QTest::mousePress(driver->Handle(), Qt::RightButton, {}, NodePoint(node));
        WindowDriver::Settle();
        EXPECT_TRUE(chosen) << entry.toStdString();
    }

    static std::vector<std::string> Labels(const FormatNode* parent) {
        std::vector<std::string> labels;
        for (const FormatNode* node = parent->FirstChild(); node != nullptr; node = node->NextSibling()) {
            labels.push_back(node->Label().str());
        }
        return labels;
    }

    RealSubItemPrompts prompts;
    std::unique_ptr<EditorDialog> dialog;
    std::unique_ptr<WindowDriver> driver;
};

TEST_F(WindowPointerTest, APressAtTheCentreOfEveryControlReachesThatControl) {
    for (const int id : IDS_OF_INPUT) {
        EXPECT_TRUE(driver->Reaches(Control(id)))
            << "control " << id << " is covered by "
            << driver->ReceiverAt(driver->CentreOf(Control(id)))->objectName().toStdString();
    }
    // Labels and frames let every click through to the window's free area.
    for (const char* name : {"messageGroup", "itemGroup", "moveGroup", "streamLabel", "itemFormatLabel", "fileFrame",
                             "pathFrame", "creditLine"}) {
        const auto* decoration = dialog->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(decoration, nullptr) << name;
        const QWidget* receiver = driver->ReceiverAt(driver->CentreOf(decoration));
        EXPECT_NE(receiver, decoration) << name;
    }
}

TEST_F(WindowPointerTest, EveryEnabledControlTakesThePressMadeOnIt) {
    for (const int id : IDS_OF_INPUT) {
        Control(id)->setEnabled(true);
    }
    for (const int id : IDS_OF_INPUT) {
        QWidget* control = Control(id);
        const QPoint centre = driver->CentreOf(control);
        if (auto* button = qobject_cast<SkinButton*>(control)) {
            // Down and up again off the button: pressed, and no command runs.
            QTest::mousePress(driver->Handle(), Qt::LeftButton, {}, centre);
            const bool down = button->Kind() == CHECK_BOX ? button->IsPressed() : button->isDown();
            EXPECT_TRUE(down) << "button " << id;
            QTest::mouseRelease(driver->Handle(), Qt::LeftButton, {}, QPoint(2, 2));
            WindowDriver::Settle();
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            driver->Click(centre);
            EXPECT_TRUE(combo->view()->isVisible());
            combo->hidePopup();
            WindowDriver::Settle();
        } else if (id == IDC_TREE) {
            continue; // the tree takes no focus; clicks on its nodes are driven below
        } else {
            driver->Click(centre);
            EXPECT_EQ(Focus(), control) << "field " << id;
        }
    }
}

TEST_F(WindowPointerTest, ARightClickOnAFieldIsTheFieldsOwnAndNotTheWindowMenu) {
    // The field's own menu pops up without a loop of its own.
    driver->Click(Control(IDC_STREAM), Qt::RightButton);
    QWidget* shown = QApplication::activePopupWidget();
    ASSERT_NE(shown, nullptr);
    EXPECT_NE(shown->objectName(), QStringLiteral("windowMenu"));
    shown->close();
    WindowDriver::Settle();
}

// One library built, changed, saved and opened again with the mouse and the
// keyboard alone, through the window.
TEST_F(WindowPointerTest, ALibraryIsBuiltSavedAndOpenedAgainThroughTheWindow) {
    Fill(IDC_STREAM, QStringLiteral("1"));
    Fill(IDC_FUNCTION, QStringLiteral("3"));
    Fill(IDC_MESSAGE_DESCRIPTION, QStringLiteral("status request"));
    Press(IDC_CREATE_MESSAGE);
    Fill(IDC_STREAM, QStringLiteral("1"));
    Fill(IDC_FUNCTION, QStringLiteral("1"));
    Press(IDC_REPLY_REQUIRED); // typing an odd function ticked it
    Fill(IDC_MESSAGE_DESCRIPTION, QStringLiteral("are you there"));
    Press(IDC_CREATE_MESSAGE);
    FormatNode* root = Tree().GetRootNode();
    // A new message goes after the one shown.
    ASSERT_EQ(Labels(root), (std::vector<std::string>{"S1F3W", "S1F1"}));
    EXPECT_EQ(qobject_cast<QLabel*>(Control(IDC_MESSAGE_COUNT))->text(), QStringLiteral("2"));

    // S1F3W gets a list of an ASCII, an open U4 and a VARIANT item.
    FormatNode* s1f3 = root->FirstChild();
    ClickNode(s1f3);
    driver->ChooseRow(Formats(), LIST);
    Press(IDC_ADD_ITEM);
    FormatNode* list = s1f3->FirstChild();
    ASSERT_NE(list, nullptr);
    ClickNode(list);
    driver->ChooseRow(Formats(), ASCII);
    Fill(IDC_ITEM_COUNT, QStringLiteral("10"));
    Fill(IDC_ITEM_DESCRIPTION, QStringLiteral("lot id"));
    Press(IDC_ADD_ITEM);
    driver->ChooseRow(Formats(), UINT4);
    Press(IDC_NOT_FIXED);
    Fill(IDC_ITEM_DESCRIPTION, QStringLiteral("svid"));
    Press(IDC_ADD_ITEM);
    driver->ChooseRow(Formats(), VARIANT);
    Fill(IDC_ITEM_DESCRIPTION, QStringLiteral("value"));
    Press(IDC_ADD_ITEM);
    // A fixed U2 of 3, through the sub-item dialog of the tree's menu.
    ChooseFromNodeMenu(list, QStringLiteral("Add Sub Item"), [this](QWidget* shown) {
        WindowDriver sub(shown);
        sub.ChooseRow(shown->findChild<QComboBox*>(QStringLiteral("formatCombo")), UINT2);
        const auto fields = shown->findChildren<QLineEdit*>();
        ASSERT_EQ(fields.size(), 2);
        sub.Click(fields[0]);
        sub.Retype(QStringLiteral("3"));
        sub.Click(fields[1]);
        sub.Retype(QStringLiteral("ceids"));
        for (auto* button : shown->findChildren<SkinButton*>()) {
            if (button->text() == QStringLiteral("ADD")) {
                sub.Click(button);
                return;
            }
        }
        ADD_FAILURE() << "no ADD button";
    });
    ASSERT_EQ(Labels(list),
              (std::vector<std::string>{"<A[10]  lot id>", "<U4[n]  svid>", "<VARIANT  value>", "<U2[3]  ceids>"}));

    // Update the ASCII item, move the VARIANT item up and delete the U4.
    ClickNode(list->FirstChild());
    Fill(IDC_ITEM_COUNT, QStringLiteral("20"));
    Press(IDC_UPDATE_ITEM);
    ClickNode(list->FirstChild()->NextSibling()->NextSibling());
    Press(IDC_MOVE_UP);
    ClickNode(list->FirstChild()->NextSibling()->NextSibling());
    Press(IDC_DELETE_ITEM);
    ASSERT_EQ(Labels(list), (std::vector<std::string>{"<A[20]  lot id>", "<VARIANT  value>", "<U2[3]  ceids>"}));
    EXPECT_EQ(list->Label(), "<L[3]>");

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("library.TQF"));
    prompts.fileAnswers.push_back(path);
    Press(IDC_SAVE);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Saved successfully.")});
    EXPECT_FALSE(Commands().Doc().IsModified());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\n"
                                            "S1F3W (status request)\r\n"
                                            "<L[3]\r\n"
                                            "\t<A[20]  lot id>\r\n"
                                            "\t<VARIANT  value>\r\n"
                                            "\t<U2[3]  ceids>\r\n"
                                            ">.\r\n\r\n\r\n"
                                            "S1F1 (are you there).\r\n");

    Press(IDC_NEW);
    ASSERT_EQ(Labels(Tree().GetRootNode()), std::vector<std::string>{});
    EXPECT_TRUE(prompts.questions.empty()) << "nothing asked: the library was saved";
    prompts.answers.push_back(true); // emptying the document counts as a change
    prompts.fileAnswers.push_back(path);
    Press(IDC_OPEN);
    root = Tree().GetRootNode();
    ASSERT_EQ(Labels(root), (std::vector<std::string>{"S1F3W", "S1F1"}));
    EXPECT_EQ(Labels(root->FirstChild()->FirstChild()),
              (std::vector<std::string>{"<A[20]  LOT ID>", "<VARIANT  VALUE>", "<U2[3]  CEIDS>"}));
}

// After a command the focus stays where the work goes on, never on a command
// that deletes, opens or exits.
TEST_F(WindowPointerTest, TheFocusStaysWithTheWorkAfterEachCommand) {
    const std::vector<QWidget*> dangerous{Control(IDC_DELETE_MESSAGE), Control(IDC_DELETE_ITEM),
                                          Control(IDC_OPEN),           Control(IDC_NEW),
                                          Control(IDC_EXIT),           Control(IDC_SAVE_AS)};
    // The button just pressed may keep the focus while it stays enabled; it
    // is the one the user chose.
    const auto expectSafe = [&](const char* after, const QWidget* pressed = nullptr) {
        if (Focus() != pressed) {
            EXPECT_EQ(std::count(dangerous.begin(), dangerous.end(), Focus()), 0) << after;
        }
        ASSERT_NE(Focus(), nullptr) << after;
        EXPECT_TRUE(Focus()->isEnabled()) << after;
    };
    Fill(IDC_STREAM, QStringLiteral("6"));
    Fill(IDC_FUNCTION, QStringLiteral("11"));
    Press(IDC_CREATE_MESSAGE);
    expectSafe("Create");
    FormatNode* message = Tree().GetRootNode()->FirstChild();
    ClickNode(message);
    driver->ChooseRow(Formats(), LIST);
    Press(IDC_ADD_ITEM);
    EXPECT_EQ(Focus(), Formats()) << "after Add";
    ClickNode(message->FirstChild());
    driver->ChooseRow(Formats(), LIST);
    Press(IDC_NOT_FIXED);
    Press(IDC_UPDATE_ITEM);
    EXPECT_EQ(Focus(), Formats()) << "after item Update";
    ClickNode(message->FirstChild());
    Press(IDC_DELETE_ITEM);
    ASSERT_EQ(message->FirstChild(), nullptr);
    expectSafe("item Delete", Control(IDC_DELETE_ITEM));
    ClickNode(message);
    prompts.answers.push_back(true);
    Press(IDC_DELETE_MESSAGE);
    EXPECT_EQ(Focus(), Edit(IDC_STREAM)) << "after the last message's Delete";

    // A field that a click in the tree disables hands the focus on the same way.
    Fill(IDC_STREAM, QStringLiteral("1"));
    Fill(IDC_FUNCTION, QStringLiteral("1"));
    Press(IDC_CREATE_MESSAGE);
    ClickNode(Tree().GetRootNode()->FirstChild());
    driver->ChooseRow(Formats(), ASCII);
    driver->Click(Control(IDC_ITEM_DESCRIPTION));
    ASSERT_EQ(Focus(), Control(IDC_ITEM_DESCRIPTION));
    prompts.answers.push_back(true);
    Press(IDC_NEW);
    expectSafe("New with the focus in a field it disables", Control(IDC_NEW));
    EXPECT_FALSE(Control(IDC_ITEM_DESCRIPTION)->isEnabled());
}

TEST_F(WindowPointerTest, TheArrowKeysStepOverTheSeparatorRowsOfTheClosedList) {
    Fill(IDC_STREAM, QStringLiteral("1"));
    Fill(IDC_FUNCTION, QStringLiteral("1"));
    Press(IDC_CREATE_MESSAGE);
    ClickNode(Tree().GetRootNode()->FirstChild());
    driver->ChooseRow(Formats(), LIST);
    ASSERT_EQ(Focus(), Formats());
    driver->Key(Qt::Key_Down);
    EXPECT_EQ(Formats()->currentIndex(), BINARY);
    driver->Key(Qt::Key_Up);
    EXPECT_EQ(Formats()->currentIndex(), LIST);
    for (int step = 0; step < FORMAT_ROW_COUNT; ++step) {
        driver->Key(Qt::Key_Down);
    }
    EXPECT_EQ(Formats()->currentIndex(), VARIANT);
    driver->Key(Qt::Key_Up);
    EXPECT_EQ(Formats()->currentIndex(), FLOAT8);
    // The panel follows a format chosen by key as one chosen by the mouse.
    EXPECT_TRUE(Control(IDC_ADD_ITEM)->isEnabled());
    EXPECT_TRUE(Control(IDC_ITEM_COUNT)->isEnabled());
    // So does the wheel over the closed list.
    driver->Wheel(driver->CentreOf(Formats()), -120);
    EXPECT_EQ(Formats()->currentIndex(), VARIANT);
}

TEST_F(WindowPointerTest, AWheelNotchOverTheScrollBarMovesOneRowAsOverTheRows) {
    for (int function = 1; function <= 60; ++function) {
        Fill(IDC_STREAM, QStringLiteral("1"));
        Fill(IDC_FUNCTION, QString::number(function));
        Press(IDC_CREATE_MESSAGE);
    }
    QScrollBar* bar = Tree().verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    const QPoint overBar = driver->CentreOf(bar);
    ASSERT_TRUE(driver->Reaches(bar));
    const int rows = Tree().RowHeight();
    bar->setValue(0); // each message created was scrolled into view
    const int start = Tree().ScrollPosition();
    driver->Wheel(driver->CentreOf(Tree().viewport()), -120);
    EXPECT_EQ(Tree().ScrollPosition(), start + rows);
    driver->Wheel(overBar, -120);
    EXPECT_EQ(Tree().ScrollPosition(), start + 2 * rows);
    driver->Wheel(overBar, 120);
    EXPECT_EQ(Tree().ScrollPosition(), start + rows);
}

// A press that follows the pointer's move with no pause counts, on a
// button, on a check box and in a field.
TEST_F(WindowPointerTest, APressRightAfterTheMoveCounts) {
    QSignalSpy created(qobject_cast<QAbstractButton*>(Control(IDC_CREATE_MESSAGE)), &QAbstractButton::clicked);
    driver->MoveAndClick(driver->CentreOf(Control(IDC_STREAM)));
    EXPECT_EQ(Focus(), Control(IDC_STREAM));
    driver->MoveAndClick(driver->CentreOf(Control(IDC_REPLY_REQUIRED)));
    EXPECT_EQ(qobject_cast<SkinCheckBox*>(Control(IDC_REPLY_REQUIRED))->GetCheck(), 1);
    driver->MoveAndClick(driver->CentreOf(Control(IDC_CREATE_MESSAGE)));
    EXPECT_EQ(created.count(), 1);
    EXPECT_EQ(prompts.TakeMessages().size(), 1); // the stream field is empty
}

} // namespace
} // namespace tqf
