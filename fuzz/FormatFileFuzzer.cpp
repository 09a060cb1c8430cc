// Feeds arbitrary bytes to the format file reader and checks what a library
// from an unknown source must never do to the editor: crash, leak, run into
// undefined behaviour or take long (the sanitizers and libFuzzer's timeout
// watch those), build a document whose links, counts or labels disagree, or
// save a file that changes when it is read and saved again although the save's
// own check said it reads back the same.

#include "ByteOrderMark.h"
#include "DocumentDump.h"
#include "DocumentInvariants.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "ReferenceReader.h"
#include "RoundTripCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A deep input's written text grows with the square of its depth: past this
// size it is not written whole, only checked to be refused by the limits.
constexpr std::uint64_t TEXT_LIMIT = std::uint64_t{16} << 20;

// Reports a broken property and stops the run, so that libFuzzer keeps the input.
[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "\n*** property broken: %s\n", what.c_str());
    std::abort();
}

// The warnings of a read but those of rule lines, which a reader that drops
// every // comment never sees.
std::vector<tqf::ReadDiagnostic> WithoutRuleWarnings(std::vector<tqf::ReadDiagnostic> warnings) {
    std::erase_if(warnings, [](const tqf::ReadDiagnostic& w) { return w.reason.starts_with("rule line"); });
    return warnings;
}

// Where two texts first differ, with a little of each around it.
std::string FirstDifference(std::string_view a, std::string_view b) {
    constexpr std::size_t CONTEXT = 40;
    const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    const auto at = static_cast<std::size_t>(mismatch.first - a.begin());
    const std::size_t from = at > CONTEXT ? at - CONTEXT : 0;
    return "at byte " + std::to_string(at) + ": \"" + std::string(a.substr(from, 2 * CONTEXT)) + "\" vs \"" +
           std::string(b.substr(from, 2 * CONTEXT)) + "\"";
}

// One reading of bytes into a fresh document, with what the reader reported.
struct Reading {
    tqf::FormatTree document;
    tqf::ReadResult result;
    std::uint64_t size = 0; // of the file a save of the document writes
    std::string written;    // that file, when it takes no more than TEXT_LIMIT

    // pipelineThreshold as FormatReader::SetPipelineThreshold takes it.
    explicit Reading(std::string_view bytes, std::uintmax_t pipelineThreshold = UINTMAX_MAX) {
        tqf::FormatReader reader(document);
        reader.SetPipelineThreshold(pipelineThreshold);
        result = reader.ReadFormatBytes(bytes);
        size = tqf::FormatWriter::FileSize(document.GetRootNode());
        if (size <= TEXT_LIMIT) {
            written = tqf::FormatWriter::FormatFileText(document.GetRootNode());
        }
    }

    const tqf::FormatNode* Root() const { return document.GetRootNode(); }
};

// The reader's report must agree with the document and with the input.
void CheckReading(const Reading& reading, std::string_view bytes, const char* which) {
    const std::string prefix = std::string(which) + ": ";
    if (std::string fault = tqf::DocumentInvariants::Check(reading.Root()); !fault.empty()) {
        Fail(prefix + fault);
    }
    const tqf::ReadResult& result = reading.result;
    if (!result.Complete()) {
        Fail(prefix + "reading bytes in memory failed: " + result.errorText);
    }
    if (result.messagesRead != static_cast<std::size_t>(reading.Root()->Count()) ||
        result.messageLines.size() != result.messagesRead) {
        Fail(prefix + "the reader's message count disagrees with the document");
    }
    // A file without any LF has its lines ended by CR.
    const char lineEnd = bytes.find('\n') == std::string_view::npos ? '\r' : '\n';
    const std::size_t lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), lineEnd)) + 1;
    const auto beyond = [lines](std::size_t line) { return line == 0 || line > lines; };
    if (!std::is_sorted(result.messageLines.begin(), result.messageLines.end()) ||
        std::any_of(result.messageLines.begin(), result.messageLines.end(), beyond)) {
        Fail(prefix + "message lines out of order or outside the input");
    }
    for (const tqf::DroppedStatement& dropped : result.dropped) {
        if (beyond(dropped.line)) {
            Fail(prefix + "a dropped statement outside the input, at line " + std::to_string(dropped.line));
        }
    }
    // Every drop is explained by a reason of its own, at a place in the input.
    if (result.dropReasons.size() != result.dropped.size()) {
        Fail(prefix + "a dropped statement without its reason");
    }
    for (const tqf::ReadDiagnostic& reason : result.dropReasons) {
        if (beyond(reason.line) || reason.column == 0 || reason.reason == "statement cannot be read") {
            Fail(prefix + "a drop explained as \"" + reason.reason + "\" at line " + std::to_string(reason.line));
        }
    }
}

