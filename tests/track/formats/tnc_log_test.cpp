#include "track/formats/tnc_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "geo/units.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/formats/track_file_types.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEventKind;

// The header and point line published with the protocol's description (an XC Trainer).
constexpr std::string_view kPublishedHeader = "@xc24051C0F05070428111536011E6D011**7D";
constexpr std::string_view kPublishedPoint = "002D002D0312909F0514D302870C";

TEST(TncLog, PublishedLinesDecode) {
  TncHeader header;
  ASSERT_EQ(ParseTncHeader(kPublishedHeader, header), TncLineError::None);
  EXPECT_EQ(header.instrument, TncInstrument::XcTrainer);
  EXPECT_EQ(header.version, 0x2405);
  EXPECT_EQ(header.serial, 0x1C0F);
  EXPECT_EQ(header.flight, 5);
  EXPECT_EQ(header.count, 0x1E6D);
  EXPECT_EQ(header.interval, 1);
  EXPECT_EQ(header.heightKind, '1');
  const CalendarTime start = GarminTimeToCalendar(header.start);
  EXPECT_EQ((std::array{start.year, start.month, start.day, start.hour, start.minute, start.second}),
            (std::array{2007, 4, 28, 11, 15, 36}));

  TncPoint point;
  ASSERT_EQ(ParseTncPoint(kPublishedPoint, 45, point), TncLineError::None);
  const TrackPoint p = TncTrackPoint(header, point);
  EXPECT_EQ(p.time, header.start + 45);
  EXPECT_NEAR(SemicirclesToDegrees(p.latitude), 50.694625, 1e-6);
  EXPECT_NEAR(SemicirclesToDegrees(p.longitude), 13.875458, 1e-6);
  EXPECT_EQ(p.gpsAltitude, 6470);
  EXPECT_EQ(TncTrackPoint(header, point, 7200).time, header.start + 45 + 7200);
}

TEST(TncLog, LinesRefusedWithTheirReason) {
  struct Case {
    std::string_view line;
    TncLineError error;
  };
  const Case headers[] = {
      {"@xc24051C0F05070428111536011E6D011**7", TncLineError::Length},
      {"@gx24051C0F05070428111536011E6D011**7D", TncLineError::Instrument},
      {"@xc2405-C0F05070428111536011E6D011**7D", TncLineError::Digit},
      {"@xc24051C0F05070428111536011E6D011--7D", TncLineError::Digit},
      {"@xc24051C0F05070231111536011E6D011**7D", TncLineError::DateTime},  // 31 February
      {"@xc24051C0F05070428251536011E6D011**7D", TncLineError::DateTime},
      {"@xc24051C0F05070428111536021E6D011**7D", TncLineError::Datum},
      {"@xc24051C0F05070428111536011E6D013**7D", TncLineError::HeightKind},
  };
  for (const Case& c : headers) {
    TncHeader header;
    EXPECT_EQ(ParseTncHeader(c.line, header), c.error) << c.line;
  }
  const Case points[] = {
      {"002D002D0312909F0514D30287", TncLineError::Length},
      {"002D002D0312909F0514D302870D", TncLineError::ControlCode},
      {"002D002D0312909G0514D302870C", TncLineError::Digit},
      {"002E002D0312909F0514D302870D", TncLineError::Sequence},
  };
  for (const Case& c : points) {
    TncPoint point;
    EXPECT_EQ(ParseTncPoint(c.line, 45, point), c.error) << c.line;
  }
  // Unknown flag bits and positions beyond the poles, written with a right control code.
  TncPoint odd{0, 0, 0x04, 0, 0, 0};
  TncPoint point;
  EXPECT_EQ(ParseTncPoint(FormatTncPoint(odd).substr(0, kTncPointLength), 0, point), TncLineError::Flags);
  odd.flags = 1;
  odd.latitude = 91 * 24000;
  EXPECT_EQ(ParseTncPoint(FormatTncPoint(odd).substr(0, kTncPointLength), 0, point), TncLineError::Range);
}

