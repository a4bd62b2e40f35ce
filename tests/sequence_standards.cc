// Every member of the sequence containers, instantiated in a program that is
// built as C++11, C++14 and C++20 with the library's strict warnings (the
// unit tests are C++17); building it is most of the test.
//
// Each container adds its part in the marked place below: its header above,
// and an explicit instantiation of the container (which instantiates every
// member) with a few checks of results in main().
#include <cstdio>

// ---- The containers' headers ----
#include <kel_std/queue.h>
#include <kel_std/stack.h>
#include <kel_std/vector.h>

#if __cplusplus > 201703L
#include <compare>
#endif
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>

// ---- Explicit instantiations ----
template class kel_std::vector<int>;
template class kel_std::vector<std::string>;
template class kel_std::stack<int, kel_std::vector<int>>;
template class kel_std::priority_queue<std::string>;

namespace {

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
    failures += vector_checks();
    failures += adaptor_checks();
    if (failures != 0)
        std::printf("%d checks failed\n", failures);
    return failures == 0 ? 0 : 1;
}
