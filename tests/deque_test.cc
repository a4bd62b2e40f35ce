// What is particular to kel_std::deque, beyond the shared sequence runs:
// references that survive pushes at both ends, relocation of whole deques by
// memcpy, the empty state that allocates nothing, blocks left to a monotonic
// manager, the recovery when moves fail twice, and the verifier's own
// detection of damage.
#include <kel_std/basic_string.h>
#include <kel_std/deque.h>
#include <kel_std/detail/deque_check.h>
#include <kel_std/errors.h>
#include <kel_std/memory_managers.h>

#include "support/test_allocators.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using kel_std::detail::deque_inspector;

template <class D>
void expect_sound(const D& d, const char* context) {
    EXPECT_EQ(deque_inspector::check(d), "") << context;
}

// Pushes at both ends cross many blocks and reallocate the map several
// times; every element keeps its address.
TEST(deque, references_survive_pushes_at_both_ends) {
    kel_std::deque<std::string> d;
    std::vector<const std::string*> addresses;
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 3000; ++i) {
            d.push_back(std::to_string(i));
            addresses.push_back(&d.back());
            d.emplace_front(std::to_string(-i));
            addresses.push_back(&d.front());
        }
        expect_sound(d, "after pushes");
    }
    std::vector<std::string> values;
    for (const std::string* p : addresses)
        values.push_back(*p);
    for (int i = 0; i < 5000; ++i) {
        d.push_back(d.front()); // references to both ends stay valid too
        d.push_front(d.back());
    }
    for (std::size_t i = 0; i < addresses.size(); ++i)
        ASSERT_EQ(*addresses[i], values[i]) << "element " << i;
    expect_sound(d, "after self pushes");
}

// An allocator that may not be moved as bytes (so neither may its deque).
template <class T>
struct pinned_allocator : std::allocator<T> {
    template <class U>
    struct rebind {
        typedef pinned_allocator<U> other;
    };
    pinned_allocator() noexcept {}
    pinned_allocator(const pinned_allocator&) noexcept {}
    template <class U>
    pinned_allocator(const pinned_allocator<U>&) noexcept {}
};

static_assert(kel_std::is_trivially_relocatable<kel_std::deque<std::string>>::value,
              "a deque on kel_std::allocator relocates by bytes whatever its elements");
static_assert(!kel_std::is_trivially_relocatable<kel_std::deque<int, pinned_allocator<int>>>::value,
              "a deque whose allocator does not relocate does not either");

// Nothing points into the deque object: deques copied as bytes to another
// address and used there, then destroyed there, behave and leak nothing.
TEST(deque, relocates_through_memcpy) {
    typedef kel_std::deque<std::string> D;
    const int sizes[] = {0, 1, 5000};
    alignas(D) unsigned char from[3][sizeof(D)];
    alignas(D) unsigned char to[3][sizeof(D)];
    for (int i = 0; i < 3; ++i) {
        D* d = ::new (static_cast<void*>(from[i])) D;
        for (int k = 0; k < sizes[i]; ++k)
            k % 2 ? d->push_back(std::to_string(k)) : d->push_front(std::to_string(k));
    }
    std::memcpy(static_cast<void*>(to), static_cast<const void*>(from), sizeof to);
    for (int i = 0; i < 3; ++i) {
        D& d = *reinterpret_cast<D*>(to[i]);
        expect_sound(d, "relocated");
        ASSERT_EQ(d.size(), static_cast<std::size_t>(sizes[i]));
        for (int k = 0; k < 3000; ++k) {
            d.push_front("f");
            d.push_back("b");
        }
        d.erase(d.begin() + static_cast<std::ptrdiff_t>(d.size() / 3));
        d.shrink_to_fit();
        expect_sound(d, "used after relocation");
        EXPECT_EQ(d.front(), "f");
        EXPECT_EQ(d.back(), "b");
        d.~D();
    }
}

