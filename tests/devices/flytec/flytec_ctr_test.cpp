// The CTR sentences: the list parser's state machine and its codes, the line and acknowledge
// assemblers, the upload sentences and arcs given by angles.
#include <gtest/gtest.h>

#include <cmath>

#include "access/nmea.h"
#include "devices/flytec/flytec_ctr.h"
#include "geo/distance.h"

namespace logwell {
namespace {

using flytec::CtrAckAssembler;
using flytec::CtrLineAssembler;
using flytec::CtrListParser;

// Feeds the bodies in turn; the code of the first that does not say "more", or 1.
int FeedBodies(CtrListParser& parser, std::initializer_list<std::string_view> bodies) {
  for (const std::string_view body : bodies) {
    const int code = parser.Feed(body);
    if (code != 1) return code;
  }
  return 1;
}

TEST(FlytecCtrParser, ReadsPolygonCircleAndArcRuns) {
  AirspaceList list;
  std::vector<std::string> status;
  CtrListParser parser(list, [&](std::string_view text) { status.emplace_back(text); });
  EXPECT_EQ(FeedBodies(parser, {"PBRCTR,004,000,FIELD            ,0200", "PBRCTR,004,001,1500 M",
                                "PBRCTR,004,002,P,4630.500,N,00801.250,E",
                                "PBRCTR,004,003,P,4631.000,S,00802.000,W",
                                "PBRCTR,003,000,ROUND,0050", "PBRCTR,003,001,",
                                "PBRCTR,003,002,C,4700.000,N,00900.000,E,01500",
                                "PBRCTR,005,000,ARC,0100", "PBRCTR,005,001,FL95",
                                "PBRCTR,005,002,X,4700.000,N,00900.000,E",
                                "PBRCTR,005,003,T,4701.000,N,00900.000,E,-",
                                "PBRCTR,005,004,Z,4700.000,N,00901.000,E,-", "PBRANS,1"}),
            0);
  EXPECT_EQ(parser.CtrCount(), 3);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "FIELD");
  EXPECT_EQ(list[0].warningDistance, 200);
  EXPECT_EQ(list[0].floorText, "1500 M");
  ASSERT_EQ(list[0].segments.size(), 2u);
  EXPECT_NEAR(list[0].segments[0].position.latitude, 46.0 + 30.5 / 60.0, 1e-9);
  EXPECT_NEAR(list[0].segments[0].position.longitude, 8.0 + 1.25 / 60.0, 1e-9);
  EXPECT_LT(list[0].segments[1].position.latitude, 0.0);
  EXPECT_LT(list[0].segments[1].position.longitude, 0.0);
  ASSERT_EQ(list[1].segments.size(), 1u);
  EXPECT_EQ(list[1].segments[0].kind, SegmentKind::Circle);
  EXPECT_EQ(list[1].segments[0].radius, 1500u);
  ASSERT_EQ(list[2].segments.size(), 1u);
  const AirspaceSegment& arc = list[2].segments[0];
  EXPECT_EQ(arc.kind, SegmentKind::ArcByPoints);
  EXPECT_EQ(arc.direction, '-');
  EXPECT_NEAR(arc.from.latitude, 47.0 + 1.0 / 60.0, 1e-9);
  EXPECT_NEAR(arc.to.longitude, 9.0 + 1.0 / 60.0, 1e-9);
  EXPECT_EQ(status, (std::vector<std::string>{"Receiving CTR list", "1 CTRs received", "2 CTRs received",
                                              "3 CTRs received"}));
}

TEST(FlytecCtrParser, EveryBrokenSentenceHasItsCode) {
  const std::string header = "PBRCTR,005,000,N,0200";
  const std::string remark = "PBRCTR,005,001,R";
  const std::string x = "PBRCTR,005,002,X,4700.000,N,00900.000,E";
  const std::string t = "PBRCTR,005,003,T,4700.000,N,00900.000,E,+";
  struct Case {
    std::vector<std::string> bodies;
    int code;
  };
  const auto seg = [&](std::string body) { return std::vector<std::string>{header, remark, std::move(body)}; };
  const Case cases[] = {
      {{"PBRANS,2"}, -2},
      {{"PBRXXX,003,000,N,0200"}, -3},
      {{header, "PBRANS,1"}, -3},
      {{"PBRCTR"}, -4},
      {{"PBRCTR,0x3,000,N,0200"}, -5},
      {{"PBRCTR,003"}, -6},
      {{"PBRCTR,003,a,N,0200"}, -7},
      {{"PBRCTR,002,000,N,0200"}, -8},  // a run of 2 cannot hold a segment
      {{"PBRCTR,003,001,N,0200"}, -9},
      {{"PBRCTR,003,000,N"}, -10},
      {{"PBRCTR,003,000,N,2km"}, -11},
      {{header, "PBRCTR,005,002,R"}, -13},
      {seg("PBRCTR,005,003,P,4700.000,N,00900.000,E"), -14},
      {seg("PBRCTR,005,002"), -15},
      {seg("PBRCTR,005,002,Q,4700.000,N,00900.000,E"), -16},
      {seg("PBRCTR,005,002,P"), -17},
      {seg("PBRCTR,005,002,P,9000.000,N,00900.000,E"), -18},
      {seg("PBRCTR,005,002,P,4700,N,00900.000,E"), -19},
      {seg("PBRCTR,005,002,P,4700.0a0,N,00900.000,E"), -20},
      {seg("PBRCTR,005,002,P,4700.000"), -21},
      {seg("PBRCTR,005,002,P,4700.000,E,00900.000,E"), -22},
      {seg("PBRCTR,005,002,P,4700.000,N"), -23},
      {seg("PBRCTR,005,002,P,4700.000,N,18000.000,E"), -24},
      {seg("PBRCTR,005,002,P,4700.000,N,00900,E"), -25},
      {seg("PBRCTR,005,002,P,4700.000,N,00900.00x,E"), -26},
      {{"PBRCTR,003,000,N,0200", "PBRCTR,003,001,R", "PBRCTR,003,002,C,4700.000,N,00900.000,E"}, -27},
      {{"PBRCTR,003,000,N,0200", "PBRCTR,003,001,R", "PBRCTR,003,002,C,4700.000,N,00900.000,E,1km"}, -28},
      {{header, remark, x, "PBRCTR,005,003,T,4700.000,N,00900.000,E"}, -29},
      {{header, remark, x, "PBRCTR,005,003,T,4700.000,N,00900.000,E,*"}, -30},
      {seg("PBRCTR,005,002,P,4700.000,N,00900.000,N"), -31},
      {seg("PBRCTR,005,002,C,4700.000,N,00900.000,E,01000"), -34},  // a circle in a longer run
      {{"PBRCTR,004,000,N,0200", "PBRCTR,004,001,R", "PBRCTR,004,002,P,4700.000,N,00900.000,E",
        "PBRCTR,004,003,C,4700.000,N,00900.000,E,01000"}, -34},
      {{"PBRCTR,003,000,N,0200", "PBRCTR,003,001,R", "PBRCTR,003,002,X,4700.000,N,00900.000,E"}, -37},
      {seg("PBRCTR,005,002,T,4700.000,N,00900.000,E,+"), -38},
      {{"PBRCTR,004,000,N,0200", "PBRCTR,004,001,R", "PBRCTR,004,002,X,4700.000,N,00900.000,E",
        "PBRCTR,004,003,T,4700.000,N,00900.000,E,+"}, -39},
      {{header, remark, x, "PBRCTR,005,003,P,4700.000,N,00900.000,E"}, -40},
      {{header, remark, x, t, "PBRCTR,005,004,T,4700.000,N,00900.000,E,+"}, -41},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bodies.back());
    AirspaceList list;
    CtrListParser parser(list, nullptr);
    int code = 1;
    for (const std::string& body : c.bodies) {
      code = parser.Feed(body);
      if (code != 1) break;
    }
    EXPECT_EQ(code, c.code);
  }
}

