#include "ToolConsole.h"

namespace tqf {

std::vector<std::string> ToolConsole::Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

// Standard streams carry bytes as they are here already.
void ToolConsole::UseBinaryStreams() {}

} // namespace tqf
