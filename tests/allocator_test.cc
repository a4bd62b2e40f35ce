// Tests of allocator<void> and the memory-manager interface: the source of
// every block, zero-filling, forwarding of tag, size and hint, release rules
// and failure propagation.
#include "support/counting_heap.h"
#include "support/recording_manager.h"

#include <kel_std/allocator.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

using kel_std::allocator;
using kel_std::kel_memory_manager;
using kel_test::heap_watch;
using kel_test::manager_call;
using kel_test::recording_manager;

static_assert(sizeof(allocator<void>) == sizeof(void*), "allocator<void> holds one manager pointer");
static_assert(sizeof(allocator<char>) == sizeof(void*), "allocator<char> holds one manager pointer");
static_assert(std::is_standard_layout<allocator<void>>::value, "allocator layout is plain");
static_assert(std::is_abstract<kel_memory_manager>::value, "a manager must implement allocate and deallocate");
static_assert(!std::is_destructible<kel_memory_manager>::value, "managers are never deleted through the interface");

namespace {

bool all_bytes(const void* p, unsigned char value, std::size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        if (b[i] != value)
            return false;
    return true;
}

const void* some_hint() {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(0x1234));
}

// The vtable slot that an Itanium pointer to a virtual member encodes
// (1 + byte offset into the vtable), as a 0-based slot number.
template <class F>
long vtable_slot(F member) {
    std::uintptr_t raw;
    static_assert(sizeof(member) >= sizeof(raw), "member pointer layout");
    std::memcpy(&raw, &member, sizeof(raw));
    return static_cast<long>((raw - 1) / sizeof(void*));
}

} // namespace

#if defined(__GXX_ABI_VERSION)
TEST(memory_manager, virtual_slots_are_destroy_allocate_deallocate) {
    EXPECT_EQ(vtable_slot(&kel_memory_manager::destroy), 0);
    EXPECT_EQ(vtable_slot(&kel_memory_manager::allocate), 1);
    EXPECT_EQ(vtable_slot(&kel_memory_manager::deallocate), 2);
}
#endif

TEST(allocator, default_allocates_zeroed_memory_from_the_global_heap) {
    allocator<void> a;
    EXPECT_EQ(a.manager, nullptr);
    heap_watch heap;
    void* p = a.allocate(16, some_hint());
    ASSERT_EQ(heap.news(), 1);
    EXPECT_EQ(heap.event(0).pointer, p);
    EXPECT_EQ(heap.event(0).size, 16u);
    EXPECT_TRUE(all_bytes(p, 0, 16)) << "the heap handed out poisoned bytes; the allocator must clear them";
    a.deallocate(p);
    EXPECT_EQ(heap.deletes(), 1);
    EXPECT_EQ(heap.event(1).pointer, p);
}

TEST(allocator, manager_gets_tag_one_size_and_hint_and_block_is_zeroed) {
    recording_manager m;
    allocator<void> a;
    a.manager = &m;
    heap_watch heap;
    for (unsigned int n : {1u, 16u, 100u, 4096u}) {
        m.calls.clear();
        void* p = a.allocate(n, some_hint());
        ASSERT_EQ(m.calls.size(), 1u);
        EXPECT_EQ(m.calls[0].kind, manager_call::allocate);
        EXPECT_EQ(m.calls[0].tag, 1);
        EXPECT_EQ(m.calls[0].size, n);
        EXPECT_EQ(m.calls[0].hint, some_hint());
        EXPECT_EQ(m.calls[0].pointer, p);
        EXPECT_TRUE(all_bytes(p, 0, n)) << "manager wrote 0xCD into " << n << " bytes";
        a.deallocate(p);
        ASSERT_EQ(m.calls.size(), 2u);
        EXPECT_EQ(m.calls[1].kind, manager_call::deallocate);
        EXPECT_EQ(m.calls[1].pointer, p);
    }
    EXPECT_EQ(heap.news(), 0) << "a manager-backed allocator never touches the heap";
    EXPECT_EQ(heap.deletes() + heap.null_deletes(), 0);
}

TEST(allocator, null_release_goes_to_the_manager_or_the_heap_like_any_pointer) {
    recording_manager m;
    allocator<void> with_manager(&m);
    heap_watch heap;
    with_manager.deallocate(nullptr);
    ASSERT_EQ(m.calls.size(), 1u);
    EXPECT_EQ(m.calls[0].kind, manager_call::deallocate);
    EXPECT_EQ(m.calls[0].pointer, nullptr);
    EXPECT_EQ(heap.null_deletes(), 0);

    allocator<void> plain;
    plain.deallocate(nullptr);
    EXPECT_EQ(heap.null_deletes(), 1);
}

TEST(allocator, zero_byte_request_returns_the_heap_answer_and_writes_nothing) {
    allocator<void> a;
    heap_watch heap;
    void* p = a.allocate(0, nullptr);
    ASSERT_EQ(heap.news(), 1);
    EXPECT_EQ(heap.event(0).size, 0u);
    EXPECT_EQ(p, heap.event(0).pointer);
    // The replaced operator new backs a zero-byte block with one poisoned byte.
    EXPECT_EQ(*static_cast<unsigned char*>(p), kel_test::heap_poison);
    a.deallocate(p);
}

