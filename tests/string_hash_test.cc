// Tests of the three string hashers: the worked values, NULs and high bytes,
// moduli, the one value without an absolute value, and randomized
// comparisons with plain reference loops written here.
//
// The library hashes long texts by faster routes than the plain loops. This
// file is built twice: against the shared library, where the hashers take
// the route chosen for this processor, and as string_hash_paths_test, with
// the library's sources compiled in (KEL_STD_TEST_HASH_PATHS), where the
// comparisons run once for every route this machine can execute.
#include <kel_std/string_hash.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
// Without AddressSanitizer its poisoning macros compile to nothing.
#include <sanitizer/asan_interface.h>
#endif
#endif
#if !defined(ASAN_POISON_MEMORY_REGION)
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

#if defined(KEL_STD_TEST_HASH_PATHS)
#include "string_hash_impl.h"
#endif

using kel_std::kel_string_hasher1;
using kel_std::kel_string_hasher2;
using kel_std::kel_string_hasher3;
typedef kel_std::string kstring;

static_assert(sizeof(kel_string_hasher1) == sizeof(int), "hasher holds one int");
static_assert(sizeof(kel_string_hasher2) == sizeof(int), "hasher holds one int");
static_assert(sizeof(kel_string_hasher3) == sizeof(int), "hasher holds one int");

namespace {

// Reference loops in 64-bit arithmetic, reduced to 32 bits after every step,
// independent of the library's unsigned formulation.
std::int64_t wrap32(std::int64_t v) {
    v &= 0xFFFFFFFFll;
    return v >= 0x80000000ll ? v - 0x100000000ll : v;
}

std::int64_t accumulate1(const std::string& s) {
    std::int64_t h = 0;
    for (char c : s)
        h = wrap32(h * 4 + static_cast<signed char>(c));
    return h;
}

std::int64_t accumulate2(const std::string& s) {
    std::int64_t h = static_cast<std::int64_t>(s.size());
    for (char c : s)
        h = wrap32(h * 613 + static_cast<signed char>(c));
    return h;
}

std::int64_t accumulate3(const std::string& s) {
    std::int64_t h = wrap32(static_cast<std::int64_t>(s.size()));
    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::int64_t c = static_cast<signed char>(s[i]);
        h = wrap32(h ^ wrap32(c * (std::int64_t(1) << ((i + 8) % 32))));
    }
    return h;
}

// The documented treatment of -2^31: it saturates to 2^31 - 1.
std::int64_t magnitude(std::int64_t h) {
    return h == -2147483648ll ? 2147483647ll : (h < 0 ? -h : h);
}

int reference1(const std::string& s, int m) {
    return static_cast<int>(magnitude(accumulate1(s)) % (m < 0 ? -std::int64_t(m) : m));
}
int reference2(const std::string& s, int m) {
    return static_cast<int>(magnitude(accumulate2(s)) % (m < 0 ? -std::int64_t(m) : m));
}
int reference3(const std::string& s) {
    return static_cast<int>(static_cast<double>(magnitude(accumulate3(s))) * 0.6125423312187195);
}

kstring make(const std::string& s) {
    return kstring(s.data(), static_cast<unsigned int>(s.size()));
}

#if defined(KEL_STD_TEST_HASH_PATHS)
using kel_std::detail::string_hash_path;

const char* path_name(string_hash_path path) {
    switch (path) {
    case string_hash_path::portable:
        return "portable";
    case string_hash_path::sse2:
        return "sse2";
    case string_hash_path::avx2:
        return "avx2";
    }
    return "unknown";
}

// Runs check() once under every route this build and processor support,
// then returns the hashers to the detected route.
template <class Check>
void for_each_path(Check check) {
    int ran = 0;
    for (string_hash_path path : {string_hash_path::portable, string_hash_path::sse2, string_hash_path::avx2}) {
        if (!kel_std::detail::string_hash_force_path(path))
            continue;
        SCOPED_TRACE(std::string("route ") + path_name(path));
        check();
        ++ran;
    }
    kel_std::detail::string_hash_force_path(kel_std::detail::string_hash_detected_path());
    EXPECT_GE(ran, 1);
}
#else
// Against the shared library: the route it chose for this processor.
template <class Check>
void for_each_path(Check check) {
    check();
}
#endif

