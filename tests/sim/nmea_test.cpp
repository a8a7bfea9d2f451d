#include "access/nmea.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace logwell {
namespace {

std::vector<char> Chars(std::string_view text) { return {text.begin(), text.end()}; }

TEST(NmeaChecksum, AppendsUpperCaseDigitsAndLineEnd) {
  EXPECT_EQ(AppendNmeaChecksum("$GPRMC,235946.005,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N"),
            "$GPRMC,235946.005,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*47\r\n");
  EXPECT_EQ(AppendNmeaChecksum("$PBRSNP,"), "$PBRSNP,*21\r\n");
  EXPECT_EQ(AppendNmeaChecksum("$"), "$*00\r\n");
}

struct ParseCase {
  const char* line;
  int expected;  // fields recorded, or -1
};

TEST(ParseNmeaSentence, ChecksRulesAndCountsFields) {
  const ParseCase cases[] = {
      {"$GPRMC,235946.005,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*47", 13},
      {"$GPRMC,235946.005,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*47\r\n", 13},
      {"$GPRMC,235946.005,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*48", -1},
      {"$PBRSNP,*21", 2},
      {"$PBRSNP,*2a", -1},   // wrong value
      {"$PBRSNP,*22", -1},   // wrong value
      {"$PBRSNP,*2", -1},    // only one character after "*"
      {"$PBRSNP,*", -1},     // nothing after "*"
      {"$PBRSNP,*G1", -1},   // not hexadecimal
      {"$PBRSNP,A,B", 3},    // no "*": taken unchecked
      {"$", 1},
      {"", 1},
  };
  for (const ParseCase& c : cases) {
    std::vector<char> line = Chars(c.line);
    std::array<std::size_t, 16> offsets{};
    EXPECT_EQ(ParseNmeaSentence(line, offsets), c.expected) << c.line;
  }
}

TEST(ParseNmeaSentence, AcceptsLowerCaseDigits) {
  std::vector<char> line = Chars("$GPGSA,A,3,,,,,,,,,,,,,1.0,1.0,1.0*30");
  const std::uint8_t sum = NmeaChecksum("$GPGSA,A,3,,,,,,,,,,,,,1.0,1.0,1.0");
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02x", sum);
  line[line.size() - 2] = digits[0];
  line[line.size() - 1] = digits[1];
  std::array<std::size_t, 32> offsets{};
  EXPECT_EQ(ParseNmeaSentence(line, offsets), 18);
}

TEST(ParseNmeaSentence, SplitsInPlaceAndStopsRecordingWhenFull) {
  std::vector<char> line = Chars("$PFLX,one,,three,four*00");
  std::uint8_t sum = NmeaChecksum("$PFLX,one,,three,four");
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", sum);
  line[line.size() - 2] = digits[0];
  line[line.size() - 1] = digits[1];

  std::array<std::size_t, 3> offsets{};
  ASSERT_EQ(ParseNmeaSentence(line, offsets), 3);
  EXPECT_EQ(NmeaField(line, offsets[0]), "$PFLX");
  EXPECT_EQ(NmeaField(line, offsets[1]), "one");
  EXPECT_EQ(NmeaField(line, offsets[2]), "");
  // The fields not recorded are still cut off, and so is the checksum.
  const std::string_view all(line.data(), line.size());
  EXPECT_EQ(all.find(','), std::string_view::npos);
  EXPECT_EQ(all.find('*'), std::string_view::npos);
  EXPECT_EQ(NmeaField(line, offsets[2] + 1), "three");

  std::vector<char> none = Chars("$A,B");
  EXPECT_EQ(ParseNmeaSentence(none, std::span<std::size_t>{}), 0);
}

TEST(NmeaLineAssembler, SkipsNoiseAndEndsAtLineFeed) {
  NmeaLineAssembler assembler;
  std::vector<std::string> lines;
  const std::string stream = std::string("\xFF\x00junk$GPA,1*00\r\n$PART", 21) + "$GPB,2\n" +
                             std::string(NmeaLineAssembler::kMaxLength + 10, 'x') + "\n$C\r\n";
  for (char c : stream) {
    if (assembler.Feed(static_cast<std::uint8_t>(c))) lines.push_back(assembler.Line());
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"$GPA,1*00", "$GPB,2", "$C"}));
}

