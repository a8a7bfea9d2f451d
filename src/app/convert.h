#pragma once
// `logwell-cli convert IN OUT`: any supported track, waypoint or airspace file to another
// format, every item read written, no filter applied. What IN holds is decided by its
// content where its name is ambiguous; OUT's name gives the output format.
#include <filesystem>

namespace logwell {

class Ui;

enum class FileContent { Track, Waypoints, Airspace };

// What a file to be converted holds, from its name and its first bytes.
FileContent ClassifyConversionInput(const std::filesystem::path& input, std::string_view bytes,
                                    const std::filesystem::path& output);

// Returns the process exit code: 0 written, 1 failed (after one message through `ui`).
int ConvertAnyFile(const std::filesystem::path& input, const std::filesystem::path& output,
                   Ui& ui);

}  // namespace logwell
