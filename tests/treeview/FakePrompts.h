#pragma once

#include "Prompts.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <string>

namespace tqf {

// A Prompts that runs no dialog: it records what it was asked and gives the
// answers a test scripted beforehand, first in, first out. An unscripted
// question is answered "No", cancel or nothing, and is still recorded.
class FakePrompts : public Prompts {
public:
    // One entry per call, in call order.
    QStringList messages;        // ShowMessage texts
    QStringList messageCaptions; // their captions
    QStringList questions;       // AskYesNo texts
    QStringList openFilters;     // ChooseOpenFile filters
    QStringList saveFilters;     // ChooseSaveFile filters
    std::deque<QColor> colorInitials;
    std::deque<FontChoice> fontInitials;
    std::deque<int> subItemCounts; // RunSubItemDialog's listChildCount

    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<QString>> openFileAnswers;
    std::deque<std::optional<QString>> saveFileAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<FontChoice>> fontAnswers;
    std::deque<std::optional<SubItemChoice>> subItemAnswers;

    void ShowMessage(const QString& text, const QString& caption = QString(),
                     PromptIcon icon = PromptIcon::None) override {
        (void)icon;
        messages.append(text);
        messageCaptions.append(caption);
    }

    bool AskYesNo(const QString& caption, const QString& text) override {
        (void)caption;
        questions.append(text);
        return Next(yesNoAnswers, false);
    }

    std::optional<QString> ChooseOpenFile(const QString& filter, const QString& defaultExtension,
                                          bool mustExist) override {
        (void)defaultExtension;
        (void)mustExist;
        openFilters.append(filter);
        return Next(openFileAnswers);
    }

    std::optional<QString> ChooseSaveFile(const QString& filter, const QString& defaultExtension) override {
        (void)defaultExtension;
        saveFilters.append(filter);
        return Next(saveFileAnswers);
    }

    std::optional<QColor> ChooseColor(const QColor& initial) override {
        colorInitials.push_back(initial);
        return Next(colorAnswers);
    }

    std::optional<FontChoice> ChooseFont(const FontChoice& initial) override {
        fontInitials.push_back(initial);
        return Next(fontAnswers);
    }

    std::optional<SubItemChoice> RunSubItemDialog(int listChildCount) override {
        subItemCounts.push_back(listChildCount);
        return Next(subItemAnswers);
    }

private:
    static bool Next(std::deque<bool>& answers, bool fallback) {
        if (answers.empty()) {
            return fallback;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    template <class T> static std::optional<T> Next(std::deque<std::optional<T>>& answers) {
        std::optional<T> answer;
        if (!answers.empty()) {
            if (answers.front().has_value()) {
                answer.emplace(*answers.front());
            }
            answers.pop_front();
        }
        return answer;
    }
};

} // namespace tqf
