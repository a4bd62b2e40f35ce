// A structure verifier for list and forward_list, for tests and for
// debugging: the links agree both ways, the first node's back link is null,
// the sentinel closes the list, the count equals the walk. It never loops
// or follows a null link on a damaged list: a list walk stops after size()
// nodes, and a forward_list, which keeps no count, is checked for a cycle by
// two walkers at different speeds.
#ifndef KEL_STD_DETAIL_LIST_CHECK_H
#define KEL_STD_DETAIL_LIST_CHECK_H

#include <kel_std/forward_list.h>
#include <kel_std/list.h>

#include <cstddef>
#include <sstream>
#include <string>

namespace kel_std {
namespace detail {

struct list_inspector {
    /// An empty string when `l` is sound; otherwise a description of the
    /// first fault found. Linear in the size.
    template <class T, class A>
    static std::string check(const list<T, A>& l) {
        const list_link* const s = &l.impl_.sentinel;
        const std::size_t size = l.impl_.size;
        std::ostringstream fault;
        if (s->next == nullptr)
            return "the sentinel's forward link is null";
        if (size == 0) {
            if (s->next != s || s->prev != nullptr)
                return "an empty list's sentinel is not in the empty state";
            return std::string();
        }
        if (s->next == s || s->prev == nullptr) {
            fault << "a list of size " << size << " has a sentinel in the empty state";
            return fault.str();
        }
        const list_link* prev = nullptr;
        std::size_t n = 0;
        for (const list_link* x = s->next; x != s; x = x->next) {
            if (x == nullptr) {
                fault << "the forward link of node " << n - 1 << " is null";
                return fault.str();
            }
            if (n == size) {
                fault << "the walk does not return to the sentinel within size() = " << size
                      << " nodes (a cycle, or a wrong count)";
                return fault.str();
            }
            if (x->prev != prev) {
                fault << "the back link of node " << n
                      << (n == 0 ? " is not null (the first node's)" : " is not its predecessor");
                return fault.str();
            }
            prev = x;
            ++n;
        }
        if (n != size) {
            fault << "size() is " << size << " but the walk counts " << n << " nodes";
            return fault.str();
        }
        if (s->prev != prev)
            return "the sentinel's back link is not the last node";
        return std::string();
    }

    /// An empty string when `l` is sound (its links end in a null one,
    /// without a cycle); otherwise what is wrong. Linear in the length.
    template <class T, class A>
    static std::string check(const forward_list<T, A>& l) {
        const fwd_link* slow = &l.impl_.head;
        const fwd_link* fast = slow;
        while (fast->next != nullptr && fast->next->next != nullptr) {
            slow = slow->next;
            fast = fast->next->next;
            if (slow == fast)
                return "the links form a cycle";
        }
        return std::string();
    }
};

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_LIST_CHECK_H
