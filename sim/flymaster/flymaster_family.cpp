// logwell-sim's virtual Flymaster instrument (either generation) and its options.
#include <chrono>

#include "sim/flymaster/flymaster_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

struct FlymasterOptions {
  bool older = false;
  std::string model;  // empty: "GpsSD", or "F1" for the older generation
  std::string software = "1.21";
  std::string serial = "4711";
  int flights = 1;  // generated flights, one a day
  bool paced = false;
  FlightPlan flight = DefaultSimFlight();
  AnswerFaults faults;
};

std::unique_ptr<InstrumentModel> MakeFlymaster(const FlymasterOptions& options) {
  FlymasterModelConfig config;
  config.older = options.older;
  config.model = !options.model.empty() ? options.model : (options.older ? "F1" : "GpsSD");
  config.software = options.software;
  config.serial = options.serial;
  config.paced = options.paced;
  for (int i = 0; i < options.flights; ++i) {
    FlightPlan plan = options.flight;
    plan.startTime += static_cast<GarminTime>(i) * 86400;
    plan.seed += static_cast<std::uint32_t>(i);
    config.flights.push_back(GenerateFlight(plan));
  }
  if (const auto found = options.faults.find("PFMDNL"); found != options.faults.end()) {
    config.trackFaults = found->second;
  }
  config.waypoints = {{46.5, 8.1, 1500, "TAKEOFF", true}, {46.4, 8.2, 900, "LANDING", false}};
  return std::make_unique<FlymasterModel>(std::move(config));
}

ModelFactory ReadFlymasterOptions(SimArguments& arguments) {
  FlymasterOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--older")) {
      options.older = true;
    } else if (arguments.Is("--model")) {
      options.model = arguments.Text();
    } else if (arguments.Is("--software")) {
      options.software = arguments.Text();
    } else if (arguments.Is("--serial")) {
      options.serial = arguments.Text();
    } else if (arguments.Is("--flights")) {
      options.flights = static_cast<int>(arguments.Number(1, 50));
    } else if (arguments.Is("--paced")) {
      options.paced = true;
    } else if (!ReadFlightOption(arguments, options.flight) &&
               !ReadFaultOption(arguments, options.faults)) {
      arguments.Refuse();
    }
  }
  return [options] { return MakeFlymaster(options); };
}

}  // namespace

extern const SimFamily kFlymasterFamily{
    "flymaster", "a Flymaster instrument (--older: the F1/B1NAV packet protocol) with generated flights",
    "[--older] [--model NAME] [--software V] [--serial N] [--flights N] [--paced]\n"
    "[--seed N] [--minutes N] [--fault PFMDNL=KIND[@N]]...\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, corrupt-checksum, garbage, drop, hangup@BYTES",
    ReadFlymasterOptions};

}  // namespace logwell::sim
