// The one hash table behind unordered_set, unordered_multiset, unordered_map
// and unordered_multimap.
//
// Separate chaining over a power-of-two number of buckets:
//
// - Every element is one node, allocated on its own (so references stay
//   valid until the element is erased, rehashing included): the link to the
//   next node of its bucket, the element's hash after mixing, and the value.
// - A bucket is the head of a singly linked chain of its own nodes. The
//   bucket of a hash is its low bits; the container mixes every hash first
//   (one 64x64->128 multiplication, folded), so identity hashes such as
//   std::hash<int> and hashes reduced below a modulus spread over the
//   buckets like any other. Hashers that mix their own values (member
//   is_avalanching, as kel_std::hash of texts) are taken as they are.
// - The stored hash is compared before the key: most unequal keys in a
//   bucket are rejected without calling the equality, and a rehash never
//   calls the hash function (so it can fail only while allocating, before
//   anything has changed).
// - The bucket array is one allocation: the bucket count less one, the
//   bucket heads, then one bit per bucket saying whether it is occupied.
//   Iteration goes from chain to chain by scanning those bits, and its loads
//   of bucket heads do not depend on one another (a list through all nodes
//   would make every step wait for the previous node).
// - Iterators hold their node, the bucket array (which travels with the
//   elements when containers are swapped or moved), the node's bucket and
//   the occupied buckets still ahead in its word, so that stepping to the
//   next bucket never waits for the current node to arrive from memory.
// - Equal keys of the multi containers are adjacent in their chain; a
//   rehash moves each run of equal hashes as a block, keeping the relative
//   order of equal elements.
//
// An empty container that never held elements has no bucket array
// (bucket_count() is 0): the default and move constructors allocate
// nothing and do not throw.
#ifndef KEL_STD_DETAIL_HASH_TABLE_H
#define KEL_STD_DETAIL_HASH_TABLE_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/container_util.h>
#include <kel_std/detail/node_alloc.h>
#include <kel_std/detail/node_handle.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
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

/// The part of a node that the table links: the next node of the bucket and
/// the element's mixed hash.
struct hash_link {
    hash_link* next;
    std::size_t hash;
};

/// An element node: the link, then the value, constructed separately.
template <class Value>
struct hash_node : hash_link {
    typedef Value value_type;
    union {
        Value value_;
    };
    hash_node() noexcept {}
    ~hash_node() {}
    hash_node(const hash_node&) = delete;
    hash_node& operator=(const hash_node&) = delete;
    Value& value() noexcept { return value_; }
};

/// One word of a bucket array: a bucket head, or a word of the bucket count
/// or of the occupancy bits.
union hash_slot {
    hash_link* head;
    std::size_t bits;
};

const std::size_t hash_word_bits = sizeof(std::size_t) * 8;

// Layout of a bucket array of n buckets (n a power of two):
//   slot 0                    n - 1 (the mask of a hash's bucket bits)
//   slots 1 .. n              the bucket heads
//   slot n + 1                a null head past the last bucket
//   the next n / bits + 1     occupancy: bit b of word b / bits for bucket b,
//                             and bit n always set, so that a scan for the
//                             next occupied bucket needs no bounds test and
//                             ends on the null head
inline std::size_t hash_mask_words(std::size_t buckets) noexcept {
    return buckets / hash_word_bits + 1;
}
inline std::size_t hash_table_slots(std::size_t buckets) noexcept {
    return 2 + buckets + hash_mask_words(buckets);
}

/// Index of the lowest set bit of a non-zero word.
inline unsigned hash_lowest_bit(std::size_t w) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    return sizeof(std::size_t) == sizeof(unsigned long long) ? static_cast<unsigned>(__builtin_ctzll(w))
                                                             : static_cast<unsigned>(__builtin_ctzl(w));
#else
    unsigned i = 0;
    while ((w & 1u) == 0) {
        w >>= 1;
        ++i;
    }
    return i;
#endif
}

/// Mixes a hash value so that its low bits depend on all of its bits.
inline std::size_t mix_hash(std::size_t h) noexcept {
#if defined(__SIZEOF_INT128__) && defined(__SIZEOF_SIZE_T__) && __SIZEOF_SIZE_T__ == 8
    // The full 128-bit product by the golden-ratio constant, both halves
    // folded: the low half carries the low bits of h upward, the high half
    // brings the high bits down.
    __extension__ typedef unsigned __int128 wide;
    const wide p = static_cast<wide>(h) * static_cast<wide>(0x9E3779B97F4A7C15ull);
    return static_cast<std::size_t>(p) ^ static_cast<std::size_t>(p >> 64);
#else
    // A multiply-xorshift finaliser where no double-width product exists.
    const unsigned shift = sizeof(std::size_t) * 4;
    h ^= h >> shift;
    h *= static_cast<std::size_t>(0x9E3779B97F4A7C15ull);
    h ^= h >> shift;
    return h;
#endif
}

/// The first node in or after bucket `b` of the bucket array `table`, or
/// null when there is none; its bucket (the bucket count when there is none)
/// goes to `found`, and the occupancy bits of the buckets after it in the
/// same word go to `rest`. `b` may be the bucket count.
inline hash_link* hash_first_from(const hash_slot* table, std::size_t b, std::size_t& found,
                                  std::size_t& rest) noexcept {
    const hash_slot* const words = table + 2 + (table[0].bits + 1);
    std::size_t w = b / hash_word_bits;
    std::size_t word = words[w].bits & (~static_cast<std::size_t>(0) << (b % hash_word_bits));
    while (word == 0)
        word = words[++w].bits;
    found = w * hash_word_bits + hash_lowest_bit(word);
    rest = word & (word - 1);
    return table[1 + found].head;
}

/// As above, without the rest of the word.
inline hash_link* hash_first_from(const hash_slot* table, std::size_t b, std::size_t& found) noexcept {
    std::size_t rest = 0;
    return hash_first_from(table, b, found, rest);
}

/// Steps node `n` of bucket `b` to the next node in iteration order (null
/// after the last). `rest` holds occupancy bits of the buckets after `b` in
/// its word, as they were when the iterator passed them; 0 means none or
/// not known. The step to another bucket needs only these, not the node's
/// contents, so an iteration does not wait for one node to arrive from
/// memory before it fetches the next. A bucket that has been emptied since
/// (by erasing other elements) is skipped; buckets occupied since may be
/// missed, as elements inserted during an iteration may be.
inline void hash_step(const hash_slot* table, hash_link*& n, std::size_t& b, std::size_t& rest) noexcept {
    if (n->next != nullptr) {
        n = n->next;
        return;
    }
    while (rest != 0) {
        const std::size_t next = (b & ~(hash_word_bits - 1)) + hash_lowest_bit(rest);
        rest &= rest - 1;
        if (next > table[0].bits) { // the sentinel past the last bucket
            b = next;
            n = nullptr;
            return;
        }
        b = next;
        n = table[1 + next].head;
        if (n != nullptr)
            return;
    }
    n = hash_first_from(table, b + 1, b, rest);
}

