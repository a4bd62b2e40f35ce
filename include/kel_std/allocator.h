/// @file
/// The zero-filling byte allocator and the memory-manager interface it
/// forwards to.
#ifndef KEL_STD_ALLOCATOR_H
#define KEL_STD_ALLOCATOR_H

#include <kel_std/config.h>
#include <kel_std/detail/exceptions.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

namespace kel_std {

/// A client-supplied source of memory.
///
/// Derive from it and override `allocate` and `deallocate`; then give an
/// allocator (or a string, through its allocator) a pointer to the manager.
/// Allocators never own their manager: it must outlive every allocator and
/// every block that uses it.
///
/// The three virtual functions occupy the first three vtable slots in this
/// order, which compiled client code relies on: `destroy`, `allocate`,
/// `deallocate`. The first slot is `destroy` rather than a virtual destructor
/// because on this ABI a virtual destructor takes two slots (complete and
/// deleting), which would move `allocate` and `deallocate`. For the same
/// reason the destructor is protected and non-virtual: a manager is never
/// deleted through this interface.
class kel_memory_manager {
public:
    /// Slot 1: a hook for an owner that disposes of managers through this
    /// interface. The library never calls it. Default: does nothing.
    virtual void destroy() {}

    /// Slot 2: returns a block of at least `size` bytes.
    /// @param tag  the library always passes 1.
    /// @param size number of bytes.
    /// @param hint placement hint, passed through and never interpreted by the
    ///             library: the allocator's caller's hint, or the address of the
    ///             string that will own the block.
    /// Requires: report failure by throwing; never return null for a request
    /// that was accepted (the library zero-fills the block without a test).
    virtual void* allocate(int tag, unsigned int size, const void* hint) = 0;

    /// Slot 3: releases a block that this manager returned. Must accept a null
    /// pointer and do nothing with it (a string that holds a manager but no
    /// buffer releases its null buffer on its first assignment). Should not
    /// throw.
    virtual void deallocate(void* p) = 0;

protected:
    /// Managers are created as derived objects only.
    kel_memory_manager() = default;
    /// Copies nothing of the interface; derived classes decide what copying means.
    kel_memory_manager(const kel_memory_manager&) = default;
    /// Assigns nothing of the interface; derived classes decide what copying means.
    kel_memory_manager& operator=(const kel_memory_manager&) = default;
    /// Not virtual: a manager is never deleted through this interface.
    ~kel_memory_manager() = default;
};

/// A memory manager that promises that `deallocate` frees nothing: every
/// block it hands out stays taken until all of them are freed at once, by a
/// release of the manager's own or by its destructor.
///
/// Callers may therefore skip deallocating blocks of such a manager. The
/// library's containers do, through `kel_std::allocator`: when one is
/// destroyed or cleared and its elements need no destructor
/// (`std::is_trivially_destructible`), it drops its nodes (and, when
/// destroyed, its tree sentinel or bucket array) without visiting them, so
/// that no `deallocate` call reaches the manager. `arena_manager` derives
/// from it.
///
/// Derive from it only if the promise holds: a block that is never
/// deallocated must neither leak nor keep anything else from being freed,
/// and nothing the manager does in `deallocate` (counting, say) may be
/// needed for correctness. It adds no virtual function: the vtable layout
/// is that of `kel_memory_manager`. The containers recognise it with
/// `dynamic_cast`, so in a build without RTTI they deallocate as usual.
class kel_monotonic_memory_manager : public kel_memory_manager {
protected:
    /// Managers are created as derived objects only.
    kel_monotonic_memory_manager() = default;
    /// Copies nothing of the interface; derived classes decide what copying means.
    kel_monotonic_memory_manager(const kel_monotonic_memory_manager&) = default;
    /// Assigns nothing of the interface; derived classes decide what copying means.
    kel_monotonic_memory_manager& operator=(const kel_monotonic_memory_manager&) = default;
    /// Not virtual: a manager is never deleted through this interface.
    ~kel_monotonic_memory_manager() = default;
};

namespace detail {

/// The allocation rule shared by `allocator<void>` and the string's buffers:
/// the manager's `allocate(1, size, hint)` if there is a manager, else the
/// global `operator new` for `size` bytes; then all `size` bytes are
/// zero-filled.
inline void* allocate_zeroed(kel_memory_manager* manager, unsigned int size, const void* hint) {
    void* block = manager != nullptr ? manager->allocate(1, size, hint) : ::operator new(size);
    // Zero-fill whatever the source handed back, also a manager's block that
    // it wrote into itself: containers rely on fresh memory reading as zero.
    // A zero-byte block is not touched (it may be a null or shared pointer).
    if (size != 0)
        std::memset(block, 0, size);
    return block;
}

/// The release rule: the manager's `deallocate(p)` (a null `p` included) if
/// there is a manager, else the global `operator delete`.
inline void release(kel_memory_manager* manager, void* p) {
    if (manager != nullptr)
        manager->deallocate(p);
    else
        ::operator delete(p);
}

} // namespace detail

template <class T>
class allocator;

/// The byte allocator: the global heap, or a client's memory manager.
///
/// Every block it returns is zero-filled, whichever source gave it. Copies
/// share the manager pointer and are interchangeable: memory allocated
/// through one may be released through another.
template <>
class allocator<void> {
public:
    /// Where blocks come from: null means the global `operator new` and
    /// `operator delete`. Not owned.
    kel_memory_manager* manager;

