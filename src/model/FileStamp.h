#pragma once

#include <cstdint>

namespace tqf {

// What tells one state of a file from another: which file it is (device and
// inode) and what it held when last seen (size, modification time). Another
// program that writes the file or puts a new one in its place changes it.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

} // namespace tqf
