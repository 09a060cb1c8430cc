#include "FileWindowTest.h"

#include "FormatReader.h"
#include "FormatWriter.h"
#include "ItemFormat.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace tqf {
namespace {

class FileCommandsTest : public FileWindowTest {
protected:
    // Save As to path, answering yes to the one question it asks: the file
    // then holds the document, which is saved under that path.
    void SaveAsAnsweringYes(const QString& path) {
        prompts.questions.clear();
        prompts.answers = {true};
        prompts.fileAnswers.push_back(path);
        Click(IDC_SAVE_AS);
        EXPECT_EQ(prompts.questions.size(), 1U);
        EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Saved successfully.")});
        EXPECT_EQ(ReadBytes(path), FormatWriter::FormatFileText(Root()));
        EXPECT_FALSE(Commands().Doc().IsModified());
        EXPECT_EQ(PathDisplay(), path);
    }

    // Clicks Cancel in the progress dialog as soon as it shows a text that
    // starts with stage, noting the message count then (-1: it never showed).
    void CancelWhenProgressShows(const QString& stage = QString()) {
        messagesAtCancel = -1;
        clicker.disconnect();
        QObject::connect(&clicker, &QTimer::timeout, [this, stage] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(widget);
                if (progress != nullptr && progress->isVisible() && progress->labelText().startsWith(stage)) {
                    clicker.stop();
                    clicker.disconnect();
                    messagesAtCancel = Root()->Count();
                    labelAtCancel = progress->labelText();
                    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
                }
            }
        });
        clicker.start(0);
    }

    QTimer clicker;
    int messagesAtCancel = -1;
    QString labelAtCancel;
};

const QString FILTER = QStringLiteral("Format File (*.TQF)|*.TQF|All Files (*.*)|*.*||");
const QString EXTENSION = QStringLiteral("*.TQF");

// ---- The flag and the path display through a session ----

TEST_F(FileCommandsTest, StartsUnmodifiedWithoutPath) {
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_TRUE(PathDisplay().isEmpty());
    EXPECT_TRUE(Commands().Doc().Path().empty());
}

TEST_F(FileCommandsTest, SaveAsWritesTheDocumentAndShowsThePath) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Are You There"));
    const QString path = PathIn(QStringLiteral("lib.TQF"));
    prompts.fileAnswers.push_back(path);
    Click(IDC_SAVE_AS);

    ASSERT_EQ(prompts.fileDialogs.size(), 1U);
    EXPECT_TRUE(prompts.fileDialogs[0].save);
    EXPECT_EQ(prompts.fileDialogs[0].filter, FILTER);
    EXPECT_EQ(prompts.fileDialogs[0].defaultExtension, EXTENSION);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("Saved successfully."));
    EXPECT_TRUE(prompts.boxes[0].caption.isEmpty()) << "the application's title";
    EXPECT_EQ(prompts.boxes[0].icon, PromptIcon::None);
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), path);
    EXPECT_EQ(Commands().Doc().Path(), path.toStdString());
    EXPECT_EQ(ReadBytes(path), "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F1W (Are You There).\r\n");
}

TEST_F(FileCommandsTest, SaveWithAPathWritesAtOnceAndSaveAsAlwaysAsks) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const QString first = PathIn(QStringLiteral("first.TQF"));
    SaveAs(first);
    CreateMessage(QStringLiteral("2"), QStringLiteral("1"));
    ASSERT_TRUE(Commands().Doc().IsModified());
    prompts.fileDialogs.clear();

    Click(IDC_SAVE);
    EXPECT_TRUE(prompts.fileDialogs.empty());
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Saved successfully.")});
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_EQ(ReadBytes(first), FormatWriter::FormatFileText(Root()));

    const QString second = PathIn(QStringLiteral("second.TQF"));
    prompts.fileAnswers.push_back(second);
    Click(IDC_SAVE_AS);
    EXPECT_EQ(prompts.fileDialogs.size(), 1U);
    EXPECT_EQ(PathDisplay(), second);
    EXPECT_EQ(ReadBytes(second), ReadBytes(first));
}

