// The MLR host against the virtual unit (written from MLR's document) on a pseudo-terminal:
// the virtual unit's frames against the document's example, served real flights over both
// tracklog rates, waypoints both ways, the faults, the product scan (which must leave the unit
// idle) and the command line's MLR.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "devices/family_rig.h"
#include "devices/mlr/mlr_document.h"
#include "devices/mlr/mlr_probe.h"
#include "devices/mlr/mlr_workers.h"
#include "devices/product_scan.h"
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

// Whether the unit has stopped sending, within a second.
bool SettlesIdle(const sim::MlrModel& model) {
  for (int i = 0; i < 100 && model.Sending(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return !model.Sending();
}

TEST(MlrVirtualUnit, SendsTheDocumentsExampleByteForByte) {
  // The document's two points: 47°N 1°W 80 m at 14:00:00, 47°00.010'N 1°00.008'W 80.5 m at
  // 14:00:05 on 2000-06-21 (GMT).
  std::vector<TrackPoint> points(2);
  points[0].time = CalendarToGarminTime(CalendarTime{2000, 6, 0, 21, 14, 0, 0});
  points[0].latitude = DegreesToSemicircles(47.0);
  points[0].longitude = DegreesToSemicircles(-1.0);
  points[0].gpsAltitude = 800;
  points[1].time = points[0].time + 5;
  points[1].latitude = DegreesToSemicircles(47 + 0.010 / 60);
  points[1].longitude = DegreesToSemicircles(-(1 + 0.008 / 60));
  points[1].gpsAltitude = 805;
  std::vector<std::uint8_t> expected = testing::kMlrDocumentStartFrame;
  expected.insert(expected.end(), testing::kMlrDocumentPointFrame.begin(), testing::kMlrDocumentPointFrame.end());
  expected.insert(expected.end(), testing::kMlrDocumentEndFrame.begin(), testing::kMlrDocumentEndFrame.end());
  EXPECT_EQ(sim::MlrTracklog(points), expected);
}

TEST(MlrE2e, ServedRealFlightsArriveFixForFixAtBothRates) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  // An MLR SP24XC flight (north, east), one over New Zealand (south, east), one in the west.
  for (const char* file : {"2008-05-12-CGP-XDFE-01.igc", "new_zealand.igc", "MurphyJ-2022-03-26.igc"}) {
    const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / file));
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    for (const ProtocolType protocol : {ProtocolType::Mlr, ProtocolType::MlrSecondVariant}) {
      SCOPED_TRACE(std::string(file) + (protocol == ProtocolType::Mlr ? " at 19200" : " at 38400"));
      sim::MlrModelConfig config;
      config.points = decoded.points;
      Rig rig(config, protocol);
      ASSERT_EQ(rig.ReadTrackLog(), static_cast<int>(decoded.points.size()))
          << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
      ASSERT_EQ(rig.log.points.size(), decoded.points.size());
      long long largest = 0;
      for (std::size_t i = 0; i < decoded.points.size(); ++i) {
        ASSERT_EQ(rig.log.points[i].time, decoded.points[i].time) << i;
        ASSERT_EQ(rig.log.points[i].gpsAltitude, decoded.points[i].gpsAltitude) << i;
        largest = std::max({largest, std::llabs(std::int64_t{rig.log.points[i].latitude} - decoded.points[i].latitude),
                            std::llabs(std::int64_t{rig.log.points[i].longitude} - decoded.points[i].longitude)});
      }
      // The unit's unit is the semicircle: only the rounding of the virtual unit's degrees stays.
      EXPECT_LE(largest, 1);
      RecordProperty(std::string(file) + (protocol == ProtocolType::Mlr ? "-19200" : "-38400"),
                     std::to_string(decoded.points.size()) + " fixes, largest difference " + std::to_string(largest));
      EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Mlr);
      EXPECT_EQ(rig.log.source.altitudeFlag, 0u);
      EXPECT_EQ(rig.log.source.InstrumentText(), "MLR SP24XC SW3.98");
      // One transfer started, and stopped with everything else once it had ended.
      EXPECT_EQ(rig.model->TransfersStarted(), 1);
      EXPECT_TRUE(SettlesIdle(*rig.model));
    }
  }
}

