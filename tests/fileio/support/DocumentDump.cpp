#include "DocumentDump.h"

#include <vector>

namespace tqf {

std::string DumpDocument(const FormatNode* root) {
    std::string text;
    struct Entry {
        const FormatNode* node;
        int depth;
    };
    std::vector<Entry> pending;
    for (const FormatNode* m = root->firstChild; m != nullptr; m = m->nextSibling) {
        pending.push_back({m, 0});
        while (!pending.empty()) {
            const Entry e = pending.back();
            pending.pop_back();
            text.append(static_cast<std::size_t>(e.depth) * 2, ' ');
            text += e.node->label;
            if (e.node->isMessage == 0) {
                text += " #" + std::to_string(e.node->count);
                if (e.node->isList != 0) {
                    text += " list";
                }
            }
            if (!e.node->description.empty()) {
                text += " '" + e.node->description.str() + "'";
            }
            text += '\n';
            std::vector<const FormatNode*> children;
            for (const FormatNode* c = e.node->firstChild; c != nullptr; c = c->nextSibling) {
                children.push_back(c);
            }
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                pending.push_back({*it, e.depth + 1});
            }
        }
    }
    return text;
}

} // namespace tqf
