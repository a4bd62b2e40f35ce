// Memory managers with the library's allocator, its string and a container.
//
// First the two managers that come with the library:
// - pool_manager under a map whose entries come and go: erased nodes and
//   strings are reused by the next insertions, and once the map is gone
//   nothing is in use;
// - arena_manager on a buffer on the stack, under a string and a map built
//   together and thrown away together: the buffer serves first, then chunks
//   from the heap, and release() gives everything back at once. A map whose
//   elements need no destructor (ints) does not even visit its nodes when it
//   goes: it leaves them to the arena.
//
// Then a manager of one's own: a bump allocator on a fixed buffer that fills
// its blocks with 0xAA and logs every call. The output shows that the library
// still returns zero-filled memory, and the order in which it calls the
// manager: a string obtains its new buffer before it releases the old one,
// and its first assignment releases its null buffer through the manager.
#include <kel_std/kel_std.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace {

// A map from int to the library's string whose nodes come from a manager;
// so do the strings' buffers, through the allocator each string is given.
typedef std::pair<const int, kel_std::string> entry;
typedef kel_std::map<int, kel_std::string> label_map; // kel_std::allocator<entry> by default

kel_std::string label(int n, kel_std::kel_memory_manager* manager) {
    char text[32];
    std::snprintf(text, sizeof text, "label number %d", n);
    return kel_std::string(text, kel_std::allocator<char>(manager));
}

void pool_example() {
    std::printf("pool_manager under a map of 1,000 labels:\n");
    kel_std::pool_manager pool; // chunks from the global heap
    {
        label_map labels{kel_std::allocator<entry>(&pool)};
        for (int i = 0; i < 1000; ++i)
            labels.emplace(i, label(i, &pool));
        std::printf("  %zu blocks in use (nodes, string buffers and the sentinel), %zu bytes held in %zu chunks\n",
                    pool.blocks_in_use(), pool.bytes_held(), pool.chunks_held());
        const std::size_t held = pool.bytes_held();
        for (int i = 1; i < 1000; i += 2)
            labels.erase(i);
        for (int i = 1000; i < 1500; ++i)
            labels.emplace(i, label(i, &pool));
        std::printf("  erased 500 labels and added 500: %zu blocks in use, %s\n", pool.blocks_in_use(),
                    pool.bytes_held() == held ? "no new memory (the freed blocks were reused)" : "more memory");
        std::printf("  labels[1499] is \"%s\"\n", labels.at(1499).c_str());
    }
    std::printf("  map gone: %zu blocks, %zu bytes in use; the pool keeps its %zu chunks until it goes\n",
                pool.blocks_in_use(), pool.bytes_in_use(), pool.chunks_held());
}

void arena_example() {
    std::printf("arena_manager on a 2 KiB buffer on the stack:\n");
    alignas(16) unsigned char buffer[2048];
    kel_std::arena_manager arena(buffer, sizeof buffer); // then chunks from the global heap
    {
        kel_std::string title("labels of the day", kel_std::allocator<char>(&arena));
        label_map labels{kel_std::allocator<entry>(&arena)};
        for (int i = 0; i < 10; ++i)
            labels.emplace(i, label(i, &arena));
        std::printf("  \"%s\", 10 labels: %zu bytes in use, %zu chunks from the heap\n", title.c_str(),
                    arena.bytes_in_use(), arena.chunks_held());
        for (int i = 10; i < 200; ++i)
            labels.emplace(i, label(i, &arena));
        std::printf("  200 labels: %zu bytes in use, %zu chunks from the heap\n", arena.bytes_in_use(),
                    arena.chunks_held());
    }
    // Destroying the map and the string only counted their blocks back: the
    // arena frees everything at once.
    std::printf("  map and string gone: %zu blocks in use, %zu bytes still taken\n", arena.blocks_in_use(),
                arena.bytes_in_use());
    // Ints need no destructor, and the arena frees nothing before release():
    // the map drops its nodes without visiting them, which the arena's count
    // of blocks in use shows until release().
    {
        typedef std::pair<const int, int> number;
        kel_std::map<int, int> squares{kel_std::allocator<number>(&arena)};
        for (int i = 0; i < 100; ++i)
            squares.emplace(i, i * i);
    }
    std::printf("  a map of 100 squares gone: %zu blocks still counted (its nodes and sentinel, dropped)\n",
                arena.blocks_in_use());
    arena.release();
    std::printf("  after release(): %zu bytes in use, %zu chunks held\n", arena.bytes_in_use(), arena.chunks_held());
}

// A manager of one's own: override allocate and deallocate. It must return
// blocks of at least the size asked for, report failure by throwing (never
// with null) and accept a null pointer in deallocate.
class logging_manager final : public kel_std::kel_memory_manager {
public:
    logging_manager() { std::memset(buffer_, 0xAA, sizeof buffer_); }

    void* allocate(int tag, unsigned int size, const void* hint) override {
        const std::size_t rounded = (size + 15u) & ~std::size_t(15);
        if (rounded > sizeof buffer_ - used_)
            throw std::bad_alloc(); // a manager reports failure by throwing, never with null
        void* p = buffer_ + used_;
        used_ += rounded;
        std::printf("  allocate(tag %d, %u bytes, hint %p) -> block at offset %zu\n", tag, size, hint,
                    static_cast<std::size_t>(static_cast<unsigned char*>(p) - buffer_));
        return p;
    }

    void deallocate(void* p) override {
        // Like an arena, it frees everything at once when it goes away; a
        // null pointer (a string that had no buffer yet) is accepted like any
        // other.
        if (p == nullptr)
            std::printf("  deallocate(null)\n");
        else
            std::printf("  deallocate(block at offset %zu)\n",
                        static_cast<std::size_t>(static_cast<unsigned char*>(p) - buffer_));
    }

private:
    alignas(16) unsigned char buffer_[4096];
    std::size_t used_ = 0;
};

bool own_manager_example() {
    std::printf("a manager of one's own, which logs its calls:\n");
    logging_manager m;

    std::printf(" allocator<void> with the manager:\n");
    kel_std::allocator<void> alloc(&m);
    const unsigned char* block = static_cast<const unsigned char*>(alloc.allocate(64, &alloc));
    bool zero = true;
    for (int i = 0; i < 64; ++i)
        zero = zero && block[i] == 0;
    std::printf("  the 64 bytes read as %s (the manager had filled them with 0xAA)\n", zero ? "zero" : "NOT zero");
    alloc.deallocate(const_cast<unsigned char*>(block));

    kel_std::string s{kel_std::allocator<char>(&m)};
    std::printf(" a string using the manager (the hint is the string's own address, %p):\n", static_cast<void*>(&s));
    std::printf(" assign \"hello\" to a string without a buffer:\n");
    s.assign("hello", 5);
    std::printf(" assign 20 characters (needs a larger buffer):\n");
    s.assign("twenty characters!!!", 20);
    std::printf(" assign \"short\" (fits, no call):\n");
    s.assign("short", 5);
    std::printf(" the string is \"%s\", capacity %u; destroying it:\n", s.c_str(), s.capacity);
    return zero;
}

} // namespace

int main() {
    pool_example();
    arena_example();
    return own_manager_example() ? 0 : 1;
}