/// The node after `n` in iteration order, or null after the last.
inline hash_link* hash_next(const hash_slot* table, hash_link* n) noexcept {
    std::size_t b = n->hash & table[0].bits;
    std::size_t rest = 0;
    hash_step(table, n, b, rest);
    return n;
}

/// The first node in or after bucket `b`, or null.
inline hash_link* hash_first_from(const hash_slot* table, std::size_t b) noexcept {
    std::size_t found = 0;
    return hash_first_from(table, b, found);
}

template <class Value, bool Const>
class hash_iterator;

/// Forward iterator over a hash table's values: the node (null at the end),
/// the bucket array the node was in when the iterator was made, the node's
/// bucket, and the occupancy bits it will visit next.
template <class Value, bool Const>
class hash_iterator {
public:
    typedef std::forward_iterator_tag iterator_category;
    typedef Value value_type;
    typedef std::ptrdiff_t difference_type;
    typedef typename std::conditional<Const, const Value*, Value*>::type pointer;
    typedef typename std::conditional<Const, const Value&, Value&>::type reference;

    hash_iterator() noexcept : node_(nullptr), table_(nullptr), bucket_(0), rest_(0) {}
    hash_iterator(hash_link* n, const hash_slot* t, std::size_t b) noexcept
        : node_(n), table_(t), bucket_(b), rest_(0) {}
    // A mutable iterator converts to a constant one (and each to itself).
    template <bool C, class = typename std::enable_if<Const || !C>::type>
    hash_iterator(const hash_iterator<Value, C>& it) noexcept
        : node_(it.node_), table_(it.table_), bucket_(it.bucket_), rest_(it.rest_) {}

    reference operator*() const noexcept {
        KEL_STD_ASSERT(node_ != nullptr && "dereferencing end()");
        return static_cast<hash_node<Value>*>(node_)->value();
    }
    pointer operator->() const noexcept { return std::addressof(**this); }

    hash_iterator& operator++() noexcept {
        KEL_STD_ASSERT(node_ != nullptr && "incrementing end()");
        hash_step(table_, node_, bucket_, rest_);
        return *this;
    }
    hash_iterator operator++(int) noexcept {
        hash_iterator old = *this;
        ++*this;
        return old;
    }

    template <bool C>
    bool operator==(const hash_iterator<Value, C>& other) const noexcept {
        return node_ == other.node_;
    }
    template <bool C>
    bool operator!=(const hash_iterator<Value, C>& other) const noexcept {
        return node_ != other.node_;
    }

    hash_link* node_;
    const hash_slot* table_;
    std::size_t bucket_; // the node's bucket
    std::size_t rest_;   // occupancy bits after bucket_ in its word (see hash_step)
};

/// Forward iterator over the nodes of one bucket.
template <class Value, bool Const>
class hash_local_iterator {
public:
    typedef std::forward_iterator_tag iterator_category;
    typedef Value value_type;
    typedef std::ptrdiff_t difference_type;
    typedef typename std::conditional<Const, const Value*, Value*>::type pointer;
    typedef typename std::conditional<Const, const Value&, Value&>::type reference;

    hash_local_iterator() noexcept : node_(nullptr) {}
    explicit hash_local_iterator(hash_link* n) noexcept : node_(n) {}
    template <bool C, class = typename std::enable_if<Const || !C>::type>
    hash_local_iterator(const hash_local_iterator<Value, C>& it) noexcept : node_(it.node_) {}

    reference operator*() const noexcept {
        KEL_STD_ASSERT(node_ != nullptr && "dereferencing the end of a bucket");
        return static_cast<hash_node<Value>*>(node_)->value();
    }
    pointer operator->() const noexcept { return std::addressof(**this); }
    hash_local_iterator& operator++() noexcept {
        KEL_STD_ASSERT(node_ != nullptr && "incrementing the end of a bucket");
        node_ = node_->next;
        return *this;
    }
    hash_local_iterator operator++(int) noexcept {
        hash_local_iterator old = *this;
        ++*this;
        return old;
    }
    template <bool C>
    bool operator==(const hash_local_iterator<Value, C>& other) const noexcept {
        return node_ == other.node_;
    }
    template <bool C>
    bool operator!=(const hash_local_iterator<Value, C>& other) const noexcept {
        return node_ != other.node_;
    }

    hash_link* node_;
};

/// Whether an allocator is known to hand out zero-filled memory, so that a
/// new bucket array need not be cleared a second time.
template <class A>
struct hash_zeroing_allocator : std::false_type {};
template <class T>
struct hash_zeroing_allocator<allocator<T>> : std::true_type {};

// A deduction guide applies to an input iterator, a hash that is neither an
// integer nor an allocator, an equality that is not an allocator, and an
// allocator.
template <class It, class H, class P, class A>
using hash_require_guide =
    typename std::enable_if<is_input_iterator<It>::value && !std::is_integral<H>::value && !is_allocator<H>::value &&
                            !is_allocator<P>::value && is_allocator<A>::value>::type;

/// Whether both the hasher and the equality are transparent, which enables
/// lookups by any type they accept.
template <class...>
struct hash_void {
    typedef void type;
};
template <class H, class P, class = void>
struct hash_transparent : std::false_type {};
template <class H, class P>
struct hash_transparent<H, P, typename hash_void<typename H::is_transparent, typename P::is_transparent>::type>
    : std::true_type {};

/// Whether the hasher says that its values are mixed already: its member
/// `is_avalanching` is a type whose `value` is true (the convention that
/// Boost.Unordered reads too). Every bit of such a hasher's argument reaches
/// the low bits of its value, so the table takes the value as it is instead
/// of mixing it (kel_std::hash of the text types says so). A class derived
/// from such a hasher that computes other values must say otherwise.
template <class H, class = void>
struct hash_is_avalanching : std::false_type {};
template <class H>
struct hash_is_avalanching<H, typename hash_void<decltype(H::is_avalanching::value)>::type>
    : std::integral_constant<bool, H::is_avalanching::value> {};

/// The bucket hash of a hasher's value: the value mixed, or as it is when
/// the hasher mixes its own values.
inline std::size_t table_hash(std::size_t h, std::false_type) noexcept {
    return mix_hash(h);
}
inline std::size_t table_hash(std::size_t h, std::true_type) noexcept {
    return h;
}

struct hash_table_inspector;

/// The hash table behind all four hashed containers.
///
/// `KeyOfValue::get(v)` is the key of a value; `Multi` says whether equal
/// keys may repeat. Iterators of sets are read-only.
template <class Key, class Value, class KeyOfValue, class Hash, class Pred, class Alloc, bool Multi>
class hash_table {
    typedef hash_node<Value> node;
    typedef node_alloc<Alloc, node> node_alloc_type;
    typedef typename node_alloc_type::allocator_type node_allocator;
    typedef typename node_alloc_type::traits node_traits;
    typedef typename std::allocator_traits<Alloc>::template rebind_alloc<hash_slot> slot_allocator;
    typedef std::allocator_traits<slot_allocator> slot_traits;
    typedef node_holder<Alloc, node> holder;
    static const bool is_set = std::is_same<KeyOfValue, identity_key>::value;

