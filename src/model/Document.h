#pragma once

#include "DocumentListener.h"
#include "FileStamp.h"
#include "FormatTree.h"
#include "FormatTreeListener.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tqf {

// What the editor has open: the tree of messages, the file it belongs to and
// whether the two differ. Whether it is modified is never set by a command:
// it follows from the history alone (the document is not at the state last
// saved or opened).
// Every change of the tree passes through here on its way to the view, so
// that the listener hears of each change of the modified state and of the
// message count as it happens.
class Document final : private FormatTreeListener {
public:
    // treeListener hears of every change of the tree, as FormatTree's own
    // listener would.
    explicit Document(FormatTreeListener* treeListener = nullptr);
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document() override;

    FormatTree& Tree() { return tree_; }
    const FormatTree& Tree() const { return tree_; }

    void SetListener(DocumentListener* listener);

    // The document differs from its file: it is not at the state last saved
    // or opened.
    bool IsModified() const { return !tree_.AtSavedState(); }
    std::int32_t MessageCount() const { return tree_.GetRootNode()->Count(); }

    // A change that alters nothing, such as a message refused for its
    // numbers, counts as one: the history holds it, so that only a save or a
    // step back past it makes the document what its file holds again.
    void RecordUnalteredChange() { tree_.RecordUnalteredChange(); }

    // The document as it is now is what its file holds (Save, Open).
    void MarkSaved();

    // The file the document belongs to, in the file system's bytes (empty:
    // none yet), and what the file was when last read or written here.
    const std::string& Path() const { return path_; }
    const std::optional<FileStamp>& Stamp() const { return stamp_; }
    void SetFile(std::string path, std::optional<FileStamp> stamp);

    // Drops the history; the document stays modified or not as it was.
    void StartHistory();

    // Take back or make again a step; the node to show, as FormatTree's.
    // Whether the document is then modified follows from the history alone.
    std::optional<FormatNode*> Undo();
    std::optional<FormatNode*> Redo();

private:
    void ShowTreeMessage(std::string_view text) override;
    void RequestRepaint() override;
    void NodesAboutToBeDeleted(const FormatNode& subtreeRoot) override;
    void StructureChanged(const FormatNode& parent) override;
    void NodeAdded(const FormatNode& node) override;
    void NodeChanged(const FormatNode& node) override;
    void NodeMoved(const FormatNode& node) override;
    void HistoryChanged() override;

    // Tells the listener what changed since it was last told: the count and
    // the modified state, or the count alone.
    void Report();
    void ReportCount();

    FormatTreeListener* treeListener_;
    FormatTree tree_;
    DocumentListener* listener_ = nullptr;
    std::string path_;
    std::optional<FileStamp> stamp_;
    // What the listener was last told.
    bool reportedModified_ = false;
    std::int32_t reportedCount_ = 0;
};

} // namespace tqf
