#include "SmlReader.h"

#include "SmlLogScan.h"
#include "SmlParser.h"

#include "BlockSupply.h"
#include "ByteOrderMark.h"
#include "Decimal.h"
#include "DropExplainer.h"
#include "InputFile.h"
#include "ItemFormat.h"
#include "MemoryBudget.h"
#include "SmlWriter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace tqf {

SmlReader::SmlReader(FormatTree& document, FormatReader::MessageCallback onMessage)
    : document_(document), onMessage_(std::move(onMessage)), builder_(document) {}

bool SmlReader::MakeDescriptionSafe(std::string& text) {
    if (!sml::NeedsMakingSafe(text)) {
        return false;
    }
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        switch (c) {
        case '.':
            safe += ',';
            break;
        case '<':
        case '[':
            safe += '(';
            break;
        case '>':
        case ']':
            safe += ')';
            break;
        case '/':
        case '*':
            // "//", "/*" and "*/" would start or end a comment.
            safe += c;
            if ((c == '/' && (next == '/' || next == '*')) || (c == '*' && next == '/')) {
                safe += ' ';
            }
            break;
        case '\r':
        case '\n':
            safe += ' ';
            break;
        default:
            safe += c;
            break;
        }
    }
    const std::string_view trimmed = TrimSpace(safe);
    const bool changed = trimmed != text;
    text.assign(trimmed);
    return changed;
}

namespace {

// The bytes of a UTF-8 mark at the start of front, which is left out: SML
// is 8-bit text. A UTF-16 or UTF-32 text is refused with the reason, instead
// of being read as statements that all fail.
std::optional<std::size_t> MarkToSkip(std::string_view front, SmlReadResult& result) {
    const ByteOrderMark mark = ByteOrderMark::Of(front.substr(0, std::min<std::size_t>(front.size(), 4)));
    if (mark.refused.empty()) {
        return mark.skip;
    }
    result.status = ReadStatus::OPEN_FAILED;
    result.errorText =
        "it holds " + std::string(mark.refused) + " text, and SML is read as 8-bit text: save it as UTF-8";
    return std::nullopt;
}

// An input without any LF has its lines ended by CR alone, as old Mac
// files do: each CR is read as an LF, byte for byte, so that places stay
// where they are and a // comment ends with its line.
void EndLinesAtCarriageReturns(std::string& text) { std::replace(text.begin(), text.end(), '\r', '\n'); }

} // namespace

SmlReadResult SmlReader::ReadSmlBytes(std::string_view bytes) {
    SmlReadResult result;
    const std::optional<std::size_t> skip = MarkToSkip(bytes, result);
    if (!skip) {
        return result;
    }
    std::string crEnded;
    if (bytes.find('\n') == std::string_view::npos && bytes.find('\r') != std::string_view::npos) {
        crEnded.assign(bytes);
        EndLinesAtCarriageReturns(crEnded);
        bytes = crEnded;
    }
    // Messages appended by someone else since the last read go before the new ones.
    builder_.FindLastMessage();
    result.readAsLog = options_.log || sml::LooksLikeLog(bytes.substr(*skip));
    sml::SmlParser parser(bytes, result, builder_, onMessage_, options_);
    parser.SetHandler(handler_);
    parser.SetLog(result.readAsLog);
    parser.SetCancelCheck(&cancelCheck_, &bytesRead_);
    BesideBlockSupply(bytes.size(), [&parser, &skip] { (void)parser.RunPiece(*skip, 1, *skip, true); });
    return result;
}

void SmlReader::BesideBlockSupply(std::uintmax_t size, const std::function<void()>& read) {
    if (handler_ != nullptr || size < BLOCKS_BESIDE_READING_BYTES) {
        read();
        return;
    }
    // A second thread makes the document's next blocks of storage ready
    // while this one reads, as for a .TQF file, so that the building seldom
    // waits for the system to clear fresh memory.
    BlockSupply supply;
    std::atomic<bool> reading{true};
    std::thread blocks;
    try {
        blocks = std::thread([&supply, &reading] {
            constexpr std::size_t BLOCKS_AHEAD = 4;
            constexpr auto PAUSE = std::chrono::microseconds(500);
            while (reading.load(std::memory_order_relaxed)) {
                if (!supply.AddBlock(BLOCKS_AHEAD)) {
                    std::this_thread::sleep_for(PAUSE);
                }
            }
        });
    } catch (const std::system_error&) {
        read(); // no thread to be had: fresh memory as it comes
        return;
    }
    struct Supplied {
        FormatTree& document;
        std::atomic<bool>& reading;
        std::thread& blocks;
        ~Supplied() {
            reading.store(false, std::memory_order_relaxed);
            blocks.join();
            document.SetBlockSupply(nullptr);
        }
    } supplied{document_, reading, blocks};
    document_.SetBlockSupply(&supply);
    read();
}

SmlReadResult SmlReader::ReadSmlStream(std::istream& in) {
    return ReadPieces([&in](char* data, std::size_t size) -> std::optional<std::size_t> {
        in.read(data, static_cast<std::streamsize>(size));
        if (in.bad()) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(in.gcount());
    });
}

