// logwell-sim's virtual Garmin receiver and its options.
#include <string>

#include "sim/garmin/garmin_model.h"
#include "sim/flight_generator.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

struct GarminOptions {
  GarminModelConfig config;
  FlightPlan flight = DefaultSimFlight();
};

// The course's turnpoints as the receiver's waypoints: TP01, TP02, ... with the launch an
// airfield.
std::vector<Waypoint> CourseWaypoints(const FlightPlan& plan) {
  std::vector<Waypoint> waypoints;
  int number = 0;
  for (const CoursePoint& point : CourseTurnpoints(plan)) {
    Waypoint w;
    ++number;
    w.SetId(number < 10 ? "TP0" + std::to_string(number) : "TP" + std::to_string(number));
    w.SetDescription(number == 1 ? "LAUNCH" : "TURNPOINT " + std::to_string(number));
    w.latitude = DegreesToSemicircles(point.latitude);
    w.longitude = DegreesToSemicircles(point.longitude);
    w.altitude = number == 1 ? static_cast<std::int32_t>(plan.launchAltitude) : 0;
    w.type = number == 1 ? 1 : 0;
    waypoints.push_back(w);
  }
  return waypoints;
}

ModelFactory ReadGarminOptions(SimArguments& arguments) {
  GarminOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--a300")) {
      options.config.a300 = true;
    } else if (arguments.Is("--paced")) {
      options.config.paced = true;
    } else if (arguments.Is("--no-protocol-array")) {
      options.config.protocolArray = false;
    } else if (arguments.Is("--product")) {
      options.config.productId = static_cast<std::int16_t>(arguments.Number(1, 32767));
    } else if (arguments.Is("--software")) {
      options.config.software = static_cast<std::uint16_t>(arguments.Number(0, 65535));
    } else if (!ReadFlightOption(arguments, options.flight)) {
      arguments.Refuse();
    }
  }
  return [options] {
    GarminModelConfig config = options.config;
    config.points = GenerateFlight(options.flight);
    config.waypoints = CourseWaypoints(options.flight);
    return std::make_unique<GarminModel>(std::move(config));
  };
}

}  // namespace

extern const SimFamily kGarminFamily{
    "garmin", "a Garmin receiver (serial packet protocol) holding a generated flight and its course",
    "[--a300] [--no-protocol-array] [--paced] [--product ID] [--software V×100] [--seed N] [--minutes N]",
    ReadGarminOptions};

}  // namespace logwell::sim
