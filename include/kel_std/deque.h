/// @file
/// `kel_std::deque`: a double-ended queue, the drop-in counterpart of
/// `std::deque`.
///
/// The interface is the standard one (C++17, plus C++20's non-member `erase`
/// and `erase_if`, in every language mode, and `<=>` under C++20); these
/// pages document what is particular to this library.
///
/// - Representation: the elements live in blocks of a fixed size, and a map
///   (an array of block pointers, grown geometrically and kept centred) lists
///   the blocks in order. A block holds a power of two of elements: as many
///   as fit in 4 KiB, and at least 16 (so 1,024 `int`s, 128 elements of 32
///   bytes, 16 elements of 256 bytes or more). Large blocks make iteration
///   and random access cheap (a block boundary every 1,024 `int`s) and take
///   one allocation for many pushes; the power of two makes `d[i]` a shift
///   and a mask, without a branch. The price is memory for small deques: one
///   element takes a whole block.
/// - Blocks never move: an insertion at either end adds blocks and at most
///   reallocates the map, so references and pointers to elements stay
///   valid (iterators do not, as the standard says). A block that empties at
///   either end is kept as a spare for the next block the deque needs, so a
///   queue that pushes at one end and pops at the other allocates nothing
///   once it has reached its size; `shrink_to_fit()` gives the spare back.
/// - A deque that never held an element holds no map and no block: the
///   default and move constructors neither allocate nor throw. `clear()`
///   keeps one block and the map; `shrink_to_fit()` on an empty deque gives
///   everything back.
/// - Nothing in a deque points back into the deque object itself, so a deque
///   may be moved by copying its bytes when its allocator may
///   (`kel_std::is_trivially_relocatable`).
/// - Allocation: blocks and the map come from the allocator through
///   `std::allocator_traits` (rebound to `T*` for the map). With
///   `kel_std::allocator` on a memory manager, every block comes from the
///   manager, the map included. On a `kel_monotonic_memory_manager`, a deque
///   of trivially destructible elements releases nothing when destroyed or
///   cleared: its blocks stay with the manager until the manager's own
///   release.
/// - Elements that `kel_std::is_trivially_relocatable` declares relocatable
///   (and whose allocator constructs and destroys as the type itself does)
///   are shifted within the deque by `memmove`, a block-contiguous piece at
///   a time; others by move construction into the raw slots ahead and
///   destruction of the sources.
/// - Complexity: as the standard's. Insertion and erasure at either end are
///   amortised constant; in the middle, linear in the number of elements
///   inserted or erased plus the distance to the nearer end (the shorter
///   side moves).
/// - Exception safety: an insertion of one element at either end that fails
///   leaves the deque unchanged. Every insertion (one element, a count, a
///   range, `emplace`, `resize`) that fails because an allocation or the
///   construction of a new element throws leaves the deque unchanged too,
///   wherever it inserts: the elements moved aside to make room go back.
///   When the move constructor of an element that is not trivially
///   relocatable throws while elements are shifted (insertion or erasure in
///   the middle), the deque stays valid and leaks nothing, but the elements
///   that could not be put back are destroyed, as the standard allows.
///   `erase` at either end, `pop_*`, `clear` and `swap` do not throw.
/// - Aliasing: an argument that refers to an element of the deque itself may
///   be given to every member (`d.push_back(d.front())`,
///   `d.insert(d.begin() + 1, d[3])`, `d.resize(n, d[0])`,
///   `d.assign(n, d[i])`). A range given by the deque's own iterators (also
///   reversed or as move iterators) may be inserted into or assigned to the
///   deque; it is copied first.
/// - Contract (checked by assertions in debug builds, `KEL_STD_DEBUG`): no
///   `operator[]` at or past `size()`; no `front`, `back`, `pop_front` or
///   `pop_back` on an empty deque; positions given to `insert`, `emplace`
///   and `erase` lie in [`begin()`, `end()`] of this deque; no dereference
///   or step of the iterator of a deque without elements. `swap` of deques
///   with allocators that do not propagate on swap requires equal
///   allocators.
#ifndef KEL_STD_DEQUE_H
#define KEL_STD_DEQUE_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/container_util.h>
#include <kel_std/detail/node_alloc.h>
#include <kel_std/errors.h> // at() throws out_of_range
#include <kel_std/throw_functions.h>
#include <kel_std/type_traits.h>

#include <algorithm>
#if __cplusplus > 201703L
#include <compare>
#endif
#include <cstddef>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>

// The pushes' slow paths stay out of line, so that the fast paths inline
// into the caller's loop and keep the deque's ends in registers.
#if defined(__GNUC__) || defined(__clang__)
#define KEL_STD_DEQUE_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define KEL_STD_DEQUE_NOINLINE __declspec(noinline)
#else
#define KEL_STD_DEQUE_NOINLINE
#endif

namespace kel_std {

template <class T, class Allocator = allocator<T>>
class deque;

namespace detail {

struct deque_inspector;

// The largest power of two not above n (1 for 0).
constexpr std::size_t deque_floor_pow2(std::size_t n) noexcept {
    return n < 2 ? 1 : 2 * deque_floor_pow2(n / 2);
}

/// Elements per block of a deque of `T`: a power of two, as many as fit in
/// 4096 bytes, and at least 16. (A type, so that every compiler folds it.)
template <class T>
struct deque_block_size
    : std::integral_constant<std::size_t, (sizeof(T) > 4096 / 16 ? 16 : deque_floor_pow2(4096 / sizeof(T)))> {};

/// Random-access iterator over a deque's elements; `Const` makes it read
/// only. It holds the element, the bounds of its block and the block's slot
/// in the map, so that a step reaches the next block without the deque.
/// Every iterator of a deque with elements points into an allocated block
/// (the end position too: the deque keeps a block for it).
template <class T, bool Const>
class deque_iterator {
    template <class, class>
    friend class kel_std::deque;
    template <class, bool>
    friend class deque_iterator;
    friend struct deque_inspector;

public:
    typedef std::random_access_iterator_tag iterator_category;              ///< Random access.
    typedef T value_type;                                                   ///< The element type.
    typedef std::ptrdiff_t difference_type;                                 ///< Distances between positions.
    typedef typename std::conditional<Const, const T*, T*>::type pointer;   ///< Pointer to an element.
    typedef typename std::conditional<Const, const T&, T&>::type reference; ///< Reference to an element.

    deque_iterator() noexcept : cur_(nullptr), first_(nullptr), last_(nullptr), node_(nullptr) {}
    // iterator converts to const_iterator, not the other way round.
    template <bool C, class = typename std::enable_if<Const && !C>::type>
    deque_iterator(const deque_iterator<T, C>& other) noexcept
        : cur_(other.cur_), first_(other.first_), last_(other.last_), node_(other.node_) {}

    reference operator*() const noexcept {
        KEL_STD_ASSERT(cur_ != nullptr && "dereferencing an iterator of a deque without elements");
        return *cur_;
    }
    pointer operator->() const noexcept {
        KEL_STD_ASSERT(cur_ != nullptr && "dereferencing an iterator of a deque without elements");
        return cur_;
    }
    reference operator[](difference_type n) const noexcept { return *(*this + n); }