TEST(MlrE2e, WaypointsRoundTripAndTheFastRead) {
  sim::MlrModelConfig config;
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
  EXPECT_EQ(rig.model->TransfersStarted(), 0);
  EXPECT_TRUE(SettlesIdle(*rig.model));

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

TEST(MlrE2e, FaultsLeaveTheLogAloneAndTheUnitStopped) {
  struct Case {
    const char* name;
    const char* request;
    sim::Fault fault;
    std::string message;  // a prefix of the message
    bool lineDies = false;
  };
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 3000;
  sim::Fault changed{sim::Fault::Kind::CorruptByte};
  changed.offset = 40;  // inside the first point frame
  sim::Fault noise{sim::Fault::Kind::Garbage};
  noise.garbage = {0x8B, 0x01, 'X'};
  const Case cases[] = {
      {"silent unit", "PMLR,24", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"bad sum", "PMLR,24", changed, "E205 Bad checksum"},
      {"noise before the first frame is passed over", "PMLR,24", noise, ""},
      {"hang-up mid-tracklog", "PMLR,24", hangUp, "COM port read error", true},
      {"identification never comes", "PMLR,26", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::MlrModelConfig config;
    config.points = GeneratedFlight();
    config.faultsFor[c.request] = {c.fault};
    Rig rig(config);
    rig.framework.connectSeconds = 4;
    if (c.message.empty()) {
      EXPECT_EQ(rig.ReadTrackLog(), static_cast<int>(config.points.size()));
      EXPECT_TRUE(rig.Errors().empty());
      EXPECT_TRUE(SettlesIdle(*rig.model));
      continue;
    }
    EXPECT_LT(rig.ReadTrackLog(), 0);
    EXPECT_EQ(rig.log.points.size(), 3u);
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(c.message)) << errors[0];
    if (!c.lineDies) {
      EXPECT_TRUE(SettlesIdle(*rig.model));
    }
  }
}

TEST(MlrE2e, ProbeAsksOnlyForTheIdentification) {
  sim::MlrModelConfig config;
  config.model = "SP24XC";
  config.serial = "0000004711";
  config.software = "3.98";
  config.points = GeneratedFlight();
  auto owned = std::make_unique<sim::MlrModel>(config);
  const sim::MlrModel& model = *owned;
  sim::VirtualInstrument instrument(std::move(owned));
  std::vector<std::string> lines;
  ProbeReport report;
  report.productLine = [&](std::string_view text) { lines.emplace_back(text); };
  const ProbeResult result = mlr::ProbeMlr(instrument.DevicePath(), report);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.model, "MLR SP24XC");
  EXPECT_EQ(result.serial, "0000004711");
  EXPECT_EQ(result.software, "3.98");
  EXPECT_EQ(lines.back(), "MLR SP24XC SW3.98");
  // No tracklog started, and the repeated identification stopped.
  EXPECT_EQ(model.TransfersStarted(), 0);
  EXPECT_TRUE(SettlesIdle(model));
}

TEST(MlrE2e, ProductScanLeavesTheUnitAsItFoundIt) {
  // The whole scan: every family's probe asks the port in turn until the MLR one finds the unit.
  // None of them may start a transfer or leave the unit sending.
  sim::MlrModelConfig config;
  config.points = GeneratedFlight();
  auto owned = std::make_unique<sim::MlrModel>(config);
  const sim::MlrModel& model = *owned;
  sim::VirtualInstrument instrument(std::move(owned));
  const auto findings = ScanPorts({instrument.DevicePath()});
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(ScanFindingLine(findings[0]),
            instrument.DevicePath() +
                ": MLR/Leonardo, MLR SP24XC, firmware 3.98, serial 0001234567; use /GPS=MLR");
  EXPECT_EQ(model.TransfersStarted(), 0);
  EXPECT_TRUE(SettlesIdle(model));
  const auto received = instrument.Received();
  const std::string sent(received.begin(), received.end());
  EXPECT_EQ(sent.find("$PMLR,24,"), std::string::npos);
}

TEST(MlrUnattended, TrackLogSavedOrExitCodeOneAndNoFile) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-mlr-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  sim::Fault changed{sim::Fault::Kind::CorruptByte};
  changed.offset = 40;
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 300;
  struct Case {
    const char* name;
    std::vector<sim::Fault> faults;  // on the tracklog
    std::string message;             // empty: saved
  };
  const Case cases[] = {
      {"saved", {}, ""},
      {"silence", {sim::Fault{sim::Fault::Kind::Silence}}, "No valid response from GPS"},
      {"hang-up", {hangUp}, "COM port read error"},
      {"bad-sum", {changed}, "E205 Bad checksum"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::MlrModelConfig config;
    config.points = GeneratedFlight();
    if (!c.faults.empty()) config.faultsFor["PMLR,24"] = c.faults;
    sim::VirtualInstrument instrument(std::make_unique<sim::MlrModel>(config));
    testing::ScriptedUi ui;
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / (std::string(c.name) + ".igc");
    ParseResult parsed = ParseCommandLine(
        "/COM=" + instrument.DevicePath() + " /GPS=MLR /IGC_LOG=" + out.string() + " /EXIT /WIN=0", ui, handlers);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), c.message.empty() ? 0 : 1)
        << (ui.StatusTexts().empty() ? std::string() : ui.StatusTexts().back());
    EXPECT_EQ(fs::exists(out), c.message.empty());
    if (!c.message.empty()) {
      const auto boxes = ui.Boxes();
      ASSERT_FALSE(boxes.empty());
      EXPECT_EQ(boxes.back().text.substr(0, boxes.back().text.find("\r\n")), c.message);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
