/// @file
/// Three hash functors for the library's string, for hashed containers, and
/// `std::hash<kel_std::string>`.
///
/// All arithmetic is 32-bit two's complement and wraps; each character is
/// taken as a signed 8-bit value (bytes 0x80 to 0xFF count as -128 to -1).
/// Exactly `length` characters are hashed, starting at `c_str()`, so NULs
/// inside the text take part like any other character. The functors are pure:
/// any number of threads may call them at once.
///
/// The accumulated value -2147483648 has no 32-bit absolute value. The three
/// hashers then continue with 2147483647 instead (they saturate), which keeps
/// every result inside the stated range: hashers 1 and 2 give
/// 2147483647 % |modulus|, hasher 3 gives 1315424639.
#ifndef KEL_STD_STRING_HASH_H
#define KEL_STD_STRING_HASH_H

#include <kel_std/basic_string.h>
#include <kel_std/config.h>
#include <kel_std/detail/text_hash.h>

#include <cstddef>
#include <functional>
#include <type_traits>

namespace kel_std {

/// h = h * 4 + c over the characters from h = 0, then |h| % `modulus`.
///
/// Only the last 16 characters can affect the result (4^16 = 2^32), so the
/// hash costs constant time whatever the length.
class kel_string_hasher1 {
public:
    /// The divisor; 1073741827 (a prime) by default.
    int modulus;

    /// Stores `modulus` unchanged (any value; see `operator()`).
    KEL_STD_API explicit kel_string_hasher1(int modulus = 1073741827);
    /// Copies `modulus`.
    kel_string_hasher1(const kel_string_hasher1&) = default;
    /// Copies `modulus`. Returns: `*this`.
    KEL_STD_API kel_string_hasher1& operator=(const kel_string_hasher1& other);

    /// The hash of `s`: a value from 0 to |`modulus`| - 1.
    /// Requires: `modulus` is not 0 (asserted in debug builds of the library).
    /// Throws: nothing.
    KEL_STD_API int operator()(const string& s) const;
};

/// h = h * 613 + c over the characters from h = `length`, then
/// |h| % `modulus`.
class kel_string_hasher2 {
public:
    /// The divisor; 1073741827 (a prime) by default.
    int modulus;

    /// Stores `modulus` unchanged (any value; see `operator()`).
    KEL_STD_API explicit kel_string_hasher2(int modulus = 1073741827);
    /// Copies `modulus`.
    kel_string_hasher2(const kel_string_hasher2&) = default;
    /// Copies `modulus`. Returns: `*this`.
    KEL_STD_API kel_string_hasher2& operator=(const kel_string_hasher2& other);

    /// The hash of `s`: a value from 0 to |`modulus`| - 1.
    /// Requires: `modulus` is not 0 (asserted in debug builds of the library).
    /// Throws: nothing.
    KEL_STD_API int operator()(const string& s) const;
};

/// h = `length`, then h ^= c << ((i + 8) mod 32) for the i-th character
/// (sign-extended to 32 bits), then |h| scaled by 0.6125423312187195 and
/// truncated. `modulus` is stored but not used.
class kel_string_hasher3 {
public:
    /// Stored for symmetry with the other hashers; never read.
    int modulus;

    /// Stores `modulus` unchanged.
    KEL_STD_API explicit kel_string_hasher3(int modulus = 1073741827);
    /// Copies `modulus`.
    kel_string_hasher3(const kel_string_hasher3&) = default;
    /// Copies `modulus`. Returns: `*this`.
    KEL_STD_API kel_string_hasher3& operator=(const kel_string_hasher3& other);

    /// The hash of `s`: a value from 0 to 1315424639, not reduced to any
    /// table size. Throws: nothing.
    KEL_STD_API int operator()(const string& s) const;
};

} // namespace kel_std

namespace std {

/// The standard hash of the library's string, so that it can be the key of
/// `std::unordered_map` and `std::unordered_set`: the library's hash of
/// text, the same value as `kel_std::hash<kel_std::string>` (see
/// `kel_std/hash.h`), equal for equal texts.
template <>
struct hash<kel_std::string> {
    /// Says that the values need no further mixing: the library's hashed
    /// containers take them as they are.
    typedef true_type is_avalanching;

    /// The hash of `s`'s text (NULs included). Complexity: linear in the
    /// length. Throws: nothing.
    size_t operator()(const kel_std::string& s) const noexcept {
        return kel_std::detail::text_hash(s.data, s.length); // null only when the length is 0
    }
};

} // namespace std

#endif // KEL_STD_STRING_HASH_H
