#include "RoundTripCheck.h"

#include "ByteSearch.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "ItemParser.h"
#include "Labels.h"
#include "RuleText.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <limits>
#include <map>
#include <new>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tqf {

namespace {

bool EqualIgnoringLetterCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') {
            x = static_cast<char>(x - 'a' + 'A');
        }
        if (y >= 'a' && y <= 'z') {
            y = static_cast<char>(y - 'a' + 'A');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// A non-list count of 0 is written like 1 and comes back as 1; that is no
// change of the library. Any other count must come back as it is.
std::int32_t CountAsWritten(std::int32_t count) { return count == 0 ? 1 : count; }

// The label a read-back item gets, as the reader would give it.
std::string ReadBackLabel(std::int32_t format, std::int32_t count, std::string_view description) {
    const bool variant = format == VARIANT;
    return MakeItemLabel(format, variant ? 0 : count, !variant && count == OPEN_COUNT, description);
}

std::string ListLabelAsRead(std::int32_t count) { return MakeItemLabel(LIST, count, count == OPEN_COUNT, {}); }

// Compares the items of a statement, as the body scan reads them, with the
// item tree of the message the statement was written from: each item read is
// paired with the node at the same place. The first difference in the order
// the items stand in the file is kept; a list's own difference (its count) is
// known only at its end, and then goes before those found inside it.
class ItemComparer {
public:
    explicit ItemComparer(const FormatNode* expectedItem) : expectedRoot_(expectedItem) {}

    // The body scan's target.
    void OpenList(bool open) {
        const std::size_t order = order_;
        const FormatNode* expected = nullptr;
        if (!Arrive(expected)) {
            return;
        }
        levels_.push_back(
            {expected, expected != nullptr ? expected->FirstChild() : nullptr, order, open ? OPEN_COUNT : 0});
        if (expected != nullptr && !expected->IsList() &&
            Note(order, "the item " + expected->Label().str() + " comes back as ")) {
            // The list's label follows once its count is known.
            pendingLabel_ = levels_.size();
        }
    }

    void CloseList() {
        if (levels_.size() > 1) {
            EndLevel();
        }
    }

    void AddItem(std::int32_t format, std::int32_t count, std::string_view description) {
        const std::size_t order = order_;
        const FormatNode* a = nullptr;
        if (!Arrive(a) || a == nullptr) {
            return;
        }
        if (a->Format() != format || a->IsList()) {
            Note(order, "the item " + a->Label().str() + " comes back as " + ReadBackLabel(format, count, description));
        } else if (a->Format() != VARIANT && CountAsWritten(a->Count()) != count) {
            Note(order, "the count of " + a->Label().str() + " does not come back");
        } else if (!EqualIgnoringLetterCase(a->Description(), description)) {
            Note(order,
                 "the description of " + a->Label().str() + " comes back as \"" + std::string(description) + "\"");
        }
    }

    bool Overflowed() const { return false; }
    bool numberClamped = false;

    // The first difference, once the statement has been read; empty when
    // the items agree.
    std::string Finish() {
        while (!levels_.empty()) {
            EndLevel();
        }
        if (!started_ && expectedRoot_ != nullptr) {
            Note(order_, "the item " + expectedRoot_->Label().str() + " does not come back");
        }
        return first_;
    }

private:
    // An item arrives: false when it is no part of the message (the first
    // item was no list); else expected is the node at its place, or none.
    bool Arrive(const FormatNode*& expected) {
        if (started_ && levels_.empty()) {
            return false;
        }
        const std::size_t order = order_++;
        if (!started_) {
            started_ = true;
            expected = expectedRoot_;
        } else {
            Level& level = levels_.back();
            expected = level.next;
            if (expected != nullptr) {
                level.next = expected->NextSibling();
            }
            if (level.count != OPEN_COUNT) {
                ++level.count;
            }
        }
        if (expected == nullptr) {
            Note(order, "an item that is not in the document comes back");
        }
        return true;
    }

    // The list of the innermost level is complete.
    void EndLevel() {
        Level level = levels_.back();
        if (pendingLabel_ == levels_.size()) {
            pendingLabel_ = 0;
            if (firstOrder_ == level.order) {
                first_ += ListLabelAsRead(level.count);
            }
        }
        levels_.pop_back();
        const FormatNode* a = level.expected;
        if (a == nullptr || !a->IsList()) {
            return;
        }
        if (a->Count() != level.count) {
            Note(level.order, "the list " + a->Label().str() + " comes back as " + ListLabelAsRead(level.count));
        }
        if (level.next != nullptr) {
            Note(order_++, "the item " + level.next->Label().str() + " does not come back");
        }
    }

    // Keeps reason when it comes first so far; true then.
    bool Note(std::size_t order, std::string reason) {
        if (order >= firstOrder_) {
            return false;
        }
        firstOrder_ = order;
        first_ = std::move(reason);
        pendingLabel_ = 0;
        return true;
    }

    struct Level {
        const FormatNode* expected; // the list in the document, or none
        const FormatNode* next;     // the node the next sub-item is paired with
        std::size_t order;          // the list's place among the items read
        std::int32_t count;         // as the reader counts it
    };
    const FormatNode* expectedRoot_;
    bool started_ = false;
    std::vector<Level> levels_;
    std::size_t order_ = 0;
    std::size_t firstOrder_ = static_cast<std::size_t>(-1);
    std::size_t pendingLabel_ = 0; // the level whose list label ends first_, if any
    std::string first_;
};

// What a message's header and description come back as; empty when they agree.
std::string CompareHeader(const FormatNode* original, const MessageHeader& header) {
    const std::string copyLabel = MakeMessageLabel(header.stream, header.function, header.replyRequired != 0);
    const auto originalFields = ReadMessageLabel(original->Label());
    const auto copyFields = ReadMessageLabel(copyLabel);
    const bool sameHeader = originalFields.has_value() && copyFields.has_value()
                                ? originalFields->stream == copyFields->stream &&
                                      originalFields->function == copyFields->function &&
                                      originalFields->replyRequired == copyFields->replyRequired
                                : EqualIgnoringLetterCase(original->Label(), copyLabel);
    if (!sameHeader) {
        return "it comes back as " + copyLabel;
    }
    if (!EqualIgnoringLetterCase(original->Description(), header.description)) {
        return "its description comes back as \"" + std::string(header.description) + "\"";
    }
    return {};
}

// Where a message of the checked document lies in the written file, and what
// came back of it.
struct WrittenMessage {
    const FormatNode* message;
    std::size_t lastLine;
    std::size_t readBack = 0; // messages read from its lines
    std::size_t dropped = 0;  // statements of its lines dropped
    std::string difference;   // how the first message read from it differs
};

// Reads the statements of the written file and compares each with the message
// whose lines hold its ".", instead of building a second document.
class ReadBackComparer final : public StatementHandler {
public:
    ReadBackComparer(std::vector<WrittenMessage>& messages, const std::atomic<std::size_t>& written)
        : messages_(messages), written_(written) {}

    bool HandleStatement(std::string_view text, std::size_t line) override {
        MessageHeader header;
        if (!FormatReader::ParseHeader(text, header)) {
            return false;
        }
        const std::size_t firstOpen = text.find('<');
        if (firstOpen == std::string_view::npos && header.stream == 0) {
            return false;
        }
        WrittenMessage* owner = OwnerOf(line);
        ItemComparer items(owner != nullptr ? owner->message->FirstChild() : nullptr);
        if (firstOpen != std::string_view::npos && !ItemParser::ParseBody(text.substr(firstOpen), items)) {
            return false;
        }
        ++handled_;
        if (owner != nullptr && owner->readBack++ == 0) {
            owner->difference = CompareHeader(owner->message, header);
            if (owner->difference.empty()) {
                owner->difference = items.Finish();
            }
        }
        return true;
    }

    // The message whose lines hold line; none past the last one written.
    // Lines come in ascending order.
    WrittenMessage* OwnerOf(std::size_t line) {
        const std::size_t written = written_.load(std::memory_order_acquire);
        while (next_ < written && messages_[next_].lastLine < line) {
            ++next_;
        }
        return next_ < written ? &messages_[next_] : nullptr;
    }

    // The statements read back as messages.
    std::size_t Handled() const { return handled_; }

private:
    std::vector<WrittenMessage>& messages_;
    const std::atomic<std::size_t>& written_;
    std::size_t next_ = 0;
    std::size_t handled_ = 0;
};

// The file as a save writes it, written a few messages at a time as the
// reader asks for more, noting the lines each message takes: the reading
// thread writes the file while the calling thread compares what was read.
// Each piece is kept in the whole file's text and lent to the reader.
class WritingBuffer final : public std::streambuf {
public:
    WritingBuffer(const FormatNode* root, std::uint64_t textLimit, std::vector<WrittenMessage>& messages,
                  std::atomic<std::size_t>& written, const RuleBook* rules)
        : next_(root->FirstChild()), textLimit_(textLimit), messages_(messages), written_(written), rules_(rules),
          piece_(FormatWriter::FILE_HEADER) {
        FormatWriter::AppendDictionary(rules, piece_);
        lines_ = CountByte(piece_.data(), piece_.size(), '\n');
        file_.Append(piece_);
        setg(piece_.data(), piece_.data(), piece_.data() + piece_.size());
    }

    // The whole file, once it has all been read.
    BlockText TakeText() { return std::move(file_); }
    // The file came to more than the limit, and writing it stopped there.
    bool OverLimit() const { return overLimit_; }
    // Every message was written and handed to the reader.
    bool Finished() const { return finished_; }
    // Why writing the file stopped short; empty when it did not. The stream
    // that asks for more swallows what is thrown here, and only ends, so the
    // cause is kept for the check to see.
    const std::string& Failure() const { return failure_; }

protected:
    int_type underflow() override {
        try {
            return NextPiece();
        } catch (const std::bad_alloc&) {
            failure_ = RoundTripCheck::NO_MEMORY;
        } catch (const std::exception& error) {
            failure_ = std::string("the check stopped: ") + error.what();
        }
        next_ = nullptr;
        setg(nullptr, nullptr, nullptr);
        return traits_type::eof();
    }

private:
    int_type NextPiece() {
        // Enough at a time that the reader seldom asks.
        constexpr std::size_t PIECE_BYTES = std::size_t{64} * 1024;
        // The reader is done with the last piece when it asks for the next.
        piece_.clear();
        while (next_ != nullptr && piece_.size() < PIECE_BYTES) {
            const std::size_t counted = piece_.size();
            const std::uint64_t room = textLimit_ - std::min<std::uint64_t>(textLimit_, file_.size());
            if (!FormatWriter::AppendSubtree(next_, piece_, room, rules_)) {
                overLimit_ = true;
                next_ = nullptr;
                return traits_type::eof();
            }
            lines_ += CountByte(piece_.data() + counted, piece_.size() - counted, '\n');
            if (next_->IsMessage() && !next_->Label().empty()) {
                // The calling thread looks at the entries written so far
                // meanwhile; the vector holds a place for every message.
                const std::size_t at = written_.load(std::memory_order_relaxed);
                messages_[at] = WrittenMessage{next_, lines_, 0, 0, {}};
                written_.store(at + 1, std::memory_order_release);
            }
            next_ = next_->NextSibling();
        }
        if (piece_.empty()) {
            finished_ = next_ == nullptr && !overLimit_ && failure_.empty();
            return traits_type::eof();
        }
        file_.Append(piece_);
        setg(piece_.data(), piece_.data(), piece_.data() + piece_.size());
        return traits_type::to_int_type(*gptr());
    }

private:
    const FormatNode* next_; // the next message to write
    std::uint64_t textLimit_;
    bool overLimit_ = false;
    bool finished_ = false;
    std::string failure_;
    std::vector<WrittenMessage>& messages_;
    std::atomic<std::size_t>& written_; // entries of messages_ filled
    const RuleBook* rules_;
    std::string piece_;
    BlockText file_;
    std::size_t lines_ = 0;
};

// The rules the lines read back give, by the statement and item they
// follow, as the reader would give them to their nodes; and the dictionary's.
struct RulesRead {
    std::map<std::pair<std::size_t, std::size_t>, NodeRules> byNode;
    RuleBook::Dictionary dictionary;
};

RulesRead ReadRuleLines(const std::vector<RuleAttacher::Line>& lines) {
    RulesRead read;
    for (const RuleAttacher::Line& line : lines) {
        RuleText::Parsed parsed = RuleText::Parse(line.text);
        if (!parsed.read) {
            parsed.rules = NodeRules();
            parsed.rules.unreadLines.push_back(line.text);
        }
        NodeRules* into = nullptr;
        if (parsed.dictionary || line.statement == RuleAttacher::NO_STATEMENT) {
            RuleBook::Entry& entry = read.dictionary[parsed.dictionary ? RuleBook::KeyOf(parsed.name) : std::string()];
            entry.name = entry.name.empty() ? parsed.name : entry.name;
            into = &entry.rules;
        } else {
            into = &read.byNode[{line.statement, line.item}];
        }
        RuleText::Merge(*into, std::move(parsed.rules));
    }
    return read;
}

// What the rules of a node come back as, when not as they are; empty when
// they do.
std::string RulesDifference(const std::string& whose, const NodeRules* written, const NodeRules* read) {
    static const NodeRules NONE;
    const NodeRules& expected = written != nullptr ? *written : NONE;
    const NodeRules& got = read != nullptr ? *read : NONE;
    if (expected == got) {
        return {};
    }
    if (got.Constrains()) {
        return "the rules of " + whose + " come back as \"" + RuleText::Summary(got) + '"';
    }
    if (!got.unreadLines.empty() && got.unreadLines != expected.unreadLines) {
        return "the rules of " + whose + " come back as a line that cannot be read: " + got.unreadLines.back();
    }
    return "the rules of " + whose + " do not come back";
}

// Compares the rules of the messages written, and the dictionary, with those
// the rule lines read back give; the first difference of a message is its
// problem, that of the dictionary the check's failure.
void CompareRules(const std::vector<WrittenMessage>& messages, const std::vector<RuleAttacher::Line>& lines,
                  const RuleBook* rules, RoundTripReport& report) {
    RulesRead read = ReadRuleLines(lines);
    const RuleBook::Dictionary none;
    const RuleBook::Dictionary& dictionary = rules != nullptr ? rules->Entries() : none;
    for (const auto& [key, entry] : dictionary) {
        const auto found = read.dictionary.find(key);
        const NodeRules* back = found != read.dictionary.end() ? &found->second.rules : nullptr;
        if (std::string difference = RulesDifference("the dictionary's " + entry.name, &entry.rules, back);
            !difference.empty()) {
            report.failure = std::move(difference);
            return;
        }
    }
    if (read.dictionary.size() > dictionary.size()) {
        report.failure = "the dictionary comes back with more entries than it has";
        return;
    }
    const auto at = [&read](std::size_t statement, std::size_t item) -> NodeRules* {
        const auto found = read.byNode.find({statement, item});
        return found != read.byNode.end() ? &found->second : nullptr;
    };
    for (std::size_t statement = 0; statement < messages.size(); ++statement) {
        const FormatNode* message = messages[statement].message;
        // The message, then its items depth first, as the lines count them;
        // lines after its "." belong to its last node.
        std::vector<const FormatNode*> nodes;
        for (const FormatNode* node = message; node != nullptr;) {
            nodes.push_back(node);
            const FormatNode* next = node->FirstChild();
            for (const FormatNode* up = node; next == nullptr && up != message; up = up->Parent()) {
                next = up->NextSibling();
            }
            node = next;
        }
        if (NodeRules* last = at(statement, RuleAttacher::LAST_NODE)) {
            NodeRules& into = read.byNode[{statement, nodes.size() - 1}];
            RuleText::Merge(into, std::move(*last));
        }
        for (std::size_t item = 0; item < nodes.size(); ++item) {
            const NodeRules* written = rules != nullptr ? rules->Of(nodes[item]) : nullptr;
            if (std::string difference = RulesDifference(nodes[item]->Label().str(), written, at(statement, item));
                !difference.empty()) {
                report.problems.push_back({message, message->Label().str(), std::move(difference)});
                break;
            }
        }
    }
}

} // namespace

