// The DSX host against the virtual recorder on a pseudo-terminal, through the access
// framework, the serial code and the registered workers; then the command line's DSX.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "devices/dsx/dsx_probe.h"
#include "devices/dsx/dsx_workers.h"
#include "devices/family_rig.h"
#include "sim/dsx/dsx_model.h"
#include "sim/flight_generator.h"
#include "sim/flytec/flytec_model.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kRealFlight = "2007-04-22-FLY-5094-01.igc";  // 9166 fixes

std::string GeneratedFlight(int minutes) {
  sim::FlightPlan plan;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0});
  plan.duration = std::chrono::minutes(minutes);
  plan.fixInterval = std::chrono::seconds(2);
  plan.courseLengthKm = 10.0;
  return sim::FlytecIgcText(sim::GenerateFlight(plan), "DSX", "JANE DOE");
}

class Rig : public testing::FamilyRig<sim::DsxModel> {
 public:
  explicit Rig(sim::DsxModelConfig config)
      : FamilyRig(std::make_unique<sim::DsxModel>(std::move(config)), ProtocolType::Dsx, dsx::RegisterDsxWorkers) {
    log.points.resize(3);  // what a failed download must leave alone
    framework.connectSeconds = 2;
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
};

TEST(DsxE2e, ServedRealFlightArrivesFixForFix) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const std::string text = testing::ReadWholeFile(fixtures / "igc" / kRealFlight);
  const igc::IgcDecodeResult expected = igc::DecodeIgcText(text);
  ASSERT_TRUE(expected.Ok()) << expected.error;
  sim::DsxModelConfig config;
  config.flight = text;
  Rig rig(config);
  ASSERT_EQ(rig.ReadTrackLog(), static_cast<int>(expected.points.size()))
      << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
  ASSERT_EQ(rig.log.points.size(), expected.points.size());
  for (std::size_t i = 0; i < expected.points.size(); ++i) {
    ASSERT_EQ(rig.log.points[i].time, expected.points[i].time) << i;
    ASSERT_EQ(rig.log.points[i].latitude, expected.points[i].latitude) << i;
    ASSERT_EQ(rig.log.points[i].longitude, expected.points[i].longitude) << i;
    ASSERT_EQ(rig.log.points[i].gpsAltitude, expected.points[i].gpsAltitude) << i;
  }
  ASSERT_TRUE(rig.log.rawIgc);
  EXPECT_EQ(rig.log.rawIgc->text, text);  // the recorder's own signed text, byte for byte
  EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Dsx);
  EXPECT_EQ(rig.log.source.timeIsUtc, 1);
  EXPECT_EQ(rig.log.source.signState, SignState::Downloaded);
  EXPECT_EQ(rig.log.source.altitudeFlag, 1);
  EXPECT_EQ(rig.log.source.InstrumentText(), "DSX TRACER, S/N 1234, SW 3.4");
  const auto status = rig.ui.StatusTexts();
  EXPECT_NE(std::find(status.begin(), status.end(), "Opening connection to DSX"), status.end());
  // The connection request says what it waits for.
  const std::string waiting = "Opening connection (2): waiting for the instrument on " + rig.instrument->DevicePath() +
                              " to answer (2 s)";
  EXPECT_NE(std::find(status.begin(), status.end(), waiting), status.end()) << waiting;
}

