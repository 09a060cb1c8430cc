#pragma once

#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQF_POISONING 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TQF_POISONING 1
#endif

#ifdef TQF_POISONING
#include <sanitizer/asan_interface.h>
#endif

namespace tqf {

// Memory that is ours but holds nothing live (a free slot, a spare block):
// under the address sanitizer a use of it is reported; elsewhere these do
// nothing.
inline void Poison([[maybe_unused]] void* begin, [[maybe_unused]] std::size_t size) {
#ifdef TQF_POISONING
    ASAN_POISON_MEMORY_REGION(begin, size);
#endif
}

inline void Unpoison([[maybe_unused]] void* begin, [[maybe_unused]] std::size_t size) {
#ifdef TQF_POISONING
    ASAN_UNPOISON_MEMORY_REGION(begin, size);
#endif
}

} // namespace tqf
