#include "waypoints/pilot_identity.h"

#include <gtest/gtest.h>

namespace logwell {
namespace {

SemicirclePoint Dms(int latD, int latM, int latS, int lonD, int lonM, int lonS) {
  constexpr double kRadiansPerArcSecond = 4.848136811095e-6;
  return {RadiansToSemicircles((latD * 3600 + latM * 60 + latS) * kRadiansPerArcSecond),
          RadiansToSemicircles((lonD * 3600 + lonM * 60 + lonS) * kRadiansPerArcSecond)};
}

TEST(PilotIdentity, EncodesDigitsAsDegreesMinutesSeconds) {
  EXPECT_EQ(EncodeIdAsPosition(123), Dms(1, 2, 3, 0, 0, 0));
  EXPECT_EQ(EncodeIdAsPosition(1234567), Dms(5, 6, 7, 12, 3, 4));
  for (std::int32_t id : {0, 7, 123, 99999, 100000, 1234567, 17999999}) {
    EXPECT_EQ(DecodeIdFromPosition(EncodeIdAsPosition(id)), id) << id;
  }
}

TEST(PilotIdentity, PositionsThatCarryNoNumber) {
  EXPECT_EQ(DecodeIdFromPosition(Dms(1, 12, 3, 0, 0, 0)), -1);  // 12 minutes
  EXPECT_EQ(DecodeIdFromPosition(Dms(10, 0, 0, 0, 0, 0)), -1);  // 10 degrees of latitude
  EXPECT_EQ(DecodeIdFromPosition(Dms(1, 0, 0, 180, 0, 0)), -1);
  SemicirclePoint south = EncodeIdAsPosition(123);
  south.latitude = -south.latitude;
  EXPECT_EQ(DecodeIdFromPosition(south), -1);
}

TEST(PilotIdentity, BuildsAndRecognisesIdentityWaypoints) {
  const auto waypoints = BuildPilotIdentityWaypoints(123, 1234567, true, 77);
  ASSERT_EQ(waypoints.size(), 3u);
  EXPECT_EQ(waypoints[0].Id(), "COMPID");
  EXPECT_EQ(waypoints[0].Description(), "COMPID 123");
  EXPECT_EQ(waypoints[1].Id(), "CIVLID");
  EXPECT_EQ(waypoints[1].Description(), "CIVLID 1234567");
  EXPECT_EQ(waypoints[2].Id(), "-123");
  EXPECT_EQ(waypoints[2].Description(), "-123");
  EXPECT_EQ(waypoints[2].latitude, 0);
  for (const auto& w : waypoints) {
    EXPECT_EQ(w.time, 77u);
    EXPECT_EQ(w.altitude, 0);
    EXPECT_EQ(w.type, 0);
  }
  EXPECT_TRUE(BuildPilotIdentityWaypoints(-1, -1, true, 0).empty());
  EXPECT_EQ(BuildPilotIdentityWaypoints(-1, 5, true, 0).size(), 1u);

  FoundPilotIdentity found;
  EXPECT_TRUE(RecognisePilotIdentity(waypoints[0], false, found));
  EXPECT_TRUE(RecognisePilotIdentity(waypoints[1], false, found));
  EXPECT_FALSE(RecognisePilotIdentity(waypoints[2], false, found));
  EXPECT_EQ(PilotIdentityStatusText(found), "Comp ID = 123, CIVL ID = 1234567");
  FoundPilotIdentity dash;
  EXPECT_FALSE(RecognisePilotIdentity(waypoints[0], true, dash));
  EXPECT_TRUE(RecognisePilotIdentity(waypoints[2], true, dash));
  EXPECT_EQ(PilotIdentityStatusText(dash), "Comp ID = 123");
  EXPECT_EQ(PilotIdentityStatusText({-1, 9}), "CIVL ID = 9");
}

TEST(PilotIdentity, ProtocolsThatTakeIdentities) {
  EXPECT_TRUE(ProtocolTakesPilotIdentity(17));
  EXPECT_FALSE(ProtocolTakesPilotIdentity(3));
}

}  // namespace
}  // namespace logwell
