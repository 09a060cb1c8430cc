#pragma once

#include <QColor>
#include <QString>

#include <optional>
#include <string>

namespace tqf {

// The icon of a plain message box.
enum class PromptIcon { None, Information, Warning, Error };

// What the font chooser returns, in the terms the tree's font command needs.
struct FontChoice {
    int pointSizeTenths = 90; // the chosen size in tenths of a point
    int weight = 400;         // 100 to 900; 700 is bold
    bool italic = false;
    QString faceName;
};

// What the "Add Sub Item" dialog returns when it closes with ADD.
struct SubItemChoice {
    int format = -1;  // the selected row of the format list
    int notFixed = 0; // the state of "Not Fixed"
    std::string countText;
    std::string description;
};

// Every modal box, question, chooser and dialog run of the program goes
// through this interface, so that tests answer them instead of blocking.
class Prompts {
public:
    virtual ~Prompts() = default;

    // A box with only an OK button. An empty caption means the application's
    // title.
    virtual void ShowMessage(const QString& text, const QString& caption = QString(),
                             PromptIcon icon = PromptIcon::None) = 0;

    // A Yes/No question without icon; true for Yes.
    virtual bool AskYesNo(const QString& caption, const QString& text) = 0;

    // The same question with No as the default answer, for a Yes that loses
    // something.
    virtual bool AskYesNoDefaultNo(const QString& caption, const QString& text) { return AskYesNo(caption, text); }

    // The same question about one thing, named by detail below the text.
    virtual bool AskYesNoDefaultNoAbout(const QString& caption, const QString& text, const QString& detail) {
        static_cast<void>(detail);
        return AskYesNoDefaultNo(caption, text);
    }

    // File dialogs: the chosen full path, or nothing when cancelled. The filter
    // is written as "Format File (*.TQF)|*.TQF|All Files (*.*)|*.*||".
    virtual std::optional<QString> ChooseOpenFile(const QString& filter, const QString& defaultExtension,
                                                  bool mustExist) = 0;
    virtual std::optional<QString> ChooseSaveFile(const QString& filter, const QString& defaultExtension) = 0;

    // The folder the file dialogs open in from now on: the library's.
    virtual void SetFileFolder(const QString& folder) { static_cast<void>(folder); }

    // The same dialogs under a title that names the command, for commands
    // other than Open and Save.
    virtual std::optional<QString> ChooseOpenFileTitled(const QString& title, const QString& filter,
                                                        const QString& defaultExtension, bool mustExist) {
        static_cast<void>(title);
        return ChooseOpenFile(filter, defaultExtension, mustExist);
    }
    virtual std::optional<QString> ChooseSaveFileTitled(const QString& title, const QString& filter,
                                                        const QString& defaultExtension) {
        static_cast<void>(title);
        return ChooseSaveFile(filter, defaultExtension);
    }

    // The colour chooser at full size, allowing any colour.
    virtual std::optional<QColor> ChooseColor(const QColor& initial) = 0;

    // The font chooser: screen fonts, no effects.
    virtual std::optional<FontChoice> ChooseFont(const FontChoice& initial) = 0;

    // Runs the "Add Sub Item" dialog for a node with listChildCount sub-items.
    virtual std::optional<SubItemChoice> RunSubItemDialog(int listChildCount) = 0;
};

} // namespace tqf
