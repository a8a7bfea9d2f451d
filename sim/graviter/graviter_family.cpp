// logwell-sim's virtual Graviter and its options.
#include "sim/graviter/graviter_model.h"
#include "sim/served_flight.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

ModelFactory ReadGraviterOptions(SimArguments& arguments) {
  GraviterModelConfig config;
  std::string igcFile;
  FlightPlan flight = DefaultSimFlight();
  while (arguments.Next()) {
    if (arguments.Is("--serial")) {
      config.identity.serial = arguments.Text();
    } else if (arguments.Is("--software")) {
      config.identity.software = arguments.Text();
    } else if (arguments.Is("--igc")) {
      igcFile = arguments.Text();
    } else if (arguments.Is("--paced")) {
      config.paced = true;
    } else if (!ReadFlightOption(arguments, flight) && !ReadFaultOption(arguments, config.faultsFor)) {
      arguments.Refuse();
    }
  }
  return [config, igcFile, flight]() mutable {
    config.points = ServedFlight(igcFile, flight);
    return std::make_unique<GraviterModel>(config);
  };
}

}  // namespace

extern const SimFamily kGraviterFamily{
    "graviter", "a Graviter with a generated or IGC flight as its binary log (protocol unverified)",
    "[--serial TEXT] [--software TEXT] [--igc FILE] [--paced] [--seed N] [--minutes N]\n"
    "[--fault REQUEST=KIND[@N]]... REQUEST: I, D, N, name\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, garbage, drop, hangup@BYTES",
    ReadGraviterOptions};

}  // namespace logwell::sim
