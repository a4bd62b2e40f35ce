/// @file
/// `kel_std::map` and `kel_std::multimap`: ordered maps from keys to
/// values, drop-in replacements for `std::map` and `std::multimap`, built on
/// the library's red-black tree functions.
///
/// The interface is the standard one (C++17, plus C++20's `contains` and
/// `erase_if`); what is particular to this library (allocation, the nil
/// sentinel, complexity, the contract checked in debug builds) is the same as
/// for the sets and is described in kel_std/set.h. `map::at` on a missing
/// key throws the library's `kel_std::out_of_range` ("out of range error").
#ifndef KEL_STD_MAP_H
#define KEL_STD_MAP_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/map_members.h>
#include <kel_std/detail/rb_tree.h>

#include <functional>
#include <initializer_list>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

// What map and multimap share beyond the tree and the members every map
// has: the mapped type and the value comparator.
template <class Key, class T, class Compare, class Alloc, bool Multi>
class map_base
    : public map_value_members<rb_tree<Key, std::pair<const Key, T>, first_key, Compare, Alloc, Multi>, Multi> {
    typedef map_value_members<rb_tree<Key, std::pair<const Key, T>, first_key, Compare, Alloc, Multi>, Multi> base;

public:
    typedef T mapped_type;
    typedef typename base::value_type value_type;

    // Orders elements by their keys.
    class value_compare {
        friend class map_base;

    public:
        bool operator()(const value_type& a, const value_type& b) const { return comp(a.first, b.first); }

    protected:
        explicit value_compare(Compare c) : comp(c) {}
        Compare comp;
    };

    using base::base;

    value_compare value_comp() const { return value_compare(this->key_comp()); }
};

} // namespace detail

/// An ordered map with unique keys; the drop-in counterpart of `std::map`.
/// Besides the members of every ordered container it has `operator[]`,
/// `at` (throwing `kel_std::out_of_range` for a missing key), `try_emplace`
/// and `insert_or_assign`, as `std::map` has them.
template <class Key, class T, class Compare = std::less<Key>, class Allocator = allocator<std::pair<const Key, T>>>
class map : public detail::unique_map_members<detail::map_base<Key, T, Compare, Allocator, false>> {
    typedef detail::unique_map_members<detail::map_base<Key, T, Compare, Allocator, false>> base;

public:
    /// Key and mapped value.
    typedef typename base::value_type value_type;

    /// The constructors of `std::map`: default, with a comparator and/or an
    /// allocator, from an iterator range or an initializer list, copy and
    /// move (also with an allocator).
    using base::base;

    /// A map of the elements of `il`.
    map(std::initializer_list<std::pair<const Key, T>> il, const Compare& c = Compare(),
        const Allocator& a = Allocator())
        : base(il, c, a) {}
    /// A map of the elements of `il` that uses allocator `a`.
    map(std::initializer_list<std::pair<const Key, T>> il, const Allocator& a) : base(il, a) {}

    /// Replaces the contents with the elements of `il`.
    map& operator=(std::initializer_list<std::pair<const Key, T>> il) {
        this->assign_list(il);
        return *this;
    }
};

/// An ordered map whose keys may repeat; the drop-in counterpart of
/// `std::multimap`. Equal keys keep their order of insertion.
template <class Key, class T, class Compare = std::less<Key>, class Allocator = allocator<std::pair<const Key, T>>>
class multimap : public detail::map_base<Key, T, Compare, Allocator, true> {
    typedef detail::map_base<Key, T, Compare, Allocator, true> base;

public:
    /// Key and mapped value.
    typedef typename base::value_type value_type;

    /// The constructors of `std::multimap`.
    using base::base;

    /// A multimap of the elements of `il`.
    multimap(std::initializer_list<std::pair<const Key, T>> il, const Compare& c = Compare(),
             const Allocator& a = Allocator())
        : base(il, c, a) {}
    /// A multimap of the elements of `il` that uses allocator `a`.
    multimap(std::initializer_list<std::pair<const Key, T>> il, const Allocator& a) : base(il, a) {}

