#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_files.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEventKind;

constexpr GarminTime kNow = 1000000000;

double Degrees(std::int32_t semicircles) { return SemicirclesToDegrees(semicircles); }

struct Read {
  int result = 0;
  std::vector<Waypoint> waypoints;
};

Read Decode(std::string_view text, ScriptedUi& ui, bool interactive = true) {
  WaypointReadContext context{ui, interactive, kNow};
  Read read;
  read.result = DecodeWaypointFile(text, context, read.waypoints);
  return read;
}

void ExpectError(const ScriptedUi& ui, std::string_view text, std::string_view caption) {
  ASSERT_FALSE(ui.Boxes().empty());
  EXPECT_EQ(ui.Boxes().back().text, text);
  EXPECT_EQ(ui.Boxes().back().caption, caption);
}

// Each line after `before` fails the whole read with `message` (the line's number) in a box.
void ExpectBadLines(std::string_view before, std::initializer_list<const char*> lines,
                    std::string_view message, std::string_view caption) {
  for (const char* line : lines) {
    ScriptedUi ui;
    EXPECT_EQ(Decode(std::string(before) + line, ui).result, -1) << line;
    ExpectError(ui, message, caption);
  }
}

// Answers for the "Modify waypoint ID" question.
constexpr int kYes = 0, kYesToAll = 1, kSkip = 2;

TEST(GeoReader, AirfieldMarkCoordinatesAndAltitude) {
  ScriptedUi ui;
  const Read read = Decode(
      "$FormatGEO\r\n"
      "HOME      N 46 30 30.00    E 007 15 15.00  1200  Home field [A]\r\n"
      "TOP S 12 30.5 W 45.25 -10 Summit\r\n",
      ui);
  ASSERT_EQ(read.result, 2);
  const Waypoint& home = read.waypoints[0];
  EXPECT_EQ(home.Id(), "HOME");
  EXPECT_EQ(home.Description(), "Home field");
  EXPECT_EQ(home.type, 1);
  EXPECT_EQ(home.altitude, 1200);
  EXPECT_EQ(home.time, kNow);
  EXPECT_NEAR(Degrees(home.latitude), 46 + 30 / 60.0 + 30 / 3600.0, 1e-7);
  EXPECT_NEAR(Degrees(home.longitude), 7 + 15 / 60.0 + 15 / 3600.0, 1e-7);
  const Waypoint& top = read.waypoints[1];
  EXPECT_NEAR(Degrees(top.latitude), -(12 + 30.5 / 60.0), 1e-7);
  EXPECT_NEAR(Degrees(top.longitude), -45.25, 1e-7);
  EXPECT_EQ(top.altitude, 0);
  EXPECT_EQ(top.type, 0);
}

TEST(GeoReader, BadLinesAreReportedWithTheirNumber) {
  ExpectBadLines("$FormatGEO\r\n\r\nOK N 1 0 0.0 E 1 0 0.0 1 a\n",
                 {
                     "X N 90 00 00.00 E 007 00 00.00 1 d",  // latitude degrees must stay below 90
                     "X N 46 60 00.00 E 007 00 00.00 1 d",  // minutes below 60
                     "X N 46 30 E 007 00 00.00 1 d",        // minutes without fraction or seconds
                     "X Q 46 30 00.00 E 007 00 00.00 1 d",  // hemisphere letter
                     "X N 46 30 00.00 E 007 00 00.00 abc d",
                     "X N 46 30 00.00 E 007 00 00.00",      // no space after the longitude
                 },
                 "Bad line 3", "Decoding waypoint file");
}

