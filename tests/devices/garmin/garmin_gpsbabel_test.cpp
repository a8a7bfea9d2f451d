// GPSBabel, a Garmin host written by others, against the virtual receiver on its
// pseudo-terminal: it must download every fix and waypoint the receiver serves, and its
// waypoint upload must arrive.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "devices/garmin/garmin_workers.h"
#include "sim/flight_generator.h"
#include "sim/garmin/garmin_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"

namespace logwell::testing {
namespace {

namespace fs = std::filesystem;

struct Rig {
  explicit Rig(sim::GarminModelConfig config) {
    auto owned = std::make_unique<sim::GarminModel>(std::move(config));
    model = owned.get();
    instrument = std::make_unique<sim::VirtualInstrument>(std::move(owned));
  }
  sim::GarminModel* model = nullptr;
  std::unique_ptr<sim::VirtualInstrument> instrument;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Gpsbabel(const std::string& arguments) {
  const std::string command = std::string(LOGWELL_GPSBABEL) + (std::getenv("LOGWELL_GPSBABEL_DEBUG") ? " -D9 " : " ") + arguments + " 2>&1";
  return std::system(command.c_str());
}

struct Fix {
  double latitude, longitude;
};

std::vector<Fix> Points(const std::string& gpx, const char* element) {
  std::vector<Fix> fixes;
  const std::regex pattern(std::string("<") + element + R"re( lat="([-0-9.]+)" lon="([-0-9.]+)")re");
  for (auto it = std::sregex_iterator(gpx.begin(), gpx.end(), pattern); it != std::sregex_iterator(); ++it)
    fixes.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
  return fixes;
}

sim::GarminModelConfig Served(int minutes) {
  sim::FlightPlan plan;
  plan.duration = std::chrono::minutes(minutes);
  plan.fixInterval = std::chrono::seconds(5);
  plan.courseLengthKm = 10.0;
  sim::GarminModelConfig config;
  config.points = sim::GenerateFlight(plan);
  int n = 0;
  for (const sim::CoursePoint& p : sim::CourseTurnpoints(plan)) {
    Waypoint w;
    w.SetId("WP" + std::to_string(++n));
    w.SetDescription("POINT " + std::to_string(n));
    w.latitude = sim::DegreesToSemicircles(p.latitude);
    w.longitude = sim::DegreesToSemicircles(p.longitude);
    w.altitude = 100 * n;
    config.waypoints.push_back(w);
  }
  return config;
}

TEST(GarminGpsbabel, DownloadsEveryFixAndWaypoint) {
  for (const bool a300 : {false, true}) {
    SCOPED_TRACE(a300 ? "A300/D300" : "A301/D310/D301");
    sim::GarminModelConfig config = Served(20);
    config.a300 = a300;
    const auto points = config.points;
    const auto waypoints = config.waypoints;
    Rig rig(std::move(config));
    const fs::path dir = fs::temp_directory_path() / ("logwell-gpsbabel-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Gpsbabel("-t -i garmin -f " + rig.instrument->DevicePath() + " -o gpx -F " + (dir / "t.gpx").string()), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const auto fixes = Points(ReadText(dir / "t.gpx"), "trkpt");
    ASSERT_EQ(fixes.size(), points.size());
    for (std::size_t i = 0; i < fixes.size(); ++i) {
      EXPECT_NEAR(fixes[i].latitude, SemicirclesToDegrees(points[i].latitude), 1e-6) << i;
      EXPECT_NEAR(fixes[i].longitude, SemicirclesToDegrees(points[i].longitude), 1e-6) << i;
    }
    std::printf("gpsbabel -t: %zu fixes in %.2f s\n", fixes.size(), seconds);

    ASSERT_EQ(Gpsbabel("-w -i garmin -f " + rig.instrument->DevicePath() + " -o gpx -F " + (dir / "w.gpx").string()), 0);
    const std::string wgpx = ReadText(dir / "w.gpx");
    const auto wpts = Points(wgpx, "wpt");
    ASSERT_EQ(wpts.size(), waypoints.size());
    for (std::size_t i = 0; i < wpts.size(); ++i) {
      EXPECT_NEAR(wpts[i].latitude, SemicirclesToDegrees(waypoints[i].latitude), 1e-6);
      EXPECT_NE(wgpx.find("<name>" + std::string(waypoints[i].Id()) + "</name>"), std::string::npos);
    }
    fs::remove_all(dir);
  }
}

TEST(GarminGpsbabel, UploadReachesTheReceiver) {
  Rig rig(Served(1));
  const fs::path dir = fs::temp_directory_path() / ("logwell-gpsbabel-up-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "in.gpx") << R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
<wpt lat="46.500000" lon="8.000000"><ele>1500</ele><name>LAUNCH</name><desc>TAKE OFF</desc></wpt>
<wpt lat="46.600000" lon="8.100000"><ele>600</ele><name>GOAL</name><desc>LANDING</desc></wpt>
</gpx>
)";
  ASSERT_EQ(Gpsbabel("-w -i gpx -f " + (dir / "in.gpx").string() + " -o garmin -F " + rig.instrument->DevicePath()), 0);
  const auto received = rig.model->ReceivedWaypoints();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].Id(), "LAUNCH");
  EXPECT_EQ(received[1].Id(), "GOAL");
  EXPECT_NEAR(SemicirclesToDegrees(received[1].latitude), 46.6, 1e-6);
  EXPECT_EQ(received[0].altitude, 1500);
  fs::remove_all(dir);
}

// Our host downloads from the same receiver exactly what GPSBabel downloads from it.
TEST(GarminGpsbabel, OurHostReadsWhatGpsbabelReads) {
  sim::GarminModelConfig config = Served(20);
  Rig rig(config);
  const fs::path dir = fs::temp_directory_path() / ("logwell-gpsbabel-both-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const auto seconds = [](std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
  };
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Gpsbabel("-t -i garmin -f " + rig.instrument->DevicePath() + " -o gpx -F " + (dir / "t.gpx").string()), 0);
  ASSERT_EQ(Gpsbabel("-w -i garmin -f " + rig.instrument->DevicePath() + " -o gpx -F " + (dir / "w.gpx").string()), 0);
  const double babelSeconds = seconds(started);
  const auto babelFixes = Points(ReadText(dir / "t.gpx"), "trkpt");
  const auto babelWaypoints = Points(ReadText(dir / "w.gpx"), "wpt");
  fs::remove_all(dir);

