// The hashed containers: a model-based randomized run of all four against
// the std:: containers with the structure verifier after every step,
// reference stability, fault injection, allocation accounting, allocators,
// node handles, heterogeneous lookup and the rest of the interface.
#include "support/counting_heap.h"
#include "support/platform.h"
#include "support/recording_manager.h"
#include "support/test_allocators.h"
#include "support/unordered_harness.h"

#include <kel_std/basic_string.h>
#include <kel_std/detail/hash_table_check.h>
#include <kel_std/errors.h>
#include <kel_std/hash.h>
#include <kel_std/memory_managers.h>
#include <kel_std/unordered_map.h>
#include <kel_std/unordered_set.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// Swaps are noexcept exactly when the swaps of the hash and the equality
// are, their own swaps found by argument-dependent lookup included (their
// copies may throw), with an allocator that propagates on swap or is always
// equal.
template <bool HashNothrow, bool EqualNothrow, class A = kel_std::allocator<std::pair<const int, int>>>
constexpr bool hashed_swaps_nothrow_iff() {
    typedef kel_test::swap_only_hash<HashNothrow> h;
    typedef kel_test::swap_only_equal<EqualNothrow> e;
    typedef typename std::allocator_traits<A>::template rebind_alloc<int> set_alloc;
    return kel_test::swaps_nothrow_iff<(HashNothrow && EqualNothrow), kel_std::unordered_set<int, h, e, set_alloc>,
                                       kel_std::unordered_multiset<int, h, e, set_alloc>,
                                       kel_std::unordered_map<int, int, h, e, A>,
                                       kel_std::unordered_multimap<int, int, h, e, A>>();
}
static_assert(hashed_swaps_nothrow_iff<true, true>() && hashed_swaps_nothrow_iff<false, true>() &&
                  hashed_swaps_nothrow_iff<true, false>(),
              "propagating allocator");
static_assert(hashed_swaps_nothrow_iff<true, true, std::allocator<std::pair<const int, int>>>() &&
                  hashed_swaps_nothrow_iff<true, false, std::allocator<std::pair<const int, int>>>(),
              "allocator always equal");

namespace {

using kel_std::detail::hash_table_inspector;
using kel_test::narrow_hash;
using kel_test::sorted;
using kel_test::tagged_equal;

// KEL_STD_TEST_SCALE (a percentage; default 100, or 25 in debug builds,
// whose sanitizers and unoptimised code are slower) scales the randomized
// runs, down for valgrind.
int scaled(int n) {
    const char* s = std::getenv("KEL_STD_TEST_SCALE");
#if defined(KEL_STD_DEBUG)
    const int percent = s != nullptr ? std::atoi(s) : 25;
#else
    const int percent = s != nullptr ? std::atoi(s) : 100;
#endif
    return std::max(1, n * (percent > 0 ? percent : 1) / 100);
}

// ---- the randomized differential run ----

// The hashed container type `C` (ours or a standard one) with the hash,
// equality and allocator replaced.
template <class C, class H, class P, class A>
struct with_hashed;
template <template <class, class, class, class> class C, class K, class H0, class P0, class A0, class H, class P,
          class A>
struct with_hashed<C<K, H0, P0, A0>, H, P, A> {
    typedef C<K, H, P, A> type;
};
template <template <class, class, class, class, class> class C, class K, class T, class H0, class P0, class A0, class H,
          class P, class A>
struct with_hashed<C<K, T, H0, P0, A0>, H, P, A> {
    typedef C<K, T, H, P, A> type;
};

template <class K>
K key_from(int i);
template <>
int key_from<int>(int i) {
    return i;
}
template <>
std::string key_from<std::string>(int i) {
    // Some keys beyond the short-string buffer, so that copies allocate.
    return "key-" + std::to_string(i) + (i % 3 == 0 ? std::string(24, static_cast<char>('a' + i % 26)) : "");
}

template <>
kel_std::string key_from<kel_std::string>(int i) {
    const std::string s = key_from<std::string>(i);
    return kel_std::string(s.data(), static_cast<unsigned int>(s.size()));
}

template <class V>
struct value_maker;
template <class K, class T>
struct value_maker<std::pair<const K, T>> {
    static std::pair<const K, T> make(int k, int m) { return std::pair<const K, T>(key_from<K>(k), m); }
};
template <class V>
struct value_maker {
    static V make(int k, int) { return key_from<V>(k); }
};

// The element a node handle holds, copied out.
template <class V, class Handle>
V handle_value(const Handle& nh, std::true_type /*map*/) {
    return V(nh.key(), nh.mapped());
}
template <class V, class Handle>
V handle_value(const Handle& nh, std::false_type) {
    return nh.value();
}

template <class V>
const V& key_of(const V& v) {
    return v;
}
template <class K, class T>
const K& key_of(const std::pair<const K, T>& v) {
    return v.first;
}

// A container under test with a second one (for swap and merge), their
// models (`StdModel` with the hash and equality of `C`), and the random
// source. Every step is checked before the next. The two start with hashers
// and equalities of their own, which copies, moves and swaps must carry
// along with the elements, as they do in the models.
template <class C, class StdModel>
class differential {
    typedef typename C::hasher hasher;
    typedef typename C::key_equal key_equal;
    typedef typename with_hashed<StdModel, hasher, key_equal, typename StdModel::allocator_type>::type Model;

public:
    typedef typename C::value_type value_type;
    typedef typename C::key_type key_type;
    static const bool is_map = !std::is_same<key_type, value_type>::value;
    static const bool unique =
        std::is_same<typename C::insert_return_type,
                     kel_std::detail::node_insert_return<typename C::iterator, typename C::node_type>>::value;

    // Both containers are built with `alloc`, and so are their copies.
    differential(unsigned seed, unsigned hash_bits, int key_range,
                 const typename C::allocator_type& alloc = typename C::allocator_type())
        : a_(0, hasher(hash_bits, 0), key_equal(0), alloc), b_(7, hasher(hash_bits, 1), key_equal(1), alloc),
          ma_(0, hasher(hash_bits, 0), key_equal(0)), mb_(0, hasher(hash_bits, 1), key_equal(1)), hash_bits_(hash_bits),
          rng_(seed), key_range_(key_range) {}

    void run(int steps) {
        for (int step = 0; step < steps; ++step) {
            const int op = static_cast<int>(rng_() % 24);
            SCOPED_TRACE("step " + std::to_string(step) + ", operation " + std::to_string(op));
            one_step(op);
            check(a_, ma_);
            check(b_, mb_);
            if (::testing::Test::HasFailure())
                return;
        }
    }

    std::size_t operations = 0;

private:
    int random_key() { return static_cast<int>(rng_() % static_cast<unsigned>(key_range_)); }
    value_type random_value() { return value_maker<value_type>::make(random_key(), static_cast<int>(rng_() % 1000)); }

    // An iterator to a random element, or end() for an empty container.
    typename C::const_iterator random_position(const C& c) {
        if (c.empty())
            return c.end();
        typename C::const_iterator it = c.begin();
        std::advance(it, static_cast<long>(rng_() % c.size()));
        return it;
    }

