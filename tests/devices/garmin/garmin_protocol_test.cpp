// The Garmin packet layer without a line: framing with DLE stuffing, the byte-wise parser, the
// protocol array and built-in capability table, and the track point and waypoint conversions.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "wire/garmin/garmin_protocol.h"

namespace logwell::garmin {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Packet> ParseAll(const Bytes& bytes) {
  PacketParser parser;
  std::vector<Packet> packets;
  for (const std::uint8_t byte : bytes)
    if (parser.Feed(byte)) packets.push_back(parser.Last());
  return packets;
}

TEST(GarminPackets, FrameIsStuffedAndChecksummed) {
  // Product request: no data.
  EXPECT_EQ(FramePacket(kPidProductRequest, {}), (Bytes{0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}));
  // Acknowledge of 254.
  EXPECT_EQ(FramePacket(kPidAck, Bytes{0xFE, 0x00}), (Bytes{0x10, 0x06, 0x02, 0xFE, 0x00, 0xFA, 0x10, 0x03}));
  // Size 16 and a data byte 0x10 are doubled.
  Bytes sixteen(16, 0);
  sixteen[3] = 0x10;
  const Bytes frame = FramePacket(34, sixteen);
  EXPECT_EQ(frame[2], 0x10);
  EXPECT_EQ(frame[3], 0x10);
  EXPECT_EQ(frame.size(), 6u + 16 + 2);
  // A checksum of 0x10: ID 0xF0 with no data sums to 0xF0, whose complement is 0x10.
  EXPECT_EQ(FramePacket(0xF0, {}), (Bytes{0x10, 0xF0, 0x00, 0x10, 0x10, 0x10, 0x03}));
}

TEST(GarminPackets, ParserRoundTripsAndDropsBrokenFrames) {
  Bytes sixteen(16, 0x10);
  const Packet good{34, sixteen};
  Bytes stream = FramePacket(0xF0, {});
  const Bytes data = FramePacket(good.id, good.data);
  stream.insert(stream.end(), data.begin(), data.end());
  const auto packets = ParseAll(stream);
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0], (Packet{0xF0, {}}));
  EXPECT_EQ(packets[1], good);

  struct Case {
    const char* what;
    Bytes bytes;
  };
  Bytes badSum = FramePacket(kPidAck, Bytes{0xFE, 0x00});
  badSum[5] ^= 1;
  Bytes loneDle = FramePacket(34, sixteen);
  loneDle[4] = 0x00;  // the second byte of a stuffed pair
  Bytes noEtx = FramePacket(kPidAck, Bytes{0xFE, 0x00});
  noEtx.back() = 0x04;
  const Case broken[] = {{"wrong checksum", badSum}, {"lone DLE in the data", loneDle}, {"no ETX", noEtx},
                         {"DLE ETX alone", {0x10, 0x03}}};
  for (const Case& c : broken) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(ParseAll(c.bytes).empty());
    // The parser finds the next good packet after the broken one.
    Bytes then = c.bytes;
    const Bytes ack = FramePacket(kPidAck, Bytes{35, 0});
    then.insert(then.end(), ack.begin(), ack.end());
    const auto after = ParseAll(then);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0], AckPacket(35));
  }
}

