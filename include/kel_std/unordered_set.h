/// @file
/// `kel_std::unordered_set` and `kel_std::unordered_multiset`: hashed sets
/// of keys, drop-in replacements for `std::unordered_set` and
/// `std::unordered_multiset`.
///
/// The interface is the standard one (C++17, plus C++20's `contains`,
/// `erase_if` and lookup by any key type when both the hash and the equality
/// are transparent); these pages document what is particular to this
/// library. The same holds for the maps of kel_std/unordered_map.h.
///
/// - Elements live in nodes of their own, one allocation each, taken from
///   the allocator rebound to the node type through `std::allocator_traits`;
///   the bucket array is one more allocation from the same allocator. The
///   default `kel_std::allocator` takes both from its memory manager, or from
///   the global heap when it has none.
/// - On a memory manager that frees nothing until a release of its own (a
///   `kel_monotonic_memory_manager`, such as `arena_manager`, held by a
///   `kel_std::allocator`), a container whose elements need no destructor
///   (`std::is_trivially_destructible`) drops its nodes when destroyed or
///   cleared, without visiting or deallocating them (the destructor drops
///   the bucket array too; `clear()` keeps it and empties it, in
///   O(bucket_count())): the manager counts those blocks as in use until
///   its release. Other containers, and these on other managers, destroy and
///   deallocate every node.
/// - The bucket count is a power of two. Every hash is mixed before its low
///   bits choose the bucket, so hashes that are the identity (as
///   `std::hash<int>` is) or reduced below a modulus spread well; a hasher
///   whose member type `is_avalanching` has a true `value` (as
///   `kel_std::hash` of the text types) promises values mixed already, and
///   they are used as they are. Each node keeps its hash: lookups compare
///   it before calling the equality, and rehashing never calls the hash
///   function.
/// - A container that never held elements has no bucket array:
///   `bucket_count()` is 0, and the default and move constructors neither
///   allocate nor throw. `bucket(k)` requires a bucket count above 0.
/// - Guarantees: references and pointers to elements stay valid until the
///   element is erased, rehashing included; iterators are invalidated only
///   by rehashing and by erasing their element, and they follow their
///   elements through `swap` and moves of the container. An insertion does
///   not rehash while `size() < max_load_factor() * bucket_count()` (so
///   `reserve(n)` makes room for n elements); `max_load_factor()` starts at
///   1.0, and changing it takes effect at the next insertion or rehash. In
///   the multi containers equal keys are adjacent, and rehashing keeps their
///   relative order.
/// - Exception safety: an insertion of one element that fails (the hash, the
///   equality, an allocation or the construction of the value throws)
///   leaves the container unchanged; a rehash that fails leaves it unchanged
///   and usable; nothing leaks. `erase`, `clear`, `swap` and moves between
///   equal allocators do not throw (given a hash and an equality whose
///   copies do not throw).
/// - Complexity: as the standard's, on average. `begin()` is constant time;
///   stepping an iterator off the end of a bucket scans one bit per bucket
///   (64 buckets a word), so iterating over a table that is much sparser
///   than its maximum load factor costs O(bucket_count() / 64) in all.
/// - Contract (checked by assertions in debug builds, `KEL_STD_DEBUG`): do
///   not dereference, increment, erase or extract `end()`, pass an iterator
///   or hint of another container (or one from before a rehash), pass a
///   bucket index of `bucket_count()` or more, or set a maximum load factor
///   that is not positive; node handles and `merge` move nodes only between
///   containers with equal allocators.
/// - Two different containers may be modified on two threads at once; one
///   container follows the usual rule (any number of readers, or one
///   writer).
#ifndef KEL_STD_UNORDERED_SET_H
#define KEL_STD_UNORDERED_SET_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/hash_table.h>
#include <kel_std/hash.h>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <type_traits>

namespace kel_std {

/// A hashed set of unique keys; the drop-in counterpart of
/// `std::unordered_set`.
template <class Key, class Hash = hash<Key>, class KeyEqual = std::equal_to<Key>, class Allocator = allocator<Key>>
class unordered_set : public detail::hash_table<Key, Key, detail::identity_key, Hash, KeyEqual, Allocator, false> {
    typedef detail::hash_table<Key, Key, detail::identity_key, Hash, KeyEqual, Allocator, false> base;

public:
    /// Counts of elements and buckets.
    typedef typename base::size_type size_type;

    /// The constructors of `std::unordered_set`: default, with a bucket
    /// count and/or a hash, an equality and an allocator, from an iterator
    /// range (also with an allocator alone, as C++23 adds), copy and move
    /// (also with an allocator).
    using base::base;

    /// A set of the keys of `il`, with at least `bucket_count` buckets.
    unordered_set(std::initializer_list<Key> il, std::size_t bucket_count = 0, const Hash& h = Hash(),
                  const KeyEqual& eq = KeyEqual(), const Allocator& a = Allocator())
        : base(il, bucket_count, h, eq, a) {}
    /// A set of the keys of `il` that uses allocator `a`.
    unordered_set(std::initializer_list<Key> il, std::size_t bucket_count, const Allocator& a)
        : base(il, bucket_count, a) {}
    /// A set of the keys of `il` with hash `h` that uses allocator `a`.
    unordered_set(std::initializer_list<Key> il, std::size_t bucket_count, const Hash& h, const Allocator& a)
        : base(il, bucket_count, h, a) {}

    /// A set of the keys of `il` that uses allocator `a`. Class template
    /// argument deduction takes no allocator type from this constructor.
    unordered_set(std::initializer_list<Key> il, const typename detail::type_identity<Allocator>::type& a)
        : base(il, a) {}

    /// Replaces the contents with the keys of `il`.
    unordered_set& operator=(std::initializer_list<Key> il) {
        this->assign_list(il);
        return *this;
    }
};

/// A hashed set whose keys may repeat; the drop-in counterpart of
/// `std::unordered_multiset`. Equal keys are adjacent.
template <class Key, class Hash = hash<Key>, class KeyEqual = std::equal_to<Key>, class Allocator = allocator<Key>>
class unordered_multiset : public detail::hash_table<Key, Key, detail::identity_key, Hash, KeyEqual, Allocator, true> {
    typedef detail::hash_table<Key, Key, detail::identity_key, Hash, KeyEqual, Allocator, true> base;

public:
    /// Counts of elements and buckets.
    typedef typename base::size_type size_type;

    /// The constructors of `std::unordered_multiset`.
    using base::base;

    /// A multiset of the keys of `il`, with at least `bucket_count` buckets.
    unordered_multiset(std::initializer_list<Key> il, std::size_t bucket_count = 0, const Hash& h = Hash(),
                       const KeyEqual& eq = KeyEqual(), const Allocator& a = Allocator())
        : base(il, bucket_count, h, eq, a) {}
    /// A multiset of the keys of `il` that uses allocator `a`.
    unordered_multiset(std::initializer_list<Key> il, std::size_t bucket_count, const Allocator& a)
        : base(il, bucket_count, a) {}
    /// A multiset of the keys of `il` with hash `h` that uses allocator `a`.
    unordered_multiset(std::initializer_list<Key> il, std::size_t bucket_count, const Hash& h, const Allocator& a)
        : base(il, bucket_count, h, a) {}

    /// A multiset of the keys of `il` that uses allocator `a`. Class template
    /// argument deduction takes no allocator type from this constructor.
    unordered_multiset(std::initializer_list<Key> il, const typename detail::type_identity<Allocator>::type& a)
        : base(il, a) {}

