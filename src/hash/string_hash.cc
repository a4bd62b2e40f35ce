// The three string hashers. Arithmetic is done in unsigned 32-bit integers,
// where wrapping is defined, and converted to int only at the end.
//
// Short texts go through the plain per-character loops, which define the
// results. Long texts take faster routes that give the same bits:
//
// - Hasher 1 reads only the last 16 characters: every earlier one ends up
//   multiplied by 4^16 = 2^32, which is 0 modulo 2^32.
// - Hasher 2 sums character times power of 613 over blocks of characters,
//   with precomputed powers, and chains the blocks by Horner's rule.
// - Hasher 3 is linear under XOR: characters 32 apart are shifted by the same
//   amount, and sign extension commutes with XOR. So the text is folded into
//   32 bytes with wide XORs and the shifts are applied once at the end.
//
// On x86 the long routes use SSE2, which every x86-64 processor has, or AVX2
// where the processor and the OS support it. The choice is made on the first
// long text and cached; loading the library runs no code of its own.

#include "string_hash_impl.h"

#include <kel_std/string_hash.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The x86 routes need GCC's or Clang's intrinsics, target attribute and
// <cpuid.h>; every other build takes the portable route only.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define KEL_STD_HASH_X86 1
#include <cpuid.h>
#include <immintrin.h>
#else
#define KEL_STD_HASH_X86 0
#endif

// The long routes stay out of line, so that the short-text path of each
// hasher remains a small leaf function without their register pressure.
#if defined(__GNUC__) || defined(__clang__)
#define KEL_STD_HASH_COLD __attribute__((noinline, cold))
#define KEL_STD_HASH_NOINLINE __attribute__((noinline))
#else
#define KEL_STD_HASH_COLD
#define KEL_STD_HASH_NOINLINE
#endif

namespace kel_std {
namespace {

typedef std::uint32_t u32;
typedef std::uint64_t u64;
typedef detail::string_hash_path hash_path;

// The character as a signed 8-bit value, sign-extended to 32 bits and then
// viewed as unsigned for wrapping arithmetic.
inline u32 widen(char c) {
    return static_cast<u32>(static_cast<std::int32_t>(static_cast<std::int8_t>(c)));
}

// The same for a byte held as unsigned char, without implementation-defined
// conversions: flipping the top bit and subtracting it back sign-extends.
inline u32 widen_byte(unsigned char b) {
    return (static_cast<u32>(b) ^ 0x80u) - 0x80u;
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
    KEL_STD_ASSERT(modulus != 0 && "a hasher's modulus must not be 0");
    // The empty text (and any text that sums to 0) skips the division.
    if (h == 0)
        return 0;
    const u32 m = modulus < 0 ? 0u - static_cast<u32>(modulus) : static_cast<u32>(modulus);
    return static_cast<int>(magnitude(h) % m);
}

// The single-precision value nearest 0.61254233, widened to double (bit
// pattern 0x3FE399F260000000).
const double hasher3_scale = 0.6125423312187195;

// ---------------------------------------------------------------------------
// Choosing the route for long texts.

// 0 until the first long text has been hashed, then a hash_path value. A
// constant initialiser, so nothing runs at load time; relaxed ordering is
// enough because every route computes the same results.
std::atomic<int> selected_path(0);

#if KEL_STD_HASH_X86
// Whether the processor has AVX2 and the OS saves the YMM registers across
// context switches (XCR0 bits 1 and 2, readable once OSXSAVE is set).
bool cpu_runs_avx2() {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0)
        return false;
    const unsigned int osxsave = 1u << 27, avx = 1u << 28;
    if ((ecx & osxsave) == 0 || (ecx & avx) == 0)
        return false;
    unsigned int xcr0_low = 0, xcr0_high = 0;
    __asm__ __volatile__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0u));
    if ((xcr0_low & 6u) != 6u)
        return false;
    if (static_cast<unsigned int>(__get_cpuid_max(0, nullptr)) < 7u)
        return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    const unsigned int avx2 = 1u << 5;
    return (ebx & avx2) != 0;
}
#endif

hash_path detect_path() {
#if KEL_STD_HASH_X86
    return cpu_runs_avx2() ? hash_path::avx2 : hash_path::sse2;
#else
    return hash_path::portable;
#endif
}

