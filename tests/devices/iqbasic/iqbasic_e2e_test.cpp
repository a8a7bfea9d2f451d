// The IQ Basic / Flytec 6015 host against the virtual instrument on a pseudo-terminal, through
// the access framework, the serial code and the registered workers; then the command line's
// IQBASIC through the unattended run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <future>
#include <optional>
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
constexpr const char* kRealBraunigerFlight = "2008-09-05-CGP-XAGC-01-ebessos.igc";  // a Compeo+, 3914 fixes

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

// Real flights of Flytec and Brauniger instruments served as the instrument's own text: every
// fix arrives unchanged, through the requests the maker's document gives.
TEST(IqBasicE2e, ServedRealFlightsArriveFixForFix) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  struct Served {
    const char* file;
    int deviceType;
  };
  for (const Served& served : {Served{kRealFlight, 1}, Served{kRealFlight, 0}, Served{kRealBraunigerFlight, 1}}) {
    SCOPED_TRACE(std::string(served.file) + " " + std::to_string(served.deviceType));
    const std::string text = testing::ReadWholeFile(fixtures / "igc" / served.file);
    const igc::IgcDecodeResult expected = igc::DecodeIgcText(text);
    ASSERT_TRUE(expected.Ok()) << expected.error;
    sim::IqBasicModelConfig config;
    config.deviceType = served.deviceType;
    config.flights = {text};
    Rig rig(config);
    ASSERT_EQ(rig.ReadTrackLog(), static_cast<int>(expected.points.size()))
        << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
    ASSERT_EQ(rig.log.points.size(), expected.points.size());
    std::int64_t largest = 0;  // the largest difference in time (s), position (semicircles), altitude
    for (std::size_t i = 0; i < expected.points.size(); ++i) {
      const TrackPoint& got = rig.log.points[i];
      const TrackPoint& want = expected.points[i];
      for (const std::int64_t difference :
           {std::int64_t{got.time} - want.time, std::int64_t{got.latitude} - want.latitude,
            std::int64_t{got.longitude} - want.longitude, std::int64_t{got.gpsAltitude} - want.gpsAltitude,
            std::int64_t{got.pressureAltitude} - want.pressureAltitude}) {
        largest = std::max(largest, difference < 0 ? -difference : difference);
      }
    }
    EXPECT_EQ(largest, 0);
    std::cout << served.file << ": " << rig.log.points.size() << " of " << expected.points.size()
              << " fixes, largest difference " << largest << "\n";
    EXPECT_EQ(rig.model->Commands(),
              (std::vector<std::string>{"RPA_00", "RPA_01", "RPA_02", "ACT_20_00", "ACT_21_00"}));
    ASSERT_TRUE(rig.log.rawIgc);
    EXPECT_EQ(rig.log.rawIgc->text, text);  // the instrument's own signed text, byte for byte
    EXPECT_EQ(rig.log.source.kind, TrackSourceKind::IqBasic);
    EXPECT_EQ(rig.log.source.signState, SignState::Downloaded);
    EXPECT_EQ(rig.log.source.altitudeFlag, 1u);
    EXPECT_EQ(rig.log.source.InstrumentText(),
              served.deviceType == 1 ? "IQ Basic, SW 1.3.00, S/N 4711" : "Flytec 6015, SW 1.3.00, S/N 4711");
  }
}

// Software before 1.1.20 sends a header line before the flight book and no " Done" after it.
TEST(IqBasicE2e, OlderSoftwareFlightBook) {
  for (const int flights : {2, 0}) {
    SCOPED_TRACE(flights);
    sim::IqBasicModelConfig config;
    config.software = 1107;
    for (int i = 0; i < flights; ++i) config.flights.push_back(GeneratedFlight(10 + i, 1 + i));
    Rig rig(config);
    rig.context.unattended = true;
    // An empty book is read without a fault and ends the job with nothing to choose.
    EXPECT_EQ(rig.Run(AccessType::ReadFlightList, CompleteFlightListRead), flights == 0 ? -1 : 0);
    EXPECT_EQ(rig.Errors(), std::vector<std::string>{});
    ASSERT_EQ(rig.Notified().size(), 1u);
    EXPECT_EQ(rig.Notified()[0], flights == 0 ? "Flightlist:\n"
                                              : "Flightlist:\n24.06.03,10:00:00,0:10:00\n24.06.03,10:00:00,0:11:00\n");
  }
  // From 1.1.20 on the list must end with " Done": a list that stops short is a fault.
  sim::IqBasicModelConfig config;
  config.flights = {GeneratedFlight(10)};
  config.faultsFor["ACT_20"] = {sim::Fault{sim::Fault::Kind::HangUp}};
  config.faultsFor["ACT_20"][0].offset = 168;
  Rig rig(config);
  EXPECT_EQ(rig.Run(AccessType::ReadFlightList, CompleteFlightListRead), -1);
  EXPECT_EQ(rig.Errors(), std::vector<std::string>{"COM port read error"});
}

