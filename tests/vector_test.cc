// What the shared sequence harness does not see of kel_std::vector: which
// elements move as bytes and which one by one, the unfilled buffers, the
// monotonic manager, the debug assertions and the size arithmetic.
#include <kel_std/basic_string.h>
#include <kel_std/detail/vector_check.h>
#include <kel_std/map.h>
#include <kel_std/memory_managers.h>
#include <kel_std/unordered_map.h>
#include <kel_std/vector.h>

#include "support/counting_heap.h"
#include "support/recording_manager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// Counts the special members of its objects, so that a test sees whether
// the vector moved an element by its constructor or by its bytes.
struct counts {
    int moves = 0, copies = 0, assignments = 0, destructions = 0;
};
counts tally;

template <bool NothrowMove>
struct tracked {
    int value;
    explicit tracked(int v = 0) : value(v) {}
    tracked(const tracked& o) : value(o.value) { ++tally.copies; }
    tracked(tracked&& o) noexcept(NothrowMove) : value(o.value) { ++tally.moves; }
    tracked& operator=(const tracked& o) {
        value = o.value;
        ++tally.assignments;
        return *this;
    }
    tracked& operator=(tracked&& o) noexcept(NothrowMove) {
        value = o.value;
        ++tally.assignments;
        return *this;
    }
    ~tracked() { ++tally.destructions; }
};

// Declared relocatable by the user: the vector must move it as bytes.
struct relocatable : tracked<true> {
    using tracked<true>::tracked;
};

// An allocator with a construct of its own: elements then never move as
// bytes, whatever the trait says.
template <class T>
struct constructing_allocator : std::allocator<T> {
    template <class U>
    struct rebind {
        typedef constructing_allocator<U> other;
    };
    constructing_allocator() = default;
    template <class U>
    constructing_allocator(const constructing_allocator<U>&) noexcept {}
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

} // namespace

template <>
struct kel_std::is_trivially_relocatable<relocatable> : std::true_type {};

