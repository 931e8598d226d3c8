#include "FuzzChecks.h"
#include "support/TestWav.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// Every input a fuzzer ever broke a reader with (fuzz/regressions/<target>/, minimised by
// `make fuzz`) and the whole seed corpus go through the targets' checks again here, in the
// sanitized test build, so a fixed fault cannot come back unnoticed.

namespace fuzz {
// Keeps the test names CTest lists (and their failure lines) free of pointer values.
void PrintTo(const FuzzTarget& target, std::ostream* os) {
    *os << target.name;
}
} // namespace fuzz

namespace {

namespace fs = std::filesystem;

class FuzzRegressions : public testing::TestWithParam<fuzz::FuzzTarget> {};

TEST_P(FuzzRegressions, SeedsAndMinimisedCrashesPassTheChecks) {
    const fuzz::FuzzTarget& target = GetParam();
    size_t seeds = 0;
    for (const char* root : {VOCALITH_FUZZ_SEEDS, VOCALITH_FUZZ_REGRESSIONS}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(fs::path(root) / target.name, ec)) {
            if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.')
                continue;
            seeds += root == std::string(VOCALITH_FUZZ_SEEDS);
            const std::string bytes = slurp(entry.path());
            EXPECT_EQ(target.check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                      "")
                << entry.path();
        }
    }
    // The seeds are made when engine_tests is built; none would mean nothing was checked.
    EXPECT_GE(seeds, 4u) << "seed corpus missing for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, testing::ValuesIn(fuzz::fuzzTargets()),
                         [](const testing::TestParamInfo<fuzz::FuzzTarget>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
