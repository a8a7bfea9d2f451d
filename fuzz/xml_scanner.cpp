// Scans any bytes as XML: every tag, its attributes and its content, as the KML and GPX readers
// do, and checks that the scanner always advances and ends. Then walks the element structure and
// takes expat as a second opinion.
//
// The comparison. When expat finds the input a well-formed document, the walker must agree with
// it, unless the input is outside what the walker reads on purpose:
//  - it must begin, after an optional UTF-8 byte-order mark, with the XML declaration ("<?xml"
//    and white space): expat also reads documents without one, the walker refuses them unless
//    its rules make the declaration optional (compared with those rules whatever the start);
//  - it must have no document type declaration: its internal subset may hold ">" and define
//    entities, and the walker reads neither.
// Expat is told the text is UTF-8 whatever its declaration says (as the walker takes the bytes),
// so element names compare byte for byte. Inside those limits the walker may still refuse
// exactly at the start tag where a limit of its own applies, having reported every event before
// it as expat did:
//  - "Nesting limit exceeded at tag <name>" at the first element 20 levels deep;
//  - "Data found before tag <name>" (without mixed content only) at a start tag inside an
//    element that text, a character reference or a CDATA section precedes.
// Otherwise it must accept the document and report the same Open and Close events, names and
// depths, as expat's start and end handlers. And every attribute expat reports must be found in
// the element's attribute text with the same value once references are decoded and white space
// is made spaces; values of 79 bytes or more (which the lookup cuts) and values holding a
// carriage return (which XML turns into a line feed before that) are not compared.
#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/xml_scanner.h"
#include "base/xml_text.h"
#include "base/xml_walker.h"

