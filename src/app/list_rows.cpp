#include "app/list_rows.h"

#include <cmath>
#include <cstdlib>

#include "geo/distance.h"
#include "geo/projection.h"
#include "geo/units.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::array<ListColumn, 7> kWaypointColumns = {{
    {"ID", 9}, {"Latitude", 13}, {"Longitude", 14}, {"Height", 7}, {"T", 3}, {"Name", 50},
    {"Time", 18}}};
constexpr std::array<ListColumn, 8> kWaypointUtmColumns = {{
    {"ID", 9}, {"Zone", 6}, {"Easting", 8}, {"Northing", 8}, {"Height", 7}, {"T", 3},
    {"Name", 50}, {"Time", 18}}};
constexpr std::array<ListColumn, 7> kTrackColumns = {{
    {"UTC date", 10}, {"UTC time", 9}, {"Latitude", 13}, {"Longitude", 14}, {"H (GPS)", 8},
    {"H (B-G)", 8}, {"km/h", 7}}};
constexpr std::array<ListColumn, 8> kTrackUtmColumns = {{
    {"UTC date", 10}, {"UTC time", 9}, {"Zone", 6}, {"Easting", 8}, {"Northing", 8},
    {"H (GPS)", 8}, {"H (B-G)", 8}, {"km/h", 7}}};
constexpr std::array<ListColumn, 5> kAirspaceColumns = {{
    {"Name", 22}, {"Floor (Remark)", 15}, {"Ceiling", 15}, {"Distance", 9}, {"Segments", 9}}};
constexpr std::array<ListColumn, 4> kPilotColumns = {{
    {"Name", 22}, {"Comp. ID", 10}, {"CIVL ID", 10}, {"Device", 22}}};

// Whole metres, half away from zero, as the list prints eastings and northings.
int RoundMetres(double metres) { return static_cast<int>(std::lround(metres)); }

std::string FormatAngle(std::int32_t semicircles, char positive, char negative, const char* format) {
  const std::int32_t centiSeconds = SemicirclesToCentiSeconds(semicircles);
  const char hemisphere = centiSeconds < 0 ? negative : positive;
  const long value = std::labs(static_cast<long>(centiSeconds));
  return FormatText(format, hemisphere, static_cast<int>(value / 360000),
                    static_cast<int>(value / 6000 % 60), static_cast<int>(value / 100 % 60),
                    static_cast<int>(value % 100));
}

UtmPosition UtmOf(std::int32_t latitude, std::int32_t longitude) {
  return GeoToUtm(ToGeoPoint({latitude, longitude}));
}

std::string DateCell(GarminTime time) {
  const CalendarTime c = GarminTimeToCalendar(time);
  return FormatText("%4d-%02d-%02d", c.year, c.month, c.day);
}

std::string TimeCell(GarminTime time) {
  const CalendarTime c = GarminTimeToCalendar(time);
  return FormatText("%02d:%02d:%02d", c.hour, c.minute, c.second);
}

}  // namespace

std::string UtmCell(std::int32_t latitude, std::int32_t longitude, int part) {
  const UtmPosition utm = UtmOf(latitude, longitude);
  switch (part) {
    case 0: return FormatText("%02d%c", static_cast<int>(utm.zone), utm.band);
    case 1: return FormatText("%07d", RoundMetres(utm.easting));
    default: return FormatText("%07d", RoundMetres(utm.northing));
  }
}

std::span<const ListColumn> ColumnsFor(ViewMode mode, bool utm) {
  switch (mode) {
    case ViewMode::Waypoints: return utm ? std::span<const ListColumn>(kWaypointUtmColumns)
                                         : std::span<const ListColumn>(kWaypointColumns);
    case ViewMode::TrackLog: return utm ? std::span<const ListColumn>(kTrackUtmColumns)
                                        : std::span<const ListColumn>(kTrackColumns);
    case ViewMode::Airspace: return kAirspaceColumns;
    case ViewMode::Pilots: return kPilotColumns;
  }
  return {};
}

std::string FormatLatitude(std::int32_t semicircles) {
  return FormatAngle(semicircles, 'N', 'S', "%c %02d %02d %02d.%02d");
}

std::string FormatLongitude(std::int32_t semicircles) {
  return FormatAngle(semicircles, 'E', 'W', "%c %03d %02d %02d.%02d");
}

std::optional<double> SpeedFromPrevious(const TrackPoint& previous, const TrackPoint& point) {
  const double seconds =
      (static_cast<double>(point.time) - static_cast<double>(previous.time)) +
      (point.milliseconds - previous.milliseconds) / 1000.0;
  if (seconds == 0.0) return std::nullopt;
  const double metres = SphericalDistance(ToGeoPoint({previous.latitude, previous.longitude}),
                                          ToGeoPoint({point.latitude, point.longitude}));
  return std::fabs(metres / seconds * 3.6);
}

std::string TrackCell(const TrackLog& log, int row, int column, bool utm) {
  const TrackPoint& point = log.points[static_cast<std::size_t>(row)];
  // The UTM set has one column more: zone, easting, northing instead of latitude, longitude.
  if (utm) {
    if (column >= 2 && column <= 4) return UtmCell(point.latitude, point.longitude, column - 2);
    if (column > 4) --column;
  }
  switch (column) {
    case 0: return DateCell(point.time);
    case 1: return TimeCell(point.time);
    case 2: return FormatLatitude(point.latitude);
    case 3: return FormatLongitude(point.longitude);
    case 4: return FormatText("%d", static_cast<int>(std::lround(point.gpsAltitude / 10.0)));
    case 5: return log.source.altitudeFlag ? FormatText("%d", static_cast<int>(point.pressureAltitude))
                                    : std::string();
    case 6: {
      if (row == 0 || (point.segmentStart & 1U)) return "START";
      const auto speed = SpeedFromPrevious(log.points[static_cast<std::size_t>(row) - 1], point);
      return speed ? FormatText("%.1f", *speed) : std::string("-");
    }
    default: return {};
  }
}

std::string WaypointCell(const Waypoint& waypoint, int column, bool utm) {
  if (utm) {
    if (column >= 1 && column <= 3) return UtmCell(waypoint.latitude, waypoint.longitude, column - 1);
    if (column > 3) --column;
  }
  switch (column) {
    case 0: return std::string(waypoint.Id());
    case 1: return FormatLatitude(waypoint.latitude);
    case 2: return FormatLongitude(waypoint.longitude);
    case 3: return FormatText("%d", static_cast<int>(waypoint.altitude));
    case 4: return waypoint.type == 1 ? "A" : "P";
    case 5: return std::string(waypoint.Description());
    case 6: return waypoint.time == 0 ? std::string()
                                      : DateCell(waypoint.time) + " " + TimeCell(waypoint.time);
    default: return {};
  }
}

std::string PilotCell(const PilotRecord& pilot, int column) {
  switch (column) {
    case 0: return pilot.name;
    case 1: return pilot.compId >= 0 ? FormatText("%d", pilot.compId) : std::string();
    case 2: return pilot.civlId >= 0 ? FormatText("%d", pilot.civlId) : std::string();
    case 3:
      for (const std::string& device : pilot.devices) {
        if (!device.empty()) return device;
      }
      return {};
    default: return {};
  }
}

}  // namespace logwell
