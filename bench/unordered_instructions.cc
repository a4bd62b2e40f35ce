// A fixed workload for instruction counts under callgrind
// (unordered_instructions.sh): one operation on an int -> int map of 1000
// random keys, repeated for a given number of rounds, with kel_std's
// unordered_map or libstdc++'s (and string keys of 8 or 32 letters: see
// run_strings).
//
//   unordered_instructions kel_std|libstdc++ OPERATION ROUNDS
//
// OPERATION: hit, miss, iterate, insert, insert_reserved, copy, copy_erase,
// hit_string8, hit_string32, hash_string8, hash_string32.
//
// Zero rounds does the setup alone, so that the difference between two runs
// is the operation's own count.
#include <kel_std/basic_string.h>
#include <kel_std/unordered_map.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

const std::size_t keys_per_round = 1000;

template <class Map>
long run(const char* op, const std::vector<int>& keys, const std::vector<int>& absent, int rounds) {
    long sum = 0;
    Map m;
    for (int k : keys)
        m.emplace(k, 1);
    for (int r = 0; r < rounds; ++r) {
        if (std::strcmp(op, "hit") == 0) {
            for (int k : keys)
                sum += m.find(k) != m.end() ? 1 : 0;
        } else if (std::strcmp(op, "miss") == 0) {
            for (int k : absent)
                sum += m.find(k) != m.end() ? 1 : 0;
        } else if (std::strcmp(op, "iterate") == 0) {
            for (const auto& p : m)
                sum += p.first;
        } else if (std::strcmp(op, "insert") == 0 || std::strcmp(op, "insert_reserved") == 0) {
            Map n;
            if (op[6] != '\0')
                n.reserve(keys.size());
            for (int k : keys)
                n.emplace(k, 1);
            sum += static_cast<long>(n.size());
        } else if (std::strcmp(op, "copy") == 0) {
            Map n(m);
            sum += static_cast<long>(n.size());
        } else if (std::strcmp(op, "copy_erase") == 0) {
            Map n(m);
            for (int k : keys)
                sum += static_cast<long>(n.erase(k));
        }
    }
    return sum;
}

// String keys of `length` random letters, 1000 of them: kel_std::string
// keys hashed by kel_std::hash (the library's hash of text) in kel_std's
// map, std::string keys hashed by std::hash in libstdc++'s. "hit" looks every
// key up in a map that holds them all; "hash" only hashes them.
template <class Map, class Key>
long run_strings(bool lookup, std::size_t length, int rounds) {
    std::mt19937 rng(3);
    std::vector<Key> keys;
    for (std::size_t i = 0; i < keys_per_round; ++i) {
        std::string s(length, 'a');
        for (char& c : s)
            c = static_cast<char>('a' + rng() % 26);
        keys.push_back(Key(s.c_str()));
    }
    Map m;
    for (const Key& k : keys)
        m.emplace(k, 1);
    const typename Map::hasher hash = m.hash_function();
    long sum = 0;
    for (int r = 0; r < rounds; ++r) {
        if (lookup) {
            for (const Key& k : keys)
                sum += m.find(k) != m.end() ? 1 : 0;
        } else {
            for (const Key& k : keys)
                sum += static_cast<long>(hash(k) & 1u);
        }
    }
    return sum;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr,
                     "usage: %s kel_std|libstdc++ hit|miss|iterate|insert|insert_reserved|copy|copy_erase|"
                     "hit_string8|hit_string32|hash_string8|hash_string32 ROUNDS\n",
                     argv[0]);
        return 2;
    }
    std::mt19937 rng(1);
    std::vector<int> keys, absent;
    for (std::size_t i = 0; i < keys_per_round; ++i) {
        keys.push_back(static_cast<int>(rng()));
        absent.push_back(static_cast<int>(rng()));
    }
    const int rounds = std::atoi(argv[3]);
    const bool kel = std::strcmp(argv[1], "kel_std") == 0;
    const char* const op = argv[2];
    if (std::strncmp(op, "hit_string", 10) == 0 || std::strncmp(op, "hash_string", 11) == 0) {
        const bool lookup = op[1] == 'i';
        const std::size_t length = static_cast<std::size_t>(std::atoi(op + (lookup ? 10 : 11)));
        std::printf(
            "%ld\n",
            kel ? run_strings<kel_std::unordered_map<kel_std::string, int>, kel_std::string>(lookup, length, rounds)
                : run_strings<std::unordered_map<std::string, int>, std::string>(lookup, length, rounds));
        return 0;
    }
    const long sum = kel ? run<kel_std::unordered_map<int, int>>(op, keys, absent, rounds)
                         : run<std::unordered_map<int, int>>(op, keys, absent, rounds);
    std::printf("%ld\n", sum);
    return 0;
}
