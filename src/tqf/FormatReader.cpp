#include "FormatReader.h"

#include "BlockSupply.h"
#include "ByteOrderMark.h"
#include "Decimal.h"
#include "InputFile.h"
#include "ItemFormat.h"
#include "ItemParser.h"
#include "MemoryBudget.h"
#include "StatementCollector.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <limits>
#include <new>
#include <streambuf>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tqf {

namespace {

// A read-only stream buffer over bytes that are already in memory.
class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(std::string_view bytes) {
        // The get area is only read from; streambuf merely wants non-const pointers.
        char* begin = const_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }
};

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string_view TrimTrailingSpace(std::string_view text) {
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

constexpr auto LARGEST_INT32 = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

// Builds each statement as soon as it is collected, on the reading thread.
class BuildingSink final : public StatementSink {
public:
    explicit BuildingSink(std::function<bool(const StatementBatch&)> build) : build_(std::move(build)) {}
    StatementBatch& Batch() override { return batch_; }
    bool Collected() override {
        const bool more = build_(batch_);
        batch_.Clear();
        return more;
    }

private:
    std::function<bool(const StatementBatch&)> build_;
    StatementBatch batch_;
};

// How many blocks of storage are made ready ahead of the building: a batch
// of statements needs far less than one. The reader, which has more time to
// spare, makes more ready; not many more, since those left over when the
// building ends were made for nothing.
constexpr std::size_t BLOCKS_AHEAD = 2;
constexpr std::size_t BLOCKS_AHEAD_OF_READER = 4;
// Below this size a file's document takes a block or two, which the building
// asks for when it needs them: blocks made ready ahead would mostly go back
// unused, each costing a pass over its pages and another to lend them back.
constexpr std::uintmax_t SUPPLY_FROM_BYTES = std::uintmax_t{1} << 20;

// Thrown on the reading thread when the building thread has stopped.
struct BuildingStopped {};

// Passes the statements collected to the building thread in batches.
class PipeSink final : public StatementSink {
public:
    // supply: the storage to make ready while waiting, if any.
    PipeSink(StatementPipe& pipe, BlockSupply* supply) : pipe_(pipe), supply_(supply), batch_(Take()) {}
    StatementBatch& Batch() override { return *batch_; }
    bool Collected() override {
        if (batch_->Full()) {
            pipe_.PutFull(batch_);
            // Time this thread would spend waiting for the building goes
            // into making storage ready for it, a block at a time: where
            // fresh memory is slow to come by, a block can take longer than
            // the building of every batch waiting, and the reader goes back
            // to reading as soon as it can.
            while (supply_ != nullptr && !pipe_.EmptyReady() && supply_->AddBlock(BLOCKS_AHEAD_OF_READER)) {
            }
            batch_ = Take();
        }
        return true;
    }
    void Finish() override {
        if (!batch_->statements.empty()) {
            pipe_.PutFull(batch_);
        } else {
            pipe_.PutEmpty(batch_);
        }
        batch_ = nullptr;
    }

private:
    StatementBatch* Take() {
        StatementBatch* batch = pipe_.TakeEmpty();
        if (batch == nullptr) {
            throw BuildingStopped{};
        }
        batch->Clear();
        return batch;
    }

    StatementPipe& pipe_;
    BlockSupply* supply_;
    StatementBatch* batch_;
};

} // namespace

FormatReader::FormatReader(FormatTree& document, MessageCallback onMessage)
    : document_(document), onMessage_(std::move(onMessage)), builder_(document), textLimit_(LibraryMemoryBudget()) {}

std::size_t FormatReader::DefaultNodeLimit() {
    // At most this much memory per node: the node, its texts in a typical
    // library, and what the tree view keeps of it.
    constexpr std::size_t BYTES_PER_NODE = 256;
    return LibraryMemoryBudget() / BYTES_PER_NODE;
}

void FormatReader::StopAsTooLong() {
    textTooLong_ = true;
    tooLargeReason_ = "a statement of the library is longer than " + std::to_string(textLimit_) +
                      " bytes, more than a quarter of the memory this program may use can hold";
}

void FormatReader::CountDocumentNodes() {
    if (nodesCounted_) {
        return;
    }
    // The document may hold messages already; they count too.
    std::vector<const FormatNode*> pending{document_.GetRootNode()};
    while (!pending.empty()) {
        const FormatNode* node = pending.back();
        pending.pop_back();
        for (const FormatNode* c = node->FirstChild(); c != nullptr; c = c->NextSibling()) {
            ++nodeCount_;
            pending.push_back(c);
        }
    }
    nodesCounted_ = true;
}

