#include "FileIdentity.h"
#include "ToolCommand.h"
#include "ToolConsole.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    tqf::IgnoreFileSizeSignal();
    tqf::ToolConsole::UseBinaryStreams();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args = tqf::ToolConsole::Arguments(argc, argv);
    const int status = tqf::ToolCommand::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
