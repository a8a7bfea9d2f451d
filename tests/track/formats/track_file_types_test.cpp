#include "track/formats/track_file_types.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "test_flight.h"
#include "base/atomic_file.h"
#include "track/formats/plt_track.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

class TempDir {
 public:
  TempDir() : path_(std::filesystem::temp_directory_path() /
                    ("logwell_formats_" + std::to_string(::getpid()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }
  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                  std::filesystem::directory_iterator()));
  }

 private:
  std::filesystem::path path_;
};

TEST(TrackFileTypes, TablesAndFilterStrings) {
  std::vector<std::string> open;
  for (const auto& type : OpenTrackFileTypes()) open.push_back(std::string(type.extension));
  EXPECT_EQ(open, (std::vector<std::string>{".kml", ".plt", ".dat", ".tnc", ".mps", ".log", ".igc", ".gpx", ".csv"}));
  EXPECT_EQ(FindTrackFileType(OpenTrackFileTypes(), TrackFileCode::OldDat)->name, "Trackvault (old)");
  EXPECT_EQ(FindTrackFileType(SaveTrackFileTypes(), TrackFileCode::TopNavigator)->name, "TopNavigator");
  EXPECT_EQ(BuildFileDialogFilter(SaveTrackFileTypes()),
            std::string("Ozi files (*.plt)\0*.plt\0MapSource files (*.mps)\0*.mps\0"
                        "TopNavigator files (*.tnc)\0*.tnc\0"
                        "GPX files (*.gpx)\0*.gpx\0CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0",
                        155));
  EXPECT_EQ(FindTrackFileTypeByName(OpenTrackFileTypes(), "/x/FLIGHT.GPX")->code, TrackFileCode::Gpx);
  EXPECT_EQ(FindTrackFileTypeByName(OpenTrackFileTypes(), "flight.txt"), nullptr);
}

TEST(TrackFileTypes, SaveWritesTheSelectionAtomically) {
  TempDir dir;
  const auto flight = testing::MakeFlight(10);
  ScriptedUi ui;
  int filtered = 0;
  const VarioFilterFunction dropTwo = [&](std::vector<TrackPoint>& points) {
    ++filtered;
    points.resize(points.size() - 2);
    return 2;
  };
  const auto path = SavePathWithExtension(dir.path() / "flight", *FindTrackFileType(SaveTrackFileTypes(), TrackFileCode::Ozi), ui);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->filename(), "flight.plt");
  EXPECT_EQ(SaveTrackLogFile(*path, TrackFileCode::Ozi, flight, ui, {}, dropTwo), 8);
  EXPECT_EQ(filtered, 1);
  EXPECT_EQ(ui.Events(),
            (std::vector<UiEvent>{
                {UiEventKind::Info, "Save track log", "2 positions have been removed due to vario filtering"},
                {UiEventKind::Status, "", "8 positions written"}}));
  ScriptedUi reader;
  const auto read = ReadPltTrack(testing::ReadWholeFile(*path), reader);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->points.size(), 8u);
  EXPECT_EQ(dir.FileCount(), 1u);  // no temporary file left
}

TEST(TrackFileTypes, SaveAsksAndRefuses) {
  TempDir dir;
  const auto flight = testing::MakeFlight(1);
  ScriptedUi ui;
  EXPECT_LT(SaveTrackLogFile(dir.path() / "a.gpx", TrackFileCode::Gpx, {}, ui, {}, {}), 0);
  ui.ScriptAnswer(Answer::Cancel);
  EXPECT_LT(SaveTrackLogFile(dir.path() / "a.gpx", TrackFileCode::Gpx, flight, ui, {}, {}), 0);
  ui.ScriptAnswer(Answer::Ok);
  EXPECT_EQ(SaveTrackLogFile(dir.path() / "a.gpx", TrackFileCode::Gpx, flight, ui, {}, {}), 1);
  EXPECT_LT(SaveTrackLogFile(dir.path() / "missing" / "a.gpx", TrackFileCode::Gpx, flight, ui, {}, {}), 0);
  EXPECT_EQ(ui.Boxes(),
            (std::vector<UiEvent>{
                {UiEventKind::Error, "Save track log", "No position(s) selected"},
                {UiEventKind::OkCancel, "Save track log", "Only one position selected, continue ?"},
                {UiEventKind::OkCancel, "Save track log", "Only one position selected, continue ?"},
                {UiEventKind::OkCancel, "Save track log", "Only one position selected, continue ?"},
                {UiEventKind::Error, "Save GPX track log file", "File write error"}}));
}

