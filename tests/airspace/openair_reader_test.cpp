#include "airspace/openair_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

struct Parsed {
  OpenAirParse result;
  std::vector<UiEvent> boxes;
};

Parsed Read(std::string_view text, AirspaceSettings settings = {}) {
  ScriptedUi ui;
  Parsed parsed{ReadOpenAirText(text, ui, settings), {}};
  parsed.boxes = ui.Boxes();
  return parsed;
}

constexpr std::string_view kCircle = "V X=47:00:00 N 008:00:00 E\nDC 2\n";

TEST(OpenAirReader, TheFirstOfAcOrAnOpensEveryRecord) {
  // AC first: each AC starts an airspace, AN only names it.
  const auto acFirst = Read(
      "* comment\nAC R\nAN One\nAH 3500ft\nAL GND\nDP 47:00:00 N 008:00:00 E\n"
      "AC Q\nAN Two\nAN Two renamed\nDP 47:00:00 N 008:00:00 E\n");
  ASSERT_FALSE(acFirst.result.error) << *acFirst.result.error;
  ASSERT_EQ(acFirst.result.records.size(), 2u);
  EXPECT_EQ(acFirst.result.records[0].name, "One");
  EXPECT_EQ(acFirst.result.records[0].classText, "R");
  EXPECT_EQ(acFirst.result.records[0].classCode, 7);
  EXPECT_EQ(acFirst.result.records[0].firstLine, 2);
  EXPECT_EQ(acFirst.result.records[1].name, "Two renamed");
  EXPECT_EQ(acFirst.result.records[1].firstLine, 7);

  // The same lines with AN first: every AN starts one, so "Two" has no segments.
  const auto anFirst = Read("AN One\nAC R\nDP 47:00:00 N 008:00:00 E\nAN Two\nAC Q\nAN Three\n");
  EXPECT_EQ(anFirst.result.error, "No segments in airspace (line 4)");
  EXPECT_EQ(anFirst.boxes, std::vector<UiEvent>{}) << "errors are returned, not shown";
}

TEST(OpenAirReader, RecordFieldsAndLimits) {
  const std::string longName(60, 'N');
  const auto parsed = Read("AC ctr\nAN " + longName + "   \nAH " + std::string(60, 'U') +
                           "\nAL 1000 MSL\n" + std::string(kCircle));
  ASSERT_EQ(parsed.result.records.size(), 1u) << parsed.result.error.value_or("");
  const AirspaceRecord& record = parsed.result.records[0];
  EXPECT_EQ(record.name, std::string(50, 'N'));
  EXPECT_EQ(record.classCode, 9) << "class texts compare without regard to case";
  EXPECT_EQ(record.warningDistance, 200);
  EXPECT_EQ(record.ceilingText, std::string(49, 'U'));
  EXPECT_EQ(record.ceiling, 100000.0);
  EXPECT_EQ(record.floorText, "1000 MSL");
  EXPECT_DOUBLE_EQ(record.floor, 304.8);
  ASSERT_EQ(record.segments.size(), 1u);
  EXPECT_EQ(record.segments[0].kind, SegmentKind::Circle);
  EXPECT_EQ(record.segments[0].radius, 3704u);
  EXPECT_DOUBLE_EQ(record.segments[0].position.latitude, 47.0);
}

TEST(OpenAirReader, ArcsAndCentreState) {
  const auto parsed = Read(
      "AC D\nAN Arcs\nV X=47:00:00 N 008:00:00 E\nV D=-\n"
      "DB 47:10:00 N 008:00:00 E, 47:00:00 N 008:10:00 E\n"
      "DB 46:50:00 N 008:00:00 E , 47:00:00 N 007:50:00 E\n"
      "V D=+\nDA 2 km, 90, 180.5\nDP 47:01:00 N 008:01:00 E\n");
  ASSERT_FALSE(parsed.result.error) << *parsed.result.error;
  const auto& segments = parsed.result.records.at(0).segments;
  ASSERT_EQ(segments.size(), 4u);
  EXPECT_EQ(segments[0].kind, SegmentKind::ArcByPoints);
  EXPECT_EQ(segments[0].direction, '-');
  EXPECT_DOUBLE_EQ(segments[0].from.latitude, 47.0 + 10.0 / 60.0);
  EXPECT_EQ(segments[1].direction, '-') << "two DB lines share one centre and direction";
  EXPECT_EQ(segments[2].kind, SegmentKind::ArcByAngles);
  EXPECT_EQ(segments[2].direction, '+');
  EXPECT_EQ(segments[2].radius, 2000u);
  EXPECT_DOUBLE_EQ(segments[2].endAngle, 180.5);
  EXPECT_EQ(segments[3].kind, SegmentKind::Point);
}

