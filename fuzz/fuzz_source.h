// The source of choices of the model runs (tests/support/model_source.h),
// read from a fuzzer's input.
#ifndef KEL_STD_FUZZ_FUZZ_SOURCE_H
#define KEL_STD_FUZZ_FUZZ_SOURCE_H

#include "support/model_source.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace kel_test {

class fuzz_source : public source {
public:
    fuzz_source(FuzzedDataProvider& data, int key_range) : data_(data), key_range_(key_range) {}
    int below(int n) override { return data_.ConsumeIntegralInRange<int>(0, n - 1); }
    int int_key() override { return data_.ConsumeIntegralInRange<int>(0, key_range_ - 1); }

private:
    FuzzedDataProvider& data_;
    int key_range_;
};

} // namespace kel_test

#endif
