#include "FileWindowTest.h"

#include "FormatWriter.h"
#include "ItemFormat.h"

#include <QDataStream>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tqf {
namespace {

// The most a process may write into one file while the disk is "full".
constexpr rlim_t FULL_DISK_BYTES = 4096;

// What the save in the child left behind, as the parent learns it.
struct ChildOutcome {
    QStringList texts;
    QList<int> icons;
    bool modified = false;
    QString pathDisplay;
};

bool ReadAll(int descriptor, QByteArray& bytes) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            return false;
        }
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
}

void WriteAll(int descriptor, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(descriptor, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (put <= 0) {
            return;
        }
        done += put;
    }
}

using FullDiskSaveTest = FileWindowTest;

// The disk fills up while Save writes: the child process may write only a few
// bytes into any file, so the new file cannot be written whole. The old file
// must stay as it was and the failure must be reported, in the child, by the
// whole Save command of the window.
TEST_F(FullDiskSaveTest, TheOldFileStaysAndTheFailureIsReported) {
    const QString longDescription = QStringLiteral("A message long enough to fill the disk ").repeated(8);
    for (int function = 1; function <= 30; ++function) {
        CreateMessage(QStringLiteral("6"), QString::number(function), longDescription);
    }
    const QString path = PathIn(QStringLiteral("library.TQF"));
    SaveAs(path);
    const std::string old = ReadBytes(path);
    CreateMessage(QStringLiteral("7"), QStringLiteral("1"), QStringLiteral("the change that cannot be saved"));
    ASSERT_GT(FormatWriter::FormatFileText(Root()).size(), 2 * FULL_DISK_BYTES);
    prompts.boxes.clear();

    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        // The signal would end the process at the limit; ignored, the write
        // fails with "File too large" as it does on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{FULL_DISK_BYTES, FULL_DISK_BYTES};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(2);
        }
        Files().OnSave();
        QByteArray report;
        QDataStream out(&report, QIODevice::WriteOnly);
        QList<int> icons;
        QStringList texts;
        for (const ScriptedPrompts::Box& box : prompts.boxes) {
            texts.append(box.text);
            icons.append(static_cast<int>(box.icon));
        }
        out << texts << icons << Commands().Doc().IsModified() << PathDisplay();
        WriteAll(channel[1], report);
        ::close(channel[1]);
        // No destructors or exit handlers of the parent's objects run here.
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray report;
    const bool read = ReadAll(channel[0], report);
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(read);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;

    ChildOutcome outcome;
    QDataStream in(report);
    in >> outcome.texts >> outcome.icons >> outcome.modified >> outcome.pathDisplay;
    ASSERT_EQ(in.status(), QDataStream::Ok);

    ASSERT_EQ(outcome.texts.size(), 1) << outcome.texts.join(QLatin1Char('\n')).toStdString();
    const QString& shown = outcome.texts.front();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Cannot save the library to\n%1\n\nReason: ").arg(path)))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("File too large"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("The file was not changed.")));
    EXPECT_EQ(outcome.icons.front(), static_cast<int>(PromptIcon::Warning));
    EXPECT_TRUE(outcome.modified);
    EXPECT_EQ(outcome.pathDisplay, path);

    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("library.TQF")}) << "no temporary file is left";
}

} // namespace
} // namespace tqf
