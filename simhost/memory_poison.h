// Memory the module must not touch: overwritten with a pattern so that a read
// yields garbage in any build, and marked unaddressable when the build runs
// under AddressSanitizer, so that the read itself is reported where it happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define SIMHOST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIMHOST_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(SIMHOST_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif

namespace simhost {

inline constexpr std::uint8_t kPoisonByte = 0xDB;

// Overwrites `size` bytes at `p` with the poison pattern and makes them
// unaddressable under AddressSanitizer.
inline void poison_memory(void* p, std::size_t size)
{
    if (p == nullptr || size == 0) return;
    std::memset(p, kPoisonByte, size);
#if defined(SIMHOST_ADDRESS_SANITIZER)
    __asan_poison_memory_region(p, size);
#endif
}

// Makes poisoned bytes addressable again (their contents stay the pattern).
inline void unpoison_memory(void* p, std::size_t size)
{
    if (p == nullptr || size == 0) return;
#if defined(SIMHOST_ADDRESS_SANITIZER)
    __asan_unpoison_memory_region(p, size);
#else
    (void)p;
    (void)size;
#endif
}

// Whether the `size` bytes at `p` are poisoned: unaddressable under
// AddressSanitizer (checked without touching them), else holding the pattern.
inline bool is_poisoned(const void* p, std::size_t size)
{
#if defined(SIMHOST_ADDRESS_SANITIZER)
    return size != 0 && __asan_region_is_poisoned(const_cast<void*>(p), size) == p;
#else
    const auto* bytes = static_cast<const std::uint8_t*>(p);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != kPoisonByte) return false;
    }
    return size != 0;
#endif
}

}  // namespace simhost
