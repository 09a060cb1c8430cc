#include "ItemParser.h"
#include "BracketSpacing.h"
#include "ItemFormat.h"
#include "ParseNode.h"
#include "ParseTree.h"
#include "ParseTreeText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>

namespace tqf {
namespace {

TEST(ItemParserTest, NormalisingRemovesOneSpaceNextToEachBracketPerPass) {
    EXPECT_EQ(BracketSpacing::NormaliseBrackets("S1F3 <L[2] <U4 ID> <A[n] NAME>>"), "S1F3<L[2]<U4 ID><A[n]NAME>>");
    EXPECT_EQ(BracketSpacing::NormaliseBrackets("< A [ 10 ] >"), "<A[10]>");
    EXPECT_EQ(BracketSpacing::NormaliseBrackets("<  A[10]>"), "< A[10]>") << "of two spaces, one remains";
    EXPECT_EQ(BracketSpacing::NormaliseBrackets("X  <"), "X <");
    EXPECT_EQ(BracketSpacing::NormaliseBrackets("<\tA >"), "<\tA>") << "tabs stay";
    EXPECT_EQ(BracketSpacing::NormaliseBrackets("<U4  DATAID>"), "<U4  DATAID>");
}

// The normalisation as plainly as it can be written: eight passes of
// find-and-replace over a copy.
std::string NormaliseSlowly(std::string text) {
    const std::pair<std::string, std::string> spacings[] = {{"< ", "<"}, {" <", "<"}, {"[ ", "["}, {" [", "["},
                                                            {" >", ">"}, {"> ", ">"}, {"] ", "]"}, {" ]", "]"}};
    for (const auto& [from, to] : spacings) {
        std::string result;
        std::size_t at = 0;
        for (std::size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, at)) {
            result += text.substr(at, hit - at) + to;
            at = hit + from.size();
        }
        text = result + text.substr(at);
    }
    return text;
}

TEST(ItemParserTest, NormalisingAgreesWithEightPlainPasses) {
    const std::string alphabet = "<>[] AL";
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 20000; ++round) {
        std::string text(static_cast<std::size_t>(round % 23), ' ');
        for (char& c : text) {
            c = alphabet[pick(random)];
        }
        const std::string expected = NormaliseSlowly(text);
        ASSERT_EQ(BracketSpacing::NormaliseBrackets(text), expected) << '"' << text << '"';
        ASSERT_EQ(BracketSpacing::NeedsNormalising(text), expected != text) << '"' << text << '"';
    }
}

TEST(ItemParserTest, FormatCodes) {
    const std::pair<const char*, std::int32_t> codes[] = {
        {"L", LIST},    {"B", BINARY},  {"BOOL", BOOLEAN}, {"BOOLEAN", BOOLEAN}, {"A", ASCII},
        {"J", JIS8},    {"J8", JIS8},   {"I1", INT1},      {"I2", INT2},         {"I4", INT4},
        {"I8", INT8},   {"U1", UINT1},  {"U2", UINT2},     {"U4", UINT4},        {"U8", UINT8},
        {"F4", FLOAT4}, {"F8", FLOAT8}, {"u4", UINT4},     {"bool", BOOLEAN},
    };
    for (const auto& [code, format] : codes) {
        EXPECT_EQ(ItemParser::FormatCodeFromText(code), format) << code;
    }
    for (const char* unknown : {"", "ASCII", "VARIANT", "V", "U", "U16", "L ", "JIS8"}) {
        EXPECT_EQ(ItemParser::FormatCodeFromText(unknown), ItemParser::UNKNOWN_CODE) << unknown;
    }
}

struct ItemCase {
    const char* item;
    std::int32_t format;
    std::int32_t count;
    const char* description;
};

