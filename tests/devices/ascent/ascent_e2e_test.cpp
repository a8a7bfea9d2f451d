// The Ascent host against the virtual instrument on a pseudo-terminal at 128000 baud: a served
// real flight with every fix back, the flight list, the erase, the faults, an abort, the product
// scan and the command line's ASCENT.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "app/competition_mode.h"
#include "access/scan_port.h"
#include "app/job_runner.h"
#include "devices/ascent/ascent_workers.h"
#include "devices/family_rig.h"
#include "devices/fault_runs.h"
#include "devices/unattended_run.h"
#include "sim/ascent/ascent_model.h"
#include "sim/flight_generator.h"
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

class Rig : public testing::FamilyRig<sim::AscentModel> {
 public:
  explicit Rig(sim::AscentModelConfig config)
      : FamilyRig(std::make_unique<sim::AscentModel>(std::move(config)), ProtocolType::Ascent,
                  ascent::RegisterAscentWorkers) {
    log.points.resize(3);  // what a failed download must leave alone
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
};

bool HasStatus(const std::vector<std::string>& status, const std::string& text) {
  return std::find(status.begin(), status.end(), text) != status.end();
}

TEST(AscentE2e, ServedRealFlightArrivesFixForFixAt128000Baud) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / "18BF14K1.igc"));
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  sim::AscentModelConfig config;
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
  EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Digifly);
  EXPECT_EQ(rig.log.source.InstrumentText(), "Ascent, SNR 001A2B3C, SW 1.7, HW 2");
  EXPECT_EQ(rig.log.source.InstrumentId(), "Ascent: 001A2B3C");
  EXPECT_TRUE(HasStatus(rig.ui.StatusTexts(), "Block 1"));
  // The host's end of the line runs at 128000 through termios2, and the unit saw that rate.
  EXPECT_EQ(rig.model->LastRate(), 128000);
  EXPECT_FALSE(rig.model->WrongRateSeen());
}

TEST(AscentE2e, FlightListThenErase) {
  std::vector<TrackPoint> points = GeneratedFlight(3);
  std::vector<TrackPoint> second = GeneratedFlight(2);
  for (TrackPoint& p : second) p.time += 7200;
  second.front().segmentStart = 1;
  points.insert(points.end(), second.begin(), second.end());
  sim::AscentModelConfig config;
  config.points = points;
  Rig rig(config);
  rig.context.unattended = true;
  ASSERT_EQ(rig.Run(AccessType::ReadFlightList, CompleteFlightListRead), 0)
      << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
  EXPECT_TRUE(HasStatus(rig.ui.StatusTexts(), "2 tracks in track list found"));
  ASSERT_FALSE(rig.Notified().empty());

  ASSERT_EQ(rig.Run(AccessType::EraseTrackLog, CompleteDone), 0);
  EXPECT_TRUE(rig.model->Erased());
  EXPECT_TRUE(HasStatus(rig.ui.StatusTexts(), "1 non-empty sectors left"));
  EXPECT_EQ(rig.ui.LastStatus(), "Tracklog data erased");
  // Nothing is left to read.
  EXPECT_LT(rig.ReadTrackLog(), 0);
  EXPECT_EQ(rig.Errors().back(), "No points detected");
}

