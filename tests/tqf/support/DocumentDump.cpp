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
    for (const FormatNode* m = root->FirstChild(); m != nullptr; m = m->NextSibling()) {
        pending.push_back({m, 0});
        while (!pending.empty()) {
            const Entry e = pending.back();
            pending.pop_back();
            text.append(static_cast<std::size_t>(e.depth) * 2, ' ');
            text += e.node->Label();
            if (e.node->IsMessage() == 0) {
                text += " #" + std::to_string(e.node->Count());
                if (e.node->IsList() != 0) {
                    text += " list";
                }
            }
            if (!e.node->Description().empty()) {
                text += " '" + e.node->Description().str() + "'";
            }
            text += '\n';
            std::vector<const FormatNode*> children;
            for (const FormatNode* c = e.node->FirstChild(); c != nullptr; c = c->NextSibling()) {
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
