// Track filters and flight statistics.
#include <gtest/gtest.h>

#include <cmath>

#include "geo/units.h"
#include "support/scripted_ui.h"
#include "track/filters.h"
#include "track/statistics.h"

namespace logwell {
namespace {

// A point x metres east of 46 N 8 E at the given time and altitude (decimetres).
TrackPoint At(double x, GarminTime time, std::int32_t altitude = 10000) {
  TrackPoint p;
  p.time = time;
  p.latitude = RadiansToSemicircles(DegreesToRadians(46.0));
  p.longitude = RadiansToSemicircles(DegreesToRadians(8.0 + x / (111320.0 * std::cos(DegreesToRadians(46.0)))));
  p.gpsAltitude = altitude;
  return p;
}

// Steady flight at 10 m/s, one fix a second.
std::vector<TrackPoint> Steady(int count) {
  std::vector<TrackPoint> points;
  for (int i = 0; i < count; ++i) points.push_back(At(10.0 * i, static_cast<GarminTime>(1000 + i)));
  points[0].segmentStart = 1;
  return points;
}

TEST(SpeedAnalysis, DropsSpikesAndClearsItsMark) {
  auto short19 = Steady(19);
  short19[5] = At(90000, 1005);  // even a spike stays: 19 points are too few to judge
  EXPECT_EQ(SpeedAnalysis(short19), 19u);

  auto points = Steady(100);
  points[50] = At(50000, 1050);   // a jump of 50 km
  points[80].segmentStart |= kKeepMarkBit;  // a stale mark is never left behind
  EXPECT_EQ(SpeedAnalysis(points), 99u);
  ASSERT_EQ(points.size(), 99u);
  EXPECT_EQ(points[50].time, 1051u);
  for (const auto& p : points) EXPECT_EQ(p.segmentStart & kKeepMarkBit, 0u);

  // Never ten calm segments in a row: no reliable stretch, and the points stay as they were.
  std::vector<TrackPoint> wild;
  for (int i = 0; i < 40; ++i) wild.push_back(At((i % 2) * 5000.0 + i, static_cast<GarminTime>(1000 + i)));
  const auto before = wild;
  EXPECT_EQ(SpeedAnalysis(wild), 0u);
  EXPECT_EQ(wild, before);
}

TEST(VarioAndTimestampFilters, FollowTheirRules) {
  auto points = Steady(10);
  points[3].gpsAltitude += 1000;  // 100 m in a second
  points[6].time = points[5].time;  // the same second twice
  auto unfiltered = points;
  EXPECT_EQ(VarioFilter(unfiltered, 0), 0u) << "limit 0 switches the filter off";
  EXPECT_EQ(unfiltered.size(), 10u);
  EXPECT_EQ(VarioFilter(points, 5), 2u);
  EXPECT_EQ(points.size(), 8u);

  auto times = Steady(6);
  times[2].time = 900;            // backwards
  times[4].time = times[3].time;  // equal stays
  const TimestampCheck check = CheckTimestamps(times);
  EXPECT_EQ(check.backwardsCount, 1u);
  EXPECT_EQ(check.firstIndex, 2u);
  EXPECT_EQ(TimestampFilter(times), 5u);
}

TEST(SplitAtGaps, OffersPiecesNewestFirstAndKeepsTheChosen) {
  auto points = Steady(20);
  for (int i = 10; i < 20; ++i) points[static_cast<std::size_t>(i)].time += 21 * 60;  // 21-minute pause
  EXPECT_EQ(FindSplitPieces(points, 1200).size(), 2u);
  EXPECT_EQ(FindSplitPieces(points, 1800).size(), 1u);

  testing::ScriptedUi ui;
  ui.ScriptChoice(std::vector<int>{1});  // the older piece
  auto kept = points;
  EXPECT_EQ(SplitAtGaps(kept, 1200, {"/dev/ttyUSB0", "XC Trainer", false}, ui), 10u);
  EXPECT_EQ(kept.front().time, 1000u);
  ASSERT_EQ(ui.Choices().size(), 1u);
  EXPECT_EQ(ui.Choices()[0].title, "Split track (/dev/ttyUSB0, XC Trainer)");
  EXPECT_TRUE(ui.Choices()[0].multiple);
  EXPECT_EQ(ui.Choices()[0].lines[1].substr(24), "0:00:09");

  ui.ScriptChoice(std::nullopt);
  auto cancelled = points;
  EXPECT_EQ(SplitAtGaps(cancelled, 1200, {"COM1", "", false}, ui), 0u);
  EXPECT_EQ(ui.Choices()[1].title, "Split track (COM1)");

  std::vector<TrackPoint> many;
  for (int i = 0; i < 150; ++i) many.push_back(At(0, static_cast<GarminTime>(1000 + i * 3000)));
  const auto pieces = FindSplitPieces(many, 1200);
  ASSERT_EQ(pieces.size(), 100u);
  EXPECT_EQ(pieces.back().last, 149u);
}

TEST(DownloadFilters, ReportTheRemovedCount) {
  FilterSettings settings;
  settings.useDuringDownload = true;
  settings.varioLimit = 5;
  testing::ScriptedUi ui;
  auto points = Steady(100);
  points[40].gpsAltitude += 2000;
  const DownloadFilter filter = MakeDownloadFilter(settings, ui);
  ASSERT_TRUE(filter);
  filter(points);
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text, "1 points removed by filter(s)");
  EXPECT_EQ(ui.Boxes()[0].caption, "Analyze track");
  settings.useDuringDownload = false;
  EXPECT_FALSE(MakeDownloadFilter(settings, ui));
}

TEST(FilterDialogs, VarioAndGapInput) {
  FilterSettings settings;
  testing::ScriptedUi ui;
  EXPECT_TRUE(ApplyVarioDialogInput("7", settings, ui));
  EXPECT_EQ(VarioDialogText(settings), "7");
  EXPECT_FALSE(ApplyVarioDialogInput("7.5", settings, ui));
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text, "Bad input");
  EXPECT_EQ(ui.Boxes()[0].caption, "Set vario filter");
  EXPECT_TRUE(ApplyVarioDialogInput("", settings, ui));
  EXPECT_EQ(settings.varioLimit, 0u);
  EXPECT_EQ(GapDialogText(settings), "20");
  EXPECT_FALSE(ApplyGapDialogInput("x", settings));
  EXPECT_TRUE(ApplyGapDialogInput("30", settings));
  EXPECT_EQ(settings.gapSeconds, 1800u);
}