    deque_iterator& operator++() noexcept {
        KEL_STD_ASSERT(cur_ != nullptr && "stepping an iterator of a deque without elements");
        if (++cur_ == last_) {
            set_node(node_ + 1);
            cur_ = first_;
        }
        return *this;
    }
    deque_iterator operator++(int) noexcept {
        deque_iterator old = *this;
        ++*this;
        return old;
    }
    deque_iterator& operator--() noexcept {
        KEL_STD_ASSERT(cur_ != nullptr && "stepping an iterator of a deque without elements");
        if (cur_ == first_) {
            set_node(node_ - 1);
            cur_ = last_;
        }
        --cur_;
        return *this;
    }
    deque_iterator operator--(int) noexcept {
        deque_iterator old = *this;
        --*this;
        return old;
    }
    deque_iterator& operator+=(difference_type n) noexcept {
        KEL_STD_ASSERT((cur_ != nullptr || n == 0) && "stepping an iterator of a deque without elements");
        const difference_type offset = n + (cur_ - first_);
        if (offset >= 0 && offset < block()) {
            cur_ += n;
        } else {
            // Whole blocks to step (rounded toward minus infinity), then the
            // slot within the block reached.
            const difference_type nodes = offset >= 0 ? offset / block() : -((-offset - 1) / block()) - 1;
            set_node(node_ + nodes);
            cur_ = first_ + (offset - nodes * block());
        }
        return *this;
    }
    deque_iterator& operator-=(difference_type n) noexcept { return *this += -n; }
    friend deque_iterator operator+(deque_iterator it, difference_type n) noexcept { return it += n; }
    friend deque_iterator operator+(difference_type n, deque_iterator it) noexcept { return it += n; }
    friend deque_iterator operator-(deque_iterator it, difference_type n) noexcept { return it -= n; }

    // Distances and comparisons, also between iterator and const_iterator
    // (through the conversion). Iterators without a block (those of a deque
    // without elements) are all null and equal.
    friend difference_type operator-(const deque_iterator& a, const deque_iterator& b) noexcept {
        return (a.node_ - b.node_) * block() + (a.cur_ - a.first_) - (b.cur_ - b.first_);
    }
    friend bool operator==(const deque_iterator& a, const deque_iterator& b) noexcept { return a.cur_ == b.cur_; }
    friend bool operator!=(const deque_iterator& a, const deque_iterator& b) noexcept { return a.cur_ != b.cur_; }
    friend bool operator<(const deque_iterator& a, const deque_iterator& b) noexcept {
        return a.node_ == b.node_ ? a.cur_ < b.cur_ : a.node_ < b.node_;
    }
    friend bool operator>(const deque_iterator& a, const deque_iterator& b) noexcept { return b < a; }
    friend bool operator<=(const deque_iterator& a, const deque_iterator& b) noexcept { return !(b < a); }
    friend bool operator>=(const deque_iterator& a, const deque_iterator& b) noexcept { return !(a < b); }

private:
    static constexpr difference_type block() noexcept {
        return static_cast<difference_type>(deque_block_size<T>::value);
    }
    void set_node(T** node) noexcept {
        node_ = node;
        first_ = *node;
        last_ = first_ + block();
    }

    T* cur_;   // the element (or the end position)
    T* first_; // the block
    T* last_;  // past the block
    T** node_; // the block's slot in the map
};

/// Whether allocator `A` constructs and destroys `T` objects as the type
/// itself does (it has no `construct` or `destroy` of its own, or is
/// `std::allocator`), so that a deque may move elements as bytes and skip
/// trivial destructors.
template <class A, class T, class = void>
struct deque_alloc_constructs : std::false_type {};
template <class A, class T>
struct deque_alloc_constructs<
    A, T, decltype(static_cast<void>(std::declval<A&>().construct(std::declval<T*>(), std::declval<T&&>())))>
    : std::true_type {};
template <class A, class T, class = void>
struct deque_alloc_destroys : std::false_type {};
template <class A, class T>
struct deque_alloc_destroys<A, T, decltype(static_cast<void>(std::declval<A&>().destroy(std::declval<T*>())))>
    : std::true_type {};
template <class A, class T>
struct deque_alloc_is_plain
    : std::integral_constant<bool, !deque_alloc_constructs<A, T>::value && !deque_alloc_destroys<A, T>::value> {};
template <class U, class T>
struct deque_alloc_is_plain<std::allocator<U>, T> : std::true_type {};

} // namespace detail

/// A double-ended queue; the drop-in counterpart of `std::deque`.
///
/// See the file's description for the representation, the guarantees and
/// the caller's obligations.
template <class T, class Allocator>
class deque {
    typedef std::allocator_traits<Allocator> traits;
    typedef typename traits::template rebind_alloc<T*> map_allocator;
    typedef std::allocator_traits<map_allocator> map_traits;
    friend struct detail::deque_inspector;

public:
    typedef T value_type;                                                 ///< The element type.
    typedef Allocator allocator_type;                                     ///< The allocator type.
    typedef std::size_t size_type;                                        ///< Counts of elements.
    typedef std::ptrdiff_t difference_type;                               ///< Distances between positions.
    typedef value_type& reference;                                        ///< Reference to an element.
    typedef const value_type& const_reference;                            ///< Reference to a constant element.
    typedef typename traits::pointer pointer;                             ///< The allocator's pointer.
    typedef typename traits::const_pointer const_pointer;                 ///< The allocator's constant pointer.
    typedef detail::deque_iterator<T, false> iterator;                    ///< Random-access iterator.
    typedef detail::deque_iterator<T, true> const_iterator;               ///< Read-only random-access iterator.
    typedef std::reverse_iterator<iterator> reverse_iterator;             ///< Iterator from the back.
    typedef std::reverse_iterator<const_iterator> const_reverse_iterator; ///< Read-only iterator from the back.

private:
    static constexpr size_type block() noexcept { return detail::deque_block_size<T>::value; }

    // Whether shifting elements may copy their bytes, and destroying them
    // may be skipped.
    static constexpr bool by_bytes() noexcept {
        return is_trivially_relocatable<T>::value && detail::deque_alloc_is_plain<Allocator, T>::value;
    }
    static constexpr bool trivial_destroy() noexcept {
        return std::is_trivially_destructible<T>::value && detail::deque_alloc_is_plain<Allocator, T>::value;
    }

    // The state apart from the allocator. A deque without a map has null
    // members throughout. A deque with a map has a block in every slot from
    // start.node_ to finish.node_ and null slots elsewhere; start.cur_ is its
    // first element and finish.cur_ the slot past its last, both inside
    // their blocks, so that a block always exists for the end position.
    struct state {
        T** map;
        size_type map_size;
        iterator start;
        iterator finish;
        T* spare; // a block kept for reuse, or null
    };
    struct impl : detail::ebo_box<Allocator, 0>, state {
        impl() : detail::ebo_box<Allocator, 0>() { this->reset(); }
        explicit impl(const Allocator& a) : detail::ebo_box<Allocator, 0>(a) { this->reset(); }
        explicit impl(Allocator&& a) : detail::ebo_box<Allocator, 0>(std::move(a)) { this->reset(); }
        void reset() noexcept {
            this->map = nullptr;
            this->map_size = 0;
            this->start = iterator();
            this->finish = iterator();
            this->spare = nullptr;
        }
    };
    impl impl_;

