#pragma once

#include <cstddef>

namespace tqf {

// How much memory one library may take while it is read or saved: a quarter
// of this computer's memory, so that opening or saving a library too large
// for the machine is refused with a message before memory runs out.
std::size_t LibraryMemoryBudget();

} // namespace tqf
