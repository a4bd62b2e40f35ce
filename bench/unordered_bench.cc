// Hashed containers: kel_std::unordered_map and unordered_set side by side
// with libstdc++'s std::unordered_map and std::unordered_set, in one run.
//
// Names are "<operation>_<keys>/<implementation>/<N>", with keys "int"
// (random 32-bit integers), "str8" and "str32" (random strings of 8 and 32
// letters) and "set_int" (a set of random integers). Times are per element
// operation. Implementations: "libstdc++" (std::unordered_map or
// std::unordered_set, std::string keys), "kel_std" (the kel_std container
// with the same keys, std::string for strings), and for strings
// "kel_string" (kel_std::unordered_map with kel_std::string keys of the same
// texts, hashed by kel_std::hash<kel_std::string>). Each container uses its
// default allocator (kel_std::allocator, which zero-fills every block, and
// std::allocator) and its default hash: for int keys both use std::hash,
// for strings kel_std::hash is the library's hash of text and libstdc++'s
// std::hash its own.
//
// The iteration benchmark also reports the heap bytes per element of the
// built container (glibc's mallinfo2: block sizes with malloc's own
// overhead, bucket arrays included).
#include <kel_std/basic_string.h>
#include <kel_std/hash.h>
#include <kel_std/unordered_map.h>
#include <kel_std/unordered_set.h>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Random distinct keys of each kind: `present` are inserted, `absent` are
// never in the container.
template <class Key>
struct key_sets {
    std::vector<Key> present;
    std::vector<Key> absent;
};

std::string random_word(std::mt19937_64& rng, std::size_t length) {
    std::string s(length, 'a');
    for (char& c : s)
        c = static_cast<char>('a' + rng() % 26);
    return s;
}

template <class Key>
Key make_key(std::mt19937_64& rng, std::size_t length);
template <>
int make_key<int>(std::mt19937_64& rng, std::size_t) {
    return static_cast<int>(static_cast<std::uint32_t>(rng()));
}
template <>
std::string make_key<std::string>(std::mt19937_64& rng, std::size_t length) {
    return random_word(rng, length);
}

template <>
kel_std::string make_key<kel_std::string>(std::mt19937_64& rng, std::size_t length) {
    const std::string s = random_word(rng, length);
    return kel_std::string(s.data(), static_cast<unsigned int>(s.size()));
}

template <class Key, std::size_t Length>
const key_sets<Key>& keys(std::size_t n) {
    static std::map<std::size_t, key_sets<Key>> cache;
    auto it = cache.find(n);
    if (it != cache.end())
        return it->second;
    std::mt19937_64 rng(n * 7919 + Length);
    std::vector<Key> all;
    all.reserve(2 * n);
    std::unordered_set<Key> seen;
    while (all.size() < 2 * n) {
        Key k = make_key<Key>(rng, Length);
        if (seen.insert(k).second)
            all.push_back(k);
    }
    key_sets<Key> ks;
    ks.present.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
    ks.absent.assign(all.begin() + static_cast<std::ptrdiff_t>(n), all.end());
    return cache.emplace(n, std::move(ks)).first->second;
}

// Inserting a key into a map or a set.
template <class K, class T, class H, class E, class A>
void put(std::unordered_map<K, T, H, E, A>& c, const K& k) {
    c.emplace(k, 1);
}
template <class K, class T, class H, class E, class A>
void put(kel_std::unordered_map<K, T, H, E, A>& c, const K& k) {
    c.emplace(k, 1);
}
template <class C, class K>
void put(C& c, const K& k) {
    c.insert(k);
}

template <class K>
long weigh(const K& k) {
    return static_cast<long>(k);
}
long weigh(const std::string& s) {
    return static_cast<long>(s.size());
}
long weigh(const kel_std::string& s) {
    return static_cast<long>(s.size());
}
template <class K, class T>
long weigh(const std::pair<const K, T>& p) {
    return weigh(p.first) + static_cast<long>(p.second);
}

template <class C, class Key, std::size_t Length>
C* build(std::size_t n) {
    C* c = new C;
    for (const Key& k : keys<Key, Length>(n).present)
        put(*c, k);
    return c;
}