// A memory manager whose blocks start at a chosen offset from a 64-byte
// boundary, so that texts begin at every alignment, and end exactly where
// their allocation ends, so that AddressSanitizer reports any read past the
// buffer.
class offset_manager final : public kel_std::kel_memory_manager {
public:
    std::size_t offset = 0;

    ~offset_manager() {
        for (const auto& block : bases_)
            ::operator delete(block.second, std::align_val_t(64));
    }

    void* allocate(int, unsigned int size, const void*) override {
        // C++17's aligned operator new rather than posix_memalign, which
        // Windows lacks.
        void* const base = ::operator new(offset + size + (size == 0 ? 1 : 0), std::align_val_t(64));
        void* const block = static_cast<char*>(base) + offset;
        bases_[block] = base;
        return block;
    }

    void deallocate(void* p) override {
        const auto found = bases_.find(p);
        if (found == bases_.end())
            return;
        ::operator delete(found->second, std::align_val_t(64));
        bases_.erase(found);
    }

private:
    std::unordered_map<void*, void*> bases_;
};

// The text in a string whose buffer comes from `manager` at its current
// offset. The buffer's bytes after the text (its terminator and padding) are
// poisoned until the string is destroyed: hashers read exactly `length`
// characters, and AddressSanitizer builds catch any vector load beyond them.
class placed_string {
public:
    placed_string(offset_manager& manager, const std::string& text)
        : s_(text.data(), static_cast<unsigned int>(text.size()), kel_std::allocator<char>(&manager)) {
        ASAN_POISON_MEMORY_REGION(s_.data + s_.length, s_.capacity - s_.length);
    }
    ~placed_string() { ASAN_UNPOISON_MEMORY_REGION(s_.data, s_.capacity); }
    placed_string(const placed_string&) = delete;
    placed_string& operator=(const placed_string&) = delete;

    const kstring& get() const { return s_; }

private:
    kstring s_;
};

// Compares the three hashers with the reference loops on `text` placed at
// `offset`. The modulus -2^31 reduces by 2^31, which keeps every bit of the
// accumulated value's magnitude, so no difference hides in the reduction.
::testing::AssertionResult matches_reference(offset_manager& manager, const std::string& text, std::size_t offset) {
    manager.offset = offset;
    const placed_string placed(manager, text);
    const kstring& s = placed.get();
    if (reinterpret_cast<std::uintptr_t>(s.c_str()) % 64 != offset % 64)
        return ::testing::AssertionFailure() << "the manager did not place the text at offset " << offset;
    const int m = -2147483647 - 1;
    const int got[3] = {kel_string_hasher1(m)(s), kel_string_hasher2(m)(s), kel_string_hasher3(m)(s)};
    const int want[3] = {reference1(text, m), reference2(text, m), reference3(text)};
    for (int k = 0; k < 3; ++k) {
        if (got[k] != want[k])
            return ::testing::AssertionFailure()
                   << "hasher " << k + 1 << " gives " << got[k] << ", the loop " << want[k] << ", for length "
                   << text.size() << " at offset " << offset;
    }
    return ::testing::AssertionSuccess();
}

// Lengths around every boundary of the long routes: all lengths up to 600
// (16- and 32-byte lanes, 64- and 128-byte unrolled loops, 256-character
// blocks), then a few either side of larger powers of two.
std::vector<std::size_t> boundary_lengths() {
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 600; ++n)
        lengths.push_back(n);
    for (std::size_t base : {768u, 1024u, 2048u, 4096u, 65536u})
        for (std::size_t n = base - 33; n <= base + 33; ++n)
            lengths.push_back(n);
    return lengths;
}

// Text fillers: random bytes with many NULs and high bytes, and the extremes
// of the signed byte range.
std::string random_text(std::mt19937& rng, std::size_t n) {
    std::string text(n, '\0');
    for (char& c : text) {
        const unsigned int r = rng();
        c = static_cast<char>(r % 4 == 0 ? 0 : r >> 8);
    }
    return text;
}

} // namespace

TEST(string_hash, scale_constant_is_the_float_nearest_0_61254233) {
    const double d = 0.6125423312187195;
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    EXPECT_EQ(bits, 0x3FE399F260000000ull);
    EXPECT_EQ(d, static_cast<double>(0.61254233f));
}

