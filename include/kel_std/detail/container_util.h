// Small pieces that the containers share: how a key is taken from a value,
// storage of empty function objects and allocators, the type tests behind
// their constructors and deduction guides, and the element comparison of
// their <=>.
#ifndef KEL_STD_DETAIL_CONTAINER_UTIL_H
#define KEL_STD_DETAIL_CONTAINER_UTIL_H

#include <kel_std/config.h> // KEL_STD_THREE_WAY_COMPARISON, and <compare> with it

#include <cstddef>
#include <iterator>
#include <limits>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

/// Keys of sets: the value itself.
struct identity_key {
    template <class V>
    static const V& get(const V& v) noexcept {
        return v;
    }
};

/// Keys of maps: the pair's first member.
struct first_key {
    template <class P>
    static const typename P::first_type& get(const P& v) noexcept {
        return v.first;
    }
};

/// Holds a comparator or an allocator; empty ones take no space.
template <class T, int Tag, bool Empty = std::is_empty<T>::value && !__is_final(T)>
class ebo_box {
public:
    ebo_box() : value_() {}
    explicit ebo_box(const T& v) : value_(v) {}
    explicit ebo_box(T&& v) : value_(std::move(v)) {}
    T& get() noexcept { return value_; }
    const T& get() const noexcept { return value_; }

private:
    T value_;
};

template <class T, int Tag>
class ebo_box<T, Tag, true> : private T {
public:
    ebo_box() : T() {}
    explicit ebo_box(const T& v) : T(v) {}
    explicit ebo_box(T&& v) : T(std::move(v)) {}
    T& get() noexcept { return *this; }
    const T& get() const noexcept { return *this; }
};

// Detects an input iterator, to keep the range constructors away from other
// argument types.
template <class It>
struct is_input_iterator {
    template <class I>
    static std::true_type test(typename std::iterator_traits<I>::iterator_category*);
    template <class I>
    static std::false_type test(...);
    static const bool value = decltype(test<It>(nullptr))::value;
};

// A value as the source of a copy or, for Move, of a move.
template <bool Move>
struct value_cast {
    template <class V>
    static const V& get(V& v) noexcept {
        return v;
    }
};
template <>
struct value_cast<true> {
    template <class V>
    static V&& get(V& v) noexcept {
        return std::move(v);
    }
};

// Helpers of the deduction guides: the value, key and mapped types of an
// iterator's elements, and whether a type qualifies as an allocator.
template <class It>
using iter_value_t = typename std::iterator_traits<It>::value_type;
template <class It>
using iter_key_t = typename std::remove_const<typename iter_value_t<It>::first_type>::type;
template <class It>
using iter_mapped_t = typename iter_value_t<It>::second_type;
template <class It>
using iter_to_alloc_t = std::pair<const iter_key_t<It>, iter_mapped_t<It>>;

/// The largest count of objects of `object_size` bytes that a container can
/// promise: within the allocator's limit `alloc_max`, and small enough that
/// a distance between positions (and a buffer of them in bytes) fits in the
/// difference type whose largest value is `diff_max`. Written over the size
/// type, so that the arithmetic of a 32-bit `size_t` can be checked on any
/// machine.
template <class Size>
constexpr Size max_count(Size alloc_max, Size diff_max, Size object_size) noexcept {
    return alloc_max < diff_max / object_size ? alloc_max : diff_max / object_size;
}

/// `max_count` for a container whose positions differ by `Difference`.
template <class Difference, class Size>
constexpr Size max_count_for(Size alloc_max, std::size_t object_size) noexcept {
    return max_count<Size>(alloc_max, static_cast<Size>(std::numeric_limits<Difference>::max()),
                           static_cast<Size>(object_size));
}

template <class T>
struct type_identity {
    typedef T type;
};

template <class A>
struct is_allocator {
    template <class B>
    static std::true_type test(typename B::value_type*, decltype(std::declval<B&>().allocate(std::size_t(1)))*);
    template <class B>
    static std::false_type test(...);
    static const bool value = decltype(test<A>(nullptr, nullptr))::value;
};

// Whether swapping two `T`s can throw, asked of the swap that an unqualified
// call finds: a `swap` of `T`'s own namespace found by argument-dependent
// lookup, else std::swap (std::is_nothrow_swappable before C++17). The
// using-declaration must stand in a namespace of its own, so that no other
// `swap` of this library hides it.
namespace swap_lookup {
using std::swap;
template <class T>
struct nothrow_swappable {
    static const bool value = noexcept(swap(std::declval<T&>(), std::declval<T&>()));
};
} // namespace swap_lookup

/// Swaps `a` and `b` with the swap that an unqualified call finds.
template <class T>
void swap_adl(T& a, T& b) noexcept(swap_lookup::nothrow_swappable<T>::value) {
    using std::swap;
    swap(a, b);
}

#if KEL_STD_THREE_WAY_COMPARISON
/// The standard's synthesized three-way comparison of elements, for the
/// containers' <=>: their own <=> where they have one, else a weak ordering
/// from <.
struct synth_three_way {
    template <class T>
    constexpr auto operator()(const T& a, const T& b) const {
        if constexpr (std::three_way_comparable<T>) {
            return std::compare_three_way()(a, b);
        } else {
            if (a < b)
                return std::weak_ordering::less;
            if (b < a)
                return std::weak_ordering::greater;
            return std::weak_ordering::equivalent;
        }
    }
};

/// The lexicographic three-way comparison of two ranges of one value type,
/// element by element with synth_three_way; what
/// std::lexicographical_compare_three_way does, written out for the
/// standard libraries that lack it.
template <class It1, class It2>
auto lexicographical_three_way(It1 first1, It1 last1, It2 first2, It2 last2)
    -> decltype(synth_three_way()(*first1, *first2)) {
    for (; first1 != last1 && first2 != last2; ++first1, ++first2) {
        const auto order = synth_three_way()(*first1, *first2);
        if (order != 0)
            return order;
    }
    if (first1 != last1)
        return std::strong_ordering::greater;
    return first2 != last2 ? std::strong_ordering::less : std::strong_ordering::equal;
}
#endif

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_CONTAINER_UTIL_H
