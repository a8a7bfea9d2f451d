// The IQ Basic / Flytec 6015 host against the virtual instrument on a pseudo-terminal, through
// the access framework, the serial code and the registered workers; then the command line's
// IQBASIC through the unattended run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "devices/family_rig.h"
#include "devices/iqbasic/iqbasic_probe.h"
#include "devices/iqbasic/iqbasic_workers.h"
#include "geo/units.h"
#include "sim/flight_generator.h"
#include "sim/flytec/flytec_model.h"
#include "sim/iqbasic/iqbasic_model.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kRealFlight = "2007-04-22-FLY-5094-01.igc";  // a Flytec 5020, 9166 fixes

std::string GeneratedFlight(int minutes, std::uint32_t seed = 1) {
  sim::FlightPlan plan;
  plan.seed = seed;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0});
  plan.duration = std::chrono::minutes(minutes);
  plan.fixInterval = std::chrono::seconds(2);
  plan.courseLengthKm = 10.0;
  return sim::FlytecIgcText(sim::GenerateFlight(plan), "815", "JANE DOE");
}

class Rig : public testing::FamilyRig<sim::IqBasicModel> {
 public:
  explicit Rig(sim::IqBasicModelConfig config)
      : FamilyRig(std::make_unique<sim::IqBasicModel>(std::move(config)), ProtocolType::IqBasic,
                  iqbasic::RegisterIqBasicWorkers) {
    context.commandLineTracks = [] { return std::vector<int>{0}; };
    log.points.resize(3);  // what a failed download must leave alone
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
};

TEST(IqBasicE2e, ServedRealFlightArrivesFixForFix) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const std::string text = testing::ReadWholeFile(fixtures / "igc" / kRealFlight);
  const igc::IgcDecodeResult expected = igc::DecodeIgcText(text);
  ASSERT_TRUE(expected.Ok()) << expected.error;
  for (const int deviceType : {1, 0}) {
    SCOPED_TRACE(deviceType);
    sim::IqBasicModelConfig config;
    config.deviceType = deviceType;
    config.serialBytes = deviceType == 1 ? 4 : 2;
    config.flights = {text};
    Rig rig(config);
    ASSERT_EQ(rig.ReadTrackLog(), static_cast<int>(expected.points.size()))
        << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
    ASSERT_EQ(rig.log.points.size(), expected.points.size());
    for (std::size_t i = 0; i < expected.points.size(); ++i) {
      ASSERT_EQ(rig.log.points[i].time, expected.points[i].time) << i;
      ASSERT_EQ(rig.log.points[i].latitude, expected.points[i].latitude) << i;
      ASSERT_EQ(rig.log.points[i].longitude, expected.points[i].longitude) << i;
    }
    ASSERT_TRUE(rig.log.rawIgc);
    EXPECT_EQ(rig.log.rawIgc->text, text);  // the instrument's own signed text, byte for byte
    EXPECT_EQ(rig.log.source.kind, TrackSourceKind::IqBasic);
    EXPECT_EQ(rig.log.source.signState, SignState::Downloaded);
    EXPECT_EQ(rig.log.source.altitudeFlag, 1u);
    EXPECT_EQ(rig.log.source.InstrumentText(),
              deviceType == 1 ? "IQ Basic, SW 1.1.07, S/N 4711" : "Flytec 6015, SW 1.1.07, S/N 4711");
  }
}

TEST(IqBasicE2e, FlightListGoesToTheNotifyChannel) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  sim::IqBasicModelConfig config;
  config.flights = {testing::ReadWholeFile(fixtures / "igc" / kRealFlight), GeneratedFlight(10)};
  Rig rig(config);
  rig.context.unattended = true;
  ASSERT_EQ(rig.Run(AccessType::ReadFlightList, CompleteFlightListRead), 0);
  ASSERT_EQ(rig.Notified().size(), 1u);
  EXPECT_EQ(rig.Notified()[0], "Flightlist:\n07.04.22,09:02:59,7:45:32\n24.06.03,10:00:00,0:10:00\n");
}

