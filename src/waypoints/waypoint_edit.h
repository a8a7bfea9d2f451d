#pragma once
// The checks of the "Edit Waypoint" dialog, apart from the dialog itself: the texts of its
// fields become a waypoint, or the first failure's message.
#include <string>
#include <optional>
#include <string_view>
#include <variant>

#include "model/waypoint.h"

namespace logwell {

struct WaypointEditForm {
  std::string id, comment, height, timestamp;  // timestamp "%d-%02d-%02dT%02d:%02d:%02d", UTC
  int type = 0;                                // 0 "Point", 1 "Airfield"
  bool utm = false;
  std::string zone, easting, northing;         // with utm
  std::string latitude, longitude;             // without utm
};

// The texts the dialog shows for a waypoint (zone "%02d%c", easting and northing "%07d";
// latitude and longitude as signed decimal degrees).
WaypointEditForm FormFromWaypoint(const Waypoint& waypoint, bool utm);

// The waypoint, or the message of the first field that fails ("Missing ID input", "Bad ID",
// "Missing height input", ... "Bad longitude input").
std::variant<Waypoint, std::string> WaypointFromForm(const WaypointEditForm& form);

// A latitude or longitude typed by a person: signed decimal degrees ("-7.25"), or with a
// hemisphere letter before or after degrees, minutes and seconds ("N 46 30 30.00", "46 30.5N",
// "7.25W"). Nothing when it cannot be read or lies out of range.
std::optional<double> ParseTypedCoordinate(std::string_view text, bool latitude);

}  // namespace logwell
