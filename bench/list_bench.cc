// Lists: kel_std::list beside std::list, and kel_std::forward_list beside
// std::forward_list (libstdc++), int elements, in the same run. A third
// row, "kel_std_std_alloc", is kel_std::list on std::allocator: beside the
// "kel_std" row (kel_std::allocator, which zero-fills each node) it shows
// what the fill costs.
//
// Every timed loop does N element operations; building and destroying a
// list that an operation only needs as its starting point happens with the
// clock stopped. Run with --benchmark_enable_random_interleaving=true so
// that the repetitions of the peers alternate in time. Each operation is a function of its own whose name starts
// with "measured_", so that `list_bench --instructions KIND IMPL` (a fixed
// workload: lists of 1000 elements, each operation 100 times) can be counted
// in instructions with callgrind, as bench/list_instructions.sh does.
#include <kel_std/forward_list.h>
#include <kel_std/list.h>

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <forward_list>
#include <functional>
#include <iterator>
#include <list>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

namespace {

// Not inlined, and (g++) not merged with an identical twin, so that each
// keeps a name of its own for callgrind.
#if defined(__clang__)
#define MEASURED __attribute__((noinline))
#else
#define MEASURED __attribute__((noipa))
#endif

// The operations, each written once for both kinds of list: `push` appends
// (list) or prepends (forward_list), and the forward_list forms of splice
// and erase work after a position.
template <class L>
struct is_forward : std::false_type {};
template <class T, class A>
struct is_forward<std::forward_list<T, A>> : std::true_type {};
template <class T, class A>
struct is_forward<kel_std::forward_list<T, A>> : std::true_type {};

template <class L>
void push(L& l, int v, std::false_type) {
    l.push_back(v);
}
template <class L>
void push(L& l, int v, std::true_type) {
    l.push_front(v);
}

// Moves the first element of `from` to the front of `to`.
template <class L>
void splice_one(L& to, L& from, std::false_type) {
    to.splice(to.begin(), from, from.begin());
}
template <class L>
void splice_one(L& to, L& from, std::true_type) {
    to.splice_after(to.before_begin(), from, from.before_begin());
}

// Erases the elements at even positions.
template <class L>
void erase_every_other(L& l, std::false_type) {
    for (typename L::iterator it = l.begin(); it != l.end();) {
        it = l.erase(it);
        if (it != l.end())
            ++it;
    }
}
template <class L>
void erase_every_other(L& l, std::true_type) {
    for (typename L::iterator p = l.before_begin(); std::next(p) != l.end();)
        p = l.erase_after(p);
}

template <class L>
MEASURED void measured_push(L& l, const std::vector<int>& values) {
    for (int v : values)
        push(l, v, is_forward<L>());
}

template <class L>
MEASURED long measured_iterate(const L& l) {
    long sum = 0;
    for (int v : l)
        sum += v;
    return sum;
}

template <class L>
MEASURED void measured_sort(L& l) {
    l.sort();
}

template <class L>
MEASURED void measured_pop_front(L& l) {
    while (!l.empty())
        l.pop_front();
}

template <class L>
MEASURED void measured_splice(L& to, L& from) {
    while (!from.empty())
        splice_one(to, from, is_forward<L>());
}

template <class L>
MEASURED void measured_erase_every_other(L& l) {
    erase_every_other(l, is_forward<L>());
}

std::vector<int> random_values(std::size_t n) {
    std::mt19937 rng(1);
    std::vector<int> v(n);
    for (int& x : v)
        x = static_cast<int>(rng() >> 1);
    return v;
}

std::vector<int> sorted_values(std::size_t n) {
    std::vector<int> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<int>(i);
    return v;
}

template <class L>
std::unique_ptr<L> filled(const std::vector<int>& values) {
    return std::unique_ptr<L>(new L(values.begin(), values.end()));
}

// ---- timed benchmarks ----

template <class L>
void bench_push(benchmark::State& state) {
    const std::vector<int> values = sorted_values(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<L> l(new L);
        measured_push(*l, values);
        benchmark::DoNotOptimize(l->empty());
        state.PauseTiming();
        l.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class L>
void bench_pop_front(benchmark::State& state) {
    const std::vector<int> values = sorted_values(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<L> l = filled<L>(values);
        state.ResumeTiming();
        measured_pop_front(*l);
        benchmark::DoNotOptimize(l->empty());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Relinks the list in the order of its nodes' addresses (the order of a
// list filled by appending on a fresh heap) and gives it `values` in that
// order. Sorting, then freeing nodes in sorted order, would hand malloc its
// blocks back in random order and slow down every list built after it, in
// this benchmark and the ones that follow: the sort and iteration
// benchmarks keep their nodes, laid out this way (untimed), until the end.
template <class L>
void lay_out(L& l, const std::vector<int>& values) {
    l.sort([](const int& a, const int& b) { return std::less<const int*>()(&a, &b); });
    std::vector<int>::const_iterator v = values.begin();
    for (int& x : l)
        x = *v++;
}

template <class L>
void bench_iterate(benchmark::State& state) {
    const std::vector<int> values = random_values(static_cast<std::size_t>(state.range(0)));
    const std::unique_ptr<L> l = filled<L>(values);
    lay_out(*l, values);
    for (auto _ : state)
        benchmark::DoNotOptimize(measured_iterate(*l));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class L, bool Sorted>
void bench_sort(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::vector<int> values = Sorted ? sorted_values(n) : random_values(n);
    const std::unique_ptr<L> l = filled<L>(values);
    for (auto _ : state) {
        state.PauseTiming();
        lay_out(*l, values);
        state.ResumeTiming();
        measured_sort(*l);
        benchmark::DoNotOptimize(l->empty());
    }
    lay_out(*l, values); // freed in address order
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// N single-element splices from one list to another, then N back (counted
// as 2N items).
template <class L>
void bench_splice(benchmark::State& state) {
    const std::unique_ptr<L> a = filled<L>(sorted_values(static_cast<std::size_t>(state.range(0))));
    L b;
    for (auto _ : state) {
        measured_splice(b, *a);
        measured_splice(*a, b);
        benchmark::DoNotOptimize(a->empty());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}

template <class L>
void bench_erase_every_other(benchmark::State& state) {
    const std::vector<int> values = sorted_values(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<L> l = filled<L>(values);
        state.ResumeTiming();
        measured_erase_every_other(*l);
        benchmark::DoNotOptimize(l->empty());
        state.PauseTiming();
        l.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) / 2);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000);
}

typedef kel_std::list<int> kel_list;
typedef kel_std::list<int, std::allocator<int>> kel_list_std_alloc;
typedef std::list<int> std_list;
typedef kel_std::forward_list<int> kel_forward;
typedef std::forward_list<int> std_forward;

#define KEL_LIST_BENCH(list, name)                                                                                     \
    BENCHMARK_TEMPLATE(bench_push, list)->Name("push_back/" name)->Apply(sizes);                                       \
    BENCHMARK_TEMPLATE(bench_pop_front, list)->Name("pop_front/" name)->Apply(sizes);                                  \
    BENCHMARK_TEMPLATE(bench_iterate, list)->Name("iterate/" name)->Apply(sizes);                                      \
    BENCHMARK_TEMPLATE(bench_sort, list, false)->Name("sort_random/" name)->Apply(sizes);                              \
    BENCHMARK_TEMPLATE(bench_sort, list, true)->Name("sort_sorted/" name)->Apply(sizes);                               \
    BENCHMARK_TEMPLATE(bench_splice, list)->Name("splice/" name)->Apply(sizes);                                        \
    BENCHMARK_TEMPLATE(bench_erase_every_other, list)->Name("erase_every_other/" name)->Apply(sizes)

#define KEL_FORWARD_BENCH(list, name)                                                                                  \
    BENCHMARK_TEMPLATE(bench_push, list)->Name("fwd_push_front/" name)->Apply(sizes);                                  \
    BENCHMARK_TEMPLATE(bench_pop_front, list)->Name("fwd_pop_front/" name)->Apply(sizes);                              \
    BENCHMARK_TEMPLATE(bench_iterate, list)->Name("fwd_iterate/" name)->Apply(sizes);                                  \
    BENCHMARK_TEMPLATE(bench_sort, list, false)->Name("fwd_sort_random/" name)->Apply(sizes);                          \
    BENCHMARK_TEMPLATE(bench_sort, list, true)->Name("fwd_sort_sorted/" name)->Apply(sizes);                           \
    BENCHMARK_TEMPLATE(bench_splice, list)->Name("fwd_splice_after/" name)->Apply(sizes);                              \
    BENCHMARK_TEMPLATE(bench_erase_every_other, list)->Name("fwd_erase_every_other/" name)->Apply(sizes)

KEL_LIST_BENCH(kel_list, "kel_std");
KEL_LIST_BENCH(std_list, "libstdc++");
BENCHMARK_TEMPLATE(bench_push, kel_list_std_alloc)->Name("push_back/kel_std_std_alloc")->Apply(sizes);
BENCHMARK_TEMPLATE(bench_pop_front, kel_list_std_alloc)->Name("pop_front/kel_std_std_alloc")->Apply(sizes);
KEL_FORWARD_BENCH(kel_forward, "kel_std");
KEL_FORWARD_BENCH(std_forward, "libstdc++");

// ---- the fixed workload for callgrind ----

template <class L>
long fixed_workload() {
    const std::size_t n = 1000;
    const std::vector<int> random = random_values(n), sorted = sorted_values(n);
    long checksum = 0;
    for (int round = 0; round < 100; ++round) {
        std::unique_ptr<L> l(new L);
        measured_push(*l, random);
        checksum += measured_iterate(*l);
        measured_sort(*l);
        L other;
        measured_splice(other, *l);
        measured_splice(*l, other);
        measured_erase_every_other(*l);
        measured_pop_front(*l);
        std::unique_ptr<L> s = filled<L>(sorted);
        measured_sort(*s); // the sorted case: measured_sort counts both
        checksum += measured_iterate(*s);
    }
    return checksum;
}

int instructions(const char* kind, const char* impl) {
    const bool list = std::strcmp(kind, "list") == 0, kel = std::strcmp(impl, "kel_std") == 0;
    if ((!list && std::strcmp(kind, "forward_list") != 0) || (!kel && std::strcmp(impl, "libstdc++") != 0))
        return 2;
    const long checksum = list ? (kel ? fixed_workload<kel_list>() : fixed_workload<std_list>())
                               : (kel ? fixed_workload<kel_forward>() : fixed_workload<std_forward>());
    std::printf("%s %s %ld\n", kind, impl, checksum);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--instructions") == 0)
        return instructions(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
