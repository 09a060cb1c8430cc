#pragma once

#include "ValidationFinding.h"

#include <QDialog>

#include <cstddef>
#include <vector>

class QAction;
class QLabel;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace tqf {

class FormatTreeView;
class Prompts;

inline constexpr const char* CHECK_SML_MENU_TEXT = "Check SML Messages...";
inline constexpr const char* CHECK_AGAIN_TEXT = "Check Again";
inline constexpr const char* ADD_DEFINITION_TEXT = "Add Definition";

// What checking a file of SML messages against the library found: a count,
// and one row for each kind of mismatch (message, first place, reason, how
// many times), as a log repeats its messages. Choosing a row
// chooses, in the tree, the definition held against and, where the mismatch
// lies in an item, that item. The document is not changed; the dialog is
// modal, so that the document cannot change but through it while rows point
// into it. "Check Again" reads the file once more, a log that grew or was
// mended. A row of a message the library has no definition for offers "Add
// Definition": the message's structure, mapped as an import maps it, is
// added to the library as one step that Undo takes back, chosen in the tree,
// and the file is checked again.
class SmlCheckDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int WIDTH_DU = 360;
    static constexpr int HEIGHT_DU = 200;
    // The least it shrinks to where the screen has no room for it whole.
    static constexpr int MIN_WIDTH_DU = 160;
    static constexpr int MIN_HEIGHT_DU = 80;

    // readNote, when not empty, follows the counts: how the file was read.
    SmlCheckDialog(FormatTreeView& view, const QString& path, const std::vector<ValidationFinding>& findings,
                   std::size_t messages, std::size_t failed, QWidget* parent = nullptr,
                   const QString& readNote = QString());

    // Asks for an SML file, checks its messages against the document of view
    // and shows what was found; a file that cannot be read is reported
    // instead.
    static void Run(FormatTreeView& view, Prompts& prompts, QWidget* parent);

    QString SummaryText() const;
    QTreeWidget& Rows() { return *rows_; }

    // Where a definition that cannot be added is reported (none: nowhere),
    // and whether the file was read as a log, as its statements are read
    // again so.
    void SetReading(Prompts* prompts, bool readAsLog) {
        prompts_ = prompts;
        readAsLog_ = readAsLog;
    }

private:
    void OnRowChosen();
    // The summary and the rows of what a check found.
    void Show(const std::vector<ValidationFinding>& findings, std::size_t messages, std::size_t failed,
              const QString& readNote);
    // Checks the file once more, against the library as it is.
    void CheckAgain();
    // The group of the row chosen, or none.
    const FindingGroup* ChosenGroup() const;
    // Adds the definition the chosen row's message lacks.
    void AddDefinition();
    // "Add Definition" is offered while a row of a message without
    // definition is chosen.
    void UpdateAddDefinition();

    FormatTreeView& view_;
    QString path_;
    std::vector<FindingGroup> groups_;
    QLabel* summary_ = nullptr;
    QTreeWidget* rows_ = nullptr;
    QPushButton* addDefinition_ = nullptr;
    QAction* addDefinitionAction_ = nullptr;
    Prompts* prompts_ = nullptr;
    bool readAsLog_ = false;
};

} // namespace tqf