ReadResult FormatReader::ReadFormatFile(const std::filesystem::path& path) {
    ReadResult result;
    InputFile file;
    if (!file.Open(path)) {
        result.status = ReadStatus::OPEN_FAILED;
        result.errorText = file.Error();
        return result;
    }
    result = Read(file.Stream(), file.Size());
    result.identity = file.Identity();
    if (result.status == ReadStatus::READ_FAILED && !file.Error().empty()) {
        result.errorText = file.Error();
    }
    return result;
}

ReadResult FormatReader::ReadFormatBytes(std::string_view bytes) {
    MemoryBuffer buffer(bytes);
    std::istream in(&buffer);
    return Read(in, bytes.size());
}

ReadResult FormatReader::ReadFormatFile(std::istream& in) { return Read(in, 0); }

ReadResult FormatReader::ReadFormatStream(std::istream& in, std::uintmax_t expectedSize) {
    return Read(in, expectedSize);
}

namespace {

// Adds what the reading half found at the end to what the building half found.
void AppendEnding(ReadResult& result, ReadResult&& ending) {
    result.status = ending.status;
    result.errorText = std::move(ending.errorText);
    for (std::size_t i = 0; i < ending.dropped.size(); ++i) {
        result.dropped.push_back(ending.dropped[i]);
        result.dropReasons.push_back(std::move(ending.dropReasons[i]));
    }
    for (ReadDiagnostic& warning : ending.warnings) {
        result.warnings.push_back(std::move(warning));
    }
}

} // namespace

void FormatReader::EndReading(ReadResult& result, ReadResult&& ending) const {
    if (cancelled_) {
        // Whatever the reading found after the stop counts for nothing.
        ending = ReadResult{};
        ending.status = ReadStatus::CANCELLED;
        ending.errorText = "the reading was cancelled";
    } else if (tooManyNodes_) {
        // The building stopped: what the reading found after that counts for nothing.
        ending = ReadResult{};
        ending.status = ReadStatus::TOO_LARGE;
        ending.errorText = "the library holds more than " + std::to_string(nodeLimit_) +
                           " messages and items, more than a quarter of the memory this program may use can hold";
    }
    AppendEnding(result, std::move(ending));
}

ReadResult FormatReader::Read(std::istream& in, std::uintmax_t size) {
    ReadResult result;
    ReadResult ending;
    textTooLong_ = false;
    tooManyNodes_ = false;
    cancelled_ = false;
    bytesRead_.store(0, std::memory_order_relaxed);
    tooLargeReason_.clear();
    expectedSize_ = size;
    // Messages appended by someone else since the last read go before the new ones.
    builder_.FindLastMessage();
    ruleLines_.clear();
    droppedStatements_.clear();
    statementsSeen_ = 0;
    messagesBefore_ = document_.GetRootNode()->Count();
    try {
        CountDocumentNodes();
        if (size < pipelineThreshold_ || !ReadBesideBuilding(in, result)) {
            BuildingSink sink([this, &result](const StatementBatch& batch) { return BuildBatch(batch, result); });
            ReadStatements(in, ending, sink);
            EndReading(result, std::move(ending));
        }
        // Otherwise ReadBesideBuilding filled ending into result's place.
        AttachRuleLines(result);
    } catch (const std::bad_alloc&) {
        // Memory ran out before the limits saw it coming (other programs
        // took it meanwhile): the reading stops like a library too large.
        result.status = ReadStatus::TOO_LARGE;
        result.errorText = "there is not enough memory to read it";
        return result;
    }
    return result;
}

void FormatReader::AttachRuleLines(ReadResult& result) {
    if (ruleLines_.empty() || handler_ != nullptr) {
        return;
    }
    FormatNode* first = document_.GetRootNode()->FirstChild();
    for (std::int32_t skip = 0; first != nullptr && skip < messagesBefore_; ++skip) {
        first = first->NextSibling();
    }
    RuleAttacher::Attach(document_, first, ruleLines_, droppedStatements_, statementsSeen_, result.warnings);
    ruleLines_.clear();
}

