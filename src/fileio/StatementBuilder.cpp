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
        message_->firstChild = item;
        message_->count = 1;
        rootItem_ = item;
        item->format = format;
        return item;
    }
    OpenLevel& level = levels_.back();
    FormatNode* item = document_.NewDetachedItem(level.list);
    if (level.lastChild == nullptr) {
        level.list->firstChild = item;
    } else {
        level.lastChild->nextSibling = item;
    }
    level.lastChild = item;
    if (level.list->count != OPEN_COUNT) {
        ++level.list->count;
    }
    item->format = format;
    return item;
}

void StatementBuilder::OpenList(bool open) {
    FormatNode* list = NewItem(LIST);
    if (list == nullptr) {
        return;
    }
    list->isList = 1;
    list->count = open ? OPEN_COUNT : 0;
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
    item->count = variant ? 0 : count;
    const bool open = !variant && count == OPEN_COUNT;
    // The label is written straight into the document's storage, and the
    // description is the part of it that the label ends with.
    TextArena& texts = document_.Texts();
    char* out = texts.Room(ItemLabelRoom(description.size()));
    const std::size_t size = WriteItemLabel(out, format, item->count, open, description);
    item->label = texts.Commit(size);
    item->description =
        description.empty() ? NodeText{} : item->label.Sub(size - 1 - description.size(), description.size());
}

void StatementBuilder::LabelList(FormatNode* list) {
    // A list's sub-items are all there once it is closed, so it is labelled
    // once; nearly every list has a label that is a constant.
    if (list->count == OPEN_COUNT) {
        list->label = NodeText::Constant("<L[n]>");
        return;
    }
    list->label = ConstantListLabel(list->count);
    if (list->label.empty()) {
        TextArena& texts = document_.Texts();
        char* out = texts.Room(ItemLabelRoom(0));
        list->label = texts.Commit(WriteItemLabel(out, LIST, list->count, false, {}));
    }
}

void StatementBuilder::FindLastMessage() {
    lastMessage_ = nullptr;
    for (FormatNode* m = document_.GetRootNode()->firstChild; m != nullptr; m = m->nextSibling) {
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
    message->isMessage = 1;
    TextArena& texts = document_.Texts();
    char* out = texts.Room(MESSAGE_LABEL_ROOM);
    message->label = texts.Commit(WriteMessageLabel(out, header.stream, header.function, header.replyRequired != 0));
    message->description = texts.Store(header.description);
    if (!lastMessageFound_) {
        FindLastMessage();
    }
    while (lastMessage_ != nullptr && lastMessage_->nextSibling != nullptr) {
        lastMessage_ = lastMessage_->nextSibling;
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