// Kept out of line: it runs once per process (or a few times, if threads
// race on the first long text; they all store the same answer).
KEL_STD_HASH_COLD hash_path detect_and_select() {
    const hash_path path = detect_path();
    selected_path.store(static_cast<int>(path), std::memory_order_relaxed);
    return path;
}

inline hash_path current_path() {
    const int selected = selected_path.load(std::memory_order_relaxed);
    return selected != 0 ? static_cast<hash_path>(selected) : detect_and_select();
}

// ---------------------------------------------------------------------------
// Hasher 2: h = h * 613 + c.

// 613^k modulo 2^32.
constexpr u32 power_of_613(unsigned int k) {
    u32 p = 1;
    for (unsigned int i = 0; i < k; ++i)
        p *= 613u;
    return p;
}

// Horner's rule eight characters at a time: h * 613^8 plus the eight
// characters times their powers. The eight products do not depend on each
// other, so they overlap instead of queueing behind one multiply chain.
inline u32 horner613(u32 h, const char* p, std::size_t n) {
    constexpr u32 m1 = power_of_613(1), m2 = power_of_613(2), m3 = power_of_613(3), m4 = power_of_613(4),
                  m5 = power_of_613(5), m6 = power_of_613(6), m7 = power_of_613(7), m8 = power_of_613(8);
    for (; n >= 8; p += 8, n -= 8)
        h = h * m8 + widen(p[0]) * m7 + widen(p[1]) * m6 + widen(p[2]) * m5 + widen(p[3]) * m4 + widen(p[4]) * m3 +
            widen(p[5]) * m2 + widen(p[6]) * m1 + widen(p[7]);
    if (n >= 4) {
        h = h * m4 + widen(p[0]) * m3 + widen(p[1]) * m2 + widen(p[2]) * m1 + widen(p[3]);
        p += 4;
        n -= 4;
    }
    for (; n != 0; ++p, --n)
        h = h * 613u + widen(*p);
    return h;
}

// Texts shorter than this stay on horner613 whatever the route.
const std::size_t hasher2_vector_minimum = 16;

// The portable route has no multiply-add of many lanes to win with; it is
// horner613 throughout.

#if KEL_STD_HASH_X86
// The vector routes take blocks of this many characters: the block's sum of
// c[k] * 613^(block - 1 - k), then h = h * 613^block + sum.
const std::size_t hasher2_block = 256;

// The weights 613^(hasher2_block - 1 - k) for position k of a block, split
// into 16-bit halves for the 16 x 16 -> 32-bit multiply-add instructions:
// c * w = c * low + ((c * high) << 16) modulo 2^32. A low half of 0x8000 or
// more reads as low - 65536 there, so one is carried into the high half; the
// high half's own sign does not matter, since its product is shifted by 16.
// A block shorter by r characters (a multiple of 16) uses the weights from
// position r on, which run from 613^(hasher2_block - 1 - r) down to 1.
struct hasher2_weights {
    std::int16_t low[hasher2_block];
    std::int16_t high[hasher2_block];
    u32 power[hasher2_block + 1]; // 613^k
};

constexpr std::int16_t as_int16(u32 half) {
    return static_cast<std::int16_t>(static_cast<std::int32_t>(half) - (half >= 0x8000u ? 0x10000 : 0));
}

constexpr hasher2_weights make_hasher2_weights() {
    hasher2_weights w{};
    u32 p = 1;
    for (std::size_t k = 0; k <= hasher2_block; ++k) {
        w.power[k] = p;
        if (k < hasher2_block) {
            const u32 low = p & 0xFFFFu;
            const u32 high = ((p >> 16) + (low >> 15)) & 0xFFFFu;
            w.low[hasher2_block - 1 - k] = as_int16(low);
            w.high[hasher2_block - 1 - k] = as_int16(high);
        }
        p *= 613u;
    }
    return w;
}

// Aligned for the vector loads; constant-initialised into read-only data.
alignas(32) constexpr hasher2_weights hasher2_table = make_hasher2_weights();

