#include "track/track_log.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

TrackPoint PointAt(GarminTime time) {
  TrackPoint p;
  p.time = time;
  p.latitude = static_cast<std::int32_t>(time);
  return p;
}

TEST(TrackCapacity, StartsWithRoomForAThousandAndDoubles) {
  std::vector<TrackPoint> points;
  ASSERT_TRUE(AppendTrackPoint(points, PointAt(1)));
  EXPECT_EQ(points.capacity(), 1000u);
  for (GarminTime t = 2; t <= 1001; ++t) ASSERT_TRUE(AppendTrackPoint(points, PointAt(t)));
  EXPECT_EQ(points.capacity(), 2000u);
  EXPECT_EQ(points.back(), PointAt(1001));
}

TEST(TrackCapacity, RefusesAnnouncedCountsBeyondTheLimit) {
  std::vector<TrackPoint> points;
  EXPECT_TRUE(ReserveTrackPoints(points, 5000));
  EXPECT_GE(points.capacity(), 5000u);
  EXPECT_FALSE(ReserveTrackPoints(points, kMaxTrackPoints + 1));
  EXPECT_EQ(kTrackLogMemoryError, "Track log memory allocation");
  // The readers say which it was: the limit, or memory that ran out below it.
  EXPECT_EQ(TrackPointsFailure(kMaxTrackPoints + 1), "too many fixes (limit 8,000,000)");
  EXPECT_EQ(TrackPointsFailure(kMaxTrackPoints), "Track log memory allocation");
  EXPECT_EQ(TrackPointsFailure(10, "Memory allocation error"), "Memory allocation error");
}

TEST(TrackLog, InstrumentTextsKeepTheirLimitsWithoutSplittingCharacters) {
  TrackLog log;
  log.source.SetInstrumentName("A very long instrument family name");
  EXPECT_EQ(log.source.InstrumentName(), "A very long inst");
  log.source.SetInstrumentText(std::string(100, 'x'));
  EXPECT_EQ(log.source.InstrumentText().size(), 80u);
  log.source.SetInstrumentId(std::string(60, 'y'));
  EXPECT_EQ(log.source.InstrumentId().size(), 50u);
  // 15 ASCII bytes and then a two-byte character: the cut at 16 falls inside it.
  log.source.SetInstrumentName("Brauniger Compe\xC3\xA9o");
  EXPECT_EQ(log.source.InstrumentName(), "Brauniger Compe");
}

TEST(TrackLog, ClearDropsPointsAndTheirCompanions) {
  TrackLog log;
  log.points = {PointAt(1), PointAt(2)};
  log.rawIgc = RawIgcLog{"AXXX\r\n", 1, 1, "000", "XXX"};
  log.task = TaskDeclaration{};
  log.logItData = {1, 2, 3};
  log.source.signState = SignState::Downloaded;
  log.saved = 1;
  log.source.altitudeFlag = 1;
  log.source.timeIsUtc = 1;
  log.source.SetInstrumentName("Flytec");
  log.Clear();
  EXPECT_TRUE(log.Empty());
  EXPECT_FALSE(log.rawIgc);
  EXPECT_FALSE(log.task);
  EXPECT_TRUE(log.logItData.empty());
  EXPECT_EQ(log.source.signState, SignState::NotSignable);
  EXPECT_EQ(log.saved, 0);
  EXPECT_EQ(log.source.altitudeFlag, 0);
  // What the log came from stays until the next take-over.
  EXPECT_EQ(log.source.timeIsUtc, 1);
  EXPECT_EQ(log.source.InstrumentName(), "Flytec");
}

TEST(TrackLog, InstrumentMarkersForNoTimeBecomeTimeZero) {
  for (const std::uint32_t marker : {0xFFFFFFFFu, 0x7FFFFFFFu}) {
    TrackPoint p;
    StoreInstrumentTime(p, marker, 500);
    EXPECT_EQ(p.time, 0u) << marker;
    EXPECT_EQ(p.milliseconds, 0) << marker;
  }
  TrackPoint p;
  StoreInstrumentTime(p, 0x7FFFFFFEu, 500);
  EXPECT_EQ(p.time, 0x7FFFFFFEu);
  EXPECT_EQ(p.milliseconds, 500);
}

TEST(AskBeforeReplacing, AsksOnlyForAnUnsavedLogOfAnInteractiveRun) {
  const UiEvent question{UiEventKind::OkCancel, "Unsaved track log",
                         "Continue without saving current track log ?"};
  TrackLog empty;
  TrackLog unsaved;
  unsaved.points = {PointAt(1)};
  TrackLog saved = unsaved;
  saved.saved = 1;

  ScriptedUi ui;
  EXPECT_TRUE(AskBeforeReplacing(empty, ui, false));
  EXPECT_TRUE(AskBeforeReplacing(saved, ui, false));
  EXPECT_TRUE(AskBeforeReplacing(unsaved, ui, true));
  EXPECT_TRUE(ui.Boxes().empty());

  ui.ScriptAnswer(Answer::Ok);
  EXPECT_TRUE(AskBeforeReplacing(unsaved, ui, false));
  ui.ScriptAnswer(Answer::Cancel);
  EXPECT_FALSE(AskBeforeReplacing(unsaved, ui, false));
  EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{question, question}));
}

TEST(CopySelectedPositions, CopiesSelectedRowsInRowOrder) {
  TrackLog log;
  log.points = {PointAt(10), PointAt(20), PointAt(30), PointAt(40)};
  const std::vector<int> rows = {3, 1, 7, -1, 1};
  const auto copy = CopySelectedPositions(log, rows);
  ASSERT_TRUE(copy);
  EXPECT_EQ(*copy, (std::vector<TrackPoint>{PointAt(20), PointAt(40)}));
  const auto none = CopySelectedPositions(log, {});
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

}  // namespace
}  // namespace logwell
