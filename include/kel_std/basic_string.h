/// @file
/// The library's string: `basic_string<char, char_traits_char,
/// allocator<char>>`, its character traits, its buffer rules and the
/// interface of `std::string` on top of them.
#ifndef KEL_STD_BASIC_STRING_H
#define KEL_STD_BASIC_STRING_H

#include <kel_std/allocator.h>
#include <kel_std/config.h>
#include <kel_std/detail/contiguous_iterator.h>
#include <kel_std/throw_functions.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>
#if __cplusplus >= 201703L
#include <string_view>
#endif

// SSE2 is part of every x86-64 target; with g++ and clang++ the string's
// search uses it.
#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define KEL_STD_STRING_SSE2 1
#include <emmintrin.h>
#endif

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
    /// The first of the `n` characters at `s` that equals `c`, or null.
    static const char* find(const char* s, std::size_t n, char c) {
        return n == 0 ? nullptr : static_cast<const char*>(std::memchr(s, c, n));
    }
    /// Sets `n` characters at `s` to `c`. Returns `s`.
    static char* assign(char* s, std::size_t n, char c) {
        return n == 0 ? s : static_cast<char*>(std::memset(s, static_cast<unsigned char>(c), n));
    }
};

template <class CharT, class Traits, class Alloc>
class basic_string;

namespace detail {

// The first occurrence of the n characters at needle among the h characters
// at hay, or null; n is at least 1. The first character is looked for with
// memchr, and only where it matches is the rest compared. Every build has
// it; x86 builds search with search_text below instead, and the tests compare
// the two.
inline const char* search_text_portable(const char* hay, std::size_t h, const char* needle, std::size_t n) {
    if (n > h)
        return nullptr;
    const char* const last = hay + (h - n); // the last place where a match can start
    const char first = needle[0];
    for (const char* p = hay;; ++p) {
        p = char_traits_char::find(p, static_cast<std::size_t>(last - p) + 1, first);
        if (p == nullptr)
            return nullptr;
        if (char_traits_char::compare(p + 1, needle + 1, n - 1) == 0)
            return p;
        if (p == last)
            return nullptr;
    }
}

#if defined(KEL_STD_STRING_SSE2)
// The same search, 16 starting places at a time: a place is a candidate when
// the needle's first and last characters both match there (a filter that
// lets few places through in ordinary text, whatever the needle's length),
// and only candidates are compared in full. Loads stay inside the text: the
// block at i + n - 1 ends at most at hay + h.
inline const char* search_text(const char* hay, std::size_t h, const char* needle, std::size_t n) {
    if (n > h)
        return nullptr;
    if (n == 1)
        return char_traits_char::find(hay, h, needle[0]);
    const std::size_t starts = h - n + 1;
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[n - 1]);
    std::size_t i = 0;
    for (; i + 16 <= starts; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i + n - 1));
        unsigned candidates =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        while (candidates != 0) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(candidates));
            if (char_traits_char::compare(hay + at + 1, needle + 1, n - 2) == 0)
                return hay + at;
            candidates &= candidates - 1;
        }
    }
    for (; i < starts; ++i)
        if (hay[i] == needle[0] && char_traits_char::compare(hay + i + 1, needle + 1, n - 1) == 0)
            return hay + i;
    return nullptr;
}
#else
inline const char* search_text(const char* hay, std::size_t h, const char* needle, std::size_t n) {
    return search_text_portable(hay, h, needle, n);
}
#endif

// A set of bytes, for the find_*_of family: one bit per byte value.
class byte_set {
public:
    byte_set(const char* s, std::size_t n) : bits_() {
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            bits_[c / 64u] |= std::uint64_t(1) << (c % 64u);
        }
    }
    bool contains(char ch) const {
        const unsigned char c = static_cast<unsigned char>(ch);
        return ((bits_[c / 64u] >> (c % 64u)) & 1u) != 0;
    }

private:
    std::uint64_t bits_[4];
};

// Characters and count of a text of any of the kinds the string compares
// with; the count is the full size_t so that nothing is cut off.
struct text_ref {
    const char* chars;
    std::size_t size;
};

#if __cplusplus >= 201703L
// What the standard string accepts as a string_view-like argument: it
// converts to std::string_view but not to const char*.
template <class T>
struct is_view_like : std::integral_constant<bool, std::is_convertible<const T&, std::string_view>::value &&
                                                       !std::is_convertible<const T&, const char*>::value> {};
#endif

// Iterator types whose ranges are contiguous characters in memory, which the
// string copies with one move (and which may lie in the string itself).
template <class It>
struct is_contiguous_chars
    : std::integral_constant<bool, std::is_same<It, char*>::value || std::is_same<It, const char*>::value> {};
template <class T, class Container>
struct is_contiguous_chars<contiguous_iterator<T, Container>>
    : std::integral_constant<bool, std::is_same<typename std::remove_const<T>::type, char>::value> {};

} // namespace detail

/// The library's string: a record of `length`, `capacity`, `data` and the
/// allocator (one `manager` pointer), in that order, with the interface of
/// `std::string`.
///
/// Invariants: without a buffer, `data` is null and `length` and `capacity`
/// are 0. With one, `length < capacity`, `capacity` is a multiple of 16, and
/// `data[length]` is NUL; the text is the first `length` characters and may
/// itself contain NULs. Buffers arrive zero-filled, never shrink, and go back
/// to the allocator they came from. A string may be read from several threads
/// at once; one that a thread modifies must not be used by another.
///
/// Names that differ from `std::string`: the record's fields take the names
/// `length`, `capacity` and `data`, so those three member functions do not
/// exist. Use `size()` for `length()`; `capacity` is the buffer size in bytes
/// with the terminator, so `std::string`'s `capacity()` is `capacity - 1`
/// (0 without a buffer); use `c_str()` (never null) for reading `data()`, and
/// `&s[0]` or `begin()` for writing the text.
///
/// Growth: `assign` sizes a new buffer exactly (the smallest multiple of 16
/// above the length), as does `reserve`; every other operation that needs a
/// larger buffer at least doubles the old size, so that appending is
/// amortised constant time. Every buffer comes from the string's allocator,
/// with the string's address as hint: a string with a manager never calls the
/// global heap. Every operation that allocates leaves the string unchanged
/// when the allocation throws (strong guarantee).
///
/// Character pointers given to an operation may point into the string's own
/// text (`s.append(s)`, `s.insert(0, s.c_str() + 2)`): the result is that of
/// `std::string`.
template <>
class basic_string<char, char_traits_char, allocator<char>> {
public:
    typedef char_traits_char traits_type;   ///< The character traits.
    typedef char value_type;                ///< The character type.
    typedef allocator<char> allocator_type; ///< The allocator type.
    typedef unsigned int size_type;         ///< Sizes and counts: 32 bits.
    typedef std::ptrdiff_t difference_type; ///< Distances between iterators.
    typedef char& reference;                ///< Reference to a character.
    typedef const char& const_reference;    ///< Reference to a constant character.
    typedef char* pointer;                  ///< Pointer to a character.
    typedef const char* const_pointer;      ///< Pointer to a constant character.
    /// Contiguous iterator over the text.
    typedef detail::contiguous_iterator<char, basic_string> iterator;
    /// Contiguous iterator over the text, read only.
    typedef detail::contiguous_iterator<const char, basic_string> const_iterator;
    typedef std::reverse_iterator<iterator> reverse_iterator;             ///< Iterates backwards.
    typedef std::reverse_iterator<const_iterator> const_reverse_iterator; ///< Iterates backwards, read only.

    /// The largest text the string can hold: 4294967279 characters, for a
    /// buffer of 4294967280 bytes.
    enum : unsigned int { max_length = 0xFFFFFFEFu };

    /// "No position": 4294967295, the largest `size_type`. As a count it means
    /// "to the end of the text"; as a result, "not found". It is above
    /// `max_length`, so it is never the position of a character.
    enum : unsigned int { npos = 0xFFFFFFFFu };

