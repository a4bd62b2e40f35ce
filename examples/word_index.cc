// A word index written directly on the tree functions: what an ordered
// container does inside, for authors of containers of their own.
//
// The index keeps its own node type (the tree links first, then a string and
// a count), searches for the insertion point itself, links and unlinks nodes
// with kel_tree_aux, and uses the header as end position. Nodes come
// zero-filled from the library's allocator, through a counting memory
// manager: a zero-filled block already is a valid empty string on the heap,
// which the index then gives the manager and its text. The library's own
// kel_std::map does all of this (kel_std_demo uses it); this is the pattern
// underneath.
#include <kel_std/kel_std.h>

#include <cstdlib>
#include <iostream>
#include <new>
#include <sstream>

namespace {

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
            const int c = word.compare(entry(x)->word);
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

} // namespace

int main() {
    counting_manager manager;
    {
        word_index index(&manager);
        std::istringstream text("the quick brown fox jumps over the lazy dog the end");
        kstring word;
        while (text >> word)
            index.add(word);
        index.erase(index.find(kstring("end")));
        std::cout << "forward:";
        for (kel_tree_node* it = index.begin(); it != index.end(); kel_tree_aux::increment(it, index.nil()))
            std::cout << ' ' << entry(it)->word << '(' << entry(it)->count << ')';
        std::cout << "\nbackward:";
        kel_tree_node* it = index.end();
        do {
            kel_tree_aux::decrement(it, index.nil());
            std::cout << ' ' << entry(it)->word;
        } while (it != index.begin());
        std::cout << "\n" << index.size() << " words, " << manager.allocations << " blocks from the manager\n";
    }
    std::cout << "released " << manager.releases << " of " << manager.allocations << "\n";
    return manager.allocations == manager.releases ? 0 : 1;
}
