// The random functor: a stateless face over the C library's srand/rand.

#include <kel_std/random_generator.h>

#include <cstdlib>

namespace kel_std {
namespace {

unsigned int draw_below(unsigned int n) {
    KEL_STD_ASSERT(n != 0 && "the bound of a random draw must not be 0");
    // No rejection of the biased top range: the plain remainder is the
    // contract.
    return static_cast<unsigned int>(std::rand()) % n; // NOLINT(concurrency-mt-unsafe): the C generator is the contract
}

} // namespace

kel_x_random_generator::kel_x_random_generator(unsigned int seed_value) {
    std::srand(seed_value);
}

kel_x_random_generator& kel_x_random_generator::operator=(const kel_x_random_generator&) = default;

unsigned int kel_x_random_generator::operator()(unsigned int n) {
    return draw_below(n);
}

void kel_x_random_generator::seed(unsigned int s) {
    std::srand(s);
}

unsigned int kel_x_random_generator::rand(unsigned int n) {
    return draw_below(n);
}

} // namespace kel_std
