#include "ToolArguments.h"

#include <algorithm>
#include <array>

namespace tqf {

namespace {

constexpr std::array<std::string_view, 6> COMMANDS{"check", "normalize", "from-sml", "to-sml", "validate", "from-host"};

bool IsHelp(std::string_view arg) { return arg == "-h" || arg == "--help"; }
bool IsVersion(std::string_view arg) { return arg == "-v" || arg == "--version"; }

ToolArguments Wrong(std::string error) {
    ToolArguments arguments;
    arguments.error = std::move(error);
    return arguments;
}

} // namespace

bool ToolArguments::TakesOutput(std::string_view command) {
    return command == "normalize" || command == "from-sml" || command == "to-sml" || command == "from-host";
}

ToolArguments ToolArguments::Parse(const std::vector<std::string>& args) {
    if (args.empty()) {
        return Wrong("no command given");
    }
    const std::string& first = args[0];
    if (IsHelp(first) || IsVersion(first)) {
        if (args.size() > 1) {
            return Wrong(first + " takes no arguments");
        }
        ToolArguments arguments;
        arguments.action = IsHelp(first) ? Action::HELP : Action::VERSION;
        return arguments;
    }
    if (std::ranges::find(COMMANDS, first) == COMMANDS.end()) {
        return Wrong((first.starts_with('-') ? "unknown option " : "unknown command ") + first);
    }
    ToolArguments arguments;
    arguments.command = first;
    std::vector<std::string> files;
    bool optionsEnded = false;
    bool outputGiven = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (IsHelp(arg)) {
            arguments.action = Action::HELP;
            return arguments;
        } else if (arg == "--log" && (first == "from-sml" || first == "validate")) {
            arguments.log = true;
        } else if (arg == "--merge" && first == "from-sml") {
            arguments.merge = true;
        } else if (arg == "--open-examples" && first == "from-sml") {
            arguments.openExamples = true;
        } else if (arg == "-o" && TakesOutput(first)) {
            if (i + 1 == args.size()) {
                return Wrong("-o needs the name of the file to write");
            }
            if (outputGiven) {
                return Wrong("-o given twice");
            }
            // The name after -o is taken as it is, "-" or "--" too.
            arguments.output = args[++i];
            outputGiven = true;
        } else {
            return Wrong(first + ": unknown option " + arg);
        }
    }
    if (files.empty()) {
        return Wrong(first + " needs a FILE (- for standard input)");
    }
    if (first == "validate") {
        if (files.size() != 2) {
            return Wrong("validate takes LIBRARY and MESSAGES, not " + std::to_string(files.size()) + " FILE(s)");
        }
        if (files[0] == "-" && files[1] == "-") {
            return Wrong("validate reads only one of LIBRARY and MESSAGES from standard input");
        }
        arguments.messages = files[1];
    } else if (files.size() > 1) {
        return Wrong(first + " takes one FILE, not " + std::to_string(files.size()));
    }
    if (outputGiven && arguments.output.empty()) {
        return Wrong("-o needs the name of the file to write");
    }
    arguments.input = files.front();
    arguments.action = Action::RUN;
    return arguments;
}

} // namespace tqf
