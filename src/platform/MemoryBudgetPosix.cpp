#include "MemoryBudget.h"

#include <chrono>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

namespace tqf {

namespace {

// Without a reading of the memory size, what any machine that runs the
// editor has.
constexpr std::uint64_t FALLBACK_MEMORY = std::uint64_t{4} << 30;

} // namespace

std::size_t LibraryMemoryBudget() {
    // The computer's memory and the control groups' limits take a handful
    // of files to read, and every reader and writer asks: they are read at
    // most once in this long, while the address-space limit is asked each
    // time (a process may lower its own).
    constexpr std::chrono::milliseconds READ_AGAIN_AFTER{1000};
    struct Reading {
        std::uint64_t physical;
        std::optional<std::uint64_t> controlGroup;
        std::chrono::steady_clock::time_point at;
    };
    static std::mutex guard;
    static std::optional<Reading> last;
    Reading now;
    {
        const std::lock_guard lock(guard);
        const auto time = std::chrono::steady_clock::now();
        if (!last || time - last->at >= READ_AGAIN_AFTER) {
            std::uint64_t physical = FALLBACK_MEMORY;
            const long pages = sysconf(_SC_PHYS_PAGES);
            const long pageSize = sysconf(_SC_PAGESIZE);
            if (pages > 0 && pageSize > 0) {
                physical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
            }
            last = Reading{physical, ControlGroupMemoryLimit("/"), time};
        }
        now = *last;
    }
    std::optional<std::uint64_t> addressSpace;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        addressSpace = static_cast<std::uint64_t>(limit.rlim_cur);
    }
    return LibraryMemoryBudget(now.physical, addressSpace, now.controlGroup);
}

} // namespace tqf
