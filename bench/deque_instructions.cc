// A fixed, repeatable workload for counting instructions with callgrind:
// `deque_instructions IMPL` runs, for IMPL = kel_std, libstdc++ or
// kel_std+std::allocator, each operation of bench/deque_bench.cc on a deque
// of 100,000 ints. Every measured loop is a function of its own whose name
// starts with "measured_", so that bench/deque_instructions.sh can count the
// instructions inside each one (setup excluded) with --toggle-collect.
#include <kel_std/deque.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <vector>

namespace {

const int n = 100000;

#if defined(__clang__)
#define MEASURED __attribute__((noinline))
#else
#define MEASURED __attribute__((noipa))
#endif

// Construction, the pushes and the destruction.
template <class Deque>
MEASURED long measured_push_back() {
    Deque d;
    for (int i = 0; i < n; ++i)
        d.push_back(i);
    return d.back();
}

template <class Deque>
MEASURED long measured_push_front() {
    Deque d;
    for (int i = 0; i < n; ++i)
        d.push_front(i);
    return d.front();
}

template <class Deque>
MEASURED long measured_iterate(const Deque& d) {
    long sum = 0;
    for (int x : d)
        sum += x;
    return sum;
}

template <class Deque>
MEASURED long measured_random_access(const Deque& d, const std::vector<std::uint32_t>& indices) {
    long sum = 0;
    for (std::uint32_t i : indices)
        sum += d[i];
    return sum;
}

template <class Deque>
MEASURED long measured_pop_front(Deque& d) {
    for (int i = 0; i < n; ++i)
        d.pop_front();
    return static_cast<long>(d.size());
}

template <class Deque>
long run() {
    Deque d;
    for (int i = 0; i < n; ++i)
        d.push_back(i);
    std::vector<std::uint32_t> indices(n);
    std::mt19937 rng(1);
    for (std::uint32_t& i : indices)
        i = static_cast<std::uint32_t>(rng() % n);
    long sum = measured_push_back<Deque>() + measured_push_front<Deque>();
    sum += measured_iterate(d) + measured_random_access(d, indices);
    return sum + measured_pop_front(d);
}

} // namespace

int main(int argc, char** argv) {
    const char* impl = argc > 1 ? argv[1] : "";
    long sum;
    if (std::strcmp(impl, "kel_std") == 0)
        sum = run<kel_std::deque<int>>();
    else if (std::strcmp(impl, "libstdc++") == 0)
        sum = run<std::deque<int>>();
    else if (std::strcmp(impl, "kel_std+std::allocator") == 0)
        sum = run<kel_std::deque<int, std::allocator<int>>>();
    else {
        std::fprintf(stderr, "usage: deque_instructions kel_std|libstdc++|kel_std+std::allocator\n");
        return 2;
    }
    std::printf("%ld\n", sum);
    return 0;
}
