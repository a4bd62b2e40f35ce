/// @file
/// `kel_std::hash`: the hash functor that the library's hashed containers use
/// by default.
#ifndef KEL_STD_HASH_H
#define KEL_STD_HASH_H

#include <kel_std/config.h>

#include <cstddef>
#include <functional>

namespace kel_std {

/// The default hash of the library's hashed containers.
///
/// For every key type that has a `std::hash` specialisation (the built-in
/// types, the standard library's types and the user's own specialisations)
/// it is exactly `std::hash<T>`. The values are not mixed here: the hashed
/// containers mix every hash before they choose a bucket, so an identity hash
/// such as `std::hash<int>` spreads as well as any other.
template <class T>
struct hash : std::hash<T> {};

} // namespace kel_std

#endif // KEL_STD_HASH_H
