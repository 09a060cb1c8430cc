// Keys pressed in the top-level window, so that Qt's shortcuts pick the receiver.
#include "FileCommands.h"
#include "FileWindowTest.h"
#include "FindDialog.h"
#include "RecentFiles.h"

#include <QMenu>
#include <QSettings>

namespace tqf {
namespace {

class DesktopKeysTest : public FileWindowTest {
protected:
    // The key the window menu's entry shows, pressed in the main window.
    void PressKeyOf(const char* entry) {
        const std::unique_ptr<QMenu> menu(dialog->CreateWindowMenu());
        auto* action = menu->findChild<QAction*>(QString::fromLatin1(entry));
        ASSERT_TRUE(action != nullptr && !action->shortcut().isEmpty()) << entry;
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        QTest::keySequence(dialog->windowHandle(), action->shortcut());
        Settle();
    }

    const QString example = QStringLiteral(TQF_EXAMPLES_DIR "/standard-messages.TQF");
};

TEST_F(DesktopKeysTest, TheMenuShowsTheStandardKeysAndEachRunsItsCommand) {
    PressKeyOf("saveAction");
    PressKeyOf("saveAsAction");
    EXPECT_EQ(prompts.TakeMessages(), QStringList(2, QString::fromLatin1(MSG_NO_MESSAGE_TO_SAVE)));
    prompts.fileAnswers.push_back(example);
    PressKeyOf("openAction");
    EXPECT_EQ(PathDisplay(), example);
    PressKeyOf("newAction");
    EXPECT_EQ(Root()->Count(), 0);
    PressKeyOf("findAction");
    EXPECT_TRUE(dialog->Finder().isVisible());
    prompts.answers = {true};
    PressKeyOf("exitAction");
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(DesktopKeysTest, UndoAndRedoKeysActOnTheFieldsTypingFirstThenOnTheDocument) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    QLineEdit* field = Edit(IDC_MESSAGE_DESCRIPTION);
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("TYPED"));
    PressKeyOf("undoAction");
    EXPECT_NE(field->text(), QStringLiteral("TYPED"));
    PressKeyOf("redoAction");
    EXPECT_EQ(field->text(), QStringLiteral("TYPED"));
    for (int i = 0; i < 20 && field->isUndoAvailable(); ++i) {
        PressKeyOf("undoAction");
        EXPECT_EQ(Root()->Count(), 1);
    }
    PressKeyOf("undoAction");
    EXPECT_EQ(Root()->Count(), 0);
}

TEST_F(DesktopKeysTest, OpenRecentOffersWhatWasOpenedAndDropsAFileThatIsGone) {
    const QString kept = PathIn(QStringLiteral("kept.TQF"));
    const QString gone = PathIn(QStringLiteral("gone.TQF"));
    for (const QString& path : {gone, kept}) {
        ASSERT_TRUE(QFile::copy(example, path));
        Open(path);
    }
    ASSERT_EQ(dialog->Recent().Paths(), QStringList({kept, gone}));
    ASSERT_TRUE(QFile::remove(gone));
    const std::unique_ptr<QMenu> menu(dialog->CreateWindowMenu());
    const QList<QAction*> entries = menu->findChild<QMenu*>(QStringLiteral("openRecentMenu"))->actions();
    entries[1]->trigger();
    EXPECT_EQ(prompts.TakeMessages().size(), 1);
    EXPECT_EQ(dialog->Recent().Paths(), QStringList{kept});
    Click(IDC_NEW);
    prompts.answers = {true};
    entries[0]->trigger();
    EXPECT_GT(Root()->Count(), 0);
}

TEST(RecentFilesTest, KeepsTheEightNewestFirstWithoutRepeatsFromOneRunToTheNext) {
    QTemporaryDir folder;
    auto settings = [&folder] { return std::make_unique<QSettings>(folder.filePath("s.conf"), QSettings::IniFormat); };
    auto path = [](int n) { return QStringLiteral("/lib/%1.TQF").arg(n); };
    {
        RecentFiles first(settings());
        for (const int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 5}) {
            first.Add(path(n));
        }
        first.Remove(path(9));
    }
    EXPECT_EQ(RecentFiles(settings()).Paths(),
              QStringList({path(5), path(8), path(7), path(6), path(4), path(3), path(2)}));
}

} // namespace
} // namespace tqf
