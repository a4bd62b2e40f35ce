/// @file
/// A random-number functor over the C library's `srand`/`rand`.
#ifndef KEL_STD_RANDOM_GENERATOR_H
#define KEL_STD_RANDOM_GENERATOR_H

#include <kel_std/config.h>

namespace kel_std {

/// Draws numbers below a bound from the C library's process-wide generator.
///
/// The class holds no state: seeding and drawing act on the one generator that
/// every user of `srand`/`rand` in the process shares, so constructing a
/// second generator reseeds the sequence the first one draws from. Thread
/// behaviour is that of the C library's `rand`; no lock is added.
class kel_x_random_generator {
public:
    /// Reseeds the process-wide generator: calls `srand(seed)`.
    KEL_STD_API explicit kel_x_random_generator(unsigned int seed);
    /// Copies nothing; the generator state is process-wide.
    kel_x_random_generator(const kel_x_random_generator&) = default;
    /// Does nothing. Returns: `*this`.
    KEL_STD_API kel_x_random_generator& operator=(const kel_x_random_generator& other);

    /// Returns `rand() % n`: a number below `n`, slightly biased towards low
    /// values when `n` does not divide `RAND_MAX + 1`, and never above
    /// `RAND_MAX`. Requires: `n` is not 0 (asserted in debug builds of the
    /// library). Throws: nothing.
    KEL_STD_API unsigned int operator()(unsigned int n);

    /// Reseeds the process-wide generator: calls `srand(s)`.
    KEL_STD_API static void seed(unsigned int s);

    /// Returns `rand() % n`, as `operator()`. Requires: `n` is not 0.
    KEL_STD_API static unsigned int rand(unsigned int n);
};

} // namespace kel_std

#endif // KEL_STD_RANDOM_GENERATOR_H
