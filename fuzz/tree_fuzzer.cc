// Drives the tree functions the way an ordered container does. Each step
// inserts a key from the input (duplicates allowed, placed before or after
// the equal keys), erases an existing node, rotates about a node and back, or
// walks from a node; after every step the node sequence is compared with a
// model and the full invariant checker runs.
#include "support/tree_harness.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using kel_std::kel_tree_aux;
using kel_std::kel_tree_node;
using kel_test::int_node;
using kel_test::int_tree;
using kel_test::key_of;
using kel_test::tie_side;

namespace {

void require(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "tree fuzzer: %s\n", what.c_str());
        std::abort();
    }
}

// Number of element nodes below and including x.
std::size_t subtree_size(kel_tree_node* x, kel_tree_node* nil) {
    std::size_t n = 0;
    std::vector<kel_tree_node*> stack{x};
    while (!stack.empty()) {
        kel_tree_node* y = stack.back();
        stack.pop_back();
        if (y == nil)
            continue;
        ++n;
        stack.push_back(y->left);
        stack.push_back(y->right);
    }
    return n;
}

// Every member of the header, the sentinel and the element nodes.
std::vector<kel_tree_node> snapshot(int_tree& t, const std::vector<kel_tree_node*>& nodes) {
    std::vector<kel_tree_node> out{t.header, t.nil};
    for (kel_tree_node* n : nodes)
        out.push_back(*n);
    return out;
}

bool same(const std::vector<kel_tree_node>& a, const std::vector<kel_tree_node>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].color != b[i].color || a[i].parent != b[i].parent || a[i].left != b[i].left ||
            a[i].right != b[i].right)
            return false;
    return a.size() == b.size();
}

