/// @file
/// Two memory managers ready to use with the library's allocators, strings
/// and containers: `arena_manager`, which hands out memory by bumping a
/// pointer and frees it all at once, and `pool_manager`, which recycles
/// node-sized blocks through free lists of size classes.
///
/// Both take their memory in chunks from an upstream: the global heap by
/// default, or another `kel_memory_manager`. Every block they hand out is
/// aligned to `alignment` (at least `alignof(std::max_align_t)`), a request
/// they accept never yields null (they throw, as the upstream does, or end
/// the program in a build without exceptions), and a
/// zero-byte request returns a distinct block that may not be read or written.
/// The contents of a fresh block are unspecified: the library's allocators and
/// strings zero-fill what they receive.
///
/// Neither manager is thread-safe: all use of one manager, through every
/// allocator, string and container that holds it, must be serialised by the
/// caller. A manager must outlive everything that uses it, and it cannot be
/// copied or moved (allocators hold its address).
///
/// Built with AddressSanitizer, the managers poison the memory nobody may use
/// (free pool blocks, the unused parts of chunks and of the rounded block
/// sizes), so that a use after `deallocate` in the pool, or past the end of a
/// block, is reported as for the heap's own blocks.
#ifndef KEL_STD_MEMORY_MANAGERS_H
#define KEL_STD_MEMORY_MANAGERS_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/asan.h>
#include <kel_std/detail/exceptions.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace kel_std {
namespace detail {

// The alignment of every managed block and the unit block sizes are rounded
// to: alignof(std::max_align_t), and never less than 16.
constexpr std::size_t managed_alignment = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;

// n rounded up to a multiple of managed_alignment (for sizes known to be small).
constexpr std::size_t managed_round(std::size_t n) {
    return (n + managed_alignment - 1) & ~(managed_alignment - 1);
}

inline std::uintptr_t address_of(const void* p) noexcept {
    return reinterpret_cast<std::uintptr_t>(p);
}

// The distance from p to the next multiple of alignment (a power of two).
inline std::size_t alignment_gap(const void* p, std::size_t alignment) noexcept {
    return static_cast<std::size_t>((alignment - (address_of(p) & (alignment - 1))) & (alignment - 1));
}

// The first address at or after p that is a multiple of alignment, computed
// from p itself so that the result stays a pointer into the same block.
// Requires: the block extends that far.
inline unsigned char* align_up(void* p, std::size_t alignment) noexcept {
    return static_cast<unsigned char*>(p) + alignment_gap(p, alignment);
}

// a + b, or std::bad_alloc when the sum does not fit in size_t.
inline std::size_t checked_sum(std::size_t a, std::size_t b) {
    if (a > static_cast<std::size_t>(-1) - b)
        detail::throw_bad_alloc();
    return a + b;
}

// n rounded up to a whole number of managed_alignment units; a zero-byte
// request takes one unit, so that every block has an address of its own.
inline std::size_t managed_size(std::size_t n) {
    return n == 0 ? managed_alignment : checked_sum(n, managed_alignment - 1) & ~(managed_alignment - 1);
}

// Where the managers' chunks come from: another manager, or the global heap.
class upstream_memory {
public:
    explicit upstream_memory(kel_memory_manager* manager) noexcept : manager_(manager) {}

    kel_memory_manager* manager() const noexcept { return manager_; }

    // A block of size bytes. The heap's blocks are suitably aligned for any
    // object; a manager promises no alignment at all, so callers align inside
    // the block themselves. A manager takes 32-bit sizes: a larger request
    // is refused with std::bad_alloc before it is asked.
    void* get(std::size_t size, const void* hint) const {
        if (manager_ == nullptr)
            return ::operator new(size);
        if (static_cast<unsigned long long>(size) > 0xFFFFFFFFull)
            detail::throw_bad_alloc();
        return manager_->allocate(1, static_cast<unsigned int>(size), hint);
    }

    // Gives back a block from get. Memory that was poisoned is unpoisoned
    // first: the upstream may hand it out again.
    void put(void* p, std::size_t size) const {
        asan_unpoison(p, size);
        if (manager_ == nullptr)
            ::operator delete(p);
        else
            manager_->deallocate(p);
    }

private:
    kel_memory_manager* manager_;
};

} // namespace detail

