#include "DropExplainer.h"

#include "Decimal.h"
#include "ItemFormat.h"
#include "ItemParser.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

namespace tqf {

namespace {

constexpr std::size_t LONGEST_QUOTE = 24;

// A text and the offsets of the bytes of the original text that it lacks,
// in order; a text with few of them costs little more than itself.
struct Tracked {
    std::string text;
    std::vector<std::size_t> removed;

    // The offset in the original text of the byte at i, or of the end.
    std::size_t At(std::size_t i) const {
        std::size_t j = 0;
        std::size_t original = i;
        while (j < removed.size() && removed[j] <= original) {
            ++j;
            original = i + j;
        }
        return original;
    }
};

// The reader's bracket normalisation, one replace-all pass per spacing, with
// the places of the removed bytes kept.
Tracked Normalise(std::string_view statement) {
    Tracked tracked;
    tracked.text.assign(statement);
    for (const auto& [spacing, bracket] : BRACKET_SPACINGS) {
        if (tracked.text.find(spacing) == std::string::npos) {
            continue;
        }
        const std::size_t spaceAt = spacing[0] == ' ' ? 0 : 1;
        std::string next;
        next.reserve(tracked.text.size());
        std::vector<std::size_t> removedNow; // offsets in tracked.text
        for (std::size_t i = 0; i < tracked.text.size();) {
            if (tracked.text.compare(i, 2, spacing) == 0) {
                next += bracket;
                removedNow.push_back(i + spaceAt);
                i += 2;
            } else {
                next += tracked.text[i];
                ++i;
            }
        }
        // Both lists are in order, so one walk finds each removed byte's
        // original offset.
        std::vector<std::size_t> merged;
        merged.reserve(tracked.removed.size() + removedNow.size());
        std::size_t j = 0;
        for (const std::size_t at : removedNow) {
            std::size_t original = at + j;
            while (j < tracked.removed.size() && tracked.removed[j] <= original) {
                merged.push_back(tracked.removed[j]);
                ++j;
                original = at + j;
            }
            merged.push_back(original);
        }
        merged.insert(merged.end(), tracked.removed.begin() + static_cast<std::ptrdiff_t>(j), tracked.removed.end());
        tracked.text = std::move(next);
        tracked.removed = std::move(merged);
    }
    return tracked;
}

bool Clamped(const DecimalScan& scan) {
    constexpr std::uint64_t LARGEST = std::numeric_limits<std::int32_t>::max();
    return scan.hasDigits && (scan.overflow || scan.magnitude > LARGEST + (scan.negative ? 1 : 0));
}

std::string ClampedReason(std::string_view digits, const DecimalScan& scan) {
    return "number " + DropExplainer::Quote(digits) + " beyond the 32-bit range, read as " +
           std::to_string(SaturatedInt32(scan));
}

// Where the number that ScanDecimal reads from pos starts: after white space.
std::size_t NumberStart(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
    return pos;
}

// The header of a statement, as the reader's ParseMessageHeader walks it.
struct HeaderWalk {
    std::size_t begin = 0; // where the header starts in the normalised text
    std::string_view header;
    std::optional<StatementFinding> problem; // offsets into the normalised text
    std::int32_t stream = -1;
    std::vector<StatementFinding> clamped;
};

HeaderWalk WalkHeader(std::string_view text) {
    HeaderWalk walk;
    std::size_t begin = 0;
    while (begin < text.size() && IsSpace(text[begin])) {
        ++begin;
    }
    walk.begin = begin;
    std::size_t end = std::min(text.find('<', begin), text.size());
    while (end > begin && IsSpace(text[end - 1])) {
        --end;
    }
    walk.header = text.substr(begin, end - begin);
    const std::string_view header = walk.header;
    if (header.empty()) {
        walk.problem = StatementFinding{begin, "message has no header"};
        return walk;
    }
    if (header.find('S') == std::string_view::npos) {
        walk.problem = StatementFinding{begin, "header has no stream number"};
        return walk;
    }
    if (header.find('F') == std::string_view::npos) {
        walk.problem = StatementFinding{begin, "header has no function number"};
        return walk;
    }
    bool reply = false;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const char c = header[i];
        if (c >= '0' && c <= '9') {
            continue;
        }
        switch (c) {
        case 'S':
        case 'F': {
            const DecimalScan scan = ScanDecimal(header, i + 1);
            if (!scan.hasDigits) {
                walk.problem = StatementFinding{begin + i, c == 'S' ? "header has no stream number"
                                                                    : "header has no function number"};
                return walk;
            }
            if (c == 'S') {
                walk.stream = SaturatedInt32(scan);
            }
            if (Clamped(scan)) {
                const std::size_t start = NumberStart(header, i + 1);
                walk.clamped.push_back({begin + start, ClampedReason(header.substr(start, scan.end - start), scan)});
            }
            break;
        }
        case 'W':
            if (reply) {
                walk.problem = StatementFinding{begin + i, "W twice in header"};
                return walk;
            }
            reply = true;
            break;
        case '\'':
            break;
        case ' ':
            return walk;
        default:
            walk.problem = StatementFinding{begin + i, "unexpected " + DropExplainer::Quote(std::string_view(&c, 1)) +
                                                           " in header"};
            return walk;
        }
    }
    return walk;
}

// Why ParseItemHeader refused item, which starts at offset start of the text.
StatementFinding ExplainItem(std::string_view item, std::size_t start) {
    // The reader drops every "<" and ">" of the item first.
    std::string text;
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < item.size(); ++i) {
        if (item[i] != '<' && item[i] != '>') {
            text += item[i];
            at.push_back(start + i);
        }
    }
    const auto where = [&](std::size_t i) { return i < at.size() ? at[i] : start; };
    const std::size_t open = text.find('[');
    const std::size_t close = text.find(']');
    if (open != std::string::npos && close == std::string::npos) {
        return {where(open), "[ without ]"};
    }
    if (close != std::string::npos && open == std::string::npos) {
        return {where(close), "] without ["};
    }
    std::string_view code = std::string_view(text).substr(0, open != std::string::npos ? open : text.find(' '));
    if (open != std::string::npos) {
        while (!code.empty() && IsSpace(code.back())) {
            code.remove_suffix(1);
        }
    }
    if (code.empty()) {
        return {where(0), !text.empty() && text[0] == ' ' ? "space before item format" : "item has no format"};
    }
    return {where(0), "unknown item format " + DropExplainer::Quote(code)};
}