    // Erases one element equal to `v` (the very value) from a model.
    static void erase_one(Model& m, const value_type& v) {
        auto r = m.equal_range(key_of(v));
        for (auto it = r.first; it != r.second; ++it)
            if (*it == v) {
                m.erase(it);
                return;
            }
        ADD_FAILURE() << "the value is not in the model";
    }

    // A single-element insertion must not rehash while size() stays below
    // max_load_factor() * bucket_count().
    template <class F>
    void insert_checked(F insert_one) {
        const std::size_t buckets = a_.bucket_count();
        const bool room =
            static_cast<double>(a_.size()) < static_cast<double>(a_.max_load_factor()) * static_cast<double>(buckets);
        insert_one();
        if (room) {
            EXPECT_EQ(a_.bucket_count(), buckets) << "rehashed with room to spare";
        }
    }

    void insert_into_model(Model& m, const value_type& v) { m.insert(v); }

    void one_step(int op) {
        ++operations;
        const value_type v = random_value();
        const key_type k = key_of(v);
        const bool present = ma_.count(k) != 0;
        switch (op) {
        case 0:
        case 1:
            insert_checked([&] {
                auto r = a_.insert(v);
                EXPECT_EQ(key_of(*as_iter(r)), k);
            });
            ma_.insert(v);
            break;
        case 2:
            insert_checked([&] { EXPECT_EQ(key_of(*a_.insert(random_position(a_), v)), k); });
            ma_.insert(v);
            break;
        case 3:
            insert_checked([&] { EXPECT_EQ(key_of(*as_iter(a_.emplace(v))), k); });
            ma_.insert(v);
            break;
        case 4: {
            // A hint at an equal key is the fast path of emplace_hint.
            typename C::const_iterator hint = a_.find(k);
            if (hint == a_.end())
                hint = random_position(a_);
            insert_checked([&] { EXPECT_EQ(key_of(*a_.emplace_hint(hint, v)), k); });
            ma_.insert(v);
            break;
        }
        case 5:
            EXPECT_EQ(a_.erase(k), ma_.erase(k));
            break;
        case 6:
        case 7:
            if (!a_.empty()) {
                typename C::const_iterator pos = random_position(a_);
                const value_type gone = *pos;
                typename C::const_iterator next = pos;
                ++next;
                const bool last = next == a_.end();
                typename C::iterator after = a_.erase(pos);
                EXPECT_TRUE(last ? after == a_.end() : after == next) << "erase returned another position";
                erase_one(ma_, gone);
            }
            break;
        case 8: {
            auto r = a_.equal_range(k);
            a_.erase(r.first, r.second);
            ma_.erase(k);
            break;
        }
        case 9: {
            // Extract and give back, either to this container or to the
            // other one.
            typename C::node_type nh = a_.extract(k);
            EXPECT_EQ(nh.empty(), !present);
            if (nh.empty()) {
                // An empty handle inserts nothing.
                EXPECT_TRUE(inserted_at(a_.insert(std::move(nh))) == a_.end());
                EXPECT_TRUE(a_.insert(a_.cbegin(), std::move(nh)) == a_.end());
                break;
            }
            const value_type moved = handle_value<value_type>(nh, std::integral_constant<bool, is_map>());
            erase_one(ma_, moved);
            if (rng_() % 2 == 0) {
                a_.insert(std::move(nh));
                ma_.insert(moved);
            } else {
                const bool fits = !unique || mb_.count(key_of(moved)) == 0;
                b_.insert(b_.cend(), std::move(nh));
                if (fits)
                    mb_.insert(moved);
            }
            break;
        }
        case 10:
            a_.rehash(rng_() % 300);
            break;
        case 11:
            a_.reserve(rng_() % 300);
            break;
        case 12: {
            static const float factors[] = {0.2f, 0.5f, 1.0f, 3.0f, 12.0f};
            a_.max_load_factor(factors[rng_() % 5]);
            break;
        }
        case 13: {
            C copy(a_);
            EXPECT_EQ(hash_table_inspector::check(copy), "");
            EXPECT_TRUE(copy == a_);
            if (!copy.empty()) {
                copy.erase(copy.begin());
                EXPECT_TRUE(copy != a_);
            }
            if (rng_() % 2 == 0) {
                b_ = a_;
                mb_ = ma_;
            } else {
                // From a container with a hasher and an equality of its own.
                const int fresh = 2 + static_cast<int>(rng_() % 4);
                const C other(ma_.begin(), ma_.end(), 0, hasher(hash_bits_, static_cast<std::size_t>(fresh)),
                              key_equal(fresh), a_.get_allocator());
                b_ = other;
                mb_ = Model(ma_.begin(), ma_.end(), 0, hasher(hash_bits_, static_cast<std::size_t>(fresh)),
                            key_equal(fresh));
            }
            break;
        }
        case 14:
            a_.swap(b_);
            ma_.swap(mb_);
            break;
        case 15: {
            // Merge b into a: with unique keys, b keeps what a already has.
            Model stays(0, mb_.hash_function(), mb_.key_eq());
            for (const value_type& x : mb_) {
                if (unique && ma_.count(key_of(x)) != 0)
                    stays.insert(x);
                else
                    ma_.insert(x);
            }
            a_.merge(b_);
            mb_ = stays;
            break;
        }
        case 16:
            if (rng_() % 8 == 0) {
                a_.clear();
                ma_.clear();
            }
            break;
        case 17: {
            const value_type more[] = {random_value(), random_value(), random_value()};
            a_.insert(more, more + 3);
            for (const value_type& x : more)
                ma_.insert(x);
            break;
        }
        case 18: {
            const int r = random_key() % 7;
            const std::size_t erased = kel_std::erase_if(a_, [r](const value_type& x) { return weigh(x) % 7 == r; });
            std::size_t expected = 0;
            for (auto it = ma_.begin(); it != ma_.end();) {
                if (weigh(*it) % 7 == r) {
                    it = ma_.erase(it);
                    ++expected;
                } else {
                    ++it;
                }
            }
            EXPECT_EQ(erased, expected);
            break;
        }
        case 19: {
            // Moves exchange a and b.
            C moved(std::move(a_));
            EXPECT_TRUE(a_.empty());
            EXPECT_EQ(a_.bucket_count(), 0u);
            a_ = std::move(b_);
            b_ = std::move(moved);
            ma_.swap(mb_);
            // Each with itself changes nothing.
            C& same = a_;
            a_ = std::move(same);
            a_ = same;
            a_.swap(same);
            a_.merge(same);
            break;
        }
        default:
            map_step(op, v, std::integral_constant < bool, is_map&& unique > ());
            break;
        }
        EXPECT_EQ(kel_test::lookups_agree(a_, ma_, k), "");
    }

