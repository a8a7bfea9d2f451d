#include "airspace/airspace_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "airspace/airspace_file.h"
#include "airspace/airspace_points.h"
#include "airspace/airspace_convert.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;
namespace fs = std::filesystem;

constexpr std::string_view kTwoAirspaces =
    "AC R\nAN Alpha\nAL GND\nAH FL95\nV X=47:00:00 N 008:00:00 E\nDC 2\n"
    "AC Q\nAN Bravo\nAL GND\nAH 1500m\nDP 47:00:00 N 008:00:00 E\nDP 47:10:00 N 008:00:00 E\n"
    "DP 47:10:00 N 008:10:00 E\n";

class AirspaceListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("logwell_airspace_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path Write(std::string_view name, std::string_view text) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  static AirspaceList Parsed(std::string_view text) {
    ScriptedUi ui;
    AirspaceSettings settings;
    return ReadOpenAirText(text, ui, settings).records;
  }

  fs::path folder_;
  ScriptedUi ui_;
  AirspaceSettings settings_;
};

TEST_F(AirspaceListTest, ReadingTheSameFileTwiceKeepsAndNumbersEqualNames) {
  const fs::path file = Write("ctr.txt", kTwoAirspaces);
  AirspaceList list;
  EXPECT_EQ(ReadAirspaceFileIntoList(list, file, ui_, settings_), 2);
  EXPECT_EQ(ui_.LastStatus(), "2 CTRs read");
  EXPECT_TRUE(ui_.Boxes().empty()) << "an empty list is not asked about";

  ui_.ScriptAnswer(Answer::Yes);  // keep the current list
  ui_.ScriptAnswer(Answer::Yes);  // fix the names
  EXPECT_EQ(ReadAirspaceFileIntoList(list, file, ui_, settings_), 2);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].name, "Alpha");
  EXPECT_EQ(list[1].name, "Bravo");
  EXPECT_EQ(list[2].name, "Alpha(1)");
  EXPECT_EQ(list[3].name, "Bravo(1)");
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{
                             {UiEventKind::YesNo, "Read CTR file", "Keep current CTR list ?"},
                             {UiEventKind::YesNo, "Equal CTR name(s)", "Fix name by appending number ?"}}));

  // No: the list is replaced, and nothing is equal any more.
  ui_.Clear();
  ui_.ScriptAnswer(Answer::No);
  EXPECT_EQ(ReadAirspaceFileIntoList(list, file, ui_, settings_), 2);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(ui_.Boxes().size(), 1u);
}

TEST_F(AirspaceListTest, DuplicateNamesCountPerNameAndStayWithinFiftyCharacters) {
  AirspaceList list(4);
  const std::string longName(50, 'L');
  list[0].name = longName;
  list[1].name = "Short";
  list[2].name = longName;
  list[3].name = longName;
  ui_.ScriptAnswer(Answer::Yes);
  EXPECT_TRUE(FixDuplicateNames(list, ui_));
  EXPECT_EQ(list[2].name, std::string(47, 'L') + "(1)");
  EXPECT_EQ(list[3].name, std::string(47, 'L') + "(2)");
  EXPECT_EQ(list[1].name, "Short");

  AirspaceList unchanged = list;
  ui_.ScriptAnswer(Answer::No);
  list[1].name = list[0].name;
  unchanged[1].name = list[0].name;
  EXPECT_FALSE(FixDuplicateNames(list, ui_));
  EXPECT_EQ(list, unchanged);
}

TEST_F(AirspaceListTest, FileErrorsLeaveTheListAlone) {
  AirspaceList list = Parsed(kTwoAirspaces);
  const AirspaceList before = list;
  EXPECT_EQ(ReadAirspaceFileIntoList(list, folder_ / "missing.txt", ui_, settings_), -1);
  EXPECT_EQ(ReadAirspaceFileIntoList(list, Write("empty.txt", ""), ui_, settings_), -1);
  EXPECT_EQ(ReadAirspaceFileIntoList(list, Write("bad.txt", "AC R\nAN X\nDC 1\n"), ui_, settings_), -1);
  EXPECT_EQ(list, before);
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{
                             {UiEventKind::Error, "Reading CTR file", "Error opening CTR file"},
                             {UiEventKind::Error, "Reading CTR file", "File is empty"},
                             {UiEventKind::Error, "Parsing CTR buffer", "Missing centre for DC record (line 3)"}}));
}

