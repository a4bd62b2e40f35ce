// What the model-based runs share: the source of their choices (seeded here,
// read from the input in the fuzz targets), an element whose tag does not
// take part in the order, and positions told as distances from begin().
#ifndef KEL_STD_TESTS_MODEL_SOURCE_H
#define KEL_STD_TESTS_MODEL_SOURCE_H

#include <cstdint>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <utility>

namespace kel_test {

// An element whose tag does not take part in the order (under key_less), so
// that the order among equal keys is visible.
struct tagged {
    int key;
    int tag;
};
inline bool operator==(const tagged& a, const tagged& b) {
    return a.key == b.key && a.tag == b.tag;
}
inline bool operator<(const tagged& a, const tagged& b) {
    return a.key != b.key ? a.key < b.key : a.tag < b.tag;
}
inline std::ostream& operator<<(std::ostream& out, const tagged& t) {
    return out << t.key << '#' << t.tag;
}
struct key_less {
    bool operator()(const tagged& a, const tagged& b) const { return a.key < b.key; }
};

template <class A, class B>
std::ostream& operator<<(std::ostream& out, const std::pair<A, B>& p) {
    return out << '(' << p.first << ", " << p.second << ')';
}

// The choices of a run: `below(n)` picks from 0 to n - 1, `int_key()` a
// key from a small range, so that duplicates, hits and misses are all
// common. Keys, strings and tags are made here from those choices.
class source {
public:
    virtual ~source() = default;
    virtual int below(int n) = 0;
    virtual int int_key() = 0;
    std::string string_key() {
        // Long enough that most strings live on the heap.
        static const char* const words[] = {"", "a", "b", "ab", "alpha", "beta", "gamma", "delta"};
        const int k = int_key();
        return std::string(words[k % 8]) + std::string(static_cast<std::size_t>(k / 8), '~') + std::to_string(k);
    }
    int tag() { return ++tag_; }

private:
    int tag_ = 0;
};

// Choices from a seeded generator.
class random_source : public source {
public:
    random_source(std::uint32_t seed, int key_range) : rng_(seed), key_range_(key_range) {}
    int below(int n) override { return static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }
    int int_key() override { return below(key_range_); }

private:
    std::mt19937 rng_;
    int key_range_;
};

// The distance of `it` from begin(); -1 when it is not reached within
// `limit` steps, so that a corrupted container fails the comparison instead
// of looping.
template <class C, class It>
long index_of(const C& c, It it, long limit) {
    const typename C::const_iterator target(it);
    typename C::const_iterator x = c.begin();
    for (long i = 0; i <= limit; ++i, ++x) {
        if (x == target)
            return i;
        if (x == c.end())
            break;
    }
    return -1;
}
template <class C, class It>
long index_of(const C& c, It it) {
    return index_of(c, it, static_cast<long>(c.size()));
}

} // namespace kel_test

#endif
