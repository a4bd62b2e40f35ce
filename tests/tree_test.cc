// Tests of the red-black tree algorithms: edge cases of every function,
// randomized model-based runs and exhaustive runs over small trees, with the
// full invariant checker after every operation.
#include "support/tree_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

using kel_std::kel_tree_aux;
using kel_std::kel_tree_node;
using kel_test::check_tree;
using kel_test::int_node;
using kel_test::int_tree;
using kel_test::key_of;
using kel_test::tie_side;

// The record layout is shared with compiled client code.
static_assert(std::is_standard_layout<kel_tree_node>::value, "node must be standard layout");
static_assert(std::is_trivially_destructible<kel_tree_node>::value, "node has no destructor of its own");
static_assert(sizeof(kel_tree_node::color) == 4, "color is a 32-bit word");
static_assert(offsetof(kel_tree_node, color) == 0, "color comes first");
static_assert(offsetof(kel_tree_node, parent) == sizeof(void*), "parent follows color, pointer-aligned");
static_assert(offsetof(kel_tree_node, left) == 2 * sizeof(void*), "left follows parent");
static_assert(offsetof(kel_tree_node, right) == 3 * sizeof(void*), "right follows left");
static_assert(sizeof(kel_tree_node) == 4 * sizeof(void*), "no members beyond the four");
static_assert(kel_tree_node::red == 0 && kel_tree_node::black == 1, "colour values");
static_assert(std::is_empty<kel_tree_aux>::value, "kel_tree_aux holds no data");

namespace {

std::vector<int> sorted(std::multiset<int> const& m) {
    return std::vector<int>(m.begin(), m.end());
}

// Shape, colours and keys in pre-order; "." for the sentinel.
std::string shape(int_tree& t) {
    std::string out;
    std::vector<kel_tree_node*> stack{t.header.parent};
    while (!stack.empty()) {
        kel_tree_node* x = stack.back();
        stack.pop_back();
        if (x == &t.nil) {
            out += ". ";
            continue;
        }
        out += std::to_string(key_of(x)) + (x->color == kel_tree_node::red ? "r " : "b ");
        stack.push_back(x->right);
        stack.push_back(x->left);
    }
    return out;
}

kel_tree_node* garbage_pointer() {
    return reinterpret_cast<kel_tree_node*>(static_cast<std::uintptr_t>(0xfeedface0badf00dull));
}

// Where erase must leave the sentinel's parent for `node`, or nullptr when
// the child that moves up is an element node and the sentinel stays untouched.
kel_tree_node* expected_sentinel_parent(int_tree& t, kel_tree_node* node) {
    kel_tree_node* const nil = &t.nil;
    if (node->left == nil || node->right == nil) {
        kel_tree_node* replacement = node->left == nil ? node->right : node->left;
        return replacement == nil ? node->parent : nullptr;
    }
    kel_tree_node* successor = node->right;
    while (successor->left != nil)
        successor = successor->left;
    if (successor->right != nil)
        return nullptr;
    return successor == node->right ? successor : successor->parent;
}

} // namespace

TEST(tree_node, init_nil_sets_black_and_null_links_and_uninit_nil_changes_nothing) {
    kel_tree_node n;
    n.color = 7;
    n.parent = n.left = n.right = garbage_pointer();
    kel_tree_aux::init_nil(&n);
    EXPECT_EQ(n.color, 1u);
    EXPECT_EQ(n.parent, nullptr);
    EXPECT_EQ(n.left, nullptr);
    EXPECT_EQ(n.right, nullptr);

    n.color = 0;
    n.parent = &n;
    kel_tree_aux::uninit_nil(&n);
    EXPECT_EQ(n.color, 0u);
    EXPECT_EQ(n.parent, &n);
    EXPECT_EQ(n.left, nullptr);
    EXPECT_EQ(n.right, nullptr);
}

