#pragma once
// Whether two recordings are one flight: a flight downloaded again, or read back from a file
// written earlier, carries the same fixes however the file around them differs (the download
// time, the security record, the writer's header lines).
#include <span>

#include "model/track_point.h"

namespace logwell {

// The same fixes in the same order: times (with their milliseconds), positions and both
// altitudes. Two empty recordings are no flight and never the same.
bool SameFixes(std::span<const TrackPoint> a, std::span<const TrackPoint> b);

}  // namespace logwell
