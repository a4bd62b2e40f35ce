// Tests of arena_manager and pool_manager: randomized allocate/deallocate runs
// against a model of the live blocks (and of the pool's free lists), failure
// of the upstream at every step, both managers behind the library's
// allocators, its string, standard containers and its own containers (under
// upstream failure too), the containers' dropping of their nodes on a
// monotonic manager, and the rules of each.
//
// Randomized runs do KEL_STD_TEST_SCALE percent of their steps (default 100;
// .ci/reliability.sh sets 10 for the run under valgrind).
#include "support/counting_heap.h"
#include "support/recording_manager.h"
#include "support/test_scale.h"

#include <kel_std/basic_string.h>
#include <kel_std/detail/hash_table_check.h>
#include <kel_std/detail/tree_check.h>
#include <kel_std/map.h>
#include <kel_std/memory_managers.h>
#include <kel_std/unordered_map.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

using kel_std::arena_manager;
using kel_std::kel_memory_manager;
using kel_std::pool_manager;
using kel_test::heap_watch;
using kel_test::malloc_allocator;
using kel_test::recording_manager;
using kel_test::scaled;

static_assert(arena_manager::alignment % alignof(std::max_align_t) == 0, "blocks suit any object type");
static_assert(pool_manager::alignment % alignof(std::max_align_t) == 0, "blocks suit any object type");
static_assert(!std::is_copy_constructible<arena_manager>::value && !std::is_move_constructible<arena_manager>::value,
              "allocators hold the arena's address");
static_assert(!std::is_copy_constructible<pool_manager>::value && !std::is_move_constructible<pool_manager>::value,
              "allocators hold the pool's address");

namespace {

const std::size_t unit = pool_manager::alignment;

std::size_t rounded(std::size_t size) {
    return size == 0 ? unit : (size + unit - 1) / unit * unit;
}

bool aligned(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p) % alignof(std::max_align_t) == 0 &&
           reinterpret_cast<std::uintptr_t>(p) % unit == 0;
}

// An upstream that promises no alignment and keeps to it: its blocks start 1
// to 15 bytes past an address from malloc, and arrive filled with garbage.
class misaligning_manager final : public kel_memory_manager {
public:
    int bad_releases = 0;

    ~misaligning_manager() {
        for (const auto& block : live_)
            std::free(block.second);
    }

    void* allocate(int, unsigned int size, const void*) override {
        const std::size_t offset = 1 + calls_++ % 15;
        unsigned char* raw = static_cast<unsigned char*>(std::malloc(size + offset));
        if (raw == nullptr)
            throw std::bad_alloc();
        std::memset(raw, 0xEE, size + offset);
        live_[raw + offset] = raw;
        return raw + offset;
    }

    void deallocate(void* p) override {
        if (p == nullptr)
            return;
        const auto it = live_.find(p);
        if (it == live_.end()) {
            ++bad_releases;
            return;
        }
        std::free(it->second);
        live_.erase(it);
    }

    std::size_t live_blocks() const { return live_.size(); }

private:
    std::size_t calls_ = 0;
    std::map<void*, unsigned char*, std::less<void*>, malloc_allocator<std::pair<void* const, unsigned char*>>> live_;
};

// What each manager promises about its counters, as a model keeps them.
struct arena_rules {
    typedef arena_manager manager;
    static const bool reuses = false;
    // The arena's bytes in use count everything handed out until release().
    static std::size_t bytes_freed(std::size_t) { return 0; }
};
struct pool_rules {
    typedef pool_manager manager;
    static const bool reuses = true;
    static std::size_t bytes_freed(std::size_t size) { return rounded(size); }
};

struct live_block {
    std::size_t size;
    unsigned char fill;
};

bool filled_with(const void* p, std::size_t n, unsigned char value) {
    const unsigned char* bytes = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] != value)
            return false;
    return true;
}

// A request size from 0 to past the pool's largest class, now and then one
// larger than the arena's regular chunks.
unsigned int random_size(std::mt19937& rng) {
    const unsigned int roll = rng() % 100;
    if (roll < 40)
        return rng() % 65;
    if (roll < 85)
        return rng() % (pool_manager::largest_pooled_size + 1);
    if (roll < 99)
        return pool_manager::largest_pooled_size + 1 + rng() % 2048;
    return 9000 + rng() % 60000;
}

