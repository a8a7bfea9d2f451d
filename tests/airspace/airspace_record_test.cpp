#include "airspace/airspace_record.h"

#include <gtest/gtest.h>

namespace logwell {
namespace {

TEST(HeightText, UnitsAndStoredText) {
  struct Case {
    std::string_view text;
    HeightKind kind;
    double metres;
    std::string_view stored;
  };
  const Case cases[] = {
      {"3500ft", HeightKind::Ceiling, 1066.8, "3500 ft"},
      {"3500ft MSL", HeightKind::Ceiling, 1066.8, "3500 ft MSL"},
      {"2500 FT", HeightKind::Ceiling, 762.0, "2500 ft"},
      {"FL95", HeightKind::Ceiling, 2895.6, "FL95"},
      {"fl 65", HeightKind::Ceiling, 1981.2, "fl 65"},
      {"UNL", HeightKind::Ceiling, 100000.0, "UNL"},
      {"UNLIMITED", HeightKind::Ceiling, 100000.0, "UNLIMITED"},
      {"GND", HeightKind::Floor, 0.0, "GND"},
      {"SFC", HeightKind::Floor, 0.0, "SFC"},
      {"", HeightKind::Floor, 0.0, ""},
      {"1000 MSL", HeightKind::Floor, 304.8, "1000 MSL"},
      {"1500m", HeightKind::Ceiling, 1500.0, "1500 m"},
      {"1500 M", HeightKind::Ceiling, 1500.0, "1500 m"},
      {"100m GND", HeightKind::Floor, 100.0, "100 m GND"},
      {"1500AGL", HeightKind::Floor, 457.2, "1500 AGL"},
      {"3500ftx", HeightKind::Floor, 1066.8, "3500 ftx"},
      {"2900AMSL FT", HeightKind::Floor, 883.92, "2900 AMSL FT"},
      {"5000 STD", HeightKind::Ceiling, 1524.0, "5000 STD"},
      {"0", HeightKind::Floor, 0.0, "0"},
      {"  1,5 km", HeightKind::Floor, 0.4572, "1,5 km"},
  };
  for (const Case& c : cases) {
    const auto height = ReadHeightText(c.text, c.kind);
    ASSERT_TRUE(height) << c.text;
    EXPECT_NEAR(height->metres, c.metres, 1e-9) << c.text;
    EXPECT_EQ(height->storedText, c.stored) << c.text;
  }
  for (std::string_view bad : {"3500ft/", "3500ft.", "1500m/", "F95", "FL", "FL9x", "FLX", "100.5.5"}) {
    EXPECT_FALSE(ReadHeightText(bad, HeightKind::Ceiling)) << bad;
  }
  // The stored text keeps its limit after a space is put in.
  const auto longest = ReadHeightText("1" + std::string(47, '0') + "ft", HeightKind::Ceiling);
  ASSERT_FALSE(longest) << "more than 9 digits is no height";
  const auto wide = ReadHeightText("1000ft " + std::string(50, 'x'), HeightKind::Ceiling);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->storedText.size(), AirspaceRecord::kMaxHeightTextLength);
}

TEST(AirspaceRecord, ClassCodesAndTextLimits) {
  const std::pair<std::string_view, int> codes[] = {
      {"A", 0}, {"b", 1}, {"C", 2}, {"D", 3}, {"E", 4}, {"P", 5}, {"Q", 6}, {"R", 7},
      {"W", 8}, {"CTR", 9}, {"ctz", 10}, {"GP", 11}, {"G", 12}, {"RMZ", 12}, {"", 12}};
  for (const auto& [text, code] : codes) EXPECT_EQ(AirspaceClassCode(text), code) << text;
  EXPECT_EQ(AirspaceClassName(12), "?");

  AirspaceRecord record;
  record.SetClass("RESTRICTED AREA");
  EXPECT_EQ(record.classText, "RESTRICTED");
  // A UTF-8 name is never cut inside a character; a Latin-1 one is cut at 50 bytes.
  record.SetName(std::string(49, 'x') + "\xC3\xA4");
  EXPECT_EQ(record.name, std::string(49, 'x'));
  record.SetName(std::string(49, 'x') + "\xE4\xE4");
  EXPECT_EQ(record.name, std::string(49, 'x') + "\xE4");
}

}  // namespace
}  // namespace logwell
