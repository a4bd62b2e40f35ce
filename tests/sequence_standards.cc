// Every member of the sequence containers, instantiated in a program that is
// built as C++11, C++14 and C++20 with the library's strict warnings (the
// unit tests are C++17); building it is most of the test.
//
// Each container adds its part in the marked place below: its header above,
// and an explicit instantiation of the container (which instantiates every
// member) with a few checks of results in main().
#include <cstdio>

// ---- The containers' headers ----
#include <kel_std/deque.h>
#include <kel_std/forward_list.h>
#include <kel_std/list.h>
#include <kel_std/queue.h>
#include <kel_std/stack.h>
#include <kel_std/vector.h>

#include "support/platform.h"

#if __cplusplus > 201703L
#include <compare>
#endif
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// ---- Explicit instantiations ----
template class kel_std::deque<int>;
template class kel_std::deque<std::string>;
template class kel_std::list<int>;
template class kel_std::forward_list<int>;
template class kel_std::vector<int>;
template class kel_std::vector<std::string>;
template class kel_std::stack<int, kel_std::vector<int>>;
template class kel_std::priority_queue<std::string>;

namespace {

// The member templates of list and forward_list, and their non-members.
int use_lists() {
    const int values[] = {5, 4, 4};
    const auto odd = [](int v) { return v % 2 != 0; };
    kel_std::list<int> l(values, values + 3);
    l.assign(values, values + 3);
    l.insert(l.end(), values, values + 3);
    l.emplace(l.begin(), 0);
    l.emplace_front(1);
    l.emplace_back(2);
    l.sort(std::greater<int>());
    kel_std::list<int> other{9, 3};
    l.merge(other, std::greater<int>());
    l.merge(kel_std::list<int>{8}, std::greater<int>());
    const std::size_t removed = l.unique(std::equal_to<int>()) + l.remove_if(odd);
    kel_std::list<int> seven{7};
    l.splice(l.begin(), std::move(seven), seven.begin());
    int failures = !(removed == 8 && l.size() == 5 && l.front() == 7 && l.back() == 0 && seven.empty());
    failures += !(kel_std::erase(l, 4) == 1 && kel_std::erase_if(l, [](int v) { return v > 5; }) == 2);

    kel_std::forward_list<int> f(values, values + 3);
    f.assign(values, values + 3);
    f.insert_after(f.before_begin(), values, values + 3);
    f.emplace_after(f.before_begin(), 0);
    f.emplace_front(1);
    f.sort(std::less<int>());
    kel_std::forward_list<int> g{2, 9};
    f.merge(g, std::less<int>());
    f.merge(kel_std::forward_list<int>{10}, std::less<int>());
    f.unique(std::equal_to<int>());
    f.remove_if(odd);
    f.splice_after(f.before_begin(), kel_std::forward_list<int>{6});
    failures += !(kel_std::erase(f, 4) == 1 && kel_std::erase_if(f, odd) == 0 && f.front() == 6);

    kel_std::list<int> a{1, 2}, b{1, 3};
    kel_std::forward_list<int> c{1, 2}, d{1, 3};
    swap(a, a);
    swap(c, c);
#if KEL_TEST_HAVE_STD_THREE_WAY
    // (std::compare_three_way calls the containers' <=>.)
    failures += !(std::compare_three_way()(a, b) < 0 && std::compare_three_way()(c, d) < 0 && a != b && c != d);
#else
    failures += !(a < b && b > a && a <= b && b >= a && a != b && c < d && d > c && c <= d && d >= c && c != d);
#endif
#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
    kel_std::list deduced(values, values + 3);
    kel_std::forward_list deduced_forward(std::begin(values), std::end(values));
    kel_std::list copy(deduced, deduced.get_allocator());
    failures += !(copy == deduced && deduced_forward.front() == 5);
#endif
    return failures;
}

void check(int& failures, bool ok, const char* what) {
    if (!ok) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

// The member templates and the non-members of vector.
int vector_checks() {
    int failures = 0;
    typedef kel_std::vector<std::string> V;
    const std::string words[] = {"one", "two", "three"};
    V v(words, words + 3);
    std::istringstream in("four five");
    v.insert(v.end(), std::istream_iterator<std::string>(in), std::istream_iterator<std::string>());
    v.emplace(v.begin(), 3, 'x');
    v.emplace_back("six").append("!");
    v.insert(v.begin() + 1, v[2]);
    v.insert(v.end(), v.begin(), v.begin() + 2);
    v.insert(v.begin(), {"a", "b"});
    v.assign(v.begin() + 1, v.end());
    v.assign(v.rbegin(), v.rend());
    V w{"z"};
    w.assign({"p", "q"});
    w = {"r"};
    check(failures, v.size() == 11 && v.back() == "b" && v.front() == "two", "vector contents");
    check(failures, kel_std::erase(v, std::string("xxx")) == 2, "vector erase");
    check(failures, kel_std::erase_if(v, [](const std::string& x) { return x.size() == 1; }) == 1, "vector erase_if");
    check(failures, v > w && v >= w && v != w && !(v == w) && !(v < w) && !(v <= w), "vector comparisons");
#if __cplusplus > 201703L
    check(failures, std::compare_three_way()(v, w) > 0, "vector <=>");
#endif
    swap(v, w);
    check(failures, w.size() == 8 && v.size() == 1, "vector swap");
    kel_std::vector<int> n(3);
    n.resize(5, 7);
    check(failures, n[4] == 7 && n.at(0) == 0, "vector resize");
    return failures;
}

int adaptor_checks() {
    int failures = 0;
    kel_std::stack<std::string, kel_std::vector<std::string>> s;
    s.push("a");
    s.emplace(2, 'b');
    check(failures, s.top() == "bb" && s.size() == 2, "stack");
    kel_std::queue<int> q;
    q.push(1);
    q.emplace(2);
    q.pop();
    check(failures, q.front() == 2 && q.back() == 2, "queue");
    kel_std::priority_queue<int, kel_std::vector<int>, std::greater<int>> p;
    for (int i = 5; i > 0; --i)
        p.push(i);
    p.emplace(0);
    p.pop();
    check(failures, p.top() == 1 && p.size() == 5, "priority_queue");
    kel_std::stack<std::string, kel_std::vector<std::string>> t(s);
    check(failures, t == s && !(t < s), "stack comparisons");
#if __cplusplus > 201703L
    check(failures, std::compare_three_way()(t, s) == 0, "stack <=>");
#endif
    return failures;
}

} // namespace

int main() {
    int failures = 0;
    // ---- Checks of results ----
    failures += use_lists();
    failures += vector_checks();
    failures += adaptor_checks();
    {
        // deque: the member templates and the non-members.
        const std::vector<int> seven(3, 7);
        kel_std::deque<int> d{3, 1, 2};
        d.emplace_back(4);
        d.emplace_front(0);
        d.emplace(d.begin() + 2, 9);
        d.insert(d.begin() + 1, seven.begin(), seven.end());
        const kel_std::deque<int> copy(d.begin(), d.end());
        failures += d.size() != 9 || d[1] != 7 || d.back() != 4 || !(copy == d);
        failures += kel_std::erase(d, 7) != 3 || kel_std::erase_if(d, [](int x) { return x > 2; }) != 3;
        failures += d != kel_std::deque<int>{0, 1, 2} || !(d < copy) || copy <= d;
        d.assign(seven.begin(), seven.end());
        kel_std::deque<int> e(std::move(d));
        swap(d, e);
        failures += d.size() != 3 || !e.empty();
#if defined(__cpp_deduction_guides) && __cpp_deduction_guides >= 201703L
        kel_std::deque deduced(seven.begin(), seven.end());
        failures += deduced.front() != 7;
#endif
    }
    if (failures != 0)
        std::printf("%d checks failed\n", failures);
    return failures == 0 ? 0 : 1;
}
