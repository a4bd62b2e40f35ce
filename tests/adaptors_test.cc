// stack, queue and priority_queue: randomized runs against std::stack,
// std::queue and std::priority_queue over the same containers (ours and the
// standard ones), the pop order of equal elements, and the constructors,
// allocators and deduction guides.
#include <kel_std/queue.h>
#include <kel_std/stack.h>
#include <kel_std/vector.h>

#include "support/test_allocators.h"
#include "support/test_scale.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <list>
#include <queue>
#include <random>
#include <stack>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// An element ordered by its key alone: the tag tells equal keys apart, so
// that the pop order of equal elements is seen.
struct entry {
    int key;
    int tag;
    entry(int k = 0, int t = 0) : key(k), tag(t) {}
    friend bool operator<(const entry& a, const entry& b) { return a.key < b.key; }
    friend bool operator>(const entry& a, const entry& b) { return a.key > b.key; }
    friend bool operator==(const entry& a, const entry& b) { return a.key == b.key && a.tag == b.tag; }
};

// The element a test can see first: the top of a stack, the front and back
// of a queue.
template <class T, class C>
std::pair<entry, entry> ends(const kel_std::stack<T, C>& s) {
    return {s.top(), s.top()};
}
template <class T, class C>
std::pair<entry, entry> ends(const std::stack<T, C>& s) {
    return {s.top(), s.top()};
}
template <class T, class C>
std::pair<entry, entry> ends(const kel_std::queue<T, C>& q) {
    return {q.front(), q.back()};
}
template <class T, class C>
std::pair<entry, entry> ends(const std::queue<T, C>& q) {
    return {q.front(), q.back()};
}
template <class A>
const entry& newest(A& a, std::true_type /*stack*/) {
    return a.top();
}
template <class A>
const entry& newest(A& a, std::false_type) {
    return a.back();
}

// Random pushes, emplaces (whose returned reference must be the new
// element), pops, swaps, copies and comparisons on two of ours and two of
// the model's, compared after every step.
template <class Ours, class Model, bool IsStack>
void differential(unsigned seed) {
    std::mt19937 rng(seed);
    Ours ours[2];
    Model model[2];
    const long steps = kel_test::scaled(4000);
    for (long step = 0; step < steps; ++step) {
        const int i = static_cast<int>(rng() % 2);
        const entry e{static_cast<int>(rng() % 8), static_cast<int>(step)};
        switch (rng() % 8) {
        case 0:
            ours[i].push(e);
            model[i].push(e);
            break;
        case 1: {
            entry moved = e;
            ours[i].push(std::move(moved));
            model[i].push(e);
            break;
        }
        case 2: {
            const entry& added = ours[i].emplace(e.key, e.tag);
            model[i].push(e);
            ASSERT_EQ(&added, &newest(ours[i], std::integral_constant<bool, IsStack>()));
            break;
        }
        case 3:
        case 4:
            if (!model[i].empty()) {
                ours[i].pop();
                model[i].pop();
            }
            break;
        case 5:
            if (rng() % 2 != 0) {
                ours[0].swap(ours[1]);
            } else {
                using std::swap;
                swap(ours[0], ours[1]);
            }
            model[0].swap(model[1]);
            break;
        case 6:
            ours[i] = ours[1 - i];
            model[i] = model[1 - i];
            break;
        case 7: {
            Ours copy(ours[i]);
            ours[1 - i] = std::move(copy);
            model[1 - i] = model[i];
            break;
        }
        }
        for (int k = 0; k < 2; ++k) {
            ASSERT_EQ(ours[k].size(), model[k].size()) << "seed " << seed << " step " << step;
            ASSERT_EQ(ours[k].empty(), model[k].empty());
            if (!model[k].empty()) {
                ASSERT_EQ(ends(ours[k]), ends(model[k])) << "seed " << seed << " step " << step;
            }
        }
        ASSERT_EQ(ours[0] == ours[1], model[0] == model[1]);
        ASSERT_EQ(ours[0] != ours[1], model[0] != model[1]);
        ASSERT_EQ(ours[0] < ours[1], model[0] < model[1]);
        ASSERT_EQ(ours[0] <= ours[1], model[0] <= model[1]);
        ASSERT_EQ(ours[0] > ours[1], model[0] > model[1]);
        ASSERT_EQ(ours[0] >= ours[1], model[0] >= model[1]);
    }
}

