// The Graviter host against the virtual instrument on a pseudo-terminal: a served real flight
// with every fix back, the owner name, the faults, an abort, the product scan and the command
// line's GRAVITER.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "devices/family_rig.h"
#include "devices/fault_runs.h"
#include "devices/unattended_run.h"
#include "devices/graviter/graviter_workers.h"
#include "sim/flight_generator.h"
#include "sim/graviter/graviter_model.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;

std::vector<TrackPoint> GeneratedFlight(int minutes = 5) {
  sim::FlightPlan plan;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0, 0});
  plan.duration = std::chrono::minutes(minutes);
  plan.fixInterval = std::chrono::seconds(1);
  return sim::GenerateFlight(plan);
}

class Rig : public testing::FamilyRig<sim::GraviterModel> {
 public:
  explicit Rig(sim::GraviterModelConfig config)
      : FamilyRig(std::make_unique<sim::GraviterModel>(std::move(config)), ProtocolType::Graviter,
                  graviter::RegisterGraviterWorkers) {
    log.points.resize(3);  // what a failed download must leave alone
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
};

TEST(GraviterE2e, ServedRealFlightArrivesFixForFix) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto decoded =
      igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / "2024-02-24-XTR-942E94934478-01.IGC"));
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  sim::GraviterModelConfig config;
  config.points = decoded.points;
  Rig rig(config);
  ASSERT_EQ(rig.ReadTrackLog(), static_cast<int>(decoded.points.size()))
      << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
  ASSERT_EQ(rig.log.points.size(), decoded.points.size());
  for (std::size_t i = 0; i < decoded.points.size(); ++i) {
    ASSERT_EQ(rig.log.points[i].time, decoded.points[i].time) << i;
    ASSERT_NEAR(rig.log.points[i].latitude, decoded.points[i].latitude, 1) << i;
    ASSERT_NEAR(rig.log.points[i].longitude, decoded.points[i].longitude, 1) << i;
    ASSERT_EQ(rig.log.points[i].gpsAltitude, decoded.points[i].gpsAltitude) << i;
    ASSERT_EQ(rig.log.points[i].pressureAltitude, decoded.points[i].pressureAltitude) << i;
  }
  EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Graviter);
  EXPECT_EQ(rig.log.source.InstrumentText(), "GRAVITER, SW 2.10, S/N 04711");
  const auto status = rig.ui.StatusTexts();
  const std::size_t logBytes = 8 + 16 * decoded.points.size() + 1;
  EXPECT_NE(std::find(status.begin(), status.end(), std::to_string(logBytes) + " bytes received"), status.end());
  // The host set the line to 38400 baud, and the unit saw it so.
  EXPECT_EQ(rig.model->LastRate(), 38400);
  EXPECT_FALSE(rig.model->WrongRateSeen());
}

TEST(GraviterE2e, OwnerNameIsStoredOrRefusedBeforeAnythingIsSent) {
  Rig rig(sim::GraviterModelConfig{});
  PilotData data;
  data.pilotName = "Jane Pilot";
  ASSERT_EQ(rig.Run(AccessType::WritePilotData, CompleteDone, 0, nullptr, &data), 0);
  EXPECT_EQ(rig.model->OwnerName(), "Jane Pilot      ");
  EXPECT_EQ(rig.ui.LastStatus(), "Owner name written");
  for (const char* bad : {"", "J\xC3\xB6rg"}) {
    data.pilotName = bad;
    const std::size_t before = rig.instrument->Received().size();
    EXPECT_EQ(rig.Run(AccessType::WritePilotData, CompleteDone, 0, nullptr, &data), -1);
    EXPECT_EQ(rig.instrument->Received().size(), before);
  }
  const auto errors = rig.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "Missing owner name");
  EXPECT_EQ(errors[1], "Bad character in owner name");
  EXPECT_EQ(rig.model->OwnerName(), "Jane Pilot      ");
}

