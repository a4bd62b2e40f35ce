// The sequence target's entry point and its per-container parts.
#ifndef KEL_STD_FUZZ_SEQUENCE_FUZZER_H
#define KEL_STD_FUZZ_SEQUENCE_FUZZER_H

#include <fuzzer/FuzzedDataProvider.h>

namespace kel_test {
struct vector_family;
struct deque_family;
struct list_family;
struct forward_list_family;
} // namespace kel_test

namespace kel_fuzz {

// Runs the model of Family (a family of tests/support/sequence_model.h) on
// element kind `element` (0 to 4) with values below `key_range`, reading
// every operation from `data`. Instantiated in sequence_family_fuzzer.cc,
// once per family.
template <class Family>
void run_sequence_family(FuzzedDataProvider& data, int element, int key_range);

} // namespace kel_fuzz

#endif
