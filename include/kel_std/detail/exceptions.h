// Raising the standard library's exceptions from the headers, in builds with
// and without exceptions. The library's own errors are raised through the
// exported functions of kel_std/throw_functions.h in both modes.
#ifndef KEL_STD_DETAIL_EXCEPTIONS_H
#define KEL_STD_DETAIL_EXCEPTIONS_H

#include <kel_std/config.h>

#include <exception>
#include <new>

namespace kel_std {
namespace detail {

/// Throws `std::bad_alloc`; without exceptions, ends the program.
[[noreturn]] inline void throw_bad_alloc() {
#if KEL_STD_HAS_EXCEPTIONS
    throw std::bad_alloc();
#else
    std::terminate();
#endif
}

/// Throws `std::bad_array_new_length` (a request larger than an allocator's
/// `max_size()`); without exceptions, ends the program.
[[noreturn]] inline void throw_bad_array_new_length() {
#if KEL_STD_HAS_EXCEPTIONS
    throw std::bad_array_new_length();
#else
    std::terminate();
#endif
}

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_EXCEPTIONS_H
