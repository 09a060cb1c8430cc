#include "ToolCommand.h"

#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"

#include <new>
#include <string_view>

namespace tqf {

namespace {

constexpr std::string_view USAGE = "usage: tqf-tool check FILE | tqf-tool normalize FILE | tqf-tool --help";
constexpr std::string_view HELP_TEXT =
    "tqf-tool: reads a TQF message format file as the editor opens it.\n"
    "\n"
    "  tqf-tool normalize FILE   write to standard output the bytes the editor would save\n"
    "  tqf-tool check FILE       list the statements that reading drops, then a summary\n"
    "  tqf-tool --help           show this text\n"
    "\n"
    "Exit status: 0 success, 1 dropped statements (check) or no message to save (normalize),\n"
    "2 wrong arguments, a file that cannot be read, or output that cannot be written.\n";
constexpr std::string_view NO_MESSAGE_TO_SAVE = "No message to save.";

// Reads path into document; on failure says why on err.
bool ReadInto(FormatTree& document, const std::string& path, std::size_t nodeLimit, ReadResult& result,
              std::ostream& err) {
    FormatReader reader(document);
    reader.SetNodeLimit(nodeLimit);
    result = reader.ReadFormatFile(path);
    if (!result.Complete()) {
        err << "tqf-tool: " << path << ": " << result.errorText << '\n';
        return false;
    }
    return true;
}

} // namespace

int ToolCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     std::optional<std::size_t> nodeLimit) {
    int status = EXIT_UNUSABLE;
    try {
        status = RunCommand(args, out, err, nodeLimit);
    } catch (const std::bad_alloc&) {
        err << "tqf-tool: not enough memory\n";
        return EXIT_UNUSABLE;
    }
    // Output that did not arrive is no result, whatever the command found.
    if (!out.flush()) {
        err << "tqf-tool: cannot write to standard output\n";
        status = EXIT_UNUSABLE;
    }
    return status;
}

int ToolCommand::RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                            std::optional<std::size_t> nodeLimit) {
    const std::size_t limit = nodeLimit.value_or(FormatReader::DefaultNodeLimit());
    if (args.size() == 1 && args[0] == "--help") {
        out << USAGE << "\n\n" << HELP_TEXT;
        return EXIT_OK;
    }
    if (args.size() == 2 && args[0] == "normalize") {
        return Normalize(args[1], limit, out, err);
    }
    if (args.size() == 2 && args[0] == "check") {
        return Check(args[1], limit, out, err);
    }
    err << USAGE << '\n';
    return EXIT_UNUSABLE;
}

int ToolCommand::Normalize(const std::string& path, std::size_t nodeLimit, std::ostream& out, std::ostream& err) {
    FormatTree document;
    ReadResult result;
    if (!ReadInto(document, path, nodeLimit, result, err)) {
        return EXIT_UNUSABLE;
    }
    if (document.GetRootNode()->firstChild == nullptr) {
        err << NO_MESSAGE_TO_SAVE << '\n';
        return EXIT_FINDINGS;
    }
    if (!FormatWriter::WriteFormatFile(document.GetRootNode(), out)) {
        return EXIT_UNUSABLE; // Run says why
    }
    return EXIT_OK;
}

int ToolCommand::Check(const std::string& path, std::size_t nodeLimit, std::ostream& out, std::ostream& err) {
    FormatTree document;
    ReadResult result;
    if (!ReadInto(document, path, nodeLimit, result, err)) {
        return EXIT_UNUSABLE;
    }
    for (const DroppedStatement& dropped : result.dropped) {
        out << dropped.line << (dropped.unterminated ? ": unterminated\n" : ": dropped\n");
    }
    out << result.messagesRead << " messages, " << result.dropped.size() << " dropped\n";
    return result.dropped.empty() ? EXIT_OK : EXIT_FINDINGS;
}

} // namespace tqf
