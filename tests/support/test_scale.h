// How much of its randomized work a test does: KEL_STD_TEST_SCALE, a
// percentage (default 100). CI lowers it where every step costs far more,
// as under valgrind.
#ifndef KEL_STD_TESTS_TEST_SCALE_H
#define KEL_STD_TESTS_TEST_SCALE_H

#include <cstdlib>

namespace kel_test {

// `n` scaled by KEL_STD_TEST_SCALE, at least 1.
inline int scaled(int n) {
    const char* env = std::getenv("KEL_STD_TEST_SCALE");
    const long percent = env != nullptr ? std::strtol(env, nullptr, 10) : 100;
    const long m = percent > 0 ? n * percent / 100 : n;
    return m > 0 ? static_cast<int>(m) : 1;
}

} // namespace kel_test

#endif