TEST(TncLog, WrittenLinesReadBackSouthWestAndBelowSeaLevel) {
  TncHeader header;
  header.instrument = TncInstrument::TopNavigator;
  header.start = CalendarToGarminTime({.year = 2024, .month = 2, .day = 29, .hour = 23, .minute = 59, .second = 58});
  header.count = 1;
  header.serial = 4711;
  const std::string headerLine = FormatTncHeader(header);
  TncHeader back;
  ASSERT_EQ(ParseTncHeader(std::string_view(headerLine).substr(0, kTncHeaderLength), back), TncLineError::None);
  EXPECT_EQ(back.start, header.start);
  EXPECT_EQ(back.instrument, TncInstrument::TopNavigator);
  EXPECT_EQ(back.serial, 4711);

  TrackPoint p;
  p.time = header.start + 3;
  p.latitude = DegreesToSemicircles(-33.9);
  p.longitude = DegreesToSemicircles(-70.25);
  p.gpsAltitude = -120;
  const std::string line = FormatTncPoint(TncPointFor(p, header.start, 0));
  TncPoint decoded;
  ASSERT_EQ(ParseTncPoint(std::string_view(line).substr(0, kTncPointLength), 0, decoded), TncLineError::None);
  const TrackPoint q = TncTrackPoint(back, decoded);
  EXPECT_EQ(q.time, p.time);
  EXPECT_NEAR(SemicirclesToDegrees(q.latitude), -33.9, 1e-4);
  EXPECT_NEAR(SemicirclesToDegrees(q.longitude), -70.25, 1e-4);
  EXPECT_EQ(q.gpsAltitude, -120);
}

std::string Log(int announced, int written) {
  TncHeader header;
  header.start = CalendarToGarminTime({.year = 2026, .month = 7, .day = 4, .hour = 10, .minute = 0, .second = 0});
  header.count = announced;
  std::string text = FormatTncHeader(header);
  for (int i = 0; i < written; ++i) {
    TncPoint point{i, i * 2, 0x03, 46 * 24000 + i, 8 * 24000 - i, 1500 + i};
    text += FormatTncPoint(point);
  }
  return text;
}

TEST(TncLog, FileReaderMessages) {
  std::string badPoint = Log(3, 3);
  badPoint[38 + 2 + 30 + 27] ^= 1;  // the control code of the second point line
  std::string badHeader = Log(3, 3);
  badHeader[26] = '2';  // datum 02
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"", "Missing start record"},
      {"0000000003B2F8000000000000\r\n", "Missing start record"},
      {badHeader, "Error 6 on line 1"},
      {Log(3, 2), "Missing end-of-file record"},
      {badPoint, "Error 3 on block line 2"},
      {Log(3, 3) + "\r\n" + Log(1, 1), "Error 11 on line 6"},
  };
  for (const auto& c : cases) {
    ScriptedUi ui;
    EXPECT_FALSE(ReadTncLog(c.text, ui)) << c.message;
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].text, c.message);
    EXPECT_EQ(ui.Boxes()[0].caption, "Decoding track log file");
    EXPECT_EQ(ui.StatusTexts().front(), "Reading Top Navigator Log File");
  }
  ScriptedUi ui;
  const auto read = ReadTncLog(Log(3, 3) + "\n", ui);
  ASSERT_TRUE(read);
  ASSERT_EQ(read->points.size(), 3u);
  EXPECT_EQ(read->timeIsUtc, 0);
  EXPECT_EQ(read->points[0].segmentStart, 1u);
  EXPECT_EQ(read->points[2].time - read->points[0].time, 4u);
  EXPECT_EQ(read->points[2].gpsAltitude, 15020);
}

TEST(TncLog, RawSaveWritesTheLogAsReceived) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("logwell_tnc_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string raw = Log(2, 2);
  ScriptedUi ui;
  TrackSaveOptions options;
  options.rawTopNavLog = raw;
  EXPECT_EQ(SaveTrackLogFile(dir / "a.tnc", TrackFileCode::TopNavigator, {}, ui, options), 2);
  EXPECT_EQ(testing::ReadWholeFile(dir / "a.tnc"), raw);
  EXPECT_EQ(ui.StatusTexts().back(), "2 positions written");

  ScriptedUi none;
  EXPECT_LT(SaveTrackLogFile(dir / "b.tnc", TrackFileCode::TopNavigator, {}, none, {}), 0);
  ASSERT_EQ(none.Boxes().size(), 1u);
  EXPECT_EQ(none.Boxes()[0].text, "No TopNav log downloaded");
  EXPECT_FALSE(std::filesystem::exists(dir / "b.tnc"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace logwell