/// A monotonic memory manager: blocks are cut from large chunks by bumping a
/// pointer, `deallocate` gives nothing back, and everything is freed at once
/// by `release()` or the destructor.
///
/// An optional buffer supplied by the caller (for example an array on the
/// stack) is used first. After it, chunks come from the upstream; each new
/// chunk is twice the size of the previous one (from 4 KiB, or from the
/// buffer's size if that is larger, up to 64 MiB), and a request too large
/// for that size gets a chunk of its own. Allocation is a few instructions
/// in the common case; deallocation only counts the block.
///
/// Suits containers and strings that are built, used and thrown away
/// together: their destruction costs no work in the manager, and `release()`
/// returns all their memory in one pass over the chunks. Memory of blocks that
/// were deallocated is not reused before `release()`, so it does not suit
/// long-lived containers with many erasures.
///
/// It is a `kel_monotonic_memory_manager`: the library's containers on it
/// (through `kel_std::allocator`) whose elements need no destructor drop
/// their nodes when destroyed or cleared, without visiting them or calling
/// `deallocate`; `blocks_in_use()` then keeps counting those nodes until
/// `release()`.
///
/// Not thread-safe: serialise all use of one arena. Not copyable or movable.
class arena_manager final : public kel_monotonic_memory_manager {
public:
    /// Sizes of the arena's blocks and chunks, in bytes.
    enum : std::size_t {
        /// Every block is aligned to this (at least `alignof(std::max_align_t)`),
        /// and every request is rounded up to a multiple of it.
        alignment = detail::managed_alignment,
        /// The size of the first chunk taken from the upstream, unless the
        /// caller's buffer is larger.
        first_chunk_size = 4096,
        /// Chunks stop growing at this size (a larger request still gets a
        /// chunk of its own).
        largest_chunk_size = 64u << 20
    };

    /// An arena without a buffer of its own, on the global heap.
    /// Complexity: constant; allocates nothing. Throws: nothing.
    arena_manager() noexcept : arena_manager(nullptr, 0, nullptr) {}

    /// An arena without a buffer of its own whose chunks come from `upstream`
    /// (null: the global heap). `upstream` must outlive the arena.
    /// Complexity: constant; allocates nothing. Throws: nothing.
    explicit arena_manager(kel_memory_manager* upstream) noexcept : arena_manager(nullptr, 0, upstream) {}

    /// An arena that hands out the `size` bytes at `buffer` first (any
    /// alignment; the part before the first aligned address is skipped), then
    /// chunks from `upstream` (null: the global heap).
    /// Requires: `buffer` is null only when `size` is 0; nobody else uses the
    /// buffer while the arena exists, and it outlives the arena; `upstream`
    /// outlives the arena. Complexity: constant. Throws: nothing.
    arena_manager(void* buffer, std::size_t size, kel_memory_manager* upstream = nullptr) noexcept
        : upstream_(upstream), buffer_(nullptr), buffer_end_(nullptr), next_(nullptr), end_(nullptr), chunks_(nullptr),
          first_chunk_(size > first_chunk_size ? size : static_cast<std::size_t>(first_chunk_size)),
          next_chunk_(first_chunk_), blocks_in_use_(0), bytes_in_use_(0), chunks_held_(0), bytes_held_(0) {
        KEL_STD_ASSERT(buffer != nullptr || size == 0);
        if (buffer != nullptr && detail::alignment_gap(buffer, alignment) < size) {
            buffer_ = detail::align_up(buffer, alignment);
            buffer_end_ = static_cast<unsigned char*>(buffer) + size;
        }
        if (first_chunk_ > largest_chunk_size)
            first_chunk_ = next_chunk_ = static_cast<std::size_t>(largest_chunk_size);
        reset_to_buffer();
    }

    arena_manager(const arena_manager&) = delete;            ///< Not copyable: allocators hold its address.
    arena_manager& operator=(const arena_manager&) = delete; ///< Not copyable: allocators hold its address.

