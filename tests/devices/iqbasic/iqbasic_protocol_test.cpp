// The IQ Basic / Flytec 6015 codec on the lines the instruments send, good and broken.
#include "devices/iqbasic/iqbasic_protocol.h"

#include <gtest/gtest.h>

#include "geo/units.h"
#include "track/igc/igc_device_parser.h"

namespace logwell::iqbasic {
namespace {

TEST(IqBasicCodec, ProductParametersGiveTheProductText) {
  const auto serial = ParameterBytes("RPA_00_67120000", 0);
  const auto type = ParameterBytes("RPA_01_01\r", 1);
  const auto software = ParameterBytes("RPA_02_5304", 2);
  ASSERT_TRUE(serial && type && software);
  ProductData product;
  EXPECT_FALSE(ReadProduct(*serial, *type, *software, product));
  EXPECT_EQ(ProductText(product), "IQ Basic, SW 1.1.07, S/N 4711");
  // The Flytec model; the serial number has four bytes in the maker's parameter table, so a
  // two-byte one is refused.
  const std::vector<std::uint8_t> longSerial{0xD2, 0x04, 0, 0}, shortSerial{0xD2, 0x04}, flytec{0};
  EXPECT_FALSE(ReadProduct(longSerial, flytec, *software, product));
  EXPECT_EQ(ProductText(product), "Flytec 6015, SW 1.1.07, S/N 1234");
  EXPECT_EQ(ReadProduct(shortSerial, flytec, *software, product), "Unsupported record (serial number)");

  struct Refused {
    std::string_view line;
    int number;
  };
  for (const Refused& r : {Refused{"RPA_00_671", 0}, Refused{"RPA_00_67G2", 0}, Refused{"RPA_01_01", 0},
                           Refused{"No Par", 1}, Refused{"RPA_0201", 2}}) {
    EXPECT_FALSE(ParameterBytes(r.line, r.number)) << r.line;
  }
  const std::vector<std::uint8_t> three{1, 2, 3}, unknownType{7}, oneByte{1};
  EXPECT_EQ(ReadProduct(three, flytec, *software, product), "Unsupported record (serial number)");
  EXPECT_EQ(ReadProduct(longSerial, unknownType, *software, product), "Unsupported record (device type)");
  EXPECT_EQ(ReadProduct(longSerial, flytec, oneByte, product), "Unsupported record (software version)");
}

TEST(IqBasicCodec, AnswerEnds) {
  EXPECT_EQ(KindOf(" Done\r"), LineKind::Done);
  EXPECT_EQ(KindOf("Done"), LineKind::Done);
  EXPECT_EQ(KindOf("No Data"), LineKind::NoData);
  EXPECT_EQ(KindOf("  No   Data \r"), LineKind::NoData);
  EXPECT_EQ(KindOf("Done!"), LineKind::Data);
  EXPECT_EQ(KindOf("NoData1"), LineKind::Data);
}

TEST(IqBasicCodec, FlightListLines) {
  int index = -1;
  TrackListEntry entry;
  ASSERT_FALSE(ParseFlightListLine("     3; 09.11.16; 12:43:03;        1; 00:08:53;       53;      978;      452;"
                                   "     3.49;    -2.90;     1.38;         not-set;         not set;         not set",
                                   index, entry));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(entry.startTime, CalendarToGarminTime(CalendarTime{2009, 11, 0, 16, 12, 43, 3}));
  EXPECT_EQ(entry.durationSeconds, 533u);

  struct Case {
    std::string_view line;
    std::string_view error;
  };
  const Case cases[] = {
      {"x; 09.11.16; 12:43:03; 1; 00:08:53", "Bad track index parameter"},
      {"256; 09.11.16; 12:43:03; 1; 00:08:53", "Bad track index parameter"},
      {"0; 09.13.16; 12:43:03; 1; 00:08:53", "Bad track date parameter"},
      {"0; 09.11.1a; 12:43:03; 1; 00:08:53", "Bad track date parameter"},
      {"0; 09.11.16; 24:43:03; 1; 00:08:53", "Bad track time parameter"},
      {"0; 09.11.16; 12:43:03; +x; 00:08:53", "Bad track time parameter"},
      {"0; 09.11.16; 12:43:03; 1; 00:60:53", "Bad track duration parameter"},
      {"0; 09.11.16; 12:43:03; 1", "Unsupported record: 0; 09.11.16; 12:43:03; 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseFlightListLine(c.line, index, entry), c.error) << c.line;
}

TEST(IqBasicCodec, WaypointLines) {
  const auto north = ParseWaypointLine("TAKEOFF FIESCH  ;N  46'24.582;E 008'08.184;  2230;   400\r");
  ASSERT_TRUE(north);
  EXPECT_EQ(north->name, "TAKEOFF FIESCH");
  EXPECT_EQ(north->latitude, DegreesToSemicircles(46 + 24.582 / 60));
  EXPECT_EQ(north->longitude, DegreesToSemicircles(8 + 8.184 / 60));
  EXPECT_EQ(north->altitude, 2230);
  EXPECT_EQ(north->radius, 400);
  const auto south = ParseWaypointLine("CAPE;S  33'54.1;W 018'24.000;   -10;     0");
  ASSERT_TRUE(south);
  EXPECT_EQ(south->latitude, DegreesToSemicircles(-(33 + 54.1 / 60)));
  EXPECT_EQ(south->longitude, DegreesToSemicircles(-(18 + 24.0 / 60)));
  EXPECT_EQ(south->altitude, -10);

  for (const char* bad : {
           "A;N  46 24.582;E 008'08.184;  2230;   400",   // no apostrophe
           "A;N  46'60.000;E 008'08.184;  2230;   400",   // 60 minutes
           "A;N  91'00.000;E 008'08.184;  2230;   400",   // beyond the pole
           "A;N  90'00.001;E 008'08.184;  2230;   400",
           "A;X  46'24.582;E 008'08.184;  2230;   400",   // no hemisphere
           "A;N  46'24.582;N 008'08.184;  2230;   400",
           "A;N  46'24.582;E 181'00.000;  2230;   400",
           "A;N  46'24.582;E 008'08.184;  22a0;   400",
           "A;N  46'24.582;E 008'08.184;  2230;  -400",
           "A;N  46'24.582;E 008'08.184;  2230",           // a field short
           "A;N  46'24.582;E 008'08.184;  2230;   400;1",  // one too many
           "A;N  46'24;E 008'08.184;  2230;   400",        // no decimals
       }) {
    EXPECT_FALSE(ParseWaypointLine(bad)) << bad;
  }
}

TEST(IqBasicCodec, UploadLineKeepsWhatTheInstrumentTakes) {
  Waypoint w;
  w.SetDescription("Fiesch;west top! landing");
  w.latitude = DegreesToSemicircles(46.4097);
  w.longitude = DegreesToSemicircles(8.1364);
  w.altitude = 2230;
  EXPECT_EQ(WaypointUploadLine(w), "Fieschwest top l;N  46'24.582;E   8'08.184;  2230;   400\r\n");
  w.SetDescription("b1");
  w.latitude = DegreesToSemicircles(-33.9);
  w.longitude = DegreesToSemicircles(-118.4);
  w.altitude = -12;
  EXPECT_EQ(WaypointUploadLine(w), "b1              ;S  33'54.000;W 118'24.000;   -12;   400\r\n");
  // The altitude is held to the range the instrument takes.
  w.altitude = 12345;
  EXPECT_EQ(WaypointUploadLine(w), "b1              ;S  33'54.000;W 118'24.000; 10000;   400\r\n");
  w.altitude = -3000;
  EXPECT_EQ(WaypointUploadLine(w), "b1              ;S  33'54.000;W 118'24.000; -2000;   400\r\n");
  // What the instrument writes back reads as what was sent, to the thousandth of a minute.
  const auto back = ParseWaypointLine(WaypointUploadLine(w));
  ASSERT_TRUE(back);
  EXPECT_NEAR(back->latitude, w.latitude, 100);
  EXPECT_NEAR(back->longitude, w.longitude, 100);
  EXPECT_EQ(UploadResultText(1, 3, "full list"), "1 of 3 waypoints ok. First error was \"full list\"");
}

// The example lines of Flytec's "Communication protocol 6015" (V1.3.00), byte for byte: what
// we send must be what the document shows, and what the instrument shows must read as it says.
TEST(IqBasicCodec, DocumentExamples) {
  // Requests: "Flight book (Action $20)", "Get IGC Flight (Action $21)", "Read all WP (Action
  // $31)", "Write 1 WP (Action $32)", "Read settings from the PA memory".
  EXPECT_EQ(kFlightListRequest, "ACT_20_00\r\n");
  EXPECT_EQ(FlightRequest(0x0a), "ACT_21_0a\r\n");
  EXPECT_EQ(kWaypointRequest, "ACT_31_00\r\n");
  EXPECT_EQ(kWaypointUploadRequest, "ACT_32_00\r\n");
  EXPECT_EQ(kSerialRequest, "RPA_00\r\n");

  // "Flight book": the two example lines (the document's "r\n" at their ends is CR LF). Date
  // and start time are UTC.
  struct Book {
    std::string_view line;
    int index;
    CalendarTime start;
    std::uint32_t duration;
  };
  const Book books[] = {
      {"     0; 09.11.16; 12:43:03;        1; 00:08:53;     -161;      978;      452;        3.49;       -2.90;"
       "        1.38;not-set         ;not set         ;not set         \r\n",
       0, CalendarTime{2009, 11, 0, 16, 12, 43, 3}, 533},
      {"     1; 09.10.09; 08:43:27;        1; 00:06:19;        0;      580;      233;        1.90;       -2.45;"
       "        0.77;not-set         ;not-set         ;not-set         \r\n",
       1, CalendarTime{2009, 10, 0, 9, 8, 43, 27}, 379},
  };
  for (const Book& b : books) {
    EXPECT_EQ(b.line.size(), 168u);  // char[0..167] in the document's layout
    int index = -1;
    TrackListEntry entry;
    ASSERT_FALSE(ParseFlightListLine(b.line, index, entry)) << b.line;
    EXPECT_EQ(index, b.index);
    EXPECT_EQ(entry.startTime, CalendarToGarminTime(b.start));
    EXPECT_EQ(entry.durationSeconds, b.duration);
  }

  // "Read all WP": the two example lines; degrees are padded with blanks.
  struct Stored {
    std::string_view line;
    std::string_view name;
    double latitude, longitude;
    int altitude, radius;
  };
  const Stored stored[] = {
      {"WP Name 1       ;N  47'00.847;E   8'18.466;  2000;    20\r\n", "WP Name 1", 47 + 0.847 / 60, 8 + 18.466 / 60,
       2000, 20},
      {"WP Name 2       ;S  23'15.543;W 110'58.489;   100;   400\r\n", "WP Name 2", -(23 + 15.543 / 60),
       -(110 + 58.489 / 60), 100, 400},
  };
  for (const Stored& w : stored) {
    EXPECT_EQ(w.line.size(), 58u);  // char[0..57]
    const auto parsed = ParseWaypointLine(w.line);
    ASSERT_TRUE(parsed) << w.line;
    EXPECT_EQ(parsed->name, w.name);
    EXPECT_EQ(parsed->latitude, DegreesToSemicircles(w.latitude));
    EXPECT_EQ(parsed->longitude, DegreesToSemicircles(w.longitude));
    EXPECT_EQ(parsed->altitude, w.altitude);
    EXPECT_EQ(parsed->radius, w.radius);
  }

  // "Write 1 WP": the example line as we send it (the radius is always 400).
  Waypoint w;
  w.SetDescription("WP Name 1");
  w.latitude = DegreesToSemicircles(47 + 0.847 / 60);
  w.longitude = DegreesToSemicircles(8 + 18.466 / 60);
  w.altitude = 2000;
  EXPECT_EQ(WaypointUploadLine(w), "WP Name 1       ;N  47'00.847;E   8'18.466;  2000;   400\r\n");

  // Its four answers, and the ends of a list.
  struct Answer {
    std::string_view line;
    UploadAnswer kind;
  };
  for (const Answer& a : {Answer{" Done\r\n", UploadAnswer::Stored}, Answer{"full list\r\n", UploadAnswer::FullList},
                          Answer{"Syntax Error\r\n", UploadAnswer::SyntaxError},
                          Answer{"already exist\r\n", UploadAnswer::AlreadyExists},
                          Answer{"ACT_22_00 Fail\r\n", UploadAnswer::Unknown}, Answer{"Don", UploadAnswer::Unknown}}) {
    EXPECT_EQ(UploadAnswerOf(a.line), a.kind) << a.line;
  }
  EXPECT_EQ(KindOf(" Done\r\n"), LineKind::Done);
  EXPECT_EQ(KindOf("No Data\r\n"), LineKind::NoData);

  // "Get IGC Flight (Action $21)": the example answer (its elided lines left out) reads line by
  // line as the instrument's IGC text.
  igc::IgcDeviceLineParser igcLines(igc::IgcDeviceVariant::IqBasic);
  for (const std::string_view line : {
           "AFLY000A 00010\r", "HFDTE091009\r", "HFFXA010\r", "HFPLTPILOT:not set         \r",
           "HFGTYGLIDERTYPE: not set         \r", "HFGIDGLIDERID: not set         \r", "HFDTM100GPSDATUM:WGS84\r",
           "HFRFWFIRMWAREVERSION: 1.1.07  Ger\r", "HFRHWHARDWAREVERSION:1.00\r", "HFFTYFRTYPE:Brauniger,IQ-Basic GPS\r",
           "HFGPS:FASTRAX,IT321,20\r", "HFPRSPRESSALTSENSOR:INTERSEMA,MS5401BM,12000\r", "HFTZNUTCOFFSET:  1\r",
           "HFATS1013.3\r", "I033638FXA3940SIU4143TAS\r", "F08320109122627\r",
           "B0832014700785N00818451EA005730033000904000\r", "F0832330912142627\r", "E083233STA\r",
           "B0838194700842N00818464EA003940044900106000\r",
           "GED0E339A2CDFC90374F664B36BA80B6DA5503AA490D896D0BE5F817012D9F997\r"}) {
    ASSERT_EQ(igcLines.ParseLine(line), 0) << line;
  }
  ASSERT_EQ(igcLines.Points().size(), 2u);
  const TrackPoint& first = igcLines.Points().front();
  EXPECT_EQ(first.time, CalendarToGarminTime(CalendarTime{2009, 10, 0, 9, 8, 32, 1}));
  EXPECT_EQ(first.latitude, DegreesToSemicircles(47 + 0.785 / 60));
  EXPECT_EQ(first.longitude, DegreesToSemicircles(8 + 18.451 / 60));
  EXPECT_EQ(first.pressureAltitude, 573);
  EXPECT_EQ(first.gpsAltitude, 3300);
  EXPECT_EQ(igcLines.Manufacturer(), "FLY");
  EXPECT_EQ(igcLines.GRecordCount(), 1);

  // "PA-Table": DeviceNr has four bytes, DeviceTyp one, SoftVers two.
  const auto serial = ParameterBytes("RPA_00_67120000\r\n", 0);
  const auto type = ParameterBytes("RPA_01_00\r\n", 1);
  const auto software = ParameterBytes("RPA_02_1405\r\n", 2);
  ASSERT_TRUE(serial && type && software);
  ProductData product;
  ASSERT_FALSE(ReadProduct(*serial, *type, *software, product));
  EXPECT_EQ(ProductText(product), "Flytec 6015, SW 1.3.00, S/N 4711");
}

}  // namespace
}  // namespace logwell::iqbasic