    template <class, class, class, class, class, class, bool>
    friend class hash_table;
    friend struct hash_table_inspector;

public:
    typedef Key key_type;
    typedef Value value_type;
    typedef Hash hasher;
    typedef Pred key_equal;
    typedef Alloc allocator_type;
    typedef std::size_t size_type;
    typedef std::ptrdiff_t difference_type;
    typedef value_type& reference;
    typedef const value_type& const_reference;
    typedef typename std::allocator_traits<Alloc>::pointer pointer;
    typedef typename std::allocator_traits<Alloc>::const_pointer const_pointer;
    typedef hash_iterator<Value, is_set> iterator;
    typedef hash_iterator<Value, true> const_iterator;
    typedef hash_local_iterator<Value, is_set> local_iterator;
    typedef hash_local_iterator<Value, true> const_local_iterator;
    typedef
        typename std::conditional<is_set, set_node_handle<node, Alloc>, map_node_handle<node, Alloc>>::type node_type;
    typedef
        typename std::conditional<Multi, iterator, node_insert_return<iterator, node_type>>::type insert_return_type;

private:
    typedef typename std::conditional<Multi, iterator, std::pair<iterator, bool>>::type single_insert_result;

    // What a table is apart from its hasher, equality and allocator.
    struct state {
        hash_slot* table;   // the bucket array, or null before the first
        hash_slot* buckets; // table + 1, or the shared empty bucket
        size_type mask;     // bucket count - 1 (0 without a table)
        size_type size;
        size_type first; // the first occupied bucket; the bucket count when empty
        size_type limit; // an insertion at this size rehashes first
        float max_load;

        void reset() noexcept {
            table = nullptr;
            buckets = empty_bucket();
            mask = 0;
            size = 0;
            first = 0;
            limit = 0;
        }
    };

    struct impl : ebo_box<Hash, 0>, ebo_box<Pred, 1>, ebo_box<node_allocator, 2>, state {
        impl() : ebo_box<Hash, 0>(), ebo_box<Pred, 1>(), ebo_box<node_allocator, 2>() { init(); }
        impl(const Hash& h, const Pred& p, const node_allocator& a)
            : ebo_box<Hash, 0>(h), ebo_box<Pred, 1>(p), ebo_box<node_allocator, 2>(a) {
            init();
        }
        void init() noexcept {
            this->reset();
            this->max_load = 1.0f;
        }
    };
    impl impl_;

    // The one bucket of every container without a bucket array: always
    // empty, never written, so lookups need no test for a missing table.
    static hash_slot* empty_bucket() noexcept {
        static hash_slot bucket; // zero-initialised: a null head
        return &bucket;
    }

    Hash& hash_ref() noexcept { return impl_.ebo_box<Hash, 0>::get(); }
    const Hash& hash_ref() const noexcept { return impl_.ebo_box<Hash, 0>::get(); }
    Pred& eq_ref() noexcept { return impl_.ebo_box<Pred, 1>::get(); }
    const Pred& eq_ref() const noexcept { return impl_.ebo_box<Pred, 1>::get(); }
    node_allocator& node_alloc_ref() noexcept { return impl_.ebo_box<node_allocator, 2>::get(); }
    const node_allocator& node_alloc_ref() const noexcept { return impl_.ebo_box<node_allocator, 2>::get(); }

    static const Key& key_of(const hash_link* n) noexcept {
        return KeyOfValue::get(static_cast<const node*>(n)->value_);
    }
    static node* as_node(hash_link* n) noexcept { return static_cast<node*>(n); }
    iterator make_iter(hash_link* n) const noexcept {
        return iterator(n, impl_.table, n != nullptr ? n->hash & impl_.mask : 0);
    }
    const_iterator make_citer(hash_link* n) const noexcept { return make_iter(n); }
    size_type bucket_total() const noexcept { return impl_.table != nullptr ? impl_.mask + 1 : 0; }

    template <class K>
    std::size_t hash_of(const K& k) const {
        return table_hash(static_cast<std::size_t>(hash_ref()(k)), hash_is_avalanching<Hash>());
    }

public:
    // ---- construction, assignment, destruction ----

    hash_table() noexcept(
        std::is_nothrow_default_constructible<Hash>::value&& std::is_nothrow_default_constructible<Pred>::value&&
            std::is_nothrow_default_constructible<node_allocator>::value)
        : impl_() {}

    explicit hash_table(size_type bucket_count, const Hash& h = Hash(), const Pred& p = Pred(),
                        const Alloc& a = Alloc())
        : impl_(h, p, node_allocator(a)) {
        initial_buckets(bucket_count);
    }

    hash_table(size_type bucket_count, const Alloc& a) : impl_(Hash(), Pred(), node_allocator(a)) {
        initial_buckets(bucket_count);
    }

    hash_table(size_type bucket_count, const Hash& h, const Alloc& a) : impl_(h, Pred(), node_allocator(a)) {
        initial_buckets(bucket_count);
    }

    explicit hash_table(const Alloc& a) : impl_(Hash(), Pred(), node_allocator(a)) {}

    template <class InputIt, class = typename std::enable_if<is_input_iterator<InputIt>::value>::type>
    hash_table(InputIt first, InputIt last, size_type bucket_count = 0, const Hash& h = Hash(), const Pred& p = Pred(),
               const Alloc& a = Alloc())
        : impl_(h, p, node_allocator(a)) {
        construct_range(first, last, bucket_count);
    }

    template <class InputIt, class = typename std::enable_if<is_input_iterator<InputIt>::value>::type>
    hash_table(InputIt first, InputIt last, size_type bucket_count, const Alloc& a)
        : impl_(Hash(), Pred(), node_allocator(a)) {
        construct_range(first, last, bucket_count);
    }

    template <class InputIt, class = typename std::enable_if<is_input_iterator<InputIt>::value>::type>
    hash_table(InputIt first, InputIt last, const Alloc& a) : impl_(Hash(), Pred(), node_allocator(a)) {
        construct_range(first, last, 0);
    }

    template <class InputIt, class = typename std::enable_if<is_input_iterator<InputIt>::value>::type>
    hash_table(InputIt first, InputIt last, size_type bucket_count, const Hash& h, const Alloc& a)
        : impl_(h, Pred(), node_allocator(a)) {
        construct_range(first, last, bucket_count);
    }

    hash_table(std::initializer_list<value_type> il, size_type bucket_count = 0, const Hash& h = Hash(),
               const Pred& p = Pred(), const Alloc& a = Alloc())
        : impl_(h, p, node_allocator(a)) {
        construct_range(il.begin(), il.end(), bucket_count);
    }

    hash_table(std::initializer_list<value_type> il, size_type bucket_count, const Alloc& a)
        : impl_(Hash(), Pred(), node_allocator(a)) {
        construct_range(il.begin(), il.end(), bucket_count);
    }

    hash_table(std::initializer_list<value_type> il, const Alloc& a) : impl_(Hash(), Pred(), node_allocator(a)) {
        construct_range(il.begin(), il.end(), 0);
    }

    hash_table(std::initializer_list<value_type> il, size_type bucket_count, const Hash& h, const Alloc& a)
        : impl_(h, Pred(), node_allocator(a)) {
        construct_range(il.begin(), il.end(), bucket_count);
    }

