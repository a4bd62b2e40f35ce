// kel_std_demo: the library at work on a word index.
//
// Words are read with the library's string extractor, normalised, and counted
// in a kel_std::map from kel_std::string to the number of uses. The map's
// nodes and sentinel and the words' buffers come zero-filled from the
// library's allocator, through a counting memory manager unless --heap is
// given. The demo then removes common words, prints the index in both
// directions with the string inserter, ranks the words by use in a
// kel_std::vector on the same manager, shows the three hash values of each
// word, draws a reproducible random sample, and raises and catches the
// library's errors. (examples/word_index.cc builds the same kind of index
// directly on the tree functions, as a container author would.)
//
// Usage: kel_std_demo [--heap] [--seed N] [FILE]   (default: an embedded text)

#include <kel_std/kel_std.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <new>
#include <sstream>
#include <utility>

namespace {

const char default_text[] = "It was the best of times, it was the worst of times, it was the age of\n"
                            "wisdom, it was the age of foolishness, it was the epoch of belief, it was\n"
                            "the epoch of incredulity, it was the season of Light, it was the season of\n"
                            "Darkness, it was the spring of hope, it was the winter of despair.\n";

typedef kel_std::string kstring;

// A memory manager that takes blocks from malloc and counts what passes
// through it. It overrides only allocate and deallocate.
class counting_manager final : public kel_std::kel_memory_manager {
public:
    unsigned allocations = 0, releases = 0, null_releases = 0;
    unsigned long bytes = 0;

    void* allocate(int, unsigned int size, const void*) override {
        void* p = std::malloc(size == 0 ? 1 : size);
        if (p == nullptr)
            throw std::bad_alloc();
        ++allocations;
        bytes += size;
        return p;
    }
    void deallocate(void* p) override {
        if (p == nullptr) {
            ++null_releases;
            return;
        }
        ++releases;
        std::free(p);
    }
};

// The index: each word and its number of uses, in the strings' byte order.
typedef kel_std::allocator<std::pair<const kstring, unsigned>> index_allocator;
typedef kel_std::map<kstring, unsigned, std::less<kstring>, index_allocator> word_index;

// Reads words with the library's extractor and keeps their letters and
// apostrophes, lower-cased.
void index_words(std::istream& in, word_index& index, unsigned& total) {
    const kel_std::allocator<char> text_allocator(index.get_allocator().manager);
    kstring token;
    char letters[1024];
    while (in >> token) {
        unsigned n = 0;
        for (unsigned i = 0; i < token.length; ++i) {
            const unsigned char u = static_cast<unsigned char>(token.c_str()[i]);
            if (std::isalpha(u) || u == '\'')
                letters[n++] = static_cast<char>(std::tolower(u));
        }
        if (n != 0) {
            // The word's buffer comes from the index's manager too; a new
            // word is moved into its node, buffer and all.
            ++index[kstring(letters, n, text_allocator)];
            ++total;
        }
    }
}

void print_forward(const word_index& index) {
    std::cout << "Forward:";
    for (const auto& entry : index)
        std::cout << ' ' << entry.first << '(' << entry.second << ')';
    std::cout << '\n';
}

void print_backward(const word_index& index) {
    std::cout << "Backward:";
    for (auto it = index.rbegin(); it != index.rend(); ++it)
        std::cout << ' ' << it->first;
    std::cout << '\n';
}

// The most used words: the index's entries, as (uses, word) pairs, in a
// kel_std::vector on the index's manager, sorted by uses; a stable sort keeps
// words of equal use in the index's order.
void print_most_used(const word_index& index) {
    typedef std::pair<unsigned, const kstring*> use;
    kel_std::vector<use> uses{kel_std::allocator<use>(index.get_allocator().manager)};
    uses.reserve(index.size());
    for (const auto& entry : index)
        uses.emplace_back(entry.second, &entry.first);
    std::stable_sort(uses.begin(), uses.end(), [](const use& a, const use& b) { return a.first > b.first; });
    std::cout << "Most used:";
    for (std::size_t i = 0; i < uses.size() && i < 5; ++i)
        std::cout << ' ' << *uses[i].second << '(' << uses[i].first << ')';
    std::cout << '\n';
}

void print_hashes(const word_index& index) {
    const kel_std::kel_string_hasher1 h1;
    const kel_std::kel_string_hasher2 h2;
    const kel_std::kel_string_hasher3 h3;
    const kel_std::kel_string_hasher2 bucket(97);
    std::cout << "Hashes (hasher1 hasher2 hasher3, bucket of 97 by hasher2):\n";
    for (const auto& entry : index) {
        const kstring& w = entry.first;
        std::cout << "  " << std::left << std::setw(14) << w << std::right << std::setw(11) << h1(w) << std::setw(11)
                  << h2(w) << std::setw(11) << h3(w) << std::setw(4) << bucket(w) << '\n';
    }
}

void print_sample(const word_index& index, unsigned seed) {
    std::cout << "Random sample (seed " << seed << "):";
    if (!index.empty()) {
        kel_std::kel_x_random_generator generator(seed);
        for (int i = 0; i < 5; ++i) {
            auto it = index.begin();
            std::advance(it, generator(static_cast<unsigned>(index.size())));
            std::cout << ' ' << it->first;
        }
    }
    std::cout << '\n';
}

void show_errors() {
    try {
        kel_std::kel_throw_out_of_range();
    } catch (const kel_std::out_of_range& e) {
        std::cout << "Caught kel_std::out_of_range: " << e.what() << '\n';
    }
    try {
        // A text of 4294967295 characters cannot be held; the request fails
        // before anything is allocated or read.
        kstring s;
        s.assign("", 0xFFFFFFFFu);
    } catch (const kel_std::logic_error& e) {
        std::cout << "Caught kel_std::length_error as logic_error: " << e.what() << '\n';
    }
}

void usage(std::ostream& out) {
    out << "Usage: kel_std_demo [--heap] [--seed N] [FILE]\n"
           "Indexes the words of FILE (default: an embedded text) in a kel_std::map\n"
           "built with libkel_std, prints them in order with their hash values, draws\n"
           "a random sample and shows the library's errors.\n"
           "  --heap    take memory from the global heap instead of a counting manager\n"
           "  --seed N  seed of the random sample (default 2026)\n";
}

} // namespace

