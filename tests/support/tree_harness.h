// A minimal ordered container over int keys, built the way a real container
// uses the tree functions (its own node type, its own search for the insertion
// point, the header as end position), and a full invariant checker for it.
// Shared by the unit tests, the fuzz target and the thread-sanitizer test.
#ifndef KEL_STD_TESTS_TREE_HARNESS_H
#define KEL_STD_TESTS_TREE_HARNESS_H

#include <kel_std/tree.h>

#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

namespace kel_test {

using kel_std::kel_tree_aux;
using kel_std::kel_tree_node;

struct int_node {
    kel_tree_node link; // first member: a node pointer converts to its element
    int key;
};

inline int key_of(const kel_tree_node* n) {
    return reinterpret_cast<const int_node*>(n)->key;
}

// Where an equal key goes: before or after the equal keys already present.
enum class tie_side { before, after };

class int_tree {
public:
    kel_tree_node header;
    kel_tree_node nil;

    int_tree() {
        // Garbage first: init_nil must not depend on what the node held.
        nil.color = 0xdeadbeefu;
        nil.parent = nil.left = nil.right = reinterpret_cast<kel_tree_node*>(&header);
        kel_tree_aux::init_nil(&nil);
        header.color = kel_tree_node::red;
        header.parent = &nil;
        header.left = header.right = &header;
    }
    ~int_tree() {
        clear();
        kel_tree_aux::uninit_nil(&nil);
    }
    int_tree(const int_tree&) = delete;
    int_tree& operator=(const int_tree&) = delete;

    bool empty() const { return header.parent == &nil; }
    std::size_t size() const { return count_; }

    // Finds the parent and side for `key` by descending from the root, as an
    // ordered container does.
    void find_insert_position(int key, tie_side tie, kel_tree_node*& parent, bool& left) {
        kel_tree_node* x = header.parent;
        parent = &header;
        left = true;
        while (x != &nil) {
            parent = x;
            left = tie == tie_side::before ? key <= key_of(x) : key < key_of(x);
            x = left ? x->left : x->right;
        }
    }

    // Links a node that the caller allocated (its members may hold anything).
    kel_tree_node* insert_node(int_node* n, tie_side tie = tie_side::after, kel_tree_node* ignored = nullptr) {
        kel_tree_node* parent;
        bool left;
        find_insert_position(n->key, tie, parent, left);
        kel_tree_aux::insert(left, ignored, parent, &n->link, header.right, header.left, header.parent, &header, &nil);
        ++count_;
        return &n->link;
    }

    kel_tree_node* insert(int key, tie_side tie = tie_side::after) {
        int_node* n = new int_node;
        n->key = key;
        return insert_node(n, tie);
    }

    // Unlinks a node and returns it without freeing it.
    kel_tree_node* unlink(kel_tree_node* n) {
        kel_tree_node* out = kel_tree_aux::erase(n, header.right, header.left, header.parent, &header, &nil);
        --count_;
        return out;
    }

    void erase(kel_tree_node* n) { delete reinterpret_cast<int_node*>(unlink(n)); }

    kel_tree_node* find(int key) {
        kel_tree_node* x = header.parent;
        while (x != &nil) {
            if (key == key_of(x))
                return x;
            x = key < key_of(x) ? x->left : x->right;
        }
        return nullptr;
    }

    // Every element node, in order, collected without the library's help.
    std::vector<kel_tree_node*> nodes_in_order() {
        std::vector<kel_tree_node*> out;
        std::vector<kel_tree_node*> stack;
        kel_tree_node* x = header.parent;
        while (x != &nil || !stack.empty()) {
            while (x != &nil) {
                stack.push_back(x);
                x = x->left;
            }
            x = stack.back();
            stack.pop_back();
            out.push_back(x);
            x = x->right;
        }
        return out;
    }

