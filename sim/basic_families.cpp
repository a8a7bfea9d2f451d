// The two generic instruments of sim/ itself: the NMEA echo and the NMEA stream of a flight.
#include "sim/echo_model.h"
#include "sim/nmea_stream_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

ModelFactory ReadEchoOptions(SimArguments& arguments) {
  while (arguments.Next()) arguments.Refuse();
  return [] { return std::make_unique<EchoNmeaModel>(); };
}

ModelFactory ReadNmeaOptions(SimArguments& arguments) {
  FlightPlan plan = DefaultSimFlight();
  long paceMs = 1000;
  while (arguments.Next()) {
    if (arguments.Is("--pace-ms")) {
      paceMs = arguments.Number(1, 3600000);
    } else if (!ReadFlightOption(arguments, plan)) {
      arguments.Refuse();
    }
  }
  return [plan, paceMs] {
    return std::make_unique<NmeaStreamModel>(GenerateFlight(plan), std::chrono::milliseconds(paceMs));
  };
}

}  // namespace

extern const SimFamily kEchoFamily{
    "echo", "answers every NMEA sentence with $LWECHO (or $LWNAK for a bad checksum)", "",
    ReadEchoOptions};

extern const SimFamily kNmeaFamily{
    "nmea", "a GPS sending $GPRMC and $GPGGA of a generated flight, and echoing like 'echo'",
    "[--seed N] [--minutes N] [--pace-ms N]  (a fix every N ms, default 1000)", ReadNmeaOptions};

}  // namespace logwell::sim
