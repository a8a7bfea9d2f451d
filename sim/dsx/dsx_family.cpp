// logwell-sim's virtual DSX recorder and its options.

#include "sim/dsx/dsx_model.h"
#include "sim/flytec/flytec_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

struct DsxOptions {
  DsxModelConfig config;
  std::string igcFile;  // served instead of a generated flight
  FlightPlan flight = DefaultSimFlight();
};

std::unique_ptr<InstrumentModel> MakeDsx(const DsxOptions& options) {
  DsxModelConfig config = options.config;
  if (!options.igcFile.empty()) {
    config.flight = IgcFileText(options.igcFile);
  } else {
    config.flight = FlytecIgcText(GenerateFlight(options.flight), "DSX", "JANE DOE");
  }
  return std::make_unique<DsxModel>(std::move(config));
}

ModelFactory ReadDsxOptions(SimArguments& arguments) {
  DsxOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--model")) {
      options.config.model = arguments.Text();
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
  return [options] { return MakeDsx(options); };
}

}  // namespace

extern const SimFamily kDsxFamily{
    "dsx", "a DSX flight recorder serving an IGC file or a generated flight (protocol unverified)",
    "[--model NAME] [--serial TEXT] [--software TEXT] [--igc FILE] [--seed N] [--minutes N]\n"
    "[--fault REQUEST=KIND[@N]]...\n"
    "REQUEST: Conn, ZZZZ\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, garbage, drop, hangup@BYTES",
    ReadDsxOptions};

}  // namespace logwell::sim