int FeedLine(CtrLineAssembler& assembler, std::string_view bytes) {
  int code = 1;
  for (const char c : bytes) {
    code = assembler.Feed(static_cast<std::uint8_t>(c));
    if (code != 1) return code;
  }
  return code;
}

TEST(FlytecCtrLineAssembler, ChecksumAndLineEnds) {
  CtrLineAssembler assembler;
  EXPECT_EQ(FeedLine(assembler, "noise" + AppendNmeaChecksum("$PBRCTR,003,001,R")), 0);
  EXPECT_EQ(assembler.Body(), "PBRCTR,003,001,R");
  EXPECT_EQ(FeedLine(assembler, "$PBRCTR*g0"), -2);
  EXPECT_EQ(FeedLine(assembler, "$PBRCTR*1g"), -3);
  EXPECT_EQ(FeedLine(assembler, "$PBRCTR*11\n"), -4);
  EXPECT_EQ(FeedLine(assembler, "$PBRCTR*11\r\n"), -5);
  EXPECT_EQ(FeedLine(assembler, "$PBRCTR*11\r\r"), -6);
  EXPECT_EQ(FeedLine(assembler, "$" + std::string(83, 'A')), -1);
}

TEST(FlytecCtrAck, StatusAndCodes) {
  const auto feed = [](std::string_view bytes, char* status = nullptr) {
    CtrAckAssembler assembler;
    int code = 1;
    for (const char c : bytes) {
      code = assembler.Feed(static_cast<std::uint8_t>(c));
      if (code != 1) break;
    }
    if (status != nullptr) *status = assembler.Status();
    return code;
  };
  char status = 0;
  EXPECT_EQ(feed(AppendNmeaChecksum("$PBRANS,4"), &status), 0);
  EXPECT_EQ(status, '4');
  EXPECT_EQ(feed("$PBRANX,1*00\r\n"), -1);
  EXPECT_EQ(feed("$PBRANS,12*00\r\n"), -1);
  EXPECT_EQ(feed("$PBRANS,1*x"), -2);
  EXPECT_EQ(feed("$PBRANS,1*00\r\n"), -5);
}

