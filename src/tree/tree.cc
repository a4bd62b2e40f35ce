// Red-black tree algorithms over caller-owned nodes with a nil sentinel and a
// header node.
//
// The exported functions are thin wrappers over the always-inline helpers
// below. insert and erase use the helpers directly, so that inside the shared
// library no rotation or subtree search goes through the PLT.

#include <kel_std/tree.h>

// Forced inline in optimised builds only. Unoptimised (debug and coverage)
// builds keep the helpers as functions of their own, which a debugger can
// step into and which gcov counts once per branch as written, rather than
// once per call site, where some outcomes cannot occur in a valid tree.
#if defined(__GNUC__) && defined(__OPTIMIZE__)
#define KEL_TREE_INLINE inline __attribute__((always_inline))
#else
#define KEL_TREE_INLINE inline
#endif

namespace kel_std {
namespace {

typedef kel_tree_node node_t;
const unsigned int red = kel_tree_node::red;
const unsigned int black = kel_tree_node::black;

KEL_TREE_INLINE node_t* leftmost_below(node_t* x, node_t* nil) {
    while (x->left != nil)
        x = x->left;
    return x;
}

KEL_TREE_INLINE node_t* rightmost_below(node_t* x, node_t* nil) {
    while (x->right != nil)
        x = x->right;
    return x;
}

KEL_TREE_INLINE node_t* subtree_minimum(node_t* node, node_t* header, node_t* nil) {
    return node == nil ? header : leftmost_below(node, nil);
}

KEL_TREE_INLINE node_t* subtree_maximum(node_t* node, node_t* header, node_t* nil) {
    return node == nil ? header : rightmost_below(node, nil);
}

// Hangs `replacement` in the link that holds `node`. The root slot is tested
// first: the only node whose parent is the header is the root, so the header's
// left and right are never reached through this path.
KEL_TREE_INLINE void replace_child(node_t* node, node_t* replacement, node_t* parent, node_t*& root) {
    if (node == root)
        root = replacement;
    else if (node == parent->left)
        parent->left = replacement;
    else
        parent->right = replacement;
}

KEL_TREE_INLINE void rotate_left_impl(node_t* node, node_t*& root, node_t* nil) {
    node_t* const pivot = node->right;
    node_t* const inner = pivot->left;
    node->right = inner;
    // The sentinel is never written by a rotation: erase keeps the vacated
    // slot's parent in it while it rebalances.
    if (inner != nil)
        inner->parent = node;
    node_t* const parent = node->parent;
    pivot->parent = parent;
    replace_child(node, pivot, parent, root);
    pivot->left = node;
    node->parent = pivot;
}

// Mirror image of rotate_left_impl: left and right swapped.
KEL_TREE_INLINE void rotate_right_impl(node_t* node, node_t*& root, node_t* nil) {
    node_t* const pivot = node->left;
    node_t* const inner = pivot->right;
    node->left = inner;
    if (inner != nil)
        inner->parent = node;
    node_t* const parent = node->parent;
    pivot->parent = parent;
    replace_child(node, pivot, parent, root);
    pivot->right = node;
    node->parent = pivot;
}

} // namespace

// Member-wise, in declaration order: color, parent, left, right.
kel_tree_node& kel_tree_node::operator=(const kel_tree_node& other) = default;

kel_tree_aux& kel_tree_aux::operator=(const kel_tree_aux&) = default;

void kel_tree_aux::init_nil(kel_tree_node* nil) {
    nil->color = black;
    nil->left = nullptr;
    nil->right = nullptr;
    nil->parent = nullptr;
}

void kel_tree_aux::uninit_nil(kel_tree_node*) {}

kel_tree_node* kel_tree_aux::minimum(kel_tree_node* node, kel_tree_node* header, kel_tree_node* nil) {
    return subtree_minimum(node, header, nil);
}

kel_tree_node* kel_tree_aux::maximum(kel_tree_node* node, kel_tree_node* header, kel_tree_node* nil) {
    return subtree_maximum(node, header, nil);
}

void kel_tree_aux::increment(kel_tree_node*& node, kel_tree_node* nil) {
    node_t* x = node;
    if (x->right != nil) {
        x = leftmost_below(x->right, nil);
    } else {
        node_t* candidate = x->parent;
        while (x == candidate->right) {
            x = candidate;
            candidate = candidate->parent;
        }
        // Climbing from the rightmost node when the root has no right child
        // overshoots to the header as x and the root as candidate; the header's
        // right is then the candidate, and the header is the answer.
        if (x->right != candidate)
            x = candidate;
    }
    node = x;
}

void kel_tree_aux::decrement(kel_tree_node*& node, kel_tree_node* nil) {
    node_t* x = node;
    if (x->color == red && x->parent->parent == x) {
        // Only the header is red and its own grandparent: the root is also its
        // own grandparent through the header, but the root is black.
        x = x->right;
    } else if (x->left != nil) {
        x = rightmost_below(x->left, nil);
    } else {
        node_t* candidate = x->parent;
        while (x == candidate->left) {
            x = candidate;
            candidate = candidate->parent;
        }
        x = candidate;
    }
    node = x;
}

void kel_tree_aux::rotate_left(kel_tree_node* node, kel_tree_node*& root, kel_tree_node* nil) {
    rotate_left_impl(node, root, nil);
}

void kel_tree_aux::rotate_right(kel_tree_node* node, kel_tree_node*& root, kel_tree_node* nil) {
    rotate_right_impl(node, root, nil);
}

void kel_tree_aux::insert(bool insert_left, kel_tree_node*, kel_tree_node* parent_node, kel_tree_node* new_node,
                          kel_tree_node*& rightmost, kel_tree_node*& leftmost, kel_tree_node*& root,
                          kel_tree_node* header, kel_tree_node* nil) {
    KEL_STD_ASSERT(new_node != nil && new_node != header);
    KEL_STD_ASSERT(parent_node == header ? (insert_left && root == nil)
                                         : (insert_left ? parent_node->left : parent_node->right) == nil);

    if (insert_left) {
        // For an empty tree this first write is the header's left, which is
        // how the new node becomes the leftmost one.
        parent_node->left = new_node;
        if (parent_node == header) {
            root = new_node;
            rightmost = new_node;
        } else if (parent_node == leftmost) {
            leftmost = new_node;
        }
    } else {
        parent_node->right = new_node;
        if (parent_node == rightmost)
            rightmost = new_node;
    }
    new_node->parent = parent_node;
    new_node->left = nil;
    new_node->right = nil;
    new_node->color = red;

    // The root test comes first, so the loop never looks at the header. Only
    // a rotation can move the root, and a rotation ends the loop, so the root
    // is read once here. The nil sentinel is black: testing for it spares a
    // load of its colour.
    node_t* const top = root;
    node_t* x = new_node;
    node_t* p;
    while (x != top && (p = x->parent)->color == red) {
        node_t* const g = p->parent; // p is red, so not the root: g is an element
        if (p == g->left) {
            node_t* const uncle = g->right;
            if (uncle != nil && uncle->color == red) {
                p->color = black;
                uncle->color = black;
                g->color = red;
                x = g;
                continue;
            }
            // An inner child is first turned into an outer one; either way
            // the node that ends up above g is coloured black.
            node_t* upper = p;
            if (x == p->right) {
                rotate_left_impl(p, root, nil);
                upper = x;
            }
            upper->color = black;
            g->color = red;
            rotate_right_impl(g, root, nil);
        } else {
            // Mirror image of the branch above: left and right swapped.
            node_t* const uncle = g->left;
            if (uncle != nil && uncle->color == red) {
                p->color = black;
                uncle->color = black;
                g->color = red;
                x = g;
                continue;
            }
            node_t* upper = p;
            if (x == p->left) {
                rotate_right_impl(p, root, nil);
                upper = x;
            }
            upper->color = black;
            g->color = red;
            rotate_left_impl(g, root, nil);
        }
        break; // upper is black now: the loop test would end the loop
    }
    root->color = black;
}

kel_tree_node* kel_tree_aux::erase(kel_tree_node* node, kel_tree_node*& rightmost, kel_tree_node*& leftmost,
                                   kel_tree_node*& root, kel_tree_node* header, kel_tree_node* nil) {
    KEL_STD_ASSERT(node != nil && node != header && root != nil);

    node_t* x;        // the replacement: the child that moves up, maybe nil
    node_t* x_parent; // its parent after the splice (also stored in x->parent)
    node_t* const node_left = node->left;
    node_t* const node_right = node->right;

    if (node_left != nil && node_right != nil) {
        // Two children: the successor takes node's place, relinked.
        node_t* const successor = leftmost_below(node_right, nil);
        x = successor->right;
        node_left->parent = successor;
        successor->left = node_left;
        if (successor != node_right) {
            x_parent = successor->parent;
            // Written even when x is the sentinel: the rebalancing below
            // treats the sentinel's parent as the vacated slot's parent.
            x->parent = x_parent;
            x_parent->left = x;
            successor->right = node_right;
            node_right->parent = successor;
        } else {
            x_parent = successor;
            x->parent = successor;
        }
        node_t* const node_parent = node->parent;
        replace_child(node, successor, node_parent, root);
        successor->parent = node_parent;
        // node now carries the colour that left the tree.
        const unsigned int successor_color = successor->color;
        successor->color = node->color;
        node->color = successor_color;
    } else {
        // At most one child: node itself is spliced out.
        x = node_left == nil ? node_right : node_left;
        x_parent = node->parent;
        x->parent = x_parent;
        replace_child(node, x, x_parent, root);
        if (node == leftmost)
            leftmost = node_right == nil ? x_parent : subtree_minimum(x, header, nil);
        if (node == rightmost)
            rightmost = node_left == nil ? x_parent : subtree_maximum(x, header, nil);
    }

    if (node->color == red)
        return node;

    // x carries an extra black. x's parent stays in a register: rotations
    // never write the sentinel, so it always equals what x->parent (the
    // sentinel's parent while x is the sentinel) would give. The root is
    // re-read only after a rotation that may have moved it; the sentinel,
    // always black, is recognised by address instead of by a colour load.
    node_t* top = root;
    while (x != top && (x == nil || x->color == black)) {
        if (x == x_parent->left) {
            node_t* sibling = x_parent->right;
            if (sibling->color == red) {
                sibling->color = black;
                x_parent->color = red;
                rotate_left_impl(x_parent, root, nil);
                top = root;
                sibling = x_parent->right;
            }
            node_t* const near = sibling->left;
            node_t* const far = sibling->right;
            const bool near_black = near == nil || near->color == black;
            const bool far_black = far == nil || far->color == black;
            if (near_black && far_black) {
                sibling->color = red;
                x = x_parent;
                x_parent = x_parent->parent;
            } else {
                if (far_black) {
                    near->color = black;
                    sibling->color = red;
                    rotate_right_impl(sibling, root, nil);
                    sibling = x_parent->right;
                }
                sibling->color = x_parent->color;
                x_parent->color = black;
                sibling->right->color = black;
                rotate_left_impl(x_parent, root, nil);
                break;
            }
        } else {
            // Mirror image of the branch above: left and right swapped.
            node_t* sibling = x_parent->left;
            if (sibling->color == red) {
                sibling->color = black;
                x_parent->color = red;
                rotate_right_impl(x_parent, root, nil);
                top = root;
                sibling = x_parent->left;
            }
            node_t* const near = sibling->right;
            node_t* const far = sibling->left;
            const bool near_black = near == nil || near->color == black;
            const bool far_black = far == nil || far->color == black;
            if (near_black && far_black) {
                sibling->color = red;
                x = x_parent;
                x_parent = x_parent->parent;
            } else {
                if (far_black) {
                    near->color = black;
                    sibling->color = red;
                    rotate_left_impl(sibling, root, nil);
                    sibling = x_parent->left;
                }
                sibling->color = x_parent->color;
                x_parent->color = black;
                sibling->left->color = black;
                rotate_right_impl(x_parent, root, nil);
                break;
            }
        }
    }
    x->color = black;
    return node;
}

} // namespace kel_std
