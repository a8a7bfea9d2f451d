// Unattended runs with /GPS=GARMIN against the virtual receiver: the command line, the headless
// program, the files it writes and its exit code.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "geo/units.h"
#include "sim/flight_generator.h"
#include "sim/garmin/garmin_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"
#include "waypoints/waypoint_formats.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;

class GarminCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("logwell-garmin-cli-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    sim::FlightPlan plan;
    plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0});
    plan.duration = std::chrono::minutes(4);
    plan.fixInterval = std::chrono::seconds(2);
    config.points = sim::GenerateFlight(plan);
    Waypoint top;
    top.SetId("TOP");
    top.SetDescription("HILL TOP");
    top.latitude = DegreesToSemicircles(46.5);
    top.longitude = DegreesToSemicircles(8.25);
    top.altitude = 1200;
    config.waypoints = {top};
  }
  void TearDown() override { fs::remove_all(dir); }

  void Start() {
    auto owned = std::make_unique<sim::GarminModel>(config);
    model = owned.get();
    instrument = std::make_unique<sim::VirtualInstrument>(std::move(owned));
  }

  int Run(std::string commandLine) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"%dev", instrument->DevicePath()},
                                     {"%dir", dir.string()}}) {
      for (std::size_t at; (at = commandLine.find(key)) != std::string::npos;) commandLine.replace(at, key.size(), value);
    }
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    ParseResult parsed = ParseCommandLine(commandLine, ui, handlers);
    EXPECT_EQ(parsed.outcome, ParseOutcome::Go);
    if (!parsed.options) return -1;
    return RunHeadlessJob(*parsed.options, ui, competition);
  }

  std::string Read(const fs::path& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& e : ui.Boxes())
      if (e.kind == testing::UiEventKind::Error)
        texts.push_back(e.caption + ": " + e.text.substr(0, e.text.find("\r\n")));
    return texts;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir;
  sim::GarminModelConfig config;
  sim::GarminModel* model = nullptr;
  std::unique_ptr<sim::VirtualInstrument> instrument;
  testing::ScriptedUi ui;
  CompetitionState competition;
};

// Every save of a download, each from its own run: our IGC writer under the "xlw" name, the
// other track formats and both waypoint downloads; PWROFF switches the receiver off.
TEST_F(GarminCli, DownloadsAreSavedInEveryFormat) {
  Start();
  ASSERT_EQ(Run("/COM=%dev /GPS=GARMIN /IGC_LOG=%dir/ /PWROFF /EXIT /WIN=0"), 0) << Errors().front();
  const std::string igc = Read(dir / "2024-06-03-xlw-000-01.igc");
  std::size_t fixes = 0;
  std::istringstream lines(igc);
  for (std::string line; std::getline(lines, line);) fixes += line.rfind('B', 0) == 0 ? 1 : 0;
  EXPECT_EQ(fixes, config.points.size());
  EXPECT_TRUE(model->PoweredOff());

  struct Save {
    std::string option;
    std::string file;
    std::string contains;
  };
  for (const Save& save : {Save{"KML_LOG", "f.kml", "<Placemark"}, Save{"OZI_LOG", "f.plt", "OziExplorer"},
                           Save{"MPS_LOG", "f.mps", ""}, Save{"RD_WPT", "w.wpt", "TOP"},
                           Save{"RD_GEO_WPT", "w.wpg", "TOP"}}) {
    SCOPED_TRACE(save.option);
    ASSERT_EQ(Run("/COM=%dev /GPS=GARMIN /" + save.option + "=%dir/" + save.file + " /EXIT /WIN=0"), 0)
        << (Errors().empty() ? "" : Errors().front());
    const std::string text = Read(dir / save.file);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.find(save.contains), std::string::npos) << text.substr(0, 300);
  }
  EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(GarminCli, UploadsReachTheReceiver) {
  Start();
  std::vector<Waypoint> file(2);
  file[0].SetId("TOP");
  file[0].SetDescription("HILL TOP");
  file[0].altitude = 1200;
  file[1].SetId("LZ");
  { std::ofstream(dir / "points.wpt", std::ios::binary) << WriteOziWaypoints(file); }
  EXPECT_EQ(Run("/COM=%dev /GPS=GARMIN /WR_WPT=%dir/points.wpt /EXIT /WIN=0"), 0);
  EXPECT_EQ(Run("/COM=%dev /GPS=GARMIN /WR_WPT2=%dir/points.wpt /EXIT /WIN=0"), 0);
  const auto stored = model->ReceivedWaypoints();
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored[0].Id(), "TOP");
  EXPECT_EQ(stored[0].altitude, 1200);
  {
    std::ofstream(dir / "air.txt", std::ios::binary)
        << "AC D\r\nAN TEST CTR\r\nAL GND\r\nAH 3000 ft\r\n"
           "DP 46:30:00 N 008:00:00 E\r\nDP 46:40:00 N 008:10:00 E\r\nDP 46:30:00 N 008:20:00 E\r\n";
  }
  EXPECT_EQ(Run("/COM=%dev /GPS=GARMIN /WR_CTR=%dir/air.txt /EXIT /WIN=0"), 0);
  const auto points = model->ReceivedPoints();
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[1].latitude, DegreesToSemicircles(46.0 + 40.0 / 60.0));
  EXPECT_TRUE(Errors().empty()) << Errors().front();
}

