#include "competition/competition_save.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "geo/units.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/track_log.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;

// A steady glide: one fix every 10 s from `start`, moving north-east.
TrackLog Glide(int count, GarminTime start) {
  TrackLog log;
  for (int i = 0; i < count; ++i) {
    TrackPoint p;
    p.time = start + static_cast<GarminTime>(i) * 10;
    p.latitude = DegreesToSemicircles(46.0 + i * 0.0005);
    p.longitude = DegreesToSemicircles(8.0 + i * 0.0005);
    p.gpsAltitude = 15000 - i * 10;
    p.pressureAltitude = 1500 - i;
    log.points.push_back(p);
  }
  log.points.front().segmentStart = 1;
  log.downloadTime = {2024, 6, 0, 1, 18, 0, 0};
  return log;
}

class CompetitionSave : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("logwell_comp_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    request.folder = folder;
    request.pilot = {"Jane Doe", 17, 1234};
    request.nowUtc = {2024, 6, 0, 1, 18, 5, 9};
  }
  void TearDown() override { fs::remove_all(folder); }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder;
  CompetitionSaveRequest request;
  testing::ScriptedUi ui;
};

TEST(CompetitionBaseName, NamesPilotTimeAndIds) {
  const CalendarTime now{2024, 6, 0, 1, 8, 5, 9};
  EXPECT_EQ(CompetitionBaseName("out", {"Jane Doe", 17, 1234}, now),
            "out/Jane Doe.20240601-080509.1234.17");
  EXPECT_EQ(CompetitionBaseName("out", {"", -1, -1}, now),
            "out/[pilot name].20240601-080509.[CIVLID].[COMPID]");
  EXPECT_EQ(CompetitionBaseName("out", {"A/B", 3, -1}, now), "out/A-B.20240601-080509.[CIVLID].3");
}

TEST_F(CompetitionSave, WritesIgcAndKmlOnceForTheSameFlight) {
  const TrackLog log = Glide(60, 1'000'000);
  const auto first = SaveLogForCompetition(log, log.points, request, ui);
  ASSERT_EQ(first.status, CompetitionSaveStatus::Written);
  EXPECT_EQ(first.positions, 60u);
  EXPECT_EQ(Files(), (std::vector<std::string>{"Jane Doe.20240601-180509.1234.17.igc",
                                               "Jane Doe.20240601-180509.1234.17.kml"}));
  const std::string igc = testing::ReadWholeFile(first.files[0]);
  EXPECT_NE(igc.find("HFPLTPILOT: Jane Doe"), std::string::npos);
  EXPECT_NE(igc.find("HFCIDCOMPETITIONID: 17"), std::string::npos);
  const std::string kml = testing::ReadWholeFile(first.files[1]);
  EXPECT_NE(kml.find("<name>Tracklog from Logwell competition mode</name>"), std::string::npos);
  EXPECT_NE(kml.find("civl_pilot_id=\"1234\" comp_pilot_id=\"17\""), std::string::npos);
  EXPECT_EQ(ui.LastStatus(), "File \"" + first.files[0].string() + "\" written");
  EXPECT_EQ(ui.Boxes().back().text, "File saved, NO signature");

  // The same flight read again a minute later is recognised and not saved twice.
  request.nowUtc.minute = 6;
  const auto again = SaveLogForCompetition(log, log.points, request, ui);
  EXPECT_EQ(again.status, CompetitionSaveStatus::AlreadyProcessed);
  EXPECT_EQ(again.files.front(), first.files[0]);
  EXPECT_EQ(ui.LastStatus(), "File \"" + first.files[0].string() + "\" already processed");
  EXPECT_EQ(Files().size(), 2u);

  // Another flight of the same pilot is a new file.
  const TrackLog other = Glide(60, 2'000'000);
  EXPECT_EQ(SaveLogForCompetition(other, other.points, request, ui).status,
            CompetitionSaveStatus::Written);
  EXPECT_EQ(Files().size(), 4u);
}

TEST_F(CompetitionSave, KeepsTheInstrumentsOwnSignedText) {
  TrackLog log = Glide(30, 1'000'000);
  log.rawIgc.emplace();
  log.rawIgc->text = "AXYZ123\r\nB1000000000000N00000000EA0000000000\r\nGABCDEF\r\n";
  log.source.signState = SignState::Downloaded;
  const auto saved = SaveLogForCompetition(log, log.points, request, ui);
  ASSERT_EQ(saved.status, CompetitionSaveStatus::Written);
  EXPECT_TRUE(saved.signatureOk);
  EXPECT_EQ(testing::ReadWholeFile(saved.files[0]), log.rawIgc->text);
  EXPECT_EQ(ui.Boxes().back().text, "File saved, signature OK");

  // A window that leaves fixes out cannot keep the instrument's text: ours is written.
  request.windowStart = log.points[5].time;
  request.nowUtc.minute = 7;
  const auto cut = SaveLogForCompetition(log, log.points, request, ui);
  ASSERT_EQ(cut.status, CompetitionSaveStatus::Written);
  EXPECT_EQ(cut.positions, 25u);
  EXPECT_NE(testing::ReadWholeFile(cut.files[0]), log.rawIgc->text);
}

TEST_F(CompetitionSave, RefusesWhatCannotBeSaved) {
  TrackLog log = Glide(30, 1'000'000);
  request.windowStart = log.points.back().time + 1;
  log.points[0].time = 0;
  EXPECT_EQ(SaveLogForCompetition(log, log.points, request, ui).status,
            CompetitionSaveStatus::Failed);
  EXPECT_EQ(ui.Boxes().back().text,
            "No positions found\r\nSome removed due to bad timestamp\r\n"
            "Some removed due to time filtering");

  request.windowStart = log.points[25].time;
  EXPECT_EQ(SaveLogForCompetition(log, log.points, request, ui).status,
            CompetitionSaveStatus::Failed);
  EXPECT_EQ(ui.Boxes().back().text, "Too few positions for statistics analysis");

  request.windowStart = 0;
  request.pilot.name = std::string(300, 'x');
  EXPECT_EQ(SaveLogForCompetition(log, log.points, request, ui).status,
            CompetitionSaveStatus::Failed);
  EXPECT_EQ(ui.Boxes().back().text, "Too long filename");

  request.pilot.name = "Jane";
  request.folder = folder / "missing";
  EXPECT_EQ(SaveLogForCompetition(log, log.points, request, ui).status,
            CompetitionSaveStatus::Failed);
  EXPECT_EQ(ui.Boxes().back().text, "File write error");
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace logwell