    hash_table(const hash_table& other)
        : impl_(other.hash_ref(), other.eq_ref(),
                node_traits::select_on_container_copy_construction(other.node_alloc_ref())) {
        impl_.max_load = other.impl_.max_load;
        clone_from<false>(other);
    }

    hash_table(const hash_table& other, const Alloc& a) : impl_(other.hash_ref(), other.eq_ref(), node_allocator(a)) {
        impl_.max_load = other.impl_.max_load;
        clone_from<false>(other);
    }

    // The hasher and equality are copied, not moved, so that the source
    // stays usable.
    hash_table(hash_table&& other) noexcept(
        std::is_nothrow_copy_constructible<Hash>::value&& std::is_nothrow_copy_constructible<Pred>::value)
        : impl_(other.hash_ref(), other.eq_ref(), std::move(other.node_alloc_ref())) {
        steal(other);
    }

    hash_table(hash_table&& other, const Alloc& a) : impl_(other.hash_ref(), other.eq_ref(), node_allocator(a)) {
        if (node_alloc_ref() == other.node_alloc_ref()) {
            steal(other);
        } else {
            impl_.max_load = other.impl_.max_load;
            clone_from<true>(other);
            other.clear();
        }
    }

    // Nodes that may be dropped (see node_alloc::droppable) are left to the
    // manager, the bucket array with them: nothing is visited or deallocated.
    ~hash_table() {
        if (!node_alloc_type::droppable(node_alloc_ref()))
            release_all();
    }

    hash_table& operator=(const hash_table& other) {
        if (this == &other)
            return *this;
        typedef typename node_traits::propagate_on_container_copy_assignment pocca;
        // The copy is built first, with the allocator this table will have:
        // if it fails, this table is unchanged.
        node_allocator a(node_alloc_ref());
        propagate_copy(a, other.node_alloc_ref(), pocca());
        hash_table copy(other, Alloc(a));
        release_all(); // everything we hold goes back to the allocator it came from
        propagate_copy(node_alloc_ref(), other.node_alloc_ref(), pocca());
        hash_ref() = other.hash_ref();
        eq_ref() = other.eq_ref();
        steal(copy);
        return *this;
    }

    hash_table& operator=(hash_table&& other) noexcept(
        node_traits::is_always_equal::value&& std::is_nothrow_copy_assignable<Hash>::value&&
            std::is_nothrow_copy_assignable<Pred>::value) {
        if (this == &other)
            return *this;
        typedef typename node_traits::propagate_on_container_move_assignment pocma;
        if (pocma::value || node_alloc_ref() == other.node_alloc_ref()) {
            release_all();
            propagate_move(node_alloc_ref(), other.node_alloc_ref(), pocma());
            hash_ref() = other.hash_ref();
            eq_ref() = other.eq_ref();
            steal(other);
        } else {
            // Different memory: the elements move one by one into nodes of
            // our own, in the same buckets.
            hash_table moved(std::move(other), Alloc(node_alloc_ref()));
            release_all();
            hash_ref() = other.hash_ref();
            eq_ref() = other.eq_ref();
            steal(moved);
        }
        return *this;
    }

    /// Replaces the contents with the values of `il`.
    void assign_list(std::initializer_list<value_type> il) {
        clear();
        insert(il.begin(), il.end());
    }

    allocator_type get_allocator() const noexcept { return allocator_type(node_alloc_ref()); }

    // ---- iterators ----

    iterator begin() noexcept { return iterator(first_node(), impl_.table, impl_.first); }
    const_iterator begin() const noexcept { return const_iterator(first_node(), impl_.table, impl_.first); }
    const_iterator cbegin() const noexcept { return begin(); }
    iterator end() noexcept { return make_iter(nullptr); }
    const_iterator end() const noexcept { return make_citer(nullptr); }
    const_iterator cend() const noexcept { return end(); }

    // ---- capacity ----

    bool empty() const noexcept { return impl_.size == 0; }
    size_type size() const noexcept { return impl_.size; }
    size_type max_size() const noexcept {
        return detail::max_count_for<difference_type, size_type>(node_traits::max_size(node_alloc_ref()), sizeof(node));
    }

    // ---- modifiers ----

    // The bucket array stays for the next elements; droppable nodes are left
    // to the manager without a visit.
    void clear() noexcept {
        if (impl_.size == 0)
            return;
        if (!node_alloc_type::droppable(node_alloc_ref()))
            destroy_nodes();
        const size_type count = impl_.mask + 1;
        std::memset(static_cast<void*>(impl_.buckets), 0, (count + 1 + hash_mask_words(count)) * sizeof(hash_slot));
        set_bit(count);
        impl_.size = 0;
        impl_.first = count;
    }

    single_insert_result insert(const value_type& v) { return insert_value(v, std::integral_constant<bool, Multi>()); }
    single_insert_result insert(value_type&& v) {
        return insert_value(std::move(v), std::integral_constant<bool, Multi>());
    }
    iterator insert(const_iterator hint, const value_type& v) { return emplace_hint(hint, v); }
    iterator insert(const_iterator hint, value_type&& v) { return emplace_hint(hint, std::move(v)); }
    template <class InputIt>
    void insert(InputIt first, InputIt last) {
        for (; first != last; ++first)
            emplace(*first);
    }
    void insert(std::initializer_list<value_type> il) { insert(il.begin(), il.end()); }