    /// An allocator that uses the global heap (`manager` is null).
    /// Complexity: constant. Throws: nothing.
    KEL_STD_API allocator();
    /// Copies the manager pointer. Throws: nothing.
    KEL_STD_API allocator(const allocator& other);
    /// Does nothing; the manager is not owned. Defined in the library: the
    /// destructor is part of the exported surface.
    KEL_STD_API ~allocator(); // NOLINT(performance-trivially-destructible)
    /// Copies the manager pointer. Returns: `*this`. Throws: nothing.
    KEL_STD_API allocator& operator=(const allocator& other);

    /// An allocator that forwards to `m` (null: the global heap).
    explicit allocator(kel_memory_manager* m) : manager(m) {}

    /// Returns a zero-filled block of `size` bytes.
    /// Effects: with a manager, calls `manager->allocate(1, size, hint)`;
    /// without one, the global `operator new` (`hint` is ignored). Then fills
    /// all `size` bytes with zero. A zero-byte request returns the source's
    /// answer and writes nothing.
    /// Throws: whatever the manager or `operator new` throws; nothing has
    /// been modified then. Complexity: O(size).
    KEL_STD_API void* allocate(unsigned int size, const void* hint);

    /// Releases a block obtained from an allocator with the same manager.
    /// Effects: with a manager, calls `manager->deallocate(p)` (also when `p`
    /// is null); without one, the global `operator delete`. No size is passed.
    /// Throws: whatever the manager throws (managers should not throw).
    KEL_STD_API void deallocate(void* p);

    /// The largest request: 4294967295, whatever the manager.
    /// Throws: nothing.
    KEL_STD_API unsigned int max_size() const;
};

/// The typed allocator of the container templates: one `manager` pointer,
/// and the same rule as `allocator<void>` (the manager if there is one, else
/// the global heap; every block zero-filled).
///
/// It meets the standard's allocator requirements, so the containers use it
/// through `std::allocator_traits` like any other allocator. Allocators are
/// equal when they hold the same manager. How it travels between containers:
///
/// - copy construction of a container keeps the source's manager
///   (`select_on_container_copy_construction` returns a copy);
/// - copy and move assignment do not propagate it: a container keeps the
///   manager it was built with, and a move assignment between different
///   managers moves the elements one by one into the target's memory (as the
///   string's move assignment copies its text);
/// - `swap` exchanges the managers together with the contents, so swapping
///   two containers is always allowed, constant time and never throws.
template <class T>
class allocator {
public:
    typedef T value_type;                   ///< The type of the objects allocated.
    typedef T* pointer;                     ///< Pointer to an object.
    typedef const T* const_pointer;         ///< Pointer to a constant object.
    typedef std::size_t size_type;          ///< Counts of objects.
    typedef std::ptrdiff_t difference_type; ///< Distances between objects.
    /// Copy assignment of a container keeps the target's manager.
    typedef std::false_type propagate_on_container_copy_assignment;
    /// Move assignment of a container keeps the target's manager.
    typedef std::false_type propagate_on_container_move_assignment;
    /// Swapping containers exchanges their managers.
    typedef std::true_type propagate_on_container_swap;
    /// Allocators with different managers are not interchangeable.
    typedef std::false_type is_always_equal;

