// Fault injection for the containers' operations: an operation runs on a
// copy of a prepared container with a failure injected at its 1st, 2nd, 3rd
// ... event, until it completes without reaching the failure. The events
// are copies and moves of `tracked` elements (and calls of comparators that
// tick) and allocations from `test_allocator`, or the allocations of a
// `recording_manager`. After every injected failure the container must pass
// its verifier and hold exactly its elements alive; an operation with the
// strong guarantee must have left the contents, the elements' addresses and
// the capacity as they were. Once the copy is gone, no block and no element
// may be left.
//
// The operations come in tables of fault_row (tests/sequence_test.cc):
//   {"push_back at capacity", guarantee::strong, guarantee::strong,
//    [](C& c) { c.push_back(typename C::value_type(7)); },
//    [](C& c) { c.shrink_to_fit(); }}
// names what is done, what is promised when a copy or move of an element
// (or a comparator) throws, what is promised when an allocation fails, the
// operation, and optionally what is done to the copy before the failures
// are armed.
#ifndef KEL_STD_TESTS_FAULT_DRIVER_H
#define KEL_STD_TESTS_FAULT_DRIVER_H

#include "recording_manager.h"
#include "sequence_model.h"
#include "test_allocators.h"

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace kel_test {

enum class guarantee {
    basic,             // valid, leak-free, the verifier passing
    strong,            // and no effects: contents, addresses, capacity unchanged
    same_elements,     // and the same elements, in some order
    allocates_nothing, // the operation must not allocate at all
};

template <class C>
struct fault_row {
    const char* name;
    guarantee on_value_fault;
    guarantee on_allocation_fault;
    std::function<void(C&)> op;
    std::function<void(C&)> prepare;
};

// Where the failures come from.
class fault_source {
public:
    virtual ~fault_source() = default;
    virtual void arm(int n) = 0;    // the n-th event from now fails
    virtual bool fired() const = 0; // the armed event was reached
    virtual void disarm() = 0;
    virtual bool hit_allocation() const = 0;
    virtual long blocks() const = 0; // blocks held
};

// Element copies and moves, comparator calls and test_allocator allocations
// (kel_test::faults).
class value_and_allocation_faults final : public fault_source {
public:
    void arm(int n) override { faults::arm(n); }
    bool fired() const override { return faults::countdown() == 0; }
    void disarm() override { faults::disarm(); }
    bool hit_allocation() const override { return faults::hit_allocation(); }
    long blocks() const override { return live_blocks(); }
};

// The allocations of a recording manager.
class manager_faults final : public fault_source {
public:
    explicit manager_faults(recording_manager& m) : m_(m) {}
    void arm(int n) override { m_.fail_at = n; }
    bool fired() const override { return m_.fail_at == 0; }
    void disarm() override { m_.fail_at = 0; }
    bool hit_allocation() const override { return true; }
    long blocks() const override { return static_cast<long>(m_.live_blocks()) + m_.bad_releases; }

private:
    recording_manager& m_;
};

// What is wrong with `c` after a failure under `g`, given what it held
// before (`before`, at `where`, with capacity `cap`); empty when nothing is.
template <class C, class Values, class Places>
std::string fault_check(const C& c, const Values& before, const Places& where, long cap, guarantee g,
                        long live_elsewhere) {
    typedef typename C::value_type V;
    const std::string fault = structure_fault(c);
    if (!fault.empty())
        return "verifier: " + fault;
    const long n = element_count(c);
    if (live_instances<V>() >= 0 && live_instances<V>() != live_elsewhere + n)
        return "the elements alive are not the elements held";
    if (misused_instances<V>() != 0)
        return "an element was used or destroyed where it did not live";
    if (g == guarantee::strong) {
        if (n != static_cast<long>(before.size()) || !std::equal(before.begin(), before.end(), c.begin()))
            return "the contents changed";
        auto p = where.begin();
        for (const auto& v : c)
            if (std::addressof(v) != *p++)
                return "an element moved";
        if constexpr (has_capacity<C>::value) {
            if (static_cast<long>(c.capacity()) != cap)
                return "the capacity changed";
        }
    }
    if (g == guarantee::same_elements) {
        Values now(c.begin(), c.end()), then(before);
        std::sort(now.begin(), now.end());
        std::sort(then.begin(), then.end());
        if (now != then)
            return "elements were lost or made up";
    }
    return std::string();
}

// Runs `row` on copies of `prepared` with the n-th event failing, n = 1,
// 2, ..., until the operation completes without reaching the failure.
// Returns the number of events at which it failed (its injection points);
// reports through `fail` the first broken promise.
template <class C>
long inject_faults(const C& prepared, const fault_row<C>& row, fault_source& source,
                   const std::function<void(const std::string&)>& fail) {
    typedef typename C::value_type V;
    const long blocks = source.blocks(), live = live_instances<V>();
    for (int n = 1; n < 1000000; ++n) {
        bool fired;
        std::string what;
        {
            C c(prepared);
            if (row.prepare)
                row.prepare(c);
            const std::vector<V, malloc_allocator<V>> before(c.begin(), c.end());
            std::vector<const V*, malloc_allocator<const V*>> where;
            for (const auto& v : c)
                where.push_back(std::addressof(v));
            long cap = 0;
            if constexpr (has_capacity<C>::value)
                cap = static_cast<long>(c.capacity());
            bool threw = false;
            source.arm(n);
            try {
                row.op(c);
            } catch (const injected&) {
                threw = true;
            } catch (const manager_failure&) {
                threw = true;
            }
            fired = source.fired();
            source.disarm();
            const guarantee g = source.hit_allocation() ? row.on_allocation_fault : row.on_value_fault;
            if (fired && g == guarantee::allocates_nothing && source.hit_allocation())
                what = "it allocated";
            else
                what = fault_check(c, before, where, cap, threw ? g : guarantee::basic,
                                   live + static_cast<long>(before.size()));
        }
        if (what.empty() && live_instances<V>() != live)
            what = "elements were leaked or destroyed twice";
        if (what.empty() && source.blocks() != blocks)
            what = "memory blocks were leaked or released twice";
        if (!what.empty()) {
            std::ostringstream out;
            out << row.name << ", on " << element_count(prepared) << " elements, failure at event " << n << ": "
                << what;
            fail(out.str());
            return n;
        }
        if (!fired)
            return n - 1;
    }
    fail(std::string(row.name) + ": did not complete");
    return 0;
}

} // namespace kel_test

#endif