int main(int argc, char** argv) {
    bool use_heap = false;
    unsigned seed = 2026;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            usage(std::cout);
            return 0;
        } else if (std::strcmp(argv[i], "--heap") == 0) {
            use_heap = true;
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            char* end = nullptr;
            seed = static_cast<unsigned>(std::strtoul(argv[++i], &end, 10));
            if (*end != '\0') {
                std::cerr << "kel_std_demo: --seed needs a number, not '" << argv[i] << "'\n";
                return 2;
            }
        } else if (argv[i][0] == '-' || path != nullptr) {
            usage(std::cerr);
            return 2;
        } else {
            path = argv[i];
        }
    }

    std::ifstream file;
    std::istringstream embedded(default_text);
    std::istream* input = &embedded;
    const char* source = "embedded text";
    if (path != nullptr) {
        file.open(path);
        if (!file) {
            std::cerr << "kel_std_demo: cannot open '" << path << "': " << std::strerror(errno) << '\n';
            return 1;
        }
        input = &file;
        source = path;
    }

    counting_manager manager;
    {
        word_index index{index_allocator(use_heap ? nullptr : &manager)};
        unsigned total = 0;
        index_words(*input, index, total);
        if (input->bad()) {
            std::cerr << "kel_std_demo: error reading '" << source << "'\n";
            return 1;
        }
        std::cout << "Indexed " << total << " words (" << index.size() << " distinct) from " << source << ".\n";

        const char* const removed[] = {"the", "of", "it", "was", "a", "and"};
        std::size_t erased = 0;
        for (const char* word : removed)
            erased += index.erase(kstring(word));
        std::cout << "Removed " << erased << " common words; " << index.size() << " remain.\n";
        print_forward(index);
        print_backward(index);
        print_most_used(index);
        print_hashes(index);
        print_sample(index, seed);
        try {
            std::cout << "Uses of 'wisdom': " << index.at(kstring("wisdom")) << "; of 'folly': ";
            std::cout << index.at(kstring("folly")) << '\n';
        } catch (const kel_std::out_of_range& e) {
            std::cout << "none (map::at threw " << e.what() << ")\n";
        }
    }
    if (!use_heap)
        std::cout << "Memory manager: " << manager.allocations << " blocks (" << manager.bytes << " bytes) allocated, "
                  << manager.releases << " released.\n";
    show_errors();
    return manager.allocations == manager.releases ? 0 : 1;
}
