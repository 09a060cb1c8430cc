#include "FileWindowTest.h"

#include "MemoryBudget.h"

#include <QDataStream>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TQF_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQF_ADDRESS_SANITIZER 1
#endif
#endif

namespace tqf {
namespace {

// A list nested this deep between two plain messages: its text takes 10 GB.
constexpr int DEPTH = 100'000;
// The address space the child may take beyond what it holds already.
constexpr std::uint64_t SPARE_ADDRESS_SPACE = std::uint64_t{1536} << 20;

std::string DeepLibrary() {
    std::string text = "S1F3.\r\nS1F1W\r\n";
    for (int i = 0; i < DEPTH; ++i) {
        text += "<L[1]\r\n";
    }
    text += "<A>\r\n";
    for (int i = 0; i < DEPTH; ++i) {
        text += ">\r\n";
    }
    return text + ".\r\nS1F2.\r\n";
}

// The address space the process holds now.
std::uint64_t AddressSpaceInUse() {
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

using DeepSaveTest = FileWindowTest;

#if !defined(TQF_ADDRESS_SANITIZER) // the sanitizer's shadow memory needs the whole address space
// Save of the deep library in a child under an address-space limit, with
// the budget that limit gives and with none: either way it is refused or
// asked about with its cause, No is the default, and the old file stays
// byte for byte.
TEST_F(DeepSaveTest, TheDeepLibraryUnderAnAddressSpaceLimitKeepsTheOldFile) {
    const QString path = PathIn(QStringLiteral("deep.TQF"));
    const std::string old = DeepLibrary();
    WriteBytes(path, old);
    Open(path);
    ASSERT_EQ(Root()->count, 3);
    const struct {
        bool budgeted;
        const char* expected;
    } cases[] = {{true, "a library may take here"}, {false, "not enough memory to check the file"}};
    for (const auto& c : cases) {
        int channel[2];
        ASSERT_EQ(::pipe(channel), 0);
        std::fflush(nullptr);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(channel[0]);
            ::alarm(120);
            const rlim_t space = AddressSpaceInUse() + SPARE_ADDRESS_SPACE;
            const rlimit limit{space, space};
            ::setrlimit(RLIMIT_AS, &limit);
            Files().SetTextBudget(c.budgeted ? LibraryMemoryBudget() : std::numeric_limits<std::uint64_t>::max());
            prompts.answers = {false};
            // The command itself: painting would wait for threads the
            // child does not have.
            Files().OnSave();
            QByteArray report;
            QDataStream out(&report, QIODevice::WriteOnly);
            QStringList questions;
            for (const ScriptedPrompts::Question& question : prompts.questions) {
                questions.append(question.text + (question.defaultNo ? QStringLiteral(" [No]") : QString()));
            }
            out << prompts.messages << questions;
            (void)!::write(channel[1], report.constData(), static_cast<std::size_t>(report.size()));
            ::_exit(0);
        }
        ::close(channel[1]);
        QByteArray report;
        char buffer[4096];
        for (ssize_t got = 0; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
            report.append(buffer, static_cast<qsizetype>(got));
        }
        ::close(channel[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        QStringList messages;
        QStringList questions;
        QDataStream in(report);
        in >> messages >> questions;
        const QString shown = (messages + questions).join(QLatin1Char('\n'));
        EXPECT_EQ(messages.size() + questions.size(), 1) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QString::fromLatin1(c.expected))) << shown.toStdString();
        EXPECT_TRUE(questions.isEmpty() || questions.front().endsWith(QStringLiteral("[No]")));
        EXPECT_EQ(ReadBytes(path), old);
        EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("deep.TQF")});
    }
}
#endif

} // namespace
} // namespace tqf
