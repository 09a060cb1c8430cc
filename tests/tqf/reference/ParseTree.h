#pragma once

#include "ParseNode.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace tqf {

// What one statement of a format file holds: the message header and the item
// tree, built while the statement's body is scanned and turned into document
// nodes only once the whole statement has been accepted.
class ParseTree {
public:
    ParseTree() = default;
    ParseTree(const ParseTree&) = delete;
    ParseTree& operator=(const ParseTree&) = delete;
    virtual ~ParseTree() = default;

    // Adds a list under the cursor and makes it the cursor. A list that has
    // nowhere to go (the statement's first item is not a list) is ignored with
    // everything inside it: then the result is 0 and the cursor stays none.
    int OpenList(bool open);

    // Moves the cursor to the enclosing list; 0 when there is none, and then
    // nothing changes, so the top-level list keeps the cursor.
    int CloseList();

    // Non-list items, one member per format; a count of -1 marks an open count.
    // The tree keeps text: a view when it lies within the statement text the
    // tree has adopted, a copy otherwise.
    void AddBinary(std::int32_t count, std::string_view text);
    void AddBoolean(std::int32_t count, std::string_view text);
    void AddAscii(std::int32_t count, std::string_view text);
    void AddJis8(std::int32_t count, std::string_view text);
    void AddInt1(std::int32_t count, std::string_view text);
    void AddInt2(std::int32_t count, std::string_view text);
    void AddInt4(std::int32_t count, std::string_view text);
    void AddInt8(std::int32_t count, std::string_view text);
    void AddUint1(std::int32_t count, std::string_view text);
    void AddUint2(std::int32_t count, std::string_view text);
    void AddUint4(std::int32_t count, std::string_view text);
    void AddUint8(std::int32_t count, std::string_view text);
    void AddFloat4(std::int32_t count, std::string_view text);
    void AddFloat8(std::int32_t count, std::string_view text);
    // A VARIANT item keeps no count: it stays 0 and not open.
    void AddVariant(std::string_view text);
    // The member above for format (BINARY to FLOAT8, or VARIANT without its
    // count); other formats are ignored.
    void AddItem(std::int32_t format, std::int32_t count, std::string_view text);

    // Back to the state of a new tree, for the next statement.
    void Clear();

    // Takes the statement text the items are read from, so that their texts
    // need no copies while the tree holds it; text is left with a buffer to
    // use again, and what it holds is unspecified. Call after Clear and
    // before adding items.
    std::string_view AdoptStatement(std::string& text);

    // The statement's top-level item: the first node added, or none.
    ParseNode* RootItem();
    const ParseNode* RootItem() const;

    // The number of nodes that belong to the message's item tree.
    std::size_t NodeCount() const { return used_; }

    // How many nodes the tree may hold; a node beyond that is not added and
    // marks the tree as overflowed until Clear. No limit unless set.
    void SetNodeLimit(std::size_t nodes) { nodeLimit_ = nodes; }
    bool Overflowed() const { return overflowed_; }

    std::int32_t stream = -1;
    std::int32_t function = -1;
    std::string description;
    std::int32_t replyRequired = 0;
    ParseNode* cursor = nullptr;
    // A stream or function number or an item count was beyond the 32-bit
    // range and kept as the nearest end of it.
    bool numberClamped = false;

    // The statement text adopted, as the items were read from it.
    std::string_view Statement() const { return statement_; }

private:
    ParseNode* AddLeaf(std::int32_t kind, std::int32_t count, std::string_view text);
    ParseNode* AddNode(std::int32_t kind, std::int32_t count, std::string_view text);
    std::string_view Keep(std::string_view text);

    // Owns every node of the item tree: the first used_ entries, in the order
    // they were added. Clear keeps the nodes for the next statement, so a
    // reader allocates them only while its statements grow.
    // A deque keeps every node where it is as more are added, and allocates
    // them a few at a time.
    std::deque<ParseNode> nodes_;
    std::size_t used_ = 0;
    std::deque<ParseNode>::iterator next_ = nodes_.begin(); // the node after the used ones
    // The adopted statement, and copies of the texts from elsewhere (the
    // first copiesUsed_ entries; a deque keeps each where it is).
    std::string statement_;
    std::deque<std::string> copies_;
    std::size_t copiesUsed_ = 0;
    std::size_t nodeLimit_ = static_cast<std::size_t>(-1);
    bool overflowed_ = false;
};

} // namespace tqf
