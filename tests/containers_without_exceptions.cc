// Built with -fno-exceptions, and a second time with -fno-rtti as well: the
// library's headers in a program without exceptions.
//
// Without arguments it exercises each container and the string, on the
// global heap and on both memory managers, and exits with 0 (1 and a message
// on the first fault). With the name of a scenario it asks the library for
// what it cannot do (an element that is not there, a string too long, memory
// that cannot be had), which must end the program where a build with
// exceptions would throw, not go on with a broken container: the terminate
// handler of support/terminate_report.cc says what ended it, and the test
// (tests/CMakeLists.txt) checks that text.
#include "support/counting_heap.h"
#include "support/terminate_report.h"

#include <kel_std/kel_std.h> // every public header

#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>

#if defined(__cpp_exceptions) || defined(__EXCEPTIONS) || defined(_CPPUNWIND)
#error "build this test without exceptions"
#endif
static_assert(KEL_STD_HAS_EXCEPTIONS == 0, "the headers see exceptions as off");

namespace {

int failures = 0;

void expect(bool ok, const char* what, const char* where) {
    if (!ok) {
        std::fprintf(stderr, "without exceptions: %s: %s\n", where, what);
        ++failures;
    }
}

kel_std::string text_of(int k) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "value %d", k);
    return kel_std::string(digits);
}

// The elements of the sets (int keys) and of the maps (int keys, string
// values long enough to need a buffer).
template <class V>
struct element {
    static V make(int k) { return k; }
};
template <class K>
struct element<std::pair<const K, kel_std::string>> {
    static std::pair<const K, kel_std::string> make(int k) {
        return std::pair<const K, kel_std::string>(k, text_of(k));
    }
};

// Every kind of modifier and lookup, each result checked.
template <class C>
void exercise(const char* name, const typename C::allocator_type& alloc) {
    typedef element<typename C::value_type> e;
    C c(alloc);
    for (int i = 0; i < 500; ++i)
        c.insert(e::make(i * 7 % 500));
    c.emplace(e::make(3));
    expect(c.count(3) == c.size() - 499 && c.find(499) != c.end() && c.find(500) == c.end(), "insertion", name);
    C copy(c);
    expect(copy == c, "copy", name);
    for (int i = 0; i < 500; i += 2)
        c.erase(i);
    expect(c.size() == copy.size() - 250 && !c.contains(4) && c.contains(5), "erasure", name);
    typename C::node_type nh = copy.extract(4);
    expect(!nh.empty() && copy.count(4) == 0, "extract", name);
    c.insert(std::move(nh));
    C moved(std::move(copy));
    copy = moved;
    swap(copy, moved);
    const std::size_t total = moved.size() + c.size();
    moved.merge(c);
    expect(moved.count(4) == 1 && moved.size() + c.size() == total, "merge", name);
    copy = std::move(moved);
    copy.clear();
    expect(copy.empty() && copy.begin() == copy.end(), "clear", name);
}

template <class C>
void exercise_everywhere(const char* name) {
    typedef typename C::allocator_type alloc;
    exercise<C>(name, alloc());
    kel_std::pool_manager pool;
    exercise<C>(name, alloc(&pool));
    expect(pool.blocks_in_use() == 0, "blocks left in the pool", name);
    kel_std::arena_manager arena;
    exercise<C>(name, alloc(&arena));
}

// The vector and the adaptors: growth, insertion and erasure in the middle,
// copies, and a priority queue's order.
template <class Alloc>
void exercise_vector(const Alloc& alloc) {
    kel_std::vector<kel_std::string, Alloc> v(alloc);
    for (int i = 0; i < 300; ++i)
        v.push_back(text_of(i));
    v.insert(v.begin() + 10, 5, v[3]);
    v.erase(v.begin(), v.begin() + 10);
    kel_std::vector<kel_std::string, Alloc> copy(v);
    expect(copy == v && v.size() == 295 && v[0] == "value 3" && v.at(5) == "value 10", "edit and copy", "vector");
    kel_std::stack<kel_std::string, kel_std::vector<kel_std::string, Alloc>> s(std::move(copy));
    s.pop();
    kel_std::priority_queue<int> q;
    for (int i = 0; i < 100; ++i)
        q.push(i * 37 % 100);
    expect(s.top() == "value 298" && q.top() == 99, "adaptors", "vector");
}