    template <class... Args>
    single_insert_result emplace(Args&&... args) {
        holder h(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<Args>(args)...));
        return insert_holder(h, std::integral_constant<bool, Multi>());
    }

    // An element whose key equals the hint's is placed next to the hint (a
    // multi container) or not inserted (a unique one) without a search.
    template <class... Args>
    iterator emplace_hint(const_iterator hint, Args&&... args) {
        check_hint(hint);
        holder h(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<Args>(args)...));
        node* const n = h.get();
        n->hash = hash_of(KeyOfValue::get(n->value_));
        hash_link* const at = hint.node_;
        if (at != nullptr && at->hash == n->hash && eq_ref()(KeyOfValue::get(n->value_), key_of(at))) {
            if (!Multi)
                return make_iter(at);
            reserve_one();
            link_after(at, h.release());
            return make_iter(n);
        }
        return as_iterator(insert_holder(h, std::integral_constant<bool, Multi>()));
    }

    insert_return_type insert(node_type&& nh) {
        return insert_node_handle(std::move(nh), std::integral_constant<bool, Multi>());
    }

    // The node stays in `nh` when its key is present (unique keys).
    iterator insert(const_iterator hint, node_type&& nh) {
        check_hint(hint);
        if (nh.empty())
            return end();
        bool inserted = false;
        return make_iter(place_node_handle(nh, inserted));
    }

    node_type extract(const_iterator pos) {
        check_element(pos);
        hash_link* const n = pos.node_;
        unlink(slot_before(n), n->hash & impl_.mask);
        return node_handle_access::make<node_type>(as_node(n), get_allocator());
    }

    node_type extract(const key_type& k) {
        const std::size_t h = hash_of(k);
        hash_link** const p = find_slot(k, h);
        if (p == nullptr)
            return node_type();
        hash_link* const n = *p;
        unlink(p, h & impl_.mask);
        return node_handle_access::make<node_type>(as_node(n), get_allocator());
    }

    /// Moves into this container every node of `source` whose key it can
    /// take: all of them when keys may repeat, else those whose key is not
    /// here yet. Nothing is copied or allocated but bucket arrays. Requires:
    /// equal allocators. A hash or equality that throws stops the merge with
    /// every node in one of the two containers.
    template <class H2, class P2, bool M2>
    void merge(hash_table<Key, Value, KeyOfValue, H2, P2, Alloc, M2>& source) {
        if (static_cast<const void*>(&source) == static_cast<const void*>(this))
            return;
        KEL_STD_ASSERT(get_allocator() == source.get_allocator());
        if (source.impl_.size == 0)
            return;
        hash_link* n = source.first_node();
        while (n != nullptr) {
            hash_link* const next = hash_next(source.impl_.table, n);
            const std::size_t h = hash_of(key_of(n));
            hash_link* const equal = find_node(key_of(n), h);
            if (Multi || equal == nullptr) {
                reserve_one(); // before the node leaves the source
                source.unlink(source.slot_before(n), n->hash & source.impl_.mask);
                n->hash = h;
                if (equal != nullptr)
                    link_after(equal, n);
                else
                    link_front(n);
            }
            n = next;
        }
    }
    template <class H2, class P2, bool M2>
    void merge(hash_table<Key, Value, KeyOfValue, H2, P2, Alloc, M2>&& source) {
        merge(source);
    }

    iterator erase(const_iterator pos) {
        check_element(pos);
        hash_link* const n = pos.node_;
        hash_link* const next = hash_next(impl_.table, n);
        unlink(slot_before(n), n->hash & impl_.mask);
        destroy_node(as_node(n));
        return make_iter(next);
    }

    iterator erase(const_iterator first, const_iterator last) {
        if (first.node_ == first_node() && last.node_ == nullptr) {
            clear();
            return end();
        }
        while (first != last)
            first = erase(first);
        return make_iter(last.node_);
    }

    size_type erase(const key_type& k) { return erase_key(k); }

    /// Exchanges contents, hashers, equalities and (as the allocator's traits
    /// ask) allocators in constant time; iterators follow their elements.
    void swap(hash_table& other) noexcept(noexcept(swap_adl(std::declval<Hash&>(), std::declval<Hash&>())) && noexcept(
        swap_adl(std::declval<Pred&>(), std::declval<Pred&>()))) {
        if (this == &other)
            return;
        typedef typename node_traits::propagate_on_container_swap pocs;
        // Without propagation the standard requires equal allocators.
        KEL_STD_ASSERT(pocs::value || node_alloc_ref() == other.node_alloc_ref());
        swap_adl(hash_ref(), other.hash_ref());
        swap_adl(eq_ref(), other.eq_ref());
        const state tmp = impl_;
        static_cast<state&>(impl_) = other.impl_;
        static_cast<state&>(other.impl_) = tmp;
        propagate_swap(node_alloc_ref(), other.node_alloc_ref(), pocs());
    }

    // ---- lookup ----

    size_type count(const key_type& k) const { return count_key(k); }
    template <class K, class H = Hash, class = typename std::enable_if<hash_transparent<H, Pred>::value>::type>
    size_type count(const K& k) const {
        return count_key(k);
    }

    iterator find(const key_type& k) { return make_iter(find_node(k, hash_of(k))); }
    const_iterator find(const key_type& k) const { return make_citer(find_node(k, hash_of(k))); }
    template <class K, class H = Hash, class = typename std::enable_if<hash_transparent<H, Pred>::value>::type>
    iterator find(const K& k) {
        return make_iter(find_node(k, hash_of(k)));
    }
    template <class K, class H = Hash, class = typename std::enable_if<hash_transparent<H, Pred>::value>::type>
    const_iterator find(const K& k) const {
        return make_citer(find_node(k, hash_of(k)));
    }

    bool contains(const key_type& k) const { return find_node(k, hash_of(k)) != nullptr; }
    template <class K, class H = Hash, class = typename std::enable_if<hash_transparent<H, Pred>::value>::type>
    bool contains(const K& k) const {
        return find_node(k, hash_of(k)) != nullptr;
    }

    std::pair<iterator, iterator> equal_range(const key_type& k) {
        const std::pair<hash_link*, hash_link*> r = equal_range_nodes(k);
        return std::pair<iterator, iterator>(make_iter(r.first), make_iter(r.second));
    }
    std::pair<const_iterator, const_iterator> equal_range(const key_type& k) const {
        const std::pair<hash_link*, hash_link*> r = equal_range_nodes(k);
        return std::pair<const_iterator, const_iterator>(make_citer(r.first), make_citer(r.second));
    }
    template <class K, class H = Hash, class = typename std::enable_if<hash_transparent<H, Pred>::value>::type>
    std::pair<iterator, iterator> equal_range(const K& k) {
        const std::pair<hash_link*, hash_link*> r = equal_range_nodes(k);
        return std::pair<iterator, iterator>(make_iter(r.first), make_iter(r.second));
    }
    template <class K, class H = Hash, class = typename std::enable_if<hash_transparent<H, Pred>::value>::type>
    std::pair<const_iterator, const_iterator> equal_range(const K& k) const {
        const std::pair<hash_link*, hash_link*> r = equal_range_nodes(k);
        return std::pair<const_iterator, const_iterator>(make_citer(r.first), make_citer(r.second));
    }

    // ---- bucket interface ----

    size_type bucket_count() const noexcept { return bucket_total(); }
    size_type max_bucket_count() const noexcept {
        // The largest power of two whose bucket array the allocator can give.
        slot_allocator a(node_alloc_ref());
        const size_type slots = slot_traits::max_size(a);
        size_type b = 1;
        while (b <= (std::numeric_limits<size_type>::max() >> 1) && hash_table_slots(b << 1) <= slots &&
               hash_table_slots(b << 1) > (b << 1))
            b <<= 1;
        return b;
    }
    size_type bucket_size(size_type n) const {
        KEL_STD_ASSERT(n < bucket_total() && "bucket index out of range");
        size_type c = 0;
        for (const hash_link* x = impl_.buckets[n].head; x != nullptr; x = x->next)
            ++c;
        return c;
    }
    size_type bucket(const key_type& k) const {
        KEL_STD_ASSERT(bucket_total() != 0 && "bucket() of a container without buckets");
        return hash_of(k) & impl_.mask;
    }
    template <class K, class H = Hash, class = typename std::enable_if<hash_transparent<H, Pred>::value>::type>
    size_type bucket(const K& k) const {
        KEL_STD_ASSERT(bucket_total() != 0 && "bucket() of a container without buckets");
        return hash_of(k) & impl_.mask;
    }
    local_iterator begin(size_type n) {
        KEL_STD_ASSERT(n < bucket_total() && "bucket index out of range");
        return local_iterator(impl_.buckets[n].head);
    }
    const_local_iterator begin(size_type n) const {
        KEL_STD_ASSERT(n < bucket_total() && "bucket index out of range");
        return const_local_iterator(impl_.buckets[n].head);
    }
    const_local_iterator cbegin(size_type n) const { return begin(n); }
    local_iterator end(size_type n) {
        KEL_STD_ASSERT(n < bucket_total() && "bucket index out of range");
        static_cast<void>(n);
        return local_iterator();
    }
    const_local_iterator end(size_type n) const {
        KEL_STD_ASSERT(n < bucket_total() && "bucket index out of range");
        static_cast<void>(n);
        return const_local_iterator();
    }
    const_local_iterator cend(size_type n) const { return end(n); }

    // ---- hash policy ----

    float load_factor() const noexcept {
        const size_type b = bucket_total();
        return b == 0 ? 0.0f : static_cast<float>(impl_.size) / static_cast<float>(b);
    }
    float max_load_factor() const noexcept { return impl_.max_load; }
    void max_load_factor(float z) {
        KEL_STD_ASSERT(z > 0.0f && "max_load_factor must be positive");
        impl_.max_load = z;
        impl_.limit = limit_for(bucket_total());
    }
    void rehash(size_type n) {
        size_type want = n;
        const size_type for_size = buckets_for(impl_.size);
        if (for_size > want)
            want = for_size;
        if (want == 0) { // no elements, and no buckets asked for
            if (impl_.table != nullptr)
                free_table();
            return;
        }
        const size_type b = round_up(want);
        if (b != bucket_total())
            rehash_to(b);
    }
    void reserve(size_type n) {
        if (n > impl_.limit || impl_.table == nullptr) {
            const size_type b = buckets_for(n);
            if (b > bucket_total())
                rehash_to(round_up(b));
        }
    }

    // ---- observers ----

    hasher hash_function() const { return hash_ref(); }
    key_equal key_eq() const { return eq_ref(); }

