#include "FileWindowTest.h"
#include "ModalHelper.h"

#include "SmlCheckDialog.h"
#include "SmlWriter.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>

namespace tqf {
namespace {

const QString SML_FILTER = QStringLiteral("SML File (*.sml)|*.sml|All Files (*.*)|*.*||");
const QString SML_EXTENSION = QStringLiteral("*.sml");
const QString SML_OR_LOG_FILTER =
    QStringLiteral("SML File or Log (*.sml;*.log;*.txt)|*.sml;*.log;*.txt|SML File (*.sml)|*.sml|"
                   "Log (*.log;*.txt)|*.log;*.txt|All Files (*.*)|*.*||");

using SmlWindowTest = FileWindowTest;

TEST_F(SmlWindowTest, ImportAsksFirstReadsTheFileAndLeavesThePathEmpty) {
    const QString tqf = PathIn(QStringLiteral("lib.TQF"));
    CreateMessage(QStringLiteral("9"), QStringLiteral("9"));
    SaveAs(tqf);
    CreateMessage(QStringLiteral("9"), QStringLiteral("10"));
    prompts.fileDialogs.clear();
    const QString sml = PathIn(QStringLiteral("in.sml"));
    WriteBytes(sml, "AreYouThere: S1F1 W.\n"
                    "S1F2 <L[2] <A \"MODEL\">  <A SOFTREV>>.\n"
                    "S1F3 <QQ>.\n");
    prompts.answers = {true};
    prompts.fileAnswers.push_back(sml);
    ChooseFromWindowMenu(QStringLiteral("Import SML..."));

    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].text, QStringLiteral("Contents modified. Are you sure ?"));
    ASSERT_EQ(prompts.fileDialogs.size(), 1U);
    EXPECT_FALSE(prompts.fileDialogs[0].save);
    EXPECT_EQ(prompts.fileDialogs[0].filter, SML_OR_LOG_FILTER);
    EXPECT_EQ(prompts.fileDialogs[0].defaultExtension, SML_EXTENSION);
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S1F2"}));
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("2"));
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_EQ(prompts.boxes[0].icon, PromptIcon::Warning);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("2 message(s) were imported from\n%1\n\n"
                                                    "1 statement(s) could not be read and were left out:\n\n"
                                                    "line 3, column 7: S1F3: unknown item format QQ\n\n"
                                                    "1 item value(s) were left out: a format file keeps no values.")
                                         .arg(sml));
    // The library has no format file: Save asks for one, and the old one
    // stays as it was.
    EXPECT_TRUE(PathDisplay().isEmpty());
    EXPECT_TRUE(Commands().Doc().IsModified());
    const std::string old = ReadBytes(tqf);
    prompts.fileDialogs.clear();
    prompts.fileAnswers.push_back(std::nullopt);
    Click(IDC_SAVE);
    ASSERT_EQ(prompts.fileDialogs.size(), 1U);
    EXPECT_TRUE(prompts.fileDialogs[0].save);
    EXPECT_EQ(ReadBytes(tqf), old);
}

TEST_F(SmlWindowTest, ImportAnsweredNoChangesNothing) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.answers = {false};
    ChooseFromWindowMenu(QStringLiteral("Import SML..."));
    EXPECT_EQ(prompts.questions.size(), 1U);
    EXPECT_TRUE(prompts.fileDialogs.empty());
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W"}));
}

