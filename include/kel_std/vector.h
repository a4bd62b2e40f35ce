/// @file
/// `kel_std::vector`: a dynamic array, the drop-in counterpart of
/// `std::vector`.
///
/// The interface is the standard one (C++17, plus C++20's non-member `erase`
/// and `erase_if`, offered in every language mode and returning the count);
/// this page documents what is particular to this library.
///
/// - `vector<bool>` is an ordinary vector of `bool`: one `bool` per element,
///   real references and `bool*` pointers, no `flip()`.
/// - The elements live in one buffer from the allocator, through
///   `std::allocator_traits`. With the default `kel_std::allocator` the
///   buffer comes from its memory manager, or the global heap when it has
///   none, and is not zero-filled: every element of a buffer is constructed
///   before it is read, so the vector asks for its buffers without the fill
///   (`detail::allocate_for_overwrite`; the manager still sees every request
///   as from `allocate`). Allocators with class-type pointers ("fancy
///   pointers") are supported; the vector keeps raw pointers internally,
///   and iterators are raw pointers wrapped in a class.
/// - Growth is geometric: an insertion that exceeds the capacity allocates
///   `size() + max(size(), n)` elements (at most `max_size()`), so
///   `push_back` is amortised constant time. `reserve(n)` and the
///   constructors allocate exactly what they need; `shrink_to_fit()`
///   reallocates to exactly `size()` (and frees the buffer when empty).
///   `max_size()` is the smaller of the allocator's limit and
///   `PTRDIFF_MAX / sizeof(T)`; asking for more raises
///   `kel_std::length_error`.
/// - Relocation: when `kel_std::is_trivially_relocatable<T>` holds (every
///   trivially copyable type, the library's string and containers whose
///   representation allows it, and any type for which the user specialises
///   the trait: see kel_std/type_traits.h for the rule), and the allocator
///   has no `construct` or `destroy` of its own (or is `std::allocator`),
///   the vector moves elements as bytes: growth copies the old buffer with
///   one `memcpy` and runs no move constructor or destructor, and `insert`
///   and `erase` shift the elements behind the position with one `memmove`
///   (`erase` destroys the erased elements and assigns nothing). Other
///   types move element by element: `std::move_if_noexcept` into a new
///   buffer, move assignment within the buffer.
/// - Invalidation: as the standard's. A reallocation invalidates every
///   iterator, reference and pointer; an insertion without one invalidates
///   those at or after the position; an erasure those at or after the first
///   erased element. `reserve` that does not grow, `swap`, and the move
///   constructor keep them (after a swap or a move they refer to the other
///   vector's elements).
/// - Exception safety: an insertion of one element at the end that fails
///   (allocation or construction) leaves the vector unchanged; so do
///   `reserve`, `shrink_to_fit`, `resize` and the other insertions whenever
///   the failure comes from an allocation or from building the new elements
///   (and, for elements that relocate by bytes or move without throwing,
///   always). When an element's move constructor may throw and the element
///   can be copied, reallocation copies instead, so the old elements stay
///   intact. A failing move assignment inside the buffer (an insertion or
///   erasure in the middle) leaves a valid vector of unspecified contents.
///   Nothing leaks in any case.
/// - Arguments that refer into the vector itself are safe: `v.push_back(v[0])`
///   or `v.emplace_back(v.back())` across a reallocation, `v.insert(p, v[3])`,
///   `v.insert(p, n, v[i])`, `v.resize(n, v[i])`, `v.assign(n, v[i])`, and
///   (which the standard leaves undefined) ranges of the vector's own
///   elements given to `insert` or `assign`. New elements are built before
///   any existing element moves (at the end of the buffer, or in the new
///   buffer), then rotated into place. `assign` from a range of its own
///   elements (seen through the addresses its forward iterators yield:
///   plain, reverse or move iterators of the vector) builds the new contents
///   in a new buffer.
/// - On a memory manager that frees nothing until a release of its own (a
///   `kel_monotonic_memory_manager`, such as `arena_manager`, held by a
///   `kel_std::allocator`), a vector whose elements need no destructor does
///   not give its buffer back when destroyed: the manager counts the block
///   as in use until its release. Buffers left behind by growth and by
///   `shrink_to_fit` are deallocated as usual (harmless, and it lets a
///   manager that does reuse blocks reuse them).
/// - The default and move constructors allocate nothing and do not throw;
///   an empty vector that never held elements has no buffer.
/// - Contract (checked by assertions in debug builds, `KEL_STD_DEBUG`):
///   `operator[]` within `size()`; `front`, `back` and `pop_back` on a
///   non-empty vector; positions given to `insert`, `emplace` and `erase`
///   lie in [begin(), end()] of this vector (`erase` of one element: before
///   `end()`), which also catches most iterators of another vector; `swap`
///   of vectors whose allocators differ only when the allocator propagates
///   on swap.
/// - Two different vectors may be modified on two threads at once; one
///   vector follows the usual rule (any number of readers, or one writer).
#ifndef KEL_STD_VECTOR_H
#define KEL_STD_VECTOR_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/container_util.h>
#include <kel_std/detail/contiguous_iterator.h>
#include <kel_std/detail/node_alloc.h>
#include <kel_std/detail/uninitialized.h>
#include <kel_std/throw_functions.h>
#include <kel_std/type_traits.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