// A deque that never held an element holds nothing; so does one moved from,
// and one emptied and shrunk.
TEST(deque, empty_states_allocate_nothing) {
    typedef kel_test::test_allocator<int> A;
    static_assert(std::is_nothrow_default_constructible<kel_std::deque<int>>::value, "");
    static_assert(std::is_nothrow_move_constructible<kel_std::deque<int, A>>::value, "");
    const long before = kel_test::live_blocks();
    {
        kel_std::deque<int, A> empty{A(1)};
        kel_std::deque<int, A> full(3000, 7, A(1));
        kel_std::deque<int, A> moved(std::move(full));
        EXPECT_EQ(full.size(), 0u);
        expect_sound(full, "moved from");
        expect_sound(empty, "default");
        full = std::move(moved);
        kel_std::deque<int, A> assigned_empty{A(1)};
        full = std::move(assigned_empty);
        EXPECT_EQ(kel_test::live_blocks(), before) << "moved and default deques hold no block";
        full.assign(5000, 1);
        full.clear();
        EXPECT_GT(kel_test::live_blocks(), before) << "clear() keeps a block and the map";
        full.shrink_to_fit();
        EXPECT_EQ(kel_test::live_blocks(), before) << "shrink_to_fit() of an empty deque gives back everything";
        expect_sound(full, "shrunk");
        full.push_front(1);
        EXPECT_EQ(full.front(), 1);
    }
    EXPECT_EQ(kel_test::live_blocks(), before);
}

// A deque of trivially destructible elements leaves its blocks and map to a
// monotonic manager; one of strings destroys its elements and gives back
// everything.
TEST(deque, blocks_are_dropped_on_monotonic_managers) {
    kel_std::arena_manager arena;
    {
        kel_std::deque<int> d{kel_std::allocator<int>(&arena)};
        for (int i = 0; i < 5000; ++i)
            i % 2 ? d.push_back(i) : d.push_front(i);
        const std::size_t held = arena.blocks_in_use();
        d.clear();
        EXPECT_EQ(arena.blocks_in_use(), held) << "clear() deallocates nothing";
        d.assign(100, 1);
        expect_sound(d, "reused after clear");
    }
    const std::size_t dropped = arena.blocks_in_use();
    EXPECT_GT(dropped, 0u) << "destruction deallocates nothing";
    {
        kel_std::deque<kel_std::string, kel_std::allocator<kel_std::string>> s{
            kel_std::allocator<kel_std::string>(&arena)};
        for (int i = 0; i < 3000; ++i)
            s.emplace_back("a string long enough for a buffer of its own");
    }
    EXPECT_EQ(arena.blocks_in_use(), dropped) << "elements with destructors are destroyed and deallocated";
}

// A value whose moves all fail once armed: a failed shift cannot be undone,
// and the deque must still come out valid and leak-free.
struct brittle {
    static int& moves_left() {
        static int n = -1; // negative: never fail
        return n;
    }
    static long& live() {
        static long n = 0;
        return n;
    }
    int v;
    explicit brittle(int x) : v(x) { ++live(); }
    brittle(const brittle& o) : v(o.v) { ++live(); }
    brittle(brittle&& o) : v(o.v) {
        if (moves_left() == 0)
            throw kel_test::injected();
        if (moves_left() > 0)
            --moves_left();
        ++live();
    }
    brittle& operator=(const brittle&) = default;
    ~brittle() { --live(); }
};

TEST(deque, failed_shifts_leave_a_valid_shorter_deque) {
    typedef std::function<void(kel_std::deque<brittle>&)> op;
    const op ops[] = {
        [](kel_std::deque<brittle>& d) { d.insert(d.begin() + 1500, brittle(-1)); },
        [](kel_std::deque<brittle>& d) { d.insert(d.end() - 1500, 3, brittle(-1)); },
        [](kel_std::deque<brittle>& d) { d.erase(d.begin() + 1500); },
        [](kel_std::deque<brittle>& d) { d.erase(d.end() - 1600, d.end() - 1500); },
    };
    for (const op& f : ops) {
        for (int moves : {0, 1, 700, 1499}) {
            {
                kel_std::deque<brittle> d;
                for (int i = 0; i < 4000; ++i)
                    d.emplace_back(i);
                brittle::moves_left() = moves;
                EXPECT_THROW(f(d), kel_test::injected);
                brittle::moves_left() = -1;
                expect_sound(d, "after a failed shift");
                EXPECT_EQ(brittle::live(), static_cast<long>(d.size()));
                EXPECT_GT(d.size(), 2000u) << "only the side that moved may be lost";
                for (std::size_t i = 1; i < d.size(); ++i)
                    ASSERT_LT(d[i - 1].v, d[i].v) << "the survivors keep their order";
            }
            EXPECT_EQ(brittle::live(), 0);
        }
    }
}