TEST(GeoReader, InteractiveIdentifierFix) {
  const std::string file =
      "$FormatGEO\r\n"
      "abc N 1 0 0.0 E 1 0 0.0 1 one\r\n"
      "toolongid N 1 0 0.0 E 1 0 0.0 1 two\r\n"
      "x.y N 1 0 0.0 E 1 0 0.0 1 three\r\n";
  {
    ScriptedUi ui;  // Yes, then No (skip), then Yes
    ui.ScriptChoice(std::vector<int>{kYes});
    ui.ScriptChoice(std::vector<int>{kSkip});
    ui.ScriptChoice(std::vector<int>{kYes});
    const Read read = Decode(file, ui);
    ASSERT_EQ(read.result, 2);
    EXPECT_EQ(read.waypoints[0].Id(), "ABC");
    EXPECT_EQ(read.waypoints[1].Id(), "X-Y");
    const auto choices = ui.Choices();
    ASSERT_EQ(choices.size(), 3u);
    EXPECT_EQ(choices[0].title, "Modify waypoint ID");
    EXPECT_EQ(choices[0].prompt, "abc N 1 0 0.0 E 1 0 0.0 1 one");
    EXPECT_EQ(choices[0].footnote, "Modify (-> uppercase or truncate) this ID ?");
    EXPECT_EQ(choices[0].lines, (std::vector<std::string>{"&Yes", "Yes to &All", "&No (skip)"}));
  }
  {
    ScriptedUi ui;  // Yes to All fixes the rest silently; too long identifiers are cut
    ui.ScriptChoice(std::vector<int>{kYesToAll});
    const Read read = Decode(file, ui);
    ASSERT_EQ(read.result, 3);
    EXPECT_EQ(read.waypoints[1].Id(), "TOOLON");
    EXPECT_EQ(ui.Choices().size(), 1u);
  }
  {
    ScriptedUi ui;  // Cancel: the line is bad and nothing is read
    ui.ScriptChoice(std::nullopt);
    EXPECT_EQ(Decode(file, ui).result, -1);
    ExpectError(ui, "Bad line 2", "Decoding waypoint file");
  }
  {
    ScriptedUi ui;  // not interactive: no question, a bad line
    EXPECT_EQ(Decode(file, ui, false).result, -1);
    EXPECT_TRUE(ui.Choices().empty());
    ExpectError(ui, "Bad line 2", "Decoding waypoint file");
  }
}

TEST(UtmReader, ZonesBandsAndRanges) {
  ScriptedUi ui;
  const Read read = Decode(
      "$FormatUTM\r\n"
      "HOME     32T   0386395   5151515   1200  Home [a]\r\n"
      "SOUTH 19 h 405124,5 6386692 -5 Aconcagua\r\n",
      ui);
  ASSERT_EQ(read.result, 2) << (ui.Boxes().empty() ? "" : ui.Boxes().back().text);
  EXPECT_EQ(read.waypoints[0].type, 1);
  EXPECT_EQ(read.waypoints[0].Description(), "Home");
  EXPECT_NEAR(Degrees(read.waypoints[0].latitude), 46.5, 0.05);
  EXPECT_NEAR(Degrees(read.waypoints[0].longitude), 7.5, 0.05);
  EXPECT_LT(read.waypoints[1].latitude, 0);
  EXPECT_EQ(read.waypoints[1].altitude, 0);
  ExpectBadLines("$FormatUTM\n",
                 {"X 0T 1 1 1", "X 61T 1 1 1", "X 32I 1 1 1", "X 32TT 1 1 1", "X 32T 1000001 1 1",
                  "X 32T 1 20000001 1", "X 32T 1 1 1.5"},
                 "Bad line 2", "Decoding waypoint file");
}

