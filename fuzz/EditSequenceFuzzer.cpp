// Reads the bytes as a sequence of editing commands (messages and items
// added, changed, deleted and moved by the rules of the panels and the tree's
// menu, with texts full of brackets, dots, comment marks and control bytes,
// undone and redone at random), checks that undoing every step gives back the
// first document and redoing every step the last, then checks the save's round-trip check against what a save and an
// open really do: when the check passes, the library read back from the saved file must be the same library, and when
// it fails, something must really change. "The same" allows exactly what the format cannot keep: letter case, a
// non-list count of 0 (read as 1), a VARIANT item's count, a list's
// description.

#include "Decimal.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "RoundTripCheck.h"
#include "TreeSurgery.h"

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
    if (document.GetRootNode()->FirstChild() != nullptr) {
        pending.push_back(document.GetRootNode()->FirstChild());
    }
    while (!pending.empty()) {
        FormatNode* node = pending.back();
        pending.pop_back();
        nodes.push_back(node);
        if (node->NextSibling() != nullptr) {
            pending.push_back(node->NextSibling());
        }
        if (node->FirstChild() != nullptr) {
            pending.push_back(node->FirstChild());
        }
    }
    return nodes;
}

FormatNode* Pick(Bytes& bytes, const std::vector<FormatNode*>& nodes) {
    return nodes.empty() ? nullptr : nodes[bytes.Next() % nodes.size()];
}

// The panel's or the dialog's item fields: a format row (separators and none
// included, which the rules refuse), a count as typed, and a description.
tqf::ItemFields ItemFieldsFrom(Bytes& bytes) {
    tqf::ItemFields fields;
    fields.format = bytes.Next() % tqf::FORMAT_ROW_COUNT;
    const std::int32_t count = COUNTS[bytes.Next() % COUNTS.size()];
    fields.open = count == tqf::OPEN_COUNT;
    fields.countText = fields.open ? "n" : std::to_string(count);
    if (!fields.open && bytes.Next() % 8 == 0) {
        fields.countText.clear();
    }
    fields.description = bytes.Text();
    return fields;
}

// The message panel's fields: mostly numbers in range, sometimes not.
tqf::MessageFields MessageFieldsFrom(Bytes& bytes) {
    tqf::MessageFields fields;
    fields.streamText = std::to_string(bytes.Next() % (MAX_STREAM + 2));
    fields.functionText = std::to_string(bytes.Next() + bytes.Next() % 2);
    fields.replyRequired = bytes.Bit();
    fields.description = bytes.Text();
    return fields;
}

// The written bytes of the document, which undo and redo must give back.
std::string Written(const FormatTree& document) { return tqf::FormatWriter::FormatFileText(document.GetRootNode()); }

std::string Escaped(std::string_view bytes);

// Runs the commands through the document's editing operations, whose rules
// refuse what the panels would refuse, with undo and redo among them.
void RunCommands(Bytes& bytes, FormatTree& document) {
    constexpr int COMMANDS = 10;
    while (!bytes.Empty()) {
        const std::vector<FormatNode*> nodes = AllNodes(document);
        const int command = bytes.Next() % COMMANDS;
        FormatNode* node = Pick(bytes, nodes);
        switch (command) {
        case 0:
            (void)document.CreateMessage(MessageFieldsFrom(bytes));
            break;
        case 1:
            (void)document.AddItem(node, ItemFieldsFrom(bytes));
            break;
        case 2: {
            tqf::ItemFields fields = ItemFieldsFrom(bytes);
            if (fields.format == tqf::LIST) {
                // The dialog disables the description and the count for a list.
                fields.description.clear();
                fields.countText = fields.open ? "n" : "0";
            }
            (void)document.AddSubItem(node, fields);
            break;
        }
        case 3:
            (void)document.AddListItem(node);
            break;
        case 4: {
            tqf::ItemFields fields = ItemFieldsFrom(bytes);
            if (fields.format == tqf::VARIANT) {
                // The panel empties and disables the count for VARIANT.
                fields.countText.clear();
                fields.open = false;
            }
            (void)document.UpdateItem(node, fields);
            break;
        }
        case 5:
            (void)document.UpdateMessage(node, MessageFieldsFrom(bytes));
            break;
        case 6:
            switch (bytes.Next() % 3) {
            case 0:
                (void)document.DeleteItem(node);
                break;
            case 1:
                (void)document.DeleteMessage(node);
                break;
            default:
                (void)document.DeleteAny(node);
                break;
            }
            break;
        case 7:
            (void)(bytes.Bit() ? document.MoveUp(node) : document.MoveDown(node));
            break;
        case 8:
            (void)document.Undo();
            break;
        default:
            (void)document.Redo();
            break;
        }
    }
}

// Undoing every step gives back the first document, redoing every step the
// last one, byte for byte as they are written.
void CheckHistory(FormatTree& document, const std::string& first) {
    while (document.Redo()) {
    }
    const std::string last = Written(document);
    const bool complete = tqf::TreeSurgery::History(document).Steps() < tqf::EditHistory::MAX_STEPS;
    while (document.Undo()) {
    }
    if (complete && Written(document) != first) {
        Fail("undoing every step does not give back the first document:\n" + Escaped(Written(document)));
    }
    while (document.Redo()) {
    }
    if (Written(document) != last) {
        Fail("redoing every step does not give back the last document:\n" + Escaped(Written(document)) +
             "\n-- expected --\n" + Escaped(last));
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
    for (const FormatNode* m = root->FirstChild(); m != nullptr; m = m->NextSibling()) {
        const auto fields = tqf::ReadMessageLabel(m->Label());
        text +=
            fields ? tqf::MakeMessageLabel(fields->stream, fields->function, fields->replyRequired) : m->Label().str();
        text += " (" + Capitals(m->Description().str()) + ")\n";
        if (m->FirstChild() != nullptr) {
            pending.push_back({m->FirstChild(), 1});
        }
        while (!pending.empty()) {
            const auto [item, depth] = pending.back();
            pending.pop_back();
            std::int32_t count = item->Count();
            if (item->IsList() != 0) {
                count = count == tqf::OPEN_COUNT ? count : FormatTree::CountListChildren(item);
            } else if (item->Format() == tqf::VARIANT) {
                count = 0;
            } else if (count == 0) {
                count = 1;
            }
            text += std::string(static_cast<std::size_t>(depth), ' ') + std::to_string(item->Format()) + " " +
                    std::to_string(item->IsList()) + " " + std::to_string(count);
            if (item->IsList() == 0) {
                text += " (" + Capitals(item->Description().str()) + ")";
            }
            text += '\n';
            if (item->NextSibling() != nullptr) {
                pending.push_back({item->NextSibling(), depth});
            }
            if (item->FirstChild() != nullptr) {
                pending.push_back({item->FirstChild(), depth + 1});
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
    const std::string first = Written(document);
    RunCommands(bytes, document);
    CheckHistory(document, first);
    FormatTree opened;
    CheckSave(document.GetRootNode(), opened, "the edited library");
    // The library as Open shows it has labels made again by the label rules,
    // which may read differently from the edited ones: its own save is
    // checked the same way.
    FormatTree reopened;
    CheckSave(opened.GetRootNode(), reopened, "the opened library");
    return 0;
}
