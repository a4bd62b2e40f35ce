// The ordered containers beyond the model runs: exception safety by fault
// injection at every N, allocation accounting through a memory manager,
// allocator propagation, fancy pointers and std::pmr, values that cannot be
// copied or default-constructed, heterogeneous lookup, complexity promises
// that are visible from outside (comparisons and allocations counted), the
// inline iterator steps against the library's, and the debug-build checks.
#include "support/counting_heap.h"
#include "support/recording_manager.h"
#include "support/test_allocators.h"
#include "support/test_scale.h"

#include <kel_std/detail/tree_check.h>
#include <kel_std/map.h>
#include <kel_std/set.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <memory_resource>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

using kel_std::detail::tree_inspector;
using kel_test::faults;
using kel_test::fragile;
using kel_test::fragile_less;
using kel_test::injected;
using kel_test::live_blocks;
using kel_test::recording_manager;
using kel_test::test_allocator;

// An empty container is the header, the sentinel pointer and the size, plus
// whatever the allocator holds; its default and move constructors neither
// throw nor allocate.
static_assert(sizeof(kel_std::set<int, std::less<int>, std::allocator<int>>) == 6 * sizeof(void*), "no waste");
static_assert(sizeof(kel_std::map<int, int>) == 7 * sizeof(void*), "one more pointer: the manager");
static_assert(std::is_nothrow_default_constructible<kel_std::map<int, int>>::value, "");
static_assert(std::is_nothrow_move_constructible<kel_std::map<int, int>>::value, "");
static_assert(std::is_nothrow_move_constructible<kel_std::multiset<std::string>>::value, "");
static_assert(noexcept(std::declval<kel_std::set<int>&>().swap(std::declval<kel_std::set<int>&>())), "");
static_assert(noexcept(std::declval<kel_std::set<int>&>().clear()), "");

// Swaps are noexcept exactly when the comparator's swap is, the comparator's
// own swap found by argument-dependent lookup included (its copies may
// throw), with an allocator that propagates on swap or is always equal.
template <bool Nothrow, class A = kel_std::allocator<std::pair<const int, int>>>
constexpr bool ordered_swaps_nothrow_iff() {
    typedef kel_test::swap_only_less<Nothrow> less;
    typedef typename std::allocator_traits<A>::template rebind_alloc<int> set_alloc;
    return kel_test::swaps_nothrow_iff<Nothrow, kel_std::set<int, less, set_alloc>,
                                       kel_std::multiset<int, less, set_alloc>, kel_std::map<int, int, less, A>,
                                       kel_std::multimap<int, int, less, A>>();
}
static_assert(ordered_swaps_nothrow_iff<true>() && ordered_swaps_nothrow_iff<false>(), "propagating allocator");
static_assert(ordered_swaps_nothrow_iff<true, std::allocator<std::pair<const int, int>>>() &&
                  ordered_swaps_nothrow_iff<false, std::allocator<std::pair<const int, int>>>(),
              "allocator always equal");

static_assert(std::is_same<kel_std::set<int>::iterator, kel_std::set<int>::const_iterator>::value,
              "set elements are read only");
static_assert(std::is_same<std::iterator_traits<kel_std::map<int, int>::iterator>::iterator_category,
                           std::bidirectional_iterator_tag>::value,
              "");
static_assert(std::is_convertible<kel_std::map<int, int>::iterator, kel_std::map<int, int>::const_iterator>::value, "");
static_assert(!std::is_convertible<kel_std::map<int, int>::const_iterator, kel_std::map<int, int>::iterator>::value,
              "");

namespace {

template <class C>
void expect_sound(const C& c) {
    EXPECT_EQ(tree_inspector::check(c), "");
}

template <class C>
std::vector<typename C::value_type> contents(const C& c) {
    return std::vector<typename C::value_type>(c.begin(), c.end());
}

// Runs `op` on a fresh copy of `base` with the N-th fault point failing,
// for N = 1, 2, ... until it succeeds. Where it failed, `after_failure`
// checks the container (and `base`'s contents); no memory may be left over.
// Returns the number of injected failures.
template <class C, class Op, class Check>
int fail_at_every_n(const C& base, Op op, Check after_failure) {
    const long blocks_before = live_blocks();
    int failures = 0;
    for (int n = 1;; ++n) {
        bool failed = false;
        {
            C c(base);
            faults::arm(n);
            try {
                op(c);
            } catch (const injected&) {
                failed = true;
            }
            faults::disarm();
            expect_sound(c);
            if (failed)
                after_failure(c);
        }
        EXPECT_EQ(live_blocks(), blocks_before) << "leak after a failure at " << n;
        if (!failed)
            return failures;
        ++failures;
        if (n > 10000) {
            ADD_FAILURE() << "the operation never succeeds";
            return failures;
        }
    }
}

typedef test_allocator<fragile> fragile_alloc;
typedef kel_std::set<fragile, fragile_less, fragile_alloc> fragile_set;
typedef kel_std::multiset<fragile, fragile_less, fragile_alloc> fragile_multiset;
typedef test_allocator<std::pair<const fragile, fragile>> fragile_pair_alloc;
typedef kel_std::map<fragile, fragile, fragile_less, fragile_pair_alloc> fragile_map;
typedef kel_std::multimap<fragile, fragile, fragile_less, fragile_pair_alloc> fragile_multimap;

template <class C>
C filled(int n, int key_range) {
    C c;
    std::mt19937 rng(static_cast<unsigned>(n));
    for (int i = 0; i < n; ++i)
        c.insert(typename C::value_type(fragile(static_cast<int>(rng() % static_cast<unsigned>(key_range)), i)));
    return c;
}

template <>
fragile_map filled<fragile_map>(int n, int key_range) {
    fragile_map c;
    std::mt19937 rng(static_cast<unsigned>(n));
    for (int i = 0; i < n; ++i)
        c.emplace(fragile(static_cast<int>(rng() % static_cast<unsigned>(key_range))), fragile(i));
    return c;
}

template <>
fragile_multimap filled<fragile_multimap>(int n, int key_range) {
    fragile_multimap c;
    std::mt19937 rng(static_cast<unsigned>(n));
    for (int i = 0; i < n; ++i)
        c.emplace(fragile(static_cast<int>(rng() % static_cast<unsigned>(key_range))), fragile(i));
    return c;
}

int total_failures = 0;

// Every single-element insertion of `C` keeps the strong guarantee: on any
// failure (comparator, allocation, value construction) the container is
// unchanged.
template <class C, class Insert>
void strong_insert(const char* what, Insert insert) {
    for (int size : {0, 1, 2, 7, 40}) {
        const C base = filled<C>(size, 20);
        const auto before = contents(base);
        for (int key : {-1, 3, 10, 25}) {
            SCOPED_TRACE(std::string(what) + ", size " + std::to_string(size) + ", key " + std::to_string(key));
            total_failures += fail_at_every_n(
                base, [&](C& c) { insert(c, key); }, [&](const C& c) { EXPECT_TRUE(contents(c) == before); });
        }
    }
}

} // namespace