TEST(OziReader, AltitudeDatesAndMissingFields) {
  ScriptedUi ui;
  const Read read = Decode(
      "OziExplorer Waypoint File Version 1.1\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n"
      "1,A1,46.5,7.25,0,0,1,3,0,65535,First.one,0,0,0,-777\r\n"
      "2,A2,-46.5,-7.25,32000.5,0,1,3,0,65535,Second,0,0,0,1000\r\n"
      "3,A3,1,2,32874.25,0,1,3,0,65535\r\n"
      "4,A4,1,2,,0,1,3,0,65535,Fourth,0,0,0,-20\r\n",
      ui);
  ASSERT_EQ(read.result, 4);
  EXPECT_EQ(read.waypoints[0].altitude, 0);
  EXPECT_EQ(read.waypoints[0].time, kNow);
  EXPECT_EQ(read.waypoints[0].Description(), "First-one");
  EXPECT_NEAR(Degrees(read.waypoints[0].latitude), 46.5, 1e-7);
  EXPECT_EQ(read.waypoints[1].time, 0u);  // before 1989-12-31
  EXPECT_EQ(read.waypoints[1].altitude, 305);
  EXPECT_EQ(read.waypoints[2].time, 86400u + 21600u);
  EXPECT_EQ(read.waypoints[2].Description(), "");
  EXPECT_EQ(read.waypoints[3].time, kNow);
  EXPECT_EQ(read.waypoints[3].altitude, 0);
  ExpectBadLines("OziExplorer Waypoint File\n2\n3\n4\n",
                 {"1,A1,90,7,0,0,1,3,0", "1,A1,46,180,0,0,1,3,0,1", "1,A1,46,7,0,x,1,3,0,1",
                  "1,A1,46,7,abc,0,1,3,0,1"},
                 "Bad line 5", "Decoding waypoint file");
}

TEST(SeeYouReader, ElevationStyleAndTaskSection) {
  ScriptedUi ui;
  const Read read = Decode(
      "name,code,country,lat,lon,elev,style,rwdir,rwlen,freq,desc\r\n"
      "* a comment\r\n"
      "\"Meiers, berg\",\"meier\",DE,5117.983N,00657.383E,1234ft,5,130,800m,130.125,\"x\"\r\n"
      "\"Sydney\",SYD NEY,AU,3356.767S,15110.633W,6.5m,1\r\n"
      "\"Alt\",ALT,,0000.000N,00000.000E,99t,\r\n"
      "-----Related Tasks-----\r\n"
      "\"3 turnpoints\",\"Meiersberg\"\r\n",
      ui);
  ASSERT_EQ(read.result, 3);
  EXPECT_EQ(read.waypoints[0].Description(), "Meiers, berg");
  EXPECT_EQ(read.waypoints[0].Id(), "MEIER");
  EXPECT_EQ(read.waypoints[0].altitude, 376);
  EXPECT_EQ(read.waypoints[0].type, 1);
  EXPECT_NEAR(Degrees(read.waypoints[0].latitude), 51 + 17.983 / 60, 1e-7);
  EXPECT_EQ(read.waypoints[1].Id(), "SYD");
  EXPECT_EQ(read.waypoints[1].altitude, 7);
  EXPECT_EQ(read.waypoints[1].type, 0);
  EXPECT_NEAR(Degrees(read.waypoints[1].longitude), -(151 + 10.633 / 60), 1e-7);
  EXPECT_EQ(read.waypoints[2].altitude, 0);

  ExpectBadLines("name\n\"B\",B,,1.0N,1.0E,1m,1\n",
                 {"\"A\",A,,5117.983N,00657.383E,1234,1",  // no unit
                  "\"A\",A,,5117.983N,00657.383E,12m",     // six fields
                  "\"\",A,,5117.983N,00657.383E,12m,1",    // empty name
                  "\"A\",A,,9017.983N,00657.383E,12m,1", "\"A\",A,,5117N,00657.383E,12m,1",
                  "\"A\",A,,5117.983N,00657.383E,12m,x"},
                 "Bad line 3", "Decoding SeeYou file");
}

TEST(CompeGpsReader, DegreesUtmAndAirportLines) {
  ScriptedUi ui;
  const Read read = Decode(
      "G  WGS 84\r\nU  1\r\n"
      "W  f01140 A 46.0294899313\xBAN 11.8258790855\xBAW 27-MAR-62 00:00:00 1400.5 DECOLLO M.A.\r\n"
      "w Airport,0,0.0,16777215,255,1,7,,10.0\r\n"
      "W  ACONCAGUA 19H 405124 6386692 27-MAR-62 00:00:00 6962.000000\r\n"
      "w airfield\r\n",
      ui);
  ASSERT_EQ(read.result, 2);
  EXPECT_EQ(read.waypoints[0].Id(), "F01140");
  EXPECT_EQ(read.waypoints[0].altitude, 1401);
  EXPECT_EQ(read.waypoints[0].Description(), "DECOLLO M.A.");
  EXPECT_EQ(read.waypoints[0].type, 1);
  EXPECT_NEAR(Degrees(read.waypoints[0].longitude), -11.8258790855, 1e-7);
  EXPECT_EQ(read.waypoints[1].Id(), "ACONCA");
  EXPECT_NEAR(Degrees(read.waypoints[1].latitude), -32.65, 0.01);
  EXPECT_EQ(read.waypoints[1].type, 1);
  ExpectBadLines("", {"W  X A 1N 1E d t -5\n"}, "Bad line 1", "Decoding CompeGPS file");
}

