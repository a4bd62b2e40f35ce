// The string against std::string (libstdc++) in the same run: growth by one
// character and by 64-byte pieces to 1 MiB, search for a short and a 16-byte
// needle in 1 MiB, comparison of equal 1 KiB strings, and copies of 32 bytes
// and 4 KiB, the default hash of 8- and 32-byte keys; and, to show what growth with zero-filled buffers costs, the
// one-character appends into a reserved buffer. Benchmark names are <operation>/<implementation>/<size>, so that
// bench/peer_ratios.py pairs them:
//   peer_ratios.py string.json kel_std std::string
#include <kel_std/basic_string.h>
#include <kel_std/hash.h>

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdlib>
#include <random>
#include <string>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

const std::size_t mebibyte = 1u << 20;

// The needle: n letters in descending order, from "zyx".
std::string needle(std::size_t n) {
    return std::string("zyxwvutsrqponmlkjihgfedcba").substr(0, n);
}

// Lower-case letters with no structure; the needle appears once, at the very
// end (chance occurrences before it are broken up), so every search reads the
// whole text.
std::string haystack(std::size_t needle_length) {
    std::mt19937 rng(99);
    std::string text(mebibyte, ' ');
    for (char& c : text)
        c = static_cast<char>('a' + rng() % 26);
    const std::string what = needle(needle_length);
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text[at] = 'a';
    text.replace(text.size() - needle_length, needle_length, what);
    return text;
}

// The text of every comparison and copy: the same bytes on both sides.
std::string letters(std::size_t n) {
    std::string text(n, ' ');
    for (std::size_t i = 0; i < n; ++i)
        text[i] = static_cast<char>('a' + (i * 7) % 26);
    return text;
}

template <class S>
void push_back(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        S s;
        for (std::size_t i = 0; i < n; ++i)
            s.push_back(static_cast<char>('a' + (i & 15)));
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The same into a buffer reserved beforehand: no growth, no zero-filling
// during the appends; the difference to push_back is what growth costs.
template <class S>
void push_back_reserved(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        S s;
        s.reserve(static_cast<typename S::size_type>(n));
        for (std::size_t i = 0; i < n; ++i)
            s.push_back(static_cast<char>('a' + (i & 15)));
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

template <class S>
void append_pieces(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::string piece = letters(64);
    for (auto _ : state) {
        S s;
        for (std::size_t i = 0; i < n; i += 64)
            s.append(piece.data(), 64);
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

template <class S>
void find(benchmark::State& state) {
    const std::size_t needle_length = static_cast<std::size_t>(state.range(0));
    const std::string text = haystack(needle_length);
    const S s(text);
    const S what(needle(needle_length));
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.find(what));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(mebibyte));
}

template <class S>
void equal(benchmark::State& state) {
    const std::string text = letters(static_cast<std::size_t>(state.range(0)));
    const S a(text), b(text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a == b);
        benchmark::ClobberMemory();
    }
}

template <class S>
void compare(benchmark::State& state) {
    const std::string text = letters(static_cast<std::size_t>(state.range(0)));
    const S a(text), b(text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.compare(b));
        benchmark::ClobberMemory();
    }
}

template <class S>
void copy(benchmark::State& state) {
    const S source(letters(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        S c(source);
        benchmark::DoNotOptimize(c.c_str());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The default hash of a key of the hashed containers' benchmark sizes:
// kel_std::hash (the library's hash of text, inline) against std::hash.
template <class S, class H>
void hash_key(benchmark::State& state) {
    const S key(letters(static_cast<std::size_t>(state.range(0))));
    const H h{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(h(key));
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(push_back<kel_std::string>)->Name("push_back/kel_std")->Arg(mebibyte);
BENCHMARK(push_back<std::string>)->Name("push_back/std::string")->Arg(mebibyte);
BENCHMARK(push_back_reserved<kel_std::string>)->Name("push_back_reserved/kel_std")->Arg(mebibyte);
BENCHMARK(push_back_reserved<std::string>)->Name("push_back_reserved/std::string")->Arg(mebibyte);
BENCHMARK(append_pieces<kel_std::string>)->Name("append_64/kel_std")->Arg(mebibyte);
BENCHMARK(append_pieces<std::string>)->Name("append_64/std::string")->Arg(mebibyte);
BENCHMARK(find<kel_std::string>)->Name("find/kel_std")->Arg(3)->Arg(16);
BENCHMARK(find<std::string>)->Name("find/std::string")->Arg(3)->Arg(16);
BENCHMARK(equal<kel_std::string>)->Name("equal/kel_std")->Arg(1024);
BENCHMARK(equal<std::string>)->Name("equal/std::string")->Arg(1024);
BENCHMARK(compare<kel_std::string>)->Name("compare/kel_std")->Arg(1024);
BENCHMARK(compare<std::string>)->Name("compare/std::string")->Arg(1024);
BENCHMARK(copy<kel_std::string>)->Name("copy/kel_std")->Arg(32)->Arg(4096);
BENCHMARK(copy<std::string>)->Name("copy/std::string")->Arg(32)->Arg(4096);
BENCHMARK_TEMPLATE(hash_key, kel_std::string, kel_std::hash<kel_std::string>)->Name("hash/kel_std")->Arg(8)->Arg(32);
BENCHMARK_TEMPLATE(hash_key, std::string, std::hash<std::string>)->Name("hash/std::string")->Arg(8)->Arg(32);

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // glibc adapts its mmap and trim thresholds to the largest block freed so
    // far, so whether a growth benchmark is handed recycled pages or fresh
    // ones (a page fault each, some microseconds on a virtual machine)
    // depends on the benchmarks that ran before it, and random interleaving
    // changes that from one repetition to the next. Fixed thresholds keep
    // freed pages in the heap for both strings. KEL_STD_BENCH_DEFAULT_MALLOC=1
    // keeps glibc's adaptive defaults instead.
    if (std::getenv("KEL_STD_BENCH_DEFAULT_MALLOC") == nullptr) {
        mallopt(M_MMAP_THRESHOLD, 64 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
    }
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
