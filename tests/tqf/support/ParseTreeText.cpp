#include "ParseTreeText.h"

#include "ItemFormat.h"

#include <vector>

namespace tqf {

std::string ParseTreeText(const ParseTree& tree) {
    std::string text;
    // Each entry is a node to write, or none for the ")" that closes a list.
    struct Entry {
        const ParseNode* node;
        bool first;
    };
    std::vector<Entry> pending;
    if (tree.RootItem() != nullptr) {
        pending.push_back({tree.RootItem(), true});
    }
    while (!pending.empty()) {
        const Entry e = pending.back();
        pending.pop_back();
        if (e.node == nullptr) {
            text += ')';
            continue;
        }
        if (!e.first) {
            text += ", ";
        }
        const ParseNode* n = e.node;
        text += FormatCode(n->kind);
        if (n->open != 0) {
            text += 'n';
        }
        text += '[' + std::to_string(n->count) + ']';
        if (!n->text.empty()) {
            text += " '";
            text += n->text;
            text += '\'';
        }
        if (n->nextSibling != nullptr) {
            pending.push_back({n->nextSibling, false});
        }
        if (n->firstChild != nullptr) {
            text += '(';
            pending.push_back({nullptr, false});
            pending.push_back({n->firstChild, true});
        }
    }
    return text;
}

} // namespace tqf