// The same bytes with the letters A to Z made lower case: the reader reads
// capitals only, so nothing may change.
std::string LowerCased(std::string_view bytes) {
    std::string lower(bytes);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

// The same bytes with every line feed that has no CR before it made CR LF.
std::string WithCrLf(std::string_view bytes) {
    std::string crlf;
    crlf.reserve(bytes.size() + bytes.size() / 8);
    char previous = '\0';
    for (char c : bytes) {
        if (c == '\n' && previous != '\r') {
            crlf += '\r';
        }
        crlf += c;
        previous = c;
    }
    return crlf;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // A UTF-16 or UTF-32 file is refused whole, with its reason.
    if (!tqf::ByteOrderMark::Of(bytes.substr(0, 4)).refused.empty()) {
        tqf::FormatTree document;
        const tqf::ReadResult refused = tqf::FormatReader(document).ReadFormatBytes(bytes);
        if (refused.Complete() || refused.errorText.empty() || document.GetRootNode()->FirstChild() != nullptr) {
            Fail("a UTF-16 or UTF-32 file was read");
        }
        return 0;
    }

    const Reading first(bytes);
    CheckReading(first, bytes, "first reading");

    // The reader as it was, which parsed each statement into a parse tree and
    // built that, reads exactly the same.
    {
        tqf::FormatTree document;
        tqf::reference::ReferenceReader reference(document);
        const tqf::ReadResult expected = reference.ReadFormatBytes(bytes);
        const std::string expectedDump = tqf::DumpDocument(document.GetRootNode());
        const std::string dump = tqf::DumpDocument(first.Root());
        if (dump != expectedDump || expected.messageLines != first.result.messageLines ||
            expected.dropped != first.result.dropped || expected.dropReasons != first.result.dropReasons ||
            expected.warnings != WithoutRuleWarnings(first.result.warnings)) {
            Fail("the reader and the reference reader disagree, " + FirstDifference(expectedDump, dump));
        }
    }

    // A file too large to write whole is refused by the check's limit
    // before its text grows past it, whatever the size of one message.
    if (first.size > TEXT_LIMIT) {
        if (tqf::RoundTripCheck::CheckRoundTrip(first.Root(), TEXT_LIMIT)) {
            Fail("the check held a text larger than its limit");
        }
        return 0;
    }
    if (first.written.size() != first.size) {
        Fail("the size counted without writing is not the size written");
    }

    // Reading on a second thread while the messages are built comes to the same.
    if (const Reading beside(bytes, 0);
        beside.written != first.written || beside.result.messageLines != first.result.messageLines ||
        beside.result.dropped != first.result.dropped || beside.result.dropReasons != first.result.dropReasons ||
        beside.result.warnings != first.result.warnings) {
        Fail("reading beside the building reads differently, " + FirstDifference(first.written, beside.written));
    }

    // Letter case and line ends are no part of a library: both changed at
    // once read the same (one reading less for every input).
    const std::string lowerCrLf = WithCrLf(LowerCased(bytes));
    if (const Reading changed(lowerCrLf); changed.written != first.written) {
        Fail("lower case with CR LF line ends reads differently, " + FirstDifference(first.written, changed.written));
    }

    // Saving through a stream writes what the text form holds.
    std::ostringstream stream;
    if (!tqf::FormatWriter::WriteFormatFile(first.Root(), stream) || stream.str() != first.written) {
        Fail("the stream writer and the text writer disagree");
    }

    // Save, open, save again.
    const Reading second(first.written);
    CheckReading(second, first.written, "reading the saved file");
    const tqf::RoundTripReport report = tqf::RoundTripCheck::CheckRoundTrip(first.Root());
    if (report.Ok()) {
        if (!second.result.dropped.empty()) {
            Fail("the round-trip check passed, but reading the saved file dropped a statement");
        }
        if (second.Root()->Count() != first.Root()->Count()) {
            Fail("the round-trip check passed, but the saved file holds another number of messages");
        }
        if (second.written != first.written) {
            Fail("the round-trip check passed, but saving again writes other bytes, " +
                 FirstDifference(first.written, second.written));
        }
    }
    return 0;
}