TEST(deque, requests_beyond_max_size_fail_without_effect) {
    kel_std::deque<int> d(10, 1);
    EXPECT_LE(d.max_size(), static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(int));
    EXPECT_THROW(d.insert(d.begin() + 5, d.max_size(), 2), kel_std::length_error);
    EXPECT_THROW(d.resize(d.max_size() + 1), kel_std::length_error);
    EXPECT_EQ(d, kel_std::deque<int>(10, 1));
    EXPECT_THROW(d.at(10), kel_std::out_of_range);
}

// Each damage is applied to a sound deque (blocks in two slots, a spare,
// the slot before them unused) and must be reported; the deque is restored
// before it is destroyed.
TEST(deque, verifier_reports_damage) {
    typedef kel_std::deque<int> D;
    typedef std::function<void(D&, int*)> damage;
    struct row {
        const char* name;
        damage f;
    };
    // Slot 0 of the map is unused, slots 1 and 2 hold the blocks.
    const row rows[] = {
        {"a used slot emptied", [](D& d, int*) { deque_inspector::parts(d).map[1] = nullptr; }},
        {"a block in two slots",
         [](D& d, int*) { deque_inspector::parts(d).map[1] = deque_inspector::parts(d).map[2]; }},
        {"the spare also in use",
         [](D& d, int*) { deque_inspector::parts(d).spare = deque_inspector::parts(d).map[1]; }},
        {"a block outside the used slots", [](D& d, int* stray) { deque_inspector::parts(d).map[0] = stray; }},
        {"start and end exchanged",
         [](D& d, int*) { std::swap(deque_inspector::parts(d).start, deque_inspector::parts(d).finish); }},
        {"the end lost", [](D& d, int*) { deque_inspector::parts(d).finish = D::iterator(); }},
        {"no map size", [](D& d, int*) { deque_inspector::parts(d).map_size = 0; }},
    };
    for (const row& r : rows) {
        D d(3000, 1);
        d.shrink_to_fit();
        for (int i = 0; i < 1030; ++i)
            d.pop_front(); // the emptied first block becomes the spare
        auto& s = deque_inspector::parts(d);
        ASSERT_TRUE(s.map_size == 3 && s.map[0] == nullptr && s.spare != nullptr) << r.name;
        ASSERT_EQ(deque_inspector::check(d), "") << r.name;
        const auto saved = s;
        const std::vector<int*> map(s.map, s.map + s.map_size);
        int stray[1] = {0};
        r.f(d, stray);
        EXPECT_NE(deque_inspector::check(d), "") << r.name;
        s = saved;
        std::copy(map.begin(), map.end(), s.map);
        EXPECT_EQ(deque_inspector::check(d), "") << r.name << " (restored)";
    }
}

#if defined(KEL_STD_DEBUG) && GTEST_HAS_DEATH_TEST
TEST(deque_death, contract_violations_are_caught_in_debug_builds) {
    kel_std::deque<int> d(3, 1), other(3, 1);
    const kel_std::deque<int> empty;
    EXPECT_DEATH(static_cast<void>(d[3]), "");
    EXPECT_DEATH(static_cast<void>(empty.front()), "");
    EXPECT_DEATH(static_cast<void>(empty.back()), "");
    EXPECT_DEATH(kel_std::deque<int>().pop_front(), "");
    EXPECT_DEATH(d.insert(other.begin(), 1), "");
    EXPECT_DEATH(d.erase(d.end()), "");
    EXPECT_DEATH(static_cast<void>(*empty.begin()), "");
    EXPECT_DEATH(static_cast<void>(empty.begin() + 1), "");
}
#endif

} // namespace
