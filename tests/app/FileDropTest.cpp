#include "FileWindowTest.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

#include <gtest/gtest.h>

namespace tqf {
namespace {

constexpr Qt::DropActions FILE_MANAGER_ACTIONS = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

// Drags reach the window as the windowing system delivers them: to its
// QWindow, at window coordinates, so that Qt picks the control under the
// pointer.
class FileDropTest : public FileWindowTest {
protected:
    struct Answer {
        bool accepted = false;
        Qt::DropAction action = Qt::IgnoreAction;
    };

    QWindow* Window() { return dialog->windowHandle(); }

    QPoint CentreOf(int id) {
        QWidget* control = dialog->Control(id);
        return control->mapTo(dialog.get(), control->rect().center());
    }

    // Enters the window and moves over point, as a drag does; the answer
    // to the move is what the pointer shows.
    Answer Hover(const QMimeData& data, QPoint point, Qt::DropActions actions) {
        QDragEnterEvent enter(point, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Window(), &enter);
        QDragMoveEvent move(point, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Window(), &move);
        return {move.isAccepted(), move.dropAction()};
    }

    // Drags data over point and out of the window again.
    Answer DragOver(const QMimeData& data, QPoint point, Qt::DropActions actions = FILE_MANAGER_ACTIONS) {
        const Answer answer = Hover(data, point, actions);
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(Window(), &leave);
        return answer;
    }

    // Drags data over point and lets it go there.
    Answer Drop(const QMimeData& data, QPoint point, Qt::DropActions actions = FILE_MANAGER_ACTIONS) {
        Hover(data, point, actions);
        QDropEvent drop(QPointF(point), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Window(), &drop);
        const Answer answer{drop.isAccepted(), drop.dropAction()};
        Settle();
        return answer;
    }

    static std::unique_ptr<QMimeData> Files(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls.append(QUrl::fromLocalFile(path));
        }
        data->setUrls(urls);
        return data;
    }

    QString Example() const { return QStringLiteral(TQF_EXAMPLES_DIR "/standard-messages.TQF"); }
};

TEST_F(FileDropTest, OneFileDroppedOnTheTreeOpensAsOpenWould) {
    const auto data = Files({Example()});
    const Answer over = DragOver(*data, CentreOf(IDC_TREE));
    EXPECT_TRUE(over.accepted);
    // The file is read, never moved away from its folder.
    EXPECT_EQ(over.action, Qt::CopyAction);

    const Answer dropped = Drop(*data, CentreOf(IDC_TREE));
    EXPECT_TRUE(dropped.accepted);
    EXPECT_EQ(dropped.action, Qt::CopyAction);
    EXPECT_EQ(PathDisplay(), Example());
    EXPECT_GT(Root()->Count(), 0);
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_TRUE(prompts.fileDialogs.empty());
}

TEST_F(FileDropTest, AFileOverAnEditFieldOrTheFreeAreaOpensToo) {
    const auto data = Files({Example()});
    for (const QPoint point : {CentreOf(IDC_STREAM), CentreOf(IDC_MESSAGE_DESCRIPTION), QPoint(2, 2)}) {
        EXPECT_TRUE(DragOver(*data, point).accepted) << point.x() << "," << point.y();
    }
    Drop(*data, CentreOf(IDC_MESSAGE_DESCRIPTION));
    EXPECT_EQ(PathDisplay(), Example());
    // The file opened; its path was not typed into the field.
    EXPECT_EQ(Text(IDC_MESSAGE_DESCRIPTION), QString());
}

TEST_F(FileDropTest, UnsavedChangesAreAskedAboutFirst) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    const std::vector<std::string> unsaved = MessageLabels();
    ASSERT_EQ(unsaved.size(), 1U);
    const auto data = Files({Example()});

    prompts.answers = {false};
    Drop(*data, CentreOf(IDC_TREE));
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].text, QString::fromLatin1(MSG_NOT_SAVED));
    EXPECT_EQ(prompts.questions[0].caption, QString::fromLatin1(CAPTION_CONFIRMATION));
    EXPECT_EQ(MessageLabels(), unsaved);
    EXPECT_EQ(PathDisplay(), QString());

    prompts.answers = {true};
    Drop(*data, CentreOf(IDC_TREE));
    EXPECT_EQ(prompts.questions.size(), 2U);
    EXPECT_EQ(PathDisplay(), Example());
    EXPECT_GT(MessageLabels().size(), 1U);
    EXPECT_FALSE(Commands().Doc().IsModified());
}

TEST_F(FileDropTest, EverythingElseIsRefusedAndChangesNothing) {
    const QString other = PathIn(QStringLiteral("other.TQF"));
    WriteBytes(other, "S1F1 (X).\r\n");

    QMimeData text;
    text.setText(QStringLiteral("S1F1 (X)."));
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.org/lib.TQF"))});
    const auto two = Files({Example(), other});
    const auto aFolder = Files({folder.path()});
    const auto missing = Files({PathIn(QStringLiteral("gone.TQF"))});
    const struct {
        const char* what;
        const QMimeData* data;
    } refused[] = {
        {"text", &text},
        {"a remote file", &remote},
        {"two files", two.get()},
        {"a folder", aFolder.get()},
        {"a file that is not there", missing.get()},
    };
    for (const auto& drag : refused) {
        for (const QPoint point : {CentreOf(IDC_TREE), CentreOf(IDC_STREAM), QPoint(2, 2)}) {
            EXPECT_FALSE(DragOver(*drag.data, point).accepted) << drag.what;
            EXPECT_FALSE(Drop(*drag.data, point).accepted) << drag.what;
        }
    }
    // A source that can only move its file away is refused too.
    const auto one = Files({other});
    EXPECT_FALSE(Drop(*one, CentreOf(IDC_TREE), Qt::MoveAction).accepted);

    EXPECT_EQ(PathDisplay(), QString());
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_EQ(Text(IDC_STREAM), QString());
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(QFileInfo::exists(other));
}

} // namespace
} // namespace tqf