namespace {

template <class V>
std::vector<int> values_of(const V& v) {
    std::vector<int> out;
    for (const auto& x : v)
        out.push_back(x.value);
    return out;
}

// Growth, insertion at the front and in the middle, and erasure, with the
// special member calls each must make: none for elements that move as
// bytes (growth runs no destructor on the old buffer, erasure destroys only
// the erased element), one per element otherwise.
template <class V>
void check_element_moves(bool by_bytes, bool copies_on_growth) {
    tally = counts();
    V v;
    v.reserve(4);
    for (int i = 0; i < 4; ++i)
        v.emplace_back(i);
    ASSERT_EQ(v.size(), v.capacity());
    tally = counts();
    v.emplace_back(4); // grows: four elements relocate
    EXPECT_EQ(tally.moves, by_bytes || copies_on_growth ? 0 : 4);
    EXPECT_EQ(tally.copies, copies_on_growth ? 4 : 0);
    EXPECT_EQ(tally.destructions, by_bytes ? 0 : 4);
    tally = counts();
    v.emplace(v.begin(), 9); // room for it: the five shift by one
    if (by_bytes) {
        EXPECT_EQ(tally.moves + tally.assignments, 0);
    } else {
        EXPECT_GE(tally.moves + tally.assignments, 5); // each element after the position
    }
    EXPECT_EQ(tally.destructions, by_bytes ? 0 : 1); // the temporary
    tally = counts();
    v.erase(v.begin() + 2);
    EXPECT_EQ(tally.assignments, by_bytes ? 0 : 3);
    EXPECT_EQ(tally.destructions, 1);
    EXPECT_EQ(values_of(v), (std::vector<int>{9, 0, 2, 3, 4}));
    EXPECT_EQ(kel_std::detail::vector_inspector::check(v), "");
}

TEST(vector_relocation, relocatable_elements_move_as_bytes) {
    check_element_moves<kel_std::vector<relocatable>>(true, false);
}

TEST(vector_relocation, other_elements_move_one_by_one_or_copy_when_their_move_may_throw) {
    check_element_moves<kel_std::vector<tracked<true>>>(false, false);
    check_element_moves<kel_std::vector<tracked<false>>>(false, true);
}

TEST(vector_relocation, an_allocator_that_constructs_sees_every_move) {
    check_element_moves<kel_std::vector<relocatable, constructing_allocator<relocatable>>>(false, false);
}

// The library's own types that declare themselves relocatable work after a
// relocation by bytes (any pointer back into the object would dangle, which
// the sanitizers and the checks below would see).
TEST(vector_relocation, library_containers_and_strings_survive_relocation_by_bytes) {
    static_assert(kel_std::is_trivially_relocatable<kel_std::string>::value, "");
    static_assert(kel_std::is_trivially_relocatable<kel_std::vector<std::string>>::value, "");
    static_assert(kel_std::is_trivially_relocatable<kel_std::unordered_map<int, int>>::value, "");
    static_assert(!kel_std::is_trivially_relocatable<kel_std::map<int, int>>::value, "");
    kel_std::vector<kel_std::unordered_map<int, int>> maps;
    kel_std::vector<kel_std::vector<kel_std::string>> nested;
    for (int i = 0; i < 40; ++i) { // several growths
        maps.emplace_back();
        nested.emplace_back();
        for (int k = 0; k <= i; ++k) {
            maps.back().emplace(k, i);
            nested.back().emplace_back(std::to_string(k * 1000003).c_str());
        }
        maps.insert(maps.begin(), kel_std::unordered_map<int, int>{{-1, i}}); // shifts every map
        maps.erase(maps.begin());
    }
    for (int i = 0; i < 40; ++i) {
        auto& m = maps[static_cast<std::size_t>(i)];
        ASSERT_EQ(m.size(), static_cast<std::size_t>(i + 1));
        for (int k = 0; k <= i; ++k)
            ASSERT_EQ(m.at(k), i);
        m.emplace(1000, 0); // still usable: may rehash
        m.erase(0);
        ASSERT_EQ(nested[static_cast<std::size_t>(i)].back(), std::to_string(i * 1000003).c_str());
    }
}

// ---- Buffers without the zero fill, every one from the manager ----

TEST(vector_allocation, buffers_come_unfilled_from_the_manager_as_allocate_requests) {
    kel_test::recording_manager manager; // scribbles 0xCD over its blocks
    {
        kel_std::allocator<int> plain(&manager);
        int* block = plain.allocate(4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(block[i], 0) << "allocate itself still zero-fills";
        plain.deallocate(block, 4);

        kel_std::vector<int> v{kel_std::allocator<int>(&manager)};
        v.reserve(8);
        v.push_back(5);
        const unsigned char* spare = reinterpret_cast<const unsigned char*>(v.data() + 1);
        for (std::size_t i = 0; i < 7 * sizeof(int); ++i)
            ASSERT_EQ(spare[i], 0xCD) << "the vector's buffer was filled, byte " << i;
        for (int i = 0; i < 20; ++i)
            v.push_back(i);
        EXPECT_EQ(v.size(), 21u);
    }
    // Every request as allocate(n) makes it: tag 1, n * sizeof(int), no hint;
    // and every block went back.
    int allocations = 0;
    for (const kel_test::manager_call& c : manager.calls) {
        if (c.kind != kel_test::manager_call::allocate)
            continue;
        ++allocations;
        EXPECT_EQ(c.tag, 1);
        EXPECT_EQ(c.hint, nullptr);
        EXPECT_EQ(c.size % sizeof(int), 0u);
    }
    EXPECT_EQ(allocations, 4); // allocate(4), reserve(8), growth to 16, to 32
    EXPECT_EQ(manager.calls[2].size, 8 * sizeof(int));
    EXPECT_EQ(manager.live_blocks(), 0u);
    EXPECT_EQ(manager.bad_releases, 0);
}

TEST(vector_allocation, empty_vectors_and_moves_allocate_nothing) {
    static_assert(std::is_nothrow_default_constructible<kel_std::vector<std::string>>::value, "");
    static_assert(std::is_nothrow_move_constructible<kel_std::vector<std::string>>::value, "");
    kel_test::heap_watch watch;
    {
        kel_std::vector<std::string> a;
        kel_std::vector<std::string> b(std::move(a));
        kel_std::vector<std::string> c(b);
        c.shrink_to_fit();
        c.clear();
        EXPECT_EQ(c.capacity(), 0u);
    }
    EXPECT_EQ(watch.news(), 0);
}

// A vector of elements without a destructor leaves its buffer to a
// monotonic manager when destroyed; growth gives the old buffers back.
TEST(vector_allocation, monotonic_manager_keeps_the_last_buffer_of_trivial_elements) {
    kel_std::arena_manager arena;
    {
        kel_std::vector<int> v{kel_std::allocator<int>(&arena)};
        for (int i = 0; i < 100; ++i)
            v.push_back(i);
        EXPECT_EQ(arena.blocks_in_use(), 1u); // the old buffers were deallocated
        v.clear();
        EXPECT_EQ(arena.blocks_in_use(), 1u);
    }
    EXPECT_EQ(arena.blocks_in_use(), 1u); // dropped, not deallocated
    {
        kel_std::vector<std::string> s{kel_std::allocator<std::string>(&arena)};
        s.emplace_back("needs a destructor");
        EXPECT_EQ(arena.blocks_in_use(), 2u);
    }
    EXPECT_EQ(arena.blocks_in_use(), 1u); // deallocated as usual
}

// ---- Sizes ----

TEST(vector_sizes, max_size_and_growth_in_32_bit_arithmetic) {
    typedef std::uint32_t size32;
    const size32 diff_max = 0x7FFFFFFFu; // PTRDIFF_MAX with a 32-bit size_t
    const size32 alloc_max = 0xFFFFFFFFu;
    // kel_std::allocator<char> allows 4294967295; ptrdiff_t limits to 2^31 - 1.
    EXPECT_EQ(kel_std::detail::max_count<size32>(alloc_max, diff_max, 1), 0x7FFFFFFFu);
    EXPECT_EQ(kel_std::detail::max_count<size32>(alloc_max / 4, diff_max, 4), 0x1FFFFFFFu);
    EXPECT_EQ(kel_std::detail::max_count<size32>(1000u, diff_max, 4), 1000u);
    struct {
        size32 size, n, expected;
    } const growth[] = {
        {0, 1, 1}, {1, 1, 2}, {10, 3, 20}, {10, 100, 110}, {0x40000000u, 1, 0x7FFFFFFFu}, {0x7FFFFFFEu, 1, 0x7FFFFFFFu},
    };
    for (const auto& g : growth)
        EXPECT_EQ(kel_std::detail::vector_growth<size32>(g.size, g.n, diff_max), g.expected)
            << "size " << g.size << " n " << g.n;
}

TEST(vector_sizes, requests_beyond_max_size_raise_length_error_and_change_nothing) {
    kel_std::vector<int> v{1, 2, 3};
    const std::size_t max = v.max_size();
    EXPECT_EQ(
        max, std::min<std::size_t>(kel_std::allocator<int>().max_size(),
                                   static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(int)));
    EXPECT_THROW(v.reserve(max + 1), kel_std::length_error);
    EXPECT_THROW(v.resize(max + 1), kel_std::length_error);
    EXPECT_THROW(v.insert(v.begin(), max - 1, 7), kel_std::length_error);
    EXPECT_THROW(kel_std::vector<int>(max + 1), kel_std::length_error);
    EXPECT_THROW(v.at(3), kel_std::out_of_range);
    EXPECT_EQ(v, (kel_std::vector<int>{1, 2, 3}));
    EXPECT_EQ(kel_std::detail::vector_inspector::check(v), "");
}

// ---- Debug assertions ----

#if defined(KEL_STD_DEBUG) && defined(GTEST_HAS_DEATH_TEST) && GTEST_HAS_DEATH_TEST
TEST(vector_debug_death_test, broken_preconditions_stop_the_program) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    kel_std::vector<int> empty;
    kel_std::vector<int> v{1, 2, 3};
    kel_std::vector<int> other{4, 5};
    EXPECT_DEATH(static_cast<void>(v[3]), "out of range");
    EXPECT_DEATH(static_cast<void>(empty.front()), "empty");
    EXPECT_DEATH(static_cast<void>(empty.back()), "empty");
    EXPECT_DEATH(empty.pop_back(), "empty");
    EXPECT_DEATH(v.erase(v.end()), "end");
    EXPECT_DEATH(v.insert(other.begin() + 1, 0), "another container");
    EXPECT_DEATH(v.erase(other.begin()), "another container");
}
#endif

} // namespace
