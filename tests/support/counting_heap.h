// Replaced global operator new/delete for the tests that link
// counting_heap.cc: they count and log calls while a heap_watch is active,
// poison fresh blocks (so that zero-filling is really the library's work) and
// can fail on demand.
#ifndef KEL_STD_TESTS_COUNTING_HEAP_H
#define KEL_STD_TESTS_COUNTING_HEAP_H

#include <cstddef>

namespace kel_test {

// Every byte of a block from the replaced operator new starts as this value.
const unsigned char heap_poison = 0xAB;

struct heap_event {
    bool is_new;
    void* pointer;
    std::size_t size; // requested size for new; 0 for delete
};

// Counts and logs heap calls for its lifetime (scopes do not nest).
class heap_watch {
public:
    heap_watch();
    ~heap_watch();
    heap_watch(const heap_watch&) = delete;
    heap_watch& operator=(const heap_watch&) = delete;

    // Makes the k-th operator new from now (1-based) throw std::bad_alloc;
    // 0 disables failure.
    void fail_new_at(int k);

    int news() const;
    int deletes() const;      // deletes of non-null pointers
    int null_deletes() const; // deletes of a null pointer
    std::size_t events() const;
    const heap_event& event(std::size_t i) const;
    // The k-th operator new (0-based) among the logged events.
    const heap_event& nth_new(std::size_t k) const;
};

} // namespace kel_test

#endif
