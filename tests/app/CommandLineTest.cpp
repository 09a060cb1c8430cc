#include "EditorApp.h"
#include "EditorCommandLine.h"
#include "FileWindowTest.h"
#include "TqfVersion.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace tqf {
namespace {

constexpr int PROCESS_TIMEOUT_MS = 10000;

EditorCommandLine Parse(const QStringList& arguments) {
    return EditorCommandLine::Parse(QStringList{QStringLiteral("tqf-editor")} + arguments);
}

TEST(EditorCommandLineTest, AFileIsOpenedByItsAbsolutePath) {
    const EditorCommandLine none = Parse({});
    EXPECT_EQ(none.action, EditorCommandLine::Action::Run);
    EXPECT_TRUE(none.file.isEmpty());

    const EditorCommandLine relative = Parse({QStringLiteral("libs/../lib.TQF")});
    EXPECT_EQ(relative.action, EditorCommandLine::Action::Run);
    EXPECT_EQ(relative.file, QDir::current().filePath(QStringLiteral("lib.TQF")));

    // After "--" a name may start with a dash.
    const EditorCommandLine dashed = Parse({QStringLiteral("--"), QStringLiteral("-x.TQF")});
    EXPECT_EQ(dashed.action, EditorCommandLine::Action::Run);
    EXPECT_EQ(dashed.file, QDir::current().filePath(QStringLiteral("-x.TQF")));

    EXPECT_EQ(Parse({QStringLiteral("/a/b.TQF")}).file, QStringLiteral("/a/b.TQF"));
}

TEST(EditorCommandLineTest, HelpAndVersionWinOverAFile) {
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const EditorCommandLine help = Parse({option, QStringLiteral("x.TQF")});
        EXPECT_EQ(help.action, EditorCommandLine::Action::ShowHelp) << option.toStdString();
        EXPECT_TRUE(help.text.contains(QStringLiteral("[FILE]")));
        EXPECT_TRUE(help.text.contains(QStringLiteral("--version")));
        EXPECT_FALSE(help.text.contains(QStringLiteral("--help-all")));
    }
    for (const QString& option : {QStringLiteral("--version"), QStringLiteral("-v")}) {
        const EditorCommandLine version = Parse({option});
        EXPECT_EQ(version.action, EditorCommandLine::Action::ShowVersion);
        EXPECT_EQ(version.text, QStringLiteral("tqf-editor %1\n").arg(QString::fromLatin1(TQF_VERSION)));
    }
}

TEST(EditorCommandLineTest, WrongArgumentsAreRefusedWithTheUsage) {
    const struct {
        QStringList arguments;
        QString reason;
    } cases[] = {
        {{QStringLiteral("--open")}, QStringLiteral("tqf-editor: Unknown option 'open'.")},
        {{QStringLiteral("-x"), QStringLiteral("a.TQF")}, QStringLiteral("tqf-editor: Unknown option 'x'.")},
        {{QStringLiteral("a.TQF"), QStringLiteral("b.TQF")},
         QStringLiteral("tqf-editor: one file at most can be opened.")},
        {{QString()}, QStringLiteral("tqf-editor: the file name is empty.")},
    };
    for (const auto& wrong : cases) {
        const EditorCommandLine line = Parse(wrong.arguments);
        EXPECT_EQ(line.action, EditorCommandLine::Action::Refuse) << wrong.reason.toStdString();
        EXPECT_TRUE(line.text.startsWith(wrong.reason + QLatin1Char('\n'))) << line.text.toStdString();
        EXPECT_TRUE(line.text.contains(QStringLiteral("Usage: "))) << line.text.toStdString();
        EXPECT_TRUE(line.file.isEmpty());
    }
}

// The real program, on a machine without a display.
struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

ProgramRun RunEditor(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TQF_EDITOR_EXECUTABLE), arguments);
    ProgramRun run;
    if (!process.waitForFinished(PROCESS_TIMEOUT_MS) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "tqf-editor did not end by itself";
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(EditorProgramTest, HelpAndVersionNeedNoDisplay) {
    const ProgramRun help = RunEditor({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: "))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("[options] [FILE]")));
    EXPECT_EQ(help.err, QString());

    const ProgramRun version = RunEditor({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("tqf-editor %1\n").arg(QString::fromLatin1(TQF_VERSION)));
    EXPECT_EQ(version.err, QString());
}

TEST(EditorProgramTest, AnUnknownOptionPrintsTheUsageOnStandardErrorAndExitsWithTwo) {
    const ProgramRun run = RunEditor({QStringLiteral("--bogus"), QStringLiteral("a.TQF")});
    EXPECT_EQ(run.status, EditorCommandLine::EXIT_USAGE);
    EXPECT_EQ(run.out, QString());
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("tqf-editor: Unknown option 'bogus'.\n"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Usage: ")));

    const ProgramRun two = RunEditor({QStringLiteral("a.TQF"), QStringLiteral("b.TQF")});
    EXPECT_EQ(two.status, EditorCommandLine::EXIT_USAGE);
}

TEST(EditorProgramTest, AFileWithoutADisplayStillSaysHowToRunIt) {
    const ProgramRun run = RunEditor({QStringLiteral("a.TQF")});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.status, EditorCommandLine::EXIT_USAGE);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no display")));
}

// A file named on the command line opens in the running window.
class OpenAtStartTest : public FileWindowTest {
protected:
    // A new window, as the program starts with.
    void RestartWindow() {
        dialog.reset();
        dialog = std::make_unique<EditorDialog>(&prompts);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        prompts.boxes.clear();
        prompts.messages.clear();
    }
};

TEST_F(OpenAtStartTest, TheFileOpensOnceTheWindowRuns) {
    const QString example = QStringLiteral(TQF_EXAMPLES_DIR "/standard-messages.TQF");
    EditorApp::OpenAtStart(*dialog, example);
    EXPECT_EQ(Root()->Count(), 0) << "opened before the window ran";
    Settle();
    EXPECT_EQ(PathDisplay(), example);
    EXPECT_GT(Root()->Count(), 0);
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(prompts.fileDialogs.empty());
}

TEST_F(OpenAtStartTest, AMissingFileStartsAnEmptyLibraryThatSaveWritesThere) {
    const QString fresh = PathIn(QStringLiteral("fresh.TQF"));
    EditorApp::OpenAtStart(*dialog, fresh);
    Settle();
    EXPECT_EQ(PathDisplay(), fresh);
    CreateMessage(QStringLiteral("1"), QStringLiteral("3"));
    Click(IDC_SAVE);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QString::fromLatin1(MSG_SAVED)});
    EXPECT_NE(ReadBytes(fresh).find("S1F3"), std::string::npos);
}

TEST_F(OpenAtStartTest, WhatOpenReportsItReportsTheSame) {
    const QString dropping = PathIn(QStringLiteral("dropping.TQF"));
    WriteBytes(dropping, "S1F1 (X).\r\nS1F2 <NOPE>.\r\n");
    for (const QString& path : {dropping, folder.path()}) {
        SCOPED_TRACE(path.toStdString());
        RestartWindow();
        EditorApp::OpenAtStart(*dialog, path);
        Settle();
        const QStringList atStart = prompts.TakeMessages();
        const QString displayAtStart = PathDisplay();
        const int countAtStart = Root()->Count();

        RestartWindow();
        Open(path);
        EXPECT_EQ(prompts.TakeMessages(), atStart);
        EXPECT_FALSE(atStart.isEmpty());
        EXPECT_EQ(PathDisplay(), displayAtStart);
        EXPECT_EQ(Root()->Count(), countAtStart);
    }
}

} // namespace
} // namespace tqf
