// The three string hashers. Arithmetic is done in unsigned 32-bit integers,
// where wrapping is defined, and converted to int only at the end.

#include <kel_std/string_hash.h>

#include <cstdint>

#if defined(KEL_STD_DEBUG)
#include <cassert>
#endif

namespace kel_std {
namespace {

typedef std::uint32_t u32;

// The character as a signed 8-bit value, sign-extended to 32 bits and then
// viewed as unsigned for wrapping arithmetic.
inline u32 widen(char c) {
    return static_cast<u32>(static_cast<std::int32_t>(static_cast<std::int8_t>(c)));
}

// |h| for the accumulated value h; -2147483648, which has no 32-bit absolute
// value, saturates to 2147483647.
inline u32 magnitude(u32 h) {
    if (h < 0x80000000u)
        return h;
    return h == 0x80000000u ? 0x7FFFFFFFu : 0u - h;
}

// The remainder of a non-negative value by modulus, with the sign of the
// dividend (so, non-negative): for such values h % m == h % |m|.
inline int reduce(u32 h, int modulus) {
#if defined(KEL_STD_DEBUG)
    assert(modulus != 0 && "a hasher's modulus must not be 0");
#endif
    const u32 m = modulus < 0 ? 0u - static_cast<u32>(modulus) : static_cast<u32>(modulus);
    return static_cast<int>(magnitude(h) % m);
}

// The single-precision value nearest 0.61254233, widened to double (bit
// pattern 0x3FE399F260000000).
const double hasher3_scale = 0.6125423312187195;

} // namespace

kel_string_hasher1::kel_string_hasher1(int modulus_value) : modulus(modulus_value) {}

kel_string_hasher1& kel_string_hasher1::operator=(const kel_string_hasher1& other) {
    modulus = other.modulus;
    return *this;
}

int kel_string_hasher1::operator()(const string& s) const {
    const char* p = s.c_str();
    u32 h = 0;
    for (unsigned int i = 0; i < s.length; ++i)
        h = h * 4u + widen(p[i]);
    return reduce(h, modulus);
}

kel_string_hasher2::kel_string_hasher2(int modulus_value) : modulus(modulus_value) {}

kel_string_hasher2& kel_string_hasher2::operator=(const kel_string_hasher2& other) {
    modulus = other.modulus;
    return *this;
}

int kel_string_hasher2::operator()(const string& s) const {
    const char* p = s.c_str();
    u32 h = s.length;
    for (unsigned int i = 0; i < s.length; ++i)
        h = h * 613u + widen(p[i]);
    return reduce(h, modulus);
}

kel_string_hasher3::kel_string_hasher3(int modulus_value) : modulus(modulus_value) {}

kel_string_hasher3& kel_string_hasher3::operator=(const kel_string_hasher3& other) {
    modulus = other.modulus;
    return *this;
}

int kel_string_hasher3::operator()(const string& s) const {
    const char* p = s.c_str();
    u32 h = s.length;
    for (unsigned int i = 0; i < s.length; ++i)
        h ^= widen(p[i]) << ((i + 8u) & 31u);
    return static_cast<int>(static_cast<double>(magnitude(h)) * hasher3_scale);
}

} // namespace kel_std
