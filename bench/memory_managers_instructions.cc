// A fixed, repeatable workload for counting instructions with callgrind:
// `memory_managers_instructions CONTAINER MEMORY [N]` runs one life of a
// container of the benchmarks' rows (build from N random keys, churn,
// destroy; N = 100,000 by default) with the row's names as in
// memory_managers_bench, e.g. "std::map" "pool_manager". MEMORY "none" only
// draws the keys, the baseline to subtract. The destruction runs in a
// function of its own, destroy_phase, so that callgrind's inclusive count
// of that function gives its instructions apart from the rest of the life.
// bench/memory_managers_instructions.sh runs every row under callgrind.
#include "memory_policies.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using kel_bench::key_set;
using kel_bench::type_list;

template <class Instance>
#if defined(__GNUC__)
__attribute__((noinline))
#endif
void destroy_phase(Instance& x, const key_set& keys) {
    kel_bench::destroy::timed(x, keys);
}

template <class Family, class Memory>
void life(const key_set& keys) {
    kel_bench::instance<Family, Memory> x;
    kel_bench::build::timed(x, keys);
    kel_bench::churn::timed(x, keys);
    destroy_phase(x, keys);
}

template <class Family, class... Memory>
bool run_memory(const char* memory, const key_set& keys, type_list<Memory...>) {
    bool found = false;
    ((std::strcmp(memory, Memory::name()) == 0 ? (life<Family, Memory>(keys), found = true) : false), ...);
    return found;
}

template <class... Family>
bool run(const char* container, const char* memory, const key_set& keys, type_list<Family...>) {
    bool found = false;
    ((std::strcmp(container, Family::name()) == 0 ? (found = run_memory<Family>(memory, keys, kel_bench::memories()))
                                                  : false),
     ...);
    return found;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CONTAINER MEMORY [N]\n", argv[0]);
        return 2;
    }
    const std::size_t n = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 100000;
    const key_set& keys = kel_bench::keys_for(n);
    if (std::strcmp(argv[2], "none") == 0)
        return 0;
    if (!run(argv[1], argv[2], keys, kel_bench::container_families())) {
        std::fprintf(stderr, "no row %s+%s\n", argv[1], argv[2]);
        return 2;
    }
    return 0;
}
