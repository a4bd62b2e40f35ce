// String keys in the hashed maps, side by side in one run:
// kel_std::unordered_map<kel_std::string, int> (kel_std::hash, the library's
// hash of text) and std::unordered_map<std::string, int> (std::hash), on
// their default allocators and on pools.
//
// Names are "<operation>_str<L>/<implementation>/<N>" for keys of L random
// letters (8 or 32) in a map of N of them, and "hash/<implementation>/<L>"
// for the hash alone on a key of L bytes. Implementations:
//   libstdc++                 std::unordered_map<std::string, int>,
//                             std::allocator
//   kel_string                kel_std::unordered_map<kel_std::string, int>,
//                             kel_std::allocator on the global heap
//   kel_string+pool_manager   the same, with the nodes and the keys' buffers
//                             from one kel_std::pool_manager per map
//   libstdc++ pmr_pool        std::pmr::unordered_map<std::pmr::string, int>
//                             on one std::pmr::unsynchronized_pool_resource
//                             per map (keys of 16 characters and more take
//                             their buffers from it too)
// Operations, timed per element: lookup_hit and lookup_miss (every present or
// absent key, in random order), insert (N keys into an empty map), erase
// (every key, in random order, from a full map).
//
//   bench/peer_ratios.py result.json kel_string libstdc++
//   bench/peer_ratios.py result.json kel_string+pool_manager libstdc++ 'libstdc++ pmr_pool'
#include <kel_std/basic_string.h>
#include <kel_std/hash.h>
#include <kel_std/memory_managers.h>
#include <kel_std/unordered_map.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <memory_resource>
#include <random>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Distinct texts of `length` random letters: `present` are inserted,
// `absent` never are.
struct texts {
    std::vector<std::string> present, absent;
};

const texts& texts_for(std::size_t n, std::size_t length) {
    static std::map<std::pair<std::size_t, std::size_t>, texts> cache;
    const auto key = std::make_pair(n, length);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    std::mt19937_64 rng(n * 7919 + length);
    std::unordered_set<std::string> seen;
    std::vector<std::string> all;
    while (all.size() < 2 * n) {
        std::string s(length, 'a');
        for (char& c : s)
            c = static_cast<char>('a' + rng() % 26);
        if (seen.insert(s).second)
            all.push_back(s);
    }
    texts t;
    t.present.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
    t.absent.assign(all.begin() + static_cast<std::ptrdiff_t>(n), all.end());
    return cache.emplace(key, std::move(t)).first->second;
}

// A map and where its memory comes from; keys are the map's key type on the
// global heap (lookups and erasure use them as they are, insertion copies
// them into the map's memory).
struct std_heap {
    typedef std::string key;
    typedef std::unordered_map<key, int> map;
    struct memory {};
    static map make(memory&) { return map(); }
    static void put(map& m, const key& k) { m.emplace(k, 1); }
};

struct kel_heap {
    typedef kel_std::string key;
    typedef kel_std::unordered_map<key, int> map;
    struct memory {};
    static map make(memory&) { return map(); }
    static void put(map& m, const key& k) { m.emplace(k, 1); }
};

struct kel_pool {
    typedef kel_std::string key;
    typedef kel_std::unordered_map<key, int, kel_std::hash<key>, std::equal_to<key>,
                                   kel_std::allocator<std::pair<const key, int>>>
        map;
    typedef kel_std::pool_manager memory;
    static map make(memory& pool) { return map(0, map::hasher(), map::key_equal(), map::allocator_type(&pool)); }
    // The key's buffer from the map's pool too (a copy would keep the
    // source's allocator).
    static void put(map& m, const key& k) {
        m.emplace(std::piecewise_construct,
                  std::forward_as_tuple(k.c_str(), k.length, kel_std::allocator<char>(m.get_allocator())),
                  std::forward_as_tuple(1));
    }
};

struct std_pmr_pool {
    typedef std::pmr::string key;
    typedef std::pmr::unordered_map<key, int> map;
    typedef std::pmr::unsynchronized_pool_resource memory;
    static map make(memory& pool) { return map(&pool); }
    // The polymorphic allocator gives the copied key the map's resource.
    static void put(map& m, const key& k) { m.emplace(k, 1); }
};

template <class P>
typename P::key make_key(const std::string& text) {
    return typename P::key(text.data(), text.size());
}
template <>
kel_std::string make_key<kel_heap>(const std::string& text) {
    return kel_std::string(text.data(), static_cast<unsigned int>(text.size()));
}
template <>
kel_std::string make_key<kel_pool>(const std::string& text) {
    return make_key<kel_heap>(text);
}

