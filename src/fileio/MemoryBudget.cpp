#include "MemoryBudget.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace tqf {

namespace {

// Without a reading of the memory size, what any machine that runs the
// editor has.
constexpr std::uint64_t FALLBACK_MEMORY = std::uint64_t{4} << 30;
// Limits of a control group this large or larger mean no limit (version 1
// writes its "unlimited" as the largest multiple of the page size).
constexpr std::uint64_t NO_LIMIT_FROM = std::uint64_t{1} << 62;

std::string ReadSmallFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::uint64_t> Least(std::optional<std::uint64_t> a, std::optional<std::uint64_t> b) {
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

// The least memory limit of this process's control group and of the groups
// above it.
std::optional<std::uint64_t> ControlGroupLimit() {
    std::optional<std::uint64_t> least;
    const std::string groups = ReadSmallFile("/proc/self/cgroup");
    if (const std::optional<std::string_view> group = UnifiedControlGroup(groups)) {
        std::string path(*group);
        while (true) {
            const std::string file = "/sys/fs/cgroup" + path + (path.ends_with('/') ? "" : "/") + "memory.max";
            least = Least(least, ParseMemoryLimit(ReadSmallFile(file.c_str())));
            const std::size_t slash = path.find_last_of('/');
            if (slash == std::string::npos || path.size() <= 1) {
                break;
            }
            path.resize(slash == 0 ? 1 : slash);
        }
    }
    // The older hierarchy, as mounted inside a container.
    return Least(least, ParseMemoryLimit(ReadSmallFile("/sys/fs/cgroup/memory/memory.limit_in_bytes")));
}

} // namespace

std::optional<std::uint64_t> ParseMemoryLimit(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value >= NO_LIMIT_FROM) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string_view> UnifiedControlGroup(std::string_view procSelfCgroup) {
    // Each line reads "id:controllers:path"; the unified one is "0::path".
    std::size_t at = 0;
    while (at < procSelfCgroup.size()) {
        std::size_t end = procSelfCgroup.find('\n', at);
        if (end == std::string_view::npos) {
            end = procSelfCgroup.size();
        }
        const std::string_view line = procSelfCgroup.substr(at, end - at);
        if (line.starts_with("0::/")) {
            return line.substr(3);
        }
        at = end + 1;
    }
    return std::nullopt;
}

std::size_t LibraryMemoryBudget(std::uint64_t physical, std::optional<std::uint64_t> addressSpace,
                                std::optional<std::uint64_t> controlGroup) {
    const std::uint64_t usable = std::min({physical, addressSpace.value_or(physical), controlGroup.value_or(physical)});
    return static_cast<std::size_t>(std::min<std::uint64_t>(usable / 4, SIZE_MAX));
}

std::size_t LibraryMemoryBudget() {
    std::uint64_t physical = FALLBACK_MEMORY;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        physical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    }
    std::optional<std::uint64_t> addressSpace;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        addressSpace = static_cast<std::uint64_t>(limit.rlim_cur);
    }
    return LibraryMemoryBudget(physical, addressSpace, ControlGroupLimit());
}

} // namespace tqf