    unsigned int length;   ///< Characters in the text, terminator excluded.
    unsigned int capacity; ///< Buffer size in bytes, terminator included; 0 without a buffer.
    char* data;            ///< The buffer, or null.
    allocator<char> alloc; ///< Where the buffer comes from (null manager: the global heap).

    /// @name Construction, assignment, destruction
    /// @{

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

    /// A string of `n` copies of `c`. Throws: as `assign(n, c)`.
    basic_string(size_type n, char c, const allocator<char>& a = allocator<char>())
        : length(0), capacity(0), data(nullptr), alloc(a) {
        char* const fresh = make_buffer(n);
        traits_type::assign(fresh, n, c);
        data = fresh;
        length = n;
    }

    /// The characters from `pos` to the end of `other`, with `other`'s
    /// allocator. Throws: `out_of_range` if `pos > other.size()`.
    basic_string(const basic_string& other, size_type pos) : basic_string(other, pos, npos, other.alloc) {}

    /// The characters from `pos` to the end of `other`, with allocator `a`.
    /// Throws: `out_of_range` if `pos > other.size()`.
    basic_string(const basic_string& other, size_type pos, const allocator<char>& a)
        : basic_string(other, pos, npos, a) {}

    /// Up to `n` characters of `other` from `pos`, with `other`'s allocator.
    /// Throws: `out_of_range` if `pos > other.size()`.
    basic_string(const basic_string& other, size_type pos, size_type n) : basic_string(other, pos, n, other.alloc) {}

    /// Up to `n` characters of `other` from `pos`, with allocator `a`.
    /// Throws: `out_of_range` if `pos > other.size()`.
    basic_string(const basic_string& other, size_type pos, size_type n, const allocator<char>& a)
        : length(0), capacity(0), data(nullptr), alloc(a) {
        other.check_position(pos);
        construct_text(other.c_str() + pos, other.clamp(pos, n));
    }

    /// The characters of `[first, last)`. Throws: `length_error` past
    /// `max_length`; allocation failures; what the iterators throw.
    template <class InputIt, class = typename std::enable_if<!std::is_integral<InputIt>::value>::type>
    basic_string(InputIt first, InputIt last, const allocator<char>& a = allocator<char>()) : basic_string(a) {
        append(first, last);
    }

    /// The characters of `chars`.
    basic_string(std::initializer_list<char> chars, const allocator<char>& a = allocator<char>())
        : length(0), capacity(0), data(nullptr), alloc(a) {
        construct_text(chars.begin(), checked_size(chars.size()));
    }

    /// A copy of the text of a `std::string` (NULs included).
    /// Throws: `length_error` for more than `max_length` characters.
    basic_string(const std::string& s, const allocator<char>& a = allocator<char>())
        : length(0), capacity(0), data(nullptr), alloc(a) {
        construct_text(s.data(), checked_size(s.size()));
    }

#if __cplusplus >= 201703L
    /// A copy of the text of anything that converts to `std::string_view`
    /// (but not to `const char*`). Throws: as the `std::string` constructor.
    template <class T, class = typename std::enable_if<detail::is_view_like<T>::value>::type>
    explicit basic_string(const T& text, const allocator<char>& a = allocator<char>())
        : length(0), capacity(0), data(nullptr), alloc(a) {
        const std::string_view v = view_of(text);
        construct_text(v.data(), checked_size(v.size()));
    }

    /// Up to `n` characters from `pos` of a text that converts to
    /// `std::string_view`. Throws: `out_of_range` if `pos` is past its end.
    template <class T, class = typename std::enable_if<detail::is_view_like<T>::value>::type>
    basic_string(const T& text, size_type pos, size_type n, const allocator<char>& a = allocator<char>())
        : length(0), capacity(0), data(nullptr), alloc(a) {
        const std::string_view v = sub_view(view_of(text), pos, n);
        construct_text(v.data(), checked_size(v.size()));
    }
#endif

    /// A copy of `other`'s text that uses `other`'s allocator. A copy of a
    /// string without a buffer has no buffer either.
    basic_string(const basic_string& other) : length(0), capacity(0), data(nullptr), alloc(other.alloc) {
        if (other.data != nullptr)
            construct_text(other.data, other.length);
    }

    /// A copy of `other`'s text that uses allocator `a`.
    basic_string(const basic_string& other, const allocator<char>& a)
        : length(0), capacity(0), data(nullptr), alloc(a) {
        if (other.data != nullptr)
            construct_text(other.data, other.length);
    }

    /// Takes over `other`'s buffer and allocator; `other` is left without a
    /// buffer. Throws: nothing.
    basic_string(basic_string&& other) noexcept
        : length(other.length), capacity(other.capacity), data(other.data), alloc(other.alloc) {
        other.length = 0;
        other.capacity = 0;
        other.data = nullptr;
    }

    /// With allocator `a`: takes over `other`'s buffer when `other` has the
    /// same manager, else copies its text (and leaves `other` as it is).
    basic_string(basic_string&& other, const allocator<char>& a) : length(0), capacity(0), data(nullptr), alloc(a) {
        if (alloc.manager == other.alloc.manager)
            swap(other);
        else if (other.data != nullptr)
            construct_text(other.data, other.length);
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

    /// Replaces the text with the C string `s`. Throws: as `assign(s)`.
    basic_string& operator=(const char* s) {
        assign(s);
        return *this;
    }
    /// Replaces the text with the one character `c`.
    basic_string& operator=(char c) {
        assign(&c, 1);
        return *this;
    }
    /// Replaces the text with `chars`.
    basic_string& operator=(std::initializer_list<char> chars) {
        assign(chars);
        return *this;
    }
    /// Replaces the text with a copy of `s`'s.
    basic_string& operator=(const std::string& s) {
        assign(s);
        return *this;
    }
#if __cplusplus >= 201703L
    /// Replaces the text with that of a `std::string_view`-like `text`.
    template <class T, class = typename std::enable_if<detail::is_view_like<T>::value>::type>
    basic_string& operator=(const T& text) {
        assign(text);
        return *this;
    }
#endif

    /// Releases the buffer, if any, exactly once through the allocator. A
    /// string without a buffer makes no call at all.
    ~basic_string() {
        if (data != nullptr)
            detail::release(alloc.manager, data);
    }

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
    /// Returns: `*this`. Throws: `length_error` ("length error") for `n`
    /// above `max_length`; whatever the manager or `operator new` throws. On
    /// either, the string is unchanged. Complexity: O(n).
    basic_string& assign(const char* s, unsigned int n) {
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
            return *this;
        }
        traits_type::move(data, s, n);
        length = n;
        data[n] = '\0';
        return *this;
    }

    /// Makes the text the C string `s`.
    /// Throws: as `assign(s, n)`; also `length_error` for a text of 4 GiB or more.
    basic_string& assign(const char* s) {
        return assign(s, checked_size(traits_type::length(s)));
    }

    /// Makes the text `n` copies of `c`, with the buffer rule of
    /// `assign(s, n)`. Throws: as `assign(s, n)`.
    basic_string& assign(size_type n, char c) {
        if (n >= capacity) {
            char* const fresh = make_buffer(n);
            traits_type::assign(fresh, n, c);
            char* const old = data;
            data = fresh;
            length = n;
            detail::release(alloc.manager, old);
            return *this;
        }
        traits_type::assign(data, n, c);
        length = n;
        data[n] = '\0';
        return *this;
    }

