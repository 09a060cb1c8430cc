// Reads the bytes as a sequence of editing commands (messages and items
// added, changed, deleted and moved by the rules of the panels and the tree's
// menu, with texts full of brackets, dots, comment marks and control bytes),
// then checks the save's round-trip check against what a save and an open
// really do: when the check passes, the library read back from the saved file
// must be the same library, and when it fails, something must really change.
// "The same" allows exactly what the format cannot keep: letter case, a
// non-list count of 0 (read as 1), a VARIANT item's count, a list's
// description.

#include "Decimal.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "RoundTripCheck.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tqf::FormatNode;
using tqf::FormatTree;

constexpr std::size_t MAX_TEXT = 12;
constexpr std::uint8_t RAW_BYTE_FROM = 200;
// Characters that the file gives a meaning, and some that it does not.
constexpr char ALPHABET_CHARS[] = " .<>[]/*()'wWnNabcXYZ09-\t\r\n\0\xff";
constexpr std::string_view ALPHABET{ALPHABET_CHARS, sizeof ALPHABET_CHARS - 1};
constexpr std::array<std::int32_t, 6> COUNTS{0, 1, 2, 100, 2147483647, tqf::OPEN_COUNT};
constexpr std::int32_t MAX_STREAM = 127;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "\n*** property broken: %s\n", what.c_str());
    std::abort();
}

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }
    std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    bool Bit() { return (Next() & 1U) != 0; }
    std::string Text() {
        std::string text;
        const std::size_t length = Next() % (MAX_TEXT + 1);
        for (std::size_t i = 0; i < length; ++i) {
            const std::uint8_t b = Next();
            text += b >= RAW_BYTE_FROM ? static_cast<char>(b) : ALPHABET[b % ALPHABET.size()];
        }
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::vector<FormatNode*> AllNodes(FormatTree& document) {
    std::vector<FormatNode*> nodes;
    std::vector<FormatNode*> pending;
    if (document.GetRootNode()->firstChild != nullptr) {
        pending.push_back(document.GetRootNode()->firstChild);
    }
    while (!pending.empty()) {
        FormatNode* node = pending.back();
        pending.pop_back();
        nodes.push_back(node);
        if (node->nextSibling != nullptr) {
            pending.push_back(node->nextSibling);
        }
        if (node->firstChild != nullptr) {
            pending.push_back(node->firstChild);
        }
    }
    return nodes;
}

FormatNode* Pick(Bytes& bytes, const std::vector<FormatNode*>& nodes) {
    return nodes.empty() ? nullptr : nodes[bytes.Next() % nodes.size()];
}

FormatNode* LastMessage(FormatTree& document) {
    FormatNode* last = document.GetRootNode()->firstChild;
    while (last != nullptr && last->nextSibling != nullptr) {
        last = last->nextSibling;
    }
    return last;
}

bool IsFormatRow(int row) { return row != tqf::NONE && row != tqf::SEPARATOR; }

// Create, or Update on an existing message: numbers in the panel's ranges.
void SetMessage(Bytes& bytes, FormatNode* message) {
    const std::int32_t stream = 1 + bytes.Next() % MAX_STREAM;
    const std::int32_t function = bytes.Next();
    message->label = tqf::MakeMessageLabel(stream, function, bytes.Bit());
    message->description = std::string(tqf::TrimSpace(bytes.Text()));
    message->isMessage = 1;
}

// The item panel's Add, or the sub-item dialog's ADD when fromDialog.
void AddItem(Bytes& bytes, FormatTree& document, FormatNode* parent, bool fromDialog) {
    const int format = bytes.Next() % tqf::FORMAT_ROW_COUNT;
    if (!IsFormatRow(format)) {
        return;
    }
    std::int32_t count = COUNTS[bytes.Next() % COUNTS.size()];
    const bool open = count == tqf::OPEN_COUNT;
    if (!fromDialog && format == tqf::VARIANT) {
        count = 0; // the panel empties and disables the count for VARIANT
    }
    if (format == tqf::LIST) {
        count = open ? tqf::OPEN_COUNT : 0;
    }
    if (!fromDialog && format == tqf::ASCII && count == 0) {
        return; // "AsciiItem Cannot be zero length"
    }
    std::string description = bytes.Text();
    if (fromDialog && format == tqf::LIST) {
        description.clear(); // the dialog disables the description for a list
    }
    if ((parent->isMessage != 0 && parent->count != 0) ||
        (parent->count == tqf::OPEN_COUNT && parent->firstChild != nullptr)) {
        return;
    }
    const std::int32_t labelCount = format == tqf::LIST ? 0 : count;
    FormatNode* node = document.AppendSubNode(parent, tqf::MakeItemLabel(format, labelCount, open, description));
    if (node == nullptr) {
        return;
    }
    node->format = format;
    node->count = count;
    node->description = description;
    node->isList = format == tqf::LIST ? 1 : 0;
}

// The tree menu's Add List Item.
void AddListItem(FormatTree& document, FormatNode* parent) {
    if (parent->isMessage != 0 && parent->firstChild != nullptr) {
        return;
    }
    FormatNode* node = document.AppendSubNode(parent, {});
    if (node == nullptr) {
        return;
    }
    node->isList = 1;
    node->format = tqf::LIST;
    node->label = tqf::ListLabel(0);
}

// The item panel's Update.
void UpdateItem(Bytes& bytes, FormatNode* item) {
    const int format = bytes.Next() % tqf::FORMAT_ROW_COUNT;
    if (item->isMessage != 0 || !IsFormatRow(format)) {
        return;
    }
    const int children = FormatTree::CountListChildren(item);
    if (format != tqf::LIST && children != 0) {
        return;
    }
    std::int32_t count = COUNTS[bytes.Next() % COUNTS.size()];
    const bool open = format != tqf::VARIANT && count == tqf::OPEN_COUNT;
    if (format == tqf::VARIANT) {
        count = 0;
    }
    if (format == tqf::LIST && open && children > 1) {
        return;
    }
    if (format == tqf::ASCII && count == 0) {
        return;
    }
    std::string description = bytes.Text();
    if (format == tqf::LIST) {
        // The panel shows a list's own number of sub-items, or "n".
        description.clear();
        count = open ? tqf::OPEN_COUNT : children;
        item->label = tqf::MakeItemLabel(format, open ? 0 : children, open, description);
    } else {
        item->label = tqf::MakeItemLabel(format, open ? 0 : count, open, description);
    }
    item->format = format;
    item->count = count;
    item->description = description;
    item->isList = format == tqf::LIST ? 1 : 0;
}

// DOWN: the node swaps places with its next sibling.
void MoveDown(FormatNode* node) {
    FormatNode* next = node->nextSibling;
    if (next == nullptr) {
        return;
    }
    FormatNode* before = FormatTree::PreviousSibling(node);
    node->nextSibling = next->nextSibling;
    next->nextSibling = node;
    if (before != nullptr) {
        before->nextSibling = next;
    } else {
        node->parent->firstChild = next;
    }
}

void RunCommands(Bytes& bytes, FormatTree& document) {
    constexpr int COMMANDS = 8;
    while (!bytes.Empty()) {
        const std::vector<FormatNode*> nodes = AllNodes(document);
        const int command = bytes.Next() % COMMANDS;
        FormatNode* node = Pick(bytes, nodes);
        switch (command) {
        case 0: {
            FormatNode* last = LastMessage(document);
            FormatNode* message =
                last == nullptr ? document.AddChild(nullptr, "S1F1", false) : document.AddSibling(last, "S1F1", false);
            SetMessage(bytes, message);
            break;
        }
        case 1:
        case 2:
            if (node != nullptr) {
                AddItem(bytes, document, node, command == 2);
            }
            break;
        case 3:
            if (node != nullptr) {
                AddListItem(document, node);
            }
            break;
        case 4:
            if (node != nullptr) {
                UpdateItem(bytes, node);
            }
            break;
        case 5:
            if (node != nullptr && node->isMessage != 0) {
                SetMessage(bytes, node);
            }
            break;
        case 6:
            if (node != nullptr) {
                document.DeleteNode(node, false);
            }
            break;
        default:
            if (node != nullptr) {
                MoveDown(node);
            }
            break;
        }
    }
}

// Bytes as C escapes where they are not printable, for the failure report.
std::string Escaped(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\n') {
            text += "\\n\n";
        } else if (b < ' ' || b >= 0x7F) {
            constexpr std::size_t ESCAPE_SIZE = 5;
            char escape[ESCAPE_SIZE];
            std::snprintf(escape, sizeof escape, "\\x%02X", b);
            text += escape;
        } else {
            text += c;
        }
    }
    return text;
}

