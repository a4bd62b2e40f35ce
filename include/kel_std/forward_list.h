/// @file
/// `kel_std::forward_list`: a singly linked list, the drop-in counterpart of
/// `std::forward_list`.
///
/// The interface is the standard one (C++17, plus C++20's counts returned by
/// `remove`, `remove_if` and `unique` and the non-member `erase` and
/// `erase_if`, offered in every language mode); these pages document what is
/// particular to this library.
///
/// - The object holds the allocator and one link, to the first node (that
///   link is the `before_begin()` position). Each element lives in a node of
///   its own, one allocation holding the forward link and the value, taken
///   from the allocator rebound to the node type through
///   `std::allocator_traits`. An empty list holds no memory; its default and
///   move constructors neither allocate nor throw.
/// - No node points back into the object, so a forward_list may be moved by
///   copying its bytes: `kel_std::is_trivially_relocatable` is true for it
///   when it is true for its allocator (a `kel_std::vector` of forward_lists
///   grows with one `memcpy`). Only `before_begin()` belongs to the object,
///   and `end()` is a null position shared by every list.
/// - `sort` is a stable merge sort of the links: O(n log n) comparisons, no
///   allocation, and n - 1 comparisons for a list that is already sorted.
///   `merge` and `splice_after` move nodes and never copy or move an
///   element.
/// - Insertion of any number of elements builds the new nodes first and
///   links them only when all exist: if a constructor or an allocation
///   throws, the list is as it was (for every form of `insert_after`,
///   `emplace_after`, `push_front`, and for a `resize` that grows). If a
///   comparison throws in `sort` or `merge`, every element stays in the list
///   in unspecified order.
/// - `remove(value)` may be given a reference to an element of the list
///   itself: the nodes it takes out are destroyed after the last comparison.
/// - On a memory manager that frees nothing until a release of its own (a
///   `kel_monotonic_memory_manager`, such as `arena_manager`, held by a
///   `kel_std::allocator`), a list whose elements need no destructor drops
///   its nodes when destroyed or cleared, without visiting or deallocating
///   them.
/// - Contract (checked by assertions in debug builds, `KEL_STD_DEBUG`): do
///   not dereference or increment `end()`, dereference `before_begin()`,
///   call `front` or `pop_front` on an empty list, or erase after the last
///   element; `splice_after` and `merge` take nodes only from a list with an
///   equal allocator, and the position of `splice_after` must not lie in
///   the range it moves (debug builds check it while they walk the range).
#ifndef KEL_STD_FORWARD_LIST_H
#define KEL_STD_FORWARD_LIST_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/container_util.h>
#include <kel_std/detail/node_alloc.h>
#include <kel_std/detail/node_chain.h>
#include <kel_std/type_traits.h>

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

/// Forward iterator over a forward_list's values; `Const` makes it read
/// only. `end()` is the null position.
template <class T, bool Const>
class fwd_iterator {
public:
    typedef std::forward_iterator_tag iterator_category;
    typedef T value_type;
    typedef std::ptrdiff_t difference_type;
    typedef typename std::conditional<Const, const T*, T*>::type pointer;
    typedef typename std::conditional<Const, const T&, T&>::type reference;

    fwd_iterator() noexcept : node_(nullptr) {}
    explicit fwd_iterator(fwd_link* n) noexcept : node_(n) {}
    // A mutable iterator converts to a constant one (and each to itself).
    template <bool C, class = typename std::enable_if<Const || !C>::type>
    fwd_iterator(const fwd_iterator<T, C>& it) noexcept : node_(it.node_) {}

    reference operator*() const noexcept {
        KEL_STD_ASSERT(node_ != nullptr && "dereferencing end()");
        return value_of<chain_node<T, fwd_link>>(node_);
    }
    pointer operator->() const noexcept { return std::addressof(**this); }

    fwd_iterator& operator++() noexcept {
        KEL_STD_ASSERT(node_ != nullptr && "incrementing end()");
        node_ = node_->next;
        return *this;
    }
    fwd_iterator operator++(int) noexcept {
        fwd_iterator old = *this;
        ++*this;
        return old;
    }

