#include "BracketSpacing.h"

#include "ItemParser.h"

#include <cstring>

namespace tqf {

namespace {

// One left-to-right pass that replaces every occurrence of a spacing (a
// bracket and a space, in either order) by its bracket, never looking again
// at what it has just produced. Two occurrences of one spacing can never
// overlap, so the pass removes the space of every occurrence in the text as
// it was before the pass. The text only shrinks, so this works in place,
// moving the kept stretches between removed spaces.
void ReplaceSpacing(std::string& text, std::string_view spacing, char bracket) {
    const bool spaceFirst = spacing[0] == ' ';
    char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t write = 0;
    std::size_t kept = 0; // start of the stretch not yet moved
    std::size_t from = 0;
    while (from < size) {
        const void* hit = std::memchr(data + from, bracket, size - from);
        if (hit == nullptr) {
            break;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        from = at + 1;
        std::size_t space = 0;
        if (spaceFirst) {
            // The space before this bracket; it may not be one that an
            // earlier occurrence of this pass already took as its own.
            if (at == 0 || data[at - 1] != ' ' || at - 1 < kept) {
                continue;
            }
            space = at - 1;
        } else {
            if (at + 1 >= size || data[at + 1] != ' ') {
                continue;
            }
            space = at + 1;
            from = at + 2;
        }
        std::memmove(data + write, data + kept, space - kept);
        write += space - kept;
        kept = space + 1;
    }
    std::memmove(data + write, data + kept, size - kept);
    text.resize(write + size - kept);
}

} // namespace

std::string BracketSpacing::NormaliseBrackets(std::string_view text) {
    std::string result(text);
    NormaliseBracketsInPlace(result, SpacingsIn(result));
    return result;
}

std::uint32_t BracketSpacing::SpacingsIn(std::string_view text) {
    // Only the neighbours of spaces matter, so the scan jumps from space to space.
    std::uint32_t found = 0;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin; p < end;) {
        const auto* space = static_cast<const char*>(std::memchr(p, ' ', static_cast<std::size_t>(end - p)));
        if (space == nullptr) {
            break;
        }
        if (space > begin) {
            found |= SpacingOf(space[-1], ' ');
        }
        if (space + 1 < end) {
            found |= SpacingOf(' ', space[1]);
        }
        p = space + 1;
    }
    return found;
}

void BracketSpacing::NormaliseBracketsInPlace(std::string& text, std::uint32_t spacings) {
    // Bit k stands for BRACKET_SPACINGS[k]. A pass whose spacing does not
    // occur changes nothing and is skipped. Removing the space of a spacing
    // joins two bytes of which at most one is a space and the other is that
    // spacing's bracket, so a pass can make new occurrences of its own
    // spacing only: the later passes that can find anything are among those
    // of spacings that occurred before, and the text is looked at again only
    // to rule some of them out.
    for (std::size_t k = 0; k < BRACKET_SPACINGS.size() && spacings != 0; ++k) {
        const std::uint32_t bit = 1U << k;
        if ((spacings & bit) != 0) {
            ReplaceSpacing(text, BRACKET_SPACINGS[k].first, BRACKET_SPACINGS[k].second);
            const std::uint32_t later = spacings & ~(2 * bit - 1);
            spacings = later == 0 ? 0 : SpacingsIn(text) & later;
        }
    }
}

bool BracketSpacing::NeedsNormalising(std::string_view text) { return SpacingsIn(text) != 0; }

} // namespace tqf
