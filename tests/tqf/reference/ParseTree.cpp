#include "ParseTree.h"

#include "ItemFormat.h"

#include <array>
#include <functional>
#include <iterator>
#include <utility>

namespace tqf {

ParseNode* ParseTree::AddNode(std::int32_t kind, std::int32_t count, std::string_view text) {
    if (used_ > 0 && cursor == nullptr) {
        // The top-level item is not a list, so nothing else belongs to the
        // message: the node would never be built, and is not kept either.
        return nullptr;
    }
    if (used_ >= nodeLimit_) {
        overflowed_ = true;
        return nullptr;
    }
    if (next_ == nodes_.end()) {
        nodes_.emplace_back();
        next_ = std::prev(nodes_.end());
    }
    ParseNode& node = *next_++;
    ++used_;
    node.kind = kind;
    node.open = (kind != LIST && count == OPEN_COUNT) ? 1 : 0;
    node.count = count;
    node.text = Keep(text);
    node.parent = nullptr;
    node.firstChild = nullptr;
    node.lastChild = nullptr;
    node.prevSibling = nullptr;
    node.nextSibling = nullptr;
    if (cursor != nullptr) {
        ++cursor->count;
        node.parent = cursor;
        if (cursor->lastChild != nullptr) {
            node.prevSibling = cursor->lastChild;
            cursor->lastChild->nextSibling = &node;
        } else {
            cursor->firstChild = &node;
        }
        cursor->lastChild = &node;
    }
    return &node;
}

std::string_view ParseTree::Keep(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const std::less<const char*> before;
    const char* const begin = statement_.data();
    const char* const end = begin + statement_.size();
    if (!before(text.data(), begin) && !before(end, text.data() + text.size())) {
        return text;
    }
    if (copiesUsed_ == copies_.size()) {
        copies_.emplace_back();
    }
    std::string& copy = copies_[copiesUsed_++];
    copy.assign(text);
    return copy;
}

std::string_view ParseTree::AdoptStatement(std::string& text) {
    // A buffer far larger than statements usually are is not passed on to be
    // held besides the one the tree keeps.
    constexpr std::size_t LARGEST_BUFFER_PASSED_ON = std::size_t{1} << 20;
    statement_.swap(text);
    if (text.capacity() > LARGEST_BUFFER_PASSED_ON) {
        std::string().swap(text);
    }
    return statement_;
}

int ParseTree::OpenList(bool open) {
    ParseNode* list = AddNode(LIST, 0, std::string_view{});
    if (list == nullptr) {
        return 0;
    }
    list->open = open ? 1 : 0;
    cursor = list;
    return 1;
}

int ParseTree::CloseList() {
    if (cursor == nullptr || cursor->parent == nullptr) {
        return 0;
    }
    cursor = cursor->parent;
    return 1;
}

ParseNode* ParseTree::AddLeaf(std::int32_t kind, std::int32_t count, std::string_view text) {
    return AddNode(kind, count, text);
}

void ParseTree::AddBinary(std::int32_t count, std::string_view text) { AddLeaf(BINARY, count, text); }
void ParseTree::AddBoolean(std::int32_t count, std::string_view text) { AddLeaf(BOOLEAN, count, text); }
void ParseTree::AddAscii(std::int32_t count, std::string_view text) { AddLeaf(ASCII, count, text); }
void ParseTree::AddJis8(std::int32_t count, std::string_view text) { AddLeaf(JIS8, count, text); }
void ParseTree::AddInt1(std::int32_t count, std::string_view text) { AddLeaf(INT1, count, text); }
void ParseTree::AddInt2(std::int32_t count, std::string_view text) { AddLeaf(INT2, count, text); }
void ParseTree::AddInt4(std::int32_t count, std::string_view text) { AddLeaf(INT4, count, text); }
void ParseTree::AddInt8(std::int32_t count, std::string_view text) { AddLeaf(INT8, count, text); }
void ParseTree::AddUint1(std::int32_t count, std::string_view text) { AddLeaf(UINT1, count, text); }
void ParseTree::AddUint2(std::int32_t count, std::string_view text) { AddLeaf(UINT2, count, text); }
void ParseTree::AddUint4(std::int32_t count, std::string_view text) { AddLeaf(UINT4, count, text); }
void ParseTree::AddUint8(std::int32_t count, std::string_view text) { AddLeaf(UINT8, count, text); }
void ParseTree::AddFloat4(std::int32_t count, std::string_view text) { AddLeaf(FLOAT4, count, text); }
void ParseTree::AddFloat8(std::int32_t count, std::string_view text) { AddLeaf(FLOAT8, count, text); }
void ParseTree::AddVariant(std::string_view text) { AddLeaf(VARIANT, 0, text); }

void ParseTree::AddItem(std::int32_t format, std::int32_t count, std::string_view text) {
    using AddMember = void (ParseTree::*)(std::int32_t, std::string_view);
    // Indexed by format; the entries for LIST, NONE, SEPARATOR and VARIANT are
    // never used here.
    static constexpr std::array<AddMember, FORMAT_ROW_COUNT> ADD_MEMBERS{
        nullptr,
        nullptr,
        &ParseTree::AddBinary,
        &ParseTree::AddBoolean,
        &ParseTree::AddAscii,
        &ParseTree::AddJis8,
        &ParseTree::AddInt1,
        &ParseTree::AddInt2,
        &ParseTree::AddInt4,
        &ParseTree::AddInt8,
        &ParseTree::AddUint1,
        &ParseTree::AddUint2,
        &ParseTree::AddUint4,
        &ParseTree::AddUint8,
        &ParseTree::AddFloat4,
        &ParseTree::AddFloat8,
        nullptr,
        nullptr,
    };
    if (format == VARIANT) {
        AddVariant(text);
    } else if (format >= BINARY && format <= FLOAT8) {
        (this->*ADD_MEMBERS[static_cast<std::size_t>(format)])(count, text);
    }
}

void ParseTree::Clear() {
    stream = -1;
    function = -1;
    description.clear();
    replyRequired = 0;
    cursor = nullptr;
    numberClamped = false;
    used_ = 0;
    next_ = nodes_.begin();
    overflowed_ = false;
    statement_.clear();
    copiesUsed_ = 0;
}

ParseNode* ParseTree::RootItem() { return used_ == 0 ? nullptr : &nodes_.front(); }
const ParseNode* ParseTree::RootItem() const { return used_ == 0 ? nullptr : &nodes_.front(); }

} // namespace tqf
