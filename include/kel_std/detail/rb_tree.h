// The one red-black tree template behind set, multiset, map and multimap.
//
// The rebalancing lives in the shared library: nodes are linked with
// kel_tree_aux::insert and unlinked with kel_tree_aux::erase. This header
// compares keys, allocates and frees nodes, and steps iterators.
//
// Layout of a container: the header node (embedded, so end() stays valid
// while elements come and go), a pointer to the container's own nil
// sentinel, the element count, and the comparator and node allocator (empty
// ones take no space). The sentinel is allocated with the first element, so
// an empty container allocates nothing and its default and move constructors
// cannot throw. Every element node is one allocation: a kel_tree_node
// followed by the value.
//
// A container without a sentinel keeps a null pointer in its place and in
// the header's parent (the root slot): every descent from the root stops at
// once, since the root equals the sentinel, so lookups need no special case.
#ifndef KEL_STD_DETAIL_RB_TREE_H
#define KEL_STD_DETAIL_RB_TREE_H

#include <kel_std/config.h>
#include <kel_std/detail/container_util.h>
#include <kel_std/detail/node_alloc.h>
#include <kel_std/detail/node_handle.h>
#include <kel_std/tree.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

/// An element node: the links first, then the value, constructed separately.
template <class Value>
struct tree_node : kel_tree_node {
    typedef Value value_type;
    union {
        Value value_;
    };
    tree_node() noexcept {}
    ~tree_node() {}
    tree_node(const tree_node&) = delete;
    tree_node& operator=(const tree_node&) = delete;
    Value& value() noexcept { return value_; }
};

// Whether `x` is a header: the only red node whose parent is a sentinel
// (left link null), null (a container without a sentinel), or has `x` as its
// own parent. The root is also its own grandparent, but it is black.
inline bool is_header(const kel_tree_node* x) noexcept {
    return x->color == kel_tree_node::red &&
           (x->parent == nullptr || x->parent->left == nullptr || x->parent->parent == x);
}

// The in-order successor, inline: the same steps as kel_tree_aux::increment,
// which a test checks node by node.
inline kel_tree_node* tree_next(kel_tree_node* x, const kel_tree_node* nil) noexcept {
    if (x->right != nil) {
        x = x->right;
        while (x->left != nil)
            x = x->left;
        return x;
    }
    kel_tree_node* y = x->parent;
    while (x == y->right) {
        x = y;
        y = y->parent;
    }
    // Climbing from the last node when the root is the last node goes one
    // level too far, to the header; the header's right (the root) says so.
    return x->right == y ? x : y;
}

// The in-order predecessor, inline: the same steps as kel_tree_aux::decrement.
inline kel_tree_node* tree_prev(kel_tree_node* x, const kel_tree_node* nil) noexcept {
    if (x->color == kel_tree_node::red && x->parent->parent == x)
        return x->right; // the header: the last node
    if (x->left != nil) {
        x = x->left;
        while (x->right != nil)
            x = x->right;
        return x;
    }
    kel_tree_node* y = x->parent;
    while (x == y->left) {
        x = y;
        y = y->parent;
    }
    return y;
}

// One step back. From the header the sentinel is read off the last node, so
// that an end() taken while the container had no sentinel yet can walk back
// through elements inserted since.
inline void tree_step_back(kel_tree_node*& node, kel_tree_node*& nil) noexcept {
    KEL_STD_ASSERT(node != nullptr);
    KEL_STD_ASSERT(!(node->color == kel_tree_node::red && (node->parent == nullptr || node->parent->left == nullptr)) &&
                   "decrementing end() of an empty container");
    // The header of a tree with elements: the root is its parent and it is
    // the root's parent (the root is also its own grandparent, but black).
    const bool from_header = node->color == kel_tree_node::red && node->parent->parent == node;
    kel_tree_node* const from = node;
    node = tree_prev(node, nil);
    if (from_header)
        nil = node->right;
    KEL_STD_ASSERT(!is_header(node) && node != from); // not before begin()
    static_cast<void>(from);
}

/// Bidirectional iterator over a tree's values; `Const` makes it read only,
/// as the iterators of sets are. It carries the tree's sentinel, which
/// stepping needs; the sentinel moves with the nodes when a container is
/// moved or swapped, so iterators stay valid across both.
template <class Value, bool Const>
class tree_iterator {
public:
    typedef std::bidirectional_iterator_tag iterator_category;
    typedef Value value_type;
    typedef std::ptrdiff_t difference_type;
    typedef typename std::conditional<Const, const Value*, Value*>::type pointer;
    typedef typename std::conditional<Const, const Value&, Value&>::type reference;

    tree_iterator() noexcept : node_(nullptr), nil_(nullptr) {}
    tree_iterator(kel_tree_node* n, kel_tree_node* nil) noexcept : node_(n), nil_(nil) {}
    // A mutable iterator converts to a constant one (and each to itself).
    template <bool C, class = typename std::enable_if<Const || !C>::type>
    tree_iterator(const tree_iterator<Value, C>& it) noexcept : node_(it.node_), nil_(it.nil_) {}

    reference operator*() const noexcept {
        KEL_STD_ASSERT(node_ != nullptr && !is_header(node_));
        return static_cast<tree_node<Value>*>(node_)->value();
    }
    pointer operator->() const noexcept { return std::addressof(**this); }

    tree_iterator& operator++() noexcept {
        KEL_STD_ASSERT(node_ != nullptr && !is_header(node_));
        node_ = tree_next(node_, nil_);
        return *this;
    }
    tree_iterator operator++(int) noexcept {
        tree_iterator old = *this;
        ++*this;
        return old;
    }
    tree_iterator& operator--() noexcept {
        tree_step_back(node_, nil_);
        return *this;
    }
    tree_iterator operator--(int) noexcept {
        tree_iterator old = *this;
        --*this;
        return old;
    }

    template <bool C>
    bool operator==(const tree_iterator<Value, C>& other) const noexcept {
        return node_ == other.node_;
    }
    template <bool C>
    bool operator!=(const tree_iterator<Value, C>& other) const noexcept {
        return node_ != other.node_;
    }