protected:
    // ---- insertion ----

    // Makes room for one more element: rehashes when the size has reached
    // the limit. Throws only while allocating the new bucket array, before
    // anything has changed.
    void reserve_one() {
        if (impl_.size >= impl_.limit)
            grow();
    }

    template <class V>
    single_insert_result insert_value(V&& v, std::false_type /*unique*/) {
        const std::size_t h = hash_of(KeyOfValue::get(v));
        hash_link* const found = find_node(KeyOfValue::get(v), h);
        if (found != nullptr)
            return single_insert_result(make_iter(found), false);
        holder hold(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<V>(v)));
        hold.get()->hash = h;
        reserve_one();
        return single_insert_result(make_iter(link_front(hold.release())), true);
    }

    template <class V>
    single_insert_result insert_value(V&& v, std::true_type /*multi*/) {
        holder hold(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::forward<V>(v)));
        return insert_holder(hold, std::true_type());
    }

    single_insert_result insert_holder(holder& hold, std::false_type /*unique*/) {
        node* const n = hold.get();
        n->hash = hash_of(KeyOfValue::get(n->value_));
        hash_link* const found = find_node(KeyOfValue::get(n->value_), n->hash);
        if (found != nullptr)
            return single_insert_result(make_iter(found), false);
        reserve_one();
        return single_insert_result(make_iter(link_front(hold.release())), true);
    }

    // An equal key already present takes the new node right behind it, so
    // that equal keys stay adjacent.
    single_insert_result insert_holder(holder& hold, std::true_type /*multi*/) {
        node* const n = hold.get();
        n->hash = hash_of(KeyOfValue::get(n->value_));
        hash_link* const found = find_node(KeyOfValue::get(n->value_), n->hash);
        reserve_one();
        hold.release();
        if (found != nullptr)
            return make_iter(link_after(found, n));
        return make_iter(link_front(n));
    }

    insert_return_type insert_node_handle(node_type&& nh, std::false_type /*unique*/) {
        insert_return_type r = {end(), false, node_type()};
        if (nh.empty())
            return r;
        r.position = make_iter(place_node_handle(nh, r.inserted));
        if (!r.inserted)
            r.node = std::move(nh);
        return r;
    }

    insert_return_type insert_node_handle(node_type&& nh, std::true_type /*multi*/) {
        if (nh.empty())
            return end();
        bool inserted = false;
        return make_iter(place_node_handle(nh, inserted));
    }

    // Links the node of a non-empty handle, which is left empty, unless its
    // key is present and keys are unique: then the handle keeps it and the
    // element with that key is returned.
    hash_link* place_node_handle(node_type& nh, bool& inserted) {
        KEL_STD_ASSERT(get_allocator() == nh.get_allocator());
        node* const n = node_handle_access::node(nh);
        const std::size_t h = hash_of(KeyOfValue::get(n->value_));
        hash_link* const found = find_node(KeyOfValue::get(n->value_), h);
        inserted = Multi || found == nullptr;
        if (!inserted)
            return found;
        reserve_one(); // before the node leaves the handle
        node_handle_access::release(nh);
        n->hash = h;
        return found != nullptr ? link_after(found, n) : link_front(n);
    }

    static iterator as_iterator(const iterator& it) noexcept { return it; }
    static iterator as_iterator(const std::pair<iterator, bool>& r) noexcept { return r.first; }

    // Looks up `k` for try_emplace and operator[], which build the value
    // only when the key is new.
    template <class K, class... Args>
    std::pair<iterator, bool> try_emplace_impl(K&& k, Args&&... args) {
        const std::size_t h = hash_of(k);
        hash_link* const found = find_node(k, h);
        if (found != nullptr)
            return std::pair<iterator, bool>(make_iter(found), false);
        holder hold(node_alloc_ref(), node_alloc_type::create(node_alloc_ref(), std::piecewise_construct,
                                                              std::forward_as_tuple(std::forward<K>(k)),
                                                              std::forward_as_tuple(std::forward<Args>(args)...)));
        hold.get()->hash = h;
        reserve_one();
        return std::pair<iterator, bool>(make_iter(link_front(hold.release())), true);
    }

    // try_emplace with a hint, which a hash table does not need.
    template <class K, class... Args>
    iterator try_emplace_hint_impl(const_iterator hint, K&& k, Args&&... args) {
        check_hint(hint);
        return try_emplace_impl(std::forward<K>(k), std::forward<Args>(args)...).first;
    }

    // ---- lookup ----

    template <class K>
    hash_link* find_node(const K& k, std::size_t h) const {
        for (hash_link* n = impl_.buckets[h & impl_.mask].head; n != nullptr; n = n->next)
            if (n->hash == h && eq_ref()(k, key_of(n)))
                return n;
        return nullptr;
    }

    // The link that points to the node holding `k` (a bucket head or a
    // node's next), or null.
    template <class K>
    hash_link** find_slot(const K& k, std::size_t h) const {
        hash_link** p = &impl_.buckets[h & impl_.mask].head;
        for (; *p != nullptr; p = &(*p)->next)
            if ((*p)->hash == h && eq_ref()(k, key_of(*p)))
                return p;
        return nullptr;
    }

    // The link that points to `n`.
    hash_link** slot_before(hash_link* n) const noexcept {
        hash_link** p = &impl_.buckets[n->hash & impl_.mask].head;
        while (*p != n)
            p = &(*p)->next;
        return p;
    }

    // The end of the run of keys equal to that of `n`, which starts at `n`.
    hash_link* run_end(hash_link* n) const {
        hash_link* x = n->next;
        if (Multi)
            while (x != nullptr && x->hash == n->hash && eq_ref()(key_of(n), key_of(x)))
                x = x->next;
        return x;
    }

    template <class K>
    std::pair<hash_link*, hash_link*> equal_range_nodes(const K& k) const {
        hash_link* const n = find_node(k, hash_of(k));
        if (n == nullptr)
            return std::pair<hash_link*, hash_link*>(nullptr, nullptr);
        hash_link* after = run_end(n);
        if (after == nullptr)
            after = hash_first_from(impl_.table, (n->hash & impl_.mask) + 1);
        return std::pair<hash_link*, hash_link*>(n, after);
    }

    template <class K>
    size_type count_key(const K& k) const {
        hash_link* const n = find_node(k, hash_of(k));
        if (n == nullptr)
            return 0;
        if (!Multi)
            return 1;
        size_type c = 0;
        for (hash_link *x = n, *const stop = run_end(n); x != stop; x = x->next)
            ++c;
        return c;
    }

    template <class K>
    size_type erase_key(const K& k) {
        const std::size_t h = hash_of(k);
        hash_link** const p = find_slot(k, h);
        if (p == nullptr)
            return 0;
        const std::size_t b = h & impl_.mask;
        hash_link* const stop = run_end(*p);
        size_type c = 0;
        while (*p != stop) {
            hash_link* const n = *p;
            unlink(p, b);
            destroy_node(as_node(n));
            ++c;
        }
        return c;
    }

    // Debug checks on iterators handed to the container: an element of this
    // container (not end()), or for hints any position of this container.
    void check_element(const const_iterator& pos) const noexcept {
        KEL_STD_ASSERT(pos.node_ != nullptr && "erase or extract of end()");
        KEL_STD_ASSERT(pos.table_ == impl_.table && "iterator of another container, or from before a rehash");
        static_cast<void>(pos);
    }
    void check_hint(const const_iterator& hint) const noexcept {
        KEL_STD_ASSERT((hint.node_ == nullptr || hint.table_ == impl_.table) && "hint of another container");
        static_cast<void>(hint);
    }

