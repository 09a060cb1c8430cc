#include "FileCommands.h"

#include "Document.h"
#include "EditorCommands.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatTreeView.h"
#include "FormatWriter.h"
#include "InputDropper.h"
#include "InputFile.h"
#include "ItemFormat.h"
#include "LibraryFileWriter.h"
#include "MemoryBudget.h"
#include "NodeMarks.h"
#include "OutputBudget.h"
#include "Prompts.h"
#include "ReadProgress.h"
#include "RoundTripCheck.h"
#include "SkinButton.h"
#include "SkinCheckBox.h"
#include "SmlReader.h"
#include "SmlWriter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace tqf {

namespace {

constexpr const char* REASON_FOLDER = "it is a folder";
constexpr const char* REASON_NO_MEMORY = "there was not enough memory";

QString FromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// The file system's own bytes of a path, whatever the locale makes of them.
std::filesystem::path FileSystemPath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString Latin1(const char* text) { return QString::fromLatin1(text); }

// Each text is filled in one pass of arg(), so that a "%" in a path or a
// reason is never taken for a place to fill.
QString OpenFailureText(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open the file\n%1\n\nReason: %2.").arg(path, reason);
}

QString ReadFailureText(const QString& path, const QString& reason, std::size_t messagesRead) {
    return QStringLiteral("The file\n%1\ncould not be read to its end.\n\nReason: %2.\n\n"
                          "Its first %3 message(s) were read. Save will ask for a file name, so that this part "
                          "does not replace the whole file.")
        .arg(path, reason, QString::number(messagesRead));
}

// One line for each of the first findings: where and why.
QString FindingLines(const std::vector<ReadDiagnostic>& findings) {
    QString lines;
    const auto listed = static_cast<std::size_t>(FileCommands::MAX_LISTED_LINES);
    for (std::size_t i = 0; i < findings.size() && i < listed; ++i) {
        lines += QStringLiteral("\nline %1, column %2: %3")
                     .arg(QString::number(findings[i].line), QString::number(findings[i].column),
                          FromBytes(findings[i].reason));
    }
    if (findings.size() > listed) {
        lines += QStringLiteral("\n... and %1 more").arg(findings.size() - listed);
    }
    return lines;
}

QString DroppedText(const QString& path, const std::vector<ReadDiagnostic>& reasons) {
    const std::size_t count = reasons.size();
    const bool one = count == 1;
    return QStringLiteral("%1 %2 of the file\n%3\ncould not be read and %4 left out:\n%5\n\n"
                          "Saving this library would not keep %6.")
        .arg(QString::number(count), one ? QStringLiteral("statement") : QStringLiteral("statements"), path,
             one ? QStringLiteral("was") : QStringLiteral("were"), FindingLines(reasons),
             one ? QStringLiteral("it") : QStringLiteral("them"));
}

// What reading a file dropped, and what it read but is rarely meant.
QString ReadReportText(const QString& path, const ReadResult& result) {
    QString text = result.dropped.empty() ? QStringLiteral("The file\n%1\nwas read.").arg(path)
                                          : DroppedText(path, result.dropReasons);
    if (!result.warnings.empty()) {
        text += QStringLiteral("\n\n%1 warning(s), read but rarely meant:%2")
                    .arg(QString::number(result.warnings.size()), FindingLines(result.warnings));
    }
    return text;
}

// done: what became of the messages, "imported" or "added".
QString ImportReportText(const QString& path, const SmlReadResult& result, const char* done = "imported") {
    QString text = QStringLiteral("%1 message(s) were %2 from\n%3\n")
                       .arg(QString::number(result.messagesRead), QLatin1StringView(done), path);
    if (!result.dropped.empty()) {
        text += QStringLiteral("\n%1 statement(s) could not be read and were left out:\n%2\n")
                    .arg(QString::number(result.dropped.size()), FindingLines(result.dropped));
    }
    if (!result.changed.empty()) {
        text += QStringLiteral("\n%1 change(s) were made to fit a format file:\n%2\n")
                    .arg(QString::number(result.changed.size()), FindingLines(result.changed));
    }
    if (!result.warnings.empty()) {
        text += QStringLiteral("\n%1 warning(s):\n%2\n")
                    .arg(QString::number(result.warnings.size()), FindingLines(result.warnings));
    }
    if (result.valuesDropped > 0) {
        text += QStringLiteral("\n%1 item value(s) were left out: a format file keeps no values.\n")
                    .arg(QString::number(result.valuesDropped));
    }
    return text.trimmed();
}

QString ExportFailureText(const QString& path, const QString& reason, bool existed) {
    QString text = QStringLiteral("Cannot export the library to\n%1\n\nReason: %2.").arg(path, reason);
    if (existed) {
        text += QStringLiteral("\n\nThe file was not changed.");
    }
    return text;
}

QString SaveFailureText(const QString& path, const QString& reason, bool existed) {
    QString text = QStringLiteral("Cannot save the library to\n%1\n\nReason: %2.").arg(path, reason);
    if (existed) {
        text += QStringLiteral("\n\nThe file was not changed.");
    }
    return text;
}

QString UncheckedSaveQuestion(const std::string& cause) {
    return QStringLiteral("The file could not be checked, before it is written, for whether it reads back the same: "
                          "%1.\n\nSave without the check ?")
        .arg(FromBytes(cause));
}

QString RoundTripQuestion(const RoundTripReport& report) {
    QString text = QStringLiteral("These messages would not read back the same from the saved file:\n");
    const std::size_t count = report.problems.size();
    const auto named = static_cast<std::size_t>(FileCommands::MAX_NAMED_MESSAGES);
    for (std::size_t i = 0; i < count && i < named; ++i) {
        const RoundTripProblem& problem = report.problems[i];
        text += QStringLiteral("\n%1: %2").arg(FromBytes(problem.label), FromBytes(problem.reason));
    }
    if (count > named) {
        text += QStringLiteral("\n... and %1 more").arg(count - named);
    }
    text += QStringLiteral("\n\nSave anyway ?");
    return text;
}

// Keeps the tree from being laid out while a file is read into it.
class FrozenTree {
public:
    explicit FrozenTree(FormatTreeView& view) : view_(view) { view_.SetFrozen(true); }
    FrozenTree(const FrozenTree&) = delete;
    FrozenTree& operator=(const FrozenTree&) = delete;
    ~FrozenTree() { view_.SetFrozen(false); }

private:
    FormatTreeView& view_;
};

// Writes what write makes of the document under root through the output
// budget; exceeded tells afterwards whether it went past limit.
std::function<bool(std::ostream&)> WithinBudget(bool (*write)(const FormatNode*, std::ostream&, const RuleBook*),
                                                const FormatNode* root, const RuleBook* rules, std::uint64_t limit,
                                                bool& exceeded) {
    return [write, root, rules, limit, &exceeded](std::ostream& out) {
        OutputBudget budget(out, limit);
        const bool written = write(root, budget.Stream(), rules);
        exceeded = budget.Exceeded();
        return written;
    };
}

} // namespace

