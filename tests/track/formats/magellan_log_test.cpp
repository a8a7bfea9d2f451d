#include "track/formats/magellan_log.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/scripted_ui.h"
#include "track/formats/format_text.h"

namespace logwell {
namespace {

using testing::ScriptedUi;

std::string Sentence(std::string_view body) {
  unsigned sum = 0;
  for (const char c : body) sum ^= static_cast<unsigned char>(c);
  char checksum[4];
  std::snprintf(checksum, sizeof checksum, "%02X", sum);
  return "$" + std::string(body) + "*" + checksum + "\r\n";
}

TEST(MagellanLog, CenturyWindowSlidesWithTheReferenceYear) {
  EXPECT_EQ(MagellanFullYear(98, 2026), 1998);
  EXPECT_EQ(MagellanFullYear(0, 2026), 2000);
  EXPECT_EQ(MagellanFullYear(46, 2026), 2046);
  EXPECT_EQ(MagellanFullYear(47, 2026), 1947);
  EXPECT_EQ(MagellanFullYear(98, 2001), 1998);
  EXPECT_EQ(MagellanFullYear(98, 2080), 2098);
}

TEST(MagellanLog, ReadsPositionsAltitudeUnitsAndRounding) {
  const std::string text = "$PMGNFMT,%TRK,LAT,HEMI,LON,HEMI,ALT,UNIT,TIME,VALID,NAME,%META,ASCII\n" +
                           Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,032908.38,A,,070898") +
                           Sentence("PMGNTRK,4231.829,S,08807.303,E,-0100,F,235959.50,A,,311299") +
                           Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,032910.00,V,,070800") +
                           Sentence("PMGNTRK,0000.000,N,00000.000,E,00000,M,000000.00,A,,010100") +
                           Sentence("PMGNCMD,END") + "garbage\n";
  ScriptedUi ui;
  const auto read = ReadMagellanLog(text, ui, 2026);
  ASSERT_TRUE(read) << ui.Boxes().front().text;
  ASSERT_EQ(read->points.size(), 3u);
  const TrackPoint& first = read->points[0];
  EXPECT_EQ(first.segmentStart, 1u);
  EXPECT_NEAR(formats::SemicirclesToDegrees(first.latitude), 42.0 + 31.829 / 60, 1e-7);
  EXPECT_NEAR(formats::SemicirclesToDegrees(first.longitude), -(88.0 + 7.303 / 60), 1e-7);
  EXPECT_EQ(first.gpsAltitude, 2100);
  EXPECT_EQ(first.time, CalendarToGarminTime({1998, 8, 0, 7, 3, 29, 8, 0}));
  const TrackPoint& second = read->points[1];
  EXPECT_EQ(second.segmentStart, 0u);
  EXPECT_LT(second.latitude, 0);
  EXPECT_EQ(second.gpsAltitude, -304);  // -100 ft: -304.8 + 0.5, truncated
  EXPECT_EQ(second.time, CalendarToGarminTime({2000, 1, 0, 1, 0, 0, 0, 0}));  // .50 rounds up
  EXPECT_EQ(read->points[2].time, CalendarToGarminTime({2000, 1, 0, 1, 0, 0, 0, 0}));
}

TEST(MagellanLog, AnyOtherLineIsABadLine) {
  const std::string good = Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,032908.38,A,,070898");
  const std::string cases[] = {
      "$PMGNTRK,4231.829,N,08807.303,W,00210,M,032908.38,A,,070898*00\r\n",
      Sentence("PMGNWPL,4231.829,N,08807.303,W,00210,M,032908.38,A,,070898"),
      Sentence("PMGNTRK,9031.829,N,08807.303,W,00210,M,032908.38,A,,070898"),
      Sentence("PMGNTRK,4260.000,N,08807.303,W,00210,M,032908.38,A,,070898"),
      Sentence("PMGNTRK,4231.829,N,18007.303,W,00210,M,032908.38,A,,070898"),
      Sentence("PMGNTRK,4231.829,X,08807.303,W,00210,M,032908.38,A,,070898"),
      Sentence("PMGNTRK,4231.829,N,08807.303,W,002.5,M,032908.38,A,,070898"),
      Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,K,032908.38,A,,070898"),
      Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,246008.38,A,,070898"),
      Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,032908.38,A,,320898"),
      Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,032908.38,A,,0708980"),
      Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,032908.38,A,,301289"),  // 1989-12-30
      Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,032908.38,A,070898"),
  };
  for (const std::string& bad : cases) {
    ScriptedUi ui;
    EXPECT_FALSE(ReadMagellanLog(good + bad, ui, 2026)) << bad;
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].text, "Bad line 2") << bad;
    EXPECT_EQ(ui.Boxes()[0].caption, "Decoding track log file");
  }
}

TEST(MagellanLog, AnEmptyLineEndsTheLog) {
  const std::string good = Sentence("PMGNTRK,4231.829,N,08807.303,W,00210,M,032908.38,A,,070898");
  ScriptedUi ui;
  const auto read = ReadMagellanLog(good + "\n" + "rubbish\n", ui, 2026);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->points.size(), 1u);
}

}  // namespace
}  // namespace logwell
