#include "SmlValidator.h"

#include "FormatTree.h"
#include "ItemFormat.h"
#include "Labels.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <tuple>
#include <utility>

namespace tqf {

namespace {

std::uint64_t Key(std::int32_t stream, std::int32_t function) {
    return (std::uint64_t{static_cast<std::uint32_t>(stream)} << 32) | static_cast<std::uint32_t>(function);
}

// Items whose count is the exact number of their values; the others (texts
// and binary) are counted in characters or bytes, up to their count.
bool CountsValues(std::int32_t format) {
    return format != ASCII && format != JIS8 && format != BINARY && format != LIST && format != VARIANT;
}

std::string Plural(std::size_t number, std::string_view one, std::string_view many) {
    return std::to_string(number) + ' ' + std::string(number == 1 ? one : many);
}

std::string_view FormatName(std::int32_t format) {
    const std::string_view code = FormatCode(format);
    return code.empty() ? std::string_view("?") : code;
}

std::size_t SubNodeCount(const FormatNode* list) {
    std::size_t count = 0;
    for (const FormatNode* child = list->FirstChild(); child != nullptr; child = child->NextSibling()) {
        ++count;
    }
    return count;
}

// The items of a definition, in the order a walk meets them, folded into a
// hash: identical definitions hash alike.
std::uint64_t StructureHash(const FormatNode* message, bool replyRequired) {
    constexpr std::uint64_t PRIME = 0x100000001B3ULL;
    std::uint64_t hash = 0xCBF29CE484222325ULL ^ (replyRequired ? 1U : 0U);
    const auto mix = [&hash](std::uint64_t value) { hash = (hash ^ value) * PRIME; };
    const std::function<void(const FormatNode*)> walk = [&](const FormatNode* node) {
        for (const FormatNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
            mix(static_cast<std::uint32_t>(child->Format()));
            mix(static_cast<std::uint32_t>(child->Count()));
            walk(child);
            mix(0xFFFFFFFFULL); // where the child's items end
        }
    };
    walk(message);
    return hash;
}

// Whether two nodes hold the same items: formats and counts, alike nested.
bool SameItems(const FormatNode* a, const FormatNode* b) {
    const FormatNode* x = a->FirstChild();
    const FormatNode* y = b->FirstChild();
    for (; x != nullptr && y != nullptr; x = x->NextSibling(), y = y->NextSibling()) {
        if (x->Format() != y->Format() || x->Count() != y->Count() || !SameItems(x, y)) {
            return false;
        }
    }
    return x == y;
}

} // namespace

SmlValidator::SmlValidator(const FormatNode* library, FindingCallback onFinding, const RuleBook* rules)
    : onFinding_(std::move(onFinding)), rules_(library, rules) {
    // A library made of a log holds many definitions alike: each is held
    // once, as the first of them, which is what a check would report. One
    // with rules of its own, or of the dictionary, is held as it is.
    struct Held {
        const FormatNode* message;
        std::uint64_t key;
        bool replyRequired;
    };
    std::unordered_map<std::uint64_t, std::vector<Held>> seen;
    for (const FormatNode* message = library->FirstChild(); message != nullptr; message = message->NextSibling()) {
        const std::optional<MessageLabelFields> fields = ReadMessageLabel(message->Label());
        if (!fields) {
            continue;
        }
        const NodeRules* own = rules != nullptr ? rules->Of(message) : nullptr;
        const Definition definition{message, fields->replyRequired, own != nullptr && own->replyOptional,
                                    own != nullptr ? own->direction : Direction::ANY, rules_.BlockOf(message)};
        const Held held{message, Key(fields->stream, fields->function), fields->replyRequired};
        const bool ruled = own != nullptr || definition.rules.begin != definition.rules.end;
        if (!ruled) {
            std::vector<Held>& alike =
                seen[StructureHash(message, held.replyRequired) ^ (held.key * 0x9E3779B97F4A7C15ULL)];
            if (std::ranges::any_of(alike, [&held](const Held& other) {
                    return other.key == held.key && other.replyRequired == held.replyRequired &&
                           SameItems(other.message, held.message);
                })) {
                continue;
            }
            alike.push_back(held);
        }
        definitions_[held.key].push_back(definition);
        ++distinct_;
    }
}

SmlReadResult SmlValidator::CheckFile(const std::filesystem::path& path) {
    // The reader builds nothing while statements go to the handler.
    FormatTree unused;
    SmlReader reader(unused);
    reader.SetStatementHandler(this);
    reader.SetOptions(options_);
    return reader.ReadSmlFile(path);
}

SmlReadResult SmlValidator::CheckStream(std::istream& in) {
    FormatTree unused;
    SmlReader reader(unused);
    reader.SetStatementHandler(this);
    reader.SetOptions(options_);
    return reader.ReadSmlStream(in);
}

SmlReadResult SmlValidator::CheckBytes(std::string_view bytes) {
    FormatTree unused;
    SmlReader reader(unused);
    reader.SetStatementHandler(this);
    reader.SetOptions(options_);
    return reader.ReadSmlBytes(bytes);
}

void SmlValidator::HandleUnreadable(const ReadDiagnostic& diagnostic) {
    ++failed_;
    ValidationFinding finding;
    finding.line = diagnostic.line;
    finding.column = diagnostic.column;
    finding.reason = diagnostic.reason;
    finding.unreadable = true;
    onFinding_(finding);
}

void SmlValidator::HandleStatement(const SmlStatement& statement) {
    // Where each item's contents end, so that a list's items are found by
    // stepping over what each of them holds.
    const std::vector<SmlStatementItem>& items = statement.items;
    ends_.assign(items.size(), items.size());
    // The lists still open; path_ lends its room, as no walk is under way.
    std::vector<std::size_t>& open = path_;
    open.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        while (!open.empty() && items[open.back()].depth >= items[i].depth) {
            ends_[open.back()] = i;
            open.pop_back();
        }
        open.push_back(i);
    }
    const auto found = definitions_.find(Key(statement.stream, statement.function));
    if (found == definitions_.end()) {
        ++failed_;
        best_.findings.clear();
        walked_ = nullptr;
        Mismatch(best_, statement, nullptr, nullptr,
                 "no definition of " + MakeMessageLabel(statement.stream, statement.function, false) +
                     " in the library");
        NoDefinition(best_.findings.front(), statement);
        onFinding_(best_.findings.front());
        return;
    }
    // Each definition is walked to its first mismatch only, which settles
    // whether the message passes; the few that matched furthest are then
    // walked whole for the report, however many the library holds.
    const std::vector<Definition>& candidates = found->second;
    closest_.clear();
    attempt_.quick = true;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        // A message sent one way is not held to a definition of the other.
        const Direction sent = candidates[i].direction;
        if (statement.direction != Direction::ANY && sent != Direction::ANY && sent != Direction::BOTH &&
            sent != statement.direction) {
            continue;
        }
        Walk(candidates[i], statement, attempt_);
        if (attempt_.findings.empty()) {
            ++passed_;
            return;
        }
        const Reach reach{attempt_.matched, attempt_.replyMatches, i};
        if (closest_.size() < CLOSEST_WALKED) {
            closest_.push_back(reach);
        } else if (const auto worst = std::ranges::min_element(closest_); *worst < reach) {
            *worst = reach;
        }
    }
    attempt_.quick = false;
    std::ranges::sort(closest_, {}, &Reach::index);
    bool first = true;
    for (const Reach& reach : closest_) {
        Walk(candidates[reach.index], statement, attempt_);
        // The definition matched furthest: more items before the first
        // mismatch, then the reply flag, then fewer mismatches.
        const auto furthest = [](const Attempt& a) {
            return std::tuple(a.matched, a.replyMatches, -static_cast<std::ptrdiff_t>(a.findings.size()));
        };
        if (first || furthest(attempt_) > furthest(best_)) {
            std::swap(best_, attempt_);
            attempt_.quick = false;
        }
        first = false;
    }
    ++failed_;
    if (first) {
        best_.findings.clear();
        walked_ = nullptr;
        Mismatch(best_, statement, nullptr, nullptr,
                 "no definition of " + MakeMessageLabel(statement.stream, statement.function, false) + " sent by " +
                     (statement.direction == Direction::HOST_TO_EQUIPMENT ? "the host" : "the equipment") +
                     " in the library");
        NoDefinition(best_.findings.front(), statement);
    }
    for (const ValidationFinding& finding : best_.findings) {
        onFinding_(finding);
    }
}

