/// @file
/// `kel_std::stack`: a last-in first-out adaptor over a sequence container,
/// the drop-in counterpart of `std::stack`.
///
/// The interface is the standard one (C++17, with C++20's `<=>` under
/// C++20). It adapts any container with `back`, `push_back`, `emplace_back`
/// and `pop_back` (kel_std::deque, kel_std::vector, kel_std::list and the
/// standard ones alike); the container is the protected member `c`, as in
/// the standard. `emplace` returns what the container's `emplace_back`
/// returns (a reference to the new element, for the library's containers).
/// In debug builds (`KEL_STD_DEBUG`) `top` and `pop` assert that the stack
/// is not empty.
#ifndef KEL_STD_STACK_H
#define KEL_STD_STACK_H

#include <kel_std/config.h>
#include <kel_std/detail/adaptor_util.h>

#include <kel_std/deque.h>
#include <kel_std/detail/container_util.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace kel_std {

/// A last-in first-out stack of `T` on a `Container`; the drop-in
/// counterpart of `std::stack`.
template <class T, class Container = deque<T>>
class stack {
public:
    typedef Container container_type;                            ///< The adapted container.
    typedef typename Container::value_type value_type;           ///< The element type.
    typedef typename Container::size_type size_type;             ///< Counts of elements.
    typedef typename Container::reference reference;             ///< Reference to an element.
    typedef typename Container::const_reference const_reference; ///< Reference to a constant element.

protected:
    Container c; ///< The adapted container; its back is the top.

public:
    /// An empty stack on a value-initialised container.
    stack() : c() {}
    /// A stack on a copy of `cont` (its back is the top).
    explicit stack(const Container& cont) : c(cont) {}
    /// A stack on `cont`, moved.
    explicit stack(Container&& cont) : c(std::move(cont)) {}
    /// An empty stack whose container uses allocator `a`. Exists only when
    /// `std::uses_allocator<Container, Alloc>` holds, as do the other
    /// constructors with an allocator.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    explicit stack(const Alloc& a) : c(a) {}
    /// A stack on a copy of `cont` that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    stack(const Container& cont, const Alloc& a) : c(cont, a) {}
    /// A stack on `cont`, moved, that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    stack(Container&& cont, const Alloc& a) : c(std::move(cont), a) {}
    /// A copy of `other` that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    stack(const stack& other, const Alloc& a) : c(other.c, a) {}
    /// `other`'s elements, moved, in a container that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    stack(stack&& other, const Alloc& a) : c(std::move(other.c), a) {}

    /// Whether the stack has no elements.
    bool empty() const { return c.empty(); }
    /// The number of elements.
    size_type size() const { return c.size(); }
    /// The top element (the last pushed). Requires: `!empty()`.
    reference top() {
        KEL_STD_ASSERT(!c.empty() && "top() of an empty stack");
        return c.back();
    }
    /// The top element, read only. Requires: `!empty()`.
    const_reference top() const {
        KEL_STD_ASSERT(!c.empty() && "top() of an empty stack");
        return c.back();
    }
    /// Pushes a copy of `value`.
    void push(const value_type& value) { c.push_back(value); }
    /// Pushes `value`, moved.
    void push(value_type&& value) { c.push_back(std::move(value)); }
    /// Pushes an element constructed from `args`. Returns: what the
    /// container's `emplace_back` returns (the new element, for the
    /// library's containers and the standard ones since C++17).
    template <class... Args>
    auto emplace(Args&&... args) -> decltype(std::declval<Container&>().emplace_back(std::forward<Args>(args)...)) {
        return c.emplace_back(std::forward<Args>(args)...);
    }
    /// Removes the top element. Requires: `!empty()`.
    void pop() {
        KEL_STD_ASSERT(!c.empty() && "pop() of an empty stack");
        c.pop_back();
    }
    /// Exchanges the containers. Throws: what swapping the containers
    /// throws.
    void swap(stack& other) noexcept(detail::swap_lookup::nothrow_swappable<Container>::value) {
        detail::swap_adl(c, other.c);
    }

    /// Whether the containers are equal.
    friend bool operator==(const stack& a, const stack& b) { return a.c == b.c; }
    /// Whether the containers differ.
    friend bool operator!=(const stack& a, const stack& b) { return a.c != b.c; }
    /// Whether `a`'s container orders before `b`'s.
    friend bool operator<(const stack& a, const stack& b) { return a.c < b.c; }
    /// Whether `a`'s container orders after `b`'s.
    friend bool operator>(const stack& a, const stack& b) { return a.c > b.c; }
    /// Whether `a`'s container does not order after `b`'s.
    friend bool operator<=(const stack& a, const stack& b) { return a.c <= b.c; }
    /// Whether `a`'s container does not order before `b`'s.
    friend bool operator>=(const stack& a, const stack& b) { return a.c >= b.c; }
#if KEL_STD_THREE_WAY_COMPARISON
    /// The three-way comparison of the containers.
    friend auto operator<=>(const stack& a, const stack& b) requires std::three_way_comparable<Container> {
        return std::compare_three_way()(a.c, b.c);
    }
#endif
};

/// Exchanges the contents of two stacks; exists when their containers can
/// be swapped.
template <class T, class C>
typename std::enable_if<detail::adaptor_swap::swappable<C>::value>::type
swap(stack<T, C>& a, stack<T, C>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a stack from its container.
template <class C, class = typename std::enable_if<!detail::is_allocator<C>::value>::type>
stack(C) -> stack<typename C::value_type, C>;
/// Deduces a stack from its container and an allocator.
template <class C, class A,
          class = typename std::enable_if<!detail::is_allocator<C>::value && std::uses_allocator<C, A>::value>::type>
stack(C, A) -> stack<typename C::value_type, C>;
#endif

} // namespace kel_std

namespace std {
/// A stack uses an allocator when its container does.
template <class T, class C, class Alloc>
struct uses_allocator<kel_std::stack<T, C>, Alloc> : uses_allocator<C, Alloc>::type {};
} // namespace std

#endif // KEL_STD_STACK_H