TEST(ordered_faults, single_element_insertion_leaves_the_container_unchanged_when_anything_throws) {
    total_failures = 0;
    strong_insert<fragile_set>("set::insert", [](fragile_set& c, int k) { c.insert(fragile(k, 99)); });
    strong_insert<fragile_set>("set::insert(hint)", [](fragile_set& c, int k) { c.insert(c.begin(), fragile(k)); });
    strong_insert<fragile_set>("set::emplace", [](fragile_set& c, int k) { c.emplace(k, 99); });
    strong_insert<fragile_multiset>("multiset::emplace_hint",
                                    [](fragile_multiset& c, int k) { c.emplace_hint(c.end(), k, 99); });
    strong_insert<fragile_multiset>("multiset::insert", [](fragile_multiset& c, int k) { c.insert(fragile(k)); });
    strong_insert<fragile_map>("map::try_emplace", [](fragile_map& c, int k) { c.try_emplace(fragile(k), 7); });
    strong_insert<fragile_map>("map::try_emplace(hint)",
                               [](fragile_map& c, int k) { c.try_emplace(c.end(), fragile(k), 7); });
    strong_insert<fragile_map>("map::operator[]", [](fragile_map& c, int k) { c[fragile(k)]; });
    strong_insert<fragile_map>("map::emplace", [](fragile_map& c, int k) { c.emplace(fragile(k), fragile(1)); });
    strong_insert<fragile_map>("map::insert(P&&)",
                               [](fragile_map& c, int k) { c.insert(std::make_pair(fragile(k), fragile(1))); });
    strong_insert<fragile_multimap>("multimap::emplace",
                                    [](fragile_multimap& c, int k) { c.emplace(fragile(k), fragile(1)); });
    strong_insert<fragile_multimap>("multimap::insert(hint)", [](fragile_multimap& c, int k) {
        c.insert(c.begin(), std::make_pair(fragile(k), fragile(2)));
    });
    EXPECT_GT(total_failures, 1000);
    std::cout << "[ figures ] single-element insertions: " << total_failures << " injected failures\n";
}

TEST(ordered_faults, copies_and_bulk_operations_that_fail_leave_valid_containers_and_no_leak) {
    int failures = 0;
    for (int size : {0, 1, 5, 33}) {
        SCOPED_TRACE("size " + std::to_string(size));
        const fragile_multimap source = filled<fragile_multimap>(size, 8);
        const fragile_multimap other = filled<fragile_multimap>(size / 2 + 3, 8);
        const auto nothing = [](const fragile_multimap&) {};
        // Copy construction: a failure leaves nothing behind at all.
        failures += fail_at_every_n(
            other, [&](fragile_multimap&) { fragile_multimap copy(source); }, nothing);
        // Copy assignment reuses the target's nodes; a failure leaves a
        // valid container (checked by the harness) and no leak.
        failures += fail_at_every_n(
            other, [&](fragile_multimap& c) { c = source; }, nothing);
        // Range insertion keeps what was inserted before the failure.
        failures += fail_at_every_n(
            other, [&](fragile_multimap& c) { c.insert(source.begin(), source.end()); },
            [&](const fragile_multimap& c) { EXPECT_GE(c.size(), other.size()); });
        // Merging moves nodes; whatever the comparator throws, no element is
        // lost or duplicated.
        failures += fail_at_every_n(
            other,
            [&](fragile_multimap& c) {
                fragile_map from(c.get_allocator());
                for (int i = 0; i < size; ++i)
                    from.emplace(fragile(i % 8), fragile(i));
                c.merge(from);
                EXPECT_TRUE(from.empty());
            },
            [&](const fragile_multimap& c) { EXPECT_GE(c.size(), other.size()); });
        // Erasure by key compares, and so may fail; then nothing is erased.
        failures += fail_at_every_n(
            other, [&](fragile_multimap& c) { c.erase(fragile(3)); },
            [&](const fragile_multimap& c) { EXPECT_EQ(c.size(), other.size()); });
    }
    EXPECT_GT(failures, 100);
    std::cout << "[ figures ] copies, assignments, range insertions, merges, erasures: " << failures
              << " injected failures\n";
}