TEST(WinPilotReader, TheDocumentedLine) {
  ScriptedUi ui;
  const Read read = Decode(
      "* comment\r\n12,46:30.500N,007:15.250E,1200F,A,HOME,x\r\n"
      "13,46:30:30S,007:15:15W,250,T,Other,y\r\n\x1A",
      ui);
  ASSERT_EQ(read.result, 2);
  EXPECT_EQ(read.waypoints[0].Id(), "12");
  EXPECT_EQ(read.waypoints[0].Description(), "HOME");
  EXPECT_EQ(read.waypoints[0].altitude, 366);
  EXPECT_EQ(read.waypoints[0].type, 1);
  EXPECT_NEAR(Degrees(read.waypoints[0].latitude), 46 + 30.5 / 60, 1e-7);
  EXPECT_NEAR(Degrees(read.waypoints[1].latitude), -(46 + 30.5 / 60), 1e-7);
  EXPECT_EQ(read.waypoints[1].altitude, 250);
  ExpectBadLines("", {"1,46:30.500N,007:15.250E,1200X,A,HOME\n"}, "Bad line 1",
                 "Decoding WinPilot file");
}

TEST(MapSourceReader, WrittenFileReadsBackAndTrailingBytesAreRefused) {
  Waypoint w;
  w.SetId("HOME");
  w.SetDescription("Home field");
  w.latitude = 554000000;
  w.longitude = -87000000;
  w.altitude = 1234;
  const std::string file = WriteMapSourceWaypoints(std::span(&w, 1));
  ScriptedUi ui;
  const Read read = Decode(file, ui);
  ASSERT_EQ(read.result, 1);
  EXPECT_EQ(read.waypoints[0].Id(), "HOME");
  EXPECT_EQ(read.waypoints[0].Description(), "Home field");
  EXPECT_EQ(read.waypoints[0].latitude, w.latitude);
  EXPECT_EQ(read.waypoints[0].longitude, w.longitude);
  EXPECT_EQ(read.waypoints[0].altitude, 1234);
  EXPECT_EQ(read.waypoints[0].time, 0u);

  ScriptedUi trailing;
  EXPECT_EQ(Decode(file + "xyz", trailing).result, -1);
  ExpectError(trailing, "File format error at " + std::string(Printf("%08xh", unsigned(file.size()))),
              "Decoding MapSource file");
  ScriptedUi cut;
  EXPECT_EQ(Decode(file.substr(0, 80), cut).result, -1);
  EXPECT_EQ(cut.Boxes().back().caption, "Decoding MapSource file");
  ScriptedUi version;
  std::string other = file;
  other[11] = 'j';
  EXPECT_EQ(Decode(other, version).result, -1);
  ExpectError(version, "Unsupported MapSource version", "Decoding MapSource file");
  ScriptedUi empty;
  EXPECT_EQ(Decode(WriteMapSourceWaypoints({}), empty).result, 0);
  ExpectError(empty, "No waypoints found", "Decoding waypoint file");
}

