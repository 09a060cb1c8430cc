#pragma once

#include <string_view>

namespace tqf {

class FormatNode;

// How a FormatTree talks back to its owner.
class FormatTreeListener {
public:
    virtual ~FormatTreeListener() = default;

    // One of the two refusals of the node operations that build a document,
    // for a modal message box. The editing operations return theirs instead.
    virtual void ShowTreeMessage(std::string_view text) = 0;

    // The whole view should be repainted.
    virtual void RequestRepaint() = 0;

    // subtreeRoot and everything below it is about to be deleted (for the root
    // itself: everything below it). Holders of node references clear the ones
    // that point into it; FormatTree::IsWithin tells.
    virtual void NodesAboutToBeDeleted(const FormatNode& subtreeRoot) = 0;

    // The sub-nodes of parent have changed (a node was added or removed).
    virtual void StructureChanged(const FormatNode& parent) { (void)parent; }

    // node has just been linked into the tree, with whatever sub-tree it
    // holds (called before StructureChanged of its parent).
    virtual void NodeAdded(const FormatNode& node) { (void)node; }

    // node's own fields (label, description, count, format) have changed.
    virtual void NodeChanged(const FormatNode& node) { (void)node; }

    // node has changed places with a sibling next to it.
    virtual void NodeMoved(const FormatNode& node) { (void)node; }

    // The history has moved, after the change: a step was recorded, undone
    // or made again, the steps were dropped, or the saved state was set.
    virtual void HistoryChanged() {}
};

} // namespace tqf
