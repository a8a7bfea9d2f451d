#pragma once
// The boundary of an airspace as a sequence of points: arcs and circles are laid out in the UTM
// plane of their centre with chords no further than the segment accuracy from the true curve.
// Used to show an airspace as waypoints, by the writers that know no arcs, and by uploads that
// send an airspace as a track.
#include <cstdint>
#include <vector>

#include "airspace/airspace_record.h"
#include "model/garmin_time.h"
#include "model/waypoint.h"

namespace logwell {

// Points closer than this to the previous point kept are dropped (metres).
inline constexpr double kMinimumPointSpacing = 10.0;

// The number of steps of a circle: max(8, trunc(sqrt(radius / accuracy) * 2.22 + 0.5)).
std::uint32_t CircleStepCount(std::uint32_t radius, std::uint32_t accuracy);

// True when the record's outline is one circle: its first segment is a circle, or an arc by
// angles from 0 to 360 degrees.
bool IsCircleRecord(const AirspaceRecord& record);

// The outline of one record as waypoints with altitude 0, type 0 and the given time. The
// identifiers are "C" (circles) or "P" (other outlines), two letters for `recordIndex` and three
// for the point's number, each counted from "A" in base 26; the description is the name.
std::vector<Waypoint> AirspaceToPoints(const AirspaceRecord& record, std::size_t recordIndex,
                                       std::uint32_t accuracy, GarminTime now);

// The identifier letters: `count` letters of `value` in base 26 from "A", the last letter
// counting fastest (higher places wrap).
std::string BaseLetters(std::size_t value, std::size_t count);

}  // namespace logwell