TEST_F(FileCommandsTest, SaveWithoutAPathAsksForOneAndCancelChangesNothing) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.fileAnswers.push_back(std::nullopt);
    Click(IDC_SAVE);
    EXPECT_EQ(prompts.fileDialogs.size(), 1U);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_TRUE(PathDisplay().isEmpty());
    EXPECT_TRUE(FolderEntries().isEmpty());
}

TEST_F(FileCommandsTest, SaveReplacesAnOlderLongerFileWhole) {
    const QString path = PathIn(QStringLiteral("old.TQF"));
    WriteBytes(path, std::string(100000, 'x'));
    CreateMessage(QStringLiteral("1"), QStringLiteral("2"));
    SaveAs(path);
    EXPECT_EQ(ReadBytes(path), FormatWriter::FormatFileText(Root()));
    EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("old.TQF")}) << "no temporary file is left";
}

TEST_F(FileCommandsTest, SaveOfAnEmptyDocumentOnlySaysSo) {
    for (int id : {IDC_SAVE, IDC_SAVE_AS}) {
        Click(id);
        ASSERT_EQ(prompts.boxes.size(), 1U);
        EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("No message to save."));
        EXPECT_TRUE(prompts.boxes[0].caption.isEmpty());
        EXPECT_EQ(prompts.boxes[0].icon, PromptIcon::Warning);
        prompts.boxes.clear();
        prompts.messages.clear();
    }
    // Also when a path is displayed.
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const QString path = PathIn(QStringLiteral("a.TQF"));
    SaveAs(path);
    const std::string saved = ReadBytes(path);
    Files().ClearDocument();
    prompts.boxes.clear();
    for (int id : {IDC_SAVE, IDC_SAVE_AS}) {
        Click(id);
        ASSERT_EQ(prompts.boxes.size(), 1U);
        EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("No message to save."));
        prompts.boxes.clear();
    }
    EXPECT_TRUE(prompts.fileDialogs.size() == 1U) << "only the first Save As asked for a name";
    EXPECT_EQ(ReadBytes(path), saved);
    EXPECT_TRUE(Commands().Doc().IsModified());
}

TEST_F(FileCommandsTest, EditingAfterASaveSetsTheFlagAndKeepsThePath) {
    FormatNode* message = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const QString path = PathIn(QStringLiteral("a.TQF"));
    SaveAs(path);
    ClickNode(message);
    AddItem(UINT4);
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), path);

    SaveAs(path);
    Commands().OnTreeChanged();
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), path);
}

TEST_F(FileCommandsTest, NewKeepsThePathSoTheNextSaveWritesThere) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const QString path = PathIn(QStringLiteral("a.TQF"));
    SaveAs(path);
    Click(IDC_NEW);
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), path);

    CreateMessage(QStringLiteral("5"), QStringLiteral("5"));
    prompts.fileDialogs.clear();
    prompts.answers = {true};
    Click(IDC_SAVE);
    EXPECT_TRUE(prompts.fileDialogs.empty());
    EXPECT_EQ(ReadBytes(path), "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS5F5W.\r\n");
}

// Whatever emptied the document while its file stayed shown, Save asks before
// that file loses its library, No first; once written, or when Undo brings
// the file's library back, Save asks nothing.
TEST_F(FileCommandsTest, SaveAsksBeforeAnotherLibraryReplacesTheFileShown) {
    const QString path = PathIn(QStringLiteral("a.TQF"));
    const std::function<void()> emptyings[] = {
        [&] { Click(IDC_NEW); },
        [&] { prompts.fileAnswers.push_back(std::nullopt), Click(IDC_OPEN); },
        [&] { Open(PathIn(QStringLiteral("missing.TQF"))); },
    };
    for (const auto& empty : emptyings) {
        prompts.messages.clear();
        Click(IDC_NEW);
        CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
        SaveAs(path);
        const std::string before = ReadBytes(path);
        empty();
        CreateMessage(QStringLiteral("7"), QStringLiteral("7"));
        prompts.questions.clear();
        prompts.answers = {false};
        Click(IDC_SAVE);
        ASSERT_EQ(prompts.questions.size(), 1U);
        EXPECT_EQ(prompts.questions[0].text, QStringLiteral("a.TQF holds another library. Replace it with this one ?"));
        EXPECT_TRUE(prompts.questions[0].defaultNo);
        EXPECT_EQ(ReadBytes(path), before);
        prompts.answers = {true};
        Click(IDC_SAVE);
        Click(IDC_SAVE);
        EXPECT_EQ(prompts.questions.size(), 2U) << "once written, the file holds this library";
        EXPECT_EQ(ReadBytes(path), "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS7F7W.\r\n");
    }
}

