#pragma once

#include "Prompts.h"

#include <optional>

namespace tqf {

// Prompts for benchmarks: boxes are counted, every question is answered Yes,
// and the file dialogs choose the paths set beforehand (none cancels).
class BenchPrompts : public Prompts {
public:
    void ShowMessage(const QString&, const QString&, PromptIcon) override { ++messagesShown; }
    bool AskYesNo(const QString&, const QString&) override { return true; }
    std::optional<QString> ChooseOpenFile(const QString&, const QString&, bool) override { return openPath; }
    std::optional<QString> ChooseSaveFile(const QString&, const QString&) override { return savePath; }
    std::optional<QColor> ChooseColor(const QColor&) override { return std::nullopt; }
    std::optional<FontChoice> ChooseFont(const FontChoice&) override { return std::nullopt; }
    std::optional<SubItemChoice> RunSubItemDialog(int) override { return std::nullopt; }

    int messagesShown = 0;
    std::optional<QString> openPath;
    std::optional<QString> savePath;
};

} // namespace tqf