TEST(GpxReader, WaypointsAndTheirErrors) {
  const std::string head = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<gpx version=\"1.1\">\n";
  ScriptedUi ui;
  const Read read = Decode(head +
                               "<wpt lat=\"46.5\" lon=\"-7.25\"><ele>1199.5</ele>"
                               "<time>2023-07-14T10:20:30Z</time><name>HOME</name>"
                               "<cmt>comment</cmt><desc>Home &amp; field</desc>"
                               "<type>airport</type></wpt>\n"
                               "<wpt lat='1' lon='2'><name>B</name><ele/></wpt>"
                               "<rte><rtept lat=\"3\" lon=\"4\"><name>R</name></rtept></rte>"
                               "</gpx>\n",
                           ui);
  ASSERT_EQ(read.result, 2) << (ui.Boxes().empty() ? "" : ui.Boxes().back().text);
  EXPECT_EQ(read.waypoints[0].Description(), "Home - field");
  EXPECT_EQ(read.waypoints[0].altitude, 1200);
  EXPECT_EQ(read.waypoints[0].type, 1);
  EXPECT_EQ(read.waypoints[0].time, ParseIsoTime("2023-07-14T10:20:30"));
  EXPECT_NEAR(Degrees(read.waypoints[0].longitude), -7.25, 1e-7);
  EXPECT_EQ(read.waypoints[1].time, kNow);
  EXPECT_EQ(read.waypoints[1].altitude, 0);

  struct Case {
    const char* body;
    const char* message;
  };
  const Case cases[] = {
      {"<wpt><name>A</name></wpt></gpx>", "Missing position data for waypoint 1"},
      {"<wpt lat=\"1\" lon=\"2\"></wpt></gpx>", "Missing name data for waypoint 1"},
      {"<wpt lat=\"1\" lon=\"2\"><name>a b</name></wpt></gpx>", "Bad ID for waypoint 1"},
      {"<wpt lat=\"1\" lon=\"2\"><name>A</name><time>x</time></wpt></gpx>", "Bad time data for waypoint 1"},
      {"<wpt lat=\"1\" lon=\"2\"><name>A</name><ele>x</ele></wpt></gpx>", "Bad height data for waypoint 1"},
      {"<wpt lat=\"x\" lon=\"2\"><name>A</name></wpt></gpx>", "Missing/bad latitude data in waypoint 1"},
      {"<wpt lat=\"1\"><name>A</name></wpt></gpx>", "Missing/bad longitude data in waypoint 1"},
      {"<wpt lat=\"1\" lon=\"2\"><name>A</name></gpx>", "Tag <wpt> is terminated by </gpx>"},
      {"<wpt lat=\"1\" lon=\"2\"><name>A</name>", "Nesting level not zero at end-of-file"},
      {"</gpx>trailing", "Data found after last tag"},
      {"<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt></gpx></gpx>",
       "Terminating tag </gpx> encountered at root level"},
      {"<wpt lat=\"1\" lon=\"2\"><name", "End-of-file encountered within a tag"},
  };
  for (const Case& c : cases) {
    ScriptedUi badUi;
    EXPECT_EQ(Decode(head + c.body, badUi, false).result, -1) << c.body;
    ExpectError(badUi, c.message, "Parsing waypoint file");
  }
  // The user cancelling the identifier question ends the read without a message.
  ScriptedUi cancel;
  cancel.ScriptChoice(std::nullopt);
  EXPECT_EQ(Decode(head + "<wpt lat=\"1\" lon=\"2\"><name>a</name></wpt></gpx>", cancel).result, -1);
  EXPECT_EQ(cancel.Boxes().size(), 1u);
  EXPECT_EQ(cancel.Boxes()[0].kind, UiEventKind::Choice);
}

