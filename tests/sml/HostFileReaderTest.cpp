#include "HostFileReader.h"
#include "FormatWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace tqf {
namespace {

TEST(HostFileReaderTest, DefinitionsComeWithTheirRules) {
    const std::string host = "* definitions of an imaginary tool\n"
                             "#define NAMELEN 32\n"
                             "  #define IDS 8\n"
                             "S1F1W =hello OUTPUT.\n"
                             "S1F2 =s1f2in INPUT <L [2] <A [MAX NAMELEN] = Mdln > <A [MAX 20] = Softrev >>.\n"
                             "S2F41W =cmd OUTPUT\n"
                             "  <L [2]\n"
                             "    <A [MAX 20] = Rcmd>\n"
                             "    <L [MAX IDS] <L [2] <A = CpName> <V = CpVal>>>\n"
                             "  >.\n"
                             "S1F3W =bad OUTPUT <L [1] <U4 5 >>.\n"
                             "S9F1 INPUT <B [10] = Mhead >.\n"
                             "S1F5 <U4 [MAX LEN]>.\n"
                             "S1F6 <Q>.\n";
    FormatTree document;
    const HostReadResult result = HostFileReader(document).Read(host);
    EXPECT_EQ(result.messagesRead, 4u);
    ASSERT_EQ(result.dropped.size(), 3u);
    EXPECT_EQ(result.dropped[0],
              (ReadDiagnostic{11, 30, "not read: \">\" expected: values and other words in an item are not read"}));
    EXPECT_EQ(result.dropped[1].line, 13u);
    EXPECT_EQ(result.dropped[1].column, 11u);
    EXPECT_EQ(result.dropped[2], (ReadDiagnostic{14, 7, "not read: unknown item format Q"}));
    EXPECT_EQ(
        FormatWriter::FormatFileText(document.GetRootNode(), &document.Rules()),
        "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\n"
        "S1F1W (hello).\r\n//@ direction H->E\r\n\r\n\r\n"
        "S1F2 (s1f2in)\r\n//@ direction E->H\r\n<L[2]\r\n\t<A[n]  Mdln>\r\n//@ count ..32\r\n"
        "\t<A[n]  Softrev>\r\n//@ count ..20\r\n>.\r\n\r\n\r\n"
        "S2F41W (cmd)\r\n//@ direction H->E\r\n<L[2]\r\n\t<A[n]  Rcmd>\r\n//@ count ..20\r\n\t<L[n]\r\n"
        "//@ count ..8\r\n\t\t<L[2]\r\n\t\t\t<A[n]  CpName>\r\n\t\t\t<VARIANT  CpVal>\r\n\t\t>\r\n\t>\r\n>.\r\n\r\n\r\n"
        "S9F1\r\n//@ direction E->H\r\n<B[10]  Mhead>.\r\n");
}

} // namespace
} // namespace tqf