TEST(ordered_faults, constructors_that_fail_release_everything_they_built) {
    const fragile_multiset source = filled<fragile_multiset>(20, 6);
    const std::vector<fragile> values(source.begin(), source.end());
    const fragile_multiset empty;
    const auto nothing = [](const fragile_multiset&) {};
    int failures = fail_at_every_n(
        empty, [&](fragile_multiset&) { fragile_multiset c(values.begin(), values.end()); }, nothing);
    failures += fail_at_every_n(
        empty,
        [&](fragile_multiset&) {
            fragile_multiset c{fragile(1), fragile(2), fragile(1)};
        },
        nothing);
    // A move with another allocator moves the values one by one.
    failures += fail_at_every_n(
        source,
        [&](fragile_multiset& from) {
            fragile_multiset c(std::move(from), fragile_alloc(9));
            EXPECT_EQ(c.size(), 20u);
        },
        nothing);
    EXPECT_GT(failures, 40);
}

namespace {

typedef test_allocator<std::pair<const int, std::unique_ptr<int>>> unique_alloc;

// Runs `op(c, source, p)` on an empty container `C` with the N-th allocation
// failing, for N = 1, 2, ... until it succeeds; `source` holds one element.
// The first element brings the sentinel: if an allocation fails, the
// container stays empty, and what the element was to come from stays with
// the caller (the value `p`, or the node, which the node-handle insertions
// below give back to `source`). Returns the number of failures.
template <class C, class Op>
int sentinel_failures(const char* what, Op op) {
    int failures = 0;
    for (int n = 1; n < 10; ++n) {
        SCOPED_TRACE(std::string(what) + ", allocation " + std::to_string(n) + " failing");
        const long blocks = live_blocks();
        bool failed = false;
        {
            C c(unique_alloc(1)), source(unique_alloc(1));
            source.emplace(2, std::unique_ptr<int>(new int(2)));
            std::unique_ptr<int> p(new int(1));
            faults::arm(n);
            try {
                op(c, source, p);
            } catch (const injected&) {
                failed = true;
            }
            faults::disarm();
            expect_sound(c);
            expect_sound(source);
            if (failed) {
                EXPECT_TRUE(c.empty());
                EXPECT_TRUE(p != nullptr && source.size() == 1) << "taken from the caller";
            }
        }
        EXPECT_EQ(live_blocks(), blocks) << "leak";
        if (!failed)
            return failures;
        ++failures;
    }
    ADD_FAILURE() << what << " never succeeds";
    return failures;
}

// A node-handle insertion that gives the node back to `source` if it fails.
template <class C, class Insert>
void insert_handle(C& c, C& source, Insert insert) {
    typename C::node_type nh = source.extract(source.begin());
    try {
        insert(c, std::move(nh));
    } catch (...) {
        source.insert(std::move(nh));
        throw;
    }
}

} // namespace

TEST(ordered_faults, the_sentinel_allocation_failing_takes_nothing_from_the_caller) {
    typedef kel_std::map<int, std::unique_ptr<int>, std::less<int>, unique_alloc> map;
    typedef kel_std::multimap<int, std::unique_ptr<int>, std::less<int>, unique_alloc> multimap;
    typedef std::unique_ptr<int> ptr;
    int failures = sentinel_failures<map>("emplace", [](map& c, map&, ptr& p) { c.emplace(1, std::move(p)); });
    failures +=
        sentinel_failures<map>("emplace_hint", [](map& c, map&, ptr& p) { c.emplace_hint(c.end(), 1, std::move(p)); });
    failures += sentinel_failures<map>("try_emplace", [](map& c, map&, ptr& p) { c.try_emplace(1, std::move(p)); });
    failures += sentinel_failures<map>("try_emplace(hint)",
                                       [](map& c, map&, ptr& p) { c.try_emplace(c.end(), 1, std::move(p)); });
    failures +=
        sentinel_failures<map>("insert_or_assign", [](map& c, map&, ptr& p) { c.insert_or_assign(1, std::move(p)); });
    failures += sentinel_failures<multimap>("multimap::emplace",
                                            [](multimap& c, multimap&, ptr& p) { c.emplace(1, std::move(p)); });
    failures += sentinel_failures<map>("insert(node)", [](map& c, map& source, ptr&) {
        insert_handle(c, source, [](map& m, map::node_type&& nh) { m.insert(std::move(nh)); });
    });
    failures += sentinel_failures<map>("insert(hint, node)", [](map& c, map& source, ptr&) {
        insert_handle(c, source, [](map& m, map::node_type&& nh) { m.insert(m.end(), std::move(nh)); });
    });
    failures += sentinel_failures<multimap>("multimap::insert(node)", [](multimap& c, multimap& source, ptr&) {
        insert_handle(c, source, [](multimap& m, multimap::node_type&& nh) { m.insert(std::move(nh)); });
    });
    failures += sentinel_failures<map>("merge", [](map& c, map& source, ptr&) { c.merge(source); });
    failures +=
        sentinel_failures<multimap>("multimap::merge", [](multimap& c, multimap& source, ptr&) { c.merge(source); });
    EXPECT_EQ(failures, 17); // the sentinel everywhere, and the node for the six values
}