TEST_F(AirspaceListTest, NewEditAndDelete) {
  AirspaceList list;
  EXPECT_FALSE(EditFormFor(list, ui_));
  list = Parsed(kTwoAirspaces);
  EXPECT_FALSE(EditFormFor(list, ui_));
  EXPECT_EQ(DeleteSelectedAirspaces(list, ui_), -1);
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Edit CTR", "No CTR in list"},
                                                {UiEventKind::Error, "Edit CTR", "No CTR selected"},
                                                {UiEventKind::Error, "Edit CTR", "No CTR(s) selected"}}));

  // Edit the second one: its commented text, changed and put back in its place.
  list[1].selected = 1;
  auto form = EditFormFor(list, ui_);
  ASSERT_TRUE(form);
  EXPECT_EQ(form->warningDistance, "200");
  const auto at = form->text.find("AN Bravo");
  ASSERT_NE(at, std::string::npos);
  form->text.replace(at, 8, "AN Charlie");
  form->warningDistance = " 500 ";
  EXPECT_EQ(ReplaceAirspaceFromForm(list, *form, ui_, settings_), 1);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].name, "Charlie");
  EXPECT_EQ(list[1].warningDistance, 500);
  EXPECT_EQ(list[1].segments.size(), 3u);

  // A bad text keeps the record.
  ui_.Clear();
  list[1].selected = 1;
  form->text += "XX\n";
  EXPECT_EQ(ReplaceAirspaceFromForm(list, *form, ui_, settings_), -1);
  EXPECT_EQ(list[1].name, "Charlie");

  // New: appended.
  AirspaceEditForm fresh;
  fresh.text = "AN New\nDP 1:00:00 N 1:00:00 E\n";
  EXPECT_EQ(AddAirspacesFromForm(list, fresh, ui_, settings_), 1);
  EXPECT_EQ(list.back().name, "New");

  // Form checks.
  ui_.Clear();
  for (const auto& [distance, text] : std::vector<std::pair<std::string, std::string>>{
           {"", "x"}, {"2x", "x"}, {"-5", "x"}, {"200", "  "}}) {
    EXPECT_FALSE(CheckEditForm({distance, text}, ui_));
  }
  std::vector<std::string> messages;
  for (const UiEvent& box : ui_.Boxes()) messages.push_back(box.text);
  EXPECT_EQ(messages, (std::vector<std::string>{"Missing warning distance input", "Bad warning distance format",
                                                "Bad warning distance format", "Missing text"}));

  // Delete the selected ones.
  list[0].selected = 1;
  list[2].selected = 1;
  EXPECT_EQ(DeleteSelectedAirspaces(list, ui_), 3);
  EXPECT_TRUE(list.empty());
}

TEST_F(AirspaceListTest, ShowAsWaypointsAndSegmentAccuracy) {
  AirspaceList list = Parsed(kTwoAirspaces);
  EXPECT_FALSE(SelectedAirspaceAsWaypoints(list, settings_, ui_));
  list[0].selected = 1;
  const auto points = SelectedAirspaceAsWaypoints(list, settings_, ui_);
  ASSERT_TRUE(points);
  EXPECT_EQ(points->size(), CircleStepCount(3704, 10) + 1);
  EXPECT_EQ(points->front().Id(), "CAAAAA");
  EXPECT_GT(points->front().time, 1000000000u) << "the current time";

  EXPECT_EQ(ReadSegmentAccuracy(" 25 ", ui_), 25u);
  EXPECT_FALSE(ReadSegmentAccuracy("", ui_));
  EXPECT_FALSE(ReadSegmentAccuracy("2.5", ui_));
  EXPECT_FALSE(ReadSegmentAccuracy("0", ui_));
  const auto boxes = ui_.Boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0], (UiEvent{UiEventKind::Error, "Show CTR", "No CTR selected"}));
  EXPECT_EQ(boxes[1], (UiEvent{UiEventKind::Error, "Set segment error", "Missing input"}));
  EXPECT_EQ(boxes[2].text, "Bad input");
  EXPECT_EQ(boxes[3].text, "Use 1m or greater");
}

// An instrument that keeps 17 characters of a name.
constexpr std::size_t kFlytecNameLimit = 17;