// The simulated flight book keeps the document's character positions.
TEST(IqBasicE2e, VirtualFlightBookLayout) {
  for (const bool older : {false, true}) {
    const std::string line = sim::FlightBookLine(3, GeneratedFlight(10), 1, older);
    ASSERT_EQ(line.size(), 168u);
    for (const std::size_t at : {6u, 16u, 26u, 36u, 46u, 56u, 66u, 76u, 89u, 102u, 115u, 132u, 149u}) {
      EXPECT_EQ(line[at], ';') << at << " " << line;
    }
    EXPECT_EQ(line.substr(0, 46), "     3; 24.06.03; 10:00:00;        1; 00:10:00");
    EXPECT_EQ(line.substr(116, 8), older ? " not-set" : "not-set ");
  }
  EXPECT_EQ(sim::WaypointListLine({"WP Name 2", -(23 + 15.543 / 60), -(110 + 58.489 / 60), 100, 400}),
            "WP Name 2       ;S  23'15.543;W 110'58.489;   100;   400\r\n");
  EXPECT_EQ(sim::WaypointListLine({"WP Name 1", 47 + 0.847 / 60, 8 + 18.466 / 60, 2000, 20}),
            "WP Name 1       ;N  47'00.847;E   8'18.466;  2000;    20\r\n");
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
  // The lines as the instrument takes them: degrees padded with blanks.
  EXPECT_EQ(rig.model->UploadLines(), (std::vector<std::string>{
                                           "Fiesch west top ;N  46'24.582;E   8'08.184;  2230;   400",
                                           "CAPE            ;S  33'54.738;E  18'24.000;    12;   400",
                                           "DATELINE W      ;S  16'30.000;W 179'59.400;     0;   400",
                                       }));

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
       "Unsupported record: TAKEOFF FIESCH  ;N  46&24.582;E   8'08.184;  2230;   400"},
      {"waypoint list broken off", "ACT_31", At(sim::Fault::Kind::HangUp, 30), ""},
      {"silent after the waypoint", "ACT_32", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      // " Done" turned into " Dnne": not an answer the instrument gives, so the upload stops.
      {"unknown answer", "ACT_32", At(sim::Fault::Kind::CorruptByte, 2), "Unsupported record:  Dnne"},
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
  EXPECT_EQ(result.software, "1.3.00");
  EXPECT_EQ(lines.back(), "Flytec 6015, SW 1.3.00, S/N 4711");
}

// The command line's IQBASIC: the instrument's own text saved, and broken transfers (silence,
// a hang-up, a damaged fix) that end with their message, exit code 1 and no file.
TEST(IqBasicUnattended, IgcSaveAndFailedTransfers) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-iqbasic-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string flight = GeneratedFlight(10);
  const std::size_t letter = flight.find("\r\nB") + 2 + 14;  // a B record's 'N', corrupted to 'O'
  struct Case {
    const char* name;
    std::optional<sim::Fault> fault;
    std::string message;  // empty: any message
  };
  const Case cases[] = {
      {"saved", std::nullopt, ""},
      {"silence", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"hang-up", At(sim::Fault::Kind::HangUp, 3000), ""},
      {"damaged-fix", At(sim::Fault::Kind::CorruptByte, letter), "E206 Format error 17"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::IqBasicModelConfig config;
    config.flights = {flight};
    if (c.fault) config.faultsFor["ACT_21"] = {*c.fault};
    sim::VirtualInstrument instrument(std::make_unique<sim::IqBasicModel>(config));
    testing::ScriptedUi ui;
    ui.ScriptChoice(std::vector<int>{0});  // the Track List: the first flight
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / c.name;
    fs::create_directories(out);
    ParseResult parsed = ParseCommandLine(
        "/COM=" + instrument.DevicePath() + " /GPS=IQBASIC /IGC_LOG=" + out.string() + "/ /EXIT /WIN=0", ui, handlers);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), c.fault ? 1 : 0)
        << (ui.StatusTexts().empty() ? std::string() : ui.StatusTexts().back());
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(out)) files.push_back(entry.path());
    if (c.fault) {
      EXPECT_TRUE(files.empty());
      std::vector<std::string> shown = ui.StatusTexts();
      for (const auto& box : ui.Boxes()) shown.push_back(box.text.substr(0, box.text.find("\r\n")));
      if (!c.message.empty()) {
        EXPECT_NE(std::find(shown.begin(), shown.end(), c.message), shown.end()) << c.message;
      }
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
