// Allocators and value types for container tests: a stateful allocator with
// chosen propagation traits that counts its live blocks and can fail on
// demand, a fancy-pointer allocator, values and comparators that throw at
// the N-th operation, and function objects that only their own swap may not
// throw from.
#ifndef KEL_STD_TESTS_TEST_ALLOCATORS_H
#define KEL_STD_TESTS_TEST_ALLOCATORS_H

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>
#include <type_traits>

namespace kel_test {

// The fault injector: when armed, the countdown-th event throws `injected`.
struct injected : std::runtime_error {
    injected() : std::runtime_error("injected failure") {}
};
struct faults {
    static int& countdown() {
        static int n = 0;
        return n;
    }
    static void arm(int n) { countdown() = n; }
    static void disarm() { countdown() = 0; }
    // Whether the last injected failure hit an allocation (rather than an
    // operation on a value): some operations promise more for the one.
    static bool& hit_allocation() {
        static bool b = false;
        return b;
    }
    // Called by every operation that may fail.
    static void tick() { tick(false); }
    // Called by every allocation that may fail.
    static void tick_allocation() { tick(true); }

private:
    static void tick(bool allocation) {
        if (countdown() > 0 && --countdown() == 0) {
            hit_allocation() = allocation;
            throw injected();
        }
    }
};

// Blocks of every test_allocator, whatever its type or id.
inline long& live_blocks() {
    static long n = 0;
    return n;
}

// A stateful allocator: equal when the ids are equal; allocation is a fault
// point; live blocks are counted.
template <class T, bool Pocca = false, bool Pocma = false, bool Pocs = false>
class test_allocator {
public:
    typedef T value_type;
    typedef std::integral_constant<bool, Pocca> propagate_on_container_copy_assignment;
    typedef std::integral_constant<bool, Pocma> propagate_on_container_move_assignment;
    typedef std::integral_constant<bool, Pocs> propagate_on_container_swap;
    template <class U>
    struct rebind {
        typedef test_allocator<U, Pocca, Pocma, Pocs> other;
    };

    int id;

    explicit test_allocator(int i = 0) noexcept : id(i) {}
    template <class U>
    test_allocator(const test_allocator<U, Pocca, Pocma, Pocs>& other) noexcept : id(other.id) {}

    T* allocate(std::size_t n) {
        faults::tick_allocation();
        void* p = std::malloc(n * sizeof(T));
        if (p == nullptr)
            throw std::bad_alloc();
        ++live_blocks();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept {
        --live_blocks();
        std::free(p);
    }
    // Copies of a container get allocator id 0 unless the test says
    // otherwise, so that the copy's allocator is seen to be chosen here.
    test_allocator select_on_container_copy_construction() const { return test_allocator(id + 100); }

    template <class U>
    bool operator==(const test_allocator<U, Pocca, Pocma, Pocs>& other) const noexcept {
        return id == other.id;
    }
    template <class U>
    bool operator!=(const test_allocator<U, Pocca, Pocma, Pocs>& other) const noexcept {
        return id != other.id;
    }
};

// A pointer of class type: what an allocator may hand out instead of T*. It
// is a random-access iterator, as the allocator requirements ask (a vector's
// buffer is walked through it).
template <class T>
class fancy_ptr {
public:
    typedef T element_type;
    typedef std::ptrdiff_t difference_type;
    typedef typename std::remove_cv<T>::type value_type;
    typedef T* pointer;
    typedef typename std::add_lvalue_reference<T>::type reference;
    typedef std::random_access_iterator_tag iterator_category;
    template <class U>
    using rebind = fancy_ptr<U>;

    fancy_ptr() noexcept : p_(nullptr) {}
    fancy_ptr(std::nullptr_t) noexcept : p_(nullptr) {}
    explicit fancy_ptr(T* p) noexcept : p_(p) {}
    template <class U, class = typename std::enable_if<std::is_convertible<U*, T*>::value>::type>
    fancy_ptr(const fancy_ptr<U>& other) noexcept : p_(other.get()) {}
    // From a pointer to void, as static_cast does for raw pointers.
    template <class U, class = typename std::enable_if<std::is_void<U>::value && !std::is_void<T>::value>::type,
              class = void>
    explicit fancy_ptr(const fancy_ptr<U>& other) noexcept : p_(static_cast<T*>(other.get())) {}