// ---- allocation accounting through a memory manager ----

TEST(ordered_allocation, one_block_per_element_and_one_for_the_sentinel_all_from_the_manager) {
    typedef kel_std::allocator<std::pair<const int, int>> alloc;
    recording_manager manager;
    kel_test::heap_watch heap;
    {
        kel_std::map<int, int, std::less<int>, alloc> m{alloc(&manager)};
        kel_std::map<int, int, std::less<int>, alloc> empty{alloc(&manager)};
        EXPECT_TRUE(manager.calls.empty()) << "an empty map allocates nothing";
        for (int i = 0; i < 100; ++i)
            m[i * 7 % 100] = i;
        EXPECT_EQ(manager.live_blocks(), 101u);
        std::size_t node_blocks = 0, sentinel_blocks = 0;
        for (const kel_test::manager_call& c : manager.calls) {
            EXPECT_EQ(c.kind, kel_test::manager_call::allocate);
            EXPECT_EQ(c.tag, 1);
            node_blocks += c.size == sizeof(kel_std::kel_tree_node) + 2 * sizeof(int);
            sentinel_blocks += c.size == sizeof(kel_std::kel_tree_node);
        }
        EXPECT_EQ(node_blocks, 100u);
        EXPECT_EQ(sentinel_blocks, 1u);

        const std::size_t calls = manager.calls.size();
        kel_std::map<int, int, std::less<int>, alloc> moved(std::move(m));
        EXPECT_EQ(manager.calls.size(), calls) << "a move allocates nothing";
        EXPECT_TRUE(m.empty());
        m.clear(); // a moved-from map holds nothing to release
        EXPECT_EQ(moved.get_allocator().manager, &manager);
    }
    EXPECT_EQ(manager.live_blocks(), 0u);
    EXPECT_EQ(manager.bad_releases, 0) << "every block released once, through the same manager";
    EXPECT_EQ(heap.news(), 0) << "nothing from the global heap";
}

TEST(ordered_allocation, copy_assignment_reuses_the_nodes_it_has) {
    typedef kel_std::allocator<int> alloc;
    recording_manager manager;
    kel_std::multiset<int, std::less<int>, alloc> source{alloc(&manager)}, target{alloc(&manager)};
    for (int i = 0; i < 50; ++i)
        source.insert(i % 10);
    for (int n : {50, 80, 20}) {
        target.clear();
        for (int i = 0; i < n; ++i)
            target.insert(-i);
        const std::size_t live = manager.live_blocks();
        manager.calls.clear();
        target = source;
        expect_sound(target);
        EXPECT_TRUE(contents(target) == contents(source));
        std::size_t allocations = 0, releases = 0;
        for (const kel_test::manager_call& c : manager.calls)
            (c.kind == kel_test::manager_call::allocate ? allocations : releases) += 1;
        EXPECT_EQ(allocations, n < 50 ? 50u - static_cast<unsigned>(n) : 0u) << "target of " << n;
        EXPECT_EQ(releases, n > 50 ? static_cast<unsigned>(n) - 50u : 0u) << "target of " << n;
        EXPECT_EQ(manager.live_blocks(), live + allocations - releases);
    }
}

TEST(ordered_allocation, node_handles_move_between_containers_without_allocating) {
    typedef kel_std::allocator<std::pair<const int, std::string>> alloc;
    recording_manager manager;
    kel_std::map<int, std::string, std::less<int>, alloc> m{alloc(&manager)};
    kel_std::multimap<int, std::string, std::less<int>, alloc> mm{alloc(&manager)};
    for (int i = 0; i < 10; ++i) {
        m.emplace(i, "map " + std::to_string(i));
        mm.emplace(i % 3, "multimap " + std::to_string(i));
    }
    const std::size_t calls = manager.calls.size();
    const std::string* text = &m.find(4)->second;
    auto nh = m.extract(4);
    nh.key() = 1;
    const auto it = mm.insert(std::move(nh));
    EXPECT_EQ(&it->second, text) << "the same node, not a copy";
    EXPECT_EQ(std::prev(mm.upper_bound(1)), it) << "after the equal keys";
    auto back = mm.extract(mm.begin());
    back.key() = 4;
    const auto r = m.insert(std::move(back));
    EXPECT_TRUE(r.inserted);
    EXPECT_EQ(r.position->second, "multimap 0");
    m.merge(mm);
    mm.merge(m);
    EXPECT_EQ(manager.calls.size(), calls) << "extract, insert and merge allocate nothing";
    EXPECT_TRUE(m.empty());
    EXPECT_EQ(mm.size(), 20u);
    expect_sound(mm);

    kel_std::set<std::string> a{"x", "y"}, b{"z"};
    const std::string* y = &*a.find("y");
    b.insert(a.extract("y"));
    EXPECT_EQ(&*b.find("y"), y);
    const auto reinserted = b.insert(b.extract(b.begin()));
    EXPECT_TRUE(reinserted.inserted);
    auto dup = a.extract("x");
    a.insert("x");
    const auto r2 = a.insert(std::move(dup));
    EXPECT_FALSE(r2.inserted);
    EXPECT_EQ(r2.node.value(), "x") << "a refused node comes back in the result";
    EXPECT_EQ(*r2.position, "x");
}

// ---- allocator propagation ----

