// list and forward_list beyond the shared sequence harness: the sort and
// merge against the stable algorithms on every small input, stability of
// element addresses, node moves that allocate nothing, the drop on a
// monotonic manager, the verifier's own fault detection and the debug
// checks. (Comparators that throw are in the harness's fault table.)
#include <kel_std/detail/list_check.h>
#include <kel_std/forward_list.h>
#include <kel_std/list.h>
#include <kel_std/memory_managers.h>

#include "support/recording_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using kel_std::detail::list_inspector;

static_assert(!kel_std::is_trivially_relocatable<kel_std::list<int>>::value, "the last node points into the list");
static_assert(kel_std::is_trivially_relocatable<kel_std::forward_list<int>>::value, "nothing points into it");
static_assert(kel_std::is_trivially_relocatable<kel_std::forward_list<std::string>>::value, "values are on nodes");

// An element ordered by its key alone; the tag tells equal keys apart.
struct tagged {
    int key;
    int tag;
    bool operator==(const tagged& o) const { return key == o.key && tag == o.tag; }
};
struct by_key {
    bool operator()(const tagged& a, const tagged& b) const { return a.key < b.key; }
};

template <class C>
std::vector<tagged> contents(const C& c) {
    return std::vector<tagged>(c.begin(), c.end());
}

template <class C>
class lists : public ::testing::Test {};
typedef ::testing::Types<kel_std::list<tagged>, kel_std::forward_list<tagged>> list_kinds;
TYPED_TEST_SUITE(lists, list_kinds, ::testing::internal::DefaultNameGenerator);

// Every sequence of up to 8 keys from {0, 1, 2}, then longer random ones
// (few distinct keys, and long sorted prefixes that take a counter slot of
// their own), against std::stable_sort and std::merge.
TYPED_TEST(lists, sort_and_merge_match_the_stable_algorithms) {
    std::vector<std::vector<tagged>> inputs;
    for (int length = 0; length <= 8; ++length) {
        int combinations = 1;
        for (int i = 0; i < length; ++i)
            combinations *= 3;
        for (int code = 0; code < combinations; ++code) {
            std::vector<tagged> v;
            for (int i = 0, c = code; i < length; ++i, c /= 3)
                v.push_back(tagged{c % 3, i});
            inputs.push_back(v);
        }
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const int length = static_cast<int>(rng() % 3000);
        const int keys = round % 2 == 0 ? 5 : 1000000;
        std::vector<tagged> v;
        for (int i = 0; i < length; ++i)
            v.push_back(tagged{static_cast<int>(rng() % static_cast<unsigned>(keys)), i});
        if (round % 4 < 2)
            std::stable_sort(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(rng() % (v.size() + 1)), by_key());
        inputs.push_back(v);
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::vector<tagged>& in = inputs[i];
        std::vector<tagged> expected = in;
        std::stable_sort(expected.begin(), expected.end(), by_key());
        TypeParam c(in.begin(), in.end());
        c.sort(by_key());
        ASSERT_EQ(list_inspector::check(c), "") << "input " << i;
        ASSERT_TRUE(contents(c) == expected) << "sort of input " << i;

        // Merge the sorted input with the next one's sorted form.
        const std::vector<tagged>& next_in = inputs[(i * 7 + 1) % inputs.size()];
        std::vector<tagged> other_sorted = next_in;
        std::stable_sort(other_sorted.begin(), other_sorted.end(), by_key());
        for (tagged& t : other_sorted)
            t.tag += 100000;
        TypeParam other(other_sorted.begin(), other_sorted.end());
        std::vector<tagged> merged;
        std::merge(expected.begin(), expected.end(), other_sorted.begin(), other_sorted.end(),
                   std::back_inserter(merged), by_key());
        c.merge(other, by_key());
        ASSERT_EQ(list_inspector::check(c), "") << "input " << i;
        ASSERT_TRUE(contents(c) == merged && other.empty()) << "merge after input " << i;
        c.merge(c, by_key());
        ASSERT_TRUE(contents(c) == merged) << "merging a list with itself does nothing";
    }
}

