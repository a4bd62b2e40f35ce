// kel_std_demo: the library's families at work on a word index.
//
// Words are read with the library's string extractor, normalised, and kept in
// an ordered index built with the red-black tree functions, the way an ordered
// container does (its own node type, its own search, the header as end
// position). Index nodes and word buffers come zero-filled from the library's
// allocator, through a counting memory manager unless --heap is given. The
// demo then removes common words, prints the index in both directions with the
// string inserter, shows the three hash values of each word, draws a
// reproducible random sample, and raises and catches the library's errors.
//
// Usage: kel_std_demo [--heap] [--seed N] [FILE]   (default: an embedded text)

#include <kel_std/kel_std.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <new>
#include <sstream>

namespace {

const char default_text[] = "It was the best of times, it was the worst of times, it was the age of\n"
                            "wisdom, it was the age of foolishness, it was the epoch of belief, it was\n"
                            "the epoch of incredulity, it was the season of Light, it was the season of\n"
                            "Darkness, it was the spring of hope, it was the winter of despair.\n";

using kel_std::kel_tree_aux;
using kel_std::kel_tree_node;
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

// Orders two texts by their bytes, then by length.
int compare(const kstring& a, const kstring& b) {
    const unsigned n = a.length < b.length ? a.length : b.length;
    const int c = kel_std::char_traits_char::compare(a.c_str(), b.c_str(), n);
    if (c != 0)
        return c;
    return a.length < b.length ? -1 : (a.length > b.length ? 1 : 0);
}

// One index entry: the tree links come first, so a kel_tree_node* from the
// library converts back to the entry that holds it.
struct word_node {
    kel_tree_node link;
    kstring word;
    unsigned count;
};

word_node* entry(kel_tree_node* n) {
    return reinterpret_cast<word_node*>(n);
}

// A minimal ordered set of words with a use count: the container's side of the
// tree contract.
class word_index {
public:
    explicit word_index(kel_std::kel_memory_manager* manager) : allocator_(manager) {
        kel_tree_aux::init_nil(&nil_);
        header_.color = kel_tree_node::red;
        header_.parent = &nil_;
        header_.left = header_.right = &header_;
    }
    ~word_index() {
        while (header_.parent != &nil_)
            erase(header_.left);
        kel_tree_aux::uninit_nil(&nil_);
    }
    word_index(const word_index&) = delete;
    word_index& operator=(const word_index&) = delete;

    // Adds one use of `word`; a new word gets a node of its own.
    void add(const kstring& word) {
        kel_tree_node* parent = &header_;
        bool left = true;
        for (kel_tree_node* x = header_.parent; x != &nil_;) {
            const int c = compare(word, entry(x)->word);
            if (c == 0) {
                ++entry(x)->count;
                return;
            }
            parent = x;
            left = c < 0;
            x = left ? x->left : x->right;
        }
        // The block arrives zero-filled: links, count and the string record
        // all start at zero, which is a valid empty string on the heap; give
        // it the index's manager and its text.
        word_node* n = static_cast<word_node*>(allocator_.allocate(sizeof(word_node), nullptr));
        new (&n->word) kstring(kel_std::allocator<char>(allocator_.manager));
        try {
            n->word.assign(word.c_str(), word.length);
        } catch (...) {
            n->word.~kstring();
            allocator_.deallocate(n);
            throw;
        }
        n->count = 1;
        kel_tree_aux::insert(left, nullptr, parent, &n->link, header_.right, header_.left, header_.parent, &header_,
                             &nil_);
        ++size_;
    }

    kel_tree_node* find(const kstring& word) {
        for (kel_tree_node* x = header_.parent; x != &nil_;) {
            const int c = compare(word, entry(x)->word);
            if (c == 0)
                return x;
            x = c < 0 ? x->left : x->right;
        }
        return end();
    }

    void erase(kel_tree_node* position) {
        word_node* n =
            entry(kel_tree_aux::erase(position, header_.right, header_.left, header_.parent, &header_, &nil_));
        n->word.~kstring();
        allocator_.deallocate(n);
        --size_;
    }

    kel_tree_node* begin() { return header_.left; }
    kel_tree_node* end() { return &header_; }
    kel_tree_node* nil() { return &nil_; }
    unsigned size() const { return size_; }

private:
    kel_std::allocator<void> allocator_;
    kel_tree_node header_;
    kel_tree_node nil_;
    unsigned size_ = 0;
};

// Reads words with the library's extractor and keeps their letters and
// apostrophes, lower-cased.
void index_words(std::istream& in, word_index& index, unsigned& total) {
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
            index.add(kstring(letters, n));
            ++total;
        }
    }
}

void print_forward(word_index& index) {
    std::cout << "Forward:";
    for (kel_tree_node* it = index.begin(); it != index.end(); kel_tree_aux::increment(it, index.nil()))
        std::cout << ' ' << entry(it)->word << '(' << entry(it)->count << ')';
    std::cout << '\n';
}

void print_backward(word_index& index) {
    std::cout << "Backward:";
    if (index.size() != 0) {
        kel_tree_node* it = index.end();
        do {
            kel_tree_aux::decrement(it, index.nil());
            std::cout << ' ' << entry(it)->word;
        } while (it != index.begin());
    }
    std::cout << '\n';
}

void print_hashes(word_index& index) {
    const kel_std::kel_string_hasher1 h1;
    const kel_std::kel_string_hasher2 h2;
    const kel_std::kel_string_hasher3 h3;
    const kel_std::kel_string_hasher2 bucket(97);
    std::cout << "Hashes (hasher1 hasher2 hasher3, bucket of 97 by hasher2):\n";
    for (kel_tree_node* it = index.begin(); it != index.end(); kel_tree_aux::increment(it, index.nil())) {
        const kstring& w = entry(it)->word;
        std::cout << "  " << std::left << std::setw(14) << w << std::right << std::setw(11) << h1(w) << std::setw(11)
                  << h2(w) << std::setw(11) << h3(w) << std::setw(4) << bucket(w) << '\n';
    }
}

void print_sample(word_index& index, unsigned seed) {
    std::cout << "Random sample (seed " << seed << "):";
    if (index.size() != 0) {
        kel_std::kel_x_random_generator generator(seed);
        for (int i = 0; i < 5; ++i) {
            unsigned k = generator(index.size());
            kel_tree_node* it = index.begin();
            while (k-- != 0)
                kel_tree_aux::increment(it, index.nil());
            std::cout << ' ' << entry(it)->word;
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
           "Indexes the words of FILE (default: an embedded text) in a red-black tree\n"
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
        word_index index(use_heap ? nullptr : &manager);
        unsigned total = 0;
        index_words(*input, index, total);
        if (input->bad()) {
            std::cerr << "kel_std_demo: error reading '" << source << "'\n";
            return 1;
        }
        std::cout << "Indexed " << total << " words (" << index.size() << " distinct) from " << source << ".\n";

        const char* const removed[] = {"the", "of", "it", "was", "a", "and"};
        unsigned erased = 0;
        for (const char* word : removed) {
            kel_tree_node* n = index.find(kstring(word));
            if (n != index.end()) {
                index.erase(n);
                ++erased;
            }
        }
        std::cout << "Removed " << erased << " common words; " << index.size() << " remain.\n";
        print_forward(index);
        print_backward(index);
        print_hashes(index);
        print_sample(index, seed);
    }
    if (!use_heap)
        std::cout << "Memory manager: " << manager.allocations << " blocks (" << manager.bytes << " bytes) allocated, "
                  << manager.releases << " released.\n";
    show_errors();
    return manager.allocations == manager.releases ? 0 : 1;
}