template <class P>
std::vector<typename P::key> keys_of(const std::vector<std::string>& texts, std::uint64_t shuffle_seed) {
    std::vector<typename P::key> keys;
    for (const std::string& t : texts)
        keys.push_back(make_key<P>(t));
    if (shuffle_seed != 0)
        std::shuffle(keys.begin(), keys.end(), std::mt19937_64(shuffle_seed));
    return keys;
}

// A map with its memory, which outlives it.
template <class P>
struct instance {
    typename P::memory memory;
    typename P::map map;
    instance() : memory(), map(P::make(memory)) {}
};

template <class P>
std::unique_ptr<instance<P>> build(const std::vector<typename P::key>& keys) {
    std::unique_ptr<instance<P>> c(new instance<P>);
    for (const typename P::key& k : keys)
        P::put(c->map, k);
    return c;
}

template <class P, std::size_t Length, bool Hit>
void lookup(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const texts& t = texts_for(n, Length);
    const std::unique_ptr<instance<P>> c = build<P>(keys_of<P>(t.present, 0));
    const std::vector<typename P::key> probe = keys_of<P>(Hit ? t.present : t.absent, n);
    for (auto _ : state) {
        std::size_t found = 0;
        for (const typename P::key& k : probe)
            found += c->map.find(k) != c->map.end() ? 1 : 0;
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class P, std::size_t Length>
void insert(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::vector<typename P::key> keys = keys_of<P>(texts_for(n, Length).present, 0);
    for (auto _ : state) {
        std::unique_ptr<instance<P>> c(new instance<P>);
        for (const typename P::key& k : keys)
            P::put(c->map, k);
        benchmark::DoNotOptimize(c->map.size());
        state.PauseTiming();
        c.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class P, std::size_t Length>
void erase(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const texts& t = texts_for(n, Length);
    const std::vector<typename P::key> keys = keys_of<P>(t.present, 0);
    const std::vector<typename P::key> order = keys_of<P>(t.present, n + 1);
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<instance<P>> c = build<P>(keys);
        state.ResumeTiming();
        for (const typename P::key& k : order)
            c->map.erase(k);
        benchmark::DoNotOptimize(c->map.size());
        state.PauseTiming();
        c.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The hash alone, over 64 different keys of one length (so that the loads
// and branches are not the same every call).
template <class P>
void hash(benchmark::State& state) {
    const std::size_t length = static_cast<std::size_t>(state.range(0));
    std::mt19937_64 rng(length);
    std::vector<typename P::key> keys;
    for (int i = 0; i < 64; ++i) {
        std::string s(length, 'a');
        for (char& c : s)
            c = static_cast<char>('a' + rng() % 26);
        keys.push_back(make_key<P>(s));
    }
    const typename P::map::hasher h;
    for (auto _ : state) {
        std::size_t sum = 0;
        for (const typename P::key& k : keys)
            sum += h(k);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 64);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000);
}

#define KEL_STRING_KEYS(P, impl, Length)                                                                               \
    BENCHMARK_TEMPLATE(lookup, P, Length, true)->Name("lookup_hit_str" #Length "/" impl)->Apply(sizes);                \
    BENCHMARK_TEMPLATE(lookup, P, Length, false)->Name("lookup_miss_str" #Length "/" impl)->Apply(sizes);              \
    BENCHMARK_TEMPLATE(insert, P, Length)->Name("insert_str" #Length "/" impl)->Apply(sizes);                          \
    BENCHMARK_TEMPLATE(erase, P, Length)->Name("erase_str" #Length "/" impl)->Apply(sizes)

KEL_STRING_KEYS(std_heap, "libstdc++", 8);
KEL_STRING_KEYS(kel_heap, "kel_string", 8);
KEL_STRING_KEYS(kel_pool, "kel_string+pool_manager", 8);
KEL_STRING_KEYS(std_pmr_pool, "libstdc++ pmr_pool", 8);
KEL_STRING_KEYS(std_heap, "libstdc++", 32);
KEL_STRING_KEYS(kel_heap, "kel_string", 32);
KEL_STRING_KEYS(kel_pool, "kel_string+pool_manager", 32);
KEL_STRING_KEYS(std_pmr_pool, "libstdc++ pmr_pool", 32);

BENCHMARK_TEMPLATE(hash, std_heap)->Name("hash/libstdc++")->Arg(0)->Arg(3)->Arg(8)->Arg(16)->Arg(32)->Arg(100);
BENCHMARK_TEMPLATE(hash, kel_heap)->Name("hash/kel_string")->Arg(0)->Arg(3)->Arg(8)->Arg(16)->Arg(32)->Arg(100);

} // namespace

BENCHMARK_MAIN();