TEST_F(FileCommandsTest, NewOnAnEmptyUnnamedDocumentDoesNothing) {
    Type(IDC_STREAM, QStringLiteral("3"));
    Click(IDC_NEW);
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral("3"));
}

TEST_F(FileCommandsTest, AfterAnUnsavedClearOpenAsksButNewDoesNot) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.answers = {true};
    Click(IDC_NEW);
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_TRUE(Commands().Doc().IsModified());
    prompts.questions.clear();

    Click(IDC_NEW);
    EXPECT_TRUE(prompts.questions.empty());

    prompts.answers = {false};
    Click(IDC_OPEN);
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].text, QStringLiteral("Not saved. Are you sure ?"));
    EXPECT_TRUE(prompts.fileDialogs.empty());
}

TEST_F(FileCommandsTest, ClearingEmptiesThePanelsButKeepsTheItemDescription) {
    FormatNode* message = CreateMessage(QStringLiteral("6"), QStringLiteral("11"), QStringLiteral("Event"));
    ClickNode(message);
    AddItem(LIST);
    ClickNode(message->FirstChild());
    ChooseFormat(UINT4);
    Click(IDC_NOT_FIXED);
    Type(IDC_ITEM_DESCRIPTION, QStringLiteral("typed"));
    ASSERT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 1);
    ASSERT_EQ(Check(IDC_NOT_FIXED)->GetCheck(), 1);

    Files().ClearDocument();
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_EQ(Root()->FirstChild(), nullptr);
    EXPECT_EQ(Commands().CurrentNode(), nullptr);
    EXPECT_EQ(Commands().LastCreatedNode(), nullptr);
    EXPECT_EQ(Tree().SelectedNode(), nullptr);
    for (int id : {IDC_STREAM, IDC_FUNCTION, IDC_MESSAGE_DESCRIPTION, IDC_ITEM_COUNT}) {
        EXPECT_TRUE(Text(id).isEmpty()) << id;
    }
    EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION), QStringLiteral("typed"));
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 0);
    EXPECT_EQ(Check(IDC_NOT_FIXED)->GetCheck(), 0);
    EXPECT_EQ(Formats()->currentIndex(), -1);
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("0"));
    EXPECT_FALSE(Enabled(IDC_UPDATE_MESSAGE));
    EXPECT_FALSE(Enabled(IDC_DELETE_MESSAGE));
    EXPECT_FALSE(Enabled(IDC_FORMAT));
    EXPECT_FALSE(Enabled(IDC_ADD_ITEM));
    EXPECT_TRUE(Commands().Doc().IsModified());

    // The cleared window still paints and takes new messages.
    Tree().viewport()->repaint();
    FormatNode* again = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(MessageLabels(), std::vector<std::string>{"S1F1W"});
}

TEST_F(FileCommandsTest, ClearingAnEmptyDocumentChangesNothing) {
    Type(IDC_STREAM, QStringLiteral("4"));
    Files().ClearDocument();
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral("4"));
}

// ---- Open ----

