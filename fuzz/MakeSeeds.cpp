// Writes the generated part of the fuzzer's seed corpus into the folder given:
// libraries that the writer produces (the standard messages, every format and
// count, deep and wide lists, awkward descriptions), the standard library cut
// into one file per message, and short texts that exercise each rule of the
// reader. Small files fuzz fastest, so every seed stays small, unless a size
// is given: then deep and large inputs of about that many bytes join them,
// for long runs that reach the faults of depth and size (a list nested a
// hundred thousand deep takes a megabyte to read and ten gigabytes to write).
//
// Usage: tqf_fuzz_seeds FOLDER [SIZE]

#include "FormatTree.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "LibraryBuilder.h"
#include "StandardMessages.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using tqf::FormatNode;
using tqf::FormatTree;
using tqf::FormatWriter;
using tqf::LibraryBuilder;

constexpr int DEEP_NESTING = 30;
constexpr int WIDE_LIST = 40;
constexpr std::int32_t SOME_COUNT = 12;

class SeedFolder {
public:
    explicit SeedFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    bool Write(const std::string& name, std::string_view bytes) {
        std::ofstream file(folder_ / (name + ".TQF"), std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::cerr << "tqf_fuzz_seeds: cannot write " << (folder_ / name).string() << '\n';
            return false;
        }
        ++written_;
        return true;
    }

    bool WriteLibrary(const std::string& name, const FormatTree& document) {
        return Write(name, FormatWriter::FormatFileText(document.GetRootNode()));
    }

    int Written() const { return written_; }

private:
    std::filesystem::path folder_;
    int written_ = 0;
};

// Every format with the counts a file can carry: none, 0, 1, several, open.
void BuildEveryFormat(FormatTree& document) {
    LibraryBuilder builder(document);
    constexpr std::array<int, 15> FORMATS{tqf::BINARY, tqf::BOOLEAN, tqf::ASCII,  tqf::JIS8,   tqf::INT1,
                                          tqf::INT2,   tqf::INT4,    tqf::INT8,   tqf::UINT1,  tqf::UINT2,
                                          tqf::UINT4,  tqf::UINT8,   tqf::FLOAT4, tqf::FLOAT8, tqf::VARIANT};
    int function = 1;
    for (int format : FORMATS) {
        const bool replyRequired = function % 2 == 1;
        FormatNode* message = builder.AddMessage(1, function++, replyRequired, "FORMAT " + std::to_string(format));
        FormatNode* list = builder.AddList(message);
        builder.AddItem(list, format, 0);
        builder.AddItem(list, format, 1, "ONE");
        builder.AddItem(list, format, SOME_COUNT, "SOME");
        builder.AddItem(list, format, tqf::OPEN_COUNT, "OPEN");
    }
    builder.AddItem(builder.AddMessage(2, 1, false), tqf::UINT4, 1, "SINGLE");
    builder.AddList(builder.AddMessage(2, 2, false), true);
    builder.AddMessage(2, 3, true);
}

// Lists inside lists, open and fixed, with items between them.
void BuildNested(FormatTree& document) {
    LibraryBuilder builder(document);
    FormatNode* node = builder.AddList(builder.AddMessage(6, 11, true, "DEEP"));
    for (int depth = 0; depth < DEEP_NESTING; ++depth) {
        builder.AddItem(node, tqf::UINT4, 1, "AT " + std::to_string(depth));
        node = builder.AddList(node, depth % 5 == 4);
    }
    builder.AddItem(node, tqf::ASCII, tqf::OPEN_COUNT, "BOTTOM");

    FormatNode* wide = builder.AddList(builder.AddMessage(6, 12, false, "WIDE"));
    for (int i = 0; i < WIDE_LIST; ++i) {
        if (i % 7 == 3) {
            builder.AddList(builder.AddList(wide));
        } else {
            builder.AddItem(wide, tqf::UINT1 + i % 4, i % 3, {});
        }
    }
}

// Texts that the file cannot carry unchanged, and numbers out of the panel's range.
void BuildAwkward(FormatTree& document) {
    LibraryBuilder builder(document);
    const std::array<std::string, 12> descriptions{"VER. 2",
                                                   "A<B",
                                                   "A>B",
                                                   "X[1]",
                                                   "A // B",
                                                   "A /* B */ C",
                                                   "*/",
                                                   "( PARENS )",
                                                   "lower case",
                                                   "TAB\tIN",
                                                   "\xED\x95\x9C\xEA\xB8\x80",
                                                   " SPACED "};
    int function = 0;
    for (const std::string& description : descriptions) {
        FormatNode* message = builder.AddMessage(7, function++, false, description);
        builder.AddItem(builder.AddList(message), tqf::ASCII, 2, description);
    }
    builder.AddMessage(0, 0, false);
    builder.AddMessage(127, 255, true);
    builder.AddMessage(300, 70000, false);
    builder.AddMessage(2147483647, 2147483647, true);
}

