// Opening and saving against the files people really have: limits set by
// the shell or a container, named pipes, files changed by other programs,
// files of other owners, hard links, read-only folders.
#include "FileIdentity.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "MemoryBudget.h"
#include "SafeFileWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define TQF_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQF_ADDRESS_SANITIZER 1
#endif
#endif

namespace tqf {
namespace {

namespace fs = std::filesystem;

constexpr const char* OLD_TEXT = "S1F1W (OLD).\r\n";
constexpr const char* NEW_TEXT = "S1F2 (NEW)\r\n<L[2]\r\n\t<U4 A>\r\n\t<A[n] B>\r\n>.\r\n";
// The user the children become to meet the limits of one who is not root.
constexpr uid_t NOBODY = 65534;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

struct stat StatusOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

// The exit status of a child that runs body and exits with what it returns;
// -1 when the child did not end by itself within the seconds given.
int InChild(const std::function<int()>& body, unsigned seconds = 20) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(seconds); // a hang ends the child instead of the test run
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

class FileSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tqf-file-safety.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        // Other users' children must reach into it.
        fs::permissions(folder, fs::perms::all);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(folder, fs::perms::all, ec);
        fs::remove_all(folder, ec);
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder;
};

// ---- Limits set by the shell, the batch system or the container ----

TEST(MemoryBudgetTest, TheLeastOfTheMemoryLimitsCounts) {
    constexpr std::uint64_t GIB = std::uint64_t{1} << 30;
    EXPECT_EQ(LibraryMemoryBudget(16 * GIB, std::nullopt, std::nullopt), 4 * GIB);
    EXPECT_EQ(LibraryMemoryBudget(16 * GIB, 2 * GIB, std::nullopt), GIB / 2);
    EXPECT_EQ(LibraryMemoryBudget(16 * GIB, 8 * GIB, GIB), GIB / 4);
    EXPECT_EQ(LibraryMemoryBudget(GIB, 8 * GIB, 4 * GIB), GIB / 4);

    EXPECT_EQ(ParseMemoryLimit("max\n"), std::nullopt);
    EXPECT_EQ(ParseMemoryLimit("536870912\n"), std::optional<std::uint64_t>(536870912));
    EXPECT_EQ(ParseMemoryLimit("9223372036854771712\n"), std::nullopt); // version 1's "unlimited"
    EXPECT_EQ(ParseMemoryLimit(""), std::nullopt);

    EXPECT_EQ(UnifiedControlGroup("4:memory:/a\n0::/user.slice/app.scope\n"),
              std::optional<std::string_view>("/user.slice/app.scope"));
    EXPECT_EQ(UnifiedControlGroup("4:memory:/a\n"), std::nullopt);
}

#if !defined(TQF_ADDRESS_SANITIZER) // the sanitizer's shadow memory needs the whole address space
// A file of zeros without a line end, far larger than the address space the
// process may take: reading it stops with a reason at the limit, instead of
// growing its line until memory runs out.
TEST_F(FileSafetyTest, ALineWithoutEndStopsAtTheAddressSpaceLimit) {
    constexpr rlim_t ADDRESS_SPACE = rlim_t{768} << 20;
    const fs::path zeros = folder / "zeros.TQF";
    {
        const int fd = ::open(zeros.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t{2} << 30), 0); // sparse: takes no disk
        ::close(fd);
    }
    const int status = InChild([&] {
        const rlimit limit{ADDRESS_SPACE, ADDRESS_SPACE};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            return 10;
        }
        if (LibraryMemoryBudget() > ADDRESS_SPACE / 4) {
            return 11;
        }
        try {
            FormatTree document;
            FormatReader reader(document);
            const ReadResult result = reader.ReadFormatFile(zeros);
            if (result.status != ReadStatus::TOO_LARGE || result.errorText.empty()) {
                return 12;
            }
            if (document.GetRootNode()->FirstChild() != nullptr) {
                return 13;
            }
            // Without the limit the memory runs out: still a reason, not an
            // abort.
            FormatReader unlimited(document);
            unlimited.SetTextLimit(std::size_t{1} << 40);
            const ReadResult outOfMemory = unlimited.ReadFormatFile(zeros);
            if (outOfMemory.status != ReadStatus::TOO_LARGE ||
                outOfMemory.errorText != "there is not enough memory to read it") {
                return 14;
            }
            return document.GetRootNode()->FirstChild() == nullptr ? 0 : 15;
        } catch (...) {
            return 16;
        }
    });
    EXPECT_EQ(status, 0);
}
#endif

