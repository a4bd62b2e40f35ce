/// @file
/// `kel_std::set` and `kel_std::multiset`: ordered sets of keys, drop-in
/// replacements for `std::set` and `std::multiset`, built on the library's
/// red-black tree functions.
///
/// The interface is the standard one (C++17, plus C++20's `contains` and
/// `erase_if`); these pages document what is particular to this library.
///
/// - Elements live in nodes of their own, one allocation each, taken from
///   the allocator rebound to the node type through `std::allocator_traits`.
///   The default `kel_std::allocator` takes them from its memory manager, or
///   the global heap when it has none.
/// - The tree's nil sentinel is allocated from the same allocator when the
///   first element arrives: an empty container, default-constructed or moved
///   from, holds no memory, and its default and move constructors do not
///   throw or allocate. `clear()` keeps the sentinel for the next element.
/// - On a memory manager that frees nothing until a release of its own (a
///   `kel_monotonic_memory_manager`, such as `arena_manager`, held by a
///   `kel_std::allocator`), a container whose elements need no destructor
///   (`std::is_trivially_destructible`) drops its nodes when destroyed or
///   cleared, without visiting or deallocating them (the destructor drops
///   the sentinel too): destruction and `clear()` take constant time, and
///   the manager counts those blocks as in use until its release. Other
///   containers, and these on other managers, destroy and deallocate every
///   node.
/// - Copies clone the tree's shape without comparing keys (O(n)); copy
///   assignment reuses the target's nodes. Insertion of sorted input with an
///   `end()` hint, and construction from sorted input, are O(n) in all.
/// - Iterators stay valid until their element is erased, also across
///   `swap` and moves of the container.
/// - Contract (checked by assertions in debug builds, `KEL_STD_DEBUG`): do
///   not dereference, increment or erase `end()`, decrement `begin()`, or
///   pass an iterator or hint of another container; node handles and
///   `merge` move nodes only between containers with equal allocators.
/// - Two different containers may be modified on two threads at once; one
///   container follows the usual rule (any number of readers, or one
///   writer).
#ifndef KEL_STD_SET_H
#define KEL_STD_SET_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/rb_tree.h>

#include <functional>
#include <initializer_list>
#include <utility>

namespace kel_std {

/// An ordered set of unique keys; the drop-in counterpart of `std::set`.
template <class Key, class Compare = std::less<Key>, class Allocator = allocator<Key>>
class set : public detail::rb_tree<Key, Key, detail::identity_key, Compare, Allocator, false> {
    typedef detail::rb_tree<Key, Key, detail::identity_key, Compare, Allocator, false> base;

public:
    /// Orders the elements: the key comparator.
    typedef Compare value_compare;

    /// The constructors of `std::set`: default, with a comparator and/or an
    /// allocator, from an iterator range or an initializer list, copy and
    /// move (also with an allocator).
    using base::base;

    /// A set of the keys of `il`.
    set(std::initializer_list<Key> il, const Compare& c = Compare(), const Allocator& a = Allocator())
        : base(il, c, a) {}
    /// A set of the keys of `il` that uses allocator `a`.
    set(std::initializer_list<Key> il, const Allocator& a) : base(il, a) {}

    /// Replaces the contents with the keys of `il`.
    set& operator=(std::initializer_list<Key> il) {
        this->assign_list(il);
        return *this;
    }

    /// The comparator of the elements (the key comparator).
    value_compare value_comp() const { return this->key_comp(); }
};

/// An ordered set whose keys may repeat; the drop-in counterpart of
/// `std::multiset`. Equal keys keep their order of insertion.
template <class Key, class Compare = std::less<Key>, class Allocator = allocator<Key>>
class multiset : public detail::rb_tree<Key, Key, detail::identity_key, Compare, Allocator, true> {
    typedef detail::rb_tree<Key, Key, detail::identity_key, Compare, Allocator, true> base;

public:
    /// Orders the elements: the key comparator.
    typedef Compare value_compare;

