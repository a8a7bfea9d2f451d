// The IGC decoder, the instruments' line parser, the encoder and the security record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "track/igc/igc_device_parser.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_security.h"
#include "track/igc/igc_writer.h"

namespace logwell::igc {
namespace {

GarminTime At(int year, int month, int day, int hour, int minute, int second) {
  CalendarTime c;
  c.year = year;
  c.month = month;
  c.day = day;
  c.hour = hour;
  c.minute = minute;
  c.second = second;
  return CalendarToGarminTime(c);
}

std::string File(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

const std::string kB1 = "B1200004730000N01100000EA0123401300";

// ---- decoder

TEST(IgcDecoder, BothDateFormsGiveTheSameDay) {
  // Recorders that write the date in both forms name the same day twice.
  for (const char* date : {"HFDTEDATE:150723,01", "HFDTE150723", "HFDTEDATE:150723",
                           "HFDTE150723\r\nHFDTEDATE:150723,01"}) {
    const auto result = DecodeIgcText(File({"AXYZABC", date, kB1}));
    ASSERT_TRUE(result.Ok()) << date << ": " << result.error;
    ASSERT_EQ(result.points.size(), 1u);
    EXPECT_EQ(result.points[0].time, At(2023, 7, 15, 12, 0, 0)) << date;
  }
}

TEST(IgcDecoder, DecodesEveryFieldOfAFix) {
  const auto result = DecodeIgcText(
      File({"AXYZABC flight", "HFDTE150723", "B1200004730500S01130250WA-001201300"}));
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_EQ(result.manufacturer, "XYZ");
  EXPECT_EQ(result.loggerSerial, "ABC");
  const TrackPoint& p = result.points.at(0);
  EXPECT_EQ(p.segmentStart, 1u);
  EXPECT_EQ(p.pressureAltitude, -12);
  EXPECT_EQ(p.gpsAltitude, 13000);
  // 47 deg 30.500 min south: -(47 * 60000 + 30500) thousandths of a minute.
  EXPECT_EQ(p.latitude, static_cast<std::int32_t>(-(2850500 * 198.8410785185) - 0.5));
  EXPECT_EQ(p.longitude, static_cast<std::int32_t>(-(690250 * 198.8410785185) - 0.5));
}

TEST(IgcDecoder, RollsOverMidnightAndSkipsEqualSeconds) {
  const auto result = DecodeIgcText(File({"AXYZABC", "HFDTE150723",
                                          "B2359580000000N00000000EA0000000000",
                                          "B2359580000000N00000000EA0000000000",
                                          "B0000050000000N00000000EA0000000000",
                                          "B2301060000000N00000000EA0000000000"}));
  ASSERT_TRUE(result.Ok()) << result.error;
  ASSERT_EQ(result.points.size(), 3u);
  EXPECT_EQ(result.points[1].time, At(2023, 7, 16, 0, 0, 5));
  EXPECT_EQ(result.points[1].segmentStart, 0u);
  // 59 minutes earlier than the previous fix is not a new day.
  EXPECT_EQ(result.points[2].time, At(2023, 7, 16, 23, 1, 6));
}

TEST(IgcDecoder, ReadsDecimalSecondsOfEveryFix) {
  const auto result = DecodeIgcText(File({"AXYZABC", "HFDTE150723", "I013638TDS",
                                          kB1 + "250", kB1 + "990", "B1200014730000N01100000EA0123401300070"}));
  ASSERT_TRUE(result.Ok()) << result.error;
  ASSERT_EQ(result.points.size(), 2u);
  EXPECT_EQ(result.points[0].milliseconds, 250);
  EXPECT_EQ(result.points[1].milliseconds, 70);
}

// LAD and LOD carry further digits of the minutes beyond the B record's thousandths; a field
// that is short or not all digits leaves the B record's own position.
TEST(IgcDecoder, ReadsFurtherDigitsOfLatitudeAndLongitude) {
  const auto result = DecodeIgcText(File({"AXYZABC", "HFDTE150723", "I023636LAD3738LOD",
                                          "B1200004730005S01130250WA-001201300779",
                                          "B1200014730005S01130250WA-0012013007",
                                          "B1200024730005S01130250WA-001201300x12"}));
  ASSERT_TRUE(result.Ok()) << result.error;
  ASSERT_EQ(result.points.size(), 3u);
  // 47 deg 30.0057 min south, 11 deg 30.25079 min west, in thousandths of a minute.
  auto semicircles = [](double milliMinutes) {
    return static_cast<std::int32_t>(milliMinutes * 198.8410785185 + (milliMinutes < 0 ? -0.5 : 0.5));
  };
  EXPECT_EQ(result.points[0].latitude, semicircles(-(47 * 60000 + 30005.7)));
  EXPECT_EQ(result.points[0].longitude, semicircles(-(11 * 60000 + 30250.79)));
  EXPECT_EQ(result.points[1].latitude, semicircles(-(47 * 60000 + 30005.7)));
  EXPECT_EQ(result.points[1].longitude, semicircles(-(11 * 60000 + 30250)));
  EXPECT_EQ(result.points[2].latitude, semicircles(-(47 * 60000 + 30005)));
  EXPECT_EQ(result.points[2].longitude, semicircles(-(11 * 60000 + 30250.12)));
}

// A fix the recorder marked invalid stays in the track, flagged, and is written back as such.
TEST(IgcDecoder, KeepsFixesMarkedInvalid) {
  const auto decoded = DecodeIgcText(File({"AXYZABC", "HFDTE150723", kB1,
                                           "B1200014730000N01100000EV0123400000"}));
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  ASSERT_EQ(decoded.points.size(), 2u);
  EXPECT_FALSE(decoded.points[0].MarkedInvalid());
  EXPECT_TRUE(decoded.points[1].MarkedInvalid());
  IgcEncodeInput input;
  input.points = decoded.points;
  const auto encoded = EncodeIgc(input);
  ASSERT_TRUE(encoded);
  EXPECT_NE(encoded->text.find("B1200004730000N01100000EA"), std::string::npos);
  EXPECT_NE(encoded->text.find("B1200014730000N01100000EV"), std::string::npos);
  EXPECT_EQ(DecodeIgcText(encoded->text).points, decoded.points);
}

TEST(IgcDecoder, RefusesBadFilesWithTheirMessage) {
  const std::string A = "AXYZABC", H = "HFDTE150723";
  struct Case {
    std::string text;
    std::string error;
  } cases[] = {
      {File({"", A, H, kB1}), "Missing A-record"},
      {File({"LXYZ comment", A, H, kB1}), "Missing A-record"},
      {File({A, A, H, kB1}), "Multiple A-records"},
      {File({A, H, "HFDTE160723", kB1}), "Multiple HFDTE-records"},
      {File({A, H, "I013638TDS", "I013638ENL", kB1}), "Multiple I-records"},
      {File({A, "HFDTE150723 ", kB1}), "Format error on line 2"},
      {File({A, "HFDTE320723", kB1}), "Format error on line 2"},
      {File({A, kB1, H}), "Format error on line 2"},
      {File({A, H, "B2400004730000N01100000EA0123401300"}), "Format error on line 3"},
      {File({A, H, "B1200009030000N01100000EA0123401300"}), "Format error on line 3"},
      {File({A, H, "B1200004760001N01100000EA0123401300"}), "Format error on line 3"},
      {File({A, H, "B1200004730000X01100000EA0123401300"}), "Format error on line 3"},
      {File({A, H, "B1200004730000N18000000EA0123401300"}), "Format error on line 3"},
      {File({A, H, "B1200004730000N01100000EA01234-130"}), "Format error on line 3"},
      {File({A, H, "B1200004730000N01100000E"}), "Format error on line 3"},
      {File({A, H, "I013537TDS", kB1 + "123"}), "Format error on line 4"},
      {File({A, H, "I013638TDS", kB1 + "1"}), "Format error on line 4"},
      {File({"AXY", H, kB1}), "Format error on line 1"},
      {File({A, H}), "No positions found"},
      {"", "No A-record found"},
      {A + "\r\n" + H + "\r\n" + kB1, "No positions found"},  // the last line has no line feed
  };
  for (const Case& c : cases) {
    const auto result = DecodeIgcText(c.text);
    EXPECT_EQ(result.error, c.error) << c.text;
    EXPECT_TRUE(result.points.empty());
  }
}

// A file may hold several flights, each opened by its A record; a reader is told when the file
// breaks off inside a record or has no security record, and still gets the fixes.
TEST(IgcDecoder, SeveralFlightsAndWhatAFileLacks) {
  const std::string A = "AXYZABC", H = "HFDTE150723", G = "G0123456789ABCDEF";
  const std::string kUnsigned = "no security record (G record): the file is unsigned";
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::size_t> points;  // per flight
    std::size_t withoutPositions;
    std::string warning;
  } cases[] = {
      {"complete", File({A, H, kB1, G}), {1}, 0, ""},
      {"unsigned", File({A, H, kB1}), {1}, 0, "IGC file: " + kUnsigned},
      {"cut in a fix", File({A, H, kB1}) + "B1200014730", {1}, 0,
       "IGC file: the file is cut short: line 4 breaks off and is left out; " + kUnsigned},
      {"signed, no final line end", File({A, H, kB1}) + G, {1}, 0, ""},
      {"two flights", File({A, H, kB1, A, "HFDTE160723", kB1, "B1200054730000N01100000EA0123401300", G}),
       {1, 2}, 0, ""},
      {"a flight without fixes", File({A, H, kB1, A, "HFDTE160723", G}), {1}, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const IgcFlightsResult result = DecodeIgcFlights(c.text);
    ASSERT_TRUE(result.Ok()) << result.error;
    ASSERT_EQ(result.flights.size(), c.points.size());
    for (std::size_t i = 0; i < c.points.size(); ++i) {
      EXPECT_EQ(result.flights[i].points.size(), c.points[i]);
    }
    EXPECT_EQ(result.flightsWithoutPositions, c.withoutPositions);
    EXPECT_EQ(result.warning, c.warning);
  }
  // Each flight has its own date; a fault is named by its line in the whole file.
  const IgcFlightsResult two = DecodeIgcFlights(File({A, H, kB1, A, "HFDTE160723", kB1}));
  ASSERT_EQ(two.flights.size(), 2u);
  EXPECT_EQ(two.flights[1].points[0].time, At(2023, 7, 16, 12, 0, 0));
  EXPECT_EQ(two.flights[1].points[0].segmentStart, 1u);
  EXPECT_EQ(DecodeIgcFlights(File({A, H, kB1, A, "HFDTE320723", kB1})).error,
            "Format error on line 5");
  EXPECT_EQ(DecodeIgcFlights(File({A, H, A})).error, "No positions found");
  // The strict decoder of the other callers still refuses a second A record.
  EXPECT_EQ(DecodeIgcText(File({A, H, kB1, A, H, kB1})).error, "Multiple A-records");
}

TEST(IgcDecoder, ARecordWithoutSerialGivesZeros) {
  for (const char* a : {"AXYZ", "AXYZ flight recorder"}) {
    const auto result = DecodeIgcText(File({a, "HFDTE150723", kB1}));
    ASSERT_TRUE(result.Ok()) << result.error;
    EXPECT_EQ(result.loggerSerial, "000");
    EXPECT_EQ(result.manufacturer, "XYZ");
  }
}

// ---- device line parser

TEST(IgcDeviceParser, AcceptsWhatTheFileDecoderRefuses) {
  IgcDeviceLineParser parser(IgcDeviceVariant::FlytecBrauniger);
  EXPECT_EQ(parser.ParseLine("AFLY05094\r"), 0);
  EXPECT_EQ(parser.ParseLine("HFDTE150723 \r"), 0);
  EXPECT_EQ(parser.ParseLine("B2359580000000N00000000EA-001201300\r"), 0);
  EXPECT_EQ(parser.ParseLine("B2359580000000N00000000EA0000000000\r"), 0);
  EXPECT_EQ(parser.ParseLine("B0000050000000N00000000EA0000000000\r"), 0);
  EXPECT_EQ(parser.ParseLine("G1234\r"), 0);
  EXPECT_EQ(parser.Manufacturer(), "FLY");
  EXPECT_EQ(parser.LoggerSerial(), "050");
  EXPECT_EQ(parser.GRecordCount(), 1);
  const auto& points = parser.Points();
  ASSERT_EQ(points.size(), 3u);  // equal seconds stay
  EXPECT_EQ(points[0].pressureAltitude, -12);
  EXPECT_EQ(points[0].segmentStart, 1u);
  EXPECT_EQ(points[1].time, points[0].time);
  EXPECT_EQ(points[2].time, At(2023, 7, 16, 0, 0, 5));
  EXPECT_EQ(parser.FirstFixTime(), At(2023, 7, 15, 23, 59, 58));
}

TEST(IgcDeviceParser, PositionsAgreeWithTheFileDecoder) {
  const std::string fix = "B1200004730500S01130250WA0123401300";
  IgcDeviceLineParser parser(IgcDeviceVariant::Dsx);
  parser.ParseLine("HFDTEDATE:150723,01\r");
  ASSERT_EQ(parser.ParseLine(fix + "\r"), 0);
  const auto decoded = DecodeIgcText(File({"AXYZABC", "HFDTE150723", fix}));
  ASSERT_TRUE(decoded.Ok());
  const TrackPoint& a = parser.Points().at(0);
  const TrackPoint& b = decoded.points.at(0);
  EXPECT_NEAR(a.latitude, b.latitude, 1);
  EXPECT_NEAR(a.longitude, b.longitude, 1);
  EXPECT_EQ(a.time, b.time);
  EXPECT_EQ(a.gpsAltitude, b.gpsAltitude);
}

TEST(IgcDeviceParser, ErrorCodes) {
  struct Case {
    IgcDeviceVariant variant;
    std::string line;
    int code;
  } cases[] = {
      {IgcDeviceVariant::FlytecBrauniger, "HFDTE1507xx", -1},
      {IgcDeviceVariant::FlytecBrauniger, "HFDTE15xx23", -2},
      {IgcDeviceVariant::FlytecBrauniger, "HFDTE151323", -3},
      {IgcDeviceVariant::FlytecBrauniger, "HFDTExx0723", -4},
      {IgcDeviceVariant::FlytecBrauniger, "HFDTE000723", -5},
      {IgcDeviceVariant::FlytecBrauniger, "HFDTEDATE:15072", -23},
      {IgcDeviceVariant::IqBasic, "HFDTE15 723", -1},
      {IgcDeviceVariant::IqBasic, "HFDTE320723", -1},
      {IgcDeviceVariant::IqBasic, "HFDTE150023", -1},
      {IgcDeviceVariant::Dsx, "HFDTE1507", 0},  // too short to count
      {IgcDeviceVariant::Dsx, "HPPLTPILOT:x", 0},
      {IgcDeviceVariant::Dsx, "AXY", -28},
      {IgcDeviceVariant::Dsx, "AXY-123", -29},
      {IgcDeviceVariant::Dsx, "B120000", -24},
      {IgcDeviceVariant::Dsx, "B1200004730000N01100000EA01234013x0", -7},
      {IgcDeviceVariant::Dsx, "B1200004730000N01100000EA0x23401300", -7},
      {IgcDeviceVariant::Dsx, "B1200004730000N01100000XA0123401300", -12},
      {IgcDeviceVariant::Dsx, "B1200004730000N011000x0EA0123401300", -8},
      {IgcDeviceVariant::Dsx, "B1200004730000N011x0000EA0123401300", -9},
      {IgcDeviceVariant::Dsx, "B1200004730000N0x100000EA0123401300", -10},
      {IgcDeviceVariant::Dsx, "B1200004730000N18000000EA0123401300", -11},
      {IgcDeviceVariant::Dsx, "B1200004730000Q01100000EA0123401300", -17},
      {IgcDeviceVariant::Dsx, "B12000047300x0N01100000EA0123401300", -13},
      {IgcDeviceVariant::Dsx, "B12000047x0000N01100000EA0123401300", -14},
      {IgcDeviceVariant::Dsx, "B120000x730000N01100000EA0123401300", -15},
      {IgcDeviceVariant::Dsx, "B1200009030000N01100000EA0123401300", -16},
      {IgcDeviceVariant::Dsx, "B12000x4730000N01100000EA0123401300", -18},
      {IgcDeviceVariant::Dsx, "B1200604730000N01100000EA0123401300", -19},
      {IgcDeviceVariant::Dsx, "B12x0004730000N01100000EA0123401300", -20},
      {IgcDeviceVariant::Dsx, "B1260004730000N01100000EA0123401300", -21},
      {IgcDeviceVariant::Dsx, "Bx200004730000N01100000EA0123401300", -22},
      {IgcDeviceVariant::Dsx, "B2400004730000N01100000EA0123401300", -23},
      {IgcDeviceVariant::Dsx, "B1200004730000N01100000EA0123401300", -25},
  };
  for (const Case& c : cases) {
    IgcDeviceLineParser parser(c.variant);
    EXPECT_EQ(parser.ParseLine(c.line), c.code) << c.line;
  }
}

// ---- encoder and security record

std::vector<TrackPoint> SamplePoints() {
  std::vector<TrackPoint> points(3);
  const GarminTime start = At(2024, 12, 31, 10, 0, 0);
  for (int i = 0; i < 3; ++i) {
    points[i].time = start + static_cast<GarminTime>(i);
    points[i].latitude = -566613000 + i * 1000;
    points[i].longitude = 131000000 - i * 777;
    points[i].gpsAltitude = 12345;
    points[i].pressureAltitude = 1200;
  }
  points[0].segmentStart = 1;
  points[1].pressureAltitude = -12;
  points[1].gpsAltitude = -50;
  points[1].depth = 400.0f;
  points[2].depth = 10.0f;
  return points;
}

IgcEncodeInput SampleInput(const std::vector<TrackPoint>& points) {
  IgcEncodeInput input;
  input.points = points;
  input.signState = SignState::Downloaded;
  input.pilot = "Jo Pilot";
  input.gliderType = "Wing 3";
  input.loggerSerial = "A1B";
  input.aRecordTail = "Flytec 6030";
  input.downloadTime = GarminTimeToCalendar(At(2025, 1, 2, 3, 4, 5));
  input.wantSecurityRecord = true;
  return input;
}

TEST(IgcEncoder, WritesTheHeaderFixesAndTrailer) {
  const auto points = SamplePoints();
  IgcEncodeInput input = SampleInput(points);
  input.addEnl = true;
  const auto result = EncodeIgc(input);
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->securityRecordIncluded);
  const std::string& t = result->text;
  const std::string expectedStart =
      "AXLWA1B Flytec 6030\r\nHFDTEDATE:311224,01\r\nHFPLTPILOT: Jo Pilot\r\n"
      "HFGTYGLIDERTYPE: Wing 3\r\nHFGIDGLIDERID: \r\nHFDTM100GPSDATUM: WGS-84\r\n"
      "HFCIDCOMPETITIONID: \r\nHFCCLCOMPETITIONCLASS: \r\nHFSITSITE: \r\nI013638ENL\r\n";
  EXPECT_EQ(t.substr(0, expectedStart.size()), expectedStart);
  EXPECT_NE(t.find("B100001" "4729572S" "01058814E" "A-001200000" "999\r\n"), std::string::npos) << t;
  EXPECT_NE(t.find("A0120001235033\r\n"), std::string::npos) << t;
  EXPECT_NE(t.find("LXLW Logwell version 5.07\r\nLXLW Downloaded 2025-01-02  03:04:05\r\nG"),
            std::string::npos);
  EXPECT_EQ(t.substr(t.size() - 19, 1), "G");
}

TEST(IgcEncoder, ReadsBackThroughTheDecoder) {
  const auto points = SamplePoints();
  const auto result = EncodeIgc(SampleInput(points));
  ASSERT_TRUE(result);
  const auto decoded = DecodeIgcText(result->text);
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  ASSERT_EQ(decoded.points.size(), points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(decoded.points[i].time, points[i].time);
    // Thousandths of a minute are 199 semicircles apart.
    EXPECT_NEAR(decoded.points[i].latitude, points[i].latitude, 100);
    EXPECT_NEAR(decoded.points[i].longitude, points[i].longitude, 100);
    EXPECT_EQ(decoded.points[i].pressureAltitude, points[i].pressureAltitude);
  }
  EXPECT_EQ(decoded.points[1].gpsAltitude, 0);
  EXPECT_EQ(decoded.manufacturer, "XLW");
  EXPECT_EQ(decoded.loggerSerial, "A1B");
}

TEST(IgcEncoder, WritesTheTaskAsCRecords) {
  const auto points = SamplePoints();
  TaskDeclaration task;
  task.declarationTime = At(2024, 12, 31, 9, 8, 7);
  task.flightDate = At(2024, 12, 31, 0, 0, 0);
  task.taskNumber = 1;
  task.text = "Task";
  task.points.resize(3);
  task.points[0].latitude = 566613000;
  task.points[0].SetDescription("TAKEOFF");
  task.points[2].longitude = -131000000;
  IgcEncodeInput input = SampleInput(points);
  input.writeTask = true;
  input.task = &task;
  const auto result = EncodeIgc(input);
  ASSERT_TRUE(result);
  EXPECT_NE(result->text.find("HFSITSITE: \r\nC311224090807311224000100Task\r\n"
                              "C4729577N00000000ETAKEOFF\r\nC0000000N00000000E\r\n"
                              "C0000000N01058818W\r\nB"),
            std::string::npos)
      << result->text;
}

TEST(IgcEncoder, SignsOnlyDownloadedLogs) {
  const auto points = SamplePoints();
  IgcEncodeInput input = SampleInput(points);
  input.signState = SignState::NotSignable;
  const auto result = EncodeIgc(input);
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->securityRecordIncluded);
  EXPECT_EQ(CheckSecurityRecord(result->text), SecurityCheckResult::NoSecurityRecord);
}

TEST(IgcSecurity, PassesUntilAnySignedByteChanges) {
  const auto points = SamplePoints();
  const auto result = EncodeIgc(SampleInput(points));
  ASSERT_TRUE(result);
  const std::string& text = result->text;
  EXPECT_EQ(CheckSecurityRecord(text), SecurityCheckResult::Passed);
  // Comment lines are not signed; other lines are.
  std::string withComment = text;
  withComment.insert(withComment.find("HFPLT"), "LPLT comment\r\nHPXXX other header\r\n");
  EXPECT_EQ(CheckSecurityRecord(withComment), SecurityCheckResult::Passed);

  const std::size_t firstFix = text.find("\r\nB") + 2;
  const std::size_t gRecord = text.rfind('G');
  for (std::size_t i = firstFix; i < gRecord; ++i) {
    if (text[i] == '\r' || text[i] == '\n') continue;
    std::string changed = text;
    changed[i] = changed[i] == '0' ? '1' : '0';
    EXPECT_NE(CheckSecurityRecord(changed), SecurityCheckResult::Passed) << i;
  }
  const std::string tail[] = {"LXLW later\r\n", "LPLT later\r\n", "\r\n\r\nx"};
  for (const std::string& extra : tail) {
    EXPECT_EQ(CheckSecurityRecord(text + extra), SecurityCheckResult::Failed) << extra;
  }
  EXPECT_EQ(CheckSecurityRecord(text + "\r\n\n"), SecurityCheckResult::Passed);
  std::string blankBeforeG = text;
  blankBeforeG.insert(gRecord, "\r\n");
  EXPECT_EQ(CheckSecurityRecord(blankBeforeG), SecurityCheckResult::Failed);
  EXPECT_EQ(CheckSecurityRecord(text.substr(0, gRecord + 10)), SecurityCheckResult::Failed);
  EXPECT_EQ(CheckSecurityRecord(""), SecurityCheckResult::NoSecurityRecord);
}

TEST(IgcFileNames, FollowTheNamingRules) {
  const CalendarTime date = GarminTimeToCalendar(At(2024, 12, 31, 10, 0, 0));
  EXPECT_EQ(LongIgcFileName(date, "A1B", 7), "2024-12-31-XLW-A1B-07.igc");
  EXPECT_EQ(ShortIgcFileName(date, "A1B", 10), "4CVXA1BA.igc");
  EXPECT_EQ(ShortIgcFileName(GarminTimeToCalendar(At(2023, 7, 5, 0, 0, 0)), "000", 1),
            "375X0001.igc");
  EXPECT_EQ(RawLongIgcFileName(date, "FLY", "050", 35), "2024-12-31-FLY-050-35.igc");
  EXPECT_EQ(CommandLineIgcFileName(date, 2), "2024-12-31-xlw-000-02.igc");
  EXPECT_EQ(CommandLineRawIgcFileName(date, "050", 3), "2024-12-31-xxx-050-03.igc");
}

}  // namespace
}  // namespace logwell::igc