template <class C, class Key, std::size_t Length, bool Reserve>
void insert(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::vector<Key>& ks = keys<Key, Length>(n).present;
    for (auto _ : state) {
        std::unique_ptr<C> c(new C);
        if (Reserve)
            c->reserve(n);
        for (const Key& k : ks)
            put(*c, k);
        benchmark::DoNotOptimize(c->size());
        state.PauseTiming();
        c.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class C, class Key, std::size_t Length, bool Hit>
void lookup(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    std::unique_ptr<C> c(build<C, Key, Length>(n));
    std::vector<Key> probe = Hit ? keys<Key, Length>(n).present : keys<Key, Length>(n).absent;
    std::shuffle(probe.begin(), probe.end(), std::mt19937_64(n));
    for (auto _ : state) {
        std::size_t found = 0;
        for (const Key& k : probe)
            found += c->find(k) != c->end() ? 1 : 0;
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class C, class Key, std::size_t Length>
void erase(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    std::vector<Key> order = keys<Key, Length>(n).present;
    std::shuffle(order.begin(), order.end(), std::mt19937_64(n + 1));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<C> c(build<C, Key, Length>(n));
        state.ResumeTiming();
        for (const Key& k : order)
            c->erase(k);
        benchmark::DoNotOptimize(c->size());
        state.PauseTiming();
        c.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class C, class Key, std::size_t Length>
void iterate(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::size_t before = mallinfo2().uordblks;
    std::unique_ptr<C> c(build<C, Key, Length>(n));
    const std::size_t after = mallinfo2().uordblks;
    for (auto _ : state) {
        long sum = 0;
        for (const auto& v : *c)
            sum += weigh(v);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes_per_element"] = static_cast<double>(after - before) / static_cast<double>(n);
}

typedef kel_std::unordered_map<int, int> kel_int;
typedef std::unordered_map<int, int> std_int;
typedef kel_std::unordered_map<std::string, int> kel_str;
typedef std::unordered_map<std::string, int> std_str;
typedef kel_std::unordered_map<kel_std::string, int> kel_kstr;
typedef kel_std::unordered_set<int> kel_set;
typedef std::unordered_set<int> std_set;

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000);
}

#define KEL_HASH_KEYS(keys_name, kel_type, std_type, Key, Length)                                                      \
    BENCHMARK_TEMPLATE(insert, kel_type, Key, Length, false)->Name("insert_" keys_name "/kel_std")->Apply(sizes);      \
    BENCHMARK_TEMPLATE(insert, std_type, Key, Length, false)->Name("insert_" keys_name "/libstdc++")->Apply(sizes);    \
    BENCHMARK_TEMPLATE(insert, kel_type, Key, Length, true)                                                            \
        ->Name("insert_reserved_" keys_name "/kel_std")                                                                \
        ->Apply(sizes);                                                                                                \
    BENCHMARK_TEMPLATE(insert, std_type, Key, Length, true)                                                            \
        ->Name("insert_reserved_" keys_name "/libstdc++")                                                              \
        ->Apply(sizes);                                                                                                \
    BENCHMARK_TEMPLATE(lookup, kel_type, Key, Length, true)->Name("lookup_hit_" keys_name "/kel_std")->Apply(sizes);   \
    BENCHMARK_TEMPLATE(lookup, std_type, Key, Length, true)->Name("lookup_hit_" keys_name "/libstdc++")->Apply(sizes); \
    BENCHMARK_TEMPLATE(lookup, kel_type, Key, Length, false)->Name("lookup_miss_" keys_name "/kel_std")->Apply(sizes); \
    BENCHMARK_TEMPLATE(lookup, std_type, Key, Length, false)                                                           \
        ->Name("lookup_miss_" keys_name "/libstdc++")                                                                  \
        ->Apply(sizes);                                                                                                \
    BENCHMARK_TEMPLATE(erase, kel_type, Key, Length)->Name("erase_" keys_name "/kel_std")->Apply(sizes);               \
    BENCHMARK_TEMPLATE(erase, std_type, Key, Length)->Name("erase_" keys_name "/libstdc++")->Apply(sizes);             \
    BENCHMARK_TEMPLATE(iterate, kel_type, Key, Length)->Name("iterate_" keys_name "/kel_std")->Apply(sizes);           \
    BENCHMARK_TEMPLATE(iterate, std_type, Key, Length)->Name("iterate_" keys_name "/libstdc++")->Apply(sizes)

// The kel_std container with kel_std::string keys, beside the rows above.
#define KEL_HASH_KSTR(keys_name, Length)                                                                               \
    BENCHMARK_TEMPLATE(insert, kel_kstr, kel_std::string, Length, false)                                               \
        ->Name("insert_" keys_name "/kel_string")                                                                      \
        ->Apply(sizes);                                                                                                \
    BENCHMARK_TEMPLATE(insert, kel_kstr, kel_std::string, Length, true)                                                \
        ->Name("insert_reserved_" keys_name "/kel_string")                                                             \
        ->Apply(sizes);                                                                                                \
    BENCHMARK_TEMPLATE(lookup, kel_kstr, kel_std::string, Length, true)                                                \
        ->Name("lookup_hit_" keys_name "/kel_string")                                                                  \
        ->Apply(sizes);                                                                                                \
    BENCHMARK_TEMPLATE(lookup, kel_kstr, kel_std::string, Length, false)                                               \
        ->Name("lookup_miss_" keys_name "/kel_string")                                                                 \
        ->Apply(sizes);                                                                                                \
    BENCHMARK_TEMPLATE(erase, kel_kstr, kel_std::string, Length)                                                       \
        ->Name("erase_" keys_name "/kel_string")                                                                       \
        ->Apply(sizes);                                                                                                \
    BENCHMARK_TEMPLATE(iterate, kel_kstr, kel_std::string, Length)                                                     \
        ->Name("iterate_" keys_name "/kel_string")                                                                     \
        ->Apply(sizes)

KEL_HASH_KEYS("int", kel_int, std_int, int, 0);
KEL_HASH_KEYS("str8", kel_str, std_str, std::string, 8);
KEL_HASH_KEYS("str32", kel_str, std_str, std::string, 32);
KEL_HASH_KEYS("set_int", kel_set, std_set, int, 0);
KEL_HASH_KSTR("str8", 8);
KEL_HASH_KSTR("str32", 32);

} // namespace

BENCHMARK_MAIN();
