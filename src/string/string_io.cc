// Stream insertion and extraction for the library's string, on top of the
// standard C-string operators.

#include <kel_std/string_io.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <istream>
#include <ostream>

namespace kel_std {
namespace {

const std::streamsize word_buffer_size = 1024;
const char full_word_mark = '\x01';

// Sets badbit the way the standard operators do after catching an exception
// from the stream buffer: the state is set either way, and the original
// exception goes on only when the stream's mask includes badbit.
void set_badbit_after(std::istream& in, const std::exception_ptr& original) {
    const bool rethrow = (in.exceptions() & std::ios_base::badbit) != 0;
    try {
        in.setstate(std::ios_base::badbit);
    } catch (const std::ios_base::failure&) {
        // The mask asked for an exception: the original one is passed on below.
    }
    if (rethrow)
        std::rethrow_exception(original);
}

} // namespace

std::ostream& operator<<(std::ostream& out, const string& str) {
    if (!out.good()) {
        // Unlike the standard inserter, which leaves a failed stream as it is,
        // a write to a stream that is not good is reported as a bad stream.
        out.setstate(std::ios_base::badbit);
        return out;
    }
    return out << str.c_str();
}

std::istream& operator>>(std::istream& in, string& str) {
    // Cleared first: the text is taken up to the first NUL, so bytes that the
    // extraction did not write (nothing stored, or a stream buffer that threw
    // before the terminator) never become part of the string.
    char word[word_buffer_size];
    std::memset(word, 0, sizeof word);
    // A mark in the last byte, which only the terminator behind a word of the
    // full 1023 characters overwrites. The word may itself hold NULs, so its
    // C-string length cannot tell whether the extractor stopped at the bound.
    word[word_buffer_size - 1] = full_word_mark;

    // The char* extractor trusts the width alone to bound its writes. Bound
    // it by the buffer whenever the caller's width would not.
    const std::streamsize caller_width = in.width();
    const bool bounded_here = caller_width <= 0 || caller_width > word_buffer_size;
    if (bounded_here)
        in.width(word_buffer_size);
    try {
        in >> static_cast<char*>(word);
    } catch (...) {
        // The extractor leaves the width alone when it throws: so do we.
        if (in.width() != 0)
            in.width(caller_width);
        throw;
    }
    // The extractor resets the width after storing a word and leaves it when
    // its sentry fails; restore the caller's value in the second case.
    if (in.width() != 0)
        in.width(caller_width);

    // The text ends at the first NUL among the characters the extractor may
    // have stored; the mark is never part of it.
    const std::size_t n = static_cast<std::size_t>(std::find(word, word + word_buffer_size - 1, '\0') - word);
    const bool full_word = word[word_buffer_size - 1] == '\0';
    if (bounded_here && full_word && in.good()) {
        // The unbounded extractor would have looked one character further
        // and set eofbit if the word ended exactly at the end of the input.
        bool at_end = false;
        try {
            at_end = std::istream::traits_type::eq_int_type(in.rdbuf()->sgetc(), std::istream::traits_type::eof());
        } catch (...) {
            set_badbit_after(in, std::current_exception());
        }
        if (at_end)
            in.setstate(std::ios_base::eofbit);
    }
    str.assign(word, static_cast<unsigned int>(n));
    return in;
}

} // namespace kel_std