// Random allocations and deallocations against a model of the live blocks:
// every block is non-null, aligned, disjoint from every other live block and
// keeps its contents until it is deallocated; the counters agree with the
// model after every step, and held_by_upstream() with chunks_held(). For the
// pool the model also keeps each size class's free list, so that every small
// request must return the block that was freed last in its class (and a
// block that lands in the wrong class is caught). Adds the operations it
// made to ops.
template <class Rules>
void random_run(typename Rules::manager& m, unsigned seed, int steps,
                const std::function<std::size_t()>& held_by_upstream, long& ops) {
    std::mt19937 rng(seed);
    std::map<std::uintptr_t, live_block, std::less<std::uintptr_t>,
             malloc_allocator<std::pair<const std::uintptr_t, live_block>>>
        live;
    std::vector<void*, malloc_allocator<void*>> handles;
    typedef std::vector<void*, malloc_allocator<void*>> free_list;
    std::vector<free_list, malloc_allocator<free_list>> free_lists(pool_manager::largest_pooled_size / unit);
    std::size_t bytes = 0;
    std::size_t reused = 0;
    for (int step = 0; step < steps || !handles.empty(); ++step) {
        // Grow for the first half of the run, shrink in the second, empty at the end.
        const unsigned int grow_percent = step < steps / 2 ? 60 : step < steps ? 40 : 0;
        if (handles.empty() || rng() % 100 < grow_percent) {
            const unsigned int size = random_size(rng);
            void* p = m.allocate(1, size, nullptr);
            ++ops;
            ASSERT_NE(p, nullptr);
            ASSERT_TRUE(aligned(p)) << p << " for " << size << " bytes, step " << step;
            const std::uintptr_t a = reinterpret_cast<std::uintptr_t>(p);
            const auto next = live.lower_bound(a);
            ASSERT_TRUE(next == live.end() || a + std::max<std::size_t>(size, 1) <= next->first)
                << size << " bytes at " << p << " overlap a live block, step " << step;
            if (next != live.begin()) {
                const auto prev = std::prev(next);
                ASSERT_LE(prev->first + std::max<std::size_t>(prev->second.size, 1), a)
                    << "a live block overlaps " << size << " bytes at " << p << ", step " << step;
            }
            if (Rules::reuses && size <= pool_manager::largest_pooled_size) {
                auto& list = free_lists[size == 0 ? 0 : (size - 1) / unit];
                if (!list.empty()) {
                    ASSERT_EQ(p, list.back())
                        << "the last block freed in the class of " << size << " bytes, step " << step;
                    list.pop_back();
                    ++reused;
                }
            }
            const unsigned char fill = static_cast<unsigned char>(rng());
            std::memset(p, fill, size);
            live[a] = live_block{size, fill};
            handles.push_back(p);
            bytes += rounded(size);
        } else {
            const std::size_t i = rng() % handles.size();
            void* p = handles[i];
            handles[i] = handles.back();
            handles.pop_back();
            const auto it = live.find(reinterpret_cast<std::uintptr_t>(p));
            ASSERT_TRUE(filled_with(p, it->second.size, it->second.fill))
                << "a block of " << it->second.size << " bytes lost its contents, step " << step;
            if (Rules::reuses && it->second.size <= pool_manager::largest_pooled_size)
                free_lists[it->second.size == 0 ? 0 : (it->second.size - 1) / unit].push_back(p);
            bytes -= Rules::bytes_freed(it->second.size);
            live.erase(it);
            m.deallocate(p);
            ++ops;
        }
        ASSERT_EQ(m.blocks_in_use(), handles.size()) << "step " << step;
        ASSERT_EQ(m.bytes_in_use(), bytes) << "step " << step;
        ASSERT_EQ(m.chunks_held(), held_by_upstream()) << "step " << step;
    }
    if (Rules::reuses) {
        EXPECT_GT(reused, static_cast<std::size_t>(steps / 10)) << "freed small blocks are reused";
    }
}

// Calls run(seed, steps, ops) for seeds 1 to seeds, each under a trace of its
// seed, until a fatal failure; then prints the operations counted.
void seeded_runs(unsigned seeds, int steps, const std::function<void(unsigned, int, long&)>& run,
                 const std::string& what) {
    long ops = 0;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        run(seed, steps, ops);
        if (::testing::Test::HasFatalFailure())
            return;
    }
    std::cout << "[ figures ] " << what << ": " << ops << " operations over " << seeds << " seeds\n";
}

// A random run on each upstream in turn: a recording manager, a misaligning
// one and the global heap (counted).
template <class Rules>
void random_run_on_some_upstream(unsigned seed, int steps, long& ops) {
    recording_manager recording;
    misaligning_manager misaligning;
    if (seed % 3 == 0) {
        typename Rules::manager m(&recording);
        random_run<Rules>(
            m, seed, steps, [&] { return recording.live_blocks(); }, ops);
    } else if (seed % 3 == 1) {
        typename Rules::manager m(&misaligning);
        random_run<Rules>(
            m, seed, steps, [&] { return misaligning.live_blocks(); }, ops);
    } else {
        heap_watch heap;
        {
            typename Rules::manager m;
            random_run<Rules>(
                m, seed, steps, [&] { return static_cast<std::size_t>(heap.news() - heap.deletes()); }, ops);
        }
        EXPECT_EQ(heap.news(), heap.deletes());
    }
    EXPECT_EQ(recording.live_blocks(), 0u);
    EXPECT_EQ(recording.bad_releases + misaligning.bad_releases, 0);
    EXPECT_EQ(misaligning.live_blocks(), 0u);
}

} // namespace

TEST(arena_manager, random_blocks_are_aligned_disjoint_and_keep_their_contents) {
    seeded_runs(12, scaled(12000), random_run_on_some_upstream<arena_rules>,
                "arena, allocate and deallocate, the model checked after each");
}

TEST(pool_manager, random_blocks_are_aligned_disjoint_kept_and_reused_by_class) {
    seeded_runs(12, scaled(12000), random_run_on_some_upstream<pool_rules>,
                "pool, allocate and deallocate, the model and the free lists checked after each");
}

namespace {

typedef std::vector<void*, malloc_allocator<void*>> held_blocks;

// Enough work for several chunks (and, in the pool, a larger table of
// chunks), chunks of their own in the arena and large blocks in the pool;
// it frees a third of its blocks as it goes.
void failure_workload(kel_memory_manager& m, held_blocks& held) {
    for (unsigned int i = 0; i < 4000; ++i) {
        const unsigned int size = i % 397 == 0 ? 20000 + i : i % 101 == 0 ? 600 + i % 1000 : 256 + i % 257;
        void* p = m.allocate(1, size, nullptr);
        std::memset(p, 0x5A, size);
        held.push_back(p);
        if (i % 3 == 0) {
            m.deallocate(held[held.size() / 2]);
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(held.size() / 2));
        }
    }
}