// A save past the file-size limit fails with its reason and leaves the old
// file byte for byte, also when it is written in place.
TEST_F(FileSafetyTest, AWritePastTheFileSizeLimitFailsAndKeepsTheOldFile) {
    constexpr rlim_t FILE_SIZE = 4000;
    const std::string big(3 * FILE_SIZE, 'x');
    for (const bool linked : {false, true}) {
        const fs::path path = folder / "library.TQF";
        WriteBytes(path, OLD_TEXT);
        if (linked) {
            fs::create_hard_link(path, folder / "other-name.TQF");
        }
        const std::vector<std::string> before = Entries();
        const int status = InChild([&] {
            IgnoreFileSizeSignal();
            const rlimit limit{FILE_SIZE, FILE_SIZE};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return 10;
            }
            const SaveResult result = SafeFileWriter::Write(path, big);
            if (result.written) {
                return 11;
            }
            return result.reason.find("File too large") != std::string::npos ? 0 : 12;
        });
        EXPECT_EQ(status, 0) << "linked " << linked;
        EXPECT_EQ(ReadBytes(path), OLD_TEXT);
        EXPECT_EQ(Entries(), before) << "nothing left behind";
        fs::remove(folder / "other-name.TQF");
    }
}

// ---- Files that are not regular files ----

TEST_F(FileSafetyTest, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
    const fs::path pipe = folder / "pipe.TQF";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    // Opening or replacing it must not wait: in a child that the alarm ends.
    EXPECT_EQ(InChild(
                  [&] {
                      FormatTree document;
                      FormatReader reader(document);
                      const ReadResult read = reader.ReadFormatFile(pipe);
                      if (read.status != ReadStatus::OPEN_FAILED ||
                          read.errorText != "it is a named pipe (FIFO), not a regular file") {
                          return 1;
                      }
                      const SaveResult saved = SafeFileWriter::Write(pipe, NEW_TEXT);
                      return !saved.written && saved.reason == read.errorText ? 0 : 2;
                  },
                  5),
              0);
    EXPECT_TRUE(S_ISFIFO(StatusOf(pipe).st_mode)) << "the pipe stays a pipe";
    EXPECT_EQ(Entries(), std::vector<std::string>{"pipe.TQF"});

    // A link to a device is no library either.
    fs::create_symlink("/dev/zero", folder / "zero.TQF");
    FormatTree document;
    FormatReader reader(document);
    const ReadResult zero = reader.ReadFormatFile(folder / "zero.TQF");
    EXPECT_EQ(zero.status, ReadStatus::OPEN_FAILED);
    EXPECT_EQ(zero.errorText, "it is a device, not a regular file");
}

TEST_F(FileSafetyTest, AFailedReadSaysTheSystemsReason) {
    // The process's own memory reads as a regular file that fails at once.
    FormatTree document;
    FormatReader reader(document);
    const ReadResult result = reader.ReadFormatFile("/proc/self/mem");
    EXPECT_EQ(result.status, ReadStatus::READ_FAILED);
    EXPECT_EQ(result.errorText, "Input/output error");
}

// ---- The file stays the same file ----

TEST_F(FileSafetyTest, TheIdentityChangesWhenAnotherProgramWrites) {
    const fs::path path = folder / "library.TQF";
    WriteBytes(path, OLD_TEXT);
    FormatTree document;
    FormatReader reader(document);
    const ReadResult read = reader.ReadFormatFile(path);
    ASSERT_TRUE(read.identity.has_value());
    EXPECT_EQ(FileIdentity::Of(path), read.identity);

    std::ofstream(path, std::ios::binary | std::ios::app) << "S9F9.\r\n";
    EXPECT_NE(FileIdentity::Of(path), read.identity);

    // The identity a save reports is the file as it then stands.
    const SaveResult saved = SafeFileWriter::Write(path, NEW_TEXT);
    ASSERT_TRUE(saved.written);
    EXPECT_EQ(FileIdentity::Of(path), saved.identity);
    EXPECT_EQ(FileIdentity::Of(folder / "missing.TQF"), std::nullopt);
}

TEST_F(FileSafetyTest, HardLinksAndSymbolicLinksKeepSeeingTheFile) {
    const fs::path path = folder / "library.TQF";
    WriteBytes(path, OLD_TEXT);
    fs::create_hard_link(path, folder / "hard.TQF");
    fs::create_symlink("library.TQF", folder / "soft.TQF");
    const ino_t inode = StatusOf(path).st_ino;

    ASSERT_TRUE(SafeFileWriter::Write(folder / "hard.TQF", NEW_TEXT).written);
    EXPECT_EQ(ReadBytes(path), NEW_TEXT);
    EXPECT_EQ(StatusOf(path).st_ino, inode);
    EXPECT_EQ(StatusOf(path).st_nlink, 2U);

    // Through the symbolic link: the link stays a link, to the same file.
    const std::string third = std::string(NEW_TEXT) + "S3F3.\r\n";
    ASSERT_TRUE(SafeFileWriter::Write(folder / "soft.TQF", third).written);
    EXPECT_TRUE(S_ISLNK(StatusOf(folder / "soft.TQF").st_mode));
    EXPECT_EQ(ReadBytes(folder / "hard.TQF"), third);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"hard.TQF", "library.TQF", "soft.TQF"}));
}

