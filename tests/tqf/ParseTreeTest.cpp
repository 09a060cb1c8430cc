#include "ParseTree.h"
#include "ItemFormat.h"
#include "ParseTreeText.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tqf {
namespace {

TEST(ParseTreeTest, ListsTakeTheItemsAddedWhileTheyHoldTheCursor) {
    ParseTree tree;
    EXPECT_EQ(tree.OpenList(false), 1);
    ParseNode* top = tree.cursor;
    tree.AddUint4(1, "DATAID");
    EXPECT_EQ(tree.OpenList(true), 1);
    tree.AddAscii(OPEN_COUNT, "NAME");
    tree.AddVariant("VALUE");
    EXPECT_EQ(tree.CloseList(), 1);
    EXPECT_EQ(tree.cursor, top);
    tree.AddFloat8(3, "");

    EXPECT_EQ(ParseTreeText(tree), "L[3](U4[1] 'DATAID', Ln[2](An[-1] 'NAME', VARIANT[0] 'VALUE'), F8[3])");
    ASSERT_EQ(tree.RootItem(), top);
    const ParseNode* inner = top->firstChild->nextSibling;
    EXPECT_EQ(inner->parent, top);
    EXPECT_EQ(inner->prevSibling, top->firstChild);
    EXPECT_EQ(inner->firstChild->nextSibling->prevSibling, inner->firstChild);
    EXPECT_EQ(top->lastChild->kind, FLOAT8);
}

TEST(ParseTreeTest, ATreeTakesNoNodeBeyondItsLimitUntilCleared) {
    ParseTree tree;
    tree.SetNodeLimit(3);
    EXPECT_EQ(tree.OpenList(false), 1);
    tree.AddUint1(1, "A");
    tree.AddUint1(1, "B");
    EXPECT_FALSE(tree.Overflowed());
    tree.AddUint1(1, "C");
    EXPECT_EQ(tree.OpenList(false), 0);
    EXPECT_TRUE(tree.Overflowed());
    EXPECT_EQ(tree.NodeCount(), 3U);
    EXPECT_EQ(ParseTreeText(tree), "L[2](U1[1] 'A', U1[1] 'B')");
    tree.Clear();
    EXPECT_FALSE(tree.Overflowed());
    tree.AddBinary(1, "");
    EXPECT_EQ(tree.NodeCount(), 1U);
}

TEST(ParseTreeTest, TheTopLevelListKeepsTheCursorWhenClosed) {
    ParseTree tree;
    EXPECT_EQ(tree.CloseList(), 0) << "nothing to close in an empty tree";
    tree.OpenList(false);
    EXPECT_EQ(tree.CloseList(), 0);
    ASSERT_EQ(tree.cursor, tree.RootItem());
    tree.AddBinary(1, "");
    EXPECT_EQ(ParseTreeText(tree), "L[1](B[1])");
}

TEST(ParseTreeTest, EveryFormatHasItsOwnMember) {
    ParseTree tree;
    tree.OpenList(false);
    tree.AddBinary(2, "");
    tree.AddBoolean(2, "");
    tree.AddAscii(2, "");
    tree.AddJis8(2, "");
    tree.AddInt1(2, "");
    tree.AddInt2(2, "");
    tree.AddInt4(2, "");
    tree.AddInt8(2, "");
    tree.AddUint1(2, "");
    tree.AddUint2(2, "");
    tree.AddUint4(2, "");
    tree.AddUint8(2, "");
    tree.AddFloat4(2, "");
    tree.AddFloat8(2, "");
    tree.AddVariant("");
    int expected = BINARY;
    for (const ParseNode* n = tree.RootItem()->firstChild; n != nullptr; n = n->nextSibling) {
        EXPECT_EQ(n->kind, expected == SEPARATOR ? VARIANT : expected);
        expected = expected == FLOAT8 ? SEPARATOR : expected + 1;
    }
    EXPECT_EQ(tree.RootItem()->count, 15);
}

TEST(ParseTreeTest, NothingFollowsATopLevelItemThatIsNotAList) {
    ParseTree tree;
    tree.AddUint4(1, "X");
    tree.AddUint4(1, "Y");
    EXPECT_EQ(tree.OpenList(false), 0) << "a list with nowhere to go is ignored";
    EXPECT_EQ(tree.cursor, nullptr);
    tree.AddAscii(1, "INSIDE");
    EXPECT_EQ(tree.CloseList(), 0);
    EXPECT_EQ(ParseTreeText(tree), "U4[1] 'X'");
    EXPECT_EQ(tree.NodeCount(), 1U);
}

TEST(ParseTreeTest, TextsOutliveWhatTheyWereReadFrom) {
    ParseTree tree;
    std::string statement = "S1F1 <L <A  FROM THE STATEMENT>>";
    const std::string_view adopted = tree.AdoptStatement(statement);
    tree.OpenList(false);
    tree.AddAscii(1, adopted.substr(adopted.find("FROM"), 18));
    {
        std::string elsewhere = "A COPY OF A TEXT FROM ELSEWHERE";
        tree.AddBinary(1, elsewhere);
        elsewhere.assign(elsewhere.size(), '#');
    }
    // What the caller got back is its own buffer again, to fill anew.
    statement.assign(64, '#');
    EXPECT_EQ(ParseTreeText(tree), "L[2](A[1] 'FROM THE STATEMENT', B[1] 'A COPY OF A TEXT FROM ELSEWHERE')");
}

} // namespace
} // namespace tqf
