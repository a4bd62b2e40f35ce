// The string's stream operators against the standard C-string operators,
// each run on its own copy of the same stream buffer: input bytes, widths,
// skipws, adjustment, fill, unitbuf, entry states and exception masks from
// the fuzzer, and buffers that fail or throw at a chosen position. The
// differences the string operators document are part of the expectation:
// extraction takes at most 1023 characters whatever the width, and insertion
// into a stream that is not good adds badbit and writes nothing. The target
// string's manager can fail its next allocation, which must leave the string
// as it was after the stream has done its part.
#include "support/recording_manager.h"

#include <kel_std/string_io.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ios>
#include <istream>
#include <limits>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

using kel_std::allocator;
using kel_test::manager_failure;
using kel_test::recording_manager;
typedef kel_std::string kstring;

namespace {

struct buffer_failure {};

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "streams fuzzer: %s\n", what);
        std::abort();
    }
}

const std::size_t never = std::numeric_limits<std::size_t>::max();

// Serves `text` from `start` in get areas of up to `chunk` characters. At
// position `stop` it throws, or reports the end of the input.
class in_buffer : public std::streambuf {
public:
    in_buffer(const std::string& text, std::size_t start, std::size_t stop, bool throws, std::size_t chunk)
        : text_(text.begin(), text.end()), stop_(stop), throws_(throws), chunk_(chunk) {
        setg(text_.data(), text_.data() + start, text_.data() + start);
    }
    std::size_t position() const { return static_cast<std::size_t>(gptr() - text_.data()); }

protected:
    int_type underflow() override {
        const std::size_t pos = position();
        if (pos == stop_ && throws_)
            throw buffer_failure();
        if (pos >= std::min(stop_, text_.size()))
            return traits_type::eof();
        setg(text_.data(), text_.data() + pos, text_.data() + std::min({pos + chunk_, stop_, text_.size()}));
        return traits_type::to_int_type(text_[pos]);
    }

private:
    std::vector<char> text_;
    std::size_t stop_;
    bool throws_;
    std::size_t chunk_;
};

// Collects output through a put area of up to `chunk` characters; writing the
// character at position `stop` throws or fails.
class out_buffer : public std::streambuf {
public:
    out_buffer(std::size_t stop, bool throws, std::size_t chunk) : stop_(stop), throws_(throws), chunk_(chunk) {
        open();
    }
    std::string written() const { return out_ + std::string(pbase(), pptr()); }

protected:
    int_type overflow(int_type c) override {
        out_.append(pbase(), pptr());
        open();
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        if (out_.size() >= stop_) {
            if (throws_)
                throw buffer_failure();
            return traits_type::eof();
        }
        out_ += traits_type::to_char_type(c);
        open();
        return c;
    }
    int sync() override {
        out_.append(pbase(), pptr());
        open();
        return 0;
    }

private:
    void open() { setp(area_, area_ + std::min(chunk_, stop_ - std::min(stop_, out_.size()))); }

    std::string out_;
    std::size_t stop_;
    bool throws_;
    std::size_t chunk_;
    char area_[64];
};

enum outcome { returned, stream_failure, buffer_threw, manager_threw };

outcome run(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::ios_base::failure&) {
        return stream_failure;
    } catch (const buffer_failure&) {
        return buffer_threw;
    } catch (const manager_failure&) {
        return manager_threw;
    }
    return returned;
}

// Puts a stream in the given entry state, with the mask set afterwards so
// that setting it does not throw already.
void prepare(std::ios& s, std::ios_base::iostate state, std::ios_base::iostate mask, std::streamsize width) {
    s.exceptions(std::ios_base::goodbit);
    s.clear(state & ~mask);
    s.exceptions(mask);
    s.width(width);
}

