// The sequence containers (vector, deque, list, forward_list) against the
// standard containers of the same kind: model-based randomized runs of every
// element kind (tests/support/sequence_model.h), the same runs with the
// containers' allocator on memory managers, on stateful allocators with each
// propagation choice, on fancy pointers and on std::pmr, and the
// fault-injection table (tests/support/fault_driver.h).
//
// The containers under test are named once, by the families in
// tests/support/sequence_model.h, which the fuzz target shares. Rows of the
// fault-injection table are added to fault_table below.
#include "support/counting_heap.h"
#include "support/fault_driver.h"
#include "support/platform.h"
#include "support/recording_manager.h"
#include "support/sequence_model.h"
#include "support/test_allocators.h"
#include "support/test_scale.h"

#include <kel_std/memory_managers.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <type_traits>

namespace {

using kel_test::guarantee;

const int seeds = 8;
const int steps = kel_test::scaled(2500);

// `seeds` seeded runs of `steps` operations of Kind, the containers on
// `alloc` and `other`; `after_each` is called once a run's containers are
// gone. Prints and returns the operations checked.
template <class Kind, class Alloc = typename Kind::ours::allocator_type>
long run_kind(const std::string& name, int run_seeds, int run_steps, const Alloc& alloc = Alloc(),
              const Alloc& other = Alloc(), const std::function<void()>& after_each = nullptr) {
    long ops = 0, aliased_at_capacity = 0;
    for (int seed = 1; seed <= run_seeds; ++seed) {
        const int key_range = seed % 3 == 0 ? 6 : (seed % 3 == 1 ? 40 : 1000);
        bool failed = false;
        {
            kel_test::random_source src(static_cast<std::uint32_t>(seed), key_range);
            kel_test::sequence_run<Kind> run(
                src,
                [&](const std::string& what) {
                    ADD_FAILURE() << name << ", seed " << seed << ", key range " << key_range << ": " << what;
                    failed = true;
                },
                alloc, other);
            ops += run.run(run_steps, [] { return true; });
            aliased_at_capacity += run.seen().aliased_at_capacity;
        }
        if (after_each)
            after_each();
        if (failed)
            break;
    }
    if (kel_test::has_capacity<typename Kind::ours>::value &&
        std::is_copy_constructible<typename Kind::value_type>::value) {
        EXPECT_GT(aliased_at_capacity, 0) << name << ": no own element was inserted into a full vector";
    }
    std::cout << "[ figures ] " << name << ": " << ops << " operations checked\n";
    return ops;
}

template <class Family, class Element, class Alloc = kel_std::allocator<typename Element::type>>
using kind = kel_test::sequence_kind<Family, Element, Alloc>;

template <class Family, class Element>
std::string name_of(const char* on = nullptr) {
    return std::string(Family::name) + "<" + Element::name + ">" + (on != nullptr ? std::string(" on ") + on : "");
}

template <class Family>
class sequence : public ::testing::Test {};
struct family_name {
    template <class Family>
    static std::string GetName(int) {
        return Family::name;
    }
};
// One container per test program (sequence_<name>_test), so that the
// programs build in parallel and a container's own build needs only its own.
typedef ::testing::Types<kel_test::KEL_TEST_SEQUENCE_FAMILY> families;
TYPED_TEST_SUITE(sequence, families, family_name);

TYPED_TEST(sequence, matches_the_std_container_for_every_element_kind) {
    typedef TypeParam F;
    run_kind<kind<F, kel_test::int_element>>(name_of<F, kel_test::int_element>(), seeds, steps);
    run_kind<kind<F, kel_test::string_element>>(name_of<F, kel_test::string_element>(), seeds, steps);
    run_kind<kind<F, kel_test::kel_string_element>>(name_of<F, kel_test::kel_string_element>(), seeds, steps);
    run_kind<kind<F, kel_test::tagged_element>>(name_of<F, kel_test::tagged_element>(), seeds, steps);
    run_kind<kind<F, kel_test::move_only_element>>(name_of<F, kel_test::move_only_element>(), seeds, steps);
    run_kind<kind<F, kel_test::tracked_element>>(name_of<F, kel_test::tracked_element>(), seeds, steps);
}

// On a pool every block comes back when the containers go; on an arena
// containers of elements with destructors deallocate every block.
TYPED_TEST(sequence, takes_its_memory_from_pool_and_arena_managers) {
    typedef TypeParam F;
    kel_std::pool_manager pool, other_pool;
    run_kind<kind<F, kel_test::string_element>>(name_of<F, kel_test::string_element>("pool_manager"), 2, steps,
                                                kel_std::allocator<std::string>(&pool),
                                                kel_std::allocator<std::string>(&other_pool), [&] {
                                                    EXPECT_NE(pool.chunks_held(), 0u);
                                                    EXPECT_EQ(pool.blocks_in_use() + other_pool.blocks_in_use(), 0u);
                                                });
    kel_std::arena_manager arena;
    run_kind<kind<F, kel_test::int_element>>(name_of<F, kel_test::int_element>("arena_manager"), 2, steps,
                                             kel_std::allocator<int>(&arena), kel_std::allocator<int>(&arena), [&] {
                                                 EXPECT_NE(arena.chunks_held(), 0u);
                                                 arena.release();
                                             });
    run_kind<kind<F, kel_test::tracked_element>>(name_of<F, kel_test::tracked_element>("arena_manager"), 2, steps,
                                                 kel_std::allocator<kel_test::tracked<false>>(&arena),
                                                 kel_std::allocator<kel_test::tracked<false>>(&arena), [&] {
                                                     EXPECT_EQ(arena.blocks_in_use(), 0u);
                                                     arena.release();
                                                 });
}

// Every block from the manager (the global heap sees no call while the
// models live on malloc), every block back, none released twice.
TYPED_TEST(sequence, takes_every_block_from_a_recording_manager_and_returns_it) {
    typedef TypeParam F;
    kel_test::recording_manager manager, other;
    typedef kind<F, kel_test::int_element> K;
    long ops = 0;
    {
        kel_test::random_source src(7, 50);
        kel_test::sequence_run<K> run(
            src, [](const std::string& what) { ADD_FAILURE() << what; }, kel_std::allocator<int>(&manager),
            kel_std::allocator<int>(&other));
        run.off_the_heap();
        kel_test::heap_watch heap;
        ops = run.run(steps, [] { return true; });
        EXPECT_EQ(heap.news(), 0) << "blocks from the global heap";
    }
    EXPECT_GT(manager.calls.size(), 0u);
    EXPECT_EQ(manager.live_blocks() + other.live_blocks(), 0u);
    EXPECT_EQ(manager.bad_releases + other.bad_releases, 0);
    std::cout << "[ figures ] " << name_of<F, kel_test::int_element>("recording_manager") << ": " << ops
              << " operations checked, " << manager.calls.size() + other.calls.size() << " manager calls\n";
}

// Copy and move assignment and swap between equal and unequal allocators,
// each propagation trait on alone (so that one taken for another shows;
// kel_std::allocator and std::pmr's propagate on swap alone and not at all).
template <class F, bool Pocca, bool Pocma, bool Pocs>
void run_propagating(const char* which) {
    typedef kel_test::test_allocator<kel_test::tracked<false>, Pocca, Pocma, Pocs> A;
    const long blocks = kel_test::live_blocks();
    run_kind<kind<F, kel_test::tracked_element, A>>(name_of<F, kel_test::tracked_element>(which), 2, steps, A(1), A(2));
    EXPECT_EQ(kel_test::live_blocks(), blocks);
}
TYPED_TEST(sequence, follows_every_allocator_propagation_choice) {
    run_propagating<TypeParam, true, false, false>("test_allocator propagating on copy assignment");
    run_propagating<TypeParam, false, true, false>("test_allocator propagating on move assignment");
    run_propagating<TypeParam, false, false, true>("test_allocator propagating on swap");
}

TYPED_TEST(sequence, works_with_fancy_pointers_and_std_pmr) {
    typedef TypeParam F;
    typedef kel_test::fancy_allocator<kel_test::tracked<false>> fancy;
    typedef kind<F, kel_test::tracked_element, fancy> fancy_kind;
    run_kind<fancy_kind>(name_of<F, kel_test::tracked_element>("fancy_allocator"), 2, steps);
#if KEL_TEST_HAVE_PMR
    std::pmr::monotonic_buffer_resource monotonic;
    std::pmr::unsynchronized_pool_resource pool;
    typedef std::pmr::polymorphic_allocator<std::string> pmr;
    run_kind<kind<F, kel_test::string_element, pmr>>(name_of<F, kel_test::string_element>("std::pmr"), 2, steps,
                                                     pmr(&monotonic), pmr(&pool));
#endif
}

// ---- fault injection ----

// Moves the second half of `from`'s elements to `to`, allocating nothing.
template <class C>
void splice_second_half(C& to, C& from) {
    const long half = kel_test::element_count(from) / 2;
    if constexpr (kel_test::has_splice<C>::value) {
        to.splice(to.begin(), from, std::next(from.begin(), half), from.end());
    } else {
        if (half > 0)
            to.splice_after(to.before_begin(), from, std::next(from.begin(), half - 1), from.end());
    }
}

// The operations under fault injection, with what the standard promises
// when a copy or move of an element throws and when an allocation fails.
// Rows for one container only go under an `if constexpr` on what it has.
template <class C>
std::vector<kel_test::fault_row<C>> fault_table() {
    typedef typename C::value_type V;
    static const V value(14);
    using kel_test::element_count;
    using kel_test::insert_at;
    constexpr bool nodes = kel_test::has_splice<C>::value || kel_test::has_after_ops<C>::value;
    constexpr bool vector = kel_test::has_capacity<C>::value;
    constexpr bool deque = !nodes && !vector;
    // Where a vector or a deque shifts elements, a throwing element leaves
    // the container valid only; an allocation failure changes nothing. A
    // deque moves its elements back when a new one cannot be built, which
    // cannot fail if their moves cannot.
    const guarantee shifting =
        nodes || (deque && std::is_nothrow_move_constructible<V>::value) ? guarantee::strong : guarantee::basic;
    // resize builds the new elements before it commits to them, in every
    // container (a vector's and a deque's are insertions at the end, the
    // lists build the new nodes before linking any).
    const guarantee growing = guarantee::strong;
    const guarantee at_front = vector ? guarantee::basic : guarantee::strong;
    const auto middle = [](const C& c) { return element_count(c) / 2 - (nodes && !kel_test::has_splice<C>::value); };
    const auto end = [](const C& c) { return element_count(c) - (kel_test::has_after_ops<C>::value ? 1 : 0); };
    const auto begin = [](const C&) { return kel_test::has_after_ops<C>::value ? -1L : 0L; };
    std::vector<kel_test::fault_row<C>> rows{
        {"copy construction", guarantee::strong, guarantee::strong, [](C& c) { C copy(c); }, nullptr},
        {"copy assignment", guarantee::basic, guarantee::basic,
         [](C& c) {
             const C other(9, V(3), c.get_allocator());
             c = other;
         },
         nullptr},
        {"assign(n, value)", guarantee::basic, guarantee::basic, [](C& c) { c.assign(9, V(4)); }, nullptr},
        {"resize(n + 5)", growing, growing,
         [](C& c) { c.resize(static_cast<typename C::size_type>(element_count(c) + 5)); }, nullptr},
        {"resize(n + 5, value)", growing, growing,
         [](C& c) { c.resize(static_cast<typename C::size_type>(element_count(c) + 5), V(5)); }, nullptr},
        {"insert at the front", at_front, guarantee::strong, [=](C& c) { insert_at(c, begin(c), V(6)); }, nullptr},
        {"insert in the middle", shifting, guarantee::strong, [=](C& c) { insert_at(c, middle(c), V(7)); }, nullptr},
        {"insert at the end", guarantee::strong, guarantee::strong, [=](C& c) { insert_at(c, end(c), V(8)); }, nullptr},
        {"emplace in the middle", shifting, guarantee::strong, [=](C& c) { kel_test::emplace_at(c, middle(c), 9); },
         nullptr},
        {"insert(n, value) in the middle", shifting, guarantee::strong,
         [=](C& c) { insert_at(c, middle(c), 3, V(10)); }, nullptr},
        {"insert(range) in the middle", shifting, guarantee::strong,
         [=](C& c) {
             const V vs[] = {V(11), V(12), V(13)};
             insert_at(c, middle(c), vs, vs + 3);
         },
         nullptr},
    };
    if constexpr (kel_test::has_back<C>::value) {
        rows.push_back({"push_back", guarantee::strong, guarantee::strong, [](C& c) { c.push_back(value); }, nullptr});
        rows.push_back(
            {"emplace_back", guarantee::strong, guarantee::strong, [](C& c) { c.emplace_back(15); }, nullptr});
    }
    if constexpr (kel_test::has_front_ops<C>::value || kel_test::has_after_ops<C>::value) {
        rows.push_back(
            {"push_front", guarantee::strong, guarantee::strong, [](C& c) { c.push_front(value); }, nullptr});
        rows.push_back(
            {"emplace_front", guarantee::strong, guarantee::strong, [](C& c) { c.emplace_front(17); }, nullptr});
    }
    if constexpr (vector) {
        const auto full = [](C& c) { c.shrink_to_fit(); };
        rows.push_back(
            {"push_back at capacity", guarantee::strong, guarantee::strong, [](C& c) { c.push_back(V(18)); }, full});
        rows.push_back({"push_back of an own element at capacity", guarantee::strong, guarantee::strong,
                        [](C& c) { c.empty() ? c.push_back(V(19)) : c.push_back(c.front()); }, full});
        rows.push_back(
            {"reserve", guarantee::strong, guarantee::strong, [](C& c) { c.reserve(c.capacity() + 9); }, nullptr});
    }
    if constexpr (deque) {
        // Ranges at either end move nothing: no effect on any failure.
        const auto range_at = [](C& c, long i) {
            const V vs[] = {V(22), V(23), V(24)};
            insert_at(c, i, vs, vs + 3);
        };
        rows.push_back({"insert(range) at the front", guarantee::strong, guarantee::strong,
                        [=](C& c) { range_at(c, 0); }, nullptr});
        rows.push_back({"insert(range) at the end", guarantee::strong, guarantee::strong,
                        [=](C& c) { range_at(c, element_count(c)); }, nullptr});
        // Enough elements for new blocks and a new map.
        rows.push_back({"insert(n, value) at the front", guarantee::strong, guarantee::strong,
                        [](C& c) { c.insert(c.begin(), 300, V(25)); }, nullptr});
    }
    if constexpr (kel_test::has_shrink<C>::value) {
        rows.push_back({"shrink_to_fit", guarantee::strong, guarantee::strong, [](C& c) { c.shrink_to_fit(); },
                        [](C& c) { c.insert(c.end(), 5, V(21)), c.erase(c.end() - 5, c.end()); }});
    }
    if constexpr (nodes) {
        // The comparator throws; sorting allocates nothing.
        const auto less = [](const V& a, const V& b) {
            kel_test::faults::tick();
            return a.key < b.key;
        };
        rows.push_back({"sort with a throwing comparison", guarantee::same_elements, guarantee::allocates_nothing,
                        [=](C& c) { c.sort(less); }, nullptr});
        rows.push_back({"merge with a throwing comparison", guarantee::basic, guarantee::basic,
                        [=](C& c) {
                            // The second half of c, moved into other.
                            C other(c.get_allocator());
                            splice_second_half(other, c);
                            c.sort(less);
                            other.sort(less);
                            c.merge(other, less);
                        },
                        [](C& c) { c.sort(); }});
        rows.push_back({"unique with a throwing predicate", guarantee::basic, guarantee::allocates_nothing,
                        [](C& c) {
                            c.unique([](const V& a, const V& b) {
                                kel_test::faults::tick();
                                return a.key == b.key;
                            });
                        },
                        nullptr});
    } else {
        rows.push_back({"erase in the middle", guarantee::basic, guarantee::allocates_nothing,
                        [=](C& c) {
                            if (!c.empty())
                                c.erase(std::next(c.begin(), element_count(c) / 2));
                        },
                        nullptr});
    }
    return rows;
}

// Every row of the table on prepared containers of several sizes; prints
// the injection points of each operation.
template <class C>
void run_fault_table(const std::string& name, const typename C::allocator_type& alloc, kel_test::fault_source& source) {
    std::vector<long> points;
    for (const int n : {0, 1, 6, 40, 130}) {
        C prepared(alloc);
        for (int i = 0; i < n; ++i)
            kel_test::insert_at(prepared, kel_test::has_after_ops<C>::value ? -1 : 0, typename C::value_type(i % 7, i));
        const auto rows = fault_table<C>();
        points.resize(rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r)
            points[r] += kel_test::inject_faults(
                prepared, rows[r], source, [&](const std::string& what) { ADD_FAILURE() << name << ": " << what; });
    }
    std::ostringstream out;
    const auto rows = fault_table<C>();
    for (std::size_t r = 0; r < rows.size(); ++r)
        out << (r == 0 ? "" : ", ") << rows[r].name << " " << points[r];
    std::cout << "[ figures ] fault injection points, " << name << ": " << out.str() << "\n";
}

template <class F, bool NothrowMove>
void run_fault_tables() {
    typedef kel_test::tracked<NothrowMove> V;
    const std::string value = NothrowMove ? "<tracked, nothrow move>" : "<tracked, throwing move>";
    kel_test::value_and_allocation_faults faults;
    run_fault_table<typename F::template ours<V, kel_test::test_allocator<V>>>(
        std::string(F::name) + value + " on test_allocator", kel_test::test_allocator<V>(1), faults);
    kel_test::recording_manager manager;
    kel_test::manager_faults failing(manager);
    run_fault_table<typename F::template ours<V, kel_std::allocator<V>>>(
        std::string(F::name) + value + " on recording_manager", kel_std::allocator<V>(&manager), failing);
    EXPECT_EQ(manager.live_blocks(), 0u);
}

TYPED_TEST(sequence, keeps_its_guarantees_when_an_element_or_an_allocation_fails) {
    run_fault_tables<TypeParam, true>();
    run_fault_tables<TypeParam, false>();
}

} // namespace
