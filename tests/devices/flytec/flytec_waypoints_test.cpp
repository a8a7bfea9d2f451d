// Waypoints both ways: the $PBRWPS assembler's codes, and downloads and uploads against the
// virtual instrument.
#include <gtest/gtest.h>

#include <numbers>

#include "access/nmea.h"
#include "devices/flytec/flytec_waypoints.h"
#include "flytec_rig.h"
#include "geo/units.h"

namespace logwell {
namespace {

using flytec::WaypointAssembler;

int FeedAll(WaypointAssembler& assembler, std::string_view text) {
  int state = 1;
  for (const char c : text) {
    state = assembler.Feed(static_cast<std::uint8_t>(c));
    if (state <= 0) return state;
  }
  return state;
}

TEST(FlytecWaypointAssembler, SentencesAndTheirCodes) {
  struct Case {
    std::string body;  // without "$", checksum appended unless `raw`
    int code;
  };
  const Case cases[] = {
      {"PBRWPS,4630.500,N,00801.250,E,TOP,TOP OF HILL,1234", 0},
      {"PBRWPS,4630.500,N,00801.250,E,TOP", 0},
      {"PBRWPS,9000.000,N,00801.250,E,TOP", -1},
      {"PBRWPS,46x0.000,N,00801.250,E,TOP", -2},
      {"PBRWPS,4630.0x0,N,00801.250,E,TOP", -3},
      {"PBRWPS,4630.000,Q,00801.250,E,TOP", -4},
      {"PBRWPS,4630.000,N,18000.000,E,TOP", -6},
      {"PBRWPS,4630.000,N,00801.250,X,TOP", -9},
      {"PBRWPS,4630.000,N,00801.250,E,TOOLONG", -12},
      {"PBRWPS,4630.000,N,00801.250,E,TOP,A NAME OF 18 CHARS,1", -14},
      {"PBRWPS,4630.000,N,00801.250,E,TOP,NAME,12a", -15},
      {"PBRWPS,4630.000,N,00801.250,E,TOP,NAME,123456", -16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    WaypointAssembler assembler;
    EXPECT_EQ(FeedAll(assembler, AppendNmeaChecksum("$" + c.body)), c.code);
  }
  WaypointAssembler assembler;
  EXPECT_EQ(FeedAll(assembler, "$PBRWPS,4630.000,N,00801.250,E,TOP*00\r\n"), -20);
  EXPECT_EQ(FeedAll(assembler, "$PBRWPS,4630.000,N,00801.250,E,TOP*0g"), -18);
  EXPECT_EQ(FeedAll(assembler, "$PBRWPS,4630.000,N,00801.250,E,TO\r\n"), -11);
}

TEST(FlytecWaypointSentence, AltitudeIsClampedAndNamePadded) {
  Waypoint w;
  w.latitude = RadiansToSemicircles(-(46.0 + 30.5 / 60.0) * std::numbers::pi / 180.0);
  w.longitude = RadiansToSemicircles((8.0 + 1.25 / 60.0) * std::numbers::pi / 180.0);
  w.SetDescription("HILL");
  w.altitude = 12000;
  const auto body = [](const Waypoint& waypoint) {
    const std::string sentence = flytec::WaypointUploadSentence(waypoint);
    return sentence.substr(0, sentence.find('*') + 1);
  };
  EXPECT_EQ(body(w),
            "$PBRWPR,4630.500,S,00801.250,E,,HILL             ,9999*");
  w.altitude = -5;
  EXPECT_EQ(body(w), "$PBRWPR,4630.500,S,00801.250,E,,HILL             ,0000*");
  // A comma in the name would split the sentence: the instrument would read a cut name and
  // take the rest for the altitude.
  w.SetDescription("Col, du Pillon");
  w.altitude = 1546;
  EXPECT_EQ(body(w), "$PBRWPR,4630.500,S,00801.250,E,,Col du Pillon    ,1546*");
}

TEST(FlytecWaypoints, DownloadAndUploadThroughTheInstrument) {
  sim::FlytecModelConfig config;
  config.waypoints = {{46.5, 8.02, "TOP 1", "Top of hill", 1234, false},
                      {-33.25, -70.5, "", "", 0, true}};
  testing::FlytecRig rig(std::move(config));
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  ASSERT_EQ(rig.waypoints.size(), 2u);
  const Waypoint& top = rig.waypoints[0];
  EXPECT_EQ(top.Id(), "TOP");
  EXPECT_EQ(top.Description(), "TOP OF HILL");
  EXPECT_EQ(top.altitude, 1234);
  EXPECT_NEAR(SemicirclesToRadians(top.latitude) * 180.0 / std::numbers::pi, 46.5, 1e-5);
  const Waypoint& bare = rig.waypoints[1];
  EXPECT_EQ(bare.Id(), "Z");
  EXPECT_EQ(bare.Description(), "");
  EXPECT_EQ(bare.altitude, 0);
  EXPECT_NEAR(SemicirclesToRadians(bare.longitude) * 180.0 / std::numbers::pi, -70.5, 1e-5);

  std::vector<Waypoint> upload(2);
  upload[0].SetDescription("HIGH");
  upload[0].altitude = 12000;
  upload[1].SetDescription("LOW");
  upload[1].altitude = -5;
  ASSERT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, &upload), 0);
  const auto stored = rig.model->Waypoints();
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored[2].longName, "HIGH             ");
  EXPECT_EQ(stored[2].altitude, 9999);
  EXPECT_EQ(stored[3].altitude, 0);
  EXPECT_EQ(rig.ui.LastStatus(), "Waypoint 2 sent");
  EXPECT_EQ(rig.Notified().back(), "Sent wpt 2/2");
}

}  // namespace
}  // namespace logwell
