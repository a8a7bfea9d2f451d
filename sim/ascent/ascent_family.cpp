// logwell-sim's virtual Ascent and its options.
#include "sim/ascent/ascent_model.h"
#include "sim/served_flight.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

ModelFactory ReadAscentOptions(SimArguments& arguments) {
  AscentModelConfig config;
  std::string igcFile;
  FlightPlan flight = DefaultSimFlight();
  while (arguments.Next()) {
    if (arguments.Is("--serial")) {
      const auto serial = static_cast<std::uint32_t>(arguments.Number(0, 0xFFFFFFFF));
      for (int i = 0; i < 4; ++i) config.product.serial[i] = static_cast<std::uint8_t>(serial >> (24 - 8 * i));
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
    return std::make_unique<AscentModel>(config);
  };
}

}  // namespace

extern const SimFamily kAscentFamily{
    "ascent", "an Ascent with a generated or IGC flight in its track memory (protocol unverified)",
    "[--serial N] [--igc FILE] [--paced] [--seed N] [--minutes N]\n"
    "[--fault REQUEST=KIND[@N]]... REQUEST: product, memory, flight, block, erase\n"
    "KIND: silence, delay@MS, corrupt-byte@AT, garbage, drop, hangup@BYTES",
    ReadAscentOptions};

}  // namespace logwell::sim