TEST(adaptors_differential, stack_over_every_container_matches_std_stack) {
    differential<kel_std::stack<entry>, std::stack<entry>, true>(1);
    differential<kel_std::stack<entry, kel_std::vector<entry>>, std::stack<entry, std::vector<entry>>, true>(2);
    differential<kel_std::stack<entry, std::vector<entry>>, std::stack<entry, std::vector<entry>>, true>(3);
    differential<kel_std::stack<entry, std::list<entry>>, std::stack<entry, std::list<entry>>, true>(4);
}

TEST(adaptors_differential, queue_over_every_container_matches_std_queue) {
    differential<kel_std::queue<entry>, std::queue<entry>, false>(5);
    differential<kel_std::queue<entry, std::deque<entry>>, std::queue<entry, std::deque<entry>>, false>(6);
    differential<kel_std::queue<entry, std::list<entry>>, std::queue<entry, std::list<entry>>, false>(7);
}

// The same pushes and pops as std::priority_queue, with few distinct keys
// so that equal elements abound: the tags on top must agree at every step.
template <class Container, class Compare>
void priority_differential(unsigned seed) {
    typedef std::vector<entry> std_container;
    std::mt19937 rng(seed);
    std::vector<entry> initial;
    for (int i = 0; i < 50; ++i)
        initial.push_back(entry{static_cast<int>(rng() % 5), -i});
    // Every constructor that takes elements builds the same heap.
    const Container from(initial.begin(), initial.end());
    kel_std::priority_queue<entry, Container, Compare> ours[] = {
        kel_std::priority_queue<entry, Container, Compare>(initial.begin(), initial.end()),
        kel_std::priority_queue<entry, Container, Compare>(Compare(), from),
        kel_std::priority_queue<entry, Container, Compare>(initial.begin() + 10, initial.end(), Compare(),
                                                           Container(initial.begin(), initial.begin() + 10)),
    };
    std::priority_queue<entry, std_container, Compare> model(initial.begin(), initial.end());
    const long steps = kel_test::scaled(3000);
    for (long step = 0; step < steps; ++step) {
        const entry e{static_cast<int>(rng() % 5), static_cast<int>(step)};
        const unsigned op = rng() % 4;
        for (auto& q : ours) {
            if (op == 0)
                q.push(e);
            else if (op == 1)
                q.emplace(e.key, e.tag);
            else if (!q.empty())
                q.pop();
        }
        if (op < 2)
            model.push(e);
        else if (!model.empty())
            model.pop();
        for (const auto& q : ours) {
            ASSERT_EQ(q.size(), model.size()) << "seed " << seed << " step " << step;
            if (!model.empty()) {
                ASSERT_EQ(q.top(), model.top()) << "seed " << seed << " step " << step;
            }
        }
    }
}

TEST(adaptors_differential, priority_queue_pops_in_the_order_of_std_priority_queue) {
    priority_differential<kel_std::vector<entry>, std::less<entry>>(11);
    priority_differential<kel_std::vector<entry>, std::greater<entry>>(12);
    priority_differential<std::vector<entry>, std::less<entry>>(13);
    priority_differential<std::deque<entry>, std::greater<entry>>(14);
}

// ---- Allocators ----

typedef kel_test::test_allocator<int> alloc;
typedef kel_std::vector<int, alloc> alloc_vector;

// The adapted container, which the adaptors keep protected.
template <class Adaptor>
struct opened : Adaptor {
    using Adaptor::Adaptor;
    const typename Adaptor::container_type& container() const { return this->c; }
};