bool FormatReader::ReadBesideBuilding(std::istream& in, ReadResult& result) {
    // The reading thread makes the document's next blocks of storage ready
    // while it has time, so the building never waits for fresh memory.
    BlockSupply supply;
    // (A handler builds nothing, and needs none; nor does a small file.)
    const bool supplying = handler_ == nullptr && expectedSize_ >= SUPPLY_FROM_BYTES;
    struct SupplyWhileReading {
        FormatTree& document;
        SupplyWhileReading(FormatTree& tree, BlockSupply& blocks, bool building) : document(tree) {
            document.SetBlockSupply(building ? &blocks : nullptr);
        }
        ~SupplyWhileReading() { document.SetBlockSupply(nullptr); }
        SupplyWhileReading(const SupplyWhileReading&) = delete;
        SupplyWhileReading& operator=(const SupplyWhileReading&) = delete;
    } supplied(document_, supply, supplying);
    StatementPipe pipe;
    ReadResult ending;
    std::thread reading;
    try {
        reading = std::thread([this, &in, &ending, &pipe, &supply, supplying] {
            std::exception_ptr error;
            try {
                PipeSink sink(pipe, supplying ? &supply : nullptr);
                ReadStatements(in, ending, sink);
            } catch (const BuildingStopped&) {
                // The builder gave up and reports why.
            } catch (...) {
                error = std::current_exception();
            }
            pipe.Close(error);
        });
    } catch (const std::system_error&) {
        return false; // no thread to be had: read on this one
    }
    {
        // However the building ends, the reading thread ends before the pipe goes.
        struct JoinReading {
            StatementPipe& pipe;
            std::thread& reading;
            ~JoinReading() {
                pipe.Cancel();
                reading.join();
            }
        } join{pipe, reading};
        while (true) {
            // Likewise here, while the reading thread is behind.
            while (supplying && !pipe.FullReady() && supply.AddBlock(BLOCKS_AHEAD)) {
            }
            StatementBatch* batch = pipe.TakeFull();
            if (batch == nullptr) {
                break;
            }
            const bool more = BuildBatch(*batch, result);
            pipe.PutEmpty(batch);
            if (!more) {
                break;
            }
        }
    }
    if (std::exception_ptr error = pipe.Error()) {
        std::rethrow_exception(error);
    }
    EndReading(result, std::move(ending));
    return true;
}

void FormatReader::ReadStatements(std::istream& in, ReadResult& ending, StatementSink& sink) {
    StatementCollector collector(*this, ending, sink);
    MarkedLines lines(in);
    lines.ExpectBytes(expectedSize_);
    lines.CountBytesInto(&bytesRead_);
    std::size_t begin = 0;
    std::size_t size = 0;
    std::size_t lineNumber = 0;
    lines.SetLineLimit(textLimit_);
    bool more = true;
    while (more && lines.Next(begin, size)) {
        ++lineNumber;
        const std::string_view line(lines.Data() + begin, size);
        more = size != 0 && !collector.InBlockComment() && !lines.HasDotOrSlash(begin, size)
                   ? collector.HandlePlainLine(line, begin, lineNumber, lines)
                   : collector.HandleLine(line, lineNumber);
    }
    if (lines.TooLong()) {
        StopAsTooLong();
    }
    if (!textTooLong_ && more) {
        collector.Finish(lineNumber);
    }
    sink.Finish();
    if (textTooLong_) {
        ending = ReadResult{};
        ending.status = ReadStatus::TOO_LARGE;
        ending.errorText = tooLargeReason_;
        return;
    }
    if (const std::string_view encoding = lines.RefusedEncoding(); !encoding.empty()) {
        ending = ReadResult{};
        ending.status = ReadStatus::OPEN_FAILED;
        ending.errorText = ByteOrderMark::RefusalReason(encoding);
        return;
    }
    if (more && lines.Failed()) {
        ending.status = ReadStatus::READ_FAILED;
        ending.errorText = "the file could not be read to its end";
    }
}