// After a failure (or none): the counters match what the caller holds, the
// manager still serves every kind of request, and everything can be given
// back. Returns nothing; failures are recorded by gtest.
template <class Manager>
void check_usable_after(Manager& m, held_blocks& held, std::size_t upstream_blocks, int k) {
    EXPECT_EQ(m.blocks_in_use(), held.size()) << "failure at upstream call " << k;
    EXPECT_EQ(m.chunks_held(), upstream_blocks) << "failure at upstream call " << k;
    for (unsigned int size : {0u, 48u, 512u, 513u, 30000u}) {
        void* p = m.allocate(1, size, nullptr);
        std::memset(p, 0xA5, size);
        held.push_back(p);
    }
    for (void* p : held)
        m.deallocate(p);
    held.clear();
    EXPECT_EQ(m.blocks_in_use(), 0u) << "failure at upstream call " << k;
}

// The k-th upstream allocation fails, for k = 1, 2, ... until the workload
// runs through: each time the failure reaches the caller unchanged, the
// manager stays usable, and once it is gone the upstream has every block back.
template <class Manager>
void fail_at_every_upstream_call() {
    int k = 1;
    for (bool failed = true; failed; ++k) {
        failed = false;
        held_blocks held;
        heap_watch heap;
        heap.fail_new_at(k);
        {
            Manager m;
            try {
                failure_workload(m, held);
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            heap.fail_new_at(0);
            check_usable_after(m, held, static_cast<std::size_t>(heap.news() - heap.deletes()), k);
        }
        EXPECT_EQ(heap.news(), heap.deletes()) << "failure at upstream call " << k;
        if (::testing::Test::HasFailure())
            return;
    }
    const int heap_calls = k - 1;
    EXPECT_GT(heap_calls, 10);

    // The same with a manager upstream, whose own exception type passes through.
    for (bool failed = true; failed; ++k) {
        failed = false;
        held_blocks held;
        recording_manager upstream;
        upstream.fail_at = k - heap_calls;
        {
            Manager m(&upstream);
            try {
                failure_workload(m, held);
            } catch (const kel_test::manager_failure&) {
                failed = true;
            }
            upstream.fail_at = 0;
            check_usable_after(m, held, upstream.live_blocks(), k - heap_calls);
        }
        EXPECT_EQ(upstream.live_blocks(), 0u);
        EXPECT_EQ(upstream.bad_releases, 0);
        if (::testing::Test::HasFailure())
            return;
    }
    std::cout << "[ figures ] upstream failure injected at each of the workload's " << heap_calls - 1
              << " heap calls and " << k - heap_calls - 2 << " manager calls\n";
}

} // namespace

TEST(arena_manager, upstream_failure_at_every_call_throws_keeps_the_arena_usable_and_leaks_nothing) {
    fail_at_every_upstream_call<arena_manager>();
}

TEST(pool_manager, upstream_failure_at_every_call_throws_keeps_the_pool_usable_and_leaks_nothing) {
    fail_at_every_upstream_call<pool_manager>();
}

namespace {

template <class Manager>
void allocators_use(Manager& m) {
    // allocator<void>: every block zero-filled, also one the pool reuses
    // after its previous owner scribbled on it.
    kel_std::allocator<void> bytes(&m);
    void* p = bytes.allocate(100, &bytes);
    ASSERT_TRUE(aligned(p));
    EXPECT_TRUE(filled_with(p, 100, 0));
    std::memset(p, 0xFF, 100);
    bytes.deallocate(p);
    void* q = bytes.allocate(100, nullptr);
    EXPECT_TRUE(filled_with(q, 100, 0));
    bytes.deallocate(q);
    bytes.deallocate(nullptr);
    EXPECT_EQ(m.blocks_in_use(), 0u);

    // allocator<T> through allocator_traits, for a type that needs the
    // strictest fundamental alignment.
    struct widest {
        std::max_align_t value;
        int tag;
    };
    typedef kel_std::allocator<widest> widest_allocator;
    typedef std::allocator_traits<widest_allocator> traits;
    widest_allocator a(&m);
    for (std::size_t n : {1u, 3u, 40u}) {
        widest* objects = traits::allocate(a, n);
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(objects) % alignof(widest), 0u);
        for (std::size_t i = 0; i < n; ++i)
            traits::construct(a, objects + i, widest{std::max_align_t(), static_cast<int>(i)});
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_EQ(objects[i].tag, static_cast<int>(i));
            traits::destroy(a, objects + i);
        }
        traits::deallocate(a, objects, n);
    }
    EXPECT_EQ(m.blocks_in_use(), 0u);
}

std::string random_text(std::mt19937& rng) {
    std::string text(rng() % 3 == 0 ? rng() % 100 : rng() % 12, ' ');
    for (char& c : text)
        c = static_cast<char>('a' + rng() % 26);
    return text;
}

std::string text_of(const kel_std::string& s) {
    return std::string(s.c_str(), s.length);
}

