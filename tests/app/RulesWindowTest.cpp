#include "FileWindowTest.h"

#include "FormatTree.h"
#include "RulesDialog.h"
#include "TreeSurgery.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWindow>

namespace tqf {
namespace {

using RulesWindowTest = FileWindowTest;

void TypeInto(QWidget* dialog, const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        QTest::keyClick(dialog->windowHandle(), *c);
    }
}

TEST_F(RulesWindowTest, RulesTypedForTheChosenItemAreOneStep) {
    CreateMessage(QStringLiteral("6"), QStringLiteral("11"));
    AddItem(UINT4, {}, false, QStringLiteral("CEID"));
    FormatNode* item = Root()->FirstChild()->FirstChild();
    ASSERT_NE(item, nullptr);
    ClickNode(item);
    const FormatTree& tree = Tree().Tree();
    const std::size_t steps = TreeSurgery::History(tree).Steps();
    bool stayed = false;
    OnNextModal([&](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("rulesEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        TypeInto(modal, "formats Q");
        QTest::keyClick(modal->windowHandle(), Qt::Key_Return);
        stayed = modal->isVisible();
        QTest::keyClick(modal->windowHandle(), Qt::Key_A, Qt::ControlModifier);
        TypeInto(modal, "formats U4 A");
        QTest::keyClick(modal->windowHandle(), Qt::Key_Return);
    });
    ChooseFromWindowMenu(QString::fromLatin1(RULES_MENU_TEXT));
    EXPECT_TRUE(stayed);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(QStringLiteral("Cannot read the rules: column 9: ")))
        << prompts.boxes[0].text.toStdString();
    ASSERT_NE(tree.Rules().Of(item), nullptr);
    EXPECT_EQ(tree.Rules().Of(item)->formats, (std::vector<std::int32_t>{UINT4, ASCII}));
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), steps + 1);
    EXPECT_TRUE(Commands().Doc().IsModified());
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(tree.Rules().Of(item), nullptr);
}

// A dictionary entry changed in the dialog is one step that Save writes at
// the file's head and Ctrl+Z takes back.
TEST_F(RulesWindowTest, ADictionaryEntryEditedIsOneStepAndSaved) {
    const QString tqf = PathIn(QStringLiteral("lib.TQF"));
    const std::string head = "/* TALVO SECS MESSAGE FORMAT FILE */\r\n//@ dictionary CEID: formats U4 A";
    const std::string body = "\r\n\r\nS6F11W\r\n<U4  CEID>.\r\n";
    WriteBytes(tqf, head + body);
    Open(tqf);
    OnNextModal([&](QWidget* modal) {
        auto* edit = modal->findChild<QPlainTextEdit*>(QStringLiteral("dictionaryEdit"));
        auto* buttons = modal->findChild<QDialogButtonBox*>(QStringLiteral("rulesButtons"));
        ASSERT_TRUE(edit != nullptr && buttons != nullptr);
        EXPECT_EQ(edit->toPlainText().trimmed(), QStringLiteral("dictionary CEID: formats U4 A"));
        edit->setFocus();
        QTest::keyClick(modal->windowHandle(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(modal->windowHandle(), Qt::Key_Backspace); // the line's end
        TypeInto(modal, " U1");
        buttons->button(QDialogButtonBox::Ok)->setFocus();
        QTest::keyClick(modal->windowHandle(), Qt::Key_Space);
    });
    ChooseFromWindowMenu(QString::fromLatin1(DICTIONARY_MENU_TEXT));
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(TreeSurgery::History(Tree().Tree()).Steps(), 1U);
    SaveAs(tqf);
    EXPECT_EQ(ReadBytes(tqf), head + " U1" + body);
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    Settle();
    EXPECT_TRUE(Commands().Doc().IsModified());
    Click(IDC_SAVE);
    EXPECT_EQ(ReadBytes(tqf), head + body);
}

} // namespace
} // namespace tqf
