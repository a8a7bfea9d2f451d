// logwell-sim's virtual Magellan receiver and its options.
#include "sim/magellan/magellan_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

std::vector<Waypoint> DefaultWaypoints() {
  std::vector<Waypoint> waypoints(2);
  waypoints[0].latitude = DegreesToSemicircles(46.5);
  waypoints[0].longitude = DegreesToSemicircles(8.1);
  waypoints[0].altitude = 1500;
  waypoints[0].SetId("LAUNCH");
  waypoints[0].SetDescription("Take-off");
  waypoints[1].latitude = DegreesToSemicircles(46.4);
  waypoints[1].longitude = DegreesToSemicircles(8.2);
  waypoints[1].altitude = 900;
  waypoints[1].SetId("LZ");
  waypoints[1].SetDescription("Landing");
  return waypoints;
}

ModelFactory ReadMagellanOptions(SimArguments& arguments) {
  FlightPlan flight = DefaultSimFlight();
  flight.fixInterval = std::chrono::seconds(10);
  std::string trackFile;
  std::string waypointFile;
  MagellanModelConfig config;
  while (arguments.Next()) {
    if (arguments.Is("--track")) {
      trackFile = arguments.Text();
    } else if (arguments.Is("--waypoints")) {
      waypointFile = arguments.Text();
    } else if (arguments.Is("--no-handshake")) {
      config.handshake = false;
    } else if (!ReadFlightOption(arguments, flight) && !ReadFaultOption(arguments, config.faultsFor)) {
      arguments.Refuse();
    }
  }
  return [config, flight, trackFile, waypointFile]() mutable {
    config.trackSentences = trackFile.empty() ? MagellanTrackSentences(GenerateFlight(flight))
                                              : SentencesOfFile(trackFile, "$PMGNTRK");
    config.waypointSentences = waypointFile.empty() ? MagellanWaypointSentences(DefaultWaypoints())
                                                    : SentencesOfFile(waypointFile, "$PMGNWPL");
    return std::make_unique<MagellanModel>(config);
  };
}

}  // namespace

extern const SimFamily kMagellanFamily{
    "magellan", "a Magellan receiver serving a track and waypoints over $PMGN sentences",
    "[--track FILE.log] [--waypoints FILE] [--seed N] [--minutes N] [--no-handshake]\n"
    "[--fault SENTENCE=KIND[@N]]... SENTENCE: PMGNVER, PMGNCSM, END, PMGNTRK, PMGNTRK:N,\n"
    "PMGNWPL, PMGNWPL:N",
    ReadMagellanOptions};

}  // namespace logwell::sim
