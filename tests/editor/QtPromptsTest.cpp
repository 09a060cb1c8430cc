#include "QtPrompts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace tqf {
namespace {

const QString FORMAT_FILTER = QStringLiteral("Format File (*.TQF)|*.TQF|All Files (*.*)|*.*||");
const QString FORMAT_EXTENSION = QStringLiteral("*.TQF");
constexpr int POLL_MS = 20;
constexpr int LOAD_TIMEOUT_MS = 5000;

// Runs action on the next modal window that is not `except`, once it shows.
void OnNextModal(std::function<void(QWidget*)> action, QWidget* except = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(POLL_MS);
    QObject::connect(timer, &QTimer::timeout, [timer, action, except] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == except || !modal->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

void MakeFile(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

// Types a name into the dialog's file name field, as a user does.
void TypeFileName(QFileDialog* dialog, const QString& name) {
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(field, nullptr);
    field->setText(name);
}

QStringList VisibleNames(QFileDialog* dialog) {
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    if (view == nullptr) {
        return {};
    }
    QStringList names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row) {
        names.append(view->model()->index(row, 0, root).data().toString());
    }
    names.sort();
    return names;
}

class QtPromptsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        for (const char* name : {"upper.TQF", "lower.tqf", "mixed.Tqf", "notes.txt"}) {
            MakeFile(folder.filePath(QString::fromLatin1(name)));
        }
    }

    QTemporaryDir folder;
    QtPrompts prompts{nullptr};
};

TEST_F(QtPromptsTest, OpenDialogFindsFormatFilesInAnyLetterCase) {
    QStringList shown;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters(),
                  QStringList({QStringLiteral("Format File (*.TQF)"), QStringLiteral("All Files (*)")}));
        dialog->setDirectory(folder.path());
        EXPECT_TRUE(QTest::qWaitFor([&] { return VisibleNames(dialog).size() >= 3; }, LOAD_TIMEOUT_MS));
        shown = VisibleNames(dialog);
        TypeFileName(dialog, QStringLiteral("lower.tqf"));
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = prompts.ChooseOpenFile(FORMAT_FILTER, FORMAT_EXTENSION, false);
    EXPECT_EQ(shown,
              QStringList({QStringLiteral("lower.tqf"), QStringLiteral("mixed.Tqf"), QStringLiteral("upper.TQF")}));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, folder.filePath(QStringLiteral("lower.tqf")));
}

TEST_F(QtPromptsTest, SaveDialogAddsTheDefaultExtensionToABareName) {
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(folder.path());
        TypeFileName(dialog, QStringLiteral("library"));
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = prompts.ChooseSaveFile(FORMAT_FILTER, FORMAT_EXTENSION);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, folder.filePath(QStringLiteral("library.TQF")));
}

TEST_F(QtPromptsTest, FileDialogsOpenInTheFolderGiven) {
    prompts.SetFileFolder(folder.path());
    QString opened;
    OnNextModal([&](QWidget* modal) {
        opened = qobject_cast<QFileDialog*>(modal)->directory().absolutePath();
        qobject_cast<QDialog*>(modal)->reject();
    });
    EXPECT_FALSE(prompts.ChooseSaveFile(FORMAT_FILTER, FORMAT_EXTENSION).has_value());
    EXPECT_EQ(opened, folder.path());
}

TEST_F(QtPromptsTest, SaveDialogAsksBeforeReplacingAFile) {
    // "upper" becomes "upper.TQF", which exists: the dialog asks; No keeps it
    // open, and cancelling it then chooses nothing.
    bool asked = false;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(folder.path());
        TypeFileName(dialog, QStringLiteral("upper"));
        OnNextModal(
            [&, dialog](QWidget* question) {
                auto* box = qobject_cast<QMessageBox*>(question);
                ASSERT_NE(box, nullptr);
                asked = true;
                box->button(QMessageBox::No)->click();
                QTimer::singleShot(POLL_MS, dialog, &QFileDialog::reject);
            },
            dialog);
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = prompts.ChooseSaveFile(FORMAT_FILTER, FORMAT_EXTENSION);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(chosen.has_value());
}

TEST_F(QtPromptsTest, QuestionAnswersYesAndNo) {
    QString caption;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        EXPECT_EQ(box->text(), QStringLiteral("Are you sure ?"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(prompts.AskYesNo(QStringLiteral("CONFIRMATION"), QStringLiteral("Are you sure ?")));
    EXPECT_EQ(caption, QStringLiteral("CONFIRMATION"));

    OnNextModal([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click(); });
    EXPECT_FALSE(prompts.AskYesNo(QStringLiteral("CONFIRMATION"), QStringLiteral("Are you sure ?")));
}

// A question whose Yes loses something answers No to Enter; the plain one Yes.
TEST_F(QtPromptsTest, EnterGivesTheDefaultAnswer) {
    const auto pressEnter = [](QWidget* modal) {
        ASSERT_NE(modal->windowHandle(), nullptr);
        QTest::keyClick(modal->windowHandle(), Qt::Key_Return);
    };
    OnNextModal(pressEnter);
    EXPECT_FALSE(prompts.AskYesNoDefaultNo(QStringLiteral("CONFIRMATION"), QStringLiteral("Overwrite it ?")));
    OnNextModal(pressEnter);
    EXPECT_TRUE(prompts.AskYesNo(QStringLiteral("CONFIRMATION"), QStringLiteral("Are you sure ?")));
}

TEST_F(QtPromptsTest, AQuestionAboutOneThingNamesItBelowTheText) {
    OnNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("Are you sure ?"));
        EXPECT_EQ(box->informativeText(), QStringLiteral("S1F2 (doomed)"));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(prompts.AskYesNoDefaultNoAbout(QStringLiteral("Delete Message"), QStringLiteral("Are you sure ?"),
                                                QStringLiteral("S1F2 (doomed)")));
}

TEST_F(QtPromptsTest, MessageWithoutCaptionIsCaptionedWithTheApplicationTitle) {
    QString caption;
    OnNextModal([&](QWidget* modal) {
        caption = modal->windowTitle();
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    prompts.ShowMessage(QStringLiteral("Saved successfully."));
    EXPECT_EQ(caption, QtPrompts::ApplicationTitle());
    EXPECT_FALSE(caption.isEmpty());
}

} // namespace
} // namespace tqf