// What a rotation must keep: the node order, every back link, the extremes,
// every colour and the sentinel. (The colour rules themselves may be broken
// until the rotation is undone.)
void check_rotated(int_tree& t, const std::vector<kel_tree_node*>& model, const std::vector<kel_tree_node>& before) {
    require(t.nodes_in_order() == model, "rotation changed the node order");
    require(t.header.parent->parent == &t.header, "rotated root's parent is not the header");
    const std::vector<kel_tree_node> after = snapshot(t, model);
    require(after[0].left == before[0].left && after[0].right == before[0].right && after[0].color == before[0].color,
            "rotation wrote the header's left, right or colour");
    require(same({after[1]}, {before[1]}), "rotation wrote the sentinel");
    for (std::size_t i = 0; i < model.size(); ++i) {
        kel_tree_node* x = model[i];
        require(after[i + 2].color == before[i + 2].color, "rotation changed a colour");
        require(x->left == &t.nil || x->left->parent == x, "rotation broke a left back link");
        require(x->right == &t.nil || x->right->parent == x, "rotation broke a right back link");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int_tree t;
    std::vector<kel_tree_node*> model; // the element nodes in container order
    const std::size_t max_nodes = 64;

    while (in.remaining_bytes() > 0) {
        const unsigned op = in.ConsumeIntegralInRange<unsigned>(0, 7);
        const std::size_t n = model.size();
        if (op <= 2 && n < max_nodes) {
            // Insertion; small keys give many duplicates.
            int_node* node = new int_node;
            node->key = op == 0 ? in.ConsumeIntegral<std::int16_t>() : in.ConsumeIntegralInRange<int>(-8, 8);
            node->link.color = 0xdeadbeefu;
            node->link.parent = node->link.left = node->link.right = reinterpret_cast<kel_tree_node*>(16);
            const tie_side tie = in.ConsumeBool() ? tie_side::before : tie_side::after;
            const auto by_key = [](kel_tree_node* x, int k) { return key_of(x) < k; };
            const auto pos = tie == tie_side::before
                                 ? std::lower_bound(model.begin(), model.end(), node->key, by_key)
                                 : std::upper_bound(model.begin(), model.end(), node->key,
                                                    [](int k, kel_tree_node* x) { return k < key_of(x); });
            model.insert(pos, &node->link);
            // `ignored` must never be read: an unmapped address would crash.
            t.insert_node(node, tie, reinterpret_cast<kel_tree_node*>(8));
        } else if (op <= 4 && n > 0) {
            kel_tree_node* victim = model[in.ConsumeIntegralInRange<std::size_t>(0, n - 1)];
            model.erase(std::find(model.begin(), model.end(), victim));
            require(t.unlink(victim) == victim, "erase did not return its node");
            delete reinterpret_cast<int_node*>(victim);
            if (model.empty())
                require(t.nil.parent == &t.header, "erasing the last node left the sentinel's parent elsewhere");
        } else if (op == 5 && n > 0) {
            // Rotate about a node with a pivot on the chosen side, then back.
            kel_tree_node* x = model[in.ConsumeIntegralInRange<std::size_t>(0, n - 1)];
            bool left = in.ConsumeBool();
            if ((left ? x->right : x->left) == &t.nil)
                left = !left;
            kel_tree_node* pivot = left ? x->right : x->left;
            if (pivot == &t.nil)
                continue;
            const std::vector<kel_tree_node> before = snapshot(t, model);
            if (left)
                kel_tree_aux::rotate_left(x, t.header.parent, &t.nil);
            else
                kel_tree_aux::rotate_right(x, t.header.parent, &t.nil);
            require(x->parent == pivot && (left ? pivot->left : pivot->right) == x,
                    "pivot did not take the node's place");
            check_rotated(t, model, before);
            if (left)
                kel_tree_aux::rotate_right(pivot, t.header.parent, &t.nil);
            else
                kel_tree_aux::rotate_left(pivot, t.header.parent, &t.nil);
            require(same(snapshot(t, model), before), "rotating back did not restore every link");
        } else if (n > 0) {
            // Walk k steps from position i (n is the header), and check the
            // subtree extremes against the in-order ranges they must bound.
            const std::size_t i = in.ConsumeIntegralInRange<std::size_t>(0, n);
            const std::size_t k = in.ConsumeIntegralInRange<std::size_t>(0, n);
            const auto position = [&](std::size_t p) { return p == n ? &t.header : model[p]; };
            kel_tree_node* it = position(i);
            if (op == 6) {
                for (std::size_t s = 0; s < k && i + s < n; ++s)
                    kel_tree_aux::increment(it, &t.nil);
                require(it == position(std::min(i + k, n)), "increment walk went wrong");
            } else {
                for (std::size_t s = 0; s < k && s < i; ++s)
                    kel_tree_aux::decrement(it, &t.nil);
                require(it == position(i - std::min(i, k)), "decrement walk went wrong");
                if (k > i) {
                    // One step back from the leftmost node leaves the range.
                    kel_tree_aux::decrement(it, &t.nil);
                    kel_tree_node* root = t.header.parent;
                    require(it == (root->left != &t.nil ? &t.header : model[0]), "step back from the leftmost node");
                }
            }
            if (i < n) {
                kel_tree_node* x = model[i];
                require(kel_tree_aux::minimum(x, &t.header, &t.nil) == model.at(i - subtree_size(x->left, &t.nil)),
                        "minimum of a subtree");
                require(kel_tree_aux::maximum(x, &t.header, &t.nil) == model.at(i + subtree_size(x->right, &t.nil)),
                        "maximum of a subtree");
            }
            require(kel_tree_aux::minimum(&t.nil, &t.header, &t.nil) == &t.header, "minimum of the sentinel");
            require(kel_tree_aux::maximum(&t.nil, &t.header, &t.nil) == &t.header, "maximum of the sentinel");
        }

        require(t.size() == model.size(), "node count");
        require(t.nodes_in_order() == model, "the nodes are not in the model's order");
        std::vector<int> keys;
        for (kel_tree_node* x : model)
            keys.push_back(key_of(x));
        const std::string problem = kel_test::check_tree(t, keys);
        require(problem.empty(), problem);
    }
    return 0;
}