    // Steps only a unique map has; other containers look up instead.
    void map_step(int op, const value_type& v, std::true_type) {
        const key_type& k = v.first;
        const bool present = ma_.count(k) != 0;
        switch (op) {
        case 20:
            insert_checked([&] { EXPECT_EQ(a_.try_emplace(k, v.second).second, !present); });
            ma_.emplace(k, v.second);
            break;
        case 21:
            insert_checked([&] { a_[k] = v.second; });
            ma_[k] = v.second;
            break;
        case 22:
            insert_checked([&] { EXPECT_EQ(a_.insert_or_assign(k, v.second).second, !present); });
            ma_.insert_or_assign(k, v.second);
            break;
        default:
            if (present)
                EXPECT_EQ(a_.at(k), ma_.at(k));
            else
                EXPECT_THROW(a_.at(k), kel_std::out_of_range);
            break;
        }
    }
    void map_step(int, const value_type&, std::false_type) {}

    template <class T>
    static long weigh(const T& x) {
        return static_cast<long>(std::hash<key_type>()(key_of(x)) % 1000u);
    }

    static typename C::iterator as_iter(typename C::iterator it) { return it; }
    static typename C::iterator inserted_at(typename C::iterator it) { return it; }
    template <class R>
    static typename C::iterator inserted_at(const R& r) {
        return r.position;
    }
    static typename C::iterator as_iter(std::pair<typename C::iterator, bool> r) { return r.first; }

    void check(const C& c, const Model& m) {
        ASSERT_EQ(c.hash_function().salt, m.hash_function().salt) << "another hasher";
        ASSERT_EQ(c.key_eq().id, m.key_eq().id) << "another equality";
        ASSERT_EQ(hash_table_inspector::check(c), "");
        ASSERT_EQ(c.size(), m.size());
        ASSERT_TRUE(sorted(c) == sorted(m)) << "contents differ from the model";
    }

    C a_, b_;
    Model ma_, mb_;
    unsigned hash_bits_;
    std::mt19937 rng_;
    int key_range_;
};

// Runs `seeds` seeds of every configuration, `percent` of the steps each,
// the containers under test on `manager` (null: the global heap);
// `after_each` is called once the containers of a run are gone.
template <class C, class Model>
void run_differential(const char* name, unsigned seeds = 3, int percent = 100,
                      kel_std::kel_memory_manager* manager = nullptr,
                      const std::function<void()>& after_each = nullptr) {
    // Full hashes, 3 bits (8 distinct hashes: unequal keys with equal
    // stored hashes) and 0 bits (every key in one bucket); few and many
    // distinct keys.
    const unsigned bits[] = {64, 3, 0};
    const int ranges[] = {40, 400};
    const typename C::allocator_type alloc(manager);
    std::size_t operations = 0;
    for (unsigned seed = 1; seed <= seeds; ++seed)
        for (unsigned b : bits)
            for (int range : ranges) {
                SCOPED_TRACE(std::string(name) + ": seed " + std::to_string(seed) + ", hash bits " + std::to_string(b) +
                             ", key range " + std::to_string(range));
                {
                    differential<C, Model> d(seed, b, range, alloc);
                    d.run(scaled(b == 0 ? 4 * percent : 12 * percent));
                    operations += d.operations;
                }
                if (after_each)
                    after_each();
                if (::testing::Test::HasFailure())
                    return;
            }
    std::printf("%s: %zu operations checked\n", name, operations);
}

template <class K>
using kset = kel_std::unordered_set<K, narrow_hash<K>, tagged_equal<K>>;
template <class K>
using kmultiset = kel_std::unordered_multiset<K, narrow_hash<K>, tagged_equal<K>>;
template <class K>
using kmap = kel_std::unordered_map<K, int, narrow_hash<K>, tagged_equal<K>>;
template <class K>
using kmultimap = kel_std::unordered_multimap<K, int, narrow_hash<K>, tagged_equal<K>>;

TEST(unordered_differential, set_against_std) {
    run_differential<kset<int>, std::unordered_set<int>>("set<int>");
    run_differential<kset<std::string>, std::unordered_set<std::string>>("set<string>");
}
TEST(unordered_differential, multiset_against_std) {
    run_differential<kmultiset<int>, std::unordered_multiset<int>>("multiset<int>");
    run_differential<kmultiset<std::string>, std::unordered_multiset<std::string>>("multiset<string>");
}
TEST(unordered_differential, map_against_std) {
    run_differential<kmap<int>, std::unordered_map<int, int>>("map<int>");
    run_differential<kmap<std::string>, std::unordered_map<std::string, int>>("map<string>");
}
TEST(unordered_differential, multimap_against_std) {
    run_differential<kmultimap<int>, std::unordered_multimap<int, int>>("multimap<int>");
    run_differential<kmultimap<std::string>, std::unordered_multimap<std::string, int>>("multimap<string>");
}
TEST(unordered_differential, library_string_keys_against_std) {
    run_differential<kmap<kel_std::string>, std::unordered_map<kel_std::string, int>>("map<kel_std::string>");
    run_differential<kmultiset<kel_std::string>, std::unordered_multiset<kel_std::string>>("multiset<kel_std::string>");
}

// The same runs (one seed, half the steps) with every node and bucket array on a
// pool_manager, whose counters are back at zero whenever the containers are
// gone, and on an arena_manager, released after each run. On the arena,
// containers whose elements have destructors deallocate everything they
// held; the others drop their nodes when destroyed or cleared.
template <class C, class Model>
void run_on_managers(const std::string& name) {
    kel_std::pool_manager pool;
    run_differential<C, Model>((name + " on pool_manager").c_str(), 1, 50, &pool, [&pool] {
        EXPECT_NE(pool.chunks_held(), 0u) << "the containers did not use the pool";
        EXPECT_EQ(pool.blocks_in_use(), 0u);
        EXPECT_EQ(pool.bytes_in_use(), 0u);
    });
    kel_std::arena_manager arena;
    run_differential<C, Model>((name + " on arena_manager").c_str(), 1, 50, &arena, [&arena] {
        EXPECT_NE(arena.chunks_held(), 0u) << "the containers did not use the arena";
        if (!std::is_trivially_destructible<typename C::value_type>::value) {
            EXPECT_EQ(arena.blocks_in_use(), 0u);
        }
        arena.release();
        EXPECT_EQ(arena.blocks_in_use() + arena.bytes_in_use() + arena.chunks_held() + arena.bytes_held(), 0u);
    });
}

TEST(unordered_differential, every_kind_on_pool_manager_and_arena_manager) {
    run_on_managers<kset<int>, std::unordered_set<int>>("set<int>");
    run_on_managers<kmultiset<std::string>, std::unordered_multiset<std::string>>("multiset<string>");
    run_on_managers<kmap<int>, std::unordered_map<int, int>>("map<int>");
    run_on_managers<kmultimap<std::string>, std::unordered_multimap<std::string, int>>("multimap<string>");
}

// The default hash of the library's string is transparent: with a
// transparent equality, C strings, std::strings and string views find
// kel_std::string keys without building one.
TEST(unordered_interface, library_string_keys_found_by_other_text_types) {
    kel_test::recording_manager manager;
    typedef kel_std::allocator<std::pair<const kel_std::string, int>> alloc;
    kel_std::unordered_map<kel_std::string, int, kel_std::hash<kel_std::string>, std::equal_to<>, alloc> m{
        alloc(&manager)};
    for (int i = 0; i < 200; ++i)
        m.emplace(key_from<kel_std::string>(i), i);
    EXPECT_EQ(m[key_from<kel_std::string>(7)], 7);
    const std::size_t calls = manager.calls.size();
    const std::string text = key_from<std::string>(42);
    EXPECT_EQ(m.find(text.c_str())->second, 42);
    EXPECT_EQ(m.count(text), 1u);
    EXPECT_TRUE(m.contains(std::string_view(text)));
    EXPECT_FALSE(m.contains("absent"));
    EXPECT_EQ(manager.calls.size(), calls) << "a lookup built a kel_std::string";
    EXPECT_EQ(hash_table_inspector::check(m), "");
}

// ---- guarantees ----

TEST(unordered_guarantees, references_survive_insertions_and_rehashes) {
    kel_std::unordered_map<int, std::string> m;
    std::vector<const std::pair<const int, std::string>*> addresses;
    for (int i = 0; i < 500; ++i)
        addresses.push_back(&*m.emplace(i, std::to_string(i)).first);
    std::mt19937 rng(11);
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 300; ++i)
            m.emplace(1000 + round * 300 + i, "x");
        m.rehash(rng() % 20000);
        m.max_load_factor(round % 2 == 0 ? 0.3f : 4.0f);
        m.reserve(rng() % 10000);
    }
    ASSERT_EQ(hash_table_inspector::check(m), "");
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(&*m.find(i), addresses[static_cast<std::size_t>(i)]) << "key " << i;
        EXPECT_EQ(addresses[static_cast<std::size_t>(i)]->second, std::to_string(i));
    }
}

