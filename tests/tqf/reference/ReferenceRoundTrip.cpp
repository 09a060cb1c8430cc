#include "ReferenceRoundTrip.h"

#include "FormatTree.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "ReferenceReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tqf::reference {

namespace {

std::string Capitals(std::string_view text) {
    std::string capitals(text);
    std::transform(capitals.begin(), capitals.end(), capitals.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; });
    return capitals;
}

// The reader makes every letter a capital, so texts come back alike in
// capitals.
bool EqualIgnoringLetterCase(std::string_view a, std::string_view b) { return Capitals(a) == Capitals(b); }

// The count a non-list item comes back with: the writer leaves out a count
// of 0 as it does a count of 1, which the reader then reads.
std::int32_t CountAsWritten(std::int32_t count) { return count != 0 ? count : 1; }

// Compares two item trees node by node; empty when they agree, else what differs.
std::string CompareItems(const FormatNode* original, const FormatNode* copy) {
    struct Pair {
        const FormatNode* original;
        const FormatNode* copy;
    };
    std::vector<Pair> pending{{original, copy}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        if (a == nullptr || b == nullptr) {
            if (a != b) {
                return a == nullptr ? "an item that is not in the document comes back"
                                    : "the item " + a->Label().str() + " does not come back";
            }
            continue;
        }
        if (a->Format() != b->Format() || a->IsList() != b->IsList()) {
            return "the item " + a->Label().str() + " comes back as " + b->Label().str();
        }
        if (a->IsList() != 0) {
            if (a->Count() != b->Count()) {
                return "the list " + a->Label().str() + " comes back as " + b->Label().str();
            }
        } else if (a->Format() != VARIANT && CountAsWritten(a->Count()) != b->Count()) {
            return "the count of " + a->Label().str() + " does not come back";
        }
        if (a->IsList() == 0 && !EqualIgnoringLetterCase(a->Description(), b->Description())) {
            return "the description of " + a->Label().str() + " comes back as \"" + b->Description().str() + "\"";
        }
        pending.push_back({a->NextSibling(), b->NextSibling()});
        pending.push_back({a->FirstChild(), b->FirstChild()});
    }
    return {};
}

std::string CompareMessages(const FormatNode* original, const FormatNode* copy) {
    const auto originalFields = ReadMessageLabel(original->Label());
    const auto copyFields = ReadMessageLabel(copy->Label());
    const bool sameHeader = originalFields.has_value() && copyFields.has_value()
                                ? originalFields->stream == copyFields->stream &&
                                      originalFields->function == copyFields->function &&
                                      originalFields->replyRequired == copyFields->replyRequired
                                : EqualIgnoringLetterCase(original->Label(), copy->Label());
    if (!sameHeader) {
        return "it comes back as " + copy->Label().str();
    }
    if (!EqualIgnoringLetterCase(original->Description(), copy->Description())) {
        return "its description comes back as \"" + copy->Description().str() + "\"";
    }
    return CompareItems(original->FirstChild(), copy->FirstChild());
}

} // namespace

RoundTripReport CheckRoundTrip(const FormatNode* root) {
    RoundTripReport report;
    if (root == nullptr) {
        return report;
    }
    // Write the file as a save would, noting the lines each message takes.
    struct MessageLines {
        const FormatNode* message;
        std::size_t lastLine;
    };
    std::vector<MessageLines> layout;
    std::string text(FormatWriter::FILE_HEADER);
    std::size_t lines = 0;
    std::size_t counted = 0;
    for (const FormatNode* m = root->FirstChild(); m != nullptr; m = m->NextSibling()) {
        FormatWriter::AppendSubtree(m, text);
        lines +=
            static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted), text.end(), '\n'));
        counted = text.size();
        if (m->IsMessage() != 0 && !m->Label().empty()) {
            layout.push_back({m, lines});
        }
    }

    // Read it back, and give every message and every dropped statement to the
    // message whose lines hold the "." that ended it.
    FormatTree copy;
    ReferenceReader reader(copy);
    const ReadResult result = reader.ReadFormatBytes(text);
    const auto ownerOf = [&layout](std::size_t line) {
        auto it = std::lower_bound(layout.begin(), layout.end(), line,
                                   [](const MessageLines& m, std::size_t l) { return m.lastLine < l; });
        return static_cast<std::size_t>(it - layout.begin());
    };
    std::vector<std::vector<const FormatNode*>> readBack(layout.size());
    std::vector<std::size_t> droppedCount(layout.size() + 1, 0);
    const FormatNode* copyMessage = copy.GetRootNode()->FirstChild();
    for (std::size_t line : result.messageLines) {
        const std::size_t owner = ownerOf(line);
        if (owner < layout.size()) {
            readBack[owner].push_back(copyMessage);
        }
        copyMessage = copyMessage->NextSibling();
    }
    for (const DroppedStatement& dropped : result.dropped) {
        ++droppedCount[std::min(ownerOf(dropped.line), layout.size())];
    }

    for (std::size_t i = 0; i < layout.size(); ++i) {
        const FormatNode* message = layout[i].message;
        std::string reason;
        if (droppedCount[i] > 0) {
            reason = "part of it cannot be read back";
        } else if (readBack[i].empty()) {
            reason = "it does not come back";
        } else if (readBack[i].size() > 1) {
            reason = "it comes back as several messages";
        } else {
            reason = CompareMessages(message, readBack[i].front());
        }
        if (!reason.empty()) {
            report.problems.push_back({message, message->Label().str(), std::move(reason)});
        }
    }
    report.text = BlockText(text);
    return report;
}

} // namespace tqf::reference
