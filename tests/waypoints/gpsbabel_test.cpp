// Cross-checks with GPSBabel, an independent converter: files written here must read the same
// there, and files it writes must read the same here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_files.h"
#include "base/atomic_file.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

using testing::ScriptedUi;

bool HaveGpsBabel() { return std::system("command -v gpsbabel >/dev/null 2>&1") == 0; }

struct Expected {
  const char* id;
  double latitude, longitude;
  int altitude;
  const char* description;
};

constexpr Expected kWaypoints[] = {
    {"HOME", 46.508333, 7.254167, 1200, "Home field"},
    {"SW-2", -33.946, -151.177, 6, "South west"},
    {"N0", 0.5, 179.5, 0, "Near the date line"},
};

std::vector<Waypoint> OurWaypoints() {
  std::vector<Waypoint> waypoints;
  for (const Expected& e : kWaypoints) {
    Waypoint w;
    w.SetId(e.id);
    w.SetDescription(e.description);
    w.latitude = DegreesToSemicircles(e.latitude);
    w.longitude = DegreesToSemicircles(e.longitude);
    w.altitude = e.altitude;
    w.time = 1000000000;
    waypoints.push_back(w);
  }
  return waypoints;
}

// The fields of one unicsv line (quoted fields may hold commas).
std::vector<std::string> CsvFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else if (c != '\r') {
      fields.back().push_back(c);
    }
  }
  return fields;
}

struct BabelPoint {
  std::string name;
  double latitude = 0, longitude = 0, altitude = 0;
};

std::vector<BabelPoint> ReadUnicsv(const std::filesystem::path& path) {
  const std::string text = testing::ReadWholeFile(path);
  std::vector<BabelPoint> points;
  std::vector<std::string> header;
  for (const TextLine& line : SplitLines(text)) {
    const auto fields = CsvFields(line.text);
    if (header.empty()) {
      header = fields;
      continue;
    }
    BabelPoint point;
    for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i) {
      if (header[i] == "Name") point.name = fields[i];
      if (header[i] == "Latitude") point.latitude = std::stod(fields[i]);
      if (header[i] == "Longitude") point.longitude = std::stod(fields[i]);
      if (header[i] == "Altitude" && !fields[i].empty()) point.altitude = std::stod(fields[i]);
    }
    points.push_back(point);
  }
  return points;
}

struct FormatCase {
  WaypointFileFormat ours;
  const char* babel;
  const char* extension;
  double degreesTolerance;  // the precision the format stores
};

const FormatCase kFormats[] = {
    {WaypointFileFormat::Ozi, "ozi", ".wpt", 1e-6},
    {WaypointFileFormat::SeeYou, "cup", ".cup", 1.0 / 60000},
    {WaypointFileFormat::WinPilot, "cambridge", ".dat", 1.0 / 60000},
    {WaypointFileFormat::Gpx, "gpx", ".gpx", 1e-6},
    {WaypointFileFormat::Kml, "kml", ".kml", 1e-6},
};

class GpsBabel : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveGpsBabel()) GTEST_SKIP() << "gpsbabel is not installed";
    dir_ = std::filesystem::temp_directory_path() /
           ("logwell-babel-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  static void Run(const std::string& arguments) {
    const std::string command = "gpsbabel " + arguments + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  std::filesystem::path dir_;
};

TEST_F(GpsBabel, ReadsWhatWeWrite) {
  const std::vector<Waypoint> waypoints = OurWaypoints();
  for (const FormatCase& f : kFormats) {
    SCOPED_TRACE(f.babel);
    const auto ours = dir_ / (std::string("ours") + f.extension);
    ScriptedUi ui;
    ASSERT_EQ(WriteWaypointFile(ours, f.ours, waypoints, ui), 3);
    const auto csv = dir_ / (std::string(f.babel) + ".csv");
    Run(std::string("-i ") + f.babel + " -f '" + ours.string() + "' -o unicsv -F '" +
        csv.string() + "'");
    const auto points = ReadUnicsv(csv);
    ASSERT_EQ(points.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(points[i].name, kWaypoints[i].id);
      EXPECT_NEAR(points[i].latitude, kWaypoints[i].latitude, f.degreesTolerance + 1e-9);
      EXPECT_NEAR(points[i].longitude, kWaypoints[i].longitude, f.degreesTolerance + 1e-9);
      // Ozi stores whole feet.
      EXPECT_NEAR(points[i].altitude, kWaypoints[i].altitude, 0.2);
    }
  }
}

