// Tests of the random functor against the C library's own srand/rand.
#include <kel_std/random_generator.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <type_traits>
#include <vector>

using kel_std::kel_x_random_generator;

static_assert(std::is_empty<kel_x_random_generator>::value, "the generator holds no state");

namespace {

std::vector<unsigned int> c_library_draws(unsigned int seed, unsigned int bound, int count) {
    std::srand(seed);
    std::vector<unsigned int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<unsigned int>(std::rand()) % bound);
    return out;
}

} // namespace

TEST(random_generator, static_draws_after_seed_follow_the_c_library) {
    for (unsigned int seed : {0u, 1u, 42u, 4294967295u}) {
        for (unsigned int bound : {2u, 7u, 1000u, 65536u}) {
            const std::vector<unsigned int> expected = c_library_draws(seed, bound, 50);
            kel_x_random_generator::seed(seed);
            for (int i = 0; i < 50; ++i)
                ASSERT_EQ(kel_x_random_generator::rand(bound), expected[static_cast<std::size_t>(i)])
                    << "seed " << seed << " bound " << bound << " draw " << i;
        }
    }
}

TEST(random_generator, constructing_reseeds_like_seed) {
    const std::vector<unsigned int> expected = c_library_draws(77, 1000, 30);
    std::srand(5); // something else first
    kel_x_random_generator g(77);
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(g(1000), expected[static_cast<std::size_t>(i)]) << "draw " << i;

    // A second generator reseeds the sequence the first one draws from.
    kel_x_random_generator first(3);
    const unsigned int a = first(1u << 30);
    kel_x_random_generator second(3);
    EXPECT_EQ(first(1u << 30), a);
    (void)second;
}

TEST(random_generator, bound_one_is_always_zero_and_a_huge_bound_is_rand_itself) {
    kel_x_random_generator g(9);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(g(1), 0u);
        EXPECT_EQ(kel_x_random_generator::rand(1), 0u);
    }
    const std::vector<unsigned int> expected = c_library_draws(123, UINT_MAX, 20);
    kel_x_random_generator::seed(123);
    static_assert(static_cast<unsigned long long>(RAND_MAX) + 1 < UINT_MAX, "bound above RAND_MAX + 1");
    for (int i = 0; i < 20; ++i) {
        const unsigned int v = kel_x_random_generator::rand(UINT_MAX);
        EXPECT_EQ(v, expected[static_cast<std::size_t>(i)]);
        EXPECT_LE(v, static_cast<unsigned int>(RAND_MAX));
    }
}

TEST(random_generator, assignment_does_nothing_but_return_the_target) {
    kel_x_random_generator a(1), b(2);
    const std::vector<unsigned int> expected = c_library_draws(2, 500, 5);
    kel_x_random_generator::seed(2);
    EXPECT_EQ(&(a = b), &a);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a(500), expected[static_cast<std::size_t>(i)]) << "assignment must not reseed";
}
