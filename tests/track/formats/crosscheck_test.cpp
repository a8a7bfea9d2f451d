// The formats checked against an independent implementation (GPSBabel, a widely used GPS data
// converter) in both directions, and every real file of the fixtures read or refused with one
// message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "test_flight.h"
#include "track/formats/csv_track.h"
#include "track/formats/dat_track.h"
#include "track/formats/gpx_track.h"
#include "track/formats/magellan_log.h"
#include "track/formats/mps_track.h"
#include "track/formats/plt_track.h"
#include "track/formats/track_file_types.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;

// An xcsv style whose output our CSV reader takes: ISO times with milliseconds.
constexpr std::string_view kIsoCsvStyle =
    "FIELD_DELIMITER COMMA\nRECORD_DELIMITER NEWLINE\nBADCHARS COMMA\n"
    "PROLOGUE Date/time,Latitude,Longitude,H-GPS\nDATATYPE TRACK\n"
    "IFIELD ISO_TIME_MS,\"\",\"%s\"\nIFIELD LAT_DECIMAL,\"\",\"%.7f\"\n"
    "IFIELD LON_DECIMAL,\"\",\"%.7f\"\nIFIELD ALT_METERS,\"\",\"%.1f\"\n";

class GpsBabel : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0) GTEST_SKIP() << "gpsbabel is not installed";
    dir_ = fs::temp_directory_path() /
           ("logwell_gpsbabel_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    Write("iso.style", kIsoCsvStyle);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  fs::path Write(const std::string& name, std::string_view bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }
  // Converts with GPSBabel and gives the output file's content ("" when it failed).
  std::string Convert(const std::string& inFormat, const fs::path& in, const std::string& outFormat) {
    // The OziExplorer writer picks the kind of file (track, route, waypoints) by extension.
    const fs::path out = dir_ / ("out_" + std::to_string(++count_) + (outFormat == "ozi" ? ".plt" : ".txt"));
    const std::string command = "cd '" + dir_.string() + "' && gpsbabel -t -i " + inFormat + " -f '" +
                                in.string() + "' -o " + outFormat + " -F '" + out.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    return testing::ReadWholeFile(out);
  }

  fs::path dir_;
  int count_ = 0;
};

struct Tolerance {
  int semicircles = 2 * testing::kMicroDegreeSemicircles;
  int decimetres = 0;
  int seconds = 0;
  bool altitude = true;
};

void ExpectSameTrack(const std::vector<TrackPoint>& expected, const std::vector<TrackPoint>& got,
                     Tolerance tolerance) {
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(got[i].latitude, expected[i].latitude, tolerance.semicircles);
    EXPECT_NEAR(got[i].longitude, expected[i].longitude, tolerance.semicircles);
    EXPECT_NEAR(got[i].time, expected[i].time, tolerance.seconds);
    if (tolerance.altitude) {
      EXPECT_NEAR(got[i].gpsAltitude, expected[i].gpsAltitude, tolerance.decimetres);
    }
  }
}

std::vector<TrackPoint> MustRead(const std::optional<FileReadResult>& read, const ScriptedUi& ui) {
  EXPECT_TRUE(read) << (ui.Boxes().empty() ? "" : ui.Boxes().front().text);
  return read ? read->points : std::vector<TrackPoint>{};
}

const CalendarTime kNow{2024, 3, 0, 5, 9, 8, 7, 0};

TEST_F(GpsBabel, ReadsOurGpxPltAndCsv) {
  const auto flight = testing::MakeFlight(600, 1076456605u, 2);
  ScriptedUi ui;
  // Our GPX read by GPSBabel, handed back as CSV.
  const std::string fromGpx = Convert("gpx", Write("a.gpx", WriteGpxTrack(flight, kNow)), "xcsv,style=iso.style");
  ExpectSameTrack(flight, MustRead(ReadCsvTrack(fromGpx, ui), ui), {.decimetres = 0});
  // Our .plt read by GPSBabel, handed back as GPX: feet and day fractions cost a little.
  const std::string fromPlt = Convert("ozi", Write("a.plt", WritePltTrack(flight, kNow)), "gpx");
  ExpectSameTrack(flight, MustRead(ReadGpxTrack(fromPlt, ui), ui), {.decimetres = 3, .seconds = 1});
  // Our CSV read by GPSBabel's universal CSV reader (it takes no altitude from "H-GPS").
  const std::string fromCsv = Convert("unicsv", Write("a.csv", WriteCsvTrack(flight, {})), "gpx");
  ExpectSameTrack(flight, MustRead(ReadGpxTrack(fromCsv, ui), ui), {.altitude = false});
}

TEST_F(GpsBabel, WritesGpxPltAndCsvThatWeRead) {
  const auto flight = testing::MakeFlight(600, 1076456605u, 3);
  const fs::path ours = Write("a.gpx", WriteGpxTrack(flight, kNow));
  ScriptedUi ui;
  ExpectSameTrack(flight, MustRead(ReadGpxTrack(Convert("gpx", ours, "gpx"), ui), ui), {.decimetres = 0});
  ExpectSameTrack(flight, MustRead(ReadPltTrack(Convert("gpx", ours, "ozi"), ui), ui),
                  {.decimetres = 3, .seconds = 1});
  ExpectSameTrack(flight, MustRead(ReadCsvTrack(Convert("gpx", ours, "xcsv,style=iso.style"), ui), ui),
                  {.decimetres = 0});
}

fs::path Fixture(const fs::path& dir, const char* name) { return dir / name; }

