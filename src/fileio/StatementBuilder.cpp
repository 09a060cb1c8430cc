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
    scratch_.resize(ItemLabelRoom(description.size()));
    scratch_.resize(WriteItemLabel(scratch_.data(), format, item->count, open, description));
    item->label = scratch_;
    item->description = description;
}

void StatementBuilder::LabelList(FormatNode* list) {
    // A list's sub-items are all there once it is closed, so it is labelled once.
    scratch_.resize(ItemLabelRoom(0));
    scratch_.resize(WriteItemLabel(scratch_.data(), LIST, list->count, list->count == OPEN_COUNT, {}));
    list->label = scratch_;
}

FormatNode* StatementBuilder::Finish(const MessageHeader& header, FormatNode* after) {
    for (auto level = levels_.rbegin(); level != levels_.rend(); ++level) {
        LabelList(level->list);
    }
    levels_.clear();
    FormatNode* message = message_;
    message_ = nullptr;
    message->isMessage = 1;
    char label[MESSAGE_LABEL_ROOM];
    message->label.assign(label, WriteMessageLabel(label, header.stream, header.function, header.replyRequired != 0));
    message->description = header.description;
    document_.LinkBuiltMessage(message, after);
    return message;
}

void StatementBuilder::Discard() {
    document_.DiscardDetached(message_);
    message_ = nullptr;
    rootItem_ = nullptr;
    levels_.clear();
}

} // namespace tqf