    /// Same as `*this = other`.
    basic_string& assign(const basic_string& other) {
        return *this = other;
    }
    /// Same as `*this = std::move(other)`.
    basic_string& assign(basic_string&& other) {
        return *this = std::move(other);
    }
    /// Makes the text up to `n` characters of `other` from `pos`.
    /// Throws: `out_of_range` if `pos > other.size()`; as `assign(s, n)`.
    basic_string& assign(const basic_string& other, size_type pos, size_type n = npos) {
        other.check_position(pos);
        return assign(other.c_str() + pos, other.clamp(pos, n));
    }
    /// Makes the text the characters of `[first, last)`.
    template <class InputIt>
    typename std::enable_if<!std::is_integral<InputIt>::value, basic_string&>::type assign(InputIt first,
                                                                                           InputIt last) {
        return assign_range(first, last, detail::is_contiguous_chars<InputIt>());
    }
    /// Makes the text the characters of `chars`.
    basic_string& assign(std::initializer_list<char> chars) {
        return assign(chars.begin(), checked_size(chars.size()));
    }
    /// Makes the text a copy of `s`'s.
    basic_string& assign(const std::string& s) {
        return assign(s.data(), checked_size(s.size()));
    }
#if __cplusplus >= 201703L
    /// Makes the text that of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type assign(const T& text) {
        const std::string_view v = view_of(text);
        return assign(v.data(), checked_size(v.size()));
    }
    /// Makes the text up to `n` characters from `pos` of a
    /// `std::string_view`-like `text`. Throws: `out_of_range` past its end.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type assign(const T& text, size_type pos,
                                                                                        size_type n = npos) {
        const std::string_view v = sub_view(view_of(text), pos, n);
        return assign(v.data(), checked_size(v.size()));
    }
#endif

    /// The string's allocator.
    allocator<char> get_allocator() const {
        return alloc;
    }

    /// @}
    /// @name Element access
    /// @{

    /// The text as a C string: the buffer, or for a string without a buffer
    /// the library's one shared empty text. Never null; never allocates.
    const char* c_str() const {
        return data != nullptr ? data : empty_text();
    }

    /// The character at `pos`; `pos == size()` gives the terminator.
    /// Requires: `pos <= size()` (asserted in debug builds); the terminator
    /// must not be written.
    char& operator[](size_type pos) {
        KEL_STD_ASSERT(pos <= length);
        // Only a string without a buffer reaches the shared text, and only at
        // position 0, which the caller must not write.
        return data != nullptr ? data[pos] : const_cast<char&>(*empty_text());
    }
    /// The character at `pos`; `pos == size()` gives the terminator.
    /// Requires: `pos <= size()` (asserted in debug builds).
    const char& operator[](size_type pos) const {
        KEL_STD_ASSERT(pos <= length);
        return c_str()[pos];
    }
    /// The character at `pos`. Throws: `out_of_range` if `pos >= size()`.
    char& at(size_type pos) {
        if (pos >= length)
            kel_throw_out_of_range();
        return data[pos];
    }
    /// The character at `pos`. Throws: `out_of_range` if `pos >= size()`.
    const char& at(size_type pos) const {
        if (pos >= length)
            kel_throw_out_of_range();
        return data[pos];
    }
    /// The first character. Requires: `!empty()` (asserted in debug builds).
    char& front() {
        KEL_STD_ASSERT(length != 0);
        return data[0];
    }
    /// The first character. Requires: `!empty()` (asserted in debug builds).
    const char& front() const {
        KEL_STD_ASSERT(length != 0);
        return data[0];
    }
    /// The last character. Requires: `!empty()` (asserted in debug builds).
    char& back() {
        KEL_STD_ASSERT(length != 0);
        return data[length - 1];
    }
    /// The last character. Requires: `!empty()` (asserted in debug builds).
    const char& back() const {
        KEL_STD_ASSERT(length != 0);
        return data[length - 1];
    }

#if __cplusplus >= 201703L
    /// A view of the text (NULs included). Valid until the string changes.
    operator std::string_view() const noexcept {
        return std::string_view(c_str(), length);
    }
#endif
    /// A `std::string` with the same text (NULs included).
    explicit operator std::string() const {
        return std::string(c_str(), length);
    }

    /// @}
    /// @name Iterators
    /// Contiguous; a string without a buffer has `begin() == end()`.
    /// @{

    /// The first character.
    iterator begin() noexcept {
        return iterator(data);
    }
    /// The first character.
    const_iterator begin() const noexcept {
        return const_iterator(data);
    }
    /// The first character.
    const_iterator cbegin() const noexcept {
        return const_iterator(data);
    }
    /// Past the last character.
    iterator end() noexcept {
        return iterator(data + length);
    }
    /// Past the last character.
    const_iterator end() const noexcept {
        return const_iterator(data + length);
    }
    /// Past the last character.
    const_iterator cend() const noexcept {
        return const_iterator(data + length);
    }
    /// The last character, going backwards.
    reverse_iterator rbegin() noexcept {
        return reverse_iterator(end());
    }
    /// The last character, going backwards.
    const_reverse_iterator rbegin() const noexcept {
        return const_reverse_iterator(end());
    }
    /// The last character, going backwards.
    const_reverse_iterator crbegin() const noexcept {
        return const_reverse_iterator(end());
    }
    /// Before the first character, going backwards.
    reverse_iterator rend() noexcept {
        return reverse_iterator(begin());
    }
    /// Before the first character, going backwards.
    const_reverse_iterator rend() const noexcept {
        return const_reverse_iterator(begin());
    }
    /// Before the first character, going backwards.
    const_reverse_iterator crend() const noexcept {
        return const_reverse_iterator(begin());
    }

    /// @}
    /// @name Size and buffer
    /// @{

    /// Number of characters (same as `length`).
    unsigned int size() const {
        return length;
    }
    /// Whether the text has no characters.
    bool empty() const {
        return length == 0;
    }
    /// The largest text: `max_length`.
    size_type max_size() const noexcept {
        return max_length;
    }

    /// Makes room for `n` characters without a further allocation: when
    /// `n >= capacity`, moves the text to a new buffer of the smallest
    /// multiple of 16 above `n` (as `assign` sizes it). `reserve(0)` on a
    /// string without a buffer does nothing. Throws: `length_error` for `n`
    /// above `max_length`; allocation failures, with the string unchanged.
    void reserve(size_type n) {
        if (n < capacity || n == 0)
            return;
        char* const fresh = make_buffer(n);
        copy_chars(fresh, data, length);
        install(fresh, capacity, length);
    }
    /// Does nothing: buffers never shrink.
    void shrink_to_fit() noexcept {}
    /// Makes the text empty; the buffer stays. Throws: nothing.
    void clear() noexcept {
        if (data != nullptr)
            set_length(0);
    }

    /// @}
    /// @name Modifiers
    /// Positions past `size()` throw `out_of_range`; counts past the end of
    /// a text are cut at its end; a result longer than `max_length` throws
    /// `length_error`. Iterator arguments must be valid iterators into this
    /// string (asserted in debug builds).
    /// @{

    /// Appends `c`. Amortised constant time.
    void push_back(char c) {
        if (length + 1 < capacity) {
            data[length] = c;
            set_length(length + 1);
            return;
        }
        splice_fill(length, 0, 1, c);
    }
    /// Removes the last character. Requires: `!empty()` (asserted in debug builds).
    void pop_back() {
        KEL_STD_ASSERT(length != 0);
        set_length(length - 1);
    }

    /// Appends the `n` characters at `s` (which may lie in this string).
    basic_string& append(const char* s, size_type n) {
        if (n < capacity - length) { // never for a string without a buffer
            // A source inside the text ends at or before the text's end, so
            // it cannot overlap the room behind it.
            copy_chars(data + length, s, n);
            set_length(length + n);
            return *this;
        }
        splice(length, 0, s, n);
        return *this;
    }
    /// Appends the C string `s`.
    basic_string& append(const char* s) {
        return append(s, checked_size(traits_type::length(s)));
    }
    /// Appends `str`'s text (`s.append(s)` doubles `s`).
    basic_string& append(const basic_string& str) {
        return append(str.c_str(), str.length);
    }
    /// Appends up to `n` characters of `str` from `pos`.
    basic_string& append(const basic_string& str, size_type pos, size_type n = npos) {
        str.check_position(pos);
        return append(str.c_str() + pos, str.clamp(pos, n));
    }
    /// Appends `n` copies of `c`.
    basic_string& append(size_type n, char c) {
        if (n < capacity - length) {
            traits_type::assign(data + length, n, c);
            set_length(length + n);
            return *this;
        }
        splice_fill(length, 0, n, c);
        return *this;
    }
    /// Appends the characters of `[first, last)`.
    template <class InputIt>
    typename std::enable_if<!std::is_integral<InputIt>::value, basic_string&>::type append(InputIt first,
                                                                                           InputIt last) {
        splice_range(length, 0, first, last, detail::is_contiguous_chars<InputIt>());
        return *this;
    }
    /// Appends the characters of `chars`.
    basic_string& append(std::initializer_list<char> chars) {
        return append(chars.begin(), checked_size(chars.size()));
    }
    /// Appends `s`'s text.
    basic_string& append(const std::string& s) {
        return append(s.data(), checked_size(s.size()));
    }
#if __cplusplus >= 201703L
    /// Appends the text of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type append(const T& text) {
        const std::string_view v = view_of(text);
        return append(v.data(), checked_size(v.size()));
    }
    /// Appends up to `n` characters from `pos` of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type append(const T& text, size_type pos,
                                                                                        size_type n = npos) {
        const std::string_view v = sub_view(view_of(text), pos, n);
        return append(v.data(), checked_size(v.size()));
    }
#endif

    /// Same as `append(str)`.
    basic_string& operator+=(const basic_string& str) {
        return append(str);
    }
    /// Same as `push_back(c)`.
    basic_string& operator+=(char c) {
        push_back(c);
        return *this;
    }
    /// Same as `append(s)`.
    basic_string& operator+=(const char* s) {
        return append(s);
    }
    /// Same as `append(chars)`.
    basic_string& operator+=(std::initializer_list<char> chars) {
        return append(chars);
    }
    /// Same as `append(s)`.
    basic_string& operator+=(const std::string& s) {
        return append(s);
    }
#if __cplusplus >= 201703L
    /// Same as `append(text)`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type operator+=(const T& text) {
        return append(text);
    }
#endif

    /// Inserts the `n` characters at `s` before position `pos`.
    basic_string& insert(size_type pos, const char* s, size_type n) {
        check_position(pos);
        splice(pos, 0, s, n);
        return *this;
    }
    /// Inserts the C string `s` before position `pos`.
    basic_string& insert(size_type pos, const char* s) {
        return insert(pos, s, checked_size(traits_type::length(s)));
    }
    /// Inserts `str`'s text before position `pos`.
    basic_string& insert(size_type pos, const basic_string& str) {
        return insert(pos, str.c_str(), str.length);
    }
    /// Inserts up to `n` characters of `str` from `pos2` before position `pos`.
    basic_string& insert(size_type pos, const basic_string& str, size_type pos2, size_type n = npos) {
        str.check_position(pos2);
        return insert(pos, str.c_str() + pos2, str.clamp(pos2, n));
    }
    /// Inserts `n` copies of `c` before position `pos`.
    basic_string& insert(size_type pos, size_type n, char c) {
        check_position(pos);
        splice_fill(pos, 0, n, c);
        return *this;
    }
    /// Inserts `c` before `p`. Returns: an iterator to the inserted character.
    iterator insert(const_iterator p, char c) {
        const size_type pos = offset_of(p);
        splice_fill(pos, 0, 1, c);
        return begin() + pos;
    }
    /// Inserts `n` copies of `c` before `p`. Returns: an iterator to the
    /// first inserted character (`p` if `n` is 0).
    iterator insert(const_iterator p, size_type n, char c) {
        const size_type pos = offset_of(p);
        splice_fill(pos, 0, n, c);
        return begin() + pos;
    }
    /// Inserts the characters of `[first, last)` before `p`. Returns: an
    /// iterator to the first inserted character (`p` if the range is empty).
    template <class InputIt>
    typename std::enable_if<!std::is_integral<InputIt>::value, iterator>::type insert(const_iterator p, InputIt first,
                                                                                      InputIt last) {
        const size_type pos = offset_of(p);
        splice_range(pos, 0, first, last, detail::is_contiguous_chars<InputIt>());
        return begin() + pos;
    }
    /// Inserts the characters of `chars` before `p`. Returns: an iterator to
    /// the first inserted character.
    iterator insert(const_iterator p, std::initializer_list<char> chars) {
        return insert(p, chars.begin(), chars.end());
    }
#if __cplusplus >= 201703L
    /// Inserts the text of a `std::string_view`-like `text` before position `pos`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type insert(size_type pos, const T& text) {
        const std::string_view v = view_of(text);
        return insert(pos, v.data(), checked_size(v.size()));
    }
    /// Inserts up to `n` characters from `pos2` of a `std::string_view`-like
    /// `text` before position `pos`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type
    insert(size_type pos, const T& text, size_type pos2, size_type n = npos) {
        const std::string_view v = sub_view(view_of(text), pos2, n);
        return insert(pos, v.data(), checked_size(v.size()));
    }
#endif

    /// Removes up to `n` characters from `pos`. Never allocates.
    basic_string& erase(size_type pos = 0, size_type n = npos) {
        check_position(pos);
        splice(pos, clamp(pos, n), nullptr, 0);
        return *this;
    }
    /// Removes the character at `p`. Requires: `p != end()`. Returns: the
    /// iterator that follows the removed character.
    iterator erase(const_iterator p) {
        KEL_STD_ASSERT(p != cend());
        const size_type pos = offset_of(p);
        splice(pos, 1, nullptr, 0);
        return begin() + pos;
    }
    /// Removes the characters of `[first, last)`. Returns: the iterator that
    /// follows them.
    iterator erase(const_iterator first, const_iterator last) {
        const size_type pos = offset_of(first);
        splice(pos, count_of(first, last), nullptr, 0);
        return begin() + pos;
    }

    /// Replaces up to `n` characters from `pos` with the `n2` characters at `s`.
    basic_string& replace(size_type pos, size_type n, const char* s, size_type n2) {
        check_position(pos);
        splice(pos, clamp(pos, n), s, n2);
        return *this;
    }
    /// Replaces up to `n` characters from `pos` with the C string `s`.
    basic_string& replace(size_type pos, size_type n, const char* s) {
        return replace(pos, n, s, checked_size(traits_type::length(s)));
    }
    /// Replaces up to `n` characters from `pos` with `str`'s text.
    basic_string& replace(size_type pos, size_type n, const basic_string& str) {
        return replace(pos, n, str.c_str(), str.length);
    }
    /// Replaces up to `n` characters from `pos` with up to `n2` characters of
    /// `str` from `pos2`.
    basic_string& replace(size_type pos, size_type n, const basic_string& str, size_type pos2, size_type n2 = npos) {
        str.check_position(pos2);
        return replace(pos, n, str.c_str() + pos2, str.clamp(pos2, n2));
    }
    /// Replaces up to `n` characters from `pos` with `n2` copies of `c`.
    basic_string& replace(size_type pos, size_type n, size_type n2, char c) {
        check_position(pos);
        splice_fill(pos, clamp(pos, n), n2, c);
        return *this;
    }
    /// Replaces `[first, last)` with the `n` characters at `s`.
    basic_string& replace(const_iterator first, const_iterator last, const char* s, size_type n) {
        splice(offset_of(first), count_of(first, last), s, n);
        return *this;
    }
    /// Replaces `[first, last)` with the C string `s`.
    basic_string& replace(const_iterator first, const_iterator last, const char* s) {
        return replace(first, last, s, checked_size(traits_type::length(s)));
    }
    /// Replaces `[first, last)` with `str`'s text.
    basic_string& replace(const_iterator first, const_iterator last, const basic_string& str) {
        return replace(first, last, str.c_str(), str.length);
    }
    /// Replaces `[first, last)` with `n` copies of `c`.
    basic_string& replace(const_iterator first, const_iterator last, size_type n, char c) {
        splice_fill(offset_of(first), count_of(first, last), n, c);
        return *this;
    }
    /// Replaces `[first, last)` with the characters of `[first2, last2)`.
    template <class InputIt>
    typename std::enable_if<!std::is_integral<InputIt>::value, basic_string&>::type
    replace(const_iterator first, const_iterator last, InputIt first2, InputIt last2) {
        splice_range(offset_of(first), count_of(first, last), first2, last2, detail::is_contiguous_chars<InputIt>());
        return *this;
    }
    /// Replaces `[first, last)` with the characters of `chars`.
    basic_string& replace(const_iterator first, const_iterator last, std::initializer_list<char> chars) {
        return replace(first, last, chars.begin(), checked_size(chars.size()));
    }