    kel_tree_node* node_;
    kel_tree_node* nil_;
};

// A deduction guide applies to an input iterator, a comparator that is not
// an allocator and an allocator.
template <class It, class C, class A>
using require_guide =
    typename std::enable_if<is_input_iterator<It>::value && !is_allocator<C>::value && is_allocator<A>::value>::type;

struct tree_inspector;

/// The tree behind all four ordered containers.
///
/// `KeyOfValue::get(v)` is the key of a value; `Multi` says whether equal
/// keys may repeat. Iterators of sets are read-only.
template <class Key, class Value, class KeyOfValue, class Compare, class Alloc, bool Multi>
class rb_tree {
    typedef tree_node<Value> node;
    typedef node_alloc<Alloc, node> node_alloc_type;
    typedef typename node_alloc_type::allocator_type node_allocator;
    typedef typename node_alloc_type::traits node_traits;
    typedef typename std::allocator_traits<Alloc>::template rebind_alloc<kel_tree_node> nil_allocator;
    typedef std::allocator_traits<nil_allocator> nil_traits;
    typedef node_holder<Alloc, node> holder;
    static const bool is_set = std::is_same<KeyOfValue, identity_key>::value;

    template <class, class, class, class, class, bool>
    friend class rb_tree;
    friend struct tree_inspector;

public:
    typedef Key key_type;
    typedef Value value_type;
    typedef Compare key_compare;
    typedef Alloc allocator_type;
    typedef std::size_t size_type;
    typedef std::ptrdiff_t difference_type;
    typedef value_type& reference;
    typedef const value_type& const_reference;
    typedef typename std::allocator_traits<Alloc>::pointer pointer;
    typedef typename std::allocator_traits<Alloc>::const_pointer const_pointer;
    typedef tree_iterator<Value, is_set> iterator;
    typedef tree_iterator<Value, true> const_iterator;
    typedef std::reverse_iterator<iterator> reverse_iterator;
    typedef std::reverse_iterator<const_iterator> const_reverse_iterator;
    typedef
        typename std::conditional<is_set, set_node_handle<node, Alloc>, map_node_handle<node, Alloc>>::type node_type;
    typedef
        typename std::conditional<Multi, iterator, node_insert_return<iterator, node_type>>::type insert_return_type;

private:
    typedef typename std::conditional<Multi, iterator, std::pair<iterator, bool>>::type single_insert_result;

    // What a tree is apart from its comparator and allocator.
    struct links {
        kel_tree_node header;
        kel_tree_node* nil;
        size_type size;

        // The empty tree over sentinel `n` (null: none yet).
        void reset(kel_tree_node* n) noexcept {
            header.color = kel_tree_node::red;
            header.parent = n;
            header.left = header.right = &header;
            nil = n;
            size = 0;
        }
    };

    struct impl : ebo_box<Compare, 0>, ebo_box<node_allocator, 1>, links {
        impl() : ebo_box<Compare, 0>(), ebo_box<node_allocator, 1>() { this->reset(nullptr); }
        impl(const Compare& c, const node_allocator& a) : ebo_box<Compare, 0>(c), ebo_box<node_allocator, 1>(a) {
            this->reset(nullptr);
        }
    };
    impl impl_;

    Compare& comp() noexcept { return impl_.ebo_box<Compare, 0>::get(); }
    const Compare& comp() const noexcept { return impl_.ebo_box<Compare, 0>::get(); }
    node_allocator& node_alloc_ref() noexcept { return impl_.ebo_box<node_allocator, 1>::get(); }
    const node_allocator& node_alloc_ref() const noexcept { return impl_.ebo_box<node_allocator, 1>::get(); }
    kel_tree_node* header() noexcept { return &impl_.header; }
    const kel_tree_node* header() const noexcept { return &impl_.header; }
    kel_tree_node* root() const noexcept { return impl_.header.parent; }
    static const Key& key_of(const kel_tree_node* x) noexcept {
        return KeyOfValue::get(static_cast<const node*>(x)->value_);
    }
    static node* as_node(kel_tree_node* x) noexcept { return static_cast<node*>(x); }
    iterator make_iter(kel_tree_node* x) const noexcept { return iterator(x, impl_.nil); }
    const_iterator make_citer(kel_tree_node* x) const noexcept { return const_iterator(x, impl_.nil); }
    kel_tree_node* end_node() const noexcept { return const_cast<kel_tree_node*>(&impl_.header); }

public:
    // ---- construction, assignment, destruction ----

    rb_tree() noexcept(std::is_nothrow_default_constructible<Compare>::value&&
                           std::is_nothrow_default_constructible<node_allocator>::value)
        : impl_() {}

    explicit rb_tree(const Compare& c, const Alloc& a = Alloc()) : impl_(c, node_allocator(a)) {}

    explicit rb_tree(const Alloc& a) : impl_(Compare(), node_allocator(a)) {}

    // The constructors that insert release everything they built when an
    // exception ends them: no destructor runs for an object whose
    // constructor did not finish.

    template <class InputIt, class = typename std::enable_if<is_input_iterator<InputIt>::value>::type>
    rb_tree(InputIt first, InputIt last, const Compare& c = Compare(), const Alloc& a = Alloc())
        : impl_(c, node_allocator(a)) {
        guarded_insert_range(first, last);
    }

    template <class InputIt, class = typename std::enable_if<is_input_iterator<InputIt>::value>::type>
    rb_tree(InputIt first, InputIt last, const Alloc& a) : impl_(Compare(), node_allocator(a)) {
        guarded_insert_range(first, last);
    }

    rb_tree(std::initializer_list<value_type> il, const Compare& c = Compare(), const Alloc& a = Alloc())
        : impl_(c, node_allocator(a)) {
        guarded_insert_range(il.begin(), il.end());
    }

    rb_tree(std::initializer_list<value_type> il, const Alloc& a) : impl_(Compare(), node_allocator(a)) {
        guarded_insert_range(il.begin(), il.end());
    }

