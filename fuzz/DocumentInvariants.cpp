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
    for (const FormatNode* child = node->firstChild; child != nullptr; child = child->nextSibling) {
        ++children.count;
        children.linked = children.linked && child->parent == node;
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
    if (root->parent != nullptr || root->nextSibling != nullptr || root->isMessage != 0 || root->isList != 0) {
        return "the root is linked or flagged like another node";
    }
    const Children messages = CountChildren(root);
    if (!messages.linked) {
        return "a message does not name the root as its parent";
    }
    if (root->count != messages.count) {
        return "the root counts " + std::to_string(root->count) + " messages but holds " +
               std::to_string(messages.count);
    }
    for (const FormatNode* message = root->firstChild; message != nullptr; message = message->nextSibling) {
        if (std::string fault = CheckMessage(message); !fault.empty()) {
            return fault;
        }
        // The items, depth first with an explicit stack.
        std::vector<const FormatNode*> pending;
        if (message->firstChild != nullptr) {
            pending.push_back(message->firstChild);
        }
        while (!pending.empty()) {
            const FormatNode* item = pending.back();
            pending.pop_back();
            if (std::string fault = CheckItem(item); !fault.empty()) {
                return message->label.str() + ": " + fault;
            }
            if (item->nextSibling != nullptr) {
                pending.push_back(item->nextSibling);
            }
            if (item->firstChild != nullptr) {
                pending.push_back(item->firstChild);
            }
        }
    }
    return {};
}

std::string DocumentInvariants::CheckMessage(const FormatNode* message) {
    if (message->isMessage != 1 || message->isList != 0) {
        return "a node under the root is not flagged as a message: " + message->label.str();
    }
    const Children items = CountChildren(message);
    if (!items.linked) {
        return message->label.str() + ": its item does not name it as its parent";
    }
    if (items.count > 1 || message->count != items.count) {
        return message->label.str() + ": counts " + std::to_string(message->count) + " items but holds " +
               std::to_string(items.count);
    }
    // The label must read back as the numbers it was made from.
    const auto fields = ReadMessageLabel(message->label);
    if (!fields || MakeMessageLabel(fields->stream, fields->function, fields->replyRequired) != message->label) {
        return "a message label that the label rules do not make: " + message->label.str();
    }
    return {};
}

std::string DocumentInvariants::CheckItem(const FormatNode* item) {
    if (item->isMessage != 0) {
        return "a message below a message";
    }
    if (!IsReadableFormat(item->format) || (item->isList != 0) != (item->format == LIST)) {
        return "the item " + item->label.str() + " has the format " + std::to_string(item->format) + " and list flag " +
               std::to_string(item->isList);
    }
    const Children children = CountChildren(item);
    if (!children.linked) {
        return "a sub-item of " + item->label.str() + " does not name it as its parent";
    }
    if (item->isList == 0) {
        if (children.count != 0) {
            return "the non-list item " + item->label.str() + " has sub-items";
        }
        const bool open = item->format != VARIANT && item->count == OPEN_COUNT;
        if (item->format == VARIANT && item->count != 0) {
            return "the VARIANT item " + item->label.str() + " keeps a count";
        }
        if (item->label != MakeItemLabel(item->format, item->count, open, item->description)) {
            return "the label " + item->label.str() + " is not the one its fields make";
        }
        return {};
    }
    if (!item->description.empty()) {
        return "the list " + item->label.str() + " keeps a description";
    }
    if (item->count == OPEN_COUNT) {
        if (item->label != MakeItemLabel(LIST, OPEN_COUNT, true, {})) {
            return "the open list is labelled " + item->label.str();
        }
        return {};
    }
    if (item->count != children.count) {
        return "the list " + item->label.str() + " holds " + std::to_string(children.count) + " sub-items";
    }
    if (item->label != ListLabel(item->count)) {
        return "the fixed list of " + std::to_string(item->count) + " is labelled " + item->label.str();
    }
    return {};
}

} // namespace tqf
