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
    if (arguments.Is("--maker")) {
      options.config.maker = arguments.Text();
    } else if (arguments.Is("--model")) {
      options.config.model = arguments.Text();
    } else if (arguments.Is("--software")) {
      options.config.software = static_cast<int>(arguments.Number(0, 99999));
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
    "mlr", "an MLR unit (or Digifly, CPilot, CoMo) with a generated or IGC flight (protocol unverified)",
    "[--maker MLR|Digifly|CPilot|CoMo] [--model NAME] [--software N] [--igc FILE]\n"
    "[--seed N] [--minutes N] [--fault REQUEST=KIND[@N]]...\n"
    "REQUEST: PMLR,24, PMLR,59,1, PMLR,59,2\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, corrupt-checksum, garbage, drop, hangup@BYTES",
    ReadMlrOptions};

}  // namespace logwell::sim