TEST(unordered_guarantees, iterators_survive_insertion_with_room_erasure_and_swap) {
    kel_std::unordered_multiset<int> s;
    s.reserve(1000);
    const std::size_t buckets = s.bucket_count();
    std::vector<kel_std::unordered_multiset<int>::iterator> its;
    for (int i = 0; i < 500; ++i)
        its.push_back(s.insert(i % 50));
    for (int i = 0; i < 500; ++i)
        s.insert(i); // still within reserve(1000): no rehash
    ASSERT_EQ(s.bucket_count(), buckets);
    for (std::size_t i = 0; i < its.size(); i += 2)
        s.erase(its[i]);
    kel_std::unordered_multiset<int> other;
    other.swap(s);
    for (std::size_t i = 1; i < its.size(); i += 2)
        EXPECT_EQ(*its[i], static_cast<int>(i % 50));
    // Walking from a surviving iterator reaches the end after the rest.
    std::size_t rest = 0;
    for (auto it = its[1]; it != other.end(); ++it)
        ++rest;
    EXPECT_LE(rest, other.size());
    EXPECT_EQ(hash_table_inspector::check(other), "");
}

// Iterators remember which buckets come next; erasing other elements on the
// way (which empties some of those buckets) must neither end the iteration
// early nor skip or repeat an element that is still there.
TEST(unordered_guarantees, iteration_survives_erasing_elements_ahead) {
    for (unsigned bits : {64u, 6u, 2u})
        for (unsigned seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE("hash bits " + std::to_string(bits) + ", seed " + std::to_string(seed));
            kel_std::unordered_set<int, narrow_hash<int>> s(0, narrow_hash<int>(bits));
            for (int i = 0; i < 1000; ++i)
                s.insert(i);
            std::mt19937 rng(seed);
            std::set<int> visited, erased;
            for (auto it = s.begin(); it != s.end(); ++it) {
                ASSERT_TRUE(visited.insert(*it).second) << "visited twice: " << *it;
                ASSERT_EQ(erased.count(*it), 0u) << "visited after its erasure: " << *it;
                for (int j = 0; j < 2; ++j) {
                    const int k = static_cast<int>(rng() % 1000);
                    if (k != *it && s.erase(k) != 0)
                        erased.insert(k);
                }
            }
            for (int k = 0; k < 1000; ++k) {
                if (erased.count(k) == 0) {
                    EXPECT_EQ(visited.count(k), 1u) << "never visited: " << k;
                }
            }
            EXPECT_EQ(hash_table_inspector::check(s), "");
        }
}

TEST(unordered_guarantees, equal_keys_adjacent_and_in_order_across_rehash) {
    kel_std::unordered_multimap<int, int, narrow_hash<int>> m(0, narrow_hash<int>(2));
    for (int i = 0; i < 400; ++i)
        m.emplace(i % 17, i);
    auto order = [&m](int k) {
        std::vector<int> v;
        auto r = m.equal_range(k);
        for (auto it = r.first; it != r.second; ++it)
            v.push_back(it->second);
        return v;
    };
    std::vector<std::vector<int>> before;
    for (int k = 0; k < 17; ++k)
        before.push_back(order(k));
    for (std::size_t b : {1u << 12, 1u, 64u, 3u}) {
        m.rehash(b);
        ASSERT_EQ(hash_table_inspector::check(m), "");
        for (int k = 0; k < 17; ++k)
            EXPECT_EQ(order(k), before[static_cast<std::size_t>(k)]) << "key " << k << " after rehash(" << b << ")";
    }
}

TEST(unordered_guarantees, load_factor_policy) {
    kel_std::unordered_set<int> s;
    EXPECT_EQ(s.max_load_factor(), 1.0f);
    EXPECT_EQ(s.bucket_count(), 0u); // nothing allocated yet
    EXPECT_EQ(s.load_factor(), 0.0f);
    for (float z : {0.1f, 0.75f, 1.0f, 2.5f, 20.0f}) {
        s.clear();
        s.max_load_factor(z);
        s.reserve(1000);
        const std::size_t buckets = s.bucket_count();
        EXPECT_GE(static_cast<double>(buckets) * z, 1000.0);
        for (int i = 0; i < 1000; ++i)
            s.insert(i);
        EXPECT_EQ(s.bucket_count(), buckets) << "reserve(1000) did not make room, z = " << z;
        EXPECT_LE(s.load_factor(), z);
        for (int i = 1000; i < 5000; ++i)
            s.insert(i);
        EXPECT_LE(s.load_factor(), z * 1.0001f);
        EXPECT_EQ(hash_table_inspector::check(s), "");
        s.rehash(0); // as few buckets as the load factor allows
        EXPECT_LE(static_cast<double>(s.bucket_count()) * z / 2, 5000.0);
        EXPECT_EQ(hash_table_inspector::check(s), "");
    }
    s.clear();
    s.rehash(0);
    EXPECT_EQ(s.bucket_count(), 0u);
    EXPECT_EQ(hash_table_inspector::check(s), "");
    // Nothing asked of a container without buckets; more buckets than memory
    // can hold fail before anything changes. (At the load factor of 20 left
    // above, SIZE_MAX elements fit in 2^28 buckets on a 32-bit target, which
    // may well be allocated.)
    s.max_load_factor(1.0f);
    s.rehash(0);
    s.reserve(0);
    EXPECT_EQ(s.bucket_count(), 0u);
    s.insert(1);
    EXPECT_THROW(s.rehash(SIZE_MAX), std::bad_alloc);
    EXPECT_THROW(s.reserve(SIZE_MAX), std::bad_alloc);
    EXPECT_EQ(s.bucket_count(), 8u);
    EXPECT_EQ(s.count(1), 1u);
    // A load factor beyond every count: the buckets never grow.
    s.max_load_factor(1e30f);
    for (int i = 0; i < 100; ++i)
        s.insert(i);
    EXPECT_EQ(s.bucket_count(), 8u);
    EXPECT_EQ(hash_table_inspector::check(s), "");
}

