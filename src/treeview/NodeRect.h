#pragma once

#include <cstdint>

namespace tqf {

// A rectangle in client pixels; right and bottom are exclusive.
struct NodeRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(std::int32_t x, std::int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const NodeRect&, const NodeRect&) = default;
};

} // namespace tqf
