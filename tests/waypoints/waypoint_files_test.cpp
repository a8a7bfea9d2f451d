#include "waypoints/waypoint_files.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "base/atomic_file.h"
#include "waypoints/reader_support.h"

namespace logwell {
namespace {

using testing::ScriptedUi;

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("logwell-wpt-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path Write(const std::string& name, std::string_view content) {
    const auto path = dir_ / name;
    EXPECT_EQ(WriteFileAtomically(path, content), 0);
    return path;
  }
  std::filesystem::path dir_;
};

Waypoint Make(const char* id, double lat, double lon, std::int32_t altitude) {
  Waypoint w;
  w.SetId(id);
  w.SetDescription(std::string("About ") + id);
  w.latitude = DegreesToSemicircles(lat);
  w.longitude = DegreesToSemicircles(lon);
  w.altitude = altitude;
  return w;
}

TEST(OutputNames, FormatByEnding) {
  struct Case {
    const char* name;
    std::optional<WaypointFileFormat> format;
  };
  const Case cases[] = {
      {"a.geo.wpt", WaypointFileFormat::Geo}, {"a.utm.wpt", WaypointFileFormat::Utm},
      {"x.ozi.wpt", WaypointFileFormat::Ozi}, {"x.com.wpt", WaypointFileFormat::CompeGps},
      {".geo.wpt", WaypointFileFormat::Geo},  {"a.wpt", std::nullopt},
      {"a.GEO.wpt", std::nullopt},            {"a.mps", WaypointFileFormat::MapSource},
      {"a.cup", WaypointFileFormat::SeeYou},  {"a.gpx", WaypointFileFormat::Gpx},
      {"a.kml", WaypointFileFormat::Kml},     {"a.dat", WaypointFileFormat::WinPilot},
      {"a.GPX", std::nullopt},                {"a.txt", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatForOutputName(c.name), c.format) << c.name;
}

TEST(FileFilters, SaveAndOpenTables) {
  const auto save = WaypointSaveFilters();
  ASSERT_EQ(save.size(), 18u);
  EXPECT_EQ(save[0].label, "Ozi files (*.wpt)");
  EXPECT_EQ(save[0].pattern, "*.wpt");
  EXPECT_EQ(save[8].label, "CompeGPS files (*.wpt)");
  EXPECT_EQ(save[12].label, "MapSource files (*.*)");
  EXPECT_EQ(save[12].pattern, "*.*");
  EXPECT_EQ(SaveFilterFormat(3), WaypointFileFormat::Geo);
  EXPECT_EQ(SaveFilterFormat(12), WaypointFileFormat::Geo);
  EXPECT_EQ(SaveFilterFormat(19), std::nullopt);
  EXPECT_EQ(WithSaveExtension("dir/a", 5), "dir/a.cup");
  EXPECT_EQ(WithSaveExtension("dir/a", 14), "dir/a");
  EXPECT_EQ(WithSaveExtension("dir/a.txt", 5), "dir/a.txt");
  const auto open = WaypointOpenFilters();
  ASSERT_EQ(open.size(), 7u);
  EXPECT_EQ(open[0].label, "Ozi/Logwell files (*.wpt)");
  EXPECT_EQ(open[3].label, "GPS exchange files (*.gpx)");
  EXPECT_EQ(open[6].label, "All files (*.*)");
  EXPECT_EQ(WithOpenExtension("a", 2), "a.mps");
  EXPECT_EQ(WithOpenExtension("a", 7), "a");
}

TEST_F(TempDir, SaveSelectedWritesTheChosenFormat) {
  ScriptedUi ui;
  WaypointList list;
  list.Replace({Make("A", 46, 7, 100), Make("B", 47, 8, 200), Make("C", 48, 9, 300)});
  std::vector<std::size_t> none;
  EXPECT_EQ(SaveSelectedWaypoints(dir_ / "x", 5, list, none, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "No waypoints selected");
  std::vector<std::size_t> selection{2, 0};
  ASSERT_EQ(SaveSelectedWaypoints(dir_ / "x", 5, list, selection, ui), 2);
  EXPECT_EQ(ui.LastStatus(), "2 waypoints written");
  EXPECT_EQ(ui.Boxes().back().text, "File written");
  const std::string content = testing::ReadWholeFile(dir_ / "x.cup");
  EXPECT_NE(content.find("\"About A\",A,"), std::string::npos);
  EXPECT_EQ(content.find("\"About B\""), std::string::npos);
  EXPECT_EQ(SaveSelectedWaypoints(dir_ / std::string(300, 'n'), 5, list, selection, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "Too long file name");
  EXPECT_EQ(ui.Boxes().back().caption, "Error opening file");
  // A folder that does not exist: the write fails and says so.
  EXPECT_EQ(SaveSelectedWaypoints(dir_ / "missing" / "x.gpx", 6, list, selection, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text.rfind("File write error", 0), 0u);
  EXPECT_EQ(ui.Boxes().back().caption, "Save GPX waypoint file");
}

TEST_F(TempDir, OpenAppendsOrReplaces) {
  const auto file = Write("a.wpt", WriteGeoWaypoints(std::vector{Make("A", 1, 1, 1), Make("B", 2, 2, 2)}));
  WaypointList list;
  ScriptedUi ui;
  ASSERT_EQ(OpenWaypointFileIntoList(file, list, ui), 2);
  EXPECT_EQ(ui.LastStatus(), "2 waypoints read");
  EXPECT_TRUE(ui.Boxes().empty());
  ui.ScriptAnswer(Answer::Yes);  // append
  ui.ScriptAnswer(Answer::No);   // do not overwrite A
  ui.ScriptAnswer(Answer::Yes);  // overwrite B
  ASSERT_EQ(OpenWaypointFileIntoList(file, list, ui), 2);
  EXPECT_EQ(list.Count(), 3u);
  ui.ScriptAnswer(Answer::No);  // replace
  ASSERT_EQ(OpenWaypointFileIntoList(file, list, ui), 2);
  EXPECT_EQ(list.Count(), 2u);

  // A failed read leaves the list as it was.
  const auto bad = Write("bad.wpt", "$FormatGEO\r\nA N 1 0 0.0 E 1 0 0.0 1 a\r\nbroken\r\n");
  EXPECT_EQ(OpenWaypointFileIntoList(bad, list, ui), -1);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(ui.Boxes().back().text, "Bad line 3");
  EXPECT_EQ(OpenWaypointFileIntoList(Write("empty.wpt", ""), list, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "File is empty");
  EXPECT_EQ(ui.Boxes().back().caption, "Read waypoint file");
  EXPECT_EQ(OpenWaypointFileIntoList(dir_ / "none.wpt", list, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "Error opening waypoint file");
}

TEST_F(TempDir, DetectionOrder) {
  ScriptedUi ui;
  WaypointReadContext context{ui, false, 0};
  std::vector<Waypoint> waypoints;
  EXPECT_EQ(DecodeWaypointFile("<?xml version=\"1.0\"?><other/>", context, waypoints), 0);
  EXPECT_EQ(ui.Boxes().back().text, "No waypoints found");
  EXPECT_EQ(DecodeWaypointFile("<gpx></gpx>", context, waypoints), -3);
  EXPECT_EQ(DecodeWaypointFile("<?xml version=\"1.0\"?>", context, waypoints), -4);
  EXPECT_EQ(DecodeWaypointFile("nothing at all", context, waypoints), -1);
  EXPECT_EQ(ui.Boxes().back().caption, "Decoding WinPilot file");
  // A byte-order mark before a text format is dropped.
  EXPECT_EQ(DecodeWaypointFile("\xEF\xBB\xBF$FormatGEO\nA N 1 0 0.0 E 1 0 0.0 1 a\n", context,
                               waypoints),
            1);
}

TEST_F(TempDir, ConversionAndCommandLineFiles) {
  const auto source = Write("in.wpt", WriteGeoWaypoints(std::vector{Make("A", 46, 7, 100),
                                                                     Make("B", -33, -70, 5)}));
  ScriptedUi ui;
  EXPECT_EQ(ConvertWaypointFile(source, dir_ / "out.gpx", ui), 2);
  EXPECT_EQ(ConversionReport(2), "Waypoint file converted");
  EXPECT_EQ(ConvertWaypointFile(source, dir_ / "out.wpt", ui), -1);
  EXPECT_EQ(ConversionReport(-1), "Waypoint file conversion failed");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.wpt"));
  EXPECT_EQ(ConvertWaypointFile(dir_ / "out.gpx", dir_ / "again.ozi.wpt", ui), 2);
  EXPECT_EQ(ConvertWaypointFile(dir_ / "again.ozi.wpt", dir_ / "again.cup", ui), 2);

  std::vector<Waypoint> read;
  UploadFileOptions options;
  options.shortNameInstrument = true;
  options.namesAndDescriptions = true;
  options.compId = 123;
  ASSERT_EQ(ReadWaypointsForUpload(dir_ / "again.cup", options, ui, read), 3);
  EXPECT_EQ(read[0].Description(), "A About A");
  EXPECT_EQ(read[2].Id(), "COMPID");
  EXPECT_EQ(read[2].Description(), "COMPID 123");
  EXPECT_EQ(ui.LastStatus(), "3 waypoints read");
  EXPECT_EQ(ReadWaypointsForUpload(dir_ / "nothing.cup", options, ui, read), -1);
  // An identifier that does not fit is fixed as by every reader, not a reason to refuse.
  const auto lower = Write("lower.wpt", "$FormatGEO\r\nsummit1234  N 46 21 36.00    E 007 13 12.00  1546  Top\r\n");
  ScriptedUi upload;
  std::vector<Waypoint> fixed;
  ASSERT_EQ(ReadWaypointsForUpload(lower, UploadFileOptions{}, upload, fixed), 1);
  EXPECT_EQ(fixed[0].Id(), "SUMMIT");
  EXPECT_EQ(upload.StatusTexts().front(),
            "1 identifier(s) changed to fit: upper case, at most 6 characters");
  EXPECT_EQ(ui.Boxes().back().caption, "Reading waypoint file");

  EXPECT_EQ(SaveDownloadedWaypoints(dir_ / "dl.wpt", true, {}, ui), -1);
  EXPECT_EQ(ui.Boxes().back().text, "No waypoints");
  EXPECT_EQ(ui.Boxes().back().caption, "Download waypoints");
  ASSERT_EQ(SaveDownloadedWaypoints(dir_ / "dl.wpt", true, read, ui), 3);
  EXPECT_EQ(testing::ReadWholeFile(dir_ / "dl.wpt").rfind("$FormatGEO\r\n", 0), 0u);
  ASSERT_EQ(SaveDownloadedWaypoints(dir_ / "dl.wpt", false, read, ui), 3);
  EXPECT_EQ(testing::ReadWholeFile(dir_ / "dl.wpt").rfind("OziExplorer", 0), 0u);
  EXPECT_EQ(ui.LastStatus(), "3 waypoints written");
}

// A text field's character that the format cannot hold is replaced so that the file reads
// back whole (position, altitude and the rest of the text), and the writer says so.
TEST_F(TempDir, SeparatorsInsideTextFieldsAreReplacedAndNamed) {
  Waypoint pass = Make("PILLON", 46.35, 7.21, 1546);
  pass.SetDescription("Col, du \"Pillon\"");
  const struct {
    const char* file;
    WaypointFileFormat format;
    const char* description;  // as read back
    const char* note;
  } cases[] = {
      {"out.ozi.wpt", WaypointFileFormat::Ozi, "Col du -Pillon-",
       "1 description(s) held a comma, the field separator of OziExplorer files: written "
       "without it"},
      {"out.cup", WaypointFileFormat::SeeYou, "Col, du 'Pillon'",
       "1 description(s) held a double quote, which ends a SeeYou name: written as '"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ScriptedUi ui;
    std::vector<std::string> notes;
    ASSERT_EQ(WriteWaypointFile(dir_ / c.file, c.format, std::vector{pass}, ui, &notes), 1);
    EXPECT_EQ(notes, std::vector<std::string>{c.note});
    WaypointReadContext context{ui, false, 0};
    std::vector<Waypoint> read;
    ASSERT_EQ(ReadWaypointFile(dir_ / c.file, context, "Reading waypoint file", read), 1);
    EXPECT_EQ(read[0].Description(), c.description);
    EXPECT_EQ(read[0].altitude, 1546);
    EXPECT_EQ(read[0].Id(), "PILLON");
  }
}

TEST_F(TempDir, AtomicWriteReplacesWholeAndLeavesNoTemporaryFiles) {
  const auto path = Write("f.txt", "first version, longer");
  EXPECT_EQ(WriteFileAtomically(path, "second"), 0);
  EXPECT_EQ(testing::ReadWholeFile(path), "second");
  EXPECT_NE(WriteFileAtomically(dir_ / "no" / "f.txt", "x"), 0);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace logwell
