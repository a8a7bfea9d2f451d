#include "sim/served_flight.h"

#include "sim/sim_family.h"

namespace logwell::sim {

std::vector<TrackPoint> ServedFlight(const std::string& igcFile, const FlightPlan& plan) {
  return igcFile.empty() ? GenerateFlight(plan) : IgcFileFlight(igcFile);
}

}  // namespace logwell::sim
