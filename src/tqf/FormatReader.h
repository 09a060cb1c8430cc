#pragma once

#include "FileIdentity.h"
#include "FormatTree.h"
#include "ReadDiagnostic.h"
#include "RuleAttacher.h"
#include "StatementBuilder.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

class StatementSink;
struct StatementBatch;
struct CollectedStatement;

// A statement that reading a format file did not turn into a message.
struct DroppedStatement {
    std::size_t line = 0;      // 1-based: where its "." stood, or the file's last line
    bool unterminated = false; // its "." never came before the end of the file
    friend bool operator==(const DroppedStatement&, const DroppedStatement&) = default;
};

enum class ReadStatus {
    READ,        // the whole input was read
    OPEN_FAILED, // the file could not be opened: nothing was read
    READ_FAILED, // reading stopped part-way because the input failed
    TOO_LARGE,   // reading stopped because the library would not fit in memory
    CANCELLED,   // reading stopped because the user asked it to
};

struct ReadResult {
    ReadStatus status = ReadStatus::READ;
    std::string errorText;                 // why opening or reading failed
    std::size_t messagesRead = 0;          // messages appended to the document
    std::vector<std::size_t> messageLines; // for each message appended, the line of its "."
    std::vector<DroppedStatement> dropped; // in file order
    // Why each statement of dropped was dropped, and where it went wrong:
    // one entry for each, in the same order.
    std::vector<ReadDiagnostic> dropReasons;
    // What was read without being dropped but is rarely meant: a block
    // comment never closed, a number clamped to 32 bits, text after a
    // statement's end, a header swallowed by the statement before it, a
    // message without a stream or function number. In file order for each
    // statement, and the end of the file last.
    std::vector<ReadDiagnostic> warnings;
    std::optional<FileIdentity> identity; // the file as it was opened; nothing for a stream

    bool Opened() const { return status != ReadStatus::OPEN_FAILED; }
    bool Complete() const { return status == ReadStatus::READ; }
};

// What becomes of each statement a FormatReader collects, in place of
// building it into the document: a check that compares what a file holds with
// a document, say.
class StatementHandler {
public:
    StatementHandler() = default;
    StatementHandler(const StatementHandler&) = delete;
    StatementHandler& operator=(const StatementHandler&) = delete;
    virtual ~StatementHandler() = default;

    // One statement, trimmed and with its bracket spacings removed, whose "."
    // stood on line; true when it reads as a message.
    virtual bool HandleStatement(std::string_view text, std::size_t line) = 0;
};

// Reads format files into a document: line by line, comments removed, one
// statement per message, each accepted statement appended as a message after
// the document's last one. A statement goes from the file's bytes to the
// document's nodes in one pass: it is copied once, out of the lines it spans,
// and its items become nodes as they are scanned.
class FormatReader {
public:
    // Called after each message has been appended, for example to show the
    // new message count.
    using MessageCallback = std::function<void(FormatNode& message)>;
    // Asked now and then while reading, on the calling thread; true stops
    // the reading with CANCELLED.
    using CancelCheck = std::function<bool()>;

    // onMessage is called after each message appended to document.
    explicit FormatReader(FormatTree& document, MessageCallback onMessage = {});

    // Opens the file for reading only.
    [[nodiscard]] ReadResult ReadFormatFile(const std::filesystem::path& path);
    [[nodiscard]] ReadResult ReadFormatFile(std::istream& in);
    [[nodiscard]] ReadResult ReadFormatBytes(std::string_view bytes);
    // A stream that will hold about expectedSize bytes: a large one is read
    // on a second thread while the messages are built, as a file is.
    [[nodiscard]] ReadResult ReadFormatStream(std::istream& in, std::uintmax_t expectedSize);

    // Statements go to handler, on the calling thread, instead of becoming
    // messages of the document; the result reports them as if they had.
    void SetStatementHandler(StatementHandler* handler) { handler_ = handler; }
    // With a handler, the rule lines the last read met, which then belong
    // to no node: each with its statement and item, for the handler's owner.
    const std::vector<RuleAttacher::Line>& HandledRuleLines() const { return ruleLines_; }

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

