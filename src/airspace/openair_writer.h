#pragma once
// Writing airspaces as OpenAir text, with CR LF line ends: with their arcs and circles, or with
// every boundary turned into DP points, and the commented form of one record for the edit dialog.
#include <cstdint>
#include <string>

#include "airspace/airspace_record.h"

namespace logwell {

enum class OpenAirArcs { Keep, AsPoints };

// The text of every selected record (selected != 0), a blank line between records.
// `accuracy` is the segment accuracy used when arcs are written as points.
std::string MakeOpenAirText(const AirspaceList& records, OpenAirArcs arcs, std::uint32_t accuracy);

// One record with its arcs, headed by comments that explain each line (the edit dialog's text).
std::string MakeOpenAirEditText(const AirspaceRecord& record);

// A position as "D:MM:SS H  D:MM:SS H", rounded to the nearest second.
std::string FormatOpenAirPosition(DegreePosition position);

}  // namespace logwell
