#include "base/xml_walker.h"

#include <gtest/gtest.h>

#include <string>

#include "base/xml_text.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\"?>\n";

struct Walked {
  std::string trace;  // "+name depth" for an Open event, "-name depth" for a Close event
  std::string error;
};

Walked Walk(std::string_view text, XmlStructureRules rules = {}) {
  XmlStructureReader reader(text, rules);
  Walked walked;
  if (!reader.Start(walked.error)) return walked;
  XmlElementEvent event;
  while (reader.Next(event, walked.error) && event.kind != XmlElementEvent::Kind::End) {
    if (!walked.trace.empty()) walked.trace += ' ';
    walked.trace += event.kind == XmlElementEvent::Kind::Open ? '+' : '-';
    walked.trace += std::string(event.name) + std::to_string(event.depth);
  }
  return walked;
}

std::string Nested(int levels, std::string_view innermost = "") {
  std::string text(kDeclaration);
  for (int i = 0; i < levels; ++i) text += "<n>";
  text += innermost;
  for (int i = 0; i < levels; ++i) text += "</n>";
  return text;
}

TEST(XmlStructureReader, EventsAndFaults) {
  constexpr XmlStructureRules kStrict{};
  constexpr XmlStructureRules kMixed{.mixedContent = true};
  constexpr XmlStructureRules kSlash{.endTagsWithSlash = true};
  const std::string d(kDeclaration);
  struct Case {
    std::string text;
    XmlStructureRules rules;
    const char* trace;  // nullptr: not compared
    std::string error;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF" + d + "<!-- c -->\n<a><b/><?pi x?><c>x</c></a>\n<!-- after -->\n", kStrict,
       "+a0 +b1 -b1 +c1 -c1 -a0", ""},
      {d + "<?style href=\"a>b\"?><Placemark id=\"a>b\"><name t='>'>x</name></Placemark>", kStrict,
       "+Placemark0 +name1 -name1 -Placemark0", ""},
      {d + "<a><b></a>", kStrict, "+a0 +b1", "Tag <b> is terminated by <a>"},
      {d + "<a><b></a>", kSlash, "+a0 +b1", "Tag <b> is terminated by </a>"},
      {d + "<a></bbbbbbbbbbbbbbbbbbbbbbbbb>", kSlash, "+a0",
       "Tag <a> is terminated by </bbbbbbbbbbbbbbbbbbb...>"},
      {d + "</a>", kStrict, "", "Terminating tag <a> encountered at root level"},
      {d + "</a>", kSlash, "", "Terminating tag </a> encountered at root level"},
      {Nested(19), kStrict, nullptr, ""},
      {Nested(20), kStrict, nullptr, "Nesting limit exceeded at tag <n>"},
      {Nested(19, "<e/>"), kStrict, nullptr, "Nesting limit exceeded at tag <e>"},
      {d + "<a>x<b/></a>", kStrict, "+a0", "Data found before tag <b>"},
      {d + "<a>x<!-- c --><b/></a>", kStrict, "+a0", "Data found before tag <b>"},
      {d + "<a>x<b/>y</a>", kMixed, "+a0 +b1 -b1 -a0", ""},
      {d + "x<a/>", kMixed, "", "Data found before tag <a>"},
      {d + "<a></a>tail", kStrict, "+a0 -a0", "Data found after last tag"},
      {d + "<a>", kStrict, "+a0", "Nesting level not zero at end-of-file"},
      {d + "<a x=\"1>", kStrict, "", "End-of-file encountered within a tag"},
      {"", kStrict, "", "No tags found"},
      {"<a/>", kStrict, "", "Missing opening tag '<?xml>'"},
      {"\xFF\xFE<?xml?><a/>", kStrict, "", "Unknown BOM before opening tag '<?xml>'"},
  };
  for (const Case& c : cases) {
    const Walked walked = Walk(c.text, c.rules);
    EXPECT_EQ(walked.error, c.error) << c.text;
    if (c.trace) {
      EXPECT_EQ(walked.trace, c.trace) << c.text;
    }
  }
}

