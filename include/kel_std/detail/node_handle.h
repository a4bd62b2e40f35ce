// Node handles: the `node_type` of the ordered and the hashed containers.
//
// A node handle owns one node that has been extracted from a container,
// together with a copy of the container's allocator, and gives it back to
// another container of a compatible kind (map and multimap, set and
// multiset, and their hashed counterparts) without copying or allocating.
#ifndef KEL_STD_DETAIL_NODE_HANDLE_H
#define KEL_STD_DETAIL_NODE_HANDLE_H

#include <kel_std/config.h>
#include <kel_std/detail/node_alloc.h>

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

// The allocator lives in a union and is constructed exactly while a node is
// held; g++ cannot follow that through moves of handles and warns that it
// may be read uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace kel_std {
namespace detail {

struct node_handle_access;

/// What every node handle has: the node (or none) and, while there is a
/// node, the allocator it came from.
template <class Node, class Alloc>
class node_handle_base {
    typedef std::allocator_traits<Alloc> alloc_traits;

public:
    /// The allocator of the container the node came from.
    typedef Alloc allocator_type;

    /// Whether the handle holds no node.
    bool empty() const noexcept { return node_ == nullptr; }
    /// Whether the handle holds a node.
    explicit operator bool() const noexcept { return node_ != nullptr; }

    /// The allocator of the node's container. Requires: not empty.
    allocator_type get_allocator() const {
        KEL_STD_ASSERT(!empty());
        return alloc_;
    }

protected:
    node_handle_base() noexcept : node_(nullptr) {}
    node_handle_base(Node* n, const Alloc& a) noexcept : node_(n) { ::new (static_cast<void*>(&alloc_)) Alloc(a); }

    node_handle_base(node_handle_base&& other) noexcept : node_(other.node_) {
        if (node_ != nullptr) {
            ::new (static_cast<void*>(&alloc_)) Alloc(std::move(other.alloc_));
            other.alloc_.~Alloc();
            other.node_ = nullptr;
        }
    }

    // Destroys the node held, if any, then takes over `other`'s node. The
    // allocator is taken along when the handle had none or when it
    // propagates on move assignment; otherwise the two must be equal, as the
    // standard requires of node handles.
    node_handle_base& operator=(node_handle_base&& other) noexcept {
        if (this == &other)
            return *this;
        if (node_ != nullptr) {
            destroy_node();
            if (other.node_ == nullptr || alloc_traits::propagate_on_container_move_assignment::value) {
                alloc_.~Alloc();
                node_ = nullptr;
            } else {
                KEL_STD_ASSERT(alloc_ == other.alloc_);
            }
        }
        if (other.node_ != nullptr) {
            if (node_ == nullptr)
                ::new (static_cast<void*>(&alloc_)) Alloc(std::move(other.alloc_));
            node_ = other.node_;
            other.alloc_.~Alloc();
            other.node_ = nullptr;
        }
        return *this;
    }

    ~node_handle_base() {
        if (node_ != nullptr) {
            destroy_node();
            alloc_.~Alloc();
        }
    }

    // Exchanges nodes; the allocators go along when either handle is empty
    // or when they propagate on swap.
    void swap_with(node_handle_base& other) noexcept {
        if (node_ != nullptr && other.node_ != nullptr) {
            propagate_swap(alloc_, other.alloc_,
                           std::integral_constant<bool, alloc_traits::propagate_on_container_swap::value>());
        } else if (node_ != nullptr) {
            ::new (static_cast<void*>(&other.alloc_)) Alloc(std::move(alloc_));
            alloc_.~Alloc();
        } else if (other.node_ != nullptr) {
            ::new (static_cast<void*>(&alloc_)) Alloc(std::move(other.alloc_));
            other.alloc_.~Alloc();
        }
        std::swap(node_, other.node_);
    }

    Node* node_;
    // Constructed exactly while node_ is not null.
    union {
        Alloc alloc_;
    };

private:
    friend struct node_handle_access;

