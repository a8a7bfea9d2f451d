#pragma once
// Reading a track file whole, and writing one in one piece.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace logwell {

class Ui;

inline constexpr std::string_view kReadTrackLogCaption = "Read track log";
inline constexpr std::string_view kSaveTrackLogCaption = "Save track log";

// The whole file, or nothing after one message (caption "Read track log"): "Error opening track
// log file", "File is empty", "File buffer memory allocation", "Track log file read error".
std::optional<std::string> ReadTrackFileBytes(const std::filesystem::path& path, Ui& ui);

// Writes the file atomically; a failure shows "File write error" with the caption. True on
// success.
bool WriteTrackFileBytes(const std::filesystem::path& path, std::string_view bytes, Ui& ui,
                         std::string_view caption);

}  // namespace logwell