void SmlValidator::Walk(const Definition& definition, const SmlStatement& statement, Attempt& attempt) {
    attempt.findings.clear();
    walked_ = definition.message;
    walkedRules_ = definition.rules;
    attempt.replyMatches = definition.replyRequired == statement.replyRequired || definition.replyOptional;
    if (!attempt.replyMatches) {
        Mismatch(attempt, statement, nullptr, nullptr,
                 statement.replyRequired ? "no reply expected, got W" : "reply expected (W), got none");
    }
    const std::vector<SmlStatementItem>& items = statement.items;
    const FormatNode* top = definition.message->FirstChild();
    // Items matched before the first mismatch among them.
    std::size_t matched = 0;
    bool mismatched = false;
    const auto count = [&](std::size_t before) {
        mismatched = mismatched || attempt.findings.size() != before;
        matched += mismatched ? 0 : 1;
    };
    path_.assign(1, 1);
    stack_.clear();
    if (top == nullptr && !items.empty()) {
        Mismatch(attempt, statement, &items.front(), nullptr,
                 "no item expected, got " + std::string(FormatName(items.front().format)));
    } else if (top != nullptr && items.empty()) {
        Mismatch(attempt, statement, nullptr, top, std::string(FormatName(top->Format())) + " item expected, got none");
    } else if (top != nullptr) {
        const std::size_t found = attempt.findings.size();
        CheckItem(top, 0, statement, attempt);
        count(found);
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            if (frame.remaining == 0) {
                stack_.pop_back();
                path_.pop_back();
                continue;
            }
            const FormatNode* itemDefinition = frame.next;
            const std::size_t index = frame.item;
            path_.back() = frame.ordinal;
            ++frame.ordinal;
            --frame.remaining;
            frame.item = ends_[index];
            // An open list repeats its definitions as a pattern.
            frame.next = itemDefinition->NextSibling() != nullptr ? itemDefinition->NextSibling()
                         : frame.list->Count() == OPEN_COUNT      ? frame.list->FirstChild()
                                                                  : nullptr;
            const std::size_t before = attempt.findings.size();
            CheckItem(itemDefinition, index, statement, attempt);
            count(before);
            if (attempt.quick && mismatched) {
                break;
            }
        }
    }
    if (attempt.quick && mismatched) {
        attempt.matched = matched;
        return;
    }
    // Items after the first were sent, but a message holds one item.
    std::size_t ordinal = 1;
    for (std::size_t i = items.empty() ? 0 : ends_.front(); i < items.size(); i = ends_[i]) {
        path_.assign(1, ++ordinal);
        Mismatch(attempt, statement, &items[i], nullptr, "a message holds one item");
    }
    attempt.matched = matched;
}

