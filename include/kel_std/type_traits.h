/// @file
/// Type traits of the library that users may specialise.
#ifndef KEL_STD_TYPE_TRAITS_H
#define KEL_STD_TYPE_TRAITS_H

#include <tuple>
#include <type_traits>
#include <utility>

namespace kel_std {

/// Whether an object of type `T` may be moved to another address by copying
/// its bytes (`memcpy`/`memmove`), the bytes at the old address then being
/// treated as raw memory whose destructor never runs.
///
/// `kel_std::vector` relies on it: when it grows, and when `insert` and
/// `erase` shift elements within its buffer, it moves elements of such a
/// type with one `memcpy` or `memmove` instead of a move construction and a
/// destruction per element (or a move assignment per element), provided its
/// allocator leaves construction and destruction to the type (has no
/// `construct` or `destroy` of its own, or is `std::allocator`).
///
/// The rule: a type qualifies when none of its objects holds a pointer or
/// reference to itself or to one of its own subobjects, and nothing outside
/// the object holds one that would have to follow it when it moves (a node
/// that points back to a container's embedded header, say). Moving such an
/// object leaves every pointer it holds valid, so the bytes are the object.
///
/// - True for every trivially copyable type, and for `std::pair` and
///   `std::tuple` of qualifying types (const ones included).
/// - The library specialises it for its own string and for those of its
///   containers whose representation qualifies (vector, deque, forward_list
///   and the hashed containers, when their allocator and function objects
///   qualify too). The ordered containers and `list` do not qualify: they
///   embed a header or sentinel node that their elements point back to.
/// - Specialise it for your own type (derive from `std::true_type`) only if
///   the rule holds for it. A wrong `true` is undefined behaviour: the
///   object's copy keeps pointing at the old address. A missing `true` costs
///   only speed.
template <class T>
struct is_trivially_relocatable : std::integral_constant<bool, std::is_trivially_copyable<T>::value> {};

/// A const object relocates as its type does (the key of a map's element).
template <class T>
struct is_trivially_relocatable<const T> : is_trivially_relocatable<T> {};

/// A pair relocates by bytes when both of its members do.
template <class A, class B>
struct is_trivially_relocatable<std::pair<A, B>>
    : std::integral_constant<bool, is_trivially_relocatable<A>::value && is_trivially_relocatable<B>::value> {};

namespace detail {
template <class... Ts>
struct all_trivially_relocatable : std::true_type {};
template <class T, class... Ts>
struct all_trivially_relocatable<T, Ts...>
    : std::integral_constant<bool, is_trivially_relocatable<T>::value && all_trivially_relocatable<Ts...>::value> {};
} // namespace detail

/// A tuple relocates by bytes when all of its members do.
template <class... Ts>
struct is_trivially_relocatable<std::tuple<Ts...>> : detail::all_trivially_relocatable<Ts...> {};

} // namespace kel_std

#endif // KEL_STD_TYPE_TRAITS_H
