#pragma once

#include "EditorPanel.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

#include <memory>

class QLabel;
class QMenu;

namespace tqf {

class EditorCommands;
class FileCommands;
class FindDialog;
class FormatTreeView;
class Prompts;
class QtPrompts;
class RecentFiles;

// The main window: the tree of messages and items on the left; on the right
// the message panel, the item panel and the node-move buttons; the file
// buttons along the top. Its commands live in EditorCommands.
class EditorDialog : public QDialog {
    Q_OBJECT

public:
    // The window's size in dialog units.
    static constexpr int WIDTH_DU = 379;
    static constexpr int HEIGHT_DU = 311;

    // The text colour of the tree: RGB(0, 64, 128).
    static constexpr int TREE_TEXT_RED = 0;
    static constexpr int TREE_TEXT_GREEN = 64;
    static constexpr int TREE_TEXT_BLUE = 128;
    static constexpr int TREE_FONT_POINTS = 9;

    // Prompts answer the window's boxes and choosers; none means Qt's own.
    explicit EditorDialog(Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~EditorDialog() override;

    EditorCommands& Commands() { return *commands_; }
    FileCommands& Files() { return *fileCommands_; }
    FormatTreeView& TreeView() { return *treeView_; }
    const EditorPanel& Panel() const { return panel_; }

    // The control with the given id, or none.
    QWidget* Control(int id) const { return controls_.value(id, nullptr); }

    // The window's system commands; IDM_ABOUTBOX opens the About box.
    void OnSysCommand(int commandId);

    // The menu the window offers on its free area: the file commands with
    // "Open Recent", Undo and Redo, each greyed when there is nothing to take
    // back or make again, "Find...", Import SML..., Add SML Messages...,
    // Export SML..., Check SML Messages..., the rules commands and the About
    // entry. Entries with a key show it.
    QMenu* CreateWindowMenu();

    // The libraries opened or saved last, which "Open Recent" offers.
    RecentFiles& Recent() { return *recentFiles_; }
    // Opens a file of "Open Recent"; one that is gone is dropped from the
    // list with a note instead.
    void OpenRecent(const QString& path);

    // The note the window shows for a moment over the foot of the tree, such
    // as "Search wrapped" when F3 passes the end with the dialog closed;
    // empty while none shows.
    QString Notice() const;

    // The "Find" dialog, made on first use; Ctrl+F opens it.
    FindDialog& Finder();
    void OpenFind();
    // F3 and Shift+F3: the last search again, forwards or backwards. With
    // nothing to search for yet they open the dialog.
    void RepeatFind(bool forward);

    // The product's name followed by the build date.
    static QString Title();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing from the frame (close box, Alt+F4) asks about unsaved changes
    // as Exit does.
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();
    QWidget* CreateControl(int index);
    void InitDialog();
    // Where the focus goes when the focused control is disabled: the next
    // step of the work, never a command that deletes, opens or exits.
    QWidget* NextStepAfter(const QWidget* control) const;
    void OnFocusChanged(QWidget* old, QWidget* now);
    // The standard keys of the file commands, Find and the About box.
    void CreateShortcuts();
    void AddFileEntries(QMenu& menu);
    void ShowNotice(const QString& text);

    std::unique_ptr<QtPrompts> ownPrompts_;
    Prompts* prompts_ = nullptr;
    FormatTreeView* treeView_ = nullptr;
    EditorPanel panel_;
    EditorCommands* commands_ = nullptr;
    FileCommands* fileCommands_ = nullptr;
    FindDialog* findDialog_ = nullptr;
    QHash<int, QWidget*> controls_;
    QPointer<QWidget> placedFocus_;
    std::unique_ptr<RecentFiles> recentFiles_;
    QLabel* notice_ = nullptr;
};

} // namespace tqf
