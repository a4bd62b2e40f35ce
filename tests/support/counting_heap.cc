#include "support/counting_heap.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace kel_test {
namespace {

// Plain globals only: the allocation functions must not allocate themselves.
bool watching = false;
int fail_countdown = 0;
int new_count = 0;
int delete_count = 0;
int null_delete_count = 0;
const std::size_t max_events = 4096;
heap_event log[max_events];
std::size_t log_size = 0;

void record(bool is_new, void* p, std::size_t size) {
    if (log_size < max_events)
        log[log_size++] = heap_event{is_new, p, size};
}

void* allocate(std::size_t size) {
    if (watching) {
        if (fail_countdown > 0 && --fail_countdown == 0)
            throw std::bad_alloc();
        ++new_count;
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    std::memset(p, heap_poison, size == 0 ? 1 : size);
    if (watching)
        record(true, p, size);
    return p;
}

void release(void* p) {
    if (watching) {
        if (p == nullptr)
            ++null_delete_count;
        else
            ++delete_count;
        record(false, p, 0);
    }
    std::free(p);
}

} // namespace

heap_watch::heap_watch() {
    new_count = delete_count = null_delete_count = 0;
    fail_countdown = 0;
    log_size = 0;
    watching = true;
}
heap_watch::~heap_watch() {
    watching = false;
    fail_countdown = 0;
}
void heap_watch::fail_new_at(int k) {
    fail_countdown = k;
}
int heap_watch::news() const {
    return new_count;
}
int heap_watch::deletes() const {
    return delete_count;
}
int heap_watch::null_deletes() const {
    return null_delete_count;
}
std::size_t heap_watch::events() const {
    return log_size;
}
const heap_event& heap_watch::event(std::size_t i) const {
    return log[i];
}
const heap_event& heap_watch::nth_new(std::size_t k) const {
    for (std::size_t i = 0; i < log_size; ++i)
        if (log[i].is_new && k-- == 0)
            return log[i];
    static const heap_event none{false, nullptr, 0};
    return none;
}

} // namespace kel_test

void* operator new(std::size_t size) {
    return kel_test::allocate(size);
}
void* operator new[](std::size_t size) {
    return kel_test::allocate(size);
}
void operator delete(void* p) noexcept {
    kel_test::release(p);
}
void operator delete[](void* p) noexcept {
    kel_test::release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    kel_test::release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    kel_test::release(p);
}
