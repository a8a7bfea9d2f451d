#include "track/formats/gpx_track.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"
#include "test_flight.h"

namespace logwell {
namespace {

using testing::ScriptedUi;

const CalendarTime kNow{2024, 3, 0, 5, 9, 8, 7, 0};

std::string Gpx(std::string_view body) {
  return "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\">\n" + std::string(body) + "</gpx>\n";
}

std::string Point(std::string_view attributes, std::string_view children) {
  return "<trkpt " + std::string(attributes) + ">" + std::string(children) + "</trkpt>\n";
}

TEST(GpxTrack, WritesHeaderMetadataAndOneSegment) {
  auto flight = testing::MakeFlight(2);
  flight[0].milliseconds = 700;
  const std::string text = WriteGpxTrack(flight, kNow);
  EXPECT_TRUE(text.starts_with(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"\r\n"
      "     creator=\"Logwell 5.07\"\r\n"
      "     version=\"1.1\"\r\n"
      "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
      "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
      "http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n  <metadata>\r\n"));
  EXPECT_NE(text.find("    <time>2024-03-05T09:08:07Z</time>\r\n"), std::string::npos);
  EXPECT_NE(text.find("  </metadata>\r\n  <trk>\r\n    <name>Track 001</name>\r\n    <trkseg>\r\n"
                      "      <trkpt lat=\"46.500000\" lon=\"7.902000\">\r\n"
                      "        <ele>1500.0</ele>\r\n"
                      "        <time>2024-02-09T23:43:25Z</time>\r\n      </trkpt>\r\n"),
            std::string::npos);
  EXPECT_TRUE(text.ends_with("      </trkpt>\r\n    </trkseg>\r\n  </trk>\r\n</gpx>\r\n"));
}

TEST(GpxTrack, BoundsOfATrackRunningDueSouthAreItsExtent) {
  std::vector<TrackPoint> points(3);
  for (int i = 0; i < 3; ++i) {
    points[i].latitude = formats::DegreesToSemicircles(47.0 - i);
    points[i].longitude = formats::DegreesToSemicircles(-8.0);
  }
  EXPECT_NE(WriteGpxTrack(points, kNow)
                .find("<bounds minlat=\"45.000000\" minlon=\"-8.000000\" maxlat=\"47.000000\" "
                      "maxlon=\"-8.000000\"/>"),
            std::string::npos);
}

TEST(GpxTrack, RoundTripsAFlight) {
  const auto flight = testing::MakeFlight(500);
  ScriptedUi ui;
  const auto read = ReadGpxTrack(WriteGpxTrack(flight, kNow), ui);
  ASSERT_TRUE(read) << ui.Boxes().front().text;
  ASSERT_EQ(read->points.size(), flight.size());
  for (std::size_t i = 0; i < flight.size(); ++i) {
    EXPECT_NEAR(read->points[i].latitude, flight[i].latitude, testing::kMicroDegreeSemicircles);
    EXPECT_NEAR(read->points[i].longitude, flight[i].longitude, testing::kMicroDegreeSemicircles);
    EXPECT_EQ(read->points[i].gpsAltitude, flight[i].gpsAltitude);
    EXPECT_EQ(read->points[i].time, flight[i].time);
    EXPECT_EQ(read->points[i].segmentStart, i == 0 ? 1u : 0u);
  }
  EXPECT_TRUE(ui.Events().empty());
}

// Valid XML is read as written: a ">" inside a quoted attribute value or a processing
// instruction ends no tag, and references in values are decoded.
TEST(GpxTrack, ReadsQuotedMarkupAndReferences) {
  const std::string text =
      "<?xml version=\"1.0\"?>\n<?style href=\"a>b\"?>\n<gpx creator=\"a > b\"><trk><trkseg>" +
      Point("lat=\"&#52;6.5\" note='x>y' lon=\"7\"",
            "<ele>1&#48;0</ele><time>2020-05-01T10:00:00&#x5A;</time>") +
      "</trkseg></trk></gpx>\n";
  ScriptedUi ui;
  const auto read = ReadGpxTrack(text, ui);
  ASSERT_TRUE(read) << ui.Boxes().front().text;
  ASSERT_EQ(read->points.size(), 1u);
  EXPECT_NEAR(formats::SemicirclesToDegrees(read->points[0].latitude), 46.5, 1e-7);
  EXPECT_EQ(read->points[0].gpsAltitude, 1000);
}

TEST(GpxTrack, OffersEachSegmentAndTakesTheChosenOne) {
  const std::string seg1 = "<trkseg>" +
                           Point("lat=\"1\" lon=\"2\"", "<ele>10.29</ele><time>2020-05-01T10:00:00Z</time>") +
                           "</trkseg>";
  const std::string seg2 = "<trkseg>" + Point("lat='-3.5' lon='4'", "<time>2020-05-02T11:12:13Z</time>") +
                           Point("lat='-3.6' lon='4'", "<time>2020-05-02T11:12:14.5Z</time>") +
                           "</trkseg><trkseg></trkseg>";
  const std::string text = Gpx("<trk><name>a</name>" + seg1 + "</trk><trk>" + seg2 + "</trk>");
  ScriptedUi ui;
  ui.ScriptChoice(std::vector<int>{1});
  const auto read = ReadGpxTrack(text, ui);
  ASSERT_TRUE(read);
  ASSERT_EQ(ui.Choices().size(), 1u);
  EXPECT_EQ(ui.Choices()[0].title, "Select track");
  EXPECT_EQ(ui.Choices()[0].lines,
            (std::vector<std::string>{"2020-05-01   10:00:00", "2020-05-02   11:12:13"}));
  ASSERT_EQ(read->points.size(), 2u);
  EXPECT_EQ(read->points[1].milliseconds, 0);
  EXPECT_EQ(read->points[0].segmentStart, 1u);
  EXPECT_NEAR(formats::SemicirclesToDegrees(read->points[0].latitude), -3.5, 1e-7);

  ScriptedUi single;
  const auto one = ReadGpxTrack(Gpx("<trk>" + seg1 + "</trk>"), single);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->points[0].gpsAltitude, 102);  // metres x 10, truncated
  EXPECT_TRUE(single.Choices().empty());

