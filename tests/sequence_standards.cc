// Every member of the sequence containers and the adaptors, instantiated in
// a program that is built as C++11, C++14 and C++20 with the library's
// strict warnings (the unit tests are C++17). It checks a few results and
// exits non-zero on a wrong one; building it is most of the test.
#include <kel_std/queue.h>
#include <kel_std/stack.h>
#include <kel_std/vector.h>

#include <cstdio>
#if __cplusplus > 201703L
#include <compare>
#endif
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>

// Every non-template member at once.
template class kel_std::vector<int>;
template class kel_std::vector<std::string>;
template class kel_std::stack<int, kel_std::vector<int>>;
template class kel_std::priority_queue<std::string>;

namespace {

int failures = 0;

void expect(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

// The member templates and the non-members of vector.
void use_vector() {
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
    expect(v.size() == 11 && v.back() == "b" && v.front() == "two", "vector contents");
    expect(kel_std::erase(v, std::string("xxx")) == 2, "vector erase");
    expect(kel_std::erase_if(v, [](const std::string& x) { return x.size() == 1; }) == 1, "vector erase_if");
    expect(v > w && v >= w && v != w && !(v == w) && !(v < w) && !(v <= w), "vector comparisons");
#if __cplusplus > 201703L
    expect(std::compare_three_way()(v, w) > 0, "vector <=>");
#endif
    swap(v, w);
    expect(w.size() == 8 && v.size() == 1, "vector swap");
    kel_std::vector<int> n(3);
    n.resize(5, 7);
    expect(n[4] == 7 && n.at(0) == 0, "vector resize");
}

void use_adaptors() {
    kel_std::stack<std::string, kel_std::vector<std::string>> s;
    s.push("a");
    s.emplace(2, 'b');
    expect(s.top() == "bb" && s.size() == 2, "stack");
    kel_std::queue<int> q;
    q.push(1);
    q.emplace(2);
    q.pop();
    expect(q.front() == 2 && q.back() == 2, "queue");
    kel_std::priority_queue<int, kel_std::vector<int>, std::greater<int>> p;
    for (int i = 5; i > 0; --i)
        p.push(i);
    p.emplace(0);
    p.pop();
    expect(p.top() == 1 && p.size() == 5, "priority_queue");
    kel_std::stack<std::string, kel_std::vector<std::string>> t(s);
    expect(t == s && !(t < s), "stack comparisons");
#if __cplusplus > 201703L
    expect(std::compare_three_way()(t, s) == 0, "stack <=>");
#endif
}

} // namespace

int main() {
    use_vector();
    use_adaptors();
    if (failures != 0)
        return 1;
    std::printf("OK: C++%ld\n", __cplusplus / 100 % 100);
    return 0;
}