    /// Returns every chunk to the upstream (as `release()`); the caller's
    /// buffer is left to the caller.
    ~arena_manager() {
        release();
        detail::asan_unpoison(buffer_, static_cast<std::size_t>(buffer_end_ - buffer_));
    }

    /// Returns a block of at least `size` bytes, aligned to `alignment`; a
    /// zero-byte request gets a distinct block of its own that must not be
    /// accessed. `tag` and `hint` are not used.
    /// Complexity: constant, plus one upstream call when a new chunk is needed.
    /// Throws: `std::bad_alloc` when the rounded request does not fit the
    /// upstream's size type; whatever the upstream throws. Nothing has changed
    /// then.
    void* allocate(int tag, unsigned int size, const void* hint) override {
        static_cast<void>(tag);
        static_cast<void>(hint);
        const std::size_t n = detail::managed_size(size);
        unsigned char* block;
        if (n <= static_cast<std::size_t>(end_ - next_)) {
            block = next_;
            next_ += n;
        } else {
            block = allocate_from_new_chunk(n);
        }
        // Only the bytes asked for become usable: the rounding stays poisoned.
        detail::asan_unpoison(block, size);
        ++blocks_in_use_;
        bytes_in_use_ += n;
        return block;
    }

    /// Counts a block as no longer in use; its memory is not reused before
    /// `release()`. A null `p` does nothing.
    /// Requires: `p` is null or a block of this arena, returned since the last
    /// `release()` and not yet deallocated. Complexity: constant. Throws: nothing.
    void deallocate(void* p) override {
        if (p == nullptr)
            return;
        KEL_STD_ASSERT(blocks_in_use_ != 0);
        --blocks_in_use_;
    }

    /// Frees everything at once: every chunk goes back to the upstream, the
    /// caller's buffer (if any) is used again from its start, chunk sizes
    /// start again from the first size, and all counters return to zero.
    /// Every block handed out before becomes invalid, whether or not it was
    /// deallocated.
    /// Complexity: linear in the number of chunks.
    /// Throws: only what the upstream's `deallocate` throws (it should not).
    void release() {
        while (chunks_ != nullptr) {
            chunk_header* const chunk = chunks_;
            chunks_ = chunk->next;
            upstream_.put(chunk->raw, chunk->size);
        }
        reset_to_buffer();
        next_chunk_ = first_chunk_;
        blocks_in_use_ = bytes_in_use_ = chunks_held_ = bytes_held_ = 0;
    }

    /// Blocks allocated and not yet deallocated since the last `release()`.
    /// Blocks that their owner dropped without deallocating (the nodes of a
    /// library container whose elements need no destructor, when it is
    /// destroyed or cleared) stay counted until `release()`.
    std::size_t blocks_in_use() const noexcept { return blocks_in_use_; }
    /// Bytes handed out since the last `release()`, each block counted at its
    /// rounded size. Deallocation does not reduce it: the memory stays taken
    /// until `release()`.
    std::size_t bytes_in_use() const noexcept { return bytes_in_use_; }
    /// Chunks held from the upstream (the caller's buffer is not counted).
    std::size_t chunks_held() const noexcept { return chunks_held_; }
    /// Bytes held from the upstream: the sum of the chunks' sizes.
    std::size_t bytes_held() const noexcept { return bytes_held_; }
    /// Where the chunks come from: the upstream manager, or null for the
    /// global heap.
    kel_memory_manager* upstream() const noexcept { return upstream_.manager(); }

private:
    // At the first aligned address of every chunk; the chunks form a list.
    struct chunk_header {
        chunk_header* next;
        void* raw; // what the upstream returned
        std::size_t size;
    };

    enum : std::size_t {
        // Room for the header at the start of a chunk.
        header_space = detail::managed_round(sizeof(chunk_header)),
        // That, and the worst-case misalignment of what a manager returns.
        chunk_overhead = header_space + detail::managed_alignment - 1
    };

    void reset_to_buffer() noexcept {
        next_ = buffer_;
        end_ = buffer_end_;
        detail::asan_poison(buffer_, static_cast<std::size_t>(buffer_end_ - buffer_));
    }

