#pragma once
// GPSBabel (Debian package gpsbabel) as an independent party in tests.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace logwell::testing {

// The gpsbabel program on PATH, or nothing.
std::optional<std::filesystem::path> FindGpsbabel();

// Runs gpsbabel with these arguments (its stderr discarded); true when it exits with 0.
bool RunGpsbabel(const std::filesystem::path& gpsbabel, const std::vector<std::string>& args);

}  // namespace logwell::testing
