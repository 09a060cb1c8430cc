#pragma once

#include "Prompts.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace tqf {

// Prompts that never block: boxes are recorded, questions take their answers
// from a script. A question the test did not script fails the test and
// answers No.
class ScriptedPrompts : public Prompts {
public:
    struct Question {
        QString caption;
        QString text;
    };

    void ShowMessage(const QString& text, const QString& caption, PromptIcon icon) override {
        (void)caption;
        (void)icon;
        messages.append(text);
    }

    bool AskYesNo(const QString& caption, const QString& text) override {
        questions.push_back({caption, text});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::optional<QString> ChooseOpenFile(const QString&, const QString&, bool) override { return std::nullopt; }
    std::optional<QString> ChooseSaveFile(const QString&, const QString&) override { return std::nullopt; }
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
    std::vector<Question> questions;
    std::deque<bool> answers;
};

} // namespace tqf
