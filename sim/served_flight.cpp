#include "sim/served_flight.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "track/igc/igc_reader.h"

namespace logwell::sim {

std::vector<TrackPoint> ServedFlight(const std::string& igcFile, const FlightPlan& plan) {
  if (igcFile.empty()) return GenerateFlight(plan);
  std::ifstream in(igcFile, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + igcFile);
  std::ostringstream text;
  text << in.rdbuf();
  igc::IgcDecodeResult decoded = igc::DecodeIgcText(text.str());
  if (!decoded.Ok()) throw std::runtime_error(igcFile + ": " + decoded.error);
  return std::move(decoded.points);
}

}  // namespace logwell::sim
