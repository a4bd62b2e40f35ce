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

#include <string>
#include <vector>

// ---- Explicit instantiations ----
template class kel_std::deque<int>;
template class kel_std::deque<std::string>;

int main() {
    int failures = 0;
    // ---- Checks of results ----
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
