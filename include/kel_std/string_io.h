/// @file
/// Standard-stream insertion and extraction for the library's string.
#ifndef KEL_STD_STRING_IO_H
#define KEL_STD_STRING_IO_H

#include <kel_std/basic_string.h>
#include <kel_std/config.h>

#include <iosfwd>

namespace kel_std {

/// Writes `str` to `out` exactly as `out << str.c_str()` would.
///
/// What is written is the text up to its first NUL (a string with a NUL
/// inside is cut there); a string without a buffer writes nothing but is still
/// padded. Width, fill, adjustment, tied streams and `unitbuf` follow the
/// standard inserter for `const char*`; the width is reset to 0 after a write
/// from a good stream (unless the stream buffer throws).
///
/// Deliberately unlike the standard inserter: a stream that is not good on
/// entry receives nothing and keeps its width, but has `badbit` added to its
/// state (a stream with only `eofbit` or `failbit` set ends up bad as well).
///
/// Throws: what the stream's exception mask asks for; an exception from the
/// stream buffer sets `badbit` and passes on only when the mask includes
/// `badbit`. The string is never changed. Allocates nothing.
KEL_STD_API std::ostream& operator<<(std::ostream& out, const string& str);

/// Reads one whitespace-delimited word from `in` into `str`.
///
/// Extraction is that of the standard extractor for `char*` into a
/// 1024-byte word buffer on the stack: leading whitespace is skipped when
/// `skipws` is set; the word ends at whitespace (as the stream's locale
/// classifies it), at the end of the input, or after width - 1 characters
/// when the caller has set a width from 1 to 1024; the width is then reset
/// to 0, `eofbit` is set at the end of the input and `failbit` when no
/// character was taken. The text up to the buffer's first NUL is then
/// assigned to `str`, replacing its text and reusing its buffer when the word
/// fits.
///
/// Long words: one extraction takes at most 1023 characters, also when the
/// caller's width is 0 or above 1024. The rest of a longer word stays in the
/// stream and is read by the next extraction; nothing is ever written beyond
/// the buffer.
///
/// The string becomes empty whenever no character was stored (end of input,
/// a stream not good on entry, whitespace next while `skipws` is off). If the
/// stream buffer throws part-way, `badbit` is set; the exception passes on
/// (and the string keeps its text) only when the mask includes `badbit`,
/// otherwise the string receives the characters stored before it.
///
/// Throws: what the stream's exception mask asks for, with the string
/// unchanged; `length_error` never (words are short); allocation failures
/// from the string's buffer, with the word consumed and the string unchanged.
/// Allocates nothing when the word fits the string's `capacity`.
KEL_STD_API std::istream& operator>>(std::istream& in, string& str);

} // namespace kel_std

#endif // KEL_STD_STRING_IO_H
