/// @file
/// `kel_std::hash`: the hash functor that the library's hashed containers use
/// by default.
#ifndef KEL_STD_HASH_H
#define KEL_STD_HASH_H

#include <kel_std/basic_string.h>
#include <kel_std/config.h>
#include <kel_std/string_hash.h>

#include <cstddef>
#include <functional>
#include <string>
#if __cplusplus >= 201703L
#include <string_view>
#endif

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

/// The hash of the library's string: the library's `kel_string_hasher2`
/// with its default modulus (values from 0 to 1073741826), the same value as
/// `std::hash<kel_std::string>`.
///
/// Of the three hashers it is the one whose values stay distinct: on sets of
/// 100,000 keys of 8 to 40 characters (random, counters, numbers, shared
/// heads or tails) it keeps 99.99% to 100% of them apart, as `std::hash`
/// does. Hasher 1 sees only a key's last 16 characters (keys that share
/// them all collide); hasher 3 xors characters into overlapping bit
/// positions, so an 8-character key falls among some 2^15 values. The
/// measurement is `bench/hash_spread.cc`.
///
/// Transparent: it also hashes a C string, a `std::string` and (C++17) a
/// `std::string_view` without copying them, with the same value as a
/// `kel_std::string` of the same text, so hashed containers can look up
/// such keys without building a string.
template <>
struct hash<string> {
    /// Marks the functor as accepting other text types than the key's.
    typedef void is_transparent;

    /// The hash of `s`'s text (NULs included). Throws: nothing.
    std::size_t operator()(const string& s) const noexcept { return detail::string_hash_value(s); }
    /// The hash of the C string `s`. Throws: nothing.
    std::size_t operator()(const char* s) const noexcept {
        return detail::string_hash_value(s, char_traits_char::length(s));
    }
    /// The hash of `s`'s text (NULs included). Throws: nothing.
    std::size_t operator()(const std::string& s) const noexcept {
        return detail::string_hash_value(s.data(), s.size());
    }
#if __cplusplus >= 201703L
    /// The hash of the text `s` views (NULs included). Throws: nothing.
    std::size_t operator()(std::string_view s) const noexcept {
        return detail::string_hash_value(s.data(), s.size());
    }
#endif
};

} // namespace kel_std

#endif // KEL_STD_HASH_H