TEST(unordered_guarantees, bucket_interface_covers_every_element_once) {
    kel_std::unordered_multimap<std::string, int> m;
    for (int i = 0; i < 300; ++i)
        m.emplace(key_from<std::string>(i % 120), i);
    std::size_t total = 0;
    for (std::size_t b = 0; b < m.bucket_count(); ++b) {
        std::size_t here = 0;
        for (auto it = m.begin(b); it != m.end(b); ++it, ++here)
            EXPECT_EQ(m.bucket(it->first), b);
        EXPECT_EQ(here, m.bucket_size(b));
        total += here;
    }
    EXPECT_EQ(total, m.size());
    EXPECT_GE(m.max_bucket_count(), m.bucket_count());
}

// ---- fault injection ----

struct injected {};

// Which part fails, and after how many more calls.
enum class channel { none, hash, equality, construction };
channel armed = channel::none;
int countdown = 0;
void tick(channel c) {
    if (armed == c && --countdown == 0)
        throw injected();
}

// A key whose copy can fail, with a count of live objects.
struct tval {
    int v;
    static int live;
    tval() : v(0) { ++live; }
    explicit tval(int x) : v(x) { ++live; }
    tval(const tval& o) : v(o.v) {
        tick(channel::construction);
        ++live;
    }
    ~tval() { --live; }
    tval& operator=(const tval& o) = default;
    bool operator==(const tval& o) const { return v == o.v; }
    bool operator<(const tval& o) const { return v < o.v; }
};
int tval::live = 0;

struct faulty_hash {
    std::size_t operator()(const tval& t) const {
        tick(channel::hash);
        return std::hash<int>()(t.v);
    }
};
struct faulty_eq {
    bool operator()(const tval& a, const tval& b) const {
        tick(channel::equality);
        return a.v == b.v;
    }
};

template <class C>
struct fault_fixture {
    typedef typename C::value_type value_type;
    static value_type make(int k) { return value_maker<value_type>::make(k, k); }
};
template <>
struct fault_fixture<
    kel_std::unordered_map<tval, tval, faulty_hash, faulty_eq, kel_std::allocator<std::pair<const tval, tval>>>> {
    typedef std::pair<const tval, tval> value_type;
    static value_type make(int k) { return value_type(tval(k), tval(-k)); }
};

template <>
tval key_from<tval>(int i) {
    return tval(i);
}

// Runs `op` on a container of `n` elements with a failure injected at the
// 1st, 2nd, ... call of `c` until the operation succeeds. After a failure
// the container must be unchanged (strong) or sound (basic); every time,
// nothing may leak. Returns the number of failures injected.
template <class C, class Op>
int inject(channel c, int n, bool strong, Op op) {
    kel_test::recording_manager manager;
    const int live_values = tval::live;
    int failures = 0;
    for (int at = 1;; ++at) {
        bool threw = false;
        {
            C box(0, typename C::hasher(), typename C::key_equal(), typename C::allocator_type(&manager));
            for (int i = 0; i < n; ++i)
                box.insert(fault_fixture<C>::make(i));
            const auto before = sorted(box);
            const std::size_t buckets = box.bucket_count();
            if (c == channel::none)
                manager.fail_at = at;
            else {
                armed = c;
                countdown = at;
            }
            try {
                op(box);
            } catch (const injected&) {
                threw = true;
            } catch (const kel_test::manager_failure&) {
                threw = true;
            }
            armed = channel::none;
            manager.fail_at = 0;
            EXPECT_EQ(hash_table_inspector::check(box), "") << "after a failure at call " << at;
            if (threw && strong) {
                EXPECT_TRUE(sorted(box) == before) << "changed by a failure at call " << at;
                EXPECT_EQ(box.bucket_count(), buckets) << "rehashed by a failure at call " << at;
            }
        }
        EXPECT_EQ(manager.live_blocks(), 0u) << "leak after a failure at call " << at;
        EXPECT_EQ(manager.bad_releases, 0);
        EXPECT_EQ(tval::live, live_values) << "values leaked after a failure at call " << at;
        if (!threw || ::testing::Test::HasFailure() || at > 10000)
            return failures;
        ++failures;
    }
}

typedef kel_std::unordered_set<tval, faulty_hash, faulty_eq, kel_std::allocator<tval>> fset;
typedef kel_std::unordered_multiset<tval, faulty_hash, faulty_eq, kel_std::allocator<tval>> fmultiset;
typedef kel_std::unordered_map<tval, tval, faulty_hash, faulty_eq, kel_std::allocator<std::pair<const tval, tval>>>
    fmap;

template <class C>
int inject_everywhere(const char* name) {
    int total = 0;
    const channel channels[] = {channel::none, channel::hash, channel::equality, channel::construction};
    // 64 elements: the next insertion rehashes first; 40: it has room; 0: it
    // brings the first bucket array.
    for (int n : {0, 40, 64})
        for (channel c : channels) {
            SCOPED_TRACE(std::string(name) + ", " + std::to_string(n) + " elements, channel " +
                         std::to_string(static_cast<int>(c)));
            const tval fresh(1000), old(3);
            total += inject<C>(c, n, true, [&](C& box) { box.insert(fault_fixture<C>::make(1000)); });
            total += inject<C>(c, n, true, [&](C& box) { box.insert(fault_fixture<C>::make(3)); });
            total += inject<C>(c, n, true, [&](C& box) { box.emplace(fault_fixture<C>::make(1001)); });
            total += inject<C>(c, n, true, [&](C& box) { box.emplace_hint(box.find(old), fault_fixture<C>::make(3)); });
            // The node stays in its handle when the bucket array cannot grow.
            total += inject<C>(c, n, true, [&](C& box) {
                C other(box.get_allocator());
                other.insert(fault_fixture<C>::make(2000));
                typename C::node_type nh = other.extract(other.begin());
                try {
                    box.insert(std::move(nh));
                } catch (...) {
                    EXPECT_FALSE(nh.empty()) << "the node left its handle";
                    throw;
                }
            });
            total += inject<C>(c, n, true, [&](C& box) { box.rehash(4096); });
            total += inject<C>(c, n, true, [&](C& box) { box.reserve(5000); });
            total += inject<C>(c, n, true, [&](C& box) { C copy(box); });
            total += inject<C>(c, n, false, [&](C& box) {
                C copy(box.get_allocator());
                copy.insert(fault_fixture<C>::make(-5));
                copy = box;
            });
            total += inject<C>(c, n, false, [&](C& box) {
                C other(box.get_allocator());
                for (int i = 30; i < 90; ++i)
                    other.insert(fault_fixture<C>::make(i));
                const std::size_t together = box.size() + other.size();
                try {
                    box.merge(other);
                } catch (...) {
                    EXPECT_EQ(box.size() + other.size(), together) << "merge lost a node";
                    throw;
                }
            });
            if (::testing::Test::HasFailure())
                return total;
        }
    return total;
}

