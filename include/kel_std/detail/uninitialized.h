// Construction, destruction and relocation of element ranges in raw memory
// through an allocator, for the containers that keep their elements in
// arrays (vector, and deque's blocks).
//
// Every helper that constructs several elements rolls back on failure: the
// elements it built are destroyed again, so the caller only has to give
// back its memory. Where the allocator leaves construction and destruction
// to the element type (it has no `construct`/`destroy` of its own, or is
// `std::allocator`), copies of trivially copyable elements and relocations
// of trivially relocatable ones become `memcpy`/`memmove`.
#ifndef KEL_STD_DETAIL_UNINITIALIZED_H
#define KEL_STD_DETAIL_UNINITIALIZED_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/contiguous_iterator.h>
#include <kel_std/detail/exceptions.h>
#include <kel_std/detail/node_alloc.h>
#include <kel_std/type_traits.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

template <class...>
struct make_void {
    typedef void type;
};

/// Whether allocator `A` constructs `T` objects itself (it has a
/// `construct(T*, T&&)` member), or destroys them itself.
template <class A, class T, class = void>
struct alloc_constructs : std::false_type {};
template <class A, class T>
struct alloc_constructs<
    A, T, typename make_void<decltype(std::declval<A&>().construct(std::declval<T*>(), std::declval<T&&>()))>::type>
    : std::true_type {};
template <class A, class T, class = void>
struct alloc_destroys : std::false_type {};
template <class A, class T>
struct alloc_destroys<A, T, typename make_void<decltype(std::declval<A&>().destroy(std::declval<T*>()))>::type>
    : std::true_type {};

/// Whether construction and destruction through `A` are those of the type
/// itself, so that the containers may copy or move elements as bytes where
/// the type allows it. `std::allocator`'s `construct` and `destroy` (C++17
/// and before) are placement new and the destructor.
template <class A, class T>
struct alloc_is_plain : std::integral_constant<bool, !alloc_constructs<A, T>::value && !alloc_destroys<A, T>::value> {};
template <class U, class T>
struct alloc_is_plain<std::allocator<U>, T> : std::true_type {};

/// Whether elements of type `T` in memory of allocator `A` may be moved to
/// another address by copying their bytes (see is_trivially_relocatable).
template <class A, class T>
struct relocates_by_bytes
    : std::integral_constant<bool, is_trivially_relocatable<T>::value && alloc_is_plain<A, T>::value> {};

/// Whether destroying a `T` through `A` does nothing.
template <class A, class T>
struct destroys_trivially
    : std::integral_constant<bool, std::is_trivially_destructible<T>::value && !alloc_destroys<A, T>::value> {};

/// Memory for `n` objects that the caller will construct entirely: with
/// `kel_std::allocator`, a block without the zero fill that `allocate` adds
/// (see kel_std/allocator.h); with any other allocator, its `allocate`.
/// Returns the raw address; `n` is not zero.
template <class A>
typename std::allocator_traits<A>::value_type* allocate_for_overwrite(A& a, std::size_t n) {
    return to_raw(std::allocator_traits<A>::allocate(a, n));
}
template <class T>
T* allocate_for_overwrite(allocator<T>& a, std::size_t n) {
    if (n > a.max_size())
        throw_bad_array_new_length();
    return static_cast<T*>(allocate_block(a.manager, static_cast<unsigned int>(n * sizeof(T)), nullptr));
}

/// Gives back memory for `n` objects obtained from `allocate_for_overwrite`.
template <class A>
void deallocate_raw(A& a, typename std::allocator_traits<A>::value_type* p, std::size_t n) noexcept {
    typedef typename std::allocator_traits<A>::pointer pointer;
    std::allocator_traits<A>::deallocate(a, std::pointer_traits<pointer>::pointer_to(*p), n);
}

/// Gives back a block, as `deallocate_raw`, when a container is destroyed;
/// but a block of elements that need no destructor on a memory manager that
/// frees nothing (`deallocation_skippable`) is dropped instead. The test for
/// the global heap comes first and alone, so that a compiler that sees a
/// null manager keeps nothing of the rest (nor the container in memory).
template <class A>
void deallocate_or_drop(A& a, typename std::allocator_traits<A>::value_type* p, std::size_t n) noexcept {
    deallocate_raw(a, p, n);
}
template <class T>
void deallocate_or_drop(allocator<T>& a, T* p, std::size_t) noexcept {
    if (a.manager == nullptr)
        ::operator delete(p);
    else if (!std::is_trivially_destructible<T>::value || !deallocation_skippable(a))
        a.manager->deallocate(p);
}

/// Destroys the objects of [first, last).
template <class A, class T>
void destroy_range(A& a, T* first, T* last) noexcept {
    if (destroys_trivially<A, T>::value)
        return;
    for (; first != last; ++first)
        std::allocator_traits<A>::destroy(a, first);
}

