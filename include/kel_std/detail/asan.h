// AddressSanitizer's manual poisoning interface, or nothing.
//
// Code that hands out parts of larger blocks (the memory managers) marks the
// parts that nobody may touch as poisoned, so that a program built with
// -fsanitize=address reports a use of them as it reports a use of freed heap
// memory. Without AddressSanitizer the functions compile to nothing.
#ifndef KEL_STD_DETAIL_ASAN_H
#define KEL_STD_DETAIL_ASAN_H

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define KEL_STD_DETAIL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KEL_STD_DETAIL_ASAN 1
#endif
#endif
#if !defined(KEL_STD_DETAIL_ASAN)
#define KEL_STD_DETAIL_ASAN 0
#endif

#if KEL_STD_DETAIL_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace kel_std {
namespace detail {

// Marks [p, p + n) as not addressable. The sanitizer tracks memory in 8-byte
// granules: a region that starts on a granule boundary is poisoned exactly up
// to the last whole granule.
inline void asan_poison(const void* p, std::size_t n) noexcept {
#if KEL_STD_DETAIL_ASAN
    __asan_poison_memory_region(p, n);
#else
    static_cast<void>(p);
    static_cast<void>(n);
#endif
}

// Marks [p, p + n) as addressable again. A region that starts on a granule
// boundary and ends inside one leaves the rest of that granule poisoned.
inline void asan_unpoison(const void* p, std::size_t n) noexcept {
#if KEL_STD_DETAIL_ASAN
    __asan_unpoison_memory_region(p, n);
#else
    static_cast<void>(p);
    static_cast<void>(n);
#endif
}

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_ASAN_H