    // Obtains a chunk that holds n bytes after its header and returns the
    // block at its start. The chunk becomes the current one unless it has
    // less room left than the current one (a request too large for the regular
    // chunk size must not strand a mostly unused chunk).
    unsigned char* allocate_from_new_chunk(std::size_t n) {
        const std::size_t needed = detail::checked_sum(n, chunk_overhead);
        const bool regular = needed <= next_chunk_;
        const std::size_t size = regular ? next_chunk_ : needed;
        void* const raw = upstream_.get(size, this);
        unsigned char* const base = detail::align_up(raw, alignment);
        chunks_ = new (base) chunk_header{chunks_, raw, size};
        ++chunks_held_;
        bytes_held_ += size;
        if (regular && next_chunk_ < largest_chunk_size)
            next_chunk_ =
                next_chunk_ * 2 < largest_chunk_size ? next_chunk_ * 2 : static_cast<std::size_t>(largest_chunk_size);

        unsigned char* const block = base + header_space;
        unsigned char* const chunk_end = static_cast<unsigned char*>(raw) + size;
        detail::asan_poison(block, static_cast<std::size_t>(chunk_end - block));
        if (static_cast<std::size_t>(chunk_end - (block + n)) >= static_cast<std::size_t>(end_ - next_)) {
            next_ = block + n;
            end_ = chunk_end;
        }
        return block;
    }

    detail::upstream_memory upstream_;
    unsigned char* buffer_;     // the caller's buffer from its first aligned byte, or null
    unsigned char* buffer_end_; // its end
    unsigned char* next_;       // the next free byte of the current region
    unsigned char* end_;        // the end of the current region
    chunk_header* chunks_;      // the newest chunk
    std::size_t first_chunk_;   // the size of the first chunk after a release
    std::size_t next_chunk_;    // the size of the next regular chunk
    std::size_t blocks_in_use_;
    std::size_t bytes_in_use_;
    std::size_t chunks_held_;
    std::size_t bytes_held_;
};

/// A pooling memory manager for node-sized blocks: requests up to
/// `largest_pooled_size` bytes are served from size classes (multiples of
/// `alignment`), each with a free list, so that a deallocated block is reused
/// by the next request of its class; larger requests go to the upstream
/// directly, one upstream block each.
///
/// Small blocks carry no header. Each size class takes 16 KiB pages from
/// chunks that the pool obtains from the upstream (4 pages at first, twice as
/// many each time, up to 256); pages start at multiples of 16 KiB, and each
/// begins with a small header that names its class. `deallocate` finds the
/// class of a block from its address alone: it looks the address up in the
/// pool's sorted table of chunks (a binary search over a few entries, which
/// also tells small blocks from large ones), then reads the header at the
/// start of the block's page. A page stays with its class until `release()`.
///
/// Suits containers that insert and erase throughout their life: memory is
/// recycled within the pool, and the pool's memory goes back to the upstream
/// only at `release()` or destruction (large blocks go back at once).
///
/// Not thread-safe: serialise all use of one pool. Not copyable or movable.
class pool_manager final : public kel_memory_manager {
public:
    /// Sizes of the pool's blocks, in bytes.
    enum : std::size_t {
        /// Every block is aligned to this (at least `alignof(std::max_align_t)`);
        /// size classes are its multiples.
        alignment = detail::managed_alignment,
        /// The largest request served from a size class; larger ones go to
        /// the upstream.
        largest_pooled_size = 512
    };

    /// A pool on the global heap.
    /// Complexity: constant; allocates nothing. Throws: nothing.
    pool_manager() noexcept : pool_manager(nullptr) {}

    /// A pool whose chunks (and large blocks) come from `upstream` (null: the
    /// global heap). Requires: `upstream` outlives the pool.
    /// Complexity: constant; allocates nothing. Throws: nothing.
    explicit pool_manager(kel_memory_manager* upstream) noexcept
        : upstream_(upstream), classes_(), chunks_(nullptr), chunk_count_(0), chunk_capacity_(0),
          chunk_table_raw_(nullptr), chunk_table_size_(0), next_page_(nullptr), pages_end_(nullptr),
          next_chunk_pages_(first_chunk_pages), large_(nullptr), blocks_in_use_(0), bytes_in_use_(0), chunks_held_(0),
          bytes_held_(0) {}

