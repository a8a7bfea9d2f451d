#pragma once
// Access to the real files from other public projects that some tests read.
#include <filesystem>
#include <optional>
#include <string>

namespace logwell::testing {

// The folder named by LOGWELL_FIXTURES, or nothing when it is not set or does not exist.
std::optional<std::filesystem::path> FixturesDir();

// The whole content of a file, read as bytes.
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace logwell::testing

// Skips the current test when the real fixtures are not available; otherwise binds `dir`.
#define LOGWELL_REQUIRE_FIXTURES(dir)                                           \
  const auto dir##_opt = ::logwell::testing::FixturesDir();                    \
  if (!dir##_opt) GTEST_SKIP() << "LOGWELL_FIXTURES is not set";                \
  const std::filesystem::path& dir = *dir##_opt
