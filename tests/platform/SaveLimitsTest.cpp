// Saving under the limits of real desktops and batch systems, and kills.
#include "FileIdentity.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "MemoryBudget.h"
#include "RoundTripCheck.h"
#include "SafeFileWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tqf {
namespace {

namespace fs = std::filesystem;

class SaveLimitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tqf-save-limits.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    void Put(const fs::path& relative, const std::string& text) const {
        fs::create_directories((folder / relative).parent_path());
        std::ofstream(folder / relative, std::ios::binary) << text;
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

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQF_ADDRESS_SANITIZER 1
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(TQF_ADDRESS_SANITIZER)
// A message nested depth lists deep between two plain ones: its text grows
// with the square of its depth, 10 GB at 100,000.
void ReadDeepLibrary(int depth, FormatTree& document) {
    std::string text = "S1F3.\r\nS1F1W\r\n";
    for (int i = 0; i < depth; ++i) {
        text += "<L[1]\r\n";
    }
    text += "<A>\r\n";
    for (int i = 0; i < depth; ++i) {
        text += ">\r\n";
    }
    FormatReader reader(document);
    ASSERT_TRUE(reader.ReadFormatBytes(text + ".\r\nS1F2.\r\n").Complete());
}

// Under an address-space limit the check holds the whole file or says why
// not: never a report that passes a text it did not read back whole.
TEST(SaveCheckTest, TheDeepLibraryUnderAnAddressSpaceLimitNeverPassesPartOfItsText) {
    enum Outcome { OVER_LIMIT = 10, NO_MEMORY, WHOLE, TRUNCATED_PASSED, OTHER };
    for (const bool budgeted : {true, false}) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(60);
            FormatTree document;
            ReadDeepLibrary(100'000, document);
            const rlimit limit{rlim_t{1536} << 20, rlim_t{1536} << 20};
            ::setrlimit(RLIMIT_AS, &limit);
            const auto report = RoundTripCheck::CheckRoundTrip(
                document.GetRootNode(), budgeted ? LibraryMemoryBudget() : std::numeric_limits<std::uint64_t>::max());
            if (!report || !report->Ok()) {
                ::_exit(!report ? OVER_LIMIT : report->failure == RoundTripCheck::NO_MEMORY ? NO_MEMORY : OTHER);
            }
            ::_exit(report->text.size() == FormatWriter::FileSize(document.GetRootNode()) ? WHOLE : TRUNCATED_PASSED);
        }
        int status = 0;
        EXPECT_TRUE(::waitpid(child, &status, 0) == child &&
                    WEXITSTATUS(status) == (budgeted ? OVER_LIMIT : NO_MEMORY));
    }
}
#endif

// A group's limit counts however deep the group lies, in either hierarchy,
// and so does every group above it.
TEST_F(SaveLimitsTest, TheLimitOfTheProcesssOwnControlGroupIsRead) {
    const std::string v1 = "35 31 0:32 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n";
    const std::string v2 = "30 23 0:26 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n";
    const std::string container = "30 23 0:26 /docker/abc /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n";
    const struct {
        std::string cgroup, mountinfo, file, limit, fileAbove, limitAbove;
        std::optional<std::uint64_t> expected;
    } cases[] = {
        {"4:memory:/batch/job\n0::/\n", v1, "memory/batch/job/memory.limit_in_bytes", "1610612736",
         "memory/memory.limit_in_bytes", "9223372036854771712", 1610612736},
        {"0::/user.slice/app.scope\n", v2, "user.slice/app.scope/memory.max", "max", "user.slice/memory.max",
         "1073741824", 1073741824},
        {"0::/docker/abc/inner\n", container, "inner/memory.max", "536870912", "memory.max", "1073741824", 536870912},
        {"7:cpu,memory:/a\n", "", "memory/a/memory.limit_in_bytes", "2097152", "memory/x", "1", 2097152},
        {"4:memory:/a\n0::/b\n", v1 + v2, "a/memory.max", "1", "b/memory.limit_in_bytes", "1", std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const fs::path root = folder / std::to_string(i);
        Put(root / "proc/self/cgroup", cases[i].cgroup);
        Put(root / "proc/self/mountinfo", cases[i].mountinfo);
        Put(root / "sys/fs/cgroup" / cases[i].file, cases[i].limit + "\n");
        Put(root / "sys/fs/cgroup" / cases[i].fileAbove, cases[i].limitAbove + "\n");
        EXPECT_EQ(ControlGroupMemoryLimit(root), cases[i].expected) << i;
    }
}

// A child saving again and again, killed as a temporary name appears or later:
// SIGTERM leaves no file behind, SIGKILL none after the next save.
TEST_F(SaveLimitsTest, KillsDuringASaveLeaveNoFileBehind) {
    const fs::path library = folder / "lib.TQF";
    const std::string contents(std::size_t{8} << 20, 'x');
    ASSERT_TRUE(SafeFileWriter::Write(library, contents).written);
    for (int kill = 0; kill < 50; ++kill) {
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MOVED_TO), 0);
        const pid_t child = ::fork();
        while (child == 0) {
            (void)SafeFileWriter::Write(library, contents);
        }
        char events[4096];
        pollfd waiting{watch, POLLIN, 0};
        for (int seen = 0; seen <= kill % 3 && ::poll(&waiting, 1, 10'000) == 1; ++seen) {
            (void)!::read(watch, events, sizeof events);
        }
        const bool answerable = kill % 2 == 0;
        ::kill(child, answerable ? SIGTERM : SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);
        ::close(watch);
        EXPECT_EQ(fs::file_size(library), contents.size());
        ASSERT_TRUE(answerable || SafeFileWriter::Write(library, contents).written);
        EXPECT_EQ(Entries(), std::vector<std::string>{"lib.TQF"}) << "kill " << kill;
    }
}

// What a kill left goes at the next save, a file in use stays; a failed save
// of a file with several links puts back its contents and its times.
TEST_F(SaveLimitsTest, StaleTemporaryFilesGoAndARestoredFileIsAsItWas) {
    for (const char* name : {".lib.TQF.abc123", ".lib.TQF.busy99", ".other.TQF.abc123", "lib.TQF.backup-abc123"}) {
        Put(name, "left");
    }
    const int busy = ::open((folder / ".lib.TQF.busy99").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(busy, LOCK_EX), 0);
    ASSERT_TRUE(SafeFileWriter::Write(folder / "lib.TQF", "S1F1 (OLD).\r\n").written);
    ::close(busy);
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{".lib.TQF.busy99", ".other.TQF.abc123", "lib.TQF", "lib.TQF.backup-abc123"}));
    fs::create_hard_link(folder / "lib.TQF", folder / "link.TQF");
    const std::optional<FileIdentity> before = FileIdentity::Of(folder / "lib.TQF");
    ::usleep(20'000); // so that a write in between would show in the times
    const SaveResult result = SafeFileWriter::WriteStreamed(folder / "lib.TQF", [](std::ostream& out) {
        out << "S1F2 (HALF";
        return false;
    });
    EXPECT_TRUE(!result.written && !result.damaged);
    EXPECT_EQ(FileIdentity::Of(folder / "lib.TQF"), before);
}

} // namespace
} // namespace tqf