TEST(allocator, max_size_is_the_largest_unsigned_int_whatever_the_manager) {
    recording_manager m;
    const allocator<void> plain;
    const allocator<void> managed(&m);
    EXPECT_EQ(plain.max_size(), 4294967295u);
    EXPECT_EQ(managed.max_size(), 4294967295u);
    EXPECT_TRUE(m.calls.empty());
}

TEST(allocator, copies_and_assignments_forward_to_the_same_manager) {
    recording_manager m, other;
    allocator<void> a(&m);
    allocator<void> copy(a);
    allocator<void> assigned(&other);
    allocator<void>& result = (assigned = a);
    EXPECT_EQ(&result, &assigned);
    EXPECT_EQ(copy.manager, &m);
    EXPECT_EQ(assigned.manager, &m);

    // Memory from one copy may go back through another.
    void* p = copy.allocate(32, nullptr);
    assigned.deallocate(p);
    ASSERT_EQ(m.calls.size(), 2u);
    EXPECT_EQ(m.calls[1].pointer, p);
    EXPECT_EQ(m.bad_releases, 0);
    EXPECT_TRUE(other.calls.empty());
    EXPECT_EQ(m.live_blocks(), 0u);
}

TEST(allocator, failures_of_manager_and_heap_pass_through_unchanged) {
    recording_manager m;
    m.fail_at = 1;
    allocator<void> a(&m);
    EXPECT_THROW(a.allocate(8, nullptr), kel_test::manager_failure);
    EXPECT_TRUE(m.calls.empty());

    allocator<void> plain;
    heap_watch heap;
    heap.fail_new_at(1);
    EXPECT_THROW(plain.allocate(8, nullptr), std::bad_alloc);
    EXPECT_EQ(heap.news(), 0);
}

TEST(allocator, typed_allocator_forwards_bytes_and_compares_by_manager) {
    recording_manager m;
    allocator<int> ints(&m);
    int* p = ints.allocate(10);
    ASSERT_EQ(m.calls.size(), 1u);
    EXPECT_EQ(m.calls[0].size, 10 * sizeof(int));
    EXPECT_TRUE(all_bytes(p, 0, 10 * sizeof(int)));
    allocator<char> chars(ints);
    EXPECT_TRUE(chars == ints);
    EXPECT_FALSE(chars != ints);
    EXPECT_FALSE(chars == allocator<char>());
    chars.deallocate(reinterpret_cast<char*>(p));
    EXPECT_EQ(m.live_blocks(), 0u);
}

TEST(allocator, typed_allocator_meets_the_standard_allocator_requirements) {
    typedef std::allocator_traits<allocator<int>> traits;
    static_assert(std::is_same<traits::rebind_alloc<double>, allocator<double>>::value, "rebinding keeps the family");
    static_assert(!traits::propagate_on_container_copy_assignment::value, "copy assignment keeps the target's manager");
    static_assert(!traits::propagate_on_container_move_assignment::value, "move assignment keeps the target's manager");
    static_assert(traits::propagate_on_container_swap::value, "swap exchanges managers");
    static_assert(!traits::is_always_equal::value, "managers make allocators differ");
    static_assert(std::is_nothrow_copy_constructible<allocator<int>>::value, "copies never throw");

    recording_manager m;
    allocator<int> ints(&m);
    // 4 GiB (a manager's 32-bit sizes) on 64-bit targets, 2 GiB (PTRDIFF_MAX)
    // on 32-bit ones.
    EXPECT_EQ(traits::max_size(ints), (sizeof(void*) == 4 ? 0x7FFFFFFFu : 0xFFFFFFFFu) / sizeof(int));
    EXPECT_EQ(traits::select_on_container_copy_construction(ints).manager, &m);

    // A count whose byte size does not fit in 32 bits is refused before the
    // manager is asked.
    EXPECT_THROW(static_cast<void>(traits::allocate(ints, traits::max_size(ints) + 1)), std::bad_array_new_length);
    EXPECT_TRUE(m.calls.empty());

    int* p = traits::allocate(ints, 3, nullptr);
    ASSERT_EQ(m.calls.size(), 1u);
    EXPECT_EQ(m.calls[0].size, 3 * sizeof(int));
    traits::deallocate(ints, p, 3);
    EXPECT_EQ(m.live_blocks(), 0u);

    // A standard container on the allocator takes every block from the manager.
    {
        std::vector<int, allocator<int>> v(ints);
        for (int i = 0; i < 100; ++i)
            v.push_back(i);
        EXPECT_EQ(v[99], 99);
        EXPECT_GT(m.live_blocks(), 0u);
    }
    EXPECT_EQ(m.live_blocks(), 0u);
    EXPECT_EQ(m.bad_releases, 0);
}