    void clear() {
        // Free without erasing: the tree is discarded as a whole.
        for (kel_tree_node* n : nodes_in_order())
            delete reinterpret_cast<int_node*>(n);
        header.parent = &nil;
        header.left = header.right = &header;
        count_ = 0;
    }

private:
    std::size_t count_ = 0;
};

// Checks every invariant of a tree between calls and returns an empty string,
// or a description of the first violation found. `expected` is the model's
// key sequence in order.
inline std::string check_tree(int_tree& t, const std::vector<int>& expected) {
    std::ostringstream err;
    kel_tree_node* const header = &t.header;
    kel_tree_node* const nil = &t.nil;

    if (header->color != kel_tree_node::red)
        return "header is not red";
    if (nil->color != kel_tree_node::black)
        return "nil sentinel is not black";
    if (nil->left != nullptr || nil->right != nullptr)
        return "nil sentinel's left or right is not null";

    if (expected.empty()) {
        if (header->parent != nil)
            return "empty tree: root is not the sentinel";
        if (header->left != header || header->right != header)
            return "empty tree: header's left/right are not the header";
        return "";
    }

    kel_tree_node* const root = header->parent;
    if (root == nil || root == nullptr)
        return "non-empty tree has no root";
    if (root->parent != header)
        return "root's parent is not the header";
    if (root->color != kel_tree_node::black)
        return "root is not black";

    // In-order walk with an explicit stack, checking colours, parent links,
    // red children and black heights on the way down.
    struct frame {
        kel_tree_node* node;
        int blacks; // black nodes from the root down to and including node
    };
    std::vector<frame> path;
    std::vector<kel_tree_node*> inorder;
    std::vector<int> keys;
    int leaf_blacks = -1;
    kel_tree_node* x = root;
    int blacks_above = 0;
    while (x != nil || !path.empty()) {
        while (x != nil) {
            if (x == nullptr || x == header)
                return "a child link is null or the header";
            if (inorder.size() + path.size() >= expected.size())
                return "more nodes in the tree than in the model (or a cycle)";
            if (x->color != kel_tree_node::red && x->color != kel_tree_node::black) {
                err << "node " << key_of(x) << " has colour " << x->color;
                return err.str();
            }
            const int here = blacks_above + (x->color == kel_tree_node::black ? 1 : 0);
            if (x->color == kel_tree_node::red &&
                (x->left->color != kel_tree_node::black || x->right->color != kel_tree_node::black)) {
                err << "red node " << key_of(x) << " has a red child";
                return err.str();
            }
            if (x->left != nil && x->left->parent != x) {
                err << "left child of " << key_of(x) << " does not point back";
                return err.str();
            }
            if (x->right != nil && x->right->parent != x) {
                err << "right child of " << key_of(x) << " does not point back";
                return err.str();
            }
            if (x->left == nil || x->right == nil) {
                if (leaf_blacks < 0) {
                    leaf_blacks = here;
                } else if (leaf_blacks != here) {
                    err << "black height differs below " << key_of(x);
                    return err.str();
                }
            }
            path.push_back({x, here});
            blacks_above = here;
            x = x->left;
        }
        const frame f = path.back();
        path.pop_back();
        inorder.push_back(f.node);
        keys.push_back(key_of(f.node));
        blacks_above = f.blacks;
        x = f.node->right;
    }

    if (keys != expected) {
        err << "in-order keys differ from the model (" << keys.size() << " vs " << expected.size() << ")";
        return err.str();
    }
    if (header->left != inorder.front())
        return "header's left is not the first node";
    if (header->right != inorder.back())
        return "header's right is not the last node";

    // The library's own navigation must agree with the structure.
    kel_tree_node* it = header->left;
    for (std::size_t i = 0; i < inorder.size(); ++i) {
        if (it != inorder[i]) {
            err << "increment walk diverges at position " << i;
            return err.str();
        }
        kel_tree_aux::increment(it, nil);
    }
    if (it != header)
        return "increment from the last node does not reach the header";
    it = header;
    for (std::size_t i = inorder.size(); i-- > 0;) {
        kel_tree_aux::decrement(it, nil);
        if (it != inorder[i]) {
            err << "decrement walk diverges at position " << i;
            return err.str();
        }
    }
    if (kel_tree_aux::minimum(root, header, nil) != header->left)
        return "minimum of the root is not the header's left";
    if (kel_tree_aux::maximum(root, header, nil) != header->right)
        return "maximum of the root is not the header's right";
    if (header->color != kel_tree_node::red)
        return "navigation changed the header's colour";
    return "";
}

} // namespace kel_test

#endif // KEL_STD_TESTS_TREE_HARNESS_H