template <class Adaptor>
void allocator_extended_constructors_pass_the_allocator() {
    typedef opened<Adaptor> open;
    alloc_vector values({3, 1, 2}, alloc(1));
    const open source(values, alloc(2));
    const open built[] = {
        open(alloc(7)),         open(values, alloc(7)),       open(alloc_vector(values), alloc(7)),
        open(source, alloc(7)), open(open(source), alloc(7)),
    };
    for (const open& a : built)
        EXPECT_EQ(a.container().get_allocator().id, 7);
    EXPECT_EQ(built[1].size(), 3u);
    EXPECT_EQ(built[4].size(), 3u);
    static_assert(std::uses_allocator<Adaptor, alloc>::value, "");
    static_assert(!std::uses_allocator<Adaptor, std::allocator<int>>::value, "");
    // The allocator-extended constructors exist only for the container's
    // allocators.
    static_assert(!std::is_constructible<Adaptor, std::allocator<int>>::value, "");
    static_assert(!std::is_constructible<Adaptor, const alloc_vector&, std::allocator<int>>::value, "");
}

TEST(adaptors_allocators, allocator_extended_constructors_pass_the_allocator) {
    allocator_extended_constructors_pass_the_allocator<kel_std::stack<int, alloc_vector>>();
    allocator_extended_constructors_pass_the_allocator<kel_std::queue<int, kel_std::vector<int, alloc>>>();
    typedef kel_std::priority_queue<int, alloc_vector> pq;
    typedef opened<pq> open;
    const alloc_vector values({3, 1, 2}, alloc(1));
    const open built[] = {
        open(alloc(7)),
        open(std::less<int>(), alloc(7)),
        open(std::less<int>(), values, alloc(7)),
        open(std::less<int>(), alloc_vector(values), alloc(7)),
        open(open(std::less<int>(), values), alloc(7)),
    };
    for (const open& q : built)
        EXPECT_EQ(q.container().get_allocator().id, 7);
    EXPECT_EQ(built[2].top(), 3);
    EXPECT_EQ(built[4].top(), 3);
    static_assert(std::uses_allocator<pq, alloc>::value, "");
}

TEST(adaptors_interface, swap_noexcept_follows_the_container) {
    static_assert(noexcept(std::declval<kel_std::stack<int, kel_std::vector<int>>&>().swap(
                      std::declval<kel_std::stack<int, kel_std::vector<int>>&>())),
                  "");
    static_assert(noexcept(std::declval<kel_std::queue<int, std::deque<int>>&>().swap(
                      std::declval<kel_std::queue<int, std::deque<int>>&>())),
                  "");
}

TEST(adaptors_interface, deduction_guides_match_the_standard) {
    static_assert(std::is_same<kel_std::stack<int>::container_type, kel_std::deque<int>>::value, "");
    static_assert(std::is_same<kel_std::queue<int>::container_type, kel_std::deque<int>>::value, "");
    static_assert(std::is_same<kel_std::priority_queue<int>::container_type, kel_std::vector<int>>::value, "");
    const kel_std::vector<int> v{4, 9, 2};
    const std::deque<int> d{1, 2};
    kel_std::stack s(v);
    kel_std::queue q(d, std::allocator<int>());
    kel_std::priority_queue p(v.begin(), v.end());
    kel_std::priority_queue g(std::greater<int>(), v);
    kel_std::priority_queue a(std::greater<int>(), std::vector<int>{5, 3}, std::allocator<int>());
    static_assert(std::is_same<decltype(s), kel_std::stack<int, kel_std::vector<int>>>::value, "");
    static_assert(std::is_same<decltype(q), kel_std::queue<int, std::deque<int>>>::value, "");
    static_assert(std::is_same<decltype(p), kel_std::priority_queue<int>>::value, "");
    static_assert(
        std::is_same<decltype(g), kel_std::priority_queue<int, kel_std::vector<int>, std::greater<int>>>::value, "");
    static_assert(std::is_same<decltype(a), kel_std::priority_queue<int, std::vector<int>, std::greater<int>>>::value,
                  "");
    EXPECT_EQ(s.top(), 2);
    EXPECT_EQ(q.back(), 2);
    EXPECT_EQ(p.top(), 9);
    EXPECT_EQ(g.top(), 2);
    EXPECT_EQ(a.top(), 3);
}

} // namespace
