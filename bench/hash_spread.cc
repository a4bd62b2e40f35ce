// How well the string hashes spread keys: the library's three hashers, its
// own hash of text behind kel_std::hash<kel_std::string> (and its low 32
// bits, all that platforms with a 32-bit size_t keep), and
// std::hash<std::string_view> for reference.
//
// For each key set (100,000 keys each) and hasher it prints:
// - distinct: the share of keys whose hash value no other key has, and
//   (shared) the number of keys that share their value. A value two keys
//   share stays shared whatever a container does with it, so this is what
//   no mixing can repair;
// - raw 2^17 and raw prime: the mean number of keys in a key's own bucket
//   (sum of squared bucket sizes over keys) for 131072 buckets chosen by the
//   low bits of the value, and for 131071 (a prime) buckets chosen by the
//   remainder, as containers that do not mix would; 1 + keys/buckets = 1.76
//   is what uniformly random values give;
// - mixed 2^17: the same after the 64-bit finaliser of MurmurHash3, as the
//   library's hashed containers mix every value before they choose a bucket
//   (except the values of hashes that mix their own, such as
//   kel_std::hash's: for those, raw 2^17 is what the containers see).
//
//   hash_spread            prints the table (bench/CMakeLists.txt: target hash_spread)
#include <kel_std/hash.h>
#include <kel_std/string_hash.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

typedef std::vector<std::string> key_set;

std::string random_text(std::mt19937& rng, std::size_t n, const char* alphabet, unsigned size) {
    std::string s(n, ' ');
    for (char& c : s)
        c = alphabet[rng() % size];
    return s;
}

std::string printed(const char* format, unsigned i) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, i);
    return buffer;
}

std::vector<std::pair<const char*, key_set>> key_sets() {
    const unsigned n = 100000;
    const char* const letters = "abcdefghijklmnopqrstuvwxyz";
    const char* const alnum = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::mt19937 rng(12);
    std::vector<std::pair<const char*, key_set>> sets(7);
    sets[0].first = "random letters, 8";
    sets[1].first = "random alphanumerics, 32";
    sets[2].first = "counter \"key%05u\", 8";
    sets[3].first = "decimal numbers 0..99999";
    sets[4].first = "id in front, same 23-char tail, 32";
    sets[5].first = "same 24-char head, id at the end, 32";
    sets[6].first = "letters at 0 and 32, number at 16, 40";
    for (unsigned i = 0; i < n; ++i) {
        sets[0].second.push_back(random_text(rng, 8, letters, 26));
        sets[1].second.push_back(random_text(rng, 32, alnum, 62));
        sets[2].second.push_back(printed("key%05u", i));
        sets[3].second.push_back(printed("%u", i));
        sets[4].second.push_back(printed("%08u", i) + "-/home/user/data/file.t");
        sets[5].second.push_back("https://example.org/item/" + printed("%07u", i));
        std::string two(40, '.');
        two[0] = letters[i % 26];
        two[32] = letters[i / 26 % 26];
        const std::string rest = printed("%03u", i / 676);
        two.replace(16, 3, rest);
        sets[6].second.push_back(two);
    }
    return sets;
}

std::uint64_t fmix64(std::uint64_t k) {
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdULL;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ULL;
    k ^= k >> 33;
    return k;
}

struct spread {
    double distinct, raw_pow2, raw_prime, mixed_pow2;
    std::size_t shared;
};

double mean_bucket_load(const std::vector<std::uint64_t>& values, std::uint64_t buckets, bool mask, bool mix) {
    std::vector<unsigned> counts(buckets, 0);
    for (std::uint64_t v : values) {
        const std::uint64_t h = mix ? fmix64(v) : v;
        ++counts[mask ? (h & (buckets - 1)) : h % buckets];
    }
    double sum = 0;
    for (unsigned c : counts)
        sum += static_cast<double>(c) * c;
    return sum / static_cast<double>(values.size());
}

spread measure(const std::vector<std::uint64_t>& values) {
    std::unordered_map<std::uint64_t, unsigned> seen;
    for (std::uint64_t v : values)
        ++seen[v];
    std::size_t alone = 0;
    for (const auto& entry : seen)
        if (entry.second == 1)
            ++alone;
    spread s;
    s.distinct = static_cast<double>(alone) / static_cast<double>(values.size());
    s.shared = values.size() - alone;
    s.raw_pow2 = mean_bucket_load(values, 131072, true, false);
    s.raw_prime = mean_bucket_load(values, 131071, false, false);
    s.mixed_pow2 = mean_bucket_load(values, 131072, true, true);
    return s;
}

} // namespace

int main() {
    const kel_std::kel_string_hasher1 h1;
    const kel_std::kel_string_hasher2 h2;
    const kel_std::kel_string_hasher3 h3;
    const kel_std::hash<kel_std::string> own;
    const std::hash<std::string_view> reference;
    std::printf("| keys | hasher | distinct | shared | raw 2^17 | raw prime | mixed 2^17 |\n"
                "|---|---|---:|---:|---:|---:|---:|\n");
    for (const auto& set : key_sets()) {
        std::vector<std::uint64_t> values[6];
        for (const std::string& key : set.second) {
            const kel_std::string k(key.data(), static_cast<unsigned>(key.size()));
            values[0].push_back(static_cast<std::uint32_t>(h1(k)));
            values[1].push_back(static_cast<std::uint32_t>(h2(k)));
            values[2].push_back(static_cast<std::uint32_t>(h3(k)));
            values[3].push_back(own(k));
            values[4].push_back(static_cast<std::uint32_t>(own(k)));
            values[5].push_back(reference(key));
        }
        const char* const names[6] = {"hasher 1", "hasher 2", "hasher 3", "kel_std::hash", "kel_std::hash, low 32 bits",
                                      "std::hash"};
        for (int i = 0; i < 6; ++i) {
            const spread s = measure(values[i]);
            std::printf("| %s | %s | %.4f | %zu | %.2f | %.2f | %.2f |\n", set.first, names[i], s.distinct, s.shared,
                        s.raw_pow2, s.raw_prime, s.mixed_pow2);
        }
    }
}