std::string Capitals(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// The library with what the format does not keep taken out: one line per
// node, depth first.
std::string Library(const FormatNode* root) {
    std::string text;
    struct Entry {
        const FormatNode* node;
        int depth;
    };
    std::vector<Entry> pending;
    for (const FormatNode* m = root->firstChild; m != nullptr; m = m->nextSibling) {
        const auto fields = tqf::ReadMessageLabel(m->label);
        text += fields ? tqf::MakeMessageLabel(fields->stream, fields->function, fields->replyRequired) : m->label;
        text += " (" + Capitals(m->description) + ")\n";
        if (m->firstChild != nullptr) {
            pending.push_back({m->firstChild, 1});
        }
        while (!pending.empty()) {
            const auto [item, depth] = pending.back();
            pending.pop_back();
            std::int32_t count = item->count;
            if (item->isList != 0) {
                count = count == tqf::OPEN_COUNT ? count : FormatTree::CountListChildren(item);
            } else if (item->format == tqf::VARIANT) {
                count = 0;
            } else if (count == 0) {
                count = 1;
            }
            text += std::string(static_cast<std::size_t>(depth), ' ') + std::to_string(item->format) + " " +
                    std::to_string(item->isList) + " " + std::to_string(count);
            if (item->isList == 0) {
                text += " (" + Capitals(item->description) + ")";
            }
            text += '\n';
            if (item->nextSibling != nullptr) {
                pending.push_back({item->nextSibling, depth});
            }
            if (item->firstChild != nullptr) {
                pending.push_back({item->firstChild, depth + 1});
            }
        }
    }
    return text;
}

// Saves the library under root as Save does, opens the file into opened, and
// holds the round-trip check's verdict against what came back.
void CheckSave(const FormatNode* root, FormatTree& opened, const char* which) {
    const std::string saved = tqf::FormatWriter::FormatFileText(root);
    tqf::FormatReader reader(opened);
    const tqf::ReadResult result = reader.ReadFormatBytes(saved);
    const bool same = result.dropped.empty() && Library(root) == Library(opened.GetRootNode());
    const tqf::RoundTripReport report = tqf::RoundTripCheck::CheckRoundTrip(root);
    if (report.Ok() && !same) {
        Fail(std::string(which) + ": the round-trip check passed, but the saved file reads back as another library:\n" +
             Escaped(saved) + "\n-- the library --\n" + Library(root) + "-- read back --\n" +
             Library(opened.GetRootNode()));
    }
    if (!report.Ok() && same) {
        Fail(std::string(which) + ": the round-trip check names " + report.problems.front().label + " (" +
             report.problems.front().reason + "), but the saved file reads back as the same library:\n" +
             Escaped(saved));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes bytes(data, size);
    FormatTree document;
    RunCommands(bytes, document);
    FormatTree opened;
    CheckSave(document.GetRootNode(), opened, "the edited library");
    // The library as Open shows it has labels made again by the label rules,
    // which may read differently from the edited ones: its own save is
    // checked the same way.
    FormatTree reopened;
    CheckSave(opened.GetRootNode(), reopened, "the opened library");
    return 0;
}
