#include "base/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace logwell {
namespace {

TEST(Trim, TakesOffOnlyTheNamedCharacters) {
  struct Case {
    std::string_view text;
    std::string_view blanks;
    std::string_view leading, trailing, both;
  };
  const Case cases[] = {
      {"", kSpaces, "", "", ""},
      {"   ", kSpaces, "", "", ""},
      {" \t a b \t ", kSpaces, "\t a b \t ", " \t a b \t", "\t a b \t"},
      {" \t a b \t ", kSpacesAndTabs, "a b \t ", " \t a b", "a b"},
      {"\r\n x \r\n", kSpacesAndTabs, "\r\n x \r\n", "\r\n x \r\n", "\r\n x \r\n"},
      {"\r\n x \r\n", kBlanksAndLineEnds, "x \r\n", "\r\n x", "x"},
      {"\v\f x\t\v", kWhiteSpace, "x\t\v", "\v\f x", "x"},
      {"x", kWhiteSpace, "x", "x", "x"},
      // A NUL is text, not a blank.
      {std::string_view(" \0 ", 3), kWhiteSpace, std::string_view("\0 ", 2),
       std::string_view(" \0", 2), std::string_view("\0", 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(TrimLeading(c.text, c.blanks), c.leading);
    EXPECT_EQ(TrimTrailing(c.text, c.blanks), c.trailing);
    EXPECT_EQ(Trim(c.text, c.blanks), c.both);
    EXPECT_EQ(IsBlank(c.text, c.blanks), c.both.empty());
  }
}

TEST(Trim, ReturnsAViewIntoTheText) {
  const std::string text = "  word  ";
  const std::string_view trimmed = Trim(text, kSpaces);
  EXPECT_EQ(trimmed.data(), text.data() + 2);
  EXPECT_EQ(StripUtf8Bom("\xEF\xBB\xBFx"), "x");
  EXPECT_EQ(StripUtf8Bom("\xEF\xBB"), "\xEF\xBB");
  EXPECT_EQ(StripUtf8Bom("x\xEF\xBB\xBF"), "x\xEF\xBB\xBF");
}

TEST(Cut, BytesCharactersAndTexts) {
  const std::string utf8 = "ab\xC3\xA9" "c";  // "abéc": é is two bytes
  const std::string latin1 = "ab\xE9\xA9" "c";
  struct Case {
    std::string_view text;
    std::size_t limit;
    std::string_view bytes, utf8, text_;
  };
  const Case cases[] = {
      {utf8, 10, utf8, utf8, utf8},
      {utf8, 4, "ab\xC3\xA9", "ab\xC3\xA9", "ab\xC3\xA9"},
      {utf8, 3, "ab\xC3", "ab", "ab"},  // inside é
      {utf8, 0, "", "", ""},
      // Not UTF-8: CutText cuts at the byte; CutUtf8 still steps back over 0x80-0xBF bytes.
      {latin1, 3, "ab\xE9", "ab", "ab\xE9"},
      {std::string_view("a\0bc", 4), 3, std::string_view("a\0b", 3), std::string_view("a\0b", 3), "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)) + " at " + std::to_string(c.limit));
    EXPECT_EQ(CutBytes(c.text, c.limit), c.bytes);
    EXPECT_EQ(CutUtf8(c.text, c.limit), c.utf8);
    EXPECT_EQ(CutText(c.text, c.limit), c.text_);
  }
}

TEST(Case, OnlyAsciiLettersChange) {
  const std::string mixed = "aZ09-\xC3\xA4\xE4_z";
  EXPECT_EQ(UpperCase(mixed), "AZ09-\xC3\xA4\xE4_Z");
  EXPECT_EQ(LowerCase(mixed), "az09-\xC3\xA4\xE4_z");
  EXPECT_TRUE(EqualsIgnoringCase("Com", "COM"));
  EXPECT_TRUE(EqualsIgnoringCase("", ""));
  EXPECT_FALSE(EqualsIgnoringCase("COM", "COM1"));
  EXPECT_FALSE(EqualsIgnoringCase("\xE4", "\xC4"));  // Latin-1 a-umlaut is no ASCII letter
  EXPECT_TRUE(StartsWithIgnoringCase("Airfield 3", "AIRFIELD"));
  EXPECT_FALSE(StartsWithIgnoringCase("Air", "AIRFIELD"));
}

// Text from a server or a file on its way to a terminal or a name: no escape sequences, no line
// breaks; letters of any script stay.
TEST(ControlCharacters, FoundAndDropped) {
  EXPECT_FALSE(HasControlCharacter("Zoë Ñandú 😀"));
  for (const char* text : {"a\rb", "a\nb", "\x1B[2J", "tab\t", "del\x7F"}) {
    EXPECT_TRUE(HasControlCharacter(text)) << text;
  }
  EXPECT_EQ(WithoutControlCharacters("Jane\x1B]0;owned\x07 Doe\r\n"), "Jane]0;owned Doe");
  EXPECT_EQ(WithoutControlCharacters("a\xC2\x9B" "31mb Zoë"), "a31mb Zoë");  // C1 CSI
  EXPECT_EQ(WithoutControlCharacters("\xC2\xA0\xC2"), "\xC2\xA0\xC2");         // NBSP, cut text
}

}  // namespace
}  // namespace logwell
