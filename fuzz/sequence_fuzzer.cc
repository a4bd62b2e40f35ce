// Drives the four sequence containers with operations decoded from the input
// (the model run of the unit tests, tests/support/sequence_model.h): every
// constructor, assignment and modifier, on ours and on the standard container
// of the same kind in lock step, with the contents, every answer, the
// elements alive and the verifier checked after each step. The first byte
// picks the container and the element kind, the second the value range;
// every later choice is read from the input. The containers are those of the
// families in sequence_model.h.
#include "fuzz_source.h"
#include "support/sequence_model.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

template <class Family, class Element>
void run(FuzzedDataProvider& data, int key_range) {
    kel_test::fuzz_source src(data, key_range);
    kel_test::sequence_run<kel_test::sequence_kind<Family, Element>> model(src, [](const std::string& what) {
        std::fprintf(stderr, "sequence fuzzer: %s<%s>: %s\n", Family::name, Element::name, what.c_str());
        std::abort();
    });
    model.run(1L << 20, [&data] { return data.remaining_bytes() > 0; });
}

template <class Family>
void run_family(FuzzedDataProvider& data, int element, int key_range) {
    switch (element) {
    case 0:
        return run<Family, kel_test::int_element>(data, key_range);
    case 1:
        return run<Family, kel_test::string_element>(data, key_range);
    case 2:
        return run<Family, kel_test::tagged_element>(data, key_range);
    case 3:
        return run<Family, kel_test::move_only_element>(data, key_range);
    default:
        return run<Family, kel_test::tracked_element>(data, key_range);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const int kind = data.ConsumeIntegralInRange<int>(0, 19);
    const int key_range = data.ConsumeIntegralInRange<int>(1, 64);
    switch (kind / 5) {
    case 0:
        run_family<kel_test::vector_family>(data, kind % 5, key_range);
        break;
    case 1:
        run_family<kel_test::deque_family>(data, kind % 5, key_range);
        break;
    case 2:
        run_family<kel_test::list_family>(data, kind % 5, key_range);
        break;
    default:
        run_family<kel_test::forward_list_family>(data, kind % 5, key_range);
        break;
    }
    return 0;
}
