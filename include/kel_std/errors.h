/// @file
/// The library's error classes: `logic_error` and its children
/// `length_error` and `out_of_range`.
///
/// These are the library's own classes, derived from `std::exception`; they
/// are not the standard `std::logic_error`, `std::length_error` or
/// `std::out_of_range` and do not derive from them. Their type information and
/// vtables are exported, so a client catches them across the shared-library
/// boundary as their own class, as `logic_error` or as `std::exception`, by
/// reference or by value.
#ifndef KEL_STD_ERRORS_H
#define KEL_STD_ERRORS_H

#include <kel_std/basic_string.h>
#include <kel_std/config.h>
#include <kel_std/throw_functions.h>

#include <exception>

namespace kel_std {

/// Base of the library's errors: a `std::exception` with a message string.
///
/// Layout: the `std::exception` base (its vtable pointer), then `message`:
/// offsets 0 and 4, 20 bytes in all, on 32-bit targets; 0 and 8, 32 bytes in
/// all, on 64-bit targets (Windows included).
/// The message always lives on the global heap, whatever allocator the text
/// came from, and every copy of an error owns a buffer of its own.
class KEL_STD_API logic_error : public std::exception {
public:
    /// The error text. Its allocator is always the global heap.
    string message;

    /// An error whose text is the `length` characters of `text` (NULs
    /// included), copied into a message buffer of its own on the global heap.
    /// Throws: allocation failures; nothing is left half-built or leaked.
    explicit logic_error(const string& text) : std::exception(), message() {
        message.assign(text.c_str(), text.length);
    }

    /// A copy with a message buffer of its own.
    /// Throws: allocation failures; nothing is left half-built or leaked.
    logic_error(const logic_error& other) : std::exception(other), message() {
        message.assign(other.message.c_str(), other.message.length);
    }

    /// Replaces the text with `other`'s. Throws: allocation failures, in which
    /// case the error keeps its text.
    logic_error& operator=(const logic_error& other) {
        if (this != &other) {
            std::exception::operator=(other);
            message = other.message;
        }
        return *this;
    }

    /// Releases the message buffer.
    ~logic_error() noexcept override = default;

    /// The message as a C string; text with a NUL inside reads up to that NUL.
    /// Throws: nothing.
    const char* what() const noexcept override { return message.c_str(); }
};

/// A request beyond the library's size limits; thrown by
/// `kel_throw_length_error` ("length error") and by string growth.
class KEL_STD_API length_error : public logic_error {
public:
    /// See `logic_error::logic_error(const string&)`.
    explicit length_error(const string& text) : logic_error(text) {}
    /// A copy of the same class with a message buffer of its own.
    length_error(const length_error& other) = default;
    /// Replaces the text with `other`'s.
    length_error& operator=(const length_error& other) = default;
};

/// A position outside a container's range; thrown by
/// `kel_throw_out_of_range` ("out of range error") for the container headers.
class KEL_STD_API out_of_range : public logic_error {
public:
    /// See `logic_error::logic_error(const string&)`.
    explicit out_of_range(const string& text) : logic_error(text) {}
    /// A copy of the same class with a message buffer of its own.
    out_of_range(const out_of_range& other) = default;
    /// Replaces the text with `other`'s.
    out_of_range& operator=(const out_of_range& other) = default;
};

} // namespace kel_std

#endif // KEL_STD_ERRORS_H
