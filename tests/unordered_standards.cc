// Every member of the four hashed containers, instantiated in a program that
// is built as C++11, C++14 and C++20 with the library's strict warnings (the
// unit tests are C++17), so that the templates, not only the headers, stay
// valid code of each standard. It checks a few results and exits non-zero on
// a wrong one; building it is most of the test.
#include <kel_std/unordered_map.h>
#include <kel_std/unordered_set.h>

#include <cstddef>
#include <cstdio>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

int failures = 0;

void expect_at(bool ok, int line) {
    if (!ok) {
        std::printf("FAILED: the check on line %d\n", line);
        ++failures;
    }
}
#define expect(ok) expect_at((ok), __LINE__)

template <class Set>
void exercise_set() {
    typedef typename Set::value_type V;
    typedef typename Set::size_type size_type;
    Set a;
    Set b(16);
    Set c(16, typename Set::hasher());
    Set d(16, typename Set::hasher(), typename Set::key_equal());
    Set e(16, typename Set::hasher(), typename Set::key_equal(), typename Set::allocator_type());
    Set f(16, typename Set::allocator_type());
    Set g(16, typename Set::hasher(), typename Set::allocator_type());
    Set h{typename Set::allocator_type()};
    const V values[] = {V(1), V(2), V(2), V(3)};
    Set i(values, values + 4);
    Set j(values, values + 4, 8);
    Set k(values, values + 4, 8, typename Set::allocator_type());
    Set l(values, values + 4, 8, typename Set::hasher(), typename Set::allocator_type());
    Set m({V(1), V(2)});
    Set n({V(1), V(2)}, 8, typename Set::allocator_type());
    Set o({V(1), V(2)}, 8, typename Set::hasher(), typename Set::allocator_type());
    Set p(i);
    Set q(i, typename Set::allocator_type());
    Set r(std::move(p));
    Set s(std::move(q), typename Set::allocator_type());
    a = i;
    a = std::move(r);
    a = {V(4), V(5)};
    expect(a.size() == 2 && !a.empty() && a.max_size() > 2);
    a.insert(V(6));
    const V seven(7);
    a.insert(seven);
    a.insert(a.cbegin(), V(8));
    a.insert(a.cbegin(), seven);
    a.insert(values, values + 4);
    a.insert({V(9), V(10)});
    a.emplace(11);
    a.emplace_hint(a.cend(), 12);
    typename Set::node_type nh = a.extract(V(12));
    expect(!nh.empty() && nh.value() == 12);
    a.insert(std::move(nh));
    nh = a.extract(a.find(V(11)));
    a.insert(a.cend(), std::move(nh));
    a.merge(i);
    a.merge(Set(j));
    a.erase(a.find(V(1)));
    a.erase(V(2));
    a.erase(a.cbegin(), a.cbegin());
    expect(a.count(V(3)) >= 1 && a.find(V(3)) != a.end() && a.contains(V(3)));
    std::pair<typename Set::iterator, typename Set::iterator> er = a.equal_range(V(3));
    expect(er.first != er.second);
    const Set& ca = a;
    expect(ca.find(V(3)) != ca.end() && ca.equal_range(V(3)).first != ca.cend() && ca.begin() == ca.cbegin());
    size_type total = 0;
    for (size_type bkt = 0; bkt < ca.bucket_count(); ++bkt) {
        total += ca.bucket_size(bkt);
        for (typename Set::const_local_iterator it = ca.begin(bkt); it != ca.end(bkt); ++it)
            expect(ca.bucket(*it) == bkt);
        expect(a.begin(bkt) == a.begin(bkt) && a.end(bkt) == ca.cend(bkt) && ca.cbegin(bkt) == a.begin(bkt));
    }
    expect(total == a.size() && a.max_bucket_count() >= a.bucket_count());
    expect(a.load_factor() <= a.max_load_factor());
    a.max_load_factor(2.0f);
    a.rehash(64);
    a.reserve(100);
    typename Set::hasher hf = a.hash_function();
    typename Set::key_equal ke = a.key_eq();
    static_cast<void>(hf);
    static_cast<void>(ke);
    typename Set::allocator_type at = a.get_allocator();
    static_cast<void>(at);
    a.swap(b);
    swap(a, b);
    expect(a == a && !(a != a));
    expect(kel_std::erase_if(a, [](const V& v) { return v % 2 == 0; }) > 0);
    a.clear();
    expect(a.empty() && a.begin() == a.end());
    static_cast<void>(c);
    static_cast<void>(d);
    static_cast<void>(e);
    static_cast<void>(f);
    static_cast<void>(g);
    static_cast<void>(h);
    static_cast<void>(k);
    static_cast<void>(l);
    static_cast<void>(m);
    static_cast<void>(n);
    static_cast<void>(o);
    static_cast<void>(s);
}

