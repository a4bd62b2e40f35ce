// kel_std_demo: builds an ordered index of the words of a text with the
// library's red-black tree functions, the way an ordered container does, then
// removes the most common short words and prints the index in both
// directions. Index nodes come zero-filled from allocator<void>, through a
// counting memory manager unless --heap is given, and the library's errors
// are raised and caught at the end.
//
// Usage: kel_std_demo [--heap] [FILE]   (without FILE, an embedded text)

#include <kel_std/kel_std.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>

namespace {

const char default_text[] =
    "It was the best of times, it was the worst of times, it was the age of\n"
    "wisdom, it was the age of foolishness, it was the epoch of belief, it was\n"
    "the epoch of incredulity, it was the season of Light, it was the season of\n"
    "Darkness, it was the spring of hope, it was the winter of despair.\n";

using kel_std::kel_tree_aux;
using kel_std::kel_tree_node;

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

// One index entry: the tree links come first, so a kel_tree_node* from the
// library converts back to the entry that holds it.
struct word_node {
    kel_tree_node link;
    std::string word;
    unsigned count;
};

word_node* entry(kel_tree_node* n) { return reinterpret_cast<word_node*>(n); }

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
    void add(const std::string& word) {
        kel_tree_node* parent = &header_;
        bool left = true;
        for (kel_tree_node* x = header_.parent; x != &nil_;) {
            const int c = word.compare(entry(x)->word);
            if (c == 0) {
                ++entry(x)->count;
                return;
            }
            parent = x;
            left = c < 0;
            x = left ? x->left : x->right;
        }
        // The block arrives zero-filled, so the node's links and count start
        // at zero; only the std::string member needs constructing.
        void* block = allocator_.allocate(sizeof(word_node), nullptr);
        word_node* n = static_cast<word_node*>(block);
        new (&n->word) std::string(word);
        n->count = 1;
        kel_tree_aux::insert(left, nullptr, parent, &n->link, header_.right, header_.left, header_.parent,
                             &header_, &nil_);
        ++size_;
    }

    kel_tree_node* find(const std::string& word) {
        for (kel_tree_node* x = header_.parent; x != &nil_;) {
            const int c = word.compare(entry(x)->word);
            if (c == 0)
                return x;
            x = c < 0 ? x->left : x->right;
        }
        return end();
    }

    void erase(kel_tree_node* position) {
        word_node* n =
            entry(kel_tree_aux::erase(position, header_.right, header_.left, header_.parent, &header_, &nil_));
        n->word.~basic_string();
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

// Splits the text into lower-case words of letters and apostrophes.
void index_words(std::istream& in, word_index& index, unsigned& total) {
    std::string token;
    while (in >> token) {
        std::string word;
        for (char c : token) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (std::isalpha(u) || c == '\'')
                word += static_cast<char>(std::tolower(u));
        }
        if (!word.empty()) {
            index.add(word);
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

void show_errors() {
    try {
        kel_std::kel_throw_out_of_range();
    } catch (const kel_std::out_of_range& e) {
        std::cout << "Caught kel_std::out_of_range: " << e.what() << '\n';
    }
    try {
        // A text of 4294967295 characters cannot be held; the request fails
        // before anything is allocated or read.
        kel_std::string s;
        s.assign("", 0xFFFFFFFFu);
    } catch (const kel_std::logic_error& e) {
        std::cout << "Caught kel_std::length_error as logic_error: " << e.what() << '\n';
    }
}

void usage(std::ostream& out) {
    out << "Usage: kel_std_demo [--heap] [FILE]\n"
           "Indexes the words of FILE (default: an embedded text) in a red-black tree\n"
           "built with libkel_std, then prints them in order.\n"
           "  --heap  take index nodes from the global heap instead of a counting manager\n";
}

} // namespace

int main(int argc, char** argv) {
    bool use_heap = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            usage(std::cout);
            return 0;
        } else if (std::strcmp(argv[i], "--heap") == 0) {
            use_heap = true;
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
        std::cout << "Indexed " << total << " words (" << index.size() << " distinct) from " << source << ".\n";

        const char* const removed[] = {"the", "of", "it", "was", "a", "and"};
        unsigned erased = 0;
        for (const char* word : removed) {
            kel_tree_node* n = index.find(word);
            if (n != index.end()) {
                index.erase(n);
                ++erased;
            }
        }
        std::cout << "Removed " << erased << " common words; " << index.size() << " remain.\n";
        print_forward(index);
        print_backward(index);
    }
    if (!use_heap)
        std::cout << "Memory manager: " << manager.allocations << " blocks (" << manager.bytes << " bytes) allocated, "
                  << manager.releases << " released.\n";
    show_errors();
    return manager.allocations == manager.releases ? 0 : 1;
}