    reference operator*() const noexcept { return *p_; }
    T* operator->() const noexcept { return p_; }
    reference operator[](difference_type n) const noexcept { return p_[n]; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T* get() const noexcept { return p_; }

    template <class U = T>
    static fancy_ptr pointer_to(typename std::enable_if<!std::is_void<U>::value, U>::type& r) noexcept {
        return fancy_ptr(std::addressof(r));
    }

    fancy_ptr& operator++() noexcept { return ++p_, *this; }
    fancy_ptr& operator--() noexcept { return --p_, *this; }
    fancy_ptr operator++(int) noexcept { return fancy_ptr(p_++); }
    fancy_ptr operator--(int) noexcept { return fancy_ptr(p_--); }
    fancy_ptr& operator+=(difference_type n) noexcept { return p_ += n, *this; }
    fancy_ptr& operator-=(difference_type n) noexcept { return p_ -= n, *this; }
    friend fancy_ptr operator+(fancy_ptr a, difference_type n) noexcept { return a += n; }
    friend fancy_ptr operator+(difference_type n, fancy_ptr a) noexcept { return a += n; }
    friend fancy_ptr operator-(fancy_ptr a, difference_type n) noexcept { return a -= n; }
    friend difference_type operator-(const fancy_ptr& a, const fancy_ptr& b) noexcept { return a.p_ - b.p_; }

    friend bool operator==(const fancy_ptr& a, const fancy_ptr& b) noexcept { return a.p_ == b.p_; }
    friend bool operator!=(const fancy_ptr& a, const fancy_ptr& b) noexcept { return a.p_ != b.p_; }
    friend bool operator<(const fancy_ptr& a, const fancy_ptr& b) noexcept { return a.p_ < b.p_; }
    friend bool operator>(const fancy_ptr& a, const fancy_ptr& b) noexcept { return a.p_ > b.p_; }
    friend bool operator<=(const fancy_ptr& a, const fancy_ptr& b) noexcept { return a.p_ <= b.p_; }
    friend bool operator>=(const fancy_ptr& a, const fancy_ptr& b) noexcept { return a.p_ >= b.p_; }

private:
    T* p_;
};

// An allocator whose pointer is a fancy_ptr; counts live blocks too.
template <class T>
class fancy_allocator {
public:
    typedef T value_type;
    typedef fancy_ptr<T> pointer;

    fancy_allocator() noexcept {}
    template <class U>
    fancy_allocator(const fancy_allocator<U>&) noexcept {}

    pointer allocate(std::size_t n) {
        void* p = std::malloc(n * sizeof(T));
        if (p == nullptr)
            throw std::bad_alloc();
        ++live_blocks();
        return pointer(static_cast<T*>(p));
    }
    void deallocate(pointer p, std::size_t) noexcept {
        --live_blocks();
        std::free(p.get());
    }
    template <class U>
    bool operator==(const fancy_allocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const fancy_allocator<U>&) const noexcept {
        return false;
    }
};

// An allocator of std::allocator's memory whose max_size() admits `Bytes`
// bytes: what the containers' max_size() and max_bucket_count() must follow.
template <class T, std::size_t Bytes>
struct budget_allocator : std::allocator<T> {
    template <class U>
    struct rebind {
        typedef budget_allocator<U, Bytes> other;
    };
    budget_allocator() = default;
    template <class U>
    budget_allocator(const budget_allocator<U, Bytes>&) noexcept {}
    std::size_t max_size() const noexcept { return Bytes / sizeof(T); }
};

// A value whose copies and moves are fault points.
struct fragile {
    int key;
    int payload;

