#pragma once
// Airspaces as a JavaScript file for a web map page: one polygon per selected airspace, its
// path in the encoded-polyline form of the map service, coloured by class, with its bounds,
// heights in feet and an info box text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "airspace/airspace_record.h"
#include "geo/units.h"

namespace logwell {

std::string MakeAirspaceWebMap(const AirspaceList& records, std::uint32_t accuracy);

// The encoded polyline of the map service: coordinates rounded to 1e-5 degrees, each the
// difference to the previous one, zig-zag signed, in 5-bit groups from the lowest, 0x20 marking
// that more follow, each plus 63.
std::string EncodePolyline(const std::vector<SemicirclePoint>& points);

}  // namespace logwell
