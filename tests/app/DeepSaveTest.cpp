#include "FileWindowTest.h"

#include "MemoryBudget.h"

#include <fstream>
#include <limits>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tqf {
namespace {

using DeepSaveTest = FileWindowTest;

#if !defined(__SANITIZE_ADDRESS__) // the sanitizer's shadow memory needs the whole address space
// The deep library (10 GB of text) saved under an address-space limit: refused
// or asked about with its cause and No as default; the old file stays.
TEST_F(DeepSaveTest, TheDeepLibraryUnderAnAddressSpaceLimitKeepsTheOldFile) {
    constexpr int DEPTH = 100'000;
    std::string deep = "S1F3.\r\nS1F1W\r\n";
    for (int i = 0; i < DEPTH; ++i) {
        deep += "<L[1]\r\n";
    }
    deep += "<A>\r\n";
    for (int i = 0; i < DEPTH; ++i) {
        deep += ">\r\n";
    }
    deep += ".\r\nS1F2.\r\n";
    const QString path = PathIn(QStringLiteral("deep.TQF"));
    WriteBytes(path, deep);
    Open(path);
    ASSERT_EQ(Root()->Count(), 3);
    for (const bool budgeted : {true, false}) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(120);
            std::uint64_t pages = 0;
            std::ifstream("/proc/self/statm") >> pages;
            const rlim_t space = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (rlim_t{1536} << 20);
            const rlimit limit{space, space};
            ::setrlimit(RLIMIT_AS, &limit);
            Files().SetTextBudget(budgeted ? LibraryMemoryBudget() : std::numeric_limits<std::uint64_t>::max());
            prompts.answers = {false};
            // The command itself: painting would wait for threads the child does not have.
            Files().OnSave();
            const bool refused = prompts.questions.empty() && prompts.messages.size() == 1 &&
                                 prompts.messages[0].contains(QStringLiteral("a library may take here"));
            const bool asked =
                prompts.messages.empty() && prompts.questions.size() == 1 && prompts.questions[0].defaultNo &&
                prompts.questions[0].text.contains(QStringLiteral("not enough memory to check the file"));
            ::_exit(budgeted ? (refused ? 0 : 1) : (asked ? 0 : 2));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "budgeted " << budgeted << ": " << status;
        EXPECT_EQ(ReadBytes(path), deep);
        EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("deep.TQF")});
    }
}
#endif

} // namespace
} // namespace tqf
