/// @file
/// `kel_std::unordered_map` and `kel_std::unordered_multimap`: hashed maps
/// from keys to values, drop-in replacements for `std::unordered_map` and
/// `std::unordered_multimap`.
///
/// The interface is the standard one (C++17, plus C++20's `contains`,
/// `erase_if` and heterogeneous lookup); what is particular to this library
/// (allocation, the bucket array, guarantees, exception safety, the contract
/// checked in debug builds) is the same as for the sets and is described in
/// kel_std/unordered_set.h. `unordered_map::at` on a missing key throws the
/// library's `kel_std::out_of_range` ("out of range error").
#ifndef KEL_STD_UNORDERED_MAP_H
#define KEL_STD_UNORDERED_MAP_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/hash_table.h>
#include <kel_std/detail/map_members.h>
#include <kel_std/hash.h>
#include <kel_std/throw_functions.h>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

// unordered_map and unordered_multimap: the table with the members every
// map has, and the mapped type.
template <class Key, class T, class Hash, class Pred, class Alloc, bool Multi>
class hash_map_base
    : public map_value_members<hash_table<Key, std::pair<const Key, T>, first_key, Hash, Pred, Alloc, Multi>, Multi> {
    typedef map_value_members<hash_table<Key, std::pair<const Key, T>, first_key, Hash, Pred, Alloc, Multi>, Multi>
        base;

public:
    typedef T mapped_type;

    using base::base;
};

} // namespace detail

/// A hashed map with unique keys; the drop-in counterpart of
/// `std::unordered_map`. Besides the members of every hashed container it
/// has `operator[]`, `at` (throwing `kel_std::out_of_range` for a missing
/// key), `try_emplace` and `insert_or_assign`, as `std::unordered_map` has
/// them; the hints of the last two are checked and not otherwise needed.
template <class Key, class T, class Hash = hash<Key>, class KeyEqual = std::equal_to<Key>,
          class Allocator = allocator<std::pair<const Key, T>>>
class unordered_map
    : public detail::unique_map_members<detail::hash_map_base<Key, T, Hash, KeyEqual, Allocator, false>> {
    typedef detail::unique_map_members<detail::hash_map_base<Key, T, Hash, KeyEqual, Allocator, false>> base;

public:
    /// A position in the map.
    typedef typename base::iterator iterator;
    /// A position in the map, read only.
    typedef typename base::const_iterator const_iterator;
    /// Key and mapped value.
    typedef typename base::value_type value_type;
    /// Counts of elements and buckets.
    typedef typename base::size_type size_type;

    /// The constructors of `std::unordered_map`: default, with a bucket
    /// count and/or a hash, an equality and an allocator, from an iterator
    /// range (also with an allocator alone, as C++23 adds), copy and move
    /// (also with an allocator).
    using base::base;

    /// A map of the elements of `il`, with at least `bucket_count` buckets.
    unordered_map(std::initializer_list<std::pair<const Key, T>> il, std::size_t bucket_count = 0,
                  const Hash& h = Hash(), const KeyEqual& eq = KeyEqual(), const Allocator& a = Allocator())
        : base(il, bucket_count, h, eq, a) {}
    /// A map of the elements of `il` that uses allocator `a`.
    unordered_map(std::initializer_list<std::pair<const Key, T>> il, std::size_t bucket_count, const Allocator& a)
        : base(il, bucket_count, a) {}
    /// A map of the elements of `il` with hash `h` that uses allocator `a`.
    unordered_map(std::initializer_list<std::pair<const Key, T>> il, std::size_t bucket_count, const Hash& h,
                  const Allocator& a)
        : base(il, bucket_count, h, a) {}

    /// A map of the elements of `il` that uses allocator `a`. Class template
    /// argument deduction takes no allocator type from this constructor.
    unordered_map(std::initializer_list<std::pair<const Key, T>> il,
                  const typename detail::type_identity<Allocator>::type& a)
        : base(il, a) {}

    /// Replaces the contents with the elements of `il`.
    unordered_map& operator=(std::initializer_list<std::pair<const Key, T>> il) {
        this->assign_list(il);
        return *this;
    }
};

/// A hashed map whose keys may repeat; the drop-in counterpart of
/// `std::unordered_multimap`. Equal keys are adjacent.
template <class Key, class T, class Hash = hash<Key>, class KeyEqual = std::equal_to<Key>,
          class Allocator = allocator<std::pair<const Key, T>>>
class unordered_multimap : public detail::hash_map_base<Key, T, Hash, KeyEqual, Allocator, true> {
    typedef detail::hash_map_base<Key, T, Hash, KeyEqual, Allocator, true> base;

public:
    /// Key and mapped value.
    typedef typename base::value_type value_type;
    /// Counts of elements and buckets.
    typedef typename base::size_type size_type;

