/// @file
/// Version numbers and the export macro shared by every public header.
#ifndef KEL_STD_CONFIG_H
#define KEL_STD_CONFIG_H

/// Major version; it changes only together with the SONAME (libkel_std.so.1).
#define KEL_STD_VERSION_MAJOR 1
/// Minor version: additions that keep the ABI.
#define KEL_STD_VERSION_MINOR 0
/// Patch version: fixes that keep the ABI.
#define KEL_STD_VERSION_PATCH 0

/// Marks a declaration as part of the shared library's exported surface.
///
/// The library is compiled with hidden visibility; only declarations that
/// carry this macro (and the vtables and type information of the classes it
/// marks) are visible to client programs. Define `KEL_STD_STATIC` when the
/// sources are compiled into a static archive instead.
#if defined(KEL_STD_STATIC)
#define KEL_STD_API
#elif defined(__GNUC__) || defined(__clang__)
#define KEL_STD_API __attribute__((visibility("default")))
#else
#define KEL_STD_API
#endif

/// Precondition checks in inline code. They compile to nothing unless
/// `KEL_STD_DEBUG` is defined, so that a client's own `NDEBUG` setting never
/// changes the code of the headers.
#if defined(KEL_STD_DEBUG)
#include <cassert>
#define KEL_STD_ASSERT(condition) assert(condition)
#else
#define KEL_STD_ASSERT(condition) static_cast<void>(0)
#endif

#endif // KEL_STD_CONFIG_H
