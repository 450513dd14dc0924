// Every input kept under tests/data/fuzz/<target>/ (what the fuzzers found,
// and edge cases made by hand) goes through the same target function as in
// the fuzzer programs. A target returns 0; a crash, a sanitizer report or a
// broken promise (the targets trap) fails the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzTargets.h"

namespace {

namespace fs = std::filesystem;
using tintery::fuzz::Target;

const fs::path kInputs = fs::path(TINTERY_TEST_DATA) / "fuzz";

std::vector<std::uint8_t> contentsOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> inputsOf(std::string_view target) {
  std::vector<fs::path> files;
  const fs::path folder = kInputs / std::string(target);
  if (!fs::is_directory(folder)) return files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FuzzRegression : public testing::TestWithParam<Target> {};

TEST_P(FuzzRegression, EveryKeptInputRunsCleanly) {
  const Target target = GetParam();
  for (const fs::path& file : inputsOf(target.name)) {
    SCOPED_TRACE(file.string());
    std::vector<std::uint8_t> bytes = contentsOf(file);
    // Never a null pointer, as libFuzzer never passes one.
    const std::uint8_t none = 0;
    EXPECT_EQ(target.entry(bytes.empty() ? &none : bytes.data(), bytes.size()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, testing::ValuesIn(tintery::fuzz::allTargets()),
                         [](const testing::TestParamInfo<Target>& info) {
                           return std::string(info.param.name);
                         });

// A folder whose name matches no target would be skipped without a word.
TEST(FuzzRegressionInputs, EveryFolderNamesATarget) {
  ASSERT_TRUE(fs::is_directory(kInputs));
  const auto targets = tintery::fuzz::allTargets();
  for (const fs::directory_entry& entry : fs::directory_iterator(kInputs)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(entry.is_directory()) << name;
    EXPECT_TRUE(std::any_of(targets.begin(), targets.end(),
                            [&](const Target& target) { return target.name == name; }))
        << name << " is not the name of a fuzz target";
  }
}

}  // namespace
