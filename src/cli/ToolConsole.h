#pragma once

#include <string>
#include <vector>

namespace tqf {

// How tqf-tool meets the system it runs on: its arguments, and standard
// streams that carry the bytes of libraries unchanged.
class ToolConsole {
public:
    // The arguments after the program's name: as given on POSIX systems; on
    // Windows taken from the wide command line and written as UTF-8, so that
    // any file name comes through.
    static std::vector<std::string> Arguments(int argc, char** argv);

    // Makes standard input and output pass every byte as it is (on Windows
    // they would otherwise turn LF into CR LF and stop at a Ctrl+Z byte), and
    // a console show the UTF-8 of the tool's messages.
    static void UseBinaryStreams();
};

} // namespace tqf