TEST(IqBasicE2e, WaypointsRoundTrip) {
  sim::IqBasicModelConfig config;
  config.waypoints = {{"OLD ONE", 46.0, 7.5, 900, 400}};
  Rig rig(config);
  std::vector<Waypoint> upload(3);
  upload[0].SetDescription("Fiesch west top");
  upload[0].latitude = DegreesToSemicircles(46.4097);
  upload[0].longitude = DegreesToSemicircles(8.1364);
  upload[0].altitude = 2230;
  upload[1].SetDescription("CAPE");
  upload[1].latitude = DegreesToSemicircles(-33.9123);
  upload[1].longitude = DegreesToSemicircles(18.4);
  upload[1].altitude = 12;
  upload[2].SetDescription("DATELINE W");
  upload[2].latitude = DegreesToSemicircles(-16.5);
  upload[2].longitude = DegreesToSemicircles(-179.99);
  std::vector<Waypoint> sent = upload;
  ASSERT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 0, &sent), 0)
      << (rig.Errors().empty() ? "" : rig.Errors().front());
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  ASSERT_EQ(rig.waypoints.size(), 4u);
  EXPECT_EQ(rig.waypoints[0].Description(), "OLD ONE");
  for (std::size_t i = 0; i < upload.size(); ++i) {
    const Waypoint& got = rig.waypoints[i + 1];
    EXPECT_EQ(got.Description(), upload[i].Description());
    EXPECT_NEAR(got.latitude, upload[i].latitude, 100);  // half a thousandth of a minute
    EXPECT_NEAR(got.longitude, upload[i].longitude, 100);
    EXPECT_EQ(got.altitude, upload[i].altitude);
  }
  EXPECT_EQ(rig.waypoints[1].Id(), "FIESCH");

  // Sending them again: the instrument keeps the first of each name and says so.
  sent = upload;
  sent[1].SetDescription("NEW");
  EXPECT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 0, &sent), -1);
  EXPECT_EQ(rig.Errors(), std::vector<std::string>{"1 of 3 waypoints ok. First error was \"already exist\""});
}

struct FaultCase {
  const char* name;
  const char* request;
  sim::Fault fault;
  std::string message;  // empty: any message
};

sim::Fault At(sim::Fault::Kind kind, std::size_t offset) {
  sim::Fault fault{kind};
  fault.offset = offset;
  return fault;
}

// Each fault ends the download with its message and leaves the track log as it was.
TEST(IqBasicE2e, DownloadFaultsLeaveTheLogAlone) {
  const std::string flight = GeneratedFlight(10);
  // A B record's hemisphere letter: 'N' corrupted to 'O'.
  const std::size_t letter = flight.find("\r\nB") + 2 + 14;
  const FaultCase cases[] = {
      {"silent instrument", "ACT_21", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"corrupted line", "ACT_21", At(sim::Fault::Kind::CorruptByte, letter), "E206 Format error 17"},
      {"garbage", "ACT_21", sim::Fault{sim::Fault::Kind::Garbage}, "E205 Bad record type (FF)"},
      {"hang-up mid-flight", "ACT_21", At(sim::Fault::Kind::HangUp, 2000), ""},
      {"flight list broken off", "ACT_20", At(sim::Fault::Kind::HangUp, 30), ""},
      {"product data never answered", "RPA", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::IqBasicModelConfig config;
    config.flights = {flight};
    config.faultsFor[c.request] = {c.fault};
    Rig rig(config);
    rig.framework.connectSeconds = 4;  // two rounds of product requests
    EXPECT_LT(rig.ReadTrackLog(), 0);
    EXPECT_EQ(rig.log.points.size(), 3u);
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    if (!c.message.empty()) {
      EXPECT_EQ(errors[0], c.message);
    }
  }
}

TEST(IqBasicE2e, WaypointFaults) {
  const FaultCase cases[] = {
      {"corrupted waypoint line", "ACT_31", At(sim::Fault::Kind::CorruptByte, 22),
       "Unsupported record: TAKEOFF FIESCH  ;N  46&24.582;E 008'08.184;  2230;   400"},
      {"waypoint list broken off", "ACT_31", At(sim::Fault::Kind::HangUp, 30), ""},
      {"silent after the waypoint", "ACT_32", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::IqBasicModelConfig config;
    config.waypoints = {{"TAKEOFF FIESCH", 46.4097, 8.1364, 2230, 400}};
    config.faultsFor[c.request] = {c.fault};
    Rig rig(config);
    rig.waypoints = {Waypoint{}};
    std::vector<Waypoint> upload(1);
    upload[0].SetDescription("X");
    const bool reading = std::string(c.request) == "ACT_31";
    EXPECT_EQ(reading ? rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead)
                      : rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 0, &upload),
              -1);
    EXPECT_EQ(rig.waypoints.size(), 1u);  // the list in the window stays
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    if (!c.message.empty()) {
      EXPECT_EQ(errors[0], c.message);
    }
  }
}

