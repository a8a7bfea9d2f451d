// The Digifly codec: the fixed requests, the product answer, counts, flight list entries, fixes
// and waypoints, good and broken, and the upload sentence read back.
#include "devices/digifly/digifly_protocol.h"

#include <gtest/gtest.h>

#include "access/nmea.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::digifly {
namespace {

std::vector<std::string_view> Fields(std::string& line) { return SplitNmeaSentence(line, 12); }

TEST(DigiflyCodec, RequestsCarryTheirChecksumsAndTheRateFollowsBitZero) {
  for (const std::string_view request : {kProductRequest, kFlightListRequest, kWaypointRequest}) {
    const std::string_view body = request.substr(1, request.find('*') - 1);
    EXPECT_TRUE(NmeaChecksumMatches(body, request.substr(request.find('*') + 1, 2))) << request;
  }
  EXPECT_EQ(FlightRequest(7), AppendNmeaChecksum("$PDGFRMM,7"));
  EXPECT_EQ(BaudRateFor(0), 38400);
  EXPECT_EQ(BaudRateFor(1), 115200);
  EXPECT_EQ(BaudRateFor(2), 38400);
  EXPECT_EQ(BaudRateFor(3), 115200);
}

TEST(DigiflyCodec, ProductAnswers) {
  struct Case {
    std::string line;
    std::string text;  // empty: refused
  };
  const Case cases[] = {
      {"$PDGFVID,DigiflyAir,A1234,502m", "DigiflyAir, SNA1234, SW502m"},
      {"$PDGFVID,LeonardoPro,0815,3.10", "LeonardoPro, SN0815, SW3.10"},
      {"$PDGFVID,Leonardo,0815,3.10", ""},  // a model nobody has described
      {"$PDGFVID,DigiflyAir,,502m", ""},
      {"$PDGFVID,DigiflyAir,A1234", ""},
      {"$PDGFVID,DigiflyAir,A1234,502m,extra", ""},
      {"$PDGFFLL,DigiflyAir,A1234,502m", ""},
  };
  for (const Case& c : cases) {
    std::string line = c.line;
    ProductData product;
    const auto refusal = ParseProductAnswer(Fields(line), product);
    if (c.text.empty()) {
      ASSERT_TRUE(refusal) << c.line;
      EXPECT_TRUE(refusal->starts_with("Unsupported record $PDGF")) << *refusal;
    } else {
      ASSERT_FALSE(refusal) << *refusal;
      EXPECT_EQ(ProductText(product), c.text);
    }
  }
}

TEST(DigiflyCodec, CountsAndFlightListEntries) {
  std::string count = "$PDGFFLL,12";
  EXPECT_EQ(ParseCount(Fields(count), kFlightListTag), 12);
  for (const char* bad : {"$PDGFFLL,-1", "$PDGFFLL,1x", "$PDGFFLL,", "$PDGFRMM,3", "$PDGFFLL,3,4"}) {
    std::string line = bad;
    EXPECT_FALSE(ParseCount(Fields(line), kFlightListTag)) << bad;
  }

  std::string entry = "$PDGFFLL,3,290224,225959,3600";
  int index = -1;
  TrackListEntry listed;
  ASSERT_FALSE(ParseFlightListEntry(Fields(entry), index, listed));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(listed.startTime, CalendarToGarminTime(CalendarTime{2024, 2, 0, 29, 22, 59, 59}));
  EXPECT_EQ(listed.durationSeconds, 3600u);
  const std::pair<const char*, const char*> broken[] = {
      {"$PDGFFLL,255,010124,120000,60", "Bad track index parameter"},
      {"$PDGFFLL,1,300223,120000,60", "Bad track date parameter"},  // no 30th of February
      {"$PDGFFLL,1,010124,246000,60", "Bad track date parameter"},
      {"$PDGFFLL,1,010124,120000,-5", "Bad track duration parameter"},
      {"$PDGFFLL,1,010124,120000", "Unsupported record $PDGFFLL,1,010124,120000"},
  };
  for (const auto& [line, message] : broken) {
    std::string text = line;
    const auto refusal = ParseFlightListEntry(Fields(text), index, listed);
    ASSERT_TRUE(refusal) << line;
    EXPECT_EQ(*refusal, message);
  }
}

TEST(DigiflyCodec, Fixes) {
  std::string line = "$PDGFRMM,235959,311224,-2005312,10177793,1234,1201";
  TrackPoint point;
  ASSERT_FALSE(ParseFix(Fields(line), point));
  EXPECT_EQ(point.time, CalendarToGarminTime(CalendarTime{2024, 12, 0, 31, 23, 59, 59}));
  EXPECT_EQ(point.latitude, DegreesToSemicircles(-2005312 / 60000.0));
  EXPECT_EQ(point.longitude, DegreesToSemicircles(10177793 / 60000.0));
  EXPECT_EQ(point.gpsAltitude, 12340);
  EXPECT_EQ(point.pressureAltitude, 1201);
  for (const char* bad : {
           "$PDGFRMM,235959,311224,5400001,0,0,0",    // beyond the pole
           "$PDGFRMM,235959,311224,0,10800001,0,0",   // beyond 180 degrees
           "$PDGFRMM,240000,311224,0,0,0,0",          // no such time
           "$PDGFRMM,120000,311324,0,0,0,0",          // no 13th month
           "$PDGFRMM,120000,311224,1.5,0,0,0",        // not thousandths of a minute
           "$PDGFRMM,120000,311224,0,0,99999,0",      // altitude out of reach
           "$PDGFRMM,120000,311224,0,0,0",            // a field short
           "$GPRMC,120000,311224,0,0,0,0",            // another sentence
       }) {
    std::string text = bad;
    const auto refusal = ParseFix(Fields(text), point);
    ASSERT_TRUE(refusal) << bad;
    EXPECT_TRUE(refusal->starts_with("Unsupported record ")) << *refusal;
  }
}

TEST(DigiflyCodec, WaypointsGoOutAndComeBack) {
  Waypoint waypoint;
  waypoint.SetId("TOP");
  waypoint.SetDescription("Fiesch, *top* $1 and more text");
  waypoint.latitude = DegreesToSemicircles(-33.9123);
  waypoint.longitude = DegreesToSemicircles(-179.99);
  waypoint.altitude = 2230;
  const auto sentence = WaypointSentence(waypoint, 3);
  ASSERT_TRUE(sentence);
  EXPECT_EQ(*sentence, AppendNmeaChecksum("$PDGFWMM,3,-2034738,-10799400,2230,Fiesch   top   1"));
  std::string back = sentence->substr(0, sentence->size() - 2);
  int set = -1;
  Waypoint read;
  ASSERT_FALSE(ParseWaypoint(Fields(back), set, read));
  EXPECT_EQ(set, 3);
  EXPECT_EQ(read.Description(), "Fiesch   top   1");
  EXPECT_EQ(read.Id(), "FIESCH");
  EXPECT_NEAR(read.latitude, waypoint.latitude, 100);
  EXPECT_NEAR(read.longitude, waypoint.longitude, 100);
  EXPECT_EQ(read.altitude, 2230);

  Waypoint unnamed;
  EXPECT_FALSE(WaypointSentence(unnamed, 1));
  unnamed.SetId("ID");
  EXPECT_TRUE(WaypointSentence(unnamed, 1));

  for (const char* bad : {"$PDGFWMM,4,0,0,0,NAME", "$PDGFWMM,1,0,0,0,", "$PDGFWMM,1,0,0,0,SEVENTEEN CHARS..",
                          "$PDGFWMM,1,0,0,x,NAME", "$PDGFWMM,1,0,0,0"}) {
    std::string text = bad;
    EXPECT_TRUE(ParseWaypoint(Fields(text), set, read)) << bad;
  }
}

}  // namespace
}  // namespace logwell::digifly
