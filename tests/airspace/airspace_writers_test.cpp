#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "airspace/airspace_gpx_writer.h"
#include "airspace/airspace_points.h"
#include "airspace/airspace_webmap_writer.h"
#include "airspace/openair_reader.h"
#include "airspace/openair_writer.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

using ::testing::HasSubstr;

constexpr std::string_view kSample =
    "AC CTR\nAN Z\xFCrich <1>\nAL GND\nAH 3500ft\n"
    "V X=47:00:00 N 008:00:00 E\nDC 2\n"
    "AC R\nAN Arc's\nAL 1000ft\nAH FL95\n"
    "DP 46:59:59.6 S 008:00:00.4 W\n"
    "V X=47:00:00 S 008:00:00 W\nV D=-\nDB 47:05:00 S 008:00:00 W, 47:00:00 S 007:55:00 W\n"
    "V D=+\nDA 1.5, 10, 95.125\n";

AirspaceList Sample() {
  testing::ScriptedUi ui;
  AirspaceSettings settings;
  OpenAirParse parsed = ReadOpenAirText(kSample, ui, settings);
  EXPECT_FALSE(parsed.error) << *parsed.error;
  for (AirspaceRecord& record : parsed.records) record.selected = 1;
  return parsed.records;
}

TEST(OpenAirWriter, WritesArcsExactly) {
  EXPECT_EQ(MakeOpenAirText(Sample(), OpenAirArcs::Keep, 10),
            "AC CTR\r\nAN Z\xFCrich <1>\r\nAL GND\r\nAH 3500 ft\r\n"
            "V X=47:00:00 N  8:00:00 E\r\nDC 1.9998\r\n"
            "\r\n"
            "AC R\r\nAN Arc's\r\nAL 1000 ft\r\nAH FL95\r\n"
            "DP 47:00:00 S  8:00:00 W\r\n"
            "V X=47:00:00 S  8:00:00 W\r\nV D=-\r\nDB 47:05:00 S  8:00:00 W,  47:00:00 S  7:55:00 W\r\n"
            "V X=47:00:00 S  8:00:00 W\r\nV D=+\r\nDA 1.4999, 10.00, 95.12\r\n");
}

TEST(OpenAirWriter, OnlySelectedRecordsAndTheEditForm) {
  AirspaceList records = Sample();
  records[0].selected = 0;
  EXPECT_EQ(MakeOpenAirText(records, OpenAirArcs::Keep, 10).substr(0, 8), "AC R\r\nAN");
  const std::string edit = MakeOpenAirEditText(records[0]);
  EXPECT_EQ(edit.substr(0, edit.find("V X=")),
            "*Airspace category\r\nAC CTR\r\n*Airspace name\r\nAN Z\xFCrich <1>\r\n"
            "*Airspace floor (Remark)\r\nAL GND\r\n*Airspace ceiling\r\nAH 3500 ft\r\n"
            "*Use records V, DP, DA, DB or DC\r\n"
            "*Pos. formats: DD.dd... or DD:MM.mm... or DD:MM:SS\r\n");
}

TEST(OpenAirWriter, TextWrittenReadsBackToTheSameRecords) {
  testing::ScriptedUi ui;
  AirspaceSettings settings;
  const AirspaceList records = Sample();
  for (const OpenAirArcs arcs : {OpenAirArcs::Keep, OpenAirArcs::AsPoints}) {
    const std::string text = MakeOpenAirText(records, arcs, 10);
    OpenAirParse again = ReadOpenAirText(text, ui, settings);
    ASSERT_FALSE(again.error) << *again.error;
    ASSERT_EQ(again.records.size(), 2u);
    for (AirspaceRecord& record : again.records) record.selected = 1;
    EXPECT_EQ(MakeOpenAirText(again.records, arcs, 10), text);
    if (arcs == OpenAirArcs::Keep) {
      EXPECT_EQ(again.records[0].segments, records[0].segments);
      EXPECT_EQ(again.records[0].ceiling, records[0].ceiling);
    } else {
      EXPECT_EQ(again.records[0].segments.size(), 44u) << "a 3704 m ring at 10 m: 43 steps";
    }
  }
}

