#include "waypoints/waypoint_text.h"

#include <gtest/gtest.h>

namespace logwell {
namespace {

struct IdCase {
  const char* input;
  std::optional<std::string> strict;
  std::optional<std::string> fixing;
  std::optional<std::string> edit;
};

TEST(IdentifierSanitisers, StrictFixingAndEditRules) {
  const IdCase cases[] = {
      {"ABC", "ABC", "ABC", "ABC"},
      {"  AB-12 ", "AB-12", "AB-12", "AB-12"},
      {"abc", std::nullopt, "ABC", "ABC"},
      {"ABCDEFGH", std::nullopt, "ABCDEF", std::nullopt},
      {"A_B.C", std::nullopt, "A-B-C", std::nullopt},
      {"ABC DEF", std::nullopt, "ABC", std::nullopt},
      {"   ", std::nullopt, std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt, std::nullopt},
      {"\xE9t\xE9", std::nullopt, "-T-", std::nullopt},
  };
  for (const IdCase& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(SanitiseImportId(c.input, false), c.strict);
    EXPECT_EQ(SanitiseImportId(c.input, true), c.fixing);
    EXPECT_EQ(SanitiseEditId(c.input), c.edit);
  }
}

TEST(IdentifierSanitisers, PlainReaderIdKeepsOtherCharacters) {
  EXPECT_EQ(PlainReaderId("ab_c.d ef"), "AB_C.D");
  EXPECT_EQ(PlainReaderId("abcdefgh"), "ABCDEF");
  EXPECT_EQ(PlainReaderId("x y"), "X");
}

TEST(DescriptionSanitiser, ReplacesAndCuts) {
  EXPECT_EQ(SanitiseDescription("  Caf\xE9 du lac.  "), "Caf- du lac-");
  EXPECT_EQ(SanitiseDescription("under_score-dash"), "under-score-dash");
  EXPECT_EQ(SanitiseDescription("trailing   "), "trailing");
  EXPECT_EQ(SanitiseDescription(std::string(50, 'x')), std::string(40, 'x'));
  // Trailing spaces are cut after the 40-character limit is applied.
  EXPECT_EQ(SanitiseDescription(std::string(39, 'x') + "  yy"), std::string(39, 'x'));
}

TEST(LineSplitter, RunsOfLineEndsEndOneLine) {
  const auto lines = SplitLines("a\r\n\r\n  b\rc\n\0ignored");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].number, 2);
  EXPECT_EQ(lines[1].text, "b");
  EXPECT_EQ(lines[2].text, "c");
}

TEST(NumberScanners, DecimalMarksSignsAndRounding) {
  EXPECT_EQ(ParseWholeDecimal(" 12.5 "), 12.5);
  EXPECT_EQ(ParseWholeDecimal("12,5", true), 12.5);
  EXPECT_EQ(ParseWholeDecimal("12,5"), std::nullopt);
  EXPECT_EQ(ParseWholeDecimal("+3"), 3.0);
  EXPECT_EQ(ParseWholeDecimal("-"), std::nullopt);
  EXPECT_EQ(ParseWholeInteger("99999999999"), std::nullopt);
  EXPECT_EQ(RoundHalfAway(-2.5), -3);
  EXPECT_EQ(RoundHalfAway(1e30), 2147483647);
  EXPECT_EQ(AddHalfTruncate(365.76), 366);
}

TEST(IsoTime, ParsesWithAndWithoutZoneAndRefusesGarbage) {
  CalendarTime t{2023, 7, 0, 14, 10, 20, 30};
  const GarminTime expected = CalendarToGarminTime(t);
  EXPECT_EQ(ParseIsoTime("2023-07-14T10:20:30Z"), expected);
  EXPECT_EQ(ParseIsoTime("2023-07-14T10:20:30"), expected);
  EXPECT_EQ(ParseIsoTime("2023-07-14T10:20:30.250Z"), expected);
  EXPECT_EQ(ParseIsoTime("1989-12-31T00:00:00Z"), 0u);
  // A zone offset moves the time to UTC.
  EXPECT_EQ(ParseIsoTime("2023-07-14T12:20:30+02:00"), expected);
  EXPECT_EQ(ParseIsoTime("2023-07-14T05:20:30.5-05:00"), expected);
  for (const char* bad : {"", "2023-07-14", "2023-13-01T00:00:00", "1970-01-01T00:00:00Z",
                          "2023-07-14T10:20:30+2", "1989-12-31T00:00:00+01:00",
                          "x023-07-14T10:20:30"}) {
    EXPECT_EQ(ParseIsoTime(bad), kInvalidGarminTime1) << bad;
  }
}

}  // namespace
}  // namespace logwell
