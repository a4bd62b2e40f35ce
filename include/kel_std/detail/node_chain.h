// What list and forward_list share: their node, chains of nodes that are
// built before they are linked (so that a failure part-way leaves the
// container as it was), and a stable merge sort of singly linked chains.
//
// A chain is a run of nodes joined by their `next` links and ended by a null
// `next`; list nodes carry back links as well, which the chain builder sets
// as it goes, and which merging keeps right, a store into a node whose line
// the comparison has just read (restoring them in a pass of their own after
// sorting would visit every node once more, in an order unrelated to their
// addresses).
#ifndef KEL_STD_DETAIL_NODE_CHAIN_H
#define KEL_STD_DETAIL_NODE_CHAIN_H

#include <kel_std/config.h>
#include <kel_std/detail/node_alloc.h>

#include <cstddef>
#include <limits>
#include <memory>
#include <utility>

namespace kel_std {
namespace detail {

/// The link of a forward_list node.
struct fwd_link {
    fwd_link* next;
};

/// The links of a list node.
struct list_link {
    list_link* next;
    list_link* prev;
};

/// An element node: the links first, then the value, constructed separately.
template <class T, class Link>
struct chain_node : Link {
    typedef T value_type;
    typedef Link link_type;
    union {
        T value_;
    };
    chain_node() noexcept {}
    ~chain_node() {}
    chain_node(const chain_node&) = delete;
    chain_node& operator=(const chain_node&) = delete;
    T& value() noexcept { return value_; }
};

template <class Node, class Link>
typename Node::value_type& value_of(Link* l) noexcept {
    return static_cast<Node*>(l)->value();
}

inline void set_prev(list_link* n, list_link* p) noexcept {
    n->prev = p;
}
inline void set_prev(fwd_link*, fwd_link*) noexcept {}

/// A run of nodes from `first` to `last`, `count` of them; `last->next` is null.
template <class Link>
struct chain {
    Link* first;
    Link* last;
    std::size_t count;
};

/// Destroys the nodes from `first` up to, not including, `stop`; returns how
/// many there were.
template <class Alloc, class Node>
std::size_t destroy_chain(typename node_alloc<Alloc, Node>::allocator_type& a, typename Node::link_type* first,
                          const typename Node::link_type* stop) noexcept {
    std::size_t n = 0;
    while (first != stop) {
        typename Node::link_type* const next = first->next;
        node_alloc<Alloc, Node>::destroy(a, static_cast<Node*>(first));
        first = next;
        ++n;
    }
    return n;
}

/// Builds a chain node by node, or collects nodes that a container has
/// unlinked. Whatever it holds when it goes out of scope is destroyed, so a
/// builder that fails part-way leaves nothing behind, and one that collects
/// the nodes `remove` and `unique` take out destroys them only after the last
/// comparison (the value compared with may live in one of them).
template <class Alloc, class Node>
class chain_builder {
    typedef node_alloc<Alloc, Node> node_alloc_type;
    typedef typename Node::link_type link;

public:
    typedef typename node_alloc_type::allocator_type allocator_type;

    explicit chain_builder(allocator_type& a) noexcept : alloc_(a), first_(nullptr), last_(nullptr), count_(0) {}
    ~chain_builder() { destroy_chain<Alloc, Node>(alloc_, first_, nullptr); }
    chain_builder(const chain_builder&) = delete;
    chain_builder& operator=(const chain_builder&) = delete;

    /// Appends a new node holding a value made from `args`.
    template <class... Args>
    void emplace(Args&&... args) {
        adopt(node_alloc_type::create(alloc_, std::forward<Args>(args)...));
    }

    /// Appends `n` new nodes, each holding a value made from `args`.
    template <class... Args>
    void append_n(std::size_t n, const Args&... args) {
        for (; n != 0; --n)
            emplace(args...);
    }

    /// Appends a node per element of [first, last), in one pass.
    template <class InputIt>
    void append_range(InputIt first, InputIt last) {
        for (; first != last; ++first)
            emplace(*first);
    }

    /// Appends an existing node, which the builder then owns.
    void adopt(link* n) noexcept {
        n->next = nullptr;
        set_prev(n, last_);
        (last_ != nullptr ? last_->next : first_) = n;
        last_ = n;
        ++count_;
    }

    std::size_t count() const noexcept { return count_; }

    /// Hands the chain over to the caller; the builder is left empty.
    chain<link> release() noexcept {
        const chain<link> c = {first_, last_, count_};
        first_ = last_ = nullptr;
        count_ = 0;
        return c;
    }

private:
    allocator_type& alloc_;
    link* first_;
    link* last_;
    std::size_t count_;
};

/// `a < b`: the order of `sort()` and `merge()` without a comparator.
struct less_op {
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
        return a < b;
    }
};

/// `a == b`: the equivalence of `unique()` without a predicate.
struct equal_op {
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
        return a == b;
    }
};

/// A null-ended chain being sorted or merged, with its last node when known
/// (null when not: forward_list does not track its last node and needs it
/// from neither function below).
template <class Link>
struct run {
    Link* first;
    Link* last;
};

