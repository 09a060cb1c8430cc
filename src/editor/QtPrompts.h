#pragma once

#include "Prompts.h"

class QWidget;

namespace tqf {

// The prompts of the running program: Qt's message boxes, file, colour and
// font dialogs, and the "Add Sub Item" dialog, each modal over the owner.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* owner);

    void ShowMessage(const QString& text, const QString& caption = QString(),
                     PromptIcon icon = PromptIcon::None) override;
    bool AskYesNo(const QString& caption, const QString& text) override;
    bool AskYesNoDefaultNo(const QString& caption, const QString& text) override;
    bool AskYesNoDefaultNoAbout(const QString& caption, const QString& text, const QString& detail) override;
    std::optional<QString> ChooseOpenFile(const QString& filter, const QString& defaultExtension,
                                          bool mustExist) override;
    std::optional<QString> ChooseSaveFile(const QString& filter, const QString& defaultExtension) override;
    std::optional<QString> ChooseOpenFileTitled(const QString& title, const QString& filter,
                                                const QString& defaultExtension, bool mustExist) override;
    std::optional<QString> ChooseSaveFileTitled(const QString& title, const QString& filter,
                                                const QString& defaultExtension) override;
    void SetFileFolder(const QString& folder) override { folder_ = folder; }
    std::optional<QColor> ChooseColor(const QColor& initial) override;
    std::optional<FontChoice> ChooseFont(const FontChoice& initial) override;
    std::optional<SubItemChoice> RunSubItemDialog(int listChildCount) override;

    // The caption of boxes that name none: the application's title.
    static QString ApplicationTitle();

private:
    QWidget* owner_;
    QString folder_;
};

} // namespace tqf
