// The library's own hash of a text, behind kel_std::hash of kel_std::string,
// std::string and std::string_view, and behind std::hash<kel_std::string>.
//
// The text is read as little-endian words of 8 bytes (through memcpy, never
// a byte outside it) and folded two words per multiplication: each full
// 64x64 -> 128-bit product is reduced to 64 bits by xoring its halves. The
// low half carries the low bits of the operands upward; the high half brings
// every operand bit down to the low bits, where containers take a bucket.
//
// - 0 to 16 bytes: one product of two words that together hold every byte:
//   the first and the last 8 bytes (overlapping below 16), or the first and
//   the last 4, or for 1 to 3 bytes the first, the middle and the last byte.
// - Longer texts: each 16-byte block in turn is folded into the running
//   value, and the last 16 bytes (which may overlap the block before them)
//   are folded as a short text's two words are.
// - Last, the result is multiplied by a constant that holds the length, and
//   folded. This keeps the length away from the data (xored into a data
//   operand, it cancelled against the data: "1000" and "10000" collided),
//   and spreads every bit of the result over the low bits also where one
//   data word alone tells two texts apart (one product of a constant and a
//   word is not mixed enough for that).
//
// Two products for up to 16 bytes, three for 32: a few instructions, no
// table, no allocation, no state.
//
// The value is a function of the bytes alone: computed in 64-bit unsigned
// arithmetic with the bytes read little-endian whatever the machine's byte
// order, it is the same with every compiler, standard library and processor.
// Where size_t has 32 bits, text_hash keeps the low 32 bits of that value
// (text_hash64 gives all 64 everywhere). Platforms without a 128-bit product
// compute it from four 32-bit products: the same value, a little slower.
//
// A zero operand would make a product forget the other one. The data words
// meet the constants in bytes that never occur in UTF-8 (0xF8 and 0xFE in the
// key, 0xF5 in the seed), so no UTF-8 or ASCII text cancels them, and no
// length reaches the length's constant; for text keys only a data word that
// equals the running value (one chance in 2^64) can. The hash is not meant
// to resist keys chosen to collide.
#ifndef KEL_STD_DETAIL_TEXT_HASH_H
#define KEL_STD_DETAIL_TEXT_HASH_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kel_std {
namespace detail {

// The fractional parts of the square roots of 7, 5 and 11: the running
// value's start, the key xored into the first word of each pair, and the
// multiplier of the last product, into which the length is xored.
const std::uint64_t text_hash_seed = 0xA54FF53A5F1D36F1ull;
const std::uint64_t text_hash_key = 0x3C6EF372FE94F82Bull;
const std::uint64_t text_hash_length_key = 0x510E527FADE682D1ull;

// Little-endian words assembled byte by byte: the definition of a word's
// value, and the fallback where the byte order is not known.
inline std::uint64_t text_word64_portable(const unsigned char* p) noexcept {
    std::uint64_t w = 0;
    for (int i = 7; i >= 0; --i)
        w = (w << 8) | p[i];
    return w;
}
inline std::uint64_t text_word32_portable(const unsigned char* p) noexcept {
    return static_cast<std::uint64_t>(p[0]) | static_cast<std::uint64_t>(p[1]) << 8 |
           static_cast<std::uint64_t>(p[2]) << 16 | static_cast<std::uint64_t>(p[3]) << 24;
}

#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define KEL_STD_TEXT_HASH_LOAD 1 // one load
#elif defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ &&            \
    (defined(__GNUC__) || defined(__clang__))
#define KEL_STD_TEXT_HASH_LOAD 2 // one load and a byte swap
#elif defined(_MSC_VER)
#define KEL_STD_TEXT_HASH_LOAD 1 // every target of MSVC is little-endian
#else
#define KEL_STD_TEXT_HASH_LOAD 0 // byte by byte
#endif

// The 8 bytes at p as a little-endian word.
inline std::uint64_t text_word64(const unsigned char* p) noexcept {
#if KEL_STD_TEXT_HASH_LOAD == 0
    return text_word64_portable(p);
#else
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
#if KEL_STD_TEXT_HASH_LOAD == 2
    w = __builtin_bswap64(w);
#endif
    return w;
#endif
}

// The 4 bytes at p as a little-endian word.
inline std::uint64_t text_word32(const unsigned char* p) noexcept {
#if KEL_STD_TEXT_HASH_LOAD == 0
    return text_word32_portable(p);
#else
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
#if KEL_STD_TEXT_HASH_LOAD == 2
    w = __builtin_bswap32(w);
#endif
    return w;
#endif
}

#undef KEL_STD_TEXT_HASH_LOAD

// The 128-bit product of a and b, its two halves xored, from 32-bit partial
// products: for platforms without a 128-bit product.
inline std::uint64_t text_fold_portable(std::uint64_t a, std::uint64_t b) noexcept {
    const std::uint64_t half = 0xFFFFFFFFu;
    const std::uint64_t a0 = a & half, a1 = a >> 32, b0 = b & half, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    // Bits 32 to 95 of the product: three terms below 2^32 each, no overflow.
    const std::uint64_t middle = (p00 >> 32) + (p01 & half) + (p10 & half);
    const std::uint64_t low = (middle << 32) | (p00 & half);
    const std::uint64_t high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
    return low ^ high;
}

// The same, with the processor's 128-bit product where the compiler has one.
inline std::uint64_t text_fold(std::uint64_t a, std::uint64_t b) noexcept {
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 wide;
    const wide p = static_cast<wide>(a) * static_cast<wide>(b);
    return static_cast<std::uint64_t>(p) ^ static_cast<std::uint64_t>(p >> 64);
#else
    return text_fold_portable(a, b);
#endif
}

// The 64-bit hash of the n bytes at text (text may be null when n is 0).
inline std::uint64_t text_hash64(const char* text, std::size_t n) noexcept {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    std::uint64_t h = text_hash_seed;
    std::uint64_t a, b;
    if (n <= 16) {
        if (n >= 8) {
            a = text_word64(p);
            b = text_word64(p + n - 8);
        } else if (n >= 4) {
            a = text_word32(p);
            b = text_word32(p + n - 4);
        } else if (n > 0) {
            // Given the length, these three bytes are the whole text.
            a = static_cast<std::uint64_t>(p[0]) << 16 | static_cast<std::uint64_t>(p[n >> 1]) << 8 | p[n - 1];
            b = 0;
        } else {
            a = 0;
            b = 0;
        }
    } else {
        const unsigned char* const last = p + n - 16;
        do {
            h = text_fold(text_word64(p) ^ text_hash_key, text_word64(p + 8) ^ h);
            p += 16;
        } while (p < last);
        a = text_word64(last);
        b = text_word64(last + 8);
    }
    // See the file comment for why the length comes last, in its own product.
    return text_fold(text_fold(a ^ text_hash_key, b ^ h), text_hash_length_key ^ static_cast<std::uint64_t>(n));
}

// The hash as a size_t: the 64-bit value, or its low 32 bits.
inline std::size_t text_hash(const char* text, std::size_t n) noexcept {
    return static_cast<std::size_t>(text_hash64(text, n));
}

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_TEXT_HASH_H
