#include "LibraryBuilder.h"

#include "ItemFormat.h"
#include "Labels.h"

#include <cassert>

namespace tqf {

LibraryBuilder::LibraryBuilder(FormatTree& document) : document_(document) {
    for (FormatNode* m = document_.GetRootNode()->FirstChild(); m != nullptr; m = m->NextSibling()) {
        lastMessage_ = m;
    }
}

FormatNode* LibraryBuilder::AddMessage(std::int32_t stream, std::int32_t function, bool replyRequired,
                                       std::string_view description) {
    std::string label = MakeMessageLabel(stream, function, replyRequired);
    FormatNode* message = lastMessage_ == nullptr ? document_.AddChild(nullptr, label, false)
                                                  : document_.AddSibling(lastMessage_, label, false);
    assert(message != nullptr);
    document_.MakeMessage(message);
    document_.SetDescription(message, description);
    lastMessage_ = message;
    return message;
}

FormatNode* LibraryBuilder::AddItem(FormatNode* parent, int format, std::int32_t count, std::string_view description) {
    FormatNode* item = document_.AppendSubNode(parent, MakeItemLabel(format, count, count == OPEN_COUNT, description));
    assert(item != nullptr);
    document_.SetItemFormat(item, format, count);
    document_.SetDescription(item, description);
    return item;
}

FormatNode* LibraryBuilder::AddList(FormatNode* parent, bool open) {
    const std::int32_t count = open ? OPEN_COUNT : 0;
    FormatNode* list = document_.AppendSubNode(parent, MakeItemLabel(LIST, count, open, {}));
    assert(list != nullptr);
    document_.SetItemFormat(list, LIST, count);
    return list;
}

} // namespace tqf
