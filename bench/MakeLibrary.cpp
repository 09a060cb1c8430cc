// Writes a generated library of N messages to a file:
//   tqf_make_bench_library N OUT.TQF
#include "FormatTree.h"
#include "FormatWriter.h"
#include "LibraryGenerator.h"

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: tqf_make_bench_library MESSAGES OUT\n";
        return 2;
    }
    tqf::FormatTree document;
    tqf::GenerateLibrary(document, std::stoi(argv[1]));
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    return tqf::FormatWriter::WriteFormatFile(document.GetRootNode(), out) ? 0 : 1;
}
