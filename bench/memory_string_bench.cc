// Allocator, string and stream benchmarks, each beside the plain standard
// equivalent in the same run:
// - allocator<void> allocate + deallocate against operator new + memset +
//   operator delete, 16 B to 64 KiB;
// - string assign of texts that fit the buffer (no allocation) and that grow
//   it, against std::string::assign;
// - word extraction with the library's operator>> against the standard char*
//   extractor on the same kind of stream.
#include <kel_std/allocator.h>
#include <kel_std/basic_string.h>
#include <kel_std/string_io.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <new>
#include <sstream>
#include <string>

namespace {

void alloc_kel(benchmark::State& state) {
    const unsigned int size = static_cast<unsigned int>(state.range(0));
    kel_std::allocator<void> a;
    for (auto _ : state) {
        void* p = a.allocate(size, nullptr);
        benchmark::DoNotOptimize(p);
        a.deallocate(p);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void alloc_new_memset(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        void* p = ::operator new(size);
        std::memset(p, 0, size);
        benchmark::DoNotOptimize(p);
        ::operator delete(p);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(alloc_kel)->Name("alloc/kel_std")->RangeMultiplier(4)->Range(16, 65536);
BENCHMARK(alloc_new_memset)->Name("alloc/new+memset")->RangeMultiplier(4)->Range(16, 65536);

// Alternating two texts of similar length into one string: after the first
// round, every assign fits the buffer.
void assign_fit_kel(benchmark::State& state) {
    const std::string a(static_cast<std::size_t>(state.range(0)), 'a');
    const std::string b(static_cast<std::size_t>(state.range(0)) - 1, 'b');
    kel_std::string s;
    s.assign(a.data(), static_cast<unsigned int>(a.size()));
    for (auto _ : state) {
        s.assign(b.data(), static_cast<unsigned int>(b.size()));
        s.assign(a.data(), static_cast<unsigned int>(a.size()));
        benchmark::DoNotOptimize(s.data);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}

void assign_fit_std(benchmark::State& state) {
    const std::string a(static_cast<std::size_t>(state.range(0)), 'a');
    const std::string b(static_cast<std::size_t>(state.range(0)) - 1, 'b');
    std::string s;
    s.assign(a.data(), a.size());
    for (auto _ : state) {
        s.assign(b.data(), b.size());
        s.assign(a.data(), a.size());
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * 2);
}

BENCHMARK(assign_fit_kel)->Name("assign_fit/kel_std")->Arg(8)->Arg(100)->Arg(1000);
BENCHMARK(assign_fit_std)->Name("assign_fit/std::string")->Arg(8)->Arg(100)->Arg(1000);

// A fresh string grown to the text each time: one allocation per assign.
void assign_grow_kel(benchmark::State& state) {
    const std::string a(static_cast<std::size_t>(state.range(0)), 'a');
    for (auto _ : state) {
        kel_std::string s;
        s.assign(a.data(), static_cast<unsigned int>(a.size()));
        benchmark::DoNotOptimize(s.data);
    }
    state.SetItemsProcessed(state.iterations());
}

void assign_grow_std(benchmark::State& state) {
    const std::string a(static_cast<std::size_t>(state.range(0)), 'a');
    for (auto _ : state) {
        std::string s;
        s.assign(a.data(), a.size());
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(assign_grow_kel)->Name("assign_grow/kel_std")->Arg(20)->Arg(100)->Arg(1000);
BENCHMARK(assign_grow_std)->Name("assign_grow/std::string")->Arg(20)->Arg(100)->Arg(1000);

std::string word_text(std::size_t words, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < words; ++i) {
        text.append(length, static_cast<char>('a' + i % 26));
        text += i % 7 == 0 ? '\n' : ' ';
    }
    return text;
}

const std::size_t words_per_text = 1000;

void extract_kel(benchmark::State& state) {
    const std::string text = word_text(words_per_text, static_cast<std::size_t>(state.range(0)));
    std::istringstream in;
    kel_std::string word;
    for (auto _ : state) {
        in.clear();
        in.str(text);
        while (in >> word)
            benchmark::DoNotOptimize(word.data);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(words_per_text));
}

void extract_char_array(benchmark::State& state) {
    const std::string text = word_text(words_per_text, static_cast<std::size_t>(state.range(0)));
    std::istringstream in;
    char word[1024];
    for (auto _ : state) {
        in.clear();
        in.str(text);
        while (in >> word)
            benchmark::DoNotOptimize(word);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(words_per_text));
}

BENCHMARK(extract_kel)->Name("extract/kel_std")->Arg(5)->Arg(40)->Arg(500);
BENCHMARK(extract_char_array)->Name("extract/char[]")->Arg(5)->Arg(40)->Arg(500);

} // namespace

BENCHMARK_MAIN();