    template <bool C>
    bool operator==(const fwd_iterator<T, C>& other) const noexcept {
        return node_ == other.node_;
    }
    template <bool C>
    bool operator!=(const fwd_iterator<T, C>& other) const noexcept {
        return node_ != other.node_;
    }

    fwd_link* node_;
};

} // namespace detail

/// A singly linked list; the drop-in counterpart of `std::forward_list`.
///
/// Iterators and references stay valid until their element is erased,
/// across every other operation (`splice_after` and `merge` included, which
/// move the element into the other list, and `swap`); only
/// `before_begin()` belongs to the list object.
template <class T, class Allocator = allocator<T>>
class forward_list {
    typedef detail::fwd_link link;
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
    typedef detail::fwd_iterator<T, false> iterator;                                ///< Forward iterator.
    typedef detail::fwd_iterator<T, true> const_iterator;                           ///< Read-only forward iterator.

private:
    // The allocator and the link to the first node (null when empty).
    struct impl : detail::ebo_box<node_allocator, 0> {
        link head;
        impl() : detail::ebo_box<node_allocator, 0>() { head.next = nullptr; }
        explicit impl(const node_allocator& a) : detail::ebo_box<node_allocator, 0>(a) { head.next = nullptr; }
        explicit impl(node_allocator&& a) : detail::ebo_box<node_allocator, 0>(std::move(a)) { head.next = nullptr; }
    };
    impl impl_;

    node_allocator& alloc() noexcept { return impl_.get(); }
    const node_allocator& alloc() const noexcept { return impl_.get(); }
    link* head() const noexcept { return const_cast<link*>(&impl_.head); }
    static T& value(link* l) noexcept { return detail::value_of<node>(l); }

public:
    // ---- construction, assignment, destruction ----

    /// An empty list. Complexity: constant; allocates nothing.
    forward_list() noexcept(std::is_nothrow_default_constructible<node_allocator>::value) : impl_() {}

    /// An empty list that will use allocator `a`. Allocates nothing.
    explicit forward_list(const Allocator& a) noexcept : impl_(node_allocator(a)) {}

    /// A list of `n` value-initialized elements.
    /// Throws: what the allocation or `T`'s constructor throws; nothing leaks.
    explicit forward_list(size_type n, const Allocator& a = Allocator()) : impl_(node_allocator(a)) { resize_impl(n); }

    /// A list of `n` copies of `v`.
    /// Throws: what the allocation or `T`'s copy constructor throws; nothing leaks.
    forward_list(size_type n, const T& v, const Allocator& a = Allocator()) : impl_(node_allocator(a)) {
        resize_impl(n, v);
    }