    pool_manager(const pool_manager&) = delete;            ///< Not copyable: allocators hold its address.
    pool_manager& operator=(const pool_manager&) = delete; ///< Not copyable: allocators hold its address.

    /// Returns everything to the upstream, as `release()`.
    ~pool_manager() { release(); }

    /// Returns a block of at least `size` bytes, aligned to `alignment`: a
    /// free block of the request's size class if there is one, else a fresh
    /// one; above `largest_pooled_size`, a block from the upstream. A
    /// zero-byte request gets a distinct block of the smallest class that
    /// must not be accessed. `tag` and `hint` are not used.
    /// Complexity: constant, plus one upstream call for a new chunk or a
    /// large block (and rarely one more, to grow the table of chunks).
    /// Throws: `std::bad_alloc` when a large request with its header does not
    /// fit the upstream's size type; whatever the upstream throws. Nothing has
    /// changed then.
    void* allocate(int tag, unsigned int size, const void* hint) override {
        static_cast<void>(tag);
        static_cast<void>(hint);
        if (size > largest_pooled_size)
            return allocate_large(size);
        const std::size_t index = size == 0 ? 0 : (size - 1) / alignment;
        const std::size_t block_size = (index + 1) * alignment;
        size_class& sc = classes_[index];
        unsigned char* block;
        if (sc.free != nullptr) {
            free_block* const reused = sc.free;
            detail::asan_unpoison(reused, sizeof(free_block));
            sc.free = reused->next;
            detail::asan_poison(reused, sizeof(free_block));
            block = reinterpret_cast<unsigned char*>(reused);
        } else if (block_size <= static_cast<std::size_t>(sc.end - sc.next)) {
            block = sc.next;
            sc.next += block_size;
        } else {
            block = block_from_new_page(sc, block_size);
        }
        // Only the bytes asked for become usable: the rest of the class's size
        // stays poisoned.
        detail::asan_unpoison(block, size);
        ++blocks_in_use_;
        bytes_in_use_ += block_size;
        return block;
    }

    /// Gives a block back: a small block goes to the front of its class's
    /// free list (and is poisoned), a large block back to the upstream. A
    /// null `p` does nothing.
    /// Requires: `p` is null or a block of this pool, returned since the last
    /// `release()` and not yet deallocated.
    /// Complexity: logarithmic in the number of chunks the pool holds.
    /// Throws: only what the upstream's `deallocate` throws, for a large block.
    void deallocate(void* p) override {
        if (p == nullptr)
            return;
        KEL_STD_ASSERT(blocks_in_use_ != 0);
        if (!in_chunks(p)) {
            deallocate_large(p);
            return;
        }
        const page_header* const page = page_of(p);
        KEL_STD_ASSERT(page->owner == this);
        const std::size_t block_size = page->block_size;
        size_class& sc = classes_[block_size / alignment - 1];
        detail::asan_unpoison(p, sizeof(free_block));
        sc.free = new (p) free_block{sc.free};
        detail::asan_poison(p, block_size);
        --blocks_in_use_;
        bytes_in_use_ -= block_size;
    }

    /// Returns every chunk and every large block to the upstream, empties the
    /// free lists and resets chunk sizes and all counters. Every block handed
    /// out before becomes invalid, whether or not it was deallocated.
    /// Complexity: linear in the number of chunks and large blocks.
    /// Throws: only what the upstream's `deallocate` throws (it should not).
    void release() {
        while (large_ != nullptr) {
            large_header* const block = large_;
            large_ = block->next;
            upstream_.put(block->raw, block->raw_size);
        }
        while (chunk_count_ != 0) {
            const chunk_record& chunk = chunks_[--chunk_count_];
            upstream_.put(chunk.raw, chunk.raw_size);
        }
        if (chunk_table_raw_ != nullptr) {
            void* const table = chunk_table_raw_;
            chunk_table_raw_ = nullptr;
            chunks_ = nullptr;
            chunk_capacity_ = 0;
            upstream_.put(table, chunk_table_size_);
        }
        for (size_class& sc : classes_)
            sc = size_class();
        next_page_ = pages_end_ = nullptr;
        next_chunk_pages_ = first_chunk_pages;
        blocks_in_use_ = bytes_in_use_ = chunks_held_ = bytes_held_ = 0;
    }

