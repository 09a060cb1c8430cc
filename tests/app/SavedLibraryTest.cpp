#include "FileWindowTest.h"

#include "FormatTree.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "TreeSurgery.h"

#include <QFileInfo>

#include <cstdint>
#include <string>
#include <vector>

namespace tqf {
namespace {

// What a library is, with what its file cannot keep taken out: letters in
// capitals, a non-list count of 0 as 1, a VARIANT item's count as 0 and not
// open, a list's description as none. One line per node, depth first.
std::vector<std::string> Library(const FormatNode* root) {
    const auto capitals = [](std::string text) {
        for (char& c : text) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        return text;
    };
    std::vector<std::string> lines;
    struct Entry {
        const FormatNode* node;
        int depth;
    };
    std::vector<Entry> pending;
    for (const FormatNode* m = root->FirstChild(); m != nullptr; m = m->NextSibling()) {
        const auto fields = ReadMessageLabel(m->Label());
        EXPECT_TRUE(fields.has_value()) << m->Label();
        if (!fields) {
            continue;
        }
        lines.push_back("S" + std::to_string(fields->stream) + "F" + std::to_string(fields->function) +
                        (fields->replyRequired ? "W" : "") + " (" + capitals(m->Description().str()) + ")");
        pending.clear();
        if (m->FirstChild() != nullptr) {
            pending.push_back({m->FirstChild(), 1});
        }
        while (!pending.empty()) {
            const Entry entry = pending.back();
            pending.pop_back();
            const FormatNode* item = entry.node;
            std::int32_t count = item->Count();
            if (item->Format() == VARIANT) {
                count = 0;
            } else if (item->IsList() == 0 && count == 0) {
                count = 1;
            }
            lines.push_back(std::string(static_cast<std::size_t>(entry.depth), '\t') + std::to_string(item->Format()) +
                            " " + std::to_string(item->IsList()) + " " + std::to_string(count) + " " +
                            (item->IsList() != 0 ? "" : capitals(item->Description().str())));
            if (item->NextSibling() != nullptr) {
                pending.push_back({item->NextSibling(), entry.depth});
            }
            if (item->FirstChild() != nullptr) {
                pending.push_back({item->FirstChild(), entry.depth + 1});
            }
        }
    }
    return lines;
}

// Builds a library with the document's own operations, as the commands do.
class LibraryMaker {
public:
    explicit LibraryMaker(FormatTree& tree) : tree_(tree) {}

    FormatNode* Message(std::int32_t stream, std::int32_t function, bool reply, const std::string& description) {
        std::string label = MakeMessageLabel(stream, function, reply);
        FormatNode* node = last_ == nullptr ? TreeSurgery::AddChild(tree_, nullptr, std::move(label), false)
                                            : TreeSurgery::AddSibling(tree_, last_, std::move(label), false);
        TreeSurgery::MakeMessage(tree_, node);
        TreeSurgery::SetDescription(tree_, node, description);
        last_ = node;
        return node;
    }

    FormatNode* Item(FormatNode* parent, int format, std::int32_t count, const std::string& description = {}) {
        const bool open = count == OPEN_COUNT;
        FormatNode* node = TreeSurgery::AppendSubNode(tree_, parent, MakeItemLabel(format, count, open, description));
        TreeSurgery::SetItemFormat(tree_, node, format, count);
        TreeSurgery::SetDescription(tree_, node, description);
        return node;
    }