    /// The allocator of the same manager for objects of type `U`.
    template <class U>
    struct rebind {
        typedef allocator<U> other; ///< The rebound allocator.
    };

    /// Where blocks come from: null means the global heap. Not owned.
    kel_memory_manager* manager;

    /// An allocator that uses the global heap.
    allocator() noexcept : manager(nullptr) {}
    /// An allocator that forwards to `m` (null: the global heap).
    explicit allocator(kel_memory_manager* m) noexcept : manager(m) {}
    /// An allocator for `T` with the same manager as `other`.
    template <class U>
    allocator(const allocator<U>& other) noexcept : manager(other.manager) {}

    /// Returns zero-filled memory for `n` objects of `T` (not constructed).
    /// Effects: with a manager, `manager->allocate(1, n * sizeof(T), hint)`;
    /// without one, the global `operator new`. Then every byte is set to zero.
    /// Throws: `std::bad_array_new_length` when `n` is above `max_size()`
    /// (the byte count would not fit in 32 bits; without exceptions, ends
    /// the program); otherwise whatever the manager or `operator new` throws.
    T* allocate(std::size_t n, const void* hint = nullptr) const {
        if (n > max_size())
            detail::throw_bad_array_new_length();
        return static_cast<T*>(detail::allocate_zeroed(manager, static_cast<unsigned int>(n * sizeof(T)), hint));
    }

    /// Releases memory obtained from an allocator with the same manager. The
    /// count is not needed: managers and the heap know their blocks' sizes.
    void deallocate(T* p, std::size_t /*n*/) const { detail::release(manager, p); }

    /// Releases memory obtained from an allocator with the same manager.
    void deallocate(T* p) const { detail::release(manager, p); }

    /// The largest `n` that `allocate` accepts: 4294967295 bytes' worth.
    size_type max_size() const noexcept { return 0xFFFFFFFFu / sizeof(T); }

    /// The allocator of a copy of a container: the same manager.
    allocator select_on_container_copy_construction() const noexcept { return *this; }
};

/// Allocators compare equal when they use the same manager.
template <class T, class U>
bool operator==(const allocator<T>& a, const allocator<U>& b) noexcept {
    return a.manager == b.manager;
}

/// Allocators differ when they use different managers.
template <class T, class U>
bool operator!=(const allocator<T>& a, const allocator<U>& b) noexcept {
    return a.manager != b.manager;
}

namespace detail {

/// Whether the blocks of allocator `a` may be dropped without deallocating
/// them: false for every allocator but `kel_std::allocator<T>` (a class
/// derived from it included, since nothing is known of what it adds); for
/// that one, true when its manager is a `kel_monotonic_memory_manager`.
/// Complexity: constant (one `dynamic_cast`). Throws: nothing.
template <class Alloc>
bool deallocation_skippable(const Alloc& a) noexcept {
    static_cast<void>(a);
    return false;
}

/// `kel_std::allocator<T>`: whether its manager is non-null and promises,
/// by deriving from `kel_monotonic_memory_manager`, that deallocation frees
/// nothing. Without RTTI the promise cannot be seen, and the answer is
/// false (translation units built with and without RTTI may then disagree,
/// which only decides whether blocks are deallocated or dropped: both are
/// correct for such a manager).
template <class T>
bool deallocation_skippable(const allocator<T>& a) noexcept {
#if defined(__GXX_RTTI) || defined(__cpp_rtti) || defined(_CPPRTTI)
    return dynamic_cast<kel_monotonic_memory_manager*>(a.manager) != nullptr; // null stays null
#else
    static_cast<void>(a);
    return false;
#endif
}

} // namespace detail

} // namespace kel_std

#endif // KEL_STD_ALLOCATOR_H
