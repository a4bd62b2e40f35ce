/// @file
/// `kel_std::hash`: the hash functor that the library's hashed containers use
/// by default.
#ifndef KEL_STD_HASH_H
#define KEL_STD_HASH_H

#include <kel_std/basic_string.h>
#include <kel_std/config.h>
#include <kel_std/detail/text_hash.h>
#include <kel_std/string_hash.h>

#include <cstddef>
#include <functional>
#include <string>
#include <type_traits>
#if __cplusplus >= 201703L
#include <string_view>
#endif

namespace kel_std {

/// The default hash of the library's hashed containers.
///
/// For every key type that has a `std::hash` specialisation (the built-in
/// types, the standard library's types and the user's own specialisations)
/// it is exactly `std::hash<T>`, except for the texts: `kel_std::string`,
/// `std::basic_string<char>` and `std::string_view` have the library's own
/// hash (below), whose values are the same on every platform. Other values
/// are not mixed here: the hashed containers mix them before they choose a
/// bucket, so an identity hash such as `std::hash<int>` spreads as well as
/// any other.
template <class T>
struct hash : std::hash<T> {};

namespace detail {

// The transparent functor behind kel_std::hash of every text type: the
// library's hash of text (detail/text_hash.h) of whatever text it is given.
struct text_hasher {
    typedef void is_transparent;
    // The values need no further mixing (see detail::hash_is_avalanching).
    typedef std::true_type is_avalanching;

    // A string without a buffer has length 0: nothing is read, so its null
    // data serves as well as c_str() and saves the test.
    std::size_t operator()(const string& s) const noexcept { return text_hash(s.data, s.length); }
    std::size_t operator()(const char* s) const noexcept { return text_hash(s, char_traits_char::length(s)); }
    template <class Alloc>
    std::size_t operator()(const std::basic_string<char, std::char_traits<char>, Alloc>& s) const noexcept {
        return text_hash(s.data(), s.size());
    }
#if __cplusplus >= 201703L
    std::size_t operator()(std::string_view s) const noexcept {
        return text_hash(s.data(), s.size());
    }
#endif
};

} // namespace detail

/// The hash of the library's string: the library's own hash of text, the
/// same value as `std::hash<kel_std::string>`.
///
/// Transparent: it also hashes a C string (up to its NUL), a
/// `std::basic_string<char>` with any allocator and (C++17) a
/// `std::string_view` without copying them, with the same value for the
/// same text, so hashed containers whose equality is transparent too look
/// such keys up without building a string.
///
/// Values: a function of the text's bytes alone (NULs included), the same on
/// every platform where `std::size_t` has 64 bits; where it has 32 bits, the
/// low 32 bits of that value. They do not depend on the byte order, the
/// compiler or the standard library, and are not those of
/// `kel_string_hasher2` (the library's hashers keep theirs) nor of
/// `std::hash<std::string>`. The text is read 8 bytes at a time, two words
/// per 64x64-bit multiplication folded to 64 bits, and one more
/// multiplication adds the length: two multiplications for up to 16 bytes,
/// three for 32. Not meant to resist keys chosen to collide.
///
/// The hashed containers take these values as they are, without mixing them
/// again: the member type `is_avalanching` (`std::true_type`) says that
/// every byte of the text reaches the low bits of the value. A class derived
/// from this hash that computes other values should declare its own
/// `is_avalanching` as `std::false_type`.
///
/// `operator()`: requires a C string to be NUL-terminated; complexity linear
/// in the length; throws nothing.
template <>
struct hash<string> : detail::text_hasher {};

/// The hash of a `std::basic_string<char>` (`std::string`, and
/// `std::pmr::string` or any other allocator): the library's hash of text,
/// as for `kel_std::hash<kel_std::string>` and with the same value for the
/// same text, where `std::hash` would give values that differ between
/// standard libraries. Transparent over the same text types.
template <class Alloc>
struct hash<std::basic_string<char, std::char_traits<char>, Alloc>> : detail::text_hasher {};

#if __cplusplus >= 201703L
/// The hash of a `std::string_view`: the library's hash of text, as for
/// `kel_std::hash<kel_std::string>`. Transparent over the same text types.
template <>
struct hash<std::string_view> : detail::text_hasher {};
#endif

} // namespace kel_std

#endif // KEL_STD_HASH_H
