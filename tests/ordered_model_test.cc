// Model-based randomized runs of the four ordered containers against the
// standard containers of the same kind (tests/support/ordered_model.h): long
// random sequences of every modifier and lookup, checked after every step;
// then the same runs with every node on a pool_manager and on an
// arena_manager.
#include "support/ordered_model.h"
#include "support/test_scale.h"

#include <kel_std/memory_managers.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>
#include <type_traits>

namespace {

// Runs `seeds` seeded runs of `steps` operations each, the containers under
// test on `manager` (null: the global heap); `after_each` is called once the
// containers of a run are gone.
template <class Kind>
long run_kind(const char* name, int seeds, int steps, kel_std::kel_memory_manager* manager = nullptr,
              const std::function<void()>& after_each = nullptr) {
    const typename Kind::ours::allocator_type alloc(manager);
    long ops = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        const int key_range = seed % 3 == 0 ? 8 : (seed % 3 == 1 ? 40 : 1000);
        bool failed = false;
        {
            kel_test::random_source src(static_cast<std::uint32_t>(seed), key_range);
            kel_test::model_run<Kind> run(
                src,
                [&](const std::string& what) {
                    ADD_FAILURE() << name << ", seed " << seed << ", key range " << key_range << ": " << what;
                    failed = true;
                },
                alloc);
            ops += run.run(steps, [] { return true; });
        }
        if (after_each)
            after_each();
        if (failed)
            break;
    }
    std::cout << "[ figures ] " << name << ": " << ops << " operations checked\n";
    return ops;
}

const int seeds = 12;
const int steps = kel_test::scaled(2500);

// On a pool, every block comes back when the containers go.
template <class Kind>
void run_on_pool(const char* name) {
    kel_std::pool_manager pool;
    run_kind<Kind>((std::string(name) + " on pool_manager").c_str(), 3, steps / 2, &pool, [&pool] {
        EXPECT_NE(pool.chunks_held(), 0u) << "the containers did not use the pool";
        EXPECT_EQ(pool.blocks_in_use(), 0u);
        EXPECT_EQ(pool.bytes_in_use(), 0u);
    });
}

// On an arena, containers whose elements have destructors deallocate every
// node; the others drop theirs when destroyed or cleared. After release()
// nothing is in use.
template <class Kind>
void run_on_arena(const char* name) {
    kel_std::arena_manager arena;
    run_kind<Kind>((std::string(name) + " on arena_manager").c_str(), 3, steps / 2, &arena, [&arena] {
        EXPECT_NE(arena.chunks_held(), 0u) << "the containers did not use the arena";
        if (!std::is_trivially_destructible<typename Kind::ours::value_type>::value) {
            EXPECT_EQ(arena.blocks_in_use(), 0u);
        }
        arena.release();
        EXPECT_EQ(arena.blocks_in_use() + arena.bytes_in_use() + arena.chunks_held() + arena.bytes_held(), 0u);
    });
}

template <class Kind>
void run_on_managers(const char* name) {
    run_on_pool<Kind>(name);
    run_on_arena<Kind>(name);
}

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

TEST(ordered_model, map_takes_the_comparator_along_with_the_elements_as_std_map) {
    run_kind<kel_test::salted_map>("map<int, int, salted_less>", seeds, steps);
}

TEST(ordered_model, every_kind_on_pool_manager_and_arena_manager) {
    run_on_managers<kel_test::int_set>("set<int>");
    run_on_managers<kel_test::tagged_multiset>("multiset<tagged>");
    run_on_managers<kel_test::string_set>("set<std::string>");
    run_on_managers<kel_test::int_map>("map<int, int>");
    run_on_managers<kel_test::string_map>("map<std::string, int>");
    run_on_managers<kel_test::int_multimap>("multimap<int, int>");
    run_on_managers<kel_test::string_multimap>("multimap<std::string, std::string>");
}