TEST(unordered_faults, single_insertions_are_all_or_nothing) {
    const int set_failures = inject_everywhere<fset>("set");
    const int multiset_failures = inject_everywhere<fmultiset>("multiset");
    const int map_failures = inject_everywhere<fmap>("map");
    // The map's own insertions, which build the value only for a new key.
    int more = 0;
    for (channel c : {channel::none, channel::hash, channel::equality, channel::construction}) {
        more += inject<fmap>(c, 64, true, [](fmap& m) { m.try_emplace(tval(1000), 5); });
        more += inject<fmap>(c, 64, true, [](fmap& m) { m[tval(1000)] = tval(5); });
        more += inject<fmap>(c, 64, true, [](fmap& m) { m.insert_or_assign(tval(1000), tval(5)); });
    }
    std::printf("faults injected: set %d, multiset %d, map %d (+%d)\n", set_failures, multiset_failures, map_failures,
                more);
    EXPECT_GT(set_failures + multiset_failures + map_failures + more, 1000);
}

// ---- allocation ----

typedef kel_std::unordered_set<int, kel_std::hash<int>, std::equal_to<int>, kel_std::allocator<int>> managed_set;

TEST(unordered_allocation, one_block_per_element_plus_the_bucket_array) {
    kel_test::recording_manager manager;
    {
        kel_test::heap_watch heap;
        managed_set s{kel_std::allocator<int>(&manager)};
        EXPECT_EQ(manager.calls.size(), 0u) << "an empty set allocated";
        for (int i = 0; i < 1000; ++i)
            s.insert(i);
        EXPECT_EQ(manager.live_blocks(), 1001u);
        s.rehash(10000);
        EXPECT_EQ(manager.live_blocks(), 1001u);
        managed_set moved(std::move(s));
        EXPECT_EQ(manager.live_blocks(), 1001u) << "a move allocated";
        EXPECT_EQ(s.bucket_count(), 0u);
        for (int i = 0; i < 1000; i += 2)
            moved.erase(i);
        EXPECT_EQ(manager.live_blocks(), 501u);
        moved.clear();
        EXPECT_EQ(manager.live_blocks(), 1u); // the bucket array stays for the next elements
        for (const kel_test::manager_call& call : manager.calls)
            if (call.kind == kel_test::manager_call::allocate) {
                EXPECT_EQ(call.tag, 1);
            }
        EXPECT_EQ(heap.news(), 0) << "the global heap was used beside the manager";
    }
    EXPECT_EQ(manager.live_blocks(), 0u);
    EXPECT_EQ(manager.bad_releases, 0);
}

// Containers whose hashers and equalities differ (salt and id `n` for the
// container built with allocator `n`), which assignments, moves and swaps
// must carry along with the elements, whatever the allocators do.
template <bool Propagate>
void check_propagation() {
    typedef kel_test::test_allocator<std::pair<const int, std::string>, Propagate, Propagate, Propagate> alloc;
    typedef kel_std::unordered_map<int, std::string, narrow_hash<int>, tagged_equal<int>, alloc> map;
    const auto make = [](int n) {
        return map(0, narrow_hash<int>(64, static_cast<std::size_t>(n)), tagged_equal<int>(n), alloc(n));
    };
    map a = make(1), b = make(2);
    for (int i = 0; i < 100; ++i) {
        a.emplace(i, std::to_string(i));
        b.emplace(-i, "b");
    }
    const auto contents = sorted(a);
    // Holds `a`'s elements and finds them with `a`'s functions.
    const auto like_a = [&contents](const map& m) {
        bool found = m.hash_function().salt == 1 && m.key_eq().id == 1 && sorted(m) == contents;
        for (const auto& v : contents)
            found = found && m.count(v.first) == 1;
        return found && hash_table_inspector::check(m).empty();
    };
    map c(a);
    EXPECT_EQ(c.get_allocator().id, 101); // select_on_container_copy_construction
    EXPECT_TRUE(like_a(c));
    b = a;
    EXPECT_EQ(b.get_allocator().id, Propagate ? 1 : 2);
    EXPECT_TRUE(like_a(b));
    map d = make(3);
    d = std::move(b);
    EXPECT_EQ(d.get_allocator().id, Propagate ? 1 : 3);
    EXPECT_TRUE(like_a(d));
    map e(std::move(d), alloc(4)); // unequal: element by element
    EXPECT_EQ(e.get_allocator().id, 4);
    EXPECT_TRUE(like_a(e));
    if (Propagate) {
        map f = make(5);
        f.emplace(7, "f");
        auto it = e.find(7);
        e.swap(f);
        EXPECT_EQ(e.get_allocator().id, 5);
        EXPECT_EQ(f.get_allocator().id, 4);
        EXPECT_EQ(&*f.find(7), &*it);
        EXPECT_TRUE(like_a(f));
        EXPECT_EQ(e.hash_function().salt, 5u);
    }
}

template <bool Propagate>
void check_propagation_leaks() {
    const long live = kel_test::live_blocks();
    check_propagation<Propagate>();
    EXPECT_EQ(kel_test::live_blocks(), live) << "blocks leaked";
}

TEST(unordered_allocation, propagation_on_copy_move_and_swap) {
    check_propagation_leaks<false>();
    check_propagation_leaks<true>();
}

// As many nodes as the allocator admits (no more than a difference of
// positions can count), and the largest power of two of buckets whose array
// it admits, which rehash() then gives.
template <class Set, std::size_t Bytes>
void expect_max_sizes() {
    const Set s;
    const std::size_t nodes = Bytes / sizeof(kel_std::detail::hash_node<int>);
    const std::size_t most = static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(kel_std::detail::hash_node<int>);
    EXPECT_EQ(s.max_size(), nodes < most ? nodes : most);
    const std::size_t slots = Bytes / sizeof(kel_std::detail::hash_slot);
    const std::size_t b = s.max_bucket_count();
    EXPECT_TRUE(b != 0 && (b & (b - 1)) == 0) << b;
    EXPECT_LE(kel_std::detail::hash_table_slots(b), slots);
    EXPECT_GT(kel_std::detail::hash_table_slots(2 * b), slots);
    if (Bytes < 100000) {
        Set t;
        t.rehash(b);
        EXPECT_EQ(t.bucket_count(), b);
    }
}

TEST(unordered_allocation, max_size_and_max_bucket_count_are_what_the_allocator_admits) {
    typedef kel_test::budget_allocator<int, 4096> small;
    typedef kel_test::budget_allocator<int, SIZE_MAX> large;
    expect_max_sizes<kel_std::unordered_set<int, kel_std::hash<int>, std::equal_to<int>, small>, 4096>();
    expect_max_sizes<kel_std::unordered_multiset<int, kel_std::hash<int>, std::equal_to<int>, large>, SIZE_MAX>();
    // kel_std::allocator: 32-bit block sizes, and no more than PTRDIFF_MAX
    // bytes where that is less (32-bit targets).
    expect_max_sizes<kel_std::unordered_set<int>, kel_std::detail::max_block_size>();
}

