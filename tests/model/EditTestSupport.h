#pragma once

#include "FormatTree.h"

#include <string>
#include <vector>

namespace tqf::test {

// Records what the tree reports.
class Listener : public FormatTreeListener {
public:
    void ShowTreeMessage(std::string_view text) override { messages.emplace_back(text); }
    void RequestRepaint() override {}
    void NodesAboutToBeDeleted(const FormatNode& subtreeRoot) override { deleted.push_back(&subtreeRoot); }
    void NodeAdded(const FormatNode& node) override { added.push_back(&node); }
    void NodeChanged(const FormatNode& node) override { changed.push_back(&node); }
    void NodeMoved(const FormatNode& node) override { moved.push_back(&node); }

    std::vector<std::string> messages;
    std::vector<const FormatNode*> deleted;
    std::vector<const FormatNode*> added;
    std::vector<const FormatNode*> changed;
    std::vector<const FormatNode*> moved;
};

// Every field of every node that the document consists of, one line per node
// in document order, indented by depth; the root's count and label too.
inline std::string Dump(const FormatTree& tree) {
    const FormatNode* root = tree.GetRootNode();
    std::string out = "root " + std::to_string(root->Count()) + " " + root->Label().str() + "\n";
    std::vector<std::pair<const FormatNode*, int>> pending;
    if (root->FirstChild() != nullptr) {
        pending.emplace_back(root->FirstChild(), 1);
    }
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        out += std::string(static_cast<std::size_t>(depth), '\t') + node->Label().str() + "|" +
               node->Description().str() + "|" + std::to_string(node->Count()) + "|" + std::to_string(node->Format()) +
               "|" + std::to_string(node->IsList()) + std::to_string(node->IsMessage()) + "\n";
        if (node->NextSibling() != nullptr) {
            pending.emplace_back(node->NextSibling(), depth);
        }
        if (node->FirstChild() != nullptr) {
            pending.emplace_back(node->FirstChild(), depth + 1);
        }
    }
    return out;
}

inline std::vector<std::string> ChildLabels(const FormatNode* parent) {
    std::vector<std::string> labels;
    for (const FormatNode* c = parent->FirstChild(); c != nullptr; c = c->NextSibling()) {
        labels.push_back(c->Label().str());
    }
    return labels;
}

} // namespace tqf::test