// Standard containers of the library's strings, all on kel_std::allocator
// with the manager (containers and strings alike), against models made of
// std::string on the global heap; contents compared after every step.
template <class Manager>
void containers_run(Manager& m, unsigned seed, int steps, long& ops) {
    typedef kel_std::string text;
    typedef std::pair<const int, text> entry;
    const kel_std::allocator<char> chars(&m);
    const kel_std::allocator<entry> entries(&m);
    const kel_std::allocator<text> texts(&m);
    std::map<int, text, std::less<int>, kel_std::allocator<entry>> ordered(entries);
    std::unordered_map<int, text, std::hash<int>, std::equal_to<int>, kel_std::allocator<entry>> hashed(entries);
    std::vector<text, kel_std::allocator<text>> vector(texts);
    std::list<text, kel_std::allocator<text>> list(texts);
    std::map<int, std::string> keyed_model;
    std::vector<std::string> vector_model;
    std::list<std::string> list_model;

    std::mt19937 rng(seed);
    for (int step = 0; step < steps; ++step) {
        const int key = static_cast<int>(rng() % 200);
        const std::string value = random_text(rng);
        const text made(value.data(), static_cast<unsigned int>(value.size()), chars);
        switch (rng() % 8) {
        case 0: { // insert, or assign to the string in place
            const auto found = ordered.find(key);
            if (found != ordered.end()) {
                found->second.assign(value.data(), static_cast<unsigned int>(value.size()));
                hashed.find(key)->second.assign(value.data(), static_cast<unsigned int>(value.size()));
            } else {
                ordered.emplace(key, made);
                hashed.emplace(key, made);
            }
            keyed_model[key] = value;
            break;
        }
        case 1:
            EXPECT_EQ(ordered.erase(key), keyed_model.erase(key));
            hashed.erase(key);
            break;
        case 2:
            vector.push_back(made);
            vector_model.push_back(value);
            list.push_front(made);
            list_model.push_front(value);
            break;
        case 3:
            if (!vector.empty()) {
                const std::size_t at = rng() % vector.size();
                vector.erase(vector.begin() + static_cast<std::ptrdiff_t>(at));
                vector_model.erase(vector_model.begin() + static_cast<std::ptrdiff_t>(at));
                list.erase(std::next(list.begin(), static_cast<std::ptrdiff_t>(at)));
                list_model.erase(std::next(list_model.begin(), static_cast<std::ptrdiff_t>(at)));
            }
            break;
        case 4: { // insertion in the middle moves strings between elements
            const std::size_t at = vector.empty() ? 0 : rng() % vector.size();
            vector.insert(vector.begin() + static_cast<std::ptrdiff_t>(at), made);
            vector_model.insert(vector_model.begin() + static_cast<std::ptrdiff_t>(at), value);
            list.insert(std::next(list.begin(), static_cast<std::ptrdiff_t>(at)), made);
            list_model.insert(std::next(list_model.begin(), static_cast<std::ptrdiff_t>(at)), value);
            break;
        }
        case 5: // a copy keeps the manager and the contents; then it is thrown away
        {
            const std::map<int, text, std::less<int>, kel_std::allocator<entry>> copy(ordered);
            EXPECT_EQ(copy.get_allocator().manager, &m);
            EXPECT_TRUE(std::equal(copy.begin(), copy.end(), ordered.begin(), [](const entry& a, const entry& b) {
                return text_of(a.second) == text_of(b.second);
            }));
            break;
        }
        case 6:
            if (!vector.empty()) {
                const std::size_t at = rng() % vector.size();
                vector[at].assign(value.data(), static_cast<unsigned int>(value.size()));
                vector_model[at] = value;
            }
            break;
        default:
            if (rng() % 50 == 0) {
                ordered.clear();
                hashed.clear();
                keyed_model.clear();
                vector.clear();
                vector_model.clear();
                list.clear();
                list_model.clear();
            }
            break;
        }
        ++ops;

        ASSERT_EQ(ordered.size(), keyed_model.size()) << "step " << step;
        ASSERT_EQ(hashed.size(), keyed_model.size()) << "step " << step;
        auto model = keyed_model.begin();
        for (const entry& e : ordered) {
            ASSERT_EQ(e.first, model->first) << "step " << step;
            ASSERT_EQ(text_of(e.second), model->second) << "step " << step;
            const auto h = hashed.find(e.first);
            ASSERT_TRUE(h != hashed.end() && text_of(h->second) == model->second) << "step " << step;
            ++model;
        }
        ASSERT_EQ(vector.size(), vector_model.size()) << "step " << step;
        ASSERT_EQ(list.size(), list_model.size()) << "step " << step;
        auto l = list.begin();
        auto lm = list_model.begin();
        for (std::size_t i = 0; i < vector.size(); ++i, ++l, ++lm) {
            ASSERT_EQ(text_of(vector[i]), vector_model[i]) << "step " << step;
            ASSERT_EQ(text_of(*l), *lm) << "step " << step;
        }
    }
}

const char* const containers_figures = "std::map, std::unordered_map, std::vector and std::list of strings, "
                                       "every container compared with its model after each operation";

} // namespace

TEST(arena_manager, serves_the_allocators) {
    arena_manager arena;
    allocators_use(arena);
    arena.release();
    EXPECT_EQ(arena.bytes_in_use(), 0u);
}

TEST(pool_manager, serves_the_allocators) {
    pool_manager pool;
    allocators_use(pool);
    EXPECT_EQ(pool.bytes_in_use(), 0u);
}

TEST(arena_manager, serves_strings_and_standard_containers_and_gives_all_back_on_release) {
    const auto run = [](unsigned seed, int steps, long& ops) {
        recording_manager upstream;
        // Half of the runs start on a buffer of the caller's.
        alignas(16) unsigned char buffer[3000];
        arena_manager arena(seed % 2 ? buffer : nullptr, seed % 2 ? sizeof buffer : 0, &upstream);
        containers_run(arena, seed, steps, ops);
        EXPECT_EQ(arena.blocks_in_use(), 0u) << "the containers gave every block back";
        EXPECT_GT(arena.bytes_in_use(), 0u);
        EXPECT_EQ(arena.chunks_held(), upstream.live_blocks());
        arena.release();
        EXPECT_EQ(arena.bytes_in_use(), 0u);
        EXPECT_EQ(arena.chunks_held(), 0u);
        EXPECT_EQ(arena.bytes_held(), 0u);
        EXPECT_EQ(upstream.live_blocks(), 0u);
        EXPECT_EQ(upstream.bad_releases, 0);
    };
    seeded_runs(6, scaled(3000), run, std::string("arena under ") + containers_figures);
}