TEST_F(GpsBabel, ReadsTheRealMagellanLogsAsWeDo) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  for (const char* name : {"tracks/dusky.trk", "tracks/meridian.trk"}) {
    SCOPED_TRACE(name);
    ScriptedUi ui;
    const auto ours = MustRead(ReadMagellanLog(testing::ReadWholeFile(Fixture(fixtures, name)), ui, 2026), ui);
    const auto theirs = MustRead(ReadGpxTrack(Convert("magellan", Fixture(fixtures, name), "gpx"), ui), ui);
    ExpectSameTrack(theirs, ours, {.decimetres = 0, .seconds = 1});
  }
  // The dates of this log roll over from 1998 through 1999 to 2000 and on.
  ScriptedUi ui;
  const auto ours = MustRead(
      ReadMagellanLog(testing::ReadWholeFile(fixtures / "tracks/magellandate.log"), ui, 2026), ui);
  ASSERT_EQ(ours.size(), 6u);
  const int years[] = {1998, 1999, 2000, 2001, 2002, 2003};
  for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(GarminTimeToCalendar(ours[i].time).year, years[i]);
  // GPSBabel puts "98" into 2098; positions and times of day agree.
  auto theirs = MustRead(ReadGpxTrack(Convert("magellan", fixtures / "tracks/magellandate.log", "gpx"), ui), ui);
  ASSERT_EQ(theirs.size(), ours.size());
  for (std::size_t i = 0; i < ours.size(); ++i) {
    EXPECT_EQ(theirs[i].latitude, ours[i].latitude);
    EXPECT_EQ(theirs[i].gpsAltitude, ours[i].gpsAltitude);
    EXPECT_NEAR(theirs[i].time % 86400, ours[i].time % 86400, 1);
  }
}

TEST_F(GpsBabel, ReadsTheRealFilesAsWeDo) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  // The .plt announces 2390 points and holds 44: refused as a whole...
  const std::string plt = testing::ReadWholeFile(fixtures / "tracks/20070813_short.plt");
  ScriptedUi refused;
  EXPECT_FALSE(ReadPltTrack(plt, refused));
  ASSERT_EQ(refused.Boxes().size(), 1u);
  EXPECT_EQ(refused.Boxes()[0].text, "Missing line(s)");
  // ...and with the count put right, its 44 points are GPSBabel's.
  std::string counted = plt;
  counted.replace(counted.find("\r\n2390\r\n"), 8, "\r\n44\r\n");
  ScriptedUi ui;
  const auto ours = MustRead(ReadPltTrack(counted, ui), ui);
  const auto theirs = MustRead(ReadGpxTrack(Convert("ozi", fixtures / "tracks/20070813_short.plt", "gpx"), ui), ui);
  ExpectSameTrack(theirs, ours, {.decimetres = 1, .seconds = 1});

  // A GPX file of one track with 1199 points.
  const fs::path m241 = fixtures / "logger/mtk_logger_m241.gpx";
  const auto gpx = MustRead(ReadGpxTrack(testing::ReadWholeFile(m241), ui), ui);
  EXPECT_EQ(gpx.size(), 1199u);
  ExpectSameTrack(MustRead(ReadCsvTrack(Convert("gpx", m241, "xcsv,style=iso.style"), ui), ui), gpx,
                  {.decimetres = 1});
}

TEST(RealTrackFiles, MapSourceTrackOf1999) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  ScriptedUi ui;
  const auto read = ReadMpsTrack(testing::ReadWholeFile(fixtures / "tracks/mps-track.mps"), ui);
  ASSERT_TRUE(read) << ui.Boxes().front().text;
  ASSERT_EQ(read->points.size(), 64u);
  EXPECT_EQ(read->points[0].latitude, 0x1560A749);
  EXPECT_EQ(read->points[0].longitude, static_cast<std::int32_t>(0xBEDAD841u));
  EXPECT_EQ(read->points[0].gpsAltitude, 10);
  EXPECT_EQ(read->points[0].time, 0x3CEFC48Du - 631065600u);
}

TEST(RealTrackFiles, MultiSegmentGpxOffersItsSegments) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  ScriptedUi ui;
  ui.ScriptChoice(std::vector<int>{2});
  const auto read = ReadGpxTrack(testing::ReadWholeFile(fixtures / "logger/mtk_logger_gp245.gpx"), ui);
  ASSERT_TRUE(read);
  ASSERT_EQ(ui.Choices().size(), 1u);
  EXPECT_EQ(ui.Choices()[0].lines.size(), 4u);
  EXPECT_FALSE(read->points.empty());
  // This one has a segment without times: refused with the first faulty position.
  ScriptedUi segmented;
  EXPECT_FALSE(ReadGpxTrack(testing::ReadWholeFile(fixtures / "tracks/segmented_tracks.gpx"), segmented));
  ASSERT_EQ(segmented.Boxes().size(), 1u);
  EXPECT_EQ(segmented.Boxes()[0].text, "Missing tag(s) for position 1");
}

// Every reader on every real file: a result, or one message.
TEST(RealTrackFiles, EveryReaderReadsOrRefusesEveryFile) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  for (const char* folder : {"tracks", "logger", "waypoints"}) {
    for (const auto& entry : fs::directory_iterator(fixtures / folder)) {
      const std::string bytes = testing::ReadWholeFile(entry.path());
      for (const TrackFileType& type : OpenTrackFileTypes()) {
        if (type.code == TrackFileCode::Kml || type.code == TrackFileCode::Igc) continue;
        ScriptedUi ui;
        ui.ScriptChoice(std::vector<int>{0});
        const auto read = DecodeTrackFile(type.code, bytes, ui);
        std::size_t errors = 0;
        for (const auto& event : ui.Events()) errors += event.kind == testing::UiEventKind::Error;
        EXPECT_EQ(errors, read ? 0u : 1u) << entry.path() << " as " << type.name;
      }
    }
  }
}

}  // namespace
}  // namespace logwell
