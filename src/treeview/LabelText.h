#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// A label decoded into characters, where one character is one code point.
// Labels hold the system's 8-bit encoding (UTF-8 on Linux); rows are measured
// and broken between characters, never inside a multi-byte sequence. A label
// of printable ASCII only is not decoded at all: each byte is one character.
class LabelText {
public:
    explicit LabelText(std::string_view bytes);

    // The number of characters.
    int Length() const { return length_; }
    bool IsEmpty() const { return length_ == 0; }

    // True when every character is printable ASCII (space to tilde), so that
    // Byte(i) is the character at i.
    bool IsPrintableAscii() const { return ascii_; }
    unsigned char Byte(int index) const { return static_cast<unsigned char>(bytes_[static_cast<std::size_t>(index)]); }

    bool IsSpace(int index) const;

    // The characters [begin, end) as text to measure or draw.
    QString Slice(int begin, int end) const;

    // The index of the first space at or after from, or Length() when none.
    int FindSpace(int from) const;

private:
    int Utf16Offset(int index) const;

    std::string_view bytes_;
    bool ascii_ = true;
    int length_ = 0;
    QString text_;
    // The UTF-16 offset of every character and of the end; empty while the
    // decoded text holds no surrogate pair, since the offsets then equal the
    // indexes.
    std::vector<std::int32_t> offsets_;
    // The last FindSpace: its start and its answer. Line breaking asks again
    // and again from starts that only grow, and a word may be megabytes long;
    // the answer holds for every start up to it, so the word is searched once.
    mutable int spaceSearchFrom_ = -1;
    mutable int spaceFound_ = -1;
};

} // namespace tqf