TEST_F(SmlWindowTest, ExportWritesTheLibraryAsSmlAndKeepsTheDocumentAsItIs) {
    ChooseFromWindowMenu(QStringLiteral("Export SML..."));
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("No message to export.")});
    EXPECT_TRUE(prompts.fileDialogs.empty());

    CreateMessage(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Are You There"));
    const QString sml = PathIn(QStringLiteral("out.sml"));
    prompts.fileAnswers.push_back(sml);
    ChooseFromWindowMenu(QStringLiteral("Export SML..."));
    ASSERT_EQ(prompts.fileDialogs.size(), 1U);
    EXPECT_TRUE(prompts.fileDialogs[0].save);
    EXPECT_EQ(prompts.fileDialogs[0].filter, SML_FILTER);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Exported successfully.")});
    EXPECT_EQ(ReadBytes(sml), SmlWriter::SmlText(Root()));
    EXPECT_NE(ReadBytes(sml).find("S1F1 W.  // Are You There\n"), std::string::npos);
    // Its rules go with it, as Import reads them back.
    NodeRules optionalReply;
    optionalReply.replyOptional = true;
    ASSERT_TRUE(Commands().Doc().Tree().SetRules(Root()->FirstChild(), optionalReply).Done());
    prompts.fileAnswers.push_back(sml);
    ChooseFromWindowMenu(QStringLiteral("Export SML..."));
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Exported successfully.")});
    EXPECT_NE(ReadBytes(sml).find("S1F1 W.  // Are You There //@ reply optional\n"), std::string::npos);
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_TRUE(PathDisplay().isEmpty());

    // A target that cannot be written is reported, and nothing else changes.
    prompts.boxes.clear();
    prompts.fileAnswers.push_back(folder.path());
    ChooseFromWindowMenu(QStringLiteral("Export SML..."));
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(
        QStringLiteral("Cannot export the library to\n%1\n\nReason: ").arg(folder.path())))
        << prompts.boxes[0].text.toStdString();
}

TEST_F(SmlWindowTest, CheckListsMismatchesAndChoosesWhatTheyConcern) {
    const QString tqf = PathIn(QStringLiteral("lib.TQF"));
    WriteBytes(tqf, "S1F1W.\nS6F11W\n<L[2]\n\t<U4>\n\t<A[9]>\n>.\n");
    Open(tqf);
    const FormatNode* areYouThere = Root()->FirstChild();
    const FormatNode* text = areYouThere->NextSibling()->FirstChild()->FirstChild()->NextSibling();
    const QString sml = PathIn(QStringLiteral("eap.log"));
    WriteBytes(sml, "[MSG] S1F1 W.\nS6F11 W <L <U4 1> <U4 2>>.\n[MSG] 'S1F1'\n.\nother\n[MSG] 'S1F1'\n.\n");
    prompts.fileAnswers.push_back(sml);
    std::vector<QStringList> rows;
    std::vector<const FormatNode*> chosen;
    OnNextModal([&](QWidget* modal) {
        auto* check = qobject_cast<SmlCheckDialog*>(modal);
        ASSERT_NE(check, nullptr);
        EXPECT_TRUE(check->SummaryText().endsWith(
            QStringLiteral("\n4 messages, 1 passed, 3 failed; read as a log, 1 line(s) skipped")))
            << check->SummaryText().toStdString();
        // Beside the tree, so that what a row chooses is seen, unless the
        // screen has no room for it there.
        const QRect tree(Tree().mapToGlobal(QPoint(0, 0)), Tree().size());
        const int lacking = tree.right() + check->width() - check->screen()->availableGeometry().right();
        EXPECT_LE(check->geometry().intersected(tree).width(), std::max(lacking, 0));
        QTreeWidget& list = check->Rows();
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = list.topLevelItem(i);
            rows.push_back({row->text(0), row->text(1), row->text(2), row->text(3)});
            const QPoint at = list.viewport()->mapTo(check, list.visualItemRect(row).center());
            QTest::mouseClick(check->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
            chosen.push_back(Tree().SelectedNode());
        }
        // Mended, the log is checked once more.
        WriteBytes(sml, "S1F1 W.\nS1F1 W.\n");
        auto* again = check->findChild<QPushButton*>(QStringLiteral("smlCheckAgain"));
        ASSERT_NE(again, nullptr);
        // Pressed with the keyboard, as a person who tabbed to it would.
        again->setFocus();
        QTest::keyClick(check->windowHandle(), Qt::Key_Space);
        EXPECT_TRUE(check->SummaryText().endsWith(QStringLiteral("\n2 messages, 2 passed, 0 failed")))
            << check->SummaryText().toStdString();
        EXPECT_EQ(list.topLevelItemCount(), 0);
        check->reject();
    });
    ChooseFromWindowMenu(QString::fromLatin1(CHECK_SML_MENU_TEXT));
    EXPECT_EQ(rows, (std::vector<QStringList>{{QStringLiteral("S6F11W item 1.2"), QStringLiteral("2:19"),
                                               QStringLiteral("A expected, got U4"), QStringLiteral("1")},
                                              {QStringLiteral("S1F1"), QStringLiteral("3:7"),
                                               QStringLiteral("reply expected (W), got none"), QStringLiteral("2")}}));
    EXPECT_EQ(chosen, (std::vector<const FormatNode*>{text, areYouThere}));
    EXPECT_FALSE(Commands().Doc().IsModified());
}