    /// Replaces the contents with the elements of `il`.
    multimap& operator=(std::initializer_list<std::pair<const Key, T>> il) {
        this->assign_list(il);
        return *this;
    }
};

/// Exchanges the contents of two maps; see `map::swap`.
template <class K, class T, class C, class A>
void swap(map<K, T, C, A>& a, map<K, T, C, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Exchanges the contents of two multimaps; see `multimap::swap`.
template <class K, class T, class C, class A>
void swap(multimap<K, T, C, A>& a, multimap<K, T, C, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a map from an iterator range of pairs.
template <class It, class C = std::less<detail::iter_key_t<It>>, class A = allocator<detail::iter_to_alloc_t<It>>,
          class = detail::require_guide<It, C, A>>
map(It, It, C = C(), A = A()) -> map<detail::iter_key_t<It>, detail::iter_mapped_t<It>, C, A>;
/// Deduces a map from an initializer list of pairs.
template <class K, class T, class C = std::less<K>, class A = allocator<std::pair<const K, T>>,
          class = detail::require_guide<const K*, C, A>>
map(std::initializer_list<std::pair<K, T>>, C = C(), A = A()) -> map<K, T, C, A>;
/// Deduces a map from an iterator range of pairs and an allocator.
template <class It, class A, class = detail::require_guide<It, std::less<int>, A>>
map(It, It, A) -> map<detail::iter_key_t<It>, detail::iter_mapped_t<It>, std::less<detail::iter_key_t<It>>, A>;
/// Deduces a map from an initializer list of pairs and an allocator.
template <class K, class T, class A, class = detail::require_guide<const K*, std::less<int>, A>>
map(std::initializer_list<std::pair<K, T>>, A) -> map<K, T, std::less<K>, A>;
/// Deduces a map from a map and an allocator.
template <class K, class T, class C, class A>
map(const map<K, T, C, A>&, const typename detail::type_identity<A>::type&) -> map<K, T, C, A>;
/// Deduces a map from a map and an allocator.
template <class K, class T, class C, class A>
map(map<K, T, C, A>&&, const typename detail::type_identity<A>::type&) -> map<K, T, C, A>;

/// Deduces a multimap from an iterator range of pairs.
template <class It, class C = std::less<detail::iter_key_t<It>>, class A = allocator<detail::iter_to_alloc_t<It>>,
          class = detail::require_guide<It, C, A>>
multimap(It, It, C = C(), A = A()) -> multimap<detail::iter_key_t<It>, detail::iter_mapped_t<It>, C, A>;
/// Deduces a multimap from an initializer list of pairs.
template <class K, class T, class C = std::less<K>, class A = allocator<std::pair<const K, T>>,
          class = detail::require_guide<const K*, C, A>>
multimap(std::initializer_list<std::pair<K, T>>, C = C(), A = A()) -> multimap<K, T, C, A>;
/// Deduces a multimap from an iterator range of pairs and an allocator.
template <class It, class A, class = detail::require_guide<It, std::less<int>, A>>
multimap(It, It, A)
    -> multimap<detail::iter_key_t<It>, detail::iter_mapped_t<It>, std::less<detail::iter_key_t<It>>, A>;
/// Deduces a multimap from an initializer list of pairs and an allocator.
template <class K, class T, class A, class = detail::require_guide<const K*, std::less<int>, A>>
multimap(std::initializer_list<std::pair<K, T>>, A) -> multimap<K, T, std::less<K>, A>;
/// Deduces a multimap from a multimap and an allocator.
template <class K, class T, class C, class A>
multimap(const multimap<K, T, C, A>&, const typename detail::type_identity<A>::type&) -> multimap<K, T, C, A>;
/// Deduces a multimap from a multimap and an allocator.
template <class K, class T, class C, class A>
multimap(multimap<K, T, C, A>&&, const typename detail::type_identity<A>::type&) -> multimap<K, T, C, A>;
#endif

} // namespace kel_std

#endif // KEL_STD_MAP_H