TEST(tree_node, copy_assignment_copies_all_four_members_and_aux_assignment_copies_nothing) {
    kel_tree_node a, b, c, d;
    a.color = 1;
    a.parent = &b;
    a.left = &c;
    a.right = &d;
    kel_tree_node target;
    target.color = 0;
    target.parent = target.left = target.right = nullptr;
    kel_tree_node& result = (target = a);
    EXPECT_EQ(&result, &target);
    EXPECT_EQ(target.color, 1u);
    EXPECT_EQ(target.parent, &b);
    EXPECT_EQ(target.left, &c);
    EXPECT_EQ(target.right, &d);

    kel_tree_aux x, y;
    EXPECT_EQ(&(x = y), &x);
}

TEST(tree_navigation, minimum_and_maximum_of_sentinel_leaf_and_root) {
    int_tree t;
    for (int k : {50, 25, 75, 10, 30, 60, 90})
        t.insert(k);
    EXPECT_EQ(kel_tree_aux::minimum(&t.nil, &t.header, &t.nil), &t.header);
    EXPECT_EQ(kel_tree_aux::maximum(&t.nil, &t.header, &t.nil), &t.header);
    kel_tree_node* leaf = t.find(30);
    ASSERT_EQ(leaf->left, &t.nil);
    ASSERT_EQ(leaf->right, &t.nil);
    EXPECT_EQ(kel_tree_aux::minimum(leaf, &t.header, &t.nil), leaf);
    EXPECT_EQ(kel_tree_aux::maximum(leaf, &t.header, &t.nil), leaf);
    EXPECT_EQ(kel_tree_aux::minimum(t.header.parent, &t.header, &t.nil), t.header.left);
    EXPECT_EQ(kel_tree_aux::maximum(t.header.parent, &t.header, &t.nil), t.header.right);
    EXPECT_EQ(key_of(t.header.left), 10);
    EXPECT_EQ(key_of(t.header.right), 90);
    EXPECT_EQ(kel_tree_aux::minimum(t.find(75), &t.header, &t.nil), t.find(60));
}

TEST(tree_navigation, one_node_tree_steps_and_erasure_back_to_empty) {
    int_tree t;
    int_node* n = new int_node;
    n->key = 1;
    n->link.color = 0x55;
    t.insert_node(n);
    kel_tree_node* const r = &n->link;
    EXPECT_EQ(t.header.parent, r);
    EXPECT_EQ(t.header.left, r);
    EXPECT_EQ(t.header.right, r);
    EXPECT_EQ(t.header.color, kel_tree_node::red);
    EXPECT_EQ(r->color, kel_tree_node::black);
    EXPECT_EQ(r->parent, &t.header);
    EXPECT_EQ(r->left, &t.nil);
    EXPECT_EQ(r->right, &t.nil);

    kel_tree_node* it = r;
    kel_tree_aux::increment(it, &t.nil);
    EXPECT_EQ(it, &t.header) << "one step forward from the only node";
    kel_tree_aux::decrement(it, &t.nil);
    EXPECT_EQ(it, r) << "one step back from the header";
    kel_tree_aux::decrement(it, &t.nil);
    EXPECT_EQ(it, r) << "one step back from a root that is the leftmost node yields that node";

    t.nil.parent = nullptr;
    EXPECT_EQ(t.unlink(r), r);
    delete n;
    EXPECT_EQ(t.header.parent, &t.nil);
    EXPECT_EQ(t.header.left, &t.header);
    EXPECT_EQ(t.header.right, &t.header);
    EXPECT_EQ(t.nil.parent, &t.header) << "the last erasure leaves the sentinel's parent at the header";
    EXPECT_EQ(t.nil.color, kel_tree_node::black);
    EXPECT_EQ(check_tree(t, {}), "");
}

TEST(tree_navigation, step_back_from_leftmost_leaves_the_range) {
    int_tree t;
    for (int k : {2, 1, 3})
        t.insert(k);
    kel_tree_node* it = t.header.left;
    kel_tree_aux::decrement(it, &t.nil);
    EXPECT_EQ(it, &t.header) << "root has a left subtree";

    // Root with only a right child: the root is the leftmost node.
    int_tree u;
    u.insert(1);
    u.insert(2);
    ASSERT_EQ(u.header.parent, u.header.left);
    it = u.header.left;
    kel_tree_aux::decrement(it, &u.nil);
    EXPECT_EQ(it, u.header.left);
}