#if __cplusplus >= 201703L
    /// Replaces up to `n` characters from `pos` with the text of a
    /// `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type replace(size_type pos, size_type n,
                                                                                         const T& text) {
        const std::string_view v = view_of(text);
        return replace(pos, n, v.data(), checked_size(v.size()));
    }
    /// Replaces up to `n` characters from `pos` with up to `n2` characters
    /// from `pos2` of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type
    replace(size_type pos, size_type n, const T& text, size_type pos2, size_type n2 = npos) {
        const std::string_view v = sub_view(view_of(text), pos2, n2);
        return replace(pos, n, v.data(), checked_size(v.size()));
    }
    /// Replaces `[first, last)` with the text of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, basic_string&>::type
    replace(const_iterator first, const_iterator last, const T& text) {
        const std::string_view v = view_of(text);
        return replace(first, last, v.data(), checked_size(v.size()));
    }
#endif

    /// Cuts the text to `n` characters, or extends it with NUL characters.
    void resize(size_type n) {
        resize(n, '\0');
    }
    /// Cuts the text to `n` characters, or extends it with copies of `c`.
    void resize(size_type n, char c) {
        if (n > length)
            append(n - length, c);
        else if (data != nullptr)
            set_length(n);
    }

    /// Exchanges the whole records, allocators included. Constant time.
    void swap(basic_string& other) noexcept {
        std::swap(length, other.length);
        std::swap(capacity, other.capacity);
        std::swap(data, other.data);
        std::swap(alloc.manager, other.alloc.manager);
    }

    /// Copies up to `n` characters from `pos` to `dest` (no terminator is
    /// written). Returns: the number copied. Throws: `out_of_range` if
    /// `pos > size()`.
    size_type copy(char* dest, size_type n, size_type pos = 0) const {
        check_position(pos);
        const size_type count = clamp(pos, n);
        copy_chars(dest, c_str() + pos, count);
        return count;
    }

    /// Up to `n` characters from `pos`, as a new string with this string's
    /// allocator. Throws: `out_of_range` if `pos > size()`.
    basic_string substr(size_type pos = 0, size_type n = npos) const {
        return basic_string(*this, pos, n);
    }

    /// @}
    /// @name Comparison
    /// By bytes as unsigned characters (`traits_type::lt`), NULs included;
    /// a proper prefix orders first. Results: <0, 0 or >0.
    /// @{

    /// Compares the text with `str`'s.
    int compare(const basic_string& str) const noexcept {
        return compare_text(c_str(), length, str.c_str(), str.length);
    }
    /// Compares up to `n` characters from `pos` with `str`.
    int compare(size_type pos, size_type n, const basic_string& str) const {
        return compare(pos, n, str.c_str(), str.length);
    }
    /// Compares up to `n` characters from `pos` with up to `n2` characters of
    /// `str` from `pos2`.
    int compare(size_type pos, size_type n, const basic_string& str, size_type pos2, size_type n2 = npos) const {
        str.check_position(pos2);
        return compare(pos, n, str.c_str() + pos2, str.clamp(pos2, n2));
    }
    /// Compares the text with the C string `s`.
    int compare(const char* s) const {
        return compare_text(c_str(), length, s, traits_type::length(s));
    }
    /// Compares up to `n` characters from `pos` with the C string `s`.
    int compare(size_type pos, size_type n, const char* s) const {
        check_position(pos);
        return compare_text(c_str() + pos, clamp(pos, n), s, traits_type::length(s));
    }
    /// Compares up to `n` characters from `pos` with the `n2` characters at `s`.
    int compare(size_type pos, size_type n, const char* s, size_type n2) const {
        check_position(pos);
        return compare_text(c_str() + pos, clamp(pos, n), s, n2);
    }
    /// Compares the text with `s`'s.
    int compare(const std::string& s) const noexcept {
        return compare_text(c_str(), length, s.data(), s.size());
    }
#if __cplusplus >= 201703L
    /// Compares the text with a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, int>::type compare(const T& text) const {
        const std::string_view v = view_of(text);
        return compare_text(c_str(), length, v.data(), v.size());
    }
    /// Compares up to `n` characters from `pos` with a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, int>::type compare(size_type pos, size_type n,
                                                                               const T& text) const {
        check_position(pos);
        const std::string_view v = view_of(text);
        return compare_text(c_str() + pos, clamp(pos, n), v.data(), v.size());
    }
    /// Compares up to `n` characters from `pos` with up to `n2` characters
    /// from `pos2` of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, int>::type
    compare(size_type pos, size_type n, const T& text, size_type pos2, size_type n2 = npos) const {
        check_position(pos);
        const std::string_view v = sub_view(view_of(text), pos2, n2);
        return compare_text(c_str() + pos, clamp(pos, n), v.data(), v.size());
    }
#endif

    /// Whether the text begins with `str`'s.
    bool starts_with(const basic_string& str) const noexcept {
        return starts_with_text(str.c_str(), str.length);
    }
    /// Whether the text begins with the C string `s`.
    bool starts_with(const char* s) const {
        return starts_with_text(s, traits_type::length(s));
    }
    /// Whether the text begins with `c`.
    bool starts_with(char c) const noexcept {
        return length != 0 && data[0] == c;
    }
    /// Whether the text ends with `str`'s.
    bool ends_with(const basic_string& str) const noexcept {
        return ends_with_text(str.c_str(), str.length);
    }
    /// Whether the text ends with the C string `s`.
    bool ends_with(const char* s) const {
        return ends_with_text(s, traits_type::length(s));
    }
    /// Whether the text ends with `c`.
    bool ends_with(char c) const noexcept {
        return length != 0 && data[length - 1] == c;
    }
#if __cplusplus >= 201703L
    /// Whether the text begins with a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, bool>::type starts_with(const T& text) const {
        const std::string_view v = view_of(text);
        return starts_with_text(v.data(), v.size());
    }
    /// Whether the text ends with a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, bool>::type ends_with(const T& text) const {
        const std::string_view v = view_of(text);
        return ends_with_text(v.data(), v.size());
    }