    /// The constructors of `std::unordered_multimap`.
    using base::base;

    /// A multimap of the elements of `il`, with at least `bucket_count`
    /// buckets.
    unordered_multimap(std::initializer_list<std::pair<const Key, T>> il, std::size_t bucket_count = 0,
                       const Hash& h = Hash(), const KeyEqual& eq = KeyEqual(), const Allocator& a = Allocator())
        : base(il, bucket_count, h, eq, a) {}
    /// A multimap of the elements of `il` that uses allocator `a`.
    unordered_multimap(std::initializer_list<std::pair<const Key, T>> il, std::size_t bucket_count, const Allocator& a)
        : base(il, bucket_count, a) {}
    /// A multimap of the elements of `il` with hash `h` that uses allocator
    /// `a`.
    unordered_multimap(std::initializer_list<std::pair<const Key, T>> il, std::size_t bucket_count, const Hash& h,
                       const Allocator& a)
        : base(il, bucket_count, h, a) {}

    /// A multimap of the elements of `il` that uses allocator `a`. Class template
    /// argument deduction takes no allocator type from this constructor.
    unordered_multimap(std::initializer_list<std::pair<const Key, T>> il,
                       const typename detail::type_identity<Allocator>::type& a)
        : base(il, a) {}

    /// Replaces the contents with the elements of `il`.
    unordered_multimap& operator=(std::initializer_list<std::pair<const Key, T>> il) {
        this->assign_list(il);
        return *this;
    }
};

