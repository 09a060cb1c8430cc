#pragma once

#include "ValidationFinding.h"

#include <QDialog>

#include <cstddef>
#include <vector>

class QLabel;
class QTreeWidget;
class QWidget;

namespace tqf {

class FormatTreeView;
class Prompts;

inline constexpr const char* CHECK_SML_MENU_TEXT = "Check SML Messages...";

// What checking a file of SML messages against the library found: a count,
// and one row for each mismatch (message, place, reason). Choosing a row
// chooses, in the tree, the definition held against and, where the mismatch
// lies in an item, that item. The document is not changed; the dialog is
// modal, so that the document cannot change while rows point into it.
class SmlCheckDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int WIDTH_DU = 360;
    static constexpr int HEIGHT_DU = 200;
    // The least it shrinks to where the screen has no room for it whole.
    static constexpr int MIN_WIDTH_DU = 160;
    static constexpr int MIN_HEIGHT_DU = 80;

    SmlCheckDialog(FormatTreeView& view, const QString& path, std::vector<ValidationFinding> findings,
                   std::size_t messages, std::size_t failed, QWidget* parent = nullptr);

    // Asks for an SML file, checks its messages against the document of view
    // and shows what was found; a file that cannot be read is reported
    // instead.
    static void Run(FormatTreeView& view, Prompts& prompts, QWidget* parent);

    QString SummaryText() const;
    QTreeWidget& Rows() { return *rows_; }

private:
    void OnRowChosen();

    FormatTreeView& view_;
    std::vector<ValidationFinding> findings_;
    QLabel* summary_ = nullptr;
    QTreeWidget* rows_ = nullptr;
};

} // namespace tqf