    /// Blocks allocated and not yet deallocated.
    std::size_t blocks_in_use() const noexcept { return blocks_in_use_; }
    /// Bytes of the blocks in use, each counted at its rounded size (its size
    /// class, or for a large block the request rounded up to `alignment`).
    std::size_t bytes_in_use() const noexcept { return bytes_in_use_; }
    /// Blocks held from the upstream: chunks of pages, one per large block,
    /// and the pool's table of chunks.
    std::size_t chunks_held() const noexcept { return chunks_held_; }
    /// Bytes held from the upstream: the sum of the sizes of those blocks.
    std::size_t bytes_held() const noexcept { return bytes_held_; }
    /// Where chunks and large blocks come from: the upstream manager, or null
    /// for the global heap.
    kel_memory_manager* upstream() const noexcept { return upstream_.manager(); }

private:
    enum : std::size_t {
        page_size = 16384, // a power of two
        class_count = largest_pooled_size / alignment,
        first_chunk_pages = 4,
        largest_chunk_pages = 256
    };

    struct free_block {
        free_block* next;
    };
    // A size class: its free list, and the unused end of its newest page.
    struct size_class {
        free_block* free;
        unsigned char* next;
        unsigned char* end;
    };
    // At the start of every page that a class uses.
    struct page_header {
        const pool_manager* owner;
        std::size_t block_size;
    };
    // One entry of the table of chunks, which is sorted by address.
    struct chunk_record {
        std::uintptr_t begin; // the first page
        std::uintptr_t end;   // the end of the last page
        void* raw;            // what the upstream returned
        std::size_t raw_size;
    };
    // Before every large block; the large blocks form a list.
    struct large_header {
        large_header* prev;
        large_header* next;
        void* raw; // what the upstream returned
        std::size_t raw_size;
    };
    enum : std::size_t {
        page_header_space = detail::managed_round(sizeof(page_header)),
        large_header_space = detail::managed_round(sizeof(large_header))
    };

    static_assert(largest_pooled_size % alignment == 0, "size classes are multiples of the alignment");
    static_assert(static_cast<std::size_t>(page_header_space) + largest_pooled_size <=
                      static_cast<std::size_t>(page_size),
                  "a page holds a block of every class");

    static page_header* page_of(void* p) noexcept {
        return reinterpret_cast<page_header*>(static_cast<unsigned char*>(p) -
                                              (detail::address_of(p) & (page_size - 1)));
    }

    // Whether p lies in one of the pool's chunks (a small block) rather than
    // in a large block: a binary search for the last chunk that starts at or
    // before p, written so that the compiler can do it without branches
    // (the outcome of each step is unpredictable).
    bool in_chunks(const void* p) const noexcept {
        if (chunk_count_ == 0)
            return false;
        const std::uintptr_t a = detail::address_of(p);
        const chunk_record* first = chunks_;
        for (std::size_t n = chunk_count_; n > 1;) {
            const std::size_t half = n / 2;
            first = first[half].begin <= a ? first + half : first;
            n -= half;
        }
        return first->begin <= a && a < first->end;
    }

    unsigned char* block_from_new_page(size_class& sc, std::size_t block_size) {
        if (next_page_ == pages_end_)
            add_chunk();
        unsigned char* const page = next_page_;
        next_page_ += page_size;
        detail::asan_unpoison(page, sizeof(page_header));
        new (page) page_header{this, block_size};
        unsigned char* const block = page + page_header_space;
        sc.next = block + block_size;
        sc.end = page + page_size;
        return block;
    }