#endif

    /// @}
    /// @name Search
    /// Each returns the position found, or `npos`. `pos` is where the search
    /// starts (forward) or the last position it considers (backward); a
    /// `pos` past the end is allowed. The `_of` forms look for any character
    /// of a set, the `_not_of` forms for any character outside it.
    /// @{

    /// The first occurrence of the `n` characters at `s` at or after `pos`.
    size_type find(const char* s, size_type pos, size_type n) const {
        if (n == 0)
            return pos <= length ? pos : npos;
        if (pos >= length)
            return npos;
        const char* const found = detail::search_text(data + pos, length - pos, s, n);
        return found != nullptr ? static_cast<size_type>(found - data) : npos;
    }
    /// The first occurrence of `str` at or after `pos`.
    size_type find(const basic_string& str, size_type pos = 0) const {
        return find(str.c_str(), pos, str.length);
    }
    /// The first occurrence of the C string `s` at or after `pos`.
    size_type find(const char* s, size_type pos = 0) const {
        return find(s, pos, needle_size(s));
    }
    /// The first `c` at or after `pos`.
    size_type find(char c, size_type pos = 0) const {
        if (pos >= length)
            return npos;
        const char* const found = traits_type::find(data + pos, length - pos, c);
        return found != nullptr ? static_cast<size_type>(found - data) : npos;
    }

    /// The last occurrence of the `n` characters at `s` that starts at or
    /// before `pos`.
    size_type rfind(const char* s, size_type pos, size_type n) const {
        if (n > length)
            return npos;
        size_type i = pos < length - n ? pos : length - n;
        if (n == 0)
            return i;
        for (;;) {
            if (data[i] == s[0] && traits_type::compare(data + i + 1, s + 1, n - 1) == 0)
                return i;
            if (i == 0)
                return npos;
            --i;
        }
    }
    /// The last occurrence of `str` that starts at or before `pos`.
    size_type rfind(const basic_string& str, size_type pos = npos) const {
        return rfind(str.c_str(), pos, str.length);
    }
    /// The last occurrence of the C string `s` that starts at or before `pos`.
    size_type rfind(const char* s, size_type pos = npos) const {
        return rfind(s, pos, needle_size(s));
    }
    /// The last `c` at or before `pos`.
    size_type rfind(char c, size_type pos = npos) const {
        for (size_type i = last_index(pos); i != npos; --i)
            if (data[i] == c)
                return i;
        return npos;
    }

    /// The first character at or after `pos` that is one of the `n` at `s`.
    size_type find_first_of(const char* s, size_type pos, size_type n) const {
        if (n == 1)
            return find(s[0], pos);
        return scan_forward(pos, detail::byte_set(s, n), true);
    }
    /// The first character at or after `pos` that occurs in `str`.
    size_type find_first_of(const basic_string& str, size_type pos = 0) const {
        return find_first_of(str.c_str(), pos, str.length);
    }
    /// The first character at or after `pos` that occurs in the C string `s`.
    size_type find_first_of(const char* s, size_type pos = 0) const {
        return find_first_of(s, pos, needle_size(s));
    }
    /// The first `c` at or after `pos`.
    size_type find_first_of(char c, size_type pos = 0) const {
        return find(c, pos);
    }

    /// The last character at or before `pos` that is one of the `n` at `s`.
    size_type find_last_of(const char* s, size_type pos, size_type n) const {
        return scan_backward(pos, detail::byte_set(s, n), true);
    }
    /// The last character at or before `pos` that occurs in `str`.
    size_type find_last_of(const basic_string& str, size_type pos = npos) const {
        return find_last_of(str.c_str(), pos, str.length);
    }
    /// The last character at or before `pos` that occurs in the C string `s`.
    size_type find_last_of(const char* s, size_type pos = npos) const {
        return find_last_of(s, pos, needle_size(s));
    }
    /// The last `c` at or before `pos`.
    size_type find_last_of(char c, size_type pos = npos) const {
        return rfind(c, pos);
    }

    /// The first character at or after `pos` that is none of the `n` at `s`.
    size_type find_first_not_of(const char* s, size_type pos, size_type n) const {
        return scan_forward(pos, detail::byte_set(s, n), false);
    }
    /// The first character at or after `pos` that does not occur in `str`.
    size_type find_first_not_of(const basic_string& str, size_type pos = 0) const {
        return find_first_not_of(str.c_str(), pos, str.length);
    }
    /// The first character at or after `pos` that does not occur in the C string `s`.
    size_type find_first_not_of(const char* s, size_type pos = 0) const {
        return find_first_not_of(s, pos, needle_size(s));
    }
    /// The first character at or after `pos` other than `c`.
    size_type find_first_not_of(char c, size_type pos = 0) const {
        return find_first_not_of(&c, pos, 1);
    }

    /// The last character at or before `pos` that is none of the `n` at `s`.
    size_type find_last_not_of(const char* s, size_type pos, size_type n) const {
        return scan_backward(pos, detail::byte_set(s, n), false);
    }
    /// The last character at or before `pos` that does not occur in `str`.
    size_type find_last_not_of(const basic_string& str, size_type pos = npos) const {
        return find_last_not_of(str.c_str(), pos, str.length);
    }
    /// The last character at or before `pos` that does not occur in the C string `s`.
    size_type find_last_not_of(const char* s, size_type pos = npos) const {
        return find_last_not_of(s, pos, needle_size(s));
    }
    /// The last character at or before `pos` other than `c`.
    size_type find_last_not_of(char c, size_type pos = npos) const {
        return find_last_not_of(&c, pos, 1);
    }

#if __cplusplus >= 201703L
    /// `find` of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, size_type>::type find(const T& text,
                                                                                  size_type pos = 0) const {
        const std::string_view v = view_of(text);
        return find(v.data(), pos, needle_size(v.size()));
    }
    /// `rfind` of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, size_type>::type rfind(const T& text,
                                                                                   size_type pos = npos) const {
        const std::string_view v = view_of(text);
        return rfind(v.data(), pos, needle_size(v.size()));
    }
    /// `find_first_of` the characters of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, size_type>::type find_first_of(const T& text,
                                                                                           size_type pos = 0) const {
        const std::string_view v = view_of(text);
        return find_first_of(v.data(), pos, needle_size(v.size()));
    }
    /// `find_last_of` the characters of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, size_type>::type find_last_of(const T& text,
                                                                                          size_type pos = npos) const {
        const std::string_view v = view_of(text);
        return find_last_of(v.data(), pos, needle_size(v.size()));
    }
    /// `find_first_not_of` the characters of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, size_type>::type
    find_first_not_of(const T& text, size_type pos = 0) const {
        const std::string_view v = view_of(text);
        return find_first_not_of(v.data(), pos, needle_size(v.size()));
    }
    /// `find_last_not_of` the characters of a `std::string_view`-like `text`.
    template <class T>
    typename std::enable_if<detail::is_view_like<T>::value, size_type>::type
    find_last_not_of(const T& text, size_type pos = npos) const {
        const std::string_view v = view_of(text);
        return find_last_not_of(v.data(), pos, needle_size(v.size()));
    }
#endif

    /// @}

private:
#if __cplusplus >= 201703L
    template <class T>
    static std::string_view view_of(const T& text) {
        return text;
    }

    // Up to n characters of v from pos; out_of_range if pos is past its end.
    static std::string_view sub_view(std::string_view v, size_type pos, size_type n) {
        if (pos > v.size())
            kel_throw_out_of_range();
        return v.substr(pos, n);
    }
#endif

    static const char* address_of(const char* p) {
        return p;
    }

    // The first text of a string under construction, which has no buffer: a
    // buffer as assign sizes it, without assign's release of the null one.
    void construct_text(const char* s, size_type n) {
        char* const fresh = make_buffer(n);
        copy_chars(fresh, s, n);
        data = fresh;
        length = n;
    }
    static const char* address_of(const_iterator it) {
        return it.base();
    }

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
        const char* p = &text;
#if defined(__GNUC__)
        // Hides from the optimiser which object p points to. Otherwise, once
        // c_str() is inlined, a caller's `s.c_str() + 2` on a path where the
        // compiler cannot rule out a string without a buffer reads as an
        // offset past this one-byte object, and -Warray-bounds fires.
        __asm__("" : "+r"(p));