TEST(tree_navigation, step_forward_from_rightmost_yields_header_in_every_shape) {
    // Root with a right subtree.
    int_tree a;
    for (int k : {2, 1, 3})
        a.insert(k);
    kel_tree_node* it = a.header.right;
    kel_tree_aux::increment(it, &a.nil);
    EXPECT_EQ(it, &a.header);

    // Root with only a left child: the root is the rightmost node.
    int_tree b;
    b.insert(2);
    b.insert(1);
    ASSERT_EQ(b.header.parent, b.header.right);
    it = b.header.right;
    kel_tree_aux::increment(it, &b.nil);
    EXPECT_EQ(it, &b.header);
    kel_tree_aux::decrement(it, &b.nil);
    EXPECT_EQ(it, b.header.right);
}

TEST(tree_insert, leftmost_and_rightmost_move_only_at_the_ends) {
    int_tree t;
    for (int k : {50, 25, 75})
        t.insert(k);
    kel_tree_node* const first = t.header.left;
    kel_tree_node* const last = t.header.right;

    t.insert(60); // inside: neither extreme moves
    EXPECT_EQ(t.header.left, first);
    EXPECT_EQ(t.header.right, last);
    t.insert(30);
    EXPECT_EQ(t.header.left, first);
    EXPECT_EQ(t.header.right, last);

    kel_tree_node* n = t.insert(10); // left of the leftmost
    EXPECT_EQ(t.header.left, n);
    EXPECT_EQ(t.header.right, last);
    kel_tree_node* m = t.insert(99); // right of the rightmost
    EXPECT_EQ(t.header.right, m);
    EXPECT_EQ(t.header.left, n);
    EXPECT_EQ(check_tree(t, {10, 25, 30, 50, 60, 75, 99}), "");
}

TEST(tree_insert, ascending_keys_stay_balanced_with_extremes_maintained) {
    int_tree t;
    std::vector<int> model;
    kel_tree_node* first = nullptr;
    for (int k = 0; k < 2000; ++k) {
        kel_tree_node* n = t.insert(k);
        if (k == 0)
            first = n;
        model.push_back(k);
        ASSERT_EQ(t.header.right, n) << "key " << k;
        ASSERT_EQ(t.header.left, first) << "key " << k;
        if (k < 200 || k % 97 == 0) {
            ASSERT_EQ(check_tree(t, model), "") << "after key " << k;
        }
    }
    // Height bound of a red-black tree: at most 2 log2(n + 1).
    int height = 0;
    for (kel_tree_node* x = t.header.left; x != &t.header; x = x->parent)
        ++height;
    EXPECT_LE(height, 22);
    EXPECT_EQ(check_tree(t, model), "");
}

TEST(tree_insert, ignored_argument_and_garbage_in_new_node_make_no_difference) {
    std::mt19937 rng(7);
    std::vector<int> keys(300);
    for (int& k : keys)
        k = static_cast<int>(rng() % 100);

    int_tree reference;
    for (int k : keys)
        reference.insert(k);

    kel_tree_node* const ignored_values[] = {nullptr, garbage_pointer()};
    for (kel_tree_node* ignored : ignored_values) {
        int_tree t;
        for (int k : keys) {
            int_node* n = new int_node;
            n->key = k;
            n->link.color = 0xa5a5a5a5u;
            n->link.parent = n->link.left = n->link.right = garbage_pointer();
            t.insert_node(n, tie_side::after, ignored);
        }
        EXPECT_EQ(shape(t), shape(reference));
    }
    int_tree t;
    for (int k : keys) {
        int_node* n = new int_node;
        n->key = k;
        t.insert_node(n, tie_side::after, &t.nil);
    }
    EXPECT_EQ(shape(t), shape(reference)) << "ignored = the sentinel";
}

