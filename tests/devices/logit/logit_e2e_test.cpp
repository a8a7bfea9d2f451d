// The LogIt / Tracklogger host against the virtual logger on a pseudo-terminal, through the
// access framework, the serial code and the registered workers; then the command line's LOGIT.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "devices/family_rig.h"
#include "devices/logit/logit_probe.h"
#include "devices/logit/logit_workers.h"
#include "sim/flight_generator.h"
#include "sim/logit/logit_model.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRealFlight = "2008-05-12-CGP-XDFE-01.igc";  // MLR SP24XC, 1990 fixes

std::vector<TrackPoint> GeneratedPoints(int minutes) {
  sim::FlightPlan plan;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0});
  plan.duration = std::chrono::minutes(minutes);
  plan.fixInterval = std::chrono::seconds(2);
  plan.courseLengthKm = 10.0;
  return sim::GenerateFlight(plan);
}

class Rig : public testing::FamilyRig<sim::LogItModel> {
 public:
  explicit Rig(sim::LogItModelConfig config)
      : FamilyRig(std::make_unique<sim::LogItModel>(std::move(config)), ProtocolType::LogIt,
                  logit::RegisterLogItWorkers) {
    log.points.resize(3);  // what a failed download must leave alone
    framework.connectSeconds = 2;
  }
  int ReadTrackLog(int rate = 57600) { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead, rate); }
};

TEST(LogItE2e, ServedRealFlightArrivesFixForFixWithItsLogItData) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const igc::IgcDecodeResult expected = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / kRealFlight));
  ASSERT_TRUE(expected.Ok()) << expected.error;
  sim::LogItModelConfig config;
  config.points = expected.points;
  Rig rig(config);
  ASSERT_EQ(rig.ReadTrackLog(115200), static_cast<int>(expected.points.size()))
      << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
  ASSERT_EQ(rig.log.points.size(), expected.points.size());
  for (std::size_t i = 0; i < expected.points.size(); ++i) {
    ASSERT_EQ(rig.log.points[i].time, expected.points[i].time) << i;
    // Ten-thousandths of a minute on the line: within 0.1 m of the file's thousandths.
    ASSERT_NEAR(rig.log.points[i].latitude, expected.points[i].latitude, 2) << i;
    ASSERT_NEAR(rig.log.points[i].longitude, expected.points[i].longitude, 2) << i;
    ASSERT_EQ(rig.log.points[i].gpsAltitude, expected.points[i].gpsAltitude) << i;
  }
  EXPECT_EQ(rig.log.source.kind, TrackSourceKind::LogIt);
  EXPECT_EQ(rig.log.source.timeIsUtc, 0);
  EXPECT_EQ(rig.log.source.altitudeFlag, 0);
  EXPECT_EQ(rig.log.source.InstrumentText(), "TRACKLOGGER SW 2.10, owner JANE DOE");
  const auto data = logit::ReadLogItData(rig.log.logItData);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->pointsUsed, static_cast<int>(expected.points.size()));
}

// A damaged point is asked for again from where it broke; the whole track still arrives once.
TEST(LogItE2e, DamagedPointRestartsTheDownloadThere) {
  sim::LogItModelConfig config;
  config.points = GeneratedPoints(10);
  sim::Fault corrupt{sim::Fault::Kind::CorruptByte};
  corrupt.offset = 5000;
  config.faultsFor["TRACK"] = {corrupt};
  Rig rig(config);
  ASSERT_EQ(rig.ReadTrackLog(19200), static_cast<int>(config.points.size()))
      << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
  const auto requests = rig.model->TrackRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], 0);
  EXPECT_GT(requests[1], 0);
  const auto status = rig.ui.StatusTexts();
  EXPECT_NE(std::find(status.begin(), status.end(), "RESTART at point " + std::to_string(requests[1])), status.end());
  for (std::size_t i = 0; i < config.points.size(); ++i) ASSERT_EQ(rig.log.points[i].time, config.points[i].time);
}

sim::Fault At(sim::Fault::Kind kind, std::size_t offset) {
  sim::Fault fault{kind};
  fault.offset = offset;
  return fault;
}

