#include "ToolConsole.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace tqf {

namespace {

std::string Utf8Of(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back(); // the terminating zero
    return bytes;
}

// The console's code page before the tool set UTF-8, put back at the end so
// that the console shows later programs as before.
UINT consoleCodePage = 0;

void RestoreConsoleCodePage() {
    if (consoleCodePage != 0) {
        ::SetConsoleOutputCP(consoleCodePage);
    }
}

} // namespace

std::vector<std::string> ToolConsole::Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(Utf8Of(wide[i]));
    }
    ::LocalFree(wide);
    return args;
}

void ToolConsole::UseBinaryStreams() {
    (void)_setmode(_fileno(stdin), _O_BINARY);
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)_setmode(_fileno(stderr), _O_BINARY);
    DWORD mode = 0;
    if (::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) && ::GetConsoleOutputCP() != CP_UTF8) {
        consoleCodePage = ::GetConsoleOutputCP();
        if (::SetConsoleOutputCP(CP_UTF8)) {
            std::atexit(RestoreConsoleCodePage);
        }
    }
}

} // namespace tqf