bool FormatReader::BuildBatch(const StatementBatch& batch, ReadResult& result) {
    if (cancelCheck_ && cancelCheck_()) {
        cancelled_ = true;
        return false;
    }
    for (const CollectedStatement& statement : batch.statements) {
        ++statementsSeen_;
        if (handler_ != nullptr) {
            numberClamped_ = false;
        }
        if (handler_ != nullptr ? handler_->HandleStatement(batch.Text(statement), statement.line)
                                : BuildStatement(batch.Text(statement))) {
            result.messageLines.push_back(statement.line);
            ++result.messagesRead;
            if (numberClamped_) {
                std::size_t trimmed = 0;
                const std::string original = TrimmedOriginal(batch, statement, trimmed);
                for (StatementFinding& finding : DropExplainer::FindClampedNumbers(original)) {
                    result.warnings.push_back(StatementCollector::StatementDiagnostic(
                        batch.pieces, statement.piecesBegin, statement.piecesEnd, statement.line,
                        finding.offset + trimmed, std::move(finding.reason)));
                }
            }
            if (std::optional<std::string> missing = StatementNotes::MissingNumber(lastStream_, lastFunction_);
                missing && handler_ == nullptr) {
                std::size_t trimmed = 0;
                TrimmedOriginal(batch, statement, trimmed);
                result.warnings.push_back(StatementCollector::StatementDiagnostic(batch.pieces, statement.piecesBegin,
                                                                                  statement.piecesEnd, statement.line,
                                                                                  trimmed, std::move(*missing)));
            }
            result.warnings.insert(result.warnings.end(),
                                   batch.notes.begin() + static_cast<std::ptrdiff_t>(statement.notesBegin),
                                   batch.notes.begin() + static_cast<std::ptrdiff_t>(statement.notesEnd));
            if (onMessage_ && handler_ == nullptr) {
                onMessage_(*lastMessage_);
            }
        } else if (tooManyNodes_) {
            --statementsSeen_;
            return false;
        } else {
            droppedStatements_.push_back(statementsSeen_ - 1);
            result.dropped.push_back({statement.line, false});
            std::size_t trimmed = 0;
            StatementFinding finding = DropExplainer::ExplainDrop(TrimmedOriginal(batch, statement, trimmed));
            result.dropReasons.push_back(StatementCollector::StatementDiagnostic(
                batch.pieces, statement.piecesBegin, statement.piecesEnd, statement.line, finding.offset + trimmed,
                std::move(finding.reason)));
        }
    }
    return true;
}

bool FormatReader::BuildStatement(std::string_view text) {
    numberClamped_ = false;
    MessageHeader header;
    if (!ParseHeader(text, header)) {
        return false;
    }
    // The message and its items take this many nodes more at most.
    const std::size_t room = nodeCount_ < nodeLimit_ ? nodeLimit_ - nodeCount_ : 0;
    const std::size_t firstOpen = text.find('<');
    if (firstOpen == std::string_view::npos && header.stream == 0) {
        return false;
    }
    builder_.Begin(room > 0 ? room - 1 : 0);
    if (firstOpen != std::string_view::npos && !ItemParser::ParseBody(text.substr(firstOpen), builder_)) {
        tooManyNodes_ = builder_.Overflowed();
        builder_.Discard();
        return false;
    }
    const std::size_t needed = builder_.NodeCount() + 1; // the message node too
    if (needed > room) {
        tooManyNodes_ = true;
        builder_.Discard();
        return false;
    }
    nodeCount_ += needed;
    numberClamped_ = header.numberClamped || builder_.numberClamped;
    lastStream_ = header.stream;
    lastFunction_ = header.function;
    // Messages appended by someone else since are passed over, so the new
    // message still goes to the end.
    lastMessage_ = builder_.Finish(header);
    return true;
}

bool FormatReader::ParseStatement(std::string_view text) {
    StatementBatch batch;
    CountDocumentNodes();
    AppendWithoutBracketSpacings(batch.text, text.data(), text.size(), '\0', '\0', 0, batch.removedSpaces);
    if (!BuildStatement(batch.text)) {
        return false;
    }
    if (onMessage_) {
        onMessage_(*lastMessage_);
    }
    return true;
}

bool FormatReader::ParseHeader(std::string_view text, MessageHeader& header) {
    text = TrimSpace(text);
    if (text.empty()) {
        return false;
    }
    const std::string_view head = TrimTrailingSpace(text.substr(0, text.find('<')));
    if (!Contains(head, "S") || !Contains(head, "F")) {
        return false;
    }
    for (std::size_t i = 0; i < head.size(); ++i) {
        const char c = head[i];
        if (c >= '0' && c <= '9') {
            continue; // a digit of a number already read
        }
        switch (c) {
        case 'S':
        case 'F': {
            DecimalScan number = ScanDecimal(head, i + 1);
            if (!number.hasDigits) {
                return false;
            }
            (c == 'S' ? header.stream : header.function) = SaturatedInt32(number);
            header.numberClamped = header.numberClamped || number.overflow || number.magnitude > LARGEST_INT32;
            break;
        }
        case 'W':
            if (header.replyRequired == 1) {
                return false;
            }
            header.replyRequired = 1;
            break;
        case '\'':
            break;
        case ' ': {
            std::string_view description = TrimSpace(head.substr(i + 1));
            if (!description.empty() && description.front() == '(') {
                description.remove_prefix(1);
            }
            if (!description.empty() && description.back() == ')') {
                description.remove_suffix(1);
            }
            header.description = description;
            return true;
        }
        default:
            return false;
        }
    }
    return true;
}

} // namespace tqf