#pragma once

#include "FormatTree.h"

#include <cstdint>
#include <string>

namespace tqf {

// Builds a document in memory the way the editor's commands do: messages at
// the end of the document, items at the end of their parent, labels made by
// the label rules and kept up to date by the tree's operations.
class LibraryBuilder {
public:
    explicit LibraryBuilder(FormatTree& document);

    FormatNode* AddMessage(std::int32_t stream, std::int32_t function, bool replyRequired,
                           std::string_view description = {});

    // A non-list item under a message or a list; count OPEN_COUNT for "Not Fixed".
    FormatNode* AddItem(FormatNode* parent, int format, std::int32_t count, std::string_view description = {});

    // A list under a message or a list, fixed (its count follows its items) or open.
    FormatNode* AddList(FormatNode* parent, bool open = false);

private:
    FormatTree& document_;
    FormatNode* lastMessage_ = nullptr;
};

} // namespace tqf
