// Every member of the ordered containers, instantiated in a program that is
// built as C++11, C++14 and C++20 with the library's strict warnings (the
// unit tests are C++17). It checks a few results and exits non-zero on a
// wrong one; building it is most of the test.
#include <kel_std/basic_string.h>
#include <kel_std/map.h>
#include <kel_std/set.h>

#include "support/platform.h"

#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>
#if __cplusplus > 201703L
#include <string_view>
#endif

namespace {

int failures = 0;

void expect(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

template <class Set>
void use_set() {
    typedef typename Set::value_type V;
    Set s;
    const Set& cs = s;
    std::vector<V> values;
    for (int i = 0; i < 10; ++i)
        values.push_back(static_cast<V>(i % 7));
    Set from_range(values.begin(), values.end());
    Set from_list{3, 1, 2};
    Set with_compare{std::less<V>(), typename Set::allocator_type()};
    Set with_alloc{typename Set::allocator_type()};
    Set copy(from_range);
    Set copy_alloc(from_range, typename Set::allocator_type());
    Set moved(std::move(copy));
    Set moved_alloc(std::move(copy_alloc), typename Set::allocator_type());
    s = from_list;
    s = std::move(moved);
    s = {5, 6};
    s.insert(1);
    const V one = 1;
    s.insert(one);
    s.insert(s.end(), 2);
    s.insert(s.begin(), one);
    s.insert(values.begin(), values.end());
    s.insert({8, 9});
    s.emplace(4);
    s.emplace_hint(s.cend(), 10);
    expect(s.count(4) >= 1 && s.contains(4) && !cs.contains(99), "set lookups");
    expect(s.find(4) != s.end() && cs.find(4) != cs.end(), "set find");
    expect(s.lower_bound(4) != s.upper_bound(4) && cs.lower_bound(4) != cs.upper_bound(4), "set bounds");
    expect(s.equal_range(4).first == s.lower_bound(4) && cs.equal_range(4).second == cs.upper_bound(4),
           "set equal_range");
    typename Set::node_type nh = s.extract(4);
    expect(!nh.empty() && nh.value() == 4, "set extract");
    s.insert(std::move(nh));
    nh = s.extract(s.begin());
    s.insert(s.end(), std::move(nh));
    Set other{100, 101};
    s.merge(other);
    s.swap(other);
    swap(s, other);
    s.erase(s.begin());
    s.erase(101);
    s.erase(s.begin(), std::next(s.begin()));
    kel_std::erase_if(s, [](const V& v) { return v == 9; });
    for (typename Set::const_reverse_iterator it = cs.rbegin(); it != cs.rend(); ++it)
        expect(cs.count(*it) != 0, "set reverse iteration");
    for (typename Set::const_iterator it = s.cbegin(); it != s.cend(); it++)
        expect(*it != 9, "erase_if");
    expect(s.key_comp()(1, 2) && s.value_comp()(1, 2), "set observers");
    expect(s.max_size() > 1000 && s.size() > 0 && !s.empty(), "set capacity");
    expect(s == s && !(s != s) && !(s < s) && s <= s && !(s > s) && s >= s, "set comparisons");
#if KEL_STD_THREE_WAY_COMPARISON
    expect(std::compare_three_way()(s, other) < 0 || std::compare_three_way()(s, other) > 0, "three-way comparison");
    // <=> agrees with < and ==, also where one set is a prefix of the other
    // (called through compare_three_way, which clang-format leaves alone).
    Set prefix(s.begin(), std::next(s.begin()));
    for (const Set* x : {&s, &other, &prefix})
        for (const Set* y : {&s, &other, &prefix})
            expect((std::compare_three_way()(*x, *y) < 0) == (*x < *y) &&
                       (std::compare_three_way()(*x, *y) == 0) == (*x == *y),
                   "<=> agrees with < and ==");
#endif
    expect(s.get_allocator() == typename Set::allocator_type(), "set allocator");
    s.clear();
    expect(s.empty() && s.begin() == s.end() && s.rbegin() == s.rend(), "set clear");
}

template <class Map>
void use_map_common(Map& m) {
    typedef typename Map::value_type V;
    const Map& cm = m;
    std::vector<std::pair<int, std::string>> values;
    for (int i = 0; i < 10; ++i)
        values.push_back(std::make_pair(i % 6, std::string(static_cast<std::size_t>(i), 'x')));
    Map from_range(values.begin(), values.end());
    Map from_list{V(1, "a"), V(2, "b")};
    Map copy(from_range);
    Map moved(std::move(copy));
    m = from_list;
    m = moved;
    m = {V(7, "seven")};
    m.insert(V(1, "one"));
    m.insert(std::make_pair(2, "two"));
    m.insert(m.end(), std::make_pair(3, std::string("three")));
    m.insert(m.begin(), V(0, "zero"));
    m.insert(values.begin(), values.end());
    m.emplace(4, "four");
    m.emplace_hint(m.end(), 5, "five");
    typename Map::iterator it = m.find(4);
    it->second += "!";
    m.erase(it);
    expect(cm.count(2) >= 1 && cm.contains(2) && cm.find(2) != cm.end(), "map lookups");
    typename Map::node_type nh = m.extract(2);
    expect(nh.key() == 2 && !nh.mapped().empty(), "map extract");
    nh.key() = 20;
    m.insert(std::move(nh));
    expect(m.value_comp()(V(1, ""), V(2, "")), "map value_comp");
    kel_std::erase_if(m, [](const V& v) { return v.first == 0; });
    expect(cm.find(0) == cm.end(), "map erase_if");
}

#if KEL_STD_THREE_WAY_COMPARISON
// Under C++20 the containers and the string have only == and <=>, as the
// standard ones: every relational operator is rewritten from <=>, and with
// elements that are only partially ordered (NaN) each answers as for the
// standard container of the same kind.
// (A standard library whose containers lack <=>, such as libc++ 14, has
// nothing to compare with.)
template <class Std, class Ours>
void compare_like_std(const Ours& a, const Ours& b, const char* what) {
#if KEL_TEST_HAVE_STD_THREE_WAY
    const Std sa(a.begin(), a.end()), sb(b.begin(), b.end());
    static_assert(std::is_same<decltype(a <=> b), decltype(sa <=> sb)>::value, "the category of <=>");
    expect((a == b) == (sa == sb) && (a != b) == (sa != sb) && (a < b) == (sa < sb) && (a <= b) == (sa <= sb) &&
               (a > b) == (sa > sb) && (a >= b) == (sa >= sb) && (a <=> b) == (sa <=> sb),
           what);
#else
    static_cast<void>(a <=> b); // still instantiated
    static_cast<void>(what);
#endif
}

template <class Std, class Ours>
void compare_both_ways(const Ours& a, const Ours& b, const char* what) {
    compare_like_std<Std>(a, b, what);
    compare_like_std<Std>(b, a, what);
    compare_like_std<Std>(a, a, what);
}

void compare_as_cxx20_does() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // The equivalent NaN elements leave the two unordered, so that a < b is
    // false, as for the standard containers (not true, as a
    // lexicographical_compare that passes over them would say).
    typedef std::pair<const int, double> entry;
    const entry one(1, nan), two(2, 0.0);
    compare_both_ways<std::map<int, double>>(kel_std::map<int, double>{one}, kel_std::map<int, double>{one, two},
                                             "map with NaN");
    compare_both_ways<std::multimap<int, double>>(kel_std::multimap<int, double>{one},
                                                  kel_std::multimap<int, double>{one, two}, "multimap with NaN");
    typedef std::pair<int, double> key;
    compare_both_ways<std::set<key>>(kel_std::set<key>{key(1, nan)}, kel_std::set<key>{key(1, nan), key(2, 0.0)},
                                     "set with NaN");
    compare_both_ways<std::multiset<key>>(kel_std::multiset<key>{key(1, nan)},
                                          kel_std::multiset<key>{key(1, nan), key(1, nan)}, "multiset with NaN");
    // The string orders strongly, as std::string does, with every kind of
    // text it compares with, and so do containers of strings.
    const kel_std::string abc("abc"), abd("abd");
    static_assert(std::is_same<decltype(abc <=> abd), std::strong_ordering>::value, "string <=>");
    expect((abc <=> abd) < 0 && (abd <=> abc) > 0 && (abc <=> "abc") == 0 && ("abd" <=> abc) > 0 &&
               (abc <=> std::string("ab")) > 0 && (std::string_view("b") <=> abc) > 0,
           "string <=>");
    expect(abc != abd && abc < abd && "abc" == abc && abd >= "abd" && std::string("abc") <= abc && abd > "ab",
           "string comparisons rewritten from <=>");
    static_assert(std::is_same<decltype(kel_std::set<kel_std::string>() <=> kel_std::set<kel_std::string>()),
                               std::strong_ordering>::value,
                  "a set of strings orders strongly");
}
#endif

} // namespace