struct vector_inspector;

/// The capacity that makes room for `n` more elements beyond `size`: the
/// size plus the larger of the size and `n` (geometric growth), at most
/// `max`. Requires: `n <= max - size`.
template <class Size>
Size vector_growth(Size size, Size n, Size max) noexcept {
    const Size extra = size > n ? size : n;
    return max - size < extra ? max : size + extra;
}

} // namespace detail

/// A dynamic array of `T`; the drop-in counterpart of `std::vector`.
///
/// Requires: `T` meets the standard's requirements for the operations used
/// (`Allocator::value_type` is `T`). See the file's description for
/// allocation, relocation, invalidation and exception safety.
template <class T, class Allocator = allocator<T>>
class vector {
    typedef std::allocator_traits<Allocator> alloc_traits;
    friend struct detail::vector_inspector;

public:
    typedef T value_type;                                       ///< The element type.
    typedef Allocator allocator_type;                           ///< The allocator type.
    typedef std::size_t size_type;                              ///< Counts of elements.
    typedef std::ptrdiff_t difference_type;                     ///< Distances between iterators.
    typedef T& reference;                                       ///< Reference to an element.
    typedef const T& const_reference;                           ///< Reference to a constant element.
    typedef typename alloc_traits::pointer pointer;             ///< The allocator's pointer.
    typedef typename alloc_traits::const_pointer const_pointer; ///< The allocator's pointer to constant.
    /// Random-access (contiguous) iterator.
    typedef detail::contiguous_iterator<T, vector> iterator;
    /// Random-access (contiguous) iterator over constant elements.
    typedef detail::contiguous_iterator<const T, vector> const_iterator;
    typedef std::reverse_iterator<iterator> reverse_iterator;             ///< Iterates backwards.
    typedef std::reverse_iterator<const_iterator> const_reverse_iterator; ///< Iterates backwards, read only.

private:
    // The allocator (no space when empty) and the buffer: the elements are
    // [first, last), the capacity ends at limit; all null without a buffer.
    struct impl : detail::ebo_box<Allocator, 0> {
        T* first;
        T* last;
        T* limit;
        impl() : detail::ebo_box<Allocator, 0>(), first(nullptr), last(nullptr), limit(nullptr) {}
        explicit impl(const Allocator& a)
            : detail::ebo_box<Allocator, 0>(a), first(nullptr), last(nullptr), limit(nullptr) {}
        explicit impl(Allocator&& a)
            : detail::ebo_box<Allocator, 0>(std::move(a)), first(nullptr), last(nullptr), limit(nullptr) {}
    };
    impl impl_;

    Allocator& alloc() noexcept { return impl_.get(); }
    const Allocator& alloc() const noexcept { return impl_.get(); }

    // Builders of new elements: each constructs exactly n elements at raw
    // memory and, if that fails, destroys what it built before the
    // exception leaves.
    struct fill_builder {
        const T& value;
        void operator()(Allocator& a, T* dest, size_type n) const { detail::construct_fill(a, dest, n, value); }
    };
    struct default_builder {
        void operator()(Allocator& a, T* dest, size_type n) const { detail::construct_default(a, dest, n); }
    };
    template <class It>
    struct copy_builder {
        It& it; // advanced past the elements used
        void operator()(Allocator& a, T* dest, size_type n) const { it = detail::construct_copies(a, it, n, dest); }
    };

public:
    /// @name Construction, assignment, destruction
    /// @{

    /// An empty vector. Allocates nothing. Throws: what the allocator's
    /// default constructor throws.
    vector() noexcept(std::is_nothrow_default_constructible<Allocator>::value) : impl_() {}

    /// An empty vector that uses allocator `a`. Allocates nothing.
    explicit vector(const Allocator& a) noexcept : impl_(a) {}

    /// `n` value-initialised elements.
    /// Throws: `length_error` if `n > max_size()`; allocation failures and
    /// what `T`'s default construction throws (nothing is left allocated).
    explicit vector(size_type n, const Allocator& a = Allocator()) : vector(a) {
        replace_storage(n, default_builder());
    }

    /// `n` copies of `value`. Throws: as `vector(n)`, with `T`'s copy.
    vector(size_type n, const T& value, const Allocator& a = Allocator()) : vector(a) {
        replace_storage(n, fill_builder{value});
    }

    /// Copies of the elements of [first, last), in order. With forward
    /// iterators the buffer is allocated once, to size; with input
    /// iterators the vector grows as the elements arrive.
    /// Complexity: linear. Throws: allocation failures and what the
    /// iterators and `T`'s construction throw (nothing is left allocated).
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    vector(InputIt first, InputIt last, const Allocator& a = Allocator()) : vector(a) {
        append_range(first, last, typename std::iterator_traits<InputIt>::iterator_category());
    }