TEST_F(AirspaceListTest, UploadChecksCompareSeventeenCharacters) {
  AirspaceList list(3);
  EXPECT_FALSE(CheckAirspaceUpload(list, kFlytecNameLimit, ui_));
  list[0].name = "Restricted area 1 north";
  list[1].name = "Restricted area 1 south";
  list[2].name = "Other";
  for (auto& record : list) record.selected = 1;
  EXPECT_FALSE(CheckAirspaceUpload(list, kFlytecNameLimit, ui_));
  EXPECT_TRUE(CheckAirspaceUpload(list, 0, ui_)) << "Garmin takes them as logs";
  list[1].selected = 0;
  EXPECT_TRUE(CheckAirspaceUpload(list, kFlytecNameLimit, ui_));
  list[1].selected = 1;
  list[1].name = "Other";
  list[0].selected = 0;
  EXPECT_FALSE(CheckAirspaceUpload(list, kFlytecNameLimit, ui_));
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{
                             {UiEventKind::Error, "Upload CTR", "No CTR(s) selected"},
                             {UiEventKind::Error, "Upload CTR",
                              "One or more of the selected CTRs have equal\r\nnames after limiting the length to fit the GPS"},
                             {UiEventKind::Error, "Upload CTR", "One or more of the selected CTRs have equal names"}}));
}

TEST_F(AirspaceListTest, WritingFilesAndTheCommandLineRead) {
  const fs::path input = Write("in.txt", kTwoAirspaces);
  const auto forUpload = ReadAirspacesForUpload(input, ui_, settings_);
  ASSERT_TRUE(forUpload);
  ASSERT_EQ(forUpload->size(), 2u);
  for (const AirspaceRecord& record : *forUpload) EXPECT_EQ(record.selected, 1);

  AirspaceList none = Parsed(kTwoAirspaces);
  EXPECT_EQ(WriteSelectedAirspaces(none, folder_ / "none.gpx", AirspaceFileKind::Gpx, settings_, ui_), -1);
  EXPECT_EQ(ui_.Boxes().back(), (UiEvent{UiEventKind::Error, "Save CTR(s) in .gpx file", "No CTR(s) selected"}));
  EXPECT_FALSE(fs::exists(folder_ / "none.gpx"));

  EXPECT_EQ(WriteSelectedAirspaces(*forUpload, folder_ / "out.txt", AirspaceFileKind::OpenAir, settings_, ui_), 0);
  EXPECT_EQ(testing::ReadWholeFile(folder_ / "out.txt"), MakeAirspaceFileText(*forUpload, AirspaceFileKind::OpenAir, 10));
  EXPECT_EQ(WriteSelectedAirspaces(*forUpload, folder_ / "no-folder" / "out.txt", AirspaceFileKind::OpenAir,
                                   settings_, ui_),
            -1);
  EXPECT_EQ(ui_.Boxes().back(), (UiEvent{UiEventKind::Error, "Write CTR", "File write error"}));
  // Only the written file is left in the folder: no temporary files.
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) ++files;
  EXPECT_EQ(files, 2u);
}

TEST_F(AirspaceListTest, ConvertChoosesTheOutputByName) {
  const fs::path input = Write("in.openair", kTwoAirspaces);
  EXPECT_EQ(AirspaceOutputKind("a.TXT"), AirspaceFileKind::OpenAir);
  EXPECT_EQ(AirspaceOutputKind("a.noarcs.txt"), AirspaceFileKind::OpenAirNoArcs);
  EXPECT_EQ(AirspaceOutputKind("a.gpx"), AirspaceFileKind::Gpx);
  EXPECT_EQ(AirspaceOutputKind("a.js"), AirspaceFileKind::WebMap);
  EXPECT_FALSE(AirspaceOutputKind("a.kml"));
  EXPECT_TRUE(IsOpenAirInput("x.openair", ""));
  EXPECT_TRUE(IsOpenAirInput("x.txt", "\xEF\xBB\xBF* c\r\n\r\n  AC R\r\n"));
  EXPECT_FALSE(IsOpenAirInput("x.txt", "OziExplorer Waypoint File Version 1.1\r\n"));

  for (const char* name : {"o.txt", "o.noarcs.txt", "o.gpx", "o.js"}) {
    EXPECT_EQ(ConvertAirspaceFile(input, folder_ / name, ui_), 0) << name;
    EXPECT_GT(fs::file_size(folder_ / name), 150u) << name;
  }
  EXPECT_THAT(testing::ReadWholeFile(folder_ / "o.noarcs.txt"), ::testing::Not(::testing::HasSubstr("DC")));

  // A parse error: the message with its line, exit code 1, nothing written.
  ui_.Clear();
  const fs::path bad = Write("bad.txt", std::string(kTwoAirspaces) + "DC 1\n");
  EXPECT_EQ(ConvertAirspaceFile(bad, folder_ / "bad-out.gpx", ui_), 1);
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{
                             {UiEventKind::Error, "Parsing CTR buffer", "Missing centre for DC record (line 14)"}}));
  EXPECT_FALSE(fs::exists(folder_ / "bad-out.gpx"));
  EXPECT_EQ(ConvertAirspaceFile(input, folder_ / "o.kml", ui_), 1);
}

}  // namespace
}  // namespace logwell
