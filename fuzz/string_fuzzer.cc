// Sequences of assignments to three strings (two share a recording memory
// manager, one uses the global heap) against std::string models: texts with
// NULs, parts of a string's own text, other strings' texts, C strings,
// oversized requests, copies and moves, and errors built from the texts.
// Before any step the manager can be told to fail its next allocation; a step
// that fails must leave the string exactly as it was. Nothing may leak: the
// manager's blocks are counted, the heap's are LeakSanitizer's business.
#include "support/recording_manager.h"

#include <kel_std/basic_string.h>
#include <kel_std/errors.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

using kel_std::allocator;
using kel_test::manager_failure;
using kel_test::recording_manager;
typedef kel_std::string kstring;

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "string fuzzer: %s\n", what);
        std::abort();
    }
}

std::string text_of(const kstring& s) {
    return std::string(s.c_str(), s.length);
}

void check_record(const kstring& s, const std::string& model) {
    require(text_of(s) == model, "text differs from the model");
    if (s.data == nullptr) {
        require(s.length == 0 && s.capacity == 0, "no buffer but a length or capacity");
        require(s.c_str() != nullptr && *s.c_str() == '\0', "c_str() of a string without a buffer");
        return;
    }
    require(s.capacity % 16 == 0 && s.length < s.capacity, "capacity");
    require(s.data[s.length] == '\0', "no NUL behind the text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    recording_manager manager;
    {
        kstring s[3] = {kstring(allocator<char>(&manager)), kstring(), kstring(allocator<char>(&manager))};
        std::string model[3];
        while (in.remaining_bytes() > 0) {
            const unsigned op = in.ConsumeIntegralInRange<unsigned>(0, 7);
            const unsigned i = in.ConsumeIntegralInRange<unsigned>(0, 2);
            const unsigned j = in.ConsumeIntegralInRange<unsigned>(0, 2);
            kstring& t = s[i];
            const bool inject = in.ConsumeBool() && t.alloc.manager != nullptr;
            manager.fail_at = inject ? 1 : 0;

            char* const old_data = t.data;
            const unsigned int old_capacity = t.capacity;
            char* const source_data = s[j].data;
            std::string wanted = model[i]; // the text the step asks for
            bool allocates = false;        // a new buffer is due
            bool oversized = false;        // length_error is due
            bool steals = false;           // s[j]'s buffer moves over
            const auto assign = [&](const char* p, std::size_t n) {
                allocates = n >= old_capacity;
                t.assign(p, static_cast<unsigned int>(n));
            };
            bool threw_failure = false, threw_length = false;
            try {
                switch (op) {
                case 0:
                case 1: // fresh characters, NULs included
                    wanted = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, op == 0 ? 40 : 600));
                    assign(wanted.data(), wanted.size());
                    break;
                case 2: { // part of its own text, overlapping it
                    const std::size_t from = in.ConsumeIntegralInRange<std::size_t>(0, model[i].size());
                    wanted = model[i].substr(from, in.ConsumeIntegralInRange<std::size_t>(0, model[i].size() - from));
                    assign(t.c_str() + from, wanted.size());
                    break;
                }
                case 3: // another string's text, or its own
                    wanted = model[j];
                    assign(s[j].c_str(), s[j].length);
                    break;
                case 4: { // a C string: up to the first NUL
                    const std::string bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 40));
                    wanted = bytes.c_str();
                    allocates = wanted.size() >= old_capacity;
                    t.assign(bytes.c_str());
                    break;
                }
                case 5: { // beyond the limit: the source is never read
                    unsigned int n = 0xFFFFFFF0u + in.ConsumeIntegralInRange<unsigned int>(0, 15);
                    if (inject && in.ConsumeBool())
                        n = 0xFFFFFFEFu; // the largest buffer, which the manager refuses
                    oversized = n != 0xFFFFFFEFu;
                    allocates = !oversized;
                    const char* volatile never_read = "x";
                    t.assign(never_read, n);
                    require(false, "an oversized request succeeded");
                    break;
                }
                case 6: { // copy or move assignment
                    wanted = model[j];
                    const bool move = in.ConsumeBool();
                    if (i != j) {
                        steals = move && t.alloc.manager == s[j].alloc.manager;
                        allocates = !steals && s[j].length >= old_capacity;
                    }
                    if (move)
                        t = std::move(s[j]);
                    else
                        t = s[j];
                    break;
                }
                default: { // errors made from the text: heap copies of their own
                    const kel_std::length_error e(t);
                    const kel_std::logic_error copy(e);
                    require(e.message.alloc.manager == nullptr && e.message.length == t.length &&
                                std::memcmp(e.message.c_str(), t.c_str(), t.length) == 0 && e.message.data != t.data,
                            "an error's message is not a heap copy of the text");
                    require(std::strcmp(copy.what(), t.c_str()) == 0 && copy.what() != e.what(), "an error's copy");
                    break;
                }
                }
            } catch (const manager_failure&) {
                threw_failure = true;
            } catch (const kel_std::length_error& e) {
                threw_length = std::strcmp(e.what(), "length error") == 0;
                require(threw_length, "length_error with the wrong text");
            }
            manager.fail_at = 0;

            require(threw_length == oversized, "length_error exactly for oversized requests");
            require(threw_failure == (inject && allocates), "the manager failed exactly when it was asked to");
            if (threw_failure || threw_length) {
                require(t.data == old_data && t.capacity == old_capacity, "a failed step changed the buffer");
            } else {
                model[i] = wanted;
                require(steals || t.capacity >= old_capacity, "a buffer shrank");
                if (steals) {
                    require(t.data == source_data && s[j].data == nullptr, "a move between strings of one manager");
                    model[j].clear();
                } else if (!allocates) {
                    require(t.data == old_data, "a fitting text did not reuse the buffer");
                } else {
                    require(t.data != old_data, "no new buffer when the text did not fit");
                    for (unsigned int k = t.length; k < t.capacity; ++k)
                        require(t.data[k] == '\0', "a fresh buffer is not zero-filled");
                }
            }
            for (int k = 0; k < 3; ++k)
                check_record(s[k], model[k]);
        }
    }
    require(manager.live_blocks() == 0, "the manager still holds blocks");
    require(manager.bad_releases == 0, "a block went back twice or to the wrong manager");
    return 0;
}