    Allocator& alloc() noexcept { return impl_.get(); }
    const Allocator& alloc() const noexcept { return impl_.get(); }

public:
    // ---- construction, assignment, destruction ----

    /// An empty deque; allocates nothing. Throws: nothing (unless the
    /// allocator's default constructor does).
    deque() noexcept(std::is_nothrow_default_constructible<Allocator>::value) : impl_() {}

    /// An empty deque that uses allocator `a`; allocates nothing.
    explicit deque(const Allocator& a) noexcept : impl_(a) {}

    /// A deque of `n` value-initialised elements. Complexity: O(n).
    /// Throws: `kel_std::length_error` if `n > max_size()`; whatever an
    /// allocation or an element's construction throws (nothing is left).
    explicit deque(size_type n, const Allocator& a = Allocator()) : impl_(a) {
        default_source s;
        init(n, s);
    }

    /// A deque of `n` copies of `value`. Complexity: O(n). Throws: as above.
    deque(size_type n, const T& value, const Allocator& a = Allocator()) : impl_(a) {
        value_source s = {&value};
        init(n, s);
    }

    /// A deque of the elements of [first, last) (any input iterators).
    /// Complexity: O(distance). Throws: as above.
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    deque(InputIt first, InputIt last, const Allocator& a = Allocator()) : impl_(a) {
        KEL_STD_TRY {
            append(first, last, typename std::iterator_traits<InputIt>::iterator_category());
        }
        KEL_STD_CATCH_ALL {
            release_all();
            KEL_STD_RETHROW;
        }
    }

    /// A copy of `other`, with the allocator that
    /// `select_on_container_copy_construction` gives. Complexity: O(size).
    deque(const deque& other) : impl_(traits::select_on_container_copy_construction(other.alloc())) {
        range_source<const_iterator> s = {other.begin()};
        init(other.size(), s);
    }

    /// A copy of `other` that uses allocator `a`. Complexity: O(size).
    deque(const deque& other, const Allocator& a) : impl_(a) {
        range_source<const_iterator> s = {other.begin()};
        init(other.size(), s);
    }

    /// Takes the contents of `other`, which is left empty, without
    /// allocating. Complexity: constant. Throws: nothing.
    deque(deque&& other) noexcept : impl_(std::move(other.alloc())) { steal(other); }

    /// Takes the contents of `other` if `a` equals its allocator; else moves
    /// its elements one by one into memory from `a` (`other` keeps its
    /// elements, moved from). Complexity: constant, or O(size).
    deque(deque&& other, const Allocator& a) : impl_(a) {
        if (alloc() == other.alloc()) {
            steal(other);
        } else {
            range_source<std::move_iterator<iterator>> s = {std::make_move_iterator(other.begin())};
            init(other.size(), s);
        }
    }

    /// A deque of the elements of `il`. Complexity: O(il.size()).
    deque(std::initializer_list<T> il, const Allocator& a = Allocator()) : impl_(a) {
        range_source<const T*> s = {il.begin()};
        init(il.size(), s);
    }

    /// Destroys the elements and gives back every block and the map; see the
    /// file's description for monotonic managers. Complexity: O(size).
    ~deque() {
        if (!droppable())
            release_all();
    }

    /// Replaces the contents with a copy of `other`'s, reusing the elements
    /// in place (assigned) and the blocks held. The allocator is copied if it
    /// propagates on copy assignment. Complexity: O(size + other.size()).
    /// Throws: whatever an allocation or an element's copy throws; the deque
    /// is then valid, with unspecified contents.
    deque& operator=(const deque& other) {
        if (this == &other)
            return *this;
        typedef typename traits::propagate_on_container_copy_assignment pocca;
        if (pocca::value && alloc() != other.alloc())
            release_all(); // everything we hold goes back to the old allocator first
        detail::propagate_copy(alloc(), other.alloc(), pocca());
        assign_range(other.begin(), other.end());
        return *this;
    }

    /// Takes the contents of `other` when the allocator propagates on move
    /// assignment or the allocators are equal (constant time, no throw);
    /// otherwise moves its elements one by one into this deque's memory and
    /// clears `other`.
    deque& operator=(deque&& other) noexcept(traits::propagate_on_container_move_assignment::value ||
                                             traits::is_always_equal::value) {
        if (this == &other)
            return *this;
        typedef typename traits::propagate_on_container_move_assignment pocma;
        if (pocma::value || alloc() == other.alloc()) {
            release_all();
            detail::propagate_move(alloc(), other.alloc(), pocma());
            steal(other);
        } else {
            assign_range(std::make_move_iterator(other.begin()), std::make_move_iterator(other.end()));
            other.clear();
        }
        return *this;
    }

    /// Replaces the contents with the elements of `il`.
    deque& operator=(std::initializer_list<T> il) {
        assign_range(il.begin(), il.end());
        return *this;
    }

    /// Replaces the contents with `n` copies of `value` (which may be an
    /// element of this deque). Complexity: O(size + n).
    void assign(size_type n, const T& value) {
        iterator cur = begin();
        const iterator e = end();
        for (; n != 0 && cur != e; ++cur, --n)
            *cur = value;
        if (n == 0) {
            erase(cur, e);
        } else {
            value_source s = {&value};
            insert_n(size(), n, s);
        }
    }

    /// Replaces the contents with the elements of [first, last) (any input
    /// iterators; the deque's own iterators too). Complexity: O(size +
    /// distance).
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    void assign(InputIt first, InputIt last) {
        assign_range(first, last);
    }

    /// Replaces the contents with the elements of `il`.
    void assign(std::initializer_list<T> il) { assign_range(il.begin(), il.end()); }

    /// A copy of the allocator.
    allocator_type get_allocator() const noexcept { return alloc(); }

    // ---- element access ----

    /// The element at `i`. Throws: `kel_std::out_of_range` if `i >= size()`.
    reference at(size_type i) {
        if (i >= size())
            kel_throw_out_of_range();
        return (*this)[i];
    }
    /// The element at `i`. Throws: `kel_std::out_of_range` if `i >= size()`.
    const_reference at(size_type i) const {
        if (i >= size())
            kel_throw_out_of_range();
        return (*this)[i];
    }

    /// The element at `i`. Requires: `i < size()`. Complexity: constant,
    /// without a branch.
    reference operator[](size_type i) noexcept { return *slot(i); }
    /// The element at `i`. Requires: `i < size()`.
    const_reference operator[](size_type i) const noexcept { return *slot(i); }

    /// The first element. Requires: `!empty()`.
    reference front() noexcept {
        KEL_STD_ASSERT(!empty() && "front() of an empty deque");
        return *impl_.start.cur_;
    }
    /// The first element. Requires: `!empty()`.
    const_reference front() const noexcept {
        KEL_STD_ASSERT(!empty() && "front() of an empty deque");
        return *impl_.start.cur_;
    }
    /// The last element. Requires: `!empty()`.
    reference back() noexcept {
        KEL_STD_ASSERT(!empty() && "back() of an empty deque");
        iterator last = impl_.finish;
        return *--last;
    }
    /// The last element. Requires: `!empty()`.
    const_reference back() const noexcept {
        KEL_STD_ASSERT(!empty() && "back() of an empty deque");
        iterator last = impl_.finish;
        return *--last;
    }