TEST(GarminCapabilities, BuiltInTableAndProtocolArray) {
  const auto old29 = BuiltInCapabilities(29, 390);
  const auto new29 = BuiltInCapabilities(29, 400);
  ASSERT_TRUE(old29 && new29);
  EXPECT_EQ(old29->waypointType, 101);
  EXPECT_EQ(new29->waypointType, 102);
  EXPECT_EQ(BuiltInCapabilities(77, 355)->proximityTransfer, 0);
  EXPECT_EQ(BuiltInCapabilities(77, 361)->proximityType, 403);
  EXPECT_EQ(BuiltInCapabilities(77, 300)->waypointType, 100);
  EXPECT_EQ(BuiltInCapabilities(7, 100)->trackTransfer, 0);
  EXPECT_FALSE(BuiltInCapabilities(8, 100));
  EXPECT_EQ(CheckCapabilities(*new29), nullptr);

  // A receiver of the eTrex kind: P000 L001 A010 A100 D108 A201 D202 D108 D210 A301 D310 D301.
  const Bytes array{'P', 0, 0, 'L', 1, 0, 'A', 10, 0, 'A', 100, 0, 'D', 108, 0, 'A', 201, 0, 'D', 202, 0,
                    'D', 108, 0, 'D', 210, 0, 'A', 0x2D, 1, 'D', 0x36, 1, 'D', 0x2D, 1};
  Capabilities caps;
  EXPECT_EQ(ParseProtocolArray(array, caps), nullptr);
  EXPECT_EQ(caps.waypointType, 108);
  EXPECT_EQ(caps.routeHeaderType, 202);
  EXPECT_EQ(caps.routeLinkType, 210);
  EXPECT_EQ(caps.trackTransfer, 301);
  EXPECT_EQ(caps.trackHeaderType, 310);
  EXPECT_EQ(caps.trackPointType, 301);
  EXPECT_EQ(CheckCapabilities(caps), nullptr);

  Capabilities other;
  EXPECT_STREQ(ParseProtocolArray(Bytes{'P', 0}, other), "Bad protocol data packet");
  EXPECT_STREQ(ParseProtocolArray(Bytes{'X', 0, 0}, other), "Bad protocol tag character");

  struct Check {
    void (*change)(Capabilities&);
    const char* message;
  };
  const Check checks[] = {
      {[](Capabilities& c) { c.link = 2; }, "E180 Unsupported link protocol"},
      {[](Capabilities& c) { c.deviceCommand = 11; }, "E181 Unsupported device command protocol"},
      {[](Capabilities& c) { c.waypointType = 106; }, "E183 Unsupported waypoint data type"},
      {[](Capabilities& c) { c.waypointTransfer = 101; }, "E182 Unsupported waypoint transfer protocol"},
      {[](Capabilities& c) { c.trackPointType = 305; }, "E185 Unsupported track log data type"},
      {[](Capabilities& c) { c.trackTransfer = 303; }, "E185 Unsupported track log data type"},
  };
  for (const Check& check : checks) {
    Capabilities changed = caps;
    check.change(changed);
    EXPECT_STREQ(CheckCapabilities(changed), check.message);
  }
}

TEST(GarminTrackPoints, DecodeByType) {
  TrackPoint point;
  point.latitude = 555000000;
  point.longitude = -12345678;
  point.time = 600000000;
  point.gpsAltitude = 12345;
  point.segmentStart = 1;
  for (const std::uint16_t type : std::initializer_list<std::uint16_t>{300, 301, 302, 303, 304}) {
    SCOPED_TRACE(type);
    const Bytes data = EncodeTrackPoint(type, point);
    const auto back = DecodeTrackPoint(type, data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->latitude, point.latitude);
    EXPECT_EQ(back->longitude, point.longitude);
    EXPECT_EQ(back->time, point.time);
    EXPECT_EQ(back->gpsAltitude, type == 300 ? 0 : 12345);
    EXPECT_EQ(back->segmentStart, type <= 302 ? 1u : 0u);
    EXPECT_FALSE(DecodeTrackPoint(type, Bytes(data.begin(), data.end() - 1)));
  }
  // No altitude, invalid time, a value that is not a number.
  Bytes d301 = EncodeTrackPoint(301, point);
  WriteFloat(d301, 12, 1.0e25f);
  WriteU32(d301, 8, 0xFFFFFFFF);
  EXPECT_EQ(DecodeTrackPoint(301, d301)->gpsAltitude, 0);
  EXPECT_EQ(DecodeTrackPoint(301, d301)->time, 0u);
  WriteFloat(d301, 12, std::bit_cast<float>(0x7FC00000u));
  EXPECT_EQ(DecodeTrackPoint(301, d301)->gpsAltitude, 0);
  WriteFloat(d301, 12, -3.26f);
  EXPECT_EQ(DecodeTrackPoint(301, d301)->gpsAltitude, -32);  // -32.6 + 0.5, toward zero
}

