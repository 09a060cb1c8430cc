#include "FileWindowTest.h"

#include <QDialog>

#include <ostream>

namespace tqf {
namespace {

// One row of the question asked before New, Open and Exit lose changes.
struct GuardCase {
    const char* name;
    int command;
    bool named; // the path display names a file
    bool modified;
    int messages;
    const char* question; // none when the command goes on without asking
};

std::ostream& operator<<(std::ostream& out, const GuardCase& c) { return out << c.name; }

class FileGuardTest : public FileWindowTest, public ::testing::WithParamInterface<GuardCase> {
protected:
    // Brings the window into the state of the row: a path displayed after a
    // real save, then the messages and the flag.
    void Prepare(const GuardCase& c) {
        if (c.named) {
            CreateMessage(QStringLiteral("9"), QStringLiteral("9"));
            SaveAs(PathIn(QStringLiteral("named.TQF")));
            Files().ClearDocument();
        }
        for (int i = 0; i < c.messages; ++i) {
            CreateMessage(QString::number(i + 1), QStringLiteral("2"));
        }
        c.modified ? Commands().Doc().RecordUnalteredChange() : Commands().Doc().MarkSaved();
        prompts.messages.clear();
        prompts.boxes.clear();
        prompts.fileDialogs.clear();
        ASSERT_EQ(Root()->Count(), c.messages);
        ASSERT_EQ(PathDisplay().isEmpty(), !c.named);
    }
};

TEST_P(FileGuardTest, AsksExactlyWhenItsRowSaysAndNoChangesNothing) {
    const GuardCase& c = GetParam();
    Prepare(c);
    const QString path = PathDisplay();

    if (c.question != nullptr) {
        prompts.answers = {false};
        Click(c.command);
        ASSERT_EQ(prompts.questions.size(), 1U);
        EXPECT_EQ(prompts.questions[0].caption, QStringLiteral("CONFIRMATION"));
        EXPECT_EQ(prompts.questions[0].text, QString::fromLatin1(c.question));
        EXPECT_TRUE(prompts.questions[0].defaultNo) << "Enter keeps the changes";
        EXPECT_EQ(Root()->Count(), c.messages);
        EXPECT_EQ(Commands().Doc().IsModified(), c.modified);
        EXPECT_EQ(PathDisplay(), path);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(prompts.fileDialogs.empty());
        prompts.questions.clear();
        prompts.answers = {true};
    }
    if (c.command == IDC_OPEN) {
        prompts.fileAnswers.push_back(std::nullopt);
    }
    Click(c.command);
    EXPECT_EQ(prompts.questions.size(), c.question != nullptr ? 1U : 0U);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(PathDisplay(), path) << "no command of these changes the path display";

    // What Yes (or no question) lets the command do.
    const bool clears = c.command == IDC_OPEN || (c.command == IDC_NEW && (c.named || c.question != nullptr));
    switch (c.command) {
    case IDC_NEW:
    case IDC_OPEN:
        EXPECT_EQ(Root()->Count(), clears ? 0 : c.messages);
        EXPECT_EQ(Commands().Doc().IsModified(), clears && c.messages != 0 ? true : c.modified);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(prompts.fileDialogs.size(), c.command == IDC_OPEN ? 1U : 0U);
        break;
    case IDC_EXIT:
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        break;
    default:
        FAIL();
    }
}

constexpr bool NAMED = true;
constexpr bool UNNAMED = false;
constexpr bool MODIFIED = true;
constexpr bool UNMODIFIED = false;

INSTANTIATE_TEST_SUITE_P(
    EveryRow, FileGuardTest,
    ::testing::Values(GuardCase{"NewUnnamedModifiedWithMessage", IDC_NEW, UNNAMED, MODIFIED, 1, MSG_NOT_SAVED},
                      GuardCase{"NewUnnamedModifiedEmpty", IDC_NEW, UNNAMED, MODIFIED, 0, nullptr},
                      GuardCase{"NewUnnamedUnmodifiedWithMessages", IDC_NEW, UNNAMED, UNMODIFIED, 2, nullptr},
                      GuardCase{"NewNamedModifiedWithMessage", IDC_NEW, NAMED, MODIFIED, 1, MSG_CONTENTS_MODIFIED},
                      GuardCase{"NewNamedModifiedEmpty", IDC_NEW, NAMED, MODIFIED, 0, MSG_CONTENTS_MODIFIED},
                      GuardCase{"NewNamedUnmodifiedWithMessage", IDC_NEW, NAMED, UNMODIFIED, 1, nullptr},
                      GuardCase{"NewNamedUnmodifiedEmpty", IDC_NEW, NAMED, UNMODIFIED, 0, nullptr},
                      GuardCase{"OpenUnnamedModifiedEmpty", IDC_OPEN, UNNAMED, MODIFIED, 0, MSG_NOT_SAVED},
                      GuardCase{"OpenUnnamedModifiedWithMessage", IDC_OPEN, UNNAMED, MODIFIED, 1, MSG_NOT_SAVED},
                      GuardCase{"OpenUnnamedUnmodifiedWithMessage", IDC_OPEN, UNNAMED, UNMODIFIED, 1, MSG_NOT_SAVED},
                      GuardCase{"OpenUnnamedUnmodifiedEmpty", IDC_OPEN, UNNAMED, UNMODIFIED, 0, nullptr},
                      GuardCase{"OpenNamedModifiedEmpty", IDC_OPEN, NAMED, MODIFIED, 0, MSG_CONTENTS_MODIFIED},
                      GuardCase{"OpenNamedModifiedWithMessages", IDC_OPEN, NAMED, MODIFIED, 2, MSG_CONTENTS_MODIFIED},
                      GuardCase{"OpenNamedUnmodifiedWithMessages", IDC_OPEN, NAMED, UNMODIFIED, 2, nullptr},
                      GuardCase{"ExitUnnamedModifiedWithMessage", IDC_EXIT, UNNAMED, MODIFIED, 1, MSG_NOT_SAVED_CLOSE},
                      GuardCase{"ExitUnnamedModifiedEmpty", IDC_EXIT, UNNAMED, MODIFIED, 0, nullptr},
                      GuardCase{"ExitUnnamedUnmodifiedWithMessage", IDC_EXIT, UNNAMED, UNMODIFIED, 1, nullptr},
                      GuardCase{"ExitNamedModifiedEmpty", IDC_EXIT, NAMED, MODIFIED, 0, MSG_CONTENTS_MODIFIED_CLOSE},
                      GuardCase{"ExitNamedModifiedWithMessage", IDC_EXIT, NAMED, MODIFIED, 1,
                                MSG_CONTENTS_MODIFIED_CLOSE},
                      GuardCase{"ExitNamedUnmodifiedWithMessage", IDC_EXIT, NAMED, UNMODIFIED, 1, nullptr}),
    [](const ::testing::TestParamInfo<GuardCase>& row) { return std::string(row.param.name); });

// Closing the window from its frame asks what Exit asks.
using FrameCloseTest = FileWindowTest;

TEST_F(FrameCloseTest, WithUnsavedChangesNoKeepsTheWindowOpen) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.answers = {false};
    EXPECT_FALSE(dialog->close());
    Settle();
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].caption, QStringLiteral("CONFIRMATION"));
    EXPECT_EQ(prompts.questions[0].text, QString::fromLatin1(MSG_NOT_SAVED_CLOSE));
    EXPECT_EQ(Root()->Count(), 1);
    EXPECT_TRUE(Commands().Doc().IsModified());
}