    rb_tree(const rb_tree& other)
        : impl_(other.comp(), node_traits::select_on_container_copy_construction(other.node_alloc_ref())) {
        copy_from(other);
    }

    rb_tree(const rb_tree& other, const Alloc& a) : impl_(other.comp(), node_allocator(a)) { copy_from(other); }

    // The comparator is copied, not moved, so that the source stays usable.
    rb_tree(rb_tree&& other) noexcept(std::is_nothrow_copy_constructible<Compare>::value)
        : impl_(other.comp(), std::move(other.node_alloc_ref())) {
        steal(other);
    }

    rb_tree(rb_tree&& other, const Alloc& a) : impl_(other.comp(), node_allocator(a)) {
        if (node_alloc_ref() == other.node_alloc_ref()) {
            steal(other);
        } else if (other.impl_.size != 0) {
            KEL_STD_TRY {
                new_node_source source(*this);
                install_clone<true>(other, source);
            }
            KEL_STD_CATCH_ALL {
                release_all();
                KEL_STD_RETHROW;
            }
            other.clear();
        }
    }

    // Nodes that may be dropped (see node_alloc::droppable) are left to the
    // manager, the sentinel with them: nothing is visited or deallocated.
    ~rb_tree() {
        if (node_alloc_type::droppable(node_alloc_ref()))
            return;
        destroy_all();
        free_nil();
    }

    rb_tree& operator=(const rb_tree& other) {
        if (this == &other)
            return *this;
        typedef typename node_traits::propagate_on_container_copy_assignment pocca;
        if (pocca::value && node_alloc_ref() != other.node_alloc_ref())
            release_all(); // everything we hold goes back to the old allocator first
        propagate_copy(node_alloc_ref(), other.node_alloc_ref(), pocca());
        comp() = other.comp();
        assign_from<false>(other);
        return *this;
    }

    rb_tree& operator=(rb_tree&& other) noexcept(
        node_traits::is_always_equal::value&& std::is_nothrow_copy_assignable<Compare>::value) {
        if (this == &other)
            return *this;
        typedef typename node_traits::propagate_on_container_move_assignment pocma;
        comp() = other.comp();
        if (pocma::value || node_alloc_ref() == other.node_alloc_ref()) {
            release_all();
            propagate_move(node_alloc_ref(), other.node_alloc_ref(), pocma());
            steal(other);
        } else {
            // Different memory: the elements move one by one into nodes of
            // our own (reused where we have them).
            assign_from<true>(other);
            other.clear();
        }
        return *this;
    }

    allocator_type get_allocator() const noexcept { return allocator_type(node_alloc_ref()); }

    // ---- iterators ----

    iterator begin() noexcept { return make_iter(impl_.header.left); }
    const_iterator begin() const noexcept { return make_citer(impl_.header.left); }
    const_iterator cbegin() const noexcept { return begin(); }
    iterator end() noexcept { return make_iter(header()); }
    const_iterator end() const noexcept { return make_citer(end_node()); }
    const_iterator cend() const noexcept { return end(); }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator crbegin() const noexcept { return rbegin(); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }
    const_reverse_iterator crend() const noexcept { return rend(); }

    // ---- capacity ----

    bool empty() const noexcept { return impl_.size == 0; }
    size_type size() const noexcept { return impl_.size; }
    size_type max_size() const noexcept {
        return detail::max_count_for<difference_type, size_type>(node_traits::max_size(node_alloc_ref()), sizeof(node));
    }

    // ---- modifiers ----

    // The sentinel stays for the next elements; droppable nodes are left to
    // the manager without a visit.
    void clear() noexcept {
        if (!node_alloc_type::droppable(node_alloc_ref()))
            destroy_all();
        impl_.reset(impl_.nil);
    }

    single_insert_result insert(const value_type& v) { return insert_value(v, std::integral_constant<bool, Multi>()); }
    single_insert_result insert(value_type&& v) {
        return insert_value(std::move(v), std::integral_constant<bool, Multi>());
    }
    iterator insert(const_iterator hint, const value_type& v) { return insert_hint_value(hint, v); }
    iterator insert(const_iterator hint, value_type&& v) { return insert_hint_value(hint, std::move(v)); }
    template <class InputIt>
    void insert(InputIt first, InputIt last) {
        insert_range(first, last);
    }
    void insert(std::initializer_list<value_type> il) { insert_range(il.begin(), il.end()); }