#endif
        return p;
    }

    static size_type checked_size(std::size_t n) {
        if (n > max_length)
            kel_throw_length_error();
        return static_cast<size_type>(n);
    }

    // A needle's size as a count: one that does not fit in size_type cannot
    // occur in any string, and npos is longer than every text.
    static size_type needle_size(std::size_t n) {
        return n > max_length ? size_type(npos) : size_type(n);
    }
    static size_type needle_size(const char* s) {
        return needle_size(traits_type::length(s));
    }

    void check_position(size_type pos) const {
        if (pos > length)
            kel_throw_out_of_range();
    }

    // How many characters from pos a request for n characters covers.
    size_type clamp(size_type pos, size_type n) const {
        return n < length - pos ? n : length - pos;
    }

    // The last index at or before pos, or npos for an empty text.
    size_type last_index(size_type pos) const {
        if (length == 0)
            return npos;
        return pos < length - 1 ? pos : length - 1;
    }

    size_type offset_of(const_iterator it) const {
        KEL_STD_ASSERT(cbegin() <= it && it <= cend());
        return static_cast<size_type>(it - cbegin());
    }
    size_type count_of(const_iterator first, const_iterator last) const {
        KEL_STD_ASSERT(cbegin() <= first && first <= last && last <= cend());
        return static_cast<size_type>(last - first);
    }

    static void copy_chars(char* dest, const char* src, std::size_t n) {
        if (n != 0)
            std::memcpy(dest, src, n);
    }

    // Sets the length of a string with a buffer and its terminator.
    void set_length(size_type n) {
        length = n;
        data[n] = '\0';
    }

    // The length after replacing n1 characters by n2, or length_error.
    size_type length_after(size_type n1, size_type n2) const {
        const std::uint64_t n = std::uint64_t(length) - n1 + n2;
        if (n > max_length)
            kel_throw_length_error();
        return static_cast<size_type>(n);
    }

    // The buffer size for a text of n characters that no longer fits: at
    // least double the present size, so that repeated growth costs amortised
    // constant time per character, and never less than the exact size.
    size_type grown_size(size_type n) const {
        const size_type exact = (n / 16u + 1u) * 16u;
        const std::uint64_t doubled = std::uint64_t(capacity) * 2u;
        if (doubled <= exact)
            return exact;
        return doubled > max_length + 1ull ? size_type(max_length + 1u) : static_cast<size_type>(doubled);
    }

    // Installs a filled buffer of the given size holding a text of n
    // characters and releases the old one. The record is complete before the
    // release, so a manager that throws from deallocate leaves a sound string.
    void install(char* fresh, size_type size, size_type n) {
        char* const old = data;
        data = fresh;
        capacity = size;
        set_length(n);
        if (old != nullptr)
            detail::release(alloc.manager, old);
    }

    // The growth step of a splice: a new buffer holding the text before pos
    // and the tail after the n1 replaced characters, with a gap of n2
    // characters at pos for the caller to fill before it installs the buffer.
    // The old buffer stays alive, so the filling may read from it.
    char* buffer_with_gap(size_type pos, size_type n1, size_type n2, size_type n, size_type& size) {
        size = grown_size(n);
        char* const fresh = static_cast<char*>(detail::allocate_zeroed(alloc.manager, size, this));
        copy_chars(fresh, data, pos);
        copy_chars(fresh + pos + n2, data + pos + n1, length - pos - n1);
        return fresh;
    }

    bool points_into_buffer(const char* s) const {
        const std::less<const char*> before;
        return data != nullptr && !before(s, data) && before(s, data + capacity);
    }

    // Replaces the n1 characters at pos (both already checked) with the n2
    // characters at s, which may lie in this string's buffer.
    void splice(size_type pos, size_type n1, const char* s, size_type n2) {
        if (n1 == 0 && n2 == 0)
            return; // nothing changes; a string without a buffer gets none
        const size_type n = length_after(n1, n2);
        const size_type tail = length - pos - n1;
        if (n >= capacity) {
            size_type size = 0;
            char* const fresh = buffer_with_gap(pos, n1, n2, n, size);
            copy_chars(fresh + pos, s, n2);
            install(fresh, size, n);
            return;
        }
        char* const p = data + pos;
        if (n2 <= n1) {
            // The source is read before the tail moves left over the gap's
            // remainder; writing the gap never reaches the tail.
            traits_type::move(p, s, n2);
            traits_type::move(p + n2, p + n1, tail);
        } else if (!points_into_buffer(s)) {
            traits_type::move(p + n2, p + n1, tail);
            copy_chars(p, s, n2);
        } else {
            // The source lies in this buffer. The tail moves right by n2 - n1
            // first, and with it whatever part of the source lay in it. The
            // source is addressed by its offset from data from here on.
            const size_type from = static_cast<size_type>(s - data);
            const size_type tail_start = pos + n1;
            traits_type::move(p + n2, data + tail_start, tail);
            if (from <= tail_start && n2 <= tail_start - from) { // all of it is before the tail
                traits_type::move(p, data + from, n2);
            } else if (from >= tail_start) { // all of it was in the tail
                traits_type::move(p, data + from + (n2 - n1), n2);
            } else { // it straddled the tail's start
                const size_type head = tail_start - from;
                traits_type::move(p, data + from, head);
                traits_type::move(p + head, p + n2, n2 - head);
            }
        }
        set_length(n);
    }

    // Replaces the n1 characters at pos (both already checked) with n2
    // copies of c.
    void splice_fill(size_type pos, size_type n1, size_type n2, char c) {
        if (n1 == 0 && n2 == 0)
            return;
        const size_type n = length_after(n1, n2);
        if (n >= capacity) {
            size_type size = 0;
            char* const fresh = buffer_with_gap(pos, n1, n2, n, size);
            traits_type::assign(fresh + pos, n2, c);
            install(fresh, size, n);
            return;
        }
        traits_type::move(data + pos + n2, data + pos + n1, length - pos - n1);
        traits_type::assign(data + pos, n2, c);
        set_length(n);
    }

    template <class It>
    void splice_range(size_type pos, size_type n1, It first, It last, std::true_type /*contiguous*/) {
        const char* const s = address_of(first);
        splice(pos, n1, s, checked_size(static_cast<std::size_t>(address_of(last) - s)));
    }

    // Other iterators (single-pass ones, or reverse iterators that may even
    // walk this string's own text): the characters are collected first, in a
    // string with the same allocator sized once when the range can be
    // measured, so that a throwing iterator or allocation leaves this string
    // unchanged.
    template <class It>
    basic_string collect(It first, It last, std::forward_iterator_tag /*multi-pass*/) const {
        basic_string text(alloc);
        text.reserve(checked_size(static_cast<std::size_t>(std::distance(first, last))));
        for (; first != last; ++first)
            text.push_back(*first);
        return text;
    }
    template <class It>
    basic_string collect(It first, It last, std::input_iterator_tag /*single-pass*/) const {
        basic_string text(alloc);
        for (; first != last; ++first)
            text.push_back(*first);
        return text;
    }

    template <class It>
    void splice_range(size_type pos, size_type n1, It first, It last, std::false_type /*contiguous*/) {
        const basic_string text = collect(first, last, typename std::iterator_traits<It>::iterator_category());
        splice(pos, n1, text.c_str(), text.length);
    }

    template <class It>
    basic_string& assign_range(It first, It last, std::true_type /*contiguous*/) {
        const char* const s = address_of(first);
        return assign(s, checked_size(static_cast<std::size_t>(address_of(last) - s)));
    }
    template <class It>
    basic_string& assign_range(It first, It last, std::false_type /*contiguous*/) {
        const basic_string text = collect(first, last, typename std::iterator_traits<It>::iterator_category());
        return assign(text.c_str(), text.length);
    }

    static int compare_text(const char* a, std::size_t na, const char* b, std::size_t nb) noexcept {
        const int r = traits_type::compare(a, b, na < nb ? na : nb);
        if (r != 0)
            return r;
        return na < nb ? -1 : na > nb ? 1 : 0;
    }

    bool starts_with_text(const char* s, std::size_t n) const noexcept {
        return n <= length && traits_type::compare(c_str(), s, n) == 0;
    }
    bool ends_with_text(const char* s, std::size_t n) const noexcept {
        return n <= length && traits_type::compare(c_str() + (length - n), s, n) == 0;
    }

    // The first position from pos whose character is (or is not) in the set.
    size_type scan_forward(size_type pos, const detail::byte_set& set, bool in_set) const {
        for (size_type i = pos; i < length; ++i)
            if (set.contains(data[i]) == in_set)
                return i;
        return npos;
    }
    // The last position at or before pos whose character is (or is not) in the set.
    size_type scan_backward(size_type pos, const detail::byte_set& set, bool in_set) const {
        for (size_type i = last_index(pos); i != npos; --i)
            if (set.contains(data[i]) == in_set)
                return i;
        return npos;
    }
};