// Sum of p[k] * weight[k] over `count` characters (a multiple of 16) with
// SSE2's pmaddwd, modulo 2^32.
inline u32 weighted_sum_sse2(const char* p, std::size_t count, const std::int16_t* low, const std::int16_t* high) {
    const __m128i zero = _mm_setzero_si128();
    __m128i low0 = zero, low1 = zero, high0 = zero, high1 = zero;
    for (std::size_t i = 0; i < count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // Sign-extends the bytes to 16 bits: each byte is paired with 0x00
        // or 0xFF from the comparison.
        const __m128i sign = _mm_cmpgt_epi8(zero, bytes);
        const __m128i c0 = _mm_unpacklo_epi8(bytes, sign);
        const __m128i c1 = _mm_unpackhi_epi8(bytes, sign);
        low0 = _mm_add_epi32(low0, _mm_madd_epi16(c0, _mm_load_si128(reinterpret_cast<const __m128i*>(low + i))));
        low1 = _mm_add_epi32(low1, _mm_madd_epi16(c1, _mm_load_si128(reinterpret_cast<const __m128i*>(low + i + 8))));
        high0 = _mm_add_epi32(high0, _mm_madd_epi16(c0, _mm_load_si128(reinterpret_cast<const __m128i*>(high + i))));
        high1 =
            _mm_add_epi32(high1, _mm_madd_epi16(c1, _mm_load_si128(reinterpret_cast<const __m128i*>(high + i + 8))));
    }
    __m128i sum = _mm_add_epi32(_mm_add_epi32(low0, low1), _mm_slli_epi32(_mm_add_epi32(high0, high1), 16));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
    return static_cast<u32>(_mm_cvtsi128_si32(sum));
}

u32 hasher2_sse2(u32 h, const char* p, std::size_t n) {
    for (;;) {
        const std::size_t count = n >= hasher2_block ? hasher2_block : n & ~std::size_t(15);
        if (count == 0)
            break;
        const std::size_t skip = hasher2_block - count;
        h = h * hasher2_table.power[count] +
            weighted_sum_sse2(p, count, hasher2_table.low + skip, hasher2_table.high + skip);
        p += count;
        n -= count;
    }
    return horner613(h, p, n);
}

// The same with AVX2: sixteen characters widen to one register of 16-bit
// lanes, and the multiply-adds are twice as wide. Below 64 characters the
// wider sum does not pay for its longer reduction; SSE2 takes those.
__attribute__((target("avx2"))) u32 hasher2_avx2(u32 h, const char* p, std::size_t n) {
    if (n < 64)
        return hasher2_sse2(h, p, n);
    for (;;) {
        const std::size_t count = n >= hasher2_block ? hasher2_block : n & ~std::size_t(15);
        if (count == 0)
            break;
        const std::size_t skip = hasher2_block - count;
        const std::int16_t* const low = hasher2_table.low + skip;
        const std::int16_t* const high = hasher2_table.high + skip;
        const __m256i zero = _mm256_setzero_si256();
        __m256i low0 = zero, low1 = zero, high0 = zero, high1 = zero;
        std::size_t i = 0;
        for (; i + 32 <= count; i += 32) {
            const __m256i c0 = _mm256_cvtepi8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
            const __m256i c1 = _mm256_cvtepi8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16)));
            low0 = _mm256_add_epi32(
                low0, _mm256_madd_epi16(c0, _mm256_load_si256(reinterpret_cast<const __m256i*>(low + i))));
            low1 = _mm256_add_epi32(
                low1, _mm256_madd_epi16(c1, _mm256_load_si256(reinterpret_cast<const __m256i*>(low + i + 16))));
            high0 = _mm256_add_epi32(
                high0, _mm256_madd_epi16(c0, _mm256_load_si256(reinterpret_cast<const __m256i*>(high + i))));
            high1 = _mm256_add_epi32(
                high1, _mm256_madd_epi16(c1, _mm256_load_si256(reinterpret_cast<const __m256i*>(high + i + 16))));
        }
        if (i < count) {
            const __m256i c0 = _mm256_cvtepi8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
            low0 = _mm256_add_epi32(
                low0, _mm256_madd_epi16(c0, _mm256_load_si256(reinterpret_cast<const __m256i*>(low + i))));
            high0 = _mm256_add_epi32(
                high0, _mm256_madd_epi16(c0, _mm256_load_si256(reinterpret_cast<const __m256i*>(high + i))));
        }
        const __m256i wide =
            _mm256_add_epi32(_mm256_add_epi32(low0, low1), _mm256_slli_epi32(_mm256_add_epi32(high0, high1), 16));
        __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(wide), _mm256_extracti128_si256(wide, 1));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
        h = h * hasher2_table.power[count] + static_cast<u32>(_mm_cvtsi128_si32(sum));
        p += count;
        n -= count;
    }
    return horner613(h, p, n);
}
#endif

