#pragma once
// The flight a virtual instrument serves: a recorded IGC file's fixes, or a generated flight.
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/flight_generator.h"

namespace logwell::sim {

// The fixes of `igcFile` when it is not empty (std::runtime_error when it cannot be read or
// decoded), else the generated flight of `plan`.
std::vector<TrackPoint> ServedFlight(const std::string& igcFile, const FlightPlan& plan);

}  // namespace logwell::sim
