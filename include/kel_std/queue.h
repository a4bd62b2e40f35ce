/// @file
/// `kel_std::queue` (first in, first out) and `kel_std::priority_queue`
/// (largest first), adaptors over sequence containers: the drop-in
/// counterparts of `std::queue` and `std::priority_queue`.
///
/// The interfaces are the standard ones (C++17, with C++20's `<=>` for
/// `queue` under C++20). `queue` adapts any container with `front`, `back`,
/// `push_back`, `emplace_back` and `pop_front` (kel_std::deque,
/// kel_std::list and the standard ones); `priority_queue` any container with
/// random-access iterators, `front`, `push_back`, `emplace_back` and
/// `pop_back` (kel_std::vector by default). The container (and the
/// priority queue's comparator) are the protected members `c` (and `comp`),
/// as in the standard.
///
/// A priority queue keeps its container a heap with the standard library's
/// heap algorithms (`std::make_heap`, `std::push_heap`, `std::pop_heap`),
/// as `std::priority_queue` does: for the same elements pushed in the same
/// order with the same comparator, elements come out in the same order, the
/// order of equal elements included.
///
/// In debug builds (`KEL_STD_DEBUG`) `front`, `back`, `top` and `pop`
/// assert that the adaptor is not empty.
#ifndef KEL_STD_QUEUE_H
#define KEL_STD_QUEUE_H

#include <kel_std/config.h>
#include <kel_std/deque.h>
#include <kel_std/detail/adaptor_util.h>
#include <kel_std/detail/container_util.h>
#include <kel_std/vector.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace kel_std {

/// A first-in first-out queue of `T` on a `Container`; the drop-in
/// counterpart of `std::queue`.
template <class T, class Container = deque<T>>
class queue {
public:
    typedef Container container_type;                            ///< The adapted container.
    typedef typename Container::value_type value_type;           ///< The element type.
    typedef typename Container::size_type size_type;             ///< Counts of elements.
    typedef typename Container::reference reference;             ///< Reference to an element.
    typedef typename Container::const_reference const_reference; ///< Reference to a constant element.

protected:
    Container c; ///< The adapted container: its front leaves first.

public:
    /// An empty queue on a value-initialised container.
    queue() : c() {}
    /// A queue on a copy of `cont` (its front leaves first).
    explicit queue(const Container& cont) : c(cont) {}
    /// A queue on `cont`, moved.
    explicit queue(Container&& cont) : c(std::move(cont)) {}
    /// An empty queue whose container uses allocator `a`. Exists only when
    /// `std::uses_allocator<Container, Alloc>` holds, as do the other
    /// constructors with an allocator.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    explicit queue(const Alloc& a) : c(a) {}
    /// A queue on a copy of `cont` that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    queue(const Container& cont, const Alloc& a) : c(cont, a) {}
    /// A queue on `cont`, moved, that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    queue(Container&& cont, const Alloc& a) : c(std::move(cont), a) {}
    /// A copy of `other` that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    queue(const queue& other, const Alloc& a) : c(other.c, a) {}
    /// `other`'s elements, moved, in a container that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    queue(queue&& other, const Alloc& a) : c(std::move(other.c), a) {}

    /// Whether the queue has no elements.
    bool empty() const { return c.empty(); }
    /// The number of elements.
    size_type size() const { return c.size(); }
    /// The oldest element (the next to leave). Requires: `!empty()`.
    reference front() {
        KEL_STD_ASSERT(!c.empty() && "front() of an empty queue");
        return c.front();
    }
    /// The oldest element, read only. Requires: `!empty()`.
    const_reference front() const {
        KEL_STD_ASSERT(!c.empty() && "front() of an empty queue");
        return c.front();
    }
    /// The newest element. Requires: `!empty()`.
    reference back() {
        KEL_STD_ASSERT(!c.empty() && "back() of an empty queue");
        return c.back();
    }
    /// The newest element, read only. Requires: `!empty()`.
    const_reference back() const {
        KEL_STD_ASSERT(!c.empty() && "back() of an empty queue");
        return c.back();
    }
    /// Appends a copy of `value`.
    void push(const value_type& value) { c.push_back(value); }
    /// Appends `value`, moved.
    void push(value_type&& value) { c.push_back(std::move(value)); }
    /// Appends an element constructed from `args`. Returns: what the
    /// container's `emplace_back` returns (the new element, for the
    /// library's containers and the standard ones since C++17).
    template <class... Args>
    auto emplace(Args&&... args) -> decltype(std::declval<Container&>().emplace_back(std::forward<Args>(args)...)) {
        return c.emplace_back(std::forward<Args>(args)...);
    }
    /// Removes the oldest element. Requires: `!empty()`.
    void pop() {
        KEL_STD_ASSERT(!c.empty() && "pop() of an empty queue");
        c.pop_front();
    }
    /// Exchanges the containers. Throws: what swapping the containers
    /// throws.
    void swap(queue& other) noexcept(detail::swap_lookup::nothrow_swappable<Container>::value) {
        detail::swap_adl(c, other.c);
    }

