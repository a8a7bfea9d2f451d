// KML tracks written by other programs.
#include "track/formats/kml_track.h"

#include <gtest/gtest.h>

#include <string>

#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell {
namespace {

std::string Kml(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
         "xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Document>" +
         body + "</Document></kml>";
}

GarminTime Utc(int hour, int minute, int second) {
  CalendarTime t;
  t.year = 2024;
  t.month = 6;
  t.day = 1;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return CalendarToGarminTime(t);
}

TEST(OtherKmlTracks, TimedTracksKeepTheirTimesAndSegments) {
  // Two gx:Tracks of one MultiTrack are one track of two segments; a position with an empty
  // <when/> has no time and is left out with a note.
  const std::string text = Kml(
      "<Placemark><name>Morning &amp; more</name><gx:MultiTrack>"
      "<gx:Track><when>2024-06-01T10:00:00Z</when><when/><when>2024-06-01T10:00:02.5Z</when>"
      "<gx:coord>8.5 46.25 1000.7</gx:coord><gx:coord>8.6 46.3 1001</gx:coord>"
      "<gx:coord>-8.7 -46.35</gx:coord></gx:Track>"
      "<gx:Track><when>2024-06-01T10:05:00Z</when><gx:coord>8.8 46.4 900</gx:coord></gx:Track>"
      "</gx:MultiTrack></Placemark>");
  std::string error;
  const auto read = ReadOtherKmlTracks(text, error);
  ASSERT_TRUE(read) << error;
  ASSERT_EQ(read->tracks.size(), 1u);
  const auto& points = read->tracks[0].points;
  EXPECT_EQ(read->tracks[0].name, "Morning & more");
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].time, Utc(10, 0, 0));
  EXPECT_EQ(points[0].gpsAltitude, 10007);
  EXPECT_EQ(points[0].latitude, DegreesToSemicircles(46.25));
  EXPECT_EQ(points[1].time, Utc(10, 0, 2));
  EXPECT_EQ(points[1].milliseconds, 500);
  EXPECT_LT(points[1].longitude, 0);
  EXPECT_EQ(points[1].gpsAltitude, 0);
  EXPECT_EQ(points[2].time, Utc(10, 5, 0));
  EXPECT_EQ(points[0].segmentStart, 1u);
  EXPECT_EQ(points[1].segmentStart, 0u);
  EXPECT_EQ(points[2].segmentStart, 1u);
  EXPECT_EQ(read->notes, std::vector<std::string>{
                             "Track \"Morning & more\": 1 positions without a time left out"});
}

TEST(OtherKmlTracks, LineStringsAreTimedByTheirTimeSpanOrNamedAsUntimed) {
  const std::string text = Kml(
      "<Placemark><name>Flight</name><TimeSpan><begin>2024-06-01T10:00:00Z</begin>"
      "<end>2024-06-01T10:00:03Z</end></TimeSpan><LineString><coordinates>\n"
      "8.0,46.0,500 <!-- a comment between positions -->\n8.1,46.1,510\n8.2,46.2 8.3,46.3,530\n"
      "</coordinates></LineString></Placemark>"
      "<Placemark><name>Plan</name><LineString><coordinates>8,46 9,47</coordinates></LineString>"
      "</Placemark>"
      "<Placemark><name>Spot</name><Point><coordinates>8,46</coordinates></Point></Placemark>");
  std::string error;
  const auto read = ReadOtherKmlTracks(text, error);
  ASSERT_TRUE(read) << error;
  ASSERT_EQ(read->tracks.size(), 1u);
  const auto& points = read->tracks[0].points;
  ASSERT_EQ(points.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(points[static_cast<std::size_t>(i)].time, Utc(10, 0, i));
  EXPECT_EQ(read->pointPlacemarks, 1u);
  EXPECT_EQ(read->notes,
            (std::vector<std::string>{
                "Track \"Flight\": 4 positions without times, timed evenly from its TimeSpan "
                "begin to its end",
                "Track \"Plan\" not read: its 2 positions have no times"}));
}

TEST(OtherKmlTracks, RefusesWhatItCannotRead) {
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "no element found at line 1"},
      {"<kml><Document>", "no element found at line 1"},
      {"<gpx/>", "No <kml> root element"},
      {Kml("<Placemark><gx:Track><when>2024-06-01T10:00:00Z</when><gx:coord>8 95 0</gx:coord>"
           "</gx:Track></Placemark>"),
       "Track 1: bad position \"8 95 0\""},
      {Kml("<Placemark><gx:Track><when>yesterday</when><gx:coord>8 45 0</gx:coord>"
           "</gx:Track></Placemark>"),
       "Track 1: bad time \"yesterday\""},
      {"<!DOCTYPE kml [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
       "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
       "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;\">"
       "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
       "<kml><Placemark><name>&h;</name></Placemark></kml>",
       ""},  // refused by the parser's amplification limit; the text varies by version
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    std::string error;
    EXPECT_FALSE(ReadOtherKmlTracks(c.text, error));
    if (!c.error.empty()) {
      EXPECT_EQ(error, c.error);
    }
    EXPECT_FALSE(error.empty());
  }
}

// Elements nested inside one another are read up to kMaxOtherKmlNesting levels, <kml> counted;
// a file nested deeper is refused at once, however deep it goes and whether or not it is closed.
TEST(OtherKmlTracks, RefusesNestingBeyondItsLimit) {
  const std::string track =
      "<Placemark><gx:Track><when>2024-06-01T10:00:00Z</when><gx:coord>8 45 500</gx:coord>"
      "</gx:Track></Placemark>";
  const auto nested = [&](std::size_t levels, bool closed) {
    // <kml> and <Document> are two levels, the placemark's deepest elements three more.
    std::string text = "<?xml version=\"1.0\"?>\n<kml xmlns:gx=\"http://www.google.com/kml/ext/2.2\">"
                       "<Document>";
    for (std::size_t i = 0; i < levels; ++i) text += "<Folder>";
    text += track;
    if (closed) {
      for (std::size_t i = 0; i < levels; ++i) text += "</Folder>";
      text += "</Document></kml>";
    }
    return text;
  };
  std::string error;
  const auto deepest = ReadOtherKmlTracks(nested(kMaxOtherKmlNesting - 5, true), error);
  ASSERT_TRUE(deepest) << error;
  EXPECT_EQ(deepest->tracks.size(), 1u);

  const std::string limit = "Nesting limit exceeded at tag <when> at line 2: elements are nested "
                            "more than 100 deep";
  EXPECT_FALSE(ReadOtherKmlTracks(nested(kMaxOtherKmlNesting - 4, true), error));
  EXPECT_EQ(error, limit);
  EXPECT_FALSE(ReadOtherKmlTracks(nested(kMaxOtherKmlNesting - 4, false), error));
  EXPECT_EQ(error, limit);

  // Millions of levels: refused where the limit is passed, without reading on.
  std::string deep = "<kml>";
  for (int i = 0; i < 2'000'000; ++i) deep += "<a>";
  EXPECT_FALSE(ReadOtherKmlTracks(deep, error));
  EXPECT_EQ(error, "Nesting limit exceeded at tag <a> at line 1: elements are nested more than "
                   "100 deep");
}

}  // namespace
}  // namespace logwell
