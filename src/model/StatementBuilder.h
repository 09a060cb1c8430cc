#pragma once

#include "FormatTree.h"
#include "TextArena.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// What the header of a statement says.
struct MessageHeader {
    std::int32_t stream = -1;
    std::int32_t function = -1;
    std::int32_t replyRequired = 0;
    std::string_view description; // a view into the statement
    bool numberClamped = false;   // a number was beyond the 32-bit range
};

// Builds the message of one statement straight into the document while the
// statement's body is scanned (ItemParser::ParseBody's target): each item
// becomes its node as soon as it is read. The nodes stay apart from the
// document until Finish links the message after the last one, so a statement
// dropped half-way (Discard) leaves the document as it was.
class StatementBuilder {
public:
    explicit StatementBuilder(FormatTree& document);
    StatementBuilder(const StatementBuilder&) = delete;
    StatementBuilder& operator=(const StatementBuilder&) = delete;
    ~StatementBuilder();

    // Starts a statement whose message may hold at most nodeLimit items.
    void Begin(std::size_t nodeLimit);

    // The body scan's calls. A list opened where it has nowhere to go (the
    // first item was not a list) is left out with everything inside it, as
    // is any item after such a first item.
    void OpenList(bool open);
    void CloseList();
    void AddItem(std::int32_t format, std::int32_t count, std::string_view description);
    bool Overflowed() const { return overflowed_; }
    bool numberClamped = false;

    // The number of items the message holds so far.
    std::size_t NodeCount() const { return nodeCount_; }

    // Makes the message of header with the items read, and links it after
    // the document's last message; returns it.
    FormatNode* Finish(const MessageHeader& header);

    // Looks for the document's last message again, as a new reading starts:
    // the builder remembers the last one, so that appending never walks the
    // messages, and passes over those appended by others since.
    void FindLastMessage();

    // Frees the items read; the document never saw them.
    void Discard();

    // The document the messages go to.
    FormatTree& Document() const { return document_; }

private:
    FormatNode* NewItem(std::int32_t format);
    void LabelList(FormatNode* list);

    FormatTree& document_;
    FormatNode* lastMessage_ = nullptr;
    bool lastMessageFound_ = false;
    FormatNode* message_ = nullptr;
    FormatNode* rootItem_ = nullptr;
    // The lists from the top-level one to the cursor, each with its last
    // sub-item so far: items are appended without walking their siblings.
    struct OpenLevel {
        FormatNode* list;
        FormatNode* lastChild;
    };
    std::vector<OpenLevel> levels_;
    std::size_t nodeCount_ = 0;
    std::size_t nodeLimit_ = 0;
    bool overflowed_ = false;
    TextArena::Mark textsMark_; // where the texts of the statement begin
};

} // namespace tqf