TEST_F(FileCommandsTest, OpenReadsTheFileAndSaveWritesBackWithoutADialog) {
    const QString path = PathIn(QStringLiteral("in.tqf"));
    WriteBytes(path, "s1f1w (are you there).\nS1F3 <L[2] <U4 ID> <A[n] NAME>>.\n");
    Open(path);
    ASSERT_EQ(prompts.fileDialogs.size(), 1U);
    EXPECT_FALSE(prompts.fileDialogs[0].save);
    EXPECT_FALSE(prompts.fileDialogs[0].mustExist);
    EXPECT_EQ(prompts.fileDialogs[0].filter, FILTER);
    EXPECT_EQ(prompts.fileDialogs[0].defaultExtension, EXTENSION);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S1F3"}));
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("2"));
    EXPECT_TRUE(Enabled(IDC_UPDATE_MESSAGE));
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), path);
    EXPECT_EQ(prompts.fileFolder, folder.path()) << "the next file dialog opens beside the library";
    EXPECT_EQ(Commands().CurrentNode(), nullptr);

    // The read document paints and answers clicks.
    ClickNode(Root()->FirstChild()->NextSibling());
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral("1"));
    EXPECT_EQ(Text(IDC_FUNCTION), QStringLiteral("3"));

    prompts.fileDialogs.clear();
    Click(IDC_SAVE);
    EXPECT_TRUE(prompts.fileDialogs.empty());
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Saved successfully.")});
    EXPECT_EQ(ReadBytes(path), FormatWriter::FormatFileText(Root()));
}

TEST_F(FileCommandsTest, OpenAnsweredYesThenCancelledLeavesAnEmptyDocumentAndThePath) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const QString path = PathIn(QStringLiteral("a.TQF"));
    SaveAs(path);
    CreateMessage(QStringLiteral("2"), QStringLiteral("2"));
    prompts.answers = {true};
    prompts.fileAnswers.push_back(std::nullopt);
    Click(IDC_OPEN);
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), path);
}

TEST_F(FileCommandsTest, OpenCancelledOnAnEmptyDocumentKeepsTheFlag) {
    prompts.fileAnswers.push_back(std::nullopt);
    Click(IDC_OPEN);
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_TRUE(PathDisplay().isEmpty());
}

TEST_F(FileCommandsTest, OpenOfAMissingFileSaysWhyAndLeavesAnEmptyUnmodifiedDocument) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const QString saved = PathIn(QStringLiteral("a.TQF"));
    SaveAs(saved);
    const QString missing = PathIn(QStringLiteral("missing.TQF"));
    Open(missing);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_EQ(prompts.boxes[0].icon, PromptIcon::Warning);
    EXPECT_TRUE(prompts.boxes[0].text.contains(missing));
    EXPECT_TRUE(prompts.boxes[0].text.contains(QStringLiteral("No such file or directory")));
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), saved);
}

TEST_F(FileCommandsTest, OpenOfALibraryTooLargeForMemoryKeepsNothingOfIt) {
    const QString path = PathIn(QStringLiteral("big.TQF"));
    WriteBytes(path, "S1F1 <L <A> <A>>.\nS1F2 <A>.\nS1F3.\n");
    Files().SetNodeLimit(5);
    Open(path);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_EQ(prompts.boxes[0].icon, PromptIcon::Warning);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(
        QStringLiteral("Cannot open the file\n%1\n\nReason: the library holds more than 5 ").arg(path)))
        << prompts.boxes[0].text.toStdString();
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_EQ(Root()->FirstChild(), nullptr);
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_TRUE(PathDisplay().isEmpty());
    EXPECT_FALSE(Files().Busy());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the wait cursor ends with the command";

    prompts.boxes.clear();
    Files().SetNodeLimit(7);
    Open(path);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(Root()->Count(), 3);
    EXPECT_EQ(PathDisplay(), path);
}

TEST_F(FileCommandsTest, OpenOfAFolderSaysItIsAFolder) {
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("lib.TQF")));
    const QString path = PathIn(QStringLiteral("lib.TQF"));
    Open(path);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("Cannot open the file\n%1\n\nReason: it is a folder.").arg(path));
    EXPECT_EQ(prompts.boxes[0].icon, PromptIcon::Warning);
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_TRUE(PathDisplay().isEmpty());
}

TEST_F(FileCommandsTest, OpenThatStopsPartWayKeepsNoPathSoSaveAsksForOne) {
    // Reading this file fails at its first byte, after it opened well.
    const QString path = QStringLiteral("/proc/self/mem");
    if (!QFileInfo(path).isReadable()) {
        GTEST_SKIP() << "no process memory file here";
    }
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    SaveAs(PathIn(QStringLiteral("a.TQF")));
    Open(path);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_TRUE(prompts.boxes[0].text.contains(QStringLiteral("could not be read to its end")));
    EXPECT_TRUE(prompts.boxes[0].text.contains(path));
    EXPECT_TRUE(PathDisplay().isEmpty());
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_FALSE(Commands().Doc().IsModified());
}

