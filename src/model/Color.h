#pragma once

#include <cstdint>

namespace tqf {

// A 24-bit RGB colour held in 32 bits: red in the low byte, then green, then
// blue; the top byte is 0.
using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<ColorRef>(red) | (static_cast<ColorRef>(green) << 8) | (static_cast<ColorRef>(blue) << 16);
}
constexpr std::uint8_t RedOf(ColorRef color) { return static_cast<std::uint8_t>(color & 0xFF); }
constexpr std::uint8_t GreenOf(ColorRef color) { return static_cast<std::uint8_t>((color >> 8) & 0xFF); }
constexpr std::uint8_t BlueOf(ColorRef color) { return static_cast<std::uint8_t>((color >> 16) & 0xFF); }

// The colour of a selected node and of the message created last.
inline constexpr ColorRef HIGHLIGHT_COLOR = Rgb(255, 0, 0);

} // namespace tqf