    /// A copy of `other`, with the allocator that
    /// `select_on_container_copy_construction` gives. The buffer holds
    /// exactly `other.size()` elements.
    vector(const vector& other) : vector(alloc_traits::select_on_container_copy_construction(other.alloc())) {
        copy_from(other);
    }

    /// A copy of `other` that uses allocator `a`.
    vector(const vector& other, const typename detail::type_identity<Allocator>::type& a) : vector(a) {
        copy_from(other);
    }

    /// Takes over `other`'s buffer and allocator; `other` is left empty.
    /// Complexity: constant. Throws: nothing.
    vector(vector&& other) noexcept : impl_(std::move(other.alloc())) { take_buffer(other); }

    /// A vector that uses allocator `a` with `other`'s elements: its buffer
    /// if the allocators are equal (constant time), else move-constructed
    /// copies in a buffer from `a` (linear; `other` is then cleared).
    vector(vector&& other, const typename detail::type_identity<Allocator>::type& a) : vector(a) {
        if (alloc() == other.alloc()) {
            take_buffer(other);
        } else {
            std::move_iterator<T*> from(other.impl_.first);
            replace_storage(other.size(), copy_builder<std::move_iterator<T*>>{from});
            other.clear();
        }
    }

    /// Copies of the elements of `il`.
    vector(std::initializer_list<T> il, const Allocator& a = Allocator()) : vector(a) {
        const T* from = il.begin();
        replace_storage(il.size(), copy_builder<const T*>{from});
    }

    /// Destroys the elements and gives back the buffer (kept on a monotonic
    /// manager when the elements need no destructor).
    ~vector() {
        if (impl_.first != nullptr) {
            detail::destroy_range(alloc(), impl_.first, impl_.last);
            detail::deallocate_or_drop(alloc(), impl_.first, capacity());
        }
    }

    /// Replaces the contents with copies of `other`'s elements, reusing the
    /// buffer when it is large enough. The allocator is copied when it
    /// propagates on copy assignment (the old buffer then goes back to the
    /// old allocator first). Returns: `*this`.
    /// Throws: allocation failures and what `T`'s copy throws (the vector is
    /// then valid, with unspecified contents).
    vector& operator=(const vector& other) {
        if (this != &other) {
            typedef typename alloc_traits::propagate_on_container_copy_assignment pocca;
            if (pocca::value && alloc() != other.alloc())
                free_all();
            detail::propagate_copy(alloc(), other.alloc(), pocca());
            const T* from = other.impl_.first;
            assign_forward(other.size(), from);
        }
        return *this;
    }

    /// Takes over `other`'s buffer when the allocator propagates on move
    /// assignment or the allocators are equal (constant time, the old
    /// elements destroyed); otherwise move-assigns the elements one by one
    /// into this vector's memory and clears `other`. Returns: `*this`.
    vector& operator=(vector&& other) noexcept(alloc_traits::propagate_on_container_move_assignment::value ||
                                               alloc_traits::is_always_equal::value) {
        typedef std::integral_constant<bool, alloc_traits::propagate_on_container_move_assignment::value ||
                                                 alloc_traits::is_always_equal::value>
            takes_buffer;
        move_assign(other, takes_buffer());
        return *this;
    }

    /// Replaces the contents with copies of the elements of `il`.
    vector& operator=(std::initializer_list<T> il) {
        assign(il.begin(), il.end());
        return *this;
    }

    /// Replaces the contents with `n` copies of `value` (which may be an
    /// element of this vector).
    /// Throws: `length_error` if `n > max_size()`; allocation failures (the
    /// vector unchanged) and what `T`'s copy throws.
    void assign(size_type n, const T& value) {
        if (n > capacity()) {
            replace_storage(n, fill_builder{value});
        } else if (n > size()) {
            std::fill(impl_.first, impl_.last, value);
            fill_builder{value}(alloc(), impl_.last, n - size());
            impl_.last = impl_.first + n;
        } else {
            std::fill_n(impl_.first, n, value);
            erase_at_end(impl_.first + n);
        }
    }