TEST(tree_rotate, about_the_root_moves_the_root_slot_only) {
    int_tree t;
    for (int k : {4, 2, 6, 1, 3, 5, 7})
        t.insert(k);
    kel_tree_node* const root = t.header.parent;
    kel_tree_node* const pivot = root->right;
    kel_tree_node* const inner = pivot->left; // 5
    kel_tree_node* const first = t.header.left;
    kel_tree_node* const last = t.header.right;

    kel_tree_aux::rotate_left(root, t.header.parent, &t.nil);
    EXPECT_EQ(t.header.parent, pivot);
    EXPECT_EQ(pivot->parent, &t.header);
    EXPECT_EQ(pivot->left, root);
    EXPECT_EQ(root->parent, pivot);
    EXPECT_EQ(root->right, inner);
    EXPECT_EQ(inner->parent, root);
    EXPECT_EQ(t.header.left, first);
    EXPECT_EQ(t.header.right, last);
    EXPECT_EQ(key_of(pivot->right), 7);

    kel_tree_aux::rotate_right(pivot, t.header.parent, &t.nil);
    EXPECT_EQ(t.header.parent, root);
    EXPECT_EQ(root->parent, &t.header);
    EXPECT_EQ(root->right, pivot);
    EXPECT_EQ(pivot->left, inner);
    EXPECT_EQ(inner->parent, pivot);
    EXPECT_EQ(t.header.left, first);
    EXPECT_EQ(t.header.right, last);
    EXPECT_EQ(check_tree(t, {1, 2, 3, 4, 5, 6, 7}), "") << "a rotation and its inverse restore the tree";
}

TEST(tree_rotate, inner_sentinel_child_leaves_sentinel_parent_alone) {
    int_tree t;
    for (int k : {2, 1, 3})
        t.insert(k);
    kel_tree_node* const marker = garbage_pointer();
    t.nil.parent = marker;
    kel_tree_node* root = t.header.parent;
    kel_tree_node* pivot = root->right;
    ASSERT_EQ(pivot->left, &t.nil);
    kel_tree_aux::rotate_left(root, t.header.parent, &t.nil);
    EXPECT_EQ(t.nil.parent, marker);
    EXPECT_EQ(root->right, &t.nil);
    EXPECT_EQ(t.nil.left, nullptr);
    EXPECT_EQ(t.nil.right, nullptr);
    kel_tree_aux::rotate_right(pivot, t.header.parent, &t.nil);
    EXPECT_EQ(t.nil.parent, marker);

    // Rotation below the root: the parent's child link is rewritten.
    kel_tree_node* left_child = t.header.parent->left; // 1, a leaf
    kel_tree_aux::insert(false, nullptr, left_child, &(new int_node{{}, 1})->link, t.header.right, t.header.left,
                         t.header.parent, &t.header, &t.nil);
    kel_tree_node* grand = left_child->right;
    kel_tree_aux::rotate_left(left_child, t.header.parent, &t.nil);
    EXPECT_EQ(t.header.parent->left, grand);
    EXPECT_EQ(grand->parent, t.header.parent);
    EXPECT_EQ(t.nil.parent, marker);
    kel_tree_aux::rotate_right(grand, t.header.parent, &t.nil);
    EXPECT_EQ(t.header.parent->left, left_child);
}

TEST(tree_erase, red_leaf_needs_no_rebalancing_but_writes_sentinel_parent) {
    int_tree t;
    for (int k : {2, 1, 3})
        t.insert(k);
    kel_tree_node* leaf = t.find(3);
    ASSERT_EQ(leaf->color, kel_tree_node::red);
    t.nil.parent = nullptr;
    kel_tree_node* parent = leaf->parent;
    t.erase(leaf);
    EXPECT_EQ(t.nil.parent, parent);
    EXPECT_EQ(shape(t), "2b 1r . . . ");
    EXPECT_EQ(check_tree(t, {1, 2}), "");
}