TEST(pool_manager, serves_strings_and_standard_containers_and_has_nothing_in_use_after_them) {
    const auto run = [](unsigned seed, int steps, long& ops) {
        recording_manager upstream;
        pool_manager pool(&upstream);
        containers_run(pool, seed, steps, ops);
        EXPECT_EQ(pool.blocks_in_use(), 0u);
        EXPECT_EQ(pool.bytes_in_use(), 0u);
        EXPECT_EQ(pool.chunks_held(), upstream.live_blocks());
        pool.release();
        EXPECT_EQ(pool.chunks_held(), 0u);
        EXPECT_EQ(pool.bytes_held(), 0u);
        EXPECT_EQ(upstream.live_blocks(), 0u);
        EXPECT_EQ(upstream.bad_releases, 0);
    };
    seeded_runs(6, scaled(3000), run, std::string("pool under ") + containers_figures);
}

TEST(arena_manager, uses_the_callers_buffer_first_then_chunks_that_double) {
    alignas(64) unsigned char buffer[1024];
    recording_manager upstream;
    // A buffer that starts off alignment: the arena begins at its first
    // aligned byte.
    arena_manager arena(buffer + 3, 1000, &upstream);
    EXPECT_EQ(arena.upstream(), &upstream);
    unsigned char* first = static_cast<unsigned char*>(arena.allocate(1, 10, nullptr));
    EXPECT_EQ(first, buffer + unit);
    // Zero-byte requests get distinct blocks, one unit each.
    void* empty1 = arena.allocate(1, 0, nullptr);
    void* empty2 = arena.allocate(1, 0, nullptr);
    EXPECT_EQ(empty1, first + unit);
    EXPECT_EQ(empty2, first + 2 * unit);
    // The buffer holds (1003 - 16) / 16 = 61 units; 58 remain.
    for (int i = 0; i < 58; ++i)
        EXPECT_EQ(arena.allocate(1, 16, nullptr), first + (3 + i) * unit);
    EXPECT_TRUE(upstream.calls.empty()) << "nothing from the upstream while the buffer lasts";
    EXPECT_EQ(arena.chunks_held(), 0u);
    EXPECT_EQ(arena.bytes_in_use(), 61 * unit);

    // Then chunks from the upstream, each twice the size of the one before.
    for (int i = 0; i < 2000; ++i)
        arena.allocate(1, 48, nullptr);
    std::vector<unsigned int> sizes;
    for (const auto& call : upstream.calls)
        sizes.push_back(call.size);
    ASSERT_GE(sizes.size(), 5u);
    EXPECT_EQ(sizes[0], static_cast<unsigned int>(arena_manager::first_chunk_size));
    for (std::size_t i = 1; i < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], 2 * sizes[i - 1]);
    EXPECT_EQ(arena.chunks_held(), upstream.live_blocks());
    EXPECT_EQ(arena.blocks_in_use(), 2061u);

    // A request larger than the next chunk gets a chunk of its own, and the
    // current chunk goes on serving small requests.
    void* before = arena.allocate(1, 32, nullptr);
    const std::size_t calls = upstream.calls.size();
    void* big = arena.allocate(1, 1u << 20, nullptr);
    ASSERT_EQ(upstream.calls.size(), calls + 1);
    EXPECT_LT(upstream.calls.back().size, (1u << 20) + 64);
    EXPECT_EQ(arena.allocate(1, 32, nullptr), static_cast<unsigned char*>(before) + 32);
    std::memset(big, 1, 1u << 20);

    // deallocate counts blocks down and gives no memory back.
    const std::size_t bytes = arena.bytes_in_use();
    arena.deallocate(big);
    arena.deallocate(nullptr);
    EXPECT_EQ(arena.blocks_in_use(), 2063u);
    EXPECT_EQ(arena.bytes_in_use(), bytes);
    EXPECT_EQ(upstream.live_blocks(), arena.chunks_held());

    // release() gives every chunk back and starts over at the buffer, with
    // the first chunk size again.
    arena.release();
    EXPECT_EQ(upstream.live_blocks(), 0u);
    EXPECT_EQ(upstream.bad_releases, 0);
    EXPECT_EQ(arena.blocks_in_use() + arena.bytes_in_use() + arena.chunks_held() + arena.bytes_held(), 0u);
    EXPECT_EQ(arena.allocate(1, 1, nullptr), first);
    upstream.calls.clear();
    arena.allocate(1, 2000, nullptr);
    ASSERT_EQ(upstream.calls.size(), 1u);
    EXPECT_EQ(upstream.calls[0].size, static_cast<unsigned int>(arena_manager::first_chunk_size));
}

TEST(arena_manager, buffer_size_sets_the_first_chunk_size_and_the_destructor_returns_the_chunks) {
    recording_manager upstream;
    {
        std::vector<unsigned char> buffer(10000);
        arena_manager arena(buffer.data(), buffer.size(), &upstream);
        for (int i = 0; i < 100; ++i)
            arena.allocate(1, 100, nullptr); // 11,200 bytes: past the buffer
        ASSERT_EQ(upstream.calls.size(), 1u);
        EXPECT_EQ(upstream.calls[0].size, 10000u);
    }
    EXPECT_EQ(upstream.live_blocks(), 0u);
    EXPECT_EQ(upstream.bad_releases, 0);

    // A buffer with no aligned byte in it serves nothing.
    alignas(16) unsigned char tiny[16];
    arena_manager arena(tiny + 1, 15, &upstream);
    const unsigned char* p = static_cast<unsigned char*>(arena.allocate(1, 1, nullptr));
    EXPECT_TRUE(std::less<const unsigned char*>()(p, tiny) || !std::less<const unsigned char*>()(p, tiny + 16));
    EXPECT_EQ(arena.chunks_held(), 1u);
}

