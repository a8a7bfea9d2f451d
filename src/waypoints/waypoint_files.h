#pragma once
// Waypoint files as a whole: content detection, reading into the list, the save and open file
// filters, saving, the command-line conversion and the command-line reads and saves. Nothing
// here draws a window; every message goes through the Ui.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ui.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_list.h"

namespace logwell {

enum class WaypointFileFormat { Ozi, Utm, Geo, MapSource, SeeYou, Gpx, Kml, WinPilot, CompeGps };

// Detects the format from the content and runs its reader. Returns the number of waypoints;
// 0 after showing "No waypoints found"; negative after the reader's message.
int DecodeWaypointFile(std::string_view bytes, WaypointReadContext& context,
                       std::vector<Waypoint>& waypoints);

// Reads and decodes a file. File errors ("Error opening waypoint file", "File is empty",
// "Waypoint file read error") carry the given caption.
int ReadWaypointFile(const std::filesystem::path& path, WaypointReadContext& context,
                     std::string_view caption, std::vector<Waypoint>& waypoints);

// The "Open wpts." command after the file was chosen: reads interactively, shows "%d waypoints
// read" and, when the list holds waypoints, asks whether to append (each one inserted, with
// the overwrite question) or replace. Returns the number read or a negative value.
int OpenWaypointFileIntoList(const std::filesystem::path& path, WaypointList& list, Ui& ui);

// The content of a file in a format. now: the time written by the formats that carry one.
std::string EncodeWaypointFile(WaypointFileFormat format, std::span<const Waypoint> waypoints,
                               GarminTime now);

// Writes the waypoints in the format, atomically. On failure shows "File write error" with the
// system's text and returns -1; otherwise the number written.
// What the format could not keep as it was (a description's comma in an OziExplorer file) is
// added to `notes`, or shown in the status line when there are none.
int WriteWaypointFile(const std::filesystem::path& path, WaypointFileFormat format,
                      std::span<const Waypoint> waypoints, Ui& ui,
                      std::vector<std::string>* notes = nullptr);

// A file chooser filter: the text shown ("Ozi files (*.wpt)") and the pattern ("*.wpt").
struct FileFilter {
  std::string label;
  std::string pattern;
};

// The eighteen save filters (the nine formats with their extension, then the same nine with
// "*.*"), and the format of a 1-based filter index (nothing when out of range).
std::vector<FileFilter> WaypointSaveFilters();
std::optional<WaypointFileFormat> SaveFilterFormat(int filterIndex);
// The file name with the filter's extension appended when the user typed none and chose one of
// the first nine filters.
std::filesystem::path WithSaveExtension(const std::filesystem::path& path, int filterIndex);

// The seven open filters; the extension a 1-based filter supplies ("" for "All files").
std::vector<FileFilter> WaypointOpenFilters();
std::filesystem::path WithOpenExtension(const std::filesystem::path& path, int filterIndex);

// The "Save wpts. As..." command after the file was chosen: caption "Save waypoints"; collects
// the selection ("No waypoints selected"), refuses names over 256 characters ("Too long file
// name", caption "Error opening file"), writes, shows "%d waypoints written" and, when
// interactive, "File written". Returns the number written or -1.
int SaveSelectedWaypoints(const std::filesystem::path& path, int filterIndex,
                          const WaypointList& list, WaypointSelection selection, Ui& ui,
                          bool interactive = true);

// The output format of a converted file from its name's ending (case-sensitive): ".geo.wpt",
// ".utm.wpt", ".ozi.wpt", ".com.wpt", ".mps", ".cup", ".gpx", ".kml", ".dat".
std::optional<WaypointFileFormat> FormatForOutputName(std::string_view name);

// Command-line conversion: reads source by content (no questions), writes destination in the
// format its name gives. Returns the number of waypoints written, or -1.
int ConvertWaypointFile(const std::filesystem::path& source,
                        const std::filesystem::path& destination, Ui& ui,
                        std::vector<std::string>* notes = nullptr);
// "Waypoint file converted" or "Waypoint file conversion failed".
std::string_view ConversionReport(int result);

// Command-line RD_WPT (OziExplorer) and RD_GEO_WPT (GEO) saving of downloaded waypoints: "No
// waypoints" (caption "Download waypoints") for an empty list, else the file and "%d waypoints
// written". The caller has settled whether the file may be created or overwritten.
int SaveDownloadedWaypoints(const std::filesystem::path& path, bool geoFormat,
                            std::span<const Waypoint> waypoints, Ui& ui);

// Command-line WR_WPT / WR_WPT2 reading before an upload.
struct UploadFileOptions {
  bool namesAndDescriptions = false;  // WR_WPT2: description = name, space, description
  bool shortNameInstrument = false;   // GPS codes whose instruments keep one text per waypoint
  std::int32_t compId = -1;           // pilot identity waypoints appended when set
  std::int32_t civlId = -1;
  bool dashName = false;              // the "-NNN" identity waypoint as well
};
// Reads the file (no questions; caption "Reading waypoint file"), applies the description rule
// of short-name instruments, appends the identity waypoints and shows "%d waypoints read".
int ReadWaypointsForUpload(const std::filesystem::path& path, const UploadFileOptions& options,
                           Ui& ui, std::vector<Waypoint>& waypoints);

}  // namespace logwell