RoundTripReport RoundTripCheck::CheckRoundTrip(const FormatNode* root, const RuleBook* rules) {
    return *CheckRoundTrip(root, std::numeric_limits<std::uint64_t>::max(), {}, rules);
}

namespace {

// What differs of each message written: the statements dropped on its lines,
// and how it came back.
void AddProblems(std::vector<WrittenMessage>& messages, std::atomic<std::size_t>& written,
                 const std::vector<DroppedStatement>& dropped, RoundTripReport& report) {
    ReadBackComparer dropCounter(messages, written);
    for (const DroppedStatement& statement : dropped) {
        if (WrittenMessage* owner = dropCounter.OwnerOf(statement.line)) {
            ++owner->dropped;
        }
    }
    for (WrittenMessage& message : messages) {
        std::string reason;
        if (message.dropped > 0) {
            reason = "part of it cannot be read back";
        } else if (message.readBack == 0) {
            reason = "it does not come back";
        } else if (message.readBack > 1) {
            reason = "it comes back as several messages";
        } else {
            reason = std::move(message.difference);
        }
        if (!reason.empty()) {
            report.problems.push_back({message.message, message.message->Label().str(), std::move(reason)});
        }
    }
}

} // namespace

std::optional<RoundTripReport> RoundTripCheck::CheckRoundTrip(const FormatNode* root, std::uint64_t textLimit,
                                                              const Progress& progress, const RuleBook* rules) {
    try {
        return CheckWhole(root, textLimit, progress, rules);
    } catch (const std::bad_alloc&) {
        RoundTripReport report;
        report.failure = NO_MEMORY;
        return report;
    }
}

