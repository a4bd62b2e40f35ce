// Model-based randomized runs of the four ordered containers against the
// standard containers of the same kind (tests/support/ordered_model.h): long
// random sequences of every modifier and lookup, checked after every step.
#include "support/ordered_model.h"
#include "support/test_scale.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>

namespace {

template <class Kind>
long run_kind(const char* name, int seeds, int steps) {
    long ops = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        const int key_range = seed % 3 == 0 ? 8 : (seed % 3 == 1 ? 40 : 1000);
        kel_test::random_source src(static_cast<std::uint32_t>(seed), key_range);
        bool failed = false;
        kel_test::model_run<Kind> run(src, [&](const std::string& what) {
            ADD_FAILURE() << name << ", seed " << seed << ", key range " << key_range << ": " << what;
            failed = true;
        });
        ops += run.run(steps, [] { return true; });
        if (failed)
            break;
    }
    std::cout << "[ figures ] " << name << ": " << ops << " operations checked\n";
    return ops;
}

const int seeds = 12;
const int steps = kel_test::scaled(2500);

} // namespace

TEST(ordered_model, set_of_int_matches_std_set) {
    run_kind<kel_test::int_set>("set<int>", seeds, steps);
}
TEST(ordered_model, multiset_keeps_equal_keys_in_insertion_order_as_std_multiset) {
    run_kind<kel_test::tagged_multiset>("multiset<tagged>", seeds, steps);
}
TEST(ordered_model, set_of_string_matches_std_set) {
    run_kind<kel_test::string_set>("set<std::string>", seeds, steps);
}
TEST(ordered_model, map_of_int_matches_std_map) {
    run_kind<kel_test::int_map>("map<int, int>", seeds, steps);
}
TEST(ordered_model, map_of_string_matches_std_map) {
    run_kind<kel_test::string_map>("map<std::string, int>", seeds, steps);
}
TEST(ordered_model, multimap_of_int_matches_std_multimap) {
    run_kind<kel_test::int_multimap>("multimap<int, int>", seeds, steps);
}
TEST(ordered_model, multimap_of_string_matches_std_multimap) {
    run_kind<kel_test::string_multimap>("multimap<std::string, std::string>", seeds, steps);
}