template <bool Pocca, bool Pocma, bool Pocs>
void check_propagation() {
    typedef test_allocator<int, Pocca, Pocma, Pocs> alloc;
    typedef kel_std::set<int, std::less<int>, alloc> set_t;
    const long blocks = live_blocks();
    {
        set_t a({1, 2, 3}, alloc(1));
        set_t b({4, 5}, alloc(2));
        set_t same_alloc({9}, alloc(1));
        same_alloc = a;
        EXPECT_TRUE(contents(same_alloc) == contents(a));
        const set_t from_empty(set_t(alloc(5)), alloc(6));
        EXPECT_TRUE(from_empty.empty());
        const set_t copy(a);
        EXPECT_EQ(copy.get_allocator().id, 101) << "select_on_container_copy_construction";
        const set_t copy_with(a, alloc(7));
        EXPECT_EQ(copy_with.get_allocator().id, 7);

        set_t c(alloc(3));
        c = a;
        EXPECT_EQ(c.get_allocator().id, Pocca ? 1 : 3);
        EXPECT_TRUE(contents(c) == contents(a));

        set_t d({9}, alloc(4));
        d = std::move(b);
        EXPECT_EQ(d.get_allocator().id, Pocma ? 2 : 4);
        EXPECT_TRUE(contents(d) == (std::vector<int>{4, 5}));
        expect_sound(b);
        expect_sound(d);

        set_t e({6}, alloc(Pocs ? 5 : 1));
        a.swap(e);
        EXPECT_EQ(a.get_allocator().id, Pocs ? 5 : 1);
        EXPECT_EQ(e.get_allocator().id, 1);
        EXPECT_TRUE(contents(a) == std::vector<int>{6});

        // Move construction with another allocator moves element by element.
        set_t f(std::move(e), alloc(8));
        EXPECT_EQ(f.get_allocator().id, 8);
        EXPECT_TRUE(contents(f) == (std::vector<int>{1, 2, 3}));
        expect_sound(e);
    }
    EXPECT_EQ(live_blocks(), blocks);
}

TEST(ordered_allocators, propagation_traits_are_honoured_on_copy_move_and_swap) {
    check_propagation<false, false, false>();
    check_propagation<true, true, true>();
    check_propagation<true, false, true>();
    check_propagation<false, true, false>();
}

// As many nodes as the allocator admits, and no more than a difference of
// positions can count.
template <template <class, class, class> class Set, template <class, class, class, class> class Map>
void expect_max_sizes() {
    typedef kel_std::detail::tree_node<int> set_node;
    typedef kel_std::detail::tree_node<std::pair<const int, int>> map_node;
    typedef std::pair<const int, int> entry;
    const std::size_t most = static_cast<std::size_t>(PTRDIFF_MAX);
    EXPECT_EQ((Set<int, std::less<int>, kel_test::budget_allocator<int, 4096>>().max_size()), 4096 / sizeof(set_node));
    EXPECT_EQ((Set<int, std::less<int>, kel_test::budget_allocator<int, SIZE_MAX>>().max_size()),
              most / sizeof(set_node));
    EXPECT_EQ((Map<int, int, std::less<int>, kel_test::budget_allocator<entry, 4096>>().max_size()),
              4096 / sizeof(map_node));
    EXPECT_EQ((Map<int, int, std::less<int>, kel_test::budget_allocator<entry, SIZE_MAX>>().max_size()),
              most / sizeof(map_node));
    EXPECT_EQ((Map<int, int, std::less<int>, kel_std::allocator<entry>>().max_size()),
              std::min<std::size_t>(0xFFFFFFFFu, most) / sizeof(map_node)); // 32 bits: a pointer difference
}

TEST(ordered_allocators, max_size_is_what_the_allocator_admits) {
    expect_max_sizes<kel_std::set, kel_std::map>();
    expect_max_sizes<kel_std::multiset, kel_std::multimap>();
}

TEST(ordered_allocators, move_assignment_between_unequal_allocators_moves_values_one_by_one) {
    typedef test_allocator<std::pair<const int, std::unique_ptr<int>>> alloc;
    kel_std::map<int, std::unique_ptr<int>, std::less<int>, alloc> a(alloc(1)), b(alloc(2));
    for (int i = 0; i < 5; ++i)
        a.emplace(i, std::unique_ptr<int>(new int(i)));
    b.emplace(42, nullptr);
    const int* three = a.at(3).get();
    b = std::move(a);
    EXPECT_EQ(b.get_allocator().id, 2);
    ASSERT_EQ(b.size(), 5u);
    EXPECT_EQ(b.at(3).get(), three) << "the value was moved, not copied";
    expect_sound(a);
    expect_sound(b);
}

TEST(ordered_allocators, fancy_pointers_are_converted_at_allocation_and_deallocation) {
    const long blocks = live_blocks();
    {
        kel_std::map<int, std::string, std::less<int>, kel_test::fancy_allocator<std::pair<const int, std::string>>> m;
        for (int i = 0; i < 200; ++i)
            m.emplace(i * 37 % 200, std::to_string(i));
        for (int i = 0; i < 200; i += 3)
            m.erase(i);
        auto copy = m;
        auto nh = copy.extract(copy.begin());
        nh.key() = 1000;
        EXPECT_TRUE(m.insert(std::move(nh)).inserted);
        expect_sound(m);
        expect_sound(copy);
        EXPECT_EQ(m.size(), 134u);
        EXPECT_EQ(live_blocks(), blocks + 2 + static_cast<long>(m.size() + copy.size()));
    }
    EXPECT_EQ(live_blocks(), blocks);
}

