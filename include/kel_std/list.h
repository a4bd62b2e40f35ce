/// @file
/// `kel_std::list`: a doubly linked list, the drop-in counterpart of
/// `std::list`.
///
/// The interface is the standard one (C++17, plus C++20's counts returned by
/// `remove`, `remove_if` and `unique` and the non-member `erase` and
/// `erase_if`, offered in every language mode); these pages document what is
/// particular to this library.
///
/// - Each element lives in a node of its own, one allocation holding the two
///   links and the value, taken from the allocator rebound to the node type
///   through `std::allocator_traits`. The default `kel_std::allocator` takes
///   it from its memory manager, or the global heap when it has none.
/// - The sentinel (the `end()` position) is part of the list object, as in
///   most standard libraries: an empty list holds no memory, its default
///   and move constructors neither allocate nor throw, and `end()` is one
///   fixed position for the list's whole life. The price is that the last
///   node points back into the object, which therefore cannot be moved by
///   copying its bytes: `kel_std::is_trivially_relocatable` is false for
///   lists (a container of lists moves them with their move constructor).
/// - The first node's back link is null, not the sentinel: nothing valid
///   steps back from `begin()`, and the null lets debug builds recognise
///   `end()` and `begin()` from an iterator alone (see the contract below).
/// - `size()` is constant time. `splice` of a whole list or of one element
///   is constant time; `splice` of a range from another list walks the range
///   once to count it, and within one list is constant time.
/// - `sort` is a stable merge sort of the links: O(n log n) comparisons, no
///   allocation, and n - 1 comparisons for a list that is already sorted.
///   `merge` and `splice` move nodes and never copy or move an element.
/// - Insertion of any number of elements builds the new nodes first and
///   links them only when all exist: if a constructor or an allocation
///   throws, the list is as it was (the strong guarantee, for every form of
///   `insert`, `emplace`, `push_*` and for a `resize` that grows). If a
///   comparison throws in `sort` or `merge`, every element stays in the list
///   (the order is then unspecified) and `size()` is right.
/// - `remove(value)` may be given a reference to an element of the list
///   itself: the nodes it takes out are destroyed after the last comparison.
/// - On a memory manager that frees nothing until a release of its own (a
///   `kel_monotonic_memory_manager`, such as `arena_manager`, held by a
///   `kel_std::allocator`), a list whose elements need no destructor drops
///   its nodes when destroyed or cleared, without visiting or deallocating
///   them.
/// - Contract (checked by assertions in debug builds, `KEL_STD_DEBUG`): do
///   not dereference or increment `end()`, decrement `begin()`, call
///   `front`, `back` or `pop_*` on an empty list, or erase `end()`; `splice`
///   and `merge` take nodes only from a list with an equal allocator, and a
///   range spliced from another list must be a range of that list (debug
///   builds check it while they count the range).
#ifndef KEL_STD_LIST_H
#define KEL_STD_LIST_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/container_util.h>
#include <kel_std/detail/node_alloc.h>
#include <kel_std/detail/node_chain.h>

#include <algorithm>
#if __cplusplus > 201703L
#include <compare>
#endif
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

struct list_inspector;

// Whether `x` is a list's sentinel: the only link whose successor has no
// back link (the first node's is null; an empty list's sentinel is its own
// successor, with a null back link).
inline bool is_list_sentinel(const list_link* x) noexcept {
    return x->next->prev == nullptr;
}

/// Bidirectional iterator over a list's values; `Const` makes it read only.
template <class T, bool Const>
class list_iterator {
public:
    typedef std::bidirectional_iterator_tag iterator_category;
    typedef T value_type;
    typedef std::ptrdiff_t difference_type;
    typedef typename std::conditional<Const, const T*, T*>::type pointer;
    typedef typename std::conditional<Const, const T&, T&>::type reference;

    list_iterator() noexcept : node_(nullptr) {}
    explicit list_iterator(list_link* n) noexcept : node_(n) {}
    // A mutable iterator converts to a constant one (and each to itself).
    template <bool C, class = typename std::enable_if<Const || !C>::type>
    list_iterator(const list_iterator<T, C>& it) noexcept : node_(it.node_) {}

    reference operator*() const noexcept {
        KEL_STD_ASSERT(node_ != nullptr && !is_list_sentinel(node_) && "dereferencing end()");
        return value_of<chain_node<T, list_link>>(node_);
    }
    pointer operator->() const noexcept { return std::addressof(**this); }

