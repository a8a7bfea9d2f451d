// GDAL's KML reader (ogrinfo, Debian package gdal-bin) as an independent party: every kind of
// KML file this program writes opens in it as a layer with the track's line. Skips itself when
// ogrinfo is not installed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kml/kml_convert.h"
#include "kml/kml_save.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/formats/format_text.h"

namespace logwell::kml {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exitCode = -1;
  std::string output;
};

ToolRun Ogrinfo(const fs::path& file) {
  const std::string command = "ogrinfo -ro -al '" + file.string() + "' 2>&1";
  ToolRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
    run.output.append(buffer.data(), n);
  }
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<TrackPoint> Track(std::size_t count) {
  std::vector<TrackPoint> points(count);
  for (std::size_t i = 0; i < count; ++i) {
    TrackPoint& p = points[i];
    p.time = 1054029600 + static_cast<GarminTime>(i);
    p.latitude = formats::DegreesToSemicircles(46.5 + 0.0003 * static_cast<double>(i));
    p.longitude = formats::DegreesToSemicircles(8.0 + 0.0002 * static_cast<double>(i % 50));
    p.gpsAltitude = 15000 + static_cast<std::int32_t>(i % 70) * 10;
    p.pressureAltitude = 1450;
  }
  return points;
}

TEST(KmlGdal, GdalReadsEveryKmlWeWrite) {
  if (std::system("command -v ogrinfo >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ogrinfo (package gdal-bin) is not installed; GDAL check skipped";
  }
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const fs::path dir = fs::temp_directory_path() / ("kml_gdal_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);

  // A signed file with pressure altitudes and every distance placemark.
  testing::ScriptedUi ui;
  GoogleEarthFileRequest request;
  request.logFileName = (dir / "signed").string();
  request.points = Track(200);
  request.withHash = true;
  request.timesAreUtc = true;
  request.withPressureAltitude = true;
  ASSERT_EQ(WriteGoogleEarthFile(request, ui), 0);

  // A logbook of two flights in one document.
  std::vector<TrackPoint> firstPoints = Track(60);
  LogbookSaveRequest first;
  first.info.points = firstPoints;
  ASSERT_TRUE(AnalyseForKml(first.info, ui));
  ui.ScriptSaveFile((dir / "book").string());
  ASSERT_EQ(SaveLogbookKml(first, ui), 0);
  std::vector<TrackPoint> secondPoints = Track(40);
  for (TrackPoint& p : secondPoints) p.time += 86400;
  LogbookSaveRequest second;
  second.info.points = secondPoints;
  ASSERT_TRUE(AnalyseForKml(second.info, ui));
  ui.ScriptSaveFile((dir / "book.kml").string());
  ui.ScriptNewTrackLog(NewTrackLogChoice::Append);
  ASSERT_EQ(SaveLogbookKml(second, ui), 0);

  // Real flights through the batch conversion: one with LAD/LOD digits, one crossing midnight.
  std::vector<fs::path> igc;
  for (const char* name : {"fai.igc", "2016-11-08-xcs-aaa-02.igc"}) {
    fs::copy_file(fixtures / "igc" / name, dir / name);
    igc.push_back(dir / name);
  }
  BatchOptions fast;
  fast.afterRead = fast.betweenFiles = std::chrono::milliseconds(0);
  ASSERT_EQ(ConvertFiles(ConversionDirection::IgcToKml, igc, ui, fast), 2);

  struct Expected {
    const char* file;
    std::size_t tracks;
  };
  for (const Expected& e : {Expected{"signed.kml", 1}, Expected{"book.kml", 2},
                            Expected{"fai.kml", 1}, Expected{"2016-11-08-xcs-aaa-02.kml", 1}}) {
    SCOPED_TRACE(e.file);
    ASSERT_TRUE(fs::exists(dir / e.file));
    const ToolRun run = Ogrinfo(dir / e.file);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("ERROR"), std::string::npos) << run.output;
    std::size_t tracks = 0;
    for (std::size_t at = run.output.find("Name (String) = Tracklog"); at != std::string::npos;
         at = run.output.find("Name (String) = Tracklog", at + 1)) {
      ++tracks;
    }
    EXPECT_EQ(tracks, e.tracks) << run.output.substr(0, 2000);
    EXPECT_NE(run.output.find("LINESTRING"), std::string::npos);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace logwell::kml
