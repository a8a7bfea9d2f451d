#pragma once
// Reading an airspace file whole (files are written with base/atomic_file.h).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace logwell {

class Ui;

inline constexpr std::string_view kReadCtrFileCaption = "Reading CTR file";

// The bytes of an airspace file; nothing after a box captioned "Reading CTR file" ("Error
// opening CTR file", "File is empty", "CTR file read error").
std::optional<std::string> LoadAirspaceFile(const std::filesystem::path& path, Ui& ui);

}  // namespace logwell