template <class Map>
void exercise_map_common(Map& a) {
    typedef typename Map::value_type V;
    typedef typename Map::key_type K;
    a.insert(V(K(1), 1));
    a.insert(std::make_pair(K(2), 2));
    a.insert(a.cbegin(), std::make_pair(K(3), 3));
    const V four(K(4), 4);
    a.insert(four);
    a.insert(a.cend(), four);
    a.emplace(K(5), 5);
    a.emplace_hint(a.cbegin(), K(6), 6);
    typename Map::node_type nh = a.extract(K(6));
    expect(!nh.empty() && nh.key() == K(6) && nh.mapped() == 6);
    nh.key() = K(60);
    a.insert(std::move(nh));
    typename Map::iterator it = a.find(K(60));
    expect(it != a.end() && it->second == 6);
    it->second = 61;
    a.erase(it);
    expect(a.count(K(60)) == 0);
    typename Map::const_iterator cit = a.find(K(5));
    expect(cit != a.cend());
    a.erase(cit);
}

template <class Map>
void exercise_unique_map() {
    typedef typename Map::key_type K;
    typedef typename Map::value_type V;
    Map a{V(K(10), 10)};
    exercise_map_common(a);
    a[K(7)] = 7;
    K eight(8);
    a[eight] = 8;
    expect(a.at(K(7)) == 7);
    const Map& ca = a;
    expect(ca.at(K(8)) == 8);
    expect(a.try_emplace(K(9), 9).second);
    expect(!a.try_emplace(eight, 80).second);
    a.try_emplace(a.cbegin(), K(11), 11);
    a.try_emplace(a.cbegin(), eight, 11);
    expect(!a.insert_or_assign(eight, 88).second && a.at(eight) == 88);
    a.insert_or_assign(K(12), 12);
    a.insert_or_assign(a.cbegin(), K(13), 13);
    a.insert_or_assign(a.cbegin(), eight, 89);
    typename Map::insert_return_type r = a.insert(a.extract(K(13)));
    expect(r.inserted && r.position != a.end() && r.node.empty());
    Map b(a);
    expect(a == b);
    b[K(1)] = 100;
    expect(a != b);
    b.merge(a);
    expect(kel_std::erase_if(b, [](const V& v) { return v.second > 50; }) > 0);
}

template <class Map>
void exercise_multi_map() {
    typedef typename Map::key_type K;
    typedef typename Map::value_type V;
    Map a{V(K(10), 10), V(K(10), 11)};
    exercise_map_common(a);
    a.insert(V(K(1), 2));
    expect(a.count(K(1)) == 2);
    typename Map::iterator r = a.insert(a.extract(K(1)));
    expect(r != a.end() && a.count(K(1)) == 2);
    Map b(a);
    expect(a == b);
    b.merge(a);
    expect(a.empty() && b.count(K(10)) == 4);
}

} // namespace

int main() {
    exercise_set<kel_std::unordered_set<int>>();
    exercise_set<kel_std::unordered_multiset<int>>();
    exercise_set<kel_std::unordered_set<long, std::hash<long>, std::equal_to<long>, std::allocator<long>>>();
    exercise_unique_map<kel_std::unordered_map<int, int>>();
    exercise_unique_map<kel_std::unordered_map<long, int, kel_std::hash<long>, std::equal_to<long>,
                                               std::allocator<std::pair<const long, int>>>>();
    exercise_multi_map<kel_std::unordered_multimap<int, int>>();
#if KEL_STD_THREE_WAY_COMPARISON
    // Under C++20 != is rewritten from ==, as for the standard containers;
    // with a NaN element neither container equals itself.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const kel_std::unordered_map<int, double> with_nan{{1, nan}};
    const std::unordered_map<int, double> std_with_nan{{1, nan}};
    expect(with_nan != with_nan && (with_nan == with_nan) == (std_with_nan == std_with_nan));
#endif
    kel_std::unordered_map<std::string, std::string> words;
    words["hash"] = "table";
    expect(words.at("hash") == "table" && words.bucket_count() >= 1);
    return failures == 0 ? 0 : 1;
}