/// Merges the sorted run `b` into the sorted run `a`: `a` receives the
/// merged run and `b` becomes empty. Stable: of equivalent elements, those
/// of `a` come first. At most (length of a) + (length of b) - 1
/// comparisons. Back links (of list nodes) are kept right within the run,
/// the first node's excepted; the result's last node is known if both
/// inputs' were. If `less` throws, `a` still receives every node of both
/// runs (in no particular order, back links unspecified) before the
/// exception goes on.
template <class Node, class Link, class Less>
void merge_runs(run<Link>& a, run<Link>& b, Less& less) {
    Link* y = b.first;
    Link* const b_last = b.last;
    b.first = b.last = nullptr;
    if (y == nullptr)
        return;
    Link* x = a.first;
    if (x == nullptr) {
        a.first = y;
        a.last = b_last;
        return;
    }
    Link* head = nullptr;
    Link** tail = &head;
    Link* out = nullptr; // the last node linked so far
    KEL_STD_TRY {
        for (;;) {
            if (less(value_of<Node>(y), value_of<Node>(x))) {
                *tail = y;
                set_prev(y, out);
                out = y;
                tail = &y->next;
                y = y->next;
                if (y == nullptr) {
                    *tail = x;
                    set_prev(x, out);
                    break; // a's rest, and a's last, end the run
                }
            } else {
                *tail = x;
                set_prev(x, out);
                out = x;
                tail = &x->next;
                x = x->next;
                if (x == nullptr) {
                    *tail = y;
                    set_prev(y, out);
                    a.last = b_last;
                    break;
                }
            }
        }
    }
    KEL_STD_CATCH_ALL {
        // The merged part, then what is left of each run.
        *tail = x;
        while (*tail != nullptr)
            tail = &(*tail)->next;
        *tail = y;
        a.first = head;
        a.last = nullptr;
        KEL_STD_RETHROW;
    }
    a.first = head;
}

// Appends the run `c` to `to` (walking it when its last node is unknown).
template <class Link>
void append_run(run<Link>& to, const run<Link>& c) noexcept {
    if (c.first == nullptr)
        return;
    (to.first != nullptr ? to.last->next : to.first) = c.first;
    to.last = c.first;
    while (to.last->next != nullptr)
        to.last = to.last->next;
}

/// Sorts the run `r` stably: O(n log n) comparisons, no allocation, no
/// recursion. The longest non-descending prefix is taken as one run, so a
/// sorted run costs n - 1 comparisons; the rest is merged bottom-up, each
/// node joining a binary counter of runs whose k-th slot holds about 2^k
/// nodes.
/// Back links are kept as `merge_runs` keeps them; `r.last` is right
/// afterwards if it was right before. If `less` throws, `r` receives every
/// node (in no particular order, back links unspecified, last node known).
template <class Node, class Link, class Less>
void sort_run(run<Link>& r, Less& less) {
    if (r.first == nullptr)
        return;
    Link* run_end = r.first;
    std::size_t length = 1;
    while (run_end->next != nullptr && !less(value_of<Node>(run_end->next), value_of<Node>(run_end))) {
        run_end = run_end->next;
        ++length;
    }
    run<Link> rest = {run_end->next, r.last};
    if (rest.first == nullptr)
        return;
    run_end->next = nullptr;
    const run<Link> empty = {nullptr, nullptr};

    // Enough slots for any count a size_t can hold. The prefix takes the
    // slot of its size (from 2^k up to 2^(k+1) - 1 nodes in slot k), so that
    // it merges with runs of a like size: merged last, a short prefix would
    // cost a walk through most of the sorted rest.
    run<Link> bins[std::numeric_limits<std::size_t>::digits];
    int used = 0;
    for (; length > 1; length >>= 1)
        bins[used++] = empty;
    bins[used].first = r.first;
    bins[used].last = run_end;
    ++used;
    run<Link> carry = empty;
    run<Link> sorted = empty;
    KEL_STD_TRY {
        while (rest.first != nullptr) {
            carry.first = carry.last = rest.first;
            rest.first = rest.first->next;
            carry.first->next = nullptr;
            int i = 0;
            for (; i < used && bins[i].first != nullptr; ++i) {
                // The slot's nodes came first in the input: they stay first.
                merge_runs<Node>(bins[i], carry, less);
                carry = bins[i];
                bins[i] = empty;
            }
            if (i == used)
                ++used;
            bins[i] = carry;
            carry = empty;
        }
        // Higher slots hold earlier nodes.
        for (int i = 0; i < used; ++i) {
            merge_runs<Node>(bins[i], sorted, less);
            sorted = bins[i];
            bins[i] = empty;
        }
        r = sorted;
    }
    KEL_STD_CATCH_ALL {
        // Each node is in exactly one of these runs: gather them.
        r = empty;
        append_run(r, carry);
        for (int i = 0; i < used; ++i)
            append_run(r, bins[i]);
        append_run(r, sorted);
        append_run(r, rest);
        KEL_STD_RETHROW;
    }
}

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_NODE_CHAIN_H
