// The LogIt / Tracklogger codec: the identity (LogIt data), the track points, the name write.
#include "devices/logit/logit_protocol.h"

#include <gtest/gtest.h>

#include "access/nmea.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::logit {
namespace {

std::vector<std::string_view> Fields(std::string& line) { return SplitNmeaSentence(line, 20); }

TEST(LogItCodec, IdentityIsTheLogItData) {
  std::string line = "$PMLR,IDGPS,TRACKLOGGER,JANE DOE,2.10,1200,65000";
  Identity identity;
  EXPECT_FALSE(ParseIdentity(Fields(line), identity));
  EXPECT_EQ(ProductText(identity), "TRACKLOGGER SW 2.10, owner JANE DOE");
  EXPECT_EQ(MemoryText(identity), "1200 of 65000 points used");
  const std::string sentence = AppendNmeaChecksum("$PMLR,IDGPS,TRACKLOGGER,,2.10,0,65000");
  const auto data = ReadLogItData(std::vector<std::uint8_t>(sentence.begin(), sentence.end()));
  ASSERT_TRUE(data);
  EXPECT_EQ(ProductText(*data), "TRACKLOGGER SW 2.10");
  EXPECT_FALSE(ReadLogItData(std::vector<std::uint8_t>{'$', 'P', '*'}));
  for (std::string refused : {"$PMLR,IDGPS,TRACKLOGGER,JANE DOE,2.10,1200", "$PMLR,IDGPS,,JANE,2.10,1,2",
                              "$PMLR,IDGPS,TRACKLOGGER,JANE,2.10,3,2", "$PMLR,IDGPS,TRACKLOGGER,JANE,2.10,x,2"}) {
    const auto refusal = ParseIdentity(Fields(refused), identity);
    ASSERT_TRUE(refusal);
    EXPECT_TRUE(refusal->starts_with("Unsupported record (identity): $PMLR IDGPS")) << *refusal;
  }
}

TEST(LogItCodec, TrackPoints) {
  std::string line = "$PMLR,TP,7,260523,101530,4624.5820,N,00808.1840,W,2230";
  int index = -1;
  TrackPoint point;
  ASSERT_FALSE(ParseTrackPoint(Fields(line), index, point));
  EXPECT_EQ(index, 7);
  EXPECT_EQ(point.time, CalendarToGarminTime(CalendarTime{2023, 5, 0, 26, 10, 15, 30, 0}));
  EXPECT_NEAR(SemicirclesToDegrees(point.latitude), 46.40970, 1e-6);
  EXPECT_NEAR(SemicirclesToDegrees(point.longitude), -8.13640, 1e-6);
  EXPECT_EQ(point.gpsAltitude, 22300);
  EXPECT_EQ(point.pressureAltitude, 0);
  for (std::string refused : {"$PMLR,TP,7,260523,101530,4624.5820,N,00808.1840,W", "$PMLR,TP,7,320523,101530,4624.5820,N,00808.1840,E,1",
                              "$PMLR,TP,7,260523,106030,4624.5820,N,00808.1840,E,1", "$PMLR,TP,7,260523,101530,9024.5820,N,00808.1840,E,1",
                              "$PMLR,TP,7,260523,101530,4624.5820,X,00808.1840,E,1", "$PMLR,TP,7,260523,101530,464.5820,N,00808.1840,E,1",
                              "$PMLR,TP,-1,260523,101530,4624.5820,N,00808.1840,E,1", "$PMLR,XX,7,260523,101530,4624.5820,N,00808.1840,E,1"}) {
    SCOPED_TRACE(refused);
    const auto refusal = ParseTrackPoint(Fields(refused), index, point);
    ASSERT_TRUE(refusal);
    EXPECT_TRUE(refusal->starts_with("Unsupported record (track point):"));
  }
  std::string count = "$PMLR,TRACK,42";
  EXPECT_EQ(ParseTrackCount(Fields(count)), 42);
  std::string notCount = "$PMLR,TRACK,-1";
  EXPECT_FALSE(ParseTrackCount(Fields(notCount)));
}

TEST(LogItCodec, NameWriteIsPaddedAndCleaned) {
  EXPECT_EQ(NameWriteSentence("Jane"), "$PMLR,IDGPS,01,Jane            *00\r\n");
  EXPECT_EQ(NameWriteSentence("A,B*C$D\r"), "$PMLR,IDGPS,01,A B C D         *00\r\n");
  EXPECT_EQ(NameWriteSentence("Maximilian Mustermann"), "$PMLR,IDGPS,01,Maximilian Muste*00\r\n");
  EXPECT_EQ(TrackRequest(0), "$PMLR,TRACK,0,*00\r\n");
}

}  // namespace
}  // namespace logwell::logit
