// A fixed workload for instruction counts under callgrind
// (vector_instructions.sh): one operation, repeated for a given number of
// rounds, with kel_std::vector, kel_std::vector on an allocator that
// zero-fills its blocks ("kel_std_filled"), or libstdc++'s std::vector.
//
//   vector_instructions kel_std|kel_std_filled|libstdc++ OPERATION ROUNDS
//
// Operations (N elements each round):
//   push_back_int         push_back of N = 1000 ints from empty, no reserve
//   copy_int              copy construction of 1000 ints
//   insert_middle_int     100 insertions in the middle of 1000 ints
//   push_back_string      push_back of 1000 copies of 24-character std::strings
//   insert_front_string   100 insertions at the front of 1000 std::strings
//   push_back_kel_string, insert_front_kel_string   the same with kel_std::string
//
// Zero rounds does the setup alone, so that the difference between two runs
// is the operation's own count.
#include <kel_std/allocator.h>
#include <kel_std/basic_string.h>
#include <kel_std/vector.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::size_t count = 1000;

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
T make(std::size_t i);
template <>
int make<int>(std::size_t i) {
    return static_cast<int>(i);
}
template <>
std::string make<std::string>(std::size_t i) {
    std::string s(24, 'a');
    s[0] = static_cast<char>('a' + i % 26);
    return s;
}
template <>
kel_std::string make<kel_std::string>(std::size_t i) {
    return kel_std::string(make<std::string>(i).c_str());
}

template <class V>
long run(const char* op, int rounds) {
    typedef typename V::value_type T;
    std::vector<T> src;
    for (std::size_t i = 0; i < count; ++i)
        src.push_back(make<T>(i));
    V full(src.begin(), src.end());
    full.reserve(count + 1);
    long sum = 0;
    for (int r = 0; r < rounds; ++r) {
        if (std::strncmp(op, "push_back", 9) == 0) {
            V v;
            for (const T& x : src)
                v.push_back(x);
            sum += static_cast<long>(v.size());
        } else if (std::strcmp(op, "copy_int") == 0) {
            V v(full);
            sum += static_cast<long>(v.size());
        } else if (std::strncmp(op, "insert_", 7) == 0) {
            const bool front = std::strncmp(op, "insert_front", 12) == 0;
            for (int k = 0; k < 100; ++k) {
                full.insert(full.begin() + (front ? 0 : static_cast<long>(count / 2)), src[7]);
                full.pop_back();
            }
            sum += static_cast<long>(full.size());
        }
    }
    return sum;
}

template <class T>
long run_impl(const char* impl, const char* op, int rounds) {
    if (std::strcmp(impl, "kel_std") == 0)
        return run<kel_std::vector<T>>(op, rounds);
    if (std::strcmp(impl, "kel_std_filled") == 0)
        return run<kel_std::vector<T, filled_allocator<T>>>(op, rounds);
    return run<std::vector<T>>(op, rounds);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s kel_std|kel_std_filled|libstdc++ OPERATION ROUNDS\n", argv[0]);
        return 2;
    }
    const char* op = argv[2];
    const int rounds = std::atoi(argv[3]);
    long sum;
    if (std::strstr(op, "kel_string") != nullptr)
        sum = run_impl<kel_std::string>(argv[1], op, rounds);
    else if (std::strstr(op, "string") != nullptr)
        sum = run_impl<std::string>(argv[1], op, rounds);
    else
        sum = run_impl<int>(argv[1], op, rounds);
    std::printf("%ld\n", sum);
    return 0;
}
