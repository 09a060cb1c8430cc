#include "Document.h"

#include <utility>

namespace tqf {

Document::Document(FormatTreeListener* treeListener) : treeListener_(treeListener), tree_(this) {}

Document::~Document() {
    // The tree's last deletions are nobody's business any more.
    tree_.SetListener(nullptr);
}

void Document::SetListener(DocumentListener* listener) {
    listener_ = listener;
    reportedModified_ = IsModified();
    reportedCount_ = MessageCount();
}

void Document::MarkSaved() {
    tree_.MarkSaved();
    Report();
}

void Document::SetFile(std::string path, std::optional<FileStamp> stamp) {
    path_ = std::move(path);
    stamp_ = stamp;
}

void Document::StartHistory() {
    const bool modified = IsModified();
    tree_.ClearHistory();
    // A cleared history names no saved state, so only an unmodified
    // document needs to be marked as its file.
    if (!modified) {
        tree_.MarkSaved();
    }
    Report();
}

std::optional<FormatNode*> Document::Undo() {
    std::optional<FormatNode*> shown = tree_.Undo();
    Report();
    return shown;
}

std::optional<FormatNode*> Document::Redo() {
    std::optional<FormatNode*> shown = tree_.Redo();
    Report();
    return shown;
}

void Document::Report() {
    ReportCount();
    if (listener_ == nullptr) {
        return;
    }
    const bool modified = IsModified();
    if (modified != reportedModified_) {
        reportedModified_ = modified;
        listener_->ModifiedChanged(modified);
    }
}

void Document::ReportCount() {
    const std::int32_t count = MessageCount();
    if (listener_ != nullptr && count != reportedCount_) {
        reportedCount_ = count;
        listener_->MessageCountChanged(count);
    }
}

// ---- The tree's changes, passed on ----

void Document::ShowTreeMessage(std::string_view text) {
    if (treeListener_ != nullptr) {
        treeListener_->ShowTreeMessage(text);
    }
}

void Document::RequestRepaint() {
    if (treeListener_ != nullptr) {
        treeListener_->RequestRepaint();
    }
}

void Document::NodesAboutToBeDeleted(const FormatNode& subtreeRoot) {
    if (treeListener_ != nullptr) {
        treeListener_->NodesAboutToBeDeleted(subtreeRoot);
    }
}

void Document::StructureChanged(const FormatNode& parent) {
    if (treeListener_ != nullptr) {
        treeListener_->StructureChanged(parent);
    }
    // Halfway through a step the history has not moved yet, so only the
    // count is told now; the modified state follows when it has.
    if (&parent == tree_.GetRootNode()) {
        ReportCount();
    }
}

void Document::NodeAdded(const FormatNode& node) {
    if (treeListener_ != nullptr) {
        treeListener_->NodeAdded(node);
    }
}

void Document::NodeChanged(const FormatNode& node) {
    if (treeListener_ != nullptr) {
        treeListener_->NodeChanged(node);
    }
}

void Document::NodeMoved(const FormatNode& node) {
    if (treeListener_ != nullptr) {
        treeListener_->NodeMoved(node);
    }
}

void Document::HistoryChanged() {
    if (treeListener_ != nullptr) {
        treeListener_->HistoryChanged();
    }
    Report();
}

} // namespace tqf