TEST(OpenAirReader, PositionForms) {
  struct Case {
    std::string_view text;
    double latitude;
    double longitude;
  };
  const Case cases[] = {
      {"47:30:36 N 008:15:00 E", 47.51, 8.25},
      {"47:30:36.0N 8:15:00E", 47.51, 8.25},
      {"47:30.6 n 008:15.0 e", 47.51, 8.25},
      {"47.51 S   8,25 W *comment", -47.51, -8.25},
      {"90:00:00 N 180:00:00 W", 90.0, -180.0},
  };
  for (const Case& c : cases) {
    const auto position = ReadOpenAirPosition(c.text);
    ASSERT_TRUE(position) << c.text;
    EXPECT_NEAR(position->latitude, c.latitude, 1e-12) << c.text;
    EXPECT_NEAR(position->longitude, c.longitude, 1e-12) << c.text;
  }
  for (std::string_view bad : {"91:00:00 N 008:00:00 E", "90:30 N 008:00:00 E",
                               "47:61:00 N 008:00:00 E", "47:00:00 E 008:00:00 N",
                               "47:00:00N008:00:00E", "47:00:00 N 181:00:00 E",
                               "47:00:00 N 008:00:00 E x", "47:00:00 N", "N 8 E", ""}) {
    EXPECT_FALSE(ReadOpenAirPosition(bad)) << bad;
  }
}

TEST(OpenAirReader, Radii) {
  EXPECT_EQ(ReadOpenAirRadius("2"), 3704u);  // 2 x 1852.185 = 3704.37
  EXPECT_EQ(ReadOpenAirRadius("2 km"), 2000u);
  EXPECT_EQ(ReadOpenAirRadius("2KM *c"), 2000u);
  EXPECT_EQ(ReadOpenAirRadius("0,5"), 926u);
  EXPECT_EQ(ReadOpenAirRadius("10000"), 18521850u);
  for (std::string_view bad : {"0", "0.0002", "10001", "-1", "2 nm", "2 Km", "", "km"}) {
    EXPECT_FALSE(ReadOpenAirRadius(bad)) << bad;
  }
}

TEST(OpenAirReader, MessagesNameTheirLine) {
  struct Case {
    std::string text;
    std::string_view message;
  };
  const std::string head = "AC R\nAN Test\n";  // lines 1 and 2
  const Case cases[] = {
      {head + "V X=47:00:00 N 008:00:00 E\nV X=47:00:00 N 008:00:00 E\nDC 1\n", "Multiple V record types"},
      {head + "V X=47:00:00 N 008:00:00 E\nDP 47:00:00 N 008:00:00 E\n", "Expected a DB or DC record (line 4)"},
      {head + "V X=47:00:00 N 008:00:00 E\nDB 47:10:00 N 008:00:00 E, 47:00:00 N 008:10:00 E\n"
              "DB 47:00:00 N 008:10:00 E, 46:50:00 N 008:00:00 E\nDC 1\n",
       "Missing centre for DC record (line 6)"},
      {head + "DC 1\n", "Missing centre for DC record (line 3)"},
      {head + "DB 47:10:00 N 008:00:00 E, 47:00:00 N 008:10:00 E\n", "Missing centre for DB record (line 3)"},
      {head + "DA 1, 0, 90\n", "Missing centre for DB record (line 3)"},
      {head + "V X=47:00:00 N 008:00:00 E\nDC 0\n", "Bad radius format on line 4"},
      {head + "V X=47:00:00 N 008:00:00 E\nDC 10001\n", "Bad radius format on line 4"},
      {head + "V X=47:00:00 N 008:00:00 E\nDB 47:10:00 N 008:00:00 E 47:00:00 N 008:10:00 E\n",
       "Bad arc position format on line 4"},
      {head + "V X=47:00:00 N 008:00:00 E\nDA 1, 0, 361\n", "Bad arc position format on line 4"},
      {head + "DP 47:00:00 N 008:00:00\n", "Bad position format on line 3"},
      {head + "V X=47 N\n", "Bad position format on line 3"},
      {head + "V Y=1\n", "Bad variable assignment format on line 3"},
      {head + "V X=\n", "Bad variable assignment format on line 3"},
      {head + "V D=*\n", "Bad direction format on line 3"},
      {head + "V D=+-\n", "Bad direction format on line 3"},
      {head + "AH 3500ft/\n", "Bad ceiling format (line 3)"},
      {head + "AL FOO\n", "Bad remark format (line 3)"},
      {head + "AQ CTR\n", "Unknown record type on line 3"},
      {head + "an lower case\n", "Unknown record type on line 3"},
      {head + "V X=47:00:00 N 008:00:00 E\n", "Missing DB or DC segment (line 3)"},
      {head, "No segments in airspace (line 1)"},
      {"AC R\n" + std::string(kCircle) + "AC R\nAN Other\n" + std::string(kCircle), "Missing airspace name"},
      {"AC R\nAN\n", "Missing airspace name"},
      {"DP 47:00:00 N 008:00:00 E\nAN X\n", "Missing AN or AC record before line 1"},
      // CR LF, CR alone and blank lines: only LF counts lines.
      {"AC R\r\n\r\nAN Test\r\n  DQ\r\n", "Unknown record type on line 4"},
      {"AC R\rAN Test\rDQ\r", "Unknown record type on line 1"},
  };
  for (const Case& c : cases) {
    const auto parsed = Read(c.text);
    EXPECT_EQ(parsed.result.error.value_or("(no error)"), c.message) << c.text;
    EXPECT_TRUE(parsed.result.records.empty()) << "an error discards every record";
  }
}