    /// Replaces the contents with copies of the elements of [first, last),
    /// which may be elements of this vector.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    void assign(InputIt first, InputIt last) {
        assign_range(first, last, typename std::iterator_traits<InputIt>::iterator_category());
    }

    /// Replaces the contents with copies of the elements of `il`.
    void assign(std::initializer_list<T> il) { assign(il.begin(), il.end()); }

    /// A copy of the allocator.
    allocator_type get_allocator() const noexcept { return alloc(); }

    /// @}
    /// @name Element access
    /// @{

    /// The element at `pos`. Throws: `kel_std::out_of_range` if
    /// `pos >= size()`.
    reference at(size_type pos) {
        if (pos >= size())
            kel_throw_out_of_range();
        return impl_.first[pos];
    }
    /// The element at `pos`, read only. Throws: as `at`.
    const_reference at(size_type pos) const {
        if (pos >= size())
            kel_throw_out_of_range();
        return impl_.first[pos];
    }
    /// The element at `pos`. Requires: `pos < size()`.
    reference operator[](size_type pos) noexcept {
        KEL_STD_ASSERT(pos < size() && "vector index out of range");
        return impl_.first[pos];
    }
    /// The element at `pos`, read only. Requires: `pos < size()`.
    const_reference operator[](size_type pos) const noexcept {
        KEL_STD_ASSERT(pos < size() && "vector index out of range");
        return impl_.first[pos];
    }
    /// The first element. Requires: `!empty()`.
    reference front() noexcept {
        KEL_STD_ASSERT(!empty() && "front() of an empty vector");
        return *impl_.first;
    }
    /// The first element, read only. Requires: `!empty()`.
    const_reference front() const noexcept {
        KEL_STD_ASSERT(!empty() && "front() of an empty vector");
        return *impl_.first;
    }
    /// The last element. Requires: `!empty()`.
    reference back() noexcept {
        KEL_STD_ASSERT(!empty() && "back() of an empty vector");
        return impl_.last[-1];
    }
    /// The last element, read only. Requires: `!empty()`.
    const_reference back() const noexcept {
        KEL_STD_ASSERT(!empty() && "back() of an empty vector");
        return impl_.last[-1];
    }
    /// The buffer: `[data(), data() + size())` are the elements. May be null
    /// when the vector is empty.
    T* data() noexcept { return impl_.first; }
    /// The buffer, read only.
    const T* data() const noexcept { return impl_.first; }

    /// @}
    /// @name Iterators
    /// @{

    /// The first element.
    iterator begin() noexcept { return iterator(impl_.first); }
    /// The first element, read only.
    const_iterator begin() const noexcept { return const_iterator(impl_.first); }
    /// The first element, read only.
    const_iterator cbegin() const noexcept { return begin(); }
    /// Past the last element.
    iterator end() noexcept { return iterator(impl_.last); }
    /// Past the last element, read only.
    const_iterator end() const noexcept { return const_iterator(impl_.last); }
    /// Past the last element, read only.
    const_iterator cend() const noexcept { return end(); }
    /// The last element, iterating backwards.
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    /// The last element, iterating backwards, read only.
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    /// The last element, iterating backwards, read only.
    const_reverse_iterator crbegin() const noexcept { return rbegin(); }
    /// Before the first element, iterating backwards.
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    /// Before the first element, iterating backwards, read only.
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }
    /// Before the first element, iterating backwards, read only.
    const_reverse_iterator crend() const noexcept { return rend(); }

    /// @}
    /// @name Capacity
    /// @{

    /// Whether the vector has no elements.
    bool empty() const noexcept { return impl_.first == impl_.last; }
    /// The number of elements.
    size_type size() const noexcept { return static_cast<size_type>(impl_.last - impl_.first); }
    /// The largest possible number of elements: the allocator's
    /// `max_size()`, at most `PTRDIFF_MAX / sizeof(T)`.
    size_type max_size() const noexcept {
        return detail::max_count_for<difference_type, size_type>(
            static_cast<size_type>(alloc_traits::max_size(alloc())), sizeof(T));
    }
    /// The number of elements the buffer holds.
    size_type capacity() const noexcept { return static_cast<size_type>(impl_.limit - impl_.first); }

    /// Makes the capacity at least `n`: if it is smaller, moves the elements
    /// to a new buffer of exactly `n` (invalidating iterators and
    /// references); otherwise does nothing.
    /// Throws: `length_error` if `n > max_size()`; allocation failures and
    /// what a copy of `T` throws (the vector unchanged).
    void reserve(size_type n) {
        if (n > capacity())
            reallocate(n);
    }

    /// Moves the elements to a buffer of exactly `size()` elements (gives
    /// the buffer back when empty), unless the capacity already is the size.
    /// Throws: allocation failures and what a copy of `T` throws (the
    /// vector unchanged).
    void shrink_to_fit() {
        if (impl_.last == impl_.limit)
            return;
        if (empty())
            free_all();
        else
            reallocate(size());
    }

    /// @}
    /// @name Modifiers
    /// @{

    /// Destroys every element; keeps the buffer. Complexity: linear in
    /// `size()` (nothing for elements without a destructor).
    void clear() noexcept { erase_at_end(impl_.first); }

    /// Inserts a copy of `value` (which may be an element of this vector)
    /// before `pos`. Returns: the new element.
    /// Complexity: linear in the elements after `pos`, plus a reallocation
    /// when the vector is full.
    iterator insert(const_iterator pos, const T& value) { return insert(pos, size_type(1), value); }

    /// Inserts `value`, moved, before `pos`. Returns: the new element.
    iterator insert(const_iterator pos, T&& value) { return emplace(pos, std::move(value)); }

    /// Inserts `n` copies of `value` (which may be an element of this
    /// vector) before `pos`. Returns: the first new element (`pos` if `n`
    /// is 0). Throws: `length_error` when the size would exceed
    /// `max_size()`; allocation failures and a failure to copy `value` leave
    /// the vector unchanged.
    iterator insert(const_iterator pos, size_type n, const T& value) {
        return iterator(insert_n(offset_of(pos), n, fill_builder{value}));
    }

    /// Inserts copies of the elements of [first, last) before `pos`; they
    /// may be elements of this vector. Returns: the first new element.
    /// Forward iterators are read once, and the buffer grows at most once.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    iterator insert(const_iterator pos, InputIt first, InputIt last) {
        const size_type off = offset_of(pos);
        insert_range(off, first, last, typename std::iterator_traits<InputIt>::iterator_category());
        return begin() + static_cast<difference_type>(off);
    }

    /// Inserts copies of the elements of `il` before `pos`. Returns: the
    /// first new element.
    iterator insert(const_iterator pos, std::initializer_list<T> il) { return insert(pos, il.begin(), il.end()); }

    /// Inserts an element constructed from `args` (which may refer to
    /// elements of this vector) before `pos`. Returns: the new element.
    /// The element is built at the end of the buffer (or in the new buffer)
    /// first, so a failure to build it leaves the vector unchanged.
    template <class... Args>
    iterator emplace(const_iterator pos, Args&&... args) {
        const size_type off = offset_of(pos);
        return iterator(insert_n(off, 1, [&](Allocator& a, T* dest, size_type) {
            alloc_traits::construct(a, dest, std::forward<Args>(args)...);
        }));
    }

    /// Appends a copy of `value` (which may be an element of this vector).
    /// Complexity: amortised constant. Throws: a failure leaves the vector
    /// unchanged.
    void push_back(const T& value) { emplace_back(value); }

    /// Appends `value`, moved.
    void push_back(T&& value) { emplace_back(std::move(value)); }

    /// Appends an element constructed from `args` (which may refer to
    /// elements of this vector). Returns: the new element.
    /// Complexity: amortised constant. Throws: a failure leaves the vector
    /// unchanged (when growing, the old elements are moved by
    /// `std::move_if_noexcept`).
    template <class... Args>
    reference emplace_back(Args&&... args) {
        if (impl_.last != impl_.limit) {
            alloc_traits::construct(alloc(), impl_.last, std::forward<Args>(args)...);
            ++impl_.last;
        } else {
            insert_realloc(size(), 1, [&](Allocator& a, T* dest, size_type) {
                alloc_traits::construct(a, dest, std::forward<Args>(args)...);
            });
        }
        return impl_.last[-1];
    }

    /// Destroys the last element. Requires: `!empty()`.
    void pop_back() noexcept {
        KEL_STD_ASSERT(!empty() && "pop_back() of an empty vector");
        --impl_.last;
        alloc_traits::destroy(alloc(), impl_.last);
    }

    /// Erases the element at `pos`. Requires: `pos` is an element of this
    /// vector (not `end()`). Returns: the element that followed it.
    /// Complexity: linear in the elements after `pos`.
    iterator erase(const_iterator pos) {
        KEL_STD_ASSERT(pos != cend() && "erase(end())");
        return erase(pos, pos + 1);
    }

    /// Erases the elements of [first, last). Returns: the element that
    /// followed them. Complexity: linear in the elements from `first` on.
    /// Throws: what a move assignment of `T` throws (never when `T`
    /// relocates by bytes).
    iterator erase(const_iterator first, const_iterator last) {
        T* const from = impl_.first + offset_of(first);
        T* const to = impl_.first + offset_of(last);
        KEL_STD_ASSERT(from <= to && "erase of a reversed range");
        if (from != to) {
            if (detail::relocates_by_bytes<Allocator, T>::value) {
                detail::destroy_range(alloc(), from, to);
                const size_type tail = static_cast<size_type>(impl_.last - to);
                if (tail != 0)
                    std::memmove(static_cast<void*>(from), static_cast<const void*>(to), tail * sizeof(T));
                impl_.last = from + tail;
            } else {
                erase_at_end(std::move(to, impl_.last, from));
            }
        }
        return iterator(from);
    }

    /// Makes the size `n`: destroys elements past `n`, or appends
    /// value-initialised ones. Throws: as `insert`; a failure leaves the
    /// vector unchanged.
    void resize(size_type n) {
        if (n <= size())
            erase_at_end(impl_.first + n);
        else
            append_n(n - size(), default_builder());
    }

    /// Makes the size `n`: destroys elements past `n`, or appends copies of
    /// `value` (which may be an element of this vector).
    void resize(size_type n, const T& value) {
        if (n <= size())
            erase_at_end(impl_.first + n);
        else
            append_n(n - size(), fill_builder{value});
    }

    /// Exchanges the contents (and the allocators, if they propagate on
    /// swap) with `other`. Iterators and references follow their elements.
    /// Requires: the allocators propagate on swap or are equal.
    /// Complexity: constant. Throws: nothing.
    void swap(vector& other) noexcept(alloc_traits::propagate_on_container_swap::value ||
                                      alloc_traits::is_always_equal::value) {
        typedef typename alloc_traits::propagate_on_container_swap pocs;
        KEL_STD_ASSERT((pocs::value || alloc() == other.alloc()) && "swap of vectors with unequal allocators");
        detail::propagate_swap(alloc(), other.alloc(), pocs());
        std::swap(impl_.first, other.impl_.first);
        std::swap(impl_.last, other.impl_.last);
        std::swap(impl_.limit, other.impl_.limit);
    }

    /// @}