// ---------------------------------------------------------------------------
// Hasher 3: h ^= c << ((i + 8) mod 32).

// The fold's width: characters 32 apart are shifted alike.
const std::size_t hasher3_fold = 32;

// Texts shorter than this stay on the plain loop. The vector routes pay off
// from one whole fold on; the portable route, whose final spreading of the
// folded bytes costs more, from two (hasher3_portable checks that itself
// when a test forces it on x86).
const std::size_t hasher3_long_minimum = KEL_STD_HASH_X86 ? hasher3_fold : 2 * hasher3_fold;

// The plain loop over characters first .. n - 1 of the text at p.
inline u32 hasher3_loop(u32 h, const char* p, std::size_t first, std::size_t n) {
    for (std::size_t i = first; i < n; ++i)
        h ^= widen(p[i]) << ((i + 8u) & 31u);
    return h;
}

// The XOR of widen(x[j]) << ((j + 8) mod 32) over 32 folded bytes x, in
// four independent chains; bytes 24 to 31 wrap round to shifts 0 to 7.
inline u32 spread_bytes(const unsigned char (&x)[32]) {
    u32 h0 = 0, h1 = 0, h2 = 0, h3 = 0;
    for (unsigned int j = 0; j < 24; j += 4) {
        h0 ^= widen_byte(x[j]) << (j + 8u);
        h1 ^= widen_byte(x[j + 1]) << (j + 9u);
        h2 ^= widen_byte(x[j + 2]) << (j + 10u);
        h3 ^= widen_byte(x[j + 3]) << (j + 11u);
    }
    for (unsigned int j = 24; j < 32; j += 4) {
        h0 ^= widen_byte(x[j]) << (j - 24u);
        h1 ^= widen_byte(x[j + 1]) << (j - 23u);
        h2 ^= widen_byte(x[j + 2]) << (j - 22u);
        h3 ^= widen_byte(x[j + 3]) << (j - 21u);
    }
    return h0 ^ h1 ^ h2 ^ h3;
}

// Portable: the fold in four 64-bit words. Spreading the folded bytes costs
// about as much as the plain loop over 40 characters, so shorter texts stay
// on that loop.
u32 hasher3_portable(const char* p, std::size_t n) {
    if (n < 2 * hasher3_fold)
        return hasher3_loop(0, p, 0, n);
    u64 a0 = 0, a1 = 0, a2 = 0, a3 = 0;
    const std::size_t whole = n & ~(hasher3_fold - 1);
    for (std::size_t i = 0; i < whole; i += 32) {
        u64 w0, w1, w2, w3;
        std::memcpy(&w0, p + i, 8);
        std::memcpy(&w1, p + i + 8, 8);
        std::memcpy(&w2, p + i + 16, 8);
        std::memcpy(&w3, p + i + 24, 8);
        a0 ^= w0;
        a1 ^= w1;
        a2 ^= w2;
        a3 ^= w3;
    }
    // Back to bytes in text order, whatever the byte order of the words.
    unsigned char folded[32];
    std::memcpy(folded, &a0, 8);
    std::memcpy(folded + 8, &a1, 8);
    std::memcpy(folded + 16, &a2, 8);
    std::memcpy(folded + 24, &a3, 8);
    return hasher3_loop(spread_bytes(folded), p, whole, n);
}

#if KEL_STD_HASH_X86
inline u32 rotate_left(u32 x, unsigned int r) {
    return (x << r) | (x >> ((32u - r) & 31u));
}

// The vector routes finish in bit planes: plane t holds bit t of each of
// the 32 folded bytes (bit j for the byte at fold position j). The byte-sign
// mask of the fold gives plane 7; doubling every byte moves the next lower
// bit into the sign position. The byte at position j lands at shift
// s(j) = (j + 8) mod 32, so its bit t lands at s(j) + t, dropped from 32 on:
// rotate_left(plane, 8) << t places a whole plane at once. Sign extension
// repeats bit 7 at every t from 7 to 31, and XOR over those shifts is a
// prefix XOR. Each plane is folded into the result as soon as it is read, so
// the compiler keeps everything in registers.
//
// The tail, the characters after the text's whole folds, comes in as the
// last 32 characters of the text: its byte j is character n - 32 + j, which
// lands at shift (j + rest + 8) mod 32, and only its last `rest` bytes count.
inline u32 prefix_xor(u32 x) {
    x ^= x << 1;
    x ^= x << 2;
    x ^= x << 4;
    x ^= x << 8;
    x ^= x << 16;
    return x;
}