// Each fault ends the download with its message and leaves the track log as it was.
TEST(LogItE2e, DownloadFaultsLeaveTheLogAlone) {
  struct Case {
    const char* name;
    const char* request;
    std::vector<sim::Fault> faults;
    std::string message;
    int rate = 57600;
  };
  const sim::Fault silence{sim::Fault::Kind::Silence};
  const std::vector<sim::Fault> always(6, At(sim::Fault::Kind::CorruptByte, 3));  // the count sentence
  const Case cases[] = {
      {"silent logger", "IDGPS", {silence}, "No valid response from GPS"},
      {"silent after the request", "TRACK", {silence}, "No valid response from GPS"},
      {"hang-up mid-track", "TRACK", {At(sim::Fault::Kind::HangUp, 3000)}, "E203 COM port read error"},
      {"damaged again and again", "TRACK", always, "E205 Bad checksum (5 restarts at point 0)"},
      {"a rate the logger has not", "IDGPS", {}, "Unsupported baud rate 4800", 4800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::LogItModelConfig config;
    config.points = GeneratedPoints(10);
    config.faultsFor[c.request] = c.faults;
    Rig rig(config);
    EXPECT_LT(rig.ReadTrackLog(c.rate), 0);
    EXPECT_EQ(rig.log.points.size(), 3u);
    EXPECT_TRUE(rig.log.logItData.empty());
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], c.message);
  }
}

TEST(LogItE2e, LogItDataEraseAndOwnerName) {
  sim::LogItModelConfig config;
  config.points = GeneratedPoints(2);
  Rig rig(config);
  ASSERT_EQ(rig.Run(AccessType::ReadLogItData, CompleteDone), 0);
  ASSERT_FALSE(rig.ui.Boxes().empty());
  EXPECT_EQ(rig.ui.Boxes().back().caption, "Read product data");
  EXPECT_EQ(rig.ui.Boxes().back().text,
            "TRACKLOGGER\r\nOwner: JANE DOE\r\n" + std::to_string(config.points.size()) + " of 65000 points used");

  PilotData name;
  name.pilotName = "Max, the pilot";
  ASSERT_EQ(rig.Run(AccessType::WritePilotData, CompleteDone, 0, nullptr, &name), 0);
  EXPECT_EQ(rig.ui.LastStatus(), "Name sent (no verification)");
  // Nothing answers a name write: the logger stores it once the sentence has crossed the line.
  for (int wait = 0; wait < 100 && rig.model->Owner() != "Max  the pilot"; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(rig.model->Owner(), "Max  the pilot");

  ASSERT_EQ(rig.Run(AccessType::EraseTrackLog, CompleteDone), 0);
  EXPECT_EQ(rig.ui.LastStatus(), "Track log erased");
  EXPECT_EQ(rig.model->PointCount(), 0u);
  EXPECT_TRUE(rig.Errors().empty());
}

TEST(LogItE2e, EraseWhoseAnswerIsLostFails) {
  sim::LogItModelConfig config;
  config.faultsFor["ERASE"] = {At(sim::Fault::Kind::HangUp, 0)};  // the line goes dead
  Rig rig(config);
  EXPECT_EQ(rig.Run(AccessType::EraseTrackLog, CompleteDone), -1);
  EXPECT_EQ(rig.Errors(), std::vector<std::string>{"COM port read error"});
  EXPECT_EQ(rig.model->PointCount(), 0u);  // the logger erased; only its answer was lost
}

TEST(LogItE2e, ProductScanFindsTheLogger) {
  sim::VirtualInstrument instrument(std::make_unique<sim::LogItModel>(sim::LogItModelConfig{}));
  std::vector<std::string> lines;
  ProbeReport report;
  report.productLine = [&](std::string_view text) { lines.emplace_back(text); };
  const ProbeResult result = logit::ProbeLogIt(instrument.DevicePath(), report);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.model, "TRACKLOGGER");
  EXPECT_EQ(result.extra, "JANE DOE");
  EXPECT_EQ(lines.back(), "TRACKLOGGER SW 2.10, owner JANE DOE");
}

// The command line's LOGIT: a KML of the track, and a broken transfer that ends with exit code
// 1 and no file.
TEST(LogItUnattended, KmlSaveAndFailedTransfer) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-logit-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken);
    sim::LogItModelConfig config;
    config.points = GeneratedPoints(10);
    if (broken) config.faultsFor["TRACK"] = {At(sim::Fault::Kind::HangUp, 3000)};
    sim::VirtualInstrument instrument(std::make_unique<sim::LogItModel>(config));
    testing::ScriptedUi ui;
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / (broken ? "broken.kml" : "saved.kml");
    ParseResult parsed = ParseCommandLine(
        "/COM=" + instrument.DevicePath() + " /GPS=LOGIT /KML_LOG=" + out.string() + " /NOSPLIT /TIMEOUT=2 /EXIT /WIN=0",
        ui, handlers);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), broken ? 1 : 0);
    EXPECT_EQ(fs::exists(out), !broken);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