    /// Whether the containers are equal.
    friend bool operator==(const queue& a, const queue& b) { return a.c == b.c; }
    /// Whether the containers differ.
    friend bool operator!=(const queue& a, const queue& b) { return a.c != b.c; }
    /// Whether `a`'s container orders before `b`'s.
    friend bool operator<(const queue& a, const queue& b) { return a.c < b.c; }
    /// Whether `a`'s container orders after `b`'s.
    friend bool operator>(const queue& a, const queue& b) { return a.c > b.c; }
    /// Whether `a`'s container does not order after `b`'s.
    friend bool operator<=(const queue& a, const queue& b) { return a.c <= b.c; }
    /// Whether `a`'s container does not order before `b`'s.
    friend bool operator>=(const queue& a, const queue& b) { return a.c >= b.c; }
#if KEL_STD_THREE_WAY_COMPARISON
    /// The three-way comparison of the containers.
    friend auto operator<=>(const queue& a, const queue& b) requires std::three_way_comparable<Container> {
        return std::compare_three_way()(a.c, b.c);
    }
#endif
};

/// A priority queue of `T` on a `Container` kept as a heap under
/// `Compare`: `top()` is a largest element (one that no other orders
/// after); the drop-in counterpart of `std::priority_queue`.
template <class T, class Container = vector<T>, class Compare = std::less<typename Container::value_type>>
class priority_queue {
public:
    typedef Container container_type;                            ///< The adapted container.
    typedef Compare value_compare;                               ///< The order of the elements.
    typedef typename Container::value_type value_type;           ///< The element type.
    typedef typename Container::size_type size_type;             ///< Counts of elements.
    typedef typename Container::reference reference;             ///< Reference to an element.
    typedef typename Container::const_reference const_reference; ///< Reference to a constant element.

protected:
    Container c;  ///< The adapted container, a heap under `comp`.
    Compare comp; ///< The order.

public:
    /// An empty priority queue.
    priority_queue() : c(), comp() {}
    /// An empty priority queue ordered by `compare`.
    explicit priority_queue(const Compare& compare) : c(), comp(compare) {}
    /// A priority queue of the elements of `cont` (copied), made a heap.
    /// Complexity: linear.
    priority_queue(const Compare& compare, const Container& cont) : c(cont), comp(compare) { make_heap(); }
    /// A priority queue of the elements of `cont` (moved), made a heap.
    priority_queue(const Compare& compare, Container&& cont) : c(std::move(cont)), comp(compare) { make_heap(); }
    /// The elements of `cont` (copied) followed by those of [first, last),
    /// made a heap.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    priority_queue(InputIt first, InputIt last, const Compare& compare, const Container& cont)
        : c(cont), comp(compare) {
        c.insert(c.end(), first, last);
        make_heap();
    }
    /// The elements of `cont` (moved) followed by those of [first, last),
    /// made a heap.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    priority_queue(InputIt first, InputIt last, const Compare& compare = Compare(), Container&& cont = Container())
        : c(std::move(cont)), comp(compare) {
        c.insert(c.end(), first, last);
        make_heap();
    }
    /// An empty priority queue whose container uses allocator `a`. Exists
    /// only when `std::uses_allocator<Container, Alloc>` holds, as do the
    /// other constructors with an allocator.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    explicit priority_queue(const Alloc& a) : c(a), comp() {}
    /// An empty priority queue ordered by `compare` that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    priority_queue(const Compare& compare, const Alloc& a) : c(a), comp(compare) {}
    /// The elements of `cont` (copied) in a container that uses `a`, made a
    /// heap.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    priority_queue(const Compare& compare, const Container& cont, const Alloc& a) : c(cont, a), comp(compare) {
        make_heap();
    }
    /// The elements of `cont` (moved) in a container that uses `a`, made a
    /// heap.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    priority_queue(const Compare& compare, Container&& cont, const Alloc& a) : c(std::move(cont), a), comp(compare) {
        make_heap();
    }
    /// A copy of `other` that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    priority_queue(const priority_queue& other, const Alloc& a) : c(other.c, a), comp(other.comp) {}
    /// `other`'s elements, moved, in a container that uses allocator `a`.
    template <class Alloc, class = detail::enable_if_uses_allocator<Container, Alloc>>
    priority_queue(priority_queue&& other, const Alloc& a) : c(std::move(other.c), a), comp(std::move(other.comp)) {}

    /// Whether the priority queue has no elements.
    bool empty() const { return c.empty(); }
    /// The number of elements.
    size_type size() const { return c.size(); }
    /// A largest element. Requires: `!empty()`.
    const_reference top() const {
        KEL_STD_ASSERT(!c.empty() && "top() of an empty priority_queue");
        return c.front();
    }
    /// Adds a copy of `value`. Complexity: logarithmic (plus the
    /// container's `push_back`).
    void push(const value_type& value) {
        c.push_back(value);
        std::push_heap(c.begin(), c.end(), comp);
    }
    /// Adds `value`, moved.
    void push(value_type&& value) {
        c.push_back(std::move(value));
        std::push_heap(c.begin(), c.end(), comp);
    }
    /// Adds an element constructed from `args`.
    template <class... Args>
    void emplace(Args&&... args) {
        c.emplace_back(std::forward<Args>(args)...);
        std::push_heap(c.begin(), c.end(), comp);
    }
    /// Removes the element `top()` returns. Requires: `!empty()`.
    /// Complexity: logarithmic.
    void pop() {
        KEL_STD_ASSERT(!c.empty() && "pop() of an empty priority_queue");
        std::pop_heap(c.begin(), c.end(), comp);
        c.pop_back();
    }
    /// Exchanges the containers and the comparators. Throws: what swapping
    /// them throws.
    void swap(priority_queue& other) noexcept(detail::swap_lookup::nothrow_swappable<Container>::value&&
                                                  detail::swap_lookup::nothrow_swappable<Compare>::value) {
        detail::swap_adl(c, other.c);
        detail::swap_adl(comp, other.comp);
    }