inline u32 tail_mask(unsigned int rest) {
    return rest == 0 ? 0u : ~0u << (32u - rest);
}

inline u32 sign_mask(__m128i low, __m128i high) {
    return static_cast<u32>(_mm_movemask_epi8(low)) | static_cast<u32>(_mm_movemask_epi8(high)) << 16;
}

// Requires n >= 32.
u32 hasher3_sse2(const char* p, std::size_t n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a0 = zero, a1 = zero, b0 = zero, b1 = zero;
    const std::size_t whole = n & ~(hasher3_fold - 1);
    std::size_t i = 0;
    // The odd folds first, so that the unrolled loop runs in whole steps.
    for (; (whole - i) % 128 != 0; i += 32) {
        a0 = _mm_xor_si128(a0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        a1 = _mm_xor_si128(a1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16)));
    }
    for (; i < whole; i += 128) {
        a0 = _mm_xor_si128(a0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        a1 = _mm_xor_si128(a1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16)));
        b0 = _mm_xor_si128(b0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 32)));
        b1 = _mm_xor_si128(b1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 48)));
        a0 = _mm_xor_si128(a0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 64)));
        a1 = _mm_xor_si128(a1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 80)));
        b0 = _mm_xor_si128(b0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 96)));
        b1 = _mm_xor_si128(b1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 112)));
    }
    a0 = _mm_xor_si128(a0, b0);
    a1 = _mm_xor_si128(a1, b1);
    u32 signs = rotate_left(sign_mask(a0, a1), 8);
    u32 h = 0;
    for (unsigned int t = 7; t-- > 0;) {
        a0 = _mm_add_epi8(a0, a0);
        a1 = _mm_add_epi8(a1, a1);
        h ^= rotate_left(sign_mask(a0, a1), 8) << t;
    }
    const unsigned int rest = static_cast<unsigned int>(n & (hasher3_fold - 1));
    if (rest != 0) {
        const u32 mask = tail_mask(rest);
        const unsigned int rotation = (rest + 8u) & 31u;
        __m128i t0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 32));
        __m128i t1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
        signs ^= rotate_left(sign_mask(t0, t1) & mask, rotation);
        for (unsigned int t = 7; t-- > 0;) {
            t0 = _mm_add_epi8(t0, t0);
            t1 = _mm_add_epi8(t1, t1);
            h ^= rotate_left(sign_mask(t0, t1) & mask, rotation) << t;
        }
    }
    return h ^ prefix_xor(signs << 7);
}

// The same with one 256-bit register per fold. Requires n >= 32.
__attribute__((target("avx2"))) u32 hasher3_avx2(const char* p, std::size_t n) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
    const std::size_t whole = n & ~(hasher3_fold - 1);
    std::size_t i = 0;
    for (; (whole - i) % 128 != 0; i += 32)
        a0 = _mm256_xor_si256(a0, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)));
    for (; i < whole; i += 128) {
        a0 = _mm256_xor_si256(a0, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)));
        a1 = _mm256_xor_si256(a1, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32)));
        a2 = _mm256_xor_si256(a2, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 64)));
        a3 = _mm256_xor_si256(a3, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 96)));
    }
    __m256i a = _mm256_xor_si256(_mm256_xor_si256(a0, a1), _mm256_xor_si256(a2, a3));
    u32 signs = rotate_left(static_cast<u32>(_mm256_movemask_epi8(a)), 8);
    u32 h = 0;
    for (unsigned int t = 7; t-- > 0;) {
        a = _mm256_add_epi8(a, a);
        h ^= rotate_left(static_cast<u32>(_mm256_movemask_epi8(a)), 8) << t;
    }
    const unsigned int rest = static_cast<unsigned int>(n & (hasher3_fold - 1));
    if (rest != 0) {
        const u32 mask = tail_mask(rest);
        const unsigned int rotation = (rest + 8u) & 31u;
        __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + n - 32));
        signs ^= rotate_left(static_cast<u32>(_mm256_movemask_epi8(last)) & mask, rotation);
        for (unsigned int t = 7; t-- > 0;) {
            last = _mm256_add_epi8(last, last);
            h ^= rotate_left(static_cast<u32>(_mm256_movemask_epi8(last)) & mask, rotation) << t;
        }
    }
    return h ^ prefix_xor(signs << 7);
}
#endif