TEST(ordered_allocators, a_pmr_map_takes_every_node_from_its_resource) {
    alignas(std::max_align_t) static unsigned char buffer[1 << 16];
    std::pmr::monotonic_buffer_resource arena(buffer, sizeof buffer, std::pmr::null_memory_resource());
    typedef std::pmr::polymorphic_allocator<std::pair<const int, std::pmr::string>> alloc;
    kel_std::map<int, std::pmr::string, std::less<int>, alloc> m{alloc(&arena)};
    kel_std::map<int, std::pmr::string, std::less<int>, alloc> copy{alloc(&arena)};
    {
        kel_test::heap_watch heap;
        for (int i = 0; i < 100; ++i)
            m.emplace(i, "a string long enough to need memory of its own");
        copy = m;
        copy.erase(copy.begin());
        EXPECT_EQ(heap.news(), 0);
    }
    EXPECT_EQ(m.at(7).get_allocator().resource(), &arena) << "uses-allocator construction reaches the values";
    EXPECT_EQ(copy.size(), 99u);
    expect_sound(m);
    expect_sound(copy);
}

TEST(ordered_allocators, moves_with_an_equal_allocator_and_onto_themselves_keep_the_nodes) {
    typedef test_allocator<int> alloc;
    kel_std::multiset<int, std::less<int>, alloc> a({3, 1, 2, 2}, alloc(1));
    const int* two = &*a.find(2);
    kel_std::multiset<int, std::less<int>, alloc> b(std::move(a), alloc(1));
    EXPECT_EQ(&*b.find(2), two) << "an equal allocator takes the nodes over";
    EXPECT_TRUE(a.empty());
    auto& self = b;
    b = std::move(self);
    b.swap(self);
    b.merge(self);
    EXPECT_EQ(contents(b), (std::vector<int>{1, 2, 2, 3}));
    expect_sound(b);
}

TEST(ordered_values, node_handles_assign_and_swap_as_the_standard_says) {
    kel_std::map<int, std::string> m{{1, "one"}, {2, "two"}, {3, "three"}};
    auto first = m.extract(1);
    auto second = m.extract(2);
    first = std::move(second); // destroys "one", takes "two"
    EXPECT_TRUE(second.empty());
    EXPECT_EQ(first.mapped(), "two");
    second.swap(first);
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second.key(), 2);
    auto& same = first;
    first = std::move(same);
    EXPECT_TRUE(first.empty());
    swap(first, second);
    EXPECT_EQ(first.get_allocator(), m.get_allocator());
    auto third = m.extract(3);
    third.swap(first); // two full handles exchange their nodes
    EXPECT_EQ(third.key(), 2);
    EXPECT_EQ(first.key(), 3);
    first = decltype(first)(); // an empty handle assigned to a full one takes its node away
    EXPECT_TRUE(first.empty());

    auto it = m.insert_or_assign(m.end(), 3, "THREE");
    EXPECT_EQ(it->second, "THREE");
    int four = 4;
    it = m.insert_or_assign(m.begin(), std::move(four), "four");
    int again = 4;
    EXPECT_EQ(m.insert_or_assign(m.end(), std::move(again), "4")->second, "4");
    it = m.insert_or_assign(m.begin(), 4, "FOUR");
    EXPECT_EQ(it->second, "FOUR");
    EXPECT_EQ(m.size(), 2u);
}

// ---- values and keys ----

namespace {

struct no_default {
    explicit no_default(int v) : value(v) {}
    no_default(const no_default&) = delete;
    no_default& operator=(const no_default&) = delete;
    no_default(no_default&&) = default;
    no_default& operator=(no_default&&) = default;
    int value;
};

// A key that counts its constructions, with a transparent comparator.
struct counted_key {
    static int& constructions() {
        static int n = 0;
        return n;
    }
    explicit counted_key(int v) : value(v) { ++constructions(); }
    counted_key(const counted_key& other) : value(other.value) { ++constructions(); }
    int value;
};
struct transparent_less {
    typedef void is_transparent;
    static int key(const counted_key& k) { return k.value; }
    static int key(int k) { return k; }
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
        return key(a) < key(b);
    }
};

} // namespace

TEST(ordered_values, move_only_and_non_default_constructible_values_work) {
    kel_std::map<int, no_default> m;
    m.try_emplace(2, 20);
    m.emplace(1, no_default(10));
    m.insert_or_assign(2, no_default(21));
    m.insert_or_assign(m.end(), 3, no_default(30));
    EXPECT_EQ(m.at(2).value, 21);
    kel_std::map<int, no_default> moved(std::move(m));
    kel_std::map<int, no_default> target;
    target = std::move(moved);
    EXPECT_EQ(target.size(), 3u);
    EXPECT_EQ(target.begin()->second.value, 10);

    kel_std::set<std::unique_ptr<int>> owners;
    std::unique_ptr<int> p(new int(5));
    int* raw = p.get();
    owners.insert(std::move(p));
    EXPECT_EQ(owners.begin()->get(), raw);
    auto nh = owners.extract(owners.begin());
    EXPECT_EQ(*nh.value(), 5);
    kel_std::multiset<std::unique_ptr<int>> many;
    many.insert(std::move(nh));
    EXPECT_EQ(many.size(), 1u);
}