TEST(DsxE2e, PilotDataSendsTheFieldsThatAreNotBlank) {
  sim::DsxModelConfig config;
  config.flight = GeneratedFlight(1);
  Rig rig(config);
  PilotData data;
  data.pilotName = "Jane Doe";
  data.competitionClass = "Sport";
  data.telephone = "+41 78 000";
  ASSERT_EQ(rig.Run(AccessType::WritePilotData, CompleteDone, 0, nullptr, &data), 0)
      << (rig.Errors().empty() ? std::string() : rig.Errors().front());
  EXPECT_EQ(rig.model->PilotLines(), (std::vector<std::string>{"H1Jane Doe", "H3Sport", "H6+41 78 000"}));
  EXPECT_EQ(rig.ui.LastStatus(), "Pilot data sent (3 fields)");
  // Every field blank: nothing goes out, and the recorder is not even asked.
  const PilotData blank;
  EXPECT_EQ(rig.Run(AccessType::WritePilotData, CompleteDone, 0, nullptr, &blank), -1);
  EXPECT_EQ(rig.Errors(), std::vector<std::string>{"Blank/unchanged fields are not sent: nothing to send"});
  EXPECT_EQ(rig.model->PilotLines().size(), 3u);
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
TEST(DsxE2e, DownloadFaultsLeaveTheLogAlone) {
  const std::string flight = GeneratedFlight(10);
  const std::size_t letter = flight.find("\r\nB") + 2 + 14;  // a B record's 'N'
  const FaultCase cases[] = {
      {"silent recorder", "Conn", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"silent after the request", "ZZZZ", sim::Fault{sim::Fault::Kind::Silence}, "No valid response from GPS"},
      {"corrupted line", "ZZZZ", At(sim::Fault::Kind::CorruptByte, letter), "E206 Format error 17"},
      {"garbage", "ZZZZ", sim::Fault{sim::Fault::Kind::Garbage}, "E205 Bad record type (FF)"},
      {"hang-up mid-flight", "ZZZZ", At(sim::Fault::Kind::HangUp, 2000), "E203 COM port read error"},
      {"bad identification", "Conn", At(sim::Fault::Kind::CorruptByte, 10),
       "Unsupported record (identification): DSX,TRACER-1234,3.4"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::DsxModelConfig config;
    config.flight = flight;
    config.faultsFor[c.request] = {c.fault};
    Rig rig(config);
    EXPECT_LT(rig.ReadTrackLog(), 0);
    EXPECT_EQ(rig.log.points.size(), 3u);
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    if (!c.message.empty()) {
      EXPECT_EQ(errors[0], c.message);
    }
  }
}

TEST(DsxE2e, AbortWhileWaitingForTheFlight) {
  sim::DsxModelConfig config;
  config.flight = GeneratedFlight(10);
  sim::Fault delay{sim::Fault::Kind::Delay};
  delay.delay = 2500ms;
  config.faultsFor["ZZZZ"] = {delay};
  Rig rig(config);
  auto download = std::async(std::launch::async, [&] { return rig.ReadTrackLog(); });
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto status = rig.ui.StatusTexts();
    if (std::find(status.begin(), status.end(), "Requesting track log") != status.end()) break;
    std::this_thread::sleep_for(20ms);
  }
  const auto abortAt = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.framework.AbortGpsAccess(&rig.ui), 0);
  EXPECT_EQ(download.get(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - abortAt, 1s);
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_EQ(rig.log.points.size(), 3u);
}

TEST(DsxE2e, ProductScanFindsTheRecorder) {
  sim::DsxModelConfig config;
  config.flight = GeneratedFlight(1);
  sim::VirtualInstrument instrument(std::make_unique<sim::DsxModel>(config));
  std::vector<std::string> lines;
  ProbeReport report;
  report.productLine = [&](std::string_view text) { lines.emplace_back(text); };
  const ProbeResult result = dsx::ProbeDsx(instrument.DevicePath(), report);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.model, "DSX TRACER");
  EXPECT_EQ(result.serial, "1234");
  EXPECT_EQ(lines.back(), "DSX TRACER, S/N 1234, SW 3.4");
}

// The command line's DSX: the recorder's own text saved unchanged, and a broken transfer that
// ends with exit code 1 and no file.
TEST(DsxUnattended, IgcSaveAndFailedTransfer) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-dsx-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken);
    sim::DsxModelConfig config;
    config.flight = GeneratedFlight(10);
    if (broken) config.faultsFor["ZZZZ"] = {At(sim::Fault::Kind::HangUp, 3000)};
    sim::VirtualInstrument instrument(std::make_unique<sim::DsxModel>(config));
    testing::ScriptedUi ui;
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / (broken ? "broken" : "saved");
    fs::create_directories(out);
    ParseResult parsed = ParseCommandLine("/COM=" + instrument.DevicePath() + " /GPS=DSX /IGC_LOG=" + out.string() +
                                              "/ /TIMEOUT=2 /EXIT /WIN=0",
                                          ui, handlers);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), broken ? 1 : 0);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(out)) files.push_back(entry.path());
    if (broken) {
      EXPECT_TRUE(files.empty());
    } else {
      ASSERT_EQ(files.size(), 1u);
      EXPECT_EQ(testing::ReadWholeFile(files[0]), config.flight);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell
