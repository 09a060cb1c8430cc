#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tqf {

class FormatNode;
class FormatTreeView;

inline constexpr const char* MSG_NOT_FOUND = "Not found.";
inline constexpr const char* MSG_WRAPPED_TO_TOP = "Passed the end; continued from the top.";
inline constexpr const char* MSG_WRAPPED_TO_BOTTOM = "Passed the top; continued from the end.";

// The modeless "Find" dialog: a text, "Match case", "Whole word", "Find
// Next", "Find Previous" and "Close". A search starts next to the main
// window's current node and chooses what it finds in the tree as a click
// would, leaving the tree the main window's focus; the dialog says when the
// search wrapped around and when nothing matched. It stands beside the tree,
// never over it, where the screen has room.
class FindDialog : public QDialog {
    Q_OBJECT

public:
    // The dialog's size in dialog units.
    static constexpr int WIDTH_DU = 236;
    static constexpr int HEIGHT_DU = 62;

    enum class Outcome {
        Found,
        Wrapped,
        NotFound,
        NoText, // the field is empty; nothing was searched
    };

    // currentNode tells where the main window stands when a search begins.
    FindDialog(FormatTreeView& view, std::function<FormatNode*()> currentNode, QWidget* parent = nullptr);
    ~FindDialog() override;

    // Shows the dialog, or brings it to the front, with its text selected
    // for typing over.
    void Open();

    bool HasText() const;

    // Searches for the field's text, forwards or backwards, and chooses the
    // node found; the status line tells how it went.
    Outcome FindNext();
    Outcome FindPrevious();

    QString StatusText() const;

    // Where a dialog of the size of `dialog` goes so that it covers none of
    // `keepClear` (the tree, in screen coordinates), at its own size, as
    // PlaceClearOf places it.
    static QPoint Placement(const QRect& dialog, const QRect& window, const QRect& keepClear, const QRect& screen);

private:
    Outcome Find(bool forward);
    void OnTextChanged();
    // Moves the dialog off the tree when it covers any of it.
    void KeepTreeClear();
    // Tells a reader what a search found (none: nothing): the keyboard stays
    // in the search text, so the row chosen is not announced by its focus.
    void TellReader(const FormatNode* found, const QString& status);

    FormatTreeView& view_;
    std::function<FormatNode*()> currentNode_;
    QLabel* findLabel_ = nullptr;
    QLineEdit* textEdit_ = nullptr;
    QCheckBox* matchCaseCheck_ = nullptr;
    QCheckBox* wholeWordCheck_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* previousButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

} // namespace tqf
