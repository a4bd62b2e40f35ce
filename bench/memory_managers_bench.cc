// Containers on memory managers: every container family of the type list
// below, with every source of memory of the other list, on three workloads
// over N random int keys (N = 1,000, 100,000, 1,000,000):
//
// - build:   insert the N keys into an empty container;
// - churn:   erase half of them (every other key, in insertion order) and
//            insert N/2 new ones;
// - destroy: destroy the full container, and then its memory resource (the
//            arena frees everything there).
//
// Only the workload is timed (manual time, on the thread's CPU clock);
// building the container for churn and destroy, and destroying it after
// build and churn, are not. Each
// container lives on a fresh resource. Benchmark names are
// "<workload>/<container>+<memory>/<N>", for bench/peer_ratios.py.
#include <kel_std/allocator.h>
#include <kel_std/memory_managers.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <memory_resource>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Sources of memory: a resource made fresh for each container, and the
// allocator of type T that draws on it.
struct std_heap {
    static const char* name() { return "std::allocator"; }
    struct resource {};
    template <class T>
    using allocator = std::allocator<T>;
    template <class T>
    static allocator<T> on(resource&) {
        return allocator<T>();
    }
};

struct pmr_pool {
    static const char* name() { return "pmr_pool"; }
    typedef std::pmr::unsynchronized_pool_resource resource;
    template <class T>
    using allocator = std::pmr::polymorphic_allocator<T>;
    template <class T>
    static allocator<T> on(resource& r) {
        return allocator<T>(&r);
    }
};

struct pmr_monotonic {
    static const char* name() { return "pmr_monotonic"; }
    typedef std::pmr::monotonic_buffer_resource resource;
    template <class T>
    using allocator = std::pmr::polymorphic_allocator<T>;
    template <class T>
    static allocator<T> on(resource& r) {
        return allocator<T>(&r);
    }
};

// kel_std::allocator with a manager of type Manager, or without one.
template <class Manager>
struct kel_memory {
    static const char* name();
    typedef Manager resource;
    template <class T>
    using allocator = kel_std::allocator<T>;
    template <class T>
    static allocator<T> on(resource& r) {
        return allocator<T>(&r);
    }
};
struct no_manager {};
template <>
struct kel_memory<no_manager> {
    static const char* name() { return "kel_std::allocator"; }
    struct resource {};
    template <class T>
    using allocator = kel_std::allocator<T>;
    template <class T>
    static allocator<T> on(resource&) {
        return allocator<T>();
    }
};
template <>
const char* kel_memory<kel_std::pool_manager>::name() {
    return "pool_manager";
}
template <>
const char* kel_memory<kel_std::arena_manager>::name() {
    return "arena_manager";
}

// Container families: a map from int to int over a given allocator.
struct std_map {
    static const char* name() { return "std::map"; }
    template <class Allocator>
    using type = std::map<int, int, std::less<int>, Allocator>;
};

struct std_unordered_map {
    static const char* name() { return "std::unordered_map"; }
    template <class Allocator>
    using type = std::unordered_map<int, int, std::hash<int>, std::equal_to<int>, Allocator>;
};

template <class... T>
struct type_list {};

// The rows of the benchmark. kel_std::map and kel_std::unordered_map join the
// first list as two more families of the same shape, e.g.
//   struct kel_map { name() "kel_std::map"; type<A> = kel_std::map<int, int, std::less<int>, A>; };
typedef type_list<std_map, std_unordered_map> container_families;
typedef type_list<std_heap, pmr_pool, pmr_monotonic, kel_memory<no_manager>, kel_memory<kel_std::pool_manager>,
                  kel_memory<kel_std::arena_manager>>
    memories;

// The keys of a run: N to build from, and N/2 others to refill with, drawn
// once per N (fixed seeds, so that every row works on the same keys).
struct key_set {
    std::vector<int> build;
    std::vector<int> refill;
};

const key_set& keys_for(std::size_t n) {
    static std::map<std::size_t, key_set> cache;
    key_set& keys = cache[n];
    if (keys.build.empty()) {
        std::mt19937 rng(static_cast<unsigned>(n));
        std::uniform_int_distribution<int> any(0, 0x7FFFFFFF);
        for (std::size_t i = 0; i < n; ++i)
            keys.build.push_back(any(rng));
        for (std::size_t i = 0; i < n / 2; ++i)
            keys.refill.push_back(any(rng));
    }
    return keys;
}

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

// A resource of Memory and a container of Family on it; the container goes
// first.
template <class Family, class Memory>
struct instance {
    typedef typename Memory::template allocator<std::pair<const int, int>> allocator;
    typedef typename Family::template type<allocator> container;
    typedef typename Memory::resource resource;

    std::unique_ptr<resource> memory;
    std::unique_ptr<container> elements;

    instance()
        : memory(new resource()), elements(new container(Memory::template on<std::pair<const int, int>>(*memory))) {}
    void insert(const std::vector<int>& keys) {
        for (int k : keys)
            elements->emplace(k, k);
    }
    void destroy() {
        elements.reset();
        memory.reset();
    }
};

// The workloads: what is done before the clock starts, and what is timed.
struct build {
    static const char* name() { return "build"; }
    template <class Instance>
    static void prepare(Instance&, const key_set&) {}
    template <class Instance>
    static void timed(Instance& x, const key_set& keys) {
        x.insert(keys.build);
    }
};

struct churn {
    static const char* name() { return "churn"; }
    template <class Instance>
    static void prepare(Instance& x, const key_set& keys) {
        x.insert(keys.build);
    }
    template <class Instance>
    static void timed(Instance& x, const key_set& keys) {
        for (std::size_t i = 0; i < keys.build.size(); i += 2)
            x.elements->erase(keys.build[i]);
        x.insert(keys.refill);
    }
};

struct destroy {
    static const char* name() { return "destroy"; }
    template <class Instance>
    static void prepare(Instance& x, const key_set& keys) {
        x.insert(keys.build);
    }
    template <class Instance>
    static void timed(Instance& x, const key_set&) {
        x.destroy();
    }
};

typedef type_list<build, churn, destroy> workloads;

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

template <class Family, class Memory, class... Workload>
void register_row(type_list<Workload...>) {
    const std::string row = std::string(Family::name()) + "+" + Memory::name();
    for (auto w : {std::make_pair(Workload::name(), &measure<Family, Memory, Workload>)...})
        benchmark::RegisterBenchmark((std::string(w.first) + "/" + row).c_str(), w.second)
            ->Arg(1000)
            ->Arg(100000)
            ->Arg(1000000)
            ->UseManualTime();
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
