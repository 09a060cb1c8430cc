#pragma once

#include "DropExplainer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tqf {

// What the statement rules read without dropping anything, but what a
// person seldom means: text that a statement's end cuts off, a message
// header swallowed by the statement before it, a message that will not read
// back once saved. The reader reports each as a warning, so that nothing is
// lost without a word; the reading itself stays as it is.
class StatementNotes {
public:
    // line ends a statement at runEnd, the "." after its last text: the rest
    // of the line is ignored. A finding at that "." when the rest holds more
    // than dots and white space.
    static std::optional<StatementFinding> IgnoredAfterEnd(std::string_view line, std::size_t runEnd);

    // line, with its letters in capitals, continues a statement that holds
    // text already: a finding at its front when it starts, after white
    // space, with a message header such as S1F5, which then is read as text
    // of that statement instead of as a message.
    static std::optional<StatementFinding> SwallowedHeader(std::string_view line);

    // A message read without a stream or function number (-1) is written
    // with that number, and a file that holds it does not read it back.
    static std::optional<std::string> MissingNumber(std::int32_t stream, std::int32_t function);
};

} // namespace tqf