/// The library's string type.
typedef basic_string<char, char_traits_char, allocator<char>> string;

/// Exchanges two strings' records, allocators included. Throws: nothing.
inline void swap(string& a, string& b) noexcept {
    a.swap(b);
}

namespace detail {

// The kinds of text a string compares with, as characters and count.
inline text_ref text_of(const string& s) noexcept {
    return text_ref{s.c_str(), s.length};
}
inline text_ref text_of(const char* s) noexcept {
    return text_ref{s, char_traits_char::length(s)};
}
inline text_ref text_of(const std::string& s) noexcept {
    return text_ref{s.data(), s.size()};
}
#if __cplusplus >= 201703L
inline text_ref text_of(std::string_view s) noexcept {
    return text_ref{s.data(), s.size()};
}
#endif

template <class T>
struct is_text_kind {
    typedef typename std::decay<T>::type type;
    static const bool value = std::is_same<type, string>::value || std::is_same<type, char*>::value ||
                              std::is_same<type, const char*>::value || std::is_same<type, std::string>::value
#if __cplusplus >= 201703L
                              || std::is_same<type, std::string_view>::value
#endif
        ;
};

// The operand pairs the comparison operators take: a string on one side, a
// string, C string, std::string or std::string_view on the other.
template <class L, class R>
struct string_comparison : std::enable_if<(std::is_same<L, string>::value && is_text_kind<R>::value) ||
                                              (is_text_kind<L>::value && std::is_same<R, string>::value),
                                          bool> {};

inline bool text_equal(text_ref a, text_ref b) noexcept {
    return a.size == b.size && char_traits_char::compare(a.chars, b.chars, a.size) == 0;
}

inline int text_compare(text_ref a, text_ref b) noexcept {
    const int r = char_traits_char::compare(a.chars, b.chars, a.size < b.size ? a.size : b.size);
    if (r != 0)
        return r;
    return a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
}

} // namespace detail

/// Whether two texts are equal: the same characters (NULs included). One
/// operand is a `kel_std::string`, the other a string, C string,
/// `std::string` or (C++17) `std::string_view`. Throws: nothing.
template <class L, class R>
typename detail::string_comparison<L, R>::type operator==(const L& lhs, const R& rhs) {
    return detail::text_equal(detail::text_of(lhs), detail::text_of(rhs));
}
#if KEL_STD_THREE_WAY_COMPARISON
/// The order of two texts (bytes as unsigned characters; a proper prefix
/// first), as `std::string`'s `<=>` gives it; the compiler rewrites `!=`,
/// `<`, `<=`, `>` and `>=` from `==` and this. Operands: as for `==`.
template <class L, class R, class = typename detail::string_comparison<L, R>::type>
std::strong_ordering operator<=>(const L& lhs, const R& rhs) {
    return detail::text_compare(detail::text_of(lhs), detail::text_of(rhs)) <=> 0;
}
#else
/// Whether two texts differ. Operands: as for `==`.
template <class L, class R>
typename detail::string_comparison<L, R>::type operator!=(const L& lhs, const R& rhs) {
    return !detail::text_equal(detail::text_of(lhs), detail::text_of(rhs));
}
/// Whether `lhs` orders before `rhs` (bytes as unsigned characters; a proper
/// prefix first). Operands: as for `==`.
template <class L, class R>
typename detail::string_comparison<L, R>::type operator<(const L& lhs, const R& rhs) {
    return detail::text_compare(detail::text_of(lhs), detail::text_of(rhs)) < 0;
}
/// Whether `lhs` orders after `rhs`. Operands: as for `==`.
template <class L, class R>
typename detail::string_comparison<L, R>::type operator>(const L& lhs, const R& rhs) {
    return detail::text_compare(detail::text_of(lhs), detail::text_of(rhs)) > 0;
}
/// Whether `lhs` does not order after `rhs`. Operands: as for `==`.
template <class L, class R>
typename detail::string_comparison<L, R>::type operator<=(const L& lhs, const R& rhs) {
    return detail::text_compare(detail::text_of(lhs), detail::text_of(rhs)) <= 0;
}
/// Whether `lhs` does not order before `rhs`. Operands: as for `==`.
template <class L, class R>
typename detail::string_comparison<L, R>::type operator>=(const L& lhs, const R& rhs) {
    return detail::text_compare(detail::text_of(lhs), detail::text_of(rhs)) >= 0;
}
#endif

namespace detail {

// a followed by b in a new string with allocator alloc, sized exactly.
inline string concatenate(const char* a, std::size_t na, const char* b, std::size_t nb, const allocator<char>& alloc) {
    if (na + nb > string::max_length) // each is at most max_length, so the sum cannot wrap
        kel_throw_length_error();
    string result(alloc);
    result.reserve(static_cast<string::size_type>(na + nb));
    result.append(a, static_cast<string::size_type>(na));
    result.append(b, static_cast<string::size_type>(nb));
    return result;
}

} // namespace detail

/// The concatenation of two texts, with `lhs`'s allocator (as a copy of
/// `lhs` would have). Throws: `length_error` past `max_length`; allocation
/// failures.
inline string operator+(const string& lhs, const string& rhs) {
    return detail::concatenate(lhs.c_str(), lhs.length, rhs.c_str(), rhs.length, lhs.alloc);
}
/// `lhs` followed by the C string `rhs`, with `lhs`'s allocator.
inline string operator+(const string& lhs, const char* rhs) {
    return detail::concatenate(lhs.c_str(), lhs.length, rhs, char_traits_char::length(rhs), lhs.alloc);
}
/// The C string `lhs` followed by `rhs`, with `rhs`'s allocator.
inline string operator+(const char* lhs, const string& rhs) {
    return detail::concatenate(lhs, char_traits_char::length(lhs), rhs.c_str(), rhs.length, rhs.alloc);
}
/// `lhs` followed by `rhs`, with `lhs`'s allocator.
inline string operator+(const string& lhs, char rhs) {
    return detail::concatenate(lhs.c_str(), lhs.length, &rhs, 1, lhs.alloc);
}
/// `lhs` followed by `rhs`, with `rhs`'s allocator.
inline string operator+(char lhs, const string& rhs) {
    return detail::concatenate(&lhs, 1, rhs.c_str(), rhs.length, rhs.alloc);
}
/// `rhs` appended to `lhs`, whose buffer and allocator the result takes over.
inline string operator+(string&& lhs, const string& rhs) {
    return std::move(lhs.append(rhs));
}
/// `lhs` inserted before `rhs`, whose buffer and allocator the result takes over.
inline string operator+(const string& lhs, string&& rhs) {
    return std::move(rhs.insert(0, lhs));
}
/// `rhs` appended to `lhs`, whose buffer and allocator the result takes over.
inline string operator+(string&& lhs, string&& rhs) {
    return std::move(lhs.append(rhs));
}
/// The C string `rhs` appended to `lhs`, whose buffer the result takes over.
inline string operator+(string&& lhs, const char* rhs) {
    return std::move(lhs.append(rhs));
}
/// The C string `lhs` inserted before `rhs`, whose buffer the result takes over.
inline string operator+(const char* lhs, string&& rhs) {
    return std::move(rhs.insert(0, lhs));
}
/// `rhs` appended to `lhs`, whose buffer the result takes over.
inline string operator+(string&& lhs, char rhs) {
    lhs.push_back(rhs);
    return std::move(lhs);
}
/// `lhs` inserted before `rhs`, whose buffer the result takes over.
inline string operator+(char lhs, string&& rhs) {
    return std::move(rhs.insert(0, 1, lhs));
}

} // namespace kel_std

// The hash functors, std::hash<kel_std::string> among them, come with the
// string: a program that includes only this header can use the string as a
// key of the standard hashed containers.
#include <kel_std/string_hash.h>

#endif // KEL_STD_BASIC_STRING_H
