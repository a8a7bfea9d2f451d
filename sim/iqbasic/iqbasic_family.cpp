// logwell-sim's virtual IQ Basic / Flytec 6015 and its options.

#include "sim/flytec/flytec_model.h"
#include "sim/iqbasic/iqbasic_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

struct IqBasicOptions {
  IqBasicModelConfig config;
  std::vector<std::string> igcFiles;  // served as they are, before the generated flights
  int generated = -1;                 // -1: one, unless IGC files are given
  FlightPlan flight = DefaultSimFlight();
};

std::unique_ptr<InstrumentModel> MakeIqBasic(const IqBasicOptions& options) {
  IqBasicModelConfig config = options.config;
  for (const std::string& path : options.igcFiles) config.flights.push_back(IgcFileText(path));
  const int generated = options.generated >= 0 ? options.generated : (options.igcFiles.empty() ? 1 : 0);
  for (int i = 0; i < generated; ++i) {
    FlightPlan plan = options.flight;
    plan.startTime += static_cast<GarminTime>(i) * 86400;
    plan.seed += static_cast<std::uint32_t>(i);
    config.flights.push_back(FlytecIgcText(GenerateFlight(plan), std::to_string(config.serial), "JANE DOE"));
  }
  if (config.waypoints.empty()) {
    config.waypoints = {{"TAKEOFF FIESCH", 46.4097, 8.1364, 2230, 400}, {"LANDING", 46.405, 8.1123, 1060, 400}};
  }
  return std::make_unique<IqBasicModel>(std::move(config));
}

ModelFactory ReadIqBasicOptions(SimArguments& arguments) {
  IqBasicOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--model")) {
      const std::string model = arguments.Text();
      if (model == "6015") {
        options.config.deviceType = 0;
      } else if (model == "iqbasic") {
        options.config.deviceType = 1;
      } else {
        arguments.Refuse();
      }
    } else if (arguments.Is("--serial")) {
      options.config.serial = static_cast<std::uint32_t>(arguments.Number(0, 4294967295L));
    } else if (arguments.Is("--software")) {
      options.config.software = static_cast<int>(arguments.Number(0, 65535));
    } else if (arguments.Is("--igc")) {
      options.igcFiles.push_back(arguments.Text());
    } else if (arguments.Is("--flights")) {
      options.generated = static_cast<int>(arguments.Number(0, 50));
    } else if (!ReadFlightOption(arguments, options.flight) && !ReadFaultOption(arguments, options.config.faultsFor)) {
      arguments.Refuse();
    }
  }
  return [options] { return MakeIqBasic(options); };
}

}  // namespace

extern const SimFamily kIqBasicFamily{
    "iqbasic", "an IQ Basic / Flytec 6015 serving IGC files or generated flights (from the maker's document)",
    "[--model iqbasic|6015] [--serial N] [--software N] [--igc FILE]...\n"
    "[--flights N] [--seed N] [--minutes N] [--fault REQUEST=KIND[@N]]...\n"
    "--software: 1300 is \"1.3.00\"; below 1120 the flight book has a header line and no \" Done\"\n"
    "REQUEST: RPA, ACT_20, ACT_21, ACT_21_NN, ACT_31, ACT_32\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, garbage, drop, hangup@BYTES",
    ReadIqBasicOptions};

}  // namespace logwell::sim
