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

bool IsMaximum(std::int32_t format) { return format == ASCII || format == JIS8 || format == BINARY; }

// What the definitions of one place accept of an item's size, all told.
struct Sizes {
    bool bounded = true; // false: any size
    CountRange range;
    // The definitions do not all accept the same sizes.
    bool vary = false;

    void Add(const Sizes& other) {
        vary = vary || other.vary || bounded != other.bounded || (bounded && range != other.range);
        bounded = bounded && other.bounded;
        range.min = std::min(range.min, other.range.min);
        range.max = std::max(range.max, other.range.max);
    }
};

struct Place;

// The items of one format seen at a place, folded.
struct Form {
    std::int32_t format = VARIANT;
    std::int32_t count = 0;
    std::vector<Place> items; // a list's
    std::size_t times = 1;    // items of that format seen
};

// An item's place in the messages of one definition, and what was seen
// there: the forms of each format, the sizes every definition accepted,
// and the rules they held.
struct Place {
    std::vector<Form> forms; // in the order their formats came
    bool anyFormat = false;  // a VARIANT came: the place takes anything
    Sizes sizes;
    std::vector<std::int32_t> ruledFormats; // allowed by the rules held besides those seen
    NodeRules rules;                        // values, texts and optional, as they held for all
    bool ruled = false;                     // the item had rules of its own
    bool formatsRuled = false;              // and among them formats
    bool countRuled = false;                // or a count range
    std::string description;
};

struct Folded {
    bool opened = false;
    bool formats = false;
};

// What a definition, with the rules it is held to, accepts of an item's size.
Sizes SizesOf(const FormatNode* node, const NodeRules* rules) {
    Sizes sizes;
    if (rules != nullptr && rules->count) {
        sizes.range = *rules->count;
        sizes.bounded = rules->count->max != CountRange::NO_MAX;
        return sizes;
    }
    // An item of another format that the rules allow is held to no count.
    const bool others = rules != nullptr && rules->formats.size() > 1;
    if (others || node->Format() == VARIANT || node->Count() == OPEN_COUNT) {
        sizes.bounded = false;
        return sizes;
    }
    // A count below 1 is written, and read back, as 1.
    const std::int64_t count = node->IsList() ? node->Count() : std::max(node->Count(), 1);
    sizes.range = {IsMaximum(node->Format()) ? 0 : count, count};
    return sizes;
}

Place PlaceOf(const FormatNode* node, const RuleBook* book) {
    Place place;
    const NodeRules* own = book != nullptr ? book->Of(node) : nullptr;
    const NodeRules* rules = book != nullptr ? book->EffectiveFor(node) : nullptr;
    place.description = node->Description().str();
    place.anyFormat = node->Format() == VARIANT && (rules == nullptr || rules->formats.empty());
    place.sizes = SizesOf(node, rules);
    place.ruled = own != nullptr && !own->Empty();
    place.formatsRuled = place.ruled && !own->formats.empty();
    place.countRuled = place.ruled && own->count.has_value();
    if (rules != nullptr) {
        for (const std::int32_t format : rules->formats) {
            if (format != node->Format()) {
                place.ruledFormats.push_back(format);
            }
        }
        place.rules.values = rules->values;
        place.rules.texts = rules->texts;
        place.rules.optional = rules->optional;
    }
    if (own != nullptr) {
        place.rules.unreadLines = own->unreadLines;
    }
    Form form{node->Format(), node->Count(), {}, 1};
    for (const FormatNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
        form.items.push_back(PlaceOf(child, book));
    }
    place.forms.push_back(std::move(form));
    return place;
}

void Generalize(Place& into, Place&& other, Folded& folded);

// The one place that accepts every item of both lists, as the pattern of
// an open list: lists whose lengths differ hold items alike, or any.
void FoldIntoOne(Form& list, std::vector<Place>&& others, Folded& folded) {
    std::vector<Place> all = std::move(list.items);
    for (Place& place : others) {
        all.push_back(std::move(place));
    }
    list.items.clear();
    if (all.empty()) {
        return;
    }
    Place pattern = std::move(all.front());
    for (std::size_t i = 1; i < all.size(); ++i) {
        Generalize(pattern, std::move(all[i]), folded);
    }
    list.items.push_back(std::move(pattern));
}

// Folds a form of other into the form of the same format.
void GeneralizeForm(Form& into, Form&& other, Folded& folded) {
    into.times += other.times;
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
            Generalize(into.items[i], std::move(other.items[i]), folded);
        }
        return;
    }
    into.count = OPEN_COUNT;
    folded.opened = true;
    FoldIntoOne(into, std::move(other.items), folded);
}

