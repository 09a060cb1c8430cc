#include "FormatWriter.h"

#include "RuleText.h"

#include <limits>
#include <vector>

namespace tqf {

namespace {

// Output is gathered in memory and handed to the stream in large pieces.
constexpr std::size_t FLUSH_THRESHOLD = std::size_t{64} * 1024;

class Output {
public:
    explicit Output(std::string& text, std::ostream* file = nullptr) : text_(text), file_(file) {}

    // Past limit bytes of text in memory, nothing more is taken and the
    // writing stops: a deep list's text grows with the square of its depth,
    // so the limit is checked before each part is added, never after.
    void SetLimit(std::uint64_t limit) { limit_ = limit; }
    // Nothing is kept, only counted.
    void CountOnly() { counting_ = true; }
    std::uint64_t Counted() const { return counted_; }
    // The limit was reached or the stream failed: the rest is not written.
    bool Stopped() const { return stopped_; }

    void Put(std::string_view part) {
        if (Takes(part.size())) {
            text_.append(part);
        }
    }
    void Put(char c) {
        if (Takes(1)) {
            text_ += c;
        }
    }
    // A deep list's closing lines can add up to far more than memory holds,
    // so the buffer is handed on at line ends too, not only between nodes.
    void LineEnd() {
        Put(FormatWriter::LINE_END);
        MaybeFlush();
    }
    void Tabs(int n) {
        if (n > 0 && Takes(static_cast<std::size_t>(n))) {
            text_.append(static_cast<std::size_t>(n), '\t');
        }
    }
    void MaybeFlush() {
        if (file_ != nullptr && text_.size() >= FLUSH_THRESHOLD) {
            Flush();
        }
    }
    void Flush() {
        if (file_ != nullptr && !text_.empty()) {
            file_->write(text_.data(), static_cast<std::streamsize>(text_.size()));
            text_.clear();
            // A stream that takes nothing more ends the writing: the rest
            // would only be formatted to be thrown away.
            stopped_ = stopped_ || !*file_;
        }
    }

private:
    // Whether size more bytes go into the text.
    bool Takes(std::size_t size) {
        if (counting_) {
            counted_ += size;
            return false;
        }
        if (stopped_ || size > limit_ || text_.size() > limit_ - size) {
            stopped_ = true;
            return false;
        }
        return true;
    }