    template <class... Args>
    single_insert_result emplace(Args&&... args) {
        ensure_nil(); // before anything is taken from the arguments
        holder h(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<Args>(args)...));
        return insert_holder(h, std::integral_constant<bool, Multi>());
    }

    template <class... Args>
    iterator emplace_hint(const_iterator hint, Args&&... args) {
        ensure_nil();
        holder h(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<Args>(args)...));
        return insert_hint_holder(hint, h);
    }

    insert_return_type insert(node_type&& nh) {
        return insert_node_handle(std::move(nh), std::integral_constant<bool, Multi>());
    }

    iterator insert(const_iterator hint, node_type&& nh) {
        if (nh.empty())
            return end();
        KEL_STD_ASSERT(get_allocator() == nh.get_allocator());
        ensure_nil(); // before the node leaves the handle
        node* n = node_handle_access::node(nh);
        const position pos = hint_position(hint, KeyOfValue::get(n->value_));
        if (pos.existing != nullptr)
            return make_iter(pos.existing);
        node_handle_access::release(nh);
        return make_iter(link(pos, n));
    }

    node_type extract(const_iterator pos) {
        check_element(pos);
        return node_handle_access::make<node_type>(as_node(unlink(pos.node_)), get_allocator());
    }

    node_type extract(const key_type& k) {
        const iterator it = find(k);
        if (it == end())
            return node_type();
        return extract(const_iterator(it));
    }

    /// Moves into this container every node of `source` whose key it can
    /// take: all of them when keys may repeat, else those whose key is not
    /// here yet. Nothing is copied or allocated. Requires: equal allocators.
    template <class C2, bool M2>
    void merge(rb_tree<Key, Value, KeyOfValue, C2, Alloc, M2>& source) {
        if (static_cast<const void*>(&source) == static_cast<const void*>(this))
            return;
        KEL_STD_ASSERT(get_allocator() == source.get_allocator());
        if (source.impl_.size == 0)
            return;
        ensure_nil(); // linking below must not allocate once a node has left the source
        kel_tree_node* x = source.impl_.header.left;
        while (x != &source.impl_.header) {
            kel_tree_node* const next = tree_next(x, source.impl_.nil);
            const position pos = Multi ? equal_position(key_of(x)) : unique_position(key_of(x));
            if (pos.existing == nullptr)
                link(pos, static_cast<node*>(source.unlink(x)));
            x = next;
        }
    }
    template <class C2, bool M2>
    void merge(rb_tree<Key, Value, KeyOfValue, C2, Alloc, M2>&& source) {
        merge(source);
    }

    iterator erase(const_iterator pos) {
        check_element(pos);
        kel_tree_node* const next = tree_next(pos.node_, impl_.nil);
        destroy_node(as_node(unlink(pos.node_)));
        return make_iter(next);
    }

    iterator erase(const_iterator first, const_iterator last) {
        if (first.node_ == impl_.header.left && last.node_ == header()) {
            clear();
            return end();
        }
        while (first != last)
            first = erase(first);
        return make_iter(last.node_);
    }

    size_type erase(const key_type& k) { return erase_key(k, std::integral_constant<bool, Multi>()); }

private:
    // Unique keys: one descent finds the only node to erase.
    size_type erase_key(const key_type& k, std::false_type /*unique*/) {
        kel_tree_node* const x = find_node(k);
        if (x == end_node())
            return 0;
        destroy_node(as_node(unlink(x)));
        return 1;
    }

    size_type erase_key(const key_type& k, std::true_type /*multi*/) {
        const std::pair<kel_tree_node*, kel_tree_node*> r = equal_range_nodes(k);
        size_type n = 0;
        for (kel_tree_node* x = r.first; x != r.second; ++n) {
            kel_tree_node* const next = tree_next(x, impl_.nil);
            destroy_node(as_node(unlink(x)));
            x = next;
        }
        return n;
    }

public:
    /// Exchanges contents, comparators and (as the allocator's traits ask)
    /// allocators in constant time; iterators follow their elements.
    void swap(rb_tree& other) noexcept(noexcept(swap_adl(std::declval<Compare&>(), std::declval<Compare&>()))) {
        if (this == &other)
            return;
        typedef typename node_traits::propagate_on_container_swap pocs;
        // Without propagation the standard requires equal allocators.
        KEL_STD_ASSERT(pocs::value || node_alloc_ref() == other.node_alloc_ref());
        links tmp;
        take_links(tmp, impl_);
        take_links(impl_, other.impl_);
        take_links(other.impl_, tmp);
        swap_adl(comp(), other.comp());
        propagate_swap(node_alloc_ref(), other.node_alloc_ref(), pocs());
    }

    // ---- lookup ----

    size_type count(const key_type& k) const { return count_impl(k, std::integral_constant<bool, Multi>()); }
    template <class K, class C = Compare, class = typename C::is_transparent>
    size_type count(const K& k) const {
        const std::pair<kel_tree_node*, kel_tree_node*> r = equal_range_nodes(k);
        return distance(r.first, r.second);
    }

    iterator find(const key_type& k) { return make_iter(find_node(k)); }
    const_iterator find(const key_type& k) const { return make_citer(find_node(k)); }
    template <class K, class C = Compare, class = typename C::is_transparent>
    iterator find(const K& k) {
        return make_iter(find_node(k));
    }
    template <class K, class C = Compare, class = typename C::is_transparent>
    const_iterator find(const K& k) const {
        return make_citer(find_node(k));
    }

    bool contains(const key_type& k) const { return find_node(k) != end_node(); }
    template <class K, class C = Compare, class = typename C::is_transparent>
    bool contains(const K& k) const {
        return find_node(k) != end_node();
    }

    iterator lower_bound(const key_type& k) { return make_iter(lower_bound_node(k)); }
    const_iterator lower_bound(const key_type& k) const { return make_citer(lower_bound_node(k)); }
    template <class K, class C = Compare, class = typename C::is_transparent>
    iterator lower_bound(const K& k) {
        return make_iter(lower_bound_node(k));
    }
    template <class K, class C = Compare, class = typename C::is_transparent>
    const_iterator lower_bound(const K& k) const {
        return make_citer(lower_bound_node(k));
    }

    iterator upper_bound(const key_type& k) { return make_iter(upper_bound_node(k)); }
    const_iterator upper_bound(const key_type& k) const { return make_citer(upper_bound_node(k)); }
    template <class K, class C = Compare, class = typename C::is_transparent>
    iterator upper_bound(const K& k) {
        return make_iter(upper_bound_node(k));
    }
    template <class K, class C = Compare, class = typename C::is_transparent>
    const_iterator upper_bound(const K& k) const {
        return make_citer(upper_bound_node(k));
    }

    std::pair<iterator, iterator> equal_range(const key_type& k) {
        const std::pair<kel_tree_node*, kel_tree_node*> r = equal_range_nodes(k);
        return std::pair<iterator, iterator>(make_iter(r.first), make_iter(r.second));
    }
    std::pair<const_iterator, const_iterator> equal_range(const key_type& k) const {
        const std::pair<kel_tree_node*, kel_tree_node*> r = equal_range_nodes(k);
        return std::pair<const_iterator, const_iterator>(make_citer(r.first), make_citer(r.second));
    }
    template <class K, class C = Compare, class = typename C::is_transparent>
    std::pair<iterator, iterator> equal_range(const K& k) {
        const std::pair<kel_tree_node*, kel_tree_node*> r = equal_range_nodes(k);
        return std::pair<iterator, iterator>(make_iter(r.first), make_iter(r.second));
    }
    template <class K, class C = Compare, class = typename C::is_transparent>
    std::pair<const_iterator, const_iterator> equal_range(const K& k) const {
        const std::pair<kel_tree_node*, kel_tree_node*> r = equal_range_nodes(k);
        return std::pair<const_iterator, const_iterator>(make_citer(r.first), make_citer(r.second));
    }

    // ---- observers ----

    key_compare key_comp() const { return comp(); }