// Rules that hold for what either held: a rule only one of them had holds
// for neither.
void Unite(NodeRules& into, const NodeRules& other) {
    const auto unite = [](auto& mine, const auto& theirs) {
        if (mine.empty() || theirs.empty()) {
            mine.clear();
            return;
        }
        for (const auto& value : theirs) {
            if (std::ranges::find(mine, value) == mine.end()) {
                mine.push_back(value);
            }
        }
    };
    unite(into.values, other.values);
    unite(into.texts, other.texts);
    into.optional = into.optional && other.optional;
    // Lines no one could read are kept, whoever held them.
    for (const std::string& line : other.unreadLines) {
        if (std::ranges::find(into.unreadLines, line) == into.unreadLines.end()) {
            into.unreadLines.push_back(line);
        }
    }
}

// Makes into the least general place, of those tried, that accepts what
// into and other accept.
void Generalize(Place& into, Place&& other, Folded& folded) {
    if (into.description.empty()) {
        into.description = other.description;
    }
    into.sizes.Add(other.sizes);
    into.anyFormat = into.anyFormat || other.anyFormat;
    into.ruled = into.ruled || other.ruled;
    into.formatsRuled = into.formatsRuled || other.formatsRuled;
    into.countRuled = into.countRuled || other.countRuled;
    Unite(into.rules, other.rules);
    for (const std::int32_t format : other.ruledFormats) {
        if (std::ranges::find(into.ruledFormats, format) == into.ruledFormats.end()) {
            into.ruledFormats.push_back(format);
        }
    }
    for (Form& form : other.forms) {
        const auto same = std::ranges::find(into.forms, form.format, &Form::format);
        if (same == into.forms.end()) {
            into.forms.push_back(std::move(form));
            folded.formats = true;
        } else {
            GeneralizeForm(*same, std::move(form), folded);
        }
    }
}

// The place's own form: the format seen most often, the first of those.
const Form& OwnForm(const Place& place) {
    const Form* own = &place.forms.front();
    for (const Form& form : place.forms) {
        own = form.times > own->times ? &form : own;
    }
    return *own;
}

// The rules of a place built: the formats seen (its own first) when more
// than one, the sizes seen when they vary, and the rules every item held.
NodeRules RulesOf(const Place& place) {
    NodeRules rules;
    // Items alike that had no rules of their own need none: the
    // dictionary's, if any, hold for them as they did.
    if (!place.ruled && place.forms.size() < 2 && !place.sizes.vary) {
        return rules;
    }
    rules.values = place.rules.values;
    rules.texts = place.rules.texts;
    rules.optional = place.rules.optional;
    rules.unreadLines = place.rules.unreadLines;
    if (place.anyFormat) {
        return rules;
    }
    // A VARIANT with rules is no format of its own: its rules say which.
    const auto allow = [&rules](std::int32_t format) {
        if (format != VARIANT && std::ranges::find(rules.formats, format) == rules.formats.end()) {
            rules.formats.push_back(format);
        }
    };
    allow(OwnForm(place).format);
    for (const Form& form : place.forms) {
        allow(form.format);
    }
    for (const std::int32_t format : place.ruledFormats) {
        allow(format);
    }
    const bool formats = rules.formats.size() > 1;
    if (!formats && !place.formatsRuled) {
        rules.formats.clear();
    }
    if (place.sizes.bounded && (place.sizes.vary || formats || place.countRuled)) {
        rules.count = place.sizes.range;
    }
    return rules;
}

// Builds the item of a place; the rules of each item built go to rules, in
// the order the items are built.
void Build(StatementBuilder& builder, const Place& place, std::vector<NodeRules>& rules) {
    rules.push_back(RulesOf(place));
    if (place.anyFormat) {
        builder.AddItem(VARIANT, 0, place.description);
        return;
    }
    const Form& own = OwnForm(place);
    if (own.format != LIST) {
        builder.AddItem(own.format, own.count, place.description);
        return;
    }
    builder.OpenList(own.count == OPEN_COUNT);
    for (const Place& item : own.items) {
        Build(builder, item, rules);
    }
    builder.CloseList();
}

// The nodes of a message in the order they were built: the message, then
// its items depth first.
std::vector<FormatNode*> NodesOf(FormatNode* message) {
    std::vector<FormatNode*> nodes;
    for (FormatNode* node = message; node != nullptr;) {
        nodes.push_back(node);
        FormatNode* next = node->FirstChild();
        for (FormatNode* up = node; next == nullptr && up != message; up = up->Parent()) {
            next = up->NextSibling();
        }
        node = next;
    }
    return nodes;
}

std::string Label(std::int32_t stream, std::int32_t function) { return MakeMessageLabel(stream, function, false); }

