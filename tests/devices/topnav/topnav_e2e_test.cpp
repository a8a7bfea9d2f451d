// The Top Navigator / XC Trainer host against the virtual instrument on a pseudo-terminal: a
// served real flight on the four protocol types, the clock offset of a Top Navigator, the
// faults, and the command line's TOPNAV, XCTRAINER and XCT_MXP.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <thread>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "devices/family_rig.h"
#include "devices/topnav/topnav_workers.h"
#include "geo/units.h"
#include "sim/flight_generator.h"
#include "sim/topnav/topnav_model.h"
#include "support/fixtures.h"
#include "track/formats/tnc_log.h"
#include "track/igc/igc_reader.h"
#include "wire/topnav/topnav_waypoints.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<TrackPoint> GeneratedFlight() {
  sim::FlightPlan plan;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0});
  plan.duration = std::chrono::minutes(5);
  plan.fixInterval = std::chrono::seconds(2);
  return sim::GenerateFlight(plan);
}

class Rig : public testing::FamilyRig<sim::TopNavModel> {
 public:
  explicit Rig(sim::TopNavModelConfig config, ProtocolType column = ProtocolType::XcTrainerMxp)
      : FamilyRig(std::make_unique<sim::TopNavModel>(std::move(config)), column, topnav::RegisterTopNavWorkers) {
    log.points.resize(3);  // what a failed download must leave alone
    framework.connectSeconds = 2;
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
};

TEST(TopNavE2e, ServedRealFlightArrivesFixForFixOnAllFourTypes) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  // A flight south of the equator and east of Greenwich: both signs of the 24-bit fields.
  const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / "new_zealand.igc"));
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  const struct {
    ProtocolType protocol;
    TncInstrument instrument;
    std::string_view name;
  } cases[] = {
      {ProtocolType::TopNavigator, TncInstrument::TopNavigator, "Top Navigator"},
      {ProtocolType::XcTrainer, TncInstrument::XcTrainer, "XC Trainer"},
      {ProtocolType::TopNavigatorMxp, TncInstrument::TopNavigator, "Top Navigator"},
      {ProtocolType::XcTrainerMxp, TncInstrument::XcTrainer, "XC Trainer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.protocol));
    sim::TopNavModelConfig config;
    config.instrument = c.instrument;
    config.points = decoded.points;
    const std::string sent = sim::TopNavTransfer(config);
    Rig rig(config, c.protocol);
    ASSERT_EQ(rig.ReadTrackLog(), static_cast<int>(decoded.points.size()))
        << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
    ASSERT_EQ(rig.log.points.size(), decoded.points.size());
    for (std::size_t i = 0; i < decoded.points.size(); ++i) {
      ASSERT_EQ(rig.log.points[i].time, decoded.points[i].time) << i;
      // 1/24000 degree is about 497 semicircles.
      ASSERT_NEAR(rig.log.points[i].latitude, decoded.points[i].latitude, 260) << i;
      ASSERT_NEAR(rig.log.points[i].longitude, decoded.points[i].longitude, 260) << i;
      ASSERT_EQ(rig.log.points[i].gpsAltitude, decoded.points[i].gpsAltitude) << i;
    }
    EXPECT_EQ(rig.log.source.kind, TrackSourceKind::TopNavigator);
    EXPECT_EQ(rig.log.source.timeIsUtc, 0);
    EXPECT_EQ(rig.log.source.altitudeFlag, 0);
    EXPECT_EQ(rig.log.source.InstrumentName(), c.name);
    EXPECT_EQ(rig.log.rawTopNavLog, sent);  // what Save log As writes as ".tnc"
    EXPECT_TRUE(rig.Errors().empty());
  }
}

TEST(TopNavE2e, UtcOffsetMovesTopNavigatorTimesOnly) {
  for (const TncInstrument instrument : {TncInstrument::TopNavigator, TncInstrument::XcTrainer}) {
    sim::TopNavModelConfig config;
    config.instrument = instrument;
    config.points = GeneratedFlight();
    Rig rig(config, ProtocolType::TopNavigatorMxp);
    rig.context.numberSetting = [](std::string_view name) { return name == "UtcOffsetForTN" ? 2 : 0; };
    ASSERT_GT(rig.ReadTrackLog(), 0);
    const GarminTime shift = instrument == TncInstrument::TopNavigator ? 7200 : 0;
    EXPECT_EQ(rig.log.points.front().time, config.points.front().time + shift);
    EXPECT_EQ(rig.log.points.back().time, config.points.back().time + shift);
  }
}

TEST(TopNavE2e, FaultsLeaveTheLogAlone) {
  struct Case {
    const char* name;
    sim::Fault fault;
    std::string message;  // a prefix of the message
  };
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 38 + 2 + 30 * 20;  // the header and twenty points
  sim::Fault changed{sim::Fault::Kind::CorruptByte};
  changed.offset = 40 + 30 * 3 + 12;  // a latitude digit of the fourth point
  sim::Fault garbage{sim::Fault::Kind::Garbage};
  const Case cases[] = {
      {"silent instrument", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"changed byte", changed, "E205 Bad checksum"},
      {"garbage before the start record", garbage, "Unsupported record"},
      {"hang-up mid-transfer", hangUp, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::TopNavModelConfig config;
    config.points = GeneratedFlight();
    config.faultsFor["transfer"] = {c.fault};
    Rig rig(config);
    EXPECT_LT(rig.ReadTrackLog(), 0);
    EXPECT_EQ(rig.log.points.size(), 3u);
    EXPECT_TRUE(rig.log.rawTopNavLog.empty());
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(c.message)) << errors[0];
  }
}