TEST(Statistics, RecordAndTexts) {
  auto points = Steady(121);  // 120 s at 10 m/s
  points[0].gpsAltitude = -14;
  points[1].gpsAltitude = 1234;
  for (std::size_t i = 2; i < points.size(); ++i) points[i].gpsAltitude = 1000 + static_cast<std::int32_t>(i) * 20;
  const FlightStatistics s = ComputeStatistics(points);
  EXPECT_EQ(s.durationSeconds, 120);
  EXPECT_EQ(s.lowestAltitude, -1);
  EXPECT_NEAR(s.totalDistance, 1200.0, 6.0);
  EXPECT_NEAR(s.averageSpeed, 36.0, 0.1);
  EXPECT_NEAR(s.bestSpeed10, 36.0, 0.1);
  EXPECT_NEAR(s.bestSpeed60, 36.0, 0.1);
  EXPECT_NEAR(s.highestVario60, 2.0, 0.01);  // 2 m per second
  const StatisticsTexts texts = FormatStatistics(s);
  EXPECT_EQ(texts.lowestAltitude, "-1 m");
  EXPECT_EQ(texts.duration, "0 : 02 : 00");
  EXPECT_EQ(texts.averageSpeed, "36 km/h");
  EXPECT_EQ(texts.distance, "1.2 km");
  EXPECT_EQ(DecimetresToMetres(1234), 123);

  // A window that reaches past the segment start counts only what lies after it.
  points[100].segmentStart = 1;
  EXPECT_EQ(WindowedSpeed(points, 100, 10), 0.0);
  EXPECT_NEAR(WindowedSpeed(points, 105, 10), 36.0 * 5 / 10, 0.1);
  EXPECT_EQ(ComputeStatistics({}).totalDistance, 0.0);

  // The graphs' interval: other windows give the same steady climb and speed; 60 s is the
  // 60-second figure itself.
  for (const std::uint32_t window : {10u, 30u, 60u}) {
    const SpeedAndClimb over = WindowedSpeedAndClimb(points, 90, window);
    EXPECT_NEAR(over.climb, 2.0, 0.01) << window;
    EXPECT_NEAR(over.speed, 36.0, 0.2) << window;
    EXPECT_EQ(WindowedClimb(points, 90, window), over.climb) << window;
  }
  EXPECT_EQ(WindowedSpeedAndClimb(points, 90, 60).climb, WindowedSpeedAndClimb60(points, 90).climb);
  EXPECT_EQ(WindowedSpeedAndClimb(points, 90, 0).climb, 0.0);
}

