// kel_std::vector beside std::vector (libstdc++), in the same run.
//
// Names are "<operation>/<implementation>/<N>"; times are per element
// operation (items processed). Implementations: "kel_std" (kel_std::vector
// on its default kel_std::allocator, which hands the vector its buffers
// without the zero fill), "libstdc++" (std::vector on std::allocator), and
// for growth "kel_std_filled" (kel_std::vector on an allocator that takes
// the same blocks with the zero fill that kel_std::allocator::allocate adds:
// the cost the fill would have).
//
// Elements: "int"; "string", std::string of 24 characters (beyond the small
// string buffer, so each lives on the heap); "kel_string", kel_std::string
// of the same texts. For kel_string, both vectors hold kel_std::string: the
// ratio shows what the vector itself does (one memmove instead of a move
// per element, since kel_std::string relocates by bytes).
//
//   push_back       from empty without reserve, N elements, then destroyed
//   iterate         sum of the N elements
//   random_access   sum of N elements at random indices
//   insert_middle   one insertion in the middle of N elements (then
//                   pop_back, so that the size stays N)
//   insert_front    one insertion at the front of N elements (then pop_back)
//   copy            copy construction of N elements, then destroyed
//   erase_remove    erase(remove_if(...)) of the odd half of N elements (the
//                   vector rebuilt with the clock stopped)
//
// Ratios (median of per-repetition ratios):
//   vector_bench --benchmark_repetitions=10 --benchmark_format=json
//       --benchmark_enable_random_interleaving=true >v.json   (one line)
//   python3 bench/peer_ratios.py v.json kel_std libstdc++ kel_std_filled
// Interleaving matters for the growth rows: what malloc's heap looks like
// after one row (which blocks are free, where the top of the heap lies)
// changes the next row's time by up to a third, so rows run in a fixed
// order would favour whichever follows a kinder one.
#include <kel_std/allocator.h>
#include <kel_std/basic_string.h>
#include <kel_std/vector.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Growth allocates and frees blocks of up to 4 MB. glibc's malloc serves
// such blocks with mmap until it has freed one (which raises its mmap
// threshold), so whichever benchmark ran first would pay page faults that
// the others do not: one large block freed before any benchmark puts every
// row in the same state.
const bool malloc_warmed = [] {
    ::operator delete(::operator new(16u << 20));
    return true;
}();

// kel_std::allocator as the vector would see any other allocator: its
// allocate, zero fill included.
template <class T>
struct filled_allocator : kel_std::allocator<T> {
    template <class U>
    struct rebind {
        typedef filled_allocator<U> other;
    };
    filled_allocator() = default;
    template <class U>
    filled_allocator(const filled_allocator<U>&) noexcept {}
    filled_allocator select_on_container_copy_construction() const noexcept { return *this; }
};

template <class T>
T make_value(std::size_t i);
template <>
int make_value<int>(std::size_t i) {
    return static_cast<int>(i * 2654435761u);
}
std::string text_of(std::size_t i) {
    std::string s(24, 'a');
    for (std::size_t k = 0; k < 6; ++k, i /= 26)
        s[k] = static_cast<char>('a' + i % 26);
    return s;
}
template <>
std::string make_value<std::string>(std::size_t i) {
    return text_of(i);
}
template <>
kel_std::string make_value<kel_std::string>(std::size_t i) {
    return kel_std::string(text_of(i).c_str());
}

template <class V>
std::vector<typename V::value_type> values(std::size_t n) {
    std::vector<typename V::value_type> out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(make_value<typename V::value_type>(i));
    return out;
}

template <class V>
V filled(std::size_t n) {
    const std::vector<typename V::value_type> src = values<V>(n);
    return V(src.begin(), src.end());
}

std::size_t size_of(const benchmark::State& state) {
    return static_cast<std::size_t>(state.range(0));
}

