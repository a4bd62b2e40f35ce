// What must hold on every target, 32- and 64-bit, Linux and Windows: the
// records shared between the library and compiled client code have the
// layouts their headers document (a table of sizes and offsets for 32-bit and
// for 64-bit targets, checked at compile time for the target being built),
// and the size limits hold where size_t and ptrdiff_t have 32 bits.
#include "support/recording_manager.h"

#include <kel_std/allocator.h>
#include <kel_std/basic_string.h>
#include <kel_std/detail/hash_table_check.h>
#include <kel_std/errors.h>
#include <kel_std/map.h>
#include <kel_std/random_generator.h>
#include <kel_std/set.h>
#include <kel_std/string_hash.h>
#include <kel_std/tree.h>
#include <kel_std/unordered_map.h>
#include <kel_std/unordered_set.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <type_traits>

namespace {

using kel_std::kel_tree_node;
typedef kel_std::basic_string<char, kel_std::char_traits_char, kel_std::allocator<char>> kstring;

// One documented size, offset or limit: its value on 32-bit and on 64-bit
// targets.
struct documented {
    std::size_t bits32;
    std::size_t bits64;
    constexpr std::size_t here() const { return sizeof(void*) == 4 ? bits32 : bits64; }
};

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "a 32-bit or a 64-bit target");
static_assert(sizeof(std::size_t) == sizeof(void*) && sizeof(std::ptrdiff_t) == sizeof(void*),
              "size_t and ptrdiff_t as wide as a pointer");

// ---- layouts ----

constexpr documented tree_node_size{16, 32};
constexpr documented tree_node_parent{4, 8};
constexpr documented tree_node_left{8, 16};
constexpr documented tree_node_right{12, 24};
constexpr documented allocator_size{4, 8};
constexpr documented manager_size{4, 8}; // the vtable pointer
constexpr documented string_size{16, 24};
constexpr documented string_capacity{4, 4};
constexpr documented string_data{8, 8};
constexpr documented string_alloc{12, 16};
constexpr documented error_size{20, 32};
constexpr documented error_message{4, 8};
constexpr documented hasher_size{4, 4};

static_assert(std::is_standard_layout<kel_tree_node>::value, "offsetof applies");
static_assert(sizeof(kel_tree_node) == tree_node_size.here(), "kel_tree_node size");
static_assert(offsetof(kel_tree_node, color) == 0 && sizeof(kel_tree_node::color) == 4, "kel_tree_node::color");
static_assert(offsetof(kel_tree_node, parent) == tree_node_parent.here(), "kel_tree_node::parent");
static_assert(offsetof(kel_tree_node, left) == tree_node_left.here(), "kel_tree_node::left");
static_assert(offsetof(kel_tree_node, right) == tree_node_right.here(), "kel_tree_node::right");

static_assert(sizeof(kel_std::allocator<void>) == allocator_size.here(), "allocator<void> size");
static_assert(sizeof(kel_std::allocator<char>) == allocator_size.here(), "allocator<char> size");
static_assert(sizeof(kel_std::kel_memory_manager) == manager_size.here(), "kel_memory_manager size");

static_assert(std::is_standard_layout<kstring>::value, "offsetof applies");
static_assert(sizeof(kstring) == string_size.here(), "string size");
static_assert(offsetof(kstring, length) == 0 && sizeof(kstring::length) == 4, "string::length");
static_assert(offsetof(kstring, capacity) == string_capacity.here() && sizeof(kstring::capacity) == 4,
              "string::capacity");
static_assert(offsetof(kstring, data) == string_data.here(), "string::data");
static_assert(offsetof(kstring, alloc) == string_alloc.here(), "string::alloc");

static_assert(sizeof(kel_std::logic_error) == error_size.here(), "logic_error size");
static_assert(sizeof(kel_std::length_error) == error_size.here(), "length_error size");
static_assert(sizeof(kel_std::out_of_range) == error_size.here(), "out_of_range size");

static_assert(sizeof(kel_std::kel_string_hasher1) == hasher_size.here(), "kel_string_hasher1 size");
static_assert(sizeof(kel_std::kel_string_hasher2) == hasher_size.here(), "kel_string_hasher2 size");
static_assert(sizeof(kel_std::kel_string_hasher3) == hasher_size.here(), "kel_string_hasher3 size");
static_assert(std::is_empty<kel_std::kel_x_random_generator>::value, "the random functor holds nothing");

