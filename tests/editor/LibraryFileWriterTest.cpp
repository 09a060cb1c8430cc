#include "LibraryFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <ostream>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tqf {
namespace {

class LibraryFileWriterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString PathIn(const QString& name) const { return folder.filePath(name); }

    static std::string ReadBytes(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll().toStdString();
    }

    QStringList Entries() const {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir folder;
};

// Bytes of every value, longer than several writes.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    }
    return bytes;
}

// Writes bytes as WriteStreamed does, handing them to the stream in pieces
// of odd sizes.
WriteOutcome WriteInPieces(const QString& path, std::string_view bytes) {
    return LibraryFileWriter::WriteStreamed(path, [bytes](std::ostream& out) {
        for (std::size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 + 1) {
            const std::string_view part = bytes.substr(at, piece);
            out.write(part.data(), static_cast<std::streamsize>(part.size()));
        }
        return static_cast<bool>(out);
    });
}

TEST_F(LibraryFileWriterTest, StreamedContentsAreWrittenWholeOrNotAtAll) {
    const std::string bytes = Pattern(5 * LibraryFileWriter::WRITE_CHUNK_BYTES + 3);
    const QString path = PathIn(QStringLiteral("streamed.TQF"));
    const WriteOutcome outcome = WriteInPieces(path, bytes);
    EXPECT_TRUE(outcome.written);
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("streamed.TQF")});

    // A producer that gives up leaves the old file as it was.
    const WriteOutcome givenUp = LibraryFileWriter::WriteStreamed(path, [](std::ostream& out) {
        out << "half";
        return false;
    });
    EXPECT_FALSE(givenUp.written);
    EXPECT_FALSE(givenUp.reason.isEmpty());
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("streamed.TQF")});

    EXPECT_EQ(WriteInPieces(folder.path(), bytes).reason, QStringLiteral("it is a folder"));
}

TEST_F(LibraryFileWriterTest, WritesEveryByteOfANewFile) {
    const std::string bytes = Pattern(3 * LibraryFileWriter::WRITE_CHUNK_BYTES + 17);
    const QString path = PathIn(QStringLiteral("new.TQF"));
    const WriteOutcome outcome = LibraryFileWriter::Write(path, bytes);
    EXPECT_TRUE(outcome.written);
    EXPECT_TRUE(outcome.reason.isEmpty());
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("new.TQF")});
}

TEST_F(LibraryFileWriterTest, ReplacesALongerFileWholeAndKeepsItsPermissions) {
    const QString path = PathIn(QStringLiteral("old.TQF"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(200000, 'x'));
    }
    const QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(path, permissions));
    ASSERT_TRUE(LibraryFileWriter::Write(path, "short").written);
    EXPECT_EQ(ReadBytes(path), "short");
    // The owner, group and other bits; Qt adds the current user's own.
    constexpr int MODE_BITS = 0x7077;
    EXPECT_EQ(QFile::permissions(path) & MODE_BITS, permissions);
}

TEST_F(LibraryFileWriterTest, AnEmptyTextMakesAnEmptyFile) {
    const QString path = PathIn(QStringLiteral("empty.TQF"));
    ASSERT_TRUE(LibraryFileWriter::Write(path, {}).written);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST_F(LibraryFileWriterTest, AFolderIsNotReplaced) {
    const QString path = PathIn(QStringLiteral("folder.TQF"));
    ASSERT_TRUE(QDir().mkdir(path));
    const WriteOutcome outcome = LibraryFileWriter::Write(path, "S1F1.\r\n");
    EXPECT_FALSE(outcome.written);
    EXPECT_EQ(outcome.reason, QStringLiteral("it is a folder"));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("folder.TQF")});
}

TEST_F(LibraryFileWriterTest, AMissingFolderGivesTheSystemsReason) {
    const WriteOutcome outcome = LibraryFileWriter::Write(PathIn(QStringLiteral("none/a.TQF")), "S1F1.\r\n");
    EXPECT_FALSE(outcome.written);
    EXPECT_FALSE(outcome.reason.isEmpty());
    EXPECT_TRUE(Entries().isEmpty());
}

// The disk fills up half-way: in a child process, whose files may not grow
// beyond a few kilobytes, the writer must fail, say why, and leave the old
// file and no temporary file behind.
TEST_F(LibraryFileWriterTest, AFullDiskLeavesTheOldFileByteForByte) {
    constexpr rlim_t LIMIT = 10000;
    const QString path = PathIn(QStringLiteral("library.TQF"));
    const std::string old = Pattern(5000);
    ASSERT_TRUE(LibraryFileWriter::Write(path, old).written);
    const std::string bigger = Pattern(LibraryFileWriter::WRITE_CHUNK_BYTES + 5000);

    // Each size crosses the limit in another way: far inside the first write,
    // by a single byte, and half-way through a write smaller than one chunk.
    for (const bool streamed : {false, true}) {
        for (const std::size_t size : {bigger.size(), std::size_t{LIMIT + 1}, std::size_t{LIMIT * 2}}) {
            int channel[2];
            ASSERT_EQ(::pipe(channel), 0);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ::close(channel[0]);
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{LIMIT, LIMIT};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                    ::_exit(2);
                }
                const std::string_view bytes = std::string_view(bigger).substr(0, size);
                const WriteOutcome outcome =
                    streamed ? WriteInPieces(path, bytes) : LibraryFileWriter::Write(path, bytes);
                const QByteArray reason = outcome.reason.toUtf8();
                if (::write(channel[1], reason.constData(), static_cast<size_t>(reason.size())) < 0) {
                    ::_exit(3);
                }
                ::_exit(outcome.written ? 1 : 0);
            }
            ::close(channel[1]);
            char reason[256] = {};
            const ssize_t got = ::read(channel[0], reason, sizeof reason - 1);
            ::close(channel[0]);
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status)) << status;
            EXPECT_EQ(WEXITSTATUS(status), 0) << "the writer reported success for " << size << " bytes";
            EXPECT_GT(got, 0);
            EXPECT_STREQ(reason, "File too large") << size;
            EXPECT_EQ(ReadBytes(path), old) << size;
            EXPECT_EQ(Entries(), QStringList{QStringLiteral("library.TQF")}) << size;
        }
    }
}

} // namespace
} // namespace tqf
