// The zero-filling byte allocator.

#include <kel_std/allocator.h>

namespace kel_std {

allocator<void>::allocator() : manager(nullptr) {}

// Copies share the manager; none of them owns it.
allocator<void>::allocator(const allocator& other) = default;

allocator<void>::~allocator() = default;

allocator<void>& allocator<void>::operator=(const allocator& other) = default;

void* allocator<void>::allocate(unsigned int size, const void* hint) {
    return detail::allocate_zeroed(manager, size, hint);
}

void allocator<void>::deallocate(void* p) {
    detail::release(manager, p);
}

unsigned int allocator<void>::max_size() const {
    return 0xFFFFFFFFu;
}

} // namespace kel_std
