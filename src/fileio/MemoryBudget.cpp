#include "MemoryBudget.h"

#include <unistd.h>

namespace tqf {

std::size_t LibraryMemoryBudget() {
    // Without a reading of the memory size, what any machine that runs the
    // editor has.
    std::size_t memory = std::size_t{4} << 30;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        memory = static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize);
    }
    return memory / 4;
}

} // namespace tqf
