#include "SmlMerge.h"

#include "ItemFormat.h"
#include "Labels.h"
#include "StatementBuilder.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace tqf {

namespace {

// An item and what it holds, apart from any document.
struct Shape {
    std::int32_t format = VARIANT;
    std::int32_t count = 0;
    std::string description;
    std::vector<Shape> items;
};

Shape ShapeOf(const FormatNode* node) {
    Shape shape{node->Format(), node->Count(), node->Description().str(), {}};
    for (const FormatNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
        shape.items.push_back(ShapeOf(child));
    }
    return shape;
}

// What a fold changed, for the report.
struct Folded {
    bool opened = false;
    bool variant = false;
};

void Generalize(Shape& into, const Shape& other, Folded& folded);

// The one item that accepts every item of both lists, as the pattern of an
// open list: lists whose lengths differ hold items alike, or any.
void FoldIntoOne(Shape& list, const Shape& other, Folded& folded) {
    std::vector<Shape> all = std::move(list.items);
    all.insert(all.end(), other.items.begin(), other.items.end());
    list.items.clear();
    if (all.empty()) {
        return;
    }
    Shape pattern = std::move(all.front());
    for (std::size_t i = 1; i < all.size(); ++i) {
        Generalize(pattern, all[i], folded);
    }
    list.items.push_back(std::move(pattern));
}

// Makes into the least general item, of those tried, that accepts what into
// and other accept.
void Generalize(Shape& into, const Shape& other, Folded& folded) {
    if (into.description.empty()) {
        into.description = other.description;
    }
    if (into.format == VARIANT) {
        return;
    }
    if (into.format != other.format || other.format == VARIANT) {
        into = Shape{VARIANT, 0, std::move(into.description), {}};
        folded.variant = true;
        return;
    }
    if (into.format != LIST) {
        if (into.count != other.count) {
            into.count = OPEN_COUNT;
            folded.opened = true;
        }
        return;
    }
    const bool open = into.count == OPEN_COUNT;
    if (open == (other.count == OPEN_COUNT) && into.items.size() == other.items.size()) {
        for (std::size_t i = 0; i < into.items.size(); ++i) {
            Generalize(into.items[i], other.items[i], folded);
        }
        return;
    }
    into.count = OPEN_COUNT;
    folded.opened = true;
    FoldIntoOne(into, other, folded);
}

void Build(StatementBuilder& builder, const Shape& shape) {
    if (shape.format != LIST) {
        builder.AddItem(shape.format, shape.count, shape.description);
        return;
    }
    builder.OpenList(shape.count == OPEN_COUNT);
    for (const Shape& item : shape.items) {
        Build(builder, item);
    }
    builder.CloseList();
}

std::string Label(std::int32_t stream, std::int32_t function) { return MakeMessageLabel(stream, function, false); }

// One definition to be made: the messages of one stream, function and reply
// flag, with an item or without.
struct Group {
    MessageLabelFields fields;
    std::string description;
    std::optional<Shape> item;
    std::size_t messages = 0;
    Folded folded;
};

} // namespace

std::vector<std::string> SmlMerge::Merge(const FormatNode* library, FormatTree& merged) {
    std::vector<Group> groups;
    std::map<std::tuple<std::int32_t, std::int32_t, bool, bool>, std::size_t> index;
    std::map<std::pair<std::int32_t, std::int32_t>, std::set<bool>> replies;
    for (const FormatNode* message = library->FirstChild(); message != nullptr; message = message->NextSibling()) {
        const std::optional<MessageLabelFields> fields = ReadMessageLabel(message->Label());
        if (!fields) {
            continue;
        }
        const FormatNode* top = message->FirstChild();
        replies[{fields->stream, fields->function}].insert(fields->replyRequired);
        const auto [found, added] = index.try_emplace(
            std::tuple(fields->stream, fields->function, fields->replyRequired, top != nullptr), groups.size());
        if (added) {
            groups.push_back({*fields, message->Description().str(), std::nullopt, 0, {}});
            if (top != nullptr) {
                groups.back().item = ShapeOf(top);
            }
        } else if (Group& group = groups[found->second]; top != nullptr) {
            Generalize(*group.item, ShapeOf(top), group.folded);
            if (group.description.empty()) {
                group.description = message->Description().str();
            }
        }
        ++groups[found->second].messages;
    }
    std::vector<std::string> notes;
    StatementBuilder builder(merged);
    builder.FindLastMessage();
    for (const Group& group : groups) {
        builder.Begin(std::numeric_limits<std::size_t>::max());
        if (group.item) {
            Build(builder, *group.item);
        }
        MessageHeader header;
        header.stream = group.fields.stream;
        header.function = group.fields.function;
        header.replyRequired = group.fields.replyRequired ? 1 : 0;
        header.description = group.description;
        builder.Finish(header);
        if (group.messages > 1) {
            notes.push_back(MakeMessageLabel(group.fields.stream, group.fields.function, group.fields.replyRequired) +
                            ": " + std::to_string(group.messages) + " messages in one definition" +
                            (group.folded.opened ? ", counts that vary made open" : "") +
                            (group.folded.variant ? ", items of different formats made VARIANT" : ""));
        }
    }
    for (const auto& [key, flags] : replies) {
        if (flags.size() > 1) {
            notes.push_back(Label(key.first, key.second) + ": sent with W and without: a definition of each");
        }
    }
    return notes;
}

std::vector<std::string> SmlMerge::Duplicates(const FormatNode* library) {
    // For each stream and function, its definitions and how many differ.
    std::map<std::pair<std::int32_t, std::int32_t>, std::pair<std::size_t, std::set<std::string>>> defined;
    const auto key = [](const FormatNode* node, std::string& into, const auto& self) -> void {
        for (const FormatNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
            into += std::to_string(child->Format()) + ':' + std::to_string(child->Count()) + '(';
            self(child, into, self);
            into += ')';
        }
    };
    for (const FormatNode* message = library->FirstChild(); message != nullptr; message = message->NextSibling()) {
        if (const std::optional<MessageLabelFields> fields = ReadMessageLabel(message->Label())) {
            auto& [count, structures] = defined[{fields->stream, fields->function}];
            ++count;
            std::string structure = fields->replyRequired ? "W" : "";
            key(message, structure, key);
            structures.insert(std::move(structure));
        }
    }
    std::vector<std::string> notes;
    for (const auto& [label, definitions] : defined) {
        if (definitions.first > 1) {
            const std::size_t distinct = definitions.second.size();
            notes.push_back(Label(label.first, label.second) + " defined " + std::to_string(definitions.first) +
                            " times (" + std::to_string(distinct) + (distinct == 1 ? " structure" : " structures") +
                            "); --merge makes one definition of them");
        }
    }
    return notes;
}

} // namespace tqf
