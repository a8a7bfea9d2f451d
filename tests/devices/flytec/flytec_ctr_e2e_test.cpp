// CTRs both ways through the virtual instrument: an upload of every segment kind read back
// from the instrument, the acknowledgement answers, and broken lists that end the download.
#include <gtest/gtest.h>

#include <algorithm>

#include "access/nmea.h"
#include "devices/flytec/flytec_ctr.h"
#include "flytec_rig.h"

namespace logwell {
namespace {

using testing::UiEvent;
using testing::UiEventKind;

AirspaceSegment Corner(double latitude, double longitude) {
  AirspaceSegment corner;
  corner.position = {latitude, longitude};
  return corner;
}

AirspaceList UploadList() {
  AirspaceRecord polygon;
  polygon.SetName("POLYGON WITH A LONG NAME");
  polygon.floorText = "GND";
  polygon.warningDistance = 300;
  polygon.segments = {Corner(46.5, 8.0), Corner(46.6, 8.1),
                      Corner(46.5, 8.2)};
  AirspaceRecord circle;
  circle.SetName("CIRCLE");
  AirspaceSegment round;
  round.kind = SegmentKind::Circle;
  round.position = {47.0, 9.0};
  round.radius = 2500;
  circle.segments = {round};
  AirspaceRecord arcs;
  arcs.SetName("ARCS");
  arcs.floorText = "1500 m";
  AirspaceSegment byAngles;
  byAngles.kind = SegmentKind::ArcByAngles;
  byAngles.position = {47.0, 9.0};
  byAngles.radius = 5000;
  byAngles.startAngle = 0.0;
  byAngles.endAngle = 90.0;
  AirspaceSegment byPoints;
  byPoints.kind = SegmentKind::ArcByPoints;
  byPoints.position = {47.0, 9.0};
  byPoints.from = {47.0, 9.05};
  byPoints.to = {46.95, 9.0};
  byPoints.direction = '-';
  arcs.segments = {byAngles, byPoints, Corner(47.0, 9.0)};
  AirspaceRecord unselected;
  unselected.SetName("NOT SENT");
  unselected.segments = {Corner(1.0, 1.0)};
  AirspaceList list = {polygon, circle, arcs, unselected};
  for (std::size_t i = 0; i < 3; ++i) list[i].selected = 1;
  return list;
}

TEST(FlytecCtr, UploadedListComesBackFromTheInstrument) {
  testing::FlytecRig rig(sim::FlytecModelConfig{});
  AirspaceList upload = UploadList();
  ASSERT_EQ(rig.Run(AccessType::UploadCtr, CompleteDone, nullptr, &upload), 0);
  const auto sent = rig.model->CtrSentencesReceived();
  // Runs: 2 + 3 corners, 2 + 1 circle, 2 + 3 + 3 + 1 for two arcs and a corner.
  ASSERT_EQ(sent.size(), 5u + 3u + 9u);
  EXPECT_EQ(sent[0], "$PBRCTRW,005,000,POLYGON WITH A LO,0300");
  EXPECT_EQ(sent[5], "$PBRCTRW,003,000,CIRCLE           ,0200");
  EXPECT_EQ(sent[7], "$PBRCTRW,003,002,C,4700.000,N,00900.000,E,02500");
  EXPECT_EQ(sent[10], "$PBRCTRW,009,002,X,4700.000,N,00900.000,E");
  EXPECT_EQ(sent[13], "$PBRCTRW,009,005,X,4700.000,N,00900.000,E");
  EXPECT_EQ(sent[14], "$PBRCTRW,009,006,T,4700.000,N,00903.000,E,-");
  EXPECT_EQ(rig.ui.LastStatus(), "CTR transfer ok");
  EXPECT_TRUE(rig.ui.Boxes().empty());

  ASSERT_EQ(rig.Run(AccessType::ReadCtr, CompleteCtrRead), 0);
  ASSERT_EQ(rig.airspace.size(), 3u);
  EXPECT_EQ(rig.airspace[0].name, "POLYGON WITH A LO");
  EXPECT_EQ(rig.airspace[0].warningDistance, 300);
  EXPECT_EQ(rig.airspace[0].floorText, "GND");
  EXPECT_EQ(rig.airspace[0].segments.size(), 3u);
  EXPECT_EQ(rig.airspace[1].segments.at(0).radius, 2500u);
  const AirspaceList& back = rig.airspace;
  ASSERT_EQ(back[2].segments.size(), 3u);
  const AirspaceSegment& arc = back[2].segments[0];
  EXPECT_EQ(arc.kind, SegmentKind::ArcByPoints);
  // 5 km north and east of the centre: the bearings 0 and 90 degrees.
  EXPECT_NEAR(arc.from.latitude, 47.0 + 5000.0 / 111200.0, 2e-3);
  EXPECT_NEAR(arc.from.longitude, 9.0, 2e-3);
  EXPECT_NEAR(arc.to.latitude, 47.0, 2e-3);
  EXPECT_NEAR(arc.to.longitude, 9.0 + 5000.0 / (111300.0 * 0.682), 2e-3);
  EXPECT_EQ(back[2].segments[1].direction, '-');
  EXPECT_EQ(rig.ui.LastStatus(), "3 CTR(s) received");
}

TEST(FlytecCtr, EveryRefusalOfTheInstrumentEndsTheUpload) {
  const std::pair<char, const char*> answers[] = {{'2', "Plausibility error"},
                                                  {'3', "No further memory"},
                                                  {'4', "No more writing allowed"},
                                                  {'5', "NMEA syntax error"},
                                                  {'7', "Unknown ack. status"}};
  for (const auto& [status, text] : answers) {
    SCOPED_TRACE(text);
    sim::FlytecModelConfig config;
    config.ctrAck = status;
    testing::FlytecRig rig(std::move(config));
    AirspaceList upload = UploadList();
    EXPECT_EQ(rig.Run(AccessType::UploadCtr, CompleteDone, nullptr, &upload), -1);
    EXPECT_EQ(rig.ui.Boxes(),
              (std::vector<UiEvent>{{UiEventKind::Error, "CTR upload acknowledge status", text}}));
    EXPECT_EQ(rig.model->CtrSentencesReceived().size(), 5u);  // nothing after the first run
  }
}

TEST(FlytecCtr, BrokenListsEndTheDownloadAndKeepNothing) {
  const std::string good[] = {"$PBRCTR,003,000,GOOD,0200", "$PBRCTR,003,001,GND",
                              "$PBRCTR,003,002,C,4700.000,N,00900.000,E,01000"};
  struct Case {
    std::vector<std::string> list;
    std::string message;
  };
  const Case cases[] = {
      // A circle is the only segment of its CTR: a run of 3.
      {{"$PBRCTR,004,000,ROUND,0200", "$PBRCTR,004,001,GND", "$PBRCTR,004,002,P,4700.000,N,00900.000,E",
        "$PBRCTR,004,003,C,4700.000,N,00900.000,E,01000"},
       "E702 Format error 34"},
      // A header announcing a run of 2.
      {{"$PBRCTR,002,000,SHORT,0200", "$PBRCTR,002,001,GND"}, "E702 Format error 8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    sim::FlytecModelConfig config;
    config.ctrList.assign(std::begin(good), std::end(good));
    config.ctrList.insert(config.ctrList.end(), c.list.begin(), c.list.end());
    testing::FlytecRig rig(std::move(config));
    rig.airspace = {AirspaceRecord{}};  // the program's list before the download
    EXPECT_EQ(rig.Run(AccessType::ReadCtr, CompleteCtrRead), -1);
    // The module's message first; its words are the error words test's.
    const auto boxes = rig.ui.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Read CTR list");
    EXPECT_EQ(boxes[0].text.substr(0, boxes[0].text.find("\r\n")), c.message);
    EXPECT_EQ(rig.airspace.size(), 1u);  // untouched
  }
}

TEST(FlytecCtr, CorruptedSentenceGivesTheLineCode) {
  sim::FlytecModelConfig config;
  config.ctrList = {"$PBRCTR,003,000,GOOD,0200"};
  config.faultsFor["PBRCTR"] = {sim::Fault{sim::Fault::Kind::CorruptByte, {}, 5}};
  testing::FlytecRig rig(std::move(config));
  EXPECT_EQ(rig.Run(AccessType::ReadCtr, CompleteCtrRead), -1);
  ASSERT_EQ(rig.ui.Boxes().size(), 1u);
  EXPECT_EQ(rig.ui.Boxes()[0].text,
            "E703 Format error 5\r\nAn airspace line the instrument sent could not be read (fault 5). The line was "
            "garbled on the way or that entry in the instrument's memory is damaged: try again; if it happens again, "
            "check that entry on the instrument.");
}

}  // namespace
}  // namespace logwell
