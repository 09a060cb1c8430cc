#include "LabelText.h"

namespace tqf {

namespace {

constexpr unsigned char FIRST_PRINTABLE = 0x20;
constexpr unsigned char LAST_PRINTABLE = 0x7E;
constexpr char16_t SPACE = u' ';

bool AllPrintableAscii(std::string_view bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < FIRST_PRINTABLE || b > LAST_PRINTABLE) {
            return false;
        }
    }
    return true;
}

} // namespace

LabelText::LabelText(std::string_view bytes) : bytes_(bytes), ascii_(AllPrintableAscii(bytes)) {
    if (ascii_) {
        length_ = static_cast<int>(bytes.size());
        return;
    }
    // Invalid sequences decode to replacement characters, one per bad byte,
    // so every byte of the label belongs to exactly one character.
    text_ = QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
    bool surrogates = false;
    for (const QChar c : std::as_const(text_)) {
        if (c.isHighSurrogate()) {
            surrogates = true;
            break;
        }
    }
    if (!surrogates) {
        length_ = static_cast<int>(text_.size());
        return;
    }
    const auto units = static_cast<std::int32_t>(text_.size());
    for (std::int32_t i = 0; i < units; ++i) {
        offsets_.push_back(i);
        if (text_[i].isHighSurrogate() && i + 1 < units && text_[i + 1].isLowSurrogate()) {
            ++i;
        }
    }
    length_ = static_cast<int>(offsets_.size());
    offsets_.push_back(units);
}

int LabelText::Utf16Offset(int index) const {
    return offsets_.empty() ? index : offsets_[static_cast<std::size_t>(index)];
}

bool LabelText::IsSpace(int index) const {
    if (ascii_) {
        return bytes_[static_cast<std::size_t>(index)] == ' ';
    }
    return text_[Utf16Offset(index)].unicode() == SPACE;
}

int LabelText::FindSpace(int from) const {
    if (from >= spaceSearchFrom_ && from <= spaceFound_) {
        return spaceFound_;
    }
    int found = length_;
    if (ascii_) {
        const std::size_t space = bytes_.find(' ', static_cast<std::size_t>(from));
        found = space == std::string_view::npos ? length_ : static_cast<int>(space);
    } else {
        for (int i = from; i < length_; ++i) {
            if (IsSpace(i)) {
                found = i;
                break;
            }
        }
    }
    spaceSearchFrom_ = from;
    spaceFound_ = found;
    return found;
}

QString LabelText::Slice(int begin, int end) const {
    if (ascii_) {
        return QString::fromLatin1(bytes_.data() + begin, end - begin);
    }
    const int first = Utf16Offset(begin);
    return text_.mid(first, Utf16Offset(end) - first);
}

} // namespace tqf
