// One container of the sequence target (fuzz_sequence, entry point in
// sequence_fuzzer.cc), compiled once per container with
// KEL_FUZZ_SEQUENCE_FAMILY naming its family in sequence_model.h: the four
// model instantiations build side by side instead of in one long compile.
#include "fuzz_source.h"
#include "sequence_fuzzer.h"
#include "support/sequence_model.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef KEL_FUZZ_SEQUENCE_FAMILY
#error "KEL_FUZZ_SEQUENCE_FAMILY names the container family this file is compiled for"
#endif

namespace kel_fuzz {
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

} // namespace

template <class Family>
void run_sequence_family(FuzzedDataProvider& data, int element, int key_range) {
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

template void run_sequence_family<kel_test::KEL_FUZZ_SEQUENCE_FAMILY>(FuzzedDataProvider&, int, int);

} // namespace kel_fuzz
