// The OpenAir files of other public projects: each is read, or refused at the line that holds
// a record this program does not take; the ones read survive writing and reading again.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "airspace/airspace_points.h"
#include "airspace/openair_reader.h"
#include "airspace/openair_writer.h"
#include "geo/distance.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

struct RealFile {
  const char* name;
  const char* opener;     // the keyword that opens each airspace in this file
  const char* refusal;    // the message when the file is refused, or nullptr
};

// The Slovenian and the synthetic test file use records of the extended OpenAir dialect (AY
// type, AF frequency, AG call sign, AA activation, AR radio).
constexpr RealFile kFiles[] = {
    {"AirspaceAus-DAA.txt", "AC", nullptr},
    {"Germany.txt", "AC", nullptr},
    {"LK8000_DEMO.txt", "AC", nullptr},
    {"Switzerland.txt", "AC", nullptr},
    {"si_asp_230525.openair", "AC", nullptr},
    {"xcsoar_openair.txt", "AC", nullptr},
};

// Lines whose first word (after spaces) is the opener keyword.
std::size_t CountOpeners(const std::string& text, const std::string& opener) {
  const std::regex line("(^|[\r\n])[ \t]*" + opener + " ");
  return static_cast<std::size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), line),
                                                std::sregex_iterator()));
}

AirspaceList SelectAll(AirspaceList records) {
  for (AirspaceRecord& record : records) record.selected = 1;
  return records;
}

void ExpectSameRecords(const AirspaceList& read, const AirspaceList& again, const char* file) {
  // Positions come back rounded to the second of arc they were written with.
  constexpr double kHalfSecond = 0.5 / 3600.0 + 1e-9;
  auto near = [&](DegreePosition a, DegreePosition b) {
    return std::fabs(a.latitude - b.latitude) <= kHalfSecond &&
           std::fabs(a.longitude - b.longitude) <= kHalfSecond;
  };
  ASSERT_EQ(read.size(), again.size()) << file;
  for (std::size_t i = 0; i < read.size(); ++i) {
    const AirspaceRecord& a = read[i];
    const AirspaceRecord& b = again[i];
    ASSERT_EQ(a.name, b.name) << file;
    EXPECT_EQ(a.classText, b.classText) << a.name;
    EXPECT_EQ(a.ceilingText, b.ceilingText) << a.name;
    EXPECT_EQ(a.floorText, b.floorText) << a.name;
    EXPECT_EQ(a.ceiling, b.ceiling) << a.name;
    EXPECT_EQ(a.floor, b.floor) << a.name;
    ASSERT_EQ(a.segments.size(), b.segments.size()) << a.name;
    for (std::size_t k = 0; k < a.segments.size(); ++k) {
      const AirspaceSegment& s = a.segments[k];
      const AirspaceSegment& t = b.segments[k];
      EXPECT_EQ(s.kind, t.kind) << a.name;
      EXPECT_TRUE(near(s.position, t.position)) << a.name << " segment " << k;
      EXPECT_EQ(s.radius, t.radius) << a.name;
      if (s.kind == SegmentKind::ArcByPoints) {
        EXPECT_EQ(s.direction, t.direction) << a.name;
        EXPECT_TRUE(near(s.from, t.from) && near(s.to, t.to)) << a.name << " segment " << k;
      }
    }
  }
}