    /// A list of the elements of [first, last), in one pass (input iterators
    /// suffice). Throws: what the allocation or `T`'s constructor throws.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    forward_list(InputIt first, InputIt last, const Allocator& a = Allocator()) : impl_(node_allocator(a)) {
        insert_after(cbefore_begin(), first, last);
    }

    /// A list of the elements of `il`.
    forward_list(std::initializer_list<T> il, const Allocator& a = Allocator()) : impl_(node_allocator(a)) {
        insert_after(cbefore_begin(), il.begin(), il.end());
    }

    /// A copy of `other`, with the allocator that
    /// `select_on_container_copy_construction` gives. Complexity: linear.
    forward_list(const forward_list& other) : impl_(node_traits::select_on_container_copy_construction(other.alloc())) {
        insert_after(cbefore_begin(), other.begin(), other.end());
    }

    /// A copy of `other` that uses allocator `a`.
    forward_list(const forward_list& other, const Allocator& a) : impl_(node_allocator(a)) {
        insert_after(cbefore_begin(), other.begin(), other.end());
    }

    /// Takes over `other`'s nodes and allocator; `other` is left empty.
    /// Complexity: constant; allocates nothing. Throws: nothing.
    forward_list(forward_list&& other) noexcept : impl_(std::move(other.alloc())) {
        impl_.head.next = other.impl_.head.next;
        other.impl_.head.next = nullptr;
    }

    /// Takes over `other`'s nodes if `a` equals its allocator; otherwise
    /// moves its elements one by one into nodes from `a` and clears `other`.
    forward_list(forward_list&& other, const Allocator& a) : impl_(node_allocator(a)) {
        if (alloc() == other.alloc()) {
            impl_.head.next = other.impl_.head.next;
            other.impl_.head.next = nullptr;
        } else {
            insert_after(cbefore_begin(), std::make_move_iterator(other.begin()), std::make_move_iterator(other.end()));
            other.clear();
        }
    }

    /// Destroys the elements and frees the nodes; nodes that may be dropped
    /// (trivially destructible elements on a monotonic manager) are left to
    /// the manager without a visit. Complexity: linear, or constant then.
    ~forward_list() {
        if (!node_alloc_type::droppable(alloc()))
            detail::destroy_chain<Allocator, node>(alloc(), impl_.head.next, nullptr);
    }

    /// Replaces the contents with a copy of `other`'s, reusing the nodes in
    /// place (by assignment) as far as they go. The allocator is copied if
    /// its `propagate_on_container_copy_assignment` says so.
    /// Throws: what `T`'s copy or the allocation throws; the list is then
    /// valid but its contents unspecified.
    forward_list& operator=(const forward_list& other) {
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
    forward_list& operator=(forward_list&& other) noexcept(std::allocator_traits<Allocator>::is_always_equal::value) {
        if (this == &other)
            return *this;
        typedef typename node_traits::propagate_on_container_move_assignment pocma;
        if (pocma::value || alloc() == other.alloc()) {
            clear();
            detail::propagate_move(alloc(), other.alloc(), pocma());
            impl_.head.next = other.impl_.head.next;
            other.impl_.head.next = nullptr;
        } else {
            assign(std::make_move_iterator(other.begin()), std::make_move_iterator(other.end()));
            other.clear();
        }
        return *this;
    }

    /// Replaces the contents with the elements of `il`.
    forward_list& operator=(std::initializer_list<T> il) {
        assign(il.begin(), il.end());
        return *this;
    }

    /// Replaces the contents with the elements of [first, last), assigning
    /// over the existing elements first. The range may be part of this list.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    void assign(InputIt first, InputIt last) {
        link* p = head();
        for (; p->next != nullptr && first != last; ++first) {
            value(p->next) = *first;
            p = p->next;
        }
        if (first == last)
            erase_after(const_iterator(p), end());
        else
            insert_after(const_iterator(p), first, last);
    }

    /// Replaces the contents with `n` copies of `v` (which may be an element
    /// of this list).
    void assign(size_type n, const T& v) {
        link* p = head();
        for (; p->next != nullptr && n != 0; --n) {
            value(p->next) = v;
            p = p->next;
        }
        if (n == 0)
            erase_after(const_iterator(p), end());
        else
            insert_after(const_iterator(p), n, v);
    }

    /// Replaces the contents with the elements of `il`.
    void assign(std::initializer_list<T> il) { assign(il.begin(), il.end()); }

    /// A copy of the allocator.
    allocator_type get_allocator() const noexcept { return allocator_type(alloc()); }

    // ---- element access ----

    /// The first element. Requires: `!empty()`.
    reference front() noexcept {
        KEL_STD_ASSERT(!empty() && "front() of an empty forward_list");
        return value(impl_.head.next);
    }
    /// The first element. Requires: `!empty()`.
    const_reference front() const noexcept {
        KEL_STD_ASSERT(!empty() && "front() of an empty forward_list");
        return value(impl_.head.next);
    }

    // ---- iterators ----

    /// The position before the first element, for the `*_after` members:
    /// it may be incremented, never dereferenced.
    iterator before_begin() noexcept { return iterator(head()); }
    /// The position before the first element; see above.
    const_iterator before_begin() const noexcept { return const_iterator(head()); }
    /// The position before the first element; see above.
    const_iterator cbefore_begin() const noexcept { return before_begin(); }
    /// The first element's position (`end()` when empty).
    iterator begin() noexcept { return iterator(impl_.head.next); }
    /// The first element's position (`end()` when empty).
    const_iterator begin() const noexcept { return const_iterator(impl_.head.next); }
    /// The first element's position (`end()` when empty).
    const_iterator cbegin() const noexcept { return begin(); }
    /// The position after the last element.
    iterator end() noexcept { return iterator(); }
    /// The position after the last element.
    const_iterator end() const noexcept { return const_iterator(); }
    /// The position after the last element.
    const_iterator cend() const noexcept { return end(); }

    // ---- capacity ----

    /// Whether the list has no element. Complexity: constant.
    bool empty() const noexcept { return impl_.head.next == nullptr; }
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
            detail::destroy_chain<Allocator, node>(alloc(), impl_.head.next, nullptr);
        impl_.head.next = nullptr;
    }

    /// Inserts an element made from `args` after `pos`; returns its
    /// position. Requires: `pos` is `before_begin()` or an element.
    /// Throws: what the allocation or the constructor throws; the list is
    /// unchanged. Complexity: constant.
    template <class... Args>
    iterator emplace_after(const_iterator pos, Args&&... args) {
        KEL_STD_ASSERT(pos.node_ != nullptr && "insertion after end()");
        link* const n = node_alloc_type::create(alloc(), std::forward<Args>(args)...);
        n->next = pos.node_->next;
        pos.node_->next = n;
        return iterator(n);
    }

    /// Inserts a copy of `v` after `pos`; returns its position.
    /// Throws: what the allocation or the copy throws; the list is unchanged.
    iterator insert_after(const_iterator pos, const T& v) { return emplace_after(pos, v); }
    /// Inserts `v`, moved, after `pos`; returns its position.
    iterator insert_after(const_iterator pos, T&& v) { return emplace_after(pos, std::move(v)); }

    /// Inserts `n` copies of `v` (which may be an element of this list)
    /// after `pos`; returns the position of the last inserted, or `pos` if
    /// `n` is 0. Throws: what the allocation or the copy throws; the list is
    /// unchanged.
    iterator insert_after(const_iterator pos, size_type n, const T& v) {
        builder b(alloc());
        b.append_n(n, v);
        return link_built(pos, b);
    }

    /// Inserts the elements of [first, last) after `pos`, in one pass; the
    /// range may be part of this list. Returns the position of the last
    /// inserted, or `pos` if the range is empty.
    /// Throws: what the allocation or the copy throws; the list is unchanged.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    iterator insert_after(const_iterator pos, InputIt first, InputIt last) {
        builder b(alloc());
        b.append_range(first, last);
        return link_built(pos, b);
    }

    /// Inserts the elements of `il` after `pos`; see the range form.
    iterator insert_after(const_iterator pos, std::initializer_list<T> il) {
        return insert_after(pos, il.begin(), il.end());
    }

    /// Prepends an element made from `args`; returns a reference to it.
    /// Throws: as `emplace_after`; the list is then unchanged.
    template <class... Args>
    reference emplace_front(Args&&... args) {
        return value(emplace_after(cbefore_begin(), std::forward<Args>(args)...).node_);
    }
    /// Prepends a copy of `v` (which may be an element of this list).
    void push_front(const T& v) { emplace_after(cbefore_begin(), v); }
    /// Prepends `v`, moved.
    void push_front(T&& v) { emplace_after(cbefore_begin(), std::move(v)); }

    /// Erases the first element. Requires: `!empty()`.
    void pop_front() noexcept {
        KEL_STD_ASSERT(!empty() && "pop_front() on an empty forward_list");
        erase_after(cbefore_begin());
    }

    /// Erases the element after `pos`; returns the position after the erased
    /// one. Requires: `pos` has a next element. Complexity: constant.
    /// Throws: nothing.
    iterator erase_after(const_iterator pos) noexcept {
        KEL_STD_ASSERT(pos.node_ != nullptr && pos.node_->next != nullptr && "erase after the last element");
        link* const n = pos.node_->next;
        pos.node_->next = n->next;
        node_alloc_type::destroy(alloc(), static_cast<node*>(n));
        return iterator(pos.node_->next);
    }

    /// Erases the elements in (pos, last); returns `last`.
    /// Complexity: linear in their number. Throws: nothing.
    iterator erase_after(const_iterator pos, const_iterator last) noexcept {
        KEL_STD_ASSERT(pos.node_ != nullptr && "erase after end()");
        link* const first = pos.node_->next;
        if (first != last.node_) {
            pos.node_->next = last.node_;
            detail::destroy_chain<Allocator, node>(alloc(), first, last.node_);
        }
        return iterator(last.node_);
    }

    /// Makes the list `n` elements long: erases from the end, or appends
    /// value-initialized elements. Complexity: linear in the larger length.
    /// Throws: what the allocation or the constructor throws; the list is
    /// then unchanged.
    void resize(size_type n) { resize_impl(n); }
    /// Makes the list `n` elements long: erases from the end, or appends
    /// copies of `v` (which may be an element of this list).
    /// Throws: what the allocation or the copy throws; the list is then unchanged.
    void resize(size_type n, const T& v) { resize_impl(n, v); }

    /// Exchanges the contents with `other`'s in constant time, and the
    /// allocators if their `propagate_on_container_swap` says so (otherwise
    /// they must be equal). Iterators follow their elements.
    void swap(forward_list& other) noexcept(std::allocator_traits<Allocator>::is_always_equal::value) {
        typedef typename node_traits::propagate_on_container_swap pocs;
        KEL_STD_ASSERT((pocs::value || alloc() == other.alloc()) && "swap of lists with unequal allocators");
        std::swap(impl_.head.next, other.impl_.head.next);
        detail::propagate_swap(alloc(), other.alloc(), pocs());
    }

    // ---- list operations ----

    /// Moves every element of `other` after `pos`; `other` becomes empty.
    /// Requires: `&other != this`; equal allocators. Complexity: linear in
    /// `other`'s length (to find its last node). Throws: nothing.
    void splice_after(const_iterator pos, forward_list& other) noexcept {
        KEL_STD_ASSERT(&other != this && "splice of a list into itself");
        KEL_STD_ASSERT(alloc() == other.alloc() && "splice between lists with unequal allocators");
        link* const first = other.impl_.head.next;
        if (first == nullptr)
            return;
        link* last = first;
        while (last->next != nullptr) {
            KEL_STD_ASSERT(last != pos.node_ && "splice position inside the spliced range");
            last = last->next;
        }
        other.impl_.head.next = nullptr;
        last->next = pos.node_->next;
        pos.node_->next = first;
    }
    /// Moves every element of `other` after `pos`; see above.
    void splice_after(const_iterator pos, forward_list&& other) noexcept { splice_after(pos, other); }

    /// Moves the element after `it`, of `other` (which may be this list),
    /// after `pos`. Requires: `it` has a next element; equal allocators.
    /// Complexity: constant. Throws: nothing.
    void splice_after(const_iterator pos, forward_list& other, const_iterator it) noexcept {
        KEL_STD_ASSERT(alloc() == other.alloc() && "splice between lists with unequal allocators");
        static_cast<void>(other);
        link* const before = it.node_;
        KEL_STD_ASSERT(before != nullptr && before->next != nullptr && "splice of end()");
        link* const n = before->next;
        if (pos.node_ == before || pos.node_ == n)
            return; // already there
        before->next = n->next;
        n->next = pos.node_->next;
        pos.node_->next = n;
    }
    /// Moves the element after `it`, of `other`, after `pos`; see above.
    void splice_after(const_iterator pos, forward_list&& other, const_iterator it) noexcept {
        splice_after(pos, other, it);
    }

    /// Moves the elements in (first, last), a range of `other` (which may be
    /// this list, if `pos` is not in the range), after `pos`.
    /// Requires: equal allocators. Complexity: linear in the range's length
    /// (to find its last node). Throws: nothing.
    void splice_after(const_iterator pos, forward_list& other, const_iterator first, const_iterator last) noexcept {
        KEL_STD_ASSERT(alloc() == other.alloc() && "splice between lists with unequal allocators");
        static_cast<void>(other);
        link* const before = first.node_;
        if (before == last.node_ || before->next == last.node_)
            return;
        link* const head_of_range = before->next;
        link* tail = head_of_range;
        for (;;) {
            KEL_STD_ASSERT(tail != pos.node_ && "splice position inside the spliced range");
            if (tail->next == last.node_)
                break;
            KEL_STD_ASSERT(tail->next != nullptr && "splice of a range that does not reach its end");
            tail = tail->next;
        }
        before->next = last.node_;
        tail->next = pos.node_->next;
        pos.node_->next = head_of_range;
    }
    /// Moves the elements in (first, last), a range of `other`; see above.
    void splice_after(const_iterator pos, forward_list&& other, const_iterator first, const_iterator last) noexcept {
        splice_after(pos, other, first, last);
    }

    /// Merges the sorted `other` into this sorted list (both in `<` order),
    /// stably: of equivalent elements, ours come first. `other` becomes
    /// empty; nodes move, elements are neither copied nor moved. Merging a
    /// list with itself does nothing.
    /// Requires: equal allocators. Complexity: at most the sum of the
    /// lengths minus one comparisons. Throws: what a comparison throws;
    /// every element of both is then in this list, in unspecified order.
    void merge(forward_list& other) {
        detail::less_op less;
        merge(other, less);
    }
    /// Merges the sorted `other` into this sorted list; see above.
    void merge(forward_list&& other) { merge(other); }

    /// Merges `other` into this list, both sorted by `comp`; see `merge`.
    template <class Compare>
    void merge(forward_list& other, Compare comp) {
        if (&other == this)
            return;
        KEL_STD_ASSERT(alloc() == other.alloc() && "merge of lists with unequal allocators");
        run from = {other.impl_.head.next, nullptr};
        other.impl_.head.next = nullptr;
        head_writer w(impl_.head);
        detail::merge_runs<node>(w.r, from, comp);
    }
    /// Merges `other` into this list, both sorted by `comp`; see `merge`.
    template <class Compare>
    void merge(forward_list&& other, Compare comp) {
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
        head_writer w(impl_.head);
        detail::sort_run<node>(w.r, comp);
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
        link* p = head();
        while (link* const x = p->next) {
            if (pred(value(x))) {
                p->next = x->next;
                removed.adopt(x);
            } else {
                p = x;
            }
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
        link* kept = impl_.head.next;
        if (kept == nullptr)
            return 0;
        while (link* const x = kept->next) {
            if (pred(value(kept), value(x))) {
                kept->next = x->next;
                removed.adopt(x);
            } else {
                kept = x;
            }
        }
        return removed.count();
    }

    /// Reverses the order of the elements. Complexity: linear. Throws: nothing.
    void reverse() noexcept {
        link* x = impl_.head.next;
        link* prev = nullptr;
        while (x != nullptr) {
            link* const next = x->next;
            x->next = prev;
            prev = x;
            x = next;
        }
        impl_.head.next = prev;
    }

private:
    // Holds the list's nodes as a run while `sort` or `merge` works on them,
    // and links them back when it goes out of scope, also when a comparison
    // has thrown.
    struct head_writer {
        explicit head_writer(link& h) noexcept : head(h) {
            r.first = h.next;
            r.last = nullptr;
        }
        ~head_writer() { head.next = r.first; }
        head_writer(const head_writer&) = delete;
        head_writer& operator=(const head_writer&) = delete;
        link& head;
        run r;
    };

    iterator link_built(const_iterator pos, builder& b) noexcept {
        KEL_STD_ASSERT(pos.node_ != nullptr && "insertion after end()");
        const chain c = b.release();
        if (c.first == nullptr)
            return iterator(pos.node_);
        c.last->next = pos.node_->next;
        pos.node_->next = c.first;
        return iterator(c.last);
    }

    template <class... Args>
    void resize_impl(size_type n, const Args&... args) {
        link* p = head();
        for (; n != 0 && p->next != nullptr; --n)
            p = p->next;
        if (n == 0) {
            erase_after(const_iterator(p), end());
            return;
        }
        builder b(alloc());
        b.append_n(n, args...);
        link_built(const_iterator(p), b);
    }
};

