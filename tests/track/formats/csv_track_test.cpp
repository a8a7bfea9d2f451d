#include "track/formats/csv_track.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"
#include "test_flight.h"

namespace logwell {
namespace {

using testing::ScriptedUi;

std::vector<TrackPoint> Track() {
  std::vector<TrackPoint> points(3);
  const double lat[] = {46.0, 46.001, 46.002};
  for (int i = 0; i < 3; ++i) {
    points[i].time = 1076456605u + static_cast<GarminTime>(i * 2);
    points[i].latitude = formats::DegreesToSemicircles(lat[i]);
    points[i].longitude = formats::DegreesToSemicircles(-8.0);
    points[i].gpsAltitude = 1000 + 15 * i;  // 100.0 m climbing 0.75 m/s
    points[i].pressureAltitude = 98 + i;
  }
  points[0].milliseconds = 250;
  points[0].segmentStart = 1;
  points[2].gpsAltitude = -15;
  return points;
}

TEST(CsvTrack, WritesTheBaseColumns) {
  EXPECT_EQ(WriteCsvTrack(Track(), {}),
            "Date/time,Latitude,Longitude,H-GPS,H-Baro\r\n"
            "2024-02-09T23:43:25.250Z,46.000000,-8.000000,100,98\r\n"
            "2024-02-09T23:43:27.000Z,46.001000,-8.000000,102,99\r\n"
            "2024-02-09T23:43:29.000Z,46.002000,-8.000000,-2,100\r\n");
}

TEST(CsvTrack, WritesTheOptionalColumnsWithTheirAveraging) {
  CsvParameters all;
  all.absTime = all.relTime = all.relDist = all.accDist = all.bearing = all.speed = all.vario = true;
  all.speedSeconds = 4;  // point 2 takes point 0 as reference
  all.varioSeconds = 1;  // sparser than the interval: the previous point
  auto points = Track();
  points[2].gpsAltitude = 1030;
  const std::string text = WriteCsvTrack(points, all);
  const auto lines = formats::SplitLines(text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "Date/time,Latitude,Longitude,H-GPS,H-Baro,AbsTime,RelTime,RelDist,AccDist,Bearing,Speed,Vario");
  EXPECT_EQ(lines[1], "2024-02-09T23:43:25.250Z,46.000000,-8.000000,100,98,9/2/2024  23:43:25,0:00:00,"
                      "0.000,0.000,0,0.0,0.0");
  // 0.001 degree of latitude at 46 N is 111.15 m on the ellipsoid, flown in 1.75 s (the first
  // point has 250 ms); due north is bearing 0; 1.5 m of climb in 1.75 s.
  EXPECT_EQ(lines[2], "2024-02-09T23:43:27.000Z,46.001000,-8.000000,102,99,9/2/2024  23:43:27,0:00:02,"
                      "0.111,0.111,0,228.6,0.9");
  // Speed over 4 s from point 0 (3.75 s with its milliseconds): 222.3 m / 3.75 s = 213.4 km/h.
  EXPECT_EQ(lines[3], "2024-02-09T23:43:29.000Z,46.002000,-8.000000,103,100,9/2/2024  23:43:29,0:00:04,"
                      "0.222,0.222,0,213.4,0.8");
}

TEST(CsvTrack, RoundTripsAFlight) {
  const auto flight = testing::MakeFlight(200);
  ScriptedUi ui;
  const auto read = ReadCsvTrack(WriteCsvTrack(flight, {}), ui);
  ASSERT_TRUE(read) << ui.Boxes().front().text;
  ASSERT_EQ(read->points.size(), flight.size());
  for (std::size_t i = 0; i < flight.size(); ++i) {
    EXPECT_NEAR(read->points[i].latitude, flight[i].latitude, testing::kMicroDegreeSemicircles);
    EXPECT_EQ(read->points[i].time, flight[i].time);
    EXPECT_EQ(read->points[i].gpsAltitude, (flight[i].gpsAltitude + 5) / 10 * 10);
    EXPECT_EQ(read->points[i].pressureAltitude, flight[i].pressureAltitude);
  }
}

TEST(CsvTrack, ReadsSemicolonsQuotesAndOtherColumnOrders) {
  const std::string text =
      "\"Point\";\"UTC time\";\"Latitude (deg)\";\"Longitude (deg)\";Height\r\n"
      "1;\"2021-06-01T12:00:00.5Z\";46.5;7.5;1234.56\r\n"
      "\r\n"
      "2;2021-06-01T12:00:01;-46.5;\"-7.5\";\r\n";
  ScriptedUi ui;
  const auto read = ReadCsvTrack(text, ui);
  ASSERT_TRUE(read) << ui.Boxes().front().text;
  ASSERT_EQ(read->points.size(), 2u);
  EXPECT_EQ(read->points[0].milliseconds, 500);
  EXPECT_EQ(read->points[0].gpsAltitude, 12345);
  EXPECT_EQ(read->points[1].gpsAltitude, 0);
  EXPECT_EQ(read->points[1].segmentStart, 0u);
  EXPECT_NEAR(formats::SemicirclesToDegrees(read->points[1].longitude), -7.5, 1e-7);
}

TEST(CsvTrack, ReportsEveryFault) {
  const std::string header = "Time,Latitude,Longitude,H-GPS,H-Baro\n";
  struct Case {
    std::string text;
    std::string caption;
    std::string message;
  } cases[] = {
      {"Time;Latitude;Height\n", "Read CSV track log file", "Could not determine items from header"},
      {"Time,Latitude,Longitude,\"Alti\"tude\"\n", "Read CSV track log file",
       "Could not determine items from header"},
      {"Latitude time,Longitude\n", "Read CSV track log file", "Could not determine items from header"},
      {"Time,Latitude,Longitude altitude\n", "Read CSV track log file",
       "Could not determine items from header"},
      {header + "2020-01-01T00:00:00Z,1,\"2\n", "Decoding track log file", "Error parsing line 2"},
      {header + "2020-01-01T00:00:00Z,1\n", "Decoding track log file", "Error parsing line 2"},
      {header + "yesterday,1,2,3,4\n", "Decoding track log file", "Error decoding time on line 2"},
      {header + "2020-01-01T00:00:00Z,x,2,3,4\n", "Decoding track log file",
       "Error decoding latitude on line 2"},
      {header + "2020-01-01T00:00:00Z,-90,2,3,4\n", "Decoding track log file",
       "Latitude out of range on line 2"},
      {header + "2020-01-01T00:00:00Z,1,2a,3,4\n", "Decoding track log file",
       "Error decoding longitude on line 2"},
      {header + "2020-01-01T00:00:00Z,1,180,3,4\n", "Decoding track log file",
       "Longitude out of range on line 2"},
      {header + "2020-01-01T00:00:00Z,1,2,3m,4\n", "Decoding track log file",
       "Bad GPS height data on line 2"},
      {header + "\n2020-01-01T00:00:00Z,1,2,3,4\n2020-01-01T00:00:00Z,1,2,3,x\n",
       "Decoding track log file", "Bad pressure height data on line 4"},
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    EXPECT_FALSE(ReadCsvTrack(c.text, ui)) << c.message;
    ASSERT_EQ(ui.Boxes().size(), 1u) << c.message;
    EXPECT_EQ(ui.Boxes()[0].text, c.message);
    EXPECT_EQ(ui.Boxes()[0].caption, c.caption);
  }
}

}  // namespace
}  // namespace logwell
