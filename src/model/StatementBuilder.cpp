#include "StatementBuilder.h"

#include "ItemFormat.h"
#include "Labels.h"

#include <cassert>

namespace tqf {

StatementBuilder::StatementBuilder(FormatTree& document) : document_(document) {}

StatementBuilder::~StatementBuilder() {
    if (message_ != nullptr) {
        Discard();
    }
}

void StatementBuilder::Begin(std::size_t nodeLimit) {
    assert(message_ == nullptr && "the last statement was finished or discarded");
    message_ = document_.NewDetachedMessage();
    textsMark_ = document_.Texts().Here();
    rootItem_ = nullptr;
    levels_.clear();
    nodeCount_ = 0;
    nodeLimit_ = nodeLimit;
    overflowed_ = false;
    numberClamped = false;
}

FormatNode* StatementBuilder::NewItem(std::int32_t format) {
    // Once the first item is there, only a list takes more: after a first
    // item that is no list, nothing else belongs to the message.
    if (nodeCount_ > 0 && levels_.empty()) {
        return nullptr;
    }
    if (nodeCount_ >= nodeLimit_) {
        overflowed_ = true;
        return nullptr;
    }
    ++nodeCount_;
    if (levels_.empty()) {
        FormatNode* item = document_.NewDetachedItem(message_);
        message_->firstChild_ = item;
        message_->CountSubNode(1);
        rootItem_ = item;
        item->format_ = format;
        return item;
    }
    OpenLevel& level = levels_.back();
    FormatNode* item = document_.NewDetachedItem(level.list);
    if (level.lastChild == nullptr) {
        level.list->firstChild_ = item;
    } else {
        level.lastChild->nextSibling_ = item;
    }
    level.lastChild = item;
    level.list->CountSubNode(1);
    item->format_ = format;
    return item;
}

void StatementBuilder::OpenList(bool open) {
    FormatNode* list = NewItem(LIST);
    if (list == nullptr) {
        return;
    }
    list->isList_ = 1;
    list->count_ = open ? OPEN_COUNT : 0;
    levels_.push_back({list, nullptr});
}

void StatementBuilder::CloseList() {
    // The top-level list is never closed: items after its ">" still join it.
    if (levels_.size() > 1) {
        LabelList(levels_.back().list);
        levels_.pop_back();
    }
}

void StatementBuilder::AddItem(std::int32_t format, std::int32_t count, std::string_view description) {
    FormatNode* item = NewItem(format);
    if (item == nullptr) {
        return;
    }
    // A VARIANT item keeps no count.
    const bool variant = format == VARIANT;
    item->count_ = variant ? 0 : count;
    const bool open = !variant && count == OPEN_COUNT;
    // The label is written straight into the document's storage, and the
    // description is the part of it that the label ends with.
    TextArena& texts = document_.Texts();
    char* out = texts.Room(ItemLabelRoom(description.size()));
    const std::size_t size = WriteItemLabel(out, format, item->count_, open, description);
    item->label_ = texts.Commit(size);
    item->description_ =
        description.empty() ? NodeText{} : item->label_.Sub(size - 1 - description.size(), description.size());
}

void StatementBuilder::LabelList(FormatNode* list) {
    // A list's sub-items are all there once it is closed, so it is labelled
    // once, by the same rule as the tree labels a list.
    list->label_ = document_.ListLabelText(list->count_);
}

void StatementBuilder::FindLastMessage() {
    lastMessage_ = nullptr;
    for (FormatNode* m = document_.GetRootNode()->FirstChild(); m != nullptr; m = m->NextSibling()) {
        lastMessage_ = m;
    }
    lastMessageFound_ = true;
}

FormatNode* StatementBuilder::Finish(const MessageHeader& header) {
    for (auto level = levels_.rbegin(); level != levels_.rend(); ++level) {
        LabelList(level->list);
    }
    levels_.clear();
    FormatNode* message = message_;
    message_ = nullptr;
    message->isMessage_ = 1;
    TextArena& texts = document_.Texts();
    char* out = texts.Room(MESSAGE_LABEL_ROOM);
    message->label_ = texts.Commit(WriteMessageLabel(out, header.stream, header.function, header.replyRequired != 0));
    message->description_ = texts.Store(header.description);
    if (!lastMessageFound_) {
        FindLastMessage();
    }
    while (lastMessage_ != nullptr && lastMessage_->NextSibling() != nullptr) {
        lastMessage_ = lastMessage_->NextSibling();
    }
    document_.LinkBuiltMessage(message, lastMessage_);
    lastMessage_ = message;
    return message;
}

void StatementBuilder::Discard() {
    document_.DiscardDetached(message_);
    document_.Texts().RollBack(textsMark_);
    message_ = nullptr;
    rootItem_ = nullptr;
    levels_.clear();
}

} // namespace tqf
