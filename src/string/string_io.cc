// Stream insertion and extraction for the library's string. Insertion hands
// the text to the standard inserter for const char*. Extraction is the
// standard extractor for char* done here, word for word: the same sentry,
// whitespace classification, width, end-of-input and failure rules, with the
// buffer's size as a bound of its own and an exact count of what was stored.

#include <kel_std/string_io.h>

#include <cstring>
#include <istream>
#include <locale>
#include <ostream>

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

namespace kel_std {
namespace {

// The word buffer: at most 1023 characters and the terminator.
const std::size_t word_buffer_size = 1024;

// Sets badbit without raising ios_base::failure even when the mask asks for
// badbit: after a stream buffer's exception the standard operators pass on
// that exception, not a failure of their own, and so does the caller.
void set_badbit_quietly(std::istream& in) {
    try {
        in.setstate(std::ios_base::badbit);
    } catch (const std::ios_base::failure&) {
        // The mask asked for an exception: the caller passes on the original.
    }
}

// Called from a handler of a stream buffer's exception, as the standard
// operators handle one: badbit, and the exception goes on only when the mask
// asks for badbit.
void stream_buffer_failed(std::istream& in) {
    const bool rethrow = (in.exceptions() & std::ios_base::badbit) != 0;
    set_badbit_quietly(in);
    if (rethrow)
        throw;
}

// Constructs the sentry, which skips whitespace when skipws is set, and
// returns whether the stream is ready. libstdc++'s sentry handles a stream
// buffer's exception itself (setting badbit, and rethrowing when the mask
// asks for badbit); libc++'s lets it through, to be handled here the same
// way. What leaves the sentry with a state that the mask asks to raise (its
// own failure from setstate, or libstdc++'s rethrow) goes on as it is.
bool sentry_ok(std::istream& in) {
    try {
        return static_cast<bool>(std::istream::sentry(in, false));
    } catch (...) {
        if ((in.rdstate() & in.exceptions()) != 0)
            throw;
        stream_buffer_failed(in);
    }
    return false;
}

// Reaches a stream buffer's get area, as the standard library's own
// extractors do: pointers to these protected members, named through a derived
// class, may be applied to any stream buffer.
struct get_area : std::streambuf {
    static const char* next(std::streambuf* b) { return (b->*&get_area::gptr)(); }
    static const char* end(std::streambuf* b) { return (b->*&get_area::egptr)(); }
    static void advance(std::streambuf* b, std::size_t n) { (b->*&get_area::gbump)(static_cast<int>(n)); }
};

// Extracts one word into word[0..limit - 1) as the standard char* extractor
// does into an array of `limit` characters, and returns the number of
// characters stored (a NUL follows them unless the stream buffer threw).
// `unbounded` says that the caller set no width below the buffer's size, in
// which case reaching the end of the input right after the last character
// that fits still counts as ending the word there.
std::size_t extract_word(std::istream& in, char* word, std::size_t limit, bool unbounded) {
    typedef std::istream::traits_type traits;
    std::size_t stored = 0;
    std::ios_base::iostate state = std::ios_base::goodbit;
    if (sentry_ok(in)) {
        try {
            const std::ctype<char>& ctype = std::use_facet<std::ctype<char>>(in.getloc());
            std::streambuf* const buffer = in.rdbuf();
            traits::int_type c = buffer->sgetc();
            while (stored < limit - 1 && !traits::eq_int_type(c, traits::eof()) &&
                   !ctype.is(std::ctype_base::space, traits::to_char_type(c))) {
                const char* const next = get_area::next(buffer);
                if (next != get_area::end(buffer)) {
                    // c is *next: take the run of word characters that the
                    // get area already holds in one piece. The stream buffer
                    // is asked for more exactly where a character-by-character
                    // loop would ask, so it fails at the same point too.
                    std::size_t room = limit - 1 - stored;
                    const std::size_t held = static_cast<std::size_t>(get_area::end(buffer) - next);
                    if (held < room)
                        room = held;
                    const char* const stop = ctype.scan_is(std::ctype_base::space, next, next + room);
                    const std::size_t run = static_cast<std::size_t>(stop - next);
                    std::memcpy(word + stored, next, run);
                    stored += run;
                    get_area::advance(buffer, run);
                    c = buffer->sgetc();
                } else {
                    // No get area (an unbuffered stream buffer): one by one.
                    word[stored++] = traits::to_char_type(c);
                    c = buffer->snextc();
                }
            }
            if (traits::eq_int_type(c, traits::eof()) && (stored < limit - 1 || unbounded))
                state |= std::ios_base::eofbit;
            word[stored] = '\0';
            in.width(0);
        }
#if defined(__GLIBCXX__)
        catch (abi::__forced_unwind&) {
            // Thread cancellation must go on whatever the mask says.
            set_badbit_quietly(in);
            throw;
        }
#endif
        catch (...) {
            stream_buffer_failed(in);
        }
    }
    if (stored == 0)
        state |= std::ios_base::failbit;
    if (state != std::ios_base::goodbit)
        in.setstate(state); // may throw, as the mask asks
    return stored;
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
    // Only the first `stored` bytes are ever read back, so the buffer needs no
    // clearing: bytes the extraction did not write never reach the string.
    char word[word_buffer_size];
    const std::streamsize width = in.width();
    const bool unbounded = width <= 0 || width > static_cast<std::streamsize>(word_buffer_size);
    const std::size_t limit = unbounded ? word_buffer_size : static_cast<std::size_t>(width);
    const std::size_t stored = extract_word(in, word, limit, unbounded);
    // The text ends at the first NUL: NULs are word characters to the
    // extractor, but not part of a C string.
    const void* const nul = stored != 0 ? std::memchr(word, '\0', stored) : nullptr;
    const std::size_t length = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - word) : stored;
    str.assign(word, static_cast<unsigned int>(length));
    return in;
}

} // namespace kel_std