TEST_F(FileCommandsTest, OpenWarnsOnceAboutDroppedStatementsWithTheirPlacesAndReasons) {
    const QString path = PathIn(QStringLiteral("dropped.TQF"));
    WriteBytes(path, "S1F1W.\r\n"            // 1: read
                     "X1F1.\r\n"             // 2: dropped, the header is no header
                     "S2F1 <Q A>.\r\n"       // 3: dropped, Q is no format
                     "S3F1.\r\n"             // 4: read
                     "S4F1 <L[1]\r\n"        // 5
                     "<U4 NEVER ENDS>\r\n"); // 6: its "." never comes
    Open(path);
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S3F1"}));
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_EQ(prompts.boxes[0].icon, PromptIcon::Warning);
    EXPECT_TRUE(prompts.boxes[0].caption.isEmpty());
    EXPECT_EQ(prompts.boxes[0].text,
              QStringLiteral("3 statements of the file\n%1\ncould not be read and were left out:\n"
                             "\nline 2, column 1: header has no stream number"
                             "\nline 3, column 7: unknown item format Q"
                             "\nline 5, column 6: list not closed at end of file\n\n"
                             "Saving this library would not keep them.")
                  .arg(path));
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), path);
}

TEST_F(FileCommandsTest, ALargeFileOpensWholeWithItsDroppedStatementsNamed) {
    // Large enough to be read on a second thread while the window builds.
    const QString path = PathIn(QStringLiteral("large.TQF"));
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 3000; ++i) {
        const std::string label = "S" + std::to_string(i % 127 + 1) + "F" + std::to_string(i % 256);
        text += label + " (MESSAGE " + std::to_string(i) + ")\r\n<L[2]\r\n\t<U4[n]  ID>\r\n\t<A  NAME>\r\n>.\r\n";
        expected.push_back(label);
    }
    text += "S9F9 <Q>.\r\n"; // line 15001: dropped
    WriteBytes(path, text);
    ASSERT_GE(text.size(), std::size_t{64} * 1024);
    Open(path);
    EXPECT_EQ(MessageLabels(), expected);
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("3000"));
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_NE(prompts.boxes[0].text.indexOf(QStringLiteral("\nline 15001, column 7: unknown item format Q\n")), -1)
        << prompts.boxes[0].text.toStdString();
    EXPECT_FALSE(Commands().Doc().IsModified());

    ClickNode(Root()->FirstChild()->NextSibling());
    EXPECT_EQ(Text(IDC_FUNCTION), QStringLiteral("1"));
}

TEST_F(FileCommandsTest, DroppedStatementsBeyondTenAreCounted) {
    std::string text;
    for (int i = 0; i < 13; ++i) {
        text += "BAD.\n";
    }
    text += "S1F1.\n";
    const QString path = PathIn(QStringLiteral("many.TQF"));
    WriteBytes(path, text);
    Open(path);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    const QString& shown = prompts.boxes[0].text;
    EXPECT_TRUE(shown.startsWith(QStringLiteral("13 statements of the file"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("\nline 10, column 1: header has no stream number\n... and 3 more\n")))
        << shown.toStdString();
    EXPECT_EQ(Root()->Count(), 1);
}

TEST_F(FileCommandsTest, OneDroppedStatementIsNamedInTheSingular) {
    // Percent signs in the name stay as they are in the text.
    const QString path = PathIn(QStringLiteral("one %1 %7.TQF"));
    WriteBytes(path, "S1F1.\nS2F2 <U4 X\n.\n");
    Open(path);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(QStringLiteral("1 statement of the file")));
    EXPECT_TRUE(prompts.boxes[0].text.contains(QStringLiteral("was left out:\n\nline 2, column 6: < without >\n")))
        << prompts.boxes[0].text.toStdString();
    EXPECT_TRUE(prompts.boxes[0].text.contains(QStringLiteral("would not keep it.")));
    EXPECT_TRUE(prompts.boxes[0].text.contains(QStringLiteral("\n%1\n").arg(path)))
        << prompts.boxes[0].text.toStdString();
}

