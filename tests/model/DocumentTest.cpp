#include "Document.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace tqf {
namespace {

struct Reports : DocumentListener {
    void ModifiedChanged(bool value) override { modified = value, ++calls; }
    void MessageCountChanged(std::int32_t value) override { count = value, ++calls; }
    bool modified = false;
    std::int32_t count = 0;
    int calls = 0;
};

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override { document.SetListener(&reports); }
    FormatNode* Message(const char* stream, const char* function, const char* description = "") {
        return document.Tree().CreateMessage({stream, function, false, description}).node;
    }

    Document document;
    Reports reports;
};

// Whatever is done, the listener knows the state the document is in, and
// hears only of changes.
TEST_F(DocumentTest, ListenerAlwaysKnowsTheModifiedStateAndCount) {
    std::mt19937 random(28);
    // Clearing is one step too, which undo takes back whole.
    const std::function<void()> actions[] = {[&] { Message(std::to_string(random() % 5 + 1).c_str(), "1"); },
                                             [&] { (void)document.Undo(); },
                                             [&] { (void)document.Redo(); },
                                             [&] { document.MarkSaved(); },
                                             [&] { document.RecordUnalteredChange(); },
                                             [&] { (void)document.Tree().ClearMessages(); }};
    for (int i = 0; i < 400; ++i) {
        const int calls = reports.calls;
        const bool modified = document.IsModified();
        const std::int32_t count = document.MessageCount();
        actions[random() % std::size(actions)]();
        ASSERT_EQ(reports.modified, document.IsModified()) << i;
        ASSERT_EQ(reports.count, document.MessageCount()) << i;
        ASSERT_LE(reports.calls - calls, (modified != document.IsModified()) + (count != document.MessageCount()));
    }
}

// A read keeps the state it found, and a change that alters nothing (a
// refused Create, an import) holds its place in the history: only a save, or
// a step back past it, ends it.
TEST_F(DocumentTest, AChangeThatAltersNothingIsAPlaceInTheHistory) {
    Message("1", "1");
    document.StartHistory();
    EXPECT_TRUE(reports.modified);
    document.MarkSaved();
    document.StartHistory();
    EXPECT_FALSE(document.IsModified());
    document.RecordUnalteredChange();
    EXPECT_TRUE(reports.modified);
    EXPECT_FALSE(document.Undo());
    EXPECT_FALSE(document.Redo());
    EXPECT_TRUE(document.IsModified());
    document.MarkSaved();
    Message("2", "1");
    (void)document.Undo();
    EXPECT_FALSE(document.IsModified());
    (void)document.Redo();
    document.MarkSaved();
    document.RecordUnalteredChange();
    for (const auto& step : {&Document::Undo, &Document::Redo}) {
        (void)(document.*step)();
        EXPECT_TRUE(document.IsModified());
    }
}

// A new message goes after every message with the same numbers.
TEST_F(DocumentTest, NewMessageGoesAfterItsEquals) {
    for (const char* description : {"1", "3a", "3b", "3c", "1x"}) {
        Message(description[0] == '1' ? "1" : "3", description[0] == '1' ? "1" : "4", description);
    }
    std::string order;
    for (const FormatNode* m = document.Tree().GetRootNode()->FirstChild(); m != nullptr; m = m->NextSibling()) {
        order += m->Description().str();
    }
    EXPECT_EQ(order, "11x3a3b3c");
}

// Once the oldest steps are dropped, undoing as far as the history goes
// never reaches a state called saved that is not (the empty document was).
TEST_F(DocumentTest, SavedStateSurvivesDroppingTheOldestSteps) {
    document.MarkSaved();
    FormatNode* m = Message("1", "1");
    for (std::size_t i = 0; i <= EditHistory::MAX_STEPS; ++i) {
        (void)document.Tree().UpdateMessage(m, {"1", std::to_string(i % 2 + 2).c_str(), false, ""});
    }
    while (document.Undo()) {
        ASSERT_TRUE(document.IsModified());
    }
    EXPECT_EQ(document.MessageCount(), 1);
}

} // namespace
} // namespace tqf
