#pragma once

#include "FormatNode.h"

#include <string>

namespace tqf {

// What must hold for every document the reader builds, whatever the file:
// links that agree with each other, counts that agree with the sub-nodes,
// formats in range, and labels exactly as the label rules make them.
class DocumentInvariants {
public:
    // Empty when the document under root is sound, else the first fault found.
    // Walks without recursion, so any depth is fine.
    static std::string Check(const FormatNode* root);

private:
    static std::string CheckMessage(const FormatNode* message);
    static std::string CheckItem(const FormatNode* item);
};

} // namespace tqf
