#include "FileWindowTest.h"
#include "TreeSurgery.h"

#include <QFileInfo>

namespace tqf {
namespace {

class DocumentSeamsTest : public FileWindowTest {
protected:
    void UndoKey() {
        QTest::keyClick(dialog->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        Settle();
    }
};

TEST_F(DocumentSeamsTest, ClearingWithoutAFileReadIsUndone) {
    const struct {
        int command;
        std::optional<QString> file; // the open dialog's answer
    } cases[] = {{IDC_NEW, {}}, {IDC_OPEN, {}}, {IDC_OPEN, PathIn(QStringLiteral("missing.TQF"))}};
    for (const auto& c : cases) {
        CreateMessage(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("kept"));
        CreateMessage(QStringLiteral("2"), QStringLiteral("3"));
        const std::vector<std::string> before = MessageLabels();
        prompts.answers = {true};
        prompts.fileAnswers = {c.file};
        Click(c.command);
        ASSERT_EQ(prompts.questions.size(), 1U);
        EXPECT_TRUE(prompts.questions[0].defaultNo) << "Enter keeps the document";
        EXPECT_EQ(Root()->Count(), 0);
        EXPECT_EQ(prompts.TakeMessages().size(), c.file ? 1 : 0) << "the reason a file cannot be opened";
        UndoKey();
        EXPECT_EQ(MessageLabels(), before);
        EXPECT_EQ(Root()->FirstChild()->Description().str(), "kept");
        prompts.questions.clear();
        Files().ClearDocument();
    }
}

TEST_F(DocumentSeamsTest, ReadOnlyFileIsReplacedOnlyOnYesAndKeepsItsMode) {
    const QString path = PathIn(QStringLiteral("locked.TQF"));
    FormatNode* message = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    SaveAs(path);
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(path, readOnly));
    const std::string saved = ReadBytes(path);
    // An update that changes nothing is no step, but a change all the same.
    ClickNode(message);
    Click(IDC_UPDATE_MESSAGE);
    EXPECT_EQ(TreeSurgery::History(Tree().Tree()).Steps(), 1U);
    EXPECT_TRUE(Tree().Doc().IsModified());
    CreateMessage(QStringLiteral("2"), QStringLiteral("2"));

    for (const bool yes : {false, true}) {
        prompts.answers = {yes};
        prompts.messages.clear();
        Click(IDC_SAVE);
        ASSERT_EQ(prompts.questions.size(), 1U);
        EXPECT_EQ(prompts.questions[0].text, QString::fromLatin1(MSG_READ_ONLY_FILE));
        EXPECT_TRUE(prompts.questions[0].defaultNo);
        EXPECT_EQ(ReadBytes(path) == saved, !yes);
        EXPECT_EQ(Tree().Doc().IsModified(), !yes);
        EXPECT_EQ(prompts.messages, yes ? QStringList{QString::fromLatin1(MSG_SAVED)} : QStringList{});
        prompts.questions.clear();
    }
    EXPECT_EQ(QFileInfo(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), readOnly);
}

} // namespace
} // namespace tqf
