// The three string hashers against plain reference loops, on any bytes
// (NULs and bytes with the top bit set included) and any non-zero modulus.
#include <kel_std/string_hash.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

typedef kel_std::string kstring;

namespace {

void require(bool ok, const char* what, const std::string& input) {
    if (!ok) {
        std::fprintf(stderr, "hashers fuzzer: %s (input of %zu bytes)\n", what, input.size());
        std::abort();
    }
}

// |h| for a signed 32-bit value, where -2147483648 has no counterpart and
// saturates to 2147483647.
std::int32_t magnitude(std::int32_t h) {
    return h >= 0 ? h : h == INT_MIN ? INT_MAX : -h;
}

// The loops of the three hash functions, in 32-bit wrapping arithmetic on
// characters taken as signed 8-bit values.
std::int32_t loop1(const std::string& s) {
    std::uint32_t h = 0;
    for (char c : s)
        h = h * 4u + static_cast<std::uint32_t>(static_cast<std::int8_t>(c));
    return static_cast<std::int32_t>(h);
}

std::int32_t loop2(const std::string& s) {
    std::uint32_t h = static_cast<std::uint32_t>(s.size());
    for (char c : s)
        h = h * 613u + static_cast<std::uint32_t>(static_cast<std::int8_t>(c));
    return static_cast<std::int32_t>(h);
}

std::int32_t loop3(const std::string& s) {
    std::uint32_t h = static_cast<std::uint32_t>(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        h ^= static_cast<std::uint32_t>(static_cast<std::int8_t>(s[i])) << ((i + 8) % 32);
    return static_cast<std::int32_t>(h);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int modulus = in.ConsumeIntegral<int>();
    if (modulus == 0)
        modulus = 1073741827;
    const bool bufferless = in.ConsumeBool();
    const std::string text = in.ConsumeRemainingBytesAsString();
    const kstring s =
        bufferless && text.empty() ? kstring() : kstring(text.data(), static_cast<unsigned int>(text.size()));

    // The single-precision value nearest 0.61254233, as a double.
    const double scale = 0x1.399f26p-1;
    const int expected3 = static_cast<int>(static_cast<double>(magnitude(loop3(text))) * scale);
    const int default_modulus = 1073741827;

    require(kel_std::kel_string_hasher1(modulus)(s) == magnitude(loop1(text)) % modulus, "hasher 1", text);
    require(kel_std::kel_string_hasher2(modulus)(s) == magnitude(loop2(text)) % modulus, "hasher 2", text);
    require(kel_std::kel_string_hasher3(modulus)(s) == expected3, "hasher 3", text);
    require(kel_std::kel_string_hasher1()(s) == magnitude(loop1(text)) % default_modulus, "default hasher 1", text);
    require(kel_std::kel_string_hasher2()(s) == magnitude(loop2(text)) % default_modulus, "default hasher 2", text);
    require(kel_std::kel_string_hasher3()(s) == expected3, "default hasher 3", text);
    return 0;
}