TEST(AirspaceGpxWriter, OneTrackPerAirspaceWithBounds) {
  const std::string gpx = MakeAirspaceGpx(Sample(), 10);
  EXPECT_THAT(gpx, HasSubstr("<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\""));
  EXPECT_THAT(gpx, HasSubstr("\r\n  <metadata>\r\n    <bounds maxlat=\"47.0"));
  EXPECT_THAT(gpx, HasSubstr("\" minlat=\"-47.0"));
  EXPECT_THAT(gpx, HasSubstr("\r\n  <trk>\r\n    <name>Z\xC3\xBCrich &lt;1&gt;</name>\r\n    <trkseg>\r\n"
                             "      <trkpt lat=\"47.000415\" lon=\"8.048714\">\r\n      </trkpt>\r\n"));
  EXPECT_THAT(gpx, HasSubstr("</trkpt>\r\n    </trkseg>\r\n  </trk>\r\n\r\n</gpx>\r\n"));
  std::size_t tracks = 0;
  for (std::size_t at = gpx.find("<trk>"); at != std::string::npos; at = gpx.find("<trk>", at + 1)) ++tracks;
  EXPECT_EQ(tracks, 2u);
}

TEST(AirspaceWebMap, PolylineEncoding) {
  // The published example of the encoded-polyline form.
  auto semicircles = [](double latitude, double longitude) {
    return ToSemicirclePoint({DegreesToRadians(latitude), DegreesToRadians(longitude)});
  };
  EXPECT_EQ(EncodePolyline({semicircles(38.5, -120.2), semicircles(40.7, -120.95),
                            semicircles(43.252, -126.453)}),
            "_p~iF~ps|U_ulLnnqC_mqNvxq`@");
}

TEST(AirspaceWebMap, LegendPolygonsAndText) {
  const std::string script = MakeAirspaceWebMap(Sample(), 10);
  EXPECT_EQ(script.substr(0, 80),
            "// Airspace A:   Fillcolor #00FF00, strokeColor #FF0000, fillOpacity: 0.10\r\n// A");
  EXPECT_THAT(script, HasSubstr("// Airspace CTR:   Fillcolor #00FF09, strokeColor #FF0009, fillOpacity: 0.19\r\n"));
  EXPECT_THAT(script, HasSubstr("// Airspace ?:   Fillcolor #00FF0C, strokeColor #FF000C, fillOpacity: 0.22\r\n\r\n"
                                "// Z\xC3\xBCrich &lt1> 3500 ft - GND\r\n// CLASS CTR\r\n"
                                "var polygon = new google.maps.Polygon({\r\n"
                                "path: google.maps.geometry.encoding.decodePath('"));
  EXPECT_THAT(script, HasSubstr("'),\r\nmap: map, strokeColor: \"#FF0009\", strokeOpacity: 0.5, strokeWeight: 1, "
                                "fillColor: \"#00FF09\", fillOpacity: 0.19});\r\n"
                                "polygon.bounds  = new google.maps.LatLngBounds(new google.maps.LatLng(46.96"));
  EXPECT_THAT(script, HasSubstr("polygon.altLow  = 0;\r\npolygon.altHigh = 3500;\r\n"
                                "attachPolygonInfoBox(polygon, infoBox, 'Z\xC3\xBCrich &lt1><br />Class CTR"
                                "<br />Upper:&nbsp; 3500 ft<br />Lower:&nbsp; GND');\r\n"
                                "polygon.airspaceClass=\"CTR\";\r\npolygons.push(polygon);\r\n\r\n"));
  EXPECT_THAT(script, HasSubstr("// Arcs FL95 - 1000 ft\r\n"));
  EXPECT_THAT(script, HasSubstr("polygon.altLow  = 1000;\r\npolygon.altHigh = 9500;\r\n"));
  EXPECT_THAT(script, HasSubstr("infoBox, 'Arcs<br />Class R"));
}

TEST(AirspaceWebMap, BackslashesInThePathAreEscaped) {
  // The sample's ring encodes with backslashes, which a script string must double.
  const AirspaceList records = Sample();
  std::vector<SemicirclePoint> points;
  for (const Waypoint& point : AirspaceToPoints(records[0], 0, 10, 0)) {
    points.push_back({point.latitude, point.longitude});
  }
  const std::string path = EncodePolyline(points);
  ASSERT_NE(path.find('\\'), std::string::npos);
  std::string escaped;
  for (const char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_THAT(MakeAirspaceWebMap(records, 10), HasSubstr("decodePath('" + escaped + "')"));
}

}  // namespace
}  // namespace logwell
