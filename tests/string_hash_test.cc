// Tests of the three string hashers: the worked values, NULs and high bytes,
// moduli, the one value without an absolute value, and randomized
// comparisons with plain reference loops written here.
//
// The library hashes long texts by faster routes than the plain loops. This
// file is built twice: against the shared library, where the hashers take
// the route chosen for this processor, and as string_hash_paths_test, with
// the library's sources compiled in (KEL_STD_TEST_HASH_PATHS), where the
// comparisons run once for every route this machine can execute.
#include <kel_std/hash.h>
#include <kel_std/string_hash.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <string_view>
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
            std::free(block.second);
    }

    void* allocate(int, unsigned int size, const void*) override {
        void* base = nullptr;
        if (posix_memalign(&base, 64, offset + size + (size == 0 ? 1 : 0)) != 0)
            throw std::bad_alloc();
        void* const block = static_cast<char*>(base) + offset;
        bases_[block] = base;
        return block;
    }

    void deallocate(void* p) override {
        const auto found = bases_.find(p);
        if (found == bases_.end())
            return;
        std::free(found->second);
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

#if !defined(KEL_STD_TEST_HASH_PATHS)
// The library's hash of text (kel_std::hash of the text types): header code,
// the same in both builds of this file, so tested in one.

namespace {

// The hash written plainly from its definition: words assembled byte by
// byte, and the 128-bit product by schoolbook multiplication of 16-bit
// digits, so that neither the header's loads nor its products are reused.
std::uint64_t reference_fold(std::uint64_t a, std::uint64_t b) {
    std::uint64_t column[8] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            column[i + j] += ((a >> (16 * i)) & 0xFFFF) * ((b >> (16 * j)) & 0xFFFF);
    std::uint64_t digits[8];
    std::uint64_t carry = 0;
    for (int k = 0; k < 8; ++k) {
        const std::uint64_t sum = column[k] + carry;
        digits[k] = sum & 0xFFFF;
        carry = sum >> 16;
    }
    std::uint64_t low = 0, high = 0;
    for (int k = 3; k >= 0; --k) {
        low = low << 16 | digits[k];
        high = high << 16 | digits[k + 4];
    }
    return low ^ high;
}

std::uint64_t reference_word(const std::string& t, std::size_t at, std::size_t bytes) {
    std::uint64_t w = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        w |= static_cast<std::uint64_t>(static_cast<unsigned char>(t[at + i])) << (8 * i);
    return w;
}

std::uint64_t reference_text_hash(const std::string& t) {
    const std::uint64_t seed = 0xA54FF53A5F1D36F1ull, key = 0x3C6EF372FE94F82Bull, length_key = 0x510E527FADE682D1ull;
    const std::size_t n = t.size();
    std::uint64_t h = seed, a = 0, b = 0;
    if (n > 16) {
        for (std::size_t i = 0; i + 16 < n; i += 16)
            h = reference_fold(reference_word(t, i, 8) ^ key, reference_word(t, i + 8, 8) ^ h);
        a = reference_word(t, n - 16, 8);
        b = reference_word(t, n - 8, 8);
    } else if (n >= 8) {
        a = reference_word(t, 0, 8);
        b = reference_word(t, n - 8, 8);
    } else if (n >= 4) {
        a = reference_word(t, 0, 4);
        b = reference_word(t, n - 4, 4);
    } else if (n > 0) {
        a = reference_word(t, 0, 1) << 16 | reference_word(t, n / 2, 1) << 8 | reference_word(t, n - 1, 1);
    }
    return reference_fold(reference_fold(a ^ key, b ^ h), length_key ^ n);
}

// The first n bytes of a fixed text with a NUL at every fifth byte and
// bytes above 0x7F.
std::string fixed_text(std::size_t n) {
    std::string t(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        t[i] = static_cast<char>(i % 5 == 2 ? 0 : (i * 167 + 13) % 256);
    return t;
}

typedef std::basic_string<char, std::char_traits<char>, kel_std::allocator<char>> managed_std_string;

// Every way of hashing `text`, as the size_t value all of them must give.
::testing::AssertionResult all_text_types_agree(const std::string& text) {
    const std::size_t want = static_cast<std::size_t>(reference_text_hash(text));
    const kstring k = make(text);
    const std::size_t got[] = {
        kel_std::hash<kstring>()(k),
        kel_std::hash<kstring>()(text),
        kel_std::hash<kstring>()(std::string_view(text)),
        std::hash<kstring>()(k),
        kel_std::hash<std::string>()(text),
        kel_std::hash<std::string>()(k),
        kel_std::hash<std::string_view>()(std::string_view(text)),
        kel_std::hash<managed_std_string>()(managed_std_string(text.data(), text.size())),
        kel_std::detail::text_hash(text.data(), text.size()),
        static_cast<std::size_t>(kel_std::detail::text_hash64(text.data(), text.size())),
    };
    for (std::size_t i = 0; i < sizeof got / sizeof got[0]; ++i)
        if (got[i] != want)
            return ::testing::AssertionFailure() << "way " << i << " gives " << got[i] << ", the reference " << want
                                                 << ", for length " << text.size();
    if (text.find('\0') == std::string::npos && kel_std::hash<kstring>()(text.c_str()) != want)
        return ::testing::AssertionFailure() << "the C string gives another value, length " << text.size();
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(text_hash, fixed_values_on_every_platform) {
    // Pinned 64-bit values (where size_t has 32 bits, their low halves): any
    // change of value, on any platform, byte order or standard library,
    // fails here.
    const struct {
        std::string text;
        std::uint64_t value;
    } cases[] = {
        {fixed_text(0), 0x5e8347a2f2eddeeeull},
        {fixed_text(1), 0xee2ff96d50b17975ull},
        {fixed_text(2), 0x988abf5167bebd44ull},
        {fixed_text(3), 0x971825d0ca143f36ull},
        {fixed_text(4), 0xfa61af9e85ae98e9ull},
        {fixed_text(5), 0x53f2b6944ba52422ull},
        {fixed_text(6), 0xd3a23b88ea43095full},
        {fixed_text(7), 0x66b1e658947ac65aull},
        {fixed_text(8), 0x01c99e6d1e6f01f6ull},
        {fixed_text(9), 0xdc7e948e066a40b5ull},
        {fixed_text(10), 0x7082c68417966364ull},
        {fixed_text(11), 0x1ca63df2100119d2ull},
        {fixed_text(12), 0x262e5a34bbed041aull},
        {fixed_text(13), 0xb42546bf5455b762ull},
        {fixed_text(14), 0xd7501f1132946662ull},
        {fixed_text(15), 0x8be6d9b8dab0ed71ull},
        {fixed_text(16), 0x1c17eb51f9064439ull},
        {fixed_text(17), 0xeacc3bcd243d867bull},
        {fixed_text(24), 0xb160fd8c6471464full},
        {fixed_text(31), 0x7fe986f54718c0f6ull},
        {fixed_text(32), 0x5bd220a9555fc661ull},
        {fixed_text(33), 0xbd8690ec71336a30ull},
        {fixed_text(48), 0xe63c5340544330edull},
        {fixed_text(64), 0x6d5daa93a2f8b19bull},
        {fixed_text(100), 0x9ce5ab727c9c3244ull},
        {fixed_text(1000), 0x72ce333712d1de1full},
        {"a", 0x8945285c087d1e8cull},
        {"abc", 0x3c2515f46445bab1ull},
        {"key00001", 0xed85bd53083f44c3ull},
        {"https://example.org/item/0000001", 0xf5d36743b5165c17ull},
        {std::string("ab\0", 3), 0x4a3cdfc18955dadcull},
        {"\xFF", 0x2a804109e9a83f5full},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reference_text_hash(c.text), c.value) << "the test's reference, length " << c.text.size();
        EXPECT_EQ(kel_std::detail::text_hash64(c.text.data(), c.text.size()), c.value) << "length " << c.text.size();
        EXPECT_EQ(kel_std::hash<kstring>()(make(c.text)), static_cast<std::size_t>(c.value))
            << "length " << c.text.size();
    }
}

TEST(text_hash, every_text_type_gives_the_reference_value) {
    // Every length to 300 at every 64-byte alignment in turn, with the bytes
    // after the text poisoned (AddressSanitizer builds catch any read past
    // the end), NULs and high bytes inside; then NUL-free texts, which also
    // go through the C-string overload.
    std::mt19937 rng(20);
    offset_manager manager;
    for (std::size_t n = 0; n <= 300; ++n) {
        const std::string text = random_text(rng, n);
        manager.offset = n % 64;
        const placed_string placed(manager, text);
        ASSERT_EQ(kel_std::hash<kstring>()(placed.get()), static_cast<std::size_t>(reference_text_hash(text)))
            << "length " << n;
        ASSERT_TRUE(all_text_types_agree(text));
        std::string letters(n, 'a');
        for (char& c : letters)
            c = static_cast<char>(1 + rng() % 255);
        ASSERT_TRUE(all_text_types_agree(letters));
    }
    EXPECT_EQ(kel_std::hash<kstring>()(kstring()), kel_std::hash<std::string>()(""));
}

TEST(text_hash, portable_loads_and_products_match_the_fast_ones) {
    // Platforms without a 128-bit product or a known byte order take these.
    std::mt19937_64 rng(21);
    const std::uint64_t edges[] = {0, 1, 2, 0xFFFFFFFFull, 0x100000000ull, 0x8000000000000000ull, ~0ull, ~0ull - 1};
    for (std::uint64_t a : edges)
        for (std::uint64_t b : edges)
            ASSERT_EQ(kel_std::detail::text_fold_portable(a, b), reference_fold(a, b)) << a << " x " << b;
    unsigned char bytes[8];
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t a = rng(), b = rng() >> (i % 64);
        ASSERT_EQ(kel_std::detail::text_fold_portable(a, b), reference_fold(a, b)) << a << " x " << b;
        ASSERT_EQ(kel_std::detail::text_fold(a, b), reference_fold(a, b)) << a << " x " << b;
        std::memcpy(bytes, &a, sizeof bytes);
        ASSERT_EQ(kel_std::detail::text_word64_portable(bytes), kel_std::detail::text_word64(bytes));
        ASSERT_EQ(kel_std::detail::text_word32_portable(bytes), kel_std::detail::text_word32(bytes));
    }
}

TEST(text_hash, small_and_structured_key_sets_have_no_collision) {
    // All 65,793 texts of up to 2 bytes, every 3-byte text over 40
    // characters, decimal numbers (with and without leading zeros, which the
    // length alone tells apart) and texts that differ in one byte of a
    // 40-byte run: no two different texts share a 64-bit value.
    std::vector<std::pair<std::uint64_t, std::string>> hashed;
    const auto add = [&hashed](const std::string& t) {
        hashed.emplace_back(kel_std::detail::text_hash64(t.data(), t.size()), t);
    };
    add("");
    for (unsigned a = 0; a < 256; ++a) {
        add(std::string(1, static_cast<char>(a)));
        for (unsigned b = 0; b < 256; ++b)
            add(std::string{static_cast<char>(a), static_cast<char>(b)});
    }
    const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz\0\x7F\x80\xFF";
    for (unsigned i = 0; i < 40 * 40 * 40; ++i)
        add(std::string{alphabet[i % 40], alphabet[i / 40 % 40], alphabet[i / 1600]});
    char buffer[16];
    for (unsigned i = 0; i < 200000; ++i) {
        add(std::string(buffer, static_cast<std::size_t>(std::snprintf(buffer, sizeof buffer, "%u", i))));
        add(std::string(buffer, static_cast<std::size_t>(std::snprintf(buffer, sizeof buffer, "%07u", i))));
    }
    for (std::size_t at = 0; at < 40; ++at)
        for (unsigned v = 1; v < 256; ++v) {
            std::string run(40, '\0');
            run[at] = static_cast<char>(v);
            add(run);
        }
    std::sort(hashed.begin(), hashed.end());
    long collisions = 0;
    for (std::size_t i = 1; i < hashed.size(); ++i)
        if (hashed[i].first == hashed[i - 1].first && hashed[i].second != hashed[i - 1].second)
            ADD_FAILURE() << "collision #" << ++collisions << ": lengths " << hashed[i].second.size() << " and "
                          << hashed[i - 1].second.size();
    EXPECT_GT(hashed.size(), 500000u);
}
#endif

#if defined(KEL_STD_TEST_HASH_PATHS)
TEST(string_hash_paths, detection_agrees_with_the_compiler_runtime) {
    const string_hash_path detected = kel_std::detail::string_hash_detected_path();
    EXPECT_TRUE(kel_std::detail::string_hash_path_supported(string_hash_path::portable));
#if defined(__x86_64__) || defined(__i386__)
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
