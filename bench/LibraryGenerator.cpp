#include "LibraryGenerator.h"

#include "ItemFormat.h"
#include "LibraryBuilder.h"

#include <array>
#include <string>
#include <string_view>

namespace tqf {

namespace {

constexpr int MAX_STREAM = 127;
constexpr int MAX_FUNCTION = 255;
constexpr int MAX_LIST_DEPTH = 4;
constexpr int MIN_LIST_ITEMS = 2;
constexpr int MAX_LIST_ITEMS = 8;
constexpr int MAX_FIXED_COUNT = 64;

constexpr std::array<std::string_view, 12> WORDS{"DATA",   "ID",    "REPORT", "EVENT", "STATUS", "LOT",
                                                 "RECIPE", "ALARM", "VALUE",  "NAME",  "TIME",   "CARRIER"};
constexpr std::array<int, 14> SCALAR_FORMATS{BINARY, BOOLEAN, ASCII, JIS8,  INT1,  INT2,   INT4,
                                             INT8,   UINT1,   UINT2, UINT4, UINT8, FLOAT4, FLOAT8};

// A small generator of its own, so that every platform makes the same library.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed * 2654435761U + 1U) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

private:
    std::uint32_t state_;
};

std::string Description(Random& random, int words) {
    std::string text;
    for (int i = 0; i < words; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += WORDS[static_cast<std::size_t>(random.Below(static_cast<int>(WORDS.size())))];
    }
    return text;
}

void AddScalar(LibraryBuilder& builder, Random& random, FormatNode* parent) {
    const int roll = random.Below(10);
    if (roll == 0) {
        builder.AddItem(parent, VARIANT, 0, Description(random, 1));
        return;
    }
    const int format = SCALAR_FORMATS[static_cast<std::size_t>(random.Below(static_cast<int>(SCALAR_FORMATS.size())))];
    std::int32_t count = 1;
    if (roll <= 2) {
        count = OPEN_COUNT;
    } else if (roll <= 4) {
        count = 2 + random.Below(MAX_FIXED_COUNT);
    }
    builder.AddItem(parent, format, count, random.Chance(85) ? Description(random, 1 + random.Below(3)) : "");
}

void AddList(LibraryBuilder& builder, Random& random, FormatNode* parent, int depth) {
    const bool open = random.Chance(20);
    FormatNode* list = builder.AddList(parent, open);
    // The editor gives an open list one item.
    const int items = open ? 1 : MIN_LIST_ITEMS + random.Below(MAX_LIST_ITEMS - MIN_LIST_ITEMS + 1);
    for (int i = 0; i < items; ++i) {
        if (depth < MAX_LIST_DEPTH && random.Chance(28)) {
            AddList(builder, random, list, depth + 1);
        } else {
            AddScalar(builder, random, list);
        }
    }
}

} // namespace

void GenerateLibrary(FormatTree& document, int messageCount, std::uint32_t seed) {
    LibraryBuilder builder(document);
    Random random(seed);
    for (int i = 0; i < messageCount; ++i) {
        const int stream = 1 + random.Below(MAX_STREAM);
        const int function = random.Below(MAX_FUNCTION + 1);
        FormatNode* message = builder.AddMessage(stream, function, random.Chance(50),
                                                 random.Chance(85) ? Description(random, 1 + random.Below(4)) : "");
        const int shape = random.Below(10);
        if (shape == 0) {
            continue; // no item
        }
        if (shape == 1) {
            AddScalar(builder, random, message);
        } else {
            AddList(builder, random, message, 1);
        }
    }
}

} // namespace tqf