    // Asked before each batch of statements is built (a few thousand lines
    // at most, or each statement of a small input), so that a read can be
    // stopped within moments without a cost per line.
    void SetCancelCheck(CancelCheck check) { cancelCheck_ = std::move(check); }

    // How many bytes of the input have been taken in so far; any thread may
    // ask, while the read goes on. Ahead of the messages built by at most
    // the few batches on their way.
    std::uintmax_t BytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }

    // The default limit: as many nodes as a quarter of the usable
    // memory holds, at the most a node of a loaded library takes.
    static std::size_t DefaultNodeLimit();

    // Reads one collected statement, already trimmed; true when a message was
    // appended, false when the statement was dropped.
    bool ParseStatement(std::string_view text);

    // Reads the message header at the front of text into header's stream,
    // function, replyRequired and description, a view into text; false when
    // it is not one.
    [[nodiscard]] static bool ParseHeader(std::string_view text, MessageHeader& header);

private:
    friend class StatementCollector;

    // Reads in; size is the input's size in bytes, 0 when unknown.
    ReadResult Read(std::istream& in, std::uintmax_t size);
    // Reads in on a second thread and builds on this one; false, with nothing
    // read, when no thread can be started.
    bool ReadBesideBuilding(std::istream& in, ReadResult& result);
    // Collects every statement of in and passes them to sink; the reading
    // half of Read. What it finds itself (the end of the input, a block
    // comment left open) goes to ending.
    void ReadStatements(std::istream& in, ReadResult& ending, StatementSink& sink);

    // Adds to result what the reading half found at the end (ending), or
    // that the library was too large, when the building stopped for that.
    void EndReading(ReadResult& result, ReadResult&& ending) const;
    // Reads every statement of batch into the document; false when the
    // library turned out too large, and reading has to stop.
    bool BuildBatch(const StatementBatch& batch, ReadResult& result);
    // Reads one statement, trimmed and normalised, into a message at the
    // end of the document; true when it became one.
    bool BuildStatement(std::string_view text);

    // Ends the reading: a line or statement is longer than the text limit.
    void StopAsTooLong();
    // Counts the nodes the document holds before reading, the first time only.
    void CountDocumentNodes();

    FormatTree& document_;
    MessageCallback onMessage_;
    CancelCheck cancelCheck_;
    std::atomic<std::uintmax_t> bytesRead_{0};
    // Set on the building thread: the cancel check asked to stop.
    bool cancelled_ = false;
    StatementBuilder builder_;
    StatementHandler* handler_ = nullptr;
    FormatNode* lastMessage_ = nullptr; // the message built last, for onMessage_
    std::size_t nodeLimit_ = DefaultNodeLimit();
    std::size_t textLimit_;
    std::uintmax_t pipelineThreshold_ = std::uintmax_t{64} * 1024;
    std::uintmax_t expectedSize_ = 0; // of the stream being read
    std::size_t nodeCount_ = 0;
    bool nodesCounted_ = false;
    // Set on the reading thread: a line or statement is too long.
    bool textTooLong_ = false;
    std::string tooLargeReason_;
    // Set on the building thread: the document would hold too many nodes.
    bool tooManyNodes_ = false;
    // The last statement read had a number beyond the 32-bit range.
    bool numberClamped_ = false;
    // The rule lines met, on the reading thread; the statements seen and
    // those dropped, on the building thread; the messages before the read.
    std::vector<RuleAttacher::Line> ruleLines_;
    std::size_t statementsSeen_ = 0;
    std::vector<std::size_t> droppedStatements_;
    std::int32_t messagesBefore_ = 0;
    // Gives the rule lines read to their nodes, once every message is built.
    void AttachRuleLines(ReadResult& result);
    // The numbers of the last message built, which may lack one (-1).
    std::int32_t lastStream_ = 0;
    std::int32_t lastFunction_ = 0;
};

} // namespace tqf