TEST(GraviterE2e, FaultsLeaveTheLogAlone) {
  struct Case {
    const char* name;
    const char* command;
    sim::Fault fault;
    std::string message;  // a prefix of the message
    std::optional<std::uint8_t> acknowledge = std::nullopt;
    std::optional<std::vector<std::uint8_t>> log = std::nullopt;
  };
  sim::Fault changed{sim::Fault::Kind::CorruptByte};
  changed.offset = 200;  // inside the log
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 1000;
  const sim::Fault none{sim::Fault::Kind::Delay};
  const Case cases[] = {
      {"silent unit", "I", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"no acknowledge", "D", sim::Fault{sim::Fault::Kind::Silence}, "E302 Missing command acknowledge"},
      {"wrong acknowledge", "D", none, "E303 Bad command acknowledge", std::uint8_t{'X'}},
      {"changed byte", "D", changed, "Bad log checksum"},
      {"hang-up mid-log", "D", hangUp, "COM port read error"},
      {"unknown record", "D", none, "Unsupported record 0x42 at byte 0", std::nullopt,
       std::vector<std::uint8_t>{0x42, 0x01, 0xFF}},
  };
  const auto outcomes = testing::RunSideBySide(std::size(cases), [&cases](std::size_t i) {
    const Case& c = cases[i];
    sim::GraviterModelConfig config;
    config.points = GeneratedFlight();
    config.faultsFor[c.command] = {c.fault};
    config.readAcknowledge = c.acknowledge;
    config.log = c.log;
    Rig rig(config);
    rig.framework.connectSeconds = 1;
    return testing::FaultOutcome{rig.ReadTrackLog(), rig.log.points.size(), rig.Errors()};
  });
  testing::ExpectEachFaultEnded(outcomes, [&cases](std::size_t i) { return std::string(cases[i].message); });
}

TEST(GraviterE2e, AbortDuringTheLog) {
  sim::GraviterModelConfig config;
  config.points = GeneratedFlight(60);  // 58 kB: 15 s at 38400 baud
  config.paced = true;
  Rig rig(config);
  auto download = std::async(std::launch::async, [&] { return rig.ReadTrackLog(); });
  EXPECT_TRUE(testing::WaitForStatus(rig.ui, [](const std::string& s) { return s.ends_with("bytes received"); }));
  const auto abortAt = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.framework.AbortGpsAccess(&rig.ui), 0);
  EXPECT_EQ(download.get(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - abortAt, 1s);
  EXPECT_EQ(rig.ui.LastStatus(), "Transfer aborted");
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_EQ(rig.log.points.size(), 3u);
}

TEST(GraviterE2e, ProductScanFindsTheInstrument) {
  sim::VirtualInstrument instrument(std::make_unique<sim::GraviterModel>(sim::GraviterModelConfig{}));
  std::vector<std::string> lines;
  ProbeReport report;
  report.productLine = [&](std::string_view text) { lines.emplace_back(text); };
  const ProbeResult result = graviter::ProbeGraviter(instrument.DevicePath(), report);
  ASSERT_TRUE(result.found);
  EXPECT_EQ(result.serial, "04711");
  EXPECT_EQ(result.software, "2.10");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "GRAVITER, SW 2.10, S/N 04711");
}

TEST(GraviterUnattended, TrackLogSavedOrExitCodeOne) {
  // The command line saves a Graviter log as KML (IGC_LOG is not offered for it).
  testing::ExpectSavedOrExitCodeOne(
      [](bool broken) {
        sim::GraviterModelConfig config;
        config.points = GeneratedFlight();
        if (broken) config.faultsFor["D"] = {sim::Fault{sim::Fault::Kind::CorruptByte, 0ms, 100}};
        return std::make_unique<sim::GraviterModel>(config);
      },
      "/GPS=GRAVITER /KML_LOG=", "kml");
}

}  // namespace
}  // namespace logwell
