#include "MemoryBudget.h"

#include "WindowsFiles.h"

namespace tqf {

namespace {

// Without a reading of the memory size, what any machine that runs the
// editor has.
constexpr std::uint64_t FALLBACK_MEMORY = std::uint64_t{4} << 30;

// The memory limit of the job this process runs in (a batch system's or a
// container's), for the process or for the whole job; nothing when none is
// set.
std::optional<std::uint64_t> JobMemoryLimit() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // A null handle asks about the job of this process.
    if (!::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof limits, nullptr)) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> least;
    const DWORD flags = limits.BasicLimitInformation.LimitFlags;
    if ((flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) != 0) {
        least = limits.ProcessMemoryLimit;
    }
    if ((flags & JOB_OBJECT_LIMIT_JOB_MEMORY) != 0) {
        least = least ? std::min<std::uint64_t>(*least, limits.JobMemoryLimit) : limits.JobMemoryLimit;
    }
    return least;
}

} // namespace

std::size_t LibraryMemoryBudget() {
    // The job's limit plays the part of a control group's; the user part of
    // the address space that of the address-space limit. Both are cheap to
    // ask, so they are asked each time.
    std::uint64_t physical = FALLBACK_MEMORY;
    std::optional<std::uint64_t> addressSpace;
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (::GlobalMemoryStatusEx(&status)) {
        physical = status.ullTotalPhys;
        addressSpace = status.ullTotalVirtual;
    }
    return LibraryMemoryBudget(physical, addressSpace, JobMemoryLimit());
}

} // namespace tqf