// Reuse within a class, zero-byte blocks, the counters and the return of
// large blocks are checked by the randomized runs; these are the layout and
// the limits.
TEST(pool_manager, small_blocks_have_no_header_large_ones_are_the_upstreams_and_release_returns_all) {
    recording_manager upstream;
    pool_manager pool(&upstream);
    EXPECT_EQ(pool.upstream(), &upstream);
    // Consecutive blocks of one class lie exactly one class size apart;
    // another class takes a page of its own.
    unsigned char* a = static_cast<unsigned char*>(pool.allocate(1, 40, nullptr));
    EXPECT_EQ(pool.allocate(1, 48, nullptr), a + 48);
    EXPECT_EQ(pool.allocate(1, 33, nullptr), a + 96);
    unsigned char* other = static_cast<unsigned char*>(pool.allocate(1, 49, nullptr));
    EXPECT_GE(static_cast<std::size_t>(other > a ? other - a : a - other), 16384u - 48u);
    EXPECT_EQ(pool.chunks_held(), 2u) << "one chunk of pages and the table of chunks";

    // One upstream call per large block, of little more than the request.
    const std::size_t calls = upstream.calls.size();
    pool.allocate(1, pool_manager::largest_pooled_size, nullptr);
    ASSERT_EQ(upstream.calls.size(), calls);
    void* large = pool.allocate(1, pool_manager::largest_pooled_size + 1, nullptr);
    ASSERT_EQ(upstream.calls.size(), calls + 1);
    EXPECT_GE(upstream.calls.back().size, pool_manager::largest_pooled_size + 1u);
    EXPECT_LE(upstream.calls.back().size, pool_manager::largest_pooled_size + 64u);
    std::memset(large, 7, pool_manager::largest_pooled_size + 1);

    // Requests whose rounded size with the header no longer fits the
    // upstream's 32-bit sizes are refused before the upstream is asked.
    upstream.calls.clear();
    EXPECT_THROW(pool.allocate(1, 0xFFFFFFFFu, nullptr), std::bad_alloc);
    arena_manager arena(&upstream);
    EXPECT_THROW(arena.allocate(1, 0xFFFFFFF0u, nullptr), std::bad_alloc);
    EXPECT_TRUE(upstream.calls.empty());

    // release() returns the blocks still in use too, large ones included, and
    // the pool starts over.
    pool.allocate(1, 100000, nullptr);
    for (int i = 0; i < 5000; ++i)
        pool.allocate(1, static_cast<unsigned int>(i % 600), nullptr);
    EXPECT_GT(pool.chunks_held(), 6u);
    EXPECT_EQ(pool.chunks_held(), upstream.live_blocks());
    pool.release();
    EXPECT_EQ(upstream.live_blocks(), 0u);
    EXPECT_EQ(upstream.bad_releases, 0);
    EXPECT_EQ(pool.blocks_in_use() + pool.bytes_in_use() + pool.chunks_held() + pool.bytes_held(), 0u);
    EXPECT_TRUE(aligned(pool.allocate(1, 24, nullptr)));
    EXPECT_EQ(pool.chunks_held(), 2u);
}

// ---- the library's containers on the managers ----