TEST_F(FileCommandsTest, OpenWarnsAboutWhatReadsButIsLostAndSaveAsksBeforeLosingIt) {
    const QString path = PathIn(QStringLiteral("lossy.TQF"));
    WriteBytes(path, "S1F1. S1F2.\r\nF3 (NOSTREAM).\r\n");
    Open(path);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    const QString& shown = prompts.boxes[0].text;
    EXPECT_TRUE(shown.startsWith(QStringLiteral("The file\n%1\nwas read.\n\n2 warning(s)").arg(path)));
    EXPECT_TRUE(shown.contains(QStringLiteral("\nline 1, column 5: the statement ends at this \".\"")));
    EXPECT_TRUE(shown.contains(QStringLiteral("\nline 2, column 1: header has no stream number")));
    prompts.answers = {false};
    Click(IDC_SAVE);
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_TRUE(prompts.questions[0].text.contains(QStringLiteral("S-1F3"))) << prompts.questions[0].text.toStdString();
}

// ---- Saves that cannot be made, and saves that would not read back ----

TEST_F(FileCommandsTest, SaveOntoAFolderFailsAndReportsIt) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const QString path = PathIn(QStringLiteral("a.TQF"));
    SaveAs(path);
    const std::string saved = ReadBytes(path);
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.TQF")));
    const QString target = PathIn(QStringLiteral("folder.TQF"));
    CreateMessage(QStringLiteral("2"), QStringLiteral("1"));

    prompts.fileAnswers.push_back(target);
    Click(IDC_SAVE_AS);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_EQ(prompts.boxes[0].icon, PromptIcon::Warning);
    EXPECT_EQ(prompts.boxes[0].text,
              QStringLiteral("Cannot save the library to\n%1\n\nReason: it is a folder.\n\nThe file was not changed.")
                  .arg(target));
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_EQ(PathDisplay(), path);
    EXPECT_EQ(Commands().Doc().Path(), path.toStdString());
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_TRUE(QDir(target).isEmpty());
    EXPECT_EQ(ReadBytes(path), saved);
    EXPECT_EQ(FolderEntries(), (QStringList{QStringLiteral("a.TQF"), QStringLiteral("folder.TQF")}));
}

TEST_F(FileCommandsTest, SaveIntoAMissingFolderFailsAndReportsIt) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const QString target = PathIn(QStringLiteral("no/such/folder/a.TQF"));
    prompts.fileAnswers.push_back(target);
    Click(IDC_SAVE_AS);
    ASSERT_EQ(prompts.boxes.size(), 1U);
    EXPECT_TRUE(
        prompts.boxes[0].text.startsWith(QStringLiteral("Cannot save the library to\n%1\n\nReason: ").arg(target)));
    EXPECT_FALSE(prompts.boxes[0].text.contains(QStringLiteral("not changed"))) << "there was no file";
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_TRUE(PathDisplay().isEmpty());
    EXPECT_TRUE(FolderEntries().isEmpty());
}

TEST_F(FileCommandsTest, SaveAsksBeforeWritingWhatWouldNotReadBackAndNoChangesNothing) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("VER. 2"));
    CreateMessage(QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("fine"));
    const QString path = PathIn(QStringLiteral("a.TQF"));

    prompts.answers = {false};
    prompts.fileAnswers.push_back(path);
    Click(IDC_SAVE_AS);
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].caption, QStringLiteral("CONFIRMATION"));
    const QString& question = prompts.questions[0].text;
    EXPECT_TRUE(question.contains(QStringLiteral("\nS1F1W: "))) << question.toStdString();
    EXPECT_FALSE(question.contains(QStringLiteral("S1F3W"))) << question.toStdString();
    EXPECT_TRUE(question.endsWith(QStringLiteral("Save anyway ?")));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(FolderEntries().isEmpty());
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_TRUE(PathDisplay().isEmpty());
    EXPECT_TRUE(Commands().Doc().Path().empty());

    SaveAsAnsweringYes(path);
}