// Hasher 3's last steps: |h| scaled and truncated.
inline int scale(u32 h) {
    return static_cast<int>(static_cast<double>(magnitude(h)) * hasher3_scale);
}

// The long-text halves of hashers 2 and 3, by the route of this processor.
// They return the final result, so that the hashers reach them by a tail
// call and the short-text paths need no saved registers.
KEL_STD_HASH_NOINLINE int hasher2_long(const char* p, std::size_t n, int modulus) {
    const u32 h = static_cast<u32>(n);
    switch (current_path()) {
#if KEL_STD_HASH_X86
    case hash_path::avx2:
        return reduce(hasher2_avx2(h, p, n), modulus);
    case hash_path::sse2:
        return reduce(hasher2_sse2(h, p, n), modulus);
#endif
    default:
        return reduce(horner613(h, p, n), modulus);
    }
}

// Requires n >= hasher3_fold.
KEL_STD_HASH_NOINLINE int hasher3_long(const char* p, std::size_t n) {
    const u32 h = static_cast<u32>(n);
    switch (current_path()) {
#if KEL_STD_HASH_X86
    case hash_path::avx2:
        return scale(h ^ hasher3_avx2(p, n));
    case hash_path::sse2:
        return scale(h ^ hasher3_sse2(p, n));
#endif
    default:
        return scale(h ^ hasher3_portable(p, n));
    }
}

} // namespace

// ---------------------------------------------------------------------------
// The internal route switch.

namespace detail {

bool string_hash_path_supported(string_hash_path path) {
    switch (path) {
    case string_hash_path::portable:
        return true;
    case string_hash_path::sse2:
        return KEL_STD_HASH_X86 != 0;
    case string_hash_path::avx2:
        return detect_path() == string_hash_path::avx2;
    }
    return false;
}

string_hash_path string_hash_detected_path() {
    return detect_path();
}

string_hash_path string_hash_current_path() {
    return current_path();
}

bool string_hash_force_path(string_hash_path path) {
    if (!string_hash_path_supported(path))
        return false;
    selected_path.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

} // namespace detail

// ---------------------------------------------------------------------------
// The hashers.

kel_string_hasher1::kel_string_hasher1(int modulus_value) : modulus(modulus_value) {}

kel_string_hasher1& kel_string_hasher1::operator=(const kel_string_hasher1& other) = default;

int kel_string_hasher1::operator()(const string& s) const {
    const char* p = s.c_str();
    unsigned int n = s.length;
    // Characters before the last 16 are multiplied by 4 at least sixteen
    // times, that is by 2^32: they cannot change the result.
    if (n > 16) {
        p += n - 16;
        n = 16;
    }
    u32 h = 0;
    for (unsigned int i = 0; i < n; ++i)
        h = h * 4u + widen(p[i]);
    return reduce(h, modulus);
}

kel_string_hasher2::kel_string_hasher2(int modulus_value) : modulus(modulus_value) {}

kel_string_hasher2& kel_string_hasher2::operator=(const kel_string_hasher2& other) = default;

int kel_string_hasher2::operator()(const string& s) const {
    const char* p = s.c_str();
    const std::size_t n = s.length;
    if (n >= hasher2_vector_minimum)
        return hasher2_long(p, n, modulus);
    return reduce(horner613(s.length, p, n), modulus);
}

kel_string_hasher3::kel_string_hasher3(int modulus_value) : modulus(modulus_value) {}

kel_string_hasher3& kel_string_hasher3::operator=(const kel_string_hasher3& other) = default;

int kel_string_hasher3::operator()(const string& s) const {
    const char* p = s.c_str();
    const std::size_t n = s.length;
    if (n >= hasher3_long_minimum)
        return hasher3_long(p, n);
    return scale(hasher3_loop(s.length, p, 0, n));
}

} // namespace kel_std
