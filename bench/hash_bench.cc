// Throughput of the three string hashers against their plain per-character
// loops (kept here as the reference they must match bit for bit) and
// std::hash<std::string_view>, on keys from 0 bytes to 1 MiB, all in one run.
//
// Benchmark names are <family>/<implementation>/<length>:
//   hasher1/plain/1000      the plain loop that defines hasher 1
//   hasher1/library/1000    the library's hasher 1 (hash_bench: the shared
//                           library, on the code path chosen for this CPU)
//   hasher1/sse2/1000       hash_bench_paths only: the library's sources
//                           compiled in, with the path forced (portable,
//                           sse2 = baseline x86-64, avx2)
//   std_hash/string_view/1000
// bench/hash_ratios.py turns the JSON output into ratio tables.
#include <kel_std/string_hash.h>

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#if defined(KEL_STD_HASH_BENCH_PATHS)
#include "string_hash_impl.h"
#endif

namespace {

typedef std::uint32_t u32;

const std::size_t lengths[] = {0, 3, 8, 16, 32, 100, 1000, 65536, 1048576};

// ---------------------------------------------------------------------------
// The reference: the hashers as plain per-character loops. Out of line, as
// the library's hashers are, so that both sides pay for one call.

u32 widen(char c) {
    return static_cast<u32>(static_cast<std::int32_t>(static_cast<std::int8_t>(c)));
}

u32 magnitude(u32 h) {
    if (h < 0x80000000u)
        return h;
    return h == 0x80000000u ? 0x7FFFFFFFu : 0u - h;
}

int reduce(u32 h, int modulus) {
    const u32 m = modulus < 0 ? 0u - static_cast<u32>(modulus) : static_cast<u32>(modulus);
    return static_cast<int>(magnitude(h) % m);
}

__attribute__((noinline)) int plain1(const kel_std::string& s, int modulus) {
    const char* p = s.c_str();
    u32 h = 0;
    for (unsigned int i = 0; i < s.length; ++i)
        h = h * 4u + widen(p[i]);
    return reduce(h, modulus);
}

__attribute__((noinline)) int plain2(const kel_std::string& s, int modulus) {
    const char* p = s.c_str();
    u32 h = s.length;
    for (unsigned int i = 0; i < s.length; ++i)
        h = h * 613u + widen(p[i]);
    return reduce(h, modulus);
}

__attribute__((noinline)) int plain3(const kel_std::string& s, int) {
    const char* p = s.c_str();
    u32 h = s.length;
    for (unsigned int i = 0; i < s.length; ++i)
        h ^= widen(p[i]) << ((i + 8u) & 31u);
    return static_cast<int>(static_cast<double>(magnitude(h)) * 0.6125423312187195);
}

// ---------------------------------------------------------------------------

// A key of n random bytes (all 256 values, NULs included), the same for
// every implementation at that length.
kel_std::string make_key(std::size_t n) {
    std::mt19937 rng(static_cast<unsigned int>(n) + 1u);
    std::string text(n, '\0');
    for (char& c : text)
        c = static_cast<char>(rng() >> 24);
    return kel_std::string(text.data(), static_cast<unsigned int>(n));
}

void count_bytes(benchmark::State& state, std::size_t n) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
    state.counters["length"] = static_cast<double>(n);
}

template <class Hasher>
void run_library(benchmark::State& state, std::size_t n, int (*plain)(const kel_std::string&, int)) {
    const kel_std::string key = make_key(n);
    const Hasher hasher;
    // A sanity check outside the timed loop: a benchmark of a wrong result
    // is worthless.
    if (hasher(key) != plain(key, hasher.modulus)) {
        state.SkipWithError("the hasher disagrees with its plain loop");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(hasher(key));
        benchmark::ClobberMemory();
    }
    count_bytes(state, n);
}

void run_plain(benchmark::State& state, std::size_t n, int (*plain)(const kel_std::string&, int)) {
    const kel_std::string key = make_key(n);
    const int modulus = 1073741827;
    for (auto _ : state) {
        benchmark::DoNotOptimize(plain(key, modulus));
        benchmark::ClobberMemory();
    }
    count_bytes(state, n);
}

void run_std_hash(benchmark::State& state, std::size_t n) {
    const kel_std::string key = make_key(n);
    const std::hash<std::string_view> hasher;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hasher(std::string_view(key.c_str(), key.length)));
        benchmark::ClobberMemory();
    }
    count_bytes(state, n);
}

#if defined(KEL_STD_HASH_BENCH_PATHS)
using kel_std::detail::string_hash_path;

struct named_path {
    const char* name;
    string_hash_path path;
};

const named_path paths[] = {
    {"portable", string_hash_path::portable},
    {"sse2", string_hash_path::sse2},
    {"avx2", string_hash_path::avx2},
};

template <class Hasher>
void run_path(benchmark::State& state, std::size_t n, int (*plain)(const kel_std::string&, int),
              string_hash_path path) {
    // Runs may be interleaved, so each one selects its path itself.
    if (!kel_std::detail::string_hash_force_path(path)) {
        state.SkipWithError("this processor cannot run the path");
        return;
    }
    run_library<Hasher>(state, n, plain);
}
#endif

template <class Hasher>
void register_family(const std::string& family, int (*plain)(const kel_std::string&, int)) {
    for (std::size_t n : lengths) {
        const std::string suffix = "/" + std::to_string(n);
        benchmark::RegisterBenchmark((family + "/plain" + suffix).c_str(),
                                     [n, plain](benchmark::State& state) { run_plain(state, n, plain); });
#if defined(KEL_STD_HASH_BENCH_PATHS)
        for (const named_path& p : paths) {
            if (!kel_std::detail::string_hash_path_supported(p.path))
                continue;
            const string_hash_path path = p.path;
            benchmark::RegisterBenchmark(
                (family + "/" + p.name + suffix).c_str(),
                [n, plain, path](benchmark::State& state) { run_path<Hasher>(state, n, plain, path); });
        }
#else
        benchmark::RegisterBenchmark((family + "/library" + suffix).c_str(),
                                     [n, plain](benchmark::State& state) { run_library<Hasher>(state, n, plain); });
#endif
    }
}

} // namespace

int main(int argc, char** argv) {
    register_family<kel_std::kel_string_hasher1>("hasher1", plain1);
    register_family<kel_std::kel_string_hasher2>("hasher2", plain2);
    register_family<kel_std::kel_string_hasher3>("hasher3", plain3);
    for (std::size_t n : lengths)
        benchmark::RegisterBenchmark(("std_hash/string_view/" + std::to_string(n)).c_str(),
                                     [n](benchmark::State& state) { run_std_hash(state, n); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