private:
    // The index of a position given to insert or erase, which must lie in
    // [begin(), end()] of this vector.
    size_type offset_of(const_iterator pos) const noexcept {
        KEL_STD_ASSERT(!std::less<const T*>()(pos.base(), impl_.first) &&
                       !std::less<const T*>()(impl_.last, pos.base()) &&
                       "position outside the vector (an iterator of another container?)");
        return static_cast<size_type>(pos.base() - impl_.first);
    }

    // Memory for exactly n elements (n > 0).
    T* allocate(size_type n) {
        if (n > max_size())
            kel_throw_length_error();
        return detail::allocate_for_overwrite(alloc(), n);
    }
    void deallocate(T* p, size_type n) noexcept { detail::deallocate_raw(alloc(), p, n); }
    void release_buffer() noexcept { deallocate(impl_.first, capacity()); }

    // Destroys the elements and gives back the buffer.
    void free_all() noexcept {
        if (impl_.first == nullptr)
            return;
        detail::destroy_range(alloc(), impl_.first, impl_.last);
        release_buffer();
        impl_.first = impl_.last = impl_.limit = nullptr;
    }

    void install(T* first, size_type n, size_type cap) noexcept {
        impl_.first = first;
        impl_.last = first + n;
        impl_.limit = first + cap;
    }

    void take_buffer(vector& other) noexcept {
        install(other.impl_.first, other.size(), other.capacity());
        other.impl_.first = other.impl_.last = other.impl_.limit = nullptr;
    }

    void erase_at_end(T* new_last) noexcept {
        detail::destroy_range(alloc(), new_last, impl_.last);
        impl_.last = new_last;
    }

    // The capacity for n more elements (raises length_error past max_size()).
    size_type grown_capacity(size_type n) const {
        const size_type max = max_size();
        if (max - size() < n)
            kel_throw_length_error();
        return detail::vector_growth(size(), n, max);
    }

    // Replaces the contents by n elements that build constructs in a new
    // buffer of exactly n. The old elements are read by build before they
    // are destroyed, so build may copy them; a failure changes nothing.
    template <class Build>
    void replace_storage(size_type n, Build build) {
        if (n == 0) {
            clear();
            return;
        }
        T* const fresh = allocate(n);
        KEL_STD_TRY {
            build(alloc(), fresh, n);
        }
        KEL_STD_CATCH_ALL {
            deallocate(fresh, n);
            KEL_STD_RETHROW;
        }
        free_all();
        install(fresh, n, n);
    }

    // Moves the elements to a new buffer of n >= size() elements.
    void reallocate(size_type n) {
        T* const fresh = allocate(n);
        KEL_STD_TRY {
            detail::relocate_construct(alloc(), impl_.first, impl_.last, fresh);
        }
        KEL_STD_CATCH_ALL {
            deallocate(fresh, n);
            KEL_STD_RETHROW;
        }
        const size_type count = size();
        detail::relocate_finish(alloc(), impl_.first, impl_.last);
        if (impl_.first != nullptr)
            release_buffer();
        install(fresh, count, n);
    }

    // The one insertion path: n new elements, which build constructs, go to
    // index off. They are built before any element moves (behind the last
    // element, or in place in a new buffer), so that build may read the
    // vector's own elements and its failure changes nothing; then the
    // elements after off are rotated behind them. Returns the first new
    // element.
    template <class Build>
    T* insert_n(size_type off, size_type n, Build build) {
        if (static_cast<size_type>(impl_.limit - impl_.last) < n)
            return insert_realloc(off, n, build);
        T* const old_last = impl_.last;
        build(alloc(), old_last, n);
        impl_.last = old_last + n;
        T* const pos = impl_.first + off;
        if (pos != old_last)
            rotate_back(pos, old_last, impl_.last);
        return pos;
    }

    // Insertion at the end, which (unlike insert_n) needs no assignment of
    // elements.
    template <class Build>
    void append_n(size_type n, const Build& build) {
        if (static_cast<size_type>(impl_.limit - impl_.last) < n) {
            insert_realloc(size(), n, build);
        } else {
            build(alloc(), impl_.last, n);
            impl_.last += n;
        }
    }

    // Moves [middle, last) to pos, and [pos, middle) behind it.
    void rotate_back(T* pos, T* middle, T* last) {
        if (last - middle == 1) {
            // One element, the common case: through a temporary slot.
            if (detail::relocates_by_bytes<Allocator, T>::value) {
                unsigned char* const bytes = reinterpret_cast<unsigned char*>(pos);
                const std::size_t shift = static_cast<std::size_t>(middle - pos) * sizeof(T);
                alignas(T) unsigned char slot[sizeof(T)];
                std::memcpy(slot, bytes + shift, sizeof(T));
                std::memmove(bytes + sizeof(T), bytes, shift);
                std::memcpy(bytes, slot, sizeof(T));
            } else {
                T held(std::move(*middle));
                std::move_backward(pos, middle, last);
                *pos = std::move(held);
            }
            return;
        }
        detail::rotate_elements(alloc(), pos, middle, last);
    }

    // Insertion into a new buffer: the new elements first, then the old ones
    // relocated around them; on failure the old buffer is untouched.
    template <class Build>
    T* insert_realloc(size_type off, size_type n, const Build& build) {
        const size_type count = size();
        const size_type cap = grown_capacity(n);
        T* const fresh = allocate(cap);
        T* const pos = fresh + off;
        KEL_STD_TRY {
            build(alloc(), pos, n);
            KEL_STD_TRY {
                detail::relocate_construct(alloc(), impl_.first, impl_.first + off, fresh);
                KEL_STD_TRY {
                    detail::relocate_construct(alloc(), impl_.first + off, impl_.last, pos + n);
                }
                KEL_STD_CATCH_ALL {
                    detail::destroy_range(alloc(), fresh, pos);
                    KEL_STD_RETHROW;
                }
            }
            KEL_STD_CATCH_ALL {
                detail::destroy_range(alloc(), pos, pos + n);
                KEL_STD_RETHROW;
            }
        }
        KEL_STD_CATCH_ALL {
            deallocate(fresh, cap);
            KEL_STD_RETHROW;
        }
        detail::relocate_finish(alloc(), impl_.first, impl_.last);
        if (impl_.first != nullptr)
            release_buffer();
        install(fresh, count + n, cap);
        return pos;
    }

    // Ranges of forward iterators: counted first, then read once.
    template <class It>
    void insert_range(size_type off, It first, It last, std::forward_iterator_tag) {
        const size_type n = static_cast<size_type>(std::distance(first, last));
        typedef decltype(detail::unwrap_iter(first)) raw;
        raw from = detail::unwrap_iter(first);
        insert_n(off, n, copy_builder<raw>{from});
    }
    template <class It>
    void append_range(It first, It last, std::forward_iterator_tag) {
        const size_type n = static_cast<size_type>(std::distance(first, last));
        typedef decltype(detail::unwrap_iter(first)) raw;
        raw from = detail::unwrap_iter(first);
        append_n(n, copy_builder<raw>{from});
    }

    // Ranges of input iterators: appended, then rotated into place.
    template <class It>
    void insert_range(size_type off, It first, It last, std::input_iterator_tag) {
        const size_type old_size = size();
        append_range(first, last, std::input_iterator_tag());
        if (off != old_size)
            rotate_back(impl_.first + off, impl_.first + old_size, impl_.last);
    }

    // Appends the elements of an input range as they arrive. The elements
    // may be this vector's own, so the buffer must not move while they are
    // read: once it is full, the rest is gathered in a temporary vector and
    // moved in with one growth. If anything fails, the appended elements go
    // again.
    template <class It>
    void append_range(It first, It last, std::input_iterator_tag) {
        const size_type old_size = size();
        KEL_STD_TRY {
            if (old_size == 0) {
                // Nothing to alias: grow in place.
                for (; first != last; ++first)
                    emplace_back(*first);
                return;
            }
            for (; first != last && impl_.last != impl_.limit; ++first) {
                alloc_traits::construct(alloc(), impl_.last, *first);
                ++impl_.last;
            }
            if (first != last) {
                vector rest(alloc());
                for (; first != last; ++first)
                    rest.emplace_back(*first);
                std::move_iterator<T*> from(rest.impl_.first);
                append_n(rest.size(), copy_builder<std::move_iterator<T*>>{from});
            }
        }
        KEL_STD_CATCH_ALL {
            erase_at_end(impl_.first + old_size);
            KEL_STD_RETHROW;
        }
    }

    // Whether the address of an element of a range lies among this vector's
    // elements. Only ranges whose iterators yield references to T can hold
    // them; random-access ranges are judged by their ends, others by every
    // element.
    template <class It>
    bool holds(It it) const noexcept {
        const T* const p = std::addressof(static_cast<const T&>(*it));
        return !std::less<const T*>()(p, impl_.first) && std::less<const T*>()(p, impl_.last);
    }
    template <class It>
    bool overlaps(It, It, size_type, std::false_type, std::forward_iterator_tag) const noexcept {
        return false;
    }
    template <class It>
    bool overlaps(It first, It last, size_type, std::true_type, std::forward_iterator_tag) const noexcept {
        for (; first != last; ++first)
            if (holds(first))
                return true;
        return false;
    }
    template <class It>
    bool overlaps(It first, It, size_type n, std::true_type, std::random_access_iterator_tag) const noexcept {
        return n != 0 && (holds(first) || holds(first + static_cast<difference_type>(n - 1)));
    }

    template <class It>
    void assign_range(It first, It last, std::forward_iterator_tag) {
        typedef typename std::iterator_traits<It>::reference ref;
        typedef std::integral_constant<
            bool, std::is_reference<ref>::value &&
                      std::is_same<typename std::remove_cv<typename std::remove_reference<ref>::type>::type, T>::value>
            refers_to_elements;
        const size_type n = static_cast<size_type>(std::distance(first, last));
        typedef decltype(detail::unwrap_iter(first)) raw;
        raw from = detail::unwrap_iter(first);
        if (!empty() && overlaps(from, detail::unwrap_iter(last), n, refers_to_elements(),
                                 typename std::iterator_traits<raw>::iterator_category()))
            replace_storage(n, copy_builder<raw>{from});
        else
            assign_forward(n, from);
    }

    // Input ranges: assigned over the elements in order, then the rest
    // appended or the surplus destroyed.
    template <class It>
    void assign_range(It first, It last, std::input_iterator_tag) {
        T* p = impl_.first;
        for (; first != last && p != impl_.last; ++first, ++p)
            *p = *first;
        if (first == last)
            erase_at_end(p);
        else
            append_range(first, last, std::input_iterator_tag());
    }

    // Assignment of n elements from a range that does not overlap the
    // elements.
    template <class It>
    void assign_forward(size_type n, It& from) {
        if (n > capacity()) {
            replace_storage(n, copy_builder<It>{from});
        } else if (n > size()) {
            for (T* p = impl_.first; p != impl_.last; ++p, ++from)
                *p = *from;
            copy_builder<It>{from}(alloc(), impl_.last, n - size());
            impl_.last = impl_.first + n;
        } else {
            T* p = impl_.first;
            for (size_type i = 0; i < n; ++i, ++p, ++from)
                *p = *from;
            erase_at_end(p);
        }
    }

    void copy_from(const vector& other) {
        const T* from = other.impl_.first;
        replace_storage(other.size(), copy_builder<const T*>{from});
    }

    void move_assign(vector& other, std::true_type) noexcept {
        free_all();
        detail::propagate_move(alloc(), other.alloc(), typename alloc_traits::propagate_on_container_move_assignment());
        take_buffer(other);
    }
    void move_assign(vector& other, std::false_type) {
        if (alloc() == other.alloc()) {
            move_assign(other, std::true_type());
        } else {
            std::move_iterator<T*> from(other.impl_.first);
            assign_forward(other.size(), from);
            other.clear();
        }
    }
};

