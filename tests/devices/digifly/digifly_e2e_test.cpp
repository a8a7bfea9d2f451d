// The Digifly host against the virtual Leonardo Pro / Digifly Air on a pseudo-terminal, through
// the access framework, the serial code and the registered workers; then the command line's
// DIGIFLYAIR through the unattended run.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <unistd.h>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "devices/digifly/digifly_probe.h"
#include "devices/digifly/digifly_workers.h"
#include "devices/family_rig.h"
#include "geo/units.h"
#include "sim/digifly/digifly_model.h"
#include "sim/flight_generator.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::vector<TrackPoint> GeneratedFlight() {
  sim::FlightPlan plan;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0});
  plan.duration = std::chrono::minutes(10);
  plan.fixInterval = std::chrono::seconds(2);
  return sim::GenerateFlight(plan);
}

class Rig : public testing::FamilyRig<sim::DigiflyModel> {
 public:
  explicit Rig(sim::DigiflyModelConfig config, int track = 0)
      : FamilyRig(std::make_unique<sim::DigiflyModel>(std::move(config)), ProtocolType::Digifly,
                  digifly::RegisterDigiflyWorkers) {
    context.commandLineTracks = [track] { return std::vector<int>{track}; };
    log.points.resize(3);  // what a failed download must leave alone
  }
  int ReadTrackLog(int parameter = 1) { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead, parameter); }
};

TEST(DigiflyE2e, ServedRealFlightsArriveFixForFix) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  // An XCSoar flight across midnight UTC (6752 fixes) and a SkyDrop vario flight (533 fixes).
  std::vector<std::vector<TrackPoint>> flights;
  for (const char* name : {"2016-11-08-xcs-aaa-02.igc", "skydrop-2019-04-15.igc"}) {
    const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / name));
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    flights.push_back(decoded.points);
  }
  // The first from a Leonardo Pro (parameter 0, 38400 baud), the second from an Air (115200).
  for (int track = 0; track < 2; ++track) {
    SCOPED_TRACE(track);
    sim::DigiflyModelConfig config;
    config.model = track == 0 ? "LeonardoPro" : "DigiflyAir";
    config.flights = flights;
    Rig rig(config, track);
    const std::vector<TrackPoint>& expected = flights[static_cast<std::size_t>(track)];
    ASSERT_EQ(rig.ReadTrackLog(track), static_cast<int>(expected.size()))
        << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
    ASSERT_EQ(rig.log.points.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(rig.log.points[i].time, expected[i].time) << i;
      ASSERT_NEAR(rig.log.points[i].latitude, expected[i].latitude, 1) << i;
      ASSERT_NEAR(rig.log.points[i].longitude, expected[i].longitude, 1) << i;
      ASSERT_EQ(rig.log.points[i].gpsAltitude, expected[i].gpsAltitude) << i;
      ASSERT_EQ(rig.log.points[i].pressureAltitude, expected[i].pressureAltitude) << i;
    }
    EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Digifly);
    EXPECT_EQ(rig.log.source.altitudeFlag, 1u);
    EXPECT_EQ(rig.log.source.timeIsUtc, 1u);
    EXPECT_EQ(rig.log.source.InstrumentText(), config.model + ", SNA1234, SW502m");
  }
}

TEST(DigiflyE2e, FlightListGoesToTheNotifyChannel) {
  sim::DigiflyModelConfig config;
  config.flights = {GeneratedFlight(), {}};
  config.flights[1] = config.flights[0];
  for (TrackPoint& p : config.flights[1]) p.time += 86400;
  Rig rig(config);
  rig.context.unattended = true;
  ASSERT_EQ(rig.Run(AccessType::ReadFlightList, CompleteFlightListRead, 2), 0);
  ASSERT_EQ(rig.Notified().size(), 1u);
  EXPECT_EQ(rig.Notified()[0], "Flightlist:\n24.06.03,10:00:00,0:10:00\n24.06.04,10:00:00,0:10:00\n");
}

