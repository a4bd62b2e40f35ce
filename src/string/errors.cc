// The functions that raise the library's range and length errors.

#include <kel_std/errors.h>

namespace kel_std {

// Each builds its text in a temporary heap string and throws an error made
// from it; the error copies the text into a buffer of its own, and the
// temporary is released as the exception leaves the function.

void kel_throw_out_of_range() {
    string text;
    text.assign("out of range error", 18);
    throw out_of_range(text);
}

void kel_throw_length_error() {
    string text;
    text.assign("length error", 12);
    throw length_error(text);
}

} // namespace kel_std
