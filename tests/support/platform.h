// What the standard library under test offers the tests beyond what every
// supported one has.
#ifndef KEL_STD_TESTS_SUPPORT_PLATFORM_H
#define KEL_STD_TESTS_SUPPORT_PLATFORM_H

#if defined(__has_include)
#if __has_include(<version>)
#include <version>
#endif
#endif

// std::pmr (<memory_resource>, C++17): libc++ 14 has it only as
// std::experimental.
#if defined(__has_include) && __cplusplus >= 201703L
#if __has_include(<memory_resource>)
#include <memory_resource>
#define KEL_TEST_HAVE_PMR 1
#endif
#endif
#ifndef KEL_TEST_HAVE_PMR
#define KEL_TEST_HAVE_PMR 0
#endif

// The library's side of <=> (C++20): std::compare_three_way and <=> on the
// standard containers. libc++ 14 has the language's <=> but neither.
#if defined(__cpp_lib_three_way_comparison) && __cpp_lib_three_way_comparison >= 201907L
#define KEL_TEST_HAVE_STD_THREE_WAY 1
#else
#define KEL_TEST_HAVE_STD_THREE_WAY 0
#endif

#endif
