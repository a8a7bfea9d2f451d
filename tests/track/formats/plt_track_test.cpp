#include "track/formats/plt_track.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"
#include "test_flight.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

constexpr std::string_view kHeader =
    "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
    "0,2,255,x,0,0,2,8421376\r\n";

UiEvent DecodeError(std::string text) {
  return {UiEventKind::Error, "Decoding track log file", std::move(text)};
}

TEST(PltTrack, WritesTheExactLayout) {
  TrackPoint p;
  p.segmentStart = 1;
  p.latitude = formats::DegreesToSemicircles(46.5);
  p.longitude = formats::DegreesToSemicircles(-7.25);
  p.gpsAltitude = 15000;  // 1500 m = 4921.26 ft
  p.time = 6434u * 86400 + 3600 * 7 + 60 * 52 + 19;  // 2007-08-13 07:52:19
  const CalendarTime now{2024, 3, 0, 5, 9, 8, 7, 0};
  const std::string text = WritePltTrack(std::span(&p, 1), now);
  EXPECT_EQ(text,
            "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n"
            "Reserved 3\r\n0,2,255,05.03.24 09:08:07                  ,0,0,2,8421376\r\n1\r\n"
            "  46.500000,  -7.250000,1,   4921,39307.3279977, 13-aug-07, 07:52:19\r\n");
}

TEST(PltTrack, RoundTripsAFlight) {
  const auto flight = testing::MakeFlight(300);
  ScriptedUi ui;
  const auto read = ReadPltTrack(WritePltTrack(flight, {2024, 1, 0, 1, 0, 0, 0, 0}), ui);
  ASSERT_TRUE(read) << ui.Boxes().front().text;
  ASSERT_EQ(read->points.size(), flight.size());
  EXPECT_EQ(read->timeIsUtc, 0);
  EXPECT_EQ(read->altitudeFlag, 0);
  for (std::size_t i = 0; i < flight.size(); ++i) {
    const TrackPoint& got = read->points[i];
    EXPECT_NEAR(got.latitude, flight[i].latitude, testing::kMicroDegreeSemicircles);
    EXPECT_NEAR(got.longitude, flight[i].longitude, testing::kMicroDegreeSemicircles);
    EXPECT_NEAR(got.gpsAltitude, flight[i].gpsAltitude, 3);  // whole feet
    EXPECT_NEAR(got.time, flight[i].time, 1);                // 7 decimals of a day
    EXPECT_EQ(got.segmentStart, i == 0 ? 1u : 0u);
    EXPECT_EQ(got.pressureAltitude, 0);
  }
}

TEST(PltTrack, SkipsTheIndentOfTheFirstLineOnEveryLine) {
  std::string text;
  for (const std::string_view line :
       {"OziExplorer Track Point File Version 2.1", "WGS 84", "Altitude is in Feet", "Reserved 3",
        "0,2,255,x", "1", "47.000000,8.000000,0,1000,39307.5,x,y"}) {
    text += "  ";
    text += line;
    text += "\n";
  }
  ScriptedUi ui;
  const auto read = ReadPltTrack(text, ui);
  ASSERT_TRUE(read);
  ASSERT_EQ(read->points.size(), 1u);
  EXPECT_EQ(read->points[0].gpsAltitude, 3048);
  EXPECT_EQ(read->points[0].time, 6434u * 86400 + 43200);
}

TEST(PltTrack, RefusesBadFilesWithOneMessage) {
  const std::string good = std::string(kHeader) + "2\r\n";
  const std::string point = "  47.0,  8.0,0, 1000,39307.5, x\r\n";
  struct Case {
    std::string text;
    std::string message;
  } cases[] = {
      {"Something else\r\n", "Bad format line (1)"},
      {"OziExplorer Track Point File Version 2.1\r\n", "Missing map datum line (2)"},
      {"OziExplorer Track Point File Version 2.1\r\nWGS 72\r\n", "Bad map datum line (2)"},
      {"OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nx\r\n", "Missing line(s)"},
      {std::string(kHeader) + "-1\r\n", "Bad line 6"},
      {std::string(kHeader) + "0\r\n", "Missing line(s)"},
      {std::string(kHeader) + "two\r\n", "Bad line 6"},
      {good + point, "Missing line(s)"},
      // before 1989-12-31 (day 32873)
      {good + point + "  47.0,  8.0,0, 1000,32872.9, x\r\n", "Bad line 8"},
      {good + "  90.0,  8.0,0, 1000,39307.5, x\r\n", "Bad line 7"},
      {good + "  47.0,  180.0,0, 1000,39307.5, x\r\n", "Bad line 7"},
      {good + "  47.0,  8.0,0, 30001,39307.5, x\r\n", "Bad line 7"},
      {good + "  47.0,  8.0,0, 1000\r\n", "Bad line 7"},
      {good + "  47.0x,  8.0,0, 1000,39307.5\r\n", "Bad line 7"},
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    EXPECT_FALSE(ReadPltTrack(c.text, ui)) << c.message;
    EXPECT_EQ(ui.Boxes(), std::vector{DecodeError(c.message)}) << c.text;
  }
}

TEST(PltTrack, ACountOfZeroReadsEveryPointLine) {
  const std::string text = std::string(kHeader) +
                           "0\r\n47.0,8.0,1,1000,39307.5,,\r\n47.1,8.0,0,1000,39307.6,,\r\n\r\n";
  ScriptedUi ui;
  const auto read = ReadPltTrack(text, ui);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->points.size(), 2u);
}

TEST(PltTrack, StopsAfterTheAnnouncedPoints) {
  const std::string text = std::string(kHeader) + "1\r\n  47.0,  8.0,0, -777,39307.5, x\r\ngarbage\r\n";
  ScriptedUi ui;
  const auto read = ReadPltTrack(text, ui);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->points.size(), 1u);
  EXPECT_EQ(read->points[0].gpsAltitude, -2368);  // -777 ft, rounded half away from zero
}

}  // namespace
}  // namespace logwell