TEST_F(FileCommandsTest, AFileLargerThanTheBudgetIsRefusedWithTheSizeItNeeds) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("fine"));
    const QString path = PathIn(QStringLiteral("big.TQF"));
    Files().SetTextBudget(10);

    prompts.fileAnswers.push_back(path);
    Click(IDC_SAVE_AS);
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(prompts.TakeMessages(),
              QStringList{QStringLiteral("Cannot save the library to\n%1\n\nReason: the file would take 55 bytes, more "
                                         "than the 10 bytes a library may take here (a quarter of the memory this "
                                         "program may use).")
                              .arg(path)});
    EXPECT_TRUE(FolderEntries().isEmpty());
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(FileCommandsTest, TheRoundTripQuestionNamesAtMostFiveMessages) {
    // A "." in a message's description ends its statement early when it is
    // read: each of these messages comes back with a shorter description.
    for (int function = 2; function <= 14; function += 2) {
        CreateMessage(QStringLiteral("1"), QString::number(function), QStringLiteral("v1.%1").arg(function));
    }
    prompts.answers = {false};
    prompts.fileAnswers.push_back(PathIn(QStringLiteral("a.TQF")));
    Click(IDC_SAVE_AS);
    ASSERT_EQ(prompts.questions.size(), 1U);
    const QString& question = prompts.questions[0].text;
    EXPECT_TRUE(question.startsWith(QStringLiteral("These messages would not read back the same")));
    for (const char* label : {"\nS1F2: ", "\nS1F4: ", "\nS1F6: ", "\nS1F8: ", "\nS1F10: "}) {
        EXPECT_TRUE(question.contains(QString::fromLatin1(label))) << label << question.toStdString();
    }
    EXPECT_FALSE(question.contains(QStringLiteral("S1F12"))) << question.toStdString();
    EXPECT_FALSE(question.contains(QStringLiteral("S1F14"))) << question.toStdString();
    EXPECT_TRUE(question.contains(QStringLiteral("\n... and 2 more\n"))) << question.toStdString();
    EXPECT_TRUE(FolderEntries().isEmpty());
}

// A library large enough to be read on two threads, in several batches.
constexpr int MESSAGES_READ_IN_PIECES = 3000;

std::string LibraryReadInPieces() {
    std::string text;
    for (int i = 0; i < MESSAGES_READ_IN_PIECES; ++i) {
        text += "S1F" + std::to_string(i % 256) + "W\r\n<L[2]\r\n\t<A  NAME>\r\n\t<U4>\r\n>.\r\n\r\n";
    }
    return text;
}

