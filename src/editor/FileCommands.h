#pragma once

#include <QObject>
#include <QString>

#include "FileIdentity.h"
#include "ReadProgress.h"
#include "TextArena.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

class QLabel;
class QWidget;

namespace tqf {

class Document;
class EditorCommands;
struct EditorPanel;
class FormatTreeView;
class Prompts;
struct ReadResult;
struct RoundTripReport;
struct WriteOutcome;

// The questions asked before unsaved changes are lost, all captioned
// CAPTION_CONFIRMATION. "Not saved" is asked while the document has no file
// yet, "Contents modified" once the path display names one.
// How often the window is repainted while a file is read.
inline constexpr qint64 REPAINT_INTERVAL_MS = 250;
inline constexpr const char* CAPTION_CONFIRMATION = "CONFIRMATION";
inline constexpr const char* MSG_NOT_SAVED = "Not saved. Are you sure ?";
inline constexpr const char* MSG_CONTENTS_MODIFIED = "Contents modified. Are you sure ?";
inline constexpr const char* MSG_NOT_SAVED_CLOSE = "Not saved. Are you sure to close without saving ?";
inline constexpr const char* MSG_CONTENTS_MODIFIED_CLOSE = "Contents modified. Are you sure to close without saving ?";
inline constexpr const char* MSG_NO_MESSAGE_TO_SAVE = "No message to save.";
inline constexpr const char* MSG_SAVED = "Saved successfully.";
inline constexpr const char* MSG_CHANGED_ON_DISK =
    "The file was changed by another program since it was opened.\nOverwrite it ?";
inline constexpr const char* MSG_READ_ONLY_FILE = "The file is read-only. Overwrite it ?";
// Shown in the progress of a read too large to keep the library before it.
inline constexpr const char* MSG_PREVIOUS_DROPPED =
    "The library open before does not fit in memory beside this one: Undo cannot bring it back.";

// The file dialogs' filter and the extension a typed name without one gets.
inline constexpr const char* FORMAT_FILE_FILTER = "Format File (*.TQF)|*.TQF|All Files (*.*)|*.*||";
inline constexpr const char* FORMAT_FILE_EXTENSION = "*.TQF";

// The file dialogs' filter and default extension for SML files.
inline constexpr const char* SML_FILE_FILTER = "SML File (*.sml)|*.sml|All Files (*.*)|*.*||";
inline constexpr const char* SML_FILE_EXTENSION = "*.sml";
// Reading SML offers logs too, which hold SML among their own lines.
inline constexpr const char* SML_OR_LOG_FILE_FILTER =
    "SML File or Log (*.sml;*.log;*.txt)|*.sml;*.log;*.txt|SML File (*.sml)|*.sml|Log (*.log;*.txt)|*.log;*.txt|"
    "All Files (*.*)|*.*||";
inline constexpr const char* IMPORT_SML_TITLE = "Import SML";
inline constexpr const char* ADD_SML_TITLE = "Add SML Messages";
// The caption of the progress dialog of a library being opened.
inline constexpr const char* OPEN_TITLE = "Open";
// The caption of the progress dialog of a save, and its two stages.
inline constexpr const char* SAVE_TITLE = "Save";
inline constexpr const char* CHECKING_ACTION = "Checking";
inline constexpr const char* WRITING_ACTION = "Writing";
inline constexpr const char* EXPORT_SML_TITLE = "Export SML";
inline constexpr const char* MSG_NO_MESSAGE_TO_EXPORT = "No message to export.";
inline constexpr const char* MSG_EXPORTED = "Exported successfully.";

// The main window's file commands: New, Open, Save, Save As and Exit, the
// clearing of the document, and the question before unsaved changes are
// lost. They work on the document (its tree, its file, whether it is
// modified), on the panel texts and currentNode that EditorCommands holds,
// and on the path display, which shows the document's file.
class FileCommands : public QObject {
    Q_OBJECT

public:
    // How many messages a question about the saved file names at most, and
    // how many dropped statements a warning about an opened file lists at most.
    static constexpr int MAX_NAMED_MESSAGES = 5;
    static constexpr int MAX_LISTED_LINES = 10;
    // The fewest bytes of a file that one node takes ("<A>"): what the
    // largest library a file may hold is judged by.
    static constexpr std::uintmax_t MIN_FILE_BYTES_PER_NODE = 3;

    // Connects the five file buttons of the panel to the commands.
    FileCommands(EditorCommands& editor, const EditorPanel& panel, Prompts& prompts, QObject* parent = nullptr);

    void OnNew();
    void OnOpen();
    void OnSave();
    void OnSaveAs();
    // Asks about unsaved changes, then ends the main window as its OK does.
    void OnExit();

    // Opens the file at path as Open opens the file chosen in its dialog:
    // the same question first, the same reports after. For a file named on
    // the command line or dropped on the window.
    void OpenPath(const QString& path);

    // Starts an empty library that Save writes to path, a file that does not
    // exist yet, after the same question as New. For a new file named on the
    // command line.
    void StartNamed(const QString& path);

    // Reads an SML file into the document as Open reads a format file: the
    // same question first, the document cleared before the file is chosen.
    // The library has no format file yet: the path display is emptied, so
    // that Save asks for a name.
    void OnImportSml();
    // Reads an SML file or log as Import SML does, but adds its messages
    // after those of the document, as one step that Undo takes back whole;
    // the document keeps its file. The first message added is chosen.
    void OnAddSml();
    // Writes the document as an SML file; the document, its path and its
    // modified flag stay as they are.
    void OnExportSml();

