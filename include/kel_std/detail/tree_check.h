// A structure verifier for the ordered containers, for tests and for
// debugging: the red-black rules, the header, the sentinel, the element
// count, the order of the keys, and agreement of the inline iterator steps
// with the library's increment and decrement at every node.
#ifndef KEL_STD_DETAIL_TREE_CHECK_H
#define KEL_STD_DETAIL_TREE_CHECK_H

#include <kel_std/detail/rb_tree.h>
#include <kel_std/tree.h>

#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

namespace kel_std {
namespace detail {

struct tree_inspector {
    /// An empty string when `t` is sound; otherwise a description of the
    /// first fault found. Linear in the size; never loops on a corrupted
    /// tree (it stops after more nodes than the size says).
    template <class K, class V, class KoV, class C, class A, bool M>
    static std::string check(const rb_tree<K, V, KoV, C, A, M>& t) {
        typedef rb_tree<K, V, KoV, C, A, M> tree;
        std::ostringstream fault;
        kel_tree_node* const header = const_cast<kel_tree_node*>(&t.impl_.header);
        kel_tree_node* const nil = t.impl_.nil;
        const std::size_t size = t.impl_.size;

        if (header->color != kel_tree_node::red)
            return "the header is not red";
        if (nil == nullptr) {
            if (size != 0 || header->parent != nullptr || header->left != header || header->right != header)
                return "a container without a sentinel is not empty";
            return std::string();
        }
        if (nil->color != kel_tree_node::black || nil->left != nullptr || nil->right != nullptr)
            return "the sentinel is not black with null children";
        if (size == 0) {
            if (header->parent != nil || header->left != header || header->right != header)
                return "an empty tree's header is not in the empty state";
            return std::string();
        }
        kel_tree_node* const root = header->parent;
        if (root == nil || root == nullptr)
            return "a non-empty tree has no root";
        if (root->color != kel_tree_node::black)
            return "the root is red";
        if (root->parent != header)
            return "the root's parent is not the header";

        // Depth-first over the links, with an explicit stack.
        struct frame {
            kel_tree_node* node;
            int black_depth;
        };
        std::vector<frame> stack(1, frame{root, 1});
        std::size_t nodes = 0;
        int leaf_black_depth = -1;
        while (!stack.empty()) {
            const frame f = stack.back();
            stack.pop_back();
            kel_tree_node* const x = f.node;
            if (++nodes > size)
                return "more nodes than the size (or a cycle)";
            if (x->color != kel_tree_node::red && x->color != kel_tree_node::black)
                return "a node has a colour other than red or black";
            kel_tree_node* const children[2] = {x->left, x->right};
            for (kel_tree_node* c : children) {
                if (c == nullptr)
                    return "a null child link";
                if (c == nil) {
                    if (leaf_black_depth < 0)
                        leaf_black_depth = f.black_depth;
                    else if (leaf_black_depth != f.black_depth)
                        return "paths to the leaves pass different numbers of black nodes";
                    continue;
                }
                if (c->parent != x)
                    return "a child's parent link does not point back";
                if (x->color == kel_tree_node::red && c->color == kel_tree_node::red)
                    return "a red node has a red child";
                stack.push_back(frame{c, f.black_depth + (c->color == kel_tree_node::black ? 1 : 0)});
            }
        }
        if (nodes != size) {
            fault << "the tree holds " << nodes << " nodes but the size is " << size;
            return fault.str();
        }

        kel_tree_node* first = root;
        while (first->left != nil)
            first = first->left;
        kel_tree_node* last = root;
        while (last->right != nil)
            last = last->right;
        if (header->left != first || header->right != last)
            return "the header's left or right is not the first or last node";

        // Forward: order of the keys, and the inline step against the
        // library's at every node (the last step reaches the header).
        std::size_t steps = 0;
        for (kel_tree_node* x = first; x != header; ++steps) {
            if (steps >= size)
                return "the forward walk does not reach the header";
            kel_tree_node* library = x;
            kel_tree_aux::increment(library, nil);
            kel_tree_node* const next = tree_next(x, nil);
            if (library != next)
                return "the inline successor differs from kel_tree_aux::increment";
            if (next != header) {
                const bool descending = t.comp()(tree::key_of(next), tree::key_of(x));
                const bool ascending = t.comp()(tree::key_of(x), tree::key_of(next));
                if (descending || (!M && !ascending))
                    return M ? "the keys are out of order" : "the keys are out of order or repeat";
            }
            x = next;
        }
        if (steps != size)
            return "the forward walk visits a different number of nodes than the size";

        // Backward: from the header to the first node; then one step back
        // from the first node too, which leaves the range in the library's
        // own way (to the header or to the node itself).
        kel_tree_node* x = header;
        for (std::size_t i = 0; i <= size; ++i) {
            kel_tree_node* library = x;
            kel_tree_aux::decrement(library, nil);
            kel_tree_node* const prev = tree_prev(x, nil);
            if (library != prev)
                return "the inline predecessor differs from kel_tree_aux::decrement";
            if (i < size)
                x = prev;
        }
        if (x != first)
            return "the backward walk does not end on the first node";
        return std::string();
    }
};

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_TREE_CHECK_H