TEST(string_hash, worked_values) {
    const struct {
        std::string text;
        int h1, h2, h3;
    } cases[] = {
        {"", 0, 0, 0},         {"a", 97, 710, 15211},      {"abc", 2043, 727548957, 46574},
        {"\xFF", 1, 612, 156}, {"ab", 486, 811097, 25875}, {std::string("ab\0", 3), 1944, 727548858, 25875},
    };
    const kel_string_hasher1 h1;
    const kel_string_hasher2 h2;
    const kel_string_hasher3 h3;
    for (const auto& c : cases) {
        const kstring s = make(c.text);
        EXPECT_EQ(h1(s), c.h1) << "input of length " << c.text.size() << " '" << c.text << "'";
        EXPECT_EQ(h2(s), c.h2) << "input of length " << c.text.size() << " '" << c.text << "'";
        EXPECT_EQ(h3(s), c.h3) << "input of length " << c.text.size() << " '" << c.text << "'";
    }
    // Modulus 1000: hashers 1 and 2 reduce, hasher 3 does not.
    const kstring abc("abc");
    EXPECT_EQ(kel_string_hasher1(1000)(abc), 43);
    EXPECT_EQ(kel_string_hasher2(1000)(abc), 957);
    EXPECT_EQ(kel_string_hasher3(1000)(abc), 46574);
    EXPECT_EQ(kel_string_hasher3(-5)(abc), 46574);
}

TEST(string_hash, default_modulus_and_assignment) {
    EXPECT_EQ(kel_string_hasher1().modulus, 1073741827);
    EXPECT_EQ(kel_string_hasher2().modulus, 1073741827);
    EXPECT_EQ(kel_string_hasher3().modulus, 1073741827);
    kel_string_hasher1 a(5), b(7);
    EXPECT_EQ(&(a = b), &a);
    EXPECT_EQ(a.modulus, 7);
    kel_string_hasher2 c(5), d(8);
    EXPECT_EQ(&(c = d), &c);
    EXPECT_EQ(c.modulus, 8);
    kel_string_hasher3 e(5), f(9);
    EXPECT_EQ(&(e = f), &e);
    EXPECT_EQ(e.modulus, 9);
}

TEST(string_hash, string_without_a_buffer_hashes_to_zero) {
    const kstring none;
    EXPECT_EQ(kel_string_hasher1()(none), 0);
    EXPECT_EQ(kel_string_hasher2()(none), 0);
    EXPECT_EQ(kel_string_hasher3()(none), 0);
}

TEST(string_hash, negative_modulus_reduces_by_its_magnitude) {
    std::mt19937 rng(11);
    for (int i = 0; i < 500; ++i) {
        std::string text(rng() % 30, '\0');
        for (char& c : text)
            c = static_cast<char>(rng());
        const kstring s = make(text);
        const int m = static_cast<int>(rng() % 100000) + 1;
        EXPECT_EQ(kel_string_hasher1(-m)(s), kel_string_hasher1(m)(s));
        EXPECT_EQ(kel_string_hasher2(-m)(s), kel_string_hasher2(m)(s));
        EXPECT_GE(kel_string_hasher1(-m)(s), 0);
    }
    // The most negative modulus: every non-negative value is its own remainder.
    const kstring abc("abc");
    EXPECT_EQ(kel_string_hasher1(-2147483647 - 1)(abc), 2043);
    EXPECT_EQ(kel_string_hasher1(1)(abc), 0);
    EXPECT_EQ(kel_string_hasher2(-1)(abc), 0);
}

