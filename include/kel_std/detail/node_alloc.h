// Allocation of container nodes through an allocator rebound to the node
// type, shared by the ordered and the hashed containers.
//
// Nodes are linked by raw pointers. An allocator's `pointer` may be a class
// type (a "fancy pointer"); it is converted to a raw pointer as soon as a
// node is allocated and rebuilt with `std::pointer_traits::pointer_to` when
// the node goes back, so nothing else in a container sees it.
#ifndef KEL_STD_DETAIL_NODE_ALLOC_H
#define KEL_STD_DETAIL_NODE_ALLOC_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

/// The raw address behind an allocator's pointer.
template <class T>
T* to_raw(T* p) noexcept {
    return p;
}

/// The raw address behind a fancy pointer. Requires: not null (the
/// containers convert only what an allocator returned).
template <class Pointer>
typename std::pointer_traits<Pointer>::element_type* to_raw(const Pointer& p) noexcept {
    KEL_STD_ASSERT(p);
    return std::addressof(*p);
}

/// Node allocation for a container whose allocator is `Alloc` (the
/// allocator of its values). `Node` has a default constructor that leaves
/// the value alone, a `value_type` and `value_type& value() noexcept`.
template <class Alloc, class Node>
struct node_alloc {
    typedef typename std::allocator_traits<Alloc>::template rebind_alloc<Node> allocator_type;
    typedef std::allocator_traits<allocator_type> traits;
    typedef typename traits::pointer pointer;

    /// Memory for one node, its links and value not yet constructed.
    static Node* allocate(allocator_type& a) {
        Node* n = to_raw(traits::allocate(a, 1));
        return ::new (static_cast<void*>(n)) Node;
    }

    /// Gives back the memory of a node whose value is not (or no longer)
    /// constructed.
    static void deallocate(allocator_type& a, Node* n) noexcept {
        n->~Node();
        traits::deallocate(a, std::pointer_traits<pointer>::pointer_to(*n), 1);
    }

    /// A node holding a value constructed from `args`; on failure nothing is
    /// left allocated.
    template <class... Args>
    static Node* create(allocator_type& a, Args&&... args) {
        Node* n = allocate(a);
        KEL_STD_TRY {
            traits::construct(a, std::addressof(n->value()), std::forward<Args>(args)...);
        }
        KEL_STD_CATCH_ALL {
            deallocate(a, n);
            KEL_STD_RETHROW;
        }
        return n;
    }

    /// Destroys the value and gives back the node.
    static void destroy(allocator_type& a, Node* n) noexcept {
        traits::destroy(a, std::addressof(n->value()));
        deallocate(a, n);
    }

    /// Whether a container whose nodes come from `a` may drop them all
    /// without visiting them: their values need no destructor, and the
    /// allocator's manager frees nothing on deallocation (it frees every
    /// block at once later). Containers ask once, when destroyed or cleared.
    static bool droppable(const allocator_type& a) noexcept {
        return std::is_trivially_destructible<typename Node::value_type>::value && deallocation_skippable(a);
    }
};

/// Owns a node that has been created but not yet linked into a container:
/// destroys it unless `release()` was called. Insertions create the node
/// first (the value may be needed to find its place) and release it once it
/// is linked, so any exception on the way leaves nothing behind.
template <class Alloc, class Node>
class node_holder {
public:
    typedef node_alloc<Alloc, Node> node_alloc_type;
    typedef typename node_alloc_type::allocator_type allocator_type;

    node_holder(allocator_type& a, Node* n) noexcept : alloc_(a), node_(n) {}
    ~node_holder() {
        if (node_ != nullptr)
            node_alloc_type::destroy(alloc_, node_);
    }
    node_holder(const node_holder&) = delete;
    node_holder& operator=(const node_holder&) = delete;

    Node* get() const noexcept { return node_; }
    Node* release() noexcept {
        Node* n = node_;
        node_ = nullptr;
        return n;
    }

private:
    allocator_type& alloc_;
    Node* node_;
};

/// Assigns or swaps allocators as the propagation traits ask (tag dispatch,
/// so that allocators that do not propagate need not be assignable).
template <class A>
void propagate_copy(A& to, const A& from, std::true_type) {
    to = from;
}
template <class A>
void propagate_copy(A&, const A&, std::false_type) {}
template <class A>
void propagate_move(A& to, A& from, std::true_type) {
    to = std::move(from);
}
template <class A>
void propagate_move(A&, A&, std::false_type) {}
template <class A>
void propagate_swap(A& a, A& b, std::true_type) {
    using std::swap;
    swap(a, b);
}
template <class A>
void propagate_swap(A&, A&, std::false_type) {}

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_NODE_ALLOC_H