TEST_F(FrameCloseTest, WithChangesToANamedFileYesClosesIt) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    SaveAs(PathIn(QStringLiteral("a.TQF")));
    Commands().OnTreeChanged();
    prompts.answers = {true};
    EXPECT_TRUE(dialog->close());
    Settle();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].text, QString::fromLatin1(MSG_CONTENTS_MODIFIED_CLOSE));
}

TEST_F(FrameCloseTest, WithoutChangesClosesWithoutAQuestion) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    SaveAs(PathIn(QStringLiteral("a.TQF")));
    EXPECT_TRUE(dialog->close());
    Settle();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(FrameCloseTest, ExitAsksOnceAndEndsTheWindowAsOk) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    QDialog::DialogCode ended = QDialog::Rejected;
    QObject::connect(dialog.get(), &QDialog::finished, [&ended](int result) { ended = QDialog::DialogCode(result); });
    prompts.answers = {true};
    Click(IDC_EXIT);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ended, QDialog::Accepted);
    // The window's own close does not ask a second time.
    EXPECT_EQ(prompts.questions.size(), 1U);
}

TEST_F(FrameCloseTest, EscapeStillDoesNotEndTheWindow) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    QTest::keyClick(Edit(IDC_STREAM), Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(prompts.questions.empty());
}

} // namespace
} // namespace tqf
