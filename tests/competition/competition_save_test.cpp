#include "competition/competition_save.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "geo/units.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/igc/igc_writer.h"
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
  // Named by the flight's first fix (1990-01-11 13:46:40 UTC), not by the time of the save.
  EXPECT_EQ(Files(), (std::vector<std::string>{"Jane Doe.19900111-134640.1234.17.igc",
                                               "Jane Doe.19900111-134640.1234.17.kml"}));
  const std::string igc = testing::ReadWholeFile(first.files[0]);
  EXPECT_NE(igc.find("HFPLTPILOT: Jane Doe"), std::string::npos);
  EXPECT_NE(igc.find("HFCIDCOMPETITIONID: 17"), std::string::npos);
  const std::string kml = testing::ReadWholeFile(first.files[1]);
  EXPECT_NE(kml.find("<name>Tracklog from Logwell competition mode</name>"), std::string::npos);
  EXPECT_NE(kml.find("civl_pilot_id=\"1234\" comp_pilot_id=\"17\""), std::string::npos);
  EXPECT_EQ(ui.LastStatus(), "File \"" + first.files[0].string() + "\" written");
  EXPECT_EQ(ui.Boxes().back().text, "File saved, NO signature");
  EXPECT_EQ(first.signature, SignatureCheck::None);

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

// An instrument's own IGC text for a log: what the log holds, under another maker's A record and
// with that maker's G record (which only the maker or the online service can check).
std::string InstrumentText(const TrackLog& log) {
  igc::IgcEncodeInput input;
  input.points = log.points;
  input.loggerSerial = "123";
  input.downloadTime = log.downloadTime;
  std::string text = igc::EncodeIgc(input)->text;
  text.replace(0, 4, "AFLY");
  return text + "G3A9F00C2D1E8B7A6\r\n";
}

TEST_F(CompetitionSave, InstrumentsOwnTextIsSavedWholeWhateverTheWindowAndFilters) {
  TrackLog log = Glide(60, 1'000'000);
  log.points[30].latitude += DegreesToSemicircles(0.5);  // a fix 55 km off: the speed analysis cuts it
  log.rawIgc.emplace();
  log.rawIgc->text = InstrumentText(log);
  log.source.signState = SignState::Downloaded;
  request.filters.speedAnalysis = true;
  request.windowStart = log.points[5].time;
  const auto saved = SaveLogForCompetition(log, log.points, request, ui);
  ASSERT_EQ(saved.status, CompetitionSaveStatus::Written);
  EXPECT_TRUE(saved.instrumentText);
  EXPECT_EQ(saved.positions, 60u);
  EXPECT_EQ(testing::ReadWholeFile(saved.files[0]), log.rawIgc->text);
  // What the window and the filters would have cut is said, not done.
  const auto statuses = ui.StatusTexts();
  EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                      "The instrument's own file is kept whole: 5 of its 60 fixes lie outside the "
                      "time window, 1 would be removed by the filters"),
            statuses.end());
  // Another maker's record is not ours to check.
  EXPECT_EQ(saved.signature, SignatureCheck::NotVerified);
  EXPECT_EQ(ui.Boxes().back().text, "File saved, signed by the instrument, not verified");
}

TEST_F(CompetitionSave, SignatureOkOnlyAfterARealCheck) {
  TrackLog ours = Glide(30, 1'000'000);
  ours.source.signState = SignState::Downloaded;
  const auto written = SaveLogForCompetition(ours, ours.points, request, ui);
  ASSERT_EQ(written.status, CompetitionSaveStatus::Written);
  EXPECT_EQ(written.signature, SignatureCheck::Verified);
  EXPECT_EQ(ui.Boxes().back().text, "File saved, signature OK");
  const std::string signedText = testing::ReadWholeFile(written.files[0]);

  // One altitude changed in a signed text, ours or another maker's: never "signature OK".
  const std::size_t fix = signedText.find("\nB") + 1;
  std::string tamperedOurs = signedText;
  tamperedOurs[fix + 30] = tamperedOurs[fix + 30] == '9' ? '8' : '9';
  TrackLog maker = Glide(30, 3'000'000);
  std::string tamperedMaker = InstrumentText(maker);
  const std::size_t makerFix = tamperedMaker.find("\nB") + 1;
  tamperedMaker[makerFix + 30] = tamperedMaker[makerFix + 30] == '9' ? '8' : '9';
  struct Case {
    std::string text;
    SignatureCheck check;
    std::string_view box;
  };
  const Case cases[] = {
      {tamperedOurs, SignatureCheck::Failed, "File saved, signature FAILED"},
      {tamperedMaker, SignatureCheck::NotVerified,
       "File saved, signed by the instrument, not verified"},
  };
  int second = 0;
  for (const Case& c : cases) {
    TrackLog log = Glide(30, 2'000'000 + 1000 * ++second);
    log.rawIgc.emplace();
    log.rawIgc->text = c.text;
    log.source.signState = SignState::Downloaded;
    request.pilot = {"Pilot " + std::to_string(second), second, -1};
    const auto saved = SaveLogForCompetition(log, log.points, request, ui);
    ASSERT_EQ(saved.status, CompetitionSaveStatus::Written) << c.box;
    EXPECT_EQ(saved.signature, c.check);
    EXPECT_EQ(ui.Boxes().back().text, c.box);
    EXPECT_EQ(testing::ReadWholeFile(saved.files[0]), c.text);  // kept, and flagged
  }
}

TEST_F(CompetitionSave, OneFlightBelongsToOnePilot) {
  TrackLog log = Glide(60, 1'000'000);
  log.rawIgc.emplace();
  log.rawIgc->text = InstrumentText(log);
  request.pilot = {"Eva Example", 105, 40105};
  ASSERT_EQ(SaveLogForCompetition(log, log.points, request, ui).status,
            CompetitionSaveStatus::Written);
  const auto before = Files();

  // The same instrument handed in for another pilot, and our own file of the same fixes.
  TrackLog ours = log;
  ours.rawIgc.reset();
  for (const TrackLog* again : {&log, &ours}) {
    request.pilot = {"Gregor Zupan", 107, -1};
    EXPECT_EQ(SaveLogForCompetition(*again, again->points, request, ui).status,
              CompetitionSaveStatus::Failed);
    ASSERT_FALSE(ui.Boxes().empty());
    EXPECT_EQ(ui.Boxes().back().text, "Not saved: same flight as Eva Example, comp. 105");
    EXPECT_EQ(Files(), before);
  }
}

TEST_F(CompetitionSave, FlightsOfAnotherDayThanTheTasksAreRefused) {
  const TrackLog log = Glide(60, 1'000'000);  // 1990-01-11
  request.taskDay = CalendarToGarminTime({1990, 1, 0, 12, 0, 0, 0});
  EXPECT_EQ(SaveLogForCompetition(log, log.points, request, ui).status,
            CompetitionSaveStatus::Failed);
  EXPECT_EQ(ui.Boxes().back().text, "Flight of 1990-01-11, not of the task day 1990-01-12");
  EXPECT_TRUE(Files().empty());
  request.taskDay = CalendarToGarminTime({1990, 1, 0, 11, 0, 0, 0});
  EXPECT_EQ(SaveLogForCompetition(log, log.points, request, ui).status,
            CompetitionSaveStatus::Written);
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