TEST(unordered_allocation, pmr_monotonic_resource) {
#if KEL_TEST_HAVE_PMR
    std::pmr::monotonic_buffer_resource pool;
    typedef std::pmr::polymorphic_allocator<std::pair<const std::string, int>> alloc;
    kel_std::unordered_map<std::string, int, kel_std::hash<std::string>, std::equal_to<std::string>, alloc> m(&pool);
    for (int i = 0; i < 2000; ++i)
        m[key_from<std::string>(i)] = i;
    EXPECT_EQ(m.size(), 2000u);
    EXPECT_EQ(m.at(key_from<std::string>(1234)), 1234);
    EXPECT_EQ(hash_table_inspector::check(m), "");
    EXPECT_EQ(m.get_allocator().resource(), &pool);
#else
    GTEST_SKIP() << "this standard library has no <memory_resource>";
#endif
}

TEST(unordered_allocation, fancy_pointers) {
    const long live = kel_test::live_blocks();
    {
        kel_std::unordered_multiset<int, kel_std::hash<int>, std::equal_to<int>, kel_test::fancy_allocator<int>> s;
        EXPECT_EQ(kel_test::live_blocks(), live) << "an empty set allocated";
        for (int i = 0; i < 500; ++i)
            s.insert(i % 100);
        EXPECT_EQ(s.count(7), 5u);
        auto nh = s.extract(7);
        s.insert(std::move(nh));
        auto copy = s;
        EXPECT_TRUE(copy == s);
        EXPECT_EQ(hash_table_inspector::check(copy), "");
    }
    EXPECT_EQ(kel_test::live_blocks(), live);
}

// ---- values, node handles, lookup by other types ----

TEST(unordered_interface, move_only_and_non_default_constructible_values) {
    kel_std::unordered_map<int, std::unique_ptr<int>> m;
    m.emplace(1, std::unique_ptr<int>(new int(1)));
    m.try_emplace(2, new int(2));
    m[3].reset(new int(3));
    std::unique_ptr<int> twenty(new int(20));
    EXPECT_FALSE(m.try_emplace(2, std::move(twenty)).second);
    EXPECT_NE(twenty, nullptr) << "try_emplace moved from its argument for a present key";
    EXPECT_FALSE(m.insert_or_assign(2, std::move(twenty)).second);
    EXPECT_EQ(twenty, nullptr);
    EXPECT_EQ(*m.at(2), 20);
    auto nh = m.extract(1);
    kel_std::unordered_map<int, std::unique_ptr<int>> other(std::move(m));
    other.insert(std::move(nh));
    EXPECT_EQ(*other.at(1) + *other.at(2) + *other.at(3), 24);

    struct no_default {
        explicit no_default(int x) : v(x) {}
        int v;
    };
    kel_std::unordered_map<int, no_default> n;
    n.try_emplace(5, 50);
    n.emplace(std::piecewise_construct, std::forward_as_tuple(6), std::forward_as_tuple(60));
    EXPECT_EQ(n.at(5).v + n.at(6).v, 110);
}

struct transparent_hash {
    typedef void is_transparent;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};
struct transparent_eq {
    typedef void is_transparent;
    bool operator()(std::string_view a, std::string_view b) const { return a == b; }
};

TEST(unordered_interface, heterogeneous_lookup_builds_no_key) {
    kel_std::unordered_multimap<std::string, int, transparent_hash, transparent_eq> m;
    const std::string long_key(100, 'k');
    m.emplace(long_key, 1);
    m.emplace(long_key, 2);
    m.emplace("short", 3);
    kel_test::heap_watch heap;
    const std::string_view probe(long_key);
    EXPECT_EQ(m.count(probe), 2u);
    EXPECT_TRUE(m.contains(probe));
    EXPECT_NE(m.find(probe), m.end());
    EXPECT_EQ(std::distance(m.equal_range(probe).first, m.equal_range(probe).second), 2);
    EXPECT_EQ(m.count("short"), 1u);
    EXPECT_FALSE(m.contains(std::string_view("absent")));
    EXPECT_EQ(m.bucket(probe), m.bucket(long_key));
    EXPECT_EQ(heap.news(), 0) << "a lookup built a std::string";
}

TEST(unordered_interface, node_handles_move_between_kinds_without_allocating) {
    kel_test::recording_manager manager;
    typedef kel_std::allocator<std::pair<const int, int>> alloc;
    kel_std::unordered_map<int, int, kel_std::hash<int>, std::equal_to<int>, alloc> m{alloc(&manager)};
    kel_std::unordered_multimap<int, int, kel_std::hash<int>, std::equal_to<int>, alloc> mm{alloc(&manager)};
    for (int i = 0; i < 50; ++i)
        m.emplace(i, i);
    mm.reserve(100);
    const std::size_t calls = manager.calls.size();
    for (int i = 0; i < 50; ++i)
        mm.insert(m.extract(i));
    mm.insert(mm.extract(3));
    EXPECT_EQ(manager.calls.size(), calls) << "node handles allocated";
    EXPECT_TRUE(m.empty());
    EXPECT_EQ(mm.size(), 50u);
    // A key that is present: the node comes back in the insert_return_type.
    m.emplace(7, 70);
    auto r = m.insert(mm.extract(7));
    EXPECT_FALSE(r.inserted);
    EXPECT_EQ(r.position->second, 70);
    ASSERT_FALSE(r.node.empty());
    EXPECT_EQ(r.node.key(), 7);
    EXPECT_EQ(r.node.mapped(), 7);
    mm.insert(std::move(r.node));
    // With a hint, a node whose key is present stays in the handle.
    auto back = mm.extract(7);
    EXPECT_EQ(m.insert(m.cbegin(), std::move(back))->second, 70);
    ASSERT_FALSE(back.empty()) << "the hinted insert destroyed the node";
    EXPECT_EQ(back.mapped(), 7);
    mm.insert(mm.cend(), std::move(back));
    EXPECT_TRUE(back.empty());
    // Merge between a multimap and a map: only new keys move.
    m.merge(mm);
    EXPECT_EQ(m.size(), 50u);
    EXPECT_EQ(mm.size(), 1u);
    EXPECT_EQ(hash_table_inspector::check(m), "");
    EXPECT_EQ(hash_table_inspector::check(mm), "");
}

TEST(unordered_interface, equality_ignores_order_and_sees_values) {
    kel_std::unordered_multimap<int, int> a{{1, 1}, {1, 2}, {2, 3}}, b{{2, 3}, {1, 2}, {1, 1}},
        c{{1, 1}, {1, 1}, {2, 3}};
    b.rehash(64);
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a != c);
    kel_std::unordered_map<int, int> d{{1, 1}, {2, 2}}, e{{2, 2}, {1, 1}}, f{{2, 2}, {1, 9}};
    EXPECT_TRUE(d == e);
    EXPECT_TRUE(d != f);
}

TEST(unordered_interface, at_throws_the_library_error) {
    kel_std::unordered_map<std::string, int> m{{"one", 1}};
    EXPECT_EQ(m.at("one"), 1);
    try {
        m.at("two");
        FAIL() << "no exception";
    } catch (const kel_std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "out of range error");
    }
}