std::ios_base::iostate bits(unsigned v) {
    return ((v & 1) ? std::ios_base::eofbit : std::ios_base::goodbit) |
           ((v & 2) ? std::ios_base::failbit : std::ios_base::goodbit) |
           ((v & 4) ? std::ios_base::badbit : std::ios_base::goodbit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string text = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 3000));
    const bool in_fails = in.ConsumeBool();
    const std::size_t in_stop = in_fails ? in.ConsumeIntegralInRange<std::size_t>(0, text.size()) : never;
    const bool in_throws = in.ConsumeBool();
    const std::size_t in_chunk = in.ConsumeIntegralInRange<std::size_t>(1, 64);

    recording_manager manager;
    {
        kstring s{allocator<char>(&manager)};
        const kstring bufferless;
        in_buffer ours_buf(text, 0, in_stop, in_throws, in_chunk);
        std::istream ours(&ours_buf);
        const std::streamsize widths[] = {0, -1, 1, 2, 3, 4, 7, 16, 1023, 1024, 1025, 1 << 20};

        while (in.remaining_bytes() > 0) {
            const std::ios_base::iostate state =
                in.ConsumeBool() ? std::ios_base::goodbit : bits(in.ConsumeIntegral<unsigned>());
            const std::ios_base::iostate mask = bits(in.ConsumeIntegral<unsigned>());
            const std::string old_text(s.c_str(), s.length);
            char* const old_data = s.data;
            const unsigned int old_capacity = s.capacity;

            if (in.ConsumeBool()) {
                // Extraction: ours continues where the last one stopped; the
                // reference starts afresh at the same position.
                const std::streamsize width = widths[in.ConsumeIntegralInRange<std::size_t>(0, 11)];
                const bool skipws = in.ConsumeBool();
                const bool inject = in.ConsumeBool();
                in_buffer ref_buf(text, ours_buf.position(), in_stop, in_throws, in_chunk);
                std::istream ref(&ref_buf);
                for (std::istream* stream : {&ours, &ref}) {
                    prepare(*stream, state, mask, width);
                    if (skipws)
                        stream->setf(std::ios_base::skipws);
                    else
                        stream->unsetf(std::ios_base::skipws);
                }
                // Where the word starts: NULs are word characters, so what
                // the reference took is counted from there, not by strlen.
                std::size_t word_start = ours_buf.position();
                if (ours.good() && skipws)
                    while (word_start < std::min(in_stop, text.size()) &&
                           std::isspace(static_cast<unsigned char>(text[word_start])))
                        ++word_start;
                std::vector<char> word(text.size() + 1, '\0');
                manager.fail_at = inject ? 1 : 0;
                const outcome got = run([&] { ours >> s; });
                manager.fail_at = 0;
                const outcome ref_got = run([&] { ref >> word.data(); });

                // A longer word than 1023 characters comes in pieces when the
                // width does not bound it already; the first piece never
                // reaches the end of the input or a failing buffer position.
                // The string's text ends at the first NUL of what was taken.
                const std::size_t taken = ref_buf.position() - word_start;
                const bool piece = (width <= 0 || width > 1024) && taken > 1023;
                const std::string word_text(word.begin(),
                                            std::find(word.begin(), word.begin() + (piece ? 1023 : taken), '\0'));
                const outcome stream_outcome = piece ? returned : ref_got;
                const bool assigns = stream_outcome == returned;
                const bool refused = assigns && inject && word_text.size() >= old_capacity;
                require(got == (refused ? manager_threw : stream_outcome), "outcome differs from the reference");
                if (assigns && !refused) {
                    require(std::string(s.c_str(), s.length) == word_text, "extracted text differs");
                    require(word_text.size() >= old_capacity || s.data == old_data, "a fitting word took a new buffer");
                } else {
                    require(std::string(s.c_str(), s.length) == old_text && s.data == old_data &&
                                s.capacity == old_capacity,
                            "the string changed although the extraction threw");
                }
                if (piece) {
                    require(ours.rdstate() == std::ios_base::goodbit && ours.width() == 0, "state after a piece");
                    require(ours_buf.position() == word_start + 1023, "position after a piece");
                } else {
                    require(ours.rdstate() == ref.rdstate(), "state differs from the reference");
                    require(ours.width() == ref.width(), "width differs from the reference");
                    require(ours_buf.position() == ref_buf.position(), "position differs from the reference");
                }
            } else {
                // Insertion, into fresh buffers that may fail or throw.
                const kstring& source = in.ConsumeBool() ? s : bufferless;
                const std::streamsize width = in.ConsumeIntegralInRange<std::streamsize>(-1, 40);
                const char fill = in.ConsumeIntegral<char>();
                const std::ios_base::fmtflags adjust[] = {std::ios_base::fmtflags(), std::ios_base::left,
                                                          std::ios_base::right, std::ios_base::internal};
                const std::ios_base::fmtflags flags =
                    adjust[in.ConsumeIntegralInRange<unsigned>(0, 3)] |
                    (in.ConsumeBool() ? std::ios_base::unitbuf : std::ios_base::fmtflags());
                const bool out_fails = in.ConsumeBool();
                const std::size_t out_stop = out_fails ? in.ConsumeIntegralInRange<std::size_t>(0, 60) : never;
                const bool out_throws = in.ConsumeBool();
                const std::size_t out_chunk = in.ConsumeIntegralInRange<std::size_t>(0, 64);
                out_buffer ours_out(out_stop, out_throws, out_chunk), ref_out(out_stop, out_throws, out_chunk);
                std::ostream o(&ours_out), r(&ref_out);
                for (std::ostream* stream : {&o, &r}) {
                    prepare(*stream, state, mask, width);
                    stream->flags(flags);
                    stream->fill(fill);
                }
                const bool good = o.good();
                const std::string before(source.c_str(), source.length);
                const outcome got = run([&] { o << source; });
                const outcome ref_got = run([&] { r << source.c_str(); });
                if (good) {
                    require(got == ref_got, "outcome differs from the reference");
                    require(ours_out.written() == ref_out.written(), "output differs from the reference");
                    require(o.rdstate() == r.rdstate() && o.width() == r.width(), "state or width differs");
                } else {
                    require(ours_out.written().empty() && o.width() == width, "a stream that was not good was used");
                    require(o.rdstate() == ((state & ~mask) | std::ios_base::badbit), "badbit not added");
                    require(got == ((mask & std::ios_base::badbit) ? stream_failure : returned), "badbit mask");
                }
                require(std::string(source.c_str(), source.length) == before, "insertion changed the string");
            }
        }
    }
    require(manager.live_blocks() == 0 && manager.bad_releases == 0, "the string's buffers leaked or went back twice");
    return 0;
}