// Short texts for each rule of the reader.
constexpr std::array<std::string_view, 40> READER_TEXTS{
    "s1f3 <l[2] <u4 id> <a[n] name>>.\n",
    "S1F3\r\n<L[2]\r\n\t<U4 ID>\r\n\t<A[N] NAME>\r\n>\r\n.\r\n",
    "/* TALVO SECS MESSAGE FORMAT FILE */\nS1F1W (ARE YOU THERE).\n",
    "/* open\nS9F9.\nclosed */ S1F1.\n",
    "S1F1 // comment\n<U4>.\n",
    "S1F1.S1F2.\n",
    "S1F1 (VER. 2).\n<L[1]\n<A>\n>.\n",
    "S2F41W<L[2]<A CMD><L[N]<U1>>>.\n",
    "S1F1 <L> <U4> <A>.\n",
    "S1F1 <U4 X> <U4 Y>.\n",
    "S1F1 <L[1] <A>> <U4>.\n",
    "S1F1 <U4><L[1] <A>>.\n",
    "S1F1 <L[6] <V> <VAR> <UNDEFINED> <VARIANT> <BOOL> <BOOLEAN>>.\n",
    "S1F1 <L[4] <J> <J8> <A[]> <A[X]>>.\n",
    "S1F1 <A [10]>.\n",
    "S1F1 <  A[10]>.\n",
    "S1F1 <L[2] [ <A>>.\n",
    "S1F1 <L[2] <A  X[1]>>.\n",
    "S1F1 <ASCII>.\n",
    "S1F1 W.\n",
    "F1 (S).\n",
    "SF1.\n",
    "S1F1WW.\n",
    "'S1'F1 'W'.\n",
    "S1F1\t(TAB).\n",
    "STRAY TEXT\nS1F1.\n",
    "S1F1 <L[2]\n<A>\n",
    "S1F1 <L[1]\n<A LOT. ID>.\n",
    "S1F1 (A . B) <U4>.\n",
    "*/ S1F1.\n",
    "S1F1\rS1F2.\r",
    "S1F1\n\n   \n\t\n.\n",
    ".\n..\nS1F1\n..\n",
    "S1F1 <L[N] <U4> <U4>>.\n",
    "S1F1 <L[2] <L[1] <L[0]>> <L[N]>>.\n",
    "S1F1 <U4[-1]> .\n",
    "S1F1 <L[99999999999999999999]>.\n",
    "S1F99999999999999999999 <U4[99999999999999999999]>.\n",
    "S-1F1.\nS1F-1.\n",
    "S0F0 (ZERO).\nS0F0 <U4>.\n",
};

// A line longer than any fixed buffer, with a statement inside it.
std::string LongLine() {
    constexpr std::size_t LONG_LINE = 600;
    return "S1F1 (" + std::string(LONG_LINE, 'D') + ") <L[1] <A  " + std::string(LONG_LINE, 'E') + ">>.\n";
}

} // namespace

// Inputs of about size bytes that are deep or large rather than varied:
// written without indentation, as another program may write them, so that
// their depth costs the reader little and the writer much.
std::vector<std::pair<std::string, std::string>> LargeInputs(std::size_t size) {
    constexpr std::string_view OPEN = "<L[1]\r\n";
    constexpr std::string_view CLOSE = ">\r\n";
    constexpr std::string_view MESSAGE = "S6F11W (EVENT)\r\n<L[2]\r\n<U4 ID>\r\n<A[n] TEXT>\r\n>.\r\n";
    const std::size_t depth = size / (OPEN.size() + CLOSE.size()) + 1;
    std::string deep = "S1F3.\r\nS1F1W\r\n";
    std::string unclosed = "S2F1\r\n";
    std::string longList = "S5F1\r\n<L[n]\r\n";
    std::string many;
    for (std::size_t i = 0; i < depth; ++i) {
        deep += OPEN;
        unclosed += "<L[n] D" + std::to_string(i % 10) + "\r\n";
    }
    deep += "<A>\r\n";
    for (std::size_t i = 0; i < depth; ++i) {
        deep += CLOSE;
    }
    deep += ".\r\nS1F2.\r\n";
    while (longList.size() < size) {
        longList += "<U1[2] V>\r\n";
    }
    longList += ">.\r\n";
    while (many.size() < size) {
        many += MESSAGE;
    }
    return {{"large-deep", deep}, {"large-unclosed", unclosed}, {"large-list", longList}, {"large-many", many}};
}

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: tqf_fuzz_seeds FOLDER [SIZE]\n";
        return EXIT_FAILURE;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::cerr << "tqf_fuzz_seeds: cannot create " << folder.string() << ": " << error.message() << '\n';
        return EXIT_FAILURE;
    }
    SeedFolder seeds(folder);
    bool ok = true;

    FormatTree standard;
    tqf::BuildStandardMessages(standard);
    ok = seeds.WriteLibrary("standard-messages", standard) && ok;
    int index = 0;
    for (const FormatNode* m = standard.GetRootNode()->FirstChild(); m != nullptr; m = m->NextSibling()) {
        std::string text(FormatWriter::FILE_HEADER);
        FormatWriter::AppendSubtree(m, text);
        ok = seeds.Write("standard-" + std::to_string(index++), text) && ok;
    }

    FormatTree everyFormat;
    BuildEveryFormat(everyFormat);
    ok = seeds.WriteLibrary("every-format", everyFormat) && ok;
    FormatTree nested;
    BuildNested(nested);
    ok = seeds.WriteLibrary("nested", nested) && ok;
    FormatTree awkward;
    BuildAwkward(awkward);
    ok = seeds.WriteLibrary("awkward", awkward) && ok;

    index = 0;
    for (std::string_view text : READER_TEXTS) {
        ok = seeds.Write("reader-" + std::to_string(index++), text) && ok;
    }
    ok = seeds.Write("long-line", LongLine()) && ok;
    if (argc == 3) {
        for (const auto& [name, text] : LargeInputs(std::strtoull(argv[2], nullptr, 10))) {
            ok = seeds.Write(name, text) && ok;
        }
    }

    std::cout << seeds.Written() << " seeds in " << folder.string() << '\n';
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