/// Exchanges the contents of two maps; see `unordered_map::swap`.
template <class K, class T, class H, class E, class A>
void swap(unordered_map<K, T, H, E, A>& a, unordered_map<K, T, H, E, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Exchanges the contents of two multimaps; see `unordered_multimap::swap`.
template <class K, class T, class H, class E, class A>
void swap(unordered_multimap<K, T, H, E, A>& a, unordered_multimap<K, T, H, E, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a map from an iterator range of pairs.
template <class It, class H = hash<detail::iter_key_t<It>>, class P = std::equal_to<detail::iter_key_t<It>>,
          class A = allocator<detail::iter_to_alloc_t<It>>, class = detail::hash_require_guide<It, H, P, A>>
unordered_map(It, It, std::size_t = 0, H = H(), P = P(), A = A())
    -> unordered_map<detail::iter_key_t<It>, detail::iter_mapped_t<It>, H, P, A>;
/// Deduces a map from an initializer list of pairs.
template <class K, class T, class H = hash<K>, class P = std::equal_to<K>, class A = allocator<std::pair<const K, T>>,
          class = detail::hash_require_guide<const K*, H, P, A>>
unordered_map(std::initializer_list<std::pair<K, T>>, std::size_t = 0, H = H(), P = P(), A = A())
    -> unordered_map<K, T, H, P, A>;
/// Deduces a map from an iterator range of pairs and an allocator.
template <class It, class A, class = detail::hash_require_guide<It, hash<int>, std::equal_to<int>, A>>
unordered_map(It, It, std::size_t, A)
    -> unordered_map<detail::iter_key_t<It>, detail::iter_mapped_t<It>, hash<detail::iter_key_t<It>>,
                     std::equal_to<detail::iter_key_t<It>>, A>;
/// Deduces a map from an iterator range of pairs, a hash and an allocator.
template <class It, class H, class A, class = detail::hash_require_guide<It, H, std::equal_to<int>, A>>
unordered_map(It, It, std::size_t, H, A)
    -> unordered_map<detail::iter_key_t<It>, detail::iter_mapped_t<It>, H, std::equal_to<detail::iter_key_t<It>>, A>;
/// Deduces a map from an initializer list of pairs and an allocator.
template <class K, class T, class A, class = detail::hash_require_guide<const K*, hash<int>, std::equal_to<int>, A>>
unordered_map(std::initializer_list<std::pair<K, T>>, std::size_t, A)
    -> unordered_map<K, T, hash<K>, std::equal_to<K>, A>;
/// Deduces a map from an initializer list of pairs, a hash and an allocator.
template <class K, class T, class H, class A, class = detail::hash_require_guide<const K*, H, std::equal_to<int>, A>>
unordered_map(std::initializer_list<std::pair<K, T>>, std::size_t, H, A) -> unordered_map<K, T, H, std::equal_to<K>, A>;
/// Deduces a map from an iterator range of pairs and an allocator.
template <class It, class A, class = detail::hash_require_guide<It, hash<int>, std::equal_to<int>, A>>
unordered_map(It, It, A) -> unordered_map<detail::iter_key_t<It>, detail::iter_mapped_t<It>,
                                          hash<detail::iter_key_t<It>>, std::equal_to<detail::iter_key_t<It>>, A>;
/// Deduces a map from an initializer list of pairs and an allocator.
template <class K, class T, class A, class = detail::hash_require_guide<const K*, hash<int>, std::equal_to<int>, A>>
unordered_map(std::initializer_list<std::pair<K, T>>, A) -> unordered_map<K, T, hash<K>, std::equal_to<K>, A>;
/// Deduces a map from a map and an allocator.
template <class K, class T, class H, class P, class A>
unordered_map(const unordered_map<K, T, H, P, A>&, const typename detail::type_identity<A>::type&)
    -> unordered_map<K, T, H, P, A>;
/// Deduces a map from a map and an allocator.
template <class K, class T, class H, class P, class A>
unordered_map(unordered_map<K, T, H, P, A>&&, const typename detail::type_identity<A>::type&)
    -> unordered_map<K, T, H, P, A>;

/// Deduces a multimap from an iterator range of pairs.
template <class It, class H = hash<detail::iter_key_t<It>>, class P = std::equal_to<detail::iter_key_t<It>>,
          class A = allocator<detail::iter_to_alloc_t<It>>, class = detail::hash_require_guide<It, H, P, A>>
unordered_multimap(It, It, std::size_t = 0, H = H(), P = P(), A = A())
    -> unordered_multimap<detail::iter_key_t<It>, detail::iter_mapped_t<It>, H, P, A>;
/// Deduces a multimap from an initializer list of pairs.
template <class K, class T, class H = hash<K>, class P = std::equal_to<K>, class A = allocator<std::pair<const K, T>>,
          class = detail::hash_require_guide<const K*, H, P, A>>
unordered_multimap(std::initializer_list<std::pair<K, T>>, std::size_t = 0, H = H(), P = P(), A = A())
    -> unordered_multimap<K, T, H, P, A>;
/// Deduces a multimap from an iterator range of pairs and an allocator.
template <class It, class A, class = detail::hash_require_guide<It, hash<int>, std::equal_to<int>, A>>
unordered_multimap(It, It, std::size_t, A)
    -> unordered_multimap<detail::iter_key_t<It>, detail::iter_mapped_t<It>, hash<detail::iter_key_t<It>>,
                          std::equal_to<detail::iter_key_t<It>>, A>;
/// Deduces a multimap from an iterator range of pairs, a hash and an
/// allocator.
template <class It, class H, class A, class = detail::hash_require_guide<It, H, std::equal_to<int>, A>>
unordered_multimap(It, It, std::size_t, H, A) -> unordered_multimap<detail::iter_key_t<It>, detail::iter_mapped_t<It>,
                                                                    H, std::equal_to<detail::iter_key_t<It>>, A>;
/// Deduces a multimap from an initializer list of pairs and an allocator.
template <class K, class T, class A, class = detail::hash_require_guide<const K*, hash<int>, std::equal_to<int>, A>>
unordered_multimap(std::initializer_list<std::pair<K, T>>, std::size_t, A)
    -> unordered_multimap<K, T, hash<K>, std::equal_to<K>, A>;
/// Deduces a multimap from an initializer list of pairs, a hash and an
/// allocator.
template <class K, class T, class H, class A, class = detail::hash_require_guide<const K*, H, std::equal_to<int>, A>>
unordered_multimap(std::initializer_list<std::pair<K, T>>, std::size_t, H, A)
    -> unordered_multimap<K, T, H, std::equal_to<K>, A>;
/// Deduces a multimap from an iterator range of pairs and an allocator.
template <class It, class A, class = detail::hash_require_guide<It, hash<int>, std::equal_to<int>, A>>
unordered_multimap(It, It, A)
    -> unordered_multimap<detail::iter_key_t<It>, detail::iter_mapped_t<It>, hash<detail::iter_key_t<It>>,
                          std::equal_to<detail::iter_key_t<It>>, A>;
/// Deduces a multimap from an initializer list of pairs and an allocator.
template <class K, class T, class A, class = detail::hash_require_guide<const K*, hash<int>, std::equal_to<int>, A>>
unordered_multimap(std::initializer_list<std::pair<K, T>>, A) -> unordered_multimap<K, T, hash<K>, std::equal_to<K>, A>;
/// Deduces a multimap from a multimap and an allocator.
template <class K, class T, class H, class P, class A>
unordered_multimap(const unordered_multimap<K, T, H, P, A>&, const typename detail::type_identity<A>::type&)
    -> unordered_multimap<K, T, H, P, A>;
/// Deduces a multimap from a multimap and an allocator.
template <class K, class T, class H, class P, class A>
unordered_multimap(unordered_multimap<K, T, H, P, A>&&, const typename detail::type_identity<A>::type&)
    -> unordered_multimap<K, T, H, P, A>;
#endif

} // namespace kel_std

#endif // KEL_STD_UNORDERED_MAP_H