TEST(tree_erase, two_children_relinks_successor_and_returns_node_with_old_links) {
    int_tree t;
    for (int k : {50, 25, 75, 10, 30, 60, 90, 55, 65})
        t.insert(k);
    std::multiset<int> model{50, 25, 75, 10, 30, 60, 90, 55, 65};
    ASSERT_EQ(check_tree(t, sorted(model)), "");

    // 50 has two children; its successor 55 sits deeper in the right subtree.
    kel_tree_node* node = t.find(50);
    kel_tree_node* successor = t.find(55);
    const kel_tree_node old = *node;
    const unsigned int successor_color = successor->color;
    kel_tree_node* out = t.unlink(node);
    model.erase(50);
    EXPECT_EQ(out, node);
    EXPECT_EQ(node->parent, old.parent);
    EXPECT_EQ(node->left, old.left);
    EXPECT_EQ(node->right, old.right);
    EXPECT_EQ(node->color, successor_color) << "the removed node carries the colour that left the tree";
    EXPECT_EQ(t.find(55), successor) << "no element moved to another node";
    EXPECT_EQ(check_tree(t, sorted(model)), "");
    delete reinterpret_cast<int_node*>(out);

    // Successor is the node's right child.
    int_tree u;
    for (int k : {2, 1, 3})
        u.insert(k);
    kel_tree_node* root = u.header.parent;
    kel_tree_node* right = root->right;
    const unsigned int root_color = root->color;
    u.erase(root);
    EXPECT_EQ(u.header.parent, right);
    EXPECT_EQ(right->parent, &u.header);
    EXPECT_EQ(right->color, root_color);
    EXPECT_EQ(key_of(right->left), 1);
    EXPECT_EQ(check_tree(u, {1, 3}), "");
}

TEST(tree_erase, extremes_follow_the_erased_leftmost_and_rightmost) {
    int_tree t;
    for (int k : {4, 2, 6, 3, 5})
        t.insert(k);
    // Leftmost 2 has a right child 3: the new leftmost is that subtree's
    // minimum.
    ASSERT_EQ(key_of(t.header.left), 2);
    t.erase(t.header.left);
    EXPECT_EQ(key_of(t.header.left), 3);
    // Rightmost 6 has a left child 5: the new rightmost is that subtree's
    // maximum.
    ASSERT_EQ(key_of(t.header.right), 6);
    t.erase(t.header.right);
    EXPECT_EQ(key_of(t.header.right), 5);
    EXPECT_EQ(check_tree(t, {3, 4, 5}), "");
    // A leaf at either end: its parent takes its place.
    t.erase(t.header.left);
    EXPECT_EQ(key_of(t.header.left), 4);
    t.erase(t.header.right);
    EXPECT_EQ(key_of(t.header.right), 4);
    EXPECT_EQ(check_tree(t, {4}), "");
}

TEST(tree_erase, root_with_one_child_hands_the_root_to_it) {
    for (bool left_child : {true, false}) {
        int_tree t;
        t.insert(5);
        kel_tree_node* child = t.insert(left_child ? 3 : 7);
        ASSERT_EQ(child->color, kel_tree_node::red);
        t.erase(t.header.parent);
        EXPECT_EQ(t.header.parent, child);
        EXPECT_EQ(child->parent, &t.header);
        EXPECT_EQ(child->color, kel_tree_node::black);
        EXPECT_EQ(t.header.left, child);
        EXPECT_EQ(t.header.right, child);
        EXPECT_EQ(check_tree(t, {left_child ? 3 : 7}), "");
    }
}

namespace {

// Random interleavings of insertions and erasures against std::multiset, with
// the checker after every step and the sentinel's parent checked on every
// erasure. Returns the number of operations performed.
long random_run(unsigned seed, int steps, int key_range) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    int_tree t;
    std::multiset<int> model;
    kel_tree_node* const marker = garbage_pointer();
    long ops = 0;
    for (int step = 0; step < steps; ++step) {
        // Drift the size up and down so that both growth and shrinkage reach
        // deep trees.
        const bool growing = (step / 500) % 2 == 0;
        const bool do_insert = model.empty() || rng() % 100 < (growing ? 65u : 35u);
        if (do_insert) {
            const int key = static_cast<int>(rng() % static_cast<unsigned>(key_range));
            t.insert(key, rng() % 2 ? tie_side::before : tie_side::after);
            model.insert(key);
        } else {
            std::vector<kel_tree_node*> nodes = t.nodes_in_order();
            kel_tree_node* victim = nodes[rng() % nodes.size()];
            model.erase(model.find(key_of(victim)));
            kel_tree_node* expected = expected_sentinel_parent(t, victim);
            t.nil.parent = marker;
            const kel_tree_node old = *victim;
            kel_tree_node* out = t.unlink(victim);
            EXPECT_EQ(out, victim);
            EXPECT_EQ(t.nil.parent, expected ? expected : marker) << "step " << step;
            EXPECT_TRUE(old.parent == victim->parent && old.left == victim->left && old.right == victim->right)
                << "erase changed the removed node's links, step " << step;
            delete reinterpret_cast<int_node*>(out);
        }
        ++ops;
        const std::string problem = check_tree(t, sorted(model));
        if (!problem.empty()) {
            ADD_FAILURE() << problem << " (seed " << seed << ", step " << step << ")";
            return ops;
        }
    }
    return ops;
}

} // namespace

