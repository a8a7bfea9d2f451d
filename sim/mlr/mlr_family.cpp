// logwell-sim's virtual MLR unit and its options.
#include "sim/mlr/mlr_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

struct MlrOptions {
  MlrModelConfig config;
  std::string igcFile;  // served instead of a generated flight
  FlightPlan flight = DefaultSimFlight();
};

std::unique_ptr<InstrumentModel> MakeMlr(const MlrOptions& options) {
  MlrModelConfig config = options.config;
  if (!options.igcFile.empty()) {
    config.points = IgcFileFlight(options.igcFile);
  } else {
    config.points = GenerateFlight(options.flight);
  }
  if (config.waypoints.empty()) config.waypoints = {{"TAKEOF0Takeoff Fiesch", 46.4097, 8.1364}};
  return std::make_unique<MlrModel>(std::move(config));
}

ModelFactory ReadMlrOptions(SimArguments& arguments) {
  MlrOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--model")) {
      options.config.model = arguments.Text();
    } else if (arguments.Is("--name")) {
      options.config.name = arguments.Text();
    } else if (arguments.Is("--serial")) {
      options.config.serial = arguments.Text();
    } else if (arguments.Is("--software")) {
      options.config.software = arguments.Text();
    } else if (arguments.Is("--igc")) {
      options.igcFile = arguments.Text();
    } else if (!ReadFlightOption(arguments, options.flight) && !ReadFaultOption(arguments, options.config.faultsFor)) {
      arguments.Refuse();
    }
  }
  return [options] { return MakeMlr(options); };
}

}  // namespace

extern const SimFamily kMlrFamily{
    "mlr", "an MLR unit with a generated or IGC flight (MLR's protocol document; waypoints unverified)",
    "[--model TYPE] [--name TEXT] [--serial TEXT] [--software D.DD] [--igc FILE]\n"
    "[--seed N] [--minutes N] [--fault REQUEST=KIND[@N]]...\n"
    "REQUEST: PMLR,26 (identification), PMLR,24 (tracklog), PMLR,59,2 (waypoints)\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, corrupt-checksum, garbage, drop, hangup@BYTES",
    ReadMlrOptions};

}  // namespace logwell::sim