// Fixes marked invalid, and a GNSS altitude of 0 beside a pressure altitude, count for the
// distance but not for heights or climb; with a pressure altitude of 0 as well, a GNSS 0 is
// taken as a real altitude at sea level.
TEST(Statistics, UntrustedAltitudesAreLeftOut) {
  auto points = Steady(121);
  for (std::size_t i = 0; i < points.size(); ++i) {
    points[i].gpsAltitude = 10000 + static_cast<std::int32_t>(i) * 10;  // 1 m/s
    points[i].pressureAltitude = 990 + static_cast<std::int32_t>(i);
  }
  const FlightStatistics all = ComputeStatistics(points);
  points[70].gpsAltitude = 0;
  points[90].quality = kFixMarkedInvalid;
  points[90].gpsAltitude = 90000;
  const FlightStatistics s = ComputeStatistics(points);
  EXPECT_EQ(s.leftOutFixes, 2u);
  EXPECT_EQ(s.lowestAltitude, all.lowestAltitude);
  EXPECT_EQ(s.highestAltitude, all.highestAltitude);
  EXPECT_NEAR(s.highestVario60, 1.0, 0.01);
  EXPECT_NEAR(s.lowestVario60, 0.0, 0.01);
  EXPECT_EQ(s.totalDistance, all.totalDistance);

  for (TrackPoint& p : points) p.pressureAltitude = 0;
  points[90].quality = 0;
  points[90].gpsAltitude = 10900;
  const FlightStatistics sea = ComputeStatistics(points);
  EXPECT_EQ(sea.leftOutFixes, 0u);
  EXPECT_EQ(sea.lowestAltitude, 0);
}

// The graphs' climb passes over the fixes whose altitude is left out: a steady 1 m/s climb
// stays 1 m/s across a GNSS altitude of 0, that fix has no climb of its own, and a segment the
// left-out fix opened opens at the next fix.
TEST(Statistics, ClimbSeriesPassesOverLeftOutFixes) {
  auto points = Steady(260);
  for (std::size_t i = 0; i < points.size(); ++i) {
    points[i].gpsAltitude = 10000 + static_cast<std::int32_t>(i) * 10;
    points[i].pressureAltitude = 990 + static_cast<std::int32_t>(i);
  }
  points[80].gpsAltitude = 0;
  points[150].gpsAltitude = 0;
  points[150].segmentStart = 1;
  for (const std::uint32_t window : {10u, 60u}) {
    SCOPED_TRACE(window);
    const std::vector<float> climbs = ClimbSeries(points, window);
    ASSERT_EQ(climbs.size(), points.size());
    EXPECT_TRUE(std::isnan(climbs[80]));
    EXPECT_TRUE(std::isnan(climbs[150]));
    EXPECT_EQ(climbs[151], 0.0f);  // opens the segment in place of fix 150
    for (const std::size_t i : {std::size_t{81}, std::size_t{80 + window}, std::size_t{140}, std::size_t{151 + window}}) {
      EXPECT_NEAR(climbs[i], 1.0, 1e-3) << i;
    }
    // Without left-out fixes the series is the windowed climb itself.
    const std::vector<TrackPoint> clean = Steady(100);
    const std::vector<float> plain = ClimbSeries(clean, window);
    for (std::size_t i = 0; i < clean.size(); ++i) {
      EXPECT_EQ(plain[i], static_cast<float>(WindowedClimb(clean, i, window)));
    }
  }
}

}  // namespace
}  // namespace logwell
