#pragma once

#include "TreeLayout.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tqf {

class FormatNode;

// The arithmetic of moving through the tree with the keys and of scrolling a
// row into view, apart from the widget that asks for it.
namespace TreeNavigation {

// The row that a moving key (Up, Down, Home, End, Page Up, Page Down) leads
// to from the chosen row at (none: no row is chosen, and every move starts at
// the first), in a layout of at least one row. A page is the client height:
// the row that lies that far above or below the top of the chosen one.
std::size_t RowForKey(const TreeLayout& layout, std::optional<std::size_t> at, int key, std::int64_t page);

// The scroll position that shows row in a client area height pixels high,
// whose first row starts margin pixels down: centred, or else moved from
// position no more than needed, its top shown first when it does not fit.
std::int64_t RevealPosition(const RowPlacement& row, std::int64_t height, std::int64_t position, bool centre,
                            int margin);

// The scroll position nearest position (no greater than limit) at which the
// row at the top of the client area starts where the first row starts
// unscrolled, so that no row is shown cut at the top, while row stays whole
// in a client area height pixels high; position itself where none does, and
// at limit, the end of the content.
std::int64_t AlignToRow(const TreeLayout& layout, std::int64_t position, const RowPlacement& row, std::int64_t height,
                        int margin, std::int64_t limit);

// The row that takes the place of a node about to be deleted, for the keys
// to go on from: its next sibling, else its previous one, else its parent;
// none for a message that is the only one.
const FormatNode* PlaceTakerOf(const FormatNode& node);

// How many messages root holds, counted no further than limit.
int CountMessages(const FormatNode* root, int limit);

} // namespace TreeNavigation

} // namespace tqf
