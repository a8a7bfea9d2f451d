#pragma once
// `logwell-cli convert IN OUT` for airspace files: reads an OpenAir file and writes every
// airspace in the format the output name asks for.
#include <filesystem>
#include <optional>
#include <string_view>

#include "airspace/airspace_list.h"

namespace logwell {

class Ui;

// True when the input is an airspace file: named .txt or .openair and holding OpenAir text, or
// any name whose text looks like OpenAir.
bool IsOpenAirInput(const std::filesystem::path& path, std::string_view text);

// True when the text starts like OpenAir: its first line that is neither empty nor a comment
// begins with one of the OpenAir record keywords.
bool LooksLikeOpenAir(std::string_view text);

// The output kind by name: "*.noarcs.txt" or "*.noarcs.openair" OpenAir with arcs as points,
// ".txt" or ".openair" OpenAir with arcs, ".gpx" the airspace GPX, ".js" the web map script.
std::optional<AirspaceFileKind> AirspaceOutputKind(const std::filesystem::path& path);

// Reads `input` and writes `output`; 0 when written, 1 when reading, parsing or writing failed
// (the message, with its line number for a parse error, went to `ui`, and nothing was written).
int ConvertAirspaceFile(const std::filesystem::path& input, const std::filesystem::path& output,
                        Ui& ui);

}  // namespace logwell