TEST_F(FileSafetyTest, OwnerGroupModeAndAttributesAreKept) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another owner";
    }
    const fs::path path = folder / "library.TQF";
    WriteBytes(path, OLD_TEXT);
    ASSERT_EQ(::chown(path.c_str(), 1234, 2345), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const bool attributes = ::setxattr(path.c_str(), "user.tqf.origin", "lab", 3, 0) == 0;

    const SaveResult saved = SafeFileWriter::Write(path, NEW_TEXT);
    ASSERT_TRUE(saved.written) << saved.reason;
    const struct stat status = StatusOf(path);
    EXPECT_EQ(status.st_uid, 1234U);
    EXPECT_EQ(status.st_gid, 2345U);
    EXPECT_EQ(status.st_mode & 07777, 0640U);
    if (attributes) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(path.c_str(), "user.tqf.origin", value, sizeof value), 3);
        EXPECT_STREQ(value, "lab");
    }
    EXPECT_EQ(ReadBytes(path), NEW_TEXT);
    EXPECT_EQ(Entries(), std::vector<std::string>{"library.TQF"});
}

// A user who may write a file of root's but cannot give a new file root's
// ownership: the file is written in place and stays root's.
TEST_F(FileSafetyTest, AFileWhoseOwnerCannotBeKeptIsWrittenInPlace) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to become another user";
    }
    const fs::path path = folder / "library.TQF";
    WriteBytes(path, OLD_TEXT);
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    const ino_t inode = StatusOf(path).st_ino;
    const int status = InChild([&] {
        if (::setgid(NOBODY) != 0 || ::setuid(NOBODY) != 0) {
            return 10;
        }
        const SaveResult saved = SafeFileWriter::Write(path, NEW_TEXT);
        return saved.written ? 0 : 11;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadBytes(path), NEW_TEXT);
    EXPECT_EQ(StatusOf(path).st_uid, 0U);
    EXPECT_EQ(StatusOf(path).st_ino, inode);
    EXPECT_EQ(Entries(), std::vector<std::string>{"library.TQF"}) << "the copy is gone";
}

// A file that cannot be reached for its folder names the folder.
TEST_F(FileSafetyTest, AFolderThatIsMissingOrClosedIsNamed) {
    FormatTree document;
    FormatReader reader(document);
    const fs::path missing = folder / "none";
    EXPECT_EQ(reader.ReadFormatFile(missing / "a.TQF").errorText,
              "No such file or directory: the folder " + missing.string() + " does not exist");
    EXPECT_EQ(SafeFileWriter::Write(missing / "a.TQF", NEW_TEXT).reason,
              "no file can be made in the folder " + missing.string() + ": No such file or directory");
    EXPECT_EQ(reader.ReadFormatFile(folder / "a.TQF").errorText, "No such file or directory");
    if (::geteuid() != 0) {
        return; // the closed folder needs root to become another user
    }
    const fs::path closed = folder / "closed";
    fs::create_directory(closed);
    fs::permissions(closed, fs::perms::owner_all);
    WriteBytes(closed / "a.TQF", OLD_TEXT);
    const int status = InChild([&] {
        if (::setgid(NOBODY) != 0 || ::setuid(NOBODY) != 0) {
            return 10;
        }
        FormatTree other;
        FormatReader closedReader(other);
        const std::string expected = "Permission denied: the folder " + closed.string() + " may not be entered";
        if (closedReader.ReadFormatFile(closed / "a.TQF").errorText != expected) {
            return 11;
        }
        return SafeFileWriter::Write(closed / "a.TQF", NEW_TEXT).reason == expected ? 0 : 12;
    });
    EXPECT_EQ(status, 0);
}

// A writable file in a folder that is not: the reason names the folder.
TEST_F(FileSafetyTest, AReadOnlyFolderIsNamedAsTheCause) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to become another user";
    }
    const fs::path path = folder / "library.TQF";
    WriteBytes(path, OLD_TEXT);
    ASSERT_EQ(::chown(path.c_str(), NOBODY, NOBODY), 0);
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const int status = InChild([&] {
        ::close(channel[0]);
        if (::setgid(NOBODY) != 0 || ::setuid(NOBODY) != 0) {
            return 10;
        }
        const SaveResult saved = SafeFileWriter::Write(path, NEW_TEXT);
        if (::write(channel[1], saved.reason.data(), saved.reason.size()) < 0) {
            return 12;
        }
        return saved.written ? 11 : 0;
    });
    ::close(channel[1]);
    char reason[512] = {};
    EXPECT_GT(::read(channel[0], reason, sizeof reason - 1), 0);
    ::close(channel[0]);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(reason), "no file can be made in the folder " + folder.string() + ": Permission denied");
    EXPECT_EQ(ReadBytes(path), OLD_TEXT);
}

} // namespace
} // namespace tqf
