#include "FileIdentity.h"
#include "ToolCommand.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    tqf::IgnoreFileSizeSignal();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = tqf::ToolCommand::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
