// logwell-sim's virtual Flytec/Brauniger instrument and its options.
#include <cstdio>
#include <stdexcept>

#include "sim/flytec/flytec_model.h"
#include "sim/sim_family.h"
#include "geo/units.h"
#include "waypoints/pilot_identity.h"

namespace logwell::sim {
namespace {

std::string ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  std::string text;
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

struct FlytecOptions {
  std::string model = "6030";
  std::string software;  // empty: on the track-list side of each model's threshold
  std::string pilot = "JANE DOE";
  std::string flights;   // IGC files separated by commas; none: one generated flight
  bool paced = false;    // send at the line's real rate
  FlightPlan flight = DefaultSimFlight();
  int compId = -1;  // a pilot's identity waypoints, as an ID upload leaves them
  int civlId = -1;
  std::string writeIgc;  // where the served flights' text is written at start
  AnswerFaults faults;
};

// The identity waypoints of competition mode, and one ordinary waypoint beside them.
std::vector<FlytecWaypoint> IdentityWaypoints(int compId, int civlId) {
  std::vector<FlytecWaypoint> waypoints;
  for (const Waypoint& w : BuildPilotIdentityWaypoints(compId, civlId, false, 0)) {
    FlytecWaypoint f;
    f.latitude = SemicirclesToDegrees(w.latitude);
    f.longitude = SemicirclesToDegrees(w.longitude);
    f.shortName = std::string(w.Id());
    f.longName = std::string(w.Id());
    waypoints.push_back(f);
  }
  waypoints.push_back({46.5, 8.1, "TAKEOF", "TAKEOFF", 1500});
  return waypoints;
}

std::unique_ptr<InstrumentModel> MakeFlytec(const FlytecOptions& options) {
  FlytecModelConfig config;
  config.model = options.model;
  config.pilot = options.pilot;
  config.software = !options.software.empty() ? options.software : "3.50";
  config.paced = options.paced;
  config.faultsFor = options.faults;
  config.waypoints = IdentityWaypoints(options.compId, options.civlId);
  if (options.flights.empty()) {
    config.flights.push_back(FlytecIgcText(GenerateFlight(options.flight), config.serial, config.pilot));
  } else {
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = options.flights.find(',', start);
      config.flights.push_back(ReadWholeFile(options.flights.substr(start, comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  if (!options.writeIgc.empty()) {
    std::string all;
    for (const std::string& flight : config.flights) all += flight;
    std::FILE* file = std::fopen(options.writeIgc.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + options.writeIgc);
    const bool written = std::fwrite(all.data(), 1, all.size(), file) == all.size();
    if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + options.writeIgc);
  }
  return std::make_unique<FlytecModel>(std::move(config));
}

ModelFactory ReadFlytecOptions(SimArguments& arguments) {
  FlytecOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--model")) {
      options.model = arguments.Text();
    } else if (arguments.Is("--software")) {
      options.software = arguments.Text();
    } else if (arguments.Is("--pilot")) {
      options.pilot = arguments.Text();
    } else if (arguments.Is("--flights")) {
      options.flights = arguments.Text();
    } else if (arguments.Is("--paced")) {
      options.paced = true;
    } else if (arguments.Is("--compid")) {
      options.compId = static_cast<int>(arguments.Number(0, 17999999));
    } else if (arguments.Is("--civlid")) {
      options.civlId = static_cast<int>(arguments.Number(0, 17999999));
    } else if (arguments.Is("--write-igc")) {
      options.writeIgc = arguments.Text();
    } else if (!ReadFlightOption(arguments, options.flight) &&
               !ReadFaultOption(arguments, options.faults)) {
      arguments.Refuse();
    }
  }
  return [options] { return MakeFlytec(options); };
}

}  // namespace

extern const SimFamily kFlytecFamily{
    "flytec", "a Flytec/Brauniger instrument holding a generated flight (or the --flights given)",
    "[--model NAME] [--software V] [--pilot NAME] [--flights A.igc,B.igc] [--paced]\n"
    "[--seed N] [--minutes N] [--compid N] [--civlid N] [--write-igc FILE]\n"
    "[--fault REQUEST=KIND[@N]]... REQUEST: PBRSNP, PBRTL, PBRTR,NN, PBRIGC, PBRWPS, PBRCTR;\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, corrupt-checksum, garbage, drop, hangup@BYTES",
    ReadFlytecOptions};

}  // namespace logwell::sim