// A library read on two threads, repainted after every message, opened over
// changes: New clicked through the window meanwhile neither asks nor empties.
TEST_F(FileCommandsTest, NewClickedDuringAReadDoesNothing) {
    WriteBytes(PathIn(QStringLiteral("big.TQF")), LibraryReadInPieces());
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.answers = {true};
    Files().SetRepaintInterval(0);
    bool clickedDuringRead = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        clickedDuringRead = Files().Busy();
        Click(IDC_NEW);
    });
    Open(PathIn(QStringLiteral("big.TQF")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(clickedDuringRead);
    EXPECT_EQ(Root()->Count(), MESSAGES_READ_IN_PIECES);
    EXPECT_EQ(prompts.questions.size(), 1U) << "only the question before the open";
}

TEST_F(FileCommandsTest, CancelInTheProgressDialogStopsTheReadAndLeavesNothingOfIt) {
    WriteBytes(PathIn(QStringLiteral("big.TQF")), LibraryReadInPieces());
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.answers = {true};
    Files().SetProgressDelay(0);
    CancelWhenProgressShows();
    Open(PathIn(QStringLiteral("big.TQF")));
    QCoreApplication::processEvents();
    EXPECT_GE(messagesAtCancel, 0) << "the dialog was shown during the read";
    EXPECT_LT(messagesAtCancel, MESSAGES_READ_IN_PIECES);
    EXPECT_EQ(Root()->Count(), 0) << "nothing half-read is kept";
    EXPECT_TRUE(PathDisplay().isEmpty());
    EXPECT_TRUE(prompts.boxes.empty()) << "no error box for a cancelled read";
    EXPECT_EQ(prompts.questions.size(), 1U) << "only the question before the open";
    Click(IDC_NEW);
    EXPECT_EQ(prompts.questions.size(), 1U) << "an empty, unmodified document: New asks nothing";
}

// A read given up keeps the library before it in the history: Ctrl+Z brings
// it back whole, unless it and the file could not be kept together.
TEST_F(FileCommandsTest, UndoAfterAReadGivenUpBringsBackTheLibraryBefore) {
    WriteBytes(PathIn(QStringLiteral("big.TQF")), LibraryReadInPieces());
    const QString first = PathIn(QStringLiteral("first.TQF"));
    WriteBytes(first, "S1F1W (ONE).\r\nS2F2\r\n<L[2]\r\n\t<A[n]  TEXT>\r\n\t<U4>\r\n>.\r\n");
    // The file makes 4 nodes a message: 12000 fit 20000 beside the library
    // before, but its size, 45 bytes a message, would not at 3 bytes a node.
    const struct {
        bool change;           // a change made to the library before the read
        std::size_t nodeLimit; // 0: the reader's own; else a limit to read against
        bool fits;             // the file fits beside the library before
    } cases[] = {{false, 0, true}, {true, 0, true}, {true, 20000, true}, {true, 100, false}};
    for (const auto& c : cases) {
        Files().SetNodeLimit(c.nodeLimit == 0 ? FormatReader::DefaultNodeLimit() : c.nodeLimit);
        Open(first);
        ASSERT_EQ(Root()->Count(), 2);
        if (c.change) {
            CreateMessage(QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("changed"));
            prompts.answers = {true};
        }
        const std::string before = FormatWriter::FormatFileText(Root());
        Files().SetProgressDelay(0);
        CancelWhenProgressShows();
        Open(PathIn(QStringLiteral("big.TQF")));
        EXPECT_GE(messagesAtCancel, 0) << "cancelled mid-read";
        EXPECT_EQ(labelAtCancel.endsWith(QStringLiteral("Undo cannot bring it back.")), !c.fits);
        EXPECT_EQ(Root()->Count(), 0);
        EXPECT_TRUE(prompts.boxes.empty());
        QTest::keyClick(dialog->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        Settle();
        if (c.fits) {
            EXPECT_EQ(FormatWriter::FormatFileText(Root()), before);
        } else {
            EXPECT_EQ(Root()->Count(), 0) << "the library before went ahead of a read it would not fit beside";
        }
        EXPECT_EQ(PathDisplay(), first);
        prompts.boxes.clear();
        prompts.questions.clear();
        Files().ClearDocument();
        Tree().Doc().StartHistory();
        Tree().Doc().MarkSaved();
    }
}

// Cancel while a save checks or writes a library keeps the old file whole
// and the document as it was, unsaved, and says nothing.
TEST_F(FileCommandsTest, CancelDuringASaveKeepsTheOldFileAndTheChanges) {
    const QString path = PathIn(QStringLiteral("big.TQF"));
    WriteBytes(path, LibraryReadInPieces());
    Open(path);
    CreateMessage(QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("changed"));
    const std::string before = ReadBytes(path);
    Files().SetProgressDelay(0);
    for (const char* stage : {"Checking big.TQF", "Writing big.TQF"}) {
        CancelWhenProgressShows(QString::fromLatin1(stage));
        Click(IDC_SAVE);
        clicker.stop();
        EXPECT_GE(messagesAtCancel, 0) << stage;
        EXPECT_EQ(ReadBytes(path), before) << stage;
        EXPECT_TRUE(Commands().Doc().IsModified()) << stage;
        EXPECT_TRUE(prompts.boxes.empty()) << stage;
        EXPECT_TRUE(FolderEntries() == QStringList{QStringLiteral("big.TQF")}) << "nothing left behind";
    }
}

} // namespace
} // namespace tqf
