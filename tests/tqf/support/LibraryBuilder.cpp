#include "LibraryBuilder.h"

#include "ItemFormat.h"
#include "Labels.h"
#include "TreeSurgery.h"

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
    FormatNode* message = lastMessage_ == nullptr ? TreeSurgery::AddChild(document_, nullptr, label, false)
                                                  : TreeSurgery::AddSibling(document_, lastMessage_, label, false);
    assert(message != nullptr);
    TreeSurgery::MakeMessage(document_, message);
    TreeSurgery::SetDescription(document_, message, description);
    lastMessage_ = message;
    return message;
}

FormatNode* LibraryBuilder::AddItem(FormatNode* parent, int format, std::int32_t count, std::string_view description) {
    FormatNode* item =
        TreeSurgery::AppendSubNode(document_, parent, MakeItemLabel(format, count, count == OPEN_COUNT, description));
    assert(item != nullptr);
    TreeSurgery::SetItemFormat(document_, item, format, count);
    TreeSurgery::SetDescription(document_, item, description);
    return item;
}

FormatNode* LibraryBuilder::AddList(FormatNode* parent, bool open) {
    const std::int32_t count = open ? OPEN_COUNT : 0;
    FormatNode* list = TreeSurgery::AppendSubNode(document_, parent, MakeItemLabel(LIST, count, open, {}));
    assert(list != nullptr);
    TreeSurgery::SetItemFormat(document_, list, LIST, count);
    return list;
}

} // namespace tqf
