// An arena memory manager plugged into allocator<void> and into a string.
//
// The arena hands out blocks from one fixed buffer that it deliberately fills
// with 0xAA, and logs every call. The output shows that the library still
// returns zero-filled memory, and the order in which it calls the manager:
// a string obtains its new buffer before it releases the old one, and its
// first assignment releases its null buffer through the manager.
#include <kel_std/kel_std.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

class arena final : public kel_std::kel_memory_manager {
public:
    arena() { std::memset(buffer_, 0xAA, sizeof buffer_); }

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
        // An arena frees everything at once when it goes away; a null pointer
        // (a string that had no buffer yet) is accepted like any other.
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

int main() {
    arena a;

    std::printf("allocator<void> with the arena as manager:\n");
    kel_std::allocator<void> alloc(&a);
    const unsigned char* block = static_cast<const unsigned char*>(alloc.allocate(64, &alloc));
    bool zero = true;
    for (int i = 0; i < 64; ++i)
        zero = zero && block[i] == 0;
    std::printf("  the 64 bytes read as %s (the arena had filled them with 0xAA)\n", zero ? "zero" : "NOT zero");
    alloc.deallocate(const_cast<unsigned char*>(block));

    kel_std::string s{kel_std::allocator<char>(&a)};
    std::printf("a string using the arena (the hint is the string's own address, %p):\n", static_cast<void*>(&s));
    std::printf(" assign \"hello\" to a string without a buffer:\n");
    s.assign("hello", 5);
    std::printf(" assign 20 characters (needs a larger buffer):\n");
    s.assign("twenty characters!!!", 20);
    std::printf(" assign \"short\" (fits, no call):\n");
    s.assign("short", 5);
    std::printf(" the string is \"%s\", capacity %u; destroying it:\n", s.c_str(), s.capacity);
    return zero ? 0 : 1;
}
