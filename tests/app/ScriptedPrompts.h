#pragma once

#include "Prompts.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <vector>

namespace tqf {

// Prompts that never block: boxes are recorded, questions and file dialogs
// take their answers from a script. A question the test did not script fails
// the test and answers No; a file dialog likewise, and is cancelled.
class ScriptedPrompts : public Prompts {
public:
    struct Question {
        QString caption;
        QString text;
        bool defaultNo = false; // No is the answer that Enter gives
        QString detail;         // what the question is about, named below it
    };

    // A box with only an OK button, as it was shown.
    struct Box {
        QString text;
        QString caption;
        PromptIcon icon = PromptIcon::None;
    };

    // A file dialog, as it was asked for.
    struct FileDialog {
        bool save = false;
        QString filter;
        QString defaultExtension;
        bool mustExist = false;
    };

    void ShowMessage(const QString& text, const QString& caption, PromptIcon icon) override {
        messages.append(text);
        boxes.push_back({text, caption, icon});
    }

    bool AskYesNo(const QString& caption, const QString& text) override {
        questions.push_back({caption, text, false, QString()});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    bool AskYesNoDefaultNoAbout(const QString& caption, const QString& text, const QString& detail) override {
        const bool answer = AskYesNoDefaultNo(caption, text);
        questions.back().detail = detail;
        return answer;
    }
    bool AskYesNoDefaultNo(const QString& caption, const QString& text) override {
        const bool answer = AskYesNo(caption, text);
        questions.back().defaultNo = true;
        return answer;
    }

    std::optional<QString> ChooseOpenFile(const QString& filter, const QString& defaultExtension,
                                          bool mustExist) override {
        fileDialogs.push_back({false, filter, defaultExtension, mustExist});
        return NextFile();
    }
    std::optional<QString> ChooseSaveFile(const QString& filter, const QString& defaultExtension) override {
        fileDialogs.push_back({true, filter, defaultExtension, false});
        return NextFile();
    }
    void SetFileFolder(const QString& folder) override { fileFolder = folder; }
    std::optional<QColor> ChooseColor(const QColor&) override { return std::nullopt; }
    std::optional<FontChoice> ChooseFont(const FontChoice&) override { return std::nullopt; }
    std::optional<SubItemChoice> RunSubItemDialog(int) override { return std::nullopt; }

    // The texts shown since the last call, which forgets them.
    QStringList TakeMessages() {
        QStringList taken = messages;
        messages.clear();
        return taken;
    }

    QStringList messages;
    std::vector<Box> boxes;
    std::vector<Question> questions;
    std::deque<bool> answers;
    std::vector<FileDialog> fileDialogs;
    // The paths the next file dialogs choose; nothing means Cancel.
    std::deque<std::optional<QString>> fileAnswers;
    // Where the file dialogs open.
    QString fileFolder;

private:
    // A file dialog the test did not script fails the test and is cancelled.
    std::optional<QString> NextFile() {
        if (fileAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog";
            return std::nullopt;
        }
        const bool chosen = fileAnswers.front().has_value();
        const QString path = chosen ? *fileAnswers.front() : QString();
        fileAnswers.pop_front();
        if (!chosen) {
            return std::nullopt;
        }
        return path;
    }
};

} // namespace tqf