TEST(RealAirspaceFiles, ReadOrRefusedAndRoundTrip) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  for (const RealFile& file : kFiles) {
    SCOPED_TRACE(file.name);
    const std::string text = testing::ReadWholeFile(fixtures / "airspace" / file.name);
    testing::ScriptedUi ui;
    AirspaceSettings settings;
    OpenAirParse parsed = ReadOpenAirText(text, ui, settings);
    if (file.refusal) {
      EXPECT_EQ(parsed.error.value_or("(read)"), file.refusal);
      continue;
    }
    ASSERT_FALSE(parsed.error) << *parsed.error;
    EXPECT_EQ(parsed.records.size(), CountOpeners(text, file.opener));
    EXPECT_TRUE(ui.Boxes().empty());

    const AirspaceList records = SelectAll(std::move(parsed.records));
    const std::string written = MakeOpenAirText(records, OpenAirArcs::Keep, 10);
    OpenAirParse again = ReadOpenAirText(written, ui, settings);
    ASSERT_FALSE(again.error) << *again.error;
    ExpectSameRecords(records, again.records, file.name);
    // Written once more, the text no longer changes.
    EXPECT_EQ(MakeOpenAirText(SelectAll(std::move(again.records)), OpenAirArcs::Keep, 10), written);
  }
}

// The extended dialect's type stands in for a class AC leaves unknown ("AC UNC" with "AY R");
// a known ICAO class stays ("AC D" with "AY TMA"); frequency and station lines are passed over.
TEST(RealAirspaceFiles, ExtendedDialectTypes) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const std::string text = testing::ReadWholeFile(fixtures / "airspace" / "si_asp_230525.openair");
  testing::ScriptedUi ui;
  AirspaceSettings settings;
  const OpenAirParse parsed = ReadOpenAirText(text, ui, settings);
  ASSERT_FALSE(parsed.error) << *parsed.error;
  ASSERT_EQ(parsed.records.size(), 58u);
  const AirspaceRecord& first = parsed.records.front();
  EXPECT_EQ(first.name, "DOLSKO 1 TMA (1/4)");
  EXPECT_EQ(first.classText, "D");
  std::size_t restricted = 0;
  std::size_t unknown = 0;
  for (const AirspaceRecord& record : parsed.records) {
    if (record.name.starts_with("LJR")) {
      EXPECT_EQ(record.classText, "R") << record.name;
      ++restricted;
    }
    if (record.classCode == kOtherAirspaceClass) ++unknown;
  }
  EXPECT_EQ(restricted, 6u);
  // "AC UNC" with a type this program has no class for (TMZ, MTA, ...) stays unknown.
  EXPECT_GT(unknown, 0u);
}

// Every ring of a national file lies at its radius, measured on the ellipsoid, within the
// segment accuracy.
TEST(RealAirspaceFiles, GermanCirclesLieAtTheirRadius) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const std::string text = testing::ReadWholeFile(fixtures / "airspace" / "Germany.txt");
  testing::ScriptedUi ui;
  AirspaceSettings settings;
  const OpenAirParse parsed = ReadOpenAirText(text, ui, settings);
  ASSERT_FALSE(parsed.error);
  constexpr std::uint32_t kAccuracy = 10;
  std::size_t circles = 0;
  double worst = 0.0;
  for (std::size_t i = 0; i < parsed.records.size(); ++i) {
    const AirspaceRecord& record = parsed.records[i];
    const auto points = AirspaceToPoints(record, i, kAccuracy, 0);
    ASSERT_FALSE(points.empty()) << record.name;
    if (!IsCircleRecord(record)) continue;
    ++circles;
    const AirspaceSegment& circle = record.segments.front();
    const GeoPoint centre{DegreesToRadians(circle.position.latitude),
                          DegreesToRadians(circle.position.longitude)};
    EXPECT_EQ(points.size(), CircleStepCount(circle.radius, kAccuracy) + 1);
    for (const Waypoint& point : points) {
      const auto distance = EllipsoidDistance(centre, ToGeoPoint({point.latitude, point.longitude}));
      ASSERT_TRUE(distance);
      worst = std::max(worst, std::fabs(*distance - circle.radius));
      EXPECT_NEAR(*distance, circle.radius, kAccuracy) << record.name;
    }
  }
  EXPECT_EQ(circles, 126u);
  RecordProperty("worst_radius_error_m", std::to_string(worst));
  std::printf("German circles: %zu, worst radius error %.2f m\n", circles, worst);
}

}  // namespace
}  // namespace logwell
