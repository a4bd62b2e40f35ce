// The tree benchmarks' shared parts: one policy per implementation (how to
// reach a node's links, and which library call links, unlinks or steps) and
// one harness that does the container's part for all of them (owning the
// nodes and descending from the root comparing int keys). Node records have
// the same size for every peer (three pointers, a colour word and the key).
#ifndef KEL_STD_BENCH_TREE_POLICIES_H
#define KEL_STD_BENCH_TREE_POLICIES_H

#include <kel_std/tree.h>

#include <bits/stl_tree.h>

#if defined(KEL_STD_BENCH_HAVE_BOOST)
#include <boost/intrusive/detail/rbtree_node.hpp>
#include <boost/intrusive/rbtree_algorithms.hpp>
#endif

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <random>
#include <vector>

namespace kel_bench {

// ---- libkel_std ----------------------------------------------------------
struct kel_policy {
    struct node {
        kel_std::kel_tree_node link;
        int key;
    };
    kel_std::kel_tree_node header;
    kel_std::kel_tree_node nil;

    kel_policy() {
        kel_std::kel_tree_aux::init_nil(&nil);
        clear();
    }
    void clear() {
        header.color = kel_std::kel_tree_node::red;
        header.parent = &nil;
        header.left = header.right = &header;
    }
    typedef kel_std::kel_tree_node* link_ptr;
    link_ptr root() const { return header.parent; }
    bool is_leaf(link_ptr p) const { return p == &nil; }
    static link_ptr left(link_ptr p) { return p->left; }
    static link_ptr right(link_ptr p) { return p->right; }
    static int key(link_ptr p) { return reinterpret_cast<node*>(p)->key; }
    link_ptr head() { return &header; }
    static link_ptr link_of(node& n) { return &n.link; }

    void insert(bool left, link_ptr parent, node& n) {
        kel_std::kel_tree_aux::insert(left, nullptr, parent, &n.link, header.right, header.left, header.parent, &header,
                                      &nil);
    }
    void erase(node& n) {
        kel_std::kel_tree_aux::erase(&n.link, header.right, header.left, header.parent, &header, &nil);
    }
    link_ptr first() const { return header.left; }
    link_ptr last() const { return header.right; }
    link_ptr next(link_ptr p) {
        kel_std::kel_tree_aux::increment(p, &nil);
        return p;
    }
    link_ptr prev(link_ptr p) {
        kel_std::kel_tree_aux::decrement(p, &nil);
        return p;
    }
};

// ---- libstdc++ -------------------------------------------------------------
struct std_policy {
    struct node : std::_Rb_tree_node_base {
        int key;
    };
    std::_Rb_tree_node_base header;

    std_policy() { clear(); }
    void clear() {
        header._M_color = std::_S_red;
        header._M_parent = nullptr;
        header._M_left = header._M_right = &header;
    }
    typedef std::_Rb_tree_node_base* link_ptr;
    link_ptr root() const { return header._M_parent; }
    static bool is_leaf(link_ptr p) { return p == nullptr; }
    static link_ptr left(link_ptr p) { return p->_M_left; }
    static link_ptr right(link_ptr p) { return p->_M_right; }
    static int key(link_ptr p) { return static_cast<node*>(p)->key; }
    link_ptr head() { return &header; }
    static link_ptr link_of(node& n) { return &n; }

    void insert(bool left, link_ptr parent, node& n) { std::_Rb_tree_insert_and_rebalance(left, &n, parent, header); }
    void erase(node& n) { std::_Rb_tree_rebalance_for_erase(&n, header); }
    link_ptr first() const { return header._M_left; }
    link_ptr last() const { return header._M_right; }
    static link_ptr next(link_ptr p) { return std::_Rb_tree_increment(p); }
    static link_ptr prev(link_ptr p) { return std::_Rb_tree_decrement(p); }
};

#if defined(KEL_STD_BENCH_HAVE_BOOST)
// ---- Boost.Intrusive -------------------------------------------------------
struct boost_policy {
    typedef boost::intrusive::rbtree_node_traits<void*, false> traits;
    typedef boost::intrusive::rbtree_algorithms<traits> algo;
    struct node : traits::node {
        int key;
    };
    traits::node header;

    boost_policy() { clear(); }
    void clear() { algo::init_header(&header); }
    typedef traits::node_ptr link_ptr;
    link_ptr root() const { return traits::get_parent(&header); }
    static bool is_leaf(link_ptr p) { return p == nullptr; }
    static link_ptr left(link_ptr p) { return traits::get_left(p); }
    static link_ptr right(link_ptr p) { return traits::get_right(p); }
    static int key(link_ptr p) { return static_cast<node*>(p)->key; }
    link_ptr head() { return &header; }
    static link_ptr link_of(node& n) { return &n; }

    void insert(bool left, link_ptr parent, node& n) {
        algo::insert_commit_data data;
        data.link_left = left;
        data.node = parent;
        algo::insert_unique_commit(&header, &n, data);
    }
    void erase(node& n) { algo::erase(&header, &n); }
    link_ptr first() const { return traits::get_left(&header); }
    link_ptr last() const { return traits::get_right(&header); }
    static link_ptr next(link_ptr p) { return algo::next_node(p); }
    static link_ptr prev(link_ptr p) { return algo::prev_node(p); }
};
#endif

// ---- the shared container part -------------------------------------------
template <class Policy>
struct harness {
    typedef typename Policy::node node;
    typedef typename Policy::link_ptr link_ptr;
    Policy tree;
    std::vector<node> nodes;

    explicit harness(const std::vector<int>& keys) : nodes(keys.size()) {
        for (std::size_t i = 0; i < keys.size(); ++i)
            nodes[i].key = keys[i];
    }

    // The descent every ordered container does: equal keys go right.
    void insert(node& n) {
        link_ptr parent = tree.head();
        bool left = true;
        for (link_ptr x = tree.root(); !tree.is_leaf(x);) {
            parent = x;
            left = n.key < Policy::key(x);
            x = left ? Policy::left(x) : Policy::right(x);
        }
        tree.insert(left, parent, n);
    }
    void insert_all() {
        for (node& n : nodes)
            insert(n);
    }
    // Only the descent, for subtracting the container's share.
    link_ptr descend(int key) {
        link_ptr parent = tree.head();
        for (link_ptr x = tree.root(); !tree.is_leaf(x);) {
            parent = x;
            x = key < Policy::key(x) ? Policy::left(x) : Policy::right(x);
        }
        return parent;
    }
};

inline std::vector<int> shuffled_keys(std::size_t n, unsigned seed) {
    std::vector<int> keys(n);
    std::iota(keys.begin(), keys.end(), 0);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
    return keys;
}

inline std::vector<int> ascending_keys(std::size_t n) {
    std::vector<int> keys(n);
    std::iota(keys.begin(), keys.end(), 0);
    return keys;
}

} // namespace kel_bench

#endif