    /// The constructors of `std::multiset`.
    using base::base;

    /// A multiset of the keys of `il`.
    multiset(std::initializer_list<Key> il, const Compare& c = Compare(), const Allocator& a = Allocator())
        : base(il, c, a) {}
    /// A multiset of the keys of `il` that uses allocator `a`.
    multiset(std::initializer_list<Key> il, const Allocator& a) : base(il, a) {}

    /// Replaces the contents with the keys of `il`.
    multiset& operator=(std::initializer_list<Key> il) {
        this->assign_list(il);
        return *this;
    }

    /// The comparator of the elements (the key comparator).
    value_compare value_comp() const { return this->key_comp(); }
};

/// Exchanges the contents of two sets; see `set::swap`.
template <class K, class C, class A>
void swap(set<K, C, A>& a, set<K, C, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Exchanges the contents of two multisets; see `multiset::swap`.
template <class K, class C, class A>
void swap(multiset<K, C, A>& a, multiset<K, C, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a set from an iterator range.
template <class It, class C = std::less<detail::iter_value_t<It>>, class A = allocator<detail::iter_value_t<It>>,
          class = detail::require_guide<It, C, A>>
set(It, It, C = C(), A = A()) -> set<detail::iter_value_t<It>, C, A>;
/// Deduces a set from an initializer list.
template <class K, class C = std::less<K>, class A = allocator<K>, class = detail::require_guide<const K*, C, A>>
set(std::initializer_list<K>, C = C(), A = A()) -> set<K, C, A>;
/// Deduces a set from an iterator range and an allocator.
template <class It, class A, class = detail::require_guide<It, std::less<int>, A>>
set(It, It, A) -> set<detail::iter_value_t<It>, std::less<detail::iter_value_t<It>>, A>;
/// Deduces a set from an initializer list and an allocator.
template <class K, class A, class = detail::require_guide<const K*, std::less<int>, A>>
set(std::initializer_list<K>, A) -> set<K, std::less<K>, A>;
/// Deduces a set from a set and an allocator.
template <class K, class C, class A>
set(const set<K, C, A>&, const typename detail::type_identity<A>::type&) -> set<K, C, A>;
/// Deduces a set from a set and an allocator.
template <class K, class C, class A>
set(set<K, C, A>&&, const typename detail::type_identity<A>::type&) -> set<K, C, A>;

/// Deduces a multiset from an iterator range.
template <class It, class C = std::less<detail::iter_value_t<It>>, class A = allocator<detail::iter_value_t<It>>,
          class = detail::require_guide<It, C, A>>
multiset(It, It, C = C(), A = A()) -> multiset<detail::iter_value_t<It>, C, A>;
/// Deduces a multiset from an initializer list.
template <class K, class C = std::less<K>, class A = allocator<K>, class = detail::require_guide<const K*, C, A>>
multiset(std::initializer_list<K>, C = C(), A = A()) -> multiset<K, C, A>;
/// Deduces a multiset from an iterator range and an allocator.
template <class It, class A, class = detail::require_guide<It, std::less<int>, A>>
multiset(It, It, A) -> multiset<detail::iter_value_t<It>, std::less<detail::iter_value_t<It>>, A>;
/// Deduces a multiset from an initializer list and an allocator.
template <class K, class A, class = detail::require_guide<const K*, std::less<int>, A>>
multiset(std::initializer_list<K>, A) -> multiset<K, std::less<K>, A>;
/// Deduces a multiset from a multiset and an allocator.
template <class K, class C, class A>
multiset(const multiset<K, C, A>&, const typename detail::type_identity<A>::type&) -> multiset<K, C, A>;
/// Deduces a multiset from a multiset and an allocator.
template <class K, class C, class A>
multiset(multiset<K, C, A>&&, const typename detail::type_identity<A>::type&) -> multiset<K, C, A>;
#endif

} // namespace kel_std

#endif // KEL_STD_SET_H