/// The raw pointer behind a contiguous iterator of the library, so that
/// copies from a vector or a string reach the byte-copy paths; any other
/// iterator unchanged.
template <class It>
It unwrap_iter(It it) noexcept {
    return it;
}
template <class U, class C>
U* unwrap_iter(contiguous_iterator<U, C> it) noexcept {
    return it.base();
}

/// Whether `n` objects `T` may be constructed from the elements of the
/// (unwrapped) iterator `It` with one `memcpy`: `It` is a pointer to `T`
/// and that construction is trivial.
template <class A, class T, class It>
struct copies_by_bytes : std::false_type {};
template <class A, class T, class U>
struct copies_by_bytes<A, T, U*>
    : std::integral_constant<bool, std::is_same<typename std::remove_const<U>::type, T>::value &&
                                       std::is_trivially_constructible<T, U&>::value && alloc_is_plain<A, T>::value> {};
template <class A, class T, class U>
struct copies_by_bytes<A, T, std::move_iterator<U*>>
    : std::integral_constant<bool, std::is_same<typename std::remove_const<U>::type, T>::value &&
                                       std::is_trivially_constructible<T, U&&>::value && alloc_is_plain<A, T>::value> {
};

template <class U>
U* iter_address(U* p) noexcept {
    return p;
}
template <class U>
U* iter_address(std::move_iterator<U*> it) noexcept {
    return it.base();
}

/// Constructs `n` objects at `dest` from the elements starting at `first`
/// (an input iterator with at least `n` elements ahead). Returns the
/// iterator past the last element used. On failure, destroys what it built.
template <class A, class T, class It>
It construct_copies(A&, It first, std::size_t n, T* dest, std::true_type /*by bytes*/) {
    if (n != 0)
        std::memcpy(static_cast<void*>(dest), static_cast<const void*>(iter_address(first)), n * sizeof(T));
    return first + static_cast<std::ptrdiff_t>(n);
}
template <class A, class T, class It>
It construct_copies(A& a, It first, std::size_t n, T* dest, std::false_type) {
    T* p = dest;
    KEL_STD_TRY {
        for (; n != 0; --n, ++p, ++first)
            std::allocator_traits<A>::construct(a, p, *first);
    }
    KEL_STD_CATCH_ALL {
        destroy_range(a, dest, p);
        KEL_STD_RETHROW;
    }
    return first;
}
template <class A, class T, class It>
It construct_copies(A& a, It first, std::size_t n, T* dest) {
    return construct_copies(a, first, n, dest, copies_by_bytes<A, T, It>());
}

/// Constructs `n` copies of `value` at `dest`; on failure destroys them.
template <class A, class T>
void construct_fill(A& a, T* dest, std::size_t n, const T& value) {
    T* p = dest;
    KEL_STD_TRY {
        for (; n != 0; --n, ++p)
            std::allocator_traits<A>::construct(a, p, value);
    }
    KEL_STD_CATCH_ALL {
        destroy_range(a, dest, p);
        KEL_STD_RETHROW;
    }
}

/// Constructs `n` value-initialised objects at `dest`; on failure destroys
/// them.
template <class A, class T>
void construct_default(A& a, T* dest, std::size_t n) {
    T* p = dest;
    KEL_STD_TRY {
        for (; n != 0; --n, ++p)
            std::allocator_traits<A>::construct(a, p);
    }
    KEL_STD_CATCH_ALL {
        destroy_range(a, dest, p);
        KEL_STD_RETHROW;
    }
}

/// Whether relocation through `A` cannot fail: elements that move as
/// bytes, or whose move construction through the allocator cannot throw.
template <class A, class T>
struct relocates_without_failure
    : std::integral_constant<bool, relocates_by_bytes<A, T>::value ||
                                       noexcept(std::allocator_traits<A>::construct(
                                           std::declval<A&>(), std::declval<T*>(), std::declval<T&&>()))> {};