private:
    // ---- links ----

    hash_link* first_node() const noexcept { return impl_.size == 0 ? nullptr : impl_.buckets[impl_.first].head; }

    hash_slot* words() const noexcept { return impl_.buckets + impl_.mask + 2; }
    void set_bit(std::size_t b) noexcept {
        words()[b / hash_word_bits].bits |= static_cast<std::size_t>(1) << (b % hash_word_bits);
    }
    void clear_bit(std::size_t b) noexcept {
        words()[b / hash_word_bits].bits &= ~(static_cast<std::size_t>(1) << (b % hash_word_bits));
    }

    // Links `n` (its hash set) at the head of its bucket. Requires room.
    hash_link* link_front(hash_link* n) noexcept {
        const std::size_t b = n->hash & impl_.mask;
        hash_slot& head = impl_.buckets[b];
        if (head.head == nullptr) {
            set_bit(b);
            if (b < impl_.first) // always so in an empty table, whose first is the bucket count
                impl_.first = b;
        }
        n->next = head.head;
        head.head = n;
        ++impl_.size;
        return n;
    }

    // Links `n` right after `at`, in the same bucket. Requires room.
    hash_link* link_after(hash_link* at, hash_link* n) noexcept {
        n->next = at->next;
        at->next = n;
        ++impl_.size;
        return n;
    }

    // Unlinks the node that `*p` points to, in bucket `b`.
    void unlink(hash_link** p, std::size_t b) noexcept {
        *p = (*p)->next;
        --impl_.size;
        if (impl_.buckets[b].head == nullptr) {
            clear_bit(b);
            if (b == impl_.first) {
                hash_first_from(impl_.table, b + 1, impl_.first); // the bucket count when none is left
            }
        }
    }

    void destroy_node(node* n) noexcept { node_alloc_type::destroy(node_alloc_ref(), n); }

    // Destroys every element, a bucket's chain at a time; the bucket heads
    // are left as they are, for the caller to clear or free. The heads of the
    // occupied buckets ahead are found from the occupancy bits and the head
    // slots alone, and their first nodes are fetched a few buckets before
    // their turn: in a table larger than the cache the misses on the nodes
    // then overlap, where following the iteration order would take them one
    // after another.
    void destroy_nodes() noexcept {
        if (impl_.size == 0)
            return;
        enum { depth = 8 };
        hash_link* due[depth] = {};
        unsigned slot = 0;
        std::size_t b = 0;
        for (hash_link* h = hash_first_from(impl_.table, impl_.first, b); h != nullptr;
             h = hash_first_from(impl_.table, b + 1, b)) {
            prefetch(h);
            destroy_chain(due[slot]);
            due[slot] = h;
            slot = (slot + 1) % depth;
        }
        for (unsigned i = 0; i < depth; ++i)
            destroy_chain(due[(slot + i) % depth]);
    }

    void destroy_chain(hash_link* n) noexcept {
        while (n != nullptr) {
            hash_link* const next = n->next;
            destroy_node(as_node(n));
            n = next;
        }
    }

    static void prefetch(const void* p) noexcept {
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(p);
#else
        static_cast<void>(p);
#endif
    }

    // ---- bucket arrays ----

    static size_type round_up(size_type n) noexcept {
        size_type b = 1;
        while (b < n && b <= (std::numeric_limits<size_type>::max() >> 1))
            b <<= 1;
        return b;
    }

    // The number of buckets (not rounded) that keeps `n` elements within the
    // maximum load factor.
    size_type buckets_for(size_type n) const noexcept {
        if (n == 0)
            return 0;
        const double b = std::ceil(static_cast<double>(n) / static_cast<double>(impl_.max_load));
        const double top = static_cast<double>(std::numeric_limits<size_type>::max() / 2);
        return b >= top ? static_cast<size_type>(top) : static_cast<size_type>(b);
    }

    // The size at which an insertion into `b` buckets rehashes first: the
    // smallest integer not below max_load_factor() * b.
    size_type limit_for(size_type b) const noexcept {
        if (b == 0)
            return 0;
        const double l = std::ceil(static_cast<double>(impl_.max_load) * static_cast<double>(b));
        const double top = static_cast<double>(std::numeric_limits<size_type>::max() / 2);
        return l >= top ? std::numeric_limits<size_type>::max() : static_cast<size_type>(l);
    }

    // Rehashes for one more element: at least doubles the bucket count.
    void grow() {
        const size_type current = bucket_total();
        size_type b = round_up(buckets_for(impl_.size + 1));
        if (b < 2 * current)
            b = 2 * current;
        if (b < min_buckets)
            b = min_buckets;
        rehash_to(b);
    }

    static const size_type min_buckets = 8;

    // A bucket array of `b` buckets, every bucket empty.
    hash_slot* allocate_table(size_type b) {
        slot_allocator a(node_alloc_ref());
        const size_type slots = hash_table_slots(b);
        hash_slot* const t = to_raw(slot_traits::allocate(a, slots));
        if (!hash_zeroing_allocator<slot_allocator>::value)
            std::memset(static_cast<void*>(t), 0, slots * sizeof(hash_slot));
        t[0].bits = b - 1;
        t[2 + b + b / hash_word_bits].bits |= static_cast<std::size_t>(1) << (b % hash_word_bits);
        return t;
    }

    void deallocate_table(hash_slot* t) noexcept {
        slot_allocator a(node_alloc_ref());
        slot_traits::deallocate(a, std::pointer_traits<typename slot_traits::pointer>::pointer_to(*t),
                                hash_table_slots(t[0].bits + 1));
    }

    void free_table() noexcept {
        if (impl_.table != nullptr)
            deallocate_table(impl_.table);
        impl_.reset();
    }

    // Moves every node into a new array of `b` buckets (a power of two).
    // Only the allocation can throw, and it comes first. Runs of equal
    // hashes move as blocks, so equal keys keep their order.
    void rehash_to(size_type b) {
        hash_slot* const t = allocate_table(b);
        hash_slot* const heads = t + 1;
        hash_slot* const bits = heads + b + 1;
        const size_type mask = b - 1;
        size_type first = b;
        hash_link* n = first_node();
        while (n != nullptr) {
            hash_link* last = n;
            if (Multi)
                while (last->next != nullptr && last->next->hash == n->hash)
                    last = last->next;
            hash_link* const next = last->next != nullptr ? last->next : hash_next(impl_.table, last);
            const std::size_t nb = n->hash & mask;
            if (heads[nb].head == nullptr) {
                bits[nb / hash_word_bits].bits |= static_cast<std::size_t>(1) << (nb % hash_word_bits);
                if (nb < first)
                    first = nb;
            }
            last->next = heads[nb].head;
            heads[nb].head = n;
            n = next;
        }
        if (impl_.table != nullptr)
            deallocate_table(impl_.table);
        impl_.table = t;
        impl_.buckets = heads;
        impl_.mask = mask;
        impl_.first = first;
        impl_.limit = limit_for(b);
    }

    void initial_buckets(size_type n) {
        if (n != 0)
            rehash_to(round_up(n));
    }

    template <class InputIt>
    void construct_range(InputIt first, InputIt last, size_type bucket_count) {
        KEL_STD_TRY {
            initial_buckets(bucket_count);
            insert(first, last);
        }
        KEL_STD_CATCH_ALL {
            release_all();
            KEL_STD_RETHROW;
        }
    }

    // Destroys every element and gives back the bucket array: the state of
    // a new container (the maximum load factor stays).
    void release_all() noexcept {
        destroy_nodes();
        free_table();
    }

    // Takes over `other`'s elements and bucket array; `other` is left
    // without any. Ours must hold none.
    void steal(hash_table& other) noexcept {
        static_cast<state&>(impl_) = other.impl_;
        other.impl_.reset();
    }

    // Copies (or moves) `other`'s elements into this table, which has none,
    // with the same bucket count and the same order in every bucket, without
    // hashing or comparing. On an exception this table is left without
    // elements or buckets.
    template <bool Move>
    void clone_from(const hash_table& other) {
        if (other.impl_.size == 0)
            return;
        rehash_to(other.impl_.mask + 1);
        // Buckets are filled in order from the source's first occupied one,
        // which is then ours too whenever we hold an element.
        impl_.first = other.impl_.first;
        KEL_STD_TRY {
            const size_type count = other.impl_.mask + 1;
            for (size_type b = other.impl_.first; b < count; ++b) {
                hash_link** tail = &impl_.buckets[b].head;
                for (hash_link* x = other.impl_.buckets[b].head; x != nullptr; x = x->next) {
                    node* const n =
                        node_alloc_type::create(node_alloc_ref(), value_cast<Move>::get(as_node(x)->value_));
                    n->hash = x->hash;
                    n->next = nullptr;
                    if (tail == &impl_.buckets[b].head)
                        set_bit(b);
                    *tail = n;
                    tail = &n->next;
                    ++impl_.size;
                }
            }
        }
        KEL_STD_CATCH_ALL {
            release_all();
            KEL_STD_RETHROW;
        }
    }
};