/// Whether the two lists have equal elements in order. Complexity: linear.
template <class T, class A>
bool operator==(const forward_list<T, A>& a, const forward_list<T, A>& b) {
    typename forward_list<T, A>::const_iterator i = a.begin();
    typename forward_list<T, A>::const_iterator j = b.begin();
    const typename forward_list<T, A>::const_iterator end = a.end();
    for (; i != end && j != end; ++i, ++j) {
        if (!(*i == *j))
            return false;
    }
    return i == end && j == end;
}

#if KEL_STD_THREE_WAY_COMPARISON
/// Lexicographical three-way comparison of the elements (by their `<=>`, or
/// by `<` where they have none).
template <class T, class A>
auto operator<=>(const forward_list<T, A>& a, const forward_list<T, A>& b) {
    return detail::lexicographical_three_way(a.begin(), a.end(), b.begin(), b.end());
}
#else
/// Whether the lists differ in an element or in length.
template <class T, class A>
bool operator!=(const forward_list<T, A>& a, const forward_list<T, A>& b) {
    return !(a == b);
}
/// Lexicographical comparison of the elements by `<`.
template <class T, class A>
bool operator<(const forward_list<T, A>& a, const forward_list<T, A>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}
/// Lexicographical comparison of the elements by `<`.
template <class T, class A>
bool operator>(const forward_list<T, A>& a, const forward_list<T, A>& b) {
    return b < a;
}
/// Lexicographical comparison of the elements by `<`.
template <class T, class A>
bool operator<=(const forward_list<T, A>& a, const forward_list<T, A>& b) {
    return !(b < a);
}
/// Lexicographical comparison of the elements by `<`.
template <class T, class A>
bool operator>=(const forward_list<T, A>& a, const forward_list<T, A>& b) {
    return !(a < b);
}
#endif

