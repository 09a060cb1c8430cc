#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace tqf {

// How much memory one library may take while it is read or saved: a quarter
// of the memory this process may use, so that opening or saving a library
// too large for it is refused with a message before memory runs out. The
// memory it may use is the least of the computer's memory, the process's
// address-space limit and the memory limit of its control group; on Windows,
// of the computer's memory, the user address space and the memory limit of
// the job the process runs in.
std::size_t LibraryMemoryBudget();

// The budget for the limits given; a limit that is not set is nothing.
std::size_t LibraryMemoryBudget(std::uint64_t physical, std::optional<std::uint64_t> addressSpace,
                                std::optional<std::uint64_t> controlGroup);

// The limit a control group's memory file holds ("max" or a number of
// bytes, as memory.max and memory.limit_in_bytes write them); nothing for
// no limit.
std::optional<std::uint64_t> ParseMemoryLimit(std::string_view text);

// The least memory limit of the control groups of this process and of the
// groups above them, in the unified hierarchy (memory.max) and in the older
// one (memory.limit_in_bytes), as /proc/self/cgroup and /proc/self/mountinfo
// name them under root ("/" but for tests); nothing when none is set.
std::optional<std::uint64_t> ControlGroupMemoryLimit(const std::filesystem::path& root);

// The path of this process's control group of the unified hierarchy, read
// from the text of /proc/self/cgroup; nothing when it has none.
std::optional<std::string_view> UnifiedControlGroup(std::string_view procSelfCgroup);

} // namespace tqf
