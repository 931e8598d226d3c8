#include "FuzzChecks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Every input a fuzzer ever broke a reader with (fuzz/regressions/<target>/, minimised by
// `make fuzz`) and the whole seed corpus go through the targets' checks again here, in the
// sanitized test build, so a fixed fault cannot come back unnoticed.

namespace fuzz {
// Test names and failure messages show the target's name.
void PrintTo(const FuzzTarget& target, std::ostream* os) {
    *os << target.name;
}
} // namespace fuzz

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
            files.push_back(entry.path());
    return files;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FuzzRegressions : public testing::TestWithParam<fuzz::FuzzTarget> {};

TEST_P(FuzzRegressions, SeedsAndMinimisedCrashesPassTheChecks) {
    const fuzz::FuzzTarget& target = GetParam();
    const std::vector<fs::path> seeds = filesIn(fs::path(VOCALITH_FUZZ_SEEDS) / target.name);
    // The seeds are made when engine_tests is built; none would mean nothing was checked.
    ASSERT_GE(seeds.size(), 4u) << "seed corpus missing for " << target.name;
    std::vector<fs::path> files = filesIn(fs::path(VOCALITH_FUZZ_REGRESSIONS) / target.name);
    files.insert(files.end(), seeds.begin(), seeds.end());
    for (const fs::path& file : files) {
        const std::string bytes = contents(file);
        EXPECT_EQ(target.check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "")
            << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, testing::ValuesIn(fuzz::fuzzTargets()),
                         [](const testing::TestParamInfo<fuzz::FuzzTarget>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
