/// @file
/// Red-black tree algorithms on caller-owned nodes.
///
/// A container that keeps its elements in a red-black tree embeds a
/// `kel_tree_node` in each of its nodes and owns two more nodes per tree:
///
/// - the **nil sentinel**, to which every missing child link points (links are
///   never null). `kel_tree_aux::init_nil` makes it black with null links; its
///   `left` and `right` stay null, its colour stays black, and its `parent` is
///   scratch space that `kel_tree_aux::erase` writes.
/// - the **header**, coloured red by the container before first use, whose
///   `parent`, `left` and `right` are the root, the leftmost and the rightmost
///   node. It is the end position of iteration. An empty tree has
///   `header.parent == nil` and `header.left == header.right == &header`.
///
/// The container compares keys itself: it searches for the insertion point and
/// hands the chosen parent and side to `kel_tree_aux::insert`. The functions
/// here never compare, allocate, free, lock or recurse, and keep nothing
/// between calls.
///
/// Concurrency: navigation only reads, so any number of threads may walk one
/// tree while nobody modifies it. Every modification of a tree must be
/// serialised against all other use of it. `erase` writes the nil sentinel's
/// `parent`, so two trees that share one sentinel must not be modified at the
/// same time when either modification is an erasure.
#ifndef KEL_STD_TREE_H
#define KEL_STD_TREE_H

#include <kel_std/config.h>

namespace kel_std {

/// The link record of one tree node: colour, parent and two children.
///
/// The layout is fixed: `color` (32-bit), then `parent`, `left`, `right`,
/// each pointer at a multiple of the pointer size: offsets 0, 4, 8 and 12
/// and 16 bytes in all on 32-bit targets; 0, 8, 16 and 24 and 32 bytes in
/// all on 64-bit targets (Windows included).
/// The record carries no key or value; a container stores it together with
/// its element and converts between the two itself.
class kel_tree_node {
public:
    /// The two colours. No other value is ever stored by the tree functions.
    enum color_value : unsigned int {
        red = 0u,  ///< Red; also the header's colour.
        black = 1u ///< Black; also the nil sentinel's colour.
    };

    unsigned int color;    ///< `red` (0) or `black` (1).
    kel_tree_node* parent; ///< The parent; the header for the root.
    kel_tree_node* left;   ///< Left child, or the nil sentinel.
    kel_tree_node* right;  ///< Right child, or the nil sentinel.

    /// Leaves all four members uninitialised (value-initialise to zero them).
    kel_tree_node() = default;
    /// Copies all four members.
    kel_tree_node(const kel_tree_node&) = default;

    /// Copies `color`, `parent`, `left` and `right`, in that order.
    /// Effects: writes the four members of `*this`. Returns: `*this`.
    /// Complexity: constant. Throws: nothing.
    KEL_STD_API kel_tree_node& operator=(const kel_tree_node& other);
};

/// The tree algorithms, as static functions over caller-owned nodes.
///
/// In `insert` and `erase` the references `rightmost`, `leftmost` and `root`
/// must be the header's own `right`, `left` and `parent` members: the first
/// insertion records the leftmost node only through the header's `left`, and
/// `decrement` finds the rightmost node only through the header.
class kel_tree_aux {
public:
    /// The class has no data; objects exist only for code that wants one.
    kel_tree_aux() = default;
    /// Copies nothing.
    kel_tree_aux(const kel_tree_aux&) = default;

    /// Copies nothing; the class has no data.
    /// Returns: `*this`. Complexity: constant. Throws: nothing.
    KEL_STD_API kel_tree_aux& operator=(const kel_tree_aux& other);

    /// Prepares a nil sentinel.
    /// Effects: sets `nil->color` to black, then `left`, `right` and `parent`
    /// to null. The node may hold anything before the call.
    /// Complexity: constant. Throws: nothing.
    KEL_STD_API static void init_nil(kel_tree_node* nil);

    /// Retires a nil sentinel; the counterpart of `init_nil`.
    /// Effects: none; the sentinel is left exactly as it is.
    /// Complexity: constant. Throws: nothing.
    KEL_STD_API static void uninit_nil(kel_tree_node* nil);

    /// Finds the first node of the subtree under `node`.
    /// Requires: `node` is an element node of the tree or `nil`.
    /// Returns: the leftmost node below `node`, or `header` when `node` is
    /// `nil`. Writes nothing.
    /// Complexity: O(height). Throws: nothing.
    KEL_STD_API static kel_tree_node* minimum(kel_tree_node* node, kel_tree_node* header, kel_tree_node* nil);