private:
    void make_heap() { std::make_heap(c.begin(), c.end(), comp); }
};

/// Exchanges the contents of two queues; exists when their containers can
/// be swapped.
template <class T, class C>
typename std::enable_if<detail::adaptor_swap::swappable<C>::value>::type
swap(queue<T, C>& a, queue<T, C>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Exchanges the contents of two priority queues; exists when their
/// containers and comparators can be swapped.
template <class T, class C, class P>
typename std::enable_if<detail::adaptor_swap::swappable<C>::value && detail::adaptor_swap::swappable<P>::value>::type
swap(priority_queue<T, C, P>& a, priority_queue<T, C, P>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a queue from its container.
template <class C, class = typename std::enable_if<!detail::is_allocator<C>::value>::type>
queue(C) -> queue<typename C::value_type, C>;
/// Deduces a queue from its container and an allocator.
template <class C, class A,
          class = typename std::enable_if<!detail::is_allocator<C>::value && std::uses_allocator<C, A>::value>::type>
queue(C, A) -> queue<typename C::value_type, C>;

/// Deduces a priority queue from a comparator and a container.
template <class P, class C,
          class = typename std::enable_if<!detail::is_allocator<P>::value && !detail::is_allocator<C>::value>::type>
priority_queue(P, C) -> priority_queue<typename C::value_type, C, P>;
/// Deduces a priority queue from an iterator range (a comparator, a
/// container).
template <class It, class P = std::less<detail::iter_value_t<It>>, class C = vector<detail::iter_value_t<It>>,
          class = typename std::enable_if<detail::is_input_iterator<It>::value && !detail::is_allocator<P>::value &&
                                          !detail::is_allocator<C>::value>::type>
priority_queue(It, It, P = P(), C = C()) -> priority_queue<detail::iter_value_t<It>, C, P>;
/// Deduces a priority queue from a comparator, a container and an
/// allocator.
template <class P, class C, class A,
          class = typename std::enable_if<!detail::is_allocator<P>::value && !detail::is_allocator<C>::value &&
                                          std::uses_allocator<C, A>::value>::type>
priority_queue(P, C, A) -> priority_queue<typename C::value_type, C, P>;
#endif

} // namespace kel_std

namespace std {
/// A queue uses an allocator when its container does.
template <class T, class C, class Alloc>
struct uses_allocator<kel_std::queue<T, C>, Alloc> : uses_allocator<C, Alloc>::type {};
/// A priority queue uses an allocator when its container does.
template <class T, class C, class P, class Alloc>
struct uses_allocator<kel_std::priority_queue<T, C, P>, Alloc> : uses_allocator<C, Alloc>::type {};
} // namespace std

#endif // KEL_STD_QUEUE_H