    fragile(int k = 0, int p = 0) : key(k), payload(p) {}
    fragile(const fragile& other) : key(other.key), payload(other.payload) { faults::tick(); }
    fragile(fragile&& other) : key(other.key), payload(other.payload) { faults::tick(); }
    fragile& operator=(const fragile& other) {
        faults::tick();
        key = other.key;
        payload = other.payload;
        return *this;
    }
    friend bool operator==(const fragile& a, const fragile& b) { return a.key == b.key && a.payload == b.payload; }
    friend bool operator<(const fragile& a, const fragile& b) { return a.key < b.key; }
};

// A value for the sequence containers: its copies, and its moves unless
// NothrowMove, are fault points (so that std::move_if_noexcept has both
// choices to make); its live instances are counted per type; and each
// instance knows its own address, so that using or destroying an object that
// is dead, or that was moved by copying its bytes, is counted as misuse.
template <bool NothrowMove>
class tracked {
public:
    int key;
    int payload;

    tracked(int k = 0, int p = 0) noexcept : key(k), payload(p), self_(this) { ++live(); }
    tracked(const tracked& other) : key(other.key), payload(other.payload), self_(this) {
        other.check();
        faults::tick();
        ++live();
    }
    tracked(tracked&& other) noexcept(NothrowMove) : key(other.key), payload(other.payload), self_(this) {
        other.check();
        if (!NothrowMove)
            faults::tick();
        ++live();
    }
    tracked& operator=(const tracked& other) {
        check();
        other.check();
        faults::tick();
        key = other.key;
        payload = other.payload;
        return *this;
    }
    tracked& operator=(tracked&& other) noexcept(NothrowMove) {
        check();
        other.check();
        if (!NothrowMove)
            faults::tick();
        key = other.key;
        payload = other.payload;
        return *this;
    }
    ~tracked() {
        check();
        self_ = nullptr;
        --live();
    }

    static long& live() {
        static long n = 0;
        return n;
    }
    static long& misuse() {
        static long n = 0;
        return n;
    }
    void check() const {
        if (self_ != this)
            ++misuse();
    }

    friend bool operator==(const tracked& a, const tracked& b) {
        a.check();
        b.check();
        return a.key == b.key && a.payload == b.payload;
    }
    friend bool operator<(const tracked& a, const tracked& b) {
        a.check();
        b.check();
        return a.key != b.key ? a.key < b.key : a.payload < b.payload;
    }
    friend std::ostream& operator<<(std::ostream& out, const tracked& t) { return out << t.key << ':' << t.payload; }

private:
    const tracked* self_;
};

// A comparator whose calls are fault points.
struct fragile_less {
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
        faults::tick();
        return key(a) < key(b);
    }
    static int key(const fragile& f) { return f.key; }
    template <bool N>
    static int key(const tracked<N>& t) {
        return t.key;
    }
    static int key(int k) { return k; }
};

// Function objects whose copies may throw; `NothrowSwap` says whether their
// own swap, found by argument-dependent lookup, may not. A container swaps
// without throwing exactly when the swap of its function objects cannot.
template <class Self, bool NothrowSwap>
struct swap_only {
    swap_only() = default;
    swap_only(const swap_only&) noexcept(false) {}
    swap_only& operator=(const swap_only&) noexcept(false) { return *this; }
    friend void swap(Self&, Self&) noexcept(NothrowSwap) {}
};
template <bool NothrowSwap>
struct swap_only_less : swap_only<swap_only_less<NothrowSwap>, NothrowSwap> {
    bool operator()(int a, int b) const { return a < b; }
};
template <bool NothrowSwap>
struct swap_only_hash : swap_only<swap_only_hash<NothrowSwap>, NothrowSwap> {
    std::size_t operator()(int k) const { return static_cast<std::size_t>(k); }
};
template <bool NothrowSwap>
struct swap_only_equal : swap_only<swap_only_equal<NothrowSwap>, NothrowSwap> {
    bool operator()(int a, int b) const { return a == b; }
};

// Whether the member and the non-member swap of every container `C` are
// noexcept exactly when `Nothrow` says.
template <bool Nothrow, class... C>
constexpr bool swaps_nothrow_iff() {
    const bool member[] = {noexcept(std::declval<C&>().swap(std::declval<C&>()))...};
    const bool free[] = {std::is_nothrow_swappable<C>::value...};
    for (std::size_t i = 0; i < sizeof...(C); ++i)
        if (member[i] != Nothrow || free[i] != Nothrow)
            return false;
    return true;
}

} // namespace kel_test

#endif
