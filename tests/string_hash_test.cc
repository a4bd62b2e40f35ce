// Tests of the three string hashers: the worked values, NULs and high bytes,
// moduli, the one value without an absolute value, and a randomized
// comparison with plain reference loops written here.
#include <kel_std/string_hash.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

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
        {"", 0, 0, 0},
        {"a", 97, 710, 15211},
        {"abc", 2043, 727548957, 46574},
        {"\xFF", 1, 612, 156},
        {"ab", 486, 811097, 25875},
        {std::string("ab\0", 3), 1944, 727548858, 25875},
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
}
