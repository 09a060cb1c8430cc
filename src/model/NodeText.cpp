#include "NodeText.h"

#include <algorithm>
#include <ostream>
#include <stdexcept>

namespace tqf {

NodeText NodeText::Sub(std::size_t pos, std::size_t count) const {
    if (pos > size_) {
        throw std::out_of_range("NodeText::Sub: the part starts beyond the text");
    }
    const std::size_t length = std::min<std::size_t>(count, size_ - pos);
    return NodeText(data_ + pos, static_cast<std::uint32_t>(length));
}

std::ostream& operator<<(std::ostream& out, const NodeText& text) { return out << text.View(); }

} // namespace tqf