/// Exchanges the contents of two lists; see `forward_list::swap`.
template <class T, class A>
void swap(forward_list<T, A>& a, forward_list<T, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Erases every element equal to `v`; returns how many.
template <class T, class A, class U>
typename forward_list<T, A>::size_type erase(forward_list<T, A>& c, const U& v) {
    return c.remove_if([&v](const T& e) { return e == v; });
}

/// Erases every element for which `pred` returns true; returns how many.
template <class T, class A, class Predicate>
typename forward_list<T, A>::size_type erase_if(forward_list<T, A>& c, Predicate pred) {
    return c.remove_if(pred);
}

/// A forward_list moves by its bytes when its allocator does: nothing
/// points back into the object.
template <class T, class A>
struct is_trivially_relocatable<forward_list<T, A>>
    : is_trivially_relocatable<
          typename std::allocator_traits<A>::template rebind_alloc<detail::chain_node<T, detail::fwd_link>>> {};

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a forward_list from an iterator range (and an allocator).
template <class It, class A = allocator<detail::iter_value_t<It>>,
          class = typename std::enable_if<detail::is_input_iterator<It>::value && detail::is_allocator<A>::value>::type>
forward_list(It, It, A = A()) -> forward_list<detail::iter_value_t<It>, A>;
/// Deduces a forward_list from a forward_list and an allocator.
template <class T, class A>
forward_list(const forward_list<T, A>&, const typename detail::type_identity<A>::type&) -> forward_list<T, A>;
/// Deduces a forward_list from a forward_list and an allocator.
template <class T, class A>
forward_list(forward_list<T, A>&&, const typename detail::type_identity<A>::type&) -> forward_list<T, A>;
#endif

} // namespace kel_std

#endif // KEL_STD_FORWARD_LIST_H
