#include "MessageBuilder.h"
#include "DeferredListLabels.h"

#include "Labels.h"
#include "TreeSurgery.h"

#include <cassert>
#include <utility>
#include <vector>

namespace tqf {

MessageBuilder::MessageBuilder(FormatTree& document, MessageCallback onMessage)
    : document_(document), onMessage_(std::move(onMessage)) {
    for (FormatNode* m = document_.GetRootNode()->FirstChild(); m != nullptr; m = m->NextSibling()) {
        lastMessage_ = m;
    }
}

FormatNode* MessageBuilder::BuildMessage(ParseTree& tree) {
    FormatNode* message = nullptr;
    {
        // Each list is given its final label as it is filled in; relabelling
        // it for every sub-item on the way would only repeat that.
        DeferredListLabels deferred(document_);
        message = AppendMessage(tree);
        if (ParseNode* rootItem = tree.RootItem(); rootItem != nullptr) {
            FormatNode* item = TreeSurgery::AddChild(document_, message, std::string{}, false);
            TreeSurgery::SetItemFormat(document_, item, rootItem->kind, 0);
            BuildItemNodes(item, rootItem);
        }
    }
    if (onMessage_) {
        onMessage_(*message);
    }
    return message;
}

FormatNode* MessageBuilder::AppendMessage(ParseTree& tree) {
    std::string label = MakeMessageLabel(tree.stream, tree.function, tree.replyRequired != 0);
    // Messages appended by someone else since the last one built here are
    // passed over, so the new message still goes to the end.
    while (lastMessage_ != nullptr && lastMessage_->NextSibling() != nullptr) {
        lastMessage_ = lastMessage_->NextSibling();
    }
    FormatNode* message = lastMessage_ == nullptr ? TreeSurgery::AddChild(document_, nullptr, label, false)
                                                  : TreeSurgery::AddSibling(document_, lastMessage_, label, false);
    assert(message != nullptr && "the root and its messages always take a new message");
    TreeSurgery::MakeMessage(document_, message);
    TreeSurgery::SetDescription(document_, message, tree.description);
    lastMessage_ = message;
    return message;
}

void MessageBuilder::FillItemNode(FormatNode* node, ParseNode* parseNode) {
    std::int32_t count = parseNode->count;
    if (parseNode->kind == LIST) {
        count = parseNode->open != 0 ? OPEN_COUNT : node->Count();
    }
    TreeSurgery::SetItemFormat(document_, node, parseNode->kind, count);
    TreeSurgery::SetLabel(document_, node,
                          MakeItemLabel(parseNode->kind, parseNode->count, parseNode->open != 0, parseNode->text));
    // A copy: the parse node keeps its buffer for the next statement.
    TreeSurgery::SetDescription(document_, node, parseNode->text);
}

void MessageBuilder::BuildItemNodes(FormatNode* node, ParseNode* parseNode) {
    // Depth first, each node before its sub-items and those before its next
    // sibling. The stack holds the pairs whose siblings are still to come.
    struct Pending {
        FormatNode* node;
        ParseNode* parseNode;
    };
    std::vector<Pending> pending;
    while (true) {
        FillItemNode(node, parseNode);
        if (parseNode->firstChild != nullptr) {
            pending.push_back({node, parseNode});
            node = TreeSurgery::AddChild(document_, node, std::string{}, false);
            parseNode = parseNode->firstChild;
            continue;
        }
        while (parseNode->nextSibling == nullptr && !pending.empty()) {
            node = pending.back().node;
            parseNode = pending.back().parseNode;
            pending.pop_back();
        }
        if (parseNode->nextSibling == nullptr) {
            return;
        }
        node = TreeSurgery::AddSibling(document_, node, std::string{}, false);
        parseNode = parseNode->nextSibling;
    }
}

} // namespace tqf
