/// @file
/// The two functions that raise the library's range and length errors.
#ifndef KEL_STD_THROW_FUNCTIONS_H
#define KEL_STD_THROW_FUNCTIONS_H

#include <kel_std/config.h>

namespace kel_std {

/// Throws a `kel_std::out_of_range` whose `what()` is "out of range error".
/// The error matches handlers for `kel_std::out_of_range`,
/// `kel_std::logic_error` and `std::exception`.
/// Throws: the error; or `std::bad_alloc` if its message cannot be allocated.
/// Never returns. Safe to call from any number of threads.
[[noreturn]] KEL_STD_API void kel_throw_out_of_range();

/// Throws a `kel_std::length_error` whose `what()` is "length error".
/// The error matches handlers for `kel_std::length_error`,
/// `kel_std::logic_error` and `std::exception`.
/// Throws: the error; or `std::bad_alloc` if its message cannot be allocated.
/// Never returns. Safe to call from any number of threads.
[[noreturn]] KEL_STD_API void kel_throw_length_error();

} // namespace kel_std

#endif // KEL_STD_THROW_FUNCTIONS_H