    std::string& text_;
    std::ostream* file_;
    std::uint64_t limit_ = std::numeric_limits<std::uint64_t>::max();
    bool counting_ = false;
    std::uint64_t counted_ = 0;
    bool stopped_ = false;
};

// True when no ancestor of node between it and its message has a next sibling.
bool AncestorsAreLast(const FormatNode* node) {
    for (const FormatNode* p = node->Parent(); p != nullptr && !p->IsMessage(); p = p->Parent()) {
        if (p->NextSibling() != nullptr) {
            return false;
        }
    }
    return true;
}

// Writes one node. depth is its NodeDepth; ancestorsLast tells whether every
// ancestor below its message is the last of its siblings.
// Each rule line of a node or of the dictionary, on a line of its own after
// the text written last.
void PutRuleLines(const NodeRules* rules, std::string_view name, Output& out) {
    if (rules == nullptr) {
        return;
    }
    for (const std::string& line : RuleText::Lines(*rules, name)) {
        out.LineEnd();
        out.Put(line);
    }
}

void WriteNode(const FormatNode* node, int depth, bool ancestorsLast, const RuleBook* book, Output& out) {
    if (node->Label().empty()) {
        return;
    }
    // Rules follow the line of their node, before any line that closes a list.
    const NodeRules* rules = book != nullptr ? book->Of(node) : nullptr;
    if (node->IsMessage()) {
        out.LineEnd();
        out.LineEnd();
        out.Put(node->Label());
        if (!node->Description().empty()) {
            out.Put(" (");
            out.Put(node->Description());
            out.Put(')');
        }
        if (node->FirstChild() == nullptr) {
            out.Put('.');
        }
        PutRuleLines(rules, {}, out);
        out.LineEnd();
        return;
    }
    out.Tabs(depth - 1);
    if (node->IsList() && node->FirstChild() != nullptr) {
        // The list stays open on its own line; a ">" line closes it later.
        std::string_view rest = node->Label().View();
        for (std::size_t close = rest.find('>'); close != std::string_view::npos; close = rest.find('>')) {
            out.Put(rest.substr(0, close));
            rest.remove_prefix(close + 1);
        }
        out.Put(rest);
        PutRuleLines(rules, {}, out);
        out.LineEnd();
        return;
    }
    out.Put(node->Label());
    if (node->FirstChild() != nullptr) {
        PutRuleLines(rules, {}, out);
        out.LineEnd();
        return;
    }
    const bool closes = node->NextSibling() == nullptr && node->Parent() != nullptr && node->Parent()->IsList() &&
                        node->Parent()->Count() != 0;
    if (closes) {
        PutRuleLines(rules, {}, out);
    }
    // Close every list whose last descendant this item is, innermost first.
    const FormatNode* x = node;
    int xDepth = depth;
    while (x->NextSibling() == nullptr && x->Parent() != nullptr && x->Parent()->IsList() &&
           x->Parent()->Count() != 0) {
        out.LineEnd();
        out.Tabs(xDepth - 2);
        out.Put('>');
        xDepth = x->IsMessage() ? FormatWriter::NodeDepth(x->Parent()) : xDepth - 1;
        x = x->Parent();
    }
    if (node->NextSibling() == nullptr && ancestorsLast) {
        out.Put('.');
    }
    if (!closes) {
        PutRuleLines(rules, {}, out);
    }
    out.LineEnd();
}

// The bytes every rule line of the document takes, each with its line end.
std::uint64_t RuleBytes(const RuleBook& book) {
    std::uint64_t bytes = 0;
    const auto add = [&bytes](const NodeRules& rules, std::string_view name) {
        for (const std::string& line : RuleText::Lines(rules, name)) {
            bytes += line.size() + FormatWriter::LINE_END.size();
        }
    };
    book.ForEachNode([&add](const FormatNode*, const NodeRules& rules) { add(rules, {}); });
    for (const auto& [key, entry] : book.Entries()) {
        add(entry.rules, entry.name);
    }
    return bytes;
}

// The dictionary, right after the file's header.
void WriteDictionary(const RuleBook* book, Output& out) {
    if (book == nullptr) {
        return;
    }
    for (const auto& [key, entry] : book->Entries()) {
        PutRuleLines(&entry.rules, key.empty() ? std::string_view() : std::string_view(entry.name), out);
    }
}

// Depth first, with an explicit stack: each node, then its sub-nodes, then
// (when asked for, or below the starting node) its next sibling.
void WriteTree(const FormatNode* start, bool withSiblings, const RuleBook* book, Output& out) {
    book = book != nullptr && book->HasNodeRules() ? book : nullptr;
    if (start == nullptr) {
        return;
    }
    struct Level {
        const FormatNode* node; // the node whose sub-nodes are being written
        int parentDepth;        // the NodeDepth of node's parent
        bool ancestorsLast;     // whether node's own ancestors are all last
    };
    std::vector<Level> stack;
    const FormatNode* node = start;
    int parentDepth = start->Parent() != nullptr ? FormatWriter::NodeDepth(start->Parent()) : -1;
    bool ancestorsLast = AncestorsAreLast(start);
    while (!out.Stopped()) {
        const int depth = node->IsMessage() ? 0 : parentDepth + 1;
        WriteNode(node, depth, ancestorsLast, book, out);
        if (node->FirstChild() != nullptr) {
            stack.push_back({node, parentDepth, ancestorsLast});
            const bool isItem = !node->IsMessage() && node->Parent() != nullptr;
            ancestorsLast = isItem ? ancestorsLast && node->NextSibling() == nullptr : true;
            parentDepth = depth;
            node = node->FirstChild();
            continue;
        }
        while (node->NextSibling() == nullptr || (stack.empty() && !withSiblings)) {
            if (stack.empty()) {
                return;
            }
            node = stack.back().node;
            parentDepth = stack.back().parentDepth;
            ancestorsLast = stack.back().ancestorsLast;
            stack.pop_back();
        }
        node = node->NextSibling();
    }
}

} // namespace

void FormatWriter::WriteNodes(const FormatNode* node, std::ostream& file, const RuleBook* rules) {
    std::string buffer;
    Output out(buffer, &file);
    WriteTree(node, true, rules, out);
    out.Flush();
}

void FormatWriter::AppendNodes(const FormatNode* node, std::string& out) {
    Output output(out);
    WriteTree(node, true, nullptr, output);
}

void FormatWriter::AppendSubtree(const FormatNode* node, std::string& out) {
    Output output(out);
    WriteTree(node, false, nullptr, output);
}

bool FormatWriter::AppendSubtree(const FormatNode* node, std::string& out, std::uint64_t limit, const RuleBook* rules) {
    Output output(out);
    output.SetLimit(limit);
    WriteTree(node, false, rules, output);
    return !output.Stopped();
}

void FormatWriter::AppendDictionary(const RuleBook* rules, std::string& out) {
    Output output(out);
    WriteDictionary(rules, output);
}

std::uint64_t FormatWriter::FileSize(const FormatNode* root, const RuleBook* rules) {
    std::string nothing;
    Output output(nothing);
    output.CountOnly();
    output.Put(FILE_HEADER);
    WriteDictionary(rules, output);
    WriteTree(root, true, rules, output);
    return output.Counted();
}

bool FormatWriter::WriteFormatFile(const FormatNode* root, std::ostream& file, const RuleBook* rules) {
    file.write(FILE_HEADER.data(), static_cast<std::streamsize>(FILE_HEADER.size()));
    if (rules != nullptr && !rules->Entries().empty()) {
        std::string buffer;
        Output out(buffer, &file);
        WriteDictionary(rules, out);
        out.Flush();
    }
    if (file) {
        WriteNodes(root, file, rules);
    }
    file.flush();
    return static_cast<bool>(file);
}

std::string FormatWriter::FormatFileText(const FormatNode* root, const RuleBook* rules) {
    std::string text(FILE_HEADER);
    Output output(text);
    WriteDictionary(rules, output);
    WriteTree(root, true, rules, output);
    return text;
}

std::uint64_t FormatWriter::FileSizeBound(const FormatNode* root, const RuleBook* rules) {
    std::uint64_t bytes = FILE_HEADER.size() + (rules != nullptr ? RuleBytes(*rules) : 0);
    if (root == nullptr) {
        return bytes;
    }
    // A message takes two empty lines, its label, " (description)", "." and
    // a line end; an item its indentation (fewer tabs than its depth), its
    // label, "." and a line end; a list also the line that closes it.
    constexpr std::uint64_t MESSAGE_EXTRA = 3 * LINE_END.size() + 4;
    constexpr std::uint64_t LINE_EXTRA = 1 + LINE_END.size();
    // Depth first along the links, without a stack: down to the first
    // sub-node, on to the next sibling, or up until a node has one.
    std::uint64_t depth = 0;
    const FormatNode* node = root->FirstChild();
    while (node != nullptr) {
        if (depth == 0) {
            bytes += node->Label().size() + node->Description().size() + MESSAGE_EXTRA;
        } else {
            bytes += depth + node->Label().size() + LINE_EXTRA;
            if (node->IsList()) {
                bytes += depth + LINE_EXTRA;
            }
        }
        if (node->FirstChild() != nullptr) {
            node = node->FirstChild();
            ++depth;
            continue;
        }
        while (node != nullptr && node->NextSibling() == nullptr) {
            node = depth == 0 ? nullptr : node->Parent();
            depth = depth == 0 ? 0 : depth - 1;
        }
        node = node != nullptr ? node->NextSibling() : nullptr;
    }
    return bytes;
}

const FormatNode* FormatWriter::LastChild(const FormatNode* node) {
    if (node == nullptr) {
        return nullptr;
    }
    const FormatNode* last = node->FirstChild();
    while (last != nullptr && last->NextSibling() != nullptr) {
        last = last->NextSibling();
    }
    return last;
}

int FormatWriter::NodeDepth(const FormatNode* node) {
    int depth = 0;
    for (const FormatNode* n = node; n != nullptr && !n->IsMessage() && n->Parent() != nullptr; n = n->Parent()) {
        ++depth;
    }
    return depth;
}

} // namespace tqf
