#pragma once
// Reading an airspace file whole, and writing a built text to a file atomically: a temporary
// file in the same folder, flushed, then renamed over the target, so that no file is ever left
// half written.
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

// Writes `text` to `path` through a temporary file; false when any step failed (the target is
// then unchanged and the temporary file removed).
bool WriteAirspaceFileAtomically(const std::filesystem::path& path, std::string_view text);

}  // namespace logwell