TEST(ItemParserTest, ItemHeaders) {
    constexpr std::int32_t MAX = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t MIN = std::numeric_limits<std::int32_t>::min();
    const ItemCase cases[] = {
        {"<A[10]LOT ID>", ASCII, 10, "LOT ID"},
        {"<A>", ASCII, 1, ""},
        {"<A[N]>", ASCII, OPEN_COUNT, ""},
        {"<A[n]>", ASCII, OPEN_COUNT, ""},
        {"<A[]>", ASCII, 0, ""},
        {"<A[X]>", ASCII, 0, ""},
        {"<A[ 7]>", ASCII, 7, ""},
        {"<A[-5]>", ASCII, -5, ""},
        {"<A\t[3]>", ASCII, 0, ""},
        {"<U4 1 2 3>", UINT4, 1, "1 2 3"},
        {"<U4   SPACED   >", UINT4, 1, "SPACED"},
        {"<BOOL>", BOOLEAN, 1, ""},
        {"<BOOLEAN FLAG>", BOOLEAN, 1, "FLAG"},
        {"<V>", VARIANT, 1, ""},
        {"<VAR X>", VARIANT, 1, "X"},
        {"<UNDEFINED>", VARIANT, 1, ""},
        {"<VARIANT[3]>", VARIANT, 3, ""},
        {"<J>", JIS8, 1, ""},
        {"<J8[2]>", JIS8, 2, ""},
        {"<F4[99999999999]>", FLOAT4, MAX, ""},
        {"<I8[-99999999999]>", INT8, MIN, ""},
    };
    for (const ItemCase& c : cases) {
        ItemHeader header;
        ASSERT_TRUE(ItemParser::ParseItemHeader(c.item, header)) << c.item;
        EXPECT_EQ(header.format, c.format) << c.item;
        EXPECT_EQ(header.count, c.count) << c.item;
        EXPECT_EQ(header.description, c.description) << c.item;
    }
}

TEST(ItemParserTest, ItemHeadersThatAreRejected) {
    for (const char* item :
         {"<ASCII>", "<A[10>", "<A10]>", "< A>", "<A\tX>", "<A  X[1]>", "<>", "<X[1]>", "<Q>", "<UNDEFINEDX>"}) {
        ItemHeader header;
        EXPECT_FALSE(ItemParser::ParseItemHeader(item, header)) << item;
    }
}

TEST(ItemParserTest, ItemHeadersReadTheSameWhereverTheirMarksFall) {
    // The brackets and spaces of an item are found a few bytes at a time; here
    // they fall at every offset, near the start, the middle and the end.
    struct Expected {
        std::string item;
        bool read;
        std::int32_t format;
        std::int32_t count;
        std::string description;
    };
    for (std::size_t k = 0; k < 30; ++k) {
        const std::string d(k, 'D');
        const Expected cases[] = {
            {"<A[7]" + std::string(k, ' ') + d + ">", true, ASCII, 7, d},
            {"<BOOLEAN" + std::string(k + 1, ' ') + d + "X>", true, BOOLEAN, 1, d + "X"},
            {"<U4[2]" + d + "]>", true, UINT4, 2, d + "]"}, // the count ends at the first "]"
            // The code runs to the first "[", less trailing spaces; what follows
            // it then starts with a space, which "[%ld]" does not read.
            {"<U4 " + d + "[2]>", k == 0, UINT4, 0, ""},
            {"<A X" + d + "<Y>", true, ASCII, 1, "X" + d + "Y"}, // angle brackets inside are dropped
        };
        for (const Expected& c : cases) {
            ItemHeader header;
            ASSERT_EQ(ItemParser::ParseItemHeader(c.item, header), c.read) << c.item;
            if (c.read) {
                EXPECT_EQ(header.format, c.format) << c.item;
                EXPECT_EQ(header.count, c.count) << c.item;
                EXPECT_EQ(header.description, c.description) << c.item;
            }
        }
    }
}