TEST(TrackFileTypes, AtomicWriteReplacesAndKeepsPermissions) {
  TempDir dir;
  const auto path = dir.path() / "x.csv";
  ASSERT_EQ(WriteFileAtomically(path, "old"), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(WriteFileAtomically(path, "new content"), 0);
  EXPECT_EQ(testing::ReadWholeFile(path), "new content");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_NE(WriteFileAtomically(dir.path() / "none" / "x.csv", "a"), 0);
  EXPECT_EQ(dir.FileCount(), 1u);
}

TEST(TrackFileTypes, OpenReadsTakesOverAndReportsFileErrors) {
  TempDir dir;
  ScriptedUi ui;
  const auto flight = testing::MakeFlight(20);
  ASSERT_EQ(WriteFileAtomically(dir.path() / "f.csv", WriteCsvTrack(flight, {})), 0);
  TrackLog log;
  EXPECT_EQ(OpenTrackLogFile(log, dir.path() / "f.csv", TrackFileCode::Csv, ui), FileTakeOver::Replaced);
  EXPECT_EQ(log.Count(), 20);
  EXPECT_EQ(ui.LastStatus(), "20 positions read");

  ASSERT_EQ(WriteFileAtomically(dir.path() / "empty.gpx", ""), 0);
  ASSERT_EQ(WriteFileAtomically(dir.path() / "header.csv", "Time,Latitude,Longitude\r\n"), 0);
  ScriptedUi errors;
  EXPECT_FALSE(ReadTrackLogFile(dir.path() / "nothing.gpx", TrackFileCode::Gpx, errors));
  EXPECT_FALSE(ReadTrackLogFile(dir.path() / "empty.gpx", TrackFileCode::Gpx, errors));
  EXPECT_FALSE(ReadTrackLogFile(dir.path() / "header.csv", TrackFileCode::Csv, errors));
  EXPECT_EQ(errors.Events(),
            (std::vector<UiEvent>{{UiEventKind::Error, "Read track log", "Error opening track log file"},
                                  {UiEventKind::Error, "Read track log", "File is empty"},
                                  {UiEventKind::Status, "", "No positions found"}}));
}

TEST(TrackFileTypes, ConvertReadsAndWritesByExtension) {
  TempDir dir;
  const auto flight = testing::MakeFlight(30);
  ASSERT_EQ(WriteFileAtomically(dir.path() / "in.mps", *EncodeTrackFile(TrackFileCode::MapSource, flight, {})), 0);
  ScriptedUi ui;
  ASSERT_EQ(ConvertTrackFile(dir.path() / "in.mps", dir.path() / "out.gpx", ui), 0);
  ASSERT_EQ(ConvertTrackFile(dir.path() / "out.gpx", dir.path() / "out.csv", ui), 0);
  ASSERT_EQ(ConvertTrackFile(dir.path() / "out.csv", dir.path() / "out.plt", ui), 0);
  const auto read = ReadTrackLogFile(dir.path() / "out.plt", TrackFileCode::Ozi, ui);
  ASSERT_TRUE(read);
  ASSERT_EQ(read->points.size(), 30u);
  EXPECT_EQ(read->points[29].time, flight[29].time);
  EXPECT_NEAR(read->points[29].latitude, flight[29].latitude, 2 * testing::kMicroDegreeSemicircles);
  EXPECT_LT(ConvertTrackFile(dir.path() / "out.plt", dir.path() / "out.igc", ui), 0);
  EXPECT_EQ(ui.Boxes().back().text, "File contains invalid extension");
}

}  // namespace
}  // namespace logwell
