// logwell-sim's virtual Digifly Leonardo Pro / Digifly Air and its options.

#include "sim/digifly/digifly_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

struct DigiflyOptions {
  DigiflyModelConfig config;
  std::vector<std::string> igcFiles;  // served as flights, before the generated one
  FlightPlan flight = DefaultSimFlight();
};

std::unique_ptr<InstrumentModel> MakeDigifly(const DigiflyOptions& options) {
  DigiflyModelConfig config = options.config;
  for (const std::string& path : options.igcFiles) config.flights.push_back(IgcFileFlight(path));
  if (config.flights.empty()) config.flights.push_back(GenerateFlight(options.flight));
  if (config.waypoints.empty()) config.waypoints = {{1, "TAKEOFF FIESCH", 2784582, 488184, 2230}};
  return std::make_unique<DigiflyModel>(std::move(config));
}

ModelFactory ReadDigiflyOptions(SimArguments& arguments) {
  DigiflyOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--model")) {
      options.config.model = arguments.Text();
    } else if (arguments.Is("--serial")) {
      options.config.serial = arguments.Text();
    } else if (arguments.Is("--software")) {
      options.config.software = arguments.Text();
    } else if (arguments.Is("--igc")) {
      options.igcFiles.push_back(arguments.Text());
    } else if (!ReadFlightOption(arguments, options.flight) && !ReadFaultOption(arguments, options.config.faultsFor)) {
      arguments.Refuse();
    }
  }
  return [options] { return MakeDigifly(options); };
}

}  // namespace

extern const SimFamily kDigiflyFamily{
    "digifly", "a Digifly Air or Leonardo Pro with generated or IGC flights (protocol unverified)",
    "[--model DigiflyAir|LeonardoPro] [--serial TEXT] [--software TEXT] [--igc FILE]...\n"
    "[--seed N] [--minutes N] [--fault REQUEST=KIND[@N]]...\n"
    "REQUEST: PDGFVID, PDGFFLL, PDGFRMM, PDGFWMM\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, corrupt-checksum, garbage, drop, hangup@BYTES",
    ReadDigiflyOptions};

}  // namespace logwell::sim
