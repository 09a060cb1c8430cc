#include "NodeText.h"

#include <algorithm>
#include <ostream>
#include <stdexcept>

namespace tqf {

void NodeText::ThrowSubBeyondEnd() { throw std::out_of_range("NodeText::Sub: the part starts beyond the text"); }

std::ostream& operator<<(std::ostream& out, const NodeText& text) { return out << text.View(); }

} // namespace tqf
