#include "base/xml_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixtures.h"

namespace logwell {
namespace {

struct Step {
  XmlScanResult result;
  std::string name, attributes, content;
  bool operator==(const Step&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Step& s) {
  return out << static_cast<int>(s.result) << " <" << s.name << "> [" << s.attributes << "] {"
             << s.content << "}";
}

std::vector<Step> ScanAll(std::string_view text) {
  XmlTagScanner scanner(text);
  std::vector<Step> steps;
  while (true) {
    const XmlTag tag = scanner.Next();
    steps.push_back({tag.result, std::string(tag.name), std::string(tag.attributes), std::string(tag.content)});
    if (tag.result == XmlScanResult::EndOfText || tag.result == XmlScanResult::UnterminatedTag) break;
  }
  return steps;
}

constexpr auto kTag = XmlScanResult::Tag;
constexpr auto kEmpty = XmlScanResult::EmptyElement;
constexpr auto kEnd = XmlScanResult::EndOfText;
constexpr auto kCut = XmlScanResult::UnterminatedTag;

TEST(XmlTagScanner, ReturnsEachTagWithTheContentBeforeIt) {
  const std::string_view kml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
      "<!-- written by a <b>tool</b> -- with dashes -->\n"
      "<Placemark id='p1'>\n"
      "  <name>  Start\n   point  </name>\n"
      "  <description><![CDATA[<b>5 km</b> & up]]>ignored</description>\n"
      "  <Point/><open\tvalue=\"1\" />\n"
      "  <coordinates>7.1,46.2,1200 7.2,46.3,1300</coordinates>\n"
      "</Placemark></kml>\n  trailing text \n";
  const std::vector<Step> expected = {
      {kTag, "?xml", "version=\"1.0\" encoding=\"UTF-8\"?", ""},
      {kTag, "kml", "xmlns=\"http://www.opengis.net/kml/2.2\"", ""},
      {kTag, "!--", "", ""},
      {kTag, "Placemark", "id='p1'", ""},
      {kTag, "name", "", ""},
      {kTag, "/name", "", "Start\n   point  "},
      {kTag, "description", "", ""},
      {kTag, "/description", "", "<b>5 km</b> & up"},
      {kEmpty, "Point", "", ""},
      {kEmpty, "open", "value=\"1\" ", ""},
      {kTag, "coordinates", "", ""},
      {kTag, "/coordinates", "", "7.1,46.2,1200 7.2,46.3,1300"},
      {kTag, "/Placemark", "", ""},
      {kTag, "/kml", "", ""},
      {kEnd, "", "", "trailing text \n"},
  };
  EXPECT_EQ(ScanAll(kml), expected);
}

TEST(XmlTagScanner, StopsAtTheEndAndAtUnterminatedTags) {
  struct Case {
    const char* text;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"", {{kEnd, "", "", ""}}},
      {" \r\n\t", {{kEnd, "", "", ""}}},
      {"<a>text", {{kTag, "a", "", ""}, {kEnd, "", "", "text"}}},
      {"<a>text<b", {{kTag, "a", "", ""}, {kCut, "", "", "text"}}},
      {"<a><!-- never closed ->", {{kTag, "a", "", ""}, {kCut, "", "", ""}}},
      {"<a><![CDATA[never closed]>", {{kTag, "a", "", ""}, {kCut, "", "", ""}}},
      {"<a><![CDATA[x]]>", {{kTag, "a", "", ""}, {kEnd, "", "", "x"}}},
      {"<>< />", {{kTag, "", "", ""}, {kEmpty, "", "", ""}, {kEnd, "", "", ""}}},
      {"<a x=\"never closed>", {{kCut, "", "", ""}}},
      {"<?pi never closed>", {{kCut, "", "", ""}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanAll(c.text), c.steps) << c.text;
  }
  XmlTagScanner scanner("<a");
  EXPECT_EQ(scanner.Next().result, kCut);
  EXPECT_EQ(scanner.Next().result, kEnd);
}

// A ">" ends a start tag only outside its quoted attribute values, and a processing instruction
// only at "?>"; end tags and "<!" declarations end at the first ">".
TEST(XmlTagScanner, ReadsGreaterThanSignsInsideQuotesAsText) {
  struct Case {
    const char* text;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"<Placemark id=\"a>b\">", {{kTag, "Placemark", "id=\"a>b\"", ""}, {kEnd, "", "", ""}}},
      {"<a x = '>' y=\"'>'\"/>t", {{kEmpty, "a", "x = '>' y=\"'>'\"", ""}, {kEnd, "", "", "t"}}},
      {"<a x=\"/\">", {{kTag, "a", "x=\"/\"", ""}, {kEnd, "", "", ""}}},
      {"<a title\"x>y\">", {{kTag, "a", "title\"x", ""}, {kEnd, "", "", "y\">"}}},  // no "=": no value
      {"<a x=y>z\">", {{kTag, "a", "x=y", ""}, {kEnd, "", "", "z\">"}}},  // unquoted: no value
      {"<?pi a>b?><r/>", {{kTag, "?pi", "a>b?", ""}, {kEmpty, "r", "", ""}, {kEnd, "", "", ""}}},
      {"<?xml?>", {{kTag, "?xml?", "", ""}, {kEnd, "", "", ""}}},
      {"</a x='>'>", {{kTag, "/a", "x='", ""}, {kEnd, "", "", "'>"}}},
      {"<!DOCTYPE a 'b>c'>", {{kTag, "!DOCTYPE", "a 'b", ""}, {kEnd, "", "", "c'>"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanAll(c.text), c.steps) << c.text;
  }
  EXPECT_EQ(FindXmlAttribute("id=\"a>b\"", "id"), "a>b");
}

TEST(XmlAttributes, FindsWholeNamesInEitherQuotes) {
  const std::string_view attributes =
      "gid=\"9\" name='Take off' data-id=\"id='3'\" id = \"42\" flag lat=46.5 empty=\"\"";
  EXPECT_EQ(FindXmlAttribute(attributes, "id"), "42");
  EXPECT_EQ(FindXmlAttribute(attributes, "gid"), "9");
  EXPECT_EQ(FindXmlAttribute(attributes, "name"), "Take off");
  EXPECT_EQ(FindXmlAttribute(attributes, "data-id"), "id='3'");
  EXPECT_EQ(FindXmlAttribute(attributes, "empty"), "");
  EXPECT_EQ(FindXmlAttribute(attributes, "flag"), std::nullopt);
  EXPECT_EQ(FindXmlAttribute(attributes, "lat"), std::nullopt);  // no quotes, no value
  EXPECT_EQ(FindXmlAttribute(attributes, "Name"), std::nullopt);
  EXPECT_EQ(FindXmlAttribute("a=\"never closed", "a"), std::nullopt);

  const std::string longValue(100, 'v');
  const std::string withLong = "x=\"" + longValue + "\"";
  EXPECT_EQ(FindXmlAttribute(withLong, "x"), longValue.substr(0, 79));
}

TEST(XmlAttributes, ReadsIntegers) {
  struct Case {
    const char* attributes;
    XmlNumberStatus status;
    std::int32_t value;
  };
  const Case cases[] = {
      {"n=\"42\"", XmlNumberStatus::Ok, 42},
      {"n=\"-7\"", XmlNumberStatus::Ok, -7},
      {"n=\"+7\"", XmlNumberStatus::Ok, 7},
      {"n=\" 12px\"", XmlNumberStatus::Ok, 12},
      {"n=\"2147483647\"", XmlNumberStatus::Ok, 2147483647},
      {"n=\"2147483648\"", XmlNumberStatus::NotANumber, 0},
      {"n=\"\"", XmlNumberStatus::NotANumber, 0},
      {"n=\"abc\"", XmlNumberStatus::NotANumber, 0},
      {"n=\"+-1\"", XmlNumberStatus::NotANumber, 0},
      {"m=\"1\"", XmlNumberStatus::Absent, 0},
  };
  for (const auto& c : cases) {
    const XmlIntAttribute result = FindXmlIntAttribute(c.attributes, "n");
    EXPECT_EQ(result.status, c.status) << c.attributes;
    EXPECT_EQ(result.value, c.value) << c.attributes;
  }
}

TEST(XmlWhiteSpace, FoldsRunsAndTrimsBothEnds) {
  const std::pair<std::string, std::string> cases[] = {
      {"  Start\r\n\t point  ", "Start point"},
      {"a", "a"},
      {"a  b\tc\n", "a b c"},
      {" \r\n\t ", ""},
      {"", ""},
  };
  for (auto [text, expected] : cases) {
    EXPECT_EQ(NormaliseXmlWhiteSpace(text), expected.size());
    EXPECT_EQ(text, expected);
  }
}

// Every KML and GPX file of the real collection scans to its end, and sees each track point.
TEST(XmlTagScanner, ScansRealKmlAndGpxFiles) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  int files = 0;
  for (const char* folder : {"tracks", "waypoints", "logger"}) {
    for (const auto& entry : std::filesystem::directory_iterator(fixtures / folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension != ".kml" && extension != ".gpx") continue;
      ++files;
      const std::string text = testing::ReadWholeFile(entry.path());
      XmlTagScanner scanner(text);
      std::size_t trackPoints = 0, tags = 0;
      XmlTag tag;
      while ((tag = scanner.Next()).result == kTag || tag.result == kEmpty) {
        ++tags;
        if (tag.name == "trkpt") {
          ++trackPoints;
          EXPECT_TRUE(FindXmlAttribute(tag.attributes, "lat").has_value()) << entry.path();
        }
      }
      EXPECT_EQ(tag.result, kEnd) << entry.path();
      EXPECT_GT(tags, 0u) << entry.path();
      std::size_t expectedPoints = 0;
      for (std::size_t at = text.find("<trkpt"); at != std::string::npos; at = text.find("<trkpt", at + 1)) {
        if (at + 6 < text.size() && (text[at + 6] == ' ' || text[at + 6] == '>')) ++expectedPoints;
      }
      EXPECT_EQ(trackPoints, expectedPoints) << entry.path();
    }
  }
  EXPECT_GE(files, 5);
}

}  // namespace
}  // namespace logwell