namespace {

typedef std::pair<const int, int> int_entry;
typedef kel_std::map<int, int, std::less<int>, kel_std::allocator<int_entry>> managed_map;
typedef kel_std::unordered_map<int, int, kel_std::hash<int>, std::equal_to<int>, kel_std::allocator<int_entry>>
    managed_hash_map;

template <class K, class V, class KoV, class C, class A, bool M>
std::string structure_fault(const kel_std::detail::rb_tree<K, V, KoV, C, A, M>& t) {
    return kel_std::detail::tree_inspector::check(t);
}
template <class K, class V, class KoV, class H, class P, class A, bool M>
std::string structure_fault(const kel_std::detail::hash_table<K, V, KoV, H, P, A, M>& t) {
    return kel_std::detail::hash_table_inspector::check(t);
}

template <class C>
std::map<int, int> contents(const C& c) {
    return std::map<int, int>(c.begin(), c.end());
}

// What a manager's counters say once the containers on it are gone: the
// pool has nothing in use; the arena is released first.
void settle(pool_manager& pool) {
    EXPECT_EQ(pool.blocks_in_use(), 0u);
    EXPECT_EQ(pool.bytes_in_use(), 0u);
}
void settle(arena_manager& arena) {
    arena.release();
    EXPECT_EQ(arena.blocks_in_use() + arena.bytes_in_use() + arena.chunks_held() + arena.bytes_held(), 0u);
}

// A life of container C on a manager over `upstream`: 3,000 steps of
// single insertions of every form (each all or nothing), erasures, and now
// and then a copy and a copy assignment. An operation that the upstream
// makes fail is checked (the container sound and as it was, no block of the
// manager left behind by it) and done again: the manager must serve it.
// Returns the failures seen.
template <class C, class Manager>
int managed_life(recording_manager& upstream, int fail_at) {
    int failures = 0;
    upstream.fail_at = fail_at;
    {
        Manager manager(&upstream);
        {
            C c{kel_std::allocator<int_entry>(&manager)};
            std::map<int, int> model;
            std::mt19937 rng(static_cast<unsigned>(fail_at));
            const auto attempt = [&](const std::function<void()>& op, bool strong, int step) {
                const std::size_t blocks = manager.blocks_in_use();
                try {
                    op();
                    return;
                } catch (const kel_test::manager_failure&) {
                    ++failures;
                }
                EXPECT_EQ(structure_fault(c), "") << "step " << step;
                if (strong) {
                    EXPECT_TRUE(contents(c) == model) << "changed by a failure, step " << step;
                    EXPECT_EQ(manager.blocks_in_use(), blocks) << "blocks left behind by a failure, step " << step;
                }
                op(); // the manager serves again
            };
            for (int step = 0; step < 3000; ++step) {
                const int key = static_cast<int>(rng() % 4000);
                switch (step % 8) {
                case 0:
                    attempt([&] { c.insert(int_entry(key, step)); }, true, step);
                    break;
                case 1:
                    attempt([&] { c.emplace(key, step); }, true, step);
                    break;
                case 2:
                    attempt([&] { c.try_emplace(key, step); }, true, step);
                    break;
                case 3:
                    attempt([&] { c[key] = step; }, true, step);
                    model[key] = step;
                    continue;
                case 4:
                    attempt([&] { c.emplace_hint(c.find(key + 1), key, step); }, true, step);
                    break;
                case 5:
                    c.erase(key);
                    model.erase(key);
                    continue;
                case 6:
                    if (step % 400 == 6) {
                        attempt([&] { const C copy(c); }, true, step);
                        attempt(
                            [&] {
                                C target{kel_std::allocator<int_entry>(&manager)};
                                target.emplace(-1, -1);
                                target = c;
                                EXPECT_TRUE(contents(target) == model);
                            },
                            false, step);
                    }
                    continue;
                default:
                    attempt([&] { c.insert({int_entry(key, step), int_entry(key + 1, step)}); }, false, step);
                    model.emplace(key + 1, step);
                    break;
                }
                model.emplace(key, step);
                EXPECT_EQ(c.size(), model.size()) << "step " << step;
                if (::testing::Test::HasFailure())
                    break;
            }
            EXPECT_EQ(structure_fault(c), "");
            EXPECT_TRUE(contents(c) == model);
        }
        settle(manager);
    }
    upstream.fail_at = 0;
    EXPECT_EQ(upstream.live_blocks(), 0u) << "failure at upstream call " << fail_at;
    EXPECT_EQ(upstream.bad_releases, 0);
    return failures;
}

// The k-th upstream allocation fails, for k = 1, 2, ... until a life runs
// through without one. Returns the number of failures injected.
template <class C, class Manager>
int containers_fail_at_every_upstream_call() {
    int injected = 0;
    for (int k = 1;; ++k) {
        recording_manager upstream;
        const int failures = managed_life<C, Manager>(upstream, k);
        if (failures == 0 || ::testing::Test::HasFailure())
            break;
        EXPECT_EQ(failures, 1);
        injected += failures;
    }
    return injected;
}

} // namespace

TEST(managed_containers, upstream_failure_at_every_call_keeps_the_containers_guarantees_and_leaks_nothing) {
    const int map_pool = containers_fail_at_every_upstream_call<managed_map, pool_manager>();
    const int map_arena = containers_fail_at_every_upstream_call<managed_map, arena_manager>();
    const int hash_pool = containers_fail_at_every_upstream_call<managed_hash_map, pool_manager>();
    const int hash_arena = containers_fail_at_every_upstream_call<managed_hash_map, arena_manager>();
    std::cout << "[ figures ] upstream failures injected under kel_std::map: " << map_pool << " on the pool, "
              << map_arena << " on the arena; under kel_std::unordered_map: " << hash_pool << " and " << hash_arena
              << "\n";
    EXPECT_GE(map_pool, 3);
    EXPECT_GE(map_arena, 5);
    EXPECT_GE(hash_pool, 10);
    EXPECT_GE(hash_arena, 5);
}

// ---- dropping nodes on a monotonic manager ----

namespace {

// A monotonic manager of the test's own: blocks from malloc, all freed when
// it goes; it counts the deallocations that reach it.
class counting_monotonic final : public kel_std::kel_monotonic_memory_manager {
public:
    int deallocations = 0;

