#include "app/convert.h"

#include <string>

#include "airspace/airspace_convert.h"
#include "base/atomic_file.h"
#include "app/file_commands.h"
#include "base/text.h"
#include "waypoints/waypoint_files.h"

namespace logwell {
namespace {

bool Contains(std::string_view bytes, std::string_view needle) {
  return bytes.find(needle) != std::string_view::npos;
}

// The old binary track files are binary; WinPilot waypoint files of the same ending are text.
bool LooksBinary(std::string_view bytes) {
  return Contains(bytes.substr(0, 256), std::string_view("\0", 1));
}

}  // namespace

FileContent ClassifyConversionInput(const std::filesystem::path& input, std::string_view bytes,
                                    const std::filesystem::path& output) {
  if (IsOpenAirInput(input, bytes)) return FileContent::Airspace;
  const std::string extension = LowerExtension(input);
  if (extension == ".wpt" || extension == ".cup" || extension == ".geo" || extension == ".utm") {
    return FileContent::Waypoints;
  }
  if (extension == ".gpx") return Contains(bytes, "<trk") ? FileContent::Track : FileContent::Waypoints;
  if (extension == ".kml") {
    return Contains(bytes, "<LineString") || Contains(bytes, "<gx:Track") ? FileContent::Track
                                                                          : FileContent::Waypoints;
  }
  if (extension == ".dat") return LooksBinary(bytes) ? FileContent::Track : FileContent::Waypoints;
  if (extension == ".mps") {
    // MapSource files carry either; a waypoint-only output name says which is wanted.
    const std::string out = output.filename().string();
    const bool waypointOutput = FormatForOutputName(out).has_value() &&
                                LowerExtension(output) != ".gpx" && LowerExtension(output) != ".kml" &&
                                LowerExtension(output) != ".mps";
    return waypointOutput ? FileContent::Waypoints : FileContent::Track;
  }
  return FileContent::Track;
}

int ConvertAnyFile(const std::filesystem::path& input, const std::filesystem::path& output,
                   Ui& ui) {
  // Only the first bytes decide; the converters read the file themselves with their own
  // messages, so a file that cannot be read here is left to them to report.
  const ReadFileResult file = ReadWholeFile(input);
  switch (ClassifyConversionInput(input, file.bytes, output)) {
    case FileContent::Airspace:
      return ConvertAirspaceFile(input, output, ui);
    case FileContent::Waypoints:
      return ConvertWaypointFile(input, output, ui) >= 0 ? 0 : 1;
    case FileContent::Track:
      return kml::ConvertAnyTrackFile(input, output, ui) == 0 ? 0 : 1;
  }
  return 1;
}

}  // namespace logwell