  AccessTable table;
  ScriptedUi ui;
  AccessFramework framework(table);
  framework.selectedPortName = [&rig] { return rig.instrument->DevicePath(); };
  std::vector<TrackPoint> points;
  std::vector<Waypoint> waypoints;
  ASSERT_TRUE(garmin::RegisterGarminWorkers(table, FamilyEnvironment{}));
  const auto run = [&](AccessType access) {
    std::promise<int> done;
    auto finished = done.get_future();
    if (framework.StartCommandAccess("Test", &ui, access, ProtocolType::GarminSerial, 0, [&](AccessBlock& block) {
          points = block.points;
          if (access == AccessType::ReadWaypoints) waypoints = block.waypoints;
          framework.gpsBusy = 0;  // what a completion routine does at its end
          done.set_value(block.result);
        }) != 0)
      return -1000;
    const int result = finished.get();
    framework.WaitForGpsAccessEnd();
    return result;
  };
  started = std::chrono::steady_clock::now();
  ASSERT_GE(run(AccessType::ReadTrackLog), 0);
  const auto fixes = points;
  ASSERT_EQ(run(AccessType::ReadWaypoints), 0);
  const double ourSeconds = seconds(started);

  ASSERT_EQ(fixes.size(), babelFixes.size());
  ASSERT_EQ(fixes.size(), config.points.size());
  for (std::size_t i = 0; i < fixes.size(); ++i) {
    EXPECT_NEAR(SemicirclesToDegrees(fixes[i].latitude), babelFixes[i].latitude, 1e-6) << i;
    EXPECT_NEAR(SemicirclesToDegrees(fixes[i].longitude), babelFixes[i].longitude, 1e-6) << i;
    EXPECT_EQ(fixes[i].time, config.points[i].time) << i;
  }
  ASSERT_EQ(waypoints.size(), babelWaypoints.size());
  for (std::size_t i = 0; i < waypoints.size(); ++i) {
    EXPECT_NEAR(SemicirclesToDegrees(waypoints[i].latitude), babelWaypoints[i].latitude, 1e-6) << i;
    EXPECT_NEAR(SemicirclesToDegrees(waypoints[i].longitude), babelWaypoints[i].longitude, 1e-6) << i;
  }
  std::printf("gpsbabel: %zu fixes, %zu waypoints in %.2f s; logwell: %zu fixes, %zu waypoints in %.2f s\n",
              babelFixes.size(), babelWaypoints.size(), babelSeconds, fixes.size(), waypoints.size(), ourSeconds);
}

}  // namespace
}  // namespace logwell::testing
