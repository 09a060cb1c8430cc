#pragma once

#include "FormatNode.h"
#include "RuleBook.h"
#include "RuleCheck.h"
#include "SmlReader.h"
#include "SmlStatement.h"
#include "ValidationFinding.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace tqf {

// Holds messages that were really sent, read from SML, against the
// definitions of a library, one message at a time: each message is looked up
// by its stream and function and its items are walked beside the
// definition's. Every mismatch goes to the callback as it is found, so that
// what is kept does not grow with the number of messages.
class SmlValidator : public SmlStatementHandler {
public:
    using FindingCallback = std::function<void(const ValidationFinding& finding)>;

    // library is the root of the document whose messages are the
    // definitions; it must outlive the validator and stay unchanged, and so
    // must rules, the document's rules, which the messages are held to too.
    SmlValidator(const FormatNode* library, FindingCallback onFinding, const RuleBook* rules = nullptr);

    // Reads the SML messages of a file or a text and checks each one. The
    // result says whether the file could be read, and what reading warns of.
    [[nodiscard]] SmlReadResult CheckFile(const std::filesystem::path& path);
    [[nodiscard]] SmlReadResult CheckBytes(std::string_view bytes);
    [[nodiscard]] SmlReadResult CheckStream(std::istream& in);

    // How the messages are read: as a log, say.
    void SetOptions(const SmlImportOptions& options) { options_ = options; }

    void HandleStatement(const SmlStatement& statement) override;
    void HandleUnreadable(const ReadDiagnostic& diagnostic) override;

    // The definitions held: those alike in stream, function, reply flag
    // and items count once.
    std::size_t Definitions() const { return distinct_; }
    std::size_t Messages() const { return passed_ + failed_; }
    std::size_t Passed() const { return passed_; }
    std::size_t Failed() const { return failed_; }

private:
    // A definition, with its reply flag and rules read once.
    struct Definition {
        const FormatNode* message = nullptr;
        bool replyRequired = false;
        bool replyOptional = false;
        Direction direction = Direction::ANY;
        RuleCheck::Block rules; // of its nodes
    };

    // How far one definition matched a message, and where it did not.
    struct Attempt {
        std::vector<ValidationFinding> findings;
        std::size_t matched = 0; // items matched before the first mismatch
        bool replyMatches = true;
        bool quick = false; // to the first mismatch of an item, without reasons
    };

    // How far a quick walk of the definition at index matched; greater is
    // further, and earlier in the library on a tie.
    struct Reach {
        std::size_t matched = 0;
        bool replyMatches = false;
        std::size_t index = 0;
        auto operator<=>(const Reach& other) const {
            return std::tuple(matched, replyMatches, other.index) <=>
                   std::tuple(other.matched, other.replyMatches, index);
        }
        bool operator==(const Reach& other) const = default;
    };
    // The definitions walked whole for the report on a message that fails.
    static constexpr std::size_t CLOSEST_WALKED = 8;

    // A list of the definition being walked beside a list of the message.
    struct Frame {
        const FormatNode* list = nullptr; // the definition's list
        const FormatNode* next = nullptr; // the definition of the next item
        std::size_t item = 0;             // the message's next item
        std::size_t remaining = 0;        // items still to walk
        std::size_t ordinal = 1;          // the next item's number in its list
    };

    void Walk(const Definition& definition, const SmlStatement& statement, Attempt& attempt);
    // One item against its definition; a list to walk goes on the stack.
    void CheckItem(const FormatNode* definition, std::size_t index, const SmlStatement& statement, Attempt& attempt);
    // The item against the rules that hold for its definition: true when
    // they settle it (a rule broken, an empty item that may be empty, or a
    // format other than the definition's that the rules allow).
    bool CheckRules(const RuleCheck::Summary& rules, const FormatNode* definition, std::size_t index,
                    const SmlStatement& statement, Attempt& attempt) {
        const SmlStatementItem& item = statement.items[index];
        if (rules.optional && item.size == 0) {
            return true;
        }
        if (!rules.Holds(item, statement) && ReportBroken(rules, definition, item, statement, attempt)) {
            return true;
        }
        return rules.formats != 0 && item.format != definition->Format();
    }
    // The first rule the item breaks as a finding; false when it breaks none.
    bool ReportBroken(const RuleCheck::Summary& rules, const FormatNode* definition, const SmlStatementItem& item,
                      const SmlStatement& statement, Attempt& attempt);
    // A finding against the definition being walked; item is the message's
    // item (none: the message itself), definitionItem its definition.
    void Mismatch(Attempt& attempt, const SmlStatement& statement, const SmlStatementItem* item,
                  const FormatNode* definitionItem, std::string reason) const;
    std::string ItemPath() const;
    // Marks finding as the library's lack of a definition, with the text
    // that would make one.
    static void NoDefinition(ValidationFinding& finding, const SmlStatement& statement);

    FindingCallback onFinding_;
    RuleCheck rules_;
    SmlImportOptions options_;
    // The definitions of each stream and function, in library order, each
    // structure without rules once.
    std::unordered_map<std::uint64_t, std::vector<Definition>> definitions_;
    std::size_t distinct_ = 0;
    std::size_t passed_ = 0;
    std::size_t failed_ = 0;
    // Kept from message to message, so that their room is reused.
    std::vector<std::size_t> ends_; // for each item, the index after what it holds
    std::vector<Frame> stack_;
    std::vector<std::size_t> path_;
    Attempt best_;
    Attempt attempt_;
    std::vector<Reach> closest_;
    const FormatNode* walked_ = nullptr; // the definition being walked
    RuleCheck::Block walkedRules_;       // and its nodes' rules
};

} // namespace tqf
