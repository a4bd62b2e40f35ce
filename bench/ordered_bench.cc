// Ordered containers: kel_std::map beside std::map (libstdc++), both with
// their default allocators, int keys and values, in the same run.
//
// Keys are the even numbers below 2N in a random order, so that the odd ones
// miss. Every timed loop does N element operations; building and destroying
// a container that an operation only needs as its starting point happens
// with the clock stopped.
#include <kel_std/map.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

std::vector<int> even_keys(std::size_t n, unsigned seed) {
    std::vector<int> keys(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = static_cast<int>(2 * i);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
    return keys;
}

template <class Map>
Map filled(const std::vector<int>& keys) {
    Map m;
    for (int k : keys)
        m.emplace(k, k);
    return m;
}

// Runs `op` on a fresh container per iteration; `make` builds the starting
// point and the container is destroyed with the clock stopped.
template <class Map, class Make, class Op>
void fresh_each_time(benchmark::State& state, Make make, Op op) {
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Map> m(new Map(make()));
        state.ResumeTiming();
        op(*m);
        benchmark::DoNotOptimize(m->size());
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Map>
void insert_random(benchmark::State& state) {
    const std::vector<int> keys = even_keys(static_cast<std::size_t>(state.range(0)), 1);
    fresh_each_time<Map>(
        state, [] { return Map(); },
        [&](Map& m) {
            for (int k : keys)
                m.emplace(k, k);
        });
}

template <class Map>
void insert_sorted_hint(benchmark::State& state) {
    std::vector<int> keys = even_keys(static_cast<std::size_t>(state.range(0)), 1);
    std::sort(keys.begin(), keys.end());
    fresh_each_time<Map>(
        state, [] { return Map(); },
        [&](Map& m) {
            for (int k : keys)
                m.emplace_hint(m.end(), k, k);
        });
}

template <class Map>
void erase_key(benchmark::State& state) {
    const std::vector<int> keys = even_keys(static_cast<std::size_t>(state.range(0)), 1);
    const std::vector<int> order = even_keys(keys.size(), 2);
    fresh_each_time<Map>(
        state, [&] { return filled<Map>(keys); },
        [&](Map& m) {
            for (int k : order)
                m.erase(k);
        });
}

template <class Map>
void copy(benchmark::State& state) {
    const Map source = filled<Map>(even_keys(static_cast<std::size_t>(state.range(0)), 1));
    for (auto _ : state) {
        std::unique_ptr<Map> m(new Map(source));
        benchmark::DoNotOptimize(m->size());
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Lookups of every key in another random order: hits, or the odd key just
// above each (misses).
template <class Map, int Offset>
void find(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const Map m = filled<Map>(even_keys(n, 1));
    std::vector<int> probes = even_keys(n, 3);
    for (int& k : probes)
        k += Offset;
    for (auto _ : state) {
        long found = 0;
        for (int k : probes)
            found += m.find(k) != m.end();
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Map>
void iterate(benchmark::State& state) {
    const Map m = filled<Map>(even_keys(static_cast<std::size_t>(state.range(0)), 1));
    for (auto _ : state) {
        long sum = 0;
        for (const auto& kv : m)
            sum += kv.second;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000);
}

typedef kel_std::map<int, int> kel_map;
typedef std::map<int, int> std_map;

#define KEL_ORDERED_BENCH(map, name)                                                                                   \
    BENCHMARK_TEMPLATE(insert_random, map)->Name("insert_random/" name)->Apply(sizes);                                 \
    BENCHMARK_TEMPLATE(insert_sorted_hint, map)->Name("insert_sorted_hint/" name)->Apply(sizes);                       \
    BENCHMARK_TEMPLATE(find, map, 0)->Name("find_hit/" name)->Apply(sizes);                                            \
    BENCHMARK_TEMPLATE(find, map, 1)->Name("find_miss/" name)->Apply(sizes);                                           \
    BENCHMARK_TEMPLATE(erase_key, map)->Name("erase_key/" name)->Apply(sizes);                                         \
    BENCHMARK_TEMPLATE(iterate, map)->Name("iterate/" name)->Apply(sizes);                                             \
    BENCHMARK_TEMPLATE(copy, map)->Name("copy/" name)->Apply(sizes)

KEL_ORDERED_BENCH(kel_map, "kel_std");
KEL_ORDERED_BENCH(std_map, "libstdc++");

} // namespace

BENCHMARK_MAIN();