    list_iterator& operator++() noexcept {
        KEL_STD_ASSERT(node_ != nullptr && !is_list_sentinel(node_) && "incrementing end()");
        node_ = node_->next;
        return *this;
    }
    list_iterator operator++(int) noexcept {
        list_iterator old = *this;
        ++*this;
        return old;
    }
    list_iterator& operator--() noexcept {
        KEL_STD_ASSERT(node_ != nullptr && node_->prev != nullptr && "decrementing begin()");
        node_ = node_->prev;
        return *this;
    }
    list_iterator operator--(int) noexcept {
        list_iterator old = *this;
        --*this;
        return old;
    }

    template <bool C>
    bool operator==(const list_iterator<T, C>& other) const noexcept {
        return node_ == other.node_;
    }
    template <bool C>
    bool operator!=(const list_iterator<T, C>& other) const noexcept {
        return node_ != other.node_;
    }

    list_link* node_;
};

} // namespace detail

/// A doubly linked list; the drop-in counterpart of `std::list`.
///
/// Iterators and references stay valid until their element is erased,
/// across every other operation (`splice` and `merge` included, which move
/// the element into the other list, and `swap`, after which they refer into
/// the other list); only `end()` belongs to the list object.
template <class T, class Allocator = allocator<T>>
class list {
    typedef detail::list_link link;
    typedef detail::chain_node<T, link> node;
    typedef detail::node_alloc<Allocator, node> node_alloc_type;
    typedef typename node_alloc_type::allocator_type node_allocator;
    typedef typename node_alloc_type::traits node_traits;
    typedef detail::chain_builder<Allocator, node> builder;
    typedef detail::chain<link> chain;
    typedef detail::run<link> run;
    friend struct detail::list_inspector;

    static_assert(std::is_same<typename std::allocator_traits<Allocator>::value_type, T>::value,
                  "the allocator's value_type must be the list's value_type");

public:
    typedef T value_type;                                               ///< The element type.
    typedef Allocator allocator_type;                                   ///< The allocator type.
    typedef std::size_t size_type;                                      ///< Counts of elements.
    typedef std::ptrdiff_t difference_type;                             ///< Distances between iterators.
    typedef value_type& reference;                                      ///< Reference to an element.
    typedef const value_type& const_reference;                          ///< Reference to a constant element.
    typedef typename std::allocator_traits<Allocator>::pointer pointer; ///< The allocator's pointer.
    typedef typename std::allocator_traits<Allocator>::const_pointer const_pointer; ///< Its constant pointer.
    typedef detail::list_iterator<T, false> iterator;                               ///< Bidirectional iterator.
    typedef detail::list_iterator<T, true> const_iterator;                ///< Read-only bidirectional iterator.
    typedef std::reverse_iterator<iterator> reverse_iterator;             ///< Reverse iterator.
    typedef std::reverse_iterator<const_iterator> const_reverse_iterator; ///< Read-only reverse iterator.

private:
    // What a list is apart from its allocator: the sentinel, whose `next` is
    // the first node and `prev` the last (null when empty), and the count.
    struct links {
        link sentinel;
        size_type size;

        void reset() noexcept {
            sentinel.next = &sentinel;
            sentinel.prev = nullptr;
            size = 0;
        }
    };

    struct impl : detail::ebo_box<node_allocator, 0>, links {
        impl() : detail::ebo_box<node_allocator, 0>() { this->reset(); }
        explicit impl(const node_allocator& a) : detail::ebo_box<node_allocator, 0>(a) { this->reset(); }
        explicit impl(node_allocator&& a) : detail::ebo_box<node_allocator, 0>(std::move(a)) { this->reset(); }
    };
    impl impl_;

    node_allocator& alloc() noexcept { return impl_.get(); }
    const node_allocator& alloc() const noexcept { return impl_.get(); }
    link* sentinel() const noexcept { return const_cast<link*>(&impl_.sentinel); }
    static T& value(link* l) noexcept { return detail::value_of<node>(l); }

public:
    // ---- construction, assignment, destruction ----

    /// An empty list. Complexity: constant; allocates nothing.
    list() noexcept(std::is_nothrow_default_constructible<node_allocator>::value) : impl_() {}

    /// An empty list that will use allocator `a`. Allocates nothing.
    explicit list(const Allocator& a) noexcept : impl_(node_allocator(a)) {}

    /// A list of `n` value-initialized elements.
    /// Throws: what the allocation or `T`'s constructor throws; nothing leaks.
    explicit list(size_type n, const Allocator& a = Allocator()) : impl_(node_allocator(a)) { append_n(n); }