TEST(string_hash, the_value_without_an_absolute_value_stays_in_range) {
    // Hasher 1: the byte 2 and fifteen NULs accumulate 2 * 4^15 = 2^31.
    std::string one(16, '\0');
    one[0] = 2;
    ASSERT_EQ(accumulate1(one), -2147483648ll);
    EXPECT_EQ(kel_string_hasher1()(make(one)), 2147483647 % 1073741827);
    EXPECT_EQ(kel_string_hasher1(1000)(make(one)), 647);

    // Hasher 2: five bytes found by a search over 613-adic digits.
    const std::string two("\x86\x9E\x3A\x90\x91", 5);
    ASSERT_EQ(accumulate2(two), -2147483648ll);
    EXPECT_EQ(kel_string_hasher2()(make(two)), 2147483647 % 1073741827);

    // Hasher 3: length 32 seeds bit 5, which the byte 32 at position 24
    // (shift 0) clears; the byte 1 at position 23 (shift 31) sets bit 31.
    std::string three(32, '\0');
    three[23] = 1;
    three[24] = 32;
    ASSERT_EQ(accumulate3(three), -2147483648ll);
    EXPECT_EQ(kel_string_hasher3()(make(three)), 1315424639) << "the top of hasher 3's range";
}

TEST(string_hash, random_strings_match_the_reference_loops) {
    for_each_path([] {
        std::mt19937 rng(1234);
        const int moduli[] = {1073741827, 1000, 97, -31, 1, 2147483647, -2147483647 - 1};
        int compared = 0;
        for (int round = 0; round < 3000; ++round) {
            std::size_t len = rng() % 64;
            if (round % 10 == 0)
                len = rng() % 5000;
            std::string text(len, '\0');
            for (char& c : text)
                c = static_cast<char>(rng() % 3 == 0 ? 0 : rng());
            const kstring s = make(text);
            const int m = moduli[static_cast<std::size_t>(round) % (sizeof moduli / sizeof moduli[0])];
            ASSERT_EQ(kel_string_hasher1(m)(s), reference1(text, m)) << "round " << round << " length " << len;
            ASSERT_EQ(kel_string_hasher2(m)(s), reference2(text, m)) << "round " << round << " length " << len;
            ASSERT_EQ(kel_string_hasher3(m)(s), reference3(text)) << "round " << round << " length " << len;
            const int h3 = kel_string_hasher3(m)(s);
            ASSERT_TRUE(h3 >= 0 && h3 <= 1315424639) << h3;
            ++compared;
        }
        EXPECT_EQ(compared, 3000);
    });
}

TEST(string_hash, long_routes_match_the_loops_at_every_boundary_and_alignment) {
    const std::vector<std::size_t> lengths = boundary_lengths();
    for_each_path([&lengths] {
        std::mt19937 rng(99);
        offset_manager manager;
        for (std::size_t n : lengths) {
            // Every length at one alignment (they cycle through all 64), and
            // each length near a 32-byte boundary at every alignment.
            const std::string text = random_text(rng, n);
            const bool near_boundary = n % 32 <= 1 || n % 32 >= 31 || n % 256 <= 16;
            for (std::size_t offset = 0; offset < 64; ++offset) {
                if (offset != n % 64 && !(near_boundary && n <= 600))
                    continue;
                ASSERT_TRUE(matches_reference(manager, text, offset));
            }
        }
    });
}

TEST(string_hash, long_routes_match_the_loops_on_extreme_byte_runs) {
    // Every byte the same: all signs set, none set, and mixtures that set
    // every bit of the folded bytes.
    const unsigned char fills[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xAA, 0x55};
    for_each_path([&fills] {
        offset_manager manager;
        for (std::size_t n : {31u, 32u, 33u, 63u, 64u, 65u, 255u, 256u, 257u, 1000u, 4099u, 65536u}) {
            for (unsigned char fill : fills)
                ASSERT_TRUE(matches_reference(manager, std::string(n, static_cast<char>(fill)), n % 13))
                    << "fill " << int(fill);
            std::string alternating(n, '\x7F');
            for (std::size_t i = 1; i < n; i += 2)
                alternating[i] = '\x80';
            ASSERT_TRUE(matches_reference(manager, alternating, 3));
        }
    });
}

