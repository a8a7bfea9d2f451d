// logwell-sim's virtual Top Navigator / XC Trainer and its options.
#include "geo/units.h"
#include "sim/sim_family.h"
#include "sim/topnav/topnav_model.h"

namespace logwell::sim {
namespace {

struct TopNavOptions {
  TopNavModelConfig config;
  std::string igcFile;  // served instead of a generated flight
  FlightPlan flight = DefaultSimFlight();
  bool sendWaypoints = false;
};

std::unique_ptr<InstrumentModel> MakeTopNav(const TopNavOptions& options) {
  TopNavModelConfig config = options.config;
  if (!options.igcFile.empty()) {
    config.points = IgcFileFlight(options.igcFile);
  } else {
    config.points = GenerateFlight(options.flight);
  }
  if (config.waypoints.empty()) {
    Waypoint takeoff;
    takeoff.SetId("FIESCH");
    takeoff.SetDescription("Takeoff Fiesch");
    takeoff.latitude = DegreesToSemicircles(46.4097);
    takeoff.longitude = DegreesToSemicircles(8.1364);
    takeoff.altitude = 2220;
    config.waypoints.push_back(takeoff);
  }
  auto model = std::make_unique<TopNavModel>(std::move(config));
  model->SendWaypoints(options.sendWaypoints);
  return model;
}

ModelFactory ReadTopNavOptions(SimArguments& arguments) {
  TopNavOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--model")) {
      const std::string model = arguments.Text();
      if (model == "tn") {
        options.config.instrument = TncInstrument::TopNavigator;
      } else if (model == "xc") {
        options.config.instrument = TncInstrument::XcTrainer;
      } else {
        arguments.Refuse();
      }
    } else if (arguments.Is("--serial")) {
      options.config.serial = static_cast<int>(arguments.Number(0, 65535));
    } else if (arguments.Is("--baud")) {
      options.config.pacedBaud = static_cast<int>(arguments.Number(0, 115200));
    } else if (arguments.Is("--send")) {
      const std::string what = arguments.Text();
      if (what != "track" && what != "waypoints") arguments.Refuse();
      options.sendWaypoints = what == "waypoints";
    } else if (arguments.Is("--igc")) {
      options.igcFile = arguments.Text();
    } else if (!ReadFlightOption(arguments, options.flight) && !ReadFaultOption(arguments, options.config.faultsFor)) {
      arguments.Refuse();
    }
  }
  return [options] { return MakeTopNav(options); };
}

}  // namespace

extern const SimFamily kTopNavFamily{
    "topnav",
    "a Top Navigator or XC Trainer sending a generated or IGC flight when the host's XON arrives "
    "(protocol partly unverified)",
    "[--model tn|xc] [--serial N] [--baud RATE] [--igc FILE] [--send track|waypoints]\n"
    "[--seed N] [--minutes N]\n"
    "[--fault transfer=KIND[@N]]...\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, corrupt-checksum, garbage, drop, hangup@BYTES",
    ReadTopNavOptions};

}  // namespace logwell::sim
