#pragma once

#include <filesystem>

namespace tqf {

// Where the benchmarks keep their files: TQF_BENCH_DIR (bench/run sets it),
// or a folder in the temporary directory.
std::filesystem::path BenchDataDir();

// The generated library of messageCount messages as a file, library-N.TQF in
// BenchDataDir(); written on first use.
std::filesystem::path LibraryFile(int messageCount);

// The library sizes the targets compare: a handful of messages, and the
// large library of about a million items.
inline constexpr int TINY_LIBRARY = 10;
inline constexpr int LARGE_LIBRARY = 50'000;

} // namespace tqf
