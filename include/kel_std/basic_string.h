/// @file
/// The library's string record: `basic_string<char, char_traits_char,
/// allocator<char>>`, its character traits and its buffer rules.
#ifndef KEL_STD_BASIC_STRING_H
#define KEL_STD_BASIC_STRING_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/throw_functions.h>

#include <cstddef>
#include <cstring>

namespace kel_std {

/// Character traits of the library's `char` string.
struct char_traits_char {
    typedef char char_type; ///< The character type.
    typedef int int_type;   ///< A type that holds every character and end-of-file.

    /// Number of characters before the first NUL of `s`.
    static std::size_t length(const char* s) { return std::strlen(s); }
    /// Copies `n` characters; the ranges may overlap. Returns `dest`.
    static char* move(char* dest, const char* src, std::size_t n) {
        return n == 0 ? dest : static_cast<char*>(std::memmove(dest, src, n));
    }
    /// Compares `n` characters as unsigned bytes: <0, 0 or >0.
    static int compare(const char* a, const char* b, std::size_t n) { return n == 0 ? 0 : std::memcmp(a, b, n); }
    /// Whether two characters are equal.
    static bool eq(char a, char b) { return a == b; }
    /// Whether `a` orders before `b`, as unsigned bytes.
    static bool lt(char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); }
};

template <class CharT, class Traits, class Alloc>
class basic_string;

/// The library's string: a record of `length`, `capacity`, `data` and the
/// allocator (one `manager` pointer), in that order.
///
/// Invariants: without a buffer, `data` is null and `length` and `capacity`
/// are 0. With one, `length < capacity`, `capacity` is a multiple of 16, and
/// `data[length]` is NUL; the text is the first `length` characters and may
/// itself contain NULs. Buffers arrive zero-filled, never shrink, and go back
/// to the allocator they came from. A string may be read from several threads
/// at once; one that a thread modifies must not be used by another.
template <>
class basic_string<char, char_traits_char, allocator<char>> {
public:
    typedef char_traits_char traits_type;   ///< The character traits.
    typedef char value_type;                ///< The character type.
    typedef allocator<char> allocator_type; ///< The allocator type.
    typedef unsigned int size_type;         ///< Sizes and counts: 32 bits.

    /// The largest text the string can hold: 4294967279 characters, for a
    /// buffer of 4294967280 bytes.
    enum : unsigned int { max_length = 0xFFFFFFEFu };

    unsigned int length;   ///< Characters in the text, terminator excluded.
    unsigned int capacity; ///< Buffer size in bytes, terminator included; 0 without a buffer.
    char* data;            ///< The buffer, or null.
    allocator<char> alloc; ///< Where the buffer comes from (null manager: the global heap).

    /// A string without a buffer that uses the global heap.
    basic_string() : length(0), capacity(0), data(nullptr), alloc() {}

    /// A string without a buffer that takes its buffers from `a`.
    explicit basic_string(const allocator<char>& a) : length(0), capacity(0), data(nullptr), alloc(a) {}

    /// A string holding the `n` characters at `s` (NULs included).
    /// Throws: `length_error` for `n` above `max_length`; allocation failures.
    basic_string(const char* s, unsigned int n, const allocator<char>& a = allocator<char>())
        : length(0), capacity(0), data(nullptr), alloc(a) {
        assign(s, n);
    }

    /// A string holding the C string `s`.
    /// Throws: `length_error` for a text above `max_length`; allocation failures.
    basic_string(const char* s, const allocator<char>& a = allocator<char>())
        : length(0), capacity(0), data(nullptr), alloc(a) {
        assign(s);
    }

    /// A copy of `other`'s text that uses `other`'s allocator. A copy of a
    /// string without a buffer has no buffer either.
    basic_string(const basic_string& other) : length(0), capacity(0), data(nullptr), alloc(other.alloc) {
        if (other.data != nullptr)
            assign(other.data, other.length);
    }

    /// Takes over `other`'s buffer and allocator; `other` is left without a
    /// buffer. Throws: nothing.
    basic_string(basic_string&& other) noexcept
        : length(other.length), capacity(other.capacity), data(other.data), alloc(other.alloc) {
        other.length = 0;
        other.capacity = 0;
        other.data = nullptr;
    }