/// Whether two vectors have equal sizes and equal elements in order.
/// Complexity: linear. Throws: what the elements' `==` throws.
template <class T, class A>
bool operator==(const vector<T, A>& a, const vector<T, A>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

#if KEL_STD_THREE_WAY_COMPARISON
/// The lexicographical three-way comparison of the elements (their `<=>`,
/// or an order from `<`).
template <class T, class A>
auto operator<=>(const vector<T, A>& a, const vector<T, A>& b) {
    return detail::lexicographical_three_way(a.begin(), a.end(), b.begin(), b.end());
}
#else
/// Whether two vectors differ.
template <class T, class A>
bool operator!=(const vector<T, A>& a, const vector<T, A>& b) {
    return !(a == b);
}
/// Whether `a` orders lexicographically before `b`.
template <class T, class A>
bool operator<(const vector<T, A>& a, const vector<T, A>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}
/// Whether `a` orders lexicographically after `b`.
template <class T, class A>
bool operator>(const vector<T, A>& a, const vector<T, A>& b) {
    return b < a;
}
/// Whether `a` does not order after `b`.
template <class T, class A>
bool operator<=(const vector<T, A>& a, const vector<T, A>& b) {
    return !(b < a);
}
/// Whether `a` does not order before `b`.
template <class T, class A>
bool operator>=(const vector<T, A>& a, const vector<T, A>& b) {
    return !(a < b);
}
#endif

/// Exchanges the contents of two vectors; see `vector::swap`.
template <class T, class A>
void swap(vector<T, A>& a, vector<T, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Erases every element equal to `value`; returns how many were erased.
/// Complexity: linear.
template <class T, class A, class U>
typename vector<T, A>::size_type erase(vector<T, A>& c, const U& value) {
    const typename vector<T, A>::size_type old_size = c.size();
    c.erase(std::remove(c.begin(), c.end(), value), c.end());
    return old_size - c.size();
}

/// Erases every element for which `pred` returns true; returns how many
/// were erased. Complexity: linear.
template <class T, class A, class Pred>
typename vector<T, A>::size_type erase_if(vector<T, A>& c, Pred pred) {
    const typename vector<T, A>::size_type old_size = c.size();
    c.erase(std::remove_if(c.begin(), c.end(), pred), c.end());
    return old_size - c.size();
}

/// A vector relocates by bytes when its allocator does: it holds only the
/// allocator and pointers into its buffer, never into itself.
template <class T, class A>
struct is_trivially_relocatable<vector<T, A>> : is_trivially_relocatable<A> {};

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a vector from an iterator range (and an allocator).
template <class It, class A = allocator<detail::iter_value_t<It>>,
          class = typename std::enable_if<detail::is_input_iterator<It>::value && detail::is_allocator<A>::value>::type>
vector(It, It, A = A()) -> vector<detail::iter_value_t<It>, A>;
#endif

} // namespace kel_std

#endif // KEL_STD_VECTOR_H
