// The memory managers' benchmarks' shared parts: the sources of memory and
// the container families (two type lists whose product gives the rows), the
// keys, a container on a fresh resource, and the workloads (what is done
// before the clock starts, and what is timed). Used by memory_managers_bench
// (timed) and memory_managers_instructions (counted under callgrind).
#ifndef KEL_STD_BENCH_MEMORY_POLICIES_H
#define KEL_STD_BENCH_MEMORY_POLICIES_H

#include <kel_std/allocator.h>
#include <kel_std/map.h>
#include <kel_std/memory_managers.h>
#include <kel_std/unordered_map.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <memory_resource>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kel_bench {

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
inline const char* kel_memory<kel_std::pool_manager>::name() {
    return "pool_manager";
}
template <>
inline const char* kel_memory<kel_std::arena_manager>::name() {
    return "arena_manager";
}

// Container families: a map from int to int over a given allocator, the
// standard ones and the library's.
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

struct kel_map {
    static const char* name() { return "kel_std::map"; }
    template <class Allocator>
    using type = kel_std::map<int, int, std::less<int>, Allocator>;
};

struct kel_unordered_map {
    static const char* name() { return "kel_std::unordered_map"; }
    template <class Allocator>
    using type = kel_std::unordered_map<int, int, std::hash<int>, std::equal_to<int>, Allocator>;
};

template <class... T>
struct type_list {};

// The rows of the benchmarks: every family on every source of memory.
typedef type_list<std_map, std_unordered_map, kel_map, kel_unordered_map> container_families;
typedef type_list<std_heap, pmr_pool, pmr_monotonic, kel_memory<no_manager>, kel_memory<kel_std::pool_manager>,
                  kel_memory<kel_std::arena_manager>>
    memories;

// The keys of a run: N to build from, and N/2 others to refill with, drawn
// once per N (fixed seeds, so that every row works on the same keys).
struct key_set {
    std::vector<int> build;
    std::vector<int> refill;
};

inline const key_set& keys_for(std::size_t n) {
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

// The workloads: what is done before the clock starts, and what is timed;
// and how many iterations a repetition makes (0: as many as the minimum time
// asks for).
struct build {
    static const char* name() { return "build"; }
    static std::size_t iterations(std::size_t) { return 0; }
    template <class Instance>
    static void prepare(Instance&, const key_set&) {}
    template <class Instance>
    static void timed(Instance& x, const key_set& keys) {
        x.insert(keys.build);
    }
};

struct churn {
    static const char* name() { return "churn"; }
    static std::size_t iterations(std::size_t) { return 0; }
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

// A fixed count: a destruction that takes next to no time would otherwise
// be repeated until its time adds up to the minimum, each time after an
// untimed build of the whole container.
struct destroy {
    static const char* name() { return "destroy"; }
    static std::size_t iterations(std::size_t n) { return n <= 1000 ? 200 : n <= 100000 ? 10 : 3; }
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

} // namespace kel_bench

#endif
