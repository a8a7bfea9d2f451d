#pragma once
// The readers and writers of every waypoint file format, one source file per format.
//
// A reader gets the whole file text (NUL bytes end text formats), returns the number of
// waypoints read (0 when none) or a negative value after it has shown its message, and fills
// `waypoints` only on success, so a failed read leaves the caller's data as it was.
// A writer returns the complete file content; the caller writes it to disk in one piece.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ui.h"
#include "model/waypoint.h"

namespace logwell {

struct WaypointReadContext {
  Ui& ui;
  // The file was opened by the user: bad identifiers may be fixed through a question.
  bool interactive = true;
  // The time given to waypoints whose format carries none.
  GarminTime now = 0;
  // Conversions: an identifier that does not fit is fixed without a question (upper case, cut
  // to its first characters), as the question's "Yes" would; `fixedIdentifiers` counts them.
  bool fixIdentifiers = false;
  int fixedIdentifiers = 0;
};

int ReadGeoWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints);
int ReadUtmWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints);
int ReadOziWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints);
int ReadSeeYouWaypoints(std::string_view text, WaypointReadContext& context,
                        std::vector<Waypoint>& waypoints);
int ReadCompeGpsWaypoints(std::string_view text, WaypointReadContext& context,
                          std::vector<Waypoint>& waypoints);
int ReadWinPilotWaypoints(std::string_view text, WaypointReadContext& context,
                          std::vector<Waypoint>& waypoints);
int ReadMapSourceWaypoints(std::string_view bytes, WaypointReadContext& context,
                           std::vector<Waypoint>& waypoints);
int ReadGpxWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints);
int ReadKmlWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints);

// The program version written into the files that name their creator.
inline constexpr int kLogwellVersionMajor = 5;
inline constexpr int kLogwellVersionMinor = 7;

std::string WriteOziWaypoints(std::span<const Waypoint> waypoints);
std::string WriteGeoWaypoints(std::span<const Waypoint> waypoints);
std::string WriteUtmWaypoints(std::span<const Waypoint> waypoints);
// now: the date and time written on every line.
std::string WriteCompeGpsWaypoints(std::span<const Waypoint> waypoints, GarminTime now);
std::string WriteSeeYouWaypoints(std::span<const Waypoint> waypoints);
std::string WriteWinPilotWaypoints(std::span<const Waypoint> waypoints);
// now: the file's time in the metadata.
std::string WriteGpxWaypoints(std::span<const Waypoint> waypoints, GarminTime now);
std::string WriteKmlWaypoints(std::span<const Waypoint> waypoints);
std::string WriteMapSourceWaypoints(std::span<const Waypoint> waypoints);

}  // namespace logwell
