#include "NodeMarks.h"
#include "FormatReader.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace tqf {
namespace {

std::size_t Marks(const std::string& text, std::size_t enough = SIZE_MAX) {
    std::istringstream in(text);
    return CountNodeMarks(in, FORMAT_MESSAGE_MARKS, enough);
}

// Never below the nodes the reader makes of any text, close to them for a
// plain library, and counted no further than needed.
TEST(NodeMarksTest, NeverBelowTheNodesTheReaderMakes) {
    EXPECT_EQ(Marks("S1F1W.\r\nS1F3 <L[2] <U4 ID> <A[n] NAME>>.\r\nS1F4 <A>\r\n"), 7U);
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int i = static_cast<int>(random() % 60); i > 0; --i) {
            text += "<<>>..SF12 LAn[]\r\n/*"[random() % 20];
        }
        FormatTree document;
        (void)FormatReader(document).ReadFormatBytes(text);
        ASSERT_GE(Marks(text), document.NodesHeld()) << text;
    }
    const std::string many(std::size_t{8} << 20, '<');
    std::istringstream in(many);
    EXPECT_GT(CountNodeMarks(in, FORMAT_MESSAGE_MARKS, 10), 10U);
    EXPECT_LT(static_cast<std::size_t>(in.tellg()), many.size());
}

} // namespace
} // namespace tqf