TEST(OpenAirReader, ParseShowsTheErrorInABox) {
  ScriptedUi ui;
  AirspaceSettings settings;
  EXPECT_FALSE(ParseOpenAir("AC R\nAN Test\nXX\n", ui, settings));
  EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{
                            {UiEventKind::Error, "Parsing CTR buffer", "Unknown record type on line 3"}}));
}

TEST(OpenAirReader, IgnoredRecordsCommentsAndByteOrderMark) {
  const auto parsed = Read(
      "\xEF\xBB\xBF* header\n  AC R  \nAN Test\nAT 47:00:00 N 008:00:00 E\nTO x\nTC y\nSB 1,2,3\nSP 0,1\n"
      "V W=2\nV Z=100\nV T=5\n  * indented comment\n" + std::string(kCircle));
  ASSERT_FALSE(parsed.result.error) << *parsed.result.error;
  ASSERT_EQ(parsed.result.records.size(), 1u);
  EXPECT_EQ(parsed.result.records[0].classText, "R");
}

// A Ui that ticks "&Skip further notifications" in every notice.
class TickingUi final : public Ui {
 public:
  void ShowErrorBox(std::string_view text, std::string_view caption) override { inner.ShowErrorBox(text, caption); }
  void ShowInfoBox(std::string_view text, std::string_view caption) override { inner.ShowInfoBox(text, caption); }
  Answer AskOkCancel(std::string_view t, std::string_view c, Answer a) override { return inner.AskOkCancel(t, c, a); }
  Answer AskYesNo(std::string_view t, std::string_view c, Answer a) override { return inner.AskYesNo(t, c, a); }
  Answer AskYesNoCancel(std::string_view t, std::string_view c, Answer a) override {
    return inner.AskYesNoCancel(t, c, a);
  }
  bool ShowSkippableNotice(std::string_view text, std::string_view caption) override {
    inner.ShowInfoBox(text, caption);
    return true;
  }
  void ShowStatus(std::string_view text) override { inner.ShowStatus(text); }
  void ShowProduct(std::string_view text) override { inner.ShowProduct(text); }
  std::optional<std::vector<int>> ChooseFromList(const ListChoice& choice) override {
    return inner.ChooseFromList(choice);
  }
  NewTrackLogChoice AskNewTrackLog(const NewTrackLogForm& form) override { return inner.AskNewTrackLog(form); }
  ScriptedUi inner;
};

constexpr std::string_view kTwoAirways =
    "AC R\nAN Kept\n" "V X=47:00:00 N 008:00:00 E\nDC 2\n"
    "AC A\nAN Airway 1\nDP 47:00:00 N 008:00:00 E\nDY 47:10:00 N 008:00:00 E\nV X=1:00:00 N 1:00:00 E\n"
    "AC A\nAN Airway 2\nDY 47:10:00 N 008:00:00 E\nDP 47:00:00 N 008:00:00 E\n"
    "AC R\nAN Also kept\nDP 47:00:00 N 008:00:00 E\n";

TEST(OpenAirReader, AirwaysAreDroppedWithANotice) {
  ScriptedUi ui;
  AirspaceSettings settings;
  const OpenAirParse parsed = ReadOpenAirText(kTwoAirways, ui, settings);
  ASSERT_FALSE(parsed.error) << *parsed.error;
  ASSERT_EQ(parsed.records.size(), 2u);
  EXPECT_EQ(parsed.records[0].name, "Kept");
  EXPECT_EQ(parsed.records[1].name, "Also kept");
  EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{
                            {UiEventKind::Info, "CTR error notification", "CTR at line 5:  DY record (not implemented)"},
                            {UiEventKind::Info, "CTR error notification", "CTR at line 10:  DY record (not implemented)"}}));

  // A tick in the first notice silences the rest, for this text and later ones.
  TickingUi ticking;
  AirspaceSettings ticked;
  EXPECT_EQ(ReadOpenAirText(kTwoAirways, ticking, ticked).records.size(), 2u);
  EXPECT_TRUE(ticked.skipAirwayNotifications);
  EXPECT_EQ(ticking.inner.Boxes().size(), 1u);
  EXPECT_EQ(ReadOpenAirText(kTwoAirways, ticking, ticked).records.size(), 2u);
  EXPECT_EQ(ticking.inner.Boxes().size(), 1u);
}

}  // namespace
}  // namespace logwell
