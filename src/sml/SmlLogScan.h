#pragma once

#include "SmlStatement.h"

#include <cstddef>
#include <optional>
#include <string_view>

// How statements are found in a log: the lines that begin one, and what a
// log says about who sent it.
namespace tqf::sml {

// A header found on a line of a log.
struct LogHeader {
    std::size_t start = 0;  // of the statement: a "NAME:" before the header, or the header
    std::size_t header = 0; // of the header itself, its quote included
    std::size_t end = 0;    // after the header and a W that follows it
};

// The first header on the line text[from, lineEnd) that may begin a
// statement: "S1F3", "'S1F3' W", "NAME: 'S1F3'" after any prefix, followed
// on its line by nothing, W, a comment, "<" or a "." that ends the line.
// "SxFy=S1F3," and "[S1F3] Sent" name a message but begin none.
std::optional<LogHeader> FindLogHeader(std::string_view text, std::size_t from, std::size_t lineEnd);

enum class BodyScan { FOUND, NONE, MORE };

// Where the items (or the ".") of the statement whose header ends at
// headerEnd begin: on its line after a W and comments, or as the first thing
// on a following line; anything else there and the header begins nothing.
// MORE when text ends first and is not the last of the input.
BodyScan FindBody(std::string_view text, std::size_t headerEnd, bool last, std::size_t& bodyStart);

// Who sent the message, as a log line says: "Dir=1" (equipment to host),
// "Dir=2" (host to equipment), "Sent by Host", "Sent by Equipment",
// "Received" (by the host, whose driver writes the log).
Direction DirectionOf(std::string_view line);

// Whether text[from, to) names the message of the header at header, as
// "[S1F3] Sent by Host" names the one after it.
bool NamesMessage(std::string_view text, std::size_t header, std::string_view line);

// Whether a text reads as a log rather than as an SML file: its first
// statement does not begin where its first line that is not blank or a
// comment begins.
bool LooksLikeLog(std::string_view text);

} // namespace tqf::sml