    /// A list of `n` copies of `v`.
    /// Throws: what the allocation or `T`'s copy constructor throws; nothing leaks.
    list(size_type n, const T& v, const Allocator& a = Allocator()) : impl_(node_allocator(a)) { append_n(n, v); }

    /// A list of the elements of [first, last), in one pass (input iterators
    /// suffice). Throws: what the allocation or `T`'s constructor throws.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    list(InputIt first, InputIt last, const Allocator& a = Allocator()) : impl_(node_allocator(a)) {
        append_range(first, last);
    }

    /// A list of the elements of `il`.
    list(std::initializer_list<T> il, const Allocator& a = Allocator()) : impl_(node_allocator(a)) {
        append_range(il.begin(), il.end());
    }

    /// A copy of `other`, with the allocator that
    /// `select_on_container_copy_construction` gives. Complexity: linear.
    list(const list& other) : impl_(node_traits::select_on_container_copy_construction(other.alloc())) {
        append_range(other.begin(), other.end());
    }

    /// A copy of `other` that uses allocator `a`.
    list(const list& other, const Allocator& a) : impl_(node_allocator(a)) { append_range(other.begin(), other.end()); }

    /// Takes over `other`'s nodes and allocator; `other` is left empty.
    /// Complexity: constant; allocates nothing. Throws: nothing.
    list(list&& other) noexcept : impl_(std::move(other.alloc())) { steal(other); }

    /// Takes over `other`'s nodes if `a` equals its allocator; otherwise
    /// moves its elements one by one into nodes from `a` and clears `other`.
    list(list&& other, const Allocator& a) : impl_(node_allocator(a)) {
        if (alloc() == other.alloc()) {
            steal(other);
        } else {
            append_range(std::make_move_iterator(other.begin()), std::make_move_iterator(other.end()));
            other.clear();
        }
    }

    /// Destroys the elements and frees the nodes; nodes that may be dropped
    /// (trivially destructible elements on a monotonic manager) are left to
    /// the manager without a visit. Complexity: linear, or constant then.
    ~list() {
        if (!node_alloc_type::droppable(alloc()))
            destroy_all();
    }

    /// Replaces the contents with a copy of `other`'s, reusing the nodes in
    /// place (by assignment) as far as they go. The allocator is copied if
    /// its `propagate_on_container_copy_assignment` says so.
    /// Throws: what `T`'s copy or the allocation throws; the list is then
    /// valid but its contents unspecified.
    list& operator=(const list& other) {
        if (this == &other)
            return *this;
        typedef typename node_traits::propagate_on_container_copy_assignment pocca;
        if (pocca::value && alloc() != other.alloc())
            clear(); // our nodes go back to the allocator they came from
        detail::propagate_copy(alloc(), other.alloc(), pocca());
        assign(other.begin(), other.end());
        return *this;
    }

    /// Takes over `other`'s nodes when the allocator propagates or the two
    /// are equal (constant time after destroying our own elements);
    /// otherwise moves the elements one by one and clears `other`.
    list& operator=(list&& other) noexcept(std::allocator_traits<Allocator>::is_always_equal::value) {
        if (this == &other)
            return *this;
        typedef typename node_traits::propagate_on_container_move_assignment pocma;
        if (pocma::value || alloc() == other.alloc()) {
            clear();
            detail::propagate_move(alloc(), other.alloc(), pocma());
            steal(other);
        } else {
            assign(std::make_move_iterator(other.begin()), std::make_move_iterator(other.end()));
            other.clear();
        }
        return *this;
    }

    /// Replaces the contents with the elements of `il`.
    list& operator=(std::initializer_list<T> il) {
        assign(il.begin(), il.end());
        return *this;
    }

    /// Replaces the contents with the elements of [first, last), assigning
    /// over the existing elements first. The range may be part of this list.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    void assign(InputIt first, InputIt last) {
        link* x = impl_.sentinel.next;
        for (; x != sentinel() && first != last; ++first) {
            value(x) = *first;
            x = x->next;
        }
        if (first == last)
            erase(const_iterator(x), end());
        else
            insert(end(), first, last);
    }

    /// Replaces the contents with `n` copies of `v` (which may be an element
    /// of this list).
    void assign(size_type n, const T& v) {
        link* x = impl_.sentinel.next;
        for (; x != sentinel() && n != 0; --n) {
            value(x) = v;
            x = x->next;
        }
        if (n == 0)
            erase(const_iterator(x), end());
        else
            insert(end(), n, v);
    }

    /// Replaces the contents with the elements of `il`.
    void assign(std::initializer_list<T> il) { assign(il.begin(), il.end()); }

    /// A copy of the allocator.
    allocator_type get_allocator() const noexcept { return allocator_type(alloc()); }

    // ---- element access ----

    /// The first element. Requires: `!empty()`.
    reference front() noexcept {
        KEL_STD_ASSERT(!empty() && "front() of an empty list");
        return value(impl_.sentinel.next);
    }
    /// The first element. Requires: `!empty()`.
    const_reference front() const noexcept {
        KEL_STD_ASSERT(!empty() && "front() of an empty list");
        return value(impl_.sentinel.next);
    }
    /// The last element. Requires: `!empty()`.
    reference back() noexcept {
        KEL_STD_ASSERT(!empty() && "back() of an empty list");
        return value(impl_.sentinel.prev);
    }
    /// The last element. Requires: `!empty()`.
    const_reference back() const noexcept {
        KEL_STD_ASSERT(!empty() && "back() of an empty list");
        return value(impl_.sentinel.prev);
    }

    // ---- iterators ----

    /// The first element's position (`end()` when empty).
    iterator begin() noexcept { return iterator(impl_.sentinel.next); }
    /// The first element's position (`end()` when empty).
    const_iterator begin() const noexcept { return const_iterator(impl_.sentinel.next); }
    /// The first element's position (`end()` when empty).
    const_iterator cbegin() const noexcept { return begin(); }
    /// The position after the last element: the same for the list's life.
    iterator end() noexcept { return iterator(sentinel()); }
    /// The position after the last element: the same for the list's life.
    const_iterator end() const noexcept { return const_iterator(sentinel()); }
    /// The position after the last element: the same for the list's life.
    const_iterator cend() const noexcept { return end(); }
    /// The last element's position, for reverse iteration.
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    /// The last element's position, for reverse iteration.
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    /// The last element's position, for reverse iteration.
    const_reverse_iterator crbegin() const noexcept { return rbegin(); }
    /// The position before the first element, for reverse iteration.
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    /// The position before the first element, for reverse iteration.
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }
    /// The position before the first element, for reverse iteration.
    const_reverse_iterator crend() const noexcept { return rend(); }

    // ---- capacity ----

    /// Whether the list has no element.
    bool empty() const noexcept { return impl_.size == 0; }
    /// The number of elements. Complexity: constant.
    size_type size() const noexcept { return impl_.size; }
    /// The largest number of elements the list could hold: the lesser of
    /// the allocator's node limit and what `difference_type` can count.
    size_type max_size() const noexcept {
        return detail::max_count_for<difference_type, size_type>(node_traits::max_size(alloc()), sizeof(node));
    }

    // ---- modifiers ----

    /// Destroys every element. Complexity: linear, or constant when the
    /// nodes may be dropped. Throws: nothing.
    void clear() noexcept {
        if (!node_alloc_type::droppable(alloc()))
            destroy_all();
        impl_.reset();
    }

    /// Inserts a copy of `v` before `pos`; returns its position.
    /// Throws: what the allocation or the copy throws; the list is unchanged.
    iterator insert(const_iterator pos, const T& v) { return emplace(pos, v); }
    /// Inserts `v`, moved, before `pos`; returns its position.
    iterator insert(const_iterator pos, T&& v) { return emplace(pos, std::move(v)); }

    /// Inserts `n` copies of `v` (which may be an element of this list)
    /// before `pos`; returns the position of the first, or `pos` if `n` is 0.
    /// Throws: what the allocation or the copy throws; the list is unchanged.
    iterator insert(const_iterator pos, size_type n, const T& v) {
        builder b(alloc());
        b.append_n(n, v);
        return link_built(pos, b);
    }

    /// Inserts the elements of [first, last) before `pos`, in one pass; the
    /// range may be part of this list. Returns the position of the first
    /// inserted, or `pos` if the range is empty.
    /// Throws: what the allocation or the copy throws; the list is unchanged.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    iterator insert(const_iterator pos, InputIt first, InputIt last) {
        builder b(alloc());
        b.append_range(first, last);
        return link_built(pos, b);
    }

    /// Inserts the elements of `il` before `pos`; see the range form.
    iterator insert(const_iterator pos, std::initializer_list<T> il) { return insert(pos, il.begin(), il.end()); }

    /// Inserts an element made from `args` before `pos`; returns its
    /// position. Throws: what the allocation or the constructor throws; the
    /// list is unchanged. Complexity: constant.
    template <class... Args>
    iterator emplace(const_iterator pos, Args&&... args) {
        link* const n = node_alloc_type::create(alloc(), std::forward<Args>(args)...);
        link_chain(pos.node_, n, n, 1); // cannot fail
        return iterator(n);
    }

    /// Appends an element made from `args`; returns a reference to it.
    /// Throws: as `emplace`; the list is then unchanged.
    template <class... Args>
    reference emplace_back(Args&&... args) {
        return value(emplace(end(), std::forward<Args>(args)...).node_);
    }
    /// Prepends an element made from `args`; returns a reference to it.
    /// Throws: as `emplace`; the list is then unchanged.
    template <class... Args>
    reference emplace_front(Args&&... args) {
        return value(emplace(begin(), std::forward<Args>(args)...).node_);
    }
    /// Appends a copy of `v` (which may be an element of this list).
    void push_back(const T& v) { emplace(end(), v); }
    /// Appends `v`, moved.
    void push_back(T&& v) { emplace(end(), std::move(v)); }
    /// Prepends a copy of `v` (which may be an element of this list).
    void push_front(const T& v) { emplace(begin(), v); }
    /// Prepends `v`, moved.
    void push_front(T&& v) { emplace(begin(), std::move(v)); }

    /// Erases the last element. Requires: `!empty()`.
    void pop_back() noexcept {
        KEL_STD_ASSERT(!empty() && "pop_back() on an empty list");
        erase(const_iterator(impl_.sentinel.prev));
    }
    /// Erases the first element. Requires: `!empty()`.
    void pop_front() noexcept {
        KEL_STD_ASSERT(!empty() && "pop_front() on an empty list");
        erase(begin());
    }

    /// Erases the element at `pos`; returns the position after it.
    /// Requires: `pos` is an element of this list (not `end()`).
    /// Complexity: constant. Throws: nothing.
    iterator erase(const_iterator pos) noexcept {
        link* const n = pos.node_;
        KEL_STD_ASSERT(n != sentinel() && "erase(end())");
        link* const next = n->next;
        unlink_range(n, next);
        --impl_.size;
        node_alloc_type::destroy(alloc(), static_cast<node*>(n));
        return iterator(next);
    }

    /// Erases the elements of [first, last); returns `last`.
    /// Complexity: linear in the range's length. Throws: nothing.
    iterator erase(const_iterator first, const_iterator last) noexcept {
        if (first != last) {
            unlink_range(first.node_, last.node_);
            impl_.size -= detail::destroy_chain<Allocator, node>(alloc(), first.node_, nullptr);
        }
        return iterator(last.node_);
    }

    /// Makes the list `n` elements long: erases from the end, or appends
    /// value-initialized elements. Throws: what the allocation or the
    /// constructor throws; the list is then unchanged.
    void resize(size_type n) { resize_impl(n); }
    /// Makes the list `n` elements long: erases from the end, or appends
    /// copies of `v` (which may be an element of this list).
    /// Throws: what the allocation or the copy throws; the list is then unchanged.
    void resize(size_type n, const T& v) { resize_impl(n, v); }

    /// Exchanges the contents with `other`'s in constant time, and the
    /// allocators if their `propagate_on_container_swap` says so (otherwise
    /// they must be equal). Iterators follow their elements; `end()` stays
    /// with its list.
    void swap(list& other) noexcept(std::allocator_traits<Allocator>::is_always_equal::value) {
        if (this == &other)
            return;
        typedef typename node_traits::propagate_on_container_swap pocs;
        KEL_STD_ASSERT((pocs::value || alloc() == other.alloc()) && "swap of lists with unequal allocators");
        links tmp;
        take_links(tmp, impl_);
        take_links(impl_, other.impl_);
        take_links(other.impl_, tmp);
        detail::propagate_swap(alloc(), other.alloc(), pocs());
    }

    // ---- list operations ----

    /// Moves every element of `other` before `pos`; `other` becomes empty.
    /// Requires: `&other != this`; equal allocators. Complexity: constant.
    /// Throws: nothing.
    void splice(const_iterator pos, list& other) noexcept {
        KEL_STD_ASSERT(&other != this && "splice of a list into itself");
        KEL_STD_ASSERT(alloc() == other.alloc() && "splice between lists with unequal allocators");
        if (other.empty())
            return;
        const size_type n = other.impl_.size;
        const chain c = other.unlink_range(other.impl_.sentinel.next, other.sentinel());
        other.impl_.size = 0;
        link_chain(pos.node_, c.first, c.last, n);
    }
    /// Moves every element of `other` before `pos`; see above.
    void splice(const_iterator pos, list&& other) noexcept { splice(pos, other); }

    /// Moves the element at `it`, of `other` (which may be this list), before
    /// `pos`. Requires: `it` is an element of `other`; equal allocators.
    /// Complexity: constant. Throws: nothing.
    void splice(const_iterator pos, list& other, const_iterator it) noexcept {
        link* const n = it.node_;
        KEL_STD_ASSERT(n != other.sentinel() && "splice of end()");
        KEL_STD_ASSERT(alloc() == other.alloc() && "splice between lists with unequal allocators");
        if (pos.node_ == n || pos.node_ == n->next)
            return; // already there
        other.unlink_range(n, n->next);
        --other.impl_.size;
        link_chain(pos.node_, n, n, 1);
    }
    /// Moves the element at `it`, of `other`, before `pos`; see above.
    void splice(const_iterator pos, list&& other, const_iterator it) noexcept { splice(pos, other, it); }

    /// Moves the elements of [first, last), a range of `other` (which may be
    /// this list, if `pos` is not in the range), before `pos`.
    /// Requires: equal allocators. Complexity: constant within one list,
    /// linear in the range's length from another (to count it).
    /// Throws: nothing.
    void splice(const_iterator pos, list& other, const_iterator first, const_iterator last) noexcept {
        KEL_STD_ASSERT(alloc() == other.alloc() && "splice between lists with unequal allocators");
        if (first == last)
            return;
        size_type n = 0;
        if (&other != this) {
            for (link* x = first.node_; x != last.node_; x = x->next) {
                KEL_STD_ASSERT(x != other.sentinel() && "splice of a range that is not one of the source's");
                KEL_STD_ASSERT(x != pos.node_ && "splice position inside the spliced range");
                ++n;
            }
        }
        const chain c = other.unlink_range(first.node_, last.node_);
        other.impl_.size -= n;
        link_chain(pos.node_, c.first, c.last, n);
    }
    /// Moves the elements of [first, last), a range of `other`; see above.
    void splice(const_iterator pos, list&& other, const_iterator first, const_iterator last) noexcept {
        splice(pos, other, first, last);
    }

    /// Merges the sorted `other` into this sorted list (both in `<` order),
    /// stably: of equivalent elements, ours come first. `other` becomes
    /// empty; nodes move, elements are neither copied nor moved. Merging a
    /// list with itself does nothing.
    /// Requires: equal allocators. Complexity: at most size() +
    /// other.size() - 1 comparisons. Throws: what a comparison throws; every
    /// element of both is then in this list, in unspecified order.
    void merge(list& other) {
        detail::less_op less;
        merge(other, less);
    }
    /// Merges the sorted `other` into this sorted list; see above.
    void merge(list&& other) { merge(other); }

    /// Merges `other` into this list, both sorted by `comp`; see `merge`.
    template <class Compare>
    void merge(list& other, Compare comp) {
        if (&other == this || other.empty())
            return;
        KEL_STD_ASSERT(alloc() == other.alloc() && "merge of lists with unequal allocators");
        const size_type n = impl_.size + other.impl_.size;
        run r = detach_all();
        run from = other.detach_all();
        relinker guard(*this, r, n);
        detail::merge_runs<node>(r, from, comp);
        guard.links_kept();
    }
    /// Merges `other` into this list, both sorted by `comp`; see `merge`.
    template <class Compare>
    void merge(list&& other, Compare comp) {
        merge(other, comp);
    }

    /// Sorts the elements in `<` order, stably. Nodes are relinked; elements
    /// are neither copied nor moved, iterators stay valid.
    /// Complexity: O(n log n) comparisons (n - 1 if already sorted); no
    /// allocation. Throws: what a comparison throws; every element is then
    /// still in the list, in unspecified order.
    void sort() {
        detail::less_op less;
        sort(less);
    }
    /// Sorts the elements by `comp`, stably; see `sort()`.
    template <class Compare>
    void sort(Compare comp) {
        if (impl_.size < 2)
            return;
        const size_type n = impl_.size;
        run r = detach_all();
        relinker guard(*this, r, n);
        detail::sort_run<node>(r, comp);
        guard.links_kept();
    }

    /// Erases every element equal to `v`; returns how many. `v` may be an
    /// element of this list. Throws: what a comparison throws; the elements
    /// erased until then stay erased.
    size_type remove(const T& v) {
        return remove_if([&v](const T& e) { return e == v; });
    }

    /// Erases every element for which `pred` returns true; returns how many.
    template <class Predicate>
    size_type remove_if(Predicate pred) {
        builder removed(alloc()); // destroys them after the last call of pred
        for (link* x = impl_.sentinel.next; x != sentinel();) {
            link* const next = x->next;
            if (pred(value(x))) {
                unlink_range(x, next);
                --impl_.size;
                removed.adopt(x);
            }
            x = next;
        }
        return removed.count();
    }

    /// Erases all but the first of each run of equal consecutive elements;
    /// returns how many were erased.
    size_type unique() { return unique(detail::equal_op()); }

    /// Erases each element for which `pred(kept, element)` is true, `kept`
    /// being the last element before it that stays; returns how many.
    template <class BinaryPredicate>
    size_type unique(BinaryPredicate pred) {
        builder removed(alloc());
        if (impl_.size < 2)
            return 0;
        link* kept = impl_.sentinel.next;
        for (link* x = kept->next; x != sentinel();) {
            link* const next = x->next;
            if (pred(value(kept), value(x))) {
                unlink_range(x, next);
                --impl_.size;
                removed.adopt(x);
            } else {
                kept = x;
            }
            x = next;
        }
        return removed.count();
    }

    /// Reverses the order of the elements. Complexity: linear. Throws: nothing.
    void reverse() noexcept {
        if (impl_.size < 2)
            return;
        link* const first = impl_.sentinel.next;
        link* const last = impl_.sentinel.prev;
        for (link* x = first; x != sentinel();) {
            link* const next = x->next;
            x->next = x->prev;
            x->prev = next;
            x = next;
        }
        // The ends: the new first has no back link, the new last leads to
        // the sentinel.
        last->prev = nullptr;
        first->next = sentinel();
        impl_.sentinel.next = last;
        impl_.sentinel.prev = first;
    }