// Sorting, merging, reversing, splicing and erasing other elements move no
// element: each keeps its address.
TEST(list, elements_keep_their_addresses) {
    kel_std::list<int> l, other;
    std::vector<const int*> address(200);
    for (int i = 0; i < 100; ++i) {
        l.push_front(199 - 2 * i);
        address[static_cast<std::size_t>(199 - 2 * i)] = &l.front();
        other.push_back(2 * i);
        address[static_cast<std::size_t>(2 * i)] = &other.back();
    }
    l.sort();
    l.merge(other);
    l.reverse();
    other.splice(other.end(), l, l.begin(), std::next(l.begin(), 50));
    other.splice(other.begin(), l, std::prev(l.end()));
    l.splice(l.begin(), other);
    l.remove_if([](int v) { return v % 3 == 0; });
    l.insert(std::next(l.begin(), 10), 3, 1000);
    for (const int& v : l) {
        if (v != 1000) {
            EXPECT_EQ(&v, address[static_cast<std::size_t>(v)]) << v;
        }
    }
    EXPECT_EQ(list_inspector::check(l), "");
    EXPECT_EQ(l.size(), 200u - 67u + 3u);

    kel_std::forward_list<int> f(l.begin(), l.end());
    std::vector<const int*> before;
    for (const int& v : f)
        before.push_back(&v);
    f.sort();
    f.reverse();
    std::vector<const int*> after;
    for (const int& v : f)
        after.push_back(&v);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_TRUE(before == after);
}

// Splices and merges move nodes between lists on one manager: no block is
// allocated or released, and the counts follow.
TEST(list, splice_and_merge_take_no_memory) {
    typedef kel_std::list<int, kel_std::allocator<int>> list;
    kel_test::recording_manager manager;
    const kel_std::allocator<int> a(&manager);
    {
        list x({1, 3, 5, 7}, a), y({2, 4, 6}, a), z(a);
        kel_std::forward_list<int> fx({1, 3, 5}, a), fy({2, 4}, a);
        const std::size_t calls = manager.calls.size();
        x.splice(std::next(x.begin()), y, std::next(y.begin()));  // 4
        x.splice(x.end(), y, y.begin(), y.end());                 // 2 6
        z.splice(z.begin(), x);                                   // everything
        x.splice(x.begin(), z, std::next(z.begin(), 2), z.end()); // all but two
        x.sort();
        z.merge(x);
        z.splice(std::next(z.begin()), z, std::next(z.begin(), 3), z.end()); // within one list
        fx.splice_after(fx.before_begin(), fy);
        fx.sort();
        fy.splice_after(fy.before_begin(), fx, fx.begin(), fx.end());
        EXPECT_EQ(manager.calls.size(), calls) << "no allocation or release";
        EXPECT_TRUE(x.empty() && y.empty() && z.size() == 7u);
        EXPECT_EQ(std::vector<int>(z.begin(), z.end()), (std::vector<int>{1, 4, 5, 6, 7, 2, 3}));
        EXPECT_EQ(std::vector<int>(fy.begin(), fy.end()), (std::vector<int>{2, 3, 4, 5}));
        EXPECT_EQ(list_inspector::check(x) + list_inspector::check(y) + list_inspector::check(z), "");
    }
    EXPECT_EQ(manager.live_blocks(), 0u);
}

// remove(value) given one of the list's own elements compares with it until
// the end (a sanitizer build would see a use after free otherwise).
TEST(list, remove_of_an_element_of_the_list_itself) {
    const std::string a(40, 'a'), b(40, 'b');
    kel_std::list<std::string> l{a, b, a, a, b, a};
    EXPECT_EQ(l.remove(*std::next(l.begin(), 2)), 4u);
    EXPECT_EQ(l, (kel_std::list<std::string>{b, b}));
    kel_std::forward_list<std::string> f{b, a, b, a};
    EXPECT_EQ(f.remove(f.front()), 2u);
    EXPECT_EQ(f, (kel_std::forward_list<std::string>{a, a}));
}

// A value with a destructor; counts the live ones.
struct counted {
    static int live;
    int v;
    counted(int x) : v(x) { ++live; }
    counted(const counted& o) : v(o.v) { ++live; }
    ~counted() { --live; }
};
int counted::live = 0;