// Walks an item body as ItemParser::ParseBody does. Reports the first place
// where the reader gives up, the lists that stay open, and the item counts
// it clamps; offsets into the normalised text.
struct BodyWalk {
    std::optional<StatementFinding> problem;
    std::vector<std::size_t> openLists; // where each list still open starts
    std::vector<StatementFinding> clamped;
};

BodyWalk WalkBody(std::string_view text, std::size_t firstOpen) {
    BodyWalk walk;
    std::size_t pos = firstOpen;
    const std::size_t size = text.size();
    while (pos < size) {
        const char c = text[pos];
        if (c == '<') {
            if (pos + 1 < size && text[pos + 1] == 'L') {
                const char third = pos + 2 < size ? text[pos + 2] : '\0';
                if (third == '>') {
                    pos += 3;
                    continue;
                }
                if (third == '[') {
                    const std::size_t close = text.find(']', pos + 3);
                    if (close == std::string_view::npos) {
                        walk.problem = StatementFinding{pos + 2, "[ without ]"};
                        return walk;
                    }
                    walk.openLists.push_back(pos);
                    pos = close + 1;
                } else {
                    walk.openLists.push_back(pos);
                    pos += 2;
                }
                continue;
            }
            const std::size_t close = text.find('>', pos);
            if (close == std::string_view::npos) {
                walk.problem = StatementFinding{pos, "< without >"};
                return walk;
            }
            const std::string_view item = text.substr(pos, close + 1 - pos);
            ItemHeader header;
            if (!ItemParser::ParseItemHeader(item, header)) {
                walk.problem = ExplainItem(item, pos);
                return walk;
            }
            // Where the count stands, when the item has one in brackets and
            // no "<" or ">" inside shifts it.
            if (item.find('<', 1) == std::string_view::npos) {
                const std::size_t open = item.find('[');
                if (open != std::string_view::npos) {
                    const DecimalScan scan = ScanDecimal(item, open + 1);
                    if (header.format != VARIANT && Clamped(scan) && SaturatedInt32(scan) == header.count) {
                        const std::size_t start = NumberStart(item, open + 1);
                        walk.clamped.push_back(
                            {pos + start, ClampedReason(item.substr(start, scan.end - start), scan)});
                    }
                }
            }
            pos = close + 1;
        } else if (c == '>') {
            if (!walk.openLists.empty()) {
                walk.openLists.pop_back();
            }
            ++pos;
        } else if (c == '[') {
            const std::size_t close = text.find(']', pos);
            if (close == std::string_view::npos) {
                walk.problem = StatementFinding{pos, "[ without ]"};
                return walk;
            }
            pos = close + 1;
        } else {
            ++pos;
        }
    }
    return walk;
}