TEST(FlytecCtrSentences, ShapesOfTheUpload) {
  const auto body = [](const std::string& sentence) {
    EXPECT_EQ(sentence, AppendNmeaChecksum(sentence.substr(0, sentence.find('*'))));
    return sentence.substr(0, sentence.find('*'));
  };
  EXPECT_EQ(body(flytec::CtrHeaderSentence(3, 0, "A NAME LONGER THAN SEVENTEEN", 200)),
            "$PBRCTRW,003,000,A NAME LONGER THA,0200");
  EXPECT_EQ(body(flytec::CtrHeaderSentence(3, 0, "A,B*C", 123456)), "$PBRCTRW,003,000,A B C            ,9999");
  EXPECT_EQ(body(flytec::CtrRemarkSentence(3, 1, "GND")), "$PBRCTRW,003,001,GND              ");
  EXPECT_EQ(body(flytec::CtrPointSentence(9, 2, 'P', {-(46.0 + 30.5 / 60.0), -(8.0 + 1.25 / 60.0)})),
            "$PBRCTRW,009,002,P,4630.500,S,00801.250,W");
  EXPECT_EQ(body(flytec::CtrCircleSentence(3, 2, {47.0, 9.0}, 1500)),
            "$PBRCTRW,003,002,C,4700.000,N,00900.000,E,01500");
  EXPECT_EQ(body(flytec::CtrArcEndSentence(5, 3, 'T', {47.0 + 0.0005 / 60.0, 9.0}, '-')),
            "$PBRCTRW,005,003,T,4700.001,N,00900.000,E,-");  // half a thousandth rounds away
}

TEST(FlytecCtrSentences, ArcEndsLieOnTheCircleAtTheirBearings) {
  const DegreePosition centre{47.0, 9.0};
  for (const double bearing : {0.0, 90.0, 180.0, 269.0, 271.0, 359.0}) {
    SCOPED_TRACE(bearing);
    const DegreePosition end = flytec::ArcEndPoint(centre, 5000, bearing);
    constexpr double k = 3.14159265358979323846 / 180.0;
    const GeoPoint a{centre.latitude * k, centre.longitude * k};
    const GeoPoint b{end.latitude * k, end.longitude * k};
    EXPECT_NEAR(EllipsoidDistance(a, b).value_or(0.0), 5000.0, 15.0);  // within the scale of the UTM plane
    const double north = end.latitude - centre.latitude;
    const double east = (end.longitude - centre.longitude) * std::cos(centre.latitude * k);
    double measured = std::atan2(east, north) / k;
    if (measured < 0) measured += 360.0;
    EXPECT_NEAR(measured, bearing, 1.0);
  }
}

}  // namespace
}  // namespace logwell
