// The Flymaster codec on bytes: product answers, the binary track with its checks, the packet
// parser and the waypoint lines.
#include <gtest/gtest.h>

#include "access/nmea.h"
#include "base/text.h"
#include "devices/flymaster/flymaster_protocol.h"
#include "sim/flymaster/flymaster_model.h"

namespace logwell::flymaster {
namespace {

std::string WithChecksum(const std::string& body) {
  return "$" + body + FormatText("*%02X", static_cast<unsigned>(NmeaChecksum(body)));
}

TEST(FlymasterProduct, AnswersAndTheirChecks) {
  struct Case {
    std::string line;
    Generation generation;
    int expected;
  };
  const Case cases[] = {
      {WithChecksum("PFMSNP,GpsSD,,4711,1.03o,"), Generation::Current, 0},
      {WithChecksum("PFMSNP,GpsSD,,4711,1.03n,"), Generation::Current, -1},  // too old a firmware
      {"$PFMSNP,NavSD,,4711,1.21,", Generation::Current, 0},                 // no "*": unchecked
      {WithChecksum("PFMSNP,F1,,4711,1.21,"), Generation::Current, -1},       // not a current model
      {WithChecksum("PFMSNP,gpssd,,4711,1.21,"), Generation::Current, -1},    // exact match only
      {WithChecksum("PBRSNP,F1,,4711,1.21,"), Generation::Older, 0},          // any model
      {"$PFMSNP,GpsSD,,4711,1.21,*G0", Generation::Current, -1},
      {WithChecksum("PFMSNP,GpsSD,,4711,1.21,") + "x", Generation::Current, -2},
      {"$PFMSNP,GpsSD,,4711,1.21,*00", Generation::Current, -3},
      {WithChecksum("PFMSNP,GpsSD,4711"), Generation::Current, -4},
      {WithChecksum("PFMXXX,GpsSD,,4711,1.21,"), Generation::Current, -6},
  };
  for (const Case& c : cases) {
    ProductData product;
    EXPECT_EQ(ParseProductAnswer(c.line, c.generation, product), c.expected) << c.line;
  }
  ProductData product;
  ASSERT_EQ(ParseProductAnswer(WithChecksum("PFMSNP,GpsSD,,4711,1.21,").substr(0, 200), Generation::Current, product), 0);
  EXPECT_EQ(product.model, "GpsSD");
  EXPECT_EQ(product.serial, "4711");
  EXPECT_TRUE(product.binaryTracks);
}

TEST(FlymasterProduct, TrackRequestsOfBothGenerations) {
  CalendarTime t{2021, 7, 0, 4, 12, 3, 9};
  const GarminTime start = CalendarToGarminTime(t);
  EXPECT_EQ(OneTrackRequest(start, Generation::Current), "$PFMDNL,210704120309,2\n");
  const std::string older = OneTrackRequest(start, Generation::Older);
  EXPECT_EQ(older.substr(0, 21), "$PFMDNL,210704120309,");
  EXPECT_EQ(older.substr(21), FormatText("*%02x\r\n", static_cast<unsigned>(NmeaChecksum("PFMDNL,210704120309,"))));
}

// The examples of Flymaster's "Requesting flights from Flymaster F1" (Rev. 4), byte for byte.
TEST(FlymasterProduct, F1DocumentExamples) {
  // "2. Requesting device identification" and "3. Requesting flight list".
  EXPECT_EQ(kF1ProductRequest, "$PFMSNP,*3A\r\n");
  EXPECT_EQ(FlightListRequest(Generation::Older), "$PFMDNL,LST,*56\r\n");
  EXPECT_EQ(FlightListRequest(Generation::Current), "$PFMDNL,LST,*72\r\n");  // kept as the current units take it
  // "4. Requesting a flight": "$PFMDNL,070601141532,*1D" for flight 052 of the example list
  // (the checksum digits in lower case, as the instrument itself writes them in its list).
  EXPECT_EQ(OneTrackRequest(CalendarToGarminTime(CalendarTime{2007, 6, 0, 1, 14, 15, 32}), Generation::Older),
            "$PFMDNL,070601141532,*1d\r\n");
  // The example list lines carry the NMEA sum of the characters between "$" and "*".
  for (const std::string_view line : {"$PFMLST,062,052,01.06.07,14:15:32,00:32:58*33",
                                      "$PFMLST,062,053,01.06.07,12:29:45,00:02:46*37",
                                      "$PFMLST,062,054,01.06.07,11:53:15,00:33:00*3b",
                                      "$PFMLST,062,055,01.06.07,11:46:35,00:06:17*3c",
                                      "$PFMLST,062,056,01.06.07,11:41:51,00:04:29*35"}) {
    const std::size_t star = line.find('*');
    EXPECT_EQ(FormatText("%02x", static_cast<unsigned>(NmeaChecksum(line.substr(1, star - 1)))), line.substr(star + 1))
        << line;
  }
  // The identification answer "$PFMSNP,Flymaster F1,HW:n,FW:k.kk,jjjjj*cs": model, hardware,
  // firmware, serial number.
  ProductData product;
  ASSERT_EQ(ParseProductAnswer(WithChecksum("PFMSNP,Flymaster F1,HW:2,FW:1.16,01234"), Generation::Older, product), 0);
  EXPECT_EQ(product.model, "Flymaster F1");
  EXPECT_EQ(product.serial, "01234");
  EXPECT_EQ(product.software, "1.16");
  EXPECT_FALSE(product.binaryTracks);
}

TEST(FlymasterBinary, ConvertsKeyAndDeltaRecords) {
  // A key position, then a delta: longitude counted west-positive on the instrument.
  std::vector<std::uint8_t> data(4096, 0);
  std::size_t at = 12;
  data[at] = 5;  // flight information, skipped
  at += 5;
  const std::uint8_t delta0[8] = {8, 1, 1, 1, 1, 1, 0, 0};  // before any key: adds nothing
  std::copy(delta0, delta0 + 8, data.begin() + static_cast<long>(at));
  at += 8;
  // latitude 2820000 (47 N), longitude -480000 (8 E as west-positive -8), 500 m, 9500 hPa/10
  const std::uint8_t key[19] = {19, 0, 0xA0, 0x07, 0x2B, 0x00, 0x00, 0xAD, 0xF8, 0x80,
                                0xF4, 0x01, 0x1C, 0x25, 0x10, 0x00, 0x00, 0x00, 0};
  std::copy(key, key + 19, data.begin() + static_cast<long>(at));
  at += 19;
  const std::uint8_t flagged[8] = {8 | 0x20, 9, 9, 9, 9, 9, 0, 0};  // a flag set: skipped
  std::copy(flagged, flagged + 8, data.begin() + static_cast<long>(at));
  at += 8;
  const std::uint8_t delta[8] = {8, 0xFF, 2, 3, 0xFE, 1, 0, 0};
  std::copy(delta, delta + 8, data.begin() + static_cast<long>(at));
  const auto check = BinaryCheck(data);
  data.insert(data.end(), check.begin(), check.end());

  BinaryTrack track;
  ASSERT_FALSE(ParseBinaryTrack(data, 0, track).has_value());
  ASSERT_EQ(track.points.size(), 2u);
  const TrackPoint& first = track.points[0];
  EXPECT_EQ(first.latitude, RoundHalfAway(2820000 * kSemicirclesPerMilliminute));
  EXPECT_EQ(first.longitude, RoundHalfAway(480000 * kSemicirclesPerMilliminute));
  EXPECT_EQ(first.gpsAltitude, 5000);
  EXPECT_EQ(first.pressureAltitude, PressureAltitude(9500));
  EXPECT_EQ(first.time, 16u + kInstrumentEpochOffset);
  EXPECT_EQ(first.segmentStart, 1u);
  const TrackPoint& second = track.points[1];
  EXPECT_EQ(second.latitude, RoundHalfAway(2819999 * kSemicirclesPerMilliminute));
  EXPECT_EQ(second.longitude, RoundHalfAway(479998 * kSemicirclesPerMilliminute));
  EXPECT_EQ(second.gpsAltitude, 5030);
  EXPECT_EQ(second.pressureAltitude, PressureAltitude(9498));
  EXPECT_EQ(second.time, 17u + kInstrumentEpochOffset);
  EXPECT_EQ(second.segmentStart, 0u);
}

TEST(FlymasterBinary, RefusesBadLengthAndCheck) {
  std::vector<std::uint8_t> data = sim::FlymasterBinaryTrack({});
  BinaryTrack track;
  EXPECT_FALSE(ParseBinaryTrack(data, 0, track).has_value());
  EXPECT_TRUE(track.points.empty());
  auto truncated = data;
  truncated.pop_back();
  EXPECT_EQ(ParseBinaryTrack(truncated, 0, track), "E205 Bad length (4103)");
  EXPECT_EQ(ParseBinaryTrack(std::vector<std::uint8_t>(8), 0, track), "E205 Bad length (8)");
  data[100] ^= 1;
  EXPECT_EQ(ParseBinaryTrack(data, 0, track), "E205 Bad checksum");
}

TEST(FlymasterPackets, ParserAndTrack) {
  std::vector<TrackPoint> points(3);
  for (std::size_t i = 0; i < points.size(); ++i) {
    points[i].latitude = 560000000 + static_cast<std::int32_t>(i) * 199;
    points[i].longitude = 95000000;
    points[i].gpsAltitude = 12000;
    points[i].pressureAltitude = 1150;
    points[i].time = 700000000 + static_cast<GarminTime>(i);
  }
  PacketParser parser;
  PacketTrack track;
  bool ended = false;
  for (const auto& packet : sim::FlymasterPackets(points, 4711)) {
    for (const std::uint8_t byte : packet) {
      const auto event = parser.Feed(byte);
      ASSERT_NE(event, PacketParser::Event::BadCheck);
      if (event == PacketParser::Event::Packet) {
        ASSERT_FALSE(ApplyPacket(parser.Id(), parser.Data(), track).has_value());
      }
      ended |= event == PacketParser::Event::End;
    }
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ(track.serial, 4711u);
  ASSERT_EQ(track.points.size(), 3u);
  EXPECT_EQ(track.points[2].time, points[2].time);
  EXPECT_NEAR(track.points[2].latitude, points[2].latitude, 100);

  // A wrong check byte, a delta before any key, a key out of range.
  PacketParser bad;
  for (const int byte : {0xA2, 0xA2, 0x06, 0, 1, 1, 1, 1, 1}) bad.Feed(static_cast<std::uint8_t>(byte));
  EXPECT_EQ(bad.Feed(0x00), PacketParser::Event::BadCheck);
  PacketTrack empty;
  EXPECT_EQ(ApplyPacket(0xA2, std::vector<std::uint8_t>(6), empty), "E205 Missing key track position block");
  std::vector<std::uint8_t> key(17, 0);
  key[1] = 0xFF, key[2] = 0xFF, key[3] = 0x7F;
  EXPECT_EQ(ApplyPacket(0xA1, key, empty), "E205 Latitude outside valid range");
  EXPECT_EQ(ApplyPacket(0xA0, std::vector<std::uint8_t>(62), empty), "E205 Bad flight info block length");
}

TEST(FlymasterWaypoints, LinesAndTheirFormatErrors) {
  Waypoint w;
  ASSERT_EQ(ParseWaypointLine(WithChecksum("PFMWPL,46.5000,N,8.25,W,1203.6,Fiesch west,1"), 7, w), 0);
  EXPECT_EQ(w.Id(), "FIESCH");
  EXPECT_EQ(w.Description(), "Fiesch west");
  EXPECT_EQ(w.altitude, 1204);
  EXPECT_EQ(w.type, 1);
  EXPECT_LT(w.longitude, 0);
  const std::pair<std::string, int> cases[] = {
      {"$PFMWPL,46.5,N,8.25,E,1203,X", 4},
      {"$PFMWPL,46.5,N,8.25,E,1203,X*ZZ", 1},
      {WithChecksum("PFMWPL,46.5,N,8.25,E,1203,X") + "0", 2},
      {"$PFMWPL,46.5,N,8.25,E,1203,X*00", 3},
      {WithChecksum("PFMWPL,46.5,N,8.25,E,1203"), 5},
      {WithChecksum("PFMWPL,4x,N,8.25,E,1203,X"), 6},
      {WithChecksum("PFMWPL,46.5,E,8.25,E,1203,X"), 7},
      {WithChecksum("PFMWPL,46.5,N,,E,1203,X"), 8},
      {WithChecksum("PFMWPL,46.5,N,8.25,N,1203,X"), 9},
      {WithChecksum("PFMWPL,46.5,N,8.25,E,high,X"), 10},
      {WithChecksum("PFMWPL,46.5,N,8.25,E,1203,  "), 11},
  };
  for (const auto& [line, code] : cases) EXPECT_EQ(ParseWaypointLine(line, 0, w), code) << line;
}

TEST(FlymasterWaypoints, UploadSentenceAndAnswers) {
  Waypoint w;
  w.SetDescription("Fiesch-west top landing");
  w.latitude = RoundHalfAway(2820000 * kSemicirclesPerMilliminute);  // 47 N
  w.longitude = -RoundHalfAway(480500 * kSemicirclesPerMilliminute);  // 8 W, 0.5 minutes
  w.altitude = 1203;
  w.type = 1;
  EXPECT_EQ(WaypointUploadSentence(w),
            WithChecksum("PFMWPR,4700.000,N,00800.500,W,,Fiesch-west top ,1203,1") + "\r\n");
  const std::string sent = "Fiesch-west top ";
  EXPECT_EQ(EchoedName(sent), "FIESCH WEST TOP ");
  struct Case {
    std::string line;
    std::string software;
    int expected;
  };
  const Case cases[] = {
      {WithChecksum("PFMWPR,ACK,FIESCH WEST TOP "), "1.21", 0},
      {WithChecksum("PFMWPR,Fiesch-west top "), "1.14", 0},
      {WithChecksum("PFMWPR,ACK,Fiesch-west top "), "1.21", 7},
      {WithChecksum("PFMWPR,NAK,FIESCH WEST TOP "), "1.21", 6},
      {WithChecksum("PFMWPR,ACK"), "1.21", 5},
      {"$PFMWPR,ACK,FIESCH WEST TOP ", "1.21", 4},
      {"$PFMWPR,ACK,FIESCH WEST TOP *00", "1.21", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckWaypointAnswer(c.line, c.software, sent), c.expected) << c.line;
}

TEST(FlymasterPilotData, SentencesCutsAndRefusals) {
  PilotData pilot;
  pilot.pilotName = "Zoë Müller-Lüdenscheidt";  // cut at whole characters
  pilot.competitionNumber = "123456789";
  CutPilotData(pilot);
  EXPECT_EQ(pilot.pilotName, "Zoë Müller-L");  // 14 bytes
  EXPECT_EQ(pilot.competitionNumber, "1234567");
  EXPECT_EQ(PilotDataSentence(pilot), "$PFMPLT,Zoë Müller-L,1234567,,,*" +
                                          FormatText("%02x", NmeaChecksum("PFMPLT,Zoë Müller-L,1234567,,,")) + "\r\n");
  PilotData alarm;
  alarm.kind = PilotData::Kind::AltitudeAlarm;
  alarm.altitudeAlarm = 250;
  EXPECT_EQ(PilotDataSentence(alarm), "$PFMALT,250,*" + FormatText("%02x", NmeaChecksum("PFMALT,250,")) + "\r\n");

  struct Refusal {
    std::string name;
    std::optional<std::string> expected;
  };
  const Refusal refusals[] = {
      {"Anna", std::nullopt},
      {"An*na", "Pilot name contains '*'"},
      {"Anna,B", "Pilot name contains ','"},  // would shift the fields after it
      {"Anna\r\n$PFMOFF", "Pilot name contains '?'"},
  };
  for (const Refusal& r : refusals) {
    PilotData data;
    data.pilotName = r.name;
    EXPECT_EQ(PilotDataRefusal(data), r.expected) << r.name;
  }

  struct Alarm {
    const char* text;
    int metres;
    const char* refusal;
  };
  const Alarm alarms[] = {{"2500", 2500, ""},      {" 11000 ", 11000, ""},          {"", 0, "Missing input"},
                          {"11001", 0, "Altitude too high"}, {"99999999999", 0, "Altitude too high"},
                          {"-5", 0, "Bad input format"},    {"12m", 0, "Bad input format"}};
  for (const Alarm& a : alarms) {
    const auto input = ParseAltitudeAlarm(a.text);
    EXPECT_EQ(input.refusal, a.refusal) << a.text;
    if (input.refusal.empty()) {
      EXPECT_EQ(input.metres, a.metres) << a.text;
    }
  }
}

}  // namespace
}  // namespace logwell::flymaster