FileCommands::FileCommands(EditorCommands& editor, const EditorPanel& panel, Prompts& prompts, QObject* parent)
    : QObject(parent), editor_(editor), view_(*panel.treeView), window_(panel.window), pathDisplay_(panel.pathDisplay),
      prompts_(prompts), nodeLimit_(FormatReader::DefaultNodeLimit()), textBudget_(LibraryMemoryBudget()) {
    Connect(panel);
}

FileCommands::BusyScope::BusyScope(FileCommands& commands) : commands_(commands) {
    if (commands_.busyDepth_++ == 0) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

FileCommands::BusyScope::~BusyScope() {
    if (--commands_.busyDepth_ == 0) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void FileCommands::Connect(const EditorPanel& panel) {
    const struct {
        SkinButton* button;
        void (FileCommands::*command)();
    } buttons[] = {
        {panel.newButton, &FileCommands::OnNew},   {panel.openButton, &FileCommands::OnOpen},
        {panel.saveButton, &FileCommands::OnSave}, {panel.saveAsButton, &FileCommands::OnSaveAs},
        {panel.exitButton, &FileCommands::OnExit},
    };
    for (const auto& entry : buttons) {
        if (entry.button != nullptr) {
            connect(entry.button, &QAbstractButton::clicked, this,
                    [this, command = entry.command] { (this->*command)(); });
        }
    }
}

Document& FileCommands::Doc() const { return editor_.Doc(); }

int FileCommands::MessageCount() const { return Doc().MessageCount(); }

QString FileCommands::PathDisplay() const { return pathDisplay_->text(); }

QString FileCommands::FilePath() const { return QFile::decodeName(QByteArray::fromStdString(Doc().Path())); }

void FileCommands::SetFile(const QString& path, const std::optional<FileIdentity>& identity) {
    const QByteArray bytes = QFile::encodeName(path);
    Doc().SetFile(bytes.toStdString(), identity ? std::optional<FileStamp>(*identity) : std::nullopt);
    pathDisplay_->setText(path);
    if (!path.isEmpty()) {
        prompts_.SetFileFolder(QFileInfo(path).absolutePath());
    }
}

bool FileCommands::Ask(const char* text) { return Ask(Latin1(text)); }

// Every question of the file commands lets the user lose work or overwrite
// a file on Yes, so Enter, and a hasty click on the default, answer No.
bool FileCommands::Ask(const QString& text) { return prompts_.AskYesNoDefaultNo(Latin1(CAPTION_CONFIRMATION), text); }

void FileCommands::ShowWarning(const QString& text) { prompts_.ShowMessage(text, QString(), PromptIcon::Warning); }

// ---- Clearing and the question before changes are lost ----

void FileCommands::ClearDocument() {
    FormatTreeView& view = View();
    if (MessageCount() == 0) {
        return;
    }
    // What the user typed into the item description stays.
    editor_.ReadFields();
    {
        const BusyScope busy(*this);
        // The messages leave together, as one step that Undo brings back,
        // and the tree is repainted once.
        (void)Doc().Tree().ClearMessages();
        view.Repaint();
    }

    editor_.EmptyPanels();
}

bool FileCommands::ConfirmDiscard() {
    const bool modified = Doc().IsModified();
    if (!FilePath().isEmpty()) {
        if (modified && !Ask(MSG_CONTENTS_MODIFIED)) {
            return false;
        }
        ClearDocument();
        return true;
    }
    if (modified && MessageCount() != 0) {
        if (!Ask(MSG_NOT_SAVED)) {
            return false;
        }
        ClearDocument();
    }
    return true;
}

bool FileCommands::ConfirmClose() {
    if (Busy()) {
        return false;
    }
    const bool modified = Doc().IsModified();
    if (!FilePath().isEmpty()) {
        return !modified || Ask(MSG_CONTENTS_MODIFIED_CLOSE);
    }
    return !(modified && MessageCount() != 0) || Ask(MSG_NOT_SAVED_CLOSE);
}

// ---- The commands ----

void FileCommands::OnNew() {
    // The clearing is a step of the history: Undo brings the document back.
    (void)ConfirmDiscard();
}

void FileCommands::OnExit() {
    if (!ConfirmClose()) {
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window_); dialog != nullptr) {
        dialog->accept();
    }
}

bool FileCommands::ConfirmOpen() {
    const bool named = !FilePath().isEmpty();
    const bool modified = Doc().IsModified();
    editor_.DropCurrentNode();
    // Without a file, an empty document that was cleared unsaved still asks.
    const bool ask = named ? modified : modified || MessageCount() != 0;
    if (ask && !Ask(named ? MSG_CONTENTS_MODIFIED : MSG_NOT_SAVED)) {
        return false;
    }
    // The document goes before the file is chosen, as one step: when no
    // file is read after all, Undo brings it back.
    ClearDocument();
    editor_.DropCurrentNode();
    return true;
}

void FileCommands::OnOpen() {
    if (!ConfirmOpen()) {
        return;
    }
    const std::optional<QString> path =
        prompts_.ChooseOpenFile(Latin1(FORMAT_FILE_FILTER), Latin1(FORMAT_FILE_EXTENSION), false);
    if (!path) {
        return;
    }
    OpenFile(*path);
}

void FileCommands::OpenPath(const QString& path) {
    // A file cannot be opened while another is being read or written.
    if (Busy() || !ConfirmOpen()) {
        return;
    }
    OpenFile(path);
}

void FileCommands::StartNamed(const QString& path) {
    if (Busy() || !ConfirmOpen()) {
        return;
    }
    // Nothing was read from the file, so nothing on the disk can have changed
    // under the document when Save first writes it.
    SetFile(path, std::nullopt);
    Doc().MarkSaved();
    Doc().Tree().MarkLibraryOfFile();
}

void FileCommands::OpenFile(const QString& path) {
    FormatTreeView& view = View();
    std::uintmax_t fileSize = 0;
    {
        // A file that cannot be opened leaves the cleared document's step in
        // the history, so that Undo brings the document back.
        InputFile probe;
        const bool opened = probe.Open(FileSystemPath(path));
        fileSize = opened ? probe.Size() : 0;
        if (!opened) {
            ReadResult failed;
            failed.status = ReadStatus::OPEN_FAILED;
            failed.errorText = probe.Error();
            editor_.DropCurrentNode();
            ReportRead(path, failed, Doc().Tree().Texts().Here());
            return;
        }
    }
    const bool previousDropped = KeepClearedDuringRead(path, fileSize, FORMAT_MESSAGE_MARKS);
    const TextArena::Mark textsFrom = Doc().Tree().Texts().Here();
    ReadResult result;
    {
        const BusyScope busy(*this);
        // The count follows each message read, and a large file shows it
        // growing: the window is repainted a few times a second. What the
        // user clicks or types meanwhile is dropped, not kept to run on the
        // document once it is read. The tree itself is repainted after the
        // last message, for the same reason as when clearing.
        InputDropper dropInput;
        const FrozenTree frozen(view);
        QElapsedTimer sinceRepaint;
        sinceRepaint.start();
        const EditorCommands::DeferredCount deferred(editor_);
        FormatReader reader(Doc().Tree(), [this, &sinceRepaint](FormatNode&) {
            if (sinceRepaint.elapsed() >= repaintIntervalMs_) {
                editor_.ShowMessageCountNow();
                QCoreApplication::processEvents();
                sinceRepaint.restart();
            }
        });
        // The progress dialog takes the input the window does not.
        ReadProgress progress(view.window(), Latin1(OPEN_TITLE), path, fileSize, progressDelayMs_);
        dropInput.Allow(progress.Dialog());
        if (previousDropped) {
            progress.ShowNote(Latin1(MSG_PREVIOUS_DROPPED));
        }
        reader.SetCancelCheck(
            [&] { return progress.Poll(reader.BytesRead(), static_cast<std::size_t>(MessageCount())); });
        reader.SetNodeLimit(nodeLimit_);
        result = reader.ReadFormatFile(FileSystemPath(path));
        view.Repaint();
    }
    editor_.DropCurrentNode();
    ReportRead(path, result, textsFrom);
}

bool FileCommands::KeepClearedDuringRead(const QString& path, std::uintmax_t fileSize, std::string_view messageMarks) {
    FormatTree& tree = Doc().Tree();
    if (!tree.EndsWithClearing()) {
        // Nothing was cleared for this read: no step could bring it back.
        tree.ClearHistory();
        return false;
    }
    // The document cleared before the read stays in the history, so that
    // Undo brings it back when the read is cancelled or fails, as long as it
    // and what the file can make fit the node limit together; else it goes
    // now, as nothing of it could be undone into the document read.
    const std::size_t held = tree.NodesHeld();
    const std::size_t room = nodeLimit_ > held ? nodeLimit_ - held : 0;
    if (MostNodesOf(path, fileSize, messageMarks, room) <= room) {
        return false;
    }
    tree.ClearHistory();
    return true;
}

std::size_t FileCommands::MostNodesOf(const QString& path, std::uintmax_t fileSize, std::string_view messageMarks,
                                      std::size_t enough) const {
    // The cheap bound, one node in the fewest bytes one can take, settles a
    // file that is small beside the room; only a larger one is counted.
    const std::uintmax_t bound = fileSize / MIN_FILE_BYTES_PER_NODE + 1;
    if (bound <= enough) {
        return static_cast<std::size_t>(bound);
    }
    InputFile file;
    if (!file.Open(FileSystemPath(path))) {
        return static_cast<std::size_t>(std::min<std::uintmax_t>(bound, SIZE_MAX));
    }
    return CountNodeMarks(file.Stream(), messageMarks, enough);
}

void FileCommands::DiscardRead(TextArena::Mark textsFrom) {
    // Nothing half-read stays, and its memory goes back; the clearing
    // before the read stays in the history.
    Doc().Tree().DiscardUnrecorded(textsFrom);
    View().Repaint();
    // What the user typed into the item description stays, as on clearing.
    editor_.ReadFields();
    editor_.EmptyPanels();
    Doc().MarkSaved();
}

void FileCommands::KeepRead(TextArena::Mark textsFrom) {
    // Undo starts from the document as read, and what the document before
    // it took goes back.
    Doc().StartHistory();
    Doc().Tree().ReleaseReplaced(textsFrom);
}

void FileCommands::ReportRead(const QString& path, const ReadResult& result, TextArena::Mark textsFrom) {
    switch (result.status) {
    case ReadStatus::OPEN_FAILED: {
        Doc().MarkSaved();
        const QString reason = QFileInfo(path).isDir() ? Latin1(REASON_FOLDER) : FromBytes(result.errorText);
        ShowWarning(OpenFailureText(path, reason));
        return;
    }
    case ReadStatus::READ_FAILED:
        // Part of a file is not that file: the document keeps what was read,
        // but no later Save writes it over a file without asking for a name.
        SetFile(QString(), std::nullopt);
        MarkModifiedIfAny();
        ShowWarning(ReadFailureText(path, FromBytes(result.errorText), result.messagesRead));
        return;
    case ReadStatus::CANCELLED:
        // The user stopped the read and knows why: nothing of it stays, and
        // no box says so.
        DiscardRead(textsFrom);
        return;
    case ReadStatus::TOO_LARGE:
        // Nothing of a file that cannot be opened whole stays.
        DiscardRead(textsFrom);
        ShowWarning(OpenFailureText(path, FromBytes(result.errorText)));
        return;
    case ReadStatus::READ:
        break;
    }
    KeepRead(textsFrom);
    SetFile(path, result.identity);
    Doc().MarkSaved();
    Doc().Tree().MarkLibraryOfFile();
    emit FileKept(path);
    if (!result.dropped.empty() || !result.warnings.empty()) {
        ShowWarning(ReadReportText(path, result));
    }
}

void FileCommands::OnSave() { Save(false); }

void FileCommands::OnSaveAs() { Save(true); }

void FileCommands::Save(bool askForName) {
    if (MessageCount() == 0) {
        ShowWarning(Latin1(MSG_NO_MESSAGE_TO_SAVE));
        return;
    }
    const std::optional<QString> chosen = SaveTarget(askForName);
    if (!chosen) {
        return;
    }
    const QString& target = *chosen;
    if ((!askForName && !ConfirmOverwriteAnother(target)) || !ConfirmOverwriteChanged(target) ||
        !ConfirmOverwriteReadOnly(target)) {
        return;
    }
    const bool existed = QFileInfo::exists(target);
    // No file is written that could not be opened again: its size, known
    // from a walk over the nodes, stays within the output budget.
    const std::uint64_t size = FormatWriter::FileSize(Doc().Tree().GetRootNode(), &Doc().Tree().Rules());
    if (size > textBudget_) {
        ShowWarning(SaveFailureText(target, FromBytes(OutputBudget::Reason(size, textBudget_)), existed));
        return;
    }
    std::optional<RoundTripReport> report = CheckBeforeSave(target, size);
    if (report && report->cancelled) {
        // The user stopped the save and knows why: the file stays as it was.
        return;
    }
    if (!report) {
        ShowWarning(SaveFailureText(target, FromBytes(OutputBudget::Reason(std::nullopt, textBudget_)), existed));
        return;
    }
    const bool checked = report->failure.empty();
    if (checked ? !ConfirmRoundTrip(*report) : !Ask(UncheckedSaveQuestion(report->failure))) {
        return;
    }
    if (!checked) {
        report.reset();
    }
    bool cancelled = false;
    const WriteOutcome outcome = WriteLibrary(target, size, report ? &*report : nullptr, cancelled);
    if (!outcome.written && cancelled && !outcome.damaged) {
        // Stopped before the old file was replaced: it stays as it was.
        return;
    }
    if (!outcome.written) {
        ShowWarning(SaveFailureText(target, outcome.reason, existed && !outcome.damaged));
        return;
    }
    prompts_.ShowMessage(Latin1(MSG_SAVED));
    Doc().MarkSaved();
    Doc().Tree().MarkLibraryOfFile();
    SetFile(target, outcome.identity);
    emit FileKept(target);
}

std::optional<QString> FileCommands::SaveTarget(bool askForName) {
    if (!askForName && !FilePath().isEmpty()) {
        return FilePath();
    }
    return prompts_.ChooseSaveFile(Latin1(FORMAT_FILE_FILTER), Latin1(FORMAT_FILE_EXTENSION));
}

std::optional<RoundTripReport> FileCommands::CheckBeforeSave(const QString& target, std::uint64_t size) {
    // The read-back check holds the whole file in memory. Where it cannot
    // be made whole, the file is written piece by piece, unchecked, only if
    // the user agrees; No, the default, keeps the old file.
    // A large library shows its progress, checking and then writing, with
    // Cancel; input to the window meanwhile is dropped, as during a read.
    const BusyScope busy(*this);
    InputDropper dropInput;
    ReadProgress progress(View().window(), Latin1(SAVE_TITLE), target, size, progressDelayMs_);
    dropInput.Allow(progress.Dialog());
    progress.SetStage(Latin1(CHECKING_ACTION), size, false);
    return RoundTripCheck::CheckRoundTrip(
        Doc().Tree().GetRootNode(), textBudget_, [&progress](std::uint64_t bytes) { return progress.Poll(bytes, 0); },
        &Doc().Tree().Rules());
}

WriteOutcome FileCommands::WriteLibrary(const QString& target, std::uint64_t size, const RoundTripReport* checked,
                                        bool& cancelled) {
    WriteOutcome outcome;
    bool exceeded = false;
    try {
        const BusyScope busy(*this);
        InputDropper dropInput;
        ReadProgress progress(View().window(), Latin1(SAVE_TITLE), target, size, progressDelayMs_);
        dropInput.Allow(progress.Dialog());
        progress.SetStage(Latin1(WRITING_ACTION), size, false);
        if (checked != nullptr) {
            // The file the check read back is the one written, a piece at a
            // time, so that Cancel stops it before the old file is replaced.
            outcome = LibraryFileWriter::WriteStreamed(target, [&](std::ostream& out) {
                std::uint64_t written = 0;
                for (const std::string_view piece : checked->text.Pieces()) {
                    if (progress.Poll(written, 0)) {
                        cancelled = true;
                        return false;
                    }
                    out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
                    written += piece.size();
                }
                return static_cast<bool>(out);
            });
        } else {
            outcome = LibraryFileWriter::WriteStreamed(
                target, WithinBudget(&FormatWriter::WriteFormatFile, Doc().Tree().GetRootNode(), &Doc().Tree().Rules(),
                                     textBudget_, exceeded));
        }
    } catch (const std::bad_alloc&) {
        outcome = WriteOutcome{false, Latin1(REASON_NO_MEMORY), std::nullopt, false};
    }
    if (exceeded) {
        outcome.reason = FromBytes(OutputBudget::Reason(std::nullopt, textBudget_));
    }
    return outcome;
}

bool FileCommands::ConfirmOverwriteAnother(const QString& target) {
    // Save writes to the file shown without a dialog (Save As lets the user
    // see the file chosen); where the document is
    // no longer what was opened from it or saved to it (New, or an Open or
    // Import that read nothing, cleared it), the file would lose a library
    // the user may not mean to replace.
    if (target != FilePath() || Doc().Tree().HoldsLibraryOfFile() || !QFileInfo::exists(target)) {
        return true;
    }
    return Ask(
        QStringLiteral("%1 holds another library. Replace it with this one ?").arg(QFileInfo(target).fileName()));
}

bool FileCommands::ConfirmOverwriteChanged(const QString& target) {
    const std::optional<FileStamp>& known = Doc().Stamp();
    if (target != FilePath() || !known) {
        return true;
    }
    const std::optional<FileIdentity> now = FileIdentity::Of(FileSystemPath(target));
    // A file that is gone loses nothing when it is written again.
    if (!now || static_cast<const FileStamp&>(*now) == *known) {
        return true;
    }
    return Ask(Latin1(MSG_CHANGED_ON_DISK));
}

bool FileCommands::ConfirmOverwriteReadOnly(const QString& target) {
    return !IsReadOnlyFile(FileSystemPath(target)) || Ask(Latin1(MSG_READ_ONLY_FILE));
}

void FileCommands::MarkModifiedIfAny() {
    // A document that no file holds is a change when it holds anything.
    if (MessageCount() != 0) {
        Doc().RecordUnalteredChange();
    } else {
        Doc().MarkSaved();
    }
}

bool FileCommands::ConfirmRoundTrip(const RoundTripReport& report) {
    if (report.Ok()) {
        return true;
    }
    // No, the default, keeps the old file.
    return Ask(RoundTripQuestion(report));
}

// ---- SML ----

void FileCommands::OnImportSml() {
    if (!ConfirmOpen()) {
        return;
    }
    const std::optional<QString> path = prompts_.ChooseOpenFileTitled(
        Latin1(IMPORT_SML_TITLE), Latin1(SML_OR_LOG_FILE_FILTER), Latin1(SML_FILE_EXTENSION), false);
    if (!path) {
        return;
    }
    FormatTreeView& view = View();
    const QFileInfo info(*path);
    const std::uintmax_t fileSize = info.isFile() ? static_cast<std::uintmax_t>(info.size()) : 0;
    // As for Open: Undo brings back the document before a failed import.
    const bool previousDropped = KeepClearedDuringRead(*path, fileSize, SML_MESSAGE_MARKS);
    const TextArena::Mark textsFrom = Doc().Tree().Texts().Here();
    SmlReadResult result;
    {
        const BusyScope busy(*this);
        InputDropper dropInput;
        const FrozenTree frozen(view);
        const EditorCommands::DeferredCount deferred(editor_);
        SmlReader reader(Doc().Tree());
        ReadProgress progress(view.window(), Latin1(IMPORT_SML_TITLE), *path, fileSize, progressDelayMs_);
        dropInput.Allow(progress.Dialog());
        if (previousDropped) {
            progress.ShowNote(Latin1(MSG_PREVIOUS_DROPPED));
        }
        reader.SetCancelCheck(
            [&] { return progress.Poll(reader.BytesRead(), static_cast<std::size_t>(MessageCount())); });
        result = reader.ReadSmlFile(FileSystemPath(*path));
        view.Repaint();
    }
    editor_.DropCurrentNode();
    if (!result.Complete()) {
        // Nothing of a file that cannot be read whole stays.
        DiscardRead(textsFrom);
        if (result.status == ReadStatus::CANCELLED) {
            return; // the user stopped it and knows why
        }
        const QString reason = QFileInfo(*path).isDir() ? Latin1(REASON_FOLDER) : FromBytes(result.errorText);
        ShowWarning(OpenFailureText(*path, reason));
        return;
    }
    // The library is not kept in any format file yet: Save asks for a name,
    // and closing asks before it is lost.
    // Undo starts from the library as imported, which no file holds yet.
    KeepRead(textsFrom);
    SetFile(QString(), std::nullopt);
    prompts_.SetFileFolder(QFileInfo(*path).absolutePath());
    MarkModifiedIfAny();
    if (!result.dropped.empty() || !result.changed.empty() || !result.warnings.empty()) {
        ShowWarning(ImportReportText(*path, result));
    }
}

void FileCommands::OnAddSml() {
    const std::optional<QString> path = prompts_.ChooseOpenFileTitled(
        Latin1(ADD_SML_TITLE), Latin1(SML_OR_LOG_FILE_FILTER), Latin1(SML_FILE_EXTENSION), false);
    if (!path) {
        return;
    }
    FormatTreeView& view = View();
    const QFileInfo info(*path);
    if (info.isDir()) {
        ShowWarning(OpenFailureText(*path, Latin1(REASON_FOLDER)));
        return;
    }
    const std::uintmax_t fileSize = info.isFile() ? static_cast<std::uintmax_t>(info.size()) : 0;
    // The library, its history and what the file adds share the node limit.
    const std::size_t held = Doc().Tree().NodesHeld();
    const std::size_t room = nodeLimit_ > held ? nodeLimit_ - held : 0;
    if (MostNodesOf(*path, fileSize, SML_MESSAGE_MARKS, room) > room) {
        ShowWarning(OpenFailureText(*path, QStringLiteral("the library and the messages of the file together could "
                                                          "hold more than %1 nodes")
                                               .arg(nodeLimit_)));
        return;
    }
    SmlReadResult result;
    FormatNode* firstAdded = nullptr;
    {
        const BusyScope busy(*this);
        InputDropper dropInput;
        const FrozenTree frozen(view);
        const EditorCommands::DeferredCount deferred(editor_);
        SmlReader reader(Doc().Tree());
        ReadProgress progress(view.window(), Latin1(ADD_SML_TITLE), *path, fileSize, progressDelayMs_);
        dropInput.Allow(progress.Dialog());
        reader.SetCancelCheck(
            [&] { return progress.Poll(reader.BytesRead(), static_cast<std::size_t>(MessageCount())); });
        // Nothing of a file that cannot be read whole is added.
        result = reader.AddSmlFile(FileSystemPath(*path));
        firstAdded = reader.FirstAdded();
        view.Repaint();
    }
    if (!result.Complete()) {
        if (result.status != ReadStatus::CANCELLED) {
            ShowWarning(OpenFailureText(*path, FromBytes(result.errorText)));
        }
        return;
    }
    prompts_.SetFileFolder(info.absolutePath());
    view.ChooseNode(firstAdded);
    if (firstAdded == nullptr || !result.dropped.empty() || !result.changed.empty() || !result.warnings.empty()) {
        ShowWarning(ImportReportText(*path, result, "added"));
    }
}

void FileCommands::OnExportSml() {
    if (MessageCount() == 0) {
        ShowWarning(Latin1(MSG_NO_MESSAGE_TO_EXPORT));
        return;
    }
    const std::optional<QString> path =
        prompts_.ChooseSaveFileTitled(Latin1(EXPORT_SML_TITLE), Latin1(SML_FILE_FILTER), Latin1(SML_FILE_EXTENSION));
    if (!path) {
        return;
    }
    const bool existed = QFileInfo::exists(*path);
    WriteOutcome outcome;
    bool exceeded = false;
    {
        const BusyScope busy(*this);
        outcome = LibraryFileWriter::WriteStreamed(*path, WithinBudget(&SmlWriter::WriteSml, Doc().Tree().GetRootNode(),
                                                                       &Doc().Tree().Rules(), textBudget_, exceeded));
    }
    if (exceeded) {
        outcome.reason = FromBytes(OutputBudget::Reason(std::nullopt, textBudget_));
    }
    if (!outcome.written) {
        ShowWarning(ExportFailureText(*path, outcome.reason, existed));
        return;
    }
    prompts_.ShowMessage(Latin1(MSG_EXPORTED));
}

} // namespace tqf
