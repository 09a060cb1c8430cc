#include "EditTestSupport.h"
#include "FormatTree.h"
#include "TreeSurgery.h"

#include <gtest/gtest.h>

namespace tqf {
namespace {

NodeRules Formats(std::initializer_list<std::int32_t> formats) {
    NodeRules rules;
    rules.formats = formats;
    return rules;
}

class RulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.SetListener(&listener);
        message = tree.CreateMessage({"6", "11", true, "Event"}).node;
        list = tree.AddItem(message, {LIST, "0", false, ""}).node;
        ceid = tree.AddItem(list, {UINT4, "1", false, "ceid"}).node;
        other = tree.AddItem(list, {UINT4, "1", false, "DATAID"}).node;
        tree.ClearHistory();
        tree.MarkSaved();
    }
    FormatTree tree;
    test::Listener listener;
    FormatNode* message = nullptr;
    FormatNode* list = nullptr;
    FormatNode* ceid = nullptr;
    FormatNode* other = nullptr;
};

TEST_F(RulesTest, EachChangeIsOneStepThatUndoTakesBack) {
    ASSERT_TRUE(tree.SetRules(ceid, Formats({UINT4, ASCII})).Done());
    EXPECT_FALSE(tree.AtSavedState());
    EXPECT_EQ(listener.changed.back(), ceid);
    ASSERT_TRUE(tree.SetDictionaryRules("CEID", Formats({UINT2})).Done());
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 2u);
    // The same rules again are no step.
    ASSERT_TRUE(tree.SetRules(ceid, Formats({UINT4, ASCII})).Done());
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 2u);
    ASSERT_TRUE(tree.Undo());
    EXPECT_EQ(tree.Rules().ForName("ceid"), nullptr);
    ASSERT_TRUE(tree.Undo());
    EXPECT_EQ(tree.Rules().Of(ceid), nullptr);
    EXPECT_TRUE(tree.AtSavedState());
    ASSERT_TRUE(tree.Redo());
    ASSERT_NE(tree.Rules().Of(ceid), nullptr);
    EXPECT_EQ(tree.Rules().Of(ceid)->formats, (std::vector<std::int32_t>{UINT4, ASCII}));
}

TEST_F(RulesTest, TheWholeDictionaryChangesAsOneStep) {
    ASSERT_TRUE(tree.SetDictionaryRules("CEID", Formats({UINT2})).Done());
    RuleBook::Dictionary given;
    given["RPTID"] = {"RptId", Formats({UINT4})};
    given["DATAID"] = {"DATAID", {}}; // empty: no entry
    ASSERT_TRUE(tree.SetDictionary(given).Done());
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 2u);
    EXPECT_EQ(tree.Rules().ForName("CEID"), nullptr);
    EXPECT_EQ(tree.Rules().Entries().size(), 1u);
    EXPECT_NE(tree.Rules().ForName("rptid"), nullptr);
    ASSERT_TRUE(tree.SetDictionary(tree.Rules().Entries()).Done());
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 2u);
    ASSERT_TRUE(tree.Undo());
    EXPECT_NE(tree.Rules().ForName("CEID"), nullptr);
    EXPECT_EQ(tree.Rules().ForName("RPTID"), nullptr);
    NodeRules replying;
    replying.replyOptional = true;
    for (const auto& [key, entry] : {std::pair<std::string, RuleBook::Entry>{"X", {"Y", Formats({UINT1})}},
                                     {"X", {"X", replying}},
                                     {"", {"", Formats({UINT1})}},
                                     {"X", {"X", Formats({UINT1, UINT1})}}}) {
        EXPECT_FALSE(tree.SetDictionary({{key, entry}}).Done()) << key << " " << entry.name;
    }
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 2u);
}

TEST_F(RulesTest, TheDictionaryHoldsForItemsOfItsNameUnlessTheyHaveTheirOwn) {
    ASSERT_TRUE(tree.SetDictionaryRules(" Ceid ", Formats({UINT1, UINT2})).Done());
    ASSERT_TRUE(tree.SetDictionaryRules("DATAID", Formats({UINT8})).Done());
    // Names match whatever their case, as a file read back holds capitals.
    EXPECT_EQ(tree.Rules().EffectiveFor(ceid), tree.Rules().ForName("CEID"));
    EXPECT_EQ(tree.Rules().EffectiveFor(list), nullptr);
    ASSERT_TRUE(tree.SetRules(other, Formats({ASCII})).Done());
    EXPECT_EQ(tree.Rules().EffectiveFor(other)->formats, std::vector<std::int32_t>{ASCII});
    // A message is never held to an item's entry, whatever its description.
    ASSERT_TRUE(tree.SetDictionaryRules("Event", Formats({ASCII})).Done());
    EXPECT_EQ(tree.Rules().EffectiveFor(message), nullptr);
    // Lines kept unread alone are no rules: the dictionary still holds.
    NodeRules unread;
    unread.unreadLines = {"//@ what"};
    ASSERT_TRUE(tree.SetRules(ceid, unread).Done());
    EXPECT_EQ(tree.Rules().EffectiveFor(ceid), tree.Rules().ForName("CEID"));
}