// The deque: pushes and pops at both ends, insertion and erasure in the
// middle, copies.
template <class Alloc>
void exercise_deque(const Alloc& alloc) {
    kel_std::deque<kel_std::string, Alloc> d(alloc);
    for (int i = 0; i < 300; ++i) {
        d.push_back(text_of(i));
        d.push_front(text_of(-i));
    }
    d.insert(d.begin() + 10, 5, d[3]);
    d.erase(d.begin(), d.begin() + 10);
    d.pop_front();
    d.pop_back();
    const kel_std::deque<kel_std::string, Alloc> copy(d);
    expect(copy == d && d.size() == 593 && d[0] == "value -296" && d.at(592) == "value 298", "edit and copy", "deque");
}

void exercise_string() {
    kel_std::string s("without exceptions");
    s.append(", still a string");
    s.insert(0, "built ");
    expect(s == "built without exceptions, still a string" && s.find("still") == 26, "edit", "string");
    const kel_std::string t = s.substr(6, 7) + '!';
    expect(t == "without!" && s < t && t.at(0) == 'w', "substr and compare", "string");
    kel_std::unordered_map<kel_std::string, int> index;
    index[t] = 1;
    expect(index.at("without!") == 1, "as a key", "string");
}

// What must end the program: each line names a scenario and does it.
struct scenario {
    const char* name;
    void (*run)();
};
const scenario scenarios[] = {
    {"map_at",
     [] {
         static_cast<void>(kel_std::map<int, int>{{1, 1}}.at(2));
     }},
    {"unordered_map_at",
     [] {
         static_cast<void>(kel_std::unordered_map<int, int>{{1, 1}}.at(2));
     }},
    {"string_at", [] { static_cast<void>(kel_std::string("abc").at(3)); }},
    {"vector_at",
     [] {
         static_cast<void>(kel_std::vector<int>{1, 2}.at(2));
     }},
    {"vector_length",
     [] {
         kel_std::vector<int> v;
         v.reserve(v.max_size() + 1);
     }},
    {"vector_allocation",
     [] {
         kel_std::vector<int> v;
         kel_test::heap_watch heap;
         heap.fail_new_at(1);
         v.push_back(1);
     }},
    {"deque_at", [] { static_cast<void>(kel_std::deque<int>(2).at(2)); }},
    {"deque_length",
     [] {
         kel_std::deque<int> d;
         d.resize(d.max_size() + 1);
     }},
    {"deque_allocation",
     [] {
         kel_std::deque<int> d;
         kel_test::heap_watch heap;
         heap.fail_new_at(2); // the map comes first
         d.push_back(1);
     }},
    {"string_length", [] { kel_std::string().reserve(kel_std::string::max_length + 1u); }},
    {"node_allocation",
     [] {
         kel_std::map<int, int> m;
         kel_test::heap_watch heap;
         heap.fail_new_at(1);
         m.emplace(1, 1);
     }},
    {"bucket_allocation",
     [] {
         kel_std::unordered_set<int> s;
         kel_test::heap_watch heap;
         heap.fail_new_at(2); // the node comes first
         s.insert(1);
     }},
};

} // namespace

int main(int argc, char** argv) {
    kel_test::install_terminate_report();
    if (argc > 1) {
        for (const scenario& s : scenarios)
            if (std::strcmp(argv[1], s.name) == 0) {
                s.run();
                std::fprintf(stderr, "scenario %s returned\n", s.name);
                return 1;
            }
        std::fprintf(stderr, "no scenario %s\n", argv[1]);
        return 2;
    }
    exercise_everywhere<kel_std::set<int>>("set");
    exercise_everywhere<kel_std::multiset<int>>("multiset");
    exercise_everywhere<kel_std::map<int, kel_std::string>>("map");
    exercise_everywhere<kel_std::multimap<int, kel_std::string>>("multimap");
    exercise_everywhere<kel_std::unordered_set<int>>("unordered_set");
    exercise_everywhere<kel_std::unordered_multiset<int>>("unordered_multiset");
    exercise_everywhere<kel_std::unordered_map<int, kel_std::string>>("unordered_map");
    exercise_everywhere<kel_std::unordered_multimap<int, kel_std::string>>("unordered_multimap");
    exercise_string();
    exercise_vector(kel_std::allocator<kel_std::string>());
    kel_std::pool_manager pool;
    exercise_vector(kel_std::allocator<kel_std::string>(&pool));
    expect(pool.blocks_in_use() == 0, "blocks left in the pool", "vector");
    exercise_deque(kel_std::allocator<kel_std::string>());
    exercise_deque(kel_std::allocator<kel_std::string>(&pool));
    expect(pool.blocks_in_use() == 0, "blocks left in the pool", "deque");
    if (failures != 0)
        return 1;
    std::printf("the containers, the adaptors and the string work without exceptions\n");
    return 0;
}