TEST(XmlStructureReader, HandsOutAttributesContentAndParents) {
  const std::string text = std::string(kDeclaration) +
                           "<r><p id=\"a>b\">\n  x &amp; y <!-- c --></p><q/></r>";
  XmlStructureReader reader(text);
  std::string error;
  ASSERT_TRUE(reader.Start(error));
  XmlElementEvent event;
  ASSERT_TRUE(reader.Next(event, error));  // <r>
  ASSERT_TRUE(reader.Next(event, error));
  EXPECT_EQ(event.kind, XmlElementEvent::Kind::Open);
  EXPECT_EQ(event.attributes, "id=\"a>b\"");
  EXPECT_EQ(FindXmlAttribute(event.attributes, "id"), "a>b");
  EXPECT_EQ(event.parent, "r");
  ASSERT_TRUE(reader.Next(event, error));
  EXPECT_EQ(event.kind, XmlElementEvent::Kind::Close);
  EXPECT_EQ(event.content, "x &amp; y ");  // carried over the comment, references as written
  EXPECT_EQ(DecodeXmlText(event.content), "x & y");
  EXPECT_EQ(event.parent, "r");
  ASSERT_TRUE(reader.Next(event, error));  // <q/> opens and closes inside r
  EXPECT_EQ(event.parent, "r");
  EXPECT_EQ(reader.OpenElements(), std::vector<std::string_view>{"r"});
}

TEST(ReportingXmlReader, ShowsTheFirstFaultOnceWithTheCaption) {
  const std::string text = std::string(kDeclaration) + "<a><b></a><c>";
  testing::ScriptedUi ui;
  ReportingXmlReader reader(text, ui, "Parsing file");
  int events = 0;
  while (reader.Next()) ++events;
  EXPECT_EQ(events, 2);
  EXPECT_TRUE(reader.Failed());
  EXPECT_FALSE(reader.Next());
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text, "Tag <b> is terminated by <a>");
  EXPECT_EQ(ui.Boxes()[0].caption, "Parsing file");

  testing::ScriptedUi quiet;
  const std::string cleanText = std::string(kDeclaration) + "<a/>";
  ReportingXmlReader clean(cleanText, quiet, "Parsing file");
  while (clean.Next()) {
  }
  EXPECT_FALSE(clean.Failed());
  EXPECT_TRUE(quiet.Events().empty());
}

TEST(XmlText, DecodesReferencesAndKeepsWhatIsNone) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"a &amp; b", "a & b"},
      {"&lt;&gt;&quot;&apos;", "<>\"'"},
      {"&#65;&#x42;&#X43;&#00000068;", "ABCD"},
      {"&#233;&#x20AC;&#x1F600;", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"&#0;&#xD800;&#x110000;&#xFFFE;", "&#0;&#xD800;&#x110000;&#xFFFE;"},  // no characters
      {"&nbsp; & &amp &#; &#x; &#12a; &#000000065;", "&nbsp; & &amp &#; &#x; &#12a; &#000000065;"},
      {"&&amp;;", "&&;"},
  };
  for (const auto& [text, decoded] : cases) EXPECT_EQ(DecodeXmlEntities(text), decoded) << text;
  EXPECT_EQ(DecodeXmlText(" a&#10;&#9;b  "), "a b");
}

TEST(XmlText, EscapesWhatTextAndAttributesMayNotHold) {
  EXPECT_EQ(EscapeXml("a<b>&\"c'", XmlQuotes::Kept), "a&lt;b&gt;&amp;\"c'");
  EXPECT_EQ(EscapeXml("a<b>&\"c'", XmlQuotes::Escaped), "a&lt;b&gt;&amp;&quot;c'");
  const std::string_view mixed = "5 < 6 & \"x\" > 'y' &amp; \xC3\xA9";
  EXPECT_EQ(DecodeXmlEntities(EscapeXml(mixed, XmlQuotes::Escaped)), mixed);
}

}  // namespace
}  // namespace logwell