template <class Expected, class Got>
void expect_type(const Got&) {
    static_assert(std::is_same<Expected, Got>::value, "deduced another type");
}

// Every deduction the standard gives the hashed container `C`, whose type
// with the default hash, equality and allocator is `V`: from the iterator
// range [first, last) or an initializer list of the elements `...`, with a bucket count, a
// hash, an equality and an allocator as far as each is given, and from a
// container of the same kind with an allocator.
#define EXPECT_HASHED_GUIDES(C, V, first, last, ...)                                                                   \
    {                                                                                                                  \
        typedef std::hash<int> H;                                                                                      \
        typedef std::equal_to<> P;                                                                                     \
        typedef std::allocator<V::value_type> A;                                                                       \
        typedef with_hashed<V, V::hasher, V::key_equal, A>::type VA;                                                   \
        const A a = A();                                                                                               \
        expect_type<V>(C(first, last));                                                                                \
        expect_type<V>(C(first, last, 4));                                                                             \
        expect_type<with_hashed<V, H, V::key_equal, V::allocator_type>::type>(C(first, last, 4, H()));                 \
        expect_type<with_hashed<V, H, P, V::allocator_type>::type>(C(first, last, 4, H(), P()));                       \
        expect_type<with_hashed<V, H, P, A>::type>(C(first, last, 4, H(), P(), a));                                    \
        expect_type<VA>(C(first, last, 4, a));                                                                         \
        expect_type<with_hashed<V, H, V::key_equal, A>::type>(C(first, last, 4, H(), a));                              \
        expect_type<V>(C({__VA_ARGS__}));                                                                              \
        expect_type<V>(C({__VA_ARGS__}, 4));                                                                           \
        expect_type<with_hashed<V, H, V::key_equal, V::allocator_type>::type>(C({__VA_ARGS__}, 4, H()));               \
        expect_type<with_hashed<V, H, P, V::allocator_type>::type>(C({__VA_ARGS__}, 4, H(), P()));                     \
        expect_type<with_hashed<V, H, P, A>::type>(C({__VA_ARGS__}, 4, H(), P(), a));                                  \
        expect_type<VA>(C({__VA_ARGS__}, 4, a));                                                                       \
        expect_type<with_hashed<V, H, V::key_equal, A>::type>(C({__VA_ARGS__}, 4, H(), a));                            \
        VA c({__VA_ARGS__}, a);                                                                                        \
        expect_type<VA>(C(c));                                                                                         \
        expect_type<VA>(C(c, a));                                                                                      \
        EXPECT_EQ(C(first, last, 4, a), c) << #C;                                                                      \
        expect_type<VA>(C(std::move(c), a));                                                                           \
    }

TEST(unordered_interface, deduction_guides_give_the_standard_types) {
    const std::vector<int> keys{1, 2, 2};
    typedef kel_std::unordered_set<int> set;
    EXPECT_HASHED_GUIDES(kel_std::unordered_set, set, keys.begin(), keys.end(), 1, 2, 2);
    typedef kel_std::unordered_multiset<int> multiset;
    EXPECT_HASHED_GUIDES(kel_std::unordered_multiset, multiset, keys.begin(), keys.end(), 1, 2, 2);
    const std::vector<std::pair<int, double>> pairs{{1, 0.5}, {2, 1.5}, {2, 2.5}};
    typedef std::pair<int, double> p;
    typedef kel_std::unordered_map<int, double> map;
    EXPECT_HASHED_GUIDES(kel_std::unordered_map, map, pairs.begin(), pairs.end(), p(1, 0.5), p(2, 1.5), p(2, 2.5));
    typedef kel_std::unordered_multimap<int, double> multimap;
    EXPECT_HASHED_GUIDES(kel_std::unordered_multimap, multimap, pairs.begin(), pairs.end(), p(1, 0.5), p(2, 1.5),
                         p(2, 2.5));
    // The maps also deduce from a range or a list with an allocator alone.
    typedef std::allocator<std::pair<const int, double>> alloc;
    const alloc a;
    typedef with_hashed<map, kel_std::hash<int>, std::equal_to<int>, alloc>::type map_a;
    expect_type<map_a>(kel_std::unordered_map(pairs.begin(), pairs.end(), a));
    expect_type<map_a>(kel_std::unordered_map({p(1, 0.5), p(2, 1.5), p(2, 2.5)}, a));
    typedef with_hashed<multimap, kel_std::hash<int>, std::equal_to<int>, alloc>::type multimap_a;
    expect_type<multimap_a>(kel_std::unordered_multimap(pairs.begin(), pairs.end(), a));
    expect_type<multimap_a>(kel_std::unordered_multimap({p(1, 0.5), p(2, 1.5), p(2, 2.5)}, a));
    EXPECT_EQ(kel_std::unordered_multimap({p(1, 0.5), p(2, 1.5), p(2, 2.5)}, a).size(), 3u);
    // A list of the maps' own value type deduces the key without its const.
    expect_type<map>(kel_std::unordered_map{std::pair<const int, double>{1, 0.5}});
    expect_type<multimap>(kel_std::unordered_multimap{std::pair<const int, double>{1, 0.5}});
}

// Identity hashes that say whether their values need mixing.
template <bool Avalanching>
struct declared_hash {
    typedef std::integral_constant<bool, Avalanching> is_avalanching;
    std::size_t operator()(std::size_t k) const { return k; }
};
struct marker_without_value : std::hash<std::size_t> {
    typedef void is_avalanching;
};

TEST(unordered_interface, avalanching_hashes_choose_buckets_unmixed) {
    using kel_std::detail::hash_is_avalanching;
    static_assert(hash_is_avalanching<kel_std::hash<kel_std::string>>::value, "");
    static_assert(hash_is_avalanching<kel_std::hash<std::string>>::value, "");
    static_assert(hash_is_avalanching<kel_std::hash<std::string_view>>::value, "");
    static_assert(hash_is_avalanching<std::hash<kel_std::string>>::value, "");
    static_assert(!hash_is_avalanching<kel_std::hash<int>>::value, "");
    static_assert(!hash_is_avalanching<declared_hash<false>>::value, "");
    static_assert(!hash_is_avalanching<marker_without_value>::value, "a marker without a value is not a promise");

    kel_std::unordered_set<std::size_t, declared_hash<true>> taken;
    kel_std::unordered_set<std::size_t, declared_hash<false>> mixed;
    for (std::size_t k = 0; k < 1000; ++k) {
        taken.insert(k);
        mixed.insert(k);
    }
    std::size_t moved = 0;
    for (std::size_t k = 0; k < 1000; ++k) {
        ASSERT_EQ(taken.bucket(k), k & (taken.bucket_count() - 1)) << k;
        moved += mixed.bucket(k) != (k & (mixed.bucket_count() - 1)) ? 1 : 0;
    }
    EXPECT_GT(moved, 900u) << "a hash that does not say so is mixed";
    EXPECT_EQ(hash_table_inspector::check(taken), "");
}
} // namespace