std::string SentBy(Direction direction) {
    switch (direction) {
    case Direction::HOST_TO_EQUIPMENT:
        return " sent by the host";
    case Direction::EQUIPMENT_TO_HOST:
        return " sent by the equipment";
    case Direction::BOTH:
        return " sent by either side";
    case Direction::ANY:
        break;
    }
    return {};
}

// One definition to be made: the messages of one stream, function and
// direction, with an item or without.
struct Group {
    MessageLabelFields fields;
    Direction direction = Direction::ANY;
    std::string description;
    std::optional<Place> item;
    std::size_t messages = 0;
    bool replyVaries = false;
    bool replyOptional = false;           // every message's definition said so
    std::vector<std::string> unreadLines; // rule lines of theirs no one could read
    Folded folded;
};

} // namespace

std::vector<std::string> SmlMerge::Merge(const FormatNode* library, FormatTree& merged, const RuleBook* rules) {
    std::vector<Group> groups;
    std::map<std::tuple<std::int32_t, std::int32_t, Direction, bool>, std::size_t> index;
    for (const FormatNode* message = library->FirstChild(); message != nullptr; message = message->NextSibling()) {
        const std::optional<MessageLabelFields> fields = ReadMessageLabel(message->Label());
        if (!fields) {
            continue;
        }
        const NodeRules* own = rules != nullptr ? rules->Of(message) : nullptr;
        const Direction direction = own != nullptr ? own->direction : Direction::ANY;
        const bool replyOptional = own != nullptr && own->replyOptional;
        const FormatNode* top = message->FirstChild();
        const auto [found, added] =
            index.try_emplace(std::tuple(fields->stream, fields->function, direction, top != nullptr), groups.size());
        if (added) {
            groups.push_back(
                {*fields, direction, message->Description().str(), std::nullopt, 0, false, replyOptional, {}, {}});
            if (top != nullptr) {
                groups.back().item = PlaceOf(top, rules);
            }
        } else {
            Group& group = groups[found->second];
            if (top != nullptr) {
                Generalize(*group.item, PlaceOf(top, rules), group.folded);
            }
            if (group.description.empty()) {
                group.description = message->Description().str();
            }
            group.replyVaries = group.replyVaries || fields->replyRequired != group.fields.replyRequired;
            group.replyOptional = group.replyOptional && replyOptional;
        }
        Group& group = groups[found->second];
        ++group.messages;
        for (const std::string& line : own != nullptr ? own->unreadLines : std::vector<std::string>()) {
            if (std::ranges::find(group.unreadLines, line) == group.unreadLines.end()) {
                group.unreadLines.push_back(line);
            }
        }
    }
    if (rules != nullptr) {
        // The dictionary holds for the items of its names as it did.
        for (const auto& [key, entry] : rules->Entries()) {
            merged.SetReadDictionaryRules(entry.name, entry.rules);
        }
    }
    std::vector<std::string> notes;
    std::vector<std::string> replyNotes;
    StatementBuilder builder(merged);
    builder.FindLastMessage();
    std::vector<NodeRules> built;
    for (const Group& group : groups) {
        builder.Begin(std::numeric_limits<std::size_t>::max());
        built.assign(1, NodeRules());
        built.front().direction = group.direction;
        // A message sent both with W and without may be answered or not.
        built.front().replyOptional = group.replyVaries || group.replyOptional;
        built.front().unreadLines = group.unreadLines;
        if (group.item) {
            Build(builder, *group.item, built);
        }
        MessageHeader header;
        header.stream = group.fields.stream;
        header.function = group.fields.function;
        header.replyRequired = group.fields.replyRequired ? 1 : 0;
        header.description = group.description;
        const std::vector<FormatNode*> nodes = NodesOf(builder.Finish(header));
        for (std::size_t i = 0; i < nodes.size() && i < built.size(); ++i) {
            if (!built[i].Empty()) {
                merged.SetReadRules(nodes[i], std::move(built[i]));
            }
        }
        const std::string label =
            MakeMessageLabel(group.fields.stream, group.fields.function, group.fields.replyRequired) +
            SentBy(group.direction);
        if (group.messages > 1) {
            notes.push_back(label + ": " + std::to_string(group.messages) + " messages in one definition" +
                            (group.folded.opened ? ", counts that vary made open" : "") +
                            (group.folded.formats ? ", formats that vary allowed by a rule" : ""));
        }
        if (group.replyVaries) {
            replyNotes.push_back(Label(group.fields.stream, group.fields.function) + SentBy(group.direction) +
                                 ": sent with W and without: its reply is optional");
        }
    }
    notes.insert(notes.end(), replyNotes.begin(), replyNotes.end());
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
