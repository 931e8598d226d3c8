// libFuzzer entry point; the invariants are in checks/, shared with engine_tests.
#include "FuzzChecks.h"
#include "engine/memo/MemoInterop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::failOnBroken(checkTextGridImport(data, size));
    return 0;
}
