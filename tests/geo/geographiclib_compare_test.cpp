// Compares the distances and the UTM conversions with GeographicLib's command-line programs,
// which solve the geodesic and the transverse Mercator to round-off. All cases of one kind go
// through one run of the program: the input from a temporary file, the output through a pipe.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "geo/distance.h"
#include "geo/projection.h"

extern char** environ;

namespace logwell {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// Runs the program with the input on its standard input and returns its output lines.
std::vector<std::string> RunProgram(const fs::path& program, std::vector<std::string> args,
                                    const std::string& input) {
  std::string inputPath = (fs::temp_directory_path() / "logwell-geo-XXXXXX").string();
  const int inputFd = ::mkstemp(inputPath.data());
  EXPECT_GE(inputFd, 0) << "cannot create a temporary file";
  if (inputFd < 0) return {};
  ::close(inputFd);
  std::ofstream(inputPath, std::ios::binary) << input;

  int pipeFds[2];
  EXPECT_EQ(::pipe(pipeFds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);

  std::string programName = program.string();
  std::vector<char*> argv{programName.data()};
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, programName.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);

  std::string output;
  char buffer[65536];
  for (ssize_t n; spawned == 0 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipeFds[0]);
  int status = 0;
  if (spawned == 0) ::waitpid(pid, &status, 0);
  fs::remove(inputPath);
  EXPECT_EQ(spawned, 0) << "cannot start " << programName;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << programName << " failed";

  std::vector<std::string> lines;
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

#define LOGWELL_REQUIRE_PROGRAM(var, name)                                                      \
  const std::optional<fs::path> var = FindProgram(name);                                      \
  if (!var) GTEST_SKIP() << name " (package geographiclib-tools) is not installed; comparison skipped"

std::string Line(double a, double b) {
  char text[64];
  std::snprintf(text, sizeof text, "%.12f %.12f", a, b);
  return text;
}

struct DegreePoint {
  double latitude, longitude;
  GeoPoint Radians() const { return {DegreesToRadians(latitude), DegreesToRadians(longitude)}; }
};

// Pairs at every scale a flight log or a task produces, plus continental and global ones and
// pairs on one meridian and on the equator.
std::vector<std::pair<DegreePoint, DegreePoint>> DistancePairs() {
  std::mt19937_64 random(20240209);
  std::uniform_real_distribution<double> latitude(-85.0, 85.0), longitude(-180.0, 180.0), unit(-1.0, 1.0);
  std::vector<std::pair<DegreePoint, DegreePoint>> pairs;
  const double scales[] = {1e-5, 1e-3, 0.1, 5.0};
  for (int i = 0; i < 4000; ++i) {
    DegreePoint from{latitude(random), longitude(random)};
    DegreePoint to{latitude(random), longitude(random)};
    if (i % 5 < 4) {
      const double scale = scales[i % 5];
      to = {std::clamp(from.latitude + scale * unit(random), -89.0, 89.0), from.longitude + scale * unit(random)};
      if (to.longitude >= 180.0) to.longitude -= 360.0;
      if (to.longitude < -180.0) to.longitude += 360.0;
    }
    if (i % 97 == 0) to.longitude = from.longitude;  // one meridian
    if (i % 89 == 0) from.latitude = to.latitude = 0.0;  // the equator
    pairs.emplace_back(from, to);
  }
  // Close to the antipode, where the iteration converges slowly or not at all.
  for (int i = 0; i < 200; ++i) {
    const DegreePoint from{latitude(random), longitude(random)};
    const double antipodeLongitude = from.longitude > 0 ? from.longitude - 180.0 : from.longitude + 180.0;
    pairs.emplace_back(from, DegreePoint{-from.latitude + unit(random), antipodeLongitude + unit(random)});
  }
  return pairs;
}

TEST(GeographicLibComparison, EllipsoidDistanceMatchesTheGeodesic) {
  LOGWELL_REQUIRE_PROGRAM(geodSolve, "GeodSolve");
  const auto pairs = DistancePairs();
  std::string input;
  for (const auto& [from, to] : pairs) {
    input += Line(from.latitude, from.longitude) + " " + Line(to.latitude, to.longitude) + "\n";
  }
  const std::vector<std::string> lines = RunProgram(*geodSolve, {"-i", "-p", "9"}, input);
  ASSERT_EQ(lines.size(), pairs.size());

  double worst = 0.0;
  int failures = 0;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    double azimuth1 = 0, azimuth2 = 0, exact = 0;
    ASSERT_EQ(std::sscanf(lines[i].c_str(), "%lf %lf %lf", &azimuth1, &azimuth2, &exact), 3) << lines[i];
    const auto& [from, to] = pairs[i];
    const std::optional<double> ours = EllipsoidDistance(from.Radians(), to.Radians());
    if (!ours) {
      // Only nearly antipodal points may fail.
      EXPECT_GT(exact, 19.9e6) << lines[i];
      ++failures;
      continue;
    }
    worst = std::max(worst, std::fabs(*ours - exact));
    // Half a millimetre for the series, plus what the relative 1e-10 stop of the longitude
    // iteration leaves (1.4 mm at 14000 km).
    EXPECT_NEAR(*ours, exact, 5e-4 + 1.5e-10 * exact) << Line(from.latitude, from.longitude) << " to "
                                    << Line(to.latitude, to.longitude);
  }
  EXPECT_LT(failures, 100);
  std::printf("%zu distances, worst difference %.6f mm, %d not converged\n", pairs.size(),
              worst * 1000.0, failures);
}

std::vector<DegreePoint> UtmPoints() {
  std::mt19937_64 random(19891231);
  std::uniform_real_distribution<double> latitude(-79.9, 83.9), longitude(-180.0, 180.0);
  std::vector<DegreePoint> points;
  for (int i = 0; i < 4000; ++i) points.push_back({latitude(random), longitude(random)});
  // The Norway and Svalbard zones, whose points lie furthest from their central meridians.
  std::uniform_real_distribution<double> norway(56.0, 64.0), svalbard(72.0, 83.9), east(0.0, 42.0);
  for (int i = 0; i < 500; ++i) {
    points.push_back({norway(random), 3.0 + east(random) * 9.0 / 42.0});
    points.push_back({svalbard(random), east(random)});
  }
  return points;
}

TEST(GeographicLibComparison, UtmMatchesGeoConvertBothWays) {
  LOGWELL_REQUIRE_PROGRAM(geoConvert, "GeoConvert");
  const auto points = UtmPoints();
  std::string forwardInput;
  for (const auto& p : points) forwardInput += Line(p.latitude, p.longitude) + "\n";
  const std::vector<std::string> forward = RunProgram(*geoConvert, {"-u", "-p", "4"}, forwardInput);
  ASSERT_EQ(forward.size(), points.size());

  double worstMetres = 0.0;
  std::string inverseInput;
  std::vector<UtmPosition> ours;
  for (std::size_t i = 0; i < points.size(); ++i) {
    int zone = 0;
    char hemisphere = 0;
    double easting = 0, northing = 0;
    ASSERT_EQ(std::sscanf(forward[i].c_str(), "%d%c %lf %lf", &zone, &hemisphere, &easting, &northing), 4)
        << forward[i];
    const UtmPosition utm = GeoToUtm(points[i].Radians());
    ours.push_back(utm);
    const std::string where = Line(points[i].latitude, points[i].longitude) + " -> " + forward[i];
    EXPECT_EQ(utm.zone, zone) << where;
    EXPECT_EQ(hemisphere, points[i].latitude < 0 ? 's' : 'n') << where;
    EXPECT_NEAR(utm.easting, easting, 2e-3) << where;
    EXPECT_NEAR(utm.northing, northing, 2e-3) << where;
    worstMetres = std::max({worstMetres, std::fabs(utm.easting - easting), std::fabs(utm.northing - northing)});
    char line[96];
    std::snprintf(line, sizeof line, "%d%c %.4f %.4f\n", utm.zone, utm.band < 'N' ? 's' : 'n', utm.easting,
                  utm.northing);
    inverseInput += line;
  }

  const std::vector<std::string> inverse = RunProgram(*geoConvert, {"-g", "-p", "9"}, inverseInput);
  ASSERT_EQ(inverse.size(), points.size());
  double worstRadians = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    double latitude = 0, longitude = 0;
    ASSERT_EQ(std::sscanf(inverse[i].c_str(), "%lf %lf", &latitude, &longitude), 2) << inverse[i];
    UtmPosition rounded = ours[i];  // the same 0.1 mm the program was given
    rounded.easting = std::round(rounded.easting * 1e4) / 1e4;
    rounded.northing = std::round(rounded.northing * 1e4) / 1e4;
    const GeoPoint back = UtmToGeo(rounded);
    const double dLatitude = std::fabs(back.latitude - DegreesToRadians(latitude));
    const double dLongitude = std::fabs(back.longitude - DegreesToRadians(longitude)) * std::cos(back.latitude);
    worstRadians = std::max({worstRadians, dLatitude, dLongitude});
    // 3e-10 radians are 2 mm on the ground.
    EXPECT_LT(dLatitude, 3e-10) << inverse[i];
    EXPECT_LT(dLongitude, 3e-10) << inverse[i];
  }
  std::printf("%zu UTM positions, worst forward difference %.3f mm, worst inverse %.3f mm\n",
              points.size(), worstMetres * 1000.0, worstRadians * 6.371e9);
}

}  // namespace
}  // namespace logwell