    // ---- iterators ----

    /// The first position.
    iterator begin() noexcept { return impl_.start; }
    /// The first position.
    const_iterator begin() const noexcept { return impl_.start; }
    /// The first position.
    const_iterator cbegin() const noexcept { return impl_.start; }
    /// The position past the last element.
    iterator end() noexcept { return impl_.finish; }
    /// The position past the last element.
    const_iterator end() const noexcept { return impl_.finish; }
    /// The position past the last element.
    const_iterator cend() const noexcept { return impl_.finish; }
    /// The first position from the back.
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    /// The first position from the back.
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    /// The first position from the back.
    const_reverse_iterator crbegin() const noexcept { return rbegin(); }
    /// The position past the first element, from the back.
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    /// The position past the first element, from the back.
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }
    /// The position past the first element, from the back.
    const_reverse_iterator crend() const noexcept { return rend(); }

    // ---- capacity ----

    /// Whether the deque has no elements.
    bool empty() const noexcept { return impl_.finish.cur_ == impl_.start.cur_; }
    /// The number of elements. Complexity: constant.
    size_type size() const noexcept { return static_cast<size_type>(impl_.finish - impl_.start); }
    /// The largest number of elements a deque may hold: no more than the
    /// allocator's `max_size()` and than `PTRDIFF_MAX / sizeof(T)`.
    size_type max_size() const noexcept {
        return detail::max_count_for<difference_type, size_type>(traits::max_size(alloc()), sizeof(T));
    }
    /// Gives back the spare block and the unused part of the map; an empty
    /// deque gives back everything. Complexity: O(size / block size).
    /// Throws: whatever allocating the smaller map throws (nothing changes
    /// then but the spare block).
    void shrink_to_fit() {
        if (impl_.map == nullptr)
            return;
        if (empty()) {
            release_all();
            return;
        }
        if (impl_.spare != nullptr) {
            free_block(impl_.spare);
            impl_.spare = nullptr;
        }
        const size_type nodes = used_nodes();
        if (impl_.map_size == nodes)
            return;
        T** const map = new_map(nodes);
        std::copy(impl_.start.node_, impl_.finish.node_ + 1, map);
        free_map(impl_.map, impl_.map_size);
        impl_.map = map;
        impl_.map_size = nodes;
        impl_.start.set_node(map);
        impl_.finish.set_node(map + (nodes - 1));
    }

    // ---- modifiers ----

    /// Destroys every element. Keeps the first block and the map; the other
    /// blocks are given back (one is kept as the spare). Complexity: O(size).
    void clear() noexcept {
        if (empty())
            return;
        // Blocks of a monotonic manager are dropped, not deallocated.
        const bool drop = droppable();
        destroy_n(impl_.start, size());
        for (T** n = impl_.start.node_ + 1; n <= impl_.finish.node_; ++n) {
            if (impl_.spare == nullptr)
                impl_.spare = *n;
            else if (!drop)
                free_block(*n);
            *n = nullptr;
        }
        impl_.finish = impl_.start;
    }

    /// Inserts a copy of `value` before `pos`; returns its position.
    /// Complexity: constant at either end, else O(n) in the distance to the
    /// nearer end. Throws: see the file's description (unchanged on failure).
    iterator insert(const_iterator pos, const T& value) { return emplace(pos, value); }
    /// Inserts `value`, moved, before `pos`; returns its position.
    iterator insert(const_iterator pos, T&& value) { return emplace(pos, std::move(value)); }

    /// Inserts `n` copies of `value` (which may be an element of this deque)
    /// before `pos`; returns the position of the first (`pos` if `n` is 0).
    iterator insert(const_iterator pos, size_type n, const T& value) {
        const size_type k = index_of(pos);
        if (k == 0 || k == size()) {
            // Nothing moves: `value` stays where it is.
            value_source s = {&value};
            return insert_n(k, n, s);
        }
        temp_value copy(alloc(), value);
        value_source s = {&copy.value};
        return insert_n(k, n, s);
    }

    /// Inserts the elements of [first, last) (any input iterators; the
    /// deque's own too) before `pos`; returns the position of the first.
    /// Complexity: O(distance + distance to the nearer end).
    template <class InputIt, class = typename std::enable_if<detail::is_input_iterator<InputIt>::value>::type>
    iterator insert(const_iterator pos, InputIt first, InputIt last) {
        const size_type k = index_of(pos);
        insert_range(k, first, last, typename std::iterator_traits<InputIt>::iterator_category());
        return begin() + static_cast<difference_type>(k);
    }

    /// Inserts the elements of `il` before `pos`; returns the position of the
    /// first.
    iterator insert(const_iterator pos, std::initializer_list<T> il) { return insert(pos, il.begin(), il.end()); }

    /// Inserts an element constructed from `args` before `pos`; returns its
    /// position. At either end it is constructed in place; in the middle it
    /// is constructed first and then moved into the gap, so that `args` may
    /// refer to elements of this deque.
    template <class... Args>
    iterator emplace(const_iterator pos, Args&&... args) {
        KEL_STD_ASSERT(valid_position(pos) && "emplace or insert at a position outside the deque");
        if (pos.cur_ == impl_.start.cur_) {
            emplace_front(std::forward<Args>(args)...);
            return begin();
        }
        if (pos.cur_ == impl_.finish.cur_) {
            emplace_back(std::forward<Args>(args)...);
            return end() - 1;
        }
        temp_value value(alloc(), std::forward<Args>(args)...);
        move_source s = {&value.value};
        return insert_n(index_of(pos), 1, s);
    }

    /// Appends an element constructed from `args`; returns it. References
    /// to elements stay valid. Complexity: amortised constant. Throws:
    /// whatever an allocation or the construction throws (unchanged then).
    template <class... Args>
    reference emplace_back(Args&&... args) {
        // The end slot is in a block; the element goes there unless it is the
        // block's last slot, which needs a block for the new end first.
        T* const p = impl_.finish.cur_;
        if (impl_.finish.last_ - p > 1) {
            traits::construct(alloc(), p, std::forward<Args>(args)...);
            impl_.finish.cur_ = p + 1;
            return *p;
        }
        T* const q = room_at_back();
        KEL_STD_TRY {
            traits::construct(alloc(), q, std::forward<Args>(args)...);
        }
        KEL_STD_CATCH_ALL {
            release_unused_blocks();
            KEL_STD_RETHROW;
        }
        ++impl_.finish;
        return *q;
    }

    /// Prepends an element constructed from `args`; returns it. References
    /// to elements stay valid. Complexity: amortised constant. Throws:
    /// whatever an allocation or the construction throws (unchanged then).
    template <class... Args>
    reference emplace_front(Args&&... args) {
        T* const p = impl_.start.cur_;
        if (p != impl_.start.first_) {
            traits::construct(alloc(), p - 1, std::forward<Args>(args)...);
            impl_.start.cur_ = p - 1;
            return *(p - 1);
        }
        T* const q = room_at_front();
        KEL_STD_TRY {
            traits::construct(alloc(), q, std::forward<Args>(args)...);
        }
        KEL_STD_CATCH_ALL {
            release_unused_blocks();
            KEL_STD_RETHROW;
        }
        --impl_.start;
        return *q;
    }

