// A fixed, repeatable workload for counting instructions with callgrind:
// `tree_instructions IMPL` inserts 1000 shuffled keys and erases them in
// another shuffled order, 200 times, with IMPL = kel_std, libstdc++ or boost.
// bench/tree_instructions.sh runs it under callgrind and divides the
// instructions spent inside each library call by the number of calls.
#include "tree_policies.h"

#include <cstdio>
#include <cstring>

namespace {

const int rounds = 200;
const std::size_t n = 1000;

template <class Policy>
long run() {
    kel_bench::harness<Policy> h(kel_bench::shuffled_keys(n, 1));
    const std::vector<int> order = kel_bench::shuffled_keys(n, 2);
    long checksum = 0;
    for (int r = 0; r < rounds; ++r) {
        h.tree.clear();
        h.insert_all();
        for (typename Policy::link_ptr p = h.tree.first(); p != h.tree.head(); p = h.tree.next(p))
            checksum += Policy::key(p);
        for (typename Policy::link_ptr p = h.tree.last(); p != h.tree.first(); p = h.tree.prev(p))
            checksum -= Policy::key(p);
        for (int i : order)
            h.tree.erase(h.nodes[static_cast<std::size_t>(i)]);
    }
    return checksum;
}

} // namespace

int main(int argc, char** argv) {
    const char* impl = argc > 1 ? argv[1] : "kel_std";
    long checksum;
    if (std::strcmp(impl, "kel_std") == 0)
        checksum = run<kel_bench::kel_policy>();
    else if (std::strcmp(impl, "libstdc++") == 0)
        checksum = run<kel_bench::std_policy>();
#if defined(KEL_STD_BENCH_HAVE_BOOST)
    else if (std::strcmp(impl, "boost") == 0)
        checksum = run<kel_bench::boost_policy>();
#endif
    else {
        std::fprintf(stderr, "usage: tree_instructions kel_std|libstdc++|boost\n");
        return 2;
    }
    std::printf("%s: %d rounds of %zu insertions, walks and erasures (checksum %ld)\n", impl, rounds, n, checksum);
    return 0;
}
