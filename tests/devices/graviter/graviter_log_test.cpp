// The Graviter codec alone: the log's records both ways, the refusals, the identity line and
// the owner name.
#include <gtest/gtest.h>

#include "geo/units.h"
#include "wire/graviter/graviter_log.h"

namespace logwell::graviter {
namespace {

TrackPoint Fix(int day, int hour, int minute, int second, double lat, double lon, int metres, bool opens = false) {
  CalendarTime t;
  t.year = 2024;
  t.month = 6;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  TrackPoint p;
  p.time = CalendarToGarminTime(t);
  p.segmentStart = opens ? 1 : 0;
  p.latitude = DegreesToSemicircles(lat);
  p.longitude = DegreesToSemicircles(lon);
  p.gpsAltitude = metres * 10;
  p.pressureAltitude = metres - 12;
  return p;
}

TEST(GraviterLog, TracksRoundTripAcrossMidnightAndHemispheres) {
  const std::vector<TrackPoint> points = {
      Fix(3, 23, 59, 58, 46.5, 8.0, 2100, true), Fix(4, 0, 0, 2, 46.5001, 8.0002, 2102),
      Fix(5, 10, 0, 0, -33.9, -18.4, -5, true), Fix(5, 10, 0, 1, -33.9001, -18.4001, 0)};
  const std::vector<std::uint8_t> log = EncodeLog(points);
  EXPECT_EQ(log.size(), 2 * kTrackStartSize + 4 * kFixSize + 1);
  const LogDecode decoded = DecodeLog(log);
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  EXPECT_EQ(decoded.tracks, 2u);
  ASSERT_EQ(decoded.points.size(), points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(decoded.points[i].time, points[i].time);
    EXPECT_EQ(decoded.points[i].segmentStart, i % 2 == 0 ? 1u : 0u);
    EXPECT_NEAR(decoded.points[i].latitude, points[i].latitude, 200);  // a thousandth of a minute
    EXPECT_NEAR(decoded.points[i].longitude, points[i].longitude, 200);
    EXPECT_EQ(decoded.points[i].gpsAltitude, points[i].gpsAltitude);
    EXPECT_EQ(decoded.points[i].pressureAltitude, points[i].pressureAltitude);
  }
  // Erased memory after the end marker is not looked at; an empty log has no points.
  std::vector<std::uint8_t> padded = log;
  padded.insert(padded.end(), {0x42, 0x00});
  EXPECT_EQ(DecodeLog(padded).points.size(), 4u);
  EXPECT_TRUE(DecodeLog(std::vector<std::uint8_t>{kEndTag}).points.empty());
}

TEST(GraviterLog, RefusesWhatItDoesNotUnderstand) {
  const std::vector<std::uint8_t> good = EncodeLog(std::vector<TrackPoint>{Fix(3, 12, 0, 0, 46.5, 8.0, 900, true)});
  struct Case {
    const char* name;
    std::size_t at;
    std::uint8_t value;
    std::size_t cut;  // bytes kept (0: all)
    const char* message;
  };
  const Case cases[] = {
      {"unknown tag", 0, 0x42, 0, "Unsupported record 0x42 at byte 0"},
      {"fix before any track", 0, kFixTag, 0, "Unsupported record 0xA2 at byte 0 (fix before track start)"},
      {"month 13", 2, 13, 0, "Unsupported record 0xA1 at byte 0 (bad date)"},
      {"hour 24", 9, 24, 0, "Unsupported record 0xA2 at byte 8 (bad time)"},
      {"latitude beyond the pole", 15, 0x7F, 0, "Unsupported record 0xA2 at byte 8 (bad position)"},
      {"cut inside a fix", 0, kTrackStartTag, 20, "Truncated record at byte 8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> log = good;
    if (c.at == 0 && c.value == kFixTag) log.erase(log.begin(), log.begin() + kTrackStartSize);
    else log[c.at] = c.value;
    if (c.cut != 0) log.resize(c.cut);
    const LogDecode decoded = DecodeLog(log);
    EXPECT_EQ(decoded.error, c.message);
    EXPECT_TRUE(decoded.points.empty());
  }
}

TEST(GraviterLog, IdentityAndOwnerName) {
  const auto identity = ParseIdentity("GRAVITER,2.10,04711");
  ASSERT_TRUE(identity);
  EXPECT_EQ(identity->software, "2.10");
  EXPECT_EQ(identity->serial, "04711");
  EXPECT_EQ(IdentityLine(*identity), "GRAVITER,2.10,04711\r\n");
  EXPECT_EQ(ProductText(*identity), "GRAVITER, SW 2.10, S/N 04711");
  for (const char* bad : {"GRAVITER", "GRAVITER,2.10", "GRAVITER,,1", "GRAVITER,1,", "GRAVITERX,1,2", "GRAVITER,1,2,3",
                          "$PMLR,24,x"}) {
    EXPECT_FALSE(ParseIdentity(bad)) << bad;
  }
  EXPECT_EQ(OwnerNameBytes("Jane Pilot"), "Jane Pilot      ");
  EXPECT_EQ(OwnerNameBytes("A very long owner name"), "A very long owne");
  EXPECT_FALSE(OwnerNameBytes(""));
  EXPECT_FALSE(OwnerNameBytes("J\xC3\xB6rg"));
}

}  // namespace
}  // namespace logwell::graviter
