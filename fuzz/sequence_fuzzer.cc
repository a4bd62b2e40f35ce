// Drives the four sequence containers with operations decoded from the input
// (the model run of the unit tests, tests/support/sequence_model.h): every
// constructor, assignment and modifier, on ours and on the standard container
// of the same kind in lock step, with the contents, every answer, the
// elements alive and the verifier checked after each step. The first byte
// picks the container and the element kind, the second the value range;
// every later choice is read from the input. Each container's part is in
// sequence_family_fuzzer.cc.
#include "sequence_fuzzer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const int kind = data.ConsumeIntegralInRange<int>(0, 19);
    const int key_range = data.ConsumeIntegralInRange<int>(1, 64);
    switch (kind / 5) {
    case 0:
        kel_fuzz::run_sequence_family<kel_test::vector_family>(data, kind % 5, key_range);
        break;
    case 1:
        kel_fuzz::run_sequence_family<kel_test::deque_family>(data, kind % 5, key_range);
        break;
    case 2:
        kel_fuzz::run_sequence_family<kel_test::list_family>(data, kind % 5, key_range);
        break;
    default:
        kel_fuzz::run_sequence_family<kel_test::forward_list_family>(data, kind % 5, key_range);
        break;
    }
    return 0;
}