TEST(KmlReader, PlacemarksInTheWaypointsFolder) {
  ScriptedUi ui;
  const Read read = Decode(
      "<?xml version=\"1.0\"?>\n<kml><Document>"
      "<Folder><name>Other</name><Placemark><name>NO</name><Point><coordinates>1,2</coordinates>"
      "</Point></Placemark></Folder>"
      "<Folder><name>Waypoints</name>"
      "<Placemark><name>HOME</name><description><![CDATA[<b>Home</b>]]></description>"
      "<Point><coordinates> 7.25,46.5,1200.4 </coordinates></Point></Placemark>"
      "<Placemark><name>LINE</name><LineString><coordinates>1,2 3,4</coordinates></LineString>"
      "</Placemark></Folder></Document></kml>",
      ui);
  ASSERT_EQ(read.result, 1) << (ui.Boxes().empty() ? "" : ui.Boxes().back().text);
  EXPECT_EQ(read.waypoints[0].Id(), "HOME");
  EXPECT_EQ(read.waypoints[0].Description(), "-b-Home--b-");
  EXPECT_EQ(read.waypoints[0].altitude, 1200);
  EXPECT_NEAR(Degrees(read.waypoints[0].latitude), 46.5, 1e-7);
  ScriptedUi badUi;
  EXPECT_EQ(Decode("<?xml version=\"1.0\"?><kml><Folder><name>Waypoints</name><Placemark><name>A</name><Point>"
                   "<coordinates>x</coordinates></Point></Placemark></Folder></kml>",
                   badUi)
                .result,
            -1);
  ExpectError(badUi, "Bad <coordinates> in waypoint A", "Parsing waypoint file");
}

// Every writer's output read back by our own reader keeps what its format can hold.
TEST(WritersAndReaders, RoundTripEveryFormat) {
  Waypoint a;
  a.SetId("HOME");
  a.SetDescription("Home field");
  a.latitude = DegreesToSemicircles(46.508333);
  a.longitude = DegreesToSemicircles(7.254167);
  a.altitude = 1200;
  a.time = 1000000000;
  a.type = 1;
  Waypoint b;
  b.SetId("SW-2");
  b.SetDescription("South west");
  b.latitude = DegreesToSemicircles(-33.946);
  b.longitude = DegreesToSemicircles(-151.177);
  b.altitude = 6;
  b.time = 1000000000;
  const std::vector<Waypoint> written{a, b};

  struct Case {
    WaypointFileFormat format;
    double degreesTolerance;
    bool keepsType, keepsDescription, keepsTime;
  };
  const Case cases[] = {
      {WaypointFileFormat::Ozi, 1e-6, false, true, true},
      {WaypointFileFormat::Geo, 1.0 / 360000, true, true, false},
      {WaypointFileFormat::Utm, 2e-5, true, true, false},
      {WaypointFileFormat::CompeGps, 1e-7, true, true, false},
      {WaypointFileFormat::SeeYou, 1.0 / 60000, true, true, false},
      {WaypointFileFormat::WinPilot, 1.0 / 60000, true, false, false},
      {WaypointFileFormat::Gpx, 1e-6, true, true, true},
      {WaypointFileFormat::Kml, 1e-6, false, true, false},
      {WaypointFileFormat::MapSource, 0, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.format));
    ScriptedUi ui;
    const Read read = Decode(EncodeWaypointFile(c.format, written, 5), ui);
    ASSERT_EQ(read.result, 2) << (ui.Boxes().empty() ? "" : ui.Boxes().back().text);
    for (std::size_t i = 0; i < 2; ++i) {
      const Waypoint& in = read.waypoints[i];
      const Waypoint& out = written[i];
      if (c.format == WaypointFileFormat::WinPilot) {
        EXPECT_EQ(in.Id(), std::to_string(i + 1));   // the running number
        EXPECT_EQ(in.Description(), out.Id());       // the name field holds the identifier
      } else {
        EXPECT_EQ(in.Id(), out.Id());
      }
      if (c.keepsDescription) { EXPECT_EQ(in.Description(), out.Description()); }
      EXPECT_NEAR(Degrees(in.latitude), Degrees(out.latitude), c.degreesTolerance + 1e-9);
      EXPECT_NEAR(Degrees(in.longitude), Degrees(out.longitude), c.degreesTolerance + 1e-9);
      EXPECT_EQ(in.altitude, out.altitude);
      if (c.keepsType) { EXPECT_EQ(in.type, out.type); }
      if (c.keepsTime) { EXPECT_EQ(in.time, out.time); }
    }
  }
}