    /// Replaces the text with `other`'s; the allocator stays.
    basic_string& operator=(const basic_string& other) {
        if (this != &other)
            assign(other.c_str(), other.length);
        return *this;
    }

    /// Takes over `other`'s buffer when both use the same manager; otherwise
    /// copies the text. The allocator stays. Throws: only in the copying case,
    /// as `assign`; so it is not noexcept.
    basic_string&
    operator=(basic_string&& other) { // NOLINT(performance-noexcept-move-constructor,bugprone-exception-escape)
        if (this == &other)
            return *this;
        if (alloc.manager != other.alloc.manager)
            return *this = static_cast<const basic_string&>(other);
        char* const old = data;
        length = other.length;
        capacity = other.capacity;
        data = other.data;
        other.length = 0;
        other.capacity = 0;
        other.data = nullptr;
        if (old != nullptr)
            detail::release(alloc.manager, old);
        return *this;
    }

    /// Releases the buffer, if any, exactly once through the allocator. A
    /// string without a buffer makes no call at all.
    ~basic_string() {
        if (data != nullptr)
            detail::release(alloc.manager, data);
    }

    /// The text as a C string: the buffer, or for a string without a buffer
    /// the library's one shared empty text. Never null; never allocates.
    const char* c_str() const { return data != nullptr ? data : empty_text(); }

    /// Number of characters (same as `length`).
    unsigned int size() const { return length; }
    /// Whether the text has no characters.
    bool empty() const { return length == 0; }

    /// Makes the text exactly the `n` characters at `s`.
    ///
    /// `s` need not end in a NUL, may contain NULs and may point into this
    /// string's own text; it is not read when `n` is 0 (it may then be null).
    /// When `n >= capacity` (always for a string without a buffer, `n` = 0
    /// included) a new zero-filled buffer of the smallest multiple of 16 above
    /// `n` is obtained first, with the string's own address as hint, and the
    /// old buffer is released afterwards (through a manager even when it is
    /// null). Otherwise the text is written in place.
    ///
    /// Throws: `length_error` ("length error") for `n` above `max_length`;
    /// whatever the manager or `operator new` throws. On either, the string
    /// is unchanged. Complexity: O(n).
    void assign(const char* s, unsigned int n) {
        if (n >= capacity) {
            char* const fresh = make_buffer(n);
            // The text goes in before the old buffer is released: it may have
            // been read from there, and if a manager's deallocate throws, the
            // string already holds its complete new text.
            if (n != 0)
                std::memcpy(fresh, s, n);
            char* const old = data;
            data = fresh;
            length = n;
            detail::release(alloc.manager, old);
            return;
        }
        traits_type::move(data, s, n);
        length = n;
        data[n] = '\0';
    }

    /// Makes the text the C string `s`.
    /// Throws: as `assign(s, n)`; also `length_error` for a text of 4 GiB or more.
    void assign(const char* s) {
        const std::size_t n = traits_type::length(s);
        if (n > max_length)
            kel_throw_length_error();
        assign(s, static_cast<unsigned int>(n));
    }

private:
    // Returns a zero-filled buffer of the smallest multiple of 16 above n and
    // records its size in capacity; data and length are left alone.
    char* make_buffer(unsigned int n) {
        // From 0xFFFFFFF0 on, the rounded size no longer fits in 32 bits; such
        // requests fail like 0xFFFFFFFF instead of wrapping to a small buffer.
        if (n > max_length)
            kel_throw_length_error();
        const unsigned int size = (n / 16u + 1u) * 16u;
        char* const buffer = static_cast<char*>(detail::allocate_zeroed(alloc.manager, size, this));
        capacity = size;
        return buffer;
    }

    // One NUL character shared by every string without a buffer; it is
    // constant-initialised, so it holds 0 from load time on and is never
    // written.
    static const char* empty_text() {
        static const char text = '\0';
        return &text;
    }
};

/// The library's string type.
typedef basic_string<char, char_traits_char, allocator<char>> string;

} // namespace kel_std

#endif // KEL_STD_BASIC_STRING_H