// A receiver that stops answering in the middle of the track log: exit code 1, no file.
TEST_F(GarminCli, FailedDownloadExitsWithOneAndWritesNothing) {
  config.trackFaultAt = 30;
  config.trackFault = sim::Fault{sim::Fault::Kind::Silence};
  Start();
  EXPECT_EQ(Run("/COM=%dev /GPS=GARMIN /IGC_LOG=%dir/ /TIMEOUT=2 /EXIT /WIN=0"), 1);
  EXPECT_TRUE(Files().empty());
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0], "Read GPS track log: E205 Timeout while waiting for log data packet");
}

}  // namespace
}  // namespace logwell

namespace logwell {
namespace {

// A receiver keeps one track log: TRACK=ALL saves that log as one flight (and again finds it
// saved), and a flight list is answered with how to get the log instead of "unsupported".
TEST_F(GarminCli, OneTrackLogAnswersTrackAllAndTheFlightList) {
  Start();
  ASSERT_EQ(Run("/COM=%dev /GPS=GARMIN /TRACK=ALL /IGC_LOG=%dir/ /KML_LOG=%dir/ /EXIT /WIN=0"), 0)
      << Errors().front();
  EXPECT_EQ(Files(), (std::vector<std::string>{"2024-06-03-xlw-000-01.igc", "20240603-100000.kml"}));
  const auto statuses = ui.StatusTexts();
  EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                      "This instrument keeps one track log: TRACK=ALL saves it as one flight"),
            statuses.end());
  ui.Clear();
  ASSERT_EQ(Run("/COM=%dev /GPS=GARMIN /TRACK=ALL /IGC_LOG=%dir/ /KML_LOG=%dir/ /EXIT /WIN=0"), 0)
      << Errors().front();
  EXPECT_EQ(Files().size(), 2u);
  EXPECT_TRUE(Errors().empty());

  ui.Clear();
  CommandLineHandlers handlers;
  handlers.flightListWithoutNotify = true;  // as logwell-cli's `flights`
  const ParseResult parsed = ParseCommandLine("/COM=" + instrument->DevicePath() + " /GPS=GARMIN /FLIGHTLIST /EXIT /WIN=0", ui, handlers);
  EXPECT_EQ(parsed.outcome, ParseOutcome::BadCommandLine);
  EXPECT_EQ(Errors(), std::vector<std::string>{"Parsing command line: This instrument keeps one track log, "
                                               "no flight list: save it with /IGC_LOG or /KML_LOG"});
}

}  // namespace
}  // namespace logwell