TEST(GarminWaypoints, UploadTextRulesAndRoundTrip) {
  Waypoint w;
  w.SetId("a-b_c");
  w.SetDescription("x/y");
  w.latitude = 100;
  w.longitude = -200;
  const Bytes d100 = EncodeWaypoint(100, w);
  ASSERT_EQ(d100.size(), 58u);
  EXPECT_EQ(std::string(d100.begin(), d100.begin() + 6), "A-B C ");
  EXPECT_EQ(std::string(d100.begin() + 18, d100.end()), "X-Y" + std::string(37, ' '));

  const Bytes d108 = EncodeWaypoint(108, w);
  EXPECT_EQ(d108.size(), 48u + 5 + 1 + 3 + 1);
  EXPECT_EQ(std::string(d108.begin() + 48, d108.end()), std::string("A-B C\0X Y\0", 10));
  EXPECT_EQ(EncodeWaypoint(101, w)[62], 18);

  Waypoint full;
  full.SetId("LAUNCH");
  full.SetDescription("TAKE OFF 1");
  full.latitude = 553311111;
  full.longitude = 12345;
  full.altitude = 1234;
  full.type = 1;
  full.time = 700000000;
  for (const std::uint16_t type : std::initializer_list<std::uint16_t>{100, 101, 102, 103, 104, 107, 108, 109, 110, 150, 151, 152, 154, 155}) {
    SCOPED_TRACE(type);
    const Bytes data = EncodeWaypoint(type, full);
    Waypoint back;
    ASSERT_EQ(DecodeWaypoint(type, data, 42, back), WaypointDecode::Ok);
    EXPECT_EQ(back.Id(), "LAUNCH");
    EXPECT_EQ(back.Description(), "TAKE OFF 1");
    EXPECT_EQ(back.latitude, full.latitude);
    EXPECT_EQ(back.longitude, full.longitude);
    const bool hasAltitude = type >= 108;
    EXPECT_EQ(back.altitude, hasAltitude ? 1234 : 0);
    const bool hasSymbol = type == 102 || type == 104 || (type >= 108 && type <= 110) || type >= 154;
    EXPECT_EQ(back.type, hasSymbol ? 1 : 0);
    EXPECT_EQ(back.time, type == 110 ? 700000000u : 42u);
  }
  // D109/D110 type bytes, short packets, D108 altitude out of range.
  Bytes d109 = EncodeWaypoint(109, full);
  d109[3] = 0x60;
  Waypoint out;
  EXPECT_EQ(DecodeWaypoint(109, d109, 0, out), WaypointDecode::BadTypeByte);
  EXPECT_EQ(DecodeWaypoint(100, Bytes(57, ' '), 0, out), WaypointDecode::TooShort);
  Bytes far = EncodeWaypoint(108, full);
  WriteFloat(far, 32, 1.0e25f);
  ASSERT_EQ(DecodeWaypoint(108, far, 0, out), WaypointDecode::Ok);
  EXPECT_EQ(out.altitude, 0);
  WriteFloat(far, 32, -2.5f);
  DecodeWaypoint(108, far, 0, out);
  EXPECT_EQ(out.altitude, -3);
  // Received identifiers are upper-cased and lose trailing blanks.
  Bytes lower = EncodeWaypoint(100, full);
  std::memcpy(lower.data(), "ab    ", 6);
  DecodeWaypoint(100, lower, 0, out);
  EXPECT_EQ(out.Id(), "AB");
}

}  // namespace
}  // namespace logwell::garmin