private:
    // The link that holds the forward pointer to the node after `prev`: the
    // sentinel's for the first node, whose back link is null.
    link*& next_slot(link* prev) noexcept { return (prev != nullptr ? prev : sentinel())->next; }

    // Links the chain first..last (n nodes) before `pos`. Cannot fail.
    void link_chain(link* pos, link* first, link* last, size_type n) noexcept {
        link* const p = pos->prev;
        first->prev = p;
        next_slot(p) = first;
        last->next = pos;
        pos->prev = last;
        impl_.size += n;
    }

    // Takes [first, last) out of the ring, leaving the size to the caller;
    // the nodes keep their links among themselves, the last one's forward
    // link made null.
    chain unlink_range(link* first, link* last) noexcept {
        link* const p = first->prev;
        link* const tail = last->prev;
        next_slot(p) = last;
        last->prev = p;
        tail->next = nullptr;
        const chain c = {first, tail, 0};
        return c;
    }

    iterator link_built(const_iterator pos, builder& b) noexcept {
        const chain c = b.release();
        if (c.first == nullptr)
            return iterator(pos.node_);
        link_chain(pos.node_, c.first, c.last, c.count);
        return iterator(c.first);
    }

    template <class... Args>
    void append_n(size_type n, const Args&... args) {
        builder b(alloc());
        b.append_n(n, args...);
        link_built(end(), b);
    }

    template <class InputIt>
    void append_range(InputIt first, InputIt last) {
        builder b(alloc());
        b.append_range(first, last);
        link_built(end(), b);
    }

    template <class... Args>
    void resize_impl(size_type n, const Args&... args) {
        const size_type count = impl_.size;
        if (n > count) {
            append_n(n - count, args...);
            return;
        }
        if (n == count)
            return;
        // The first node to erase, reached from the nearer end.
        link* x;
        if (n <= count / 2) {
            x = impl_.sentinel.next;
            for (size_type i = 0; i < n; ++i)
                x = x->next;
        } else {
            x = sentinel();
            for (size_type i = count; i > n; --i)
                x = x->prev;
        }
        erase(const_iterator(x), end());
    }

    // Destroys every node; the sentinel and the count are left to the caller.
    void destroy_all() noexcept {
        if (impl_.size == 0)
            return;
        impl_.sentinel.prev->next = nullptr;
        detail::destroy_chain<Allocator, node>(alloc(), impl_.sentinel.next, nullptr);
    }

    // Takes every node out as one null-ended run (empty when the list is);
    // the list is left empty.
    run detach_all() noexcept {
        run r = {nullptr, nullptr};
        if (impl_.size == 0)
            return r;
        r.first = impl_.sentinel.next;
        r.last = impl_.sentinel.prev;
        r.last->next = nullptr;
        impl_.reset();
        return r;
    }

    // Makes the run `r` of `n` nodes the contents of this empty list. Unless
    // `links_kept`, its back links and last node are rebuilt first.
    void attach(run r, size_type n, bool links_kept) noexcept {
        if (r.first == nullptr)
            return;
        if (!links_kept) {
            link* prev = nullptr;
            for (link* x = r.first; x != nullptr; x = x->next) {
                x->prev = prev;
                prev = x;
            }
            r.last = prev;
        }
        r.first->prev = nullptr;
        r.last->next = sentinel();
        impl_.sentinel.next = r.first;
        impl_.sentinel.prev = r.last;
        impl_.size = n;
    }

    // Attaches a run when it goes out of scope, also when a comparison has
    // thrown: `sort` and `merge` work on detached runs, and whatever state
    // they stop in, every node goes back. Only a finished sort or merge has
    // kept the back links right.
    class relinker {
    public:
        relinker(list& l, run& r, size_type n) noexcept : list_(l), run_(r), n_(n), links_kept_(false) {}
        ~relinker() { list_.attach(run_, n_, links_kept_); }
        relinker(const relinker&) = delete;
        relinker& operator=(const relinker&) = delete;
        void links_kept() noexcept { links_kept_ = true; }

    private:
        list& list_;
        run& run_;
        size_type n_;
        bool links_kept_;
    };

    // Copies the sentinel and count of `from` into `to` and points the last
    // node at its new sentinel; `from` is left as it was.
    static void take_links(links& to, const links& from) noexcept {
        to.size = from.size;
        if (from.size == 0) {
            to.reset();
            return;
        }
        to.sentinel.next = from.sentinel.next;
        to.sentinel.prev = from.sentinel.prev;
        to.sentinel.prev->next = &to.sentinel;
    }

    // Takes over `other`'s nodes; our own list must be empty.
    void steal(list& other) noexcept {
        take_links(impl_, other.impl_);
        other.impl_.reset();
    }
};

