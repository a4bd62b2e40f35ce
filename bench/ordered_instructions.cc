// A fixed, repeatable workload for counting instructions with callgrind:
// `ordered_instructions IMPL` runs, for IMPL = kel_std or libstdc++, each
// operation of bench/ordered_bench.cc on maps of 1000 int keys, 100 times.
// Every measured loop is a function of its own whose name starts with
// "measured_", so that bench/ordered_instructions.sh can count the
// instructions inside each one (setup excluded) with --toggle-collect.
#include <kel_std/map.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <vector>

namespace {

const int rounds = 100;
const std::size_t n = 1000;

std::vector<int> even_keys(unsigned seed) {
    std::vector<int> keys(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = static_cast<int>(2 * i);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
    return keys;
}

// Not inlined, and (g++) not merged with an identical twin, such as the two
// find loops, so that each keeps a name of its own.
#if defined(__clang__)
#define MEASURED __attribute__((noinline))
#else
#define MEASURED __attribute__((noipa))
#endif

template <class Map>
MEASURED void measured_insert(Map& m, const std::vector<int>& keys) {
    for (int k : keys)
        m.emplace(k, k);
}

template <class Map>
MEASURED void measured_insert_sorted_hint(Map& m, const std::vector<int>& sorted) {
    for (int k : sorted)
        m.emplace_hint(m.end(), k, k);
}

template <class Map>
long find_all(const Map& m, const std::vector<int>& probes) {
    long found = 0;
    for (int k : probes)
        found += m.find(k) != m.end();
    return found;
}

template <class Map>
MEASURED long measured_find_hit(const Map& m, const std::vector<int>& probes) {
    return find_all(m, probes);
}

template <class Map>
MEASURED long measured_find_miss(const Map& m, const std::vector<int>& probes) {
    return find_all(m, probes);
}

template <class Map>
MEASURED long measured_iterate(const Map& m) {
    long sum = 0;
    for (const auto& kv : m)
        sum += kv.second;
    return sum;
}

template <class Map>
MEASURED void measured_erase(Map& m, const std::vector<int>& keys) {
    for (int k : keys)
        m.erase(k);
}

template <class Map>
MEASURED long measured_copy(const Map& m) {
    const Map copy(m);
    return static_cast<long>(copy.size());
}

template <class Map>
MEASURED void measured_destroy(Map* m) {
    delete m;
}

template <class Map>
long run() {
    const std::vector<int> keys = even_keys(1), probes = even_keys(2);
    std::vector<int> misses = probes, sorted = keys;
    for (int& k : misses)
        k += 1;
    std::sort(sorted.begin(), sorted.end());
    long checksum = 0;
    for (int r = 0; r < rounds; ++r) {
        Map* m = new Map;
        measured_insert(*m, keys);
        checksum +=
            measured_find_hit(*m, probes) + measured_find_miss(*m, misses) + measured_iterate(*m) + measured_copy(*m);
        measured_erase(*m, probes);
        measured_insert_sorted_hint(*m, sorted);
        measured_destroy(m);
    }
    return checksum;
}

} // namespace

int main(int argc, char** argv) {
    const char* impl = argc > 1 ? argv[1] : "kel_std";
    long checksum;
    if (std::strcmp(impl, "kel_std") == 0)
        checksum = run<kel_std::map<int, int>>();
    else if (std::strcmp(impl, "libstdc++") == 0)
        checksum = run<std::map<int, int>>();
    else
        return 2;
    std::printf("%s %ld\n", impl, checksum);
    return 0;
}