TEST_F(RulesTest, RulesThatCannotBeKeptAreRefused) {
    NodeRules twice = Formats({UINT1, UINT1});
    NodeRules upsideDown;
    upsideDown.count = CountRange{3, 2};
    NodeRules valuesDown;
    valuesDown.values = {{5, 4}};
    NodeRules longText;
    longText.texts = {std::string(MAX_RULE_TEXT_BYTES / 4, '*')};
    NodeRules comment;
    comment.unreadLines = {"//@ a */ b"};
    NodeRules reply;
    reply.replyOptional = true;
    NodeRules separator = Formats({NONE});
    for (const NodeRules* rules : {&twice, &upsideDown, &valuesDown, &longText, &comment, &reply, &separator}) {
        EXPECT_NE(tree.SetRules(ceid, *rules).refusal, nullptr);
    }
    EXPECT_STREQ(tree.SetRules(message, Formats({UINT1})).refusal, MSG_RULES_NOT_FOR_MESSAGE);
    EXPECT_TRUE(tree.SetRules(message, reply).Done());
    EXPECT_STREQ(tree.SetDictionaryRules(std::string(MAX_RULE_NAME_BYTES + 1, 'N'), Formats({UINT1})).refusal,
                 MSG_RULE_NAME_INVALID);
    EXPECT_STREQ(tree.SetDictionaryRules("  ", Formats({UINT1})).refusal, MSG_RULE_NAME_INVALID);
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 1u);
}

TEST_F(RulesTest, RulesGoWithTheirNodeAndComeBackWithIt) {
    ASSERT_TRUE(tree.SetRules(ceid, Formats({UINT4})).Done());
    ASSERT_TRUE(tree.SetDictionaryRules("CEID", Formats({UINT2})).Done());
    ASSERT_TRUE(tree.ClearMessages().Done());
    // The dictionary belongs to the messages cleared.
    EXPECT_TRUE(tree.Rules().Entries().empty());
    ASSERT_TRUE(tree.Undo());
    EXPECT_NE(tree.Rules().ForName("CEID"), nullptr);
    ASSERT_TRUE(tree.DeleteItem(ceid).Done());
    ASSERT_TRUE(tree.Undo());
    ASSERT_NE(tree.Rules().Of(ceid), nullptr);
    ASSERT_TRUE(tree.DeleteItem(ceid).Done());
    // A read given up takes the dictionary it read along; the one before it
    // stays with the clearing.
    ASSERT_TRUE(tree.ClearMessages().Done());
    tree.SetReadDictionaryRules("RPTID", Formats({UINT4}));
    tree.DiscardUnrecorded(tree.Texts().Here());
    EXPECT_TRUE(tree.Rules().Entries().empty());
    ASSERT_TRUE(tree.Undo());
    EXPECT_NE(tree.Rules().ForName("CEID"), nullptr);
    EXPECT_EQ(tree.Rules().ForName("RPTID"), nullptr);
    // Once no step can bring it back, the node's storage may serve another
    // node, which must not inherit the rules.
    tree.ClearHistory();
    EXPECT_FALSE(tree.Rules().HasNodeRules());
}

TEST(RulesSummaryTest, EachRuleInAFewWords) {
    NodeRules rules = Formats({UINT4, ASCII});
    EXPECT_EQ(RulesSummary(rules), "U4 A");
    EXPECT_EQ(RulesSummary(Formats({ASCII, UINT2, UINT4}), UINT4), "U4 A U2");
    EXPECT_EQ(RulesSummary(Formats({ASCII, UINT2}), UINT4), "A U2");
    rules.count = CountRange{0, 32};
    rules.values = {{0, 0}, {3, 63}};
    rules.texts = {"ON"};
    rules.optional = true;
    EXPECT_EQ(RulesSummary(rules), "U4 A  count ..32  values 0 3..63 \"ON\"  optional");
    NodeRules message;
    message.replyOptional = true;
    message.direction = Direction::EQUIPMENT_TO_HOST;
    message.count = CountRange{2, CountRange::NO_MAX};
    EXPECT_EQ(RulesSummary(message), "count 2..  reply optional  E->H");
}

} // namespace
} // namespace tqf