TEST(tree_random, interleaved_insertions_and_erasures_match_the_model) {
    long ops = 0;
    const unsigned seeds = 40;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        // Small key ranges give many duplicates; large ones give deep trees.
        ops += random_run(seed, 3000, seed % 2 ? 50 : 100000);
        if (::testing::Test::HasFailure())
            break;
    }
    std::cout << "[ figures ] randomized: " << ops << " operations over " << seeds
              << " seeds, each followed by the full check\n";
}

namespace {

// Builds a tree from `order`, returning the nodes indexed by key.
std::vector<kel_tree_node*> build(int_tree& t, const std::vector<int>& order) {
    std::vector<kel_tree_node*> by_key(order.size());
    for (int k : order)
        by_key[static_cast<std::size_t>(k)] = t.insert(k);
    return by_key;
}

} // namespace

TEST(tree_exhaustive, every_insertion_order_up_to_eight_keys) {
    long checks = 0;
    for (int n = 1; n <= 8; ++n) {
        std::vector<int> order(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            order[static_cast<std::size_t>(i)] = i;
        do {
            int_tree t;
            std::vector<int> model;
            for (int k : order) {
                t.insert(k);
                model.insert(std::upper_bound(model.begin(), model.end(), k), k);
                const std::string problem = check_tree(t, model);
                ++checks;
                if (!problem.empty()) {
                    std::string o;
                    for (int v : order)
                        o += std::to_string(v) + " ";
                    FAIL() << problem << " inserting order " << o;
                }
            }
        } while (std::next_permutation(order.begin(), order.end()));
    }
    std::cout << "[ figures ] exhaustive insertion: " << checks << " insertions checked\n";
}

TEST(tree_exhaustive, every_erasure_from_every_tree_up_to_seven_keys) {
    long checks = 0;
    for (int n = 1; n <= 7; ++n) {
        std::vector<int> order(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            order[static_cast<std::size_t>(i)] = i;
        std::set<std::string> shapes_seen;
        do {
            // Equal shapes give equal erasures: test each distinct tree once.
            {
                int_tree probe;
                build(probe, order);
                if (!shapes_seen.insert(shape(probe)).second)
                    continue;
            }
            for (int victim = 0; victim < n; ++victim) {
                int_tree t;
                std::vector<kel_tree_node*> by_key = build(t, order);
                std::vector<int> model;
                for (int i = 0; i < n; ++i)
                    if (i != victim)
                        model.push_back(i);
                kel_tree_node* expected = expected_sentinel_parent(t, by_key[static_cast<std::size_t>(victim)]);
                t.nil.parent = garbage_pointer();
                t.erase(by_key[static_cast<std::size_t>(victim)]);
                ++checks;
                ASSERT_EQ(t.nil.parent, expected ? expected : garbage_pointer());
                const std::string problem = check_tree(t, model);
                ASSERT_EQ(problem, "") << "n " << n << " victim " << victim;
                // Then empty the rest, smallest key first, checking each step.
                while (!model.empty()) {
                    t.erase(by_key[static_cast<std::size_t>(model.front())]);
                    model.erase(model.begin());
                    ++checks;
                    ASSERT_EQ(check_tree(t, model), "") << "n " << n << " victim " << victim;
                }
            }
        } while (std::next_permutation(order.begin(), order.end()));
    }
    std::cout << "[ figures ] exhaustive erasure: " << checks << " erasures checked\n";
}