TEST(DigiflyE2e, WaypointSetsRoundTrip) {
  sim::DigiflyModelConfig config;
  config.waypoints = {{1, "TAKEOFF FIESCH", 2784582, 488184, 2230}, {2, "LEO COMP", 0, 0, 0}};
  Rig rig(config);
  std::vector<Waypoint> upload(2);
  upload[0].SetDescription("Cape Point");
  upload[0].latitude = DegreesToSemicircles(-34.3568);
  upload[0].longitude = DegreesToSemicircles(18.4975);
  upload[0].altitude = 12;
  upload[1].SetId("COMPID");
  upload[1].SetDescription("COMPID 42");
  upload[1].latitude = DegreesToSemicircles(1.5);
  upload[1].longitude = DegreesToSemicircles(-179.99);
  std::vector<Waypoint> sent = upload;
  ASSERT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 3, &sent), 0)
      << (rig.Errors().empty() ? "" : rig.Errors().front());
  EXPECT_EQ(rig.ui.LastStatus(), "2 waypoints sent");

  // Each set reads back on its own: the Air's competition set holds just what was sent.
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead, 3), 0);
  ASSERT_EQ(rig.waypoints.size(), 2u);
  for (std::size_t i = 0; i < upload.size(); ++i) {
    EXPECT_EQ(rig.waypoints[i].Description(), upload[i].Description());
    EXPECT_NEAR(rig.waypoints[i].latitude, upload[i].latitude, 100);
    EXPECT_NEAR(rig.waypoints[i].longitude, upload[i].longitude, 100);
    EXPECT_EQ(rig.waypoints[i].altitude, upload[i].altitude);
  }
  EXPECT_EQ(rig.waypoints[1].Id(), "COMPID");
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead, 1), 0);
  ASSERT_EQ(rig.waypoints.size(), 1u);
  EXPECT_EQ(rig.waypoints[0].Id(), "TAKEOF");
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead, 0), 0);
  EXPECT_TRUE(rig.waypoints.empty());

  // A waypoint without any name sends nothing at all; a set beyond the four is refused.
  sent = upload;
  sent[1] = Waypoint{};
  EXPECT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 1, &sent), -1);
  EXPECT_EQ(rig.Errors().back(), "E306 Missing waypoint ID");
  sent = upload;
  EXPECT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 4, &sent), -1);
  EXPECT_EQ(rig.Errors().back(), "Unsupported waypoint set 4");
  EXPECT_EQ(rig.model->Waypoints().size(), 4u);  // nothing more stored
}

struct FaultCase {
  const char* name;
  const char* request;
  sim::Fault fault;
  std::string message;  // a prefix of the message
};

sim::Fault At(sim::Fault::Kind kind, std::size_t offset) {
  sim::Fault fault{kind};
  fault.offset = offset;
  return fault;
}

// Each fault ends the download with its message and leaves the track log as it was.
TEST(DigiflyE2e, DownloadFaultsLeaveTheLogAlone) {
  const FaultCase cases[] = {
      {"silent instrument", "PDGFRMM", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"bad checksum", "PDGFRMM", sim::Fault{sim::Fault::Kind::CorruptChecksum}, "E205 Bad checksum"},
      {"changed byte", "PDGFRMM", At(sim::Fault::Kind::CorruptByte, 40), "E205 Bad checksum"},
      {"hang-up mid-flight", "PDGFRMM", At(sim::Fault::Kind::HangUp, 3000), ""},
      {"flight list broken off", "PDGFFLL", At(sim::Fault::Kind::HangUp, 20), ""},
      {"product data never answered", "PDGFVID", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::DigiflyModelConfig config;
    config.flights = {GeneratedFlight()};
    config.faultsFor[c.request] = {c.fault};
    Rig rig(config);
    rig.framework.connectSeconds = 2;  // one round of product requests
    EXPECT_LT(rig.ReadTrackLog(), 0);
    EXPECT_EQ(rig.log.points.size(), 3u);
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(c.message)) << errors[0];
  }
}