StatementFinding InOriginal(const Tracked& tracked, StatementFinding finding) {
    finding.offset = tracked.At(finding.offset);
    return finding;
}

} // namespace

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// How many bytes the UTF-8 sequence at text[i] takes, or 0 when no whole
// and shortest one starts there. A mark of byte order (U+FEFF) counts as
// none: it shows as nothing, so a report escapes it like a stray byte.
std::size_t Utf8SequenceSize(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t size = 0;
    unsigned char low = 0x80; // the range of the byte after the lead
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // not overlong
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + size > text.size()) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t k = 2; k < size; ++k) {
        if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) {
            return 0;
        }
    }
    constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
    return text.substr(i, size) == BYTE_ORDER_MARK ? 0 : size;
}

} // namespace

std::string DropExplainer::Quote(std::string_view text) {
    constexpr std::string_view HEX = "0123456789ABCDEF";
    std::string quoted;
    for (std::size_t i = 0; i < text.size() && i < LONGEST_QUOTE;) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            // Text in UTF-8 is shown as it is; any other byte above 0x7F is
            // escaped like a control byte, so that a report stays readable
            // whatever encoding the file has.
            if (const std::size_t size = Utf8SequenceSize(text, i); size > 0) {
                quoted.append(text.substr(i, size));
                i += size;
                continue;
            }
        }
        if (byte == '\t') {
            quoted += "\\t";
        } else if (byte < 0x20 || byte >= 0x7F) {
            quoted += "\\x";
            quoted += HEX[byte >> 4];
            quoted += HEX[byte & 0xF];
        } else {
            quoted += static_cast<char>(byte);
        }
        ++i;
    }
    if (text.size() > LONGEST_QUOTE) {
        quoted += "...";
    }
    return quoted;
}

StatementFinding DropExplainer::ExplainDrop(std::string_view statement) {
    const Tracked tracked = Normalise(statement);
    const std::string_view text = tracked.text;
    const HeaderWalk header = WalkHeader(text);
    if (header.problem) {
        return InOriginal(tracked, *header.problem);
    }
    const std::size_t firstOpen = text.find('<');
    if (firstOpen == std::string_view::npos) {
        if (header.stream == 0) {
            return InOriginal(tracked, {header.begin, "stream 0 on a message without items"});
        }
    } else if (BodyWalk body = WalkBody(text, firstOpen); body.problem) {
        return InOriginal(tracked, *body.problem);
    }
    // The reader and this walk agree on every statement; this only keeps the
    // report whole should they ever not.
    return InOriginal(tracked, {header.begin, "statement cannot be read"});
}

StatementFinding DropExplainer::ExplainUnterminated(std::string_view statement) {
    const Tracked tracked = Normalise(statement);
    const std::string_view text = tracked.text;
    std::size_t begin = 0;
    while (begin < text.size() && IsSpace(text[begin])) {
        ++begin;
    }
    const std::size_t firstOpen = text.find('<');
    if (firstOpen != std::string_view::npos) {
        const BodyWalk body = WalkBody(text, firstOpen);
        if (!body.problem && !body.openLists.empty()) {
            return InOriginal(tracked, {body.openLists.front(), "list not closed at end of file"});
        }
    }
    return InOriginal(tracked, {begin, "unterminated at end of file"});
}

std::vector<StatementFinding> DropExplainer::FindClampedNumbers(std::string_view statement) {
    const Tracked tracked = Normalise(statement);
    const std::string_view text = tracked.text;
    HeaderWalk header = WalkHeader(text);
    std::vector<StatementFinding> found;
    for (StatementFinding& finding : header.clamped) {
        found.push_back(InOriginal(tracked, std::move(finding)));
    }
    if (const std::size_t firstOpen = text.find('<'); firstOpen != std::string_view::npos) {
        BodyWalk body = WalkBody(text, firstOpen);
        for (StatementFinding& finding : body.clamped) {
            found.push_back(InOriginal(tracked, std::move(finding)));
        }
    }
    return found;
}

} // namespace tqf
