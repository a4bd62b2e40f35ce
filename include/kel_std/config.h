/// @file
/// Version numbers and the export macro shared by every public header.
///
/// A program compiled with `KEL_STD_EMBED_GDB_PRINTERS` defined (for
/// instance `-DKEL_STD_EMBED_GDB_PRINTERS`) carries the library's gdb pretty
/// printers in its `.debug_gdb_scripts` section (ELF targets, g++ and
/// clang++), so that gdb shows kel_std strings and containers as their
/// contents wherever the program is debugged, core files included, even
/// where the printers installed with the shared library are not found. The
/// section is not loaded at run time and the program gains no symbol.
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

/// 1 when the translation unit is compiled with exceptions, 0 under
/// `-fno-exceptions` (or MSVC without `/EHsc`). Without exceptions the
/// headers keep their behaviour on success; where they would throw, they
/// call the library's exported throw functions (whose exception then ends
/// the program, as the standard library's do in that mode) or
/// `std::terminate`, and their recovery paths (`catch` blocks) are left out.
#if defined(__cpp_exceptions) || defined(__EXCEPTIONS) || defined(_CPPUNWIND)
#define KEL_STD_HAS_EXCEPTIONS 1
#else
#define KEL_STD_HAS_EXCEPTIONS 0
#endif

/// `KEL_STD_TRY { ... } KEL_STD_CATCH_ALL { ...; KEL_STD_RETHROW; }`: a
/// `try` block that cleans up and rethrows, written once for both modes.
/// Without exceptions the guarded block runs alone and the handler is dead
/// code that still compiles.
#if KEL_STD_HAS_EXCEPTIONS
/// Opens the guarded block: `try`, or a block that always runs.
#define KEL_STD_TRY try
/// Opens the handler of every exception: `catch (...)`, or dead code.
#define KEL_STD_CATCH_ALL catch (...)
/// Rethrows the exception being handled: `throw`, or nothing.
#define KEL_STD_RETHROW throw
#else
/// Opens the guarded block: `try`, or a block that always runs.
#define KEL_STD_TRY if (true)
/// Opens the handler of every exception: `catch (...)`, or dead code.
#define KEL_STD_CATCH_ALL else
/// Rethrows the exception being handled: `throw`, or nothing.
#define KEL_STD_RETHROW static_cast<void>(0)
#endif

/// 1 when the containers and the string declare only `==` and `<=>`, as the
/// standard containers do from C++20 on (the compiler rewrites `!=`, `<`,
/// `<=`, `>` and `>=` from them, so that elements that are only partially
/// ordered give the same answers as with the standard containers); 0 when
/// they declare the six relational operators (before C++20, or where the
/// compiler or the standard library lacks three-way comparison).
#if __cplusplus > 201703L && defined(__has_include)
#if __has_include(<compare>)
#include <compare>
#endif
#endif
#if __cplusplus > 201703L && defined(__cpp_impl_three_way_comparison) && __cpp_impl_three_way_comparison >= 201907L && \
    defined(__cpp_lib_three_way_comparison) && __cpp_lib_three_way_comparison >= 201907L
#define KEL_STD_THREE_WAY_COMPARISON 1
#else
#define KEL_STD_THREE_WAY_COMPARISON 0
#endif

// Defined by the user, not by the library: see the file comment.
#if defined(KEL_STD_EMBED_GDB_PRINTERS)
#include <kel_std/detail/gdb_printers.h>
#endif

#endif // KEL_STD_CONFIG_H
