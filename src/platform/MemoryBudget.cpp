#include "MemoryBudget.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tqf {

namespace {

// Limits of a control group this large or larger mean no limit (version 1
// writes its "unlimited" as the largest multiple of the page size).
constexpr std::uint64_t NO_LIMIT_FROM = std::uint64_t{1} << 62;

std::string ReadSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::uint64_t> Least(std::optional<std::uint64_t> a, std::optional<std::uint64_t> b) {
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

// The fields of one line of /proc/self/mountinfo that tell a control group
// hierarchy: where it is mounted, which of its groups is the mount's top,
// and its file system type and options.
struct Mount {
    std::string root;
    std::string point;
    std::string type;
    std::string options;
};

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) {
            fields.push_back(line.substr(at, end - at));
        }
        at = end + 1;
    }
    return fields;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// "a,b,c" holds b.
bool ListHolds(std::string_view list, std::string_view name) {
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t end = std::min(list.find(',', at), list.size());
        if (list.substr(at, end - at) == name) {
            return true;
        }
        at = end + 1;
    }
    return false;
}

// The control group mounts of mountinfo: the unified one (cgroup2) and the
// older one that holds the memory controller.
void FindMounts(std::string_view mountinfo, std::optional<Mount>& unified, std::optional<Mount>& memory) {
    for (const std::string_view line : Lines(mountinfo)) {
        // "id parent dev root point options [tags] - type source superoptions"
        const std::vector<std::string_view> fields = Fields(line);
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 4) {
            continue;
        }
        const Mount mount{std::string(fields[3]), std::string(fields[4]), std::string(dash[1]), std::string(dash[3])};
        if (mount.type == "cgroup2" && !unified) {
            unified = mount;
        } else if (mount.type == "cgroup" && ListHolds(mount.options, "memory") && !memory) {
            memory = mount;
        }
    }
}

// The least limit in file of the group at path of the hierarchy mounted as
// mount, and of every group above it up to the mount's top.
std::optional<std::uint64_t> LeastUpwards(const std::filesystem::path& root, const Mount& mount, std::string_view path,
                                          const char* file) {
    // Inside a container the mount's top may be a group below the root of
    // the hierarchy; the path then begins with it.
    std::string_view inside = path;
    if (mount.root != "/" && inside.starts_with(mount.root)) {
        inside.remove_prefix(mount.root.size());
    }
    std::string group(inside);
    std::optional<std::uint64_t> least;
    while (true) {
        const std::filesystem::path directory =
            root / std::filesystem::path(mount.point).relative_path() / std::filesystem::path(group).relative_path();
        least = Least(least, ParseMemoryLimit(ReadSmallFile(directory / file)));
        const std::size_t slash = group.find_last_of('/');
        if (slash == std::string::npos || group.size() <= 1) {
            return least;
        }
        group.resize(slash == 0 ? 1 : slash);
    }
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

std::optional<std::uint64_t> ControlGroupMemoryLimit(const std::filesystem::path& root) {
    const std::string groups = ReadSmallFile(root / "proc/self/cgroup");
    std::optional<Mount> unified;
    std::optional<Mount> memory;
    FindMounts(ReadSmallFile(root / "proc/self/mountinfo"), unified, memory);
    // Where mountinfo cannot be read, the places systems mount them.
    if (!unified) {
        unified = Mount{"/", "/sys/fs/cgroup", "cgroup2", {}};
    }
    if (!memory) {
        memory = Mount{"/", "/sys/fs/cgroup/memory", "cgroup", "memory"};
    }
    std::optional<std::uint64_t> least;
    for (const std::string_view line : Lines(groups)) {
        // "id:controllers:path"; the unified hierarchy's line is "0::path".
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos || line.substr(second + 1).empty()) {
            continue;
        }
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string_view path = line.substr(second + 1);
        if (line.starts_with("0::")) {
            least = Least(least, LeastUpwards(root, *unified, path, "memory.max"));
        } else if (ListHolds(controllers, "memory")) {
            least = Least(least, LeastUpwards(root, *memory, path, "memory.limit_in_bytes"));
        }
    }
    return least;
}

std::size_t LibraryMemoryBudget(std::uint64_t physical, std::optional<std::uint64_t> addressSpace,
                                std::optional<std::uint64_t> controlGroup) {
    const std::uint64_t usable = std::min({physical, addressSpace.value_or(physical), controlGroup.value_or(physical)});
    return static_cast<std::size_t>(std::min<std::uint64_t>(usable / 4, SIZE_MAX));
}

} // namespace tqf
