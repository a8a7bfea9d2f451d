#pragma once
// What the main window's list shows: the four view modes, their column sets and the text of
// each cell. The list asks for cells on demand, so a row's text is built only while it is on
// screen; nothing here depends on the window toolkit.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "competition/pilot_list.h"
#include "track/track_log.h"
#include "model/waypoint.h"

namespace logwell {

enum class ViewMode : int { Waypoints = 0, TrackLog = 1, Airspace = 2, Pilots = 3 };
inline constexpr ViewMode kStartViewMode = ViewMode::TrackLog;

struct ListColumn {
  std::string_view header;
  int widthChars;  // times the average character width of the window's font
};

// The columns of a view; `utm` switches the waypoint and track sets to zone, easting, northing.
std::span<const ListColumn> ColumnsFor(ViewMode mode, bool utm);

// Rows are at most this many characters in all.
inline constexpr std::size_t kMaxRowLength = 79;

// One cell of the track view. `row` must be a valid index of `log.points`.
std::string TrackCell(const TrackLog& log, int row, int column, bool utm);
// One cell of the waypoint view.
std::string WaypointCell(const Waypoint& waypoint, int column, bool utm);

// One cell of the pilot list view: name, competition ID, CIVL ID (empty when absent), and the
// first device named.
std::string PilotCell(const PilotRecord& pilot, int column);

// "%c %02d %02d %02d.%02d" (latitude) and "%c %03d %02d %02d.%02d" (longitude): hemisphere,
// degrees, minutes, seconds and hundredths of a second of arc.
std::string FormatLatitude(std::int32_t semicircles);
// The three UTM cells (zone with band "32V", easting, northing) of a position; `part` 0..2.
std::string UtmCell(std::int32_t latitude, std::int32_t longitude, int part);
std::string FormatLongitude(std::int32_t semicircles);

// Speed in km/h from the previous point, or nothing when the two have the same time.
std::optional<double> SpeedFromPrevious(const TrackPoint& previous, const TrackPoint& point);

}  // namespace logwell
