// Pieces shared by the container adaptors (stack, queue, priority_queue).
#ifndef KEL_STD_DETAIL_ADAPTOR_UTIL_H
#define KEL_STD_DETAIL_ADAPTOR_UTIL_H

#include <memory>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

// Whether two `T`s can be swapped by the swap that an unqualified call
// finds (std::is_swappable, which C++11 and C++14 lack): the non-member swap
// of an adaptor exists only then. The using-declaration stands in a
// namespace of its own so that no other swap of this library hides it.
namespace adaptor_swap {
using std::swap;
template <class T, class = void>
struct swappable : std::false_type {};
template <class T>
struct swappable<T, decltype(static_cast<void>(swap(std::declval<T&>(), std::declval<T&>())))> : std::true_type {};
} // namespace adaptor_swap

// The allocator-extended constructors of an adaptor exist only for
// allocators its container uses.
template <class Container, class Alloc>
using enable_if_uses_allocator = typename std::enable_if<std::uses_allocator<Container, Alloc>::value>::type;

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_ADAPTOR_UTIL_H