/// Relocation of [first, last) to the raw memory at `dest` (not
/// overlapping), in two steps so that a container can relocate several
/// ranges and still undo everything if one fails:
///
/// - `relocate_construct` builds the objects at `dest`. Elements that move
///   as bytes are copied with one `memcpy`. Elements whose move cannot fail
///   are moved, and each source destroyed right after its move (one pass
///   over the memory). Others are copied when they can be (else moved:
///   `std::move_if_noexcept`), so that a failure leaves the sources as they
///   were; on failure it destroys what it built.
/// - `relocate_finish` then ends the sources' lives where the first step
///   has not: the destructors of the copied sources.
template <class A, class T>
void relocate_construct(A& a, T* first, T* last, T* dest) {
    typedef std::allocator_traits<A> traits;
    if (relocates_by_bytes<A, T>::value) {
        if (first != last)
            std::memcpy(static_cast<void*>(dest), static_cast<const void*>(first),
                        static_cast<std::size_t>(last - first) * sizeof(T));
    } else if (relocates_without_failure<A, T>::value) {
        for (; first != last; ++first, ++dest) {
            traits::construct(a, dest, std::move(*first));
            traits::destroy(a, first);
        }
    } else {
        T* p = dest;
        KEL_STD_TRY {
            for (; first != last; ++first, ++p)
                traits::construct(a, p, std::move_if_noexcept(*first));
        }
        KEL_STD_CATCH_ALL {
            destroy_range(a, dest, p);
            KEL_STD_RETHROW;
        }
    }
}
template <class A, class T>
void relocate_finish(A& a, T* first, T* last) noexcept {
    if (!relocates_without_failure<A, T>::value)
        destroy_range(a, first, last);
}

/// Exchanges `n` bytes at `a` with `n` bytes at `b` (not overlapping).
inline void swap_bytes(unsigned char* a, unsigned char* b, std::size_t n) noexcept {
    unsigned char buffer[256];
    for (std::size_t done = 0; done < n; done += sizeof buffer) {
        const std::size_t k = n - done < sizeof buffer ? n - done : sizeof buffer;
        std::memcpy(buffer, a + done, k);
        std::memcpy(a + done, b + done, k);
        std::memcpy(b + done, buffer, k);
    }
}

/// Exchanges the blocks [first, middle) and [middle, last) of bytes, each
/// keeping its bytes in order. When one block is small it goes through a
/// buffer on the stack and the other moves with one `memmove`; otherwise the
/// shorter block is swapped with the far end of the longer one, which puts
/// it in its final place, until the rest is small (block-swap rotation).
inline void rotate_bytes(unsigned char* first, unsigned char* middle, unsigned char* last) noexcept {
    const std::size_t small = 256;
    unsigned char buffer[small];
    for (;;) {
        const std::size_t left = static_cast<std::size_t>(middle - first);
        const std::size_t right = static_cast<std::size_t>(last - middle);
        if (left == 0 || right == 0)
            return;
        if (right <= small) {
            std::memcpy(buffer, middle, right);
            std::memmove(first + right, first, left);
            std::memcpy(first, buffer, right);
            return;
        }
        if (left <= small) {
            std::memcpy(buffer, first, left);
            std::memmove(first, middle, right);
            std::memcpy(last - left, buffer, left);
            return;
        }
        if (left < right) {
            // A B1 B2 with |B2| = |A| becomes B2 B1 A: A is in place, and
            // B2 B1 remains to be rotated around the same middle.
            swap_bytes(first, last - left, left);
            last -= left;
        } else {
            // A1 A2 B with |A1| = |B| becomes B A2 A1: B is in place, and
            // A2 A1 remains to be rotated around the same middle.
            swap_bytes(first, middle, right);
            first += right;
        }
    }
}

/// Rotates [first, last) so that `middle` becomes the first element, with
/// move construction of one temporary per cycle and move assignments
/// (cycle-leader rotation: every element moves once). When the elements
/// relocate by bytes, the rotation exchanges their bytes instead.
template <class A, class T>
void rotate_elements(A& a, T* first, T* middle, T* last) {
    if (first == middle || middle == last)
        return;
    if (relocates_by_bytes<A, T>::value) {
        rotate_bytes(reinterpret_cast<unsigned char*>(first), reinterpret_cast<unsigned char*>(middle),
                     reinterpret_cast<unsigned char*>(last));
        return;
    }
    typedef std::allocator_traits<A> traits;
    const std::ptrdiff_t n = last - first;
    const std::ptrdiff_t k = middle - first;
    std::ptrdiff_t cycles = n, r = k; // gcd(n, k): the number of cycles
    while (r != 0) {
        const std::ptrdiff_t t = cycles % r;
        cycles = r;
        r = t;
    }
    alignas(T) unsigned char slot[sizeof(T)];
    T* const tmp = reinterpret_cast<T*>(slot);
    for (std::ptrdiff_t c = 0; c < cycles; ++c) {
        traits::construct(a, tmp, std::move(first[c]));
        KEL_STD_TRY {
            std::ptrdiff_t hole = c;
            for (;;) {
                std::ptrdiff_t next = hole + k;
                if (next >= n)
                    next -= n;
                if (next == c)
                    break;
                first[hole] = std::move(first[next]);
                hole = next;
            }
            first[hole] = std::move(*tmp);
        }
        KEL_STD_CATCH_ALL {
            traits::destroy(a, tmp);
            KEL_STD_RETHROW;
        }
        traits::destroy(a, tmp);
    }
}

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_UNINITIALIZED_H
