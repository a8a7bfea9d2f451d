#pragma once
// `logwell-cli convert IN OUT`: any supported track, waypoint or airspace file to another
// format, every item read written, no filter applied. What IN holds is decided by its
// content where its name is ambiguous; OUT's name gives the output format.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace logwell {

class Ui;

enum class FileContent { Track, Waypoints, Airspace };

// What a file to be converted holds, from its name and its first bytes.
FileContent ClassifyConversionInput(const std::filesystem::path& input, std::string_view bytes,
                                    const std::filesystem::path& output);

struct ConvertOptions {
  std::optional<std::size_t> track;  // --track N: the one track (1-based) of a file of several
};

// Returns the process exit code: 0 written, 1 failed (after one message through `ui`).
// `notes` receives one line per kind of item the output could not hold ("9 waypoints not
// written: IGC track output holds no waypoints"), or the list of tracks to choose from when a
// file of several goes to a format of one track without --track (exit code 1).
int ConvertAnyFile(const std::filesystem::path& input, const std::filesystem::path& output,
                   const ConvertOptions& options, Ui& ui, std::vector<std::string>& notes);

}  // namespace logwell
