// The MLR codec against MLR's document "MLR protocol (01/2001)": its commands and their sums,
// its example tracklog frames and points byte for byte, the identification layout; then the
// faults a tracklog can have, and the waypoint sentences (our own reading).
#include "devices/mlr/mlr_protocol.h"

#include <gtest/gtest.h>

#include <cmath>

#include "access/nmea.h"
#include "devices/mlr/mlr_document.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::mlr {
namespace {

using testing::kMlrDocumentEndFrame;
using testing::kMlrDocumentPointFrame;
using testing::kMlrDocumentStartFrame;

std::vector<std::string_view> Fields(std::string& line) { return SplitNmeaSentence(line, 20); }

TEST(MlrCodec, CommandsCarryTheDocumentsSums) {
  // "Tracklog output" and "Serial number request": every command as the document prints it.
  struct Case {
    std::string_view head;
    std::string_view command;
  };
  const Case cases[] = {
      {"$PMLR,24,02,0100,", "$PMLR,24,02,0100,0398\r\n"},
      {"$PMLR,24,02,0101,", "$PMLR,24,02,0101,0399\r\n"},
      {"$PMLR,06,00,", "$PMLR,06,00,02A9\r\n"},
      {"$PMLR,26,01,01,", "$PMLR,26,01,01,0339\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Command(c.head), c.command) << c.head;
  EXPECT_EQ(kStartTrackAt19200, Command("$PMLR,24,02,0100,"));
  EXPECT_EQ(kStartTrackAt38400, Command("$PMLR,24,02,0101,"));
  EXPECT_EQ(kStop, Command("$PMLR,06,00,"));
  EXPECT_EQ(kIdentityRequest, Command("$PMLR,26,01,01,"));
  // A 16-bit sum of bytes, not the NMEA exclusive-or.
  EXPECT_EQ(TransferRequest(2), "$PMLR,59,2,0283\r\n");
}

TEST(MlrCodec, DocumentFramesDecodeByteForByte) {
  TrackFrame frame;
  ASSERT_FALSE(DecodeFrame(kMlrDocumentStartFrame, frame));
  EXPECT_EQ(frame.kind, TrackFrame::Kind::Start);
  EXPECT_EQ(frame.number, 1);
  ASSERT_FALSE(DecodeFrame(kMlrDocumentEndFrame, frame));
  EXPECT_EQ(frame.kind, TrackFrame::Kind::End);
  EXPECT_EQ(frame.number, 3);
  // The sums the document prints: $0255, $0D60, $01C0.
  EXPECT_EQ(FrameSum(std::span(kMlrDocumentStartFrame).first(9)), 0x0255);
  EXPECT_EQ(FrameSum(std::span(kMlrDocumentPointFrame).first(42)), 0x0D60);
  EXPECT_EQ(FrameSum(std::span(kMlrDocumentEndFrame).first(7)), 0x01C0);

  ASSERT_FALSE(DecodeFrame(kMlrDocumentPointFrame, frame));
  EXPECT_EQ(frame.kind, TrackFrame::Kind::Points);
  EXPECT_EQ(frame.number, 2);
  ASSERT_EQ(frame.points.size(), 2u);
  // The document's values: the raw numbers it names, and the positions they stand for.
  struct Expected {
    std::int32_t latitude, longitude;
    double latitudeDegrees, longitudeDegrees;
    int second;
    std::int32_t decimetres;
  };
  const Expected expected[] = {
      {0x216C16C1, static_cast<std::int32_t>(0xFF49F49Fu), 47.0, -1.0, 0, 800},
      {0x216C1E86, static_cast<std::int32_t>(0xFF49EE69u), 47 + 0.010 / 60, -(1 + 0.008 / 60), 5, 805},
  };
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const TrackPoint& p = frame.points[i];
    EXPECT_EQ(p.time, CalendarToGarminTime(CalendarTime{2000, 6, 0, 21, 14, 0, expected[i].second}));
    EXPECT_EQ(p.latitude, expected[i].latitude);
    EXPECT_EQ(p.longitude, expected[i].longitude);
    // One unit of 2^32 per turn is 8.4e-8 degrees.
    EXPECT_NEAR(SemicirclesToDegrees(p.latitude), expected[i].latitudeDegrees, 1e-7);
    EXPECT_NEAR(SemicirclesToDegrees(p.longitude), expected[i].longitudeDegrees, 1e-7);
    EXPECT_EQ(p.gpsAltitude, expected[i].decimetres);
    EXPECT_EQ(p.segmentStart, 0u);
  }
  std::uint16_t number = 0;
  TrackPoint point;
  ASSERT_FALSE(DecodePoint(std::span(kMlrDocumentPointFrame).subspan(24, 18), number, point));
  EXPECT_EQ(number, 2);
}

std::vector<std::uint8_t> Joined(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// `frame` with its sum made good again after a change.
std::vector<std::uint8_t> Resummed(std::vector<std::uint8_t> frame) {
  const std::uint16_t sum = FrameSum(std::span(frame).first(frame.size() - 4));
  frame[frame.size() - 4] = static_cast<std::uint8_t>(sum >> 8);
  frame[frame.size() - 3] = static_cast<std::uint8_t>(sum & 0xFF);
  return frame;
}

TEST(MlrCodec, TracklogReaderTakesTheDocumentsTransferAndRefusesBrokenOnes) {
  auto withByte = [](std::vector<std::uint8_t> frame, std::size_t at, std::uint8_t value, bool resum) {
    frame[at] = value;
    return resum ? Resummed(frame) : frame;
  };
  auto renumbered = [&](const std::vector<std::uint8_t>& frame, std::uint8_t number) {
    return withByte(frame, 1, number, true);
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string fault;  // empty: the two points arrive
  };
  const Case cases[] = {
      {"the document's transfer",
       Joined({kMlrDocumentStartFrame, kMlrDocumentPointFrame, kMlrDocumentEndFrame}), ""},
      {"noise before the first frame, more after the last",
       Joined({{'x', 0x0D, 0x0A}, kMlrDocumentStartFrame, kMlrDocumentPointFrame, kMlrDocumentEndFrame,
               kMlrDocumentStartFrame}),
       ""},
      {"noise with a frame start before the first frame",
       Joined({{0x8B, 0x01, 'X', 0x8B}, kMlrDocumentStartFrame, kMlrDocumentPointFrame, kMlrDocumentEndFrame}), ""},
      {"noise between frames", Joined({kMlrDocumentStartFrame, {0x8B, 0x02, 'X'}}),
       "Unsupported record (tracklog frame 8B 02 58)"},
      {"a changed byte", Joined({kMlrDocumentStartFrame, withByte(kMlrDocumentPointFrame, 20, 0x22, false)}),
       "E205 Bad checksum"},
      {"a lost frame", Joined({kMlrDocumentStartFrame, renumbered(kMlrDocumentPointFrame, 3)}),
       "Transfer incomplete (frame 2 missing)"},
      {"points before DEBUT", kMlrDocumentPointFrame, "Unsupported record (tracklog frame 8B 02 54 01 00 02 00 01)"},
      {"28 points announced", Joined({kMlrDocumentStartFrame, withByte(kMlrDocumentPointFrame, 5, 28, false)}),
       "Unsupported record"},
      {"an unknown flag", Joined({kMlrDocumentStartFrame, withByte(kMlrDocumentPointFrame, 23, 0x02, true)}),
       "Unsupported record"},
      {"a second DEBUT", Joined({kMlrDocumentStartFrame, renumbered(kMlrDocumentStartFrame, 2)}),
       "Unsupported record"},
      {"no line end", Joined({kMlrDocumentStartFrame, withByte(kMlrDocumentPointFrame, 45, 0x00, false)}),
       "Unsupported record"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TracklogReader reader;
    TracklogReader::Status status = TracklogReader::Status::More;
    for (const std::uint8_t b : c.bytes) {
      status = reader.Feed(b);
      if (status != TracklogReader::Status::More) break;
    }
    if (c.fault.empty()) {
      ASSERT_EQ(status, TracklogReader::Status::Done) << reader.Fault();
      ASSERT_EQ(reader.Points().size(), 2u);
      EXPECT_EQ(reader.Points()[1].gpsAltitude, 805);
    } else {
      ASSERT_EQ(status, TracklogReader::Status::Fault);
      EXPECT_TRUE(reader.Fault().starts_with(c.fault)) << reader.Fault();
    }
  }
}

TEST(MlrCodec, PointsFlagsAndAltitudes) {
  std::vector<std::uint8_t> point(kMlrDocumentPointFrame.begin() + 6, kMlrDocumentPointFrame.begin() + 24);
  std::uint16_t number = 0;
  TrackPoint decoded;
  point[17] = 0x01;  // start of recording
  ASSERT_FALSE(DecodePoint(point, number, decoded));
  EXPECT_EQ(decoded.segmentStart, 1u);
  point[14] = 0xFF, point[15] = 0xFF, point[16] = 0x9C;  // -100 dm: below sea level
  ASSERT_FALSE(DecodePoint(point, number, decoded));
  EXPECT_EQ(decoded.gpsAltitude, -100);
  point[0] = 0, point[1] = 0;  // point numbers start at 1
  EXPECT_TRUE(DecodePoint(point, number, decoded));
}

TEST(MlrCodec, IdentificationAsTheDocumentLaysItOut) {
  // $PMLR,IDGPS,01,aaaaaa,bbbbbbbbb,cccccccccc,d.ddeeeeeeeff/ff/ff*gg
  struct Case {
    std::string body;
    std::string text;  // empty: refused
    std::string serial = "";
  };
  const Case cases[] = {
      {"$PMLR,IDGPS,01,SP24XC,JOHN     ,0001234567,3.98FRA    15/01/01", "MLR SP24XC SW3.98", "0001234567"},
      {"$PMLR,IDGPS,01,CPILOT,ANNA     ,A000000042,1.02ENG    01/02/03", "CPilot CPILOT SW1.02", "A000000042"},
      {"$PMLR,IDGPS,01,SP24XC,JOHN,0001234567,3.98", "MLR SP24XC SW3.98", "0001234567"},
      {"$PMLR,IDGPS,TRACKLOGGER,JANE DOE,2.10,1200,65000", ""},  // another family's answer
      {"$PMLR,IDGPS,01,SP24XC,JOHN     ,0001234567,398 FRA    15/01/01", ""},
      {"$PMLR,IDGPS,01,      ,JOHN     ,0001234567,3.98FRA    15/01/01", ""},
      {"$PMLR,IDGPS,02,SP24XC,JOHN     ,0001234567,3.98FRA    15/01/01", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    std::string line = AppendNmeaChecksum(c.body);
    line.resize(line.size() - 2);
    ProductData product;
    const auto refusal = ParseProductAnswer(Fields(line), product);
    if (c.text.empty()) {
      ASSERT_TRUE(refusal);
      EXPECT_TRUE(refusal->starts_with("Unsupported record $PMLR")) << *refusal;
    } else {
      ASSERT_FALSE(refusal) << *refusal;
      EXPECT_EQ(ProductText(product), c.text);
      EXPECT_EQ(product.serial, c.serial);
    }
  }
  std::string line = "$PMLR,IDGPS,01,SP24XC,JOHN     ,0001234567,3.98FRA    15/01/01";
  ProductData product;
  ASSERT_FALSE(ParseProductAnswer(Fields(line), product));
  EXPECT_EQ(product.name, "JOHN");
  EXPECT_EQ(product.options, "FRA");
  EXPECT_EQ(product.date, "15/01/01");
}

TEST(MlrCodec, WaypointSentencesBothWays) {
  Waypoint w;
  w.SetId("fiesch");
  w.SetDescription("Fiesch, west*top");
  w.latitude = DegreesToSemicircles(46.4097);
  w.longitude = DegreesToSemicircles(-8.1364);
  std::string sentence;
  ASSERT_EQ(WaypointSentence(w, sentence), 0);
  EXPECT_EQ(sentence, AppendNmeaChecksum("$GPWPL,4624.582,N,00808.184,W,FIESCH0Fiesch  west top"));
  std::string line = sentence.substr(0, sentence.size() - 2);
  Waypoint back;
  ASSERT_FALSE(ParseWaypoint(Fields(line), back));
  EXPECT_EQ(back.Id(), "FIESCH");
  EXPECT_EQ(back.Description(), "Fiesch  west top");
  EXPECT_NEAR(back.latitude, w.latitude, 100);
  EXPECT_NEAR(back.longitude, w.longitude, 100);
  // A plain NMEA waypoint: its identifier is its name.
  std::string plain = "$GPWPL,4917.16,N,12310.64,W,003";
  ASSERT_FALSE(ParseWaypoint(Fields(plain), back));
  EXPECT_EQ(back.Id(), "003");

  w.SetId("");
  EXPECT_EQ(WaypointSentence(w, sentence), -306);
  w.SetId("A;B");
  EXPECT_EQ(WaypointSentence(w, sentence), -305);
}

}  // namespace
}  // namespace logwell::mlr