protected:
    // The assignment from an initializer list of the public classes, which
    // return themselves.
    void assign_list(std::initializer_list<value_type> il) {
        clear();
        insert_range(il.begin(), il.end());
    }

    // Where a new key goes: under `parent`, on the left or the right; or,
    // for unique keys, the node that already holds an equal key.
    struct position {
        kel_tree_node* parent;
        bool left;
        kel_tree_node* existing;
    };

    // The position for a unique key: one descent, comparing `k` with each
    // node on the way. The last node whose key is not greater than `k` is the
    // only one that can be equal to it.
    template <class K>
    position unique_position(const K& k) const {
        kel_tree_node* x = root();
        kel_tree_node* y = end_node();
        kel_tree_node* not_greater = nullptr;
        bool left = true;
        while (x != impl_.nil) {
            y = x;
            left = comp()(k, key_of(x));
            if (left) {
                x = x->left;
            } else {
                not_greater = x;
                x = x->right;
            }
        }
        position pos = {y, left, nullptr};
        if (not_greater != nullptr && !comp()(key_of(not_greater), k))
            pos.existing = not_greater;
        return pos;
    }

    // The position for a repeated key: after every equal key (upper bound),
    // or with `BeforeEqual` before every one (lower bound).
    template <bool BeforeEqual = false, class K>
    position equal_position(const K& k) const {
        kel_tree_node* x = root();
        kel_tree_node* y = end_node();
        bool left = true;
        while (x != impl_.nil) {
            y = x;
            left = BeforeEqual ? !comp()(key_of(x), k) : comp()(k, key_of(x));
            x = left ? x->left : x->right;
        }
        position pos = {y, left, nullptr};
        return pos;
    }

    // The position for `k` as close as possible to just before `hint`: a
    // correct hint costs one or two comparisons and no descent.
    template <class K>
    position hint_position(const_iterator hint, const K& k) const {
        check_hint(hint);
        return Multi ? hint_equal_position(hint.node_, k) : hint_unique_position(hint.node_, k);
    }

    template <class K>
    position hint_unique_position(kel_tree_node* h, const K& k) const {
        const kel_tree_node* const leftmost = impl_.header.left;
        kel_tree_node* const rightmost = impl_.header.right;
        if (h == end_node()) {
            if (impl_.size != 0 && comp()(key_of(rightmost), k))
                return at(rightmost, false);
            return unique_position(k);
        }
        if (comp()(k, key_of(h))) {
            if (h == leftmost)
                return at(h, true);
            kel_tree_node* const before = tree_prev(h, impl_.nil);
            if (comp()(key_of(before), k))
                return before->right == impl_.nil ? at(before, false) : at(h, true);
            return unique_position(k);
        }
        if (comp()(key_of(h), k)) {
            if (h == rightmost)
                return at(h, false);
            kel_tree_node* const after = tree_next(h, impl_.nil);
            if (comp()(k, key_of(after)))
                return h->right == impl_.nil ? at(h, false) : at(after, true);
            return unique_position(k);
        }
        position pos = {nullptr, false, h};
        return pos;
    }

    // Repeated keys: a hint that is right puts the key just before it; one
    // that is not falls back to the end of the equal keys (or, when `k` is
    // above the hint, to their start, the place nearest the hint).
    template <class K>
    position hint_equal_position(kel_tree_node* h, const K& k) const {
        const kel_tree_node* const leftmost = impl_.header.left;
        kel_tree_node* const rightmost = impl_.header.right;
        if (h == end_node()) {
            if (impl_.size != 0 && !comp()(k, key_of(rightmost)))
                return at(rightmost, false);
            return equal_position(k);
        }
        if (!comp()(key_of(h), k)) {
            if (h == leftmost)
                return at(h, true);
            kel_tree_node* const before = tree_prev(h, impl_.nil);
            if (!comp()(k, key_of(before)))
                return before->right == impl_.nil ? at(before, false) : at(h, true);
            return equal_position(k);
        }
        if (h == rightmost)
            return at(h, false);
        kel_tree_node* const after = tree_next(h, impl_.nil);
        if (!comp()(key_of(after), k))
            return h->right == impl_.nil ? at(h, false) : at(after, true);
        return equal_position<true>(k);
    }

    static position at(kel_tree_node* parent, bool left) noexcept {
        position pos = {parent, left, nullptr};
        return pos;
    }

    // Links a node at a free position. Requires the sentinel, which every
    // insertion makes (with the first element) before it builds a node or
    // takes one from the caller: if that allocation fails, the caller keeps
    // the value, the node handle or the merge source's nodes.
    kel_tree_node* link(const position& pos, node* n) noexcept {
        KEL_STD_ASSERT(impl_.nil != nullptr);
        kel_tree_node& h = impl_.header;
        kel_tree_aux::insert(pos.left, nullptr, pos.parent, n, h.right, h.left, h.parent, &h, impl_.nil);
        ++impl_.size;
        return n;
    }

    kel_tree_node* unlink(kel_tree_node* x) noexcept {
        kel_tree_node& h = impl_.header;
        kel_tree_aux::erase(x, h.right, h.left, h.parent, &h, impl_.nil);
        --impl_.size;
        return x;
    }

    template <class V>
    single_insert_result insert_value(V&& v, std::false_type /*unique*/) {
        const position pos = unique_position(KeyOfValue::get(v));
        if (pos.existing != nullptr)
            return single_insert_result(make_iter(pos.existing), false);
        ensure_nil();
        holder h(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<V>(v)));
        link(pos, h.get());
        return single_insert_result(make_iter(h.release()), true);
    }

    template <class V>
    single_insert_result insert_value(V&& v, std::true_type /*multi*/) {
        ensure_nil();
        holder h(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<V>(v)));
        link(equal_position(KeyOfValue::get(h.get()->value_)), h.get());
        return make_iter(h.release());
    }

    template <class V>
    iterator insert_hint_value(const_iterator hint, V&& v) {
        const position pos = hint_position(hint, KeyOfValue::get(v));
        if (pos.existing != nullptr)
            return make_iter(pos.existing);
        ensure_nil();
        holder h(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<V>(v)));
        link(pos, h.get());
        return make_iter(h.release());
    }

    single_insert_result insert_holder(holder& h, std::false_type /*unique*/) {
        const position pos = unique_position(KeyOfValue::get(h.get()->value_));
        if (pos.existing != nullptr)
            return single_insert_result(make_iter(pos.existing), false);
        link(pos, h.get());
        return single_insert_result(make_iter(h.release()), true);
    }

    single_insert_result insert_holder(holder& h, std::true_type /*multi*/) {
        link(equal_position(KeyOfValue::get(h.get()->value_)), h.get());
        return make_iter(h.release());
    }

    iterator insert_hint_holder(const_iterator hint, holder& h) {
        const position pos = hint_position(hint, KeyOfValue::get(h.get()->value_));
        if (pos.existing != nullptr)
            return make_iter(pos.existing);
        link(pos, h.get());
        return make_iter(h.release());
    }

    insert_return_type insert_node_handle(node_type&& nh, std::false_type /*unique*/) {
        insert_return_type r = {end(), false, node_type()};
        if (nh.empty())
            return r;
        KEL_STD_ASSERT(get_allocator() == nh.get_allocator());
        ensure_nil(); // before the node leaves the handle
        node* n = node_handle_access::node(nh);
        const position pos = unique_position(KeyOfValue::get(n->value_));
        if (pos.existing != nullptr) {
            r.position = make_iter(pos.existing);
            r.node = std::move(nh);
            return r;
        }
        node_handle_access::release(nh);
        r.position = make_iter(link(pos, n));
        r.inserted = true;
        return r;
    }

    insert_return_type insert_node_handle(node_type&& nh, std::true_type /*multi*/) {
        if (nh.empty())
            return end();
        KEL_STD_ASSERT(get_allocator() == nh.get_allocator());
        ensure_nil(); // before the node leaves the handle
        node* n = node_handle_access::node(nh);
        const position pos = equal_position(KeyOfValue::get(n->value_));
        node_handle_access::release(nh);
        return make_iter(link(pos, n));
    }

    // Range insertion with an end() hint: sorted input links each element
    // under the last one after a single comparison, O(n) in all.
    template <class InputIt>
    void insert_range(InputIt first, InputIt last) {
        for (; first != last; ++first)
            emplace_hint(end(), *first);
    }

    // Looks up the node for `k` for try_emplace and operator[], which build
    // the value only when the key is new.
    template <class K, class... Args>
    std::pair<iterator, bool> try_emplace_impl(K&& k, Args&&... args) {
        const position pos = unique_position(k);
        if (pos.existing != nullptr)
            return std::pair<iterator, bool>(make_iter(pos.existing), false);
        return std::pair<iterator, bool>(
            make_iter(create_and_link(pos, std::forward<K>(k), std::forward<Args>(args)...)), true);
    }

    template <class K, class... Args>
    iterator try_emplace_hint_impl(const_iterator hint, K&& k, Args&&... args) {
        const position pos = hint_position(hint, k);
        if (pos.existing != nullptr)
            return make_iter(pos.existing);
        return make_iter(create_and_link(pos, std::forward<K>(k), std::forward<Args>(args)...));
    }

    template <class K, class... Args>
    kel_tree_node* create_and_link(const position& pos, K&& k, Args&&... args) {
        ensure_nil();
        holder h(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::piecewise_construct,
                                                           std::forward_as_tuple(std::forward<K>(k)),
                                                           std::forward_as_tuple(std::forward<Args>(args)...)));
        link(pos, h.get());
        return h.release();
    }

    template <class K>
    kel_tree_node* find_node(const K& k) const {
        kel_tree_node* const y = lower_bound_node(k);
        return y == end_node() || comp()(k, key_of(y)) ? end_node() : y;
    }

    template <class K>
    kel_tree_node* lower_bound_node(const K& k) const {
        return lower_bound_below(root(), end_node(), k);
    }

    template <class K>
    kel_tree_node* lower_bound_below(kel_tree_node* x, kel_tree_node* y, const K& k) const {
        while (x != impl_.nil) {
            if (!comp()(key_of(x), k)) {
                y = x;
                x = x->left;
            } else {
                x = x->right;
            }
        }
        return y;
    }

    template <class K>
    kel_tree_node* upper_bound_node(const K& k) const {
        return upper_bound_below(root(), end_node(), k);
    }

    template <class K>
    kel_tree_node* upper_bound_below(kel_tree_node* x, kel_tree_node* y, const K& k) const {
        while (x != impl_.nil) {
            if (comp()(k, key_of(x))) {
                y = x;
                x = x->left;
            } else {
                x = x->right;
            }
        }
        return y;
    }

    // Both bounds from one descent until the first equal key, then one
    // descent each into its two subtrees.
    template <class K>
    std::pair<kel_tree_node*, kel_tree_node*> equal_range_nodes(const K& k) const {
        kel_tree_node* x = root();
        kel_tree_node* y = end_node();
        while (x != impl_.nil) {
            if (comp()(key_of(x), k)) {
                x = x->right;
            } else if (comp()(k, key_of(x))) {
                y = x;
                x = x->left;
            } else {
                return std::pair<kel_tree_node*, kel_tree_node*>(lower_bound_below(x->left, x, k),
                                                                 upper_bound_below(x->right, y, k));
            }
        }
        return std::pair<kel_tree_node*, kel_tree_node*>(y, y);
    }

    size_type count_impl(const key_type& k, std::false_type /*unique*/) const {
        return find_node(k) == end_node() ? 0 : 1;
    }
    size_type count_impl(const key_type& k, std::true_type /*multi*/) const {
        const std::pair<kel_tree_node*, kel_tree_node*> r = equal_range_nodes(k);
        return distance(r.first, r.second);
    }

    size_type distance(kel_tree_node* first, kel_tree_node* last) const noexcept {
        size_type n = 0;
        for (; first != last; first = tree_next(first, impl_.nil))
            ++n;
        return n;
    }

    // Debug checks on iterators handed to the container: an element of this
    // container (not end()), or for hints any position of this container.
    void check_element(const const_iterator& pos) const noexcept {
        KEL_STD_ASSERT(pos.node_ != nullptr && pos.node_ != end_node() && "erase or extract of end()");
        KEL_STD_ASSERT(pos.nil_ == impl_.nil && "iterator of another container");
        static_cast<void>(pos);
    }
    void check_hint(const const_iterator& hint) const noexcept {
        KEL_STD_ASSERT((hint.node_ == end_node() || (hint.nil_ == impl_.nil && hint.node_ != nullptr)) &&
                       "hint of another container");
        static_cast<void>(hint);
    }

