// Independent check of the IGC decoder and encoder against GPSBabel (Debian package gpsbabel),
// run as a child process on the real IGC files of the fixtures folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "geo/units.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_writer.h"

extern char** environ;

namespace logwell::igc {
namespace {

namespace fs = std::filesystem;

struct BabelFix {
  GarminTime time = 0;
  double latitude = 0;  // degrees
  double longitude = 0;
};

std::optional<fs::path> FindGpsbabel() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const fs::path candidate = fs::path(dirs.substr(start, end - start)) / "gpsbabel";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

// Runs gpsbabel to turn an IGC file into GPX; nothing when it fails.
std::optional<std::string> GpsbabelToGpx(const fs::path& gpsbabel, const fs::path& igc,
                                         const fs::path& gpx) {
  std::vector<std::string> args = {gpsbabel.string(), "-i", "igc", "-f", igc.string(),
                                   "-o", "gpx", "-F", gpx.string()};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return testing::ReadWholeFile(gpx);
}

std::string Attribute(const std::string& text, std::size_t from, const std::string& name) {
  const std::size_t start = text.find(name + "=\"", from) + name.size() + 2;
  return text.substr(start, text.find('"', start) - start);
}

// The fixes of the GNSS-altitude track (GPSBabel writes a pressure-altitude track beside it).
std::vector<BabelFix> GpxFixes(const std::string& gpx) {
  std::size_t track = gpx.find("<name>GNSSALTTRK</name>");
  if (track == std::string::npos) track = gpx.find("<trk>");
  std::vector<BabelFix> fixes;
  if (track == std::string::npos) return fixes;
  const std::size_t trackEnd = gpx.find("</trk>", track);
  for (std::size_t pos = gpx.find("<trkpt", track); pos < trackEnd;
       pos = gpx.find("<trkpt", pos + 1)) {
    BabelFix fix;
    fix.latitude = std::stod(Attribute(gpx, pos, "lat"));
    fix.longitude = std::stod(Attribute(gpx, pos, "lon"));
    const std::size_t time = gpx.find("<time>", pos) + 6;
    CalendarTime c;
    std::sscanf(gpx.c_str() + time, "%d-%d-%dT%d:%d:%d", &c.year, &c.month, &c.day, &c.hour,
                &c.minute, &c.second);
    fix.time = CalendarToGarminTime(c);
    fixes.push_back(fix);
  }
  return fixes;
}

double Degrees(std::int32_t semicircles) { return semicircles * (180.0 / 2147483648.0); }

// Our decoder keeps one fix per whole second: the first of a run of equal times.
std::vector<BabelFix> OnePerSecond(const std::vector<BabelFix>& fixes) {
  std::vector<BabelFix> kept;
  for (const BabelFix& fix : fixes) {
    if (kept.empty() || fix.time != kept.back().time) kept.push_back(fix);
  }
  return kept;
}

void ExpectSameFixes(const std::vector<TrackPoint>& ours, const std::vector<BabelFix>& theirs,
                     double toleranceDegrees, const std::string& what) {
  ASSERT_EQ(ours.size(), theirs.size()) << what;
  int reported = 0;
  // GPSBabel starts a new day at every step back in time; the decoder only at a step back of
  // an hour or more (a shorter one is a logger glitch, not midnight). After such a glitch the
  // times may differ by whole days.
  bool steppedBack = false;
  for (std::size_t i = 0; i < ours.size() && reported < 5; ++i) {
    steppedBack = steppedBack || (i > 0 && ours[i].time < ours[i - 1].time);
    const std::int64_t days = (std::int64_t{theirs[i].time} - ours[i].time) / 86400;
    const bool sameTime = ours[i].time == theirs[i].time ||
                          (steppedBack && std::int64_t{ours[i].time} + days * 86400 == theirs[i].time);
    const bool same = sameTime &&
                      std::fabs(Degrees(ours[i].latitude) - theirs[i].latitude) <= toleranceDegrees &&
                      std::fabs(Degrees(ours[i].longitude) - theirs[i].longitude) <= toleranceDegrees;
    if (!same) {
      ++reported;
      ADD_FAILURE() << what << " fix " << i << ": ours " << ours[i].time << " "
                    << Degrees(ours[i].latitude) << " " << Degrees(ours[i].longitude)
                    << ", GPSBabel " << theirs[i].time << " " << theirs[i].latitude << " "
                    << theirs[i].longitude;
    }
  }
}

TEST(IgcGpsbabel, DecoderAndEncoderAgreeWithGpsbabelOnRealFiles) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto gpsbabel = FindGpsbabel();
  if (!gpsbabel) GTEST_SKIP() << "gpsbabel is not installed (Debian package gpsbabel)";
  const fs::path work = fs::temp_directory_path() / ("logwell-gpsbabel-" + std::to_string(::getpid()));
  fs::create_directories(work);

  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fixtures / "igc")) {
    if (LowerExtension(entry.path()) == ".igc") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());

  int compared = 0;
  for (const fs::path& file : files) {
    const std::string name = file.filename().string();
    const std::string text = testing::ReadWholeFile(file);
    const IgcDecodeResult decoded = DecodeIgcText(text);
    if (!decoded.Ok()) {
      // Refused files give one of the decoder's messages, never a crash.
      EXPECT_LE(decoded.error.size(), kMaxDecodeErrorLength);
      std::cout << "refused: " << name << ": " << decoded.error << "\n";
      continue;
    }
    const auto gpx = GpsbabelToGpx(*gpsbabel, file, work / "in.gpx");
    if (!gpx) {
      std::cout << "GPSBabel refused: " << name << "\n";
      continue;
    }
    // Positions: both convert exact thousandths of a minute; ours are rounded to semicircles.
    // Where the I record declares LAD/LOD, we read their further digits and GPSBabel does not:
    // the two then differ by less than a thousandth of a minute.
    const std::size_t iRecord = text.find("\nI");
    const bool extraDigits =
        iRecord != std::string::npos && text.substr(iRecord, text.find('\n', iRecord + 1) - iRecord).find("LAD") != std::string::npos;
    ExpectSameFixes(decoded.points, OnePerSecond(GpxFixes(*gpx)),
                    extraDigits ? 1.0 / 60000 + 1e-7 : 1e-7, name + " (read)");

    IgcEncodeInput input;
    input.points = decoded.points;
    input.signState = SignState::Downloaded;
    input.wantSecurityRecord = true;
    const auto encoded = EncodeIgc(input);
    ASSERT_TRUE(encoded);
    const fs::path written = work / "written.igc";
    std::ofstream(written, std::ios::binary) << encoded->text;
    const auto back = GpsbabelToGpx(*gpsbabel, written, work / "back.gpx");
    ASSERT_TRUE(back) << name << " (written)";
    // Written positions are rounded to a thousandth of a minute.
    ExpectSameFixes(decoded.points, GpxFixes(*back), 0.5 / 60000 + 1e-7, name + " (written)");
    ++compared;
  }
  std::cout << compared << " of " << files.size() << " files compared\n";
  EXPECT_GT(compared, 0);
  fs::remove_all(work);
}

}  // namespace
}  // namespace logwell::igc
