#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// The arguments of one run of tqf-tool, read as GNU tools read theirs: a
// command, its FILE, "-o OUT" where the command writes a file, "-" for
// standard input or output, "--" before a name that starts with "-", and
// "-h" or "--help" anywhere before "--" for the help text.
struct ToolArguments {
    enum class Action {
        RUN,
        HELP,
        VERSION,
        WRONG, // error says why
    };

    Action action = Action::WRONG;
    std::string command;
    std::string input;         // "-": standard input
    std::string output;        // empty or "-": standard output
    std::string messages;      // validate's second FILE, the SML messages; "-": standard input
    bool log = false;          // --log: the SML is inside a log's lines (from-sml, validate)
    bool openExamples = false; // --open-examples: counts only an example gives are open (from-sml)
    bool merge = false;        // --merge: one definition for each stream and function (from-sml)
    std::string error;

    static ToolArguments Parse(const std::vector<std::string>& args);

    // The commands that write a file and so take "-o OUT".
    static bool TakesOutput(std::string_view command);
};

} // namespace tqf
