// What the standard library under test offers the tests beyond what every
// supported one has.
#ifndef KEL_STD_TESTS_SUPPORT_PLATFORM_H
#define KEL_STD_TESTS_SUPPORT_PLATFORM_H

// std::pmr (<memory_resource>): libc++ 14 has it only as std::experimental.
#if defined(__has_include)
#if __has_include(<memory_resource>)
#include <memory_resource>
#define KEL_TEST_HAVE_PMR 1
#endif
#endif
#ifndef KEL_TEST_HAVE_PMR
#define KEL_TEST_HAVE_PMR 0
#endif

#endif