TEST(NmeaLineAssembler, DropsOverlongLine) {
  NmeaLineAssembler assembler;
  int complete = 0;
  const std::string stream = "$" + std::string(NmeaLineAssembler::kMaxLength + 10, 'x') + "\n";
  for (char c : stream) complete += assembler.Feed(static_cast<std::uint8_t>(c)) ? 1 : 0;
  EXPECT_EQ(complete, 0);
}

// Instruments that end their text at the CR and count "$" inside a line as text: a cut line still
// ends at its line feed, and only a "$" after the CR starts over.
TEST(NmeaLineAssembler, CarriageReturnFramingCutsOverlongLines) {
  NmeaLineAssembler assembler(8, NmeaLineAssembler::Framing::DollarToCarriageReturn,
                              NmeaLineAssembler::Overlong::Cut);
  struct Case {
    std::string stream;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"x$A,1*00\r\n$B\n", {"$A,1*00", "$B"}},
      {"$A$B\r\n", {"$A$B"}},                      // "$" inside is text
      {"$A\rjunk\r\n$B\r\n", {"$A", "$B"}},         // bytes after the CR skipped
      {"$A\r$B\r\n", {"$B"}},                      // "$" after the CR starts over
      {"$123456789\r\n$C\r\n", {"$1234567", "$C"}},  // cut to eight characters
  };
  for (const Case& c : cases) {
    assembler.Reset();
    std::vector<std::string> lines;
    for (char ch : c.stream) {
      if (assembler.Feed(static_cast<std::uint8_t>(ch))) lines.push_back(assembler.Line());
    }
    EXPECT_EQ(lines, c.lines) << c.stream;
  }
}

TEST(NmeaChecksumMatches, TwoHexDigitsOfTheBody) {
  EXPECT_TRUE(NmeaChecksumMatches("$PBRSNP,", "21"));
  EXPECT_TRUE(NmeaChecksumMatches("PBRSNP,", "21"));  // the "$" is optional
  EXPECT_TRUE(NmeaChecksumMatches("$J", "4A"));
  EXPECT_TRUE(NmeaChecksumMatches("$J", "4a"));
  for (const char* digits : {"22", "2", "210", "", "G1"}) {
    EXPECT_FALSE(NmeaChecksumMatches("$PBRSNP,", digits)) << digits;
  }
}

TEST(SplitNmeaSentence, FieldsOrNoneOnABadChecksum) {
  std::string good = "$PBRSNP,COMPEO,JANE,12*39";
  std::string bad = "$PBRSNP,COMPEO,JANE,12*38";
  EXPECT_EQ(SplitNmeaSentence(good, 3), (std::vector<std::string_view>{"$PBRSNP", "COMPEO", "JANE"}));
  EXPECT_TRUE(SplitNmeaSentence(bad, 10).empty());
}

// Every sentence of a real instrument capture checks out and splits.
TEST(ParseNmeaSentence, RealCaptureParses) {
  LOGWELL_REQUIRE_FIXTURES(dir);
  std::istringstream capture(testing::ReadWholeFile(dir / "logger" / "mtk-3301.log"));
  std::string text;
  int sentences = 0;
  while (std::getline(capture, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text.front() != '$') continue;
    std::vector<char> line = Chars(text);
    std::array<std::size_t, 40> offsets{};
    EXPECT_GE(ParseNmeaSentence(line, offsets), 1) << text;
    ++sentences;
  }
  EXPECT_EQ(sentences, 59);
}

}  // namespace
}  // namespace logwell