    // A fixed list counts its sub-items, which are added after it.
    FormatNode* List(FormatNode* parent, bool open, const std::string& description = {}) {
        return Item(parent, LIST, open ? OPEN_COUNT : 0, description);
    }

private:
    FormatTree& tree_;
    FormatNode* last_ = nullptr;
};

// Every format and count the panel allows, in nested lists, with lower-case
// descriptions; none uses a character the file format gives a meaning to.
void MakeLibrary(FormatTree& tree, int messages) {
    LibraryMaker maker(tree);
    constexpr int STREAMS = 127;
    constexpr int FUNCTIONS = 256;
    constexpr int SHAPES = 6;
    const std::vector<int> scalars = {BINARY, BOOLEAN, ASCII, JIS8,  INT1,   INT2,   INT4,   INT8,
                                      UINT1,  UINT2,   UINT4, UINT8, FLOAT4, FLOAT8, VARIANT};
    for (int i = 0; i < messages; ++i) {
        const std::string n = std::to_string(i);
        FormatNode* message = maker.Message(1 + i % STREAMS, i % FUNCTIONS, i % 2 == 1,
                                            i % 7 == 0 ? std::string() : "message number " + n);
        const int scalar = scalars[static_cast<std::size_t>(i) % scalars.size()];
        switch (i % SHAPES) {
        case 0:
            break;
        case 1:
            maker.Item(message, scalar, i % 5 == 0 ? OPEN_COUNT : i % 4, "value " + n);
            break;
        case 2: {
            FormatNode* list = maker.List(message, false, "a list description");
            maker.Item(list, UINT4, 1, "id");
            maker.Item(list, ASCII, OPEN_COUNT, "Name of " + n);
            maker.Item(list, VARIANT, 5, "any");
            maker.Item(list, scalar, 0);
            break;
        }
        case 3: {
            FormatNode* outer = maker.List(message, true);
            FormatNode* inner = maker.List(outer, false);
            maker.Item(inner, UINT1, 0, "zero count");
            maker.Item(inner, BINARY, 4);
            maker.List(inner, false);
            maker.List(inner, true);
            break;
        }
        case 4: {
            FormatNode* list = maker.List(message, false);
            for (int depth = 0; depth < 6; ++depth) {
                maker.Item(list, scalar, depth + 1, "level " + std::to_string(depth));
                list = maker.List(list, depth % 2 == 0);
            }
            maker.Item(list, FLOAT8, 2, "deepest");
            break;
        }
        default:
            maker.List(message, i % 4 == 1);
            break;
        }
    }
}

using SavedLibraryTest = FileWindowTest;

TEST_F(SavedLibraryTest, TheStandardMessagesComeBackAsTheyWere) {
    const QString example = QStringLiteral(TQF_EXAMPLES_DIR "/standard-messages.TQF");
    ASSERT_TRUE(QFileInfo::exists(example));
    Open(example);
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_GT(Root()->Count(), 10);
    const std::vector<std::string> opened = Library(Root());

    const QString copy = PathIn(QStringLiteral("copy.TQF"));
    SaveAs(copy);
    // A library the editor wrote and read is written again byte for byte.
    EXPECT_EQ(ReadBytes(copy), ReadBytes(example));

    Click(IDC_NEW);
    ASSERT_EQ(Root()->Count(), 0);
    prompts.answers = {true};
    Open(copy);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Library(Root()), opened);
    EXPECT_EQ(PathDisplay(), copy);
    EXPECT_FALSE(Commands().Doc().IsModified());
}

TEST_F(SavedLibraryTest, RulesComeBackByteForByte) {
    const QString example = QStringLiteral(TQF_EXAMPLES_DIR "/gem-messages.TQF");
    Open(example);
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_NE(Commands().Doc().Tree().Rules().ForName("CEID"), nullptr);
    const QString copy = PathIn(QStringLiteral("gem.TQF"));
    SaveAs(copy);
    EXPECT_EQ(ReadBytes(copy), ReadBytes(example));
}

TEST_F(SavedLibraryTest, AThousandGeneratedMessagesComeBackTheSameLibrary) {
    constexpr int MESSAGES = 1000;
    MakeLibrary(Tree().Tree(), MESSAGES);
    Tree().Repaint();
    Commands().RefreshMessageCount();
    Commands().Doc().RecordUnalteredChange();
    ASSERT_EQ(Root()->Count(), MESSAGES);
    const std::vector<std::string> made = Library(Root());

    const QString path = PathIn(QStringLiteral("generated.TQF"));
    SaveAs(path);
    EXPECT_TRUE(prompts.questions.empty()) << "every message reads back";
    EXPECT_FALSE(Commands().Doc().IsModified());

    Click(IDC_NEW);
    ASSERT_EQ(Root()->Count(), 0);
    prompts.answers = {true};
    Open(path);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(Root()->Count(), MESSAGES);
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QString::number(MESSAGES));
    const std::vector<std::string> reopened = Library(Root());
    ASSERT_EQ(reopened.size(), made.size());
    for (std::size_t i = 0; i < made.size(); ++i) {
        ASSERT_EQ(reopened[i], made[i]) << "line " << i;
    }
    // The library as read back needs no question to be saved again.
    Click(IDC_SAVE);
    EXPECT_TRUE(prompts.questions.size() == 1U) << "only the Open asked";
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QString::fromLatin1(MSG_SAVED)});
}

} // namespace
} // namespace tqf