TEST(WritersAndReaders, ExactLines) {
  Waypoint w;
  w.SetId("HOME");
  w.SetDescription("Home");
  w.latitude = DegreesToSemicircles(46.508333);
  w.longitude = DegreesToSemicircles(-7.254167);
  w.altitude = 1200;
  w.type = 1;
  const std::span<const Waypoint> one(&w, 1);
  EXPECT_EQ(WriteGeoWaypoints(one),
            "$FormatGEO\r\nHOME      N 46 30 30.00    W 007 15 15.00  1200  Home [A]\r\n");
  EXPECT_EQ(WriteSeeYouWaypoints(one),
            "name,code,country,lat,lon,elev,style,rwdir,rwlen,freq,desc\r\n"
            "\"Home\",HOME,,4630.500N,00715.250W,1200.0m,2,,,,\r\n");
  EXPECT_EQ(WriteWinPilotWaypoints(one), "1,46:30.500N,7:15.250W,1200,A,HOME,Home\r\n");
  EXPECT_EQ(WriteOziWaypoints(one).substr(71),
            "   1,HOME          ,  46.508333,  -7.254167,32873.0000000,0, 1, 3, 0, 65535,"
            "Home                                    , 0, 0, 0, 3937\r\n");
  EXPECT_EQ(WriteUtmWaypoints(one).substr(0, 28), "$FormatUTM\r\nHOME     29T   0");
  EXPECT_EQ(WriteMapSourceWaypoints({}).size(), 45u + 7u);
}

// Every real waypoint file is read or refused with a message, never anything else.
TEST(RealFiles, EachIsReadOrRefusedWithAMessage) {
  LOGWELL_REQUIRE_FIXTURES(dir);
  const std::pair<const char*, int> expected[] = {
      {"compegps.wpt", 24}, {"euregio9.cup", 99}, {"euregio9.dat", 99},
      {"kml-points.kml", 9}, {"mapsource.mps", 9}, {"simple.cup", 8},
      {"waypoints_compe_utm.wpt", 5},
  };
  for (const auto& entry : std::filesystem::directory_iterator(dir / "waypoints")) {
    SCOPED_TRACE(entry.path().filename().string());
    ScriptedUi ui;
    WaypointReadContext context{ui, false, kNow};
    std::vector<Waypoint> waypoints;
    const int result = ReadWaypointFile(entry.path(), context, "Read waypoint file", waypoints);
    if (result <= 0) {
      ASSERT_FALSE(ui.Boxes().empty());
      EXPECT_EQ(ui.Boxes().back().kind, UiEventKind::Error);
      EXPECT_TRUE(waypoints.empty());
    } else {
      EXPECT_EQ(static_cast<int>(waypoints.size()), result);
      EXPECT_TRUE(ui.Boxes().empty());
    }
    for (const auto& [name, count] : expected) {
      if (entry.path().filename() == name) { EXPECT_EQ(result, count); }
    }
  }
}

}  // namespace
}  // namespace logwell

namespace logwell {
namespace {

// The MapSource file and the Ozi file of the same geocaches agree on every position.
TEST(RealFiles, MapSourceAgreesWithOzi) {
  LOGWELL_REQUIRE_FIXTURES(dir);
  ScriptedUi ui;
  WaypointReadContext context{ui, false, kNow};
  std::vector<Waypoint> mps, ozi;
  ASSERT_EQ(ReadWaypointFile(dir / "waypoints" / "mapsource.mps", context, "r", mps), 9);
  ASSERT_EQ(ReadWaypointFile(dir / "waypoints" / "ozi.wpt", context, "r", ozi), 9);
  int matched = 0;
  for (const Waypoint& m : mps) {
    for (const Waypoint& o : ozi) {
      if (m.Id() != o.Id()) continue;
      ++matched;
      EXPECT_NEAR(Degrees(m.latitude), Degrees(o.latitude), 1e-6) << m.Id();
      EXPECT_NEAR(Degrees(m.longitude), Degrees(o.longitude), 1e-6) << m.Id();
    }
  }
  EXPECT_EQ(matched, 9);
}

}  // namespace
}  // namespace logwell
