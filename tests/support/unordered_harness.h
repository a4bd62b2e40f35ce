// What the hashed-container tests and the fuzz target share: hashes that
// collide on purpose, contents as sorted vectors (the containers' order is
// their own), and a check of every lookup of one key against a std:: model.
#ifndef KEL_STD_TESTS_UNORDERED_HARNESS_H
#define KEL_STD_TESTS_UNORDERED_HARNESS_H

#include <algorithm>
#include <cstddef>
#include <functional>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kel_test {

// A hash that keeps only `bits` low bits of std::hash (0: every key in one
// bucket), to force long chains and equal stored hashes of unequal keys.
// With a `salt`, the kept bits are flipped by it: hashers of different salts
// give every key different hashes, so that a container that keeps the wrong
// hasher after a copy, a move or a swap no longer finds its elements.
template <class Key>
struct narrow_hash {
    unsigned bits = 64;
    std::size_t salt = 0;
    narrow_hash() = default;
    explicit narrow_hash(unsigned b, std::size_t s = 0) : bits(b), salt(s) {}
    std::size_t operator()(const Key& k) const {
        const std::size_t h = std::hash<Key>()(k);
        return (bits >= 64 ? h : h & ((static_cast<std::size_t>(1) << bits) - 1)) ^ salt;
    }
};

// The equality of keys, with an id that takes no part in its answers: it
// tells which container's equality a container holds.
template <class Key>
struct tagged_equal {
    int id = 0;
    tagged_equal() = default;
    explicit tagged_equal(int i) : id(i) {}
    bool operator()(const Key& a, const Key& b) const { return a == b; }
};

// A container's value type with the const taken off a map's key, so that
// copies can be sorted.
template <class V>
struct plain_value {
    typedef V type;
};
template <class K, class T>
struct plain_value<std::pair<const K, T>> {
    typedef std::pair<K, T> type;
};

// The elements of any container, sorted.
template <class C>
std::vector<typename plain_value<typename C::value_type>::type> sorted(const C& c) {
    typedef typename plain_value<typename C::value_type>::type plain;
    std::vector<plain> out;
    for (const auto& v : c)
        out.push_back(v);
    std::sort(out.begin(), out.end());
    return out;
}

// Whether `count`, `find`, `contains` and `equal_range` of `k` agree with
// the model (found elements compared as sorted vectors). Returns an empty
// string, or what differs.
template <class C, class Model, class K>
std::string lookups_agree(C& c, const Model& model, const K& k) {
    const std::size_t expected = model.count(k);
    if (c.count(k) != expected)
        return "count";
    if ((c.find(k) != c.end()) != (expected != 0))
        return "find";
    if (c.contains(k) != (expected != 0))
        return "contains";
    const auto r = c.equal_range(k);
    if (static_cast<std::size_t>(std::distance(r.first, r.second)) != expected)
        return "equal_range length";
    if (expected != 0) {
        typedef typename plain_value<typename C::value_type>::type plain;
        std::vector<plain> mine(r.first, r.second), theirs;
        const auto m = model.equal_range(k);
        theirs.assign(m.first, m.second);
        std::sort(mine.begin(), mine.end());
        std::sort(theirs.begin(), theirs.end());
        if (mine != theirs)
            return "equal_range elements";
    }
    return std::string();
}

} // namespace kel_test

#endif // KEL_STD_TESTS_UNORDERED_HARNESS_H