    counting_monotonic() = default;
    counting_monotonic(const counting_monotonic&) = delete;
    counting_monotonic& operator=(const counting_monotonic&) = delete;
    ~counting_monotonic() {
        for (void* p : blocks_)
            std::free(p);
    }
    void* allocate(int, unsigned int size, const void*) override {
        void* p = std::malloc(size == 0 ? 1 : size);
        if (p == nullptr)
            throw std::bad_alloc();
        blocks_.push_back(p);
        return p;
    }
    void deallocate(void* p) override {
        if (p != nullptr)
            ++deallocations;
    }

private:
    std::vector<void*, malloc_allocator<void*>> blocks_;
};

// An allocator that is not kel_std::allocator itself: nothing is known of
// what it adds.
template <class T>
struct derived_allocator : kel_std::allocator<T> {
    using kel_std::allocator<T>::allocator;
};

// A value with a destructor; counts the live ones.
struct counted {
    static int live;
    int v;
    counted(int x) : v(x) { ++live; }
    counted(const counted& o) : v(o.v) { ++live; }
    ~counted() { --live; }
};
int counted::live = 0;

template <class K, class V>
using tree_map = kel_std::map<K, V, std::less<K>, kel_std::allocator<std::pair<const K, V>>>;
template <class K, class V>
using hashed_map =
    kel_std::unordered_map<K, V, kel_std::hash<K>, std::equal_to<K>, kel_std::allocator<std::pair<const K, V>>>;

// Fills a container of type C on `m` with 500 elements, clears it, fills it
// with 300 and destroys it. Returns the deallocations that `deallocations()`
// saw during clear() and during the destruction.
template <class C>
std::pair<int, int> deallocations_of_clear_and_destruction(kel_memory_manager& m,
                                                           const std::function<int()>& deallocations) {
    int by_clear = 0;
    int before = 0;
    {
        C c{typename C::allocator_type(&m)};
        for (int i = 0; i < 500; ++i)
            c.emplace(i, i);
        before = deallocations();
        c.clear();
        by_clear = deallocations() - before;
        EXPECT_EQ(structure_fault(c), "");
        EXPECT_TRUE(c.empty() && c.begin() == c.end());
        for (int i = 0; i < 300; ++i)
            c.emplace(i, i);
        EXPECT_EQ(structure_fault(c), "");
        EXPECT_EQ(c.size(), 300u);
        EXPECT_EQ(c.find(299)->first, 299);
        before = deallocations();
    }
    return std::make_pair(by_clear, deallocations() - before);
}

template <template <class, class> class Family>
void check_dropping(const char* name) {
    SCOPED_TRACE(name);
    typedef std::pair<int, int> counts;
    typedef Family<int, int> trivial;
    typedef Family<int, counted> with_destructor;
    // Elements without a destructor, on a monotonic manager: nothing reaches
    // it, neither for the nodes nor for the sentinel or bucket array.
    counting_monotonic mono;
    const auto mono_count = [&mono] { return mono.deallocations; };
    EXPECT_EQ(deallocations_of_clear_and_destruction<trivial>(mono, mono_count), counts(0, 0));
    // Elements with a destructor: each is destroyed and its node deallocated;
    // clear() keeps the sentinel or bucket array, the destructor frees it.
    EXPECT_EQ(deallocations_of_clear_and_destruction<with_destructor>(mono, mono_count), counts(500, 301));
    EXPECT_EQ(counted::live, 0);
    // The arena is monotonic; its blocks in use count deallocations down.
    arena_manager arena;
    const auto arena_count = [&arena] { return -static_cast<int>(arena.blocks_in_use()); };
    EXPECT_EQ(deallocations_of_clear_and_destruction<trivial>(arena, arena_count), counts(0, 0));
    EXPECT_EQ(arena.blocks_in_use(), 801u) << "dropped nodes stay counted until release()";
    EXPECT_EQ(deallocations_of_clear_and_destruction<with_destructor>(arena, arena_count), counts(500, 301));
    arena.release();
    EXPECT_EQ(arena.blocks_in_use(), 0u);
    // Managers that free blocks get every one back.
    pool_manager pool;
    const auto pool_count = [&pool] { return -static_cast<int>(pool.blocks_in_use()); };
    EXPECT_EQ(deallocations_of_clear_and_destruction<trivial>(pool, pool_count), counts(500, 301));
    EXPECT_EQ(pool.blocks_in_use() + pool.bytes_in_use(), 0u);
    recording_manager plain;
    const auto plain_count = [&plain] {
        return static_cast<int>(
            std::count_if(plain.calls.begin(), plain.calls.end(), [](const kel_test::manager_call& c) {
                return c.kind == kel_test::manager_call::deallocate;
            }));
    };
    EXPECT_EQ(deallocations_of_clear_and_destruction<trivial>(plain, plain_count), counts(500, 301));
    EXPECT_EQ(plain.live_blocks(), 0u);
}

} // namespace

TEST(managed_containers, only_the_librarys_allocator_on_a_monotonic_manager_may_skip_deallocation) {
    using kel_std::detail::deallocation_skippable;
    pool_manager pool;
    arena_manager arena;
    counting_monotonic mono;
    recording_manager plain;
    EXPECT_FALSE(deallocation_skippable(std::allocator<int>()));
    EXPECT_FALSE(deallocation_skippable(kel_std::allocator<int>()));
    EXPECT_FALSE(deallocation_skippable(kel_std::allocator<int>(&pool)));
    EXPECT_FALSE(deallocation_skippable(kel_std::allocator<int>(&plain)));
    EXPECT_TRUE(deallocation_skippable(kel_std::allocator<int>(&arena)));
    EXPECT_TRUE(deallocation_skippable(kel_std::allocator<std::string>(&mono)));
    EXPECT_FALSE(deallocation_skippable(derived_allocator<int>(&arena)));
}

TEST(managed_containers, on_a_monotonic_manager_elements_without_destructors_are_dropped_and_others_destroyed) {
    check_dropping<tree_map>("kel_std::map");
    check_dropping<hashed_map>("kel_std::unordered_map");
}

TEST(managed_containers, strings_on_the_arena_are_destroyed_and_give_their_blocks_back) {
    typedef std::pair<const int, kel_std::string> entry;
    recording_manager upstream;
    arena_manager arena(&upstream);
    {
        tree_map<int, kel_std::string> ordered{kel_std::allocator<entry>(&arena)};
        hashed_map<int, kel_std::string> hashed{kel_std::allocator<entry>(&arena)};
        for (int i = 0; i < 300; ++i) {
            const std::string text = "the value of key number " + std::to_string(i);
            const kel_std::string value(text.c_str(), kel_std::allocator<char>(&arena));
            ordered.emplace(i, value);
            hashed.emplace(i, value);
        }
        EXPECT_EQ(ordered.at(7).get_allocator().manager, &arena);
        EXPECT_GE(arena.blocks_in_use(), 4 * 300u);
        ordered.clear();
        EXPECT_EQ(arena.blocks_in_use(), 2 * 300u + 2)
            << "the hashed map's nodes, strings and bucket array, and the ordered map's sentinel";
    }
    EXPECT_EQ(arena.blocks_in_use(), 0u) << "every string buffer, node, sentinel and bucket array deallocated";
    arena.release();
    EXPECT_EQ(upstream.live_blocks(), 0u);
    EXPECT_EQ(upstream.bad_releases, 0);
}
