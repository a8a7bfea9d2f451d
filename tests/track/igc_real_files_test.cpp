// The IGC decoder on real files of other loggers: extra position digits (LAD/LOD), the date in
// both header forms, and fixes the logger marked invalid, down to the statistics.
#include <gtest/gtest.h>

#include <string>

#include "geo/units.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"
#include "track/statistics.h"

namespace logwell::igc {
namespace {

IgcDecodeResult Decode(const std::filesystem::path& fixtures, const char* name) {
  return DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / name));
}

// Positions as igc-parser 2.x (npm) reads them from fai.igc, whose I record declares
// "LAD" at byte 36 and "LOD" at byte 37: fix index, latitude, longitude in degrees.
TEST(IgcRealFiles, LadLodDigitsAgreeWithIgcParser) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const IgcDecodeResult decoded = Decode(fixtures, "fai.igc");
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  struct Expected {
    std::size_t index;
    double latitude, longitude;
  };
  for (const Expected& e : {Expected{1, 42.533678333, 0.552415000},
                            Expected{1000, 42.535461667, 0.538608333},
                            Expected{26000, 42.523273333, 0.497323333}}) {
    ASSERT_LT(e.index, decoded.points.size());
    const TrackPoint& p = decoded.points[e.index];
    EXPECT_NEAR(SemicirclesToDegrees(p.latitude), e.latitude, 1e-6) << e.index;
    EXPECT_NEAR(SemicirclesToDegrees(p.longitude), e.longitude, 1e-6) << e.index;
  }
  // The second fix, "B1029074232020N00033144E...379": 32.0207 and 33.1449 minutes.
  EXPECT_NEAR(SemicirclesToDegrees(decoded.points[1].latitude), 42.0 + 32.0207 / 60.0, 1e-7);
}

// "HFDTEDATE:100923" and "HFDTE100923" in one file are one date (two different dates are still
// refused: see the decoder's own tests).
TEST(IgcRealFiles, DateInBothFormsIsOneDate) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const IgcDecodeResult both = Decode(fixtures, "39AXA411.IGC");
  ASSERT_TRUE(both.Ok()) << both.error;
  EXPECT_EQ(both.points.size(), 4978u);
  const CalendarTime first = GarminTimeToCalendar(both.points.front().time);
  EXPECT_EQ(first.year, 2023);
  EXPECT_EQ(first.month, 9);
  EXPECT_EQ(first.day, 10);
}

// trifai-xcontest-189.65.igc has 34 fixes marked V with GNSS altitude 0 in its first minutes:
// they stay in the track, and the statistics leave them out of heights and climb (which
// otherwise read a minimum of 0 m and a climb of 58 m/s).
TEST(IgcRealFiles, FixesMarkedInvalidAreLeftOutOfHeightsAndClimb) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const IgcDecodeResult decoded = Decode(fixtures, "trifai-xcontest-189.65.igc");
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  std::size_t marked = 0;
  for (const TrackPoint& p : decoded.points) marked += p.MarkedInvalid() ? 1 : 0;
  EXPECT_EQ(marked, 34u);
  const FlightStatistics s = ComputeStatistics(decoded.points);
  EXPECT_EQ(s.leftOutFixes, 34u);
  EXPECT_EQ(s.lowestAltitude, 639);
  EXPECT_EQ(s.highestAltitude, 3785);
  EXPECT_LT(s.highestVario60, 10.0);
  EXPECT_GT(s.lowestVario60, -10.0);
  EXPECT_EQ(FormatStatistics(s).leftOut,
            "34 fixes (marked invalid or GNSS altitude 0)");

  // A log whose every fix counts says nothing about it.
  const IgcDecodeResult clean = Decode(fixtures, "fai.igc");
  ASSERT_TRUE(clean.Ok());
  const FlightStatistics c = ComputeStatistics(clean.points);
  EXPECT_EQ(c.leftOutFixes, 0u);
  EXPECT_TRUE(FormatStatistics(c).leftOut.empty());
}

}  // namespace
}  // namespace logwell::igc