SmlReadResult SmlReader::ReadPieces(const std::function<std::optional<std::size_t>(char*, std::size_t)>& read) {
    // A piece is read at a time, from the start of the line where the last
    // one stopped to the end of a line: what is held does not grow with the
    // input, only with its longest statement.
    constexpr std::size_t PIECE_BYTES = std::size_t{1} << 20;
    SmlReadResult result;
    std::string piece;
    std::uintmax_t offset = 0; // of the piece's first byte in the input
    std::size_t start = 0;
    std::size_t line = 1;
    bool last = false;
    bool first = true;
    bool readAny = false;
    builder_.FindLastMessage(); // once, not for every piece
    while (!last && result.status == ReadStatus::READ) {
        // Twice as much each time a statement did not fit, so that a long
        // one is not read over and over.
        const std::size_t held = piece.size();
        if (held > LibraryMemoryBudget()) {
            result.status = ReadStatus::TOO_LARGE;
            result.errorText = "a statement is longer than " + std::to_string(LibraryMemoryBudget()) +
                               " bytes, more than a quarter of this computer's memory can hold";
            return result;
        }
        piece.resize(held + std::max(PIECE_BYTES, held));
        // A pipe gives a little at a time: the piece is filled first.
        std::size_t filled = held;
        while (filled < piece.size()) {
            const std::optional<std::size_t> got = read(piece.data() + filled, piece.size() - filled);
            if (!got) {
                result.status = ReadStatus::READ_FAILED;
                result.errorText = "the input could not be read to its end";
                return result;
            }
            if (*got == 0) {
                last = true;
                break;
            }
            filled += *got;
        }
        piece.resize(filled);
        if (first) {
            first = false;
            const std::optional<std::size_t> skip = MarkToSkip(piece, result);
            if (!skip) {
                return result;
            }
            piece.erase(0, *skip);
            offset = *skip;
            result.readAsLog = options_.log || sml::LooksLikeLog(piece);
        }
        const std::size_t lineEnd = last ? piece.size() : piece.rfind('\n') + 1;
        if (lineEnd == 0) {
            continue; // not one whole line yet
        }
        // A piece is read once it holds an LF, or as the last: when the
        // first to be read is the last and holds none, it is the whole input
        // and the input has no LF.
        if (!readAny && last && piece.find('\n') == std::string::npos) {
            EndLinesAtCarriageReturns(piece);
        }
        readAny = true;
        sml::SmlParser parser(std::string_view(piece).substr(0, lineEnd), result, builder_, onMessage_, options_);
        parser.SetHandler(handler_);
        parser.SetLog(result.readAsLog);
        parser.SetCancelCheck(&cancelCheck_, &bytesRead_, offset);
        const auto stop = parser.RunPiece(start, line, 0, last);
        piece.erase(0, stop.lineStart);
        offset += stop.lineStart;
        start = stop.pos - stop.lineStart;
        line = stop.line;
    }
    return result;
}

SmlReadResult SmlReader::ReadSmlFile(const std::filesystem::path& path) {
    SmlReadResult result;
    InputFile file;
    if (!file.Open(path)) {
        result.status = ReadStatus::OPEN_FAILED;
        result.errorText = file.Error();
        return result;
    }
    // A document as large as the file would not fit the memory a library
    // may take: it is refused before it is read.
    if (handler_ == nullptr && file.Size() > LibraryMemoryBudget()) {
        result.status = ReadStatus::TOO_LARGE;
        result.errorText = "the file is larger than " + std::to_string(LibraryMemoryBudget()) +
                           " bytes, more than a quarter of this computer's memory can hold";
        return result;
    }
    // A piece at a time, like a .TQF file, rather than the whole text in
    // fresh memory that the system would have to clear first.
    BesideBlockSupply(file.Size(), [this, &file, &result] {
        result = ReadPieces([&file](char* data, std::size_t size) -> std::optional<std::size_t> {
            const std::size_t got = file.Read(data, size);
            if (!file.Error().empty()) {
                return std::nullopt;
            }
            return got;
        });
        if (result.status == ReadStatus::READ_FAILED) {
            result.errorText = "the file could not be read to its end: " + file.Error();
        }
    });
    return result;
}

SmlReadResult SmlReader::Adding(const std::function<SmlReadResult()>& read) {
    firstAdded_ = nullptr;
    const TextArena::Mark textsFrom = document_.Texts().Here();
    document_.BeginAdding();
    SmlReadResult result = read();
    if (!result.Complete()) {
        document_.DiscardAdding(textsFrom);
        return result;
    }
    firstAdded_ = document_.EndAdding().node;
    return result;
}

SmlReadResult SmlReader::AddSmlFile(const std::filesystem::path& path) {
    return Adding([this, &path] { return ReadSmlFile(path); });
}

SmlReadResult SmlReader::AddSmlBytes(std::string_view bytes) {
    return Adding([this, bytes] { return ReadSmlBytes(bytes); });
}

std::string SmlReader::ChangeCounts(const SmlReadResult& result) {
    // What one change of each kind is called, and many.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, SML_CHANGE_KINDS> NAMES{{
        {"description made safe", "descriptions made safe"},
        {"list name left out", "list names left out"},
        {"list count set to its items", "list counts set to their items"},
        {"second item left out", "second items left out"},
        {"count made open", "counts made open"},
        {"count set to its values", "counts set to their values"},
    }};
    std::string text;
    for (std::size_t kind = 0; kind < SML_CHANGE_KINDS; ++kind) {
        const std::size_t count = result.changeCounts[kind];
        if (count == 0) {
            continue;
        }
        text += text.empty() ? " (" : ", ";
        text += std::to_string(count) + ' ';
        text += count == 1 ? NAMES[kind].first : NAMES[kind].second;
    }
    return text.empty() ? text : text + ')';
}

} // namespace tqf
