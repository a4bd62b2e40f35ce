// kel_std::deque<int> beside std::deque<int> (libstdc++), in the same run:
// pushes at either end from empty, iteration, random access and pops from
// the front. A third row, kel_std::deque on std::allocator, shows what the
// default allocator's zero fill of every block and its manager test cost.
//
// Every timed loop does N element operations. Ratios (medians of
// per-repetition ratios):
//   deque_bench --benchmark_repetitions=10 --benchmark_format=json > deque.json
//   bench/peer_ratios.py deque.json kel_std libstdc++ kel_std+std::allocator
#include <kel_std/deque.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <vector>

namespace {

template <class Deque>
Deque filled(std::size_t n) {
    Deque d;
    for (std::size_t i = 0; i < n; ++i)
        d.push_back(static_cast<int>(i));
    return d;
}

// From empty to N elements, the deque's destruction included.
template <class Deque>
void push_back(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Deque d;
        for (int i = 0; i < n; ++i)
            d.push_back(i);
        benchmark::DoNotOptimize(d.back());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Deque>
void push_front(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Deque d;
        for (int i = 0; i < n; ++i)
            d.push_front(i);
        benchmark::DoNotOptimize(d.front());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Deque>
void iterate(benchmark::State& state) {
    const Deque d = filled<Deque>(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        long sum = 0;
        for (int x : d)
            sum += x;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// d[i] at N random indices.
template <class Deque>
void random_access(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const Deque d = filled<Deque>(n);
    std::vector<std::uint32_t> indices(n);
    std::mt19937 rng(1);
    for (std::uint32_t& i : indices)
        i = static_cast<std::uint32_t>(rng() % n);
    for (auto _ : state) {
        long sum = 0;
        for (std::uint32_t i : indices)
            sum += d[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// N pops from a full deque, timed by hand so that filling it is not.
template <class Deque>
void pop_front(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<Deque> d(new Deque(filled<Deque>(n)));
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < n; ++i)
            d->pop_front();
        benchmark::DoNotOptimize(d->size());
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000);
}

typedef kel_std::deque<int> kel_deque;
typedef std::deque<int> std_deque;
typedef kel_std::deque<int, std::allocator<int>> kel_deque_std_alloc;

#define KEL_DEQUE_BENCH(deque, name)                                                                                   \
    BENCHMARK_TEMPLATE(push_back, deque)->Name("push_back/" name)->Apply(sizes);                                       \
    BENCHMARK_TEMPLATE(push_front, deque)->Name("push_front/" name)->Apply(sizes);                                     \
    BENCHMARK_TEMPLATE(iterate, deque)->Name("iterate/" name)->Apply(sizes);                                           \
    BENCHMARK_TEMPLATE(random_access, deque)->Name("random_access/" name)->Apply(sizes);                               \
    BENCHMARK_TEMPLATE(pop_front, deque)->Name("pop_front/" name)->Apply(sizes)->UseManualTime()

KEL_DEQUE_BENCH(kel_deque, "kel_std");
KEL_DEQUE_BENCH(std_deque, "libstdc++");
KEL_DEQUE_BENCH(kel_deque_std_alloc, "kel_std+std::allocator");

} // namespace

int main(int argc, char** argv) {
    // glibc's malloc hands the top of its heap back to the system whenever a
    // free leaves more than a threshold there, and raises that threshold
    // only once a large block (mmapped) has been freed. Without this, the
    // rows that run before any such free pay page faults on every
    // iteration; with it, every row runs on a warm heap.
    {
        std::unique_ptr<char[]> warm(new char[16 << 20]);
        benchmark::DoNotOptimize(warm.get());
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
