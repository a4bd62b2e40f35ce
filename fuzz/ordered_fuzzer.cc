// Drives the four ordered containers with operations decoded from the input
// (the model run of the unit tests, tests/support/ordered_model.h): every
// modifier and lookup, on ours and on the standard container of the same
// kind in lock step, with the contents, every answer and the tree verifier
// checked after each step. The first byte picks the container kind, the
// second the key range; every later choice is read from the input.
#include "fuzz_source.h"
#include "support/ordered_model.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

template <class Kind>
void run(FuzzedDataProvider& data, int key_range) {
    kel_test::fuzz_source src(data, key_range);
    kel_test::model_run<Kind> model(src, [](const std::string& what) {
        std::fprintf(stderr, "ordered fuzzer: %s\n", what.c_str());
        std::abort();
    });
    model.run(1L << 20, [&data] { return data.remaining_bytes() > 0; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const int kind = data.ConsumeIntegralInRange<int>(0, 6);
    const int key_range = data.ConsumeIntegralInRange<int>(1, 64);
    switch (kind) {
    case 0:
        run<kel_test::int_set>(data, key_range);
        break;
    case 1:
        run<kel_test::tagged_multiset>(data, key_range);
        break;
    case 2:
        run<kel_test::string_set>(data, key_range);
        break;
    case 3:
        run<kel_test::int_map>(data, key_range);
        break;
    case 4:
        run<kel_test::string_map>(data, key_range);
        break;
    case 5:
        run<kel_test::int_multimap>(data, key_range);
        break;
    default:
        run<kel_test::string_multimap>(data, key_range);
        break;
    }
    return 0;
}