TEST(ordered_values, heterogeneous_lookup_constructs_no_key) {
    kel_std::multimap<counted_key, int, transparent_less> m;
    for (int i = 0; i < 20; ++i)
        m.emplace(counted_key(i % 5), i);
    counted_key::constructions() = 0;
    EXPECT_EQ(m.find(3)->first.value, 3);
    EXPECT_EQ(m.count(3), 4u);
    EXPECT_TRUE(m.contains(4));
    EXPECT_FALSE(m.contains(7));
    EXPECT_EQ(std::distance(m.lower_bound(1), m.upper_bound(2)), 8);
    const auto r = m.equal_range(0);
    EXPECT_EQ(std::distance(r.first, r.second), 4);
    const auto& cm = m;
    EXPECT_EQ(cm.find(9), cm.end());
    EXPECT_EQ(counted_key::constructions(), 0);

    kel_std::set<std::string, std::less<>> words{"alpha", "beta"};
    EXPECT_TRUE(words.contains("beta"));
    EXPECT_EQ(words.count(std::string_view("alpha")), 1u);
}

// The ordered container type `C` with the comparator and allocator
// replaced.
template <class C, class Compare, class A>
struct with_ordered;
template <template <class, class, class> class C, class K, class C0, class A0, class Compare, class A>
struct with_ordered<C<K, C0, A0>, Compare, A> {
    typedef C<K, Compare, A> type;
};
template <template <class, class, class, class> class C, class K, class T, class C0, class A0, class Compare, class A>
struct with_ordered<C<K, T, C0, A0>, Compare, A> {
    typedef C<K, T, Compare, A> type;
};

template <class Expected, class Got>
void expect_type(const Got&) {
    static_assert(std::is_same<Expected, Got>::value, "deduced another type");
}

// Every deduction the standard gives the ordered container `C`, whose type
// with the default comparator and allocator is `V`: from the iterator range
// [first, last) or an initializer list of the elements `...`, with a comparator and an
// allocator as far as each is given, and from a container of the same kind
// with an allocator.
#define EXPECT_ORDERED_GUIDES(C, V, first, last, ...)                                                                  \
    {                                                                                                                  \
        typedef std::greater<int> G;                                                                                   \
        typedef std::allocator<V::value_type> A;                                                                       \
        typedef with_ordered<V, V::key_compare, A>::type VA;                                                           \
        const A a = A();                                                                                               \
        expect_type<V>(C(first, last));                                                                                \
        expect_type<with_ordered<V, G, V::allocator_type>::type>(C(first, last, G()));                                 \
        expect_type<with_ordered<V, G, A>::type>(C(first, last, G(), a));                                              \
        expect_type<VA>(C(first, last, a));                                                                            \
        expect_type<V>(C({__VA_ARGS__}));                                                                              \
        expect_type<with_ordered<V, G, V::allocator_type>::type>(C({__VA_ARGS__}, G()));                               \
        expect_type<with_ordered<V, G, A>::type>(C({__VA_ARGS__}, G(), a));                                            \
        expect_type<VA>(C({__VA_ARGS__}, a));                                                                          \
        VA c({__VA_ARGS__}, a);                                                                                        \
        expect_type<VA>(C(c));                                                                                         \
        expect_type<VA>(C(c, a));                                                                                      \
        EXPECT_EQ(C(first, last, a), c) << #C;                                                                         \
        expect_type<VA>(C(std::move(c), a));                                                                           \
    }

TEST(ordered_values, deduction_guides_give_the_standard_types) {
    const std::vector<int> keys{1, 2, 2};
    typedef kel_std::set<int> set;
    EXPECT_ORDERED_GUIDES(kel_std::set, set, keys.begin(), keys.end(), 1, 2, 2);
    typedef kel_std::multiset<int> multiset;
    EXPECT_ORDERED_GUIDES(kel_std::multiset, multiset, keys.begin(), keys.end(), 1, 2, 2);
    const std::vector<std::pair<int, double>> pairs{{1, 0.5}, {2, 1.5}, {2, 2.5}};
    typedef std::pair<int, double> p;
    typedef kel_std::map<int, double> map;
    EXPECT_ORDERED_GUIDES(kel_std::map, map, pairs.begin(), pairs.end(), p(1, 0.5), p(2, 1.5), p(2, 2.5));
    typedef kel_std::multimap<int, double> multimap;
    EXPECT_ORDERED_GUIDES(kel_std::multimap, multimap, pairs.begin(), pairs.end(), p(1, 0.5), p(2, 1.5), p(2, 2.5));
    // A list of the maps' own value type deduces the key without its const.
    expect_type<map>(kel_std::map{std::pair<const int, double>{1, 0.5}});
    expect_type<multimap>(kel_std::multimap{std::pair<const int, double>{1, 0.5}});
}

// ---- complexity visible from outside ----

namespace {
struct counting_less {
    long* count;
    bool operator()(int a, int b) const {
        ++*count;
        return a < b;
    }
};
} // namespace

TEST(ordered_complexity, copies_compare_nothing_and_sorted_input_costs_one_comparison_per_element) {
    long comparisons = 0;
    const counting_less less{&comparisons};
    std::vector<int> sorted(10000);
    for (int i = 0; i < 10000; ++i)
        sorted[static_cast<std::size_t>(i)] = i * 2;
    kel_std::set<int, counting_less> s(sorted.begin(), sorted.end(), less);
    EXPECT_LE(comparisons, 10000) << "construction from sorted input";
    comparisons = 0;
    for (int i = 0; i < 10000; ++i)
        s.insert(s.end(), 20000 + i);
    EXPECT_LE(comparisons, 10000) << "insertion with an end() hint";
    comparisons = 0;
    kel_std::set<int, counting_less> copy(s);
    kel_std::set<int, counting_less> assigned(less);
    assigned.insert(5);
    assigned = s;
    EXPECT_EQ(comparisons, 0) << "copies clone the shape";
    expect_sound(copy);
    expect_sound(assigned);
    EXPECT_TRUE(copy == s);
}

