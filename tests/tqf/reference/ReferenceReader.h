#pragma once

#include "FormatReader.h"
#include "FormatTree.h"
#include "MessageBuilder.h"
#include "ParseTree.h"
#include "ReadDiagnostic.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace tqf::reference {

using tqf::DroppedStatement;
using tqf::ReadResult;
using tqf::ReadStatus;

class StatementSink;

// A reader that the tests compare the reader with: each statement collected
// line by line, parsed into a ParseTree by the reading steps taken one
// character at a time from the front of the text, then built. It reads on
// one thread.
class ReferenceReader {
public:
    // onMessage is called after each message appended to document.
    explicit ReferenceReader(FormatTree& document, MessageBuilder::MessageCallback onMessage = {});

    // Reads bytes as a format file; without limits of size or memory.
    [[nodiscard]] ReadResult ReadFormatBytes(std::string_view bytes);

    // Reads the message header at the front of text into tree's stream,
    // function, replyRequired and description; false when it is not one.
    [[nodiscard]] static bool ParseMessageHeader(std::string_view text, ParseTree& tree);

private:
    friend class StatementCollector;

    // Parses a statement into tree, which takes it over: text is left with a
    // buffer to use again. spacings as BracketSpacing::NormaliseBracketsInPlace
    // takes them. True when it is a message.
    bool ParseCollected(std::string& text, std::uint32_t spacings, ParseTree& tree);

    MessageBuilder builder_;
    // Kept from statement to statement so that its memory is reused.
    ParseTree tree_;
};

} // namespace tqf::reference
