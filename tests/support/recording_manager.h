// A memory manager that logs every call (tag, size, hint, pointer, in order),
// scribbles over the blocks it hands out, and can throw on the k-th
// allocation. It overrides allocate and deallocate only.
#ifndef KEL_STD_TESTS_RECORDING_MANAGER_H
#define KEL_STD_TESTS_RECORDING_MANAGER_H

#include <kel_std/allocator.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <set>
#include <vector>

namespace kel_test {

// Keeps the manager's own bookkeeping off the global heap, so that tests that
// count operator new see only the library's calls.
template <class T>
struct malloc_allocator {
    typedef T value_type;
    malloc_allocator() = default;
    template <class U>
    malloc_allocator(const malloc_allocator<U>&) {}
    T* allocate(std::size_t n) {
        void* p = std::malloc(n * sizeof(T));
        if (p == nullptr)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) { std::free(p); }
    template <class U>
    bool operator==(const malloc_allocator<U>&) const {
        return true;
    }
    template <class U>
    bool operator!=(const malloc_allocator<U>&) const {
        return false;
    }
};

struct manager_call {
    enum kind_t { allocate, deallocate } kind;
    int tag;
    unsigned int size;
    const void* hint;
    void* pointer; // the block returned, or the pointer released
};

// Thrown by the manager on an injected failure.
// Allocates nothing of its own (unlike std::runtime_error, whose message
// takes a heap block in the standard library, where a program's counting
// operator new does not see it on every platform), so that tests can require
// a string with a manager to leave the heap alone also when the manager fails.
struct manager_failure : std::exception {
    const char* what() const noexcept override { return "injected manager failure"; }
};

class recording_manager final : public kel_std::kel_memory_manager {
public:
    std::vector<manager_call, malloc_allocator<manager_call>> calls;
    int fail_at = 0; // the k-th allocate from now (1-based) throws; 0: never
    int bad_releases = 0;

    ~recording_manager() {
        for (void* p : live_)
            std::free(p);
    }

    void* allocate(int tag, unsigned int size, const void* hint) override {
        if (fail_at > 0 && --fail_at == 0)
            throw manager_failure();
        void* p = std::malloc(size == 0 ? 1 : size);
        if (p == nullptr)
            throw std::bad_alloc();
        std::memset(p, 0xCD, size == 0 ? 1 : size);
        live_.insert(p);
        calls.push_back({manager_call::allocate, tag, size, hint, p});
        return p;
    }

    void deallocate(void* p) override {
        calls.push_back({manager_call::deallocate, 0, 0, nullptr, p});
        if (p == nullptr)
            return;
        // A pointer this manager does not hold is a double or foreign release:
        // count it instead of crashing, so that the test can report it.
        if (live_.erase(p) == 0) {
            ++bad_releases;
            return;
        }
        std::free(p);
    }

    std::size_t live_blocks() const { return live_.size(); }

private:
    std::set<void*, std::less<void*>, malloc_allocator<void*>> live_;
};

} // namespace kel_test

#endif