template <class K, class V, class KoV, class H, class P, class A, bool M>
const bool hash_table<K, V, KoV, H, P, A, M>::is_set;
template <class K, class V, class KoV, class H, class P, class A, bool M>
const typename hash_table<K, V, KoV, H, P, A, M>::size_type hash_table<K, V, KoV, H, P, A, M>::min_buckets;

// Equality of two hashed containers: the same elements, in any order. Found
// by argument-dependent lookup through the containers' common base.
template <class K, class V, class KoV, class H, class P, class A>
bool operator==(const hash_table<K, V, KoV, H, P, A, false>& a, const hash_table<K, V, KoV, H, P, A, false>& b) {
    if (a.size() != b.size())
        return false;
    for (typename hash_table<K, V, KoV, H, P, A, false>::const_iterator it = a.begin(); it != a.end(); ++it) {
        const typename hash_table<K, V, KoV, H, P, A, false>::const_iterator other = b.find(KoV::get(*it));
        if (other == b.end() || !(*other == *it))
            return false;
    }
    return true;
}

template <class K, class V, class KoV, class H, class P, class A>
bool operator==(const hash_table<K, V, KoV, H, P, A, true>& a, const hash_table<K, V, KoV, H, P, A, true>& b) {
    typedef typename hash_table<K, V, KoV, H, P, A, true>::const_iterator iter;
    if (a.size() != b.size())
        return false;
    iter it = a.begin();
    while (it != a.end()) {
        // One run of equal keys in `a` against the same run in `b`.
        const std::pair<iter, iter> mine = a.equal_range(KoV::get(*it));
        const std::pair<iter, iter> theirs = b.equal_range(KoV::get(*it));
        if (std::distance(mine.first, mine.second) != std::distance(theirs.first, theirs.second) ||
            !std::is_permutation(mine.first, mine.second, theirs.first))
            return false;
        it = mine.second;
    }
    return true;
}

#if !KEL_STD_THREE_WAY_COMPARISON
// (Under C++20 the compiler rewrites != from ==, as for the standard
// containers.)
template <class K, class V, class KoV, class H, class P, class A, bool M>
bool operator!=(const hash_table<K, V, KoV, H, P, A, M>& a, const hash_table<K, V, KoV, H, P, A, M>& b) {
    return !(a == b);
}
#endif

} // namespace detail

/// Erases every element of a hashed container for which `pred` returns
/// true; returns how many were erased.
template <class K, class V, class KoV, class H, class P, class A, bool M, class Pred>
typename detail::hash_table<K, V, KoV, H, P, A, M>::size_type erase_if(detail::hash_table<K, V, KoV, H, P, A, M>& c,
                                                                       Pred pred) {
    const typename detail::hash_table<K, V, KoV, H, P, A, M>::size_type old_size = c.size();
    for (typename detail::hash_table<K, V, KoV, H, P, A, M>::const_iterator it = c.cbegin(); it != c.cend();) {
        if (pred(*it))
            it = c.erase(it);
        else
            ++it;
    }
    return old_size - c.size();
}

} // namespace kel_std

#endif // KEL_STD_DETAIL_HASH_TABLE_H