TEST(string_hash, every_byte_value_at_every_position_of_a_block) {
    // The accumulations are linear in each character (hashers 1 and 2 modulo
    // 2^32, hasher 3 under XOR), so one nonzero byte on a background of NULs
    // checks the weight and the sign handling of its position. 300 bytes
    // cover a 256-character block of hasher 2, the 32-byte chunk and the
    // characters after it; all 256 byte values go at the start, at the block
    // boundary and at the end, and seven telling values at every position.
    for_each_path([] {
        const std::size_t n = 300;
        offset_manager manager;
        std::string text(n, '\0');
        for (std::size_t position = 0; position < n; ++position) {
            const bool all_values = position < 40 || (position >= 248 && position < 264) || position >= n - 16;
            for (unsigned int value = 1; value < 256; ++value) {
                if (!all_values && value != 0x01 && value != 0x02 && value != 0x40 && value != 0x7F && value != 0x80 &&
                    value != 0xC3 && value != 0xFF)
                    continue;
                text[position] = static_cast<char>(value);
                ASSERT_TRUE(matches_reference(manager, text, position % 64))
                    << "byte " << value << " at position " << position;
            }
            text[position] = '\0';
        }
    });
}

TEST(string_hash, texts_of_a_mebibyte_and_more_match_the_loops) {
    for_each_path([] {
        std::mt19937 rng(7);
        offset_manager manager;
        for (std::size_t n : {std::size_t(1) << 20, (std::size_t(1) << 20) + 37, std::size_t(3000001)})
            ASSERT_TRUE(matches_reference(manager, random_text(rng, n), n % 61));
    });
}

TEST(string_hash, long_texts_reach_the_value_without_an_absolute_value) {
    for_each_path([] {
        // Hasher 1: whatever precedes them, the byte 2 and fifteen NULs at the
        // end accumulate 2^31.
        std::mt19937 rng(5);
        std::string one = random_text(rng, 1000);
        one += std::string(1, '\2') + std::string(15, '\0');
        ASSERT_EQ(accumulate1(one), -2147483648ll);
        EXPECT_EQ(kel_string_hasher1()(make(one)), 2147483647 % 1073741827);

        // Hasher 3 over one fold and a tail: the byte 1 at position 23 (shift
        // 31) sets bit 31, and the length, below 128, is cancelled by its own
        // value at position 56 (shift 0).
        for (std::size_t n : {64u, 100u, 127u}) {
            std::string three(n, '\0');
            three[23] = 1;
            three[56] = static_cast<char>(n);
            ASSERT_EQ(accumulate3(three), -2147483648ll) << "length " << n;
            EXPECT_EQ(kel_string_hasher3()(make(three)), 1315424639) << "length " << n;
        }
    });
}

#if defined(KEL_STD_TEST_HASH_PATHS)
TEST(string_hash_paths, detection_agrees_with_the_compiler_runtime) {
    const string_hash_path detected = kel_std::detail::string_hash_detected_path();
    EXPECT_TRUE(kel_std::detail::string_hash_path_supported(string_hash_path::portable));
    // The vector routes exist where the compiler targets SSE2: always on
    // x86-64, on 32-bit x86 only with -msse2 or a later -march.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
    // GCC's and Clang's own check also requires the OS to save YMM state.
    const bool avx2 = __builtin_cpu_supports("avx2") != 0;
    EXPECT_EQ(detected, avx2 ? string_hash_path::avx2 : string_hash_path::sse2);
    EXPECT_TRUE(kel_std::detail::string_hash_path_supported(string_hash_path::sse2));
    EXPECT_EQ(kel_std::detail::string_hash_path_supported(string_hash_path::avx2), avx2);
    if (!avx2)
        std::printf("note: this processor lacks AVX2; the AVX2 route is not exercised here\n");
#else
    EXPECT_EQ(detected, string_hash_path::portable);
    EXPECT_FALSE(kel_std::detail::string_hash_force_path(string_hash_path::avx2));
#endif
}

TEST(string_hash_paths, forcing_a_route_switches_and_detection_restores) {
    ASSERT_TRUE(kel_std::detail::string_hash_force_path(string_hash_path::portable));
    EXPECT_EQ(kel_std::detail::string_hash_current_path(), string_hash_path::portable);
    const kstring abc(std::string(40, 'x').c_str());
    const int portable = kel_string_hasher2()(abc);
    ASSERT_TRUE(kel_std::detail::string_hash_force_path(kel_std::detail::string_hash_detected_path()));
    EXPECT_EQ(kel_std::detail::string_hash_current_path(), kel_std::detail::string_hash_detected_path());
    EXPECT_EQ(kel_string_hasher2()(abc), portable);
    EXPECT_EQ(portable, reference2(std::string(40, 'x'), 1073741827));
}
#endif
