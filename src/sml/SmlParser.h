#pragma once

#include "Decimal.h"
#include "FormatReader.h"
#include "SmlReader.h"
#include "SmlStatement.h"
#include "StatementBuilder.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The statement parser behind SmlReader; only SmlReader's files include it.
namespace tqf::sml {

// Small enough to be inlined where every byte of a text goes through them.
inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool IsWordByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether text, in capitals, is word.
inline bool EqualsUpper(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Upper(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

std::string Quoted(std::string_view text);
// Whether a description holds anything that would not read back from a .TQF
// file, or blanks at an end.
bool NeedsMakingSafe(std::string_view text);

// One item of a statement as SML wrote it, before it becomes a node.
struct SmlItem {
    std::int32_t format = 0;
    int depth = 0;
    bool open = false;          // "[n]", "[...]"
    bool counted = false;       // "[k]", or a number after L
    std::int32_t count = 0;     // k
    std::size_t length = 0;     // the values: characters of texts, or how many
    std::size_t values = 0;     // the values as written
    std::size_t firstValue = 0; // where its values start among the statement's
    std::size_t items = 0;      // a list's sub-items
    bool leftOut = false;       // a second top-level item, or inside one
    std::string name;           // bare words after the code
    std::string comment;        // the // comment on the item's line
    std::size_t line = 0;
    std::size_t column = 0;
};

// Where a statement went wrong.
struct SmlError {
    std::size_t line = 0;
    std::size_t column = 0;
    std::string reason;
    bool atEnd = false; // the input ended inside the statement
    bool ended = false; // the statement's "." has been read already
};

// One pass over an SML text, or a log with SML in it, statement by
// statement.
class SmlParser {
public:
    SmlParser(std::string_view text, SmlReadResult& result, StatementBuilder& builder,
              const FormatReader::MessageCallback& onMessage, const SmlImportOptions& options)
        : text_(text), result_(result), builder_(builder), onMessage_(onMessage), options_(options) {}

    void SetHandler(SmlStatementHandler* handler) { handler_ = handler; }
    // A log: statements are found at their headers, and what lies between
    // them is skipped.
    void SetLog(bool log) { log_ = log; }

    // Asked before each statement; reports how far the reading is to
    // bytesRead, the text starting offset bytes into the input.
    void SetCancelCheck(const FormatReader::CancelCheck* check, std::atomic<std::uintmax_t>* bytesRead,
                        std::uintmax_t offset = 0) {
        cancelCheck_ = check;
        bytesRead_ = bytesRead;
        offset_ = offset;
    }

    // Where reading a piece of a longer text stopped: the unread rest begins
    // at pos, on line, whose first byte is at lineStart.
    struct Stop {
        std::size_t pos = 0;
        std::size_t line = 1;
        std::size_t lineStart = 0;
    };

    // Reads the statements of a piece of the text from start on, line being
    // the line of start, whose first byte is at lineStart. A piece ends at a
    // line's end, unless it is the last. A statement that reaches the end of
    // a piece that is not the last is left unread, with any warning it gave,
    // so that it is read whole with the next piece; the answer says where the
    // unread rest begins.
    Stop RunPiece(std::size_t start, std::size_t line, std::size_t lineStart, bool last);

private:
    static constexpr std::size_t NO_OWNER = static_cast<std::size_t>(-1);
    static constexpr std::size_t HEADER_OWNER = static_cast<std::size_t>(-2);

    enum class Scan { FOUND, END, MORE };

    // The statement's "//@" rule comments: whose (an index of items_, or
    // HEADER_OWNER), where, and what follows the mark.
    struct RuleComment {
        std::size_t owner = 0;
        std::size_t line = 0;
        std::size_t column = 0;
        std::string_view text;
    };

    std::size_t Column(std::size_t pos) const { return pos - lineStart_ + 1; }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek(std::size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }
    SmlError ErrorHere(std::string reason) const { return {line_, Column(pos_), std::move(reason), AtEnd()}; }
    void NewLine() {
        ++pos_;
        ++line_;
        lineStart_ = pos_;
    }
    // Moves on to pos, counting the lines passed.
    void AdvanceTo(std::size_t pos);
    // The values are kept only while a handler takes the statements, which
    // may check them.
    void NoteValue(std::string_view value) {
        if (handler_ != nullptr) {
            valueTexts_.push_back(value);
        }
    }

    // Reading (SmlParser.cpp).
    void Report(const SmlError& error);
    void SkipBlank();
    void LineComment();
    void NoteRuleComment(std::string_view rule, std::size_t column);
    void BlockComment();
    bool AtLineEnd() const;
    void SkipToStatementEnd();
    std::optional<DecimalScan> Number();
    std::optional<SmlError> ReadStatement();
    std::optional<SmlError> ReadHeader();
    std::optional<SmlError> EndStatement();
    std::optional<SmlError> ReadItems();
    std::optional<SmlError> ReadItem(int depth, bool leftOut);
    std::optional<SmlError> ReadCode(SmlItem& item);
    void ReadListCount(SmlItem& item);
    std::optional<SmlError> ReadValues(SmlItem& item);
    std::string_view Word();
    std::optional<SmlError> ReadBracket(SmlItem& item);
    bool Cancelled();
    // The message's label for a reason, once its header is read.
    std::string InMessage(std::string reason) const;

    // Logs (SmlLogScan.cpp): on to the next header, skipping and counting
    // the lines before it.
    Scan SkipToHeader(bool last);

    // What becomes of a statement (SmlMapping.cpp).
    void Build();
    void BuildItem(const SmlItem& item, int& openDepth);
    std::int32_t ItemCount(const SmlItem& item, bool open);
    void Hand();
    void AttachRules(FormatNode& message);
    void ReadRuleComment(const RuleComment& comment, NodeRules& into);
    void Note(SmlChange kind, std::size_t line, std::size_t column, std::string reason);
    std::string SafeDescription(std::string text, std::size_t line, std::size_t column);

    std::string_view text_;
    SmlReadResult& result_;
    StatementBuilder& builder_;
    const FormatReader::MessageCallback& onMessage_;
    const SmlImportOptions& options_;
    const FormatReader::CancelCheck* cancelCheck_ = nullptr;
    std::atomic<std::uintmax_t>* bytesRead_ = nullptr;
    std::uintmax_t offset_ = 0;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::size_t lineStart_ = 0;
    bool log_ = false;
    // Where the items of the statement whose header a log scan found begin.
    std::size_t bodyStart_ = 0;
    std::size_t logHeader_ = 0; // and where the header itself begins
    // The message or item whose line a // comment describes.
    std::size_t owner_ = NO_OWNER;
    std::size_t ownerLine_ = 0;
    // The statement being read.
    std::size_t statementLine_ = 0;
    std::size_t statementColumn_ = 0;
    std::size_t statementStart_ = 0;
    bool headerRead_ = false;
    std::int32_t stream_ = 0;
    std::int32_t function_ = 0;
    bool reply_ = false;
    Direction direction_ = Direction::ANY;
    std::string messageName_;
    std::string messageComment_;
    std::vector<RuleComment> ruleComments_;
    std::vector<SmlItem> items_;
    std::vector<std::string_view> valueTexts_; // of the statement's items, in order
    bool listClosed_ = false;                  // the list just read was "<L>", closed at once
    SmlStatementHandler* handler_ = nullptr;
    SmlStatement statement_; // kept, so that its items' room is reused
};

} // namespace tqf::sml
