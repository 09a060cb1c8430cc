#include "FormatTree.h"

#include <gtest/gtest.h>

#include <vector>

namespace tqf {
namespace {

// A reference clears itself when its node, or a node above it, leaves the
// tree, wherever it was moved to meanwhile; the others keep their nodes.
TEST(NodeRefTest, ClearsWhenItsNodeLeavesWhereverItWasMoved) {
    FormatTree tree;
    FormatNode* kept = tree.CreateMessage({"1", "1", false, ""}).node;
    FormatNode* gone = tree.CreateMessage({"2", "1", false, ""}).node;
    FormatNode* item = tree.AddItem(gone, {LIST, "0", false, ""}).node;
    std::vector<NodeRef> refs;
    for (FormatNode* node : {kept, gone, item}) {
        NodeRef ref(tree, node);
        refs.push_back(std::move(ref));
        EXPECT_EQ(ref.Get(), nullptr);
    }
    NodeRef last(tree);
    last = std::move(refs.back());
    (void)tree.DeleteMessage(gone);
    EXPECT_EQ(refs[0].Get(), kept);
    EXPECT_EQ(refs[1].Get(), nullptr);
    EXPECT_EQ(last.Get(), nullptr);
    // A node that comes back by an undo is not referred to again.
    (void)tree.Undo();
    EXPECT_EQ(refs[1].Get(), nullptr);
}

} // namespace
} // namespace tqf