private:
    void ensure_nil() {
        if (impl_.nil != nullptr)
            return;
        nil_allocator a(node_alloc_ref());
        kel_tree_node* const n = to_raw(nil_traits::allocate(a, 1));
        ::new (static_cast<void*>(n)) kel_tree_node;
        kel_tree_aux::init_nil(n);
        impl_.nil = n;
        impl_.header.parent = n; // the empty tree over the new sentinel
    }

    void free_nil() noexcept {
        if (impl_.nil == nullptr)
            return;
        kel_tree_aux::uninit_nil(impl_.nil);
        nil_allocator a(node_alloc_ref());
        nil_traits::deallocate(a, std::pointer_traits<typename nil_traits::pointer>::pointer_to(*impl_.nil), 1);
        impl_.nil = nullptr;
        impl_.header.parent = nullptr;
    }

    // Destroys every element and gives back the sentinel: the state of a
    // new container.
    void release_all() noexcept {
        destroy_all();
        free_nil();
        impl_.reset(nullptr);
    }

    void destroy_node(node* n) noexcept { node_alloc_type::destroy(node_alloc_ref(), n); }

    // Pops the nodes of the subtree under `x` one at a time without a stack:
    // a node with a left child is rotated right until the leftmost node is
    // on top, which then leaves with its right subtree as the remainder.
    static kel_tree_node* pop_leftmost(kel_tree_node*& x, const kel_tree_node* nil) noexcept {
        while (x->left != nil) {
            kel_tree_node* const l = x->left;
            x->left = l->right;
            l->right = x;
            x = l;
        }
        kel_tree_node* const top = x;
        x = x->right;
        return top;
    }

    // Destroys every element; the header and the sentinel are left as they
    // are (callers reset them).
    void destroy_all() noexcept { destroy_subtree(root()); }

    // Destroys the subtree under `x`: recursion into right children, a loop
    // down the left ones, so the depth is bounded by the tree's height.
    void destroy_subtree(kel_tree_node* x) noexcept {
        while (x != impl_.nil) {
            destroy_subtree(x->right);
            kel_tree_node* const left = x->left;
            destroy_node(as_node(x));
            x = left;
        }
    }

    // Takes over `other`'s nodes and sentinel; `other` is left empty without
    // a sentinel. Our own tree must be empty and without a sentinel.
    void steal(rb_tree& other) noexcept {
        take_links(impl_, other.impl_);
        other.impl_.reset(nullptr);
    }

    // Copies the header, sentinel and size of `from` into `to` and points
    // the root back at its new header.
    static void take_links(links& to, const links& from) noexcept {
        to.nil = from.nil;
        to.size = from.size;
        if (from.size == 0) {
            to.header.parent = from.nil;
            to.header.left = to.header.right = &to.header;
        } else {
            to.header.parent = from.header.parent;
            to.header.left = from.header.left;
            to.header.right = from.header.right;
            to.header.parent->parent = &to.header;
        }
    }

    // A source of nodes for copying: takes the old nodes of the target tree
    // one by one (destroying their values) while there are any, then
    // allocates new ones. Whatever was not reused is destroyed at the end.
    class node_source {
    public:
        // `old_root`: the root of the old nodes, or null when there are none.
        node_source(rb_tree& t, kel_tree_node* old_root) noexcept : tree_(t), rest_(old_root) {}
        ~node_source() {
            while (rest_ != nullptr)
                tree_.destroy_node(take());
        }
        node_source(const node_source&) = delete;
        node_source& operator=(const node_source&) = delete;

        template <class V>
        node* make(V&& v) {
            if (rest_ == nullptr)
                return node_alloc_type::create(tree_.node_alloc_ref(), std::forward<V>(v));
            node* const n = take();
            node_traits::destroy(tree_.node_alloc_ref(), std::addressof(n->value_));
            KEL_STD_TRY {
                node_traits::construct(tree_.node_alloc_ref(), std::addressof(n->value_), std::forward<V>(v));
            }
            KEL_STD_CATCH_ALL {
                node_alloc_type::deallocate(tree_.node_alloc_ref(), n);
                KEL_STD_RETHROW;
            }
            return n;
        }

    private:
        node* take() noexcept {
            node* const n = as_node(pop_leftmost(rest_, tree_.impl_.nil));
            if (rest_ == tree_.impl_.nil)
                rest_ = nullptr;
            return n;
        }

        rb_tree& tree_;
        kel_tree_node* rest_;
    };

    // A source of new nodes only.
    class new_node_source {
    public:
        explicit new_node_source(rb_tree& t) noexcept : tree_(t) {}
        template <class V>
        node* make(V&& v) {
            return node_alloc_type::create(tree_.node_alloc_ref(), std::forward<V>(v));
        }

    private:
        rb_tree& tree_;
    };

    // Clones the shape and colours of the subtree under `src` (of a tree
    // whose sentinel is `src_nil`) below `parent`, without comparing keys.
    // Recursion follows right children only, so its depth is bounded by the
    // height. If a value's copy throws, the part built so far is destroyed.
    template <bool Move, class Source>
    kel_tree_node* clone(kel_tree_node* src, const kel_tree_node* src_nil, kel_tree_node* parent, Source& source) {
        kel_tree_node* const top = clone_one<Move>(src, parent, source);
        KEL_STD_TRY {
            if (src->right != src_nil)
                top->right = clone<Move>(src->right, src_nil, top, source);
            kel_tree_node* p = top;
            for (src = src->left; src != src_nil; src = src->left) {
                kel_tree_node* const y = clone_one<Move>(src, p, source);
                p->left = y;
                if (src->right != src_nil)
                    y->right = clone<Move>(src->right, src_nil, y, source);
                p = y;
            }
        }
        KEL_STD_CATCH_ALL {
            kel_tree_node* x = top;
            while (x != impl_.nil)
                destroy_node(as_node(pop_leftmost(x, impl_.nil)));
            KEL_STD_RETHROW;
        }
        return top;
    }

    template <bool Move, class Source>
    kel_tree_node* clone_one(kel_tree_node* src, kel_tree_node* parent, Source& source) {
        node* const n = source.make(value_cast<Move>::get(as_node(src)->value_));
        n->color = src->color;
        n->parent = parent;
        n->left = n->right = impl_.nil;
        return n;
    }

    // Builds a copy of `other`'s tree into this new one.
    void copy_from(const rb_tree& other) {
        if (other.impl_.size == 0)
            return;
        KEL_STD_TRY {
            new_node_source source(*this);
            install_clone<false>(other, source);
        }
        KEL_STD_CATCH_ALL {
            release_all(); // the sentinel
            KEL_STD_RETHROW;
        }
    }

    template <class InputIt>
    void guarded_insert_range(InputIt first, InputIt last) {
        KEL_STD_TRY {
            insert_range(first, last);
        }
        KEL_STD_CATCH_ALL {
            release_all();
            KEL_STD_RETHROW;
        }
    }

    // Copies (or moves) `other`'s values into this tree, reusing the nodes
    // it has. On an exception the tree is left empty and nothing leaks.
    template <bool Move>
    void assign_from(const rb_tree& other) {
        kel_tree_node* const old_root = impl_.size != 0 ? root() : nullptr;
        impl_.reset(impl_.nil);
        node_source source(*this, old_root);
        if (other.impl_.size != 0)
            install_clone<Move>(other, source);
    }

    // (Values are reached through the node pointers, so a const source can
    // still be moved from when Move is set.)
    template <bool Move, class Source>
    void install_clone(const rb_tree& other, Source& source) {
        ensure_nil();
        kel_tree_node* const r = clone<Move>(other.root(), other.impl_.nil, header(), source);
        impl_.header.parent = r;
        kel_tree_node* x = r;
        while (x->left != impl_.nil)
            x = x->left;
        impl_.header.left = x;
        x = r;
        while (x->right != impl_.nil)
            x = x->right;
        impl_.header.right = x;
        impl_.size = other.impl_.size;
    }
};

