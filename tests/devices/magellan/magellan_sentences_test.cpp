// The Magellan sentence codec: framing and checksum, the handshake acknowledgement, the
// waypoint sentence both ways.
#include <gtest/gtest.h>

#include "access/nmea.h"
#include "geo/units.h"
#include "wire/magellan/magellan_sentences.h"

namespace logwell::magellan {
namespace {

TEST(MagellanSentences, ChecksumAndAcknowledgement) {
  const ReceivedSentence good = ReadSentence("$PMGNCMD,VERSION*28");
  EXPECT_TRUE(good.checksumOk);
  EXPECT_TRUE(good.Is("PMGNCMD"));
  EXPECT_FALSE(good.Is("PMGNCM"));
  EXPECT_EQ(good.computed, 0x28);
  // A damaged copy keeps the sum computed over what arrived: the acknowledgement tells the
  // sender it came wrong.
  for (const char* damaged : {"$PMGNCMD,VERSIOM*28", "$PMGNCMD,VERSION*2", "$PMGNCMD,VERSION",
                              "$PMGNCMD,VERSION*28x", "$PMGNCMD,VERSION*G8"}) {
    SCOPED_TRACE(damaged);
    const ReceivedSentence s = ReadSentence(damaged);
    EXPECT_FALSE(s.checksumOk);
    EXPECT_FALSE(AcknowledgedChecksum(s));
  }
  EXPECT_EQ(AcknowledgeSentence(good), AppendNmeaChecksum("$PMGNCSM,28"));
  // Damaged in the body or in the checksum: the acknowledgement matches neither sum.
  for (const char* damaged : {"$PMGNCMD,VERSIOM*28", "$PMGNCMD,VERSION*29", "$PMGNCMD,VERSION*D7"}) {
    SCOPED_TRACE(damaged);
    const std::string ack = AcknowledgeSentence(ReadSentence(damaged));
    EXPECT_EQ(ack.find("PMGNCSM,28"), std::string::npos);
    const ReceivedSentence read = ReadSentence(ack.substr(0, ack.size() - 2));
    EXPECT_NE(AcknowledgedChecksum(read), ReadSentence(damaged).received);
  }
  EXPECT_EQ(AcknowledgedChecksum(ReadSentence(AppendNmeaChecksum("$PMGNCSM,4a").substr(0, 14))), 0x4A);
  EXPECT_FALSE(AcknowledgedChecksum(ReadSentence(AppendNmeaChecksum("$PMGNCSM,4").substr(0, 13))));
  EXPECT_EQ(Sentence("PMGNCMD,END"), "$PMGNCMD,END*3D\r\n");
}

TEST(MagellanSentences, WaypointUploadFormat) {
  Waypoint w;
  w.latitude = DegreesToSemicircles(46.5);
  w.longitude = DegreesToSemicircles(-8.25);
  w.altitude = 1203;
  w.SetId("FIESCH");
  w.SetDescription("west, side*$");
  EXPECT_EQ(WaypointSentence(w),
            AppendNmeaChecksum("$PMGNWPL,4630.000,N,00815.000,W,1203,M,FIESCH,west  side  "));
  Waypoint south;
  south.latitude = DegreesToSemicircles(-33.9);
  south.longitude = DegreesToSemicircles(18.4);
  south.altitude = 10;
  south.SetId("CAPE");
  EXPECT_EQ(WaypointSentence(south), AppendNmeaChecksum("$PMGNWPL,3354.000,S,01824.000,E,0010,M,CAPE,"));
}

std::string Line(std::string_view body) {
  std::string line = AppendNmeaChecksum(body);
  return line.substr(0, line.size() - 2);
}

TEST(MagellanSentences, WaypointSentencesRead) {
  // A receiver's own sentence (GPSBabel's reference file), the upload format, and broken ones.
  const auto real = ParseWaypointSentence(ReadSentence(
      "$PMGNWPL,2805.200,N,08246.200,W,0000000,M,AL7394,872 6833 A TIDAL,a*43"));
  ASSERT_TRUE(real);
  EXPECT_EQ(real->Id(), "AL7394");
  EXPECT_EQ(real->Description(), "872 6833 A TIDAL");
  EXPECT_NEAR(SemicirclesToDegrees(real->latitude), 28 + 5.2 / 60, 1e-7);
  EXPECT_NEAR(SemicirclesToDegrees(real->longitude), -(82 + 46.2 / 60), 1e-7);
  const auto upload = ParseWaypointSentence(ReadSentence(Line("$PMGNWPL,4630.000,N,00815.000,E,0328,F,LZ,Landing")));
  ASSERT_TRUE(upload);
  EXPECT_EQ(upload->altitude, 100);  // 328 feet
  EXPECT_EQ(upload->Description(), "Landing");
  for (const char* broken : {"$PMGNWPL,4660.000,N,00815.000,E,0,M,LZ,x", "$PMGNWPL,9000.000,N,00815.000,E,0,M,LZ,x",
                             "$PMGNWPL,4630.000,X,00815.000,E,0,M,LZ,x", "$PMGNWPL,4630.000,N,18000.000,E,0,M,LZ,x",
                             "$PMGNWPL,4630.000,N,00815.000,E,0,K,LZ,x", "$PMGNWPL,4630.000,N,00815.000,E,0,M,,x",
                             "$PMGNWPL,4630.000,N,00815.000,E,0,M", "$PMGNWPL,-4630.0,N,00815.000,E,0,M,LZ,x",
                             "$PMGNTRK,4630.000,N,00815.000,E,0,M,LZ,x"}) {
    SCOPED_TRACE(broken);
    EXPECT_FALSE(ParseWaypointSentence(ReadSentence(Line(broken))));
  }
  const auto escaped = ParseWaypointSentence(ReadSentence(Line("$PMGNWPL,4630.000,N,00815.000,E,0,M,LZ,a\x1b" "2Cb,a")));
  ASSERT_TRUE(escaped);
  EXPECT_EQ(escaped->Description(), "a,b");
  for (const std::string& broken : {std::string("$PMGNWPL,4630.000,N,00815.000,E,0,M,\0LZ,x", 41),
                                   std::string("$PMGNWPL,4630.000,N,00815.000,E,0,M,L\tZ,x"),
                                   std::string("$PMGNWPL,4630.000,N,00815.000,E,0,M,LZ,x\x1b" "2")}) {
    EXPECT_FALSE(ParseWaypointSentence(ReadSentence(Line(broken))));
  }
  EXPECT_FALSE(ParseWaypointSentence(ReadSentence("$PMGNWPL,2805.200,N,08246.200,W,0000000,M,AL7394,872 6833 A TIDAL,a*44")));
}

}  // namespace
}  // namespace logwell::magellan