    void destroy_node() noexcept {
        typename node_alloc<Alloc, Node>::allocator_type node_allocator(alloc_);
        node_alloc<Alloc, Node>::destroy(node_allocator, node_);
    }
};

/// The node handle of the set kinds: `value()`.
template <class Node, class Alloc>
class set_node_handle : public node_handle_base<Node, Alloc> {
    typedef node_handle_base<Node, Alloc> base;

public:
    /// The element type.
    typedef typename Node::value_type value_type;

    /// An empty handle.
    set_node_handle() noexcept {}
    /// Takes over `other`'s node; `other` becomes empty.
    set_node_handle(set_node_handle&& other) noexcept : base(std::move(other)) {}
    /// Destroys the node held, then takes over `other`'s.
    set_node_handle& operator=(set_node_handle&& other) noexcept {
        base::operator=(std::move(other));
        return *this;
    }

    /// The element. Requires: not empty.
    value_type& value() const {
        KEL_STD_ASSERT(this->node_ != nullptr);
        return this->node_->value();
    }

    /// Exchanges the nodes (and the allocators where they propagate).
    void swap(set_node_handle& other) noexcept { this->swap_with(other); }
    /// Exchanges the nodes of `a` and `b`.
    friend void swap(set_node_handle& a, set_node_handle& b) noexcept { a.swap(b); }

private:
    friend struct node_handle_access;
    set_node_handle(Node* n, const Alloc& a) noexcept : base(n, a) {}
};

/// The node handle of the map kinds: `key()` and `mapped()`.
template <class Node, class Alloc>
class map_node_handle : public node_handle_base<Node, Alloc> {
    typedef node_handle_base<Node, Alloc> base;

public:
    /// The key type (without the `const` it has inside the container).
    typedef typename std::remove_const<typename Node::value_type::first_type>::type key_type;
    /// The mapped type.
    typedef typename Node::value_type::second_type mapped_type;

    /// An empty handle.
    map_node_handle() noexcept {}
    /// Takes over `other`'s node; `other` becomes empty.
    map_node_handle(map_node_handle&& other) noexcept : base(std::move(other)) {}
    /// Destroys the node held, then takes over `other`'s.
    map_node_handle& operator=(map_node_handle&& other) noexcept {
        base::operator=(std::move(other));
        return *this;
    }

    /// The key; it may be changed while the node is outside any container.
    /// Requires: not empty.
    key_type& key() const {
        KEL_STD_ASSERT(this->node_ != nullptr);
        return const_cast<key_type&>(this->node_->value().first);
    }
    /// The mapped value. Requires: not empty.
    mapped_type& mapped() const {
        KEL_STD_ASSERT(this->node_ != nullptr);
        return this->node_->value().second;
    }

    /// Exchanges the nodes (and the allocators where they propagate).
    void swap(map_node_handle& other) noexcept { this->swap_with(other); }
    /// Exchanges the nodes of `a` and `b`.
    friend void swap(map_node_handle& a, map_node_handle& b) noexcept { a.swap(b); }

private:
    friend struct node_handle_access;
    map_node_handle(Node* n, const Alloc& a) noexcept : base(n, a) {}
};

/// The result of inserting a node handle into a container with unique keys.
template <class Iterator, class NodeHandle>
struct node_insert_return {
    Iterator position; ///< The inserted element, or the one that blocked it.
    bool inserted;     ///< Whether the node was inserted.
    NodeHandle node;   ///< Empty when inserted; else the node handed back.
};

/// The containers' way into node handles: make one from an unlinked node,
/// look at its node, and take the node back out of it.
struct node_handle_access {
    template <class Handle, class Node, class Alloc>
    static Handle make(Node* n, const Alloc& a) noexcept {
        return Handle(n, a);
    }
    template <class Handle>
    static auto node(const Handle& h) noexcept -> decltype(h.node_) {
        return h.node_;
    }
    // Leaves the handle empty; the caller now owns the node.
    template <class Handle>
    static auto release(Handle& h) noexcept -> decltype(h.node_) {
        typedef typename Handle::allocator_type alloc_type;
        auto n = h.node_;
        h.node_ = nullptr;
        h.alloc_.~alloc_type();
        return n;
    }
};

} // namespace detail
} // namespace kel_std

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif // KEL_STD_DETAIL_NODE_HANDLE_H