    /// Appends a copy of `value` (which may be an element of this deque).
    void push_back(const T& value) { emplace_back(value); }
    /// Appends `value`, moved.
    void push_back(T&& value) { emplace_back(std::move(value)); }
    /// Prepends a copy of `value` (which may be an element of this deque).
    void push_front(const T& value) { emplace_front(value); }
    /// Prepends `value`, moved.
    void push_front(T&& value) { emplace_front(std::move(value)); }

    /// Removes the last element. Requires: `!empty()`. A block that empties
    /// becomes the spare (or is given back). Throws: nothing.
    void pop_back() noexcept {
        KEL_STD_ASSERT(!empty() && "pop_back() on an empty deque");
        if (impl_.finish.cur_ == impl_.finish.first_)
            step_finish_back();
        --impl_.finish.cur_;
        destroy(impl_.finish.cur_);
    }

    /// Removes the first element. Requires: `!empty()`. A block that empties
    /// becomes the spare (or is given back). Throws: nothing.
    void pop_front() noexcept {
        KEL_STD_ASSERT(!empty() && "pop_front() on an empty deque");
        destroy(impl_.start.cur_);
        if (impl_.start.cur_ != impl_.start.last_ - 1)
            ++impl_.start.cur_;
        else
            step_start_on(); // the block's last slot: the end lies in a later block
    }

    /// Removes the element at `pos`; returns the position after it.
    /// Requires: `pos` is an element of this deque. Complexity: constant at
    /// either end, else linear in the distance to the nearer end.
    iterator erase(const_iterator pos) {
        KEL_STD_ASSERT(valid_position(pos) && pos != cend() && "erase of a position that is not an element");
        return erase(pos, pos + 1);
    }

    /// Removes the elements of [first, last); returns the position after
    /// them. The shorter side moves into the gap. Throws: nothing, unless an
    /// element's move constructor throws (see the file's description).
    iterator erase(const_iterator first, const_iterator last) {
        KEL_STD_ASSERT(valid_position(first) && valid_position(last) && !(last < first) &&
                       "erase of a range outside the deque");
        const size_type k = index_of(first);
        const size_type n = static_cast<size_type>(last - first);
        if (n == 0)
            return begin() + static_cast<difference_type>(k);
        const size_type after = size() - k - n;
        const iterator gap = impl_.start + static_cast<difference_type>(k);
        destroy_n(gap, n);
        if (k < after) {
            close_gap(impl_.start, k, n, true);
            impl_.start += static_cast<difference_type>(n);
        } else {
            close_gap(gap + static_cast<difference_type>(n), after, n, false);
            impl_.finish -= static_cast<difference_type>(n);
        }
        release_unused_blocks();
        return begin() + static_cast<difference_type>(k);
    }

    /// Makes the size `n`: removes elements from the back, or appends
    /// value-initialised ones. Throws: as `insert` (unchanged on failure).
    void resize(size_type n) {
        const size_type old = size();
        if (n < old) {
            erase(begin() + static_cast<difference_type>(n), end());
        } else {
            default_source s;
            insert_n(old, n - old, s);
        }
    }

    /// Makes the size `n`: removes elements from the back, or appends copies
    /// of `value` (which may be an element of this deque).
    void resize(size_type n, const T& value) {
        const size_type old = size();
        if (n < old) {
            erase(begin() + static_cast<difference_type>(n), end());
        } else {
            value_source s = {&value};
            insert_n(old, n - old, s);
        }
    }

    /// Exchanges the contents, and the allocators if they propagate on swap,
    /// in constant time; iterators and references follow their elements.
    /// Requires: equal allocators if they do not propagate. Throws: nothing.
    void swap(deque& other) noexcept {
        typedef typename traits::propagate_on_container_swap pocs;
        KEL_STD_ASSERT((pocs::value || alloc() == other.alloc()) && "swap of deques with unequal allocators");
        const state tmp = impl_;
        static_cast<state&>(impl_) = other.impl_;
        static_cast<state&>(other.impl_) = tmp;
        detail::propagate_swap(alloc(), other.alloc(), pocs());
    }

private:
    // ---- blocks and the map ----

    // Whether the blocks may be left to the allocator's manager without a
    // visit (see detail::deallocation_skippable).
    bool droppable() const noexcept {
        return std::is_trivially_destructible<T>::value && detail::deallocation_skippable(alloc());
    }

    T* new_block() {
        if (impl_.spare != nullptr) {
            T* const b = impl_.spare;
            impl_.spare = nullptr;
            return b;
        }
        return detail::to_raw(traits::allocate(alloc(), block()));
    }
    void free_block(T* b) noexcept {
        traits::deallocate(alloc(), std::pointer_traits<pointer>::pointer_to(*b), block());
    }
    // A block that the deque no longer uses: the spare if there is none.
    void retire_block(T* b) noexcept {
        if (impl_.spare == nullptr)
            impl_.spare = b;
        else
            free_block(b);
    }

    T** new_map(size_type n) {
        map_allocator a(alloc());
        T** const map = detail::to_raw(map_traits::allocate(a, n));
        std::fill(map, map + n, static_cast<T*>(nullptr));
        return map;
    }
    void free_map(T** map, size_type n) noexcept {
        map_allocator a(alloc());
        map_traits::deallocate(a, std::pointer_traits<typename map_traits::pointer>::pointer_to(*map), n);
    }

    size_type used_nodes() const noexcept { return static_cast<size_type>(impl_.finish.node_ - impl_.start.node_) + 1; }

    // The first map of a deque without one, with room for `nodes` blocks
    // around its middle, and one block where start and end meet: at its
    // first slot, or at its last when the deque is about to grow to the
    // front. Strong: on failure the deque still has no map.
    void create_map(size_type nodes, bool front) {
        const size_type n = nodes + 2 > 8 ? nodes + 2 : 8;
        T** const map = new_map(n);
        T** const node = map + (n - nodes) / 2;
        KEL_STD_TRY {
            *node = new_block();
        }
        KEL_STD_CATCH_ALL {
            free_map(map, n);
            KEL_STD_RETHROW;
        }
        impl_.map = map;
        impl_.map_size = n;
        impl_.start.set_node(node);
        impl_.start.cur_ = front ? impl_.start.last_ - 1 : impl_.start.first_;
        impl_.finish = impl_.start;
    }