template <class K, class V, class KoV, class C, class A, bool M>
const bool rb_tree<K, V, KoV, C, A, M>::is_set;

// The comparison operators of the four containers, found by argument-
// dependent lookup through their common base: equal sizes and equal
// elements in order, and lexicographical order of the elements. Under C++20
// only == and <=>, as the standard containers have them.

template <class K, class V, class KoV, class C, class A, bool M>
bool operator==(const rb_tree<K, V, KoV, C, A, M>& a, const rb_tree<K, V, KoV, C, A, M>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

#if KEL_STD_THREE_WAY_COMPARISON
template <class K, class V, class KoV, class C, class A, bool M>
auto operator<=>(const rb_tree<K, V, KoV, C, A, M>& a, const rb_tree<K, V, KoV, C, A, M>& b) {
    return lexicographical_three_way(a.begin(), a.end(), b.begin(), b.end());
}
#else
template <class K, class V, class KoV, class C, class A, bool M>
bool operator!=(const rb_tree<K, V, KoV, C, A, M>& a, const rb_tree<K, V, KoV, C, A, M>& b) {
    return !(a == b);
}
template <class K, class V, class KoV, class C, class A, bool M>
bool operator<(const rb_tree<K, V, KoV, C, A, M>& a, const rb_tree<K, V, KoV, C, A, M>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}
template <class K, class V, class KoV, class C, class A, bool M>
bool operator>(const rb_tree<K, V, KoV, C, A, M>& a, const rb_tree<K, V, KoV, C, A, M>& b) {
    return b < a;
}
template <class K, class V, class KoV, class C, class A, bool M>
bool operator<=(const rb_tree<K, V, KoV, C, A, M>& a, const rb_tree<K, V, KoV, C, A, M>& b) {
    return !(b < a);
}
template <class K, class V, class KoV, class C, class A, bool M>
bool operator>=(const rb_tree<K, V, KoV, C, A, M>& a, const rb_tree<K, V, KoV, C, A, M>& b) {
    return !(a < b);
}
#endif

} // namespace detail

/// Erases every element of an ordered container for which `pred` returns
/// true; returns how many were erased.
template <class K, class V, class KoV, class C, class A, bool M, class Pred>
typename detail::rb_tree<K, V, KoV, C, A, M>::size_type erase_if(detail::rb_tree<K, V, KoV, C, A, M>& c, Pred pred) {
    const typename detail::rb_tree<K, V, KoV, C, A, M>::size_type old_size = c.size();
    for (typename detail::rb_tree<K, V, KoV, C, A, M>::iterator it = c.begin(); it != c.end();) {
        if (pred(*it))
            it = c.erase(it);
        else
            ++it;
    }
    return old_size - c.size();
}
} // namespace kel_std

#endif // KEL_STD_DETAIL_RB_TREE_H
