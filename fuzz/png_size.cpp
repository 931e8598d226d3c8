// libFuzzer entry point; the invariants are in checks/, shared with engine_tests.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::failOnBroken(fuzz::png_size::check(data, size));
    return 0;
}