    /// Replaces the contents with the keys of `il`.
    unordered_multiset& operator=(std::initializer_list<Key> il) {
        this->assign_list(il);
        return *this;
    }
};

/// Exchanges the contents of two sets; see `unordered_set::swap`.
template <class K, class H, class E, class A>
void swap(unordered_set<K, H, E, A>& a, unordered_set<K, H, E, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Exchanges the contents of two multisets; see `unordered_multiset::swap`.
template <class K, class H, class E, class A>
void swap(unordered_multiset<K, H, E, A>& a, unordered_multiset<K, H, E, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a set from an iterator range.
template <class It, class H = hash<detail::iter_value_t<It>>, class P = std::equal_to<detail::iter_value_t<It>>,
          class A = allocator<detail::iter_value_t<It>>, class = detail::hash_require_guide<It, H, P, A>>
unordered_set(It, It, std::size_t = 0, H = H(), P = P(), A = A()) -> unordered_set<detail::iter_value_t<It>, H, P, A>;
/// Deduces a set from an initializer list.
template <class T, class H = hash<T>, class P = std::equal_to<T>, class A = allocator<T>,
          class = detail::hash_require_guide<const T*, H, P, A>>
unordered_set(std::initializer_list<T>, std::size_t = 0, H = H(), P = P(), A = A()) -> unordered_set<T, H, P, A>;
/// Deduces a set from an iterator range and an allocator.
template <class It, class A, class = detail::hash_require_guide<It, hash<int>, std::equal_to<int>, A>>
unordered_set(It, It, std::size_t, A) -> unordered_set<detail::iter_value_t<It>, hash<detail::iter_value_t<It>>,
                                                       std::equal_to<detail::iter_value_t<It>>, A>;
/// Deduces a set from an iterator range, a hash and an allocator.
template <class It, class H, class A, class = detail::hash_require_guide<It, H, std::equal_to<int>, A>>
unordered_set(It, It, std::size_t, H, A)
    -> unordered_set<detail::iter_value_t<It>, H, std::equal_to<detail::iter_value_t<It>>, A>;
/// Deduces a set from an initializer list and an allocator.
template <class T, class A, class = detail::hash_require_guide<const T*, hash<int>, std::equal_to<int>, A>>
unordered_set(std::initializer_list<T>, std::size_t, A) -> unordered_set<T, hash<T>, std::equal_to<T>, A>;
/// Deduces a set from an initializer list, a hash and an allocator.
template <class T, class H, class A, class = detail::hash_require_guide<const T*, H, std::equal_to<int>, A>>
unordered_set(std::initializer_list<T>, std::size_t, H, A) -> unordered_set<T, H, std::equal_to<T>, A>;
/// Deduces a set from a set and an allocator.
template <class K, class H, class P, class A>
unordered_set(const unordered_set<K, H, P, A>&, const typename detail::type_identity<A>::type&)
    -> unordered_set<K, H, P, A>;
/// Deduces a set from a set and an allocator.
template <class K, class H, class P, class A>
unordered_set(unordered_set<K, H, P, A>&&, const typename detail::type_identity<A>::type&) -> unordered_set<K, H, P, A>;

/// Deduces a multiset from an iterator range.
template <class It, class H = hash<detail::iter_value_t<It>>, class P = std::equal_to<detail::iter_value_t<It>>,
          class A = allocator<detail::iter_value_t<It>>, class = detail::hash_require_guide<It, H, P, A>>
unordered_multiset(It, It, std::size_t = 0, H = H(), P = P(), A = A())
    -> unordered_multiset<detail::iter_value_t<It>, H, P, A>;
/// Deduces a multiset from an initializer list.
template <class T, class H = hash<T>, class P = std::equal_to<T>, class A = allocator<T>,
          class = detail::hash_require_guide<const T*, H, P, A>>
unordered_multiset(std::initializer_list<T>, std::size_t = 0, H = H(), P = P(), A = A())
    -> unordered_multiset<T, H, P, A>;
/// Deduces a multiset from an iterator range and an allocator.
template <class It, class A, class = detail::hash_require_guide<It, hash<int>, std::equal_to<int>, A>>
unordered_multiset(It, It, std::size_t, A)
    -> unordered_multiset<detail::iter_value_t<It>, hash<detail::iter_value_t<It>>,
                          std::equal_to<detail::iter_value_t<It>>, A>;
/// Deduces a multiset from an iterator range, a hash and an allocator.
template <class It, class H, class A, class = detail::hash_require_guide<It, H, std::equal_to<int>, A>>
unordered_multiset(It, It, std::size_t, H, A)
    -> unordered_multiset<detail::iter_value_t<It>, H, std::equal_to<detail::iter_value_t<It>>, A>;
/// Deduces a multiset from an initializer list and an allocator.
template <class T, class A, class = detail::hash_require_guide<const T*, hash<int>, std::equal_to<int>, A>>
unordered_multiset(std::initializer_list<T>, std::size_t, A) -> unordered_multiset<T, hash<T>, std::equal_to<T>, A>;
/// Deduces a multiset from an initializer list, a hash and an allocator.
template <class T, class H, class A, class = detail::hash_require_guide<const T*, H, std::equal_to<int>, A>>
unordered_multiset(std::initializer_list<T>, std::size_t, H, A) -> unordered_multiset<T, H, std::equal_to<T>, A>;
/// Deduces a multiset from a multiset and an allocator.
template <class K, class H, class P, class A>
unordered_multiset(const unordered_multiset<K, H, P, A>&, const typename detail::type_identity<A>::type&)
    -> unordered_multiset<K, H, P, A>;
/// Deduces a multiset from a multiset and an allocator.
template <class K, class H, class P, class A>
unordered_multiset(unordered_multiset<K, H, P, A>&&, const typename detail::type_identity<A>::type&)
    -> unordered_multiset<K, H, P, A>;
#endif

} // namespace kel_std

#endif // KEL_STD_UNORDERED_SET_H
