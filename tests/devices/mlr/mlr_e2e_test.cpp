// The MLR host against the virtual unit on a pseudo-terminal: a served real flight of an MLR
// SP24XC, waypoints both ways, the fast waypoint read and the 38400-baud track variant, the
// faults, and the command line's MLR.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "devices/family_rig.h"
#include "devices/mlr/mlr_probe.h"
#include "devices/mlr/mlr_workers.h"
#include "geo/units.h"
#include "sim/flight_generator.h"
#include "sim/mlr/mlr_model.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;

std::vector<TrackPoint> GeneratedFlight() {
  sim::FlightPlan plan;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0});
  plan.duration = std::chrono::minutes(5);
  plan.fixInterval = std::chrono::seconds(2);
  return sim::GenerateFlight(plan);
}

class Rig : public testing::FamilyRig<sim::MlrModel> {
 public:
  explicit Rig(sim::MlrModelConfig config, ProtocolType column = ProtocolType::Mlr)
      : FamilyRig(std::make_unique<sim::MlrModel>(std::move(config)), column, mlr::RegisterMlrWorkers) {
    log.points.resize(3);  // what a failed download must leave alone
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
};

TEST(MlrE2e, ServedRealFlightArrivesFixForFixOnBothTrackVariants) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  // An MLR SP24XC flight, ten hours logged mostly every 20 s.
  const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / "2008-05-12-CGP-XDFE-01.igc"));
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  for (const ProtocolType protocol : {ProtocolType::Mlr, ProtocolType::MlrSecondVariant}) {
    SCOPED_TRACE(static_cast<int>(protocol));
    sim::MlrModelConfig config;
    config.points = decoded.points;
    Rig rig(config, protocol);
    ASSERT_EQ(rig.ReadTrackLog(), static_cast<int>(decoded.points.size()))
        << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
    ASSERT_EQ(rig.log.points.size(), decoded.points.size());
    for (std::size_t i = 0; i < decoded.points.size(); ++i) {
      ASSERT_EQ(rig.log.points[i].time, decoded.points[i].time) << i;
      ASSERT_NEAR(rig.log.points[i].latitude, decoded.points[i].latitude, 20) << i;
      ASSERT_NEAR(rig.log.points[i].longitude, decoded.points[i].longitude, 20) << i;
      ASSERT_EQ(rig.log.points[i].gpsAltitude, decoded.points[i].gpsAltitude) << i;
    }
    EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Mlr);
    EXPECT_EQ(rig.log.source.altitudeFlag, 0u);
    EXPECT_EQ(rig.log.source.InstrumentText(), "MLR SP24XC SW3.98");
  }
}

TEST(MlrE2e, WaypointsRoundTripAndTheFastRead) {
  sim::MlrModelConfig config;
  config.maker = "Digifly";
  config.model = "Leonardo";
  config.points = GeneratedFlight();
  config.waypoints = {{"TAKEOF0Takeoff Fiesch", 46.4097, 8.1364}};
  Rig rig(config);
  std::vector<Waypoint> upload(2);
  upload[0].SetId("TOP1");
  upload[0].SetDescription("Hill top");
  upload[0].latitude = DegreesToSemicircles(46.4097);
  upload[0].longitude = DegreesToSemicircles(8.1364);
  upload[1].SetId("cape");
  upload[1].SetDescription("Cape Point");
  upload[1].latitude = DegreesToSemicircles(-34.3568);
  upload[1].longitude = DegreesToSemicircles(-18.4975);
  std::vector<Waypoint> sent = upload;
  ASSERT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 0, &sent), 0);
  EXPECT_EQ(rig.ui.LastStatus(), "2 waypoints sent");
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  ASSERT_EQ(rig.waypoints.size(), 3u);
  EXPECT_EQ(rig.waypoints[0].Description(), "Takeoff Fiesch");
  EXPECT_EQ(rig.waypoints[2].Id(), "CAPE");
  for (std::size_t i = 0; i < upload.size(); ++i) {
    EXPECT_EQ(rig.waypoints[i + 1].Description(), upload[i].Description());
    EXPECT_NEAR(rig.waypoints[i + 1].latitude, upload[i].latitude, 100);
    EXPECT_NEAR(rig.waypoints[i + 1].longitude, upload[i].longitude, 100);
  }

  // The same set through the fast read (protocol type 14).
  Rig fast(config, ProtocolType::MlrFastWaypoints);
  ASSERT_EQ(fast.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  ASSERT_EQ(fast.waypoints.size(), 1u);
  EXPECT_EQ(fast.waypoints[0].Id(), "TAKEOF");

  // A bad identifier sends nothing at all.
  sent = upload;
  sent[1].SetId("X;Y");
  EXPECT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 0, &sent), -1);
  EXPECT_EQ(rig.Errors().back(), "E305 Bad waypoint ID character");
  EXPECT_EQ(rig.model->Waypoints().size(), 3u);  // nothing more stored
}

TEST(MlrE2e, FaultsLeaveTheLogAlone) {
  struct Case {
    const char* name;
    const char* request;
    sim::Fault fault;
    std::string message;  // a prefix of the message
  };
  sim::Fault corrupt{sim::Fault::Kind::CorruptChecksum};
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 3000;
  sim::Fault changed{sim::Fault::Kind::CorruptByte};
  changed.offset = 40;  // inside the first $GPRMC
  const Case cases[] = {
      {"silent unit", "PMLR,59,1", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"bad checksum", "PMLR,59,1", corrupt, "E205 Bad checksum"},
      {"hang-up mid-track", "PMLR,59,1", hangUp, ""},
      {"changed byte", "PMLR,59,1", changed, "E205 Bad checksum"},
      {"product answer never comes", "PMLR,24", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::MlrModelConfig config;
    config.points = GeneratedFlight();
    config.faultsFor[c.request] = {c.fault};
    Rig rig(config);
    rig.framework.connectSeconds = 4;
    EXPECT_LT(rig.ReadTrackLog(), 0);
    EXPECT_EQ(rig.log.points.size(), 3u);
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(c.message)) << errors[0];
  }
}

TEST(MlrE2e, ProductScanFindsTheUnit) {
  sim::MlrModelConfig config;
  config.maker = "CPilot";
  config.model = "Evo";
  config.software = 1002;
  sim::VirtualInstrument instrument(std::make_unique<sim::MlrModel>(config));
  std::vector<std::string> lines;
  ProbeReport report;
  report.productLine = [&](std::string_view text) { lines.emplace_back(text); };
  const ProbeResult result = mlr::ProbeMlr(instrument.DevicePath(), report);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.model, "CPilot Evo");
  EXPECT_EQ(result.software, "10.02");
  EXPECT_EQ(lines.back(), "CPilot Evo SW10.02");
}

TEST(MlrUnattended, TrackLogSavedOrExitCodeOne) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-mlr-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken);
    sim::MlrModelConfig config;
    config.points = GeneratedFlight();
    if (broken) config.faultsFor["PMLR,59,1"] = {sim::Fault{sim::Fault::Kind::Silence}};
    sim::VirtualInstrument instrument(std::make_unique<sim::MlrModel>(config));
    testing::ScriptedUi ui;
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / (broken ? "broken.igc" : "saved.igc");
    ParseResult parsed = ParseCommandLine(
        "/COM=" + instrument.DevicePath() + " /GPS=MLR /IGC_LOG=" + out.string() + " /EXIT /WIN=0", ui, handlers);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), broken ? 1 : 0)
        << (ui.StatusTexts().empty() ? std::string() : ui.StatusTexts().back());
    EXPECT_EQ(fs::exists(out), !broken);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
