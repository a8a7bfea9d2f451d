// logwell-sim's virtual LogIt / Tracklogger and its options.

#include "sim/logit/logit_model.h"
#include "sim/served_flight.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

struct LogItOptions {
  LogItModelConfig config;
  std::string igcFile;  // its fixes served instead of a generated flight
  FlightPlan flight = DefaultSimFlight();
};

std::unique_ptr<InstrumentModel> MakeLogIt(const LogItOptions& options) {
  LogItModelConfig config = options.config;
  config.points = ServedFlight(options.igcFile, options.flight);
  return std::make_unique<LogItModel>(std::move(config));
}

ModelFactory ReadLogItOptions(SimArguments& arguments) {
  LogItOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--owner")) {
      options.config.owner = arguments.Text();
    } else if (arguments.Is("--software")) {
      options.config.software = arguments.Text();
    } else if (arguments.Is("--igc")) {
      options.igcFile = arguments.Text();
    } else if (!ReadFlightOption(arguments, options.flight) && !ReadFaultOption(arguments, options.config.faultsFor)) {
      arguments.Refuse();
    }
  }
  return [options] { return MakeLogIt(options); };
}

}  // namespace

extern const SimFamily kLogItFamily{
    "logit", "a LogIt / Tracklogger with an IGC file's fixes or a generated flight (protocol unverified)",
    "[--owner NAME] [--software TEXT] [--igc FILE] [--seed N] [--minutes N]\n"
    "[--fault REQUEST=KIND[@N]]...\n"
    "REQUEST: IDGPS, TRACK, ERASE\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, garbage, drop, hangup@BYTES",
    ReadLogItOptions};

}  // namespace logwell::sim