TEST(AscentE2e, FaultsLeaveTheLogAlone) {
  struct Case {
    const char* name;
    const char* request;
    sim::Fault fault;
    std::string message;  // a prefix of the message
    std::optional<std::uint16_t> wrongId = std::nullopt;
    std::optional<std::uint16_t> wrongNumber = std::nullopt;
    std::optional<std::vector<std::uint8_t>> memory = std::nullopt;
  };
  sim::Fault changed{sim::Fault::Kind::CorruptByte};
  changed.offset = 40;  // inside the first block's payload
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 100;
  const sim::Fault none{sim::Fault::Kind::Delay};
  std::vector<std::uint8_t> unknown(ascent::kBlockSize, 0xFF);
  unknown[0] = 0x42;
  const Case cases[] = {
      {"silent unit", "product", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"silent block", "block", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"changed byte", "block", changed, "Data error (bad checksum)"},
      {"wrong message ID", "block", none, "Data error (bad message ID)", std::uint16_t{1}},
      {"wrong block number", "block", none, "Data error (bad block number)", std::nullopt, std::uint16_t{2}},
      {"hang-up mid-block", "block", hangUp, "COM port read error"},
      {"unknown record", "block", none, "Unsupported record 0x42 at byte 0", std::nullopt, std::nullopt, unknown},
  };
  const auto outcomes = testing::RunSideBySide(std::size(cases), [&cases](std::size_t i) {
    const Case& c = cases[i];
    sim::AscentModelConfig config;
    config.points = GeneratedFlight();
    config.faultsFor[c.request] = {c.fault};
    config.wrongIdBlock = c.wrongId;
    config.wrongNumberBlock = c.wrongNumber;
    config.memory = c.memory;
    Rig rig(config);
    rig.framework.connectSeconds = 1;
    return testing::FaultOutcome{rig.ReadTrackLog(), rig.log.points.size(), rig.Errors()};
  });
  testing::ExpectEachFaultEnded(outcomes, [&cases](std::size_t i) { return std::string(cases[i].message); });
}

TEST(AscentE2e, AbortDuringTheBlocks) {
  sim::AscentModelConfig config;
  config.points = GeneratedFlight(60);  // 225 blocks: about 5 s at 128000 baud
  config.paced = true;
  Rig rig(config);
  auto download = std::async(std::launch::async, [&] { return rig.ReadTrackLog(); });
  EXPECT_TRUE(testing::WaitForStatus(rig.ui, [](const std::string& s) { return s == "Block 10"; }));
  const auto abortAt = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.framework.AbortGpsAccess(&rig.ui), 0);
  EXPECT_EQ(download.get(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - abortAt, 1s);
  EXPECT_EQ(rig.ui.LastStatus(), "Transfer aborted");
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_EQ(rig.log.points.size(), 3u);
}

TEST(AscentE2e, ProductScanFindsTheInstrumentOnlyAtItsRate) {
  auto owned = std::make_unique<sim::AscentModel>(sim::AscentModelConfig{});
  const sim::AscentModel& model = *owned;
  sim::VirtualInstrument instrument(std::move(owned));
  // Asked at 115200 the unit hears noise and stays silent.
  const std::vector<std::uint8_t> request = ascent::EncodeMessage(ascent::Message{ascent::kProductRequest, 0, {}});
  const auto wrongRate = AskScanPort(instrument.DevicePath(), 115200,
                                     std::string_view(reinterpret_cast<const char*>(request.data()), request.size()),
                                     300ms, 200, nullptr);
  ASSERT_TRUE(wrongRate);
  EXPECT_TRUE(wrongRate->empty());
  EXPECT_TRUE(model.WrongRateSeen());

  std::vector<std::string> lines;
  ProbeReport report;
  report.productLine = [&](std::string_view text) { lines.emplace_back(text); };
  const ProbeResult result = ascent::ProbeAscent(instrument.DevicePath(), report);
  ASSERT_TRUE(result.found);
  EXPECT_EQ(result.serial, "001A2B3C");
  EXPECT_EQ(result.software, "1.7");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Ascent, SNR 001A2B3C, SW 1.7, HW 2");
}

TEST(AscentUnattended, TrackLogSavedOrExitCodeOne) {
  testing::ExpectSavedOrExitCodeOne(
      [](bool broken) {
        sim::AscentModelConfig config;
        config.points = GeneratedFlight();
        if (broken) config.faultsFor["block"] = {sim::Fault{sim::Fault::Kind::CorruptByte, 0ms, 50}};
        return std::make_unique<sim::AscentModel>(config);
      },
      "/GPS=ASCENT /IGC_LOG=", "igc");
}

}  // namespace
}  // namespace logwell
