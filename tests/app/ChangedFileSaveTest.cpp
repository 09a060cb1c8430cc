#include "FileCommands.h"
#include "FileWindowTest.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

namespace tqf {
namespace {

using ChangedFileSaveTest = FileWindowTest;

// Another program adds a message to the opened file while the editor holds
// it: Save asks first, No keeps the other program's message, Yes overwrites,
// and a file written by the editor itself is not asked about again.
TEST_F(ChangedFileSaveTest, AFileChangedByAnotherProgramIsOverwrittenOnlyAfterAsking) {
    const QString path = PathIn(QStringLiteral("library.TQF"));
    WriteBytes(path, "S1F1 (FIRST).\r\n");
    Open(path);
    ASSERT_EQ(PathDisplay(), path);
    CreateMessage(QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("MINE"));

    const std::string theirs = ReadBytes(path) + "S9F9 (THEIRS).\r\n";
    WriteBytes(path, theirs);
    prompts.answers.push_back(false);
    Click(IDC_SAVE);
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].caption, QString::fromLatin1(CAPTION_CONFIRMATION));
    EXPECT_EQ(prompts.questions[0].text, QString::fromLatin1(MSG_CHANGED_ON_DISK));
    EXPECT_TRUE(prompts.questions[0].defaultNo);
    EXPECT_TRUE(prompts.TakeMessages().isEmpty());
    EXPECT_EQ(ReadBytes(path), theirs);
    EXPECT_TRUE(Commands().Doc().IsModified());

    prompts.answers.push_back(true);
    Click(IDC_SAVE);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QString::fromLatin1(MSG_SAVED)});
    EXPECT_NE(ReadBytes(path).find("MINE"), std::string::npos);

    // The editor's own save is the file as it now knows it: no question.
    prompts.questions.clear();
    CreateMessage(QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("AGAIN"));
    Click(IDC_SAVE);
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QString::fromLatin1(MSG_SAVED)});
    EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("library.TQF")});
}

// Opening a named pipe refuses at once instead of waiting for a writer;
// saving onto it refuses with the reason and leaves it a pipe.
TEST_F(ChangedFileSaveTest, ANamedPipeIsNeitherWaitedForNorReplaced) {
    const QString path = PathIn(QStringLiteral("pipe.TQF"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    Open(path);
    EXPECT_EQ(prompts.TakeMessages(),
              QStringList{QStringLiteral("Cannot open the file\n%1\n\nReason: it is a named pipe (FIFO), not a "
                                         "regular file.")
                              .arg(path)});
    EXPECT_TRUE(PathDisplay().isEmpty());

    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.fileAnswers.push_back(path);
    Click(IDC_SAVE_AS);
    const QStringList shown = prompts.TakeMessages();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("it is a named pipe (FIFO), not a regular file")))
        << shown[0].toStdString();
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_TRUE(Commands().Doc().IsModified());
}

} // namespace
} // namespace tqf