TEST(IqBasicE2e, AbortWhileWaitingForTheFlight) {
  sim::IqBasicModelConfig config;
  config.flights = {GeneratedFlight(10)};
  sim::Fault delay{sim::Fault::Kind::Delay};
  delay.delay = 2500ms;
  config.faultsFor["ACT_21"] = {delay};
  Rig rig(config);
  auto download = std::async(std::launch::async, [&] { return rig.ReadTrackLog(); });
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto status = rig.ui.StatusTexts();
    if (std::find(status.begin(), status.end(), "Requesting track log 1") != status.end()) break;
    std::this_thread::sleep_for(20ms);
  }
  const auto abortAt = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.framework.AbortGpsAccess(&rig.ui), 0);
  EXPECT_EQ(download.get(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - abortAt, 1s);
  EXPECT_EQ(rig.ui.LastStatus(), "Transfer aborted");
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_EQ(rig.log.points.size(), 3u);
}

TEST(IqBasicE2e, ProductScanFindsTheInstrument) {
  sim::IqBasicModelConfig config;
  config.deviceType = 0;
  sim::VirtualInstrument instrument(std::make_unique<sim::IqBasicModel>(config));
  std::vector<std::string> lines;
  ProbeReport report;
  report.productLine = [&](std::string_view text) { lines.emplace_back(text); };
  const ProbeResult result = iqbasic::ProbeIqBasic(instrument.DevicePath(), report);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.model, "Flytec 6015");
  EXPECT_EQ(result.serial, "4711");
  EXPECT_EQ(result.software, "1.1.07");
  EXPECT_EQ(lines.back(), "Flytec 6015, SW 1.1.07, S/N 4711");
}

// The command line's IQBASIC: the instrument's own text saved, and a broken transfer that ends
// with exit code 1 and no file.
TEST(IqBasicUnattended, IgcSaveAndFailedTransfer) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-iqbasic-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken);
    sim::IqBasicModelConfig config;
    config.flights = {GeneratedFlight(10)};
    if (broken) config.faultsFor["ACT_21"] = {At(sim::Fault::Kind::HangUp, 3000)};
    sim::VirtualInstrument instrument(std::make_unique<sim::IqBasicModel>(config));
    testing::ScriptedUi ui;
    ui.ScriptChoice(std::vector<int>{0});  // the Track List: the first flight
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / (broken ? "broken" : "saved");
    fs::create_directories(out);
    ParseResult parsed = ParseCommandLine(
        "/COM=" + instrument.DevicePath() + " /GPS=IQBASIC /IGC_LOG=" + out.string() + "/ /EXIT /WIN=0", ui, handlers);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), broken ? 1 : 0)
        << (ui.StatusTexts().empty() ? std::string() : ui.StatusTexts().back());
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(out)) files.push_back(entry.path());
    if (broken) {
      EXPECT_TRUE(files.empty());
    } else {
      ASSERT_EQ(files.size(), 1u);
      std::ifstream in(files[0], std::ios::binary);
      std::ostringstream saved;
      saved << in.rdbuf();
      EXPECT_EQ(saved.str(), config.flights[0]);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