/// Whether the two lists have equal sizes and equal elements in order.
/// Complexity: linear.
template <class T, class A>
bool operator==(const list<T, A>& a, const list<T, A>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

#if KEL_STD_THREE_WAY_COMPARISON
/// Lexicographical three-way comparison of the elements (by their `<=>`, or
/// by `<` where they have none).
template <class T, class A>
auto operator<=>(const list<T, A>& a, const list<T, A>& b) {
    return detail::lexicographical_three_way(a.begin(), a.end(), b.begin(), b.end());
}
#else
/// Whether the lists differ in size or in an element.
template <class T, class A>
bool operator!=(const list<T, A>& a, const list<T, A>& b) {
    return !(a == b);
}
/// Lexicographical comparison of the elements by `<`.
template <class T, class A>
bool operator<(const list<T, A>& a, const list<T, A>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}
/// Lexicographical comparison of the elements by `<`.
template <class T, class A>
bool operator>(const list<T, A>& a, const list<T, A>& b) {
    return b < a;
}
/// Lexicographical comparison of the elements by `<`.
template <class T, class A>
bool operator<=(const list<T, A>& a, const list<T, A>& b) {
    return !(b < a);
}
/// Lexicographical comparison of the elements by `<`.
template <class T, class A>
bool operator>=(const list<T, A>& a, const list<T, A>& b) {
    return !(a < b);
}
#endif

/// Exchanges the contents of two lists; see `list::swap`.
template <class T, class A>
void swap(list<T, A>& a, list<T, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Erases every element equal to `v`; returns how many.
template <class T, class A, class U>
typename list<T, A>::size_type erase(list<T, A>& c, const U& v) {
    return c.remove_if([&v](const T& e) { return e == v; });
}

/// Erases every element for which `pred` returns true; returns how many.
template <class T, class A, class Predicate>
typename list<T, A>::size_type erase_if(list<T, A>& c, Predicate pred) {
    return c.remove_if(pred);
}

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a list from an iterator range (and an allocator).
template <class It, class A = allocator<detail::iter_value_t<It>>,
          class = typename std::enable_if<detail::is_input_iterator<It>::value && detail::is_allocator<A>::value>::type>
list(It, It, A = A()) -> list<detail::iter_value_t<It>, A>;
/// Deduces a list from a list and an allocator.
template <class T, class A>
list(const list<T, A>&, const typename detail::type_identity<A>::type&) -> list<T, A>;
/// Deduces a list from a list and an allocator.
template <class T, class A>
list(list<T, A>&&, const typename detail::type_identity<A>::type&) -> list<T, A>;
#endif

} // namespace kel_std

#endif // KEL_STD_LIST_H