TEST_F(GpsBabel, WeReadWhatItWrites) {
  const auto source = dir_ / "source.gpx";
  std::string gpx =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
  for (const Expected& e : kWaypoints) {
    gpx += Printf("<wpt lat=\"%.6f\" lon=\"%.6f\"><ele>%d</ele><name>%s</name><desc>%s</desc></wpt>\n",
                  e.latitude, e.longitude, e.altitude, e.id, e.description);
  }
  gpx += "</gpx>\n";
  {
    ScriptedUi ui;
    ASSERT_EQ(WriteFileAtomically(source, gpx), 0);
  }
  for (const FormatCase& f : kFormats) {
    SCOPED_TRACE(f.babel);
    const auto theirs = dir_ / (std::string("theirs") + f.extension);
    Run(std::string("-i gpx -f '") + source.string() + "' -o " + f.babel + " -F '" +
        theirs.string() + "'");
    ScriptedUi ui;
    WaypointReadContext context{ui, false, 0};
    std::vector<Waypoint> read;
    ASSERT_EQ(ReadWaypointFile(theirs, context, "Read waypoint file", read), 3)
        << (ui.Boxes().empty() ? "" : ui.Boxes().back().text);
    for (std::size_t i = 0; i < 3; ++i) {
      if (f.ours == WaypointFileFormat::WinPilot) {
        EXPECT_EQ(read[i].Id(), std::to_string(i + 1));
        EXPECT_EQ(read[i].Description(), kWaypoints[i].id);
      } else {
        EXPECT_EQ(read[i].Id(), kWaypoints[i].id);
      }
      EXPECT_NEAR(SemicirclesToDegrees(read[i].latitude), kWaypoints[i].latitude,
                  f.degreesTolerance + 1e-7);
      EXPECT_NEAR(SemicirclesToDegrees(read[i].longitude), kWaypoints[i].longitude,
                  f.degreesTolerance + 1e-7);
      EXPECT_EQ(read[i].altitude, kWaypoints[i].altitude);
    }
  }
}

// The real files GPSBabel also reads give the same identifiers and positions here.
TEST_F(GpsBabel, RealFilesAgree) {
  const auto dir = testing::FixturesDir();
  if (!dir) GTEST_SKIP() << "LOGWELL_FIXTURES is not set";
  const std::pair<const char*, const char*> files[] = {
      {"euregio9.cup", "cup"}, {"kml-points.kml", "kml"}, {"euregio9.dat", "cambridge"}};
  for (const auto& [name, babel] : files) {
    SCOPED_TRACE(name);
    const auto path = *dir / "waypoints" / name;
    const auto csv = dir_ / (std::string(name) + ".csv");
    Run(std::string("-i ") + babel + " -f '" + path.string() + "' -o unicsv -F '" + csv.string() + "'");
    auto points = ReadUnicsv(csv);
    // GPSBabel turns each "**" comment line of a .dat file into a point of its own, named
    // "WPTnnn" (the file holds no such names).
    std::erase_if(points, [](const BabelPoint& p) { return p.name.starts_with("WPT"); });
    ScriptedUi ui;
    WaypointReadContext context{ui, false, 0};
    std::vector<Waypoint> read;
    ASSERT_EQ(ReadWaypointFile(path, context, "Read waypoint file", read),
              static_cast<int>(points.size()));
    for (std::size_t i = 0; i < read.size(); ++i) {
      EXPECT_NEAR(SemicirclesToDegrees(read[i].latitude), points[i].latitude, 1e-5);
      EXPECT_NEAR(SemicirclesToDegrees(read[i].longitude), points[i].longitude, 1e-5);
      if (std::string_view(babel) != "kml") { EXPECT_NEAR(read[i].altitude, points[i].altitude, 0.51); }
    }
  }
}

}  // namespace
}  // namespace logwell
