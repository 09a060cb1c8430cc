#pragma once

#include "EditorWindowTest.h"
#include "FileCommands.h"
#include "TreeCommands.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <ostream>
#include <string>

// Failed expectations show texts as texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tqf {

// The main window with a folder of its own for the files it saves and opens.
class FileWindowTest : public EditorWindowTest {
protected:
    void SetUp() override {
        EditorWindowTest::SetUp();
        ASSERT_TRUE(folder.isValid());
    }

    FileCommands& Files() { return dialog->Files(); }
    QString PathDisplay() { return Control<QLabel>(IDC_PATH)->text(); }
    QString PathIn(const QString& name) const { return folder.filePath(name); }

    static std::string ReadBytes(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read " << path.toStdString();
            return {};
        }
        return file.readAll().toStdString();
    }

    static void WriteBytes(const QString& path, const std::string& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
    }

    // Save As into path, the dialog answered with it; the success box is
    // taken.
    void SaveAs(const QString& path) {
        prompts.fileAnswers.push_back(path);
        Click(IDC_SAVE_AS);
        ASSERT_EQ(prompts.TakeMessages(), QStringList{QString::fromLatin1(MSG_SAVED)});
        prompts.boxes.clear();
    }

    // Open with the dialog answered with path; asks nothing.
    void Open(const QString& path) {
        prompts.fileAnswers.push_back(path);
        Click(IDC_OPEN);
    }

    // The names in the folder: what a save leaves behind.
    QStringList FolderEntries() const {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir folder;
};

} // namespace tqf