    // Room in the map for `add` more blocks before the first (front) or
    // after the last. The used slots are recentred when the map is more than
    // twice what is needed, else they move to a map of about twice the size.
    // Strong: on failure nothing has changed.
    void reserve_map(size_type add, bool front) {
        const size_type before = static_cast<size_type>(impl_.start.node_ - impl_.map);
        const size_type after = static_cast<size_type>(impl_.map + impl_.map_size - impl_.finish.node_) - 1;
        if ((front ? before : after) >= add)
            return;
        const size_type old_nodes = used_nodes();
        const size_type new_nodes = old_nodes + add;
        T** first;
        if (impl_.map_size > 2 * new_nodes) {
            first = impl_.map + (impl_.map_size - new_nodes) / 2 + (front ? add : 0);
            if (first < impl_.start.node_) {
                std::copy(impl_.start.node_, impl_.finish.node_ + 1, first);
                std::fill(std::max(first + old_nodes, impl_.start.node_), impl_.finish.node_ + 1,
                          static_cast<T*>(nullptr));
            } else {
                std::copy_backward(impl_.start.node_, impl_.finish.node_ + 1, first + old_nodes);
                std::fill(impl_.start.node_, std::min(first, impl_.finish.node_ + 1), static_cast<T*>(nullptr));
            }
        } else {
            const size_type n = impl_.map_size + (impl_.map_size > add ? impl_.map_size : add) + 2;
            T** const map = new_map(n);
            first = map + (n - new_nodes) / 2 + (front ? add : 0);
            std::copy(impl_.start.node_, impl_.finish.node_ + 1, first);
            free_map(impl_.map, impl_.map_size);
            impl_.map = map;
            impl_.map_size = n;
        }
        impl_.start.set_node(first);
        impl_.finish.set_node(first + (old_nodes - 1));
    }

    // Blocks for the n slots before the first element. Strong.
    void reserve_front(size_type n) {
        const size_type vacant = static_cast<size_type>(impl_.start.cur_ - impl_.start.first_);
        if (n <= vacant)
            return;
        const size_type nodes = (n - vacant + block() - 1) / block();
        reserve_map(nodes, true);
        KEL_STD_TRY {
            for (size_type i = 1; i <= nodes; ++i)
                *(impl_.start.node_ - i) = new_block();
        }
        KEL_STD_CATCH_ALL {
            release_unused_blocks();
            KEL_STD_RETHROW;
        }
    }

    // Blocks for n more elements after the last and for the end slot after
    // them. Strong.
    void reserve_back(size_type n) {
        const size_type vacant = static_cast<size_type>(impl_.finish.last_ - impl_.finish.cur_) - 1;
        if (n <= vacant)
            return;
        const size_type nodes = (n - vacant + block() - 1) / block();
        reserve_map(nodes, false);
        KEL_STD_TRY {
            for (size_type i = 1; i <= nodes; ++i)
                *(impl_.finish.node_ + i) = new_block();
        }
        KEL_STD_CATCH_ALL {
            release_unused_blocks();
            KEL_STD_RETHROW;
        }
    }

    // Retires the blocks beyond either end of the used slots (left there by
    // an insertion that failed, or emptied by an erasure).
    void release_unused_blocks() noexcept {
        if (impl_.map == nullptr)
            return;
        for (T** n = impl_.start.node_; n != impl_.map && *(n - 1) != nullptr; --n) {
            retire_block(*(n - 1));
            *(n - 1) = nullptr;
        }
        for (T** n = impl_.finish.node_ + 1; n != impl_.map + impl_.map_size && *n != nullptr; ++n) {
            retire_block(*n);
            *n = nullptr;
        }
    }

    // Destroys the elements and gives back every block and the map: the
    // state of a deque that never held anything.
    void release_all() noexcept {
        if (impl_.map == nullptr)
            return;
        destroy_n(impl_.start, size());
        for (T** n = impl_.start.node_; n <= impl_.finish.node_; ++n)
            free_block(*n);
        if (impl_.spare != nullptr)
            free_block(impl_.spare);
        free_map(impl_.map, impl_.map_size);
        impl_.reset();
    }

    void steal(deque& other) noexcept {
        static_cast<state&>(impl_) = other.impl_;
        other.impl_.reset();
    }

    // ---- elements ----

    T* slot(size_type i) const noexcept {
        KEL_STD_ASSERT(i < size() && "deque index out of range");
        const size_type j = i + static_cast<size_type>(impl_.start.cur_ - impl_.start.first_);
        return impl_.start.node_[j / block()] + j % block();
    }

    size_type index_of(const_iterator pos) const noexcept {
        KEL_STD_ASSERT(valid_position(pos) && "a position outside the deque");
        return static_cast<size_type>(pos - cbegin());
    }

    // Whether `pos` is a position of this deque, its end included: cheap
    // enough for the debug checks of insert and erase.
    bool valid_position(const_iterator pos) const noexcept {
        if (impl_.map == nullptr)
            return pos.cur_ == nullptr;
        const std::less<const void*> before;
        if (before(pos.node_, impl_.start.node_) || before(impl_.finish.node_, pos.node_))
            return false;
        if (pos.first_ != *pos.node_ || pos.last_ != pos.first_ + block() || before(pos.cur_, pos.first_) ||
            !before(pos.cur_, pos.last_))
            return false;
        return !(pos.node_ == impl_.start.node_ && pos.cur_ < impl_.start.cur_) &&
               !(pos.node_ == impl_.finish.node_ && pos.cur_ > impl_.finish.cur_);
    }

    void destroy(T* p) noexcept {
        if (!trivial_destroy())
            traits::destroy(alloc(), p);
    }

    // Calls f(p, q) for each block-contiguous piece [p, q) of the n slots
    // from `first`, never stepping to a block past the last piece.
    template <class F>
    static void for_pieces(iterator first, size_type n, F f) {
        while (n != 0) {
            if (first.cur_ == first.last_) {
                first.set_node(first.node_ + 1);
                first.cur_ = first.first_;
            }
            const size_type room = static_cast<size_type>(first.last_ - first.cur_);
            const size_type piece = n < room ? n : room;
            f(first.cur_, first.cur_ + piece);
            first.cur_ += piece;
            n -= piece;
        }
    }

    void destroy_n(iterator first, size_type n) noexcept {
        if (trivial_destroy())
            return;
        Allocator& a = alloc();
        for_pieces(first, n, [&a](T* p, T* q) {
            for (; p != q; ++p)
                traits::destroy(a, p);
        });
    }

    // Sources of new elements: each call constructs the next one at p.
    struct default_source {
        void operator()(Allocator& a, T* p) { traits::construct(a, p); }
    };
    struct value_source {
        const T* value;
        void operator()(Allocator& a, T* p) { traits::construct(a, p, *value); }
    };
    struct move_source {
        T* value;
        void operator()(Allocator& a, T* p) { traits::construct(a, p, std::move(*value)); }
    };
    template <class It>
    struct range_source {
        It it;
        void operator()(Allocator& a, T* p) {
            traits::construct(a, p, *it);
            ++it;
        }
    };

    // An element built through the allocator outside the deque, for the
    // insertions in the middle whose arguments may refer to elements that
    // move to make room.
    struct temp_value {
        Allocator& a;
        union {
            T value;
        };
        template <class... Args>
        explicit temp_value(Allocator& al, Args&&... args) : a(al) {
            traits::construct(a, std::addressof(value), std::forward<Args>(args)...);
        }
        ~temp_value() { traits::destroy(a, std::addressof(value)); }
        temp_value(const temp_value&) = delete;
        temp_value& operator=(const temp_value&) = delete;
    };