    // The body of New: asks about unsaved changes and clears the document.
    // False when the user answered No.
    bool ConfirmDiscard();

    // Deletes every message, as one step that Undo takes back, and empties
    // the panels; a document without messages stays as it is, its modified
    // state included.
    void ClearDocument();

    // The question Exit asks before the window closes; true when it may
    // close. Closing the window from its frame asks it too. While a file is
    // being read, the window does not close.
    bool ConfirmClose();

    // True while a command works on the whole document: opening, saving or
    // clearing a library. The window is repainted now and then meanwhile,
    // and input to it is dropped.
    bool Busy() const { return busyDepth_ > 0; }

    // Sets how many nodes an opened library may hold at most (the reader's
    // default otherwise).
    void SetNodeLimit(std::size_t nodes) { nodeLimit_ = nodes; }
    // How often, at most, the window is repainted while a file is read.
    void SetRepaintInterval(qint64 milliseconds) { repaintIntervalMs_ = milliseconds; }
    // How long a read goes on before its progress dialog appears.
    void SetProgressDelay(int milliseconds) { progressDelayMs_ = milliseconds; }

    // Sets the size of the largest file that Save checks in memory before
    // writing it (a quarter of the computer's memory otherwise); a larger
    // one is written unchecked, after a question.
    void SetTextBudget(std::uint64_t bytes) { textBudget_ = bytes; }

    // The text of the path display: the current file's path, empty while the
    // document has no file.
    QString PathDisplay() const;

signals:
    // A library was read whole from path or written to it: a file worth
    // offering again.
    void FileKept(const QString& path);

private:
    void Connect(const EditorPanel& panel);
    FormatTreeView& View() const { return view_; }
    Document& Doc() const;
    int MessageCount() const;
    // The document's file, empty while it has none.
    QString FilePath() const;
    // The document's file becomes path, as it was then (identity), and the
    // path display shows it.
    void SetFile(const QString& path, const std::optional<FileIdentity>& identity);
    // After a read that leaves a document no file holds: it is modified
    // when it holds any message.
    void MarkModifiedIfAny();
    bool Ask(const char* text);
    bool Ask(const QString& text);
    void ShowWarning(const QString& text);

    // The part of Open and Import SML before a file is chosen: the question,
    // then clearing the document. False when the user answered No.
    bool ConfirmOpen();

    // Reads the file at path into the (empty) document and reports what went
    // wrong.
    void OpenFile(const QString& path);
    // textsFrom: where the texts of the read begin in the document's arena.
    void ReportRead(const QString& path, const ReadResult& result, TextArena::Mark textsFrom);
    // Before a read of the file at path, fileSize bytes: keeps the clearing
    // of the document in the history where the two fit the node limit
    // together, else drops the history. True when a cleared library was
    // dropped so.
    bool KeepClearedDuringRead(const QString& path, std::uintmax_t fileSize, std::string_view messageMarks);
    // The most nodes the file can make, counted no further than past enough.
    std::size_t MostNodesOf(const QString& path, std::uintmax_t fileSize, std::string_view messageMarks,
                            std::size_t enough) const;
    // After a read given up: frees what it built, the clearing stays.
    void DiscardRead(TextArena::Mark textsFrom);
    // After a read kept: a new history, and the document before it freed.
    void KeepRead(TextArena::Mark textsFrom);

    // Save and Save As; askForName always shows the save dialog.
    void Save(bool askForName);
    // The file Save writes: the document's own, or one chosen in the save
    // dialog (always for askForName); none when the dialog is cancelled.
    std::optional<QString> SaveTarget(bool askForName);
    // Reads back, with progress, what Save would write; none when the
    // check cannot be made in memory.
    std::optional<RoundTripReport> CheckBeforeSave(const QString& target, std::uint64_t size);
    // Writes the library to target: the text checked, or, without one, the
    // document written unchecked. cancelled tells whether the user stopped it.
    WriteOutcome WriteLibrary(const QString& target, std::uint64_t size, const RoundTripReport* checked,
                              bool& cancelled);
    // Asks before Save replaces its file with a library that did not come
    // from it; true when the save may go on.
    bool ConfirmOverwriteAnother(const QString& target);
    // Asks whether to save a document whose file would not read back the same.
    bool ConfirmRoundTrip(const RoundTripReport& report);
    // Asks before a save overwrites a file that another program changed
    // since it was opened or saved here; true when the save may go on.
    bool ConfirmOverwriteChanged(const QString& target);
    // Asks before a save replaces a file that nobody may write; true when
    // the save may go on (the file keeps its mode).
    bool ConfirmOverwriteReadOnly(const QString& target);

    // Marks the editor busy, with the wait cursor, while it lives.
    class BusyScope {
    public:
        explicit BusyScope(FileCommands& commands);
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;
        ~BusyScope();

    private:
        FileCommands& commands_;
    };

    EditorCommands& editor_;
    FormatTreeView& view_;
    // The window, closed by Exit, and its display of the file's path.
    QWidget* window_;
    QLabel* pathDisplay_;
    Prompts& prompts_;
    std::size_t nodeLimit_;
    qint64 repaintIntervalMs_ = REPAINT_INTERVAL_MS;
    int progressDelayMs_ = ReadProgress::SHOW_AFTER_MS;
    std::uint64_t textBudget_;
    int busyDepth_ = 0;
};

} // namespace tqf