// ---- iterators ----

TEST(ordered_iterators, the_inline_steps_reach_the_same_node_as_the_library_from_every_node) {
    // The verifier compares the header's own steps with kel_tree_aux's
    // increment and decrement at every node and from the header; here over
    // every size up to 200 in three insertion orders, and with erasures.
    int trees = 0;
    for (int n = 0; n <= 200; ++n) {
        kel_std::set<int> up, down, shuffled;
        std::vector<int> keys;
        for (int i = 0; i < n; ++i) {
            up.insert(i);
            down.insert(-i);
            keys.push_back(i);
        }
        std::shuffle(keys.begin(), keys.end(), std::mt19937(static_cast<unsigned>(n)));
        for (int k : keys)
            shuffled.insert(k);
        for (std::size_t i = 0; i < keys.size(); i += 3)
            shuffled.erase(keys[i]);
        for (const kel_std::set<int>* s : {&up, &down, &shuffled}) {
            ASSERT_EQ(tree_inspector::check(*s), "") << "size " << n;
            ++trees;
        }
    }
    std::cout << "[ figures ] inline steps checked against the library's in " << trees << " trees\n";
}

TEST(ordered_iterators, end_stays_valid_across_insertions_and_iterators_follow_their_elements) {
    kel_std::map<int, int> m;
    const auto end = m.end();
    m.emplace(1, 1);
    m.emplace(2, 2);
    auto last = end;
    --last; // an end() taken before the first element still walks back
    EXPECT_EQ(last->first, 2);
    --last;
    EXPECT_EQ(last->first, 1);
    EXPECT_EQ(end, m.end());

    const auto two = m.find(2);
    kel_std::map<int, int> other{{7, 7}};
    m.swap(other);
    EXPECT_EQ(two->first, 2);
    EXPECT_EQ(std::next(two), other.end()) << "the iterator now walks the other container";
    kel_std::map<int, int> moved(std::move(other));
    EXPECT_EQ(std::prev(two)->first, 1);
    EXPECT_EQ(std::next(two), moved.end());
}

TEST(ordered_iterators, the_verifier_reports_every_kind_of_damage) {
    // A checker that cannot fail proves nothing: damage a sound tree in each
    // way the verifier looks for, see it reported, and repair it.
    kel_std::multimap<int, int> m;
    for (int i = 0; i < 40; ++i)
        m.emplace(i % 13, i);
    ASSERT_EQ(tree_inspector::check(m), "");
    kel_std::kel_tree_node* const first = m.begin().node_;
    kel_std::kel_tree_node* const header = m.end().node_;
    kel_std::kel_tree_node* const root = header->parent;
    kel_std::kel_tree_node* const nil = m.begin().nil_;

    const auto expect_fault = [&](const char* what) { EXPECT_NE(tree_inspector::check(m), "") << what; };
    std::swap(const_cast<int&>(m.begin()->first), const_cast<int&>(std::prev(m.end())->first));
    expect_fault("keys out of order");
    std::swap(const_cast<int&>(m.begin()->first), const_cast<int&>(std::prev(m.end())->first));
    header->parent->color = kel_std::kel_tree_node::red;
    expect_fault("a red root");
    header->parent->color = kel_std::kel_tree_node::black;
    first->parent->color ^= 1u;
    expect_fault("a recoloured node");
    first->parent->color ^= 1u;
    first->color = 7;
    expect_fault("an impossible colour");
    first->color = kel_std::kel_tree_node::red;
    expect_fault("a red leaf made black, then red again (one fewer black on its path)");
    first->color = kel_std::kel_tree_node::black;
    ASSERT_EQ(tree_inspector::check(m), "") << "repaired";
    kel_std::kel_tree_node* const parent = first->parent;
    first->parent = root;
    expect_fault("a broken parent link");
    first->parent = parent;
    header->left = parent;
    expect_fault("the header's left not the first node");
    header->left = first;
    first->left = root;
    expect_fault("a cycle");
    first->left = nil;
    nil->color = kel_std::kel_tree_node::red;
    expect_fault("a red sentinel");
    nil->color = kel_std::kel_tree_node::black;
    header->color = kel_std::kel_tree_node::black;
    expect_fault("a black header");
    header->color = kel_std::kel_tree_node::red;
    EXPECT_EQ(tree_inspector::check(m), "") << "repaired";
}

#if defined(KEL_STD_DEBUG)
TEST(ordered_debug_checks, misuse_of_end_and_foreign_iterators_is_caught) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    kel_std::map<int, int> m{{1, 1}}, other{{2, 2}};
    kel_std::set<int> empty;
    EXPECT_DEATH(static_cast<void>(*m.end()), "");
    EXPECT_DEATH(++m.end(), "");
    EXPECT_DEATH(--m.begin(), "");
    EXPECT_DEATH(--empty.end(), "");
    EXPECT_DEATH(m.erase(m.end()), "");
    EXPECT_DEATH(m.erase(other.begin()), "");
    EXPECT_DEATH(m.insert(other.begin(), std::make_pair(3, 3)), "");
}
#endif