TEST(TopNavE2e, AbortWhileWaitingForTheTransfer) {
  sim::TopNavModelConfig config;
  config.points = GeneratedFlight();
  config.faultsFor["transfer"] = {sim::Fault{sim::Fault::Kind::Silence}};
  Rig rig(config);
  rig.framework.connectSeconds = 30;
  auto download = std::async(std::launch::async, [&] { return rig.ReadTrackLog(); });
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline && rig.model->Transfers() == 0) std::this_thread::sleep_for(20ms);
  const auto abortAt = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.framework.AbortGpsAccess(&rig.ui), 0);
  EXPECT_EQ(download.get(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - abortAt, 1500ms);
  EXPECT_EQ(rig.ui.LastStatus(), "Transfer aborted");
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_EQ(rig.log.points.size(), 3u);
}

TEST(TopNavE2e, WaypointsGoUpOnOneTypeAndComeBackOnTheOther) {
  std::vector<Waypoint> upload(3);
  const char* ids[] = {"FIESCH", "EGGISH", "LZ"};
  for (std::size_t i = 0; i < upload.size(); ++i) {
    upload[i].SetId(ids[i]);
    upload[i].SetDescription(i == 1 ? "Eggishorn summit station, north side" : "Landing*");
    upload[i].latitude = DegreesToSemicircles(46.4 + 0.01 * static_cast<double>(i));
    upload[i].longitude = DegreesToSemicircles(i == 2 ? -8.1 : 8.1);
    upload[i].altitude = i == 2 ? -5 : 2900;
  }
  Rig rig(sim::TopNavModelConfig{}, ProtocolType::TopNavigator);
  std::vector<Waypoint> sent = upload;  // the access takes its list over
  ASSERT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 0, &sent), 0);
  ASSERT_EQ(rig.model->Waypoints().size(), 3u);
  EXPECT_EQ(rig.Notified().back(), "Sent wpt 3/3");

  rig.protocol = ProtocolType::XcTrainer;
  rig.model->SendWaypoints(true);
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0)
      << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
  ASSERT_EQ(rig.waypoints.size(), 3u);
  for (std::size_t i = 0; i < upload.size(); ++i) {
    EXPECT_EQ(rig.waypoints[i].Id(), upload[i].Id());
    EXPECT_NEAR(rig.waypoints[i].latitude, upload[i].latitude, 260);
    EXPECT_NEAR(rig.waypoints[i].longitude, upload[i].longitude, 260);
    EXPECT_EQ(rig.waypoints[i].altitude, upload[i].altitude);
  }
  EXPECT_EQ(rig.waypoints[1].Description(), "Eggishorn summit");  // 16 characters
  EXPECT_EQ(rig.waypoints[0].Description(), "Landing");           // "*" is the line's own mark

  // A transfer of the wrong kind, or a broken line, is refused whole.
  rig.model->SendWaypoints(false);
  EXPECT_LT(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  EXPECT_TRUE(rig.Errors().back().starts_with("Unsupported record @xc")) << rig.Errors().back();
  Waypoint parsed;
  std::string line = topnav::FormatWaypointLine(upload[0], 0);
  line.resize(topnav::kWaypointLineLength);
  EXPECT_FALSE(topnav::ParseWaypointLine(line, 0, parsed));
  line[5] ^= 1;
  EXPECT_EQ(topnav::ParseWaypointLine(line, 0, parsed), "E205 Bad checksum");
  EXPECT_TRUE(topnav::ParseWaypointLine(line.substr(1), 0, parsed)->starts_with("Unsupported record"));
}

TEST(TopNavUnattended, TrackLogSavedOrExitCodeOne) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-topnav-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const struct {
    const char* gps;
    bool broken;
  } cases[] = {{"TOPNAV", false}, {"XCTRAINER", false}, {"XCT_MXP", false}, {"XCT_MXP", true}};
  // (IGC_LOG is refused for TOPNAV by the command line's own table.)
  for (const auto& c : cases) {
    SCOPED_TRACE(c.gps);
    sim::TopNavModelConfig config;
    config.points = GeneratedFlight();
    if (c.broken) config.faultsFor["transfer"] = {sim::Fault{sim::Fault::Kind::Silence}};
    sim::VirtualInstrument instrument(std::make_unique<sim::TopNavModel>(config));
    testing::ScriptedUi ui;
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / (std::string(c.gps) + (c.broken ? "-broken" : "") + ".kml");
    ParseResult parsed = ParseCommandLine("/COM=" + instrument.DevicePath() + " /GPS=" + c.gps +
                                              " /KML_LOG=" + out.string() + " /EXIT /WIN=0 /TIMEOUT=2",
                                          ui, handlers);
    ASSERT_TRUE(parsed.options) << (ui.Events().empty() ? std::string() : ui.Events().front().text);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), c.broken ? 1 : 0)
        << (ui.StatusTexts().empty() ? std::string() : ui.StatusTexts().back());
    EXPECT_EQ(fs::exists(out), !c.broken);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