    // Constructs n elements from `src` in the raw slots from `first`; on
    // failure destroys those it built.
    template <class Source>
    void construct_n(iterator first, size_type n, Source& src) {
        Allocator& a = alloc();
        size_type made = 0;
        KEL_STD_TRY {
            for_pieces(first, n, [&a, &src, &made](T* p, T* q) {
                for (; p != q; ++p, ++made)
                    src(a, p);
            });
        }
        KEL_STD_CATCH_ALL {
            destroy_n(first, made);
            KEL_STD_RETHROW;
        }
    }

    // Moves `count` elements from the slots at `from` to the slots at `to`
    // (raw where the two ranges do not overlap), leaving the slots they
    // vacate raw. The order never overwrites an element not yet moved: the
    // front first when moving toward the front. `done` counts the elements
    // moved, so that the caller knows where a throwing move stopped.
    void relocate(iterator from, iterator to, size_type count, size_type& done) {
        const bool forward = to < from;
        if (by_bytes()) {
            relocate_bytes(from, to, count, forward);
            done = count;
            return;
        }
        Allocator& a = alloc();
        if (forward) {
            for (; done < count; ++done, ++from, ++to) {
                traits::construct(a, to.cur_, std::move(*from.cur_));
                traits::destroy(a, from.cur_);
            }
        } else {
            from += static_cast<difference_type>(count);
            to += static_cast<difference_type>(count);
            for (; done < count; ++done) {
                --from;
                --to;
                traits::construct(a, to.cur_, std::move(*from.cur_));
                traits::destroy(a, from.cur_);
            }
        }
    }

    // relocate() for elements that move as bytes: one memmove per piece
    // that is contiguous in both the source and the destination blocks.
    static void relocate_bytes(iterator from, iterator to, size_type count, bool forward) noexcept {
        if (forward) {
            while (count != 0) {
                if (from.cur_ == from.last_) {
                    from.set_node(from.node_ + 1);
                    from.cur_ = from.first_;
                }
                if (to.cur_ == to.last_) {
                    to.set_node(to.node_ + 1);
                    to.cur_ = to.first_;
                }
                const size_type piece = std::min(count, std::min(static_cast<size_type>(from.last_ - from.cur_),
                                                                 static_cast<size_type>(to.last_ - to.cur_)));
                std::memmove(static_cast<void*>(to.cur_), static_cast<const void*>(from.cur_), piece * sizeof(T));
                from.cur_ += piece;
                to.cur_ += piece;
                count -= piece;
            }
        } else {
            from += static_cast<difference_type>(count);
            to += static_cast<difference_type>(count);
            while (count != 0) {
                if (from.cur_ == from.first_) {
                    from.set_node(from.node_ - 1);
                    from.cur_ = from.last_;
                }
                if (to.cur_ == to.first_) {
                    to.set_node(to.node_ - 1);
                    to.cur_ = to.last_;
                }
                const size_type piece = std::min(count, std::min(static_cast<size_type>(from.cur_ - from.first_),
                                                                 static_cast<size_type>(to.cur_ - to.first_)));
                from.cur_ -= piece;
                to.cur_ -= piece;
                std::memmove(static_cast<void*>(to.cur_), static_cast<const void*>(from.cur_), piece * sizeof(T));
                count -= piece;
            }
        }
    }

    // Moves the `count` elements at `first` by n slots toward the middle,
    // closing the raw gap of n slots beside them: `front` says they are the
    // deque's first elements (they move toward the back), else its last
    // ones. If a move throws, the elements that have not reached their place
    // are destroyed and that end of the deque moves past the gap: the deque
    // stays valid and leaks nothing, shorter.
    void close_gap(iterator first, size_type count, size_type n, bool front) {
        const difference_type shift = static_cast<difference_type>(n);
        size_type done = 0;
        KEL_STD_TRY {
            relocate(first, front ? first + shift : first - shift, count, done);
        }
        KEL_STD_CATCH_ALL {
            const difference_type left = static_cast<difference_type>(count - done);
            if (front) {
                destroy_n(first, count - done);
                impl_.start = first + (left + shift);
            } else {
                destroy_n(first + static_cast<difference_type>(done), count - done);
                impl_.finish = first + (static_cast<difference_type>(done) - shift);
            }
            release_unused_blocks();
            KEL_STD_RETHROW;
        }
    }

    // The one insertion path: makes a gap of n raw slots before the element
    // at index k by moving the shorter side outward, then constructs the n
    // elements from `src` in it. If an allocation or a construction fails,
    // the moved elements go back and the deque is as it was.
    template <class Source>
    iterator insert_n(size_type k, size_type n, Source& src) {
        if (n == 0)
            return begin() + static_cast<difference_type>(k);
        const size_type old_size = size();
        if (n > max_size() - old_size)
            kel_throw_length_error();
        const difference_type shift = static_cast<difference_type>(n);
        if (impl_.map == nullptr)
            create_map(n / block() + 1, false);
        if (k < old_size - k) {
            reserve_front(n);
            const iterator new_start = impl_.start - shift;
            size_type done = 0;
            KEL_STD_TRY {
                relocate(impl_.start, new_start, k, done);
            }
            KEL_STD_CATCH_ALL {
                close_gap(new_start, done, n, true);
                release_unused_blocks();
                KEL_STD_RETHROW;
            }
            KEL_STD_TRY {
                construct_n(new_start + static_cast<difference_type>(k), n, src);
            }
            KEL_STD_CATCH_ALL {
                close_gap(new_start, k, n, true);
                release_unused_blocks();
                KEL_STD_RETHROW;
            }
            impl_.start = new_start;
        } else {
            reserve_back(n);
            const iterator pos = impl_.start + static_cast<difference_type>(k);
            const size_type after = old_size - k;
            size_type done = 0;
            KEL_STD_TRY {
                relocate(pos, pos + shift, after, done);
            }
            KEL_STD_CATCH_ALL {
                close_gap(impl_.finish + (shift - static_cast<difference_type>(done)), done, n, false);
                release_unused_blocks();
                KEL_STD_RETHROW;
            }
            KEL_STD_TRY {
                construct_n(pos, n, src);
            }
            KEL_STD_CATCH_ALL {
                close_gap(pos + shift, after, n, false);
                release_unused_blocks();
                KEL_STD_RETHROW;
            }
            impl_.finish += shift;
        }
        return begin() + static_cast<difference_type>(k);
    }

    // The constructors' filling: on failure everything goes back, since no
    // destructor runs for a deque whose constructor did not finish.
    template <class Source>
    void init(size_type n, Source& src) {
        KEL_STD_TRY {
            insert_n(0, n, src);
        }
        KEL_STD_CATCH_ALL {
            release_all();
            KEL_STD_RETHROW;
        }
    }

    // The ends' steps to the next block when a pop empties one.

    // pop_back() from the first slot of the end's block: the end moves back
    // into the previous block, and its block is retired.
    void step_finish_back() noexcept {
        retire_block(impl_.finish.first_);
        *impl_.finish.node_ = nullptr;
        impl_.finish.set_node(impl_.finish.node_ - 1);
        impl_.finish.cur_ = impl_.finish.last_;
    }