    // Obtains the next chunk of pages and enters it in the table. The table
    // grows first, so that a failure of either upstream call leaves the pool
    // as it was (apart from a larger table).
    void add_chunk() {
        if (chunk_count_ == chunk_capacity_)
            grow_chunk_table();
        const std::size_t pages = next_chunk_pages_;
        const std::size_t raw_size = pages * page_size + page_size - 1;
        void* const raw = upstream_.get(raw_size, this);
        unsigned char* const first = detail::align_up(raw, page_size);
        const chunk_record chunk = {detail::address_of(first), detail::address_of(first) + pages * page_size, raw,
                                    raw_size};
        std::size_t at = chunk_count_;
        while (at != 0 && chunks_[at - 1].begin > chunk.begin)
            --at;
        std::memmove(chunks_ + at + 1, chunks_ + at, (chunk_count_ - at) * sizeof(chunk_record));
        chunks_[at] = chunk;
        ++chunk_count_;
        ++chunks_held_;
        bytes_held_ += raw_size;
        next_page_ = first;
        pages_end_ = first + pages * page_size;
        detail::asan_poison(first, pages * page_size);
        if (next_chunk_pages_ < largest_chunk_pages)
            next_chunk_pages_ *= 2;
    }

    void grow_chunk_table() {
        const std::size_t capacity = chunk_capacity_ == 0 ? 4 : chunk_capacity_ * 2;
        const std::size_t raw_size = capacity * sizeof(chunk_record) + alignment - 1;
        void* const raw = upstream_.get(raw_size, this);
        chunk_record* const table = reinterpret_cast<chunk_record*>(detail::align_up(raw, alignment));
        if (chunk_count_ != 0)
            std::memcpy(table, chunks_, chunk_count_ * sizeof(chunk_record));
        void* const old_raw = chunk_table_raw_;
        const std::size_t old_size = chunk_table_size_;
        chunks_ = table;
        chunk_capacity_ = capacity;
        chunk_table_raw_ = raw;
        chunk_table_size_ = raw_size;
        bytes_held_ += raw_size;
        if (old_raw != nullptr) {
            bytes_held_ -= old_size;
            upstream_.put(old_raw, old_size);
        } else {
            ++chunks_held_;
        }
    }

    unsigned char* allocate_large(unsigned int size) {
        const std::size_t block_size = detail::managed_size(size);
        const std::size_t raw_size =
            detail::checked_sum(block_size, large_header_space + detail::managed_alignment - 1);
        void* const raw = upstream_.get(raw_size, this);
        large_header* const header =
            new (detail::align_up(raw, alignment)) large_header{nullptr, large_, raw, raw_size};
        if (large_ != nullptr)
            large_->prev = header;
        large_ = header;
        ++chunks_held_;
        bytes_held_ += raw_size;
        ++blocks_in_use_;
        bytes_in_use_ += block_size;
        return reinterpret_cast<unsigned char*>(header) + large_header_space;
    }

    void deallocate_large(void* p) {
        large_header* const header =
            reinterpret_cast<large_header*>(static_cast<unsigned char*>(p) - large_header_space);
        if (header->prev != nullptr)
            header->prev->next = header->next;
        else
            large_ = header->next;
        if (header->next != nullptr)
            header->next->prev = header->prev;
        --chunks_held_;
        bytes_held_ -= header->raw_size;
        --blocks_in_use_;
        bytes_in_use_ -= header->raw_size - large_header_space - (detail::managed_alignment - 1);
        upstream_.put(header->raw, header->raw_size);
    }

    detail::upstream_memory upstream_;
    size_class classes_[class_count];
    chunk_record* chunks_; // the table of chunks, sorted by address
    std::size_t chunk_count_;
    std::size_t chunk_capacity_;
    void* chunk_table_raw_; // the table's upstream block
    std::size_t chunk_table_size_;
    unsigned char* next_page_; // the unused pages of the newest chunk
    unsigned char* pages_end_;
    std::size_t next_chunk_pages_;
    large_header* large_; // the newest large block
    std::size_t blocks_in_use_;
    std::size_t bytes_in_use_;
    std::size_t chunks_held_;
    std::size_t bytes_held_;
};

} // namespace kel_std

#endif // KEL_STD_MEMORY_MANAGERS_H