    /// Finds the last node of the subtree under `node`.
    /// Requires: `node` is an element node of the tree or `nil`.
    /// Returns: the rightmost node below `node`, or `header` when `node` is
    /// `nil`. Writes nothing.
    /// Complexity: O(height). Throws: nothing.
    KEL_STD_API static kel_tree_node* maximum(kel_tree_node* node, kel_tree_node* header, kel_tree_node* nil);

    /// Steps `node` to its in-order successor.
    /// Requires: `node` is an element node of a well-formed tree (never the
    /// header).
    /// Effects: writes the successor into `node`; after the last node that is
    /// the header. Nothing else is written.
    /// Complexity: O(height), amortised constant over a full walk.
    /// Throws: nothing.
    KEL_STD_API static void increment(kel_tree_node*& node, kel_tree_node* nil);

    /// Steps `node` to its in-order predecessor.
    /// Requires: `node` is an element node, or the header of a non-empty tree.
    /// Effects: writes the predecessor into `node`; from the header that is
    /// the rightmost node. One step back from the leftmost node leaves the
    /// iteration range: it yields the header when the root has a left
    /// subtree, and the leftmost node itself when the root is the leftmost
    /// node. Nothing else is written.
    /// Complexity: O(height). Throws: nothing.
    KEL_STD_API static void decrement(kel_tree_node*& node, kel_tree_node* nil);

    /// Rotates the tree left about `node`; its right child (the pivot) takes
    /// its place and `node` becomes the pivot's left child.
    /// Requires: `node->right` is an element node; `root` is the header's
    /// `parent`.
    /// Effects: writes `node->right`, the parent of the pivot's former left
    /// child unless that is `nil`, the pivot's `parent` and `left`,
    /// `node->parent`, and the link that held `node` (`root` when `node` is
    /// the root). No colour, no sentinel member and neither the header's
    /// `left` nor `right` is written.
    /// Complexity: constant. Throws: nothing.
    KEL_STD_API static void rotate_left(kel_tree_node* node, kel_tree_node*& root, kel_tree_node* nil);

    /// Rotates the tree right about `node`: the mirror image of `rotate_left`
    /// (the pivot is `node->left`).
    /// Requires: `node->left` is an element node; `root` is the header's
    /// `parent`.
    /// Complexity: constant. Throws: nothing.
    KEL_STD_API static void rotate_right(kel_tree_node* node, kel_tree_node*& root, kel_tree_node* nil);

    /// Links `new_node` under `parent_node` and rebalances the tree.
    /// Requires: `parent_node` is an element node whose chosen child link is
    /// `nil`, or, for an empty tree only, the header with `insert_left` true;
    /// the new node's place keeps the container's order; `new_node` belongs to
    /// no tree; `rightmost`, `leftmost`, `root` are the header's `right`,
    /// `left` and `parent`.
    /// Effects: overwrites all four members of `new_node` (they need no
    /// preparation); links it as the left (`insert_left`) or right child of
    /// `parent_node`; updates `leftmost` and `rightmost` when the new node
    /// becomes the first or last node (for an empty tree: root, leftmost and
    /// rightmost all become `new_node`); recolours and rotates element nodes
    /// and writes `root` when a rotation moves the root. The header's colour
    /// and the nil sentinel are never written. `ignored` is never read.
    /// Complexity: O(height), at most two rotations. Throws: nothing.
    KEL_STD_API static void insert(bool insert_left, kel_tree_node* ignored, kel_tree_node* parent_node,
                                   kel_tree_node* new_node, kel_tree_node*& rightmost, kel_tree_node*& leftmost,
                                   kel_tree_node*& root, kel_tree_node* header, kel_tree_node* nil);

    /// Unlinks `node` from the tree and rebalances it.
    /// Requires: `node` is an element node of this tree; `rightmost`,
    /// `leftmost`, `root` are the header's `right`, `left` and `parent`.
    /// Effects: a node with two children is replaced by its in-order successor
    /// node, relinked (no element moves between nodes) and given `node`'s
    /// colour; updates `leftmost`, `rightmost` and `root` as needed; writes the
    /// nil sentinel's `parent` whenever the child moving up is the sentinel and
    /// may rewrite the sentinel's colour with black. Erasing the last node
    /// leaves the empty tree (root `nil`, leftmost and rightmost the header)
    /// and the sentinel's `parent` at the header. The removed node's own links
    /// keep their old values; do not use them.
    /// Returns: `node`.
    /// Complexity: O(height), at most three rotations. Throws: nothing.
    KEL_STD_API static kel_tree_node* erase(kel_tree_node* node, kel_tree_node*& rightmost, kel_tree_node*& leftmost,
                                            kel_tree_node*& root, kel_tree_node* header, kel_tree_node* nil);
};

} // namespace kel_std

#endif // KEL_STD_TREE_H