namespace {

using logwell::XmlElementEvent;
using logwell::XmlStructureReader;
using logwell::XmlStructureRules;

constexpr bool IsXmlSpace(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

void CheckScanner(std::string_view text) {
  logwell::XmlTagScanner scanner(text);
  std::size_t lastPosition = 0;
  for (std::size_t calls = 0;; ++calls) {
    const logwell::XmlTag tag = scanner.Next();
    // Each tag takes at least "<>", so a scanner that loops has gone wrong.
    if (calls > text.size() / 2 + 1 || scanner.Position() > text.size()) std::abort();
    for (const char* name : {"lat", "lon", "id", "version"}) {
      (void)logwell::FindXmlAttribute(tag.attributes, name);
      (void)logwell::FindXmlIntAttribute(tag.attributes, name);
    }
    std::string content(tag.content);
    if (logwell::NormaliseXmlWhiteSpace(content) != content.size()) std::abort();
    (void)logwell::DecodeXmlText(tag.content);
    if (tag.result == logwell::XmlScanResult::EndOfText ||
        tag.result == logwell::XmlScanResult::UnterminatedTag) {
      break;
    }
    if (scanner.Position() <= lastPosition && calls > 0) std::abort();
    lastPosition = scanner.Position();
  }
}

struct Element {
  bool open = false;
  std::string name;
  std::size_t depth = 0;
  bool textBefore = false;                                 // Open: text since the last tag
  std::vector<std::pair<std::string, std::string>> attributes;  // Open: as expat reports them
  bool operator==(const Element& other) const {
    return open == other.open && name == other.name && depth == other.depth;
  }
};

struct ExpatDocument {
  XML_Parser parser = nullptr;
  std::string_view input;
  std::vector<Element> events;
  std::size_t depth = 0;
  bool textSinceTag = false;
  bool doctype = false;
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto& document = *static_cast<ExpatDocument*>(data);
  Element element{true, name, document.depth, document.textSinceTag, {}};
  for (const XML_Char** a = attributes; *a != nullptr; a += 2) {
    element.attributes.emplace_back(a[0], a[1]);
  }
  document.events.push_back(std::move(element));
  ++document.depth;
  document.textSinceTag = false;
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto& document = *static_cast<ExpatDocument*>(data);
  --document.depth;
  document.events.push_back({false, name, document.depth, false, {}});
  document.textSinceTag = false;
}

// Judged on the bytes as written: a reference to a white-space character is text to the scanner.
void XMLCALL OnText(void* data, const XML_Char*, int) {
  auto& document = *static_cast<ExpatDocument*>(data);
  const XML_Index at = XML_GetCurrentByteIndex(document.parser);
  const int count = XML_GetCurrentByteCount(document.parser);
  if (at < 0 || count <= 0) {
    document.textSinceTag = true;  // no position: assume the worst
    return;
  }
  const std::string_view raw =
      document.input.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
  if (!std::all_of(raw.begin(), raw.end(), IsXmlSpace)) document.textSinceTag = true;
}

void XMLCALL OnCdata(void* data) { static_cast<ExpatDocument*>(data)->textSinceTag = true; }

void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  static_cast<ExpatDocument*>(data)->doctype = true;
}

struct ParserFree {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// The document as expat reads it; nothing when it is not well-formed.
std::optional<ExpatDocument> ParseWithExpat(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate("UTF-8"));
  if (!parser) return std::nullopt;
  ExpatDocument document;
  document.parser = parser.get();
  document.input = text;
  XML_SetUserData(parser.get(), &document);
  XML_SetElementHandler(parser.get(), OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser.get(), OnText);
  XML_SetStartCdataSectionHandler(parser.get(), OnCdata);
  XML_SetStartDoctypeDeclHandler(parser.get(), OnDoctype);
  if (XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK) {
    return std::nullopt;
  }
  document.parser = nullptr;
  return document;
}

bool StartsWithDeclaration(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  return text.size() > 5 && text.starts_with("<?xml") && IsXmlSpace(text[5]);
}

std::string SpacesForWhiteSpace(std::string text) {
  std::replace_if(text.begin(), text.end(), IsXmlSpace, ' ');
  return text;
}

void CheckAttributes(const Element& expected, std::string_view attributeText) {
  for (const auto& [name, value] : expected.attributes) {
    const std::optional<std::string_view> raw = logwell::FindXmlAttribute(attributeText, name);
    if (!raw) std::abort();
    if (raw->size() >= logwell::kMaxXmlAttributeValue || raw->find('\r') != std::string_view::npos) {
      continue;
    }
    if (SpacesForWhiteSpace(logwell::DecodeXmlEntities(*raw)) != SpacesForWhiteSpace(value)) {
      std::abort();
    }
  }
}

// Walks the text and holds the walker to expat's reading of it.
void CompareWalk(std::string_view text, const ExpatDocument& expat, XmlStructureRules rules) {
  XmlStructureReader reader(text, rules);
  std::string error;
  if (!reader.Start(error)) std::abort();
  std::size_t index = 0;
  XmlElementEvent event;
  while (reader.Next(event, error)) {
    if (event.kind == XmlElementEvent::Kind::End) {
      if (index != expat.events.size()) std::abort();
      return;
    }
    const Element ours{event.kind == XmlElementEvent::Kind::Open, std::string(event.name),
                       event.depth, false, {}};
    if (index >= expat.events.size() || !(ours == expat.events[index])) std::abort();
    if (ours.open) CheckAttributes(expat.events[index], event.attributes);
    ++index;
  }
  // A refusal: allowed only at a start tag where one of the walker's own limits applies.
  if (index >= expat.events.size() || !expat.events[index].open) std::abort();
  const Element& refused = expat.events[index];
  const std::string tag = "<" + XmlStructureReader::NameForMessage(refused.name) + ">";
  if (error == "Nesting limit exceeded at tag " + tag &&
      refused.depth == XmlStructureReader::kMaxNesting) {
    return;
  }
  if (error == "Data found before tag " + tag && !rules.mixedContent && refused.textBefore &&
      refused.depth > 0) {
    return;
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckScanner(text);
  const std::optional<ExpatDocument> expat = ParseWithExpat(text);
  if (!expat || expat->doctype) return 0;
  if (StartsWithDeclaration(text)) {
    CompareWalk(text, *expat, XmlStructureRules{});
    CompareWalk(text, *expat, XmlStructureRules{.mixedContent = true});
  }
  // With the declaration optional, documents without one compare too.
  CompareWalk(text, *expat, XmlStructureRules{.declarationOptional = true});
  return 0;
}
