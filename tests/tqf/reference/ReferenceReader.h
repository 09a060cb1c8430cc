#pragma once

#include "FileIdentity.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "MessageBuilder.h"
#include "ParseTree.h"
#include "ReadDiagnostic.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tqf::reference {

using tqf::DroppedStatement;
using tqf::ReadResult;
using tqf::ReadStatus;

class StatementSink;

// The reader as it was before it built nodes straight from the bytes: each
// statement collected, parsed into a ParseTree, then built. The tests compare
// the reader with it.
class ReferenceReader {
public:
    // onMessage is called after each message appended to document.
    explicit ReferenceReader(FormatTree& document, MessageBuilder::MessageCallback onMessage = {});

    // Opens the file for reading only.
    [[nodiscard]] ReadResult ReadFormatFile(const std::filesystem::path& path);
    [[nodiscard]] ReadResult ReadFormatFile(std::istream& in);
    [[nodiscard]] ReadResult ReadFormatBytes(std::string_view bytes);

    // How many nodes (messages and items) the document may hold at most;
    // reading stops with TOO_LARGE before a message would go beyond it.
    void SetNodeLimit(std::size_t nodes) { nodeLimit_ = nodes; }

    // How many bytes one line or statement may take at most; reading stops
    // with TOO_LARGE at a longer one. A quarter of the memory by default.
    void SetTextLimit(std::size_t bytes) { textLimit_ = bytes; }

    // An input of at least this many bytes is read on a second thread while
    // the calling thread builds the messages read so far; a smaller one, or
    // a stream of unknown size, is read on the calling thread alone. Either
    // way the document, the result and the calls of onMessage are the same,
    // and onMessage is called on the calling thread.
    void SetPipelineThreshold(std::uintmax_t bytes) { pipelineThreshold_ = bytes; }

    // The default limit: as many nodes as a quarter of the usable
    // memory holds, at the most a node of a loaded library takes.
    static std::size_t DefaultNodeLimit();

    // Reads one collected statement, already trimmed; true when a message was
    // appended, false when the statement was dropped.
    bool ParseStatement(std::string_view text);

    // Reads the message header at the front of text into tree's stream,
    // function, replyRequired and description; false when it is not one.
    [[nodiscard]] static bool ParseMessageHeader(std::string_view text, ParseTree& tree);

private:
    friend class StatementCollector;

    // Reads in; size is the input's size in bytes, 0 when unknown.
    ReadResult Read(std::istream& in, std::uintmax_t size);
    // Reads in on a second thread and builds on this one; false, with nothing
    // read, when no thread can be started.
    bool ReadBesideBuilding(std::istream& in, ReadResult& result);
    // Collects and parses every statement of in, and passes each accepted one
    // to sink; the reading half of Read.
    void ReadStatements(std::istream& in, ReadResult& result, StatementSink& sink);

    // Parses a statement into tree, which takes it over: text is left with a
    // buffer to use again. spacings as BracketSpacing::NormaliseBracketsInPlace
    // takes them. True when it is a message, which then counts under the
    // node limit.
    bool ParseCollected(std::string& text, std::uint32_t spacings, ParseTree& tree);

    // Ends the reading: a line or statement is longer than the text limit.
    void StopAsTooLong();
    // Counts the nodes the document holds before reading, the first time only.
    void CountDocumentNodes();
    // True when a message of itemNodes items still fits under the limit, and
    // then counts it.
    bool FitsUnderLimit(std::size_t itemNodes);

    MessageBuilder builder_;
    FormatTree& document_;
    std::size_t nodeLimit_ = DefaultNodeLimit();
    std::size_t textLimit_;
    std::uintmax_t pipelineThreshold_ = std::uintmax_t{64} * 1024;
    std::size_t nodeCount_ = 0;
    bool nodesCounted_ = false;
    bool tooLarge_ = false;
    std::string tooLargeReason_;
    // Kept from statement to statement so that their memory is reused, when
    // reading and building take turns on one thread.
    ParseTree tree_;
    std::string statementCopy_;
};

} // namespace tqf::reference