// logic_error is polymorphic, where offsetof is not defined: the message's
// offset is measured on an object.
TEST(platform, error_message_follows_the_vtable_pointer) {
    const kel_std::out_of_range error(kstring("where"));
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(&error);
    const std::uintptr_t message = reinterpret_cast<std::uintptr_t>(&error.message);
    EXPECT_EQ(message - base, error_message.here());
    EXPECT_STREQ(error.what(), "where");
}

// ---- limits ----

// Sizes that cross the library's boundary have 32 bits on every target.
static_assert(sizeof(kstring::size_type) == 4 && kstring::npos == 4294967295u, "string sizes");
static_assert(kstring::max_length == 4294967279u, "the longest text");

struct twelve_bytes {
    char bytes[12];
};

// A typed allocator's largest count: 4 GiB of bytes (a manager's 32-bit
// sizes) on 64-bit targets, PTRDIFF_MAX bytes (2 GiB) on 32-bit ones. One
// more is refused before the manager is asked.
template <class T>
void expect_allocator_limit(std::size_t documented_max) {
    kel_test::recording_manager manager;
    const kel_std::allocator<T> a(&manager);
    EXPECT_EQ(a.max_size(), documented_max) << sizeof(T) << "-byte objects";
    EXPECT_LE(a.max_size() * sizeof(T), static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()));
    EXPECT_THROW(static_cast<void>(a.allocate(a.max_size() + 1)), std::bad_array_new_length);
    EXPECT_TRUE(manager.calls.empty());
}

TEST(platform, allocator_limits) {
    EXPECT_EQ(kel_std::allocator<void>().max_size(), 4294967295u) << "the compiled allocator, on every target";
    expect_allocator_limit<char>(documented{2147483647u, 4294967295u}.here());
    expect_allocator_limit<int>(documented{536870911u, 1073741823u}.here());
    expect_allocator_limit<twelve_bytes>(documented{178956970u, 357913941u}.here());
}

// A container's max_size() fits its difference_type, so that the distance
// between any two iterators can be represented, and what its allocator can
// give.
template <class Container>
void expect_container_limit(const char* name) {
    const Container c;
    const auto most = static_cast<std::size_t>(std::numeric_limits<typename Container::difference_type>::max());
    EXPECT_GT(c.max_size(), 1000u) << name;
    EXPECT_LE(c.max_size(), most) << name;
    EXPECT_LE(c.max_size(), c.get_allocator().max_size()) << name;
}

TEST(platform, container_limits_fit_their_difference_type) {
    expect_container_limit<kel_std::set<int>>("set<int>");
    expect_container_limit<kel_std::multimap<char, char>>("multimap<char, char>");
    expect_container_limit<kel_std::unordered_set<char>>("unordered_set<char>");
    expect_container_limit<kel_std::unordered_map<kstring, twelve_bytes>>("unordered_map<string, 12 bytes>");
    EXPECT_EQ(kstring().max_size(), 4294967279u) << "the string's limit is the same on every target";
}

// Asking a hashed container for more buckets than an allocator can give
// fails with an exception before anything changes: the bucket arithmetic
// does not wrap around to a small table, where size_t has 32 bits or 64.
// (The requests are beyond what any machine holds, so that none succeeds.)
TEST(platform, reserve_and_rehash_beyond_memory_fail_and_change_nothing) {
    typedef kel_std::unordered_set<int> set;
    set s{1, 2, 3};
    const std::size_t buckets = s.bucket_count();
    const std::size_t most = std::numeric_limits<std::size_t>::max();
    const std::size_t requests[] = {most, most / 2 + 1, most / 4 + 1};
    for (std::size_t n : requests) {
        EXPECT_THROW(s.reserve(n), std::bad_alloc) << "reserve " << n;
        EXPECT_THROW(s.rehash(n), std::bad_alloc) << "rehash " << n;
        EXPECT_EQ(s.bucket_count(), buckets);
        EXPECT_EQ(s.size(), 3u);
        EXPECT_EQ(kel_std::detail::hash_table_inspector::check(s), "");
    }
}

} // namespace
