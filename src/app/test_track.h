#pragma once
// The "&Test" command's track: 2201 positions, one per second, the first of them 7200 s
// before now. It flies four arcs laid out in UTM zone 32V and climbs and
// sinks on a sine, so every view and the optimisation have something to show.
#include <vector>

#include "model/garmin_time.h"
#include "model/track_point.h"

namespace logwell {

inline constexpr int kTestTrackPoints = 2201;

// The test track with its first point at `firstTime`.
std::vector<TrackPoint> MakeTestTrack(GarminTime firstTime);
// The test track starting 7200 s before the current time.
std::vector<TrackPoint> MakeTestTrackNow();

}  // namespace logwell