std::optional<RoundTripReport> RoundTripCheck::CheckWhole(const FormatNode* root, std::uint64_t textLimit,
                                                          const Progress& progress, const RuleBook* rules) {
    RoundTripReport report;
    if (root == nullptr) {
        return report;
    }
    std::size_t messageNodes = 0;
    for (const FormatNode* m = root->FirstChild(); m != nullptr; m = m->NextSibling()) {
        ++messageNodes;
    }
    std::vector<WrittenMessage> messages(messageNodes);
    std::atomic<std::size_t> written{0};
    WritingBuffer file(root, textLimit, messages, written, rules);
    std::istream in(&file);

    // Read it back as it is written, comparing each statement with the
    // message it was written from.
    ReadBackComparer comparer(messages, written);
    FormatTree nothingBuilt;
    FormatReader reader(nothingBuilt);
    reader.SetStatementHandler(&comparer);
    if (progress) {
        reader.SetCancelCheck([&] { return progress(reader.BytesRead()); });
    }
    // A message takes a few hundred bytes in a usual library; the guess only
    // decides whether a second thread is worth it.
    constexpr std::uintmax_t USUAL_MESSAGE_BYTES = 256;
    const ReadResult result = reader.ReadFormatStream(in, messageNodes * USUAL_MESSAGE_BYTES);
    if (file.OverLimit()) {
        return std::nullopt;
    }
    // A text that was not written or read back whole passes no check,
    // whatever its messages compared.
    if (!file.Failure().empty()) {
        report.failure = file.Failure();
        return report;
    }
    if (result.status == ReadStatus::CANCELLED) {
        report.cancelled = true;
        report.failure = CANCELLED;
        return report;
    }
    if (result.status != ReadStatus::READ) {
        report.failure = "the file could not be read back (" + result.errorText + ")";
        return report;
    }
    if (!file.Finished() || in.bad()) {
        report.failure = "the file was not read back to its end";
        return report;
    }
    messages.resize(written.load());
    AddProblems(messages, written, result.dropped, report);
    // Rules come back to the nodes they were written for.
    if (report.problems.empty() && ((rules != nullptr && !rules->Empty()) || !reader.HandledRuleLines().empty())) {
        CompareRules(messages, reader.HandledRuleLines(), rules, report);
        if (!report.failure.empty()) {
            return report;
        }
    }
    // Every message written comes back as one: a count that differs while
    // no message was found to differ means the comparison missed a part.
    if (report.problems.empty() && comparer.Handled() != messages.size()) {
        report.failure = std::to_string(messages.size()) + " messages were written, but " +
                         std::to_string(comparer.Handled()) + " were read back";
        return report;
    }
    report.text = file.TakeText();
    return report;
}

} // namespace tqf