int main() {
    use_set<kel_std::set<int>>();
    use_set<kel_std::multiset<int>>();

    kel_std::map<int, std::string> m;
    use_map_common(m);
    m[30] = "thirty";
    std::string key = "unused";
    static_cast<void>(key);
    int k = 31;
    m[std::move(k)] = "thirty-one";
    expect(m.at(30) == "thirty", "map at");
    const kel_std::map<int, std::string>& cm = m;
    expect(cm.at(31) == "thirty-one", "const map at");
    m.try_emplace(40, "forty");
    m.try_emplace(41, 3u, 'c');
    int k2 = 42;
    m.try_emplace(std::move(k2), "forty-two");
    m.try_emplace(m.end(), 43, "forty-three");
    m.insert_or_assign(40, "FORTY");
    m.insert_or_assign(m.end(), 44, "forty-four");
    kel_std::map<int, std::string>::insert_return_type r = m.insert(m.extract(44));
    expect(r.inserted && r.position->second == "forty-four", "map node insert");
    expect(m.at(40) == "FORTY" && m.at(41) == "ccc", "map try_emplace and insert_or_assign");
    bool thrown = false;
    try {
        m.at(-1);
    } catch (const kel_std::out_of_range&) {
        thrown = true;
    }
    expect(thrown, "map at throws out_of_range");

    kel_std::multimap<int, std::string> mm;
    use_map_common(mm);
    mm.merge(m);
    expect(m.empty() && mm.count(30) == 1, "merge map into multimap");

#if KEL_STD_THREE_WAY_COMPARISON
    compare_as_cxx20_does();
#endif
    if (failures != 0)
        return 1;
    std::printf("OK: C++%ld\n", __cplusplus / 100 % 100);
    return 0;
}
