// Containers on memory managers: every container family with every source
// of memory (the type lists of memory_policies.h), on three workloads over N
// random int keys (N = 1,000, 100,000, 1,000,000):
//
// - build:   insert the N keys into an empty container;
// - churn:   erase half of them (every other key, in insertion order) and
//            insert N/2 new ones;
// - destroy: destroy the full container, and then its memory resource (the
//            arena frees everything there).
//
// Only the workload is timed (manual time, on the thread's CPU clock);
// building the container for churn and destroy, and destroying it after
// build and churn, are not. Destruction runs a fixed number of iterations
// (memory_policies.h). Each container lives on a fresh resource.
// Benchmark names are
// "<workload>/<container>+<memory>/<N>", for bench/peer_ratios.py.
#include "memory_policies.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>

namespace {

using kel_bench::container_families;
using kel_bench::instance;
using kel_bench::key_set;
using kel_bench::keys_for;
using kel_bench::memories;
using kel_bench::type_list;
using kel_bench::workloads;

// The workloads are timed by the thread's CPU clock where there is one: on
// a machine shared with other work, time spent descheduled would otherwise
// count (on a quiet machine the two agree).
double now_seconds() {
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#else
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#endif
}

template <class Family, class Memory, class Workload>
void measure(benchmark::State& state) {
    const key_set& keys = keys_for(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        instance<Family, Memory> x;
        Workload::prepare(x, keys);
        const double start = now_seconds();
        Workload::timed(x, keys);
        benchmark::ClobberMemory();
        state.SetIterationTime(now_seconds() - start);
        x.destroy();
    }
}

template <class Family, class Memory, class Workload>
void register_workload() {
    const std::string name = std::string(Workload::name()) + "/" + Family::name() + "+" + Memory::name();
    for (std::size_t n : {1000, 100000, 1000000}) {
        benchmark::internal::Benchmark* b =
            benchmark::RegisterBenchmark(name.c_str(), &measure<Family, Memory, Workload>)
                ->Arg(static_cast<std::int64_t>(n))
                ->UseManualTime();
        if (Workload::iterations(n) != 0)
            b->Iterations(static_cast<benchmark::IterationCount>(Workload::iterations(n)));
    }
}

template <class Family, class Memory, class... Workload>
void register_row(type_list<Workload...>) {
    (register_workload<Family, Memory, Workload>(), ...);
}

template <class Family, class... Memory>
void register_family(type_list<Memory...>) {
    (register_row<Family, Memory>(workloads()), ...);
}

template <class... Family>
bool register_all(type_list<Family...>) {
    (register_family<Family>(memories()), ...);
    return true;
}

const bool registered = register_all(container_families());

} // namespace

BENCHMARK_MAIN();
