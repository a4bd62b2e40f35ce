// Tree benchmarks: libkel_std's tree functions side by side with libstdc++'s
// own exported red-black primitives and Boost.Intrusive's rbtree algorithms.
//
// One harness does the container's part for all of them (descending from the
// root comparing int keys, owning the nodes); each implementation is a small
// policy that only says how to reach a node's links and which library call
// links, unlinks or steps. Node records have the same size (three pointers, a
// colour word and the key) and come from one array per run, so memory layout
// is the same for every peer.
#include "tree_policies.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

namespace {

using kel_bench::ascending_keys;
#if defined(KEL_STD_BENCH_HAVE_BOOST)
using kel_bench::boost_policy;
#endif
using kel_bench::harness;
using kel_bench::kel_policy;
using kel_bench::shuffled_keys;
using kel_bench::std_policy;

// Builds the whole tree from empty on every iteration, keys in random or in
// ascending order (each new key then hangs to the right of the last node).
template <class Policy, bool Ascending>
void insert_keys(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    harness<Policy> h(Ascending ? ascending_keys(n) : shuffled_keys(n, 1));
    for (auto _ : state) {
        h.tree.clear();
        h.insert_all();
        benchmark::DoNotOptimize(h.tree.root());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Policy>
void erase_random(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    harness<Policy> h(shuffled_keys(n, 2));
    const std::vector<int> order = shuffled_keys(n, 3);
    for (auto _ : state) {
        state.PauseTiming();
        h.tree.clear();
        h.insert_all();
        state.ResumeTiming();
        for (int i : order)
            h.tree.erase(h.nodes[static_cast<std::size_t>(i)]);
        benchmark::DoNotOptimize(h.tree.root());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Policy>
void walk_both_ways(benchmark::State& state) {
    harness<Policy> h(shuffled_keys(static_cast<std::size_t>(state.range(0)), 4));
    h.insert_all();
    for (auto _ : state) {
        long sum = 0;
        for (typename Policy::link_ptr p = h.tree.first(); p != h.tree.head(); p = h.tree.next(p))
            sum += Policy::key(p);
        for (typename Policy::link_ptr p = h.tree.last(); p != h.tree.first(); p = h.tree.prev(p))
            sum -= Policy::key(p);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}

// A warm, cache-resident tree of 1024 nodes and a random order of its keys.
template <class Policy>
struct warm_tree {
    static const std::size_t size = 1024; // a power of two: the order wraps with a mask
    harness<Policy> h{shuffled_keys(size, 5)};
    const std::vector<int> order = shuffled_keys(size, 6);
    warm_tree() { h.insert_all(); }
};

// The rebalancing on the warm tree: each step erases one node and links it
// again where the descent puts it.
template <class Policy>
void erase_insert_warm(benchmark::State& state) {
    warm_tree<Policy> w;
    std::size_t i = 0;
    for (auto _ : state) {
        typename Policy::node& victim = w.h.nodes[static_cast<std::size_t>(w.order[i])];
        w.h.tree.erase(victim);
        w.h.insert(victim);
        i = (i + 1) & (warm_tree<Policy>::size - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

// The container's descent alone on the same tree: subtracting it from
// erase_insert_warm leaves the library's share.
template <class Policy>
void descent_warm(benchmark::State& state) {
    warm_tree<Policy> w;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(w.h.descend(w.order[i]));
        i = (i + 1) & (warm_tree<Policy>::size - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000);
}

#define KEL_TREE_BENCH(policy, name)                                                                                   \
    BENCHMARK_TEMPLATE(insert_keys, policy, false)->Name("insert_random/" name)->Apply(sizes);                         \
    BENCHMARK_TEMPLATE(insert_keys, policy, true)->Name("insert_ascending/" name)->Apply(sizes);                       \
    BENCHMARK_TEMPLATE(erase_random, policy)->Name("erase_random/" name)->Apply(sizes);                                \
    BENCHMARK_TEMPLATE(walk_both_ways, policy)->Name("walk_both_ways/" name)->Apply(sizes);                            \
    BENCHMARK_TEMPLATE(erase_insert_warm, policy)->Name("erase_insert_warm/" name);                                    \
    BENCHMARK_TEMPLATE(descent_warm, policy)->Name("descent_warm/" name)

KEL_TREE_BENCH(kel_policy, "kel_std");
KEL_TREE_BENCH(std_policy, "libstdc++");
#if defined(KEL_STD_BENCH_HAVE_BOOST)
KEL_TREE_BENCH(boost_policy, "boost");
#endif

} // namespace

BENCHMARK_MAIN();