// Add SML Messages puts the file's messages after the library's, keeps its
// file, reports as Import does and is one step that Ctrl+Z takes back.
TEST_F(SmlWindowTest, AddSmlAppendsTheMessagesAsOneStep) {
    const QString tqf = PathIn(QStringLiteral("lib.TQF"));
    WriteBytes(tqf, "S9F9W.\n");
    Open(tqf);
    const QString sml = PathIn(QStringLiteral("more.sml"));
    WriteBytes(sml, "S2F1 <L[2] <A \"MODEL\"> <A SOFTREV>>.\nS2F2 <QQ>.\nS1F1 W.\n");
    prompts.fileAnswers.push_back(sml);
    ChooseFromWindowMenu(QStringLiteral("Add SML Messages..."));
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(prompts.fileDialogs.back().filter, SML_OR_LOG_FILTER);
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S9F9W", "S2F1", "S1F1W"}));
    EXPECT_EQ(Tree().SelectedNode(), Root()->FirstChild()->NextSibling());
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(
        QStringLiteral("2 message(s) were added from\n%1\n\n1 statement(s) could not be read").arg(sml)));
    EXPECT_EQ(PathDisplay(), QDir::toNativeSeparators(tqf));
    EXPECT_TRUE(Commands().Doc().IsModified());
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S9F9W"}));
    EXPECT_FALSE(Commands().Doc().IsModified());
}

// A row of a message the library lacks offers Add Definition: the message
// as the import maps it is added, chosen and checked again; Ctrl+Z takes it back.
TEST_F(SmlWindowTest, AddDefinitionAddsTheMessageOfANoDefinitionRow) {
    const QString tqf = PathIn(QStringLiteral("lib.TQF"));
    WriteBytes(tqf, "S1F1W.\n");
    Open(tqf);
    const QString log = PathIn(QStringLiteral("eap.log"));
    WriteBytes(log, "[MSG] S1F1 W.\n10:00 [MSG] S2F41 W /* Dir=1 */\n<L <A 'GO'> <U4 7>>\n.\n[DEBUG] x\n");
    prompts.fileAnswers.push_back(log);
    const FormatNode* chosen = nullptr;
    OnNextModal([&](QWidget* modal) {
        auto* check = qobject_cast<SmlCheckDialog*>(modal);
        auto* add = modal->findChild<QPushButton*>(QStringLiteral("smlAddDefinition"));
        ASSERT_TRUE(check != nullptr && add != nullptr);
        QTreeWidget& list = check->Rows();
        ASSERT_EQ(list.topLevelItemCount(), 1);
        QTreeWidgetItem* row = list.topLevelItem(0);
        EXPECT_EQ(row->text(2), QStringLiteral("no definition of S2F41 in the library"));
        QTest::mouseClick(check->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          list.viewport()->mapTo(check, list.visualItemRect(row).center()));
        EXPECT_TRUE(add->isEnabled());
        add->setFocus();
        QTest::keyClick(check->windowHandle(), Qt::Key_Space);
        EXPECT_TRUE(check->SummaryText().contains(QStringLiteral("\n2 messages, 2 passed, 0 failed")));
        EXPECT_FALSE(add->isEnabled()) << "no row left";
        chosen = Tree().SelectedNode();
        check->reject();
    });
    ChooseFromWindowMenu(QString::fromLatin1(CHECK_SML_MENU_TEXT));
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S2F41W"}));
    EXPECT_EQ(chosen, Root()->FirstChild()->NextSibling());
    EXPECT_EQ(Labels(chosen->FirstChild()), (std::vector<std::string>{"<A[2]>", "<U4>"}));
    EXPECT_TRUE(Commands().Doc().IsModified());
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W"}));
}

} // namespace
} // namespace tqf