TEST(ItemParserTest, DescriptionsHaveNoLengthLimit) {
    const std::string description(100'000, 'D');
    const std::string item = "<A[n]" + description + ">";
    ItemHeader header;
    ASSERT_TRUE(ItemParser::ParseItemHeader(item, header));
    EXPECT_EQ(header.description, description);
}

struct BodyCase {
    const char* body;
    const char* tree; // empty: the statement is rejected
};

TEST(ItemParserTest, Bodies) {
    const BodyCase cases[] = {
        {"<L[2]<U4 ID><A[N]NAME>>", "L[2](U4[1] 'ID', An[-1] 'NAME')"},
        {"<L[5]<A><B>>", "L[2](A[1], B[1])"},
        {"<L[1]<A>><U4>", "L[2](A[1], U4[1])"},
        {"<L><A><B>", "L[2](A[1], B[1])"},
        {"<L[N]<A><B><L>>", "Ln[3](A[1], B[1], L[0])"},
        {"<L[ n ]<A>>", "Ln[1](A[1])"},
        {"<L[-1]<A>>", "Ln[1](A[1])"},
        {"<L[2 ITEMS]<A>>", "L[1](A[1])"},
        {"<LIST<A>>", "L[1](A[1])"},
        {"<L", "L[0]"},
        {"<U4 X><U4 Y>", "U4[1] 'X'"},
        {"<U4><L[1]<A>>", "U4[1]"},
        {"<L[1]<U4><U4>>", "L[2](U4[1], U4[1])"},
        {"<L[1][ANY]<A>>", "L[1](A[1])"},
        {"<L[2]<A X>Y><B>>", "L[2](A[1] 'X', B[1])"},
        {"<L<L<L>>>", "L[1](L[1](L[0]))"},
        {">>><A>", "A[1]"},
        {"<V[9]>", "VARIANT[0]"},
        {"<L[1]<<L>>", "L[0]"},
        {"<L[", ""},
        {"<L[2<A>", ""},
        {"<L[1]<A", ""},
        {"<", ""},
        {"<L[1]<A>[", ""},
        {"<L[1]<ASCII>>", ""},
        {"<L[1]< A>>", ""},
    };
    for (const BodyCase& c : cases) {
        ParseTree tree;
        const bool accepted = ItemParser::ParseBody(c.body, tree);
        if (*c.tree == '\0') {
            EXPECT_FALSE(accepted) << c.body;
            continue;
        }
        ASSERT_TRUE(accepted) << c.body;
        EXPECT_EQ(ParseTreeText(tree), c.tree) << c.body;
    }
}

TEST(ItemParserTest, CommonItemsReadAsTheirHeadersSay) {
    // Common items are read from one load of the bytes after "<"; codes,
    // counts and descriptions of every length put their ends at every place
    // in it and past it, and each item must read as ParseItemHeader reads it.
    const std::string codes[] = {"A",
                                 "B",
                                 "J",
                                 "J8",
                                 "V",
                                 "VAR",
                                 "I1",
                                 "U8",
                                 "F4",
                                 "F8",
                                 "BOOL",
                                 "BOOLEAN",
                                 "VARIANT",
                                 "UNDEFINED",
                                 "U3",
                                 "F2",
                                 "BOOLEANS",
                                 "X",
                                 "A1B2C3D4E5F6G7H8"};
    const std::string counts[] = {"",           "[N]",         "[]",           "[0]",           "[1]", "[07]",
                                  "[12345678]", "[123456789]", "[1234567890]", "[00000000012]", "[X]", "[2"};
    const std::string descriptions[] = {"", " D", "  LOT ID", " A.B ", " X[1]", "\tT"};
    for (const std::string& code : codes) {
        for (const std::string& count : counts) {
            for (const std::string& description : descriptions) {
                const std::string item = "<" + code + count + description + ">";
                ItemHeader header;
                const bool read = ItemParser::ParseItemHeader(item, header);
                ParseTree tree;
                const bool accepted = ItemParser::ParseBody("<L" + item + ">", tree);
                const ParseNode* list = tree.RootItem();
                if (!read) {
                    EXPECT_FALSE(accepted && list != nullptr && list->firstChild != nullptr) << item;
                    continue;
                }
                ASSERT_TRUE(accepted) << item;
                ASSERT_NE(list, nullptr) << item;
                if (header.format == LIST) {
                    continue; // "<L>" inside a list is no item
                }
                const ParseNode* got = list->firstChild;
                ASSERT_NE(got, nullptr) << item;
                EXPECT_EQ(got->kind, header.format) << item;
                EXPECT_EQ(got->count, header.format == VARIANT ? 0 : header.count) << item;
                EXPECT_EQ(got->text, header.description) << item;
            }
        }
    }
}

TEST(ItemParserTest, ABodyThatEndsInsideAnItemIsReadOnlyToItsEnd) {
    // Each body in a buffer of exactly its size, so that the address
    // sanitizer sees any look past its end.
    for (const std::string_view body : {"<L<A[12", "<L<A[N", "<L<U4", "<L<U4[1]", "<L<U4 X", "<L<A[12]"}) {
        const auto bytes = std::make_unique<char[]>(body.size());
        std::copy(body.begin(), body.end(), bytes.get());
        ParseTree tree;
        EXPECT_FALSE(ItemParser::ParseBody(std::string_view(bytes.get(), body.size()), tree)) << body;
    }
}

TEST(ItemParserTest, LongBodiesAreScannedInOnePass) {
    // A hundred thousand items in one list: erasing from the front of the
    // body for every item would take minutes here.
    constexpr int ITEMS = 100'000;
    std::string body = "<L";
    for (int i = 0; i < ITEMS; ++i) {
        body += "<U4 X>[SKIPPED] ";
    }
    body += '>';
    ParseTree tree;
    ASSERT_TRUE(ItemParser::ParseBody(body, tree));
    EXPECT_EQ(tree.RootItem()->count, ITEMS);
}

} // namespace
} // namespace tqf