    // pop_front() of a block's last element: the start moves on to the next
    // block, and its block is retired.
    void step_start_on() noexcept {
        retire_block(impl_.start.first_);
        *impl_.start.node_ = nullptr;
        impl_.start.set_node(impl_.start.node_ + 1);
        impl_.start.cur_ = impl_.start.first_;
    }

    // The slot for an element pushed at the back when the end's slot is
    // the last of its block (or there is no block): a block for the new end
    // comes first. Strong.
    KEL_STD_DEQUE_NOINLINE T* room_at_back() {
        if (impl_.map == nullptr)
            create_map(1, false);
        else
            reserve_back(1);
        return impl_.finish.cur_;
    }

    // The slot for an element pushed at the front when the start is the
    // first slot of its block (or there is no block). Strong.
    KEL_STD_DEQUE_NOINLINE T* room_at_front() {
        if (impl_.map == nullptr) {
            create_map(1, true);
            return impl_.start.cur_ - 1;
        }
        reserve_front(1);
        return *(impl_.start.node_ - 1) + (block() - 1);
    }

    // Whether the range that starts at `it` may be part of this deque: only
    // the deque's own iterators can be seen to be.
    template <class It>
    bool aliases(const It&) const noexcept {
        return false;
    }
    template <bool C>
    bool aliases(const detail::deque_iterator<T, C>& it) const noexcept {
        const std::less<const void*> before;
        return impl_.map != nullptr && !before(it.node_, impl_.start.node_) && !before(impl_.finish.node_, it.node_);
    }
    template <class It>
    bool aliases(const std::move_iterator<It>& it) const noexcept {
        return aliases(it.base());
    }
    template <class It>
    bool aliases(const std::reverse_iterator<It>& it) const noexcept {
        return aliases(it.base());
    }

    template <class It>
    void insert_range(size_type k, It first, It last, std::input_iterator_tag) {
        if (k == size()) {
            append(first, last, std::input_iterator_tag());
        } else {
            // Collected first: the count is needed to make the gap.
            deque collected(first, last, alloc());
            insert_range(k, std::make_move_iterator(collected.begin()), std::make_move_iterator(collected.end()),
                         std::random_access_iterator_tag());
        }
    }
    template <class It>
    void insert_range(size_type k, It first, It last, std::forward_iterator_tag) {
        if (aliases(first)) {
            deque copy(first, last, alloc());
            insert_range(k, std::make_move_iterator(copy.begin()), std::make_move_iterator(copy.end()),
                         std::random_access_iterator_tag());
            return;
        }
        range_source<It> s = {first};
        insert_n(k, static_cast<size_type>(std::distance(first, last)), s);
    }

    // Appends [first, last); on failure the appended elements go again.
    template <class It>
    void append(It first, It last, std::input_iterator_tag) {
        const size_type old = size();
        KEL_STD_TRY {
            for (; first != last; ++first)
                emplace_back(*first);
        }
        KEL_STD_CATCH_ALL {
            erase(begin() + static_cast<difference_type>(old), end());
            KEL_STD_RETHROW;
        }
    }
    template <class It>
    void append(It first, It last, std::forward_iterator_tag) {
        insert_range(size(), first, last, std::forward_iterator_tag());
    }

    // Assigns the elements in place as far as both go, then erases the rest
    // or appends the remainder.
    template <class It>
    void assign_range(It first, It last) {
        if (aliases(first)) {
            deque copy(first, last, alloc());
            assign_range(std::make_move_iterator(copy.begin()), std::make_move_iterator(copy.end()));
            return;
        }
        iterator cur = begin();
        const iterator e = end();
        for (; first != last && cur != e; ++cur, ++first)
            *cur = *first;
        if (first == last)
            erase(cur, e);
        else
            append(first, last, typename std::iterator_traits<It>::iterator_category());
    }
};

/// Whether two deques have equal sizes and equal elements in order.
template <class T, class A>
bool operator==(const deque<T, A>& a, const deque<T, A>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

#if KEL_STD_THREE_WAY_COMPARISON
/// The lexicographical three-way comparison of the elements (their `<=>`,
/// or an ordering derived from `<`).
template <class T, class A>
auto operator<=>(const deque<T, A>& a, const deque<T, A>& b) {
    return detail::lexicographical_three_way(a.begin(), a.end(), b.begin(), b.end());
}
#else
/// Whether two deques differ.
template <class T, class A>
bool operator!=(const deque<T, A>& a, const deque<T, A>& b) {
    return !(a == b);
}
/// Lexicographical order of the elements.
template <class T, class A>
bool operator<(const deque<T, A>& a, const deque<T, A>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}
/// Lexicographical order of the elements.
template <class T, class A>
bool operator>(const deque<T, A>& a, const deque<T, A>& b) {
    return b < a;
}
/// Lexicographical order of the elements.
template <class T, class A>
bool operator<=(const deque<T, A>& a, const deque<T, A>& b) {
    return !(b < a);
}
/// Lexicographical order of the elements.
template <class T, class A>
bool operator>=(const deque<T, A>& a, const deque<T, A>& b) {
    return !(a < b);
}
#endif

/// Exchanges the contents of two deques; see `deque::swap`.
template <class T, class A>
void swap(deque<T, A>& a, deque<T, A>& b) noexcept(noexcept(a.swap(b))) {
    a.swap(b);
}

/// Erases every element for which `pred` returns true, keeping the order of
/// the others; returns how many were erased. Complexity: O(size).
template <class T, class A, class Pred>
typename deque<T, A>::size_type erase_if(deque<T, A>& d, Pred pred) {
    const typename deque<T, A>::iterator it = std::remove_if(d.begin(), d.end(), pred);
    const typename deque<T, A>::size_type n = static_cast<typename deque<T, A>::size_type>(d.end() - it);
    d.erase(it, d.end());
    return n;
}

namespace detail {
// The test of erase(d, value): against a copy of the value when it can be
// copied, since the value may be an element that the removal overwrites.
template <class U, bool Copy = std::is_copy_constructible<U>::value>
struct deque_equal_to {
    U value;
    template <class T>
    bool operator()(const T& x) const {
        return x == value;
    }
};
template <class U>
struct deque_equal_to<U, false> {
    const U& value;
    template <class T>
    bool operator()(const T& x) const {
        return x == value;
    }
};
} // namespace detail

/// Erases every element equal to `value` (which may be an element of the
/// deque); returns how many were erased. Complexity: O(size).
template <class T, class A, class U>
typename deque<T, A>::size_type erase(deque<T, A>& d, const U& value) {
    const detail::deque_equal_to<U> equal = {value};
    return erase_if(d, equal);
}

/// A deque relocates by bytes when its allocator does: it holds no pointer
/// into itself.
template <class T, class A>
struct is_trivially_relocatable<deque<T, A>> : is_trivially_relocatable<A> {};

#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
/// Deduces a deque from an iterator range (and an allocator).
template <class It, class A = allocator<detail::iter_value_t<It>>,
          class = typename std::enable_if<detail::is_input_iterator<It>::value && detail::is_allocator<A>::value>::type>
deque(It, It, A = A()) -> deque<detail::iter_value_t<It>, A>;
#endif

} // namespace kel_std

#undef KEL_STD_DEQUE_NOINLINE

#endif // KEL_STD_DEQUE_H