template <class V>
void push_back(benchmark::State& state) {
    const auto src = values<V>(size_of(state));
    for (auto _ : state) {
        V v;
        for (const auto& x : src)
            v.push_back(x);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class V>
void iterate(benchmark::State& state) {
    const V v = filled<V>(size_of(state));
    for (auto _ : state) {
        long sum = 0;
        for (int x : v)
            sum += x;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class V>
void random_access(benchmark::State& state) {
    const std::size_t n = size_of(state);
    const V v = filled<V>(n);
    std::vector<std::uint32_t> index(n);
    std::mt19937 rng(1);
    for (auto& i : index)
        i = static_cast<std::uint32_t>(rng() % n);
    for (auto _ : state) {
        long sum = 0;
        for (std::uint32_t i : index)
            sum += v[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// One insertion at `Where` (0: front, 1: middle) per iteration; pop_back
// keeps the size at N.
template <class V, int Where>
void insert_at(benchmark::State& state) {
    V v = filled<V>(size_of(state));
    v.reserve(v.size() + 1);
    const typename V::value_type x = make_value<typename V::value_type>(7);
    for (auto _ : state) {
        v.insert(v.begin() + static_cast<std::ptrdiff_t>(Where == 0 ? 0 : v.size() / 2), x);
        v.pop_back();
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations());
}

template <class V>
void copy(benchmark::State& state) {
    const V source = filled<V>(size_of(state));
    for (auto _ : state) {
        V v(source);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class V>
void erase_remove(benchmark::State& state) {
    const V source = filled<V>(size_of(state));
    V v;
    for (auto _ : state) {
        state.PauseTiming();
        v = source;
        state.ResumeTiming();
        v.erase(std::remove_if(v.begin(), v.end(), [](int x) { return (x & 1) != 0; }), v.end());
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000);
}
void string_sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000);
}

typedef kel_std::vector<int> kel_int;
typedef std::vector<int> std_int;
typedef kel_std::vector<int, filled_allocator<int>> filled_int;
typedef kel_std::vector<std::string> kel_str;
typedef std::vector<std::string> std_str;
typedef kel_std::vector<std::string, filled_allocator<std::string>> filled_str;
typedef kel_std::vector<kel_std::string> kel_kstr;
typedef std::vector<kel_std::string> std_kstr;
typedef kel_std::vector<kel_std::string, filled_allocator<kel_std::string>> filled_kstr;

#define KEL_VECTOR_INT_BENCH(v, name)                                                                                  \
    BENCHMARK_TEMPLATE(push_back, v)->Name("push_back_int/" name)->Apply(sizes);                                       \
    BENCHMARK_TEMPLATE(copy, v)->Name("copy_int/" name)->Apply(sizes)
#define KEL_VECTOR_ACCESS_BENCH(v, name)                                                                               \
    BENCHMARK_TEMPLATE(iterate, v)->Name("iterate_int/" name)->Apply(sizes);                                           \
    BENCHMARK_TEMPLATE(random_access, v)->Name("random_access_int/" name)->Apply(sizes);                               \
    BENCHMARK_TEMPLATE(insert_at, v, 1)->Name("insert_middle_int/" name)->Apply(sizes);                                \
    BENCHMARK_TEMPLATE(erase_remove, v)->Name("erase_remove_int/" name)->Apply(sizes)
#define KEL_VECTOR_STRING_BENCH(v, kind, name)                                                                         \
    BENCHMARK_TEMPLATE(push_back, v)->Name("push_back_" kind "/" name)->Apply(string_sizes);                           \
    BENCHMARK_TEMPLATE(insert_at, v, 0)->Name("insert_front_" kind "/" name)->Apply(string_sizes)
#define KEL_VECTOR_FILLED_BENCH(v, kind)                                                                               \
    BENCHMARK_TEMPLATE(push_back, v)->Name("push_back_" kind "/kel_std_filled")->Apply(string_sizes)

KEL_VECTOR_INT_BENCH(kel_int, "kel_std");
KEL_VECTOR_INT_BENCH(std_int, "libstdc++");
KEL_VECTOR_INT_BENCH(filled_int, "kel_std_filled");
KEL_VECTOR_ACCESS_BENCH(kel_int, "kel_std");
KEL_VECTOR_ACCESS_BENCH(std_int, "libstdc++");
KEL_VECTOR_STRING_BENCH(kel_str, "string", "kel_std");
KEL_VECTOR_STRING_BENCH(std_str, "string", "libstdc++");
KEL_VECTOR_FILLED_BENCH(filled_str, "string");
KEL_VECTOR_STRING_BENCH(kel_kstr, "kel_string", "kel_std");
KEL_VECTOR_STRING_BENCH(std_kstr, "kel_string", "libstdc++");
KEL_VECTOR_FILLED_BENCH(filled_kstr, "kel_string");

} // namespace

BENCHMARK_MAIN();