TEST(DigiflyE2e, WaypointFaults) {
  const FaultCase cases[] = {
      {"corrupted waypoint", "PDGFWMM", At(sim::Fault::Kind::CorruptByte, 20), "E205 Bad checksum"},
      {"waypoints broken off", "PDGFWMM", At(sim::Fault::Kind::HangUp, 30), ""},
      {"upload: instrument gone", "PDGFVID", At(sim::Fault::Kind::HangUp, 0), ""},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::DigiflyModelConfig config;
    config.waypoints = {{1, "TAKEOFF FIESCH", 2784582, 488184, 2230}, {1, "LANDING", 2784300, 486738, 1060}};
    config.faultsFor[c.request] = {c.fault};
    Rig rig(config);
    rig.framework.connectSeconds = 2;
    rig.waypoints = {Waypoint{}};
    std::vector<Waypoint> upload(1);
    upload[0].SetDescription("X");
    const bool reading = std::string(c.request) == "PDGFWMM";
    EXPECT_EQ(reading ? rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead, 1)
                      : rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 1, &upload),
              -1);
    EXPECT_EQ(rig.waypoints.size(), 1u);  // the list in the window stays
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(c.message)) << errors[0];
    EXPECT_EQ(rig.model->Waypoints().size(), 2u);
  }
}

TEST(DigiflyE2e, AbortWhileWaitingForTheFlight) {
  sim::DigiflyModelConfig config;
  config.flights = {GeneratedFlight()};
  sim::Fault delay{sim::Fault::Kind::Delay};
  delay.delay = 2500ms;
  config.faultsFor["PDGFRMM"] = {delay};
  Rig rig(config);
  auto download = std::async(std::launch::async, [&] { return rig.ReadTrackLog(); });
  ASSERT_TRUE(rig.WaitForStatus("Requesting track log 1"));
  const auto abortAt = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.framework.AbortGpsAccess(&rig.ui), 0);
  EXPECT_EQ(download.get(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - abortAt, 1s);
  EXPECT_EQ(rig.ui.LastStatus(), "Transfer aborted");
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_EQ(rig.log.points.size(), 3u);
}

TEST(DigiflyE2e, ProductScanFindsTheInstrument) {
  sim::DigiflyModelConfig config;
  config.flights = {GeneratedFlight()};
  sim::VirtualInstrument instrument(std::make_unique<sim::DigiflyModel>(config));
  std::vector<std::string> lines;
  ProbeReport report;
  report.productLine = [&](std::string_view text) { lines.emplace_back(text); };
  const ProbeResult result = digifly::ProbeDigifly(instrument.DevicePath(), report);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.model, "DigiflyAir");
  EXPECT_EQ(result.serial, "A1234");
  EXPECT_EQ(result.software, "502m");
  EXPECT_EQ(lines.back(), "DigiflyAir, SNA1234, SW502m");
}

// The command line's DIGIFLYAIR: a saved flight, and a broken transfer that ends with exit
// code 1 and no file.
TEST(DigiflyUnattended, IgcSaveAndFailedTransfer) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-digifly-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken);
    sim::DigiflyModelConfig config;
    config.flights = {GeneratedFlight()};
    if (broken) config.faultsFor["PDGFRMM"] = {At(sim::Fault::Kind::HangUp, 3000)};
    sim::VirtualInstrument instrument(std::make_unique<sim::DigiflyModel>(config));
    testing::ScriptedUi ui;
    ui.ScriptChoice(std::vector<int>{0});  // the Track List: the first flight
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / (broken ? "broken.igc" : "saved.igc");
    ParseResult parsed = ParseCommandLine(
        "/COM=" + instrument.DevicePath() + " /GPS=DIGIFLYAIR /IGC_LOG=" + out.string() + " /EXIT /WIN=0", ui, handlers);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), broken ? 1 : 0)
        << (ui.StatusTexts().empty() ? std::string() : ui.StatusTexts().back());
    EXPECT_EQ(fs::exists(out), !broken);
    if (!broken) {
      const auto saved = igc::DecodeIgcText(testing::ReadWholeFile(out));
      ASSERT_TRUE(saved.Ok()) << saved.error;
      EXPECT_EQ(saved.points.size(), config.flights[0].size());
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