  ScriptedUi cancel;
  cancel.ScriptChoice(std::nullopt);
  EXPECT_FALSE(ReadGpxTrack(text, cancel));
  for (const auto& event : cancel.Events()) EXPECT_NE(event.kind, testing::UiEventKind::Error);
}

TEST(GpxTrack, ReportsEveryContentFault) {
  const auto seg = [](const std::string& points) {
    return Gpx("<trk><trkseg>" + points + "</trkseg></trk>");
  };
  const std::string good = Point("lat=\"1\" lon=\"2\"", "<time>2020-05-01T10:00:00Z</time>");
  std::string many;
  for (int i = 0; i < 101; ++i) many += "<trkseg>" + good + "</trkseg>";
  struct Case {
    std::string text;
    std::string message;
  } cases[] = {
      {"", "No tags found"},
      {"<gpx></gpx>", "Missing opening tag '<?xml>'"},
      {"\xFF\xFE<?xml?><gpx/>", "Unknown BOM before opening tag '<?xml>'"},
      {Gpx(""), "No tracks found"},
      {seg("<trkpt><time>2020-05-01T10:00:00Z</time></trkpt>"), "Missing tag(s) for position 1"},
      {seg(good + Point("lat=\"1\" lon=\"2\"", "<ele>3</ele>")), "Missing tag(s) for position 2"},
      {seg(Point("lat=\"1\" lon=\"2\"", "<time> </time>")), "Missing data for position 1"},
      {seg(Point("lat=\"1\" lon=\"2\"", "<time>2020-13-01T10:00:00Z</time>")),
       "Bad time data for position 1"},
      {seg(Point("lat=\"1\" lon=\"2\"", "<ele>x</ele><time>2020-05-01T10:00:00Z</time>")),
       "Bad height data for position 1"},
      {seg(Point("lat=\"91\" lon=\"2\"", "<time>2020-05-01T10:00:00Z</time>")),
       "Missing/bad latitude data in position 1"},
      {seg(Point("lat=\"1\"", "<time>2020-05-01T10:00:00Z</time>")),
       "Missing/bad longitude data in position 1"},
      {Gpx("<trk>" + many + "</trk>"), "Too many track segments"},
      {"<?xml?><gpx>text<trk/></gpx>", "Data found before tag <trk>"},
      {"<?xml?><gpx><trk></gpx>", "Tag <trk> is terminated by <gpx>"},
      {"<?xml?></gpx>", "Terminating tag <gpx> encountered at root level"},
      {"<?xml?><gpx></gpx>tail", "Data found after last tag"},
      {"<?xml?><gpx>", "Nesting level not zero at end-of-file"},
      {"<?xml?><gpx><trk", "End-of-file encountered within a tag"},
      {"<?xml?><a><b><c><d><e><f><g><h><i><j><k><l><m><n><o><p><q><r><s><averyveryverylongtagname>",
       "Nesting limit exceeded at tag <averyveryverylongtag...>"},
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    EXPECT_FALSE(ReadGpxTrack(c.text, ui)) << c.message;
    ASSERT_EQ(ui.Boxes().size(), 1u) << c.message;
    EXPECT_EQ(ui.Boxes()[0].text, c.message);
    EXPECT_EQ(ui.Boxes()[0].caption, "Parsing track log file");
  }
}

}  // namespace
}  // namespace logwell
