#include "DocumentInvariants.h"

#include "ItemFormat.h"
#include "Labels.h"

#include <cstdint>
#include <vector>

namespace tqf {

namespace {

// The number of direct sub-nodes of node, and whether each names node as its
// parent.
struct Children {
    std::int64_t count = 0;
    bool linked = true;
};

Children CountChildren(const FormatNode* node) {
    Children children;
    for (const FormatNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
        ++children.count;
        children.linked = children.linked && child->Parent() == node;
    }
    return children;
}

bool IsReadableFormat(std::int32_t format) {
    return format == LIST || (format >= BINARY && format <= FLOAT8) || format == VARIANT;
}

} // namespace

std::string DocumentInvariants::Check(const FormatNode* root) {
    if (root == nullptr) {
        return "no root";
    }
    if (root->Parent() != nullptr || root->NextSibling() != nullptr || root->IsMessage() != 0 || root->IsList() != 0) {
        return "the root is linked or flagged like another node";
    }
    const Children messages = CountChildren(root);
    if (!messages.linked) {
        return "a message does not name the root as its parent";
    }
    if (root->Count() != messages.count) {
        return "the root counts " + std::to_string(root->Count()) + " messages but holds " +
               std::to_string(messages.count);
    }
    for (const FormatNode* message = root->FirstChild(); message != nullptr; message = message->NextSibling()) {
        if (std::string fault = CheckMessage(message); !fault.empty()) {
            return fault;
        }
        // The items, depth first with an explicit stack.
        std::vector<const FormatNode*> pending;
        if (message->FirstChild() != nullptr) {
            pending.push_back(message->FirstChild());
        }
        while (!pending.empty()) {
            const FormatNode* item = pending.back();
            pending.pop_back();
            if (std::string fault = CheckItem(item); !fault.empty()) {
                return message->Label().str() + ": " + fault;
            }
            if (item->NextSibling() != nullptr) {
                pending.push_back(item->NextSibling());
            }
            if (item->FirstChild() != nullptr) {
                pending.push_back(item->FirstChild());
            }
        }
    }
    return {};
}

std::string DocumentInvariants::CheckMessage(const FormatNode* message) {
    if (message->IsMessage() != 1 || message->IsList() != 0) {
        return "a node under the root is not flagged as a message: " + message->Label().str();
    }
    const Children items = CountChildren(message);
    if (!items.linked) {
        return message->Label().str() + ": its item does not name it as its parent";
    }
    if (items.count > 1 || message->Count() != items.count) {
        return message->Label().str() + ": counts " + std::to_string(message->Count()) + " items but holds " +
               std::to_string(items.count);
    }
    // The label must read back as the numbers it was made from.
    const auto fields = ReadMessageLabel(message->Label());
    if (!fields || MakeMessageLabel(fields->stream, fields->function, fields->replyRequired) != message->Label()) {
        return "a message label that the label rules do not make: " + message->Label().str();
    }
    return {};
}

std::string DocumentInvariants::CheckItem(const FormatNode* item) {
    if (item->IsMessage() != 0) {
        return "a message below a message";
    }
    if (!IsReadableFormat(item->Format()) || (item->IsList() != 0) != (item->Format() == LIST)) {
        return "the item " + item->Label().str() + " has the format " + std::to_string(item->Format()) +
               " and list flag " + std::to_string(item->IsList());
    }
    const Children children = CountChildren(item);
    if (!children.linked) {
        return "a sub-item of " + item->Label().str() + " does not name it as its parent";
    }
    if (item->IsList() == 0) {
        if (children.count != 0) {
            return "the non-list item " + item->Label().str() + " has sub-items";
        }
        const bool open = item->Format() != VARIANT && item->Count() == OPEN_COUNT;
        if (item->Format() == VARIANT && item->Count() != 0) {
            return "the VARIANT item " + item->Label().str() + " keeps a count";
        }
        if (item->Label() != MakeItemLabel(item->Format(), item->Count(), open, item->Description())) {
            return "the label " + item->Label().str() + " is not the one its fields make";
        }
        return {};
    }
    if (!item->Description().empty()) {
        return "the list " + item->Label().str() + " keeps a description";
    }
    if (item->Count() == OPEN_COUNT) {
        if (item->Label() != MakeItemLabel(LIST, OPEN_COUNT, true, {})) {
            return "the open list is labelled " + item->Label().str();
        }
        return {};
    }
    if (item->Count() != children.count) {
        return "the list " + item->Label().str() + " holds " + std::to_string(children.count) + " sub-items";
    }
    if (item->Label() != ListLabel(item->Count())) {
        return "the fixed list of " + std::to_string(item->Count()) + " is labelled " + item->Label().str();
    }
    return {};
}

} // namespace tqf