// On a monotonic manager, lists of trivially destructible elements drop
// their nodes when cleared or destroyed; others give every node back.
template <class C>
std::size_t blocks_after_clear_and_destruction(kel_std::arena_manager& arena, std::size_t& after_clear) {
    {
        const typename C::allocator_type a(&arena);
        C c(a);
        for (int i = 0; i < 500; ++i)
            c.emplace_front(i);
        c.clear();
        after_clear = arena.blocks_in_use();
        for (int i = 0; i < 300; ++i)
            c.emplace_front(i);
        EXPECT_EQ(list_inspector::check(c), "");
    }
    return arena.blocks_in_use();
}

TEST(list, monotonic_manager_drops_nodes_of_trivial_elements) {
    kel_std::arena_manager arena;
    std::size_t after_clear = 0;
    EXPECT_EQ(blocks_after_clear_and_destruction<kel_std::list<int>>(arena, after_clear), 800u);
    EXPECT_EQ(after_clear, 500u);
    arena.release();
    EXPECT_EQ(blocks_after_clear_and_destruction<kel_std::forward_list<int>>(arena, after_clear), 800u);
    EXPECT_EQ(after_clear, 500u);
    arena.release();
    EXPECT_EQ(blocks_after_clear_and_destruction<kel_std::list<counted>>(arena, after_clear), 0u);
    EXPECT_EQ(after_clear, 0u);
    EXPECT_EQ(blocks_after_clear_and_destruction<kel_std::forward_list<counted>>(arena, after_clear), 0u);
    EXPECT_EQ(counted::live, 0);
}

// The verifier sees each kind of damage, and never loops on a cycle.
TEST(list, verifier_reports_damaged_links) {
    kel_std::list<int> l{1, 2, 3, 4};
    ASSERT_EQ(list_inspector::check(l), "");
    kel_std::detail::list_link* const second = l.begin().node_->next;
    kel_std::detail::list_link* const fourth = std::prev(l.end()).node_;
    const auto expect_fault = [&l](const char* what) { EXPECT_NE(list_inspector::check(l), "") << what; };
    second->prev = fourth;
    expect_fault("a wrong back link");
    second->prev = l.begin().node_;
    fourth->next = second;
    expect_fault("a cycle that does not return to the sentinel");
    fourth->next = l.end().node_;
    l.begin().node_->prev = l.end().node_;
    expect_fault("a first node whose back link is not null");
    l.begin().node_->prev = nullptr;
    second->next->next = nullptr;
    expect_fault("a null forward link");
    second->next->next = fourth;
    l.end().node_->prev = second;
    expect_fault("a sentinel whose back link is not the last node");
    l.end().node_->prev = fourth;
    EXPECT_EQ(list_inspector::check(l), "") << "repaired";

    kel_std::forward_list<int> f{1, 2, 3};
    kel_std::detail::fwd_link* const last = std::next(f.begin(), 2).node_;
    last->next = f.begin().node_;
    EXPECT_NE(list_inspector::check(f), "") << "a cycle";
    last->next = f.before_begin().node_;
    EXPECT_NE(list_inspector::check(f), "") << "a cycle through the head";
    last->next = nullptr;
    EXPECT_EQ(list_inspector::check(f), "") << "repaired";
}

#if defined(KEL_STD_DEBUG)
TEST(list_debug_checks, misuse_of_ends_and_empty_lists_is_caught) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    kel_std::list<int> l{1}, empty;
    kel_std::forward_list<int> f{1}, fempty;
    EXPECT_DEATH(static_cast<void>(*l.end()), "");
    EXPECT_DEATH(++l.end(), "");
    EXPECT_DEATH(--l.begin(), "");
    EXPECT_DEATH(--empty.end(), "");
    EXPECT_DEATH(static_cast<void>(empty.front()), "");
    EXPECT_DEATH(empty.pop_back(), "");
    EXPECT_DEATH(l.erase(l.end()), "");
    EXPECT_DEATH(l.splice(l.begin(), l), "");
    EXPECT_DEATH(static_cast<void>(*f.end()), "");
    EXPECT_DEATH(fempty.pop_front(), "");
    EXPECT_DEATH(f.erase_after(f.begin()), "");
    // A position inside the range spliced from another list.
    kel_std::list<int> other{1, 2, 3};
    EXPECT_DEATH(l.splice(std::next(other.begin()), other, other.begin(), other.end()), "");
    // Unequal allocators.
    kel_std::arena_manager arena;
    kel_std::list<int> elsewhere({5}, kel_std::allocator<int>(&arena));
    EXPECT_DEATH(l.merge(elsewhere), "");
}
#endif

} // namespace
