#include "support/fixtures.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace logwell::testing {

std::optional<std::filesystem::path> FixturesDir() {
  const char* value = std::getenv("LOGWELL_FIXTURES");
  if (value == nullptr || *value == '\0') return std::nullopt;
  std::filesystem::path dir(value);
  if (!std::filesystem::is_directory(dir)) return std::nullopt;
  return dir;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace logwell::testing
