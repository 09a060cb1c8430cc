#pragma once

#include "FormatTree.h"
#include "ParseTree.h"

#include <functional>

namespace tqf {

// Turns accepted statements into messages at the end of the document, with
// the labels the editor itself would give them.
class MessageBuilder {
public:
    // Called after each message has been built, for example to show the new
    // message count.
    using MessageCallback = std::function<void(FormatNode& message)>;

    // The document must not be changed by anyone else while this builder
    // appends to it: the builder remembers the last message so that appending
    // never walks the message list.
    explicit MessageBuilder(FormatTree& document, MessageCallback onMessage = {});

    // Appends the message of tree, with its items, after the last message;
    // returns the new message node. The message's description moves into the
    // document, so tree is spent afterwards.
    FormatNode* BuildMessage(ParseTree& tree);

    // Fills node from parseNode and builds the nodes of parseNode's sub-items
    // and following siblings after it, in order.
    // Works without recursion, so any nesting depth and any number of siblings
    // are fine.
    void BuildItemNodes(FormatNode* node, ParseNode* parseNode);

private:
    // The message node of tree, after the last message.
    FormatNode* AppendMessage(ParseTree& tree);
    void FillItemNode(FormatNode* node, ParseNode* parseNode);

    FormatTree& document_;
    MessageCallback onMessage_;
    FormatNode* lastMessage_ = nullptr;
};

} // namespace tqf
