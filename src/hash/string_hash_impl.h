// Internals of the string hashers that tests and benchmarks reach by
// compiling the library's sources into their own binary (KEL_STD_STATIC):
// the choice among the code paths that hash long texts. Nothing here is
// exported from the shared library.
#ifndef KEL_STD_SRC_HASH_STRING_HASH_IMPL_H
#define KEL_STD_SRC_HASH_STRING_HASH_IMPL_H

namespace kel_std {
namespace detail {

// The code paths for long texts. Every path gives exactly the results of the
// plain per-character loops; they differ only in speed.
enum class string_hash_path : int {
    portable = 1, // standard C++ only: 64-bit words and scalar multiplies
    sse2 = 2,     // x86 baseline (every x86-64 processor has SSE2)
    avx2 = 3      // x86 with AVX2, used when the processor and the OS allow it
};

// Whether this build and this processor can run `path`.
bool string_hash_path_supported(string_hash_path path);

// The best path that this build and processor support, as found on first use.
string_hash_path string_hash_detected_path();

// The path the hashers take now: the detected one unless another was forced.
string_hash_path string_hash_current_path();

// Makes every hasher take `path` from now on, so that tests and benchmarks
// can run each path on one machine. Returns false, and changes nothing, when
// `path` is not supported. Safe while other threads hash: all paths agree.
bool string_hash_force_path(string_hash_path path);

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_SRC_HASH_STRING_HASH_IMPL_H
