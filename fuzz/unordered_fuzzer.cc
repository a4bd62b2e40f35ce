// Drives the hashed containers in lock step with the std:: ones. The input
// chooses the container (set, multiset, map or multimap), how many bits of
// the hash survive (so that keys collide as much as the input likes), and a
// sequence of operations: insertions of every form, erasures, node handles,
// rehash, reserve, maximum load factors, merges, copies and swaps. After
// every step the structure verifier runs and the contents must equal the
// model's.
#include "support/unordered_harness.h"

#include <kel_std/detail/hash_table_check.h>
#include <kel_std/unordered_map.h>
#include <kel_std/unordered_set.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

using kel_test::narrow_hash;
using kel_test::sorted;

namespace {

void require(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "unordered fuzzer: %s\n", what.c_str());
        std::abort();
    }
}

// Values from integers, their keys, and the value a node handle holds.
template <class V>
struct maker {
    static V make(int k, int) { return k; }
    static int key(const V& v) { return v; }
    template <class Handle>
    static V held(const Handle& nh) {
        return nh.value();
    }
};
template <class T>
struct maker<std::pair<const int, T>> {
    static std::pair<const int, T> make(int k, int m) { return std::pair<const int, T>(k, m); }
    static int key(const std::pair<const int, T>& v) { return v.first; }
    template <class Handle>
    static std::pair<const int, T> held(const Handle& nh) {
        return std::pair<const int, T>(nh.key(), nh.mapped());
    }
};

// Erases one element equal to `v` (the very value) from a model.
template <class Model, class V>
void erase_one(Model& m, const V& v) {
    auto r = m.equal_range(maker<V>::key(v));
    for (auto it = r.first; it != r.second; ++it)
        if (*it == v) {
            m.erase(it);
            return;
        }
    require(false, "a value taken from the container is not in the model");
}

template <class C, class Model>
void run(FuzzedDataProvider& in, unsigned bits) {
    typedef typename C::value_type value_type;
    typedef maker<value_type> mk;
    C a(0, narrow_hash<int>(bits)), b(0, narrow_hash<int>(bits));
    Model ma, mb;
    const bool unique =
        std::is_same<typename C::insert_return_type,
                     kel_std::detail::node_insert_return<typename C::iterator, typename C::node_type>>::value;
    while (in.remaining_bytes() > 0) {
        const int op = in.ConsumeIntegralInRange<int>(0, 15);
        const int k = in.ConsumeIntegralInRange<int>(-20, 60);
        const value_type v = mk::make(k, in.ConsumeIntegralInRange<int>(0, 3));
        switch (op) {
        case 0:
            a.insert(v);
            ma.insert(v);
            break;
        case 1:
            a.emplace_hint(a.find(k), v);
            ma.insert(v);
            break;
        case 2:
            require(a.erase(k) == ma.erase(k), "erase(key) count");
            break;
        case 3: {
            auto it = a.find(k);
            if (it != a.end()) {
                const value_type gone = *it;
                a.erase(it);
                erase_one(ma, gone);
            }
            break;
        }
        case 4: {
            // The node goes to the other container (which keeps it in the
            // handle when the key is there and keys are unique).
            auto nh = a.extract(k);
            if (!nh.empty()) {
                const value_type moved = mk::held(nh);
                erase_one(ma, moved);
                const bool fits = !unique || mb.count(k) == 0;
                b.insert(std::move(nh));
                if (fits)
                    mb.insert(moved);
            }
            break;
        }
        case 5:
            a.rehash(in.ConsumeIntegralInRange<std::size_t>(0, 200));
            break;
        case 6:
            a.reserve(in.ConsumeIntegralInRange<std::size_t>(0, 200));
            break;
        case 7:
            a.max_load_factor(static_cast<float>(in.ConsumeIntegralInRange<int>(1, 40)) / 8.0f);
            break;
        case 8: {
            Model stays;
            for (const value_type& x : mb) {
                if (unique && ma.count(mk::key(x)) != 0)
                    stays.insert(x);
                else
                    ma.insert(x);
            }
            a.merge(b);
            mb = stays;
            break;
        }
        case 9:
            b = a;
            mb = ma;
            break;
        case 10:
            a.swap(b);
            ma.swap(mb);
            break;
        case 11: {
            C moved(std::move(a));
            a = std::move(moved);
            break;
        }
        case 12: {
            const std::size_t erased =
                kel_std::erase_if(a, [k](const value_type& x) { return mk::key(x) % 5 == k % 5; });
            std::size_t expected = 0;
            for (auto it = ma.begin(); it != ma.end();)
                if (mk::key(*it) % 5 == k % 5) {
                    it = ma.erase(it);
                    ++expected;
                } else {
                    ++it;
                }
            require(erased == expected, "erase_if count");
            break;
        }
        case 13:
            if (k == 0) {
                a.clear();
                ma.clear();
            }
            break;
        default: {
            const value_type more[] = {v, mk::make(k + 1, 0), v};
            a.insert(more, more + 3);
            ma.insert(more, more + 3);
            break;
        }
        }
        const std::string fault_a = kel_std::detail::hash_table_inspector::check(a);
        const std::string fault_b = kel_std::detail::hash_table_inspector::check(b);
        require(fault_a.empty(), "verifier: " + fault_a);
        require(fault_b.empty(), "verifier: " + fault_b);
        require(a.size() == ma.size() && b.size() == mb.size(), "sizes differ from the model");
        require(sorted(a) == sorted(ma) && sorted(b) == sorted(mb), "contents differ from the model");
        require(kel_test::lookups_agree(a, ma, k).empty(), "a lookup differs from the model");
        require((a == b) == (sorted(a) == sorted(b)), "operator== disagrees with the contents");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int kind = in.ConsumeIntegralInRange<int>(0, 3);
    const unsigned bits = in.ConsumeIntegralInRange<unsigned>(0, 64);
    switch (kind) {
    case 0:
        run<kel_std::unordered_set<int, narrow_hash<int>>, std::unordered_set<int>>(in, bits);
        break;
    case 1:
        run<kel_std::unordered_multiset<int, narrow_hash<int>>, std::unordered_multiset<int>>(in, bits);
        break;
    case 2:
        run<kel_std::unordered_map<int, int, narrow_hash<int>>, std::unordered_map<int, int>>(in, bits);
        break;
    default:
        run<kel_std::unordered_multimap<int, int, narrow_hash<int>>, std::unordered_multimap<int, int>>(in, bits);
        break;
    }
    return 0;
}