void SmlValidator::CheckItem(const FormatNode* definition, std::size_t index, const SmlStatement& statement,
                             Attempt& attempt) {
    const SmlStatementItem& item = statement.items[index];
    const std::int32_t format = definition->Format();
    const RuleCheck::Summary* rules = rules_.For(walkedRules_, definition);
    if (rules != nullptr && CheckRules(*rules, definition, index, statement, attempt)) {
        return;
    }
    // A count range of the rules takes the place of the definition's count.
    const bool countRuled = rules != nullptr && rules->counted;
    if (format == VARIANT) {
        return;
    }
    if (item.format != format) {
        Mismatch(attempt, statement, &item, definition,
                 std::string(FormatName(format)) + " expected, got " + std::string(FormatName(item.format)));
        return;
    }
    const bool open = definition->Count() == OPEN_COUNT;
    if (format == LIST) {
        const std::size_t defined = SubNodeCount(definition);
        std::size_t walked = item.size;
        if (open && defined > 1 && item.size % defined != 0) {
            Mismatch(attempt, statement, &item, definition,
                     "items in groups of " + std::to_string(defined) + " expected, got " +
                         Plural(item.size, "item", "items"));
        } else if (!open && item.size != defined && !countRuled) {
            Mismatch(attempt, statement, &item, definition,
                     Plural(defined, "item", "items") + " expected, got " + std::to_string(item.size));
        }
        // A fixed list's definitions are walked once, however many items came.
        walked = open ? walked : std::min(walked, defined);
        if (defined > 0 && walked > 0) {
            stack_.push_back({definition, definition->FirstChild(), index + 1, walked, 1});
            path_.push_back(0);
        }
        return;
    }
    if (open || countRuled) {
        return;
    }
    // A count of 0 is shown and saved as one of 1, "<U4>", and reads back so.
    const std::size_t count = static_cast<std::size_t>(std::max(definition->Count(), 1));
    if (CountsValues(format) && item.size != count) {
        Mismatch(attempt, statement, &item, definition,
                 Plural(count, "value", "values") + " expected, got " + std::to_string(item.size));
    } else if (!CountsValues(format) && item.size > count) {
        const bool bytes = format == BINARY;
        Mismatch(attempt, statement, &item, definition,
                 "at most " + Plural(count, bytes ? "byte" : "character", bytes ? "bytes" : "characters") +
                     " expected, got " + std::to_string(item.size));
    }
}

bool SmlValidator::ReportBroken(const RuleCheck::Summary& rules, const FormatNode* definition,
                                const SmlStatementItem& item, const SmlStatement& statement, Attempt& attempt) {
    std::optional<std::string> broken = RuleCheck::Broken(*rules.rules, definition, item, statement);
    if (broken) {
        Mismatch(attempt, statement, &item, definition, std::move(*broken));
    }
    return broken.has_value();
}

void SmlValidator::Mismatch(Attempt& attempt, const SmlStatement& statement, const SmlStatementItem* item,
                            const FormatNode* definitionItem, std::string reason) const {
    const FormatNode* definition = walked_;
    ValidationFinding& finding = attempt.findings.emplace_back();
    if (attempt.quick) {
        return; // that there is a mismatch is all a quick walk asks
    }
    finding.line = item != nullptr ? item->line : statement.line;
    finding.column = item != nullptr ? item->column : statement.column;
    // Made only for a mismatch: most messages pass.
    finding.message = MakeMessageLabel(statement.stream, statement.function, statement.replyRequired);
    if (item != nullptr) {
        finding.itemPath = ItemPath();
    }
    finding.reason = std::move(reason);
    finding.definition = definition;
    finding.item = definitionItem;
}

void SmlValidator::NoDefinition(ValidationFinding& finding, const SmlStatement& statement) {
    finding.noDefinition = true;
    finding.statement.assign(statement.text);
}

std::string SmlValidator::ItemPath() const {
    std::string path;
    for (const std::size_t ordinal : path_) {
        if (!path.empty()) {
            path += '.';
        }
        path += std::to_string(ordinal);
    }
    return path;
}

} // namespace tqf
